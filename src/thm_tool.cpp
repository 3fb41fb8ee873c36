// thm_tool.cpp — the analysis state of the print program's one sounding (the merged
// sounding, the lifted parcel's choice, the record of every analysis value, the date of
// the data), the documented entry points that fill it, and the tables printed from it.
//
// The computing is done by the explicit functions of ua_merge (UPA_merge_sounding) and
// thm_calc (THERM_setup_sounding, THERM_analyse); this module keeps their results for the
// documented entry points and formats them. Every table line has its own message level so
// that the user's level mask thins the tables line by line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <initializer_list>
#include <utility>

#include "zudresrc.h"
#include "zudsevere.h"
#include "zudsnd.h"
#include "zudunits.h"

namespace {

// The analysis state; THERM_reset brings every field back to these starting values.
UPA_sounding snd;      // the sounding in force
THERM_parcel parcel;   // how the lifted parcel starts
THERM_record rec;      // every analysis value of the last THERM_calc
Date file_date{};      // date of the analysed data

// Message levels of the tables.
constexpr M_type kTrace = mess_sub(MESS_DEBUG, MESS_SUB_D);     // set-up trace
constexpr M_type kSigMain = mess_sub(MESS_OUT1, MESS_SUB_A);    // significant levels, basic
constexpr M_type kSigExt = mess_sub(MESS_OUT1, MESS_SUB_B);     // significant levels, derived
constexpr M_type kIndexMain = mess_sub(MESS_OUT1, MESS_SUB_C);  // main variables and indices
constexpr M_type kIndexMore = mess_sub(MESS_OUT1, MESS_SUB_D);  // further sounding variables
constexpr M_type kOut2 = MESS_OUT2;                             // heading of the index table
constexpr M_type kParcelMain = mess_sub(MESS_OUT2, MESS_SUB_A); // parcel energies
constexpr M_type kParcelMore = mess_sub(MESS_OUT2, MESS_SUB_B); // parcel levels
constexpr M_type kWindMain = mess_sub(MESS_OUT2, MESS_SUB_C);   // wind parameters
constexpr M_type kWindMore = mess_sub(MESS_OUT2, MESS_SUB_D);   // further wind parameters
constexpr M_type kWindRows = mess_sub(MESS_OUT3, MESS_SUB_A);   // wind-level table, true winds
constexpr M_type kWindRel = mess_sub(MESS_OUT3, MESS_SUB_B);    // wind-level table, relative
constexpr M_type kStorm = mess_sub(MESS_OUT3, MESS_SUB_C);      // wind-table pauses, storm table
constexpr M_type kLocate = mess_sub(MESS_OUT1, MESS_SUB_A);     // the location line
constexpr M_type kSevere = MESS_OUT4;                          // severe-weather table, all of out4

constexpr const char* kHoldText = "Press return to continue\n";

constexpr int kWordLen = 80;           // room for the word of a par= item

// The page positions after which a table pauses: the fourth line before a page end
// leaves room for the pause text and a heading line on a screen of `max` lines.
bool page_break(int pos, int max) { return max > 0 && pos % max == max - 4; }

void hold(M_type level) { MESS_hold(level, kHoldText); }

// Applies one par= item of "plot_param" to the parcel choice c: par, one separator
// character, a word, and optionally ":temperature:dew point" (C). sfc_p: the surface
// pressure (mb), the start of a parcel given by level; par_used receives the start.
void choose_parcel(const char* item, float sfc_p, THERM_parcel& c, UPA_level& par_used) {
  c.type = THERM_PAR_LEVEL;
  // Only the surface pressure is known when the resource is applied; a start level
  // carries no temperature or dew point unless the item gives them.
  c.start = UPA_UNSET_LEVEL;
  c.start.p = sfc_p;
  const char* text = std::strlen(item) > 4 ? item + 4 : "";
  char word[kWordLen] = "";
  const int got = std::sscanf(text, "%79[^:]:%f:%f", word, &c.start.t, &c.start.td);
  if (got <= 0 || stricmp(word, "sfc") == 0) {
    c.type = THERM_PAR_SFC;
  } else if (stricmp(word, "maxt") == 0) {
    c.type = THERM_PAR_MAXT;
  } else if (stricmp(word, "layer") == 0) {
    c.type = THERM_PAR_LAYER;
    // Without a depth the depth in force stays, rather than a missing value as depth.
    if (got >= 2) c.thick = c.start.t;
  } else {
    c.start.p = static_cast<float>(std::atof(word));
  }
  // Until THERM_calc lifts it, the parcel's start is the one requested.
  par_used = c.start;
}

// Applies "plot_param" for a sounding whose surface pressure is sfc_p (mb).
void apply_param(float sfc_p) {
  for (const std::string& item : THERM_param_parcels())
    choose_parcel(item.c_str(), sfc_p, parcel, rec.par_used);
}

// Takes what a merge gives of the sounding into s: the profiles, the tropopause and the
// maximum wind (the surface and the winds' means are set up from them).
void adopt(UPA_sounding&& merged, UPA_sounding* s) {
  s->sm = std::move(merged.sm);
  s->wm = std::move(merged.wm);
  s->trop = merged.trop;
  s->mwnd = merged.mwnd;
}

// Resets the analysis values of r, sets the surface of s at pressure pr (mb), the mean
// wind and the storm motion, and lends the surface to this thread's code-1 interpolation.
void set_up(UPA_sounding* s, THERM_record* r, float pr) {
  THERM_init_values(&r->values);
  THERM_setup_surface(s, pr);
  UPA_set_surface(&s->sfc);
  MESS_print(kTrace, "SFCP: %f\n", s->sfc.p);
  UPA_print_level(kTrace, kTrace, UPA_LAB_SFC, &s->sfc);
  THERM_setup_winds(s);
}

// Makes the profiles now in snd the sounding in force: applies the parcel choice, resets
// the analysis values, sets the surface at pressure pr (mb), the mean wind and the storm
// motion, and lends the surface to the code-1 interpolation.
void install(float pr) {
  apply_param(pr);
  set_up(&snd, &rec, pr);
}

// A height (m) and its value in feet, missing kept missing.
struct Height {
  double m;
  double ft;
};
Height with_feet(float h) { return {h == MISSING ? MISSING : h, unit_scaled(h, UNIT_M_TO_FT)}; }

// Class bounds of the risk words, from the least to the most severe class (C for the
// lifted indices, cal/g for the energy index, the index's own unit otherwise).
constexpr std::initializer_list<float> kLiftedBounds = {2, 0, -2, -4};     // Galway 1956
constexpr std::initializer_list<float> kShowalterBounds = {3, 1, -2, -6};  // Showalter 1953
constexpr std::initializer_list<float> kTotalsBounds = {44, 49, 55};       // Miller 1972
constexpr std::initializer_list<float> kKBounds = {15, 20, 25, 30, 35};    // George 1960
constexpr std::initializer_list<float> kSweatBounds = {300, 400};          // Miller 1972
constexpr std::initializer_list<float> kEnergyBounds = {0, -2};            // Darkow 1968

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

// Prints a line of a pressure (mb), its height h (m) and the height in feet; `format`
// holds the three conversions, separated by " = ". A level whose height is unknown (one
// beyond the profile's heights) prints its pressure alone, never the missing value.
void print_level_line(M_type level, const char* format, float p, float h) {
  const char* eq = std::strstr(format, " = ");
  if (h == MISSING && eq != nullptr) {
    const std::string pres_only = std::string(format, eq) + "\n";
    MESS_print(level, pres_only.c_str(), p);
    return;
  }
  const Height hh = with_feet(h);
  MESS_print(level, format, p, hh.m, hh.ft);
}

// Prints a risk line: the text with the index value, then the risk word.
void print_risk(M_type level, const char* format, THERM_risk_index index, float value) {
  MESS_print(level, format, value);
  MESS_print(level, "%s", THERM_risk_word(index, value));
}

// The sounding variables of the index table.
void print_sounding_variables(const THERM_record& r) {
  const THERM_values& v = r.values;
  if (v.thick != MISSING) MESS_print(kIndexMain, "1000-500 mb thick:      %7.2f m\n", v.thick);
  if (r.sfc_t != MISSING && r.sfc_t < 0.0f)
    MESS_print(kIndexMore, "Freezing level:      Surface below freezing\n");
  for (const THERM_height& c : r.freezing)
    print_level_line(kIndexMore, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft\n", c.p,
                     c.h);
  if (v.wb0 == -1.0f)
    MESS_print(kIndexMore, "Wetbulb zero:        Below ground\n");
  else if (v.wb0 != MISSING)
    print_level_line(kIndexMore, "Wetbulb zero:           %7.2f mb = %8.2f m = %8.2f ft\n",
                     v.wb0, r.wb0_h);
  if (v.precip != MISSING)
    MESS_print(kIndexMore, "Precipitable water:     %7.2f inches\n", v.precip);
  if (v.mean_rh != MISSING)
    MESS_print(kIndexMore, "Sfc-500 mean rel hum:   %7.2f %%\n", v.mean_rh);
  if (v.max_t != MISSING)
    MESS_print(kIndexMore, "Est. max temperature:   %7.2f C = %7.2f F\n", v.max_t,
               unit_fahrenheit(v.max_t));
  // An LCL beyond the profile's heights and temperatures prints its pressure alone,
  // never the missing value as a number.
  if (v.plcl > 0.0f && (r.lcl.h == MISSING || r.lcl.t == MISSING)) {
    MESS_print(kIndexMore, "Sfc-Lift cond lev (LCL): %6.2f mb\n", v.plcl);
  } else if (v.plcl > 0.0f) {
    const Height h = with_feet(r.lcl.h);
    MESS_print(kIndexMore,
               "Sfc-Lift cond lev (LCL): %6.2f mb = %8.2f m = %8.2f ft T: %7.2f C\n", v.plcl,
               h.m, h.ft, r.lcl.t);
  }
  if (v.lapse57 != MISSING)
    MESS_print(kIndexMore, "700-500 lapse rate:      %6.2f C/km\n", v.lapse57);
  if (v.thetae.index != MISSING)
    MESS_print(kIndexMore, "ThetaE index:            %6.2f C Layer %6.1f-%6.1f mb\n",
               v.thetae.index, v.thetae.base, v.thetae.top);
  if (v.ccl > 0.0f) {
    print_level_line(kIndexMore, "Conv cond level (CCL):  %7.2f mb = %8.2f m = %8.2f ft\n",
                     v.ccl, r.ccl_h);
    MESS_print(kIndexMore, "  Mean mixing ratio:    %7.2f g/kg\n", v.wbar);
    const double ct = v.ct == MISSING ? MISSING : v.ct - UNIT_C_TO_K;
    MESS_print(kIndexMore, "  Conv temperature:     %7.2f C = %7.2f F\n", ct,
               unit_fahrenheit(ct));
  } else if (v.ccl == -1.0f) {
    MESS_print(kIndexMore, "Conv cond level (CCL): None\n");
  }
}

// The stability indices of the index table, with their risk words.
void print_stability(const THERM_record& r) {
  const THERM_values& v = r.values;
  if (v.cap != MISSING) MESS_print(kIndexMore, "Cap Strength:            %6.2f C\n", v.cap);
  if (v.li != MISSING)
    print_risk(kIndexMain, "Lifted Index:            %6.2f C Risk: ", THERM_risk_index::lifted,
               v.li);
  if (r.li300 != MISSING) MESS_print(kIndexMore, "Lifted Index @300 mb:    %6.2f C\n", r.li300);
  if (r.li700 != MISSING) MESS_print(kIndexMore, "Lifted Index @700 mb:    %6.2f C\n", r.li700);
  if (v.si != MISSING)
    print_risk(kIndexMain, "Showalter Index:         %6.2f C Risk: ",
               THERM_risk_index::showalter, v.si);
  if (v.tt != MISSING) {
    print_risk(kIndexMain, "Total Totals Index:      %6.2f C Risk: ",
               THERM_risk_index::total_totals, v.tt);
    MESS_print(kIndexMore, "  Vertical Totals Index: %6.2f C\n", r.vt);
    MESS_print(kIndexMore, "  Cross Totals Index:    %6.2f C\n", r.ct);
  }
  if (v.k != MISSING)
    print_risk(kIndexMain, "K Index:                 %6.2f   Risk: ", THERM_risk_index::k, v.k);
  if (v.sweat != MISSING)
    print_risk(kIndexMore, "Sweat Index:             %6.2f   Risk: ", THERM_risk_index::sweat,
               v.sweat);
  if (v.ei != MISSING)
    print_risk(kIndexMore, "Energy Index:            %6.2f   Risk: ", THERM_risk_index::energy,
               v.ei);
}

// The parcel indices.
void print_parcel(const THERM_record& r) {
  const PARCEL_params& pc = r.values.parcel;
  MESS_print(kParcelMain, "\nParcel Indices\n");
  switch (r.parcel.type) {
    case THERM_PAR_SFC:
      MESS_print(kParcelMain, "Parcel: using surface\n");
      break;
    case THERM_PAR_LAYER:
      MESS_print(kParcelMain, "Parcel: using %1.0f mb layer\n", r.parcel.thick);
      break;
    case THERM_PAR_MAXT:
      MESS_print(kParcelMain, "Parcel: using max temp\n");
      break;
    case THERM_PAR_LEVEL:
      MESS_print(kParcelMain, "Parcel: using P: %1.0f T: %2.1f TD: %2.1f\n", r.par_used.p,
                 r.par_used.t, r.par_used.td);
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
                     pc.plcl, r.parcel_lcl_h);
  // An LFC of -1 means the parcel never becomes buoyant.
  if (pc.lfc == -1.0f)
    MESS_print(kParcelMore, "Lev Free Conv (LFC):     none\n");
  else if (pc.lfc != MISSING)
    print_level_line(kParcelMore, "Lev Free Conv (LFC):   %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.lfc, r.parcel_lfc_h);
  if (pc.el != MISSING)
    print_level_line(kParcelMore, "Equ Level (EL):        %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.el, r.parcel_el_h);
  if (pc.Bel != MISSING) MESS_print(kParcelMore, "B at Equ Level:        %8.2f J/kg\n", pc.Bel);
  if (pc.mpl != MISSING)
    print_level_line(kParcelMore, "Max Parcel Lev (MPL):  %8.2f mb = %8.2f m = %8.2f ft\n",
                     pc.mpl, r.parcel_mpl_h);
}

// One row of the storm-parameter table.
void print_storm_row(const THERM_storm_row& row) {
  constexpr float kShallow = 3000.0f;  // deepest layer printed in the narrow format
  MESS_print(kStorm, "%4.0f  ", row.depth);
  if (row.have_mean) {
    MESS_print(kStorm, "%3.0f %3.0f ", row.mean.dir, row.mean.spd);
    MESS_print(kStorm, "%3.0f %3.0f| ", row.inflow.dir, row.inflow.spd);
  } else {
    MESS_print(kStorm, " NO DATA       | ");
  }
  const SHEAR_params& shr = row.shear;
  if (row.have_shear)
    MESS_print(kStorm, "%4.1f %4.1f %4.1f|", shr.pos_shr * UNIT_MILLI,
               unit_scaled(shr.neg_shr, UNIT_MILLI),
               shr.neg_shr == MISSING ? MISSING : (shr.pos_shr + shr.neg_shr) * UNIT_MILLI);
  else
    MESS_print(kStorm, "              |");

  const HELICITY_params& hel = row.helicity;
  if (row.have_helicity) {
    MESS_print(kStorm, "%5.1f%6.1f%6.1f ", hel.pos_hel, hel.neg_hel, hel.tot_hel);
    const double ave = unit_scaled(hel.ave_hel, UNIT_MILLI);
    const double hor = unit_scaled(hel.hor_vort, UNIT_MILLI);
    const double stm = unit_scaled(hel.stm_vort, UNIT_MILLI);
    if (row.depth <= kShallow) {
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

}  // namespace

// ---- hand-over from the report merge -----------------------------------------------------

// Keeps a copy of the tropopause level. Returns 0.
int THERM_set_trop(const UPA_level* lev) {
  snd.trop = lev == nullptr ? UPA_UNSET_LEVEL : *lev;
  return 0;
}

// Keeps a copy of the maximum-wind level. Returns 0.
int THERM_set_mwnd(const UPA_level* lev) {
  snd.mwnd = lev == nullptr ? UPA_UNSET_LEVEL : *lev;
  return 0;
}

// Installs a copy of the merged profiles with the surface pressure pr (mb), applies the
// parcel choice, resets the analysis values, interpolates the surface level at that
// pressure and derives the storm motion from the mean wind of the 6000 m above the
// surface. Returns 0.
int THERM_set_data(float pr, UPA_level* smi, int smi_num, UPA_level* wmi, int wmi_num) {
  const int ns = smi == nullptr || smi_num < 0 ? 0 : smi_num;
  const int nw = wmi == nullptr || wmi_num < 0 ? 0 : wmi_num;
  snd.sm.assign(smi, smi + ns);
  snd.wm.assign(wmi, wmi + nw);
  install(pr);
  return 0;
}

// The surface level of the sounding (all missing before THERM_set_data).
UPA_level* THERM_get_sfc() { return &snd.sfc; }

// Merges the report (UPA_merge_sounding) and makes the result the sounding in force, with
// its tropopause, maximum wind and surface, as THERM_set_trop, THERM_set_mwnd and
// THERM_set_data would. Returns 1, or 0 when the thermodynamic profile is empty: nothing
// is installed then and the sounding in force stays.
int UPA_merge_report(UPA_report* report) {
  UPA_sounding merged;
  if (UPA_merge_sounding(report, &merged) == 0) return 0;
  const float pr = merged.sfc.p;
  adopt(std::move(merged), &snd);
  install(pr);
  return 1;
}

// The "par" items of "plot_param" in their order, after its "page" and "nopage" items
// have been applied as for an installed sounding. Read once on the main thread for
// THERM_analyse_merged.
std::vector<std::string> THERM_param_parcels() {
  std::vector<std::string> items;
  int n = 0;
  char** values = nullptr;
  RES_getvals("plot_param", &n, &values);
  for (int i = 0; i < n && values != nullptr; ++i) {
    const char* item = values[i];
    if (item == nullptr) continue;
    if (stricmp(item, "page") == 0)
      MESS_set_page(1);
    else if (stricmp(item, "nopage") == 0)
      MESS_set_page(0);
    else if (strnicmp(item, "par", 3) == 0)
      items.emplace_back(item);
  }
  free_parsed_array(n, values);
  return items;
}

// What THERM_reset and UPA_merge_report make of a report whose merge (UPA_merge_sounding)
// returned merged_rc and `merged`, set up in the caller's sounding, parcel choice and
// record instead of the kept ones, with the parcel chosen by parcel_items (see
// THERM_param_parcels); THERM_analyse then gives what THERM_calc gives. Uses no state of
// this module, so worker threads can set up and analyse stations side by side. Returns
// merged_rc.
int THERM_setup_merged(UPA_sounding merged, int merged_rc,
                       const std::vector<std::string>& parcel_items, UPA_sounding* s,
                       THERM_parcel* choice, THERM_record* r) {
  *s = UPA_sounding{};
  *choice = THERM_parcel{};
  *r = THERM_record{};
  UPA_set_surface(nullptr);
  if (merged_rc == 0) return 0;
  const float pr = merged.sfc.p;
  adopt(std::move(merged), s);
  for (const std::string& item : parcel_items) choose_parcel(item.c_str(), pr, *choice, r->par_used);
  set_up(s, r, pr);
  return merged_rc;
}

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
// par=sfc, par=maxt, par=layer:N and par=P[:T:Td] choose the lifted parcel (P defaults to
// the surface pressure of the sounding in force). Returns 0.
int THERM_param() {
  apply_param(snd.sfc.p);
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

// Returns the analysis state to its start: no sounding, the default parcel, a record with
// nothing computed, no date, and no surface for the code-1 interpolation. Returns 0.
int THERM_reset() {
  snd = UPA_sounding{};
  parcel = THERM_parcel{};
  rec = THERM_record{};
  file_date = Date{};
  UPA_set_surface(nullptr);
  return 0;
}

// Prints the thermodynamic profile, the tropopause and the maximum wind as a listing,
// pausing every page and after the last line. Returns 0.
int THERM_sig_table() {
  const int max = MESS_get_max_lines();
  UPA_print_level(kSigMain, kSigExt, 0, nullptr);
  int i = 0;
  for (; i < snd.sm_num(); ++i) {
    const UPA_level& lev = snd.sm[i];
    UPA_print_level(kSigMain, kSigExt, lev.p == snd.sfc.p ? UPA_LAB_SFC : i, &lev);
    if (page_break(i, max)) hold(kSigMain);
  }
  // The tropopause line takes the next position of the listing.
  UPA_print_level(kSigMain, kSigExt, UPA_LAB_TRP, &snd.trop);
  if (page_break(i, max)) hold(kSigMain);
  UPA_print_level(kSigMain, kSigExt, UPA_LAB_WND, &snd.mwnd);
  hold(kSigMain);
  return 0;
}

// Computes every analysis value of the sounding in force except the station fields
// (THERM_analyse). Returns 0.
int THERM_calc() { return THERM_analyse(snd, parcel, &rec); }

// The analysis values computed by THERM_calc.
const THERM_values* THERM_get_values() { return &rec.values; }

// The sounding in force and the record of the last THERM_calc.
const UPA_sounding* THERM_get_kept() { return &snd; }
const THERM_record* THERM_get_record() { return &rec; }

// Fills *out with the sounding being analysed (see THERM_sounding); the profiles stay
// valid until the next sounding is installed or THERM_reset. Returns 0.
int THERM_get_sounding(THERM_sounding* out) {
  if (out == nullptr) return 0;
  *out = {snd.sm.data(), snd.sm_num(), snd.wm.data(), snd.wm_num(), snd.sfc,
          snd.trop,      snd.mwnd,     rec.par_used,  snd.mean6,    snd.storm};
  return 0;
}

// ---- tables ---------------------------------------------------------------------------------

// The risk word (with its line end) of an index value: the first class whose bound the
// value passes.
const char* THERM_risk_word(THERM_risk_index index, float x) {
  switch (index) {
    case THERM_risk_index::lifted:
      return risk_above(x, kLiftedBounds, kLiftedWords);
    case THERM_risk_index::showalter:
      return risk_above(x, kShowalterBounds, kLiftedWords);
    case THERM_risk_index::total_totals:
      return risk_below(x, kTotalsBounds, kTotalsWords);
    case THERM_risk_index::k:
      return risk_below(x, kKBounds, kKWords);
    case THERM_risk_index::sweat:
      return risk_below(x, kSweatBounds, kSweatWords);
    case THERM_risk_index::energy:
      return risk_above(x, kEnergyBounds, kEnergyWords);
  }
  return "\n";
}

// Prints the sounding variables, the stability indices with their risk words and the
// parcel indices, pausing after each group. Returns 0.
int THERM_indices() {
  MESS_print(kOut2, "\nSounding variables and indices\n");
  print_sounding_variables(rec);
  hold(kIndexMore);
  print_stability(rec);
  hold(kIndexMain);
  print_parcel(rec);
  hold(kParcelMain);
  return 0;
}

// Prints the wind profile with the true and storm-relative winds, pausing every page and
// after the last line unless a pause has just been made. Returns 0.
int THERM_wind_table() {
  const int max = MESS_get_max_lines();
  UPA_print_wind(kWindRows, kWindRel, 0, nullptr, &snd.storm);
  for (int i = 0; i < snd.wm_num(); ++i) {
    UPA_print_wind(kWindRows, kWindRel, i, &snd.wm[i], &snd.storm);
    if (page_break(i, max)) hold(kStorm);
  }
  // A last line at a page break has had its pause already.
  if (max <= 0 || snd.wm_num() % max != max - 3) hold(kStorm);
  return 0;
}

// Prints the mean wind, the storm motion, the 0-3000 m shear, helicity and vorticity,
// the energy-helicity index and the bulk Richardson number. Returns 0.
int THERM_wind() {
  const THERM_values& v = rec.values;
  const SHEAR_params& sh = v.shear;
  const HELICITY_params& hl = v.helicity;
  MESS_print(kWindMain, "\nWind Parameters\n");
  if (snd.mean6.dir != MISSING)
    MESS_print(kWindMain, "Mean winds (0-6000m):           %6.1f at %6.1f knts\n", snd.mean6.dir,
               snd.mean6.spd);
  if (snd.storm.dir != MISSING)
    MESS_print(kWindMain, "Storm direction:                %6.1f at %6.1f knts\n", snd.storm.dir,
               snd.storm.spd);
  if (sh.pos_shr != MISSING) {
    const double tot = sh.neg_shr == MISSING ? MISSING : (sh.pos_shr + sh.neg_shr) * UNIT_MILLI;
    MESS_print(kWindMore,
               "Shear (0-3000m)              pos: %6.1f neg: %6.1f tot: %6.1f 10-3/s\n",
               unit_scaled(sh.pos_shr, UNIT_MILLI), unit_scaled(sh.neg_shr, UNIT_MILLI), tot);
  }
  if (hl.dir_shr != MISSING)
    MESS_print(kWindMore, "Storm rel Dir Shear (0-3000m):    %6.1f deg\n", hl.dir_shr);
  if (hl.pos_hel != MISSING)
    MESS_print(kWindMain,
               "Storm rel helicity (0-3000m) pos: %6.1f neg: %6.1f tot: %6.1f m^2/s^2\n",
               hl.pos_hel, hl.neg_hel, hl.tot_hel);
  if (hl.ave_hel != MISSING)
    MESS_print(kWindMore, "                             ave: %6.1f 10^-3 m/s^2 rel: %6.2f\n",
               hl.ave_hel * UNIT_MILLI, hl.rel_hel);
  if (hl.hor_vort != MISSING)
    MESS_print(kWindMore, "Storm rel vorticity (0-3000m) horiz: %6.1f stream: %6.1f 10^-3/s\n",
               hl.hor_vort * UNIT_MILLI, unit_scaled(hl.stm_vort, UNIT_MILLI));
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
  const char* rule =
      "-------------------------------------------------------------------------------\n";
  MESS_print(kStorm, "\nStorm Parameters\n");
  MESS_print(kStorm, "%s", rule);
  MESS_print(kStorm,
             "Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity\n");
  MESS_print(kStorm,
             " AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm\n");
  MESS_print(kStorm,
             "  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s\n");
  MESS_print(kStorm, "%s", rule);
  for (const THERM_storm_row& row : rec.storm_rows) print_storm_row(row);
  return 0;
}

// Prints the severe-weather parameters of the last THERM_calc when the message level
// shows any of their table (class out4). Returns 0.
int THERM_severe_table() {
  if (!MESS_check(kSevere)) return 0;
  return SEVERE_print(rec.severe, UPA_get_miss_dash());
}

namespace {

// The tables printed from the analysis record, in their order.
void print_analysis_tables() {
  THERM_indices();
  THERM_wind_table();
  THERM_wind();
  THERM_storm_table();
  THERM_severe_table();
}

}  // namespace

// Merges the report, installs it and prints the location line and every table, in the
// order of the print program. Returns UPA_merge_report's result.
int THERM_report(UPA_report* report) {
  const int rc = UPA_merge_report(report);
  UPA_print_locate(kLocate, report);
  THERM_sig_table();
  // The severe-weather values only when their table will print (THERM_calc computes all).
  THERM_analyse(snd, parcel, &rec, THERM_severe_shown());
  print_analysis_tables();
  return rc;
}

// True when the severe-weather table prints at the message level in force.
bool THERM_severe_shown() { return MESS_check(kSevere) != 0; }

// Prints the location line and every table of a report as THERM_report does after
// THERM_reset, from a sounding, parcel choice and record set up and analysed elsewhere
// (THERM_setup_merged and THERM_analyse, severe values as THERM_severe_shown says); the
// messages held while it was analysed are delivered where THERM_report's analysis prints
// them. The sounding, parcel choice and record become the kept ones. Returns merged_rc.
int THERM_report_analysed(UPA_report* report, int merged_rc, UPA_sounding&& analysed,
                          const THERM_parcel& choice, THERM_record&& record,
                          const std::vector<MESS_held>& analysis_messages) {
  snd = std::move(analysed);
  parcel = choice;
  rec = std::move(record);
  UPA_set_surface(merged_rc != 0 ? &snd.sfc : nullptr);
  UPA_print_locate(kLocate, report);
  THERM_sig_table();
  MESS_release(analysis_messages);
  print_analysis_tables();
  return merged_rc;
}
