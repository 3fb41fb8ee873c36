// Moist-air point functions against known values from independent formulas: Bolton's
// (1980) vapour pressure, LCL and equivalent potential temperature, the Magnus formula
// inverted for mixing-ratio lines, Poisson's equation by hand, Espy's 125 m/K rule with
// the hypsometric equation, the psychrometric equation, and a Runge-Kutta integration of
// the pseudo-adiabatic lapse rate (cp 1005.7, Rd 287.04, L = 2.501e6 - 2370 t).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "zud.h"

namespace {

// One numeric case of a function of two arguments.
struct Case2 {
  float a, b;
  float want;
  float tol;
  const char* why;
};

// One numeric case of a function of three arguments.
struct Case3 {
  float a, b, c;
  float want;
  float tol;
  const char* why;
};

}  // namespace

// Saturation vapour pressure over water.
TEST(VaporPr, KnownValues) {
  struct Case { float t, want, tol; const char* why; };
  const Case cases[] = {
      // Bolton: 6.112 exp(17.67 t/(t + 243.5)) at 0 C is 6.112; the two fits differ by 0.1 %.
      {273.15f, 6.112f, 0.015f, "freezing point, about 6.10 mb"},
      // Bolton at 30 C: 6.112 exp(17.67*30/273.5) = 42.456 mb.
      {303.15f, 42.456f, 0.1f, "warm surface air"},
      // Bolton at -20 C: 1.2574 mb; tests the fit far from its reference point.
      {253.15f, 1.2574f, 0.01f, "cold air, still over water"},
      // The formulation is anchored at the steam point: 1013.25 mb at 100 C.
      {373.15f, 1013.25f, 1.0f, "boiling point at standard pressure"},
  };
  for (const auto& c : cases) EXPECT_NEAR(vapor_pr(c.t), c.want, c.tol) << c.why;
}

TEST(VaporPr, Sentinels) {
  EXPECT_EQ(vapor_pr(-9999.0f), MISSING);  // missing temperature stays missing
  EXPECT_EQ(vapor_pr(-0.5f), MISSING);     // any negative kelvin value is invalid
  EXPECT_EQ(vapor_pr(50.0f), 0.0f);        // below 100 K: no vapour worth reporting
  EXPECT_EQ(vapor_pr(0.0f), 0.0f);         // zero is the lower end of the 0.0 range
}

// Mixing ratio: saturation at a temperature, or of a given vapour pressure.
TEST(MixRatio, KnownValues) {
  const Case2 cases[] = {
      // By hand: 622*10/(1000 - 10) = 6.2828; 10 is a vapour pressure (at most 100).
      {10.0f, 1000.0f, 6.2828f, 0.001f, "10 mb of vapour at 1000 mb"},
      // By hand: 622*100/900 = 69.111; 100 is still read as a vapour pressure.
      {100.0f, 1000.0f, 69.111f, 0.01f, "upper end of the vapour-pressure reading"},
      // Bolton e = 6.112 at 0 C: 622*6.112/993.888 = 3.825 g/kg.
      {273.15f, 1000.0f, 3.825f, 0.01f, "saturation at 0 C, 1000 mb"},
      // Bolton e(20 C) = 23.369 at 850 mb: 622*23.369/826.63 = 17.584 g/kg.
      {293.15f, 850.0f, 17.584f, 0.05f, "saturation at 20 C, 850 mb"},
  };
  for (const auto& c : cases) EXPECT_NEAR(mix_ratio(c.a, c.b), c.want, c.tol) << c.why;
}

TEST(MixRatio, Sentinels) {
  EXPECT_EQ(mix_ratio(-9999.0f, 1000.0f), MISSING);  // missing dew point
  EXPECT_EQ(mix_ratio(290.0f, -9999.0f), MISSING);   // missing pressure
  EXPECT_EQ(mix_ratio(0.0f, 1000.0f), 0.0f);         // no vapour: nothing to report
  EXPECT_EQ(mix_ratio(-5.0f, 1000.0f), 0.0f);        // negative but not missing: 0.0
  EXPECT_EQ(mix_ratio(290.0f, 0.0f), 0.0f);          // zero pressure
  // Vapour pressure equal to or above the pressure: no finite mixing ratio (the water
  // boils); the plain formula would divide by zero or turn negative.
  EXPECT_EQ(mix_ratio(10.0f, 10.0f), MISSING);
  EXPECT_EQ(mix_ratio(380.0f, 1000.0f), MISSING);    // Bolton e(107 C) = 1290 mb > 1000
}

TEST(SpecHum, KnownValuesAndSentinels) {
  const Case2 cases[] = {
      // By hand: 622*10/1000 = 6.22 (no vapour correction in the denominator).
      {10.0f, 1000.0f, 6.22f, 0.001f, "vapour pressure read as such"},
      // Bolton e(20 C) = 23.369: 622*23.369/1000 = 14.536 g/kg.
      {293.15f, 1000.0f, 14.536f, 0.04f, "saturated 20 C air at 1000 mb"},
  };
  for (const auto& c : cases) EXPECT_NEAR(spec_hum(c.a, c.b), c.want, c.tol) << c.why;
  EXPECT_EQ(spec_hum(-9999.0f, 1000.0f), MISSING);
  EXPECT_EQ(spec_hum(290.0f, -9999.0f), MISSING);
  EXPECT_EQ(spec_hum(0.0f, 1000.0f), 0.0f);
  EXPECT_EQ(spec_hum(290.0f, -1.0f), 0.0f);
}

// Poisson's equation and its inverse, the dry adiabat.
TEST(PotTemp, PoissonByHand) {
  const Case2 cases[] = {
      {300.0f, 1000.0f, 300.0f, 1e-4f, "at the reference pressure theta is T"},
      // By hand: 250 * 2^0.286 = 250 * 1.219255 = 304.814.
      {250.0f, 500.0f, 304.814f, 0.01f, "mid troposphere"},
      // By hand: (1000/850)^0.286 = exp(0.286*0.162519) = 1.047577; *273.15 = 286.146.
      {273.15f, 850.0f, 286.146f, 0.01f, "freezing level air at 850 mb"},
  };
  for (const auto& c : cases) EXPECT_NEAR(pot_temp(c.a, c.b), c.want, c.tol) << c.why;
  EXPECT_EQ(pot_temp(-9999.0f, 1000.0f), MISSING);  // missing temperature
  EXPECT_EQ(pot_temp(300.0f, -9999.0f), MISSING);   // missing pressure
  EXPECT_EQ(pot_temp(0.0f, 1000.0f), MISSING);      // zero kelvin
  EXPECT_EQ(pot_temp(300.0f, 0.0f), MISSING);       // zero pressure
}

TEST(TempOnDryad, PoissonByHand) {
  const Case2 cases[] = {
      // By hand: 300 / 2^0.286 = 300 / 1.219255 = 246.052.
      {300.0f, 500.0f, 246.052f, 0.01f, "descends nothing, rises to 500 mb"},
      // The inverse of the 850 mb row of PotTemp above.
      {286.146f, 850.0f, 273.15f, 0.01f, "round trip of Poisson's equation"},
  };
  for (const auto& c : cases) EXPECT_NEAR(temp_on_dryad(c.a, c.b), c.want, c.tol) << c.why;
  EXPECT_EQ(temp_on_dryad(-9999.0f, 500.0f), 0.0f);  // missing theta: nothing to report
  EXPECT_EQ(temp_on_dryad(300.0f, -9999.0f), 0.0f);
  EXPECT_EQ(temp_on_dryad(300.0f, 0.0f), 0.0f);
}

// Virtual temperature with the three readings of its moisture argument.
TEST(VirtTemp, KnownValues) {
  const Case3 cases[] = {
      {300.0f, 0.0f, 1000.0f, 300.0f, 0.0f, "dry air: exactly the temperature"},
      // By hand: 300 * (1 + 0.609*10/1000) = 301.827; 10 is a mixing ratio.
      {300.0f, 10.0f, 1000.0f, 301.827f, 0.001f, "mixing ratio given directly"},
      // Second formula Tv = T / (1 - (e/p)(1 - 0.622)) with Bolton e(16.85 C) = 19.20 mb
      // gives 302.19; the dew point is turned into a mixing ratio first.
      {300.0f, 290.0f, 1000.0f, 302.19f, 0.06f, "dew point in kelvin"},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(virt_temp(c.a, c.b, c.c), c.want, c.tol) << c.why;
}

TEST(VirtPotTemp, KnownValues) {
  const Case3 cases[] = {
      // Dry air: Poisson by hand, 250 * 2^0.286 = 304.814.
      {250.0f, 0.0f, 500.0f, 304.814f, 0.01f, "dry air is the potential temperature"},
      // By hand: 300 * 1.00609 * 2^0.286 = 368.004.
      {300.0f, 10.0f, 500.0f, 368.004f, 0.01f, "moist air raised by 0.609 w"},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(virt_pot_temp(c.a, c.b, c.c), c.want, c.tol) << c.why;
}

// The functions guarded on temperature <= 0, dew point < 0 and pressure < 0.
TEST(MoistGuards, MissingInputs) {
  using Fn = float (*)(float, float, float);
  struct Case { Fn fn; const char* name; };
  const Case fns[] = {{virt_temp, "virt_temp"},     {virt_pot_temp, "virt_pot_temp"},
                      {eq_pot_temp, "eq_pot_temp"}, {wet_bulb, "wet_bulb"},
                      {wet_bulb_pot_temp, "wet_bulb_pot_temp"}};
  for (const auto& f : fns) {
    EXPECT_EQ(f.fn(-9999.0f, 290.0f, 1000.0f), MISSING) << f.name << ": missing T";
    EXPECT_EQ(f.fn(300.0f, -9999.0f, 1000.0f), MISSING) << f.name << ": missing Td";
    EXPECT_EQ(f.fn(300.0f, 290.0f, -9999.0f), MISSING) << f.name << ": missing p";
    EXPECT_EQ(f.fn(0.0f, 0.0f, 1000.0f), MISSING) << f.name << ": zero kelvin";
  }
  // Dry air through the wet-bulb functions: nothing to report.
  EXPECT_EQ(wet_bulb(300.0f, 0.0f, 1000.0f), 0.0f);
  EXPECT_EQ(wet_bulb_pot_temp(300.0f, 0.0f, 1000.0f), 0.0f);
  // Dry air through eq_pot_temp is the potential temperature, the same value exactly.
  EXPECT_EQ(eq_pot_temp(250.0f, 0.0f, 500.0f), pot_temp(250.0f, 500.0f));
  // Zero pressure passes the guard; the moist branch must not divide by it.
  EXPECT_EQ(virt_pot_temp(300.0f, 10.0f, 0.0f), MISSING);
  // A dew point too warm for a mixing ratio at the pressure.
  EXPECT_EQ(virt_temp(390.0f, 380.0f, 1000.0f), MISSING);
  // No condensation level from above 1100 mb: theta-e is missing, not 0 K.
  EXPECT_EQ(eq_pot_temp(300.0f, 290.0f, 1200.0f), MISSING);
  EXPECT_EQ(wet_bulb(300.0f, 290.0f, 1200.0f), MISSING);
}

// Saturated adiabats: label, and the temperature back from a label.
TEST(ThetaeOnSatad, AgainstBolton) {
  // Bolton's theta-e of saturated 20 C air at 1000 mb is 335.59 K; the simpler
  // exponential form used here runs about 0.2 K lower.
  EXPECT_NEAR(thetae_on_satad(293.15f, 1000.0f), 335.59f, 0.5f);
  EXPECT_EQ(thetae_on_satad(-9999.0f, 1000.0f), 0.0f);  // missing temperature
  EXPECT_EQ(thetae_on_satad(293.15f, 0.0f), 0.0f);      // zero pressure
  EXPECT_EQ(thetae_on_satad(400.0f, 1000.0f), 0.0f);    // too warm to be saturated
}

// The label keeps the potential temperature in double: for each point it equals, to the
// last float bit, T (1000/p)^0.286 exp(2.6518986 ws/T) evaluated in double here (ws the
// saturation mixing ratio). Rounding the potential temperature to float first moved these
// labels by one float step (found by an offline scan of 900-930 mb). At 916 mb, 23.0/22.6 C
// that step flips the wet bulb's twelve-step bisection: 22.754 C (prints 22.8) instead of
// 22.725 C (22.7); the psychrometric estimate T - (T - Td)/3 = 22.87 C agrees with 22.8.
TEST(ThetaeOnSatad, PotentialTemperatureKeptInDouble) {
  struct Pt { float t, p; };
  const Pt pts[] = {{296.15f, 916.0f}, {302.35f, 902.0f}, {300.65f, 904.0f}, {292.45f, 909.0f}};
  for (const auto& c : pts) {
    const float pl = lcl_pres(c.t, c.t - 0.4f, c.p);
    const float tl = lcl_temp(c.t, c.p, pl);
    const double want = tl * std::pow(1000.0 / pl, 0.286) * std::exp(2.6518986 * mix_ratio(tl, pl) / tl);
    EXPECT_EQ(thetae_on_satad(tl, pl), static_cast<float>(want)) << c.t << " K at " << c.p << " mb";
  }
  char wb[16];
  std::snprintf(wb, sizeof wb, "%5.1f", wet_bulb(296.15f, 295.75f, 916.0f) - 273.15);
  EXPECT_STREQ(wb, " 22.8");
}

TEST(TempOnSatad, AgainstIntegratedLapseRate) {
  const float label = thetae_on_satad(293.15f, 1000.0f);
  const Case2 cases[] = {
      // Back at the starting pressure: within a bisection step (120/4096 K) of 20 C.
      {label, 1000.0f, 293.15f, 0.03f, "descends to where the label was taken"},
      // Runge-Kutta integration of the pseudo-adiabatic lapse rate from 20 C, 1000 mb.
      {label, 700.0f, 279.32f, 0.2f, "lower troposphere"},
      {label, 500.0f, 264.42f, 0.3f, "mid troposphere"},
      // With a 1 K label the residual stays negative: twelve cooling steps of 60, 30 ...
      // 120/4096 K give 253.16 - 120(1 - 1/4096) = 133.1893 (11 steps: 133.2186).
      {1.0f, 1000.0f, 133.1893f, 0.002f, "the search stops after twelve steps"},
  };
  for (const auto& c : cases) EXPECT_NEAR(temp_on_satad(c.a, c.b), c.want, c.tol) << c.why;
  EXPECT_NE(temp_on_satad(label, 2000.0f), MISSING);   // 2000 mb is still followed
  EXPECT_EQ(temp_on_satad(label, 2000.5f), MISSING);   // above 2000 mb it is not
  EXPECT_EQ(temp_on_satad(0.0f, 1000.0f), MISSING);
  EXPECT_EQ(temp_on_satad(-9999.0f, 500.0f), MISSING);
  EXPECT_EQ(temp_on_satad(label, -9999.0f), MISSING);
}

TEST(TempOnSatad, SearchesColderWhereWaterWouldBoil) {
  // At 50 mb water boils above 306.0 K (Magnus: es = 50 mb). The 800 K adiabat starts
  // the search upward, into 313.16 K, where no saturation mixing ratio exists; taken
  // literally the negative mixing ratio would push every later step warmer, to the top
  // of the interval (373.13 K). Such a trial must count as too warm instead, so the
  // answer stays above the first guess and below the boiling point.
  const float t = temp_on_satad(800.0f, 50.0f);
  EXPECT_GT(t, 253.16f);
  EXPECT_LT(t, 306.0f);
  // Realistic case aloft: the 20 C adiabat at 100 mb; integrating the lapse rate gives
  // 173.90 K.
  EXPECT_NEAR(temp_on_satad(thetae_on_satad(293.15f, 1000.0f), 100.0f), 173.90f, 0.5f);
}

TEST(TempOnMixrat, AgainstMagnus) {
  const Case2 cases[] = {
      // Magnus inverted: e = 10*1000/632 = 15.823 mb, T = 243.5 L/(17.67 - L) with
      // L = ln(e/6.112) gives 287.004 K.
      {10.0f, 1000.0f, 287.004f, 0.1f, "10 g/kg line at 1000 mb"},
      // Magnus at 850 mb: e = 13.449 mb, 284.526 K.
      {10.0f, 850.0f, 284.526f, 0.1f, "10 g/kg line at 850 mb"},
      // Round trip of the Bolton 0 C saturation mixing ratio at 1000 mb.
      {3.825f, 1000.0f, 273.15f, 0.1f, "inverse of the saturation mixing ratio"},
  };
  for (const auto& c : cases) EXPECT_NEAR(temp_on_mixrat(c.a, c.b), c.want, c.tol) << c.why;
  EXPECT_EQ(temp_on_mixrat(0.0f, 1000.0f), 0.0f);     // dry air has no such line
  EXPECT_EQ(temp_on_mixrat(-9999.0f, 500.0f), 0.0f);  // missing mixing ratio
  EXPECT_EQ(temp_on_mixrat(10.0f, -9999.0f), 0.0f);   // missing pressure
}

TEST(RelHum, KnownValues) {
  const Case2 cases[] = {
      {300.0f, 300.0f, 100.0f, 1e-3f, "saturated air"},
      // Bolton: 100 * 23.369/42.456 = 55.04 %.
      {303.15f, 293.15f, 55.04f, 0.2f, "30 C with a 20 C dew point"},
      // By hand: two mixing ratios 10 and 20 g/kg give 50 %.
      {20.0f, 10.0f, 50.0f, 1e-3f, "ratio of like moisture amounts"},
  };
  for (const auto& c : cases) EXPECT_NEAR(rel_hum(c.a, c.b), c.want, c.tol) << c.why;
  EXPECT_EQ(rel_hum(-9999.0f, 290.0f), MISSING);
  EXPECT_EQ(rel_hum(300.0f, -9999.0f), MISSING);
  EXPECT_EQ(rel_hum(0.0f, 290.0f), MISSING);
  // A moisture amount against a kelvin dew point: no vapour pressure to divide by.
  EXPECT_EQ(rel_hum(50.0f, 300.0f), MISSING);
}

// Lifting condensation level.
TEST(LclPres, KnownValues) {
  const Case3 cases[] = {
      // Bolton: TL = 1/(1/(Td-56) + ln(T/Td)/800) + 56 = 290.815 K, pL = 1000 (TL/T)^(1/0.286)
      // = 864.8 mb. Espy's 125 m/K puts it 1250 m up, 866.1 mb by the hypsometric equation.
      {303.15f, 293.15f, 1000.0f, 864.8f, 1.5f, "10 K spread: about 865 mb"},
      // Saturated start: the level is where the parcel is (one correction at most).
      {293.15f, 293.15f, 1000.0f, 1000.0f, 1.0f, "no spread"},
      // Bolton for 40 C over a -10 C dew point at 1000 mb: TL = 254.22 K, pL = 482.4 mb.
      {313.15f, 263.15f, 1000.0f, 482.4f, 2.0f, "very dry air, a high base"},
  };
  for (const auto& c : cases) EXPECT_NEAR(lcl_pres(c.a, c.b, c.c), c.want, c.tol) << c.why;
}

TEST(LclPres, ConvergedWhereTheLinesMeet) {
  // At the returned pressure the mixing-ratio line and the dry adiabat must agree to
  // 0.01 K; stopping after two corrections instead of three leaves a 0.03 K gap.
  const float ws = mix_ratio(293.15f, 1000.0f);
  const float os = pot_temp(303.15f, 1000.0f);
  const float pl = lcl_pres(303.15f, 293.15f, 1000.0f);
  EXPECT_LE(std::fabs(temp_on_mixrat(ws, pl) - temp_on_dryad(os, pl)), 0.01f);
}

TEST(LclPres, Sentinels) {
  EXPECT_EQ(lcl_pres(100.0f, 290.0f, 1000.0f), MISSING);  // T at most 100 K
  EXPECT_EQ(lcl_pres(300.0f, 100.0f, 1000.0f), MISSING);  // Td at most 100 K
  EXPECT_EQ(lcl_pres(-9999.0f, 290.0f, 1000.0f), MISSING);
  EXPECT_EQ(lcl_pres(300.0f, -9999.0f, 1000.0f), MISSING);
  EXPECT_EQ(lcl_pres(300.0f, 290.0f, -9999.0f), MISSING);
  EXPECT_EQ(lcl_pres(300.0f, 290.0f, 0.0f), MISSING);
  EXPECT_EQ(lcl_pres(300.0f, 290.0f, 1100.5f), MISSING);  // above 1100 mb
  EXPECT_NE(lcl_pres(300.0f, 290.0f, 1100.0f), MISSING);  // 1100 mb is accepted
}

TEST(LclTemp, KnownValuesAndSentinels) {
  // Bolton's TL for 30 C over 20 C at 1000 mb, taken at Bolton's pL.
  EXPECT_NEAR(lcl_temp(303.15f, 1000.0f, 864.8f), 290.815f, 0.05f);
  EXPECT_EQ(lcl_temp(-9999.0f, 1000.0f, 900.0f), 0.0f);  // invalid start
  EXPECT_EQ(lcl_temp(300.0f, 1000.0f, -9999.0f), 0.0f);  // no condensation level
}

TEST(ConvTemp, KnownValuesAndSentinels) {
  // Magnus: the 10 g/kg line is 284.526 K at 850 mb; Poisson down to 1000 mb by hand,
  // 284.526 * 1.047577 = 298.063 K.
  EXPECT_NEAR(conv_temp(10.0f, 850.0f, 1000.0f), 298.063f, 0.1f);
  EXPECT_EQ(conv_temp(-9999.0f, 850.0f, 1000.0f), 0.0f);
  EXPECT_EQ(conv_temp(10.0f, 850.0f, -9999.0f), 0.0f);
}

// Equivalent-potential and wet-bulb temperatures of lifted parcels.
TEST(LiftedParcel, KnownValues) {
  using Fn = float (*)(float, float, float);
  struct Case { Fn fn; float t, td, p, want, tol; const char* why; };
  const Case cases[] = {
      // Bolton's theta-e for 30 C over 20 C at 1000 mb: 347.52 K.
      {eq_pot_temp, 303.15f, 293.15f, 1000.0f, 347.52f, 0.5f, "theta-e of warm moist air"},
      // Psychrometric equation e(Td) = es(Tw) - 6.6e-4 p (T - Tw), Bolton e: Tw = 22.96 C.
      {wet_bulb, 303.15f, 293.15f, 1000.0f, 296.11f, 0.3f, "wet bulb at 1000 mb"},
      // At 850 mb the psychrometric equation gives Tw = 286.94 K for 20 C over 10 C.
      {wet_bulb, 293.15f, 283.15f, 850.0f, 286.94f, 0.3f, "wet bulb aloft"},
      // A saturated parcel at 1000 mb is its own wet-bulb potential temperature.
      {wet_bulb_pot_temp, 293.15f, 293.15f, 1000.0f, 293.15f, 0.05f, "saturated at 1000 mb"},
      // Lapse-rate integration from the 850 mb wet bulb (286.82 K) down to 1000 mb.
      {wet_bulb_pot_temp, 293.15f, 283.15f, 850.0f, 292.97f, 0.2f, "brought down to 1000 mb"},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.fn(c.t, c.td, c.p), c.want, c.tol) << c.why;
  // At 1000 mb the wet-bulb and wet-bulb potential temperatures are one and the same.
  EXPECT_FLOAT_EQ(wet_bulb_pot_temp(303.15f, 293.15f, 1000.0f),
                  wet_bulb(303.15f, 293.15f, 1000.0f));
}

// Log-pressure interpolation.
TEST(InterpTemp, KnownValues) {
  struct Case { float t1, t2, p1, p2, pr, want; const char* why; };
  const Case cases[] = {
      // sqrt(1000*500) = 707.107 mb is halfway in ln p: (10 + 0)/2.
      {10.0f, 0.0f, 1000.0f, 500.0f, 707.107f, 5.0f, "log-pressure midpoint"},
      {10.0f, 0.0f, 1000.0f, 500.0f, 1000.0f, 10.0f, "at the lower level"},
      {10.0f, 0.0f, 1000.0f, 500.0f, 500.0f, 0.0f, "at the upper level"},
      // By hand: 250 mb is one more halving of pressure: 10 - 2*10 = -10.
      {10.0f, 0.0f, 1000.0f, 500.0f, 250.0f, -10.0f, "extrapolated upward"},
      {10.0f, -9999.0f, 1000.0f, 500.0f, 700.0f, 10.0f, "upper value missing"},
      {-9999.0f, 0.0f, 1000.0f, 500.0f, 700.0f, 0.0f, "lower value missing"},
      // Past the pressure check, a single present value wins whatever pr is.
      {10.0f, -9999.0f, 1000.0f, 1000.0f, -5.0f, 10.0f, "one value, odd pressures"},
      {7.0f, 7.0f, 850.0f, 850.0f, 850.0f, 7.0f, "two equal values at one pressure"},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(interp_temp(c.t1, c.t2, c.p1, c.p2, c.pr), c.want, 1e-3f) << c.why;
}

TEST(InterpTemp, Sentinels) {
  EXPECT_EQ(interp_temp(10.0f, 0.0f, 0.0f, 500.0f, 700.0f), MISSING);      // p1 zero
  EXPECT_EQ(interp_temp(10.0f, 0.0f, 1000.0f, -9999.0f, 700.0f), MISSING); // p2 missing
  EXPECT_EQ(interp_temp(10.0f, -9999.0f, -9999.0f, 500.0f, 700.0f), MISSING);  // check first
  EXPECT_EQ(interp_temp(-9999.0f, -9999.0f, 1000.0f, 500.0f, 700.0f), MISSING);
  // Two different values at one pressure give no gradient (log ratio 0).
  EXPECT_EQ(interp_temp(10.0f, 0.0f, 850.0f, 850.0f, 700.0f), MISSING);
  // No logarithm of a non-positive target pressure.
  EXPECT_EQ(interp_temp(10.0f, 0.0f, 1000.0f, 500.0f, 0.0f), MISSING);
}

namespace {

// The saturated-adiabat search written out plainly: bisection over 253.16 +/- 120 K, at
// most 12 residual evaluations through the public mix_ratio and pot_temp, stopping when
// the squared residual is below 2e-5 K^2. The library keeps vapour pressures and factors
// between evaluations; its answers must be these to the bit.
float plain_satad(float pot, float pr) {
  double t = 253.16, step = 120.0;
  for (int i = 0; i < 12; ++i) {
    const float tf = static_cast<float>(t);
    const float ws = mix_ratio(tf, pr);
    const double theta = pot_temp(tf, pr);
    const double x = ws == MISSING ? -theta : pot * std::exp(-2.6518986 * ws / t) - theta;
    if (x * x < 2e-5) break;
    step /= 2.0;
    t += x > 0.0 ? step : -step;
  }
  return static_cast<float>(t);
}

}  // namespace

// Kept intermediate values and the sign test change nothing: every label and pressure of
// a grid (cold and warm adiabats, 10 to 2000 mb), asked twice in different orders, gives
// the plain search's bits; and vapour pressures asked again, after thousands of others have passed through
// the kept table, are the first answers.
TEST(SaturatedAdiabat, KeptValuesGiveThePlainSearchBits) {
  std::vector<std::pair<float, float>> grid;
  for (float pot = 200.0f; pot <= 460.0f; pot += 1.37f)
    for (float pr = 10.0f; pr <= 2000.0f; pr += 9.7f) grid.emplace_back(pot, pr);
  // Labels of real parcels between 280 and 380 K and pressures every 0.1 mb of an ascent:
  // the search often stops early there.
  for (float pot = 280.0f; pot <= 380.0f; pot += 10.03f)
    for (float pr = 100.0f; pr <= 1050.0f; pr += 0.1f) grid.emplace_back(pot, pr);
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [pot, pr] : grid)
      ASSERT_EQ(temp_on_satad(pot, pr), plain_satad(pot, pr)) << pot << " " << pr << " pass " << pass;
    std::reverse(grid.begin(), grid.end());
  }
  std::vector<float> first;
  for (float t = 150.0f; t < 350.0f; t += 0.013f) first.push_back(vapor_pr(t));
  std::size_t k = 0;
  for (float t = 349.99f; t > 150.0f; t -= 0.0071f) vapor_pr(t);  // other keys, same slots
  for (float t = 150.0f; t < 350.0f; t += 0.013f, ++k) ASSERT_EQ(vapor_pr(t), first[k]) << t;
}

// The search started from each previous answer gives the plain bisection's bits: labels
// lifted through whole ascents (5 mb steps, as the parcel paths take them), then labels
// and pressures at random, from far below to far above the searched range (where every
// turn goes one way) and up to 2000 mb.
TEST(SaturatedAdiabat, AnyStartingGuessGivesThePlainSearchBits) {
  for (float pot = 250.0f; pot <= 400.0f; pot += 3.1f)
    for (float pr = 1050.0f; pr >= 100.0f; pr -= 5.0f)
      ASSERT_EQ(temp_on_satad(pot, pr), plain_satad(pot, pr)) << pot << " " << pr;
  std::mt19937 gen(8122026);
  std::uniform_real_distribution<float> pots(1.0f, 1500.0f), press(0.5f, 2000.0f);
  for (int i = 0; i < 200000; ++i) {
    const float pot = pots(gen), pr = press(gen);
    ASSERT_EQ(temp_on_satad(pot, pr), plain_satad(pot, pr)) << pot << " " << pr;
  }
}

namespace {

// The power formulas as written with pow and log10, rounded to float: the bits the
// library's log/exp shortcuts must give.
float plain_vapor_pr(float t) {
  const double tk = t;
  const double x = 23.832241 - 5.02808 * std::log10(tk) -
                   1.3816e-7 * std::pow(10.0, 11.344 - 0.0303998 * tk) +
                   8.132801e-3 * std::pow(10.0, 3.49149 - 1302.8844 / tk) - 2949.076 / tk;
  return static_cast<float>(std::pow(10.0, x));
}

float plain_mixrat_line(float w, float pr) {
  const double m = static_cast<double>(w) * pr / (622.0 + w);
  const double c = std::pow(m, 0.0915) - 1.2035;
  return static_cast<float>(std::pow(10.0, 0.0498646455 * std::log10(m) + 2.4082965) - 7.08475 +
                            38.9114 * c * c);
}

float plain_satad_label(float t, float pr) {
  const double theta = static_cast<double>(t) * std::pow(1000.0 / static_cast<double>(pr), 0.286);
  return static_cast<float>(theta / std::exp(-2.6518986 * mix_ratio(t, pr) / t));
}

}  // namespace

// The log/exp shortcuts of the power formulas change no bit: a million and a half
// temperatures, pressures and mixing ratios (a grid over the sounding range and random
// values far outside it) give the float of the pow/log10 formula. About one value in a
// few thousand lies so near a float's rounding boundary that the formula itself is
// evaluated, so this also passes through the fallback.
TEST(PowerFormulas, ShortcutsGiveThePowBits) {
  std::mt19937 gen(20261208);
  std::uniform_real_distribution<float> temps(100.5f, 400.0f), press(0.5f, 1100.0f),
      ratios(0.001f, 60.0f), wide(1e-3f, 1e6f);
  for (int i = 0; i < 250000; ++i) {
    const float t = temps(gen), p = press(gen), w = ratios(gen), x = wide(gen);
    const double up = 1000.0 / p, down = p / 1000.0;
    ASSERT_EQ(vapor_pr(t), plain_vapor_pr(t)) << t;
    ASSERT_EQ(pot_temp(t, p), static_cast<float>(t * std::pow(up, 0.286))) << t << " " << p;
    ASSERT_EQ(temp_on_dryad(t, p), static_cast<float>(t * std::pow(down, 0.286))) << t << " " << p;
    ASSERT_EQ(temp_on_dryad(x, x), static_cast<float>(x * std::pow(x / 1000.0, 0.286))) << x;
    ASSERT_EQ(temp_on_mixrat(w, p), plain_mixrat_line(w, p)) << w << " " << p;
    ASSERT_EQ(temp_on_mixrat(x, x), plain_mixrat_line(x, x)) << x;
    if (mix_ratio(t, p) != MISSING) {
      ASSERT_EQ(thetae_on_satad(t, p), plain_satad_label(t, p)) << t << " " << p;
    }
  }
  // Every tenth of a kelvin of the vapour-pressure range, and the virtual potential
  // temperature built on it.
  for (float t = 100.05f; t < 400.0f; t += 0.1f) {
    ASSERT_EQ(vapor_pr(t), plain_vapor_pr(t)) << t;
    const float tv = virt_temp(t + 5.0f, t, 850.0f);
    if (tv != MISSING) {
      ASSERT_EQ(virt_pot_temp(t + 5.0f, t, 850.0f),
                static_cast<float>(tv * std::pow(1000.0 / 850.0f, 0.286))) << t;
    }
  }
}
