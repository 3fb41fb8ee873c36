// vecttool.cpp — conversion between a meteorological wind (direction from which it
// blows, speed) and its vector components (u eastward, v northward).
//
// Components keep the speed unit of the wind. A wind from the north (0 degrees) has a
// negative v; a wind from the west (270 degrees) a positive u.

#include <cmath>

#include "zud.h"

namespace {

constexpr double kPi = 3.1415926535898;   // degrees to radians and back
constexpr double kCalmSpeed = 0.01;       // below this speed the direction is taken as 0
constexpr double kFullCircle = 360.0;     // degrees added to a negative direction

}  // namespace

// Components u (eastward) and v (northward) of the wind blowing from dir degrees at spd.
// Returns 0, or -1 with both components -9999.0 when dir or spd is missing.
int wind2vect(float dir, float spd, float* u, float* v) {
  if (u == nullptr || v == nullptr) return -1;
  if (dir == MISSING || spd == MISSING) {
    *u = MISSING;
    *v = MISSING;
    return -1;
  }
  const double a = dir * kPi / 180.0;
  *u = static_cast<float>(-spd * std::sin(a));
  *v = static_cast<float>(-spd * std::cos(a));
  return 0;
}

// Direction (degrees, from which the wind blows, 0 to 360) and speed of the wind with
// components u and v; a wind slower than 0.01 has direction 0. Returns 0, or -1 with
// both outputs -9999.0 when u or v is missing.
int vect2wind(float u, float v, float* dir, float* spd) {
  if (dir == nullptr || spd == nullptr) return -1;
  if (u == MISSING || v == MISSING) {
    *dir = MISSING;
    *spd = MISSING;
    return -1;
  }
  const double s = std::sqrt(static_cast<double>(u) * u + static_cast<double>(v) * v);
  double d = 0.0;
  if (s >= kCalmSpeed) {
    d = std::atan2(-static_cast<double>(u), -static_cast<double>(v)) * 180.0 / kPi;
    if (d < 0.0) d += kFullCircle;
  }
  *dir = static_cast<float>(d);
  *spd = static_cast<float>(s);
  return 0;
}

// The wind blowing from dir at spd knots relative to the storm moving with `storm` (from
// its direction, knots): the relative components du, dv (m/s, differences formed in
// double) and the relative wind's direction (deg) and speed (knots). Returns 1, or 0 with
// all four -9999.0 when the wind or the storm motion lacks its vector.
int storm_relative(float dir, float spd, const WIND& storm, float* du, float* dv, float* rdir,
                   float* rspd) {
  *du = *dv = *rdir = *rspd = MISSING;
  float u, v, us, vs;
  wind2vect(dir, unit_knot_to_ms(spd), &u, &v);
  wind2vect(storm.dir, unit_knot_to_ms(storm.spd), &us, &vs);
  if (u == MISSING || us == MISSING) return 0;
  *du = static_cast<float>(static_cast<double>(u) - us);
  *dv = static_cast<float>(static_cast<double>(v) - vs);
  vect2wind(*du, *dv, rdir, rspd);
  *rspd = unit_ms_to_knot(*rspd);
  return 1;
}
