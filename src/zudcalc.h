// zudcalc.h — moist thermodynamic point functions (module calc) and wind vectors
// (module vecttool).
//
// Units: temperature and dew point in kelvin, pressure in mb, vapour pressure in mb,
// mixing ratio and specific humidity in g/kg, relative humidity in percent, wind
// direction in degrees (from which the wind blows), speed and components in the
// caller's speed unit. Every function is a pure function of its arguments; invalid
// input gives a sentinel result (-9999.0 missing, or 0.0 where nothing is to report).

#ifndef ZUDCALC_H
#define ZUDCALC_H

// A wind as a vector: x eastward (u), y northward (v), z vertical (set only by vector
// products), all in the speed unit of the wind that produced them.
struct VECT {
  float x;
  float y;
  float z;
};

// A wind as direction (degrees, from which it blows) and speed.
struct WIND {
  float dir;
  float spd;
};

// ---- calc: moist thermodynamics -------------------------------------------------
float vapor_pr(float t);
float mix_ratio(float temp, float pr);
float spec_hum(float temp, float pr);
float pot_temp(float temp, float pr);
float virt_temp(float temp, float dewp, float pr);
float virt_pot_temp(float temp, float dewp, float pr);
float temp_on_dryad(float pot, float pr);
float temp_on_satad(float pot, float pr);
float thetae_on_satad(float temp, float pr);
float temp_on_mixrat(float w, float pr);
float rel_hum(float t, float td);
float conv_temp(float wbar, float pc, float pr);
float lcl_pres(float ts, float tds, float ps);
float lcl_temp(float ts, float ps, float pl);
float eq_pot_temp(float temp, float dewp, float pr);
float wet_bulb(float temp, float dewp, float pr);
float wet_bulb_pot_temp(float temp, float dewp, float pr);
float interp_temp(float t1, float t2, float p1, float p2, float pr);

// ---- vecttool: wind vectors -----------------------------------------------------
int wind2vect(float dir, float spd, float* u, float* v);
int vect2wind(float u, float v, float* dir, float* spd);
int storm_relative(float dir, float spd, const WIND& storm, float* du, float* dv, float* rdir,
                   float* rspd);

#endif  // ZUDCALC_H
