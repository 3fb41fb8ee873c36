// zudupa.h — the upper-air report record, file information, and the upper-air modules:
// reading (ua_read), the program-level tool layer (ua_tool), merging (ua_merge),
// sounding analyses (ua_calc) and the analysis tables (thm_tool).

#ifndef ZUDUPA_H
#define ZUDUPA_H

#include "zud.h"

// One level of a merged sounding. Pressure mb, height m, temperature and dew point
// deg C, wind direction deg (from which it blows), wind speed knots.
struct UPA_level {
  float p;
  float h;
  float t;
  float td;
  float dir;
  float spd;
};

// A significant level with respect to temperature.
struct UPA_sig_level {
  float p;
  float t;
  float td;
};

// A significant level with respect to wind; h in feet.
struct UPA_wnd_level {
  float h;
  float dir;
  float spd;
};

constexpr int UPA_MAX_MAN = 25;   // mandatory-part slots, see the slot table below
constexpr int UPA_MAX_SIG = 200;  // significant temperature levels
constexpr int UPA_MAX_WND = 100;  // significant wind levels

// Mandatory-part slots: 0 surface, 1..16 the levels 1000..10 mb, 17..21 levels above
// 10 mb, 22 tropopause, 23 maximum wind, 24 unused.
constexpr int UPA_SLOT_SFC = 0;
constexpr int UPA_SLOT_TROP = 22;
constexpr int UPA_SLOT_MWND = 23;

// One station's report; fixed capacity, no heap storage.
struct UPA_report {
  char id[11];    // station identifier, at most 10 characters
  char area[11];  // region or state code
  int wmo;        // WMO block and station number, -9999 when unknown
  float lat;      // degrees north
  float lon;      // degrees east (west negative)
  float elev;     // station elevation, m
  int time;       // report time, -9999 when unknown
  int type;       // report kind code, left as found
  UPA_level man[UPA_MAX_MAN];
  int numman;
  UPA_sig_level sig[UPA_MAX_SIG];
  int numsig;
  UPA_wnd_level wnd[UPA_MAX_WND];
  int numwnd;
};

// Information about the open upper-air file.
struct UPA_info {
  char datim[40];  // the file's date label as stored (at most 39 characters)
  char file[20];   // file date key (written by converters only)
  char* cmdline;   // history text (writers only)
  Date date;       // datim decoded
};

// File kind codes returned by detection and kept while a file is open.
constexpr int UPA_KIND_SHORT = 1;     // headerless, older short layout
constexpr int UPA_KIND_LONG = 2;      // headerless, older long layout
constexpr int UPA_KIND_ZUDUPA = 3;    // header "ZUDUPA"
constexpr int UPA_KIND_PLUS = 4;      // header "ZUDUPA+"
constexpr int UPA_KIND_X = 5;         // header "ZUDUPAx"
constexpr int UPA_KIND_CDF_STN = 11;  // netCDF with a "station" dimension
constexpr int UPA_KIND_CDF_REP = 12;  // netCDF along "report"
constexpr int UPA_KIND_BINARY = 41;   // binary layout, open only
constexpr int UPA_KIND_MARKUP = 51;   // mark-up layout, open only

// Forms of one station read (rep_type).
constexpr int UPA_REP_SFC = 0;     // surface only, into man[0]
constexpr int UPA_REP_TROP = 22;   // tropopause, into man[0]
constexpr int UPA_REP_MWND = 23;   // maximum wind, into man[0]
constexpr int UPA_REP_ALL = 30;    // whole report
constexpr int UPA_REP_IDENT = 31;  // identification only
constexpr int UPA_REP_LOC = 32;    // location (netCDF); identification for text

// ---- ua_read: file access and record reading ----------------------------------------
int UPA_initialize(UPA_report* report);
int UPA_chktype(const char* filename);
int UPA_open(const char* filename, int f_access, int* f_type);
int UPA_close();
int UPA_rewind(int cvt_fd);
int UPA_getinfo(int cvt_fd, UPA_info* info);
int UPA_read(int cvt_fd, UPA_report* report, int rep_type, int* statnum);
// -- text-layout group decoders
int decd_ph(const char* str, float* pres, float* hght);
int decd_td(const char* str, float* temp, float* dewpt);
int decd_wd(const char* str, float* dir, float* spd);

// ---- plt_labl: plot labels ----------------------------------------------------------
int PLT_label_up_right(const char* str);
const char* PLT_get_label(int overlay, int position);

// ---- ua_tool: the open file at program level ------------------------------------------
int UPA_open_file(const char* filename);
int UPA_rewind_file();
Date* UPA_get_file_date();
int UPA_reset();
// -- station choice
int UPA_list_stations();
int UPA_get_station(const char* id, UPA_report* report);
int UPA_prompt_station(UPA_report* report);
int UPA_set_prompt(int val);
// -- sounding listing
// Level labels of UPA_print_level (any other ind prints as a number).
constexpr int UPA_LAB_SFC = -1;  // "SFC " when the pressure exceeds 500 mb
constexpr int UPA_LAB_TRP = -2;
constexpr int UPA_LAB_WND = -3;
constexpr int UPA_LAB_PAR = -4;
constexpr int UPA_LAB_LCL = -5;
constexpr int UPA_LAB_LFC = -6;
constexpr int UPA_LAB_EL = -7;
constexpr int UPA_LAB_MPL = -8;
constexpr int UPA_LAB_WBZ = -9;
constexpr int UPA_LAB_FRZ = -10;
int UPA_set_miss_dash();
int UPA_get_miss_dash();
int UPA_level_init(UPA_level* lev);
int UPA_print_locate(M_type mess, const UPA_report* report);
int UPA_print_report(M_type mess, const UPA_report* report);
int UPA_print_level(M_type mess1, M_type mess2, int ind, const UPA_level* level);
int UPA_print_wind(M_type mess1, M_type mess2, int ind, const UPA_level* level,
                   const WIND* storm);

// ---- ua_merge: report merging, interpolation, hydrostatic filling --------------------
// Capacity of each merged profile (thermodynamic and wind). The largest possible merge
// needs 224 thermodynamic and 124 wind levels, so a profile never outgrows it.
constexpr int UPA_MAX_LEVELS = 300;
// Entries of a profile's index map: one per mandatory-part slot (entry 24 unused).
constexpr int UPA_MAN_INDEX = 25;

// -- level interpolation and hydrostatic filling
float UPA_get_level(int coord, const UPA_level* level);
float UPA_thick_top(int coord, float bottom, float thick);
float UPA_thick_bottom(int coord, float top, float thick);
float UPA_sfc_pres(const UPA_level* lev, const int* ind);
int UPA_interp_levels(UPA_level* levels, int num_level, int coord, const float* values,
                      UPA_level* result, int num_result);
int UPA_interp(UPA_level* levels, int num_level, int coord, float value, UPA_level* result);
// The same with the surface level that code 1 stands for passed by hand (null: missing).
int UPA_interp_levels_sfc(UPA_level* levels, int num_level, int coord, const float* values,
                          UPA_level* result, int num_result, const UPA_level* sfc);
int UPA_interp_sfc(UPA_level* levels, int num_level, int coord, float value, UPA_level* result,
                   const UPA_level* sfc);
// The surface that code 1 stands for in UPA_interp and UPA_interp_levels (null: missing).
int UPA_set_surface(const UPA_level* sfc);
int UPA_calc_temp(UPA_level* levels, int num);
int UPA_calc_height(UPA_level* level, int num);
int UPA_calc_press(UPA_level* level, int num);
// -- report merging
int UPA_merge_report(UPA_report* report);
int UPA_sm_merge(UPA_report* report, UPA_level* merge, int* man_index);
int UPA_wm_merge(UPA_report* report, UPA_level* merge, int* man_index);
int UPA_calc_wind(UPA_level* sm, int sm_num, UPA_level* wm, int wm_num);

// ---- ua_calc: sounding analyses -------------------------------------------------------
#include <functional>
#include <string>

// Result of the theta-e index: the strongest low-level layer of decreasing equivalent
// potential temperature. K and mb; every field -9999.0 until set.
struct THETAE_params {
  float index = MISSING;  // total decrease of theta-e over the chosen layer, K
  float base = MISSING;   // pressure of the layer's base, mb
  float top = MISSING;    // pressure of the layer's top, mb
  float max = MISSING;    // largest theta-e among the levels examined, K
  float maxp = MISSING;   // pressure of that level, mb
  float min = MISSING;    // smallest theta-e among the levels examined, K
  float minp = MISSING;   // pressure of that level, mb
};

// Result of one parcel ascent. Pressures mb, temperatures K (cap C), energies J/kg,
// wmax m/s.
struct PARCEL_params {
  float Satad = MISSING;   // label of the saturated adiabat above the condensation level
  float plcl = MISSING;    // lifting condensation level
  float tlcl = MISSING;    // temperature at the condensation level
  float cap = MISSING;     // largest environment-minus-parcel temperature below 500 mb, C
  float lfc = MISSING;     // level of free convection, -1 when none
  float el = MISSING;      // equilibrium level
  float mpl = MISSING;     // maximum parcel level
  float Bel = MISSING;     // energy balance left at the equilibrium level
  float Bmpl = MISSING;    // energy balance left at the maximum parcel level
  float Bplus = MISSING;   // positive buoyant energy (CAPE)
  float Bminus = MISSING;  // negative energy below the LFC (inhibition), positive number
  float wmax = MISSING;    // maximum updraft speed, sqrt(2 Bplus)
};

// Storm-relative helicity and its companion vorticity measures of one layer; every field
// -9999.0 until computed.
struct HELICITY_params {
  float dir_shr = MISSING;   // storm-relative directional shear, top minus bottom, deg
  float pos_hel = MISSING;   // sum of positive helicity contributions, m2/s2
  float neg_hel = MISSING;   // sum of negative and zero contributions, m2/s2
  float tot_hel = MISSING;   // pos_hel + neg_hel, m2/s2
  float ave_hel = MISSING;   // tot_hel per metre integrated, m/s2
  float rel_hel = MISSING;   // streamwise term over horizontal vorticity, ratio
  float hor_vort = MISSING;  // mean horizontal vorticity magnitude per step, 1/s
  float stm_vort = MISSING;  // mean streamwise vorticity per step, 1/s
};

// Positive (veering) and negative (backing or unturned) shear of a layer, 1/s; -9999.0
// until computed.
struct SHEAR_params {
  float pos_shr = MISSING;
  float neg_shr = MISSING;
};

// -- the layer walk shared by the layer means, the parcel ascent and the wind analyses
// Where a segment of the walk lies: from the bottom bound to the first level used,
// between two sounding levels, or from the last level used (or the bottom) to the top.
enum class WalkSeg { first, inner, last };
// One segment, lower end first. j, i: indices of the sounding levels at its lower and
// upper ends (first: j = lb; last: j the last level used, or lb when none was, i = lt).
// lo, hi: the end levels themselves (the interpolated bounds at the ends of the layer).
// w: ln(lo.p / hi.p), 0 when either pressure is missing or not positive.
using WalkVisit =
    std::function<void(WalkSeg kind, int j, int i, const UPA_level& lo, const UPA_level& hi, double w)>;
int layer_walk(const UPA_level* lev, int num, const UPA_level& bot, int lb, const UPA_level& top,
               int lt, float UPA_level::*skip, const WalkVisit& visit);
std::string walk_label(WalkSeg kind, int j, int i);
// Every function below that takes a coordinate code takes last the surface level that
// code 1 stands for; null (the default) takes the one lent by UPA_set_surface.
// -- layer quantities
float variable_calc(int type, const UPA_level* lev);
float mean_value(const char* val, UPA_level* lev, int num, int coord, float bottom, float top,
    const UPA_level* sfc = nullptr);
int layer_parcel_mean(UPA_level* lev, int num, int coord, float bottom, float top, float* Wbar,
                      float* Obar,
    const UPA_level* sfc = nullptr);
float thickness(UPA_level* lev, int num, int coord, float bottom, float top,
    const UPA_level* sfc = nullptr);
float lapse_rate(UPA_level* lev, int num, int coord, float bottom, float top,
    const UPA_level* sfc = nullptr);
float precip_water(const UPA_level* lev, int num);
float freezing_level(const UPA_level* lev, int num);
float wet_bulb_zero(const UPA_level* lev, int num);
float max_temperature(UPA_level* lev, int num, int coord, float bottom, float thick,
    const UPA_level* sfc = nullptr);
int thetae_index(const UPA_level* lev, int num, THETAE_params* params);
// -- parcel ascent and buoyant energy
float energy_calc(const UPA_level* par1, const UPA_level* par2, const UPA_level* env1,
                  const UPA_level* env2);
int parcel_calc(UPA_level* lev, int num, UPA_level* blev, int coord, float bottom, float thick,
                PARCEL_params* params,
    const UPA_level* sfc = nullptr);
float cap_strength(UPA_level* lev, int num, int coord, float bottom, float thick,
    const UPA_level* sfc = nullptr);
float pr_ccl(UPA_level* lev, int num, int coord, float bottom, float thick, float* Wbar,
    const UPA_level* sfc = nullptr);
float energy_index(UPA_level* lev, int num);
// -- stability indices
float lifted_index(UPA_level* lev, int num, int coord, float bottom, float thick, float top,
    const UPA_level* sfc = nullptr);
float total_totals(UPA_level* lev, int num);
float vertical_totals(UPA_level* lev, int num);
float cross_totals(UPA_level* lev, int num);
float k_index(UPA_level* lev, int num);
float sweat_index(UPA_level* lev, int num);
// -- wind analyses
int layer_wind_mean(UPA_level* lev, int num, int coord, float bottom, float top, WIND* wind,
    const UPA_level* sfc = nullptr);
int helicity(UPA_level* lev, int num, int coord, float bottom, float top, const WIND* storm,
             HELICITY_params* windp,
    const UPA_level* sfc = nullptr);
int helicity_layers(UPA_level* lev, int num, int coord, float bottom, const float* tops, int n,
                    const WIND* storm, HELICITY_params* windp, const UPA_level* sfc = nullptr,
                    int* rc = nullptr);
int shear_layer(UPA_level* lev, int num, int coord, float bottom, float top, const WIND* storm,
                SHEAR_params* windp,
    const UPA_level* sfc = nullptr);
int bulk_richardson(UPA_level* lev, int num, int coord, float bottom, float cape, float* brn,
                    float* shear,
    const UPA_level* sfc = nullptr);
float energy_helicity(UPA_level* lev, int num, int coord, float bottom, const WIND* storm,
                      float cape,
    const UPA_level* sfc = nullptr);

// ---- thm_tool: analysis state and tables ----------------------------------------------
// Every analysis value of the sounding being analysed. Pressures mb, temperatures as
// their producing function gives them (tlcl and ct K, max_t C), heights m.
struct THERM_values {
  int wmo;          // station number (not set by the analysis)
  float lat;        // station location (not set by the analysis)
  float lon;
  float elev;
  float plcl;       // lifting condensation level of the surface air, mb
  float tlcl;       // temperature there, K
  float frz;        // freezing level, mb; -1 when the surface is below freezing
  float wb0;        // wet-bulb zero level, mb; -1 when below ground
  float lapse57;    // 700-500 mb lapse rate, C/km
  float max_t;      // estimated maximum temperature, C
  float precip;     // precipitable water, inches
  float mean_rh;    // surface-500 mb mean relative humidity, %
  float thick;      // 1000-500 mb thickness, m
  THETAE_params thetae;  // theta-e index
  float ccl;        // convective condensation level, mb; -1 when none
  float wbar;       // mean mixing ratio of the CCL source layer, g/kg
  float ct;         // convective temperature, K
  float li;         // lifted index
  float cap;        // cap strength, C
  float si;         // Showalter index
  float tt;         // total totals
  float k;          // K index
  float sweat;      // SWEAT index
  float ei;         // energy index
  UPA_level par_lev;        // reserved; the parcel's start is kept by the module
  PARCEL_params parcel;     // parcel ascent
  HELICITY_params helicity; // 0-3000 m storm-relative helicity
  SHEAR_params shear;       // 0-3000 m shear
  float brn;        // bulk Richardson number
  float bshear;     // bulk shear, m/s
  float ehi;        // energy-helicity index
};

// Parcel choices of the "plot_param" item par=...
constexpr int THERM_PAR_SFC = 1;    // surface air
constexpr int THERM_PAR_LAYER = 2;  // mean of the lowest layer (default, 100 mb)
constexpr int THERM_PAR_MAXT = 3;   // surface air at the estimated maximum temperature
constexpr int THERM_PAR_LEVEL = 5;  // a given pressure, optionally temperature and dew point

// The indices that carry a risk word.
enum class THERM_risk_index { lifted, showalter, total_totals, k, sweat, energy };

// -- hand-over from the report merge
int THERM_set_trop(const UPA_level* lev);
int THERM_set_mwnd(const UPA_level* lev);
int THERM_set_data(float pr, UPA_level* smi, int smi_num, UPA_level* wmi, int wmi_num);
UPA_level* THERM_get_sfc();
// -- analysis set-up and computation
int THERM_set_date(const Date* date);
int THERM_param();
int THERM_init_values(THERM_values* values);
int THERM_sig_table();
int THERM_calc();
const THERM_values* THERM_get_values();
// The sounding being analysed as the tables see it: the profiles (borrowed; they live
// until exit), the surface, tropopause and maximum-wind levels, the lifted parcel's start
// level (after THERM_calc the one used), the 0-6000 m mean wind and the storm motion
// (deg, knots).
struct THERM_sounding {
  const UPA_level* sm;  // thermodynamic profile, by decreasing pressure
  int sm_num;
  const UPA_level* wm;  // wind profile, by increasing height
  int wm_num;
  UPA_level sfc, trop, mwnd, par;
  WIND mean6, storm;
};
int THERM_get_sounding(THERM_sounding* snd);
// -- tables
const char* THERM_risk_word(THERM_risk_index index, float value);
int THERM_indices();
int THERM_wind_table();
int THERM_wind();
int THERM_storm_table();
int THERM_severe_table();

// The explicit sounding, the analysis record and their functions.
#include "zudsnd.h"

#endif  // ZUDUPA_H
