// severe.cpp — today's severe-weather parameters of one merged sounding: three lifted
// parcels with the virtual-temperature correction, downdraft CAPE, lapse rates, the
// Bunkers storm motions, bulk wind differences, storm-relative helicity, the effective
// inflow layer and the composite parameters built from them.
//
// Every function takes the sounding (or the environment built from it) as an argument
// and returns its result; nothing here keeps state. Heights are metres above ground.
// The moist-air point functions (calc.cpp) take kelvin; the environment and the parcels
// hold Celsius with the virtual temperature in kelvin beside it.

#include "zudsevere.h"

#include "zudsnd.h"
#include "zudunits.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kGravity = 9.8;        // m/s2, as the package's other buoyancy integrals
constexpr double kGridStep = 5.0;       // largest pressure step of a parcel path, mb
constexpr double kLiLevel = 500.0;      // lifted index level, mb
constexpr double kCape3Top = 3000.0;    // top of the low-level CAPE layer, m AGL

// Source layers of the parcels, mb above the surface.
constexpr double kMixedDepth = 100.0;   // mixed-layer parcel
constexpr double kMuDepth = 300.0;      // search layer of the most unstable parcel
constexpr double kDownDepth = 400.0;    // search layer of the downdraft source
constexpr double kDownLayer = 100.0;    // depth of a downdraft source layer
constexpr double kThetaeStep = 10.0;    // sampling step of a source layer's mean theta-e, mb

// Bunkers et al. (2000), internal-dynamics method.
constexpr double kBunkersDepth = 6000.0;   // mean-wind layer, m AGL
constexpr double kBunkersLow = 500.0;      // top of the low-level mean of the shear, m
constexpr double kBunkersHigh = 5500.0;    // bottom of the upper mean of the shear, m
constexpr double kBunkersDev = 7.5;        // deviation of the movers from the mean, m/s

// Effective inflow layer, Thompson et al. (2007).
constexpr double kEffCape = 100.0;     // least CAPE of an inflow level, J/kg
constexpr double kEffCin = -250.0;     // strongest inhibition of an inflow level, J/kg

// Kelvin of a Celsius value held in double; missing stays missing.
float kelvin(double c) { return unit_kelvin(static_cast<float>(c)); }

// The environment at pressure p (mb) between the levels a below and b above, f of the way
// from a to b in ln p.
void mix_env(const SEVERE_env& a, const SEVERE_env& b, double f, double p, SEVERE_env* out) {
  const auto mix = [f](double x, double y) { return x + (y - x) * f; };
  out->p = p;
  out->z = mix(a.z, b.z);
  out->t = mix(a.t, b.t);
  out->td = a.td == MISSING || b.td == MISSING ? MISSING : mix(a.td, b.td);
  out->tv = mix(a.tv, b.tv);
}

// Reads the environment at successive pressures (mb), linear in ln p between the
// neighbouring levels; false outside the profile. A parcel path asks for hundreds of
// nearby pressures, so the reader keeps its place in the profile (the levels' pressures
// fall strictly, so the place can be found from anywhere) and each layer's ln-pressure
// thickness.
class EnvReader {
 public:
  explicit EnvReader(const std::vector<SEVERE_env>& env) : env_(env), log_thick_(env.size(), 0.0) {}

  bool at(double p, SEVERE_env* out) {
    if (env_.empty() || p > env_.front().p || p < env_.back().p) return false;
    // i_: the first level above the lowest at or above p.
    while (i_ > 1 && env_[i_ - 1].p <= p) --i_;
    while (i_ < env_.size() && env_[i_].p > p) ++i_;
    if (i_ == env_.size()) {  // p is the top level itself
      *out = env_.back();
      return true;
    }
    const SEVERE_env& a = env_[i_ - 1];
    const SEVERE_env& b = env_[i_];
    double& thick = log_thick_[i_];  // never 0 once computed: the pressures fall strictly
    if (thick == 0.0) thick = std::log(a.p / b.p);
    mix_env(a, b, std::log(a.p / p) / thick, p, out);
    return true;
  }

 private:
  const std::vector<SEVERE_env>& env_;
  std::vector<double> log_thick_;
  std::size_t i_ = 1;
};

// The environment's temperature (C) at height z (m AGL), linear in height between the
// neighbouring levels; MISSING outside the profile.
double temp_at_height(const std::vector<SEVERE_env>& env, double z) {
  for (std::size_t i = 1; i < env.size(); ++i) {
    const SEVERE_env& a = env[i - 1];
    const SEVERE_env& b = env[i];
    if (z < a.z || z > b.z) continue;
    return b.z == a.z ? a.t : a.t + (b.t - a.t) * (z - a.z) / (b.z - a.z);
  }
  return MISSING;
}

// The lapse rate (C/km) between the heights z1 < z2 (m AGL), positive when the
// temperature falls with height; MISSING when either lies outside the profile.
float lapse_between(const std::vector<SEVERE_env>& env, double z1, double z2) {
  const double t1 = temp_at_height(env, z1), t2 = temp_at_height(env, z2);
  if (t1 == MISSING || t2 == MISSING) return MISSING;
  return static_cast<float>((t1 - t2) / (z2 - z1) * 1000.0);
}

// The pressures of a parcel path from p0 up to the top of the profile: p0, every level
// above it, the extra pressures asked for, and intermediate steps so that no step spans
// more than kGridStep.
std::vector<double> path_pressures(const std::vector<SEVERE_env>& env, double p0,
                                   std::initializer_list<double> extra) {
  std::vector<double> fixed;
  for (const SEVERE_env& e : env)
    if (e.p < p0) fixed.push_back(e.p);
  for (const double x : extra)
    if (x < p0 && x >= env.back().p) fixed.push_back(x);
  std::sort(fixed.begin(), fixed.end(), std::greater<double>());
  std::vector<double> ps = {p0};
  for (const double p : fixed) {
    const double last = ps.back();
    if (p >= last) continue;
    const int n = static_cast<int>(std::ceil((last - p) / kGridStep));
    for (int k = 1; k < n; ++k) ps.push_back(last - (last - p) * k / n);
    ps.push_back(p);
  }
  return ps;
}

// Positive and negative areas (m times the buoyancy) of a segment whose buoyancy runs
// linearly from b0 at z0 to b1 at z1, split at its zero crossing.
struct Areas {
  double pos = 0.0;
  double neg = 0.0;
};
Areas segment_areas(double z0, double b0, double z1, double b1) {
  const double dz = z1 - z0;
  if (b0 >= 0.0 && b1 >= 0.0) return {(b0 + b1) / 2.0 * dz, 0.0};
  if (b0 <= 0.0 && b1 <= 0.0) return {0.0, (b0 + b1) / 2.0 * dz};
  const double zc = dz * b0 / (b0 - b1);  // distance to the crossing
  const double a0 = b0 * zc / 2.0, a1 = b1 * (dz - zc) / 2.0;
  return b0 > 0.0 ? Areas{a0, a1} : Areas{a1, a0};
}

// Height of the zero crossing of a segment whose buoyancy changes sign.
double crossing(double z0, double b0, double z1, double b1) {
  return z0 + (z1 - z0) * b0 / (b0 - b1);
}

// One point of a parcel path: height above ground and buoyancy (m/s2).
struct PathPoint {
  double p, z, b;
};

// A wind level in m/s at a height above ground.
struct WindLevel {
  double z, u, v;
};

// The wind levels of the sounding that have a height, direction and speed, by height
// above the surface.
std::vector<WindLevel> wind_levels(const UPA_sounding& snd) {
  std::vector<WindLevel> w;
  if (snd.sfc.h == MISSING) return w;
  for (const UPA_level& l : snd.wm) {
    if (l.h == MISSING || l.dir == MISSING || l.spd == MISSING) continue;
    float u, v;
    if (wind2vect(l.dir, static_cast<float>(l.spd * UNIT_KNOT_TO_MS), &u, &v) != 0) continue;
    const double z = static_cast<double>(l.h) - snd.sfc.h;
    if (!w.empty() && z <= w.back().z) continue;  // heights must rise
    w.push_back({z, u, v});
  }
  return w;
}

// The wind at height z (m AGL), u and v linear in height; false outside the levels.
bool wind_at(const std::vector<WindLevel>& w, double z, WindLevel* out) {
  if (w.empty() || z < w.front().z || z > w.back().z) return false;
  std::size_t i = 1;
  while (i < w.size() && w[i].z < z) ++i;
  if (i == w.size() || w[i].z == z || w.size() == 1) {
    *out = i == w.size() ? w.back() : w[i];
    out->z = z;
    return true;
  }
  const WindLevel& a = w[i - 1];
  const WindLevel& b = w[i];
  const double f = (z - a.z) / (b.z - a.z);
  *out = {z, a.u + (b.u - a.u) * f, a.v + (b.v - a.v) * f};
  return true;
}

// The height average of the wind between z1 and z2 (m AGL): the exact mean of the
// hodograph that is linear in height between levels. False when the layer is not
// covered by winds.
bool layer_mean(const std::vector<WindLevel>& w, double z1, double z2, WindLevel* out) {
  WindLevel lo, hi;
  if (z2 <= z1 || !wind_at(w, z1, &lo) || !wind_at(w, z2, &hi)) return false;
  std::vector<WindLevel> pts = {lo};
  for (const WindLevel& l : w)
    if (l.z > z1 && l.z < z2) pts.push_back(l);
  pts.push_back(hi);
  double su = 0.0, sv = 0.0;
  for (std::size_t k = 1; k < pts.size(); ++k) {
    const double dz = pts[k].z - pts[k - 1].z;
    su += (pts[k].u + pts[k - 1].u) / 2.0 * dz;
    sv += (pts[k].v + pts[k - 1].v) / 2.0 * dz;
  }
  *out = {z1, su / (z2 - z1), sv / (z2 - z1)};
  return true;
}

// Mean equivalent potential temperature (K) of the layer p..p-depth, sampled every
// kThetaeStep mb (trapezoids in pressure); MISSING when a sample lacks a dew point.
double mean_thetae(EnvReader& env, double p, double depth) {
  const int n = static_cast<int>(std::lround(depth / kThetaeStep));
  double sum = 0.0;
  for (int k = 0; k <= n; ++k) {
    SEVERE_env e;
    if (!env.at(p - depth * k / n, &e) || e.td == MISSING) return MISSING;
    const float te = eq_pot_temp(kelvin(e.t), kelvin(e.td), static_cast<float>(e.p));
    if (te == MISSING) return MISSING;
    sum += (k == 0 || k == n) ? te / 2.0 : te;
  }
  return sum / n;
}

// The ramp term of a composite: 0 below lo, x / scale up to cap_at, capped there.
double ramp(double x, double lo, double scale, double cap_at) {
  if (x < lo) return 0.0;
  return std::min(x, cap_at) / scale;
}

// The LCL term of the tornado parameters: 1 below 1000 m, 0 above 2000 m, linear
// between (Thompson et al. 2003).
double lcl_term(double lcl) {
  if (lcl < 1000.0) return 1.0;
  if (lcl > 2000.0) return 0.0;
  return (2000.0 - lcl) / 1000.0;
}

SEVERE_wind to_wind(const WindLevel& w) {
  return {static_cast<float>(w.u), static_cast<float>(w.v)};
}

}  // namespace

// The environment of a parcel: the surface and every level above it that has a pressure,
// height and temperature, by decreasing pressure, with heights above the surface and the
// virtual temperature. Empty without a surface pressure, height and temperature.
std::vector<SEVERE_env> SEVERE_environment(const UPA_sounding& snd) {
  std::vector<SEVERE_env> env;
  const UPA_level& s = snd.sfc;
  if (s.p == MISSING || s.p <= 0.0f || s.h == MISSING || s.t == MISSING) return env;
  const auto add = [&](const UPA_level& l) {
    const double td = l.td == MISSING ? MISSING : l.td;
    env.push_back({l.p, static_cast<double>(l.h) - s.h, l.t, td, SEVERE_virt_temp(l.t, l.td, l.p)});
  };
  add(s);
  for (const UPA_level& l : snd.sm) {
    if (l.p == MISSING || l.p <= 0.0f || l.h == MISSING || l.t == MISSING) continue;
    if (l.p >= env.back().p) continue;  // at or below the surface, or out of order
    add(l);
  }
  return env;
}

// Virtual temperature (K) of air at t (C) with dew point td (C) at p (mb): T (1 + 0.609 w)
// with the mixing ratio w of the dew point (Doswell and Rasmussen 1994 use it for parcel
// and environment alike). Without a dew point the temperature itself; MISSING without a
// temperature.
float SEVERE_virt_temp(float t, float td, float p) {
  if (t == MISSING) return MISSING;
  if (td == MISSING || p == MISSING) return kelvin(t);
  const float tv = virt_temp(kelvin(t), kelvin(td), p);
  return tv == MISSING ? kelvin(t) : tv;
}

namespace {

// The energies and levels of a parcel path, integrated point by point upward. Segments
// below the LFC add their negative parts to the CIN; the LFC is the LCL when the parcel is
// buoyant there, else the first crossing to positive buoyancy above it; segments from the
// LFC up add their positive parts to the CAPE (and below 3 km to the 0-3 km CAPE); every
// crossing from positive to negative above the LFC is an EL, and the last one stands.
class Ascent {
 public:
  // Sets the pressure of the LCL (mb), a point of the path; before the first point.
  void set_lcl(double plcl) { plcl_ = plcl; }

  // Adds the next point of the path (the first is the parcel's start).
  void add(const PathPoint& q) {
    if (!started_) {
      started_ = true;
      prev_ = q;
      if (q.p <= plcl_) reach_lcl(q);
      return;
    }
    const PathPoint a = prev_;
    prev_ = q;
    const Areas s = segment_areas(a.z, a.b, q.z, q.b);
    if (phase_ == kBelowLcl) {
      cin_ += s.neg;  // below the LCL warmth is no convective energy
      if (q.p <= plcl_) reach_lcl(q);
      return;
    }
    if (phase_ == kNotFree) {
      cin_ += s.neg;  // the crossing segment's negative part lies below the LFC
      if (q.b <= 0.0) return;
      lfc_ = crossing(a.z, a.b, q.z, q.b);
      phase_ = kFree;
    }
    cape_ += s.pos;
    if (a.z < kCape3Top) {
      const double zt = std::min(q.z, kCape3Top);
      const double bt = q.z <= kCape3Top ? q.b : a.b + (q.b - a.b) * (zt - a.z) / (q.z - a.z);
      cape3_ += segment_areas(a.z, a.b, zt, bt).pos;
    }
    if (a.b > 0.0 && q.b <= 0.0) el_ = crossing(a.z, a.b, q.z, q.b);
  }

  bool free() const { return phase_ == kFree; }
  double cape() const { return cape_; }
  double cin() const { return cin_; }

  // Writes the results into r: CAPE, CIN and 0-3 km CAPE (0 without an LFC), LCL, LFC and
  // EL (missing while the parcel is still buoyant at the last point).
  void finish(SEVERE_parcel* r) const {
    r->lcl = static_cast<float>(lcl_);
    r->cape = r->cin = r->cape3 = 0.0f;
    if (phase_ != kFree) return;
    r->cape = static_cast<float>(cape_);
    r->cin = static_cast<float>(cin_);
    r->cape3 = static_cast<float>(cape3_);
    r->lfc = static_cast<float>(lfc_);
    r->el = prev_.b > 0.0 || el_ == MISSING ? MISSING : static_cast<float>(el_);
  }

 private:
  enum Phase { kBelowLcl, kNotFree, kFree };

  void reach_lcl(const PathPoint& q) {
    lcl_ = q.z;
    phase_ = kNotFree;
    if (q.b > 0.0) {
      lfc_ = q.z;
      phase_ = kFree;
    }
  }

  double plcl_ = 0.0;           // pressure of the LCL, mb (a point of the path)
  bool started_ = false;
  PathPoint prev_{};            // the last point added
  Phase phase_ = kBelowLcl;
  double cape_ = 0.0, cin_ = 0.0, cape3_ = 0.0;  // J/kg
  double lcl_ = MISSING, lfc_ = MISSING, el_ = MISSING;  // m AGL
};

// Lifts the parcel (see SEVERE_lift) and hands each point of its path to the ascent;
// stop(ascent) may end the path early. The lifted index goes into r. False when the
// parcel cannot be lifted.
template <class Stop>
bool lift_path(const std::vector<SEVERE_env>& env, SEVERE_parcel* r, Ascent* ascent, Stop stop) {
  if (env.empty() || r->p == MISSING || r->t == MISSING || r->td == MISSING) return false;
  const float p = r->p;
  if (p > env.front().p || p <= env.back().p) return false;
  const float tk = kelvin(r->t), tdk = kelvin(r->td);
  float plcl = lcl_pres(tk, tdk, p);
  if (plcl == MISSING || plcl < env.back().p) return false;
  plcl = std::min(plcl, p);  // a parcel saturated at its start condenses there
  const float tlcl = lcl_temp(tk, p, plcl);
  const float w = mix_ratio(tdk, p);
  const float theta = pot_temp(tk, p);
  const float label = thetae_on_satad(tlcl, plcl);
  if (tlcl <= 0.0f || w == MISSING || theta == MISSING || label <= 0.0f) return false;
  ascent->set_lcl(plcl);

  // The parcel's virtual temperature (K) at pp: its own mixing ratio below the LCL,
  // saturated above.
  const auto parcel_tv = [&](double pp) -> double {
    const float pf = static_cast<float>(pp);
    if (pp >= plcl) return virt_temp(temp_on_dryad(theta, pf), w, pf);
    const float tp = temp_on_satad(label, pf);
    const float tv = virt_temp(tp, tp, pf);
    return tv == MISSING ? tp : tv;
  };
  EnvReader reader(env);
  SEVERE_env e500;
  if (reader.at(kLiLevel, &e500)) r->li = static_cast<float>(e500.tv - parcel_tv(kLiLevel));
  for (const double pp : path_pressures(env, p, {plcl, kLiLevel})) {
    SEVERE_env e;
    if (!reader.at(pp, &e)) break;
    ascent->add({pp, e.z, kGravity * (parcel_tv(pp) - e.tv) / e.tv});
    if (stop(*ascent)) break;
  }
  return true;
}

// True when an ascent makes its air part of an effective inflow layer: CAPE of at least
// 100 J/kg and CIN of at least -250 J/kg.
bool inflow_ascent(const Ascent& a) {
  return a.free() && a.cape() >= kEffCape && a.cin() >= kEffCin;
}

// True when the air of one level belongs to an effective inflow layer (inflow_ascent). The
// ascent ends as soon as the answer is known: the CIN only grows below the LFC, and the
// CAPE only above it, so the answer is the one the whole ascent gives.
bool inflow_level(const std::vector<SEVERE_env>& env, const SEVERE_env& e) {
  SEVERE_parcel r;
  r.p = static_cast<float>(e.p);
  r.t = static_cast<float>(e.t);
  r.td = static_cast<float>(e.td);
  Ascent a;
  const auto stop = [](const Ascent& s) {
    return s.cin() < kEffCin || (s.free() && s.cape() >= kEffCape);
  };
  if (!lift_path(env, &r, &a, stop)) return false;
  return inflow_ascent(a);
}

// SEVERE_lift; *inflow (may be null) says whether the parcel's air belongs to an effective
// inflow layer, as inflow_level would for a level of these values.
SEVERE_parcel lift_parcel(const std::vector<SEVERE_env>& env, float p, float t, float td,
                          bool* inflow) {
  SEVERE_parcel r;
  r.p = p;
  r.t = t;
  r.td = td;
  Ascent a;
  const bool lifted = lift_path(env, &r, &a, [](const Ascent&) { return false; });
  if (inflow != nullptr) *inflow = lifted && inflow_ascent(a);
  if (!lifted) {
    r.li = MISSING;
    return r;
  }
  a.finish(&r);
  return r;
}

// A level whose inflow answer an ascent of the same air has given already.
struct KnownInflow {
  const SEVERE_env* level;
  bool inflow;
};

// SEVERE_effective_layer, with the answers of the levels in `known` taken from there.
int effective_layer(const std::vector<SEVERE_env>& env, const std::vector<KnownInflow>& known,
                    float* base, float* top) {
  *base = *top = MISSING;
  if (env.empty()) return 0;
  const double plimit = env.front().p - kMuDepth;
  for (const SEVERE_env& e : env) {
    if (e.td == MISSING) {
      if (*base != MISSING) break;  // a level without moisture ends the run
      continue;
    }
    if (*base == MISSING && e.p < plimit) break;
    const auto k = std::find_if(known.begin(), known.end(),
                                [&e](const KnownInflow& x) { return x.level == &e; });
    if (!(k != known.end() ? k->inflow : inflow_level(env, e))) {
      if (*base != MISSING) break;
      continue;
    }
    if (*base == MISSING) *base = static_cast<float>(e.z);
    *top = static_cast<float>(e.z);
  }
  return *base == MISSING ? 0 : 1;
}

}  // namespace

// Lifts the parcel of t and td (C) at p (mb) through the environment: dry-adiabatically
// with its own mixing ratio to the condensation level, then along the saturated adiabat,
// its buoyancy g (Tv,parcel - Tv,env) / Tv,env taken from virtual temperatures (Doswell
// and Rasmussen 1994) and integrated in height over steps of at most 5 mb. The LFC is
// where the parcel first turns buoyant at or above its LCL; CAPE is the positive area
// above the LFC, CIN the negative area below it (both 0 and LFC and EL missing when the
// parcel never turns buoyant); the EL is the top of the highest positive area (missing
// while the parcel is still buoyant at the top of the sounding). The lifted index is
// Tv,env - Tv,parcel at 500 mb. Every result is missing when a start value is missing or
// the condensation level lies outside the sounding.
SEVERE_parcel SEVERE_lift(const std::vector<SEVERE_env>& env, float p, float t, float td) {
  return lift_parcel(env, p, t, td, nullptr);
}

// Downdraft CAPE (J/kg), in the form the Storm Prediction Center's sounding tools print
// (after Gilmore and Wicker 1998): of the 100 mb layers whose base is a sounding level in
// the lowest 400 mb, the one of lowest mean equivalent potential temperature is the
// source; the parcel starts at its middle with the environment's wet-bulb temperature
// there, descends along its saturated adiabat to the surface, and DCAPE is
// g (Te - Tp) / Te integrated over the descent in height, without the virtual-temperature
// correction, negative parts included. The starting pressure goes into *start_p (may be
// null). MISSING when no layer has dew points throughout.
float SEVERE_dcape(const std::vector<SEVERE_env>& env, float* start_p) {
  float dummy;
  if (start_p == nullptr) start_p = &dummy;
  *start_p = MISSING;
  if (env.empty()) return MISSING;
  const double psfc = env.front().p;
  double best = MISSING, best_p = MISSING;
  EnvReader reader(env);
  for (const SEVERE_env& e : env) {
    if (e.p < psfc - kDownDepth) break;
    const double te = mean_thetae(reader, e.p, kDownLayer);
    if (te != MISSING && (best == MISSING || te < best)) {
      best = te;
      best_p = e.p - kDownLayer / 2.0;
    }
  }
  SEVERE_env s;
  if (best == MISSING || !reader.at(best_p, &s) || s.td == MISSING) return MISSING;
  const float pf = static_cast<float>(best_p);
  const float tw = wet_bulb(kelvin(s.t), kelvin(s.td), pf);
  const float label = tw > 0.0f ? thetae_on_satad(tw, pf) : 0.0f;
  if (label <= 0.0f) return MISSING;

  // Down from the source along the path pressures, taken in reverse.
  std::vector<double> ps;
  for (const SEVERE_env& e : env)
    if (e.p > best_p) ps.push_back(e.p);
  std::reverse(ps.begin(), ps.end());  // lowest pressure first
  double dcape = 0.0, z1 = s.z, b1 = (s.t + UNIT_C_TO_K - tw) / (s.t + UNIT_C_TO_K);
  double last = best_p;
  for (const double p_level : ps) {
    const int n = static_cast<int>(std::ceil((p_level - last) / kGridStep));
    for (int k = 1; k <= n; ++k) {
      const double pp = last + (p_level - last) * k / n;
      SEVERE_env e;
      if (!reader.at(pp, &e)) continue;
      const float tp = temp_on_satad(label, static_cast<float>(pp));
      const double b2 = (e.t + UNIT_C_TO_K - tp) / (e.t + UNIT_C_TO_K);
      dcape += kGravity * (b1 + b2) / 2.0 * (z1 - e.z);
      z1 = e.z;
      b1 = b2;
    }
    last = p_level;
  }
  *start_p = pf;
  return static_cast<float>(dcape);
}

namespace {

// SEVERE_bunkers, SEVERE_bulk_diff and SEVERE_helicity over the wind levels of the
// sounding (wind_levels), which the severe-weather analysis makes once for all of them.
int bunkers(const std::vector<WindLevel>& w, SEVERE_wind* mean, SEVERE_wind* right, SEVERE_wind* left) {
  *mean = *right = *left = SEVERE_wind{};
  WindLevel m, lo, hi;
  if (!layer_mean(w, 0.0, kBunkersDepth, &m) || !layer_mean(w, 0.0, kBunkersLow, &lo) ||
      !layer_mean(w, kBunkersHigh, kBunkersDepth, &hi))
    return -1;
  const double su = hi.u - lo.u, sv = hi.v - lo.v;
  const double len = std::hypot(su, sv);
  // The unit vector to the right of the shear, (sv, -su) / |shear|; no shear, no deviation.
  const double du = len > 0.0 ? kBunkersDev * sv / len : 0.0;
  const double dv = len > 0.0 ? -kBunkersDev * su / len : 0.0;
  *mean = to_wind(m);
  *right = to_wind({0.0, m.u + du, m.v + dv});
  *left = to_wind({0.0, m.u - du, m.v - dv});
  return 0;
}

float bulk_diff(const std::vector<WindLevel>& w, float bottom, float top) {
  WindLevel a, b;
  if (bottom == MISSING || top == MISSING || !wind_at(w, bottom, &a) || !wind_at(w, top, &b))
    return MISSING;
  return static_cast<float>(std::hypot(b.u - a.u, b.v - a.v));
}

float helicity_of(const std::vector<WindLevel>& w, float bottom, float top, const SEVERE_wind& storm) {
  if (bottom == MISSING || top == MISSING || storm.u == MISSING || top < bottom) return MISSING;
  WindLevel a, b;
  if (!wind_at(w, bottom, &a) || !wind_at(w, top, &b)) return MISSING;
  std::vector<WindLevel> pts = {a};
  for (const WindLevel& l : w)
    if (l.z > bottom && l.z < top) pts.push_back(l);
  pts.push_back(b);
  double hel = 0.0;
  for (std::size_t k = 1; k < pts.size(); ++k) {
    const double u1 = pts[k - 1].u - storm.u, v1 = pts[k - 1].v - storm.v;
    const double u2 = pts[k].u - storm.u, v2 = pts[k].v - storm.v;
    hel += v1 * u2 - v2 * u1;
  }
  return static_cast<float>(hel);
}

}  // namespace

// The Bunkers et al. (2000) storm motions by the internal-dynamics method: the 0-6 km
// mean wind (a height average, not weighted by pressure) into *mean, and the right and
// left movers 7.5 m/s to either side of it, perpendicular to the shear from the 0-500 m
// mean wind to the 5.5-6 km mean wind. Returns 0, or -1 (all missing) when the winds do
// not cover the surface to 6 km.
int SEVERE_bunkers(const UPA_sounding& snd, SEVERE_wind* mean, SEVERE_wind* right,
                   SEVERE_wind* left) {
  return bunkers(wind_levels(snd), mean, right, left);
}

// Bulk wind difference (m/s): the length of the wind vector difference between the
// heights top and bottom (m AGL); MISSING when either lies outside the winds.
float SEVERE_bulk_diff(const UPA_sounding& snd, float bottom, float top) {
  return bulk_diff(wind_levels(snd), bottom, top);
}

// Storm-relative helicity (m2/s2) of the layer bottom..top (m AGL) for the storm motion
// (m/s): the signed area swept by the storm-relative hodograph, with u and v linear in
// height between the wind levels, so the sum over its straight pieces is exact:
// sum of (v_k - cv)(u_k+1 - cu) - (v_k+1 - cv)(u_k - cu) (Davies-Jones et al. 1990).
// 0 for a layer without depth; MISSING when the layer is not covered by winds.
float SEVERE_helicity(const UPA_sounding& snd, float bottom, float top, const SEVERE_wind& storm) {
  return helicity_of(wind_levels(snd), bottom, top, storm);
}


// The effective inflow layer (Thompson et al. 2007): the lowest contiguous run of
// sounding levels whose air, lifted with the virtual-temperature correction, has CAPE of
// at least 100 J/kg and CIN of at least -250 J/kg. The base is sought in the lowest
// 300 mb (where the most unstable parcel comes from); the top is the last level of the
// run. Heights (m AGL) into *base and *top. Returns 1 with a layer, 0 without (both
// MISSING).
int SEVERE_effective_layer(const std::vector<SEVERE_env>& env, float* base, float* top) {
  return effective_layer(env, {}, base, top);
}

// Fixed-layer significant tornado parameter, as the Storm Prediction Center computes it
// today (after Thompson et al. 2003):
//   (SBCAPE / 1500 J/kg) (2000 m - SBLCL) / 1000 m (0-1 km SRH / 150 m2/s2) (0-6 km BWD / 20 m/s),
// the LCL term 1 below 1000 m and 0 above 2000 m, the shear term 0 below 12.5 m/s and
// capped at 1.5 above 30 m/s. 0 without a surface parcel; MISSING without the winds.
float SEVERE_stp_fixed(float sbcape, float sblcl, float srh1, float bwd6) {
  if (sbcape == MISSING || sblcl == MISSING) return 0.0f;
  if (srh1 == MISSING || bwd6 == MISSING) return MISSING;
  return static_cast<float>(sbcape / 1500.0 * lcl_term(sblcl) * (srh1 / 150.0) *
                            ramp(bwd6, 12.5, 20.0, 30.0));
}

// Effective-layer significant tornado parameter (Thompson et al. 2012):
//   (MLCAPE / 1500) ((2000 - MLLCL) / 1000) (ESRH / 150) (EBWD / 20) ((200 + MLCIN) / 150),
// the LCL term as in the fixed-layer form, the EBWD term 0 below 12.5 m/s and capped at
// 1.5 above 30 m/s, the CIN term 1 above -50 J/kg and 0 below -200 J/kg. 0 without the
// mixed-layer parcel; MISSING without the effective helicity or bulk wind difference.
float SEVERE_stp_effective(float mlcape, float mllcl, float mlcin, float esrh, float ebwd) {
  if (mlcape == MISSING || mllcl == MISSING || mlcin == MISSING) return 0.0f;
  if (esrh == MISSING || ebwd == MISSING) return MISSING;
  const double cin = mlcin > -50.0f ? 1.0 : mlcin < -200.0f ? 0.0 : (200.0 + mlcin) / 150.0;
  return static_cast<float>(mlcape / 1500.0 * lcl_term(mllcl) * (esrh / 150.0) *
                            ramp(ebwd, 12.5, 20.0, 30.0) * cin);
}

// Supercell composite parameter (Thompson et al. 2004, in its effective-layer form):
//   (MUCAPE / 1000 J/kg) (ESRH / 50 m2/s2) (EBWD term),
// the EBWD term 0 below 10 m/s, EBWD / 20 m/s between, and 1 above 20 m/s. 0 without the
// most unstable parcel; MISSING without the effective helicity or bulk wind difference.
float SEVERE_scp(float mucape, float esrh, float ebwd) {
  if (mucape == MISSING) return 0.0f;
  if (esrh == MISSING || ebwd == MISSING) return MISSING;
  const double shear = ebwd < 10.0f ? 0.0 : std::min(ebwd / 20.0, 1.0);
  return static_cast<float>(mucape / 1000.0 * (esrh / 50.0) * shear);
}

namespace {

// The SB, ML and MU parcels, downdraft CAPE and the effective inflow layer into v.
void thermodynamics(const UPA_sounding& snd, const std::vector<SEVERE_env>& env, SEVERE_values* v) {
  const SEVERE_env& s = env.front();
  // The SB and MU ascents answer the inflow question for their levels as well.
  std::vector<KnownInflow> known(1, {&s, false});
  v->sb = lift_parcel(env, static_cast<float>(s.p), static_cast<float>(s.t),
                      s.td == MISSING ? MISSING : static_cast<float>(s.td), &known[0].inflow);

  // The mixed layer: mean potential temperature and mixing ratio of the lowest 100 mb,
  // brought back to the surface pressure.
  float wbar = MISSING, obar = MISSING;
  const float ps = static_cast<float>(s.p);
  std::vector<UPA_level> sm = snd.sm;  // the layer functions take a modifiable profile
  layer_parcel_mean(sm.data(), snd.sm_num(), UNIT_COORD_PRESS, ps, static_cast<float>(s.p - kMixedDepth),
                    &wbar, &obar);
  if (wbar != MISSING && obar != MISSING && wbar > 0.0f) {
    const float t = temp_on_dryad(obar, ps), td = temp_on_mixrat(wbar, ps);
    if (t > 0.0f && td > 0.0f)
      v->ml = SEVERE_lift(env, ps, static_cast<float>(t - UNIT_C_TO_K), static_cast<float>(td - UNIT_C_TO_K));
  }

  // The most unstable parcel: the level of highest theta-e in the lowest 300 mb.
  double best = MISSING;
  const SEVERE_env* mu = nullptr;
  for (const SEVERE_env& e : env) {
    if (e.p < s.p - kMuDepth) break;
    if (e.td == MISSING) continue;
    const float te = eq_pot_temp(kelvin(e.t), kelvin(e.td), static_cast<float>(e.p));
    if (te != MISSING && (best == MISSING || te > best)) {
      best = te;
      mu = &e;
    }
  }
  if (mu != nullptr && mu->p == s.p) {
    v->mu = v->sb;  // the surface air is the most unstable: the same ascent
  } else if (mu != nullptr) {
    known.push_back({mu, false});
    v->mu = lift_parcel(env, static_cast<float>(mu->p), static_cast<float>(mu->t),
                        static_cast<float>(mu->td), &known.back().inflow);
  }
  v->dcape = SEVERE_dcape(env, &v->dcape_p);
  effective_layer(env, known, &v->eff_base, &v->eff_top);
}

// The storm motions, bulk wind differences and helicities into v (the effective-layer
// ones need the layer and the MU parcel already in v).
void kinematics(const UPA_sounding& snd, SEVERE_values* v) {
  const std::vector<WindLevel> w = wind_levels(snd);
  bunkers(w, &v->mean6, &v->right, &v->left);
  v->bwd1 = bulk_diff(w, 0.0f, 1000.0f);
  v->bwd6 = bulk_diff(w, 0.0f, 6000.0f);
  v->srh1 = helicity_of(w, 0.0f, 1000.0f, v->right);
  v->srh3 = helicity_of(w, 0.0f, 3000.0f, v->right);
  if (v->eff_base == MISSING) return;
  v->esrh = helicity_of(w, v->eff_base, v->eff_top, v->right);
  // To half the height of the most unstable parcel's EL, as the SPC mesoanalysis defines it.
  if (v->mu.el != MISSING && v->mu.el / 2.0f > v->eff_base)
    v->ebwd = bulk_diff(w, v->eff_base, v->mu.el / 2.0f);
}

}  // namespace

// Every severe-weather value of the sounding.
SEVERE_values SEVERE_calc(const UPA_sounding& snd) {
  SEVERE_values v;
  const std::vector<SEVERE_env> env = SEVERE_environment(snd);
  if (!env.empty()) thermodynamics(snd, env, &v);

  // Lapse rates: the fixed layers above ground from the environment's temperatures linear
  // in height; 700-500 mb as the index table computes it.
  v.lapse03 = lapse_between(env, 0.0, 3000.0);
  v.lapse36 = lapse_between(env, 3000.0, 6000.0);
  std::vector<UPA_level> sm = snd.sm;  // the layer functions take a modifiable profile
  const float lapse75 = lapse_rate(sm.data(), snd.sm_num(), UNIT_COORD_PRESS, 700.0f, 500.0f);
  v.lapse75 = static_cast<float>(unit_scaled(lapse75, UNIT_PER_KM));

  kinematics(snd, &v);
  v.stp_fixed = SEVERE_stp_fixed(v.sb.cape, v.sb.lcl, v.srh1, v.bwd6);
  // Without an effective inflow layer both effective-layer composites are 0.
  const bool layer = v.eff_base != MISSING;
  v.stp_eff = layer ? SEVERE_stp_effective(v.ml.cape, v.ml.lcl, v.ml.cin, v.esrh, v.ebwd) : 0.0f;
  v.scp = layer ? SEVERE_scp(v.mu.cape, v.esrh, v.ebwd) : 0.0f;
  return v;
}
