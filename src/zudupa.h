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
int UPA_calc_temp(UPA_level* levels, int num);
int UPA_calc_height(UPA_level* level, int num);
int UPA_calc_press(UPA_level* level, int num);
// -- report merging
int UPA_merge_report(UPA_report* report);
int UPA_sm_merge(UPA_report* report, UPA_level* merge, int* man_index);
int UPA_wm_merge(UPA_report* report, UPA_level* merge, int* man_index);
int UPA_calc_wind(UPA_level* sm, int sm_num, UPA_level* wm, int wm_num);

// ---- ua_calc: sounding analyses -------------------------------------------------------
// (analysis section)

// ---- thm_tool: analysis state and tables ----------------------------------------------
// -- hand-over from the report merge
int THERM_set_trop(const UPA_level* lev);
int THERM_set_mwnd(const UPA_level* lev);
int THERM_set_data(float pr, UPA_level* smi, int smi_num, UPA_level* wmi, int wmi_num);
UPA_level* THERM_get_sfc();
// (tables section)

#endif  // ZUDUPA_H
