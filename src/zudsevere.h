// zudsevere.h — today's severe-weather parameters of one merged sounding (module severe)
// and their table (module severe_table).
//
// The analysis takes the merged sounding (UPA_sounding, with its surface set) explicitly
// and returns every value in one record; it keeps no state. The analysis record of the
// tables (THERM_record) carries that record. Units: pressures mb, heights m above ground, energies J/kg, temperatures
// C, lapse rates C/km, wind components m/s, helicity m2/s2. Missing values are -9999.0.

#ifndef ZUDSEVERE_H
#define ZUDSEVERE_H

#include <vector>

#include "zud.h"

struct UPA_sounding;  // the merged sounding (zudsnd.h)

// One lifted parcel with the virtual-temperature correction.
struct SEVERE_parcel {
  float p = MISSING;      // starting pressure, mb
  float t = MISSING;      // starting temperature, C
  float td = MISSING;     // starting dew point, C
  float cape = MISSING;   // positive buoyant energy above the LFC, J/kg
  float cin = MISSING;    // negative buoyant energy below the LFC, J/kg (0 or negative)
  float cape3 = MISSING;  // CAPE below 3 km above ground, J/kg
  float lcl = MISSING;    // lifting condensation level, m above ground
  float lfc = MISSING;    // level of free convection, m above ground
  float el = MISSING;     // equilibrium level (top of the highest positive area), m AGL
  float li = MISSING;     // lifted index at 500 mb (virtual temperatures), C
};

// A wind vector in m/s (eastward u, northward v).
struct SEVERE_wind {
  float u = MISSING;
  float v = MISSING;
};

// Every severe-weather value of one sounding.
struct SEVERE_values {
  SEVERE_parcel sb;               // surface parcel
  SEVERE_parcel ml;               // mean of the lowest 100 mb
  SEVERE_parcel mu;               // highest theta-e of the lowest 300 mb
  float dcape = MISSING;          // downdraft CAPE, J/kg
  float dcape_p = MISSING;        // starting pressure of the downdraft parcel, mb
  float lapse03 = MISSING;        // 0-3 km lapse rate, C/km
  float lapse36 = MISSING;        // 3-6 km lapse rate, C/km
  float lapse75 = MISSING;        // 700-500 mb lapse rate, C/km
  SEVERE_wind mean6;              // 0-6 km non-pressure-weighted mean wind
  SEVERE_wind right;              // Bunkers right mover
  SEVERE_wind left;               // Bunkers left mover
  float bwd1 = MISSING;           // 0-1 km bulk wind difference, m/s
  float bwd6 = MISSING;           // 0-6 km bulk wind difference, m/s
  float srh1 = MISSING;           // 0-1 km storm-relative helicity (right mover), m2/s2
  float srh3 = MISSING;           // 0-3 km storm-relative helicity (right mover), m2/s2
  float eff_base = MISSING;       // effective inflow layer base, m above ground
  float eff_top = MISSING;        // effective inflow layer top, m above ground
  float esrh = MISSING;           // effective storm-relative helicity, m2/s2
  float ebwd = MISSING;           // effective bulk wind difference, m/s
  float stp_fixed = MISSING;      // fixed-layer significant tornado parameter
  float stp_eff = MISSING;        // effective-layer significant tornado parameter
  float scp = MISSING;            // supercell composite parameter
};

// A level of the environment as the parcel sees it.
struct SEVERE_env {
  double p;   // mb
  double z;   // m above ground
  double t;   // C
  double td;  // C, MISSING when unknown
  double tv;  // virtual temperature, K (the temperature itself without a dew point)
};

// ---- severe: the analyses ------------------------------------------------------------
std::vector<SEVERE_env> SEVERE_environment(const UPA_sounding& snd);
float SEVERE_virt_temp(float t, float td, float p);
SEVERE_parcel SEVERE_lift(const std::vector<SEVERE_env>& env, float p, float t, float td);
float SEVERE_dcape(const std::vector<SEVERE_env>& env, float* start_p);
int SEVERE_bunkers(const UPA_sounding& snd, SEVERE_wind* mean, SEVERE_wind* right,
                   SEVERE_wind* left);
float SEVERE_bulk_diff(const UPA_sounding& snd, float bottom, float top);
float SEVERE_helicity(const UPA_sounding& snd, float bottom, float top, const SEVERE_wind& storm);
int SEVERE_effective_layer(const std::vector<SEVERE_env>& env, float* base, float* top);
float SEVERE_stp_fixed(float sbcape, float sblcl, float srh1, float bwd6);
float SEVERE_stp_effective(float mlcape, float mllcl, float mlcin, float esrh, float ebwd);
float SEVERE_scp(float mucape, float esrh, float ebwd);
SEVERE_values SEVERE_calc(const UPA_sounding& snd);

// ---- severe_table: the printed table -------------------------------------------------
int SEVERE_print(const SEVERE_values& v, int dash);

#endif  // ZUDSEVERE_H
