// ua_calc.cpp — analyses of one merged sounding: layer means and depths, precipitable
// water, freezing and wet-bulb-zero levels, the theta-e index, the lifted parcel with its
// buoyant energy and characteristic levels, the classical stability indices, and (at the
// end of the file) the wind analyses.
//
// No function keeps state or allocates, and none writes to the sounding itself; only a
// potential-temperature coordinate (113, 114) lets the interpolation fill missing
// temperatures of the profile in place.
// Layer bounds come from the level interpolation of the merge module. Soundings hold
// Celsius; the moist-air functions take kelvin, so a present value gets 273.15 added and
// a missing one stays missing. Arithmetic is in double, results are stored as float.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "zudupa.h"

namespace {


constexpr M_type kTrace = mess_sub(MESS_DEBUG, MESS_SUB_C);  // walk and ascent traces, debug sub-level c

constexpr int kPressCoord = UNIT_COORD_PRESS;
constexpr int kSurfCoord = UNIT_COORD_SFC;

constexpr float kLowSounding = 500.0f;  // a sounding must start at or below this (mb)
constexpr float kCapLimit = 500.0f;     // cap searches count only pressures above this (mb)
constexpr float kThetaeLimit = 700.0f;  // theta-e layers must start at or below this (mb)
constexpr int kThetaeLayers = 5;        // theta-e layers recorded
constexpr double kGravity = 9.8;        // m/s2
constexpr double kMoistStep = 10.0;     // pressure step of the moist ascent, mb
constexpr double kPrecipDiv = 2.4892;   // mm per inch (25.4) times g/100 (0.098)
constexpr int kCclSteps = 12;           // refinements of the convective condensation level
constexpr double kCclTol = 2e-5;        // squared temperature gap (K2) that ends them
constexpr double kPi = 3.1415926535898;

// Static energy of a level, cal/g: sensible heat, geopotential and latent heat.
constexpr double kCpCal = 0.24;          // specific heat of air, cal/g/K
constexpr double kGravCgs = 980.0;       // gravity, cm/s2
constexpr double kErgPerCal = 4.2e7;     // erg per cal
constexpr double kLatentCal = 0.6;       // latent heat, cal/g per g/kg of vapour

// SWEAT index weights and the window of its shear term.
constexpr float kSweatTT = 49.0f;        // total totals above this score
constexpr float kSweatMinSpd = 15.0f;    // knots at both levels for the shear term
constexpr float kSweatDir850Lo = 135.0f, kSweatDir850Hi = 250.0f;
constexpr float kSweatDir500Lo = 210.0f, kSweatDir500Hi = 310.0f;

// Conversions keep the one missing rule of zudunits.h: a missing value (or the 0.0
// "nothing to report" of the adiabat and mixing-ratio functions, as kelvin) stays missing.
constexpr auto kelvin = unit_kelvin;
constexpr auto celsius = unit_celsius;

bool valid_pres(float p) { return p != MISSING && p > 0.0f; }

// True when the sounding has levels and its first one lies at or below 500 mb: the
// soundings that start near the ground.
bool starts_low(const UPA_level* lev, int num) {
  return lev != nullptr && num > 0 && lev[0].p != MISSING && lev[0].p >= kLowSounding;
}

// The coordinate of a layer's top bound: a surface bottom (code 1) has its top given in
// pressure, since interpolating "the surface" again would give the bottom back.
int top_coord(int coord) { return coord == kSurfCoord ? kPressCoord : coord; }

// The sounding interpolated at value in coordinate coord; returns the interpolation index.
// sfc: the surface that code 1 stands for; null takes the one lent by UPA_set_surface.
int level_at(UPA_level* lev, int num, int coord, float value, UPA_level* out,
             const UPA_level* sfc = nullptr) {
  *out = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  if (sfc == nullptr) return UPA_interp(lev, std::max(num, 0), coord, value, out);
  return UPA_interp_sfc(lev, std::max(num, 0), coord, value, out, sfc);
}

// The names mean_value accepts, in the order they are tried, and their variable codes.
struct VarName {
  const char* name;
  int code;
};
constexpr VarName kVarNames[] = {
    {"temp", 1},    {"dewp", 2},   {"rhum", 3},   {"theta", 4},   {"dewd", 5},  {"mrat", 6},
    {"shum", 7},    {"vpres", 8},  {"wetblb", 9}, {"thetaw", 10}, {"thetae", 11},
    {"thetav", 12}, {"vtemp", 14}, {"hght", 15},  {"hag", 15},    {"pres", 16}};

// Runs the layer walk with the per-level value f and the skip field, tracing each segment
// with the field shown as its temperatures. Returns the sum of (v1 + v2) ln(pa/pb) over
// the segments with both end values; their weights are summed into *weight and their
// count into *used.
double walk_sum(UPA_level* lev, int num, const UPA_level& b, int lb, const UPA_level& t, int lt,
                const std::function<float(const UPA_level&)>& f, float UPA_level::*skip,
                float UPA_level::*shown, double* weight, int* used) {
  double sum = 0.0;
  *weight = 0.0;
  *used = 0;
  layer_walk(lev, num, b, lb, t, lt, skip,
             [&](WalkSeg kind, int j, int i, const UPA_level& lo, const UPA_level& hi, double w) {
               const float v1 = f(lo), v2 = f(hi);
               if (MESS_check(kTrace))  // the label is made only for a trace that shows
                 MESS_print(kTrace, "%s  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n",
                            walk_label(kind, j, i).c_str(), lo.*shown, hi.*shown, lo.p, hi.p, v1, v2);
               if (v1 == MISSING || v2 == MISSING) return;
               sum += (static_cast<double>(v1) + v2) * w;
               *weight += w;
               ++*used;
             });
  return sum;
}

// Parcel temperature and dew point (K) at pressure pb of the mean of the source layer
// bottom..thick above it: its mean potential temperature and mixing ratio brought to pb.
// Either is missing when its mean could not be formed.
void layer_parcel(UPA_level* lev, int num, int coord, float bottom, float thick, float pb,
                  float* tk, float* tdk, const UPA_level* sfc) {
  float wbar = MISSING, obar = MISSING;
  layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), &wbar, &obar, sfc);
  const float t = obar == MISSING ? 0.0f : temp_on_dryad(obar, pb);
  const float td = wbar == MISSING ? 0.0f : temp_on_mixrat(wbar, pb);
  *tk = t > 0.0f ? t : MISSING;
  *tdk = td > 0.0f ? td : MISSING;
}

// The start of a lifted parcel: its temperature and dew point (K) at pressure p (mb), its
// lifting condensation level (mb) and the temperature there (K).
struct ParcelStart {
  float tk = MISSING, tdk = MISSING, p = MISSING, plcl = MISSING, tlcl = MISSING;
};

// Lifts air of tk and tdk (K) at p (mb) dry-adiabatically to its condensation level.
// Returns false when that level cannot be computed.
bool lift_to_lcl(float tk, float tdk, float p, ParcelStart* s) {
  *s = {tk, tdk, p, lcl_pres(tk, tdk, p), MISSING};
  if (s->plcl == MISSING) return false;
  s->tlcl = lcl_temp(tk, p, s->plcl);
  return true;
}

// The parcel of the sounding at the interpolated bottom b, or of the mean of the layer
// thick above bottom when thick > 0, lifted to its condensation level. Returns false
// when that level cannot be computed.
bool source_parcel(UPA_level* lev, int num, int coord, float bottom, float thick,
                   const UPA_level& b, const UPA_level* sfc, ParcelStart* s) {
  float tk = kelvin(b.t), tdk = kelvin(b.td);
  if (thick > 0.0f) layer_parcel(lev, num, coord, bottom, thick, b.p, &tk, &tdk, sfc);
  return lift_to_lcl(tk, tdk, b.p, s);
}

}  // namespace

// ---- the layer walk --------------------------------------------------------------------
//
// int layer_walk(const UPA_level* lev, int num, const UPA_level& bot, int lb,
//                const UPA_level& top, int lt, float UPA_level::*skip, const WalkVisit& visit);
//
// Walks the layer from the interpolated bottom bound bot (index lb, as UPA_interp returned
// it) to the interpolated top bound top (index lt) through the sounding levels strictly
// between them whose field skip is present, and calls visit once per segment, lower end
// first. Returns the number of segments visited.
//
// When the bottom lies on level lb the walk starts there with the bound's own values.
// When no usable level lies inside the layer the walk is the one segment from bound to
// bound: a first segment never reaches past the top (which would add a return segment of
// negative depth and split one layer's energy into a positive and a negative part).
// Only levels 0..num-1 are ever read, whatever lb and lt are.
int layer_walk(const UPA_level* lev, int num, const UPA_level& bot, int lb, const UPA_level& top,
               int lt, float UPA_level::*skip, const WalkVisit& visit) {
  if (lev == nullptr) num = 0;
  num = std::max(num, 0);
  lb = std::clamp(lb, 0, num);
  lt = std::clamp(lt, 0, num);
  const auto weight = [](const UPA_level& a, const UPA_level& b) {
    return valid_pres(a.p) && valid_pres(b.p) ? std::log(static_cast<double>(a.p) / b.p) : 0.0;
  };
  int segs = 0;
  const UPA_level* from = &bot;  // lower end of the next segment
  int j = lb;                    // index of the level at the lower end
  int i = lb;                    // index of the level being reached
  const bool at_level = lb < num && lev[lb].p == bot.p;
  if (!at_level) {
    while (i < lt && lev[i].*skip == MISSING) ++i;
    if (i < lt) {
      visit(WalkSeg::first, lb, i, bot, lev[i], weight(bot, lev[i]));
      from = &lev[i];
      ++segs;
    } else {
      i = lt;  // nothing usable inside: one segment from bound to bound
    }
  }
  while (i < lt) {
    j = i;
    ++i;
    while (i < lt && lev[i].*skip == MISSING) ++i;
    if (i >= lt) break;
    visit(WalkSeg::inner, j, i, *from, lev[i], weight(*from, lev[i]));
    from = &lev[i];
    ++segs;
  }
  if (top.p != from->p) {
    visit(WalkSeg::last, j, lt, *from, top, weight(*from, top));
    ++segs;
  }
  return segs;
}

// The trace label of a walk segment: "LB, i" for the first, " j, i" for inner ones and
// " j,LT" for the last (two-digit indices).
std::string walk_label(WalkSeg kind, int j, int i) {
  char buf[32];
  switch (kind) {
    case WalkSeg::first: std::snprintf(buf, sizeof buf, "LB,%2d", i); break;
    case WalkSeg::inner: std::snprintf(buf, sizeof buf, "%2d,%2d", j, i); break;
    case WalkSeg::last: std::snprintf(buf, sizeof buf, "%2d,LT", j); break;
  }
  return buf;
}

// ---- layer quantities ------------------------------------------------------------------

// The derived variable of one level by code: 1 temperature (C), 2 dew point (C),
// 3 relative humidity (%), 4 and 13 potential temperature (K), 5 dew-point depression (C),
// 6 mixing ratio (g/kg), 7 specific humidity (g/kg), 8 vapour pressure (mb), 9 wet-bulb
// temperature (K), 10 wet-bulb potential temperature (K), 11 equivalent potential
// temperature (K), 12 virtual potential temperature (K), 14 virtual temperature (K),
// 15 height (m), 16 pressure (mb). -9999.0 for any other code or when an input is missing.
float variable_calc(int type, const UPA_level* lev) {
  if (lev == nullptr) return MISSING;
  const float t = kelvin(lev->t), td = kelvin(lev->td), p = lev->p;
  switch (type) {
    case 1: return lev->t;
    case 2: return lev->td;
    case 3: return rel_hum(t, td);
    case 4:
    case 13: return pot_temp(t, p);
    case 5: return lev->t != MISSING && lev->td != MISSING ? lev->t - lev->td : MISSING;
    case 6: return mix_ratio(td, p);
    case 7: return spec_hum(td, p);
    case 8: return vapor_pr(td);
    case 9: return wet_bulb(t, td, p);
    case 10: return wet_bulb_pot_temp(t, td, p);
    case 11: return eq_pot_temp(t, td, p);
    case 12: return virt_pot_temp(t, td, p);
    case 14: return virt_temp(t, td, p);
    case 15: return lev->h;
    case 16: return lev->p;
    default: return MISSING;
  }
}

// The log-pressure weighted mean of the variable named val ("temp", "dewp", "rhum",
// "theta", "dewd", "mrat", "shum", "vpres", "wetblb", "thetaw", "thetae", "thetav",
// "vtemp", "hght", "hag", "pres"; exact case) over the layer bottom..top, in the unit of
// the variable; the value at bottom when top is missing or equals bottom. -9999.0 for an
// unknown name, an empty sounding or one starting above 500 mb, a missing bottom, a top
// on a one-level sounding, or a layer without two neighbouring values.
float mean_value(const char* val, UPA_level* lev, int num, int coord, float bottom, float top, const UPA_level* sfc) {
  int code = 0;
  if (val != nullptr) {
    for (const auto& v : kVarNames) {
      if (std::strcmp(val, v.name) == 0) {
        code = v.code;
        break;
      }
    }
  }
  if (!starts_low(lev, num) || bottom == MISSING) return MISSING;
  UPA_level b;
  const int lb = level_at(lev, num, coord, bottom, &b, sfc);
  if (num == 1) return top == MISSING ? variable_calc(code, &b) : MISSING;
  if (top == MISSING || top == bottom) return variable_calc(code, &b);
  UPA_level t;
  const int lt = level_at(lev, num, top_coord(coord), top, &t);
  MESS_print(kTrace, "%d-%d  %5.1f %5.1f  %5.1f %5.1f\n", lb, lt, b.t, b.td, t.t, t.td);
  double weight = 0.0;
  int used = 0;
  const double sum = walk_sum(
      lev, num, b, lb, t, lt, [code](const UPA_level& l) { return variable_calc(code, &l); },
      &UPA_level::t, &UPA_level::t, &weight, &used);
  if (used == 0 || weight == 0.0) return MISSING;
  return static_cast<float>(sum / (2.0 * weight));
}

// The mean mixing ratio (g/kg, into *Wbar) and mean potential temperature (K, into *Obar)
// of a parcel source layer bottom..top, each the log-pressure integral over the layer
// divided by its whole log-pressure depth (levels without the value thin the mean). A
// mean that no pair of neighbouring values supports, or a layer without depth, is
// -9999.0. A one-level sounding gives that level's values. Returns 0.
int layer_parcel_mean(UPA_level* lev, int num, int coord, float bottom, float top, float* Wbar,
                      float* Obar, const UPA_level* sfc) {
  float wdummy = MISSING, odummy = MISSING;
  if (Wbar == nullptr) Wbar = &wdummy;
  if (Obar == nullptr) Obar = &odummy;
  if (lev != nullptr && num == 1) {
    *Wbar = mix_ratio(kelvin(lev->td), lev->p);
    *Obar = pot_temp(kelvin(lev->t), lev->p);
    return 0;
  }
  *Wbar = *Obar = MISSING;
  UPA_level b, t;
  const int lb = level_at(lev, num, coord, bottom, &b, sfc);
  const int lt = level_at(lev, num, top_coord(coord), top, &t);
  const double depth = valid_pres(b.p) && valid_pres(t.p) ? std::log(static_cast<double>(b.p) / t.p) : 0.0;
  MESS_print(kTrace, "%2d-%2d  %5.1f %5.1f  %5.1f %5.1f\n", lb, lt, b.t, b.td, t.t, t.td);
  double weight = 0.0;
  int used = 0;
  const double osum = walk_sum(
      lev, num, b, lb, t, lt, [](const UPA_level& l) { return pot_temp(kelvin(l.t), l.p); },
      &UPA_level::t, &UPA_level::t, &weight, &used);
  if (used > 0 && depth != 0.0) *Obar = static_cast<float>(osum / (2.0 * depth));
  const double wsum = walk_sum(
      lev, num, b, lb, t, lt, [](const UPA_level& l) { return mix_ratio(kelvin(l.td), l.p); },
      &UPA_level::td, &UPA_level::td, &weight, &used);
  if (used > 0 && depth != 0.0) *Wbar = static_cast<float>(wsum / (2.0 * depth));
  MESS_print(kTrace, "%f %f\n", *Wbar, *Obar);
  return 0;
}

// Depth (m) of the layer bottom..top: the height difference of its bounds; -9999.0 when
// either height is unknown.
float thickness(UPA_level* lev, int num, int coord, float bottom, float top, const UPA_level* sfc) {
  UPA_level b, t;
  level_at(lev, num, coord, bottom, &b, sfc);
  level_at(lev, num, top_coord(coord), top, &t);
  if (b.h == MISSING || t.h == MISSING) return MISSING;
  return std::fabs(t.h - b.h);
}

// Temperature lapse rate (C per m) of the layer bottom..top, positive when temperature
// falls with height; -9999.0 when a bound's temperature or height is missing or both
// bounds have the same height.
float lapse_rate(UPA_level* lev, int num, int coord, float bottom, float top, const UPA_level* sfc) {
  UPA_level b, t;
  level_at(lev, num, coord, bottom, &b, sfc);
  level_at(lev, num, top_coord(coord), top, &t);
  if (b.t == MISSING || t.t == MISSING) return MISSING;
  if (b.h == MISSING || t.h == MISSING || b.h == t.h) return MISSING;
  return static_cast<float>(-(static_cast<double>(t.t) - b.t) / (static_cast<double>(t.h) - b.h));
}

// Precipitable water of the sounding (inches): the specific humidity integrated in
// pressure between neighbouring levels with dew points. -9999.0 for fewer than three
// levels, a sounding starting above 500 mb, or one whose first three dew points are
// missing.
float precip_water(const UPA_level* lev, int num) {
  if (num <= 2 || !starts_low(lev, num)) return MISSING;
  if (lev[0].td == MISSING && lev[1].td == MISSING && lev[2].td == MISSING) return MISSING;
  double total = 0.0;
  for (int i = 0; i < num - 1; ++i) {
    if (lev[i].td == MISSING) continue;
    int j = i + 1;
    while (j < num && lev[j].td == MISSING) ++j;
    if (j == num) break;
    const float q1 = spec_hum(kelvin(lev[i].td), lev[i].p);
    const float q2 = spec_hum(kelvin(lev[j].td), lev[j].p);
    if (q1 == MISSING || q2 == MISSING) continue;  // a level without pressure adds nothing
    total += (static_cast<double>(lev[i].p) - lev[j].p) * ((static_cast<double>(q1) + q2) / 2000.0) /
             kPrecipDiv;
  }
  return static_cast<float>(total);
}

// Pressure (mb) of the lowest 0 C crossing of the temperature profile, 0 C counting as
// above freezing; -1 when the lowest temperature below 500 mb is already below freezing;
// -9999.0 when there is no crossing or the sounding is empty or starts above 500 mb.
float freezing_level(const UPA_level* lev, int num) {
  if (!starts_low(lev, num)) return MISSING;
  bool first = true;
  for (int i = 0; i < num - 1; ++i) {
    const float ti = lev[i].t;
    if (ti == MISSING) continue;
    if (first && lev[i].p > kLowSounding && ti < 0.0f) return -1.0f;
    first = false;
    int j = i + 1;
    while (j < num && lev[j].t == MISSING) ++j;
    if (j == num) return MISSING;
    const float tj = lev[j].t;
    if ((ti >= 0.0f && tj < 0.0f) || (ti < 0.0f && tj >= 0.0f))
      return linear_interp(0.0f, ti, tj, lev[i].p, lev[j].p);
  }
  return MISSING;
}

// Pressure (mb) of the lowest 0 C crossing of the wet-bulb temperature; -1 when the
// wet-bulb temperature of the lowest level with temperature and dew point is below 0 C
// or cannot be computed; -9999.0 when there is no crossing. A higher level whose wet bulb
// cannot be computed is passed over like one without data.
float wet_bulb_zero(const UPA_level* lev, int num) {
  if (lev == nullptr || num <= 0) return MISSING;
  const auto wb = [lev](int k) {
    const UPA_level& l = lev[k];
    if (l.t == MISSING || l.td == MISSING) return MISSING;
    return celsius(wet_bulb(kelvin(l.t), kelvin(l.td), l.p));
  };
  int i = 0;
  while (i < num - 1 && (lev[i].t == MISSING || lev[i].td == MISSING)) ++i;
  if (i >= num - 1) return MISSING;
  float wb1 = wb(i);
  if (wb1 == MISSING || wb1 < 0.0f) return -1.0f;
  while (i < num - 1) {
    int j = i + 1;
    float wb2 = MISSING;
    while (j < num && (wb2 = wb(j)) == MISSING) ++j;
    if (j == num) return MISSING;
    if (wb2 < 0.0f) return linear_interp(0.0f, wb1, wb2, lev[i].p, lev[j].p);
    i = j;
    wb1 = wb2;
  }
  return MISSING;
}

// Estimated maximum surface temperature (K): the air at the top of the layer thick above
// bottom brought dry-adiabatically down to bottom. -9999.0 when bottom, the bottom
// pressure or the temperature at the top is missing.
float max_temperature(UPA_level* lev, int num, int coord, float bottom, float thick, const UPA_level* sfc) {
  if (bottom == MISSING) return MISSING;
  UPA_level b, t;
  level_at(lev, num, coord, bottom, &b, sfc);
  level_at(lev, num, top_coord(coord), UPA_thick_top(coord, bottom, thick), &t);
  if (t.t == MISSING || !valid_pres(b.p)) return MISSING;
  const float theta = pot_temp(kelvin(t.t), t.p);
  if (theta == MISSING) return MISSING;
  const float tmax = temp_on_dryad(theta, b.p);
  return tmax > 0.0f ? tmax : MISSING;
}

namespace {

// Keeps theta-e te (K) at pressure p (mb) when it is the largest or smallest met so far.
void note_thetae_extremes(float te, float p, THETAE_params* params) {
  if (te > params->max) {
    params->max = te;
    params->maxp = p;
  }
  if (te < params->min) {
    params->min = te;
    params->minp = p;
  }
}

// Reports the layer of largest decrease among those based at or below the limit; a layer
// without a recorded top (still open when the scan ended, or no decrease at all) reaches
// last_p, the last level examined.
void pick_thetae_layer(const double* index, const float* base, const float* top, float last_p,
                       THETAE_params* params) {
  int m = 0;
  for (int n = 1; n < kThetaeLayers; ++n)
    if (base[n] != MISSING && base[n] >= kThetaeLimit && index[n] > index[m]) m = n;
  params->index = static_cast<float>(index[m]);
  params->base = base[m];
  params->top = top[m];
  if (params->top == MISSING) params->top = last_p;
}

}  // namespace

// The theta-e index: the largest total decrease of equivalent potential temperature (K)
// over one of the first five layers of decreasing theta-e that start at or below 700 mb,
// with that layer's base and top (mb) and the extremes of theta-e met on the way. The top
// of a layer with no recorded top (still decreasing where the scan ended) is the last level
// examined; a sounding without any decrease reports index 0 with the first level as base
// and the last level examined as top.
// Returns 0, or -1 (index, base and top missing) when no level has temperature and dew
// point or the first decreasing layer starts above 700 mb.
int thetae_index(const UPA_level* lev, int num, THETAE_params* params) {
  if (params == nullptr) return -1;
  *params = THETAE_params{};
  if (lev == nullptr || num <= 0) return -1;
  const auto theta_e = [lev](int k) {
    const UPA_level& l = lev[k];
    if (l.t == MISSING || l.td == MISSING) return MISSING;
    return eq_pot_temp(kelvin(l.t), kelvin(l.td), l.p);
  };
  double index[kThetaeLayers] = {};
  float base[kThetaeLayers], top[kThetaeLayers];
  std::fill(base, base + kThetaeLayers, MISSING);
  std::fill(top, top + kThetaeLayers, MISSING);

  int cur = 0;
  float te = MISSING;
  while (cur < num && (te = theta_e(cur)) == MISSING) ++cur;
  if (cur == num) return -1;
  params->max = params->min = te;
  params->maxp = params->minp = base[0] = lev[cur].p;
  float last_p = lev[cur].p;  // pressure of the last level examined
  ++cur;
  int k = 0;
  bool open = false;
  while (k < kThetaeLayers && base[k] != MISSING && base[k] >= kThetaeLimit && cur < num) {
    const int j = cur;  // the level after the previous one examined
    float next = MISSING;
    while (cur < num && (next = theta_e(cur)) == MISSING) ++cur;
    if (cur == num) break;
    const float prev = te;
    te = next;
    last_p = lev[cur].p;
    note_thetae_extremes(te, lev[cur].p, params);
    if (prev >= te) {
      if (!open) {
        open = true;
        base[k] = lev[j].p;
      }
      index[k] += static_cast<double>(prev) - te;
    } else if (open) {
      top[k] = lev[j].p;
      ++k;
      if (k < kThetaeLayers) base[k] = lev[j].p;
      open = false;
    }
    ++cur;
  }
  if (base[0] < kThetaeLimit) return -1;
  pick_thetae_layer(index, base, top, last_p, params);
  return 0;
}

// ---- parcel ascent and buoyant energy --------------------------------------------------

// Buoyant energy (J/kg) of one ascent segment: g (tp - te) / te times the environment's
// depth, with tp and te the mean parcel and environment temperatures of the two ends
// (te in K). -9999.0 when a temperature or environment height at either end is missing:
// such a segment has no energy and the ascent skips it.
float energy_calc(const UPA_level* par1, const UPA_level* par2, const UPA_level* env1,
                  const UPA_level* env2) {
  if (par1 == nullptr || par2 == nullptr || env1 == nullptr || env2 == nullptr) return MISSING;
  if (par1->t == MISSING || par2->t == MISSING || env1->t == MISSING || env2->t == MISSING ||
      env1->h == MISSING || env2->h == MISSING)
    return MISSING;
  const double tp = (static_cast<double>(par1->t) + par2->t) / 2.0;
  const double te = (static_cast<double>(env1->t) + env2->t) / 2.0;
  return static_cast<float>(kGravity * (tp - te) / (te + UNIT_C_TO_K) *
                            (static_cast<double>(env2->h) - env1->h));
}

namespace {

// One parcel ascent in progress: the parcel and environment at the lower (1) and upper
// (2) end of the current step, and the energies summed so far.
struct Ascent {
  UPA_level* lev;
  int num;
  PARCEL_params& r;
  UPA_level par1{}, env1{}, par2{}, env2{};
  double bplus = 0.0, bminus = 0.0, babove = 0.0;  // positive, inhibiting, above-LFC negative
  double cap = 0.0;       // largest environment-minus-parcel temperature below 500 mb, C
  int state = 0;          // 0 below the LFC, 1 above it, 2 above the EL
  bool positive = false;  // the last segment had positive energy

  // Chooses the parcel: blev when it carries a pressure; else the mean of the layer thick
  // above bottom (thick > 0), else the sounding at bottom; copies the choice into blev.
  // Returns the interpolation index of the start.
  int start(UPA_level* blev, int coord, float bottom, float thick, const UPA_level* sfc) {
    if (blev != nullptr && blev->p != MISSING) {
      const int l1 = level_at(lev, num, kPressCoord, blev->p, &env1);
      par1 = *blev;
      return l1;
    }
    const int l1 = level_at(lev, num, coord, bottom, &env1, sfc);
    par1 = env1;
    if (thick > 0.0f) {
      float tk, tdk;
      layer_parcel(lev, num, coord, bottom, thick, par1.p, &tk, &tdk, sfc);
      par1.t = celsius(tk);
      par1.td = celsius(tdk);
    }
    if (blev != nullptr) *blev = par1;
    return l1;
  }

  void update_cap(const UPA_level& env, const UPA_level& par) {
    if (env.p != MISSING && env.p > kCapLimit && env.t != MISSING && par.t != MISSING)
      cap = std::max(cap, static_cast<double>(env.t) - par.t);
  }

  // Dry ascent from the start (index l1) to the condensation level along the sounding's
  // own levels, on the dry adiabat theta_d (K).
  void dry(int l1, float theta_d) {
    UPA_level lcl;
    const int lt = level_at(lev, num, kPressCoord, r.plcl, &lcl);
    const UPA_level from = env1;
    par2 = par1;
    env2 = env1;
    layer_walk(lev, num, from, l1, lcl, lt, &UPA_level::t,
               [&](WalkSeg kind, int j, int i, const UPA_level&, const UPA_level& hi, double) {
                 level_at(lev, num, kPressCoord, hi.p, &env2);
                 par2 = env2;
                 par2.t = celsius(temp_on_dryad(theta_d, hi.p));
                 update_cap(env2, par2);
                 const float e = energy_calc(&par1, &par2, &env1, &env2);
                 if (MESS_check(kTrace))
                   MESS_print(kTrace, "%s  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n",
                              walk_label(kind, j, i).c_str(), env1.t, env2.t, env1.p, env2.p,
                              par1.t, par2.t, e);
                 // Below the condensation level the parcel is not free: warmth there is no
                 // convective energy, a cold parcel there is inhibition.
                 if (e != MISSING && e < 0.0f) bminus -= e;
                 par1 = par2;
                 env1 = env2;
               });
  }

  // Books the energy e (J/kg) of one moist step whose mid-pressure is pm (mb).
  void book(float e, float pm) {
    if (e >= 0.0f && state == 0) {
      r.lfc = pm;
      state = 1;
    }
    if (e < 0.0f && state == 0) bminus -= e;
    if (e > 0.0f) {
      bplus += e;
      positive = true;
    }
    if (e < 0.0f && state != 0) {
      babove -= e;
      // Every top of a positive area is an equilibrium level; the last one, the top of
      // the highest positive area, stands, and the maximum parcel level is sought above it.
      if (positive) {
        r.el = pm;
        r.mpl = MISSING;
        r.Bel = static_cast<float>(bplus - babove);
        state = 2;
      }
      positive = false;
    }
    if (babove >= bplus && state == 2 && r.mpl == MISSING) {
      r.mpl = pm;
      r.Bmpl = static_cast<float>(bplus - babove);
    }
  }

  // Moist ascent from the condensation level along the saturated adiabat r.Satad in
  // fixed pressure steps, to the top of the sounding or its last temperature.
  void moist() {
    const float ptop = valid_pres(lev[num - 1].p) ? lev[num - 1].p : 0.0f;
    for (int step = 1;; ++step) {
      const float p = static_cast<float>(r.plcl - kMoistStep * step);
      if (!(p > ptop)) break;
      par1 = par2;
      env1 = env2;
      level_at(lev, num, kPressCoord, p, &env2);
      if (env2.t == MISSING) break;
      par2 = env2;
      par2.t = celsius(temp_on_satad(r.Satad, p));
      update_cap(env2, par2);
      const float e = energy_calc(&par1, &par2, &env1, &env2);
      MESS_print(kTrace, "%5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n", env1.t, env2.t,
                 env1.p, env2.p, par1.t, par2.t, e);
      if (e != MISSING)
        book(e, static_cast<float>((static_cast<double>(par1.p) + par2.p) / 2.0));
      MESS_print(kTrace, "   %5.1f-%5.1f-%5.1f %5.1f,%5.1f,%5.1f %5.1f-%5.1f\n", bplus, bminus,
                 babove, r.lfc, r.el, r.mpl, r.Bel, r.Bmpl);
    }
  }
};

}  // namespace

// Lifts a parcel through the sounding and fills *params with its condensation level,
// level of free convection, equilibrium and maximum parcel levels, positive and negative
// energy, cap strength and maximum updraft. CAPE is the positive energy above the LFC;
// inhibition the negative energy below it, and both are 0 when no LFC is found. The
// equilibrium level is the top of the highest positive area. The parcel is blev when it carries a
// pressure; else the mean of the layer thick above bottom (thick > 0), else the sounding
// at bottom; the chosen parcel is copied into blev. Returns 1 when the ascent ran; 0 (no
// ascent: energies, cap, lfc and every level -9999.0) for an empty sounding, a missing
// bottom, or a parcel whose condensation level cannot be computed.
int parcel_calc(UPA_level* lev, int num, UPA_level* blev, int coord, float bottom, float thick,
                PARCEL_params* params, const UPA_level* sfc) {
  if (params == nullptr) return 0;
  PARCEL_params& r = *params;
  r = PARCEL_params{};
  r.lfc = -1.0f;
  r.Bplus = r.Bminus = r.wmax = r.cap = 0.0f;
  const auto no_ascent = [&r] {
    r.Bplus = r.Bminus = r.wmax = r.cap = r.lfc = MISSING;
    return 0;
  };
  if (lev == nullptr || num <= 0 || bottom == MISSING) return no_ascent();

  Ascent a{lev, num, r};
  const int l1 = a.start(blev, coord, bottom, thick, sfc);
  MESS_print(kTrace, "P:%6.1f H:%7.0f T:%7.1f Td:%7.1f Dir:%6.0f Spd:%6.0f\n", a.par1.p, a.par1.h,
             a.par1.t, a.par1.td, a.par1.dir, a.par1.spd);

  ParcelStart ps;
  if (!lift_to_lcl(kelvin(a.par1.t), kelvin(a.par1.td), a.par1.p, &ps) || ps.tlcl <= 0.0f)
    return no_ascent();
  r.plcl = ps.plcl;
  r.tlcl = ps.tlcl;
  if (a.env1.t != MISSING && a.par1.t != MISSING)
    a.cap = std::max(a.cap, static_cast<double>(a.env1.t) - a.par1.t);
  a.dry(l1, pot_temp(ps.tlcl, ps.plcl));
  r.Satad = thetae_on_satad(ps.tlcl, ps.plcl);
  a.moist();

  // An ascent that never becomes free has no inhibition to overcome: the negative area of
  // the whole column is no convective inhibition.
  if (a.state == 0) a.bminus = 0.0;
  r.Bplus = static_cast<float>(a.bplus);
  r.Bminus = static_cast<float>(a.bminus);
  r.cap = static_cast<float>(a.cap);
  if (a.bplus > 0.0) r.wmax = static_cast<float>(std::sqrt(2.0 * a.bplus));
  return 1;
}

// Cap strength (C): the largest excess of environmental over parcel temperature from the
// parcel's condensation level up to 500 mb, the parcel being the sounding at bottom or the
// mean of the layer thick above it. Negative when the parcel is warmer throughout;
// -9999.0 for an empty sounding, a missing bottom, or a parcel whose condensation level
// cannot be computed.
float cap_strength(UPA_level* lev, int num, int coord, float bottom, float thick, const UPA_level* sfc) {
  if (lev == nullptr || num <= 0 || bottom == MISSING) return MISSING;
  UPA_level b;
  level_at(lev, num, coord, bottom, &b, sfc);
  ParcelStart ps;
  if (!source_parcel(lev, num, coord, bottom, thick, b, sfc, &ps) || ps.tlcl <= 0.0f)
    return MISSING;
  const float tk = ps.tk, plcl = ps.plcl, tlcl = ps.tlcl;
  const bool dry = plcl < kCapLimit;
  const float label = dry ? pot_temp(tk, b.p) : thetae_on_satad(tlcl, plcl);

  UPA_level l;
  const int ll = level_at(lev, num, kPressCoord, plcl, &l);
  bool found = false;
  double max_dt = 0.0;
  if (l.t != MISSING) {
    max_dt = static_cast<double>(l.t) - (tlcl - UNIT_C_TO_K);
    found = true;
  }
  for (int k = ll; k < num && lev[k].p != MISSING && lev[k].p > kCapLimit; ++k) {
    if (lev[k].t == MISSING) continue;
    const float tp = celsius(dry ? temp_on_dryad(label, lev[k].p) : temp_on_satad(label, lev[k].p));
    if (tp == MISSING) continue;
    const double dt = static_cast<double>(lev[k].t) - tp;
    if (!found || dt > max_dt) max_dt = dt;
    found = true;
  }
  return found ? static_cast<float>(max_dt) : MISSING;
}

// Pressure (mb) of the convective condensation level: where the mixing-ratio line of the
// parcel at bottom (or of the mean of the layer thick above it) meets the temperature
// profile; the mixing ratio (g/kg) goes into *Wbar. -1 when the line never meets it;
// -9999.0 (and *Wbar -9999.0) for an empty sounding or a bottom above 500 mb; 0 for a
// one-level sounding (with its mixing ratio).
float pr_ccl(UPA_level* lev, int num, int coord, float bottom, float thick, float* Wbar, const UPA_level* sfc) {
  float wdummy = MISSING;
  if (Wbar == nullptr) Wbar = &wdummy;
  *Wbar = MISSING;
  if (lev == nullptr || num <= 0) return MISSING;
  UPA_level b;
  const int lb = level_at(lev, num, coord, bottom, &b, sfc);
  if (b.p == MISSING || b.p < kLowSounding) return MISSING;
  if (num == 1) {
    *Wbar = mix_ratio(kelvin(b.td), b.p);
    return 0.0f;
  }
  if (thick > 0.0f) {
    float obar = MISSING;
    layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), Wbar, &obar, sfc);
  } else {
    *Wbar = mix_ratio(kelvin(b.td), b.p);
  }
  const float w = *Wbar;
  if (w == MISSING) return MISSING;

  int j = -1, i = -1;  // last level below the crossing, first level above it
  for (int k = lb; k < num; ++k) {
    if (lev[k].t == MISSING || !valid_pres(lev[k].p)) continue;
    if (temp_on_mixrat(w, lev[k].p) > lev[k].t + UNIT_C_TO_K) {
      i = k;
      break;
    }
    j = k;
  }
  if (i < 0) return -1.0f;
  if (j < 0) return lev[i].p;  // the first level examined is already above the crossing

  const float pj = lev[j].p, pi = lev[i].p;
  double pc = (static_cast<double>(pj) + pi) / 2.0;
  double d = (static_cast<double>(pj) - pi) / 2.0;
  for (int n = 0; n < kCclSteps; ++n) {
    const float pcf = static_cast<float>(pc);
    const float te = interp_temp(lev[j].t, lev[i].t, pj, pi, pcf);
    if (te == MISSING) break;
    const double x = static_cast<double>(temp_on_mixrat(w, pcf)) - (te + UNIT_C_TO_K);
    if (x * x < kCclTol) break;
    pc = x > 0.0 ? pc + d : pc - d;
    d /= 2.0;
  }
  return static_cast<float>(pc);
}

// Energy index (cal/g): the static energy at 500 mb minus that at 850 mb, each the sum of
// sensible heat, geopotential and latent heat; -9999.0 when a temperature, dew point or
// height at either level is missing.
float energy_index(UPA_level* lev, int num) {
  UPA_level l850, l500;
  level_at(lev, num, kPressCoord, 850.0f, &l850);
  level_at(lev, num, kPressCoord, 500.0f, &l500);
  const auto energy = [](const UPA_level& l) {
    if (l.t == MISSING || l.td == MISSING || l.h == MISSING) return static_cast<double>(MISSING);
    const float w = mix_ratio(kelvin(l.td), l.p);
    if (w == MISSING) return static_cast<double>(MISSING);
    return kCpCal * (l.t + UNIT_C_TO_K) + l.h * kGravCgs * 100.0 / kErgPerCal + kLatentCal * w;
  };
  const double e850 = energy(l850), e500 = energy(l500);
  if (e850 == MISSING || e500 == MISSING) return MISSING;
  return static_cast<float>(e500 - e850);
}

// ---- stability indices -----------------------------------------------------------------

// Lifted index (C): the environment temperature at top minus that of a parcel lifted
// there from bottom (the mean of the layer thick above bottom when thick > 0), dry to
// its condensation level and saturated above. Negative when the parcel is warmer. With
// bottom 850 mb and no layer it is the Showalter index. -9999.0 for an empty sounding or
// one starting above 500 mb, a missing temperature at either bound, a parcel whose
// condensation level cannot be computed, or a parcel temperature that cannot be.
float lifted_index(UPA_level* lev, int num, int coord, float bottom, float thick, float top, const UPA_level* sfc) {
  if (!starts_low(lev, num)) return MISSING;
  UPA_level b, t;
  level_at(lev, num, coord, bottom, &b, sfc);
  if (b.t == MISSING) return MISSING;
  level_at(lev, num, top_coord(coord), top, &t);
  if (t.t == MISSING) return MISSING;
  ParcelStart ps;
  if (!source_parcel(lev, num, coord, bottom, thick, b, sfc, &ps)) return MISSING;
  const float tk = ps.tk, plcl = ps.plcl, tlcl = ps.tlcl;
  float tp;
  if (t.p != MISSING && t.p > plcl)
    tp = celsius(temp_on_dryad(pot_temp(tk, b.p), t.p));
  else
    tp = celsius(temp_on_satad(thetae_on_satad(tlcl, plcl), t.p));
  if (tp == MISSING) return MISSING;
  return static_cast<float>(static_cast<double>(t.t) - tp);
}

namespace {

// The sounding at 850, 700 and 500 mb.
struct Mandatory {
  UPA_level l850, l700, l500;
};

Mandatory mandatory(UPA_level* lev, int num) {
  Mandatory m;
  level_at(lev, num, kPressCoord, 850.0f, &m.l850);
  level_at(lev, num, kPressCoord, 700.0f, &m.l700);
  level_at(lev, num, kPressCoord, 500.0f, &m.l500);
  return m;
}

}  // namespace

// Total totals index (C): T850 + Td850 - 2 T500; -9999.0 when one is missing.
float total_totals(UPA_level* lev, int num) {
  const Mandatory m = mandatory(lev, num);
  if (m.l850.t == MISSING || m.l850.td == MISSING || m.l500.t == MISSING) return MISSING;
  return static_cast<float>(static_cast<double>(m.l850.t) + m.l850.td - 2.0 * m.l500.t);
}

// Vertical totals index (C): T850 - T500; -9999.0 when one is missing.
float vertical_totals(UPA_level* lev, int num) {
  const Mandatory m = mandatory(lev, num);
  if (m.l850.t == MISSING || m.l500.t == MISSING) return MISSING;
  return static_cast<float>(static_cast<double>(m.l850.t) - m.l500.t);
}

// Cross totals index (C): Td850 - T500; -9999.0 when one is missing.
float cross_totals(UPA_level* lev, int num) {
  const Mandatory m = mandatory(lev, num);
  if (m.l850.td == MISSING || m.l500.t == MISSING) return MISSING;
  return static_cast<float>(static_cast<double>(m.l850.td) - m.l500.t);
}

// K index (C): T850 - T500 + Td850 - (T700 - Td700); -9999.0 when one is missing.
float k_index(UPA_level* lev, int num) {
  const Mandatory m = mandatory(lev, num);
  if (m.l850.t == MISSING || m.l850.td == MISSING || m.l500.t == MISSING ||
      m.l700.t == MISSING || m.l700.td == MISSING)
    return MISSING;
  return static_cast<float>(static_cast<double>(m.l850.td) + m.l850.t - m.l500.t -
                            (static_cast<double>(m.l700.t) - m.l700.td));
}

// SWEAT index (score): 12 Td850 (when positive) + 20 (TT - 49) (when TT exceeds 49)
// + 2 spd850 + spd500 (knots) + 125 (sin(dir500 - dir850) + 0.2) for a veering wind of
// at least 15 knots in the usual severe-weather direction window. A missing speed drops
// its own terms only; -9999.0 when a temperature or direction at 850 or 500 mb, or the
// 850 mb dew point, is missing.
float sweat_index(UPA_level* lev, int num) {
  const Mandatory m = mandatory(lev, num);
  const UPA_level &a = m.l850, &b = m.l500;
  if (b.t == MISSING || b.dir == MISSING || a.t == MISSING || a.dir == MISSING || a.td == MISSING)
    return MISSING;
  double s = a.td > 0.0f ? 12.0 * a.td : 0.0;
  const float tt = total_totals(lev, num);
  if (tt != MISSING && tt > kSweatTT) s += 20.0 * (tt - kSweatTT);
  if (a.spd != MISSING) s += 2.0 * a.spd;
  if (b.spd != MISSING) s += b.spd;
  const double turn = static_cast<double>(b.dir) - a.dir;
  if (a.dir >= kSweatDir850Lo && a.dir <= kSweatDir850Hi && b.dir >= kSweatDir500Lo &&
      b.dir <= kSweatDir500Hi && turn > 0.0 && a.spd != MISSING && a.spd >= kSweatMinSpd &&
      b.spd != MISSING && b.spd >= kSweatMinSpd)
    s += 125.0 * (std::sin(turn * kPi / 180.0) + 0.2);
  return static_cast<float>(s);
}

// ==== wind analyses ====
//
// Kinematic analyses of the merged wind sounding: the layer mean wind, storm-relative
// helicity with its vorticity measures, veering and backing shear, the bulk Richardson
// number and the energy-helicity index. Vector work is in m/s (knots times 0.5144); the
// layer mean wind stays in knots. The integrations step upward in fixed height steps
// through the sounding interpolated by height, so they need heights but not pressures.

namespace {

constexpr double kHelStep = 100.0;          // helicity integration step, m
constexpr double kShearStep = 500.0;        // shear integration step, m
constexpr double kTopMargin = 10.0;         // lets the last step reach a top that is a level, m
constexpr float kHighSounding = 5000.0f;    // a wind sounding starting above this is not used, m
constexpr float kBrnShallow = 500.0f;       // low-level mean wind layer of the bulk shear, m
constexpr float kBrnDeep = 6000.0f;         // deep mean wind layer of the bulk shear, m
constexpr float kEhiDepth = 2000.0f;        // helicity layer of the energy-helicity index, m
constexpr double kEhiDivisor = UNIT_EHI_DIVISOR;
constexpr int kHeightCoord = UNIT_COORD_HEIGHT;
constexpr long kMaxSteps = 100000;          // ceiling on integration steps (10000 km at 100 m)
constexpr M_type kTraceBounds = mess_sub(MESS_DEBUG, MESS_SUB_D); // bound levels of the layer mean wind, debug sub-level d

constexpr VECT kNoVect = {MISSING, MISSING, 0.0f};  // a vector without a wind

// True for the pressure coordinate codes, whose values decrease upward.
bool pressure_coord(int coord) {
  return coord == 1 || coord == 100 || coord == 101 || coord == 102 || coord == 115 ||
         coord == 116;
}

// Knots to m/s; missing stays missing.
constexpr auto to_ms = unit_knot_to_ms;

// The vector of a wind (direction, speed); missing components when either is missing.
VECT vect_of(float dir, float spd) {
  VECT v = kNoVect;
  wind2vect(dir, spd, &v.x, &v.y);
  return v;
}

// The wind vector of a level in m/s.
VECT level_vect(const UPA_level& l) { return vect_of(l.dir, to_ms(l.spd)); }

// The wind vector (m/s) of the sounding interpolated at a step of a height-stepped
// integration: its u and v components interpolated linearly in height between the nearest
// levels below and above that have a height and a wind. Interpolating direction and speed
// instead would swing a light wind through the compass between two levels. Missing when
// the interpolated level at has no wind (no winds on both sides).
VECT step_vect(const UPA_level* lev, int num, const UPA_level& at) {
  if (at.dir == MISSING || at.spd == MISSING || at.h == MISSING) return kNoVect;
  const auto has_wind = [](const UPA_level& l) {
    return l.h != MISSING && l.dir != MISSING && l.spd != MISSING;
  };
  int lo = -1, hi = -1;
  for (int k = 0; k < num; ++k) {
    if (!has_wind(lev[k])) continue;
    if (lev[k].h <= at.h) {
      lo = k;
    } else {
      hi = k;
      break;
    }
  }
  if (lo >= 0 && lev[lo].h == at.h) return level_vect(lev[lo]);
  if (lo < 0 || hi < 0) return level_vect(at);
  const VECT a = level_vect(lev[lo]), b = level_vect(lev[hi]);
  const double w = (static_cast<double>(at.h) - lev[lo].h) / (static_cast<double>(lev[hi].h) - lev[lo].h);
  return {static_cast<float>(a.x + (static_cast<double>(b.x) - a.x) * w),
          static_cast<float>(a.y + (static_cast<double>(b.y) - a.y) * w), 0.0f};
}

// Direction and speed of a vector; both missing for a missing vector.
WIND wind_of(const VECT& v) {
  WIND w = {MISSING, MISSING};
  vect2wind(v.x, v.y, &w.dir, &w.spd);
  return w;
}

// The wind a relative to the storm motion c. A missing wind stays missing: its -9999
// components minus the storm motion would pass for a real wind.
VECT relative(const VECT& a, const VECT& c) {
  if (a.x == MISSING || a.y == MISSING) return kNoVect;
  return {static_cast<float>(static_cast<double>(a.x) - c.x),
          static_cast<float>(static_cast<double>(a.y) - c.y), 0.0f};
}

// A storm motion is usable only with both direction and speed.
bool storm_present(const WIND* storm) {
  return storm != nullptr && storm->dir != MISSING && storm->spd != MISSING;
}

// A change of direction (degrees) taken the short way round, in -180..180.
double wrap_turn(double d) {
  if (d < -180.0) return d + 360.0;
  if (d > 180.0) return d - 360.0;
  return d;
}

// A wind sounding whose first level lies above 5000 m does not start near the ground.
bool starts_high(const UPA_level* lev) { return lev[0].h != MISSING && lev[0].h > kHighSounding; }

// The bounds of a height-stepped integration and the height it runs to.
struct HeightLayer {
  UPA_level b;       // the sounding at the bottom bound
  UPA_level t;       // the sounding at the top bound, or at the last level's height
  double top = 0.0;  // integration top, m
  int result = 1;    // 1 as asked, 0 with a substituted top, -1 without heights
};

// Interpolates the bounds bottom..top (in coordinate coord) and finds the integration top:
// the top's height plus the margin. A top above the sounding without a wind there is moved
// to the height of the last level (result 0). Without a top height, a height coordinate
// gives the bottom height plus the asked depth (result 0); otherwise, or without a bottom
// height, the result is -1.
HeightLayer height_layer(UPA_level* lev, int num, int coord, float bottom, float top, const UPA_level* sfc) {
  HeightLayer L;
  level_at(lev, num, coord, bottom, &L.b, sfc);
  const int lt = level_at(lev, num, top_coord(coord), top, &L.t);
  if (L.t.dir == MISSING && lt == num) {
    L.result = 0;
    level_at(lev, num, kHeightCoord, lev[num - 1].h, &L.t);
  }
  if (L.b.h == MISSING) {
    L.result = -1;
  } else if (L.t.h != MISSING) {
    L.top = L.t.h + kTopMargin;
  } else if (coord == kHeightCoord && top != MISSING && bottom != MISSING) {
    L.top = static_cast<double>(L.b.h) + top - bottom;
    L.result = 0;
  } else {
    L.result = -1;
  }
  return L;
}

// Calls step(h, level) for the sounding interpolated by height at each h = base + k dh
// (k = 1, 2, ...) while h does not exceed top.
template <class Step>
void climb(UPA_level* lev, int num, double base, double top, double dh, Step step) {
  for (long k = 1; k <= kMaxSteps; ++k) {
    const double h = base + static_cast<double>(k) * dh;
    if (h > top) break;
    UPA_level c;
    level_at(lev, num, kHeightCoord, static_cast<float>(h), &c);
    step(h, c);
  }
}

}  // namespace

// The mean wind of the layer bottom..top into *wind: the direction of the log-pressure
// weighted mean vector and the weighted mean scalar speed (knots), so a layer whose wind
// turns has a mean speed above the length of its mean vector. A point value when top is
// missing or equals bottom; a one-level sounding gives its only wind. Returns 1 with a
// mean (or a present point value) and the top wind present; 0 with the top wind missing,
// for one level, or without a mean (wind -9999.0); -1 for an empty sounding, a missing
// bottom, or a top below the bottom (wind -9999.0).
int layer_wind_mean(UPA_level* lev, int num, int coord, float bottom, float top, WIND* wind, const UPA_level* sfc) {
  WIND dummy;
  if (wind == nullptr) wind = &dummy;
  *wind = {MISSING, MISSING};
  const bool upside_down =
      top != MISSING && (pressure_coord(coord) ? bottom < top : bottom > top);
  if (lev == nullptr || num <= 0 || bottom == MISSING || upside_down) return -1;
  if (num == 1) {
    *wind = {lev[0].dir, lev[0].spd};
    return 0;
  }
  UPA_level b, t;
  const int lb = level_at(lev, num, coord, bottom, &b, sfc);
  if (top == MISSING || top == bottom) {
    *wind = {b.dir, b.spd};
    return b.dir != MISSING && b.spd != MISSING ? 1 : 0;
  }
  const int lt = level_at(lev, num, top_coord(coord), top, &t);
  UPA_print_level(kTraceBounds, kTraceBounds, 1, &b);
  UPA_print_level(kTraceBounds, kTraceBounds, 2, &t);
  MESS_print(kTrace, "%2d-%2d  %5.1f %5.1f  %5.1f %5.1f\n", lb, lt, b.dir, b.spd, t.dir, t.spd);

  double su = 0.0, sv = 0.0, ss = 0.0, weight = 0.0;
  layer_walk(lev, num, b, lb, t, lt, &UPA_level::dir,
             [&](WalkSeg kind, int j, int i, const UPA_level& lo, const UPA_level& hi, double w) {
               const VECT a = vect_of(lo.dir, lo.spd), c = vect_of(hi.dir, hi.spd);
               if (MESS_check(kTrace))
                 MESS_print(kTrace, "%s  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n",
                            walk_label(kind, j, i).c_str(), lo.spd, hi.spd, lo.p, hi.p, a.x, a.y,
                            c.x, c.y);
               if (a.x == MISSING || c.x == MISSING) return;
               su += (static_cast<double>(a.x) + c.x) * w;
               sv += (static_cast<double>(a.y) + c.y) * w;
               ss += (static_cast<double>(lo.spd) + hi.spd) * w;
               weight += w;
             });
  if (weight == 0.0) return 0;
  const VECT mean = {static_cast<float>(su / (2.0 * weight)), static_cast<float>(sv / (2.0 * weight)),
                     0.0f};
  wind->dir = wind_of(mean).dir;
  wind->spd = static_cast<float>(ss / (2.0 * weight));
  MESS_print(kTrace, "%f %f\n", wind->dir, wind->spd);
  return t.dir != MISSING ? 1 : 0;
}

// Storm-relative helicity (m2/s2) of the layer bottom..top for the storm motion *storm
// (degrees, knots), summed over 100 m steps of the storm-relative hodograph as positive
// and negative parts, with the mean per metre, the streamwise (turning) and horizontal
// vorticity per step (1/s), their ratio, and the storm-relative turn of direction from
// bottom to top (degrees). Returns 1 done; 0 done to a substituted top (the last level
// when the top lies above the sounding, or the bottom height plus the asked depth); 0 not
// done (every field -9999.0) for fewer than two levels, a sounding starting above 5000 m,
// no storm motion, or a layer without two neighbouring winds; -1 without a bottom height
// or a usable top. A bottom without a wind starts the hodograph at the first wind above.
int helicity(UPA_level* lev, int num, int coord, float bottom, float top, const WIND* storm,
             HELICITY_params* windp, const UPA_level* sfc) {
  return helicity_layers(lev, num, coord, bottom, &top, 1, storm, windp, sfc, nullptr);
}

namespace {

// The running sums of a helicity integration over 100 m steps.
struct HelicitySums {
  VECT v1 = kNoVect;               // storm-relative wind at the last step
  WIND w1 = {MISSING, MISSING};    // its direction and speed
  double pos = 0.0, neg = 0.0;     // positive and negative helicity, m2/s2
  double stream = 0.0, vort = 0.0; // summed streamwise and horizontal vorticity, 1/s
  double depth = 0.0;              // depth of the steps that had winds, m
  int steps = 0;                   // every step, with or without winds

  // Adds the step to the storm-relative wind v2 at height h of the level cl.
  void add(double h, const UPA_level& cl, const VECT& v2) {
    const VECT prev = v1;
    if (v1.x != MISSING && v2.x != MISSING) {
      const double hel = static_cast<double>(v1.y) * v2.x - static_cast<double>(v2.y) * v1.x;
      if (hel > 0.0) pos += hel;
      else neg += hel;
      const WIND w2 = wind_of(v2);
      const double turn = wrap_turn(static_cast<double>(w2.dir) - w1.dir);
      const double d = (turn * kPi / 180.0 / kHelStep) * (static_cast<double>(w1.spd) + w2.spd) / 2.0;
      const double sp = (static_cast<double>(w2.spd) - w1.spd) / kHelStep;
      stream += d;
      vort += std::sqrt(sp * sp + d * d);
      depth += kHelStep;
      v1 = v2;
      w1 = w2;
    } else if (v1.x == MISSING && v2.x != MISSING) {
      v1 = v2;  // no wind below yet: the hodograph starts here
      w1 = wind_of(v2);
    }
    MESS_print(kTrace, "%5.1f %5.1f-%5.1f  %5.1f,%5.1f %5.1f,%5.1f = %5.1f %5.1f\n", h, cl.dir,
               cl.spd, prev.x, prev.y, v2.x, v2.y, pos, neg);
    ++steps;
  }

  // Writes the results into r; returns `result`, or 0 when no step had winds at both ends
  // (nothing was integrated).
  int finish(HELICITY_params& r, int result) const {
    if (depth == 0.0) return 0;
    r.pos_hel = static_cast<float>(pos);
    r.neg_hel = static_cast<float>(neg);
    r.tot_hel = static_cast<float>(pos + neg);
    r.ave_hel = static_cast<float>((pos + neg) / depth);
    r.hor_vort = static_cast<float>(vort / steps);
    r.stm_vort = static_cast<float>(stream / steps);
    r.rel_hel = r.hor_vort != 0.0f ? static_cast<float>(stream / vort) : 0.0f;
    return result;
  }
};

}  // namespace

namespace {

// The layers of helicity_layers on their way: each one's height layer and result, and
// the ones still to integrate in the order of their tops.
struct HelicityLayers {
  std::vector<HeightLayer> layers;
  std::vector<int> results;
  std::vector<int> climbing;
  UPA_level base = UPA_UNSET_LEVEL;  // the common bottom level
};

// Finds each layer's bounds and storm-relative directional shear, as helicity does before
// it integrates; layers without a bottom height or a usable top get their result -1.
HelicityLayers layer_bounds(UPA_level* lev, int num, int coord, float bottom, const float* tops,
                            int n, const VECT& c, HELICITY_params* windp, const UPA_level* sfc) {
  HelicityLayers h;
  h.layers.resize(static_cast<std::size_t>(n));
  h.results.assign(static_cast<std::size_t>(n), 0);
  for (int k = 0; k < n; ++k) {
    if (k > 0) MESS_print(kTrace, "%f,%f\n", c.x, c.y);
    const HeightLayer L = height_layer(lev, num, coord, bottom, tops[k], sfc);
    h.layers[static_cast<std::size_t>(k)] = L;
    h.base = L.b;
    const WIND wb = wind_of(relative(level_vect(L.b), c));
    const WIND wt = wind_of(relative(level_vect(L.t), c));
    if (wb.dir != MISSING && wt.dir != MISSING)
      windp[k].dir_shr = static_cast<float>(wrap_turn(static_cast<double>(wt.dir) - wb.dir));
    if (L.result < 0)
      h.results[static_cast<std::size_t>(k)] = -1;
    else
      h.climbing.push_back(k);
  }
  std::stable_sort(h.climbing.begin(), h.climbing.end(), [&h](int a, int b) {
    return h.layers[static_cast<std::size_t>(a)].top < h.layers[static_cast<std::size_t>(b)].top;
  });
  return h;
}

// One climb to the highest top of the layers still to integrate, each layer's sums taken
// where its own climb would stop (at the first step above its top).
void climb_layers(UPA_level* lev, int num, const VECT& c, HelicityLayers& h, HELICITY_params* windp) {
  if (h.climbing.empty()) return;
  const auto top_of = [&h](int k) { return h.layers[static_cast<std::size_t>(k)].top; };
  HelicitySums sums;
  sums.v1 = relative(step_vect(lev, num, h.base), c);
  sums.w1 = wind_of(sums.v1);
  std::size_t next = 0;  // the first layer of `climbing` not yet finished
  const auto finish_next = [&] {
    const int k = h.climbing[next++];
    h.results[static_cast<std::size_t>(k)] =
        sums.finish(windp[k], h.layers[static_cast<std::size_t>(k)].result);
  };
  climb(lev, num, h.base.h, top_of(h.climbing.back()), kHelStep, [&](double ht, const UPA_level& cl) {
    while (next < h.climbing.size() && ht > top_of(h.climbing[next])) finish_next();
    sums.add(ht, cl, relative(step_vect(lev, num, cl), c));
  });
  while (next < h.climbing.size()) finish_next();
}

}  // namespace

// helicity for n layers that share their bottom, tops[k] into windp[k] with its return
// value into rc[k] (rc may be null; the value of the first layer is returned). The layers'
// 100 m steps from the common bottom are the same, so one climb to the highest top serves
// them all, each layer's sums read off where its own climb would stop: the results are
// those of n calls to helicity. With the step trace on, each layer climbs alone, so that
// the trace shows every layer's steps as separate calls do.
int helicity_layers(UPA_level* lev, int num, int coord, float bottom, const float* tops, int n,
                    const WIND* storm, HELICITY_params* windp, const UPA_level* sfc, int* rc) {
  if (windp == nullptr || tops == nullptr || n <= 0) return 0;
  if (n > 1 && MESS_check(kTrace)) {
    int first = 0;
    for (int k = 0; k < n; ++k) {
      const int got = helicity(lev, num, coord, bottom, tops[k], storm, &windp[k], sfc);
      if (rc != nullptr) rc[k] = got;
      if (k == 0) first = got;
    }
    return first;
  }
  for (int k = 0; k < n; ++k) windp[k] = HELICITY_params{};
  std::vector<int> results(static_cast<std::size_t>(n), 0);
  if (lev != nullptr && num > 1 && !starts_high(lev) && storm_present(storm)) {
    const VECT c = vect_of(storm->dir, to_ms(storm->spd));
    MESS_print(kTrace, "%f,%f\n", c.x, c.y);
    HelicityLayers h = layer_bounds(lev, num, coord, bottom, tops, n, c, windp, sfc);
    climb_layers(lev, num, c, h, windp);
    results = std::move(h.results);
  }
  if (rc != nullptr)
    for (int k = 0; k < n; ++k) rc[k] = results[static_cast<std::size_t>(k)];
  return results[0];
}

// Positive (veering) and negative (backing or unturned) shear of the layer bottom..top
// (1/s): the length of the summed wind change over the 500 m steps whose wind veers, and
// over those whose wind backs or keeps its direction, each divided by the depth of the
// steps that had winds. The storm motion (may be null) is only traced. Returns 1 done;
// 0 done to a substituted top (as in helicity); 0 not done (both -9999.0) for an empty
// sounding, one starting above 5000 m, or a layer without two neighbouring winds; -1
// without a bottom height or a usable top.
int shear_layer(UPA_level* lev, int num, int coord, float bottom, float top, const WIND* storm,
                SHEAR_params* windp, const UPA_level* sfc) {
  if (windp == nullptr) return 0;
  SHEAR_params& r = *windp;
  r = SHEAR_params{};
  if (lev == nullptr || num <= 0 || starts_high(lev)) return 0;
  const VECT c = storm_present(storm) ? vect_of(storm->dir, to_ms(storm->spd)) : VECT{0.0f, 0.0f, 0.0f};
  MESS_print(kTrace, "%f,%f\n", c.x, c.y);

  const HeightLayer L = height_layer(lev, num, coord, bottom, top, sfc);
  if (L.result < 0) return -1;
  VECT v1 = step_vect(lev, num, L.b);
  float last_dir = wind_of(v1).dir;          // the wind direction of the previous step
  double px = 0.0, py = 0.0, nx = 0.0, ny = 0.0;  // summed veering and backing changes, m/s
  double depth = 0.0;                         // depth of the steps that had winds, m
  double reached = L.b.h;                     // height of the last level examined, m
  climb(lev, num, L.b.h, L.top, kShearStep, [&](double h, const UPA_level& cl) {
    const VECT v2 = step_vect(lev, num, cl);
    const float dir2 = wind_of(v2).dir;
    if (v1.x != MISSING && v2.x != MISSING) {
      const double turn = static_cast<double>(dir2) - last_dir;
      const double dx = static_cast<double>(v2.x) - v1.x, dy = static_cast<double>(v2.y) - v1.y;
      if ((turn > 0.0 && turn < 180.0) || turn < -180.0) {
        px += dx;
        py += dy;
      } else {
        nx += dx;
        ny += dy;
      }
      depth += kShearStep;
    }
    MESS_print(kTrace, "%5.1f %5.1f-%5.1f  %5.1f,%5.1f %5.1f,%5.1f = %5.1f,%5.1f %5.1f,%5.1f\n", h,
               cl.dir, cl.spd, v1.x, v1.y, v2.x, v2.y, px, py, nx, ny);
    v1 = v2;
    last_dir = dir2;
    reached = h;
  });
  if (depth == 0.0) return 0;  // no step had winds at both ends: nothing was integrated
  r.pos_shr = static_cast<float>(std::hypot(px, py) / depth);
  r.neg_shr = static_cast<float>(std::hypot(nx, ny) / depth);
  MESS_print(kTrace, "%5.1f %5.1f-%5.1f\n", r.pos_shr, r.neg_shr, reached - L.b.h);
  return L.result;
}

// The bulk Richardson number into *brn: cape (J/kg) over half the square of the bulk
// shear, and the bulk shear (m/s) into *shear: the length of the difference between the
// 0-6000 m and 0-500 m mean winds above the level at bottom. *brn is -9999.0 for a
// negative (or missing) cape or no shear. Returns 0, or -1 (both -9999.0) for an empty
// sounding, no height at bottom, or a mean wind that could not be formed.
int bulk_richardson(UPA_level* lev, int num, int coord, float bottom, float cape, float* brn,
                    float* shear, const UPA_level* sfc) {
  float bdummy, sdummy;
  if (brn == nullptr) brn = &bdummy;
  if (shear == nullptr) shear = &sdummy;
  *brn = *shear = MISSING;
  if (lev == nullptr || num <= 0) return -1;
  UPA_level b;
  level_at(lev, num, coord, bottom, &b, sfc);
  if (b.h == MISSING) return -1;
  WIND m1, m2;
  const int r1 = layer_wind_mean(lev, num, kHeightCoord, b.h, b.h + kBrnShallow, &m1);
  const int r2 = layer_wind_mean(lev, num, kHeightCoord, b.h, b.h + kBrnDeep, &m2);
  if (r1 != 1 && r2 != 1) return -1;
  const VECT a = vect_of(m1.dir, to_ms(m1.spd)), d = vect_of(m2.dir, to_ms(m2.spd));
  if (a.x == MISSING || d.x == MISSING) return -1;  // no shear against a missing mean
  const double sh = std::hypot(static_cast<double>(d.x) - a.x, static_cast<double>(d.y) - a.y);
  *shear = static_cast<float>(sh);
  if (cape != MISSING && cape >= 0.0f && sh != 0.0) *brn = static_cast<float>(cape / (0.5 * sh * sh));
  return 0;
}

// The energy-helicity index: the positive storm-relative helicity (m2/s2) of the lowest
// 2000 m above the level at bottom times cape (J/kg), over 160000. -9999.0 for an empty
// sounding, a missing bottom or bottom height, a missing cape, or no helicity (no storm
// motion among them).
float energy_helicity(UPA_level* lev, int num, int coord, float bottom, const WIND* storm,
                      float cape, const UPA_level* sfc) {
  if (lev == nullptr || num <= 0 || bottom == MISSING) return MISSING;
  UPA_level b;
  level_at(lev, num, coord, bottom, &b, sfc);
  if (b.h == MISSING) return MISSING;
  HELICITY_params hel;
  helicity(lev, num, kHeightCoord, b.h, b.h + kEhiDepth, storm, &hel);
  if (hel.pos_hel == MISSING || cape == MISSING) return MISSING;
  return static_cast<float>(static_cast<double>(hel.pos_hel) * cape / kEhiDivisor);
}
