// thm_tool.cpp — the analysis state of the one sounding being analysed: the merged
// thermodynamic and wind profiles, the surface, tropopause and maximum-wind levels, the
// lifted parcel's choice, the 0-6000 m mean wind and the assumed storm motion, every
// computed analysis value; and the tables printed from them.
//
// The profiles are borrowed from the report merge, which keeps them for the life of the
// process; this module never frees them. Every table line has its own message level so
// that the user's level mask thins the tables line by line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "zudresrc.h"
#include "zudupa.h"

namespace {

constexpr UPA_level kUnsetLevel = {MISSING, MISSING, MISSING, MISSING, MISSING, 0.0f};

// The sounding handed over by the merge.
UPA_level* sm = nullptr;   // thermodynamic profile, by decreasing pressure
int sm_num = 0;            // levels in sm
UPA_level* wm = nullptr;   // wind profile, by increasing height
int wm_num = 0;            // levels in wm
UPA_level sfc = kUnsetLevel;   // the surface level, interpolated at the surface pressure
UPA_level trop = kUnsetLevel;  // the tropopause as reported
UPA_level mwnd = kUnsetLevel;  // the maximum wind as reported
// The lifted parcel.
UPA_level par = kUnsetLevel;        // requested start level; after THERM_calc the one used
int par_type = THERM_PAR_LAYER;     // how the parcel's start is chosen
float par_thick = 100.0f;           // depth of the mixed layer, mb
// Winds derived at set-up.
WIND mean6 = {0.0f, 0.0f};     // mean wind of the 6000 m above the surface, deg and knots
WIND storm = {0.0f, 0.0f};     // assumed storm motion, deg and knots
// Results.
THERM_values values{};         // every analysis value of the sounding
Date file_date{};              // date of the analysed data

// Message levels of the tables.
constexpr M_type kTrace = 0x80000000;     // set-up trace, debug sub-level d
constexpr M_type kSigMain = 0x1000;       // significant-level table, basic columns
constexpr M_type kSigExt = 0x2000;        // significant-level table, derived columns
constexpr M_type kIndexMain = 0x4000;     // the main sounding variables and indices
constexpr M_type kIndexMore = 0x8000;     // the further sounding variables
constexpr M_type kOut2 = 0xF0000;         // heading of the index table
constexpr M_type kParcelMain = 0x10000;   // parcel energies
constexpr M_type kParcelMore = 0x20000;   // parcel levels
constexpr M_type kWindMain = 0x40000;     // wind parameters
constexpr M_type kWindMore = 0x80000;     // further wind parameters
constexpr M_type kWindRows = 0x100000;    // wind-level table, true winds
constexpr M_type kWindRel = 0x200000;     // wind-level table, storm-relative winds
constexpr M_type kStorm = 0x400000;       // wind-level table pauses and storm table

constexpr const char* kHoldText = "Press return to continue\n";

// Vertical coordinates of interpolation and layer functions.
constexpr int kPressCoord = 100;   // pressure, mb
constexpr int kHeightCoord = 103;  // height, m

// Storm motion assumed from the mean wind.
constexpr float kStormVeer = 30.0f;     // degrees to the right of the mean wind
constexpr float kStormSpeed = 0.75f;    // fraction of the mean wind's speed
constexpr float kMeanDepth = 6000.0f;   // depth of the mean wind's layer, m
constexpr float kKinDepth = 3000.0f;    // depth of the shear and helicity layer, m

// Bounds and layers of the analyses, mb.
constexpr float kThickBottom = 1000.0f, kThickTop = 500.0f;  // thickness layer
constexpr float kLapseBottom = 700.0f, kLapseTop = 500.0f;   // lapse-rate layer
constexpr float kRhTop = 500.0f;           // top of the mean relative humidity
constexpr float kMaxtThick = 150.0f;       // layer of the maximum temperature estimate
constexpr float kSourceThick = 100.0f;     // source layer of CCL, lifted index, cap
constexpr float kLiTop = 500.0f;           // lifted and Showalter index level
constexpr float kShowalterBase = 850.0f;   // Showalter parcel level
constexpr float kLi3Top = 300.0f;          // lifted index evaluated at 300 mb
constexpr float kLi7Top = 700.0f;          // lifted index evaluated at 700 mb

// Unit conversions of the printed values.
constexpr double kCtoK = 273.15;       // kelvin of 0 C
constexpr double kFeetPerM = 3.2808;   // metres to feet
constexpr double kKnotToMs = 0.5144;   // knots to m/s
constexpr double kMsToKnot = 1.944;    // m/s to knots
constexpr double kMilli = 1000.0;      // 1/s to 10^-3/s, m/s2 to 10^-3 m/s2
constexpr double kPerKm = 1000.0;      // C/m to C/km

constexpr int kWordLen = 80;           // room for the word of a par= item

// The page positions after which a table pauses: the fourth line before a page end
// leaves room for the pause text and a heading line on a screen of `max` lines.
bool page_break(int pos, int max) { return max > 0 && pos % max == max - 4; }

void hold(M_type level) { MESS_hold(level, kHoldText); }

// x scaled by f, missing kept missing; in double, as printed.
double scaled(float x, double f) { return x == MISSING ? MISSING : x * f; }

// Fahrenheit of a Celsius temperature, missing kept missing.
double fahrenheit(double c) { return c == MISSING ? MISSING : 9.0 * c / 5.0 + 32.0; }

// Kelvin of a Celsius temperature, missing kept missing.
float kelvin(float c) { return c == MISSING ? MISSING : static_cast<float>(c + kCtoK); }

// The thermodynamic profile interpolated at pressure p (mb).
UPA_level level_at(float p) {
  UPA_level lev = kUnsetLevel;
  UPA_interp(sm, sm_num, kPressCoord, p, &lev);
  return lev;
}

// A height (m) and its value in feet, missing kept missing.
struct Height {
  double m;
  double ft;
};
Height with_feet(float h) { return {h == MISSING ? MISSING : h, scaled(h, kFeetPerM)}; }

// The height of pressure p in the thermodynamic profile.
Height height_of(float p) { return with_feet(level_at(p).h); }

// The height above the surface by `depth` m, missing when the surface height is.
float above_sfc(float depth) { return sfc.h == MISSING ? MISSING : sfc.h + depth; }

// The storm motion of a mean wind: 30 degrees to its right at three quarters of its
// speed; missing when the mean wind's direction is.
WIND storm_motion(const WIND& mean) {
  if (mean.dir == MISSING) return {MISSING, MISSING};
  float dir = mean.dir + kStormVeer;
  if (dir > 360.0f) dir -= 360.0f;
  return {dir, mean.spd == MISSING ? MISSING : kStormSpeed * mean.spd};
}

// The wind vector (m/s) of a direction and a speed in knots.
void knot_vector(float dir, float spd, float* u, float* v) {
  wind2vect(dir, spd == MISSING ? MISSING : static_cast<float>(spd * kKnotToMs), u, v);
}

// Mean wind of the layer from the surface to `depth` m above it (deg, knots). Returns
// the layer mean's result, or -1 with a missing wind when the surface height is unknown.
int mean_wind(float depth, WIND* mean) {
  *mean = {MISSING, MISSING};
  if (sfc.h == MISSING) return -1;
  return layer_wind_mean(wm, wm_num, kHeightCoord, sfc.h, above_sfc(depth), mean);
}

// Applies one par= item of "plot_param": par, one separator character, a word, and
// optionally ":temperature:dew point" (C).
void apply_parcel_item(const char* item) {
  par_type = THERM_PAR_LEVEL;
  // Only the surface pressure is known when the resource is applied; a start level
  // carries no temperature or dew point unless the item gives them.
  par = kUnsetLevel;
  par.p = sfc.p;
  const char* text = std::strlen(item) > 4 ? item + 4 : "";
  char word[kWordLen] = "";
  const int got = std::sscanf(text, "%79[^:]:%f:%f", word, &par.t, &par.td);
  if (got <= 0 || stricmp(word, "sfc") == 0) {
    par_type = THERM_PAR_SFC;
  } else if (stricmp(word, "maxt") == 0) {
    par_type = THERM_PAR_MAXT;
  } else if (stricmp(word, "layer") == 0) {
    par_type = THERM_PAR_LAYER;
    // Without a depth the depth in force stays, rather than a missing value as depth.
    if (got >= 2) par_thick = par.t;
  } else {
    par.p = static_cast<float>(std::atof(word));
  }
}

// The starting level and source-layer depth of the parcel ascent for the chosen parcel.
void parcel_start(UPA_level* b, float* thick) {
  UPA_level_init(b);
  *thick = par_thick;
  switch (par_type) {
    case THERM_PAR_SFC:
      *thick = 0.0f;
      break;
    case THERM_PAR_MAXT:
      *b = sfc;
      b->t = values.max_t;
      break;
    case THERM_PAR_LEVEL:
      *b = level_at(par.p);
      if (par.t != MISSING) b->t = par.t;
      if (par.td != MISSING) b->td = par.td;
      break;
    default:  // mixed layer: the ascent takes the layer mean itself
      break;
  }
}

// Risk words of the indices, from the least to the most severe class.
constexpr const char* kLiftedWords[] = {"None\n", "Showers probable\n",
                                        "Thunderstorms probable\n",
                                        "Severe thunderstorms possible\n",
                                        "Severe thunderstorms probable\n"};
constexpr const char* kTotalsWords[] = {"None\n", "Scattered moderate thunderstorms\n",
                                        "Scattered heavy thunderstorms\n",
                                        "Severe Thunderstorms probable\n"};
constexpr const char* kKWords[] = {"None\n",
                                   "< 20 % chance of thunderstorms\n",
                                   "20-40 % chance of thunderstorms\n",
                                   "40-60 % chance of thunderstorms\n",
                                   "60-80 % chance of thunderstorms\n",
                                   "> 80 % chance of thunderstorms\n"};
constexpr const char* kSweatWords[] = {"None\n", "Showers and thunderstorms possible\n",
                                       "Severe Thunderstorms possible\n"};
constexpr const char* kEnergyWords[] = {"None\n", "Scattered severe thunderstorms\n",
                                        "Severe Thunderstorms probable\n"};

// The word of the first class whose bound x exceeds (indices where lower is riskier);
// words holds one more entry than bounds.
const char* risk_above(float x, std::initializer_list<float> bounds, const char* const* words) {
  std::size_t i = 0;
  for (const float b : bounds) {
    if (x > b) return words[i];
    ++i;
  }
  return words[i];
}

// The word of the first class whose bound x stays below (indices where higher is
// riskier); words holds one more entry than bounds.
const char* risk_below(float x, std::initializer_list<float> bounds, const char* const* words) {
  std::size_t i = 0;
  for (const float b : bounds) {
    if (x < b) return words[i];
    ++i;
  }
  return words[i];
}

// Prints a line of a pressure (mb), its height (m) and the height in feet; `format`
// holds the three conversions.
void print_level_line(M_type level, const char* format, float p) {
  const Height h = height_of(p);
  MESS_print(level, format, p, h.m, h.ft);
}

// Prints a risk line: the text with the index value, then the risk word.
void print_risk(M_type level, const char* format, THERM_risk_index index, float value) {
  MESS_print(level, format, value);
  MESS_print(level, "%s", THERM_risk_word(index, value));
}

// Prints one line per 0 C crossing of the temperature profile, upward: pairs of
// successive levels that have a temperature, one at or above 0 C and one below.
void print_freezing_crossings() {
  int i = 0;
  while (i < sm_num && sm[i].t == MISSING) ++i;
  while (i < sm_num) {
    int j = i + 1;
    while (j < sm_num && sm[j].t == MISSING) ++j;
    if (j >= sm_num) break;
    const UPA_level& lo = sm[i];
    const UPA_level& hi = sm[j];
    if ((lo.t >= 0.0f) != (hi.t >= 0.0f)) {
      float p0 = MISSING, h0 = MISSING;
      if (lo.p != MISSING && hi.p != MISSING) {
        p0 = linear_interp(0.0f, lo.t, hi.t, lo.p, hi.p);
        // Two levels at one pressure: the lower level's height, not a division by zero.
        if (lo.h != MISSING && hi.h != MISSING)
          h0 = lo.p == hi.p ? lo.h : linear_interp(p0, lo.p, hi.p, lo.h, hi.h);
      }
      const Height h = with_feet(h0);
      MESS_print(kIndexMore, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft\n", p0,
                 h.m, h.ft);
    }
    i = j;
  }
}

}  // namespace

// ---- hand-over from the report merge -----------------------------------------------------

// Keeps a copy of the tropopause level. Returns 0.
int THERM_set_trop(const UPA_level* lev) {
  trop = lev == nullptr ? kUnsetLevel : *lev;
  return 0;
}

// Keeps a copy of the maximum-wind level. Returns 0.
int THERM_set_mwnd(const UPA_level* lev) {
  mwnd = lev == nullptr ? kUnsetLevel : *lev;
  return 0;
}

// Installs the merged profiles and the surface pressure pr (mb), applies the parcel
// choice, resets the analysis values, interpolates the surface level at that pressure
// and derives the storm motion from the mean wind of the 6000 m above the surface.
// Returns 0.
int THERM_set_data(float pr, UPA_level* smi, int smi_num, UPA_level* wmi, int wmi_num) {
  sfc.p = pr;
  sm = smi;
  sm_num = smi == nullptr || smi_num < 0 ? 0 : smi_num;
  wm = wmi;
  wm_num = wmi == nullptr || wmi_num < 0 ? 0 : wmi_num;
  THERM_param();
  THERM_init_values(&values);

  UPA_interp(sm, sm_num, kPressCoord, sfc.p, &sfc);
  MESS_print(kTrace, "SFCP: %f\n", sfc.p);
  UPA_print_level(kTrace, kTrace, UPA_LAB_SFC, &sfc);

  mean_wind(kMeanDepth, &mean6);
  storm = storm_motion(mean6);
  return 0;
}

// The surface level of the sounding (all missing before THERM_set_data).
UPA_level* THERM_get_sfc() { return &sfc; }

// ---- analysis set-up and computation ------------------------------------------------------

// Keeps the date of the analysed data: the given one, or with a null date the date of
// the current data file. Returns 0.
int THERM_set_date(const Date* date) {
  if (date == nullptr)
    FILE_get_date(&file_date);
  else
    file_date = *date;
  return 0;
}

// Applies the "plot_param" resource: "page" and "nopage" switch pausing on and off;
// par=sfc, par=maxt, par=layer:N and par=P[:T:Td] choose the lifted parcel. Returns 0.
int THERM_param() {
  int n = 0;
  char** items = nullptr;
  RES_getvals("plot_param", &n, &items);
  for (int i = 0; i < n && items != nullptr; ++i) {
    const char* item = items[i];
    if (item == nullptr) continue;
    if (stricmp(item, "page") == 0)
      MESS_set_page(1);
    else if (stricmp(item, "nopage") == 0)
      MESS_set_page(0);
    else if (strnicmp(item, "par", 3) == 0)
      apply_parcel_item(item);
  }
  free_parsed_array(n, items);
  return 0;
}

// Resets the station and the always-printed analysis values to missing; the others keep
// their contents until THERM_calc writes them. Returns 0.
int THERM_init_values(THERM_values* v) {
  if (v == nullptr) return 0;
  v->wmo = IMISSING;
  v->lat = v->lon = v->elev = MISSING;
  v->plcl = v->precip = v->thick = MISSING;
  v->li = v->si = v->tt = v->k = v->sweat = MISSING;
  return 0;
}

// Prints the thermodynamic profile, the tropopause and the maximum wind as a listing,
// pausing every page and after the last line. Returns 0.
int THERM_sig_table() {
  const int max = MESS_get_max_lines();
  UPA_print_level(kSigMain, kSigExt, 0, nullptr);
  int i = 0;
  for (; i < sm_num; ++i) {
    UPA_print_level(kSigMain, kSigExt, sm[i].p == sfc.p ? UPA_LAB_SFC : i, &sm[i]);
    if (page_break(i, max)) hold(kSigMain);
  }
  // The tropopause line takes the next position of the listing.
  UPA_print_level(kSigMain, kSigExt, UPA_LAB_TRP, &trop);
  if (page_break(i, max)) hold(kSigMain);
  UPA_print_level(kSigMain, kSigExt, UPA_LAB_WND, &mwnd);
  hold(kSigMain);
  return 0;
}

// Computes every analysis value of the sounding except the station fields, and the
// parcel's start level actually used. Returns 0.
int THERM_calc() {
  THERM_values& v = values;
  v.thick = thickness(sm, sm_num, kPressCoord, kThickBottom, kThickTop);
  v.frz = freezing_level(sm, sm_num);
  v.wb0 = wet_bulb_zero(sm, sm_num);
  v.precip = precip_water(sm, sm_num);
  v.mean_rh = mean_value("rhum", sm, sm_num, kPressCoord, sfc.p, kRhTop);
  const float tmax = max_temperature(sm, sm_num, kPressCoord, sfc.p, kMaxtThick);
  v.max_t = tmax == MISSING ? MISSING : static_cast<float>(tmax - kCtoK);

  const UPA_level air = level_at(sfc.p);
  const float tk = kelvin(air.t);
  v.plcl = lcl_pres(tk, kelvin(air.td), air.p);
  v.tlcl = lcl_temp(tk, air.p, v.plcl);

  const float lapse = lapse_rate(sm, sm_num, kPressCoord, kLapseBottom, kLapseTop);
  v.lapse57 = lapse == MISSING ? MISSING : static_cast<float>(lapse * kPerKm);
  thetae_index(sm, sm_num, &v.thetae);
  v.ccl = pr_ccl(sm, sm_num, kPressCoord, sfc.p, kSourceThick, &v.wbar);
  v.ct = v.ccl > 0.0f ? conv_temp(v.wbar, v.ccl, sfc.p) : MISSING;
  v.li = lifted_index(sm, sm_num, kPressCoord, sfc.p, kSourceThick, kLiTop);
  v.cap = cap_strength(sm, sm_num, kPressCoord, sfc.p, kSourceThick);
  v.si = lifted_index(sm, sm_num, kPressCoord, kShowalterBase, 0.0f, kLiTop);
  v.tt = total_totals(sm, sm_num);
  v.k = k_index(sm, sm_num);
  v.sweat = sweat_index(sm, sm_num);
  v.ei = energy_index(sm, sm_num);

  UPA_level b;
  float thick;
  parcel_start(&b, &thick);
  parcel_calc(sm, sm_num, &b, kPressCoord, sfc.p, thick, &v.parcel);
  par = b;

  // Layers above the surface need its height; without it they are not analysed.
  v.shear = SHEAR_params{};
  v.helicity = HELICITY_params{};
  if (sfc.h != MISSING) {
    shear_layer(wm, wm_num, kHeightCoord, sfc.h, above_sfc(kKinDepth), nullptr, &v.shear);
    helicity(wm, wm_num, kHeightCoord, sfc.h, above_sfc(kKinDepth), &storm, &v.helicity);
  }
  bulk_richardson(wm, wm_num, kPressCoord, sfc.p, v.parcel.Bplus, &v.brn, &v.bshear);
  v.ehi = energy_helicity(wm, wm_num, kPressCoord, sfc.p, &storm, v.parcel.Bplus);
  return 0;
}

// The analysis values computed by THERM_calc.
const THERM_values* THERM_get_values() { return &values; }

// Fills *snd with the sounding being analysed (see THERM_sounding). Returns 0.
int THERM_get_sounding(THERM_sounding* snd) {
  if (snd == nullptr) return 0;
  *snd = {sm, sm_num, wm, wm_num, sfc, trop, mwnd, par, mean6, storm};
  return 0;
}

// ---- tables ---------------------------------------------------------------------------------

// The risk word (with its line end) of an index value: the first class whose bound the
// value passes.
const char* THERM_risk_word(THERM_risk_index index, float x) {
  switch (index) {
    case THERM_risk_index::lifted:
      return risk_above(x, {2, 0, -2, -4}, kLiftedWords);
    case THERM_risk_index::showalter:
      return risk_above(x, {3, 1, -2, -6}, kLiftedWords);
    case THERM_risk_index::total_totals:
      return risk_below(x, {44, 49, 55}, kTotalsWords);
    case THERM_risk_index::k:
      return risk_below(x, {15, 20, 25, 30, 35}, kKWords);
    case THERM_risk_index::sweat:
      return risk_below(x, {300, 400}, kSweatWords);
    case THERM_risk_index::energy:
      return risk_above(x, {0, -2}, kEnergyWords);
  }
  return "\n";
}

// Prints the sounding variables, the stability indices with their risk words and the
// parcel indices, pausing after each group. Returns 0.
int THERM_indices() {
  const THERM_values& v = values;
  MESS_print(kOut2, "\nSounding variables and indices\n");
  if (v.thick != MISSING) MESS_print(kIndexMain, "1000-500 mb thick:      %7.2f m\n", v.thick);

  const UPA_level air = level_at(sfc.p);
  if (air.t != MISSING && air.t < 0.0f)
    MESS_print(kIndexMore, "Freezing level:      Surface below freezing\n");
  print_freezing_crossings();

  if (v.wb0 == -1.0f)
    MESS_print(kIndexMore, "Wetbulb zero:        Below ground\n");
  else if (v.wb0 != MISSING)
    print_level_line(kIndexMore, "Wetbulb zero:           %7.2f mb = %8.2f m = %8.2f ft\n",
                     v.wb0);
  if (v.precip != MISSING)
    MESS_print(kIndexMore, "Precipitable water:     %7.2f inches\n", v.precip);
  if (v.mean_rh != MISSING)
    MESS_print(kIndexMore, "Sfc-500 mean rel hum:   %7.2f %%\n", v.mean_rh);
  if (v.max_t != MISSING)
    MESS_print(kIndexMore, "Est. max temperature:   %7.2f C = %7.2f F\n", v.max_t,
               fahrenheit(v.max_t));
  if (v.plcl > 0.0f) {
    const UPA_level lcl = level_at(v.plcl);
    const Height h = with_feet(lcl.h);
    MESS_print(kIndexMore,
               "Sfc-Lift cond lev (LCL): %6.2f mb = %8.2f m = %8.2f ft T: %7.2f C\n", v.plcl,
               h.m, h.ft, lcl.t);
  }
  if (v.lapse57 != MISSING)
    MESS_print(kIndexMore, "700-500 lapse rate:      %6.2f C/km\n", v.lapse57);
  if (v.thetae.index != MISSING)
    MESS_print(kIndexMore, "ThetaE index:            %6.2f C Layer %6.1f-%6.1f mb\n",
               v.thetae.index, v.thetae.base, v.thetae.top);
  if (v.ccl > 0.0f) {
    print_level_line(kIndexMore, "Conv cond level (CCL):  %7.2f mb = %8.2f m = %8.2f ft\n",
                     v.ccl);
    MESS_print(kIndexMore, "  Mean mixing ratio:    %7.2f g/kg\n", v.wbar);
    const double ct = v.ct == MISSING ? MISSING : v.ct - kCtoK;
    MESS_print(kIndexMore, "  Conv temperature:     %7.2f C = %7.2f F\n", ct, fahrenheit(ct));
  } else if (v.ccl == -1.0f) {
    MESS_print(kIndexMore, "Conv cond level (CCL): None\n");
  }
  hold(kIndexMore);

  const float li3 = lifted_index(sm, sm_num, kPressCoord, sfc.p, kSourceThick, kLi3Top);
  const float li7 = lifted_index(sm, sm_num, kPressCoord, sfc.p, kSourceThick, kLi7Top);
  if (v.cap != MISSING) MESS_print(kIndexMore, "Cap Strength:            %6.2f C\n", v.cap);
  if (v.li != MISSING)
    print_risk(kIndexMain, "Lifted Index:            %6.2f C Risk: ", THERM_risk_index::lifted,
               v.li);
  if (li3 != MISSING) MESS_print(kIndexMore, "Lifted Index @300 mb:    %6.2f C\n", li3);
  if (li7 != MISSING) MESS_print(kIndexMore, "Lifted Index @700 mb:    %6.2f C\n", li7);
  if (v.si != MISSING)
    print_risk(kIndexMain, "Showalter Index:         %6.2f C Risk: ",
               THERM_risk_index::showalter, v.si);
  if (v.tt != MISSING) {
    print_risk(kIndexMain, "Total Totals Index:      %6.2f C Risk: ",
               THERM_risk_index::total_totals, v.tt);
    MESS_print(kIndexMore, "  Vertical Totals Index: %6.2f C\n", vertical_totals(sm, sm_num));
    MESS_print(kIndexMore, "  Cross Totals Index:    %6.2f C\n", cross_totals(sm, sm_num));
  }
  if (v.k != MISSING)
    print_risk(kIndexMain, "K Index:                 %6.2f   Risk: ", THERM_risk_index::k, v.k);
  if (v.sweat != MISSING)
    print_risk(kIndexMore, "Sweat Index:             %6.2f   Risk: ", THERM_risk_index::sweat,
               v.sweat);
  if (v.ei != MISSING)
    print_risk(kIndexMore, "Energy Index:            %6.2f   Risk: ", THERM_risk_index::energy,
               v.ei);
  hold(kIndexMain);

  const PARCEL_params& pc = v.parcel;
  MESS_print(kParcelMain, "\nParcel Indices\n");
  switch (par_type) {
    case THERM_PAR_SFC:
      MESS_print(kParcelMain, "Parcel: using surface\n");
      break;
    case THERM_PAR_LAYER:
      MESS_print(kParcelMain, "Parcel: using %1.0f mb layer\n", par_thick);
      break;
    case THERM_PAR_MAXT:
      MESS_print(kParcelMain, "Parcel: using max temp\n");
      break;
    case THERM_PAR_LEVEL:
      MESS_print(kParcelMain, "Parcel: using P: %1.0f T: %2.1f TD: %2.1f\n", par.p, par.t,
                 par.td);
      break;
    default:
      break;
  }
  if (pc.Bplus != MISSING) MESS_print(kParcelMain, "CAPE (B+):             %8.2f J/kg\n", pc.Bplus);
  if (pc.wmax != MISSING) MESS_print(kParcelMore, "Max Up Vert Vel:       %8.2f m/s\n", pc.wmax);
  if (pc.Bminus != MISSING)
    MESS_print(kParcelMain, "Conv Inhibition (B-):  %8.2f J/kg\n", pc.Bminus);
  if (pc.cap != MISSING) MESS_print(kParcelMain, "Cap Strength:          %8.2f C\n", pc.cap);
  if (pc.plcl != MISSING)
    print_level_line(kParcelMore, "Lift Cond Lev (LCL):   %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.plcl);
  // An LFC of -1 means the parcel never becomes buoyant.
  if (pc.lfc == -1.0f)
    MESS_print(kParcelMore, "Lev Free Conv (LFC):     none\n");
  else if (pc.lfc != MISSING)
    print_level_line(kParcelMore, "Lev Free Conv (LFC):   %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.lfc);
  if (pc.el != MISSING)
    print_level_line(kParcelMore, "Equ Level (EL):        %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.el);
  if (pc.Bel != MISSING) MESS_print(kParcelMore, "B at Equ Level:        %8.2f J/kg\n", pc.Bel);
  if (pc.mpl != MISSING)
    print_level_line(kParcelMore, "Max Parcel Lev (MPL):  %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.mpl);
  hold(kParcelMain);
  return 0;
}

// Prints the wind profile with the true and storm-relative winds, pausing every page and
// after the last line unless a pause has just been made. Returns 0.
int THERM_wind_table() {
  const int max = MESS_get_max_lines();
  UPA_print_wind(kWindRows, kWindRel, 0, nullptr, &storm);
  for (int i = 0; i < wm_num; ++i) {
    UPA_print_wind(kWindRows, kWindRel, i, &wm[i], &storm);
    if (page_break(i, max)) hold(kStorm);
  }
  // A last line at a page break has had its pause already.
  if (max <= 0 || wm_num % max != max - 3) hold(kStorm);
  return 0;
}

// Prints the mean wind, the storm motion, the 0-3000 m shear, helicity and vorticity,
// the energy-helicity index and the bulk Richardson number. Returns 0.
int THERM_wind() {
  const THERM_values& v = values;
  const SHEAR_params& sh = v.shear;
  const HELICITY_params& hl = v.helicity;
  MESS_print(kWindMain, "\nWind Parameters\n");
  if (mean6.dir != MISSING)
    MESS_print(kWindMain, "Mean winds (0-6000m):           %6.1f at %6.1f knts\n", mean6.dir,
               mean6.spd);
  if (storm.dir != MISSING)
    MESS_print(kWindMain, "Storm direction:                %6.1f at %6.1f knts\n", storm.dir,
               storm.spd);
  if (sh.pos_shr != MISSING) {
    const double tot = sh.neg_shr == MISSING ? MISSING : (sh.pos_shr + sh.neg_shr) * kMilli;
    MESS_print(kWindMore,
               "Shear (0-3000m)              pos: %6.1f neg: %6.1f tot: %6.1f 10-3/s\n",
               scaled(sh.pos_shr, kMilli), scaled(sh.neg_shr, kMilli), tot);
  }
  if (hl.dir_shr != MISSING)
    MESS_print(kWindMore, "Storm rel Dir Shear (0-3000m):    %6.1f deg\n", hl.dir_shr);
  if (hl.pos_hel != MISSING)
    MESS_print(kWindMain,
               "Storm rel helicity (0-3000m) pos: %6.1f neg: %6.1f tot: %6.1f m^2/s^2\n",
               hl.pos_hel, hl.neg_hel, hl.tot_hel);
  if (hl.ave_hel != MISSING)
    MESS_print(kWindMore, "                             ave: %6.1f 10^-3 m/s^2 rel: %6.2f\n",
               hl.ave_hel * kMilli, hl.rel_hel);
  if (hl.hor_vort != MISSING)
    MESS_print(kWindMore, "Storm rel vorticity (0-3000m) horiz: %6.1f stream: %6.1f 10^-3/s\n",
               hl.hor_vort * kMilli, scaled(hl.stm_vort, kMilli));
  if (v.ehi != MISSING) MESS_print(kWindMain, "Energy-Hel index:       %7.2f\n", v.ehi);
  if (v.brn != MISSING) {
    MESS_print(kWindMore, "Bulk Rich Number:       %7.2f\n", v.brn);
    MESS_print(kWindMore, "Bulk Shear:             %7.2f m/s\n", v.bshear);
  }
  hold(kWindMain);
  return 0;
}

// Prints the mean wind, storm-relative inflow, shear, helicity and vorticity of the
// layers from the surface to nine depths between 500 and 6000 m. Returns 0.
int THERM_storm_table() {
  constexpr float kDepths[] = {500, 1000, 1500, 2000, 2500, 3000, 4000, 5000, 6000};
  constexpr float kShallow = 3000.0f;  // deepest layer printed in the narrow format
  const char* rule =
      "-------------------------------------------------------------------------------\n";
  float su, sv;
  knot_vector(storm.dir, storm.spd, &su, &sv);

  MESS_print(kStorm, "\nStorm Parameters\n");
  MESS_print(kStorm, "%s", rule);
  MESS_print(kStorm,
             "Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity\n");
  MESS_print(kStorm,
             " AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm\n");
  MESS_print(kStorm,
             "  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s\n");
  MESS_print(kStorm, "%s", rule);

  for (const float d : kDepths) {
    MESS_print(kStorm, "%4.0f  ", d);

    WIND m;
    if (mean_wind(d, &m) == 1) {
      MESS_print(kStorm, "%3.0f %3.0f ", m.dir, m.spd);
      // Inflow: the mean wind relative to the storm; unknown without a storm motion.
      float idir = MISSING, ispd = MISSING;
      float mu, mv;
      knot_vector(m.dir, m.spd, &mu, &mv);
      if (su != MISSING && mu != MISSING) {
        vect2wind(static_cast<float>(static_cast<double>(mu) - su),
                  static_cast<float>(static_cast<double>(mv) - sv), &idir, &ispd);
        ispd = static_cast<float>(scaled(ispd, kMsToKnot));
      }
      MESS_print(kStorm, "%3.0f %3.0f| ", idir, ispd);
    } else {
      MESS_print(kStorm, " NO DATA       | ");
    }

    SHEAR_params shr{};
    HELICITY_params hel{};
    int shr_rc = 0, hel_rc = 0;
    if (sfc.h != MISSING) {
      shr_rc = shear_layer(wm, wm_num, kHeightCoord, sfc.h, above_sfc(d), nullptr, &shr);
      hel_rc = helicity(wm, wm_num, kHeightCoord, sfc.h, above_sfc(d), &storm, &hel);
    }
    if (shr_rc == 1 && shr.pos_shr != MISSING)
      MESS_print(kStorm, "%4.1f %4.1f %4.1f|", shr.pos_shr * kMilli, scaled(shr.neg_shr, kMilli),
                 shr.neg_shr == MISSING ? MISSING : (shr.pos_shr + shr.neg_shr) * kMilli);
    else
      MESS_print(kStorm, "              |");

    if (hel_rc == 1) {
      MESS_print(kStorm, "%5.1f%6.1f%6.1f ", hel.pos_hel, hel.neg_hel, hel.tot_hel);
      const double ave = scaled(hel.ave_hel, kMilli);
      const double hor = scaled(hel.hor_vort, kMilli);
      const double stm = scaled(hel.stm_vort, kMilli);
      if (d <= kShallow) {
        MESS_print(kStorm, "%6.1f %5.2f|", ave, hel.rel_hel);
        MESS_print(kStorm, "%5.1f%5.1f\n", hor, stm);
      } else {
        MESS_print(kStorm, "%6.1f %5.2f| ", ave, hel.rel_hel);
        MESS_print(kStorm, "%4.1f %4.1f\n", hor, stm);
      }
    } else {
      MESS_print(kStorm, "                              |\n");
    }
  }
  return 0;
}
