// thm_tool.cpp — the analysis state of the one sounding being analysed: the merged
// thermodynamic and wind profiles, the surface, tropopause and maximum-wind levels, the
// 0-6000 m mean wind and the assumed storm motion; and the tables built on them.
//
// The profiles are borrowed from the report merge, which keeps them for the life of the
// process; this module never frees them.

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
WIND mean6 = {0.0f, 0.0f};     // mean wind of the 6000 m above the surface, deg and knots
WIND storm = {0.0f, 0.0f};     // assumed storm motion, deg and knots

constexpr M_type kTrace = 0x80000000;  // set-up trace, debug sub-level d

// Storm motion assumed from the mean wind.
constexpr float kStormVeer = 30.0f;     // degrees to the right of the mean wind
constexpr float kStormSpeed = 0.75f;    // fraction of the mean wind's speed

// The storm motion of a mean wind: 30 degrees to its right at three quarters of its
// speed; missing when the mean wind's direction is.
WIND storm_motion(const WIND& mean) {
  if (mean.dir == MISSING) return {MISSING, MISSING};
  float dir = mean.dir + kStormVeer;
  if (dir > 360.0f) dir -= 360.0f;
  return {dir, mean.spd == MISSING ? MISSING : kStormSpeed * mean.spd};
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

// Installs the merged profiles and the surface pressure pr (mb), interpolates the
// surface level at that pressure and derives the storm motion from the mean wind of the
// 6000 m above the surface. Returns 0.
int THERM_set_data(float pr, UPA_level* smi, int smi_num, UPA_level* wmi, int wmi_num) {
  sfc.p = pr;
  sm = smi;
  sm_num = smi == nullptr || smi_num < 0 ? 0 : smi_num;
  wm = wmi;
  wm_num = wmi == nullptr || wmi_num < 0 ? 0 : wmi_num;
  // The parcel choice ("plot_param") and the reset of the analysis values come here,
  // before the surface is interpolated, with the analysis-values part of this module.

  UPA_interp(sm, sm_num, 100, sfc.p, &sfc);
  MESS_print(kTrace, "SFCP: %f\n", sfc.p);
  UPA_print_level(kTrace, kTrace, UPA_LAB_SFC, &sfc);

  // The layer mean wind joins here once the wind analyses exist; until then the mean
  // wind, and with it the storm motion, is unknown.
  mean6 = {MISSING, MISSING};
  storm = storm_motion(mean6);
  return 0;
}

// The surface level of the sounding (all missing before THERM_set_data).
UPA_level* THERM_get_sfc() { return &sfc; }
