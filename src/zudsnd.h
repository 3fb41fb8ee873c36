// zudsnd.h — one station's sounding passed by hand, and the record of everything the
// analysis tables print about it.
//
// The explicit analysis chain is
//
//   UPA_report --UPA_merge_sounding--> UPA_sounding (profiles, tropopause, maximum wind,
//   surface pressure) --THERM_setup_sounding--> surface level, mean wind, storm motion
//   --THERM_analyse--> THERM_record --THERM_print_*--> printed tables.
//
// None of these steps reads or writes module state, so any number of stations can be
// analysed in one process, each in its own UPA_sounding and THERM_record. The documented
// entry points (UPA_merge_report, THERM_set_data, THERM_calc, THERM_indices, ...) are thin
// wrappers that keep one sounding and one record in the analysis module; THERM_reset
// returns that state to its start.
//
// Units as everywhere in a sounding: pressure mb, height m, temperature and dew point
// deg C, wind direction deg (from which it blows), wind speed knots; -9999.0 is missing.

#ifndef ZUDSND_H
#define ZUDSND_H

#include <array>
#include <string>
#include <vector>

#include "zudsevere.h"
#include "zudupa.h"

// A level whose every value is unknown; the speed is 0 so that an unset surface or
// tropopause prints as calm rather than as a missing speed.
constexpr UPA_level UPA_UNSET_LEVEL = {MISSING, MISSING, MISSING, MISSING, MISSING, 0.0f};

// One station's merged sounding. It owns its profiles; copying it copies them.
struct UPA_sounding {
  std::vector<UPA_level> sm;       // thermodynamic profile, by decreasing pressure
  std::vector<UPA_level> wm;       // wind profile, by increasing height
  UPA_level sfc = UPA_UNSET_LEVEL;   // the surface: sm interpolated at the surface pressure
  UPA_level trop = UPA_UNSET_LEVEL;  // the tropopause as reported
  UPA_level mwnd = UPA_UNSET_LEVEL;  // the maximum wind as reported
  WIND mean6 = {0.0f, 0.0f};         // mean wind of the 6000 m above the surface, deg, knots
  WIND storm = {0.0f, 0.0f};         // assumed storm motion, deg, knots

  int sm_num() const { return static_cast<int>(sm.size()); }
  int wm_num() const { return static_cast<int>(wm.size()); }
};

// How the lifted parcel starts (the "plot_param" item par=...).
struct THERM_parcel {
  int type = THERM_PAR_LAYER;        // THERM_PAR_SFC, _LAYER, _MAXT or _LEVEL
  float thick = 100.0f;              // depth of the mixed layer, mb
  UPA_level start = UPA_UNSET_LEVEL; // THERM_PAR_LEVEL: pressure, optionally t and td
};

// One line of the storm-parameter table: the layer from the surface to `depth` m above it.
struct THERM_storm_row {
  float depth = MISSING;           // m above the surface
  bool have_mean = false;          // the layer mean wind could be formed
  WIND mean = {MISSING, MISSING};  // layer mean wind, deg and knots
  WIND inflow = {MISSING, MISSING};  // mean wind relative to the storm, deg and knots
  bool have_shear = false;         // the shear could be formed and its positive part is known
  SHEAR_params shear;              // 1/s
  bool have_helicity = false;      // the helicity could be formed
  HELICITY_params helicity;
};

// Depths of the storm-parameter table, m above the surface.
constexpr std::array<float, 9> THERM_STORM_DEPTHS = {500,  1000, 1500, 2000, 2500,
                                                     3000, 4000, 5000, 6000};

// A pressure (mb) and its height (m) in the thermodynamic profile.
struct THERM_height {
  float p = MISSING;
  float h = MISSING;
};

// Every value that a table prints about one sounding. The printing functions format
// these fields and compute nothing but unit changes (m to ft, C to F, 1/s to 10^-3/s).
struct THERM_record {
  THERM_values values{};              // the documented analysis values
  THERM_parcel parcel;                // the parcel choice in force
  UPA_level par_used = UPA_UNSET_LEVEL;  // the parcel's start as lifted
  float sfc_t = MISSING;              // air temperature at the surface pressure, C
  std::vector<THERM_height> freezing; // every 0 C crossing of the temperature, upward
  float wb0_h = MISSING;              // height of the wet-bulb zero level, m
  UPA_level lcl = UPA_UNSET_LEVEL;    // profile at the surface air's LCL (h, t used)
  float ccl_h = MISSING;              // height of the convective condensation level, m
  float li300 = MISSING;              // lifted index of the surface layer parcel at 300 mb
  float li700 = MISSING;              // same at 700 mb
  float vt = MISSING;                 // vertical totals (850 - 500 mb temperature)
  float ct = MISSING;                 // cross totals (850 mb dew point - 500 mb temperature)
  float parcel_lcl_h = MISSING;       // heights of the parcel's levels, m
  float parcel_lfc_h = MISSING;
  float parcel_el_h = MISSING;
  float parcel_mpl_h = MISSING;
  std::array<THERM_storm_row, THERM_STORM_DEPTHS.size()> storm_rows{};
  SEVERE_values severe;               // the severe-weather parameters
};

// ---- ua_merge: the explicit merge --------------------------------------------------------
// Merges a report into snd: completes the location from the station database when the
// elevation is missing, builds both profiles with hydrostatic filling, writes the derived
// surface, tropopause and maximum-wind values back into the report and sets snd's
// tropopause, maximum wind and surface pressure (snd->sfc.p; the rest of the surface is
// set by THERM_setup_sounding). Returns 1, or 0 when the thermodynamic profile is empty.
int UPA_merge_sounding(UPA_report* report, UPA_sounding* snd);

// ---- thm_calc: the explicit analysis -----------------------------------------------------
// Sets the surface level of snd (sm interpolated at pressure sfc_p, mb), the 0-6000 m mean
// wind and the storm motion (30 deg to the right of the mean wind at 75 % of its speed).
// Returns 0.
int THERM_setup_sounding(UPA_sounding* snd, float sfc_p);
// Its two steps: the surface level alone, then the mean wind and storm motion alone.
int THERM_setup_surface(UPA_sounding* snd, float sfc_p);
int THERM_setup_winds(UPA_sounding* snd);
// Computes every printed value of snd for the parcel choice into rec; the station fields
// of rec->values (wmo, lat, lon, elev) are left as they are. With `severe` false the
// severe-weather values (half the work of an analysis) are left missing, for runs that
// neither print nor write them. Returns 0.
int THERM_analyse(const UPA_sounding& snd, const THERM_parcel& parcel, THERM_record* rec,
                  bool severe = true);

// ---- thm_tool: the kept sounding and its tables ------------------------------------------
// Returns the analysis state (sounding, parcel choice, record, date) to its start, as in a
// fresh process. Returns 0.
int THERM_reset();
// The sounding in force and the record of the last THERM_calc.
const UPA_sounding* THERM_get_kept();
const THERM_record* THERM_get_record();
// Analyses on worker threads: the "par" items of "plot_param" (its "page" items applied);
// one merged report set up in the caller's sounding, parcel choice and record as
// THERM_reset and UPA_merge_report set up the kept ones; whether the severe-weather table
// shows; and the printing of the tables of such an analysed report, which becomes the
// kept one.
std::vector<std::string> THERM_param_parcels();
int THERM_setup_merged(UPA_sounding merged, int merged_rc,
                       const std::vector<std::string>& parcel_items, UPA_sounding* s,
                       THERM_parcel* choice, THERM_record* r);
bool THERM_severe_shown();
int THERM_report_analysed(UPA_report* report, int merged_rc, UPA_sounding&& analysed,
                          const THERM_parcel& choice, THERM_record&& record,
                          const std::vector<MESS_held>& analysis_messages);
// Merges the report, installs it, and prints the location line and every table, as the
// print program does for its one station. Returns 1, or 0 when the report had no
// thermodynamic levels (the tables then print the state left before).
int THERM_report(UPA_report* report);

#endif  // ZUDSND_H
