// ua_merge.cpp — assembling one station's sounding: the vertical toolkit (coordinate
// values, layer offsets, interpolation in pressure, height or potential temperature,
// hydrostatic filling of heights and pressures) and the merge of a report's mandatory,
// significant-temperature and significant-wind levels into two continuous profiles.
//
// The thermodynamic profile holds every level with a temperature, ordered by decreasing
// pressure; the wind profile every level with a wind, ordered by increasing height. Both
// are written into the caller's UPA_sounding; this module keeps no sounding of its own.
//
// Capacity of the profiles (UPA_MAX_LEVELS = 300). The report's counts are clamped to
// their arrays first (numsig <= UPA_MAX_SIG = 200, numwnd <= UPA_MAX_WND = 100), so:
//   thermodynamic: the mandatory loop writes at most one level per mandatory slot 1..21
//     (21), the surface at most once (1, and none when it shares a mandatory pressure),
//     and every significant level at most once (200); the tropopause and the maximum
//     wind add at most one level each (2): 21 + 1 + 200 + 2 = 224 <= 300.
//   wind: the loop over slots 0..21 writes at most one level per slot (22), every wind
//     level at most once (100), the tropopause and the maximum wind one each (2):
//     22 + 100 + 2 = 124 <= 300.
// The insertion helper still refuses to grow a full profile, so a future change to the
// report record cannot turn into an overrun.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "zudcty.h"
#include "zudsnd.h"

namespace {

// The surface that the coordinate code 1 stands for in UPA_interp and UPA_interp_levels:
// set by whoever installs a sounding (the analysis module), all missing until then. Each
// thread that analyses soundings lends its own.
thread_local UPA_level sfc_in_force = {MISSING, MISSING, MISSING, MISSING, MISSING, 0.0f};

// Hydrostatic constants.
constexpr double kRd = 287.05;            // gas constant of dry air, J/(kg K)
constexpr double kG = 9.8;                // gravity, m/s2
constexpr double kLapse = 0.0065;         // standard lapse rate, K/m
constexpr double kStdT0 = 288.15;         // standard sea-level temperature, K
constexpr double kFallbackT = 273.15;     // layer temperature when nothing better is known
constexpr double kStdP0 = 1013.25;        // standard sea-level pressure, mb
constexpr double kStdExp = 0.190263;      // Rd * lapse / g of the standard atmosphere

// Interpolation limits.
constexpr float kTolLogP = 0.01f;          // pressure tolerance, in -ln(p)
constexpr float kTolHeight = 3.0f;         // height tolerance, m
constexpr float kTolTheta = 1.0f;          // potential-temperature tolerance, K
constexpr float kPressGap = 300.0f;        // widest pressure gap bridged by a height/theta fill

// Default layer thicknesses (up, down) by coordinate kind.
constexpr float kThickUpP = 10.0f, kThickDownP = 20.0f;    // mb
constexpr float kThickUpH = 50.0f, kThickDownH = 200.0f;   // m
constexpr float kThickUpT = 5.0f, kThickDownT = 2.0f;      // K

// Merge rules.
constexpr int kFirstMand = 1;               // report slot of 1000 mb
constexpr int kLastMand = 21;               // highest mandatory slot
constexpr int kLastStdSlot = 16;            // 10 mb: the top slot searched for a temperature
constexpr float kUpperOnlyP = 500.0f;       // first significant level above this: upper part only
constexpr float kSigSfcP = 700.0f;          // a first significant level below this is the ground
constexpr float kSigTailSfcP = 600.0f;      // same, for significant levels appended after the loop
constexpr float kSigOnlySfcP = 500.0f;      // same, for a report without mandatory levels
constexpr float kWindSfcH = 300.0f;         // a first wind level below this is the ground (m)
constexpr float kDefaultSfcP = 1000.0f;     // surface pressure when none is known (mb)
constexpr double kSuperadiabatic = -3.0;    // largest accepted drop in potential temperature, K

// Message levels.
constexpr M_type kTrace = mess_sub(MESS_DEBUG, MESS_SUB_D);       // merge trace, debug sub-level d
constexpr M_type kDiag = mess_sub(MESS_DEBUG, MESS_SUB_A);        // location and raw report, debug sub-level a

constexpr UPA_level kMissingLevel = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};

// The six fields of a level in the order interpolation fills them.
constexpr float UPA_level::*kFields[] = {&UPA_level::p,  &UPA_level::h,   &UPA_level::t,
                                         &UPA_level::td, &UPA_level::dir, &UPA_level::spd};

enum class Coord { pressure, height, theta, none };

// The kind of a vertical coordinate code; 1 (surface) counts as pressure here.
Coord coord_kind(int coord) {
  switch (coord) {
    case 1: case 100: case 101: case 102: case 115: case 116: return Coord::pressure;
    case 103: case 104: case 105: case 106: return Coord::height;
    case 113: case 114: return Coord::theta;
    default: return Coord::none;
  }
}

// Representative code of a kind, used to compute level coordinates.
int kind_code(Coord kind) {
  return kind == Coord::height ? UNIT_COORD_HEIGHT : kind == Coord::theta ? UNIT_COORD_THETA : UNIT_COORD_PRESS;
}

bool valid_p(float p) { return p != MISSING && p > 0.0f; }

// Mean of two Celsius temperatures in kelvin; the one present when the other is missing;
// MISSING when both are.
double mean_kelvin(float a, float b) {
  if (a != MISSING && b != MISSING) return (a + b) / 2.0 + UNIT_C_TO_K;
  if (a != MISSING) return a + UNIT_C_TO_K;
  if (b != MISSING) return b + UNIT_C_TO_K;
  return MISSING;
}

// A layer temperature (K) estimated at height h (m) from the reference temperature t0
// (deg C, the profile's first level) with the standard lapse rate above the height base;
// the standard atmosphere when t0 is missing; the fallback when h is missing too.
double lapse_kelvin(float t0, float h, double base) {
  if (h == MISSING) return kFallbackT;
  if (t0 == MISSING) return kStdT0 - kLapse * h;
  return t0 + UNIT_C_TO_K - kLapse * (h - base);
}

// Thickness (m) of the layer between pressures p_lo > p_hi at mean temperature tk (K).
double hypsometric(double tk, float p_lo, float p_hi) { return kRd * tk / kG * std::log(p_lo / p_hi); }

// Height (m) of pressure p (mb) in the standard atmosphere.
float std_height(float p) {
  return static_cast<float>((kStdT0 - kStdT0 * std::pow(p / kStdP0, kStdExp)) / kLapse);
}

// Opens position pos in a profile of n levels: the levels from pos up move one place up
// and every map entry at or above pos follows its level. Returns false (nothing moved)
// when the profile is full.
bool insert_level(UPA_level* prof, int& n, int pos, int* man_index) {
  if (n >= UPA_MAX_LEVELS) return false;
  std::copy_backward(prof + pos, prof + n, prof + n + 1);
  ++n;
  for (int e = 0; e < UPA_MAN_INDEX; ++e)
    if (man_index[e] != IMISSING && man_index[e] >= pos) ++man_index[e];
  prof[pos] = kMissingLevel;
  return true;
}

// Removes the level at pos; map entries of that level become missing, those above it
// follow their levels down.
void remove_level(UPA_level* prof, int& n, int pos, int* man_index) {
  std::copy(prof + pos + 1, prof + n, prof + pos);
  --n;
  for (int e = 0; e < UPA_MAN_INDEX; ++e) {
    if (man_index[e] == pos)
      man_index[e] = IMISSING;
    else if (man_index[e] != IMISSING && man_index[e] > pos)
      --man_index[e];
  }
}

// Places a level whose coordinate field (p or h) has the value key: scanning upward,
// the first level with exactly that value is reused (*same = true); otherwise a new
// all-missing level is opened before the first level beyond it (smaller pressure, or
// greater height when up_is_greater). Returns the position, or -1 when every level lies
// below the key.
int place_level(UPA_level* prof, int& n, int* man_index, float UPA_level::*field, float key,
                bool up_is_greater, bool* same) {
  *same = false;
  for (int pos = 0; pos < n; ++pos) {
    const float x = prof[pos].*field;
    if (x == MISSING) continue;
    if (x == key) {
      *same = true;
      return pos;
    }
    if (up_is_greater ? x > key : x < key) return insert_level(prof, n, pos, man_index) ? pos : -1;
  }
  return -1;
}

// The report's significant levels that carry a pressure: a level without one has no
// place in a pressure-ordered profile and would block the ordering of all after it.
int usable_sig(const UPA_report* report, std::array<UPA_sig_level, UPA_MAX_SIG>& sig) {
  const int num = std::clamp(report->numsig, 0, UPA_MAX_SIG);
  int n = 0;
  for (int i = 0; i < num; ++i)
    if (valid_p(report->sig[i].p)) sig[n++] = report->sig[i];
  return n;
}

// The surface pressure of a report whose significant part starts above 500 mb (an upper
// part only): the pressure of the lowest slot up to 10 mb that has a temperature, slot 17
// when none has. MISSING when the report is not of that kind.
float upper_part_sfc(const UPA_report* report, const std::array<UPA_sig_level, UPA_MAX_SIG>& sig,
                     int numsig) {
  if (numsig == 0 || sig[0].p >= kUpperOnlyP) return MISSING;
  for (int k = 0; k <= kLastStdSlot; ++k)
    if (report->man[k].t != MISSING) return report->man[k].p;
  return report->man[kLastStdSlot + 1].p;
}

// Potential temperature (K) of a level; MISSING when its temperature is.
double level_theta(const UPA_level& lev) {
  return pot_temp(unit_kelvin(lev.t), lev.p);
}

// A significant level as a profile level: no height, no wind.
UPA_level sig_level(const UPA_sig_level& s) {
  UPA_level lev = kMissingLevel;
  lev.p = s.p;
  lev.t = s.t;
  lev.td = s.td;
  return lev;
}

// A wind level as a profile level, with its height in metres.
UPA_level wind_level(const UPA_wnd_level& w) {
  UPA_level lev = kMissingLevel;
  lev.h = w.h == MISSING ? MISSING : static_cast<float>(w.h * UNIT_FT_TO_M);
  lev.dir = w.dir;
  lev.spd = w.spd;
  return lev;
}

// The coordinate thick above (up) or below a bound, with the coordinate's default
// thickness when thick is missing; MISSING for a missing bound, or a missing thickness
// without a default. Upward is lower pressure but greater height and theta.
float thick_offset(int coord, float bound, float thick, bool up) {
  if (bound == MISSING) return MISSING;
  const Coord kind = coord_kind(coord);
  if (thick == MISSING) {
    if (kind == Coord::none) return MISSING;
    if (kind == Coord::pressure) thick = up ? kThickUpP : kThickDownP;
    else if (kind == Coord::height) thick = up ? kThickUpH : kThickDownH;
    else thick = up ? kThickUpT : kThickDownT;
  }
  return (kind == Coord::pressure) == up ? bound - thick : bound + thick;
}

// Interpolates one field at the target coordinate v of a request that lies at or above
// the first level, with lo the nearest level below it and hi the nearest at or above it
// that have the field (-1 for none). Returns false when the whole level must stay missing
// (a height or theta request inside a wide pressure gap).
bool interp_field(const UPA_level* levels, const float* data, int lo, int hi, Coord kind,
                  float UPA_level::*f, float value, float v, float r, float* out) {
  *out = MISSING;
  auto give = [out](double x) {
    *out = static_cast<float>(x);
    return true;
  };
  if (f == &UPA_level::p && kind == Coord::pressure) return give(value);
  if (f == &UPA_level::h && kind == Coord::height) return give(value);
  // A level exactly at the request gives its own value, whatever its neighbours hold.
  if (lo >= 0 && data[lo] == v) return give(levels[lo].*f);
  if (hi >= 0 && data[hi] == v) return give(levels[hi].*f);
  if (lo < 0 || hi < 0 || data[lo] == MISSING || data[hi] == MISSING) return true;
  const float flo = levels[lo].*f, fhi = levels[hi].*f;
  if (data[hi] == data[lo]) return give(flo);
  if (f == &UPA_level::p && flo - fhi > kPressGap) {
    // Across a gap this wide a log-linear pressure is no estimate; only a request within
    // the tolerance of one end takes that end's pressure.
    if (data[lo] + r > v) return give(flo);
    if (v > data[hi] - r) return give(fhi);
    return false;
  }
  const double w = (static_cast<double>(v) - data[lo]) / (static_cast<double>(data[hi]) - data[lo]);
  if (f == &UPA_level::dir) {
    // Directions turn the short way round, through north when that is shorter.
    const double d = fhi - flo;
    double dir = flo + w * d;
    if (d > 180.0) {
      dir = flo + w * (fhi - 360.0 - flo);
      if (dir < 0.0) dir += 360.0;
    } else if (d < -180.0) {
      dir = flo + w * (fhi + 360.0 - flo);
      if (dir > 360.0) dir -= 360.0;
    }
    return give(dir);
  }
  return give(flo + (static_cast<double>(fhi) - flo) * w);
}

// Places the report's tropopause and maximum wind (slots 22, 23) into the thermodynamic
// profile merge of n levels by pressure: a coinciding level takes the tropopause but keeps
// its height, and keeps its observed temperature and dew point for the maximum wind, whose
// missing values come from the neighbouring levels. man_index receives their positions.
void place_trop_mwnd(const UPA_level* man, UPA_level* merge, int& j, int* man_index) {
  man_index[UPA_SLOT_TROP] = IMISSING;
  man_index[UPA_SLOT_MWND] = IMISSING;
  const UPA_level& trop = man[UPA_SLOT_TROP];
  if (trop.p != MISSING) {
    bool same = false;
    const int pos = place_level(merge, j, man_index, &UPA_level::p, trop.p, false, &same);
    if (pos >= 0) {
      const float h = merge[pos].h;  // a coinciding level keeps its height
      merge[pos] = trop;
      merge[pos].h = same ? h : MISSING;
      man_index[UPA_SLOT_TROP] = pos;
    }
  }
  const UPA_level& mwnd = man[UPA_SLOT_MWND];
  if (mwnd.p != MISSING) {
    bool same = false;
    const int pos = place_level(merge, j, man_index, &UPA_level::p, mwnd.p, false, &same);
    if (pos >= 0) {
      UPA_level& lev = merge[pos];
      lev.p = mwnd.p;
      lev.dir = mwnd.dir;
      lev.spd = mwnd.spd;
      // Observed values of a coinciding level stay; the rest comes from the neighbours
      // (an absent neighbour counts as missing and leaves the value missing).
      const UPA_level& below = pos > 0 ? merge[pos - 1] : kMissingLevel;
      const UPA_level& above = pos + 1 < j ? merge[pos + 1] : kMissingLevel;
      if (lev.t == MISSING) lev.t = interp_temp(below.t, above.t, below.p, above.p, lev.p);
      if (lev.td == MISSING) lev.td = interp_temp(below.td, above.td, below.p, above.p, lev.p);
      man_index[UPA_SLOT_MWND] = pos;
    }
  }

}

// Removes the levels that are colder in potential temperature than the last kept level
// below them by more than 3 K (an error of the report), and those without a temperature.
void screen_superadiabatic(UPA_level* merge, int& j, int* man_index) {
  double theta_prev = j > 0 ? level_theta(merge[0]) : MISSING;
  for (int pos = 0; pos < j;) {
    const double theta = level_theta(merge[pos]);
    if (theta - theta_prev < kSuperadiabatic) {
      MESS_print(kTrace, "BAD: %d = %1.0f\n", pos, merge[pos].p);
      remove_level(merge, j, pos, man_index);
      continue;
    }
    theta_prev = theta;
    ++pos;
  }
}

// What UPA_interp_levels_sfc needs of a profile: the levels' coordinate values, how many
// of them count, and for each field the nearest levels that have it.
struct CoordProfile {
  Coord kind = Coord::none;
  int n = -1;                                 // levels given; -1 before the first use
  int used = 0;                               // levels the coordinate covers
  std::array<UPA_level, UPA_MAX_LEVELS> copy;  // the levels it was made from
  std::array<float, UPA_MAX_LEVELS> data;
  bool rising = false;  // every level counted has a coordinate, each above the one before
  // below[f][k]: the highest level <= k that has field f, -1 for none; above[f][k]: the
  // lowest level >= k below `used` that has it, -1 for none.
  std::array<std::array<short, UPA_MAX_LEVELS>, std::size(kFields)> below, above;
};

// The coordinate value of every level (see UPA_get_level); a potential-temperature
// coordinate ends where temperatures end. The analyses interpolate the same profile
// hundreds of times, each call asking for a logarithm or a power per level and for the
// neighbours of every field, so the last profile's values are kept per thread and reused
// while the levels are the same to the bit (a profile changed in place is seen).
const CoordProfile& coordinates(const UPA_level* levels, int n, Coord kind, int code) {
  thread_local CoordProfile c;
  const std::size_t bytes = sizeof(UPA_level) * static_cast<std::size_t>(n);
  if (c.kind == kind && c.n == n && (n == 0 || std::memcmp(c.copy.data(), levels, bytes) == 0))
    return c;
  c.kind = kind;
  c.n = n;
  if (n > 0) std::memcpy(c.copy.data(), levels, bytes);
  bool seen = false;  // a level with a potential temperature has been met
  c.used = n;
  for (int k = 0; k < n; ++k) {
    c.data[k] = UPA_get_level(code, &levels[k]);
    if (kind != Coord::theta) continue;
    if (c.data[k] != MISSING) {
      seen = true;
    } else if (seen) {
      c.used = k;  // a potential-temperature coordinate ends where temperatures end
      break;
    }
  }
  c.rising = true;
  for (int k = 0; k < c.used && c.rising; ++k)
    c.rising = c.data[k] != MISSING && (k == 0 || c.data[k] > c.data[k - 1]);
  for (std::size_t fi = 0; fi < std::size(kFields); ++fi) {
    const auto f = kFields[fi];
    short last = -1;
    for (int k = 0; k < c.used; ++k) {
      if (levels[k].*f != MISSING) last = static_cast<short>(k);
      c.below[fi][k] = last;
    }
    last = -1;
    for (int k = c.used - 1; k >= 0; --k) {
      if (levels[k].*f != MISSING) last = static_cast<short>(k);
      c.above[fi][k] = last;
    }
  }
  return c;
}

}  // namespace

// ---- coordinates and layer offsets ------------------------------------------------------

// The coordinate value of a level: -ln(p) for pressure codes (MISSING when p is not
// positive), the height in m for height codes, the potential temperature in K for theta
// codes (MISSING without a temperature), MISSING for any other code.
float UPA_get_level(int coord, const UPA_level* level) {
  if (level == nullptr) return MISSING;
  switch (coord_kind(coord)) {
    case Coord::pressure:
      return valid_p(level->p) ? static_cast<float>(-std::log(static_cast<double>(level->p))) : MISSING;
    case Coord::height:
      return level->h;
    case Coord::theta:
      return static_cast<float>(level_theta(*level));
    case Coord::none:
      break;
  }
  return MISSING;
}

// The coordinate thick above bottom (mb for pressure codes, m for height, K for theta):
// bottom - thick for pressure, bottom + thick otherwise; a missing thickness takes the
// coordinate's default (10 mb, 50 m, 5 K). MISSING when bottom is missing, or when the
// thickness is missing for a code without a default.
float UPA_thick_top(int coord, float bottom, float thick) { return thick_offset(coord, bottom, thick, true); }

// The coordinate thick below top: top + thick for pressure, top - thick otherwise; a
// missing thickness takes the default (20 mb, 200 m, 2 K). MISSING when top is missing
// (an offset missing value would pass for a real bound), or when the thickness is missing
// for a code without a default.
float UPA_thick_bottom(int coord, float top, float thick) { return thick_offset(coord, top, thick, false); }

// The surface pressure (mb) of a profile: the pressure of the level the index points at,
// 1000 when the index is missing.
float UPA_sfc_pres(const UPA_level* lev, const int* ind) {
  if (lev == nullptr || ind == nullptr || *ind == IMISSING || *ind < 0) return kDefaultSfcP;
  return lev[*ind].p;
}

// ---- interpolation ----------------------------------------------------------------------

// Fills result[0..num_result-1] with the profile interpolated at each coordinate value
// (mb, m or K by the code); each field comes from the nearest levels that have it, and
// levels out of reach are all missing. Code 1 copies the surface level sfc instead (all
// missing when sfc is null). A theta request first fills the profile's missing
// temperatures in place. Returns the position of the last value processed: its first
// level at or above it, 0 below the profile, the level count above it.
int UPA_interp_levels_sfc(UPA_level* levels, int num_level, int coord, const float* values,
                          UPA_level* result, int num_result, const UPA_level* sfc) {
  if (result == nullptr || num_result <= 0) return 0;
  const int avail = levels == nullptr ? 0 : std::clamp(num_level, 0, UPA_MAX_LEVELS);
  if (coord == UNIT_COORD_SFC) {
    result[0] = sfc == nullptr ? UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, 0.0f} : *sfc;
    for (int k = 0; k < avail; ++k)
      if (levels[k].p == result[0].p) return k;
    return 0;
  }
  const Coord kind = coord_kind(coord) == Coord::none ? Coord::pressure : coord_kind(coord);
  const int code = kind_code(kind);

  if (kind == Coord::theta) UPA_calc_temp(levels, avail);
  const CoordProfile& c = coordinates(levels, avail, kind, code);
  const int n = c.used;
  const float* data = c.data.data();

  const float r = kind == Coord::pressure ? kTolLogP : kind == Coord::height ? kTolHeight : kTolTheta;
  int pos = n;
  for (int j = 0; j < num_result; ++j) {
    result[j] = kMissingLevel;
    const float value = values == nullptr ? MISSING : values[j];
    if (value == MISSING || (kind == Coord::pressure && value <= 0.0f)) continue;
    const float v = kind == Coord::pressure ? static_cast<float>(-std::log(static_cast<double>(value))) : value;
    if (n == 0 || data[0] - r > v) {
      pos = 0;
      continue;
    }
    if (data[0] > v) {  // just below the first level, within the tolerance
      result[j] = levels[0];
      pos = 0;
      continue;
    }
    // The first level above the lowest whose coordinate reaches v (the count when none).
    int i = 1;
    if (c.rising)
      i = static_cast<int>(std::lower_bound(data + 1, data + n, v) - data);
    else
      while (i < n && !(data[i] != MISSING && data[i] >= v)) ++i;
    pos = i;
    for (std::size_t fi = 0; fi < std::size(kFields); ++fi) {
      const auto f = kFields[fi];
      const int lo = i > 0 ? c.below[fi][i - 1] : -1;
      const int hi = i < n ? c.above[fi][i] : -1;
      if (!interp_field(levels, data, lo, hi, kind, f, value, v, r, &(result[j].*f))) {
        result[j] = kMissingLevel;
        break;
      }
    }
  }
  return pos;
}

// The profile interpolated at one coordinate value; see UPA_interp_levels_sfc.
int UPA_interp_sfc(UPA_level* levels, int num_level, int coord, float value, UPA_level* result,
                   const UPA_level* sfc) {
  return UPA_interp_levels_sfc(levels, num_level, coord, &value, result, 1, sfc);
}

// UPA_interp_levels_sfc with the surface in force (see UPA_set_surface) for code 1.
int UPA_interp_levels(UPA_level* levels, int num_level, int coord, const float* values,
                      UPA_level* result, int num_result) {
  return UPA_interp_levels_sfc(levels, num_level, coord, values, result, num_result, &sfc_in_force);
}

// UPA_interp_sfc with the surface in force for code 1.
int UPA_interp(UPA_level* levels, int num_level, int coord, float value, UPA_level* result) {
  return UPA_interp_levels_sfc(levels, num_level, coord, &value, result, 1, &sfc_in_force);
}

// Keeps a copy of the surface level that code 1 stands for in UPA_interp and
// UPA_interp_levels; null sets it back to all missing. Returns 0.
int UPA_set_surface(const UPA_level* sfc) {
  sfc_in_force = sfc == nullptr ? UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, 0.0f} : *sfc;
  return 0;
}

// ---- hydrostatic filling ----------------------------------------------------------------

// Fills missing temperatures in place, linear in pressure between the nearest levels
// below and above that have one (filled values count for later levels); a level without
// both neighbours, or without the pressures to weigh them, stays missing. Returns 0.
int UPA_calc_temp(UPA_level* levels, int num) {
  if (levels == nullptr) return 0;
  num = std::clamp(num, 0, UPA_MAX_LEVELS);
  for (int k = 0; k < num; ++k) {
    UPA_level& lev = levels[k];
    if (lev.t != MISSING || lev.p == MISSING) continue;
    int lo = k - 1;
    while (lo >= 0 && levels[lo].t == MISSING) --lo;
    int hi = k + 1;
    while (hi < num && levels[hi].t == MISSING) ++hi;
    if (lo < 0 || hi >= num) continue;
    const UPA_level &a = levels[lo], &b = levels[hi];
    if (a.p == MISSING || b.p == MISSING) continue;
    if (a.p == b.p) {
      lev.t = a.t;
      continue;
    }
    lev.t = static_cast<float>(a.t + (static_cast<double>(lev.p) - a.p) / (static_cast<double>(b.p) - a.p) *
                                         (static_cast<double>(b.t) - a.t));
  }
  return 0;
}

// Fills missing heights (m) of a pressure-ordered profile in place by integrating the
// hypsometric equation upward from each reported height; the error at the next reported
// height is spread linearly in pressure over the levels between. Above the highest
// reported height the integration alone is used. Returns 0, or -1 (nothing filled) when
// no level after the first has a height.
int UPA_calc_height(UPA_level* level, int num) {
  if (level == nullptr || num < 2) return -1;
  num = std::min(num, UPA_MAX_LEVELS);
  int start = 0;
  while (start < num) {
    int end = start + 1;
    while (end < num && level[end].h == MISSING) ++end;
    if (end == num && start == 0) return -1;
    UPA_level& s = level[start];
    if (s.h == MISSING) {  // only the first level: reach down from the first height
      const UPA_level& e = level[end];
      double tk = mean_kelvin(s.t, e.t);
      if (tk == MISSING) tk = lapse_kelvin(MISSING, e.h, 0.0);
      if (valid_p(s.p) && valid_p(e.p)) s.h = static_cast<float>(e.h - hypsometric(tk, s.p, e.p));
    }
    if (end - start > 1) {
      const float reported = end < num ? level[end].h : MISSING;
      const double base = level[0].h == MISSING ? 0.0 : level[0].h;
      for (int k = start + 1; k <= end && k < num; ++k) {
        const UPA_level& below = level[k - 1];
        UPA_level& lev = level[k];
        double tk = mean_kelvin(lev.t, below.t);
        if (tk == MISSING) tk = lapse_kelvin(level[0].t, below.h, base);
        if (below.h != MISSING && valid_p(below.p) && valid_p(lev.p))
          lev.h = static_cast<float>(below.h + hypsometric(tk, below.p, lev.p));
        else
          lev.h = s.h;
      }
      if (end < num) {
        const UPA_level& e = level[end];
        const bool closable = e.h != MISSING && valid_p(e.p) && valid_p(s.p) && e.p != s.p;
        const double dz = closable ? (e.h - static_cast<double>(reported)) / (static_cast<double>(e.p) - s.p) : 0.0;
        level[end].h = reported;
        for (int k = start + 1; k < end; ++k)
          if (level[k].h != MISSING && valid_p(level[k].p))
            level[k].h = static_cast<float>(level[k].h - dz * (static_cast<double>(level[k].p) - s.p));
      }
    }
    start = end;
  }
  return 0;
}

// Fills missing pressures (mb) of a height-ordered profile in place: between two levels
// with pressures, at the mean temperature their heights imply, so the filled pressures
// meet both ends; elsewhere at a temperature from the first level's with the standard
// lapse rate. A missing lowest height is filled too (0 when it cannot be derived).
// Levels without a height keep a missing pressure. Returns 0.
int UPA_calc_press(UPA_level* level, int num) {
  if (level == nullptr) return 0;
  num = std::clamp(num, 0, UPA_MAX_LEVELS);
  int start = 0;
  while (start < num) {
    int end = start + 1;
    while (end < num && level[end].p == MISSING) ++end;
    UPA_level& s = level[start];
    const bool have_end = end < num;
    const UPA_level& e = have_end ? level[end] : kMissingLevel;
    if (s.h == MISSING) {
      if (have_end && valid_p(e.p) && valid_p(s.p) && e.h != MISSING) {
        const double tk = s.t != MISSING && e.t != MISSING ? mean_kelvin(s.t, e.t) : kFallbackT;
        s.h = static_cast<float>(e.h + hypsometric(tk, e.p, s.p));
      } else {
        s.h = 0.0f;
      }
    }
    if (s.p == MISSING && have_end && valid_p(e.p) && e.h != MISSING) {
      const double tk = lapse_kelvin(level[0].t, e.h, 0.0);
      s.p = static_cast<float>(e.p * std::exp(kG * (e.h - static_cast<double>(s.h)) / (kRd * tk)));
    }
    if (end - start > 1) {
      double tk = MISSING;
      if (have_end && valid_p(e.p) && valid_p(s.p) && e.h != MISSING && s.h != MISSING && e.p != s.p)
        tk = kG / kRd * (static_cast<double>(e.h) - s.h) / std::log(static_cast<double>(s.p) / e.p);
      for (int k = start + 1; k < end; ++k) {
        UPA_level& lev = level[k];
        if (tk == MISSING) tk = lapse_kelvin(level[0].t, lev.h, 0.0);
        if (lev.h == MISSING || !valid_p(s.p) || s.h == MISSING || tk == 0.0) continue;
        lev.p = static_cast<float>(s.p * std::exp(kG * (static_cast<double>(s.h) - lev.h) / (kRd * tk)));
      }
    }
    start = end;
  }
  return 0;
}

// ---- report merging ---------------------------------------------------------------------

namespace {

// A report without mandatory levels: its significant levels as they are, the lowest
// taking the station height when it is the surface. Returns the number of levels.
int sig_only_merge(const UPA_sig_level* sig, int numsig, const UPA_level* man, UPA_level* merge) {
  for (int i = 0; i < numsig; ++i) merge[i] = sig_level(sig[i]);
  if (numsig > 0 && merge[0].p > kSigOnlySfcP && man[0].h != MISSING) merge[0].h = man[0].h;
  return numsig;
}

// Appends significant levels i.. (those above the last mandatory level) at merge[j..];
// a first one low enough to be the surface takes the station height and the surface
// slot. Returns the new level count.
int append_sig_above(const UPA_sig_level* sig, int i, int numsig, const UPA_level* man,
                     UPA_level* merge, int j, int* man_index) {
  for (; i < numsig; ++i, ++j) {
    merge[j] = sig_level(sig[i]);
    if (i == 0 && sig[i].p > kSigTailSfcP) {
      merge[j].h = man[0].h;
      man_index[0] = j;
    }
    MESS_print(kTrace, "PS: %d = %1.0f\n", j, merge[j].p);
  }
  return j;
}

}  // namespace

// Merges a report's mandatory and significant temperature levels into merge (capacity
// UPA_MAX_LEVELS), ordered by decreasing pressure, with the surface, tropopause and
// maximum wind placed and superadiabatic or temperature-less levels screened out;
// man_index receives each report slot's position (IMISSING when absent). Returns the
// number of levels written.
int UPA_sm_merge(UPA_report* report, UPA_level* merge, int* man_index) {
  std::array<UPA_sig_level, UPA_MAX_SIG> sig;
  const int numsig = usable_sig(report, sig);
  const UPA_level* man = report->man;
  std::fill(man_index, man_index + UPA_MAN_INDEX, IMISSING);

  if (report->numman <= 0) return sig_only_merge(sig.data(), numsig, man, merge);

  const float upper_sfc = upper_part_sfc(report, sig, numsig);
  MESS_print(kTrace, "SFC: %1.0f\n", upper_sfc != MISSING ? upper_sfc : man[0].p);

  int i = 0, j = 0;
  bool sfc_placed = false;
  for (int k = kFirstMand; k <= kLastMand; ++k) {
    if (man[k].p == MISSING) {
      man_index[k] = IMISSING;
      MESS_print(kTrace, "bad mand: %d = %1.0f\n", k, man[k].p);
      continue;
    }
    merge[j] = kMissingLevel;
    bool sfc_here = false;  // the surface shares this mandatory pressure
    if (!sfc_placed && i == 0 && man[0].p != MISSING && man[0].p >= man[k].p) {
      sfc_placed = true;
      merge[j] = man[0];
      MESS_print(kTrace, "P-: %d = %1.0f\n", j, man[0].p);
      man_index[0] = j;
      if (numsig > 0 && sig[0].p == man[0].p) i = 1;
      if (man[0].p > man[k].p)
        ++j;
      else
        sfc_here = true;
    }
    while (i < numsig && sig[i].p > man[k].p) {
      merge[j] = sig_level(sig[i]);
      if (i == 0 && sig[i].p > kSigSfcP) merge[j].h = man[0].h;
      MESS_print(kTrace, "PS: %d = %1.0f\n", j, merge[j].p);
      ++i;
      ++j;
    }
    if (i < numsig && sig[i].p == man[k].p) ++i;  // the mandatory level wins
    if (!sfc_here) {
      merge[j] = man[k];
    } else if (man_index[0] != j) {
      // Significant levels below the ground took the surface's place: it moves up to the
      // level it shares with the mandatory pressure.
      merge[j] = man[0];
      man_index[0] = j;
    }
    MESS_print(kTrace, "PM: %d = %1.0f\n", j, merge[j].p);
    man_index[k] = j;
    ++j;
  }
  j = append_sig_above(sig.data(), i, numsig, man, merge, j, man_index);

  place_trop_mwnd(man, merge, j, man_index);
  screen_superadiabatic(merge, j, man_index);
  return j;
}

namespace {

// A report without mandatory levels: its wind levels that have a height, the lowest
// taking the station height when it is the surface. Returns the number of levels.
int wind_only_merge(const UPA_wnd_level* wnd, int numwnd, const UPA_level* man, UPA_level* merge) {
  int j = 0;
  for (int i = 0; i < numwnd; ++i) {
    merge[j] = wind_level(wnd[i]);
    if (i == 0 && (merge[j].h == MISSING || merge[j].h < kWindSfcH) && man[0].h != MISSING)
      merge[j].h = man[0].h;
    if (merge[j].h != MISSING) ++j;  // a level without a height has no place
  }
  return j;
}

// Places the tropopause and maximum wind among the n wind levels by their heights; n
// grows when one takes a place of its own.
void place_trop_mwnd_by_height(const UPA_level* man, UPA_level* merge, int& n, int* man_index) {
  man_index[UPA_SLOT_TROP] = IMISSING;
  man_index[UPA_SLOT_MWND] = IMISSING;
  for (int slot : {UPA_SLOT_TROP, UPA_SLOT_MWND}) {
    const UPA_level& entry = man[slot];
    if (entry.p == MISSING || entry.h == MISSING) continue;  // no height, no place
    bool same = false;
    const int pos = place_level(merge, n, man_index, &UPA_level::h, entry.h, true, &same);
    if (pos < 0) continue;
    merge[pos] = entry;
    man_index[slot] = pos;
  }
}

}  // namespace

// Merges a report's mandatory levels and significant wind levels into merge, ordered by
// increasing height (m): levels below the ground, at or below the station, or without a
// direction are left out; the tropopause and maximum wind are placed by their heights
// when known. man_index receives each slot's position. Returns the number of levels.
int UPA_wm_merge(UPA_report* report, UPA_level* merge, int* man_index) {
  const UPA_level* man = report->man;
  const UPA_wnd_level* wnd = report->wnd;
  const int numwnd = std::clamp(report->numwnd, 0, UPA_MAX_WND);
  std::fill(man_index, man_index + UPA_MAN_INDEX, IMISSING);

  if (report->numman <= 0) return wind_only_merge(wnd, numwnd, man, merge);

  std::array<UPA_sig_level, UPA_MAX_SIG> sig;
  const float upper_sfc = upper_part_sfc(report, sig, usable_sig(report, sig));
  const float sfc_p = upper_sfc != MISSING ? upper_sfc : man[0].p == MISSING ? kDefaultSfcP : man[0].p;
  MESS_print(kTrace, "SFC: %1.0f\n", sfc_p);

  auto wh = [&](int i) { return wind_level(wnd[i]).h; };
  int i = 0, j = 0;
  for (int k = UPA_SLOT_SFC; k <= kLastMand; ++k) {
    if (man[k].p == MISSING || man[k].dir == MISSING || man[k].p > sfc_p) {
      man_index[k] = IMISSING;
      MESS_print(kTrace, "bad mand: %d = %1.0f\n", k, man[k].p);
      continue;
    }
    const float manh = man[k].h != MISSING ? man[k].h : std_height(man[k].p);
    while (i < numwnd && manh > wh(i)) {
      merge[j] = wind_level(wnd[i]);
      MESS_print(kTrace, "HW: %d = %.0f %.0f %.0f\n", j, merge[j].h, merge[j].dir, merge[j].spd);
      if (merge[j].dir != MISSING && merge[j].h > man[0].h) ++j;
      ++i;
    }
    if (i == 0 && numwnd > 0 && wnd[0].h == 0.0f && man[0].p != MISSING) ++i;  // the surface wind
    if (i < numwnd && wh(i) == man[k].h) ++i;  // the mandatory level wins
    merge[j] = man[k];
    merge[j].h = manh;
    MESS_print(kTrace, "HM: %d = %1.0f %.0f %.0f\n", j, manh, merge[j].dir, merge[j].spd);
    man_index[k] = j;
    ++j;
  }
  for (; i < numwnd; ++i) {
    merge[j] = wind_level(wnd[i]);
    MESS_print(kTrace, "HW+ %d = %1.0f %.0f %.0f\n", j, merge[j].h, merge[j].dir, merge[j].spd);
    if (merge[j].dir != MISSING && merge[j].h != MISSING) ++j;
  }

  place_trop_mwnd_by_height(man, merge, j, man_index);
  return j;
}

// Gives every level of the thermodynamic profile that lacks a wind the wind profile's
// direction and speed at its pressure (missing where the wind profile does not reach).
// Levels with their own direction keep their wind. Returns 0.
int UPA_calc_wind(UPA_level* sm, int sm_num, UPA_level* wm, int wm_num) {
  if (sm == nullptr) return 0;
  sm_num = std::clamp(sm_num, 0, UPA_MAX_LEVELS);
  for (int k = 0; k < sm_num; ++k) {
    if (sm[k].dir != MISSING) continue;
    UPA_level lev;
    UPA_interp(wm, wm_num, UNIT_COORD_PRESS, sm[k].p, &lev);
    sm[k].dir = lev.dir;
    sm[k].spd = lev.spd;
  }
  return 0;
}

// Merges a report into an explicit sounding; see zudsnd.h. Returns 1, or 0 when the
// thermodynamic profile is empty (snd's profiles are then empty, the rest unchanged).
int UPA_merge_sounding(UPA_report* report, UPA_sounding* snd) {
  if (report == nullptr || snd == nullptr) return 0;
  if (report->elev == MISSING) {
    CTY_data data;
    if (CTY_get("upa.cty", report->id, &data)) {
      report->elev = data.el;
      report->wmo = data.wmo;
      report->lat = data.lat;
      report->lon = data.lon;
    }
  }
  UPA_print_locate(kDiag, report);
  UPA_level* man = report->man;
  man[UPA_SLOT_SFC].h = report->elev;

  std::array<int, UPA_MAN_INDEX> sm_man;  // report slot -> position in the profile
  std::array<int, UPA_MAN_INDEX> wm_man;
  std::vector<UPA_level>& sm = snd->sm;
  sm.assign(UPA_MAX_LEVELS, kMissingLevel);
  sm.resize(static_cast<std::size_t>(UPA_sm_merge(report, sm.data(), sm_man.data())));
  snd->wm.clear();
  if (sm.empty()) return 0;
  UPA_calc_height(sm.data(), snd->sm_num());
  if (sm_man[UPA_SLOT_SFC] >= 0) man[UPA_SLOT_SFC].h = sm[sm_man[UPA_SLOT_SFC]].h;
  if (sm_man[UPA_SLOT_TROP] >= 0) man[UPA_SLOT_TROP].h = sm[sm_man[UPA_SLOT_TROP]].h;
  if (sm_man[UPA_SLOT_MWND] >= 0) {
    const UPA_level& lev = sm[sm_man[UPA_SLOT_MWND]];
    man[UPA_SLOT_MWND].h = lev.h;
    man[UPA_SLOT_MWND].t = lev.t;
    man[UPA_SLOT_MWND].td = lev.td;
  }

  std::vector<UPA_level>& wm = snd->wm;
  wm.assign(UPA_MAX_LEVELS, kMissingLevel);
  wm.resize(static_cast<std::size_t>(UPA_wm_merge(report, wm.data(), wm_man.data())));
  UPA_calc_press(wm.data(), snd->wm_num());
  UPA_calc_wind(sm.data(), snd->sm_num(), wm.data(), snd->wm_num());
  UPA_print_report(kDiag, report);

  snd->trop = man[UPA_SLOT_TROP];
  snd->mwnd = man[UPA_SLOT_MWND];
  snd->sfc = UPA_UNSET_LEVEL;
  snd->sfc.p = UPA_sfc_pres(sm.data(), &sm_man[UPA_SLOT_SFC]);
  return 1;
}
