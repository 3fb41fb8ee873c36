// Tests of the parcel ascent and buoyant energy: segment energy, the ascent with its
// characteristic levels, cap strength, the convective condensation level and the energy
// index.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "sounding_fixture.h"
#include "zudupa.h"

namespace {

constexpr double kRd = 287.05;
constexpr double kG = 9.8;

// A sounding built around the moist ascent of the parcel (t0, td0) at 1000 mb: level 0
// is the parcel itself, and the levels above sit exactly at the pressures of the 10 mb
// ascent steps (plcl - 10 k) down to ptop. Each has the parcel's saturated-adiabat
// temperature plus off(p) (positive: environment warmer), and a height integrated with
// the hypsometric equation from the mean of the two end temperatures, so that a segment
// between two such levels has energy g (-dT)/T dz = -Rd (off1 + off2)/2 ln(p1/p2)
// exactly: the closed forms below come from that identity, not from the ascent code.
struct Built {
  std::vector<UPA_level> lev;
  float plcl;
  std::vector<float> p;  // pressures of the step levels, lowest first
};

Built build(float t0, float td0, const std::function<double(double)>& off, double ptop = 300) {
  Built b;
  const float tk = static_cast<float>(t0 + 273.15);
  b.plcl = lcl_pres(tk, static_cast<float>(td0 + 273.15), 1000);
  const float tlcl = lcl_temp(tk, 1000, b.plcl);
  const float label = thetae_on_satad(tlcl, b.plcl);
  b.lev.push_back(thermo_level(1000, 0, t0, td0));
  for (int k = 1;; ++k) {
    const float p = static_cast<float>(b.plcl - 10.0 * k);
    if (p < ptop) break;
    const float tp = static_cast<float>(temp_on_satad(label, p) - 273.15);
    const float t = static_cast<float>(tp + off(p));
    const UPA_level& prev = b.lev.back();
    const double h = prev.h + kRd / kG * ((prev.t + t) / 2.0 + 273.15) * std::log(prev.p / p);
    b.lev.push_back(thermo_level(p, static_cast<float>(h), t, t - 3));
    b.p.push_back(p);
  }
  return b;
}

}  // namespace

// ---- energy_calc -------------------------------------------------------------------------

// Hand value: parcel 10 and 12 C, environment 8 and 9 C over 1000 m:
// 9.8 (11 - 8.5) / 281.65 * 1000 = 86.987 J/kg. Any missing temperature or environment
// height leaves the segment without energy.
TEST(EnergyCalc, Segment) {
  const UPA_level p1 = thermo_level(900, MISSING, 10, 0), p2 = thermo_level(800, MISSING, 12, 0);
  const UPA_level e1 = thermo_level(900, 1000, 8, 0), e2 = thermo_level(800, 2000, 9, 0);
  EXPECT_NEAR(energy_calc(&p1, &p2, &e1, &e2), 86.987, 0.01);
  // Reversed depth (upper environment first) reverses the sign.
  EXPECT_NEAR(energy_calc(&p1, &p2, &e2, &e1), -86.987, 0.01);
  struct Case {
    float UPA_level::*field;
    int which;  // 0 par1, 1 par2, 2 env1, 3 env2
    const char* why;
  };
  const Case cases[] = {{&UPA_level::t, 0, "parcel temperature at the bottom"},
                        {&UPA_level::t, 1, "parcel temperature at the top"},
                        {&UPA_level::t, 2, "environment temperature at the bottom"},
                        {&UPA_level::t, 3, "environment temperature at the top"},
                        {&UPA_level::h, 2, "environment height at the bottom"},
                        {&UPA_level::h, 3, "environment height at the top"}};
  for (const auto& c : cases) {
    UPA_level l[4] = {p1, p2, e1, e2};
    l[c.which].*c.field = MISSING;
    EXPECT_EQ(energy_calc(&l[0], &l[1], &l[2], &l[3]), MISSING) << c.why;
  }
  EXPECT_EQ(energy_calc(nullptr, &p2, &e1, &e2), MISSING);
}

// ---- parcel_calc -------------------------------------------------------------------------

// A dry parcel (30/-20 C at 1000 mb, condensation level near 474 mb by Bolton's formula)
// through two layers, above which the sounding ends: the whole ascent is the dry walk.
// Parcel on its dry adiabat (theta 303.15 K): 21.0014 C at 900 mb, 11.2577 C at 800 mb.
// The superadiabatic layer 1000-900 mb (+44.5 J/kg by hand) is below the condensation
// level, so no CAPE; the parcel never becomes free, so the stable layer above it
// (-12.5 J/kg) is no inhibition either.
TEST(ParcelCalc, TwoLayerDryAscentByHand) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, 30, -20), thermo_level(900, 900, 18, -25),
                              thermo_level(800, 1900, 15, -30)};
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(s.data(), 3, nullptr, 100, 1000, 0, &r), 1);
  EXPECT_NEAR(r.plcl, 474, 5);
  EXPECT_EQ(r.Bplus, 0.0f);
  EXPECT_EQ(r.Bminus, 0.0f);
  EXPECT_EQ(r.wmax, 0.0f);
  EXPECT_NEAR(r.cap, 15 - 11.2577, 0.01);  // the 800 mb environment excess
  EXPECT_EQ(r.lfc, -1.0f);                 // no moist ascent: the sounding ends below the LCL
  EXPECT_EQ(r.el, MISSING);
  EXPECT_EQ(r.mpl, MISSING);
  EXPECT_NEAR(r.tlcl, 303.15 * std::pow(r.plcl / 1000.0, 0.286), 0.05);  // on the dry adiabat
}

// Parcel 2 K warmer than the environment all the way up: CAPE is the closed form
// Rd (1 ln(1000/p1) + 2 ln(p1/pN)) (half the excess on the first step from the parcel
// level, where both are 20 C), no inhibition, LFC in the first step, no EL or MPL.
TEST(ParcelCalc, UniformExcessClosedForm) {
  const Built b = build(20, 20, [](double) { return -2.0; });
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(const_cast<UPA_level*>(b.lev.data()), count(b.lev), nullptr, 100, 1000, 0, &r), 1);
  const double p1 = b.p.front(), pn = b.p[b.p.size() - 2];  // the ascent stops below the last level
  const double cape = kRd * (std::log(1000 / p1) + 2 * std::log(p1 / pn));
  EXPECT_NEAR(r.Bplus, cape, 0.002 * cape);
  EXPECT_NEAR(r.Bminus, 0, 0.5);
  EXPECT_NEAR(r.wmax, std::sqrt(2 * cape), 0.01 * std::sqrt(2 * cape));
  EXPECT_NEAR(r.lfc, (1000 + p1) / 2, 0.01);
  EXPECT_EQ(r.el, MISSING);
  EXPECT_EQ(r.mpl, MISSING);
  EXPECT_EQ(r.Bel, MISSING);
  EXPECT_NEAR(r.cap, 0, 0.01);  // only the start, where parcel and environment agree
}

// Parcel colder all the way: no LFC, no EL or MPL, no CAPE, and no inhibition either:
// the negative area of a parcel that never becomes free (Rd (1 ln(1000/p1) + 2
// ln(p1/pN)), some 400 J/kg here) is no energy that lifting could overcome.
TEST(ParcelCalc, AlwaysColder) {
  const Built b = build(20, 20, [](double) { return 2.0; });
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(const_cast<UPA_level*>(b.lev.data()), count(b.lev), nullptr, 100, 1000, 0, &r), 1);
  EXPECT_EQ(r.lfc, -1.0f);
  EXPECT_EQ(r.el, MISSING);
  EXPECT_EQ(r.mpl, MISSING);
  EXPECT_EQ(r.Bplus, 0.0f);
  EXPECT_EQ(r.wmax, 0.0f);
  EXPECT_EQ(r.Bminus, 0.0f);
  EXPECT_NEAR(r.cap, 2, 0.001);  // every step below 500 mb has the 2 K excess
}

// Environment warmer by 1 K below 900 mb, colder by 3 K from 900 to 500 mb, then warmer
// by 1 K (weak) or by 8 K (strong). Step levels pa > 900 > pb and pc > 500 > pd (the
// step levels around each change), pe the level after pd. By the closed form:
//   CIN    = Rd (0.5 ln(1000/p1) + 1 ln(p1/pa))  (half excess on the first step)
//   CAPE   = Rd (1 ln(pa/pb) + 3 ln(pb/pc) + (3 - x)/2 ln(pc/pd)), x the upper excess
//   LFC    = (pa + pb)/2, the first step with positive energy
//   EL     = the middle of the first negative step above it
// Weak: the positive area is never used up (MPL missing). Strong: the 8 K excess uses
// it up near Rd 8 ln(pd/p) = CAPE.
TEST(ParcelCalc, EquilibriumAndMaximumParcelLevel) {
  for (double upper : {1.0, 8.0}) {
    const Built b = build(20, 20, [upper](double p) { return p >= 900 ? 1.0 : p >= 500 ? -3.0 : upper; });
    PARCEL_params r;
    ASSERT_EQ(parcel_calc(const_cast<UPA_level*>(b.lev.data()), count(b.lev), nullptr, 100, 1000, 0, &r), 1);
    size_t a = 0, c = 0;
    while (b.p[a + 1] >= 900) ++a;
    while (b.p[c + 1] >= 500) ++c;
    const double p1 = b.p[0], pa = b.p[a], pb = b.p[a + 1], pc = b.p[c], pd = b.p[c + 1];
    const double pe = b.p[c + 2];
    const double cin = kRd * (0.5 * std::log(1000 / p1) + std::log(p1 / pa));
    double cape = kRd * (std::log(pa / pb) + 3 * std::log(pb / pc));
    double el;
    if (upper < 3) {  // the step across 500 mb is still positive: the EL is one step higher
      cape += kRd * (3 - upper) / 2 * std::log(pc / pd);
      el = (pd + pe) / 2;
    } else {
      el = (pc + pd) / 2;
    }
    EXPECT_NEAR(r.Bminus, cin, 0.01 * cin) << upper;
    EXPECT_NEAR(r.lfc, (pa + pb) / 2, 0.01) << upper;
    EXPECT_NEAR(r.el, el, 0.01) << upper;
    if (upper < 3) {
      EXPECT_NEAR(r.Bplus, cape, 0.005 * cape) << upper;
      // Bel: CAPE less the first negative step's Rd 1 ln(pd/pe).
      EXPECT_NEAR(r.Bel, cape - kRd * upper * std::log(pd / pe), 0.005 * cape) << upper;
      EXPECT_EQ(r.mpl, MISSING) << upper;
      EXPECT_EQ(r.Bmpl, MISSING) << upper;
    } else {
      EXPECT_NEAR(r.Bplus, cape, 0.005 * cape) << upper;
      // Negative energy above the EL: Rd (8 - 3)/2 ln(pc/pd) on the crossing step, then
      // Rd 8 ln(pd/p); the MPL is where it reaches CAPE, within one 10 mb step.
      const double p_mpl = pd * std::exp(-(cape / kRd - 2.5 * std::log(pc / pd)) / 8);
      EXPECT_NEAR(r.mpl, p_mpl, 10) << upper;
      EXPECT_LE(r.Bmpl, 0.0f) << upper;
      EXPECT_GT(r.Bmpl, -kRd * 8 * std::log(p_mpl / (p_mpl - 10))) << upper;
      EXPECT_NEAR(r.Bel, cape - kRd * 2.5 * std::log(pc / pd), 0.005 * cape) << upper;
    }
  }
}

// Two positive areas: parcel warmer by 3 K from 905 to 705 mb and again from 655 to
// 405 mb, a thin stable layer (2 K colder) between them, 8 K colder above 405 mb and
// 1 K colder below 905 mb. Every step between two step levels has the closed-form energy
// E = -Rd (off1 + off2)/2 ln(p1/p2) (see build), summed here step by step: the EL is the
// middle of the step across 405 mb, the top of the higher area (the first area's top,
// near 700 mb, is passed); B at the EL is the net energy of the steps from the LFC up to
// and including that step; CAPE the sum of the positive steps; the MPL lies above the EL.
TEST(ParcelCalc, EquilibriumLevelTopsTheHighestPositiveArea) {
  const auto off = [](double p) {
    return p >= 905 ? 1.0 : p >= 705 ? -3.0 : p >= 655 ? 2.0 : p >= 405 ? -3.0 : 8.0;
  };
  const Built b = build(20, 20, off, 150);
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(const_cast<UPA_level*>(b.lev.data()), count(b.lev), nullptr, 100, 1000, 0, &r), 1);
  double cape = 0.0, net = 0.0;
  bool free = false;
  double el = 0.0;
  for (size_t k = 0; k + 1 < b.p.size() && b.p[k] >= 405; ++k) {
    const double e = -kRd * (off(b.p[k]) + off(b.p[k + 1])) / 2 * std::log(b.p[k] / b.p[k + 1]);
    if (e >= 0) free = true;
    if (!free) continue;
    if (e > 0) cape += e;
    net += e;
    el = (b.p[k] + b.p[k + 1]) / 2;
  }
  EXPECT_NEAR(r.el, el, 0.01);
  EXPECT_NEAR(r.el, 405, 5.01);
  EXPECT_NEAR(r.Bplus, cape, 0.005 * cape);
  EXPECT_NEAR(r.Bel, net, 0.005 * cape);
  EXPECT_NE(r.mpl, MISSING);
  EXPECT_LT(r.mpl, r.el);
  EXPECT_LE(r.Bmpl, 0.0f);
}

// Below the condensation level (t 20, td 14 C at 1000 mb: LCL near 925 mb) the parcel
// first meets a 1 C surface inversion (1000 to 985 mb, environment 20 -> 21 C) and then a
// superadiabatic layer (985 to 960 mb, 21 -> 12 C), where it is warmer by up to 4.6 K.
// Heights are hypsometric from the mean end temperatures, so each segment's energy is
// Rd (mean Tp - mean Te) ln(p1/p2). On the dry adiabat (theta 293.15 K) the parcel is
// 18.736 C at 985 mb, so the inversion is Rd (19.368 - 20.5) ln(1000/985) = -4.91 J/kg.
//  - Above the LCL the parcel stays 2 K colder: it never becomes free, so CAPE, CIN and
//    w max are all 0 (the dry walk's warm layers, some 45 J/kg, are no CAPE).
//  - Above the LCL the parcel is 2 K warmer: CAPE is the moist steps' energy only,
//    Rd 2 ln(p1/pN) plus the step from the LCL (at most Rd 5 ln(plcl/p1)), and the
//    inversion's -4.91 J/kg is the inhibition.
TEST(ParcelCalc, DryAscentWarmthIsNoCape) {
  for (double above : {2.0, -2.0}) {
    const Built moist = build(20, 14, [above](double) { return above; });
    std::vector<UPA_level> s = {thermo_level(1000, 0, 20, 14)};
    for (auto [p, t] : {std::pair{985.0, 21.0}, std::pair{960.0, 12.0}}) {
      const UPA_level& prev = s.back();
      const double h = prev.h + kRd / kG * ((prev.t + t) / 2.0 + 273.15) * std::log(prev.p / p);
      s.push_back(thermo_level(static_cast<float>(p), static_cast<float>(h), static_cast<float>(t),
                               static_cast<float>(t - 5)));
    }
    for (size_t k = 1; k < moist.lev.size(); ++k) {
      UPA_level l = moist.lev[k];
      const UPA_level& prev = s.back();
      l.h = static_cast<float>(prev.h + kRd / kG * ((prev.t + l.t) / 2.0 + 273.15) * std::log(prev.p / l.p));
      s.push_back(l);
    }
    PARCEL_params r;
    ASSERT_EQ(parcel_calc(s.data(), count(s), nullptr, 100, 1000, 0, &r), 1);
    ASSERT_NEAR(r.plcl, 925, 10);
    if (above > 0) {
      EXPECT_EQ(r.lfc, -1.0f);
      EXPECT_EQ(r.Bplus, 0.0f);
      EXPECT_EQ(r.Bminus, 0.0f);
      EXPECT_EQ(r.wmax, 0.0f);
    } else {
      const double p1 = moist.p.front(), pn = moist.p[moist.p.size() - 2];
      const double lo = kRd * 2 * std::log(p1 / pn);
      EXPECT_GE(r.Bplus, lo - 0.01);
      EXPECT_LE(r.Bplus, lo + kRd * 5 * std::log(r.plcl / p1));
      EXPECT_NEAR(r.Bminus, 4.91, 0.02);
    }
  }
}

// A step of zero energy (flat heights across 915..885 mb) below the LFC starts the LFC but
// does not count as positive: the negative steps after it make no EL. The EL comes at the
// top of the real positive area (colder environment from 800 to 600 mb), not near 885 mb.
TEST(ParcelCalc, ZeroEnergyStepMakesNoEquilibriumLevel) {
  Built b = build(20, 20, [](double p) { return p >= 800 ? 1.0 : p >= 600 ? -3.0 : 4.0; });
  float flat_h = MISSING;
  for (auto& l : b.lev) {
    if (l.p <= 915 && l.p >= 885) {
      if (flat_h == MISSING) flat_h = l.h;
      l.h = flat_h;
    }
  }
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(b.lev.data(), count(b.lev), nullptr, 100, 1000, 0, &r), 1);
  EXPECT_GT(r.lfc, 885);  // started by the first zero step
  EXPECT_LT(r.lfc, 915);
  EXPECT_GT(r.el, 590);  // the first negative step above the 800..600 positive area
  EXPECT_LT(r.el, 600);
}

// A given parcel level is lifted as given; the environment at its level still comes from
// the sounding: a parcel 5 K colder than the sounding gives a 5 K cap at the start. (The
// environment above is 8 K below the 20 C parcel's adiabat, and the 15 C parcel's adiabat
// stays less than 13 K below that one up to 500 mb, so no later step beats the start.)
TEST(ParcelCalc, GivenParcelLevel) {
  const Built b = build(20, 20, [](double) { return -8.0; });
  UPA_level blev = thermo_level(1000, MISSING, 15, 15);
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(const_cast<UPA_level*>(b.lev.data()), count(b.lev), &blev, 100, 1000, 0, &r), 1);
  EXPECT_FLOAT_EQ(r.plcl, lcl_pres(288.15f, 288.15f, 1000));  // the parcel's, not the sounding's
  EXPECT_NEAR(r.cap, 5, 0.01);
  EXPECT_EQ(blev.t, 15.0f);  // left unchanged
}

// An absent-valued parcel level receives the parcel taken from the sounding: the level at
// the bottom, or (thick > 0) the source-layer mean brought to the bottom pressure, which
// for the fixture's 1004..904 mb lies between its 1004 and 900 mb values.
TEST(ParcelCalc, ParcelCopiedIntoLevel) {
  auto s = plains_sounding();
  const UPA_level absent = {MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  UPA_level blev = absent;
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(s.data(), count(s), &blev, 100, 1004, 0, &r), 1);
  EXPECT_EQ(blev.p, 1004.0f);
  EXPECT_EQ(blev.t, 30.0f);
  EXPECT_EQ(blev.td, 22.0f);
  blev = absent;
  ASSERT_EQ(parcel_calc(s.data(), count(s), &blev, 100, 1004, 100, &r), 1);
  // Offline trapezoid in ln p over the fixture's 1004, 1000, 975, 950, 925 mb levels and
  // 904 mb (interpolated linearly in ln p), divided by ln(1004/904): theta 303.154 K and
  // mixing ratio 15.633 g/kg (Bolton), i.e. 30.35 C and a dew point of 20.84 C at 1004 mb.
  EXPECT_NEAR(blev.t, 30.35, 0.05);
  EXPECT_NEAR(blev.td, 20.84, 0.15);
}

// The fixture's mixed-layer parcel (1004..904 mb) against an independent ascent: the
// same parcel lifted offline with Bolton's condensation level (875 mb) and a numerically
// integrated pseudo-adiabat, energy summed as g (Tp - Te)/Te dz = Rd (Tp - Te) dln p over
// the fixture in fine steps: CAPE 2204 J/kg, positive again above the condensation level
// from 754 mb, equilibrium level 190 mb, positive area used up by 104 mb. The adiabat
// formulations differ by a few tenths of a kelvin: CAPE within 5 %, levels within 10 mb
// (the ascent's own 10 mb steps).
TEST(ParcelCalc, FixtureMixedLayer) {
  auto s = plains_sounding();
  PARCEL_params r;
  ASSERT_EQ(parcel_calc(s.data(), count(s), nullptr, 100, 1004, 100, &r), 1);
  EXPECT_NEAR(r.plcl, 875, 10);
  EXPECT_NEAR(r.Bplus, 2204, 110);
  EXPECT_NEAR(r.lfc, 754, 10);
  EXPECT_NEAR(r.el, 190, 10);
  EXPECT_NEAR(r.mpl, 104, 10);
  EXPECT_GT(r.Bminus, 0.0f);  // the 875..754 mb layer where the parcel is colder
  EXPECT_NEAR(r.wmax, std::sqrt(2 * r.Bplus), 1e-3);
}

// Heat above 500 mb is no cap: a 3 K inversion at 850..800 mb gives cap 3 even with the
// environment 6 K warmer than the parcel above 500 mb.
TEST(ParcelCalc, CapBelow500Only) {
  const Built b = build(20, 20, [](double p) { return p <= 850 && p >= 800 ? 3.0 : p < 500 ? 6.0 : -1.0; });
  PARCEL_params r;
  parcel_calc(const_cast<UPA_level*>(b.lev.data()), count(b.lev), nullptr, 100, 1000, 0, &r);
  EXPECT_NEAR(r.cap, 3, 0.001);
  EXPECT_NEAR(cap_strength(const_cast<UPA_level*>(b.lev.data()), count(b.lev), 100, 1000, 0), 3, 0.001);
}

// No ascent: empty sounding, missing bottom, and a parcel without dew point (no
// condensation level): return 0 with energies, cap, lfc and levels missing.
TEST(ParcelCalc, NoAscent) {
  auto s = plains_sounding();
  auto dry = s;
  for (auto& l : dry) l.td = MISSING;
  struct Case {
    UPA_level* lev;
    int num;
    float bottom;
    const char* why;
  };
  const Case cases[] = {{s.data(), 0, 1004, "empty sounding"},
                        {s.data(), count(s), MISSING, "missing bottom"},
                        {dry.data(), count(dry), 1004, "no dew point: no condensation level"},
                        {s.data() + 14, count(s) - 14, 1004, "bottom below the sounding"}};
  for (const auto& c : cases) {
    PARCEL_params r;
    EXPECT_EQ(parcel_calc(c.lev, c.num, nullptr, 100, c.bottom, 0, &r), 0) << c.why;
    EXPECT_EQ(r.Bplus, MISSING) << c.why;
    EXPECT_EQ(r.Bminus, MISSING) << c.why;
    EXPECT_EQ(r.wmax, MISSING) << c.why;
    EXPECT_EQ(r.cap, MISSING) << c.why;
    EXPECT_EQ(r.lfc, MISSING) << c.why;
    EXPECT_EQ(r.plcl, MISSING) << c.why;
    EXPECT_EQ(r.el, MISSING) << c.why;
  }
}

// ---- cap_strength ------------------------------------------------------------------------

// A parcel (20/15 C) warmer than the environment at every examined level gives a
// negative cap: 2 K below the parcel's adiabat at each step level, a little less at the
// condensation level (interpolated from the parcel's own 1000 mb level).
TEST(CapStrength, NegativeWhenParcelWarmer) {
  const Built b = build(20, 15, [](double) { return -2.0; });
  const float cap = cap_strength(const_cast<UPA_level*>(b.lev.data()), count(b.lev), 100, 1000, 0);
  EXPECT_LT(cap, 0.0f);
  EXPECT_GT(cap, -2.01f);
}

TEST(CapStrength, Missing) {
  auto s = plains_sounding();
  auto dry = s;
  for (auto& l : dry) l.td = MISSING;
  EXPECT_EQ(cap_strength(s.data(), 0, 100, 1004, 100), MISSING);
  EXPECT_EQ(cap_strength(s.data(), count(s), 100, MISSING, 100), MISSING);
  EXPECT_EQ(cap_strength(dry.data(), count(dry), 100, 1004, 0), MISSING);  // no condensation level
  EXPECT_EQ(cap_strength(dry.data(), count(dry), 100, 1004, 100), MISSING);
}

// ---- pr_ccl ------------------------------------------------------------------------------

// Environment 30, 20, 10, 0 C at 1000..700 mb (linear in ln p between levels) and the
// mixing-ratio line of the 15 C surface dew point: the crossing lies between 900 and
// 800 mb. Expected pressure from a brute-force scan of the two lines every 0.01 mb.
TEST(PrCcl, Bisection) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, 30, 15), thermo_level(900, 0, 20, 10),
                              thermo_level(800, 0, 10, 0), thermo_level(700, 0, 0, -10)};
  float w = 0;
  const float pc = pr_ccl(s.data(), 4, 100, 1000, 0, &w);
  const float w0 = mix_ratio(288.15f, 1000);
  EXPECT_FLOAT_EQ(w, w0);
  double best = 0, gap = 1e9;
  for (double p = 899.99; p > 800; p -= 0.01) {
    const double env = 20 + (10 - 20) * std::log(900 / p) / std::log(900.0 / 800.0) + 273.15;
    const double d = std::fabs(temp_on_mixrat(w0, static_cast<float>(p)) - env);
    if (d < gap) gap = d, best = p;
  }
  EXPECT_NEAR(pc, best, 0.1);
}

TEST(PrCcl, EdgeCases) {
  float w = 0;
  // Inversion: the environment warms upward, the mixing-ratio line never reaches it.
  std::vector<UPA_level> warm = {thermo_level(1000, 0, 20, 10), thermo_level(900, 0, 25, 5),
                                 thermo_level(800, 0, 30, 0)};
  EXPECT_EQ(pr_ccl(warm.data(), 3, 100, 1000, 0, &w), -1.0f);
  // A moist layer above a dry bottom: the 1005..900 mb mean mixing ratio (about 9.4 g/kg)
  // already exceeds saturation at the 10 C bottom level (7.7 g/kg): that level's pressure.
  std::vector<UPA_level> moist = {thermo_level(1000, 0, 10, 5), thermo_level(950, 0, 16, 15),
                                  thermo_level(900, 0, 15, 14), thermo_level(800, 0, 8, 0)};
  EXPECT_EQ(pr_ccl(moist.data(), 4, 100, 1005, 105, &w), 1000.0f);
  EXPECT_GT(w, 7.7f);
  // One level (1005 mb copies it): 0 with that level's mixing ratio (Bolton 622 e/(p - e)).
  EXPECT_EQ(pr_ccl(moist.data(), 1, 100, 1005, 0, &w), 0.0f);
  EXPECT_NEAR(w, 622 * 8.7215 / (1000 - 8.7215), 0.03);  // Bolton e(5 C) = 8.7215 mb
  // Empty sounding and a bottom above 500 mb.
  EXPECT_EQ(pr_ccl(moist.data(), 0, 100, 1000, 0, &w), MISSING);
  EXPECT_EQ(w, MISSING);
  auto s = plains_sounding();
  EXPECT_EQ(pr_ccl(s.data(), count(s), 100, 450, 0, &w), MISSING);
  EXPECT_EQ(w, MISSING);
}

// ---- energy_index ------------------------------------------------------------------------

// The fixture by hand: E = 0.24 T + h 980 100 / 4.2e7 + 0.6 w with Bolton mixing ratios
// (850 mb: 292.15 K, 1582 m, 11.913 g/kg; 500 mb: 264.15 K, 5920 m, 1.103 g/kg):
// E500 - E850 = -3.084 cal/g.
TEST(EnergyIndex, Fixture) {
  auto s = plains_sounding();
  EXPECT_NEAR(energy_index(s.data(), count(s)), -3.084, 0.02);
  // A missing height at 500 mb alone is bridged by its neighbours; with no height from
  // 500 mb up there is no 500 mb height at all.
  s[13].h = MISSING;
  EXPECT_NE(energy_index(s.data(), count(s)), MISSING);
  for (size_t k = 13; k < s.size(); ++k) s[k].h = MISSING;
  EXPECT_EQ(energy_index(s.data(), count(s)), MISSING);
}
