// zudunits.h — one home for units and codes: conversions with a single missing-value
// rule, vertical coordinate codes, message classes and sub-levels, the MESS_set
// operations, flag indices, and the conventional constants of the analyses with their
// sources.
//
// The missing-value rule of every conversion: a missing input (-9999.0) gives a missing
// result; so does a kelvin value at or below 0, which the moist-air functions return as
// "nothing to report" and which is no temperature. Arithmetic is in double, results are
// stored as float.

#ifndef ZUDUNITS_H
#define ZUDUNITS_H

#include "zud.h"

// ---- conversion factors ------------------------------------------------------------------
constexpr double UNIT_C_TO_K = 273.15;      // kelvin of 0 C
constexpr double UNIT_KNOT_TO_MS = 0.5144;  // m/s per knot (1852 m / 3600 s, rounded)
constexpr double UNIT_MS_TO_KNOT = 1.944;   // knots per m/s, as the tables print them
constexpr double UNIT_FT_TO_M = 0.3048;     // m per international foot
constexpr double UNIT_M_TO_FT = 3.2808;     // ft per m, as the tables print them
constexpr double UNIT_PER_KM = 1000.0;      // per m to per km
constexpr double UNIT_MILLI = 1000.0;       // 1/s to 10^-3/s, m/s2 to 10^-3 m/s2

// ---- conversions -------------------------------------------------------------------------
// Kelvin of a Celsius temperature.
inline float unit_kelvin(float c) {
  return c == MISSING ? MISSING : static_cast<float>(c + UNIT_C_TO_K);
}
// Celsius of a kelvin temperature; missing also for k <= 0.
inline float unit_celsius(float k) {
  return k == MISSING || k <= 0.0f ? MISSING : static_cast<float>(k - UNIT_C_TO_K);
}
// m/s of a speed in knots.
inline float unit_knot_to_ms(float kt) {
  return kt == MISSING ? MISSING : static_cast<float>(kt * UNIT_KNOT_TO_MS);
}
// Knots of a speed in m/s.
inline float unit_ms_to_knot(float ms) {
  return ms == MISSING ? MISSING : static_cast<float>(ms * UNIT_MS_TO_KNOT);
}
// Metres of a height in feet.
inline float unit_ft_to_m(float ft) {
  return ft == MISSING ? MISSING : static_cast<float>(ft * UNIT_FT_TO_M);
}
// x scaled by f in double, as the tables print it (feet of metres, 10^-3 of 1/s, ...).
inline double unit_scaled(float x, double f) { return x == MISSING ? MISSING : x * f; }
// Fahrenheit of a Celsius temperature, in double as printed.
inline double unit_fahrenheit(double c) { return c == MISSING ? MISSING : 9.0 * c / 5.0 + 32.0; }

// ---- vertical coordinate codes of interpolation and layer functions ----------------------
constexpr int UNIT_COORD_SFC = 1;       // the surface level of the sounding
constexpr int UNIT_COORD_PRESS = 100;   // pressure, mb (also 101, 102, 115, 116)
constexpr int UNIT_COORD_HEIGHT = 103;  // height, m (also 104 to 106)
constexpr int UNIT_COORD_THETA = 113;   // potential temperature, K (also 114)

// ---- message classes (M_type masks) and sub-levels ---------------------------------------
constexpr M_type MESS_PRINT = 0x0000000F;
constexpr M_type MESS_ERROR = 0x00000030;
constexpr M_type MESS_WARN = 0x000000C0;
constexpr M_type MESS_MESS = 0x00000F00;
constexpr M_type MESS_OUT1 = 0x0000F000;
constexpr M_type MESS_OUT2 = 0x000F0000;
constexpr M_type MESS_OUT3 = 0x00F00000;
constexpr M_type MESS_OUT4 = 0x0F000000;
constexpr M_type MESS_DEBUG = 0xF0000000;
constexpr M_type MESS_SUB_A = 0x11111111;  // the first sub-level of every class
constexpr M_type MESS_SUB_B = 0x22222222;
constexpr M_type MESS_SUB_C = 0x44444444;
constexpr M_type MESS_SUB_D = 0x88888888;
// One sub-level of one class, e.g. MESS_OUT1 & MESS_SUB_B == 0x2000.
constexpr M_type mess_sub(M_type cls, M_type sub) { return cls & sub; }

// ---- MESS_set operations ------------------------------------------------------------------
constexpr int MESS_OP_SET = 0;         // set the mask to the level and every more important bit
constexpr int MESS_OP_ADD = 1;         // add the level
constexpr int MESS_OP_REMOVE = -1;     // remove the level
constexpr int MESS_OP_SET_QUIET = 10;  // the same three without counting as a user setting
constexpr int MESS_OP_ADD_QUIET = 11;
constexpr int MESS_OP_REMOVE_QUIET = 9;
constexpr int MESS_OP_SET_DEFAULT = 20;  // defaults that yield to a user setting
constexpr int MESS_OP_ADD_DEFAULT = 21;
constexpr int MESS_OP_REMOVE_DEFAULT = 19;

// ---- flag indices ----------------------------------------------------------------------------
constexpr int FLAG_DEVICE = 2;       // output device
constexpr int FLAG_REGION = 5;       // map region
constexpr int FLAG_PLOT_TYPE = 11;   // plot type
constexpr int FLAG_FILE_PARAM = 15;  // file parameter
constexpr int FLAG_FILE_TYPE = 17;   // input file type (an upper-air kind code)
constexpr int FLAG_BATCH = 19;       // batch mode when greater than 0
constexpr int FLAG_HELP = 20;        // help requested when greater than 0

// ---- conventional constants of the analyses ----------------------------------------------
// Storm motion from the 0-6000 m mean wind: 30 deg to its right at 75 % of its speed
// (Maddox 1976, "An evaluation of tornado proximity wind and stability data").
constexpr float UNIT_STORM_VEER = 30.0f;   // deg
constexpr float UNIT_STORM_SPEED = 0.75f;  // fraction of the mean wind's speed
// Energy-helicity index = CAPE x helicity / 160000 (Hart and Korotky 1991).
constexpr double UNIT_EHI_DIVISOR = 160000.0;  // J/kg x m2/s2

#endif  // ZUDUNITS_H
