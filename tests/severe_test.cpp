// severe_test.cpp — the severe-weather analyses on hand-made profiles whose answers can be
// worked by hand, the composite formulas, missing data, and the table's printing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "sounding_fixture.h"
#include "zudsevere.h"
#include "zudsnd.h"

namespace {

constexpr double kKt = 0.5144;  // m/s per knot

// A wind level at height h (m above sea level) of components u, v (m/s).
UPA_level wind_level(double h, double u, double v) {
  const double spd = std::hypot(u, v);
  double dir = spd == 0.0 ? 270.0 : std::atan2(-u, -v) * 180.0 / M_PI;
  if (dir < 0.0) dir += 360.0;
  return {MISSING, static_cast<float>(h), MISSING, MISSING, static_cast<float>(dir),
          static_cast<float>(spd / kKt)};
}

// A sounding of the given profiles over the surface sfc.
UPA_sounding sounding_of(std::vector<UPA_level> sm, std::vector<UPA_level> wm, const UPA_level& sfc) {
  UPA_sounding s;
  s.sm = std::move(sm);
  s.wm = std::move(wm);
  s.sfc = sfc;
  return s;
}

// A sounding of only winds over a surface at 200 m.
UPA_sounding wind_sounding(const std::vector<UPA_level>& w) {
  return sounding_of({}, w, {1000.0f, 200.0f, 20.0f, 10.0f, MISSING, MISSING});
}

// An environment of levels every 25 mb from 1000 mb: temperature falling 7.5 C/km from
// 30 C to an isothermal -30 C above, heights by the hypsometric equation with the lower level's temperature, the dew
// point 2 C below the temperature where `moist` says so and 40 C below elsewhere.
std::vector<SEVERE_env> layered_env(bool (*moist)(double p)) {
  std::vector<SEVERE_env> env;
  double z = 0.0;
  for (double p = 1000.0; p >= 150.0; p -= 25.0) {
    if (!env.empty()) z += 29.27 * (env.back().t + 273.15) * std::log(env.back().p / p);
    const double t = std::max(30.0 - 7.5 * z / 1000.0, -30.0);
    const double td = moist(p) ? t - 2.0 : t - 40.0;
    env.push_back({p, z, t, td, SEVERE_virt_temp(static_cast<float>(t), static_cast<float>(td),
                                                 static_cast<float>(p))});
  }
  return env;
}

}  // namespace

// Virtual temperature T (1 + 0.609 w): 30 C with dew point 20 C at 1000 mb. By hand, with
// the Bolton (1980) vapour pressure 6.112 exp(17.67 Td / (Td + 243.5)) = 23.37 mb,
// w = 0.622 e / (p - e) = 14.885 g/kg and Tv = 303.15 x 1.009065 = 305.898 K. Without a
// dew point the temperature itself.
TEST(Severe, VirtualTemperature) {
  EXPECT_NEAR(SEVERE_virt_temp(30.0f, 20.0f, 1000.0f), 305.898, 0.02);
  EXPECT_NEAR(SEVERE_virt_temp(30.0f, MISSING, 1000.0f), 303.15, 1e-3);
  EXPECT_EQ(SEVERE_virt_temp(MISSING, 20.0f, 1000.0f), MISSING);
}

// Bunkers motions worked by hand on two hodographs with levels every 100 m.
// Straight line u = 5 m/s per km, v = 0: 0-6 km mean (15, 0); 0-500 m mean 1.25 and
// 5.5-6 km mean 28.75, shear (27.5, 0) to the east, so the right mover lies 7.5 m/s to
// the south of the mean: (15, -7.5), the left mover (15, 7.5).
// Half circle u = -10 cos(pi z / 6 km), v = 10 sin(pi z / 6 km): the mean over the half
// turn is (0, 20 / pi) = (0, 6.366); the 0-500 m mean is (-10 x 3.8197 sin 15 deg,
// 10 x 3.8197 (1 - cos 15 deg)) = (-9.886, 1.302) and the 5.5-6 km mean its mirror
// (9.886, 1.302), shear (19.77, 0), right mover (0, -1.134), left mover (0, 13.866).
// The straight-segment hodograph between 100 m levels is within 0.01 m/s of the arc.
TEST(Severe, BunkersHandHodographs) {
  struct Case {
    const char* name;
    double (*u)(double z);
    double (*v)(double z);
    double mu, mv, ru, rv, lu, lv;
  };
  const Case cases[] = {
      {"straight", [](double z) { return 5.0 * z / 1000.0; }, [](double) { return 0.0; },
       15.0, 0.0, 15.0, -7.5, 15.0, 7.5},
      {"half circle", [](double z) { return -10.0 * std::cos(M_PI * z / 6000.0); },
       [](double z) { return 10.0 * std::sin(M_PI * z / 6000.0); },
       0.0, 6.366, 0.0, -1.134, 0.0, 13.866},
  };
  for (const Case& c : cases) {
    std::vector<UPA_level> w;
    for (int z = 0; z <= 6000; z += 100) w.push_back(wind_level(200.0 + z, c.u(z), c.v(z)));
    const UPA_sounding s = wind_sounding(w);
    SEVERE_wind mean, right, left;
    ASSERT_EQ(SEVERE_bunkers(s, &mean, &right, &left), 0) << c.name;
    EXPECT_NEAR(mean.u, c.mu, 0.01) << c.name;
    EXPECT_NEAR(mean.v, c.mv, 0.01) << c.name;
    EXPECT_NEAR(right.u, c.ru, 0.01) << c.name;
    EXPECT_NEAR(right.v, c.rv, 0.01) << c.name;
    EXPECT_NEAR(left.u, c.lu, 0.01) << c.name;
    EXPECT_NEAR(left.v, c.lv, 0.01) << c.name;
  }
}

// Bulk wind difference and helicity on the straight hodograph: 0-1 km difference 5 m/s,
// 0-6 km 30 m/s. A straight hodograph sweeps no area relative to a storm on its line
// (helicity 0); relative to the right mover (15, -7.5) the 0-1 km hodograph from (0, 0)
// to (5, 0) sweeps (v1 - cv)(u2 - cu) - (v2 - cv)(u1 - cu) = 7.5 x (-10) - 7.5 x (-15)
// = 37.5 m2/s2. Winds ending below 6 km give no Bunkers motion and no 0-6 km difference.
TEST(Severe, BulkDifferenceAndHelicity) {
  std::vector<UPA_level> w;
  for (int z = 0; z <= 6000; z += 100) w.push_back(wind_level(200.0 + z, 5.0 * z / 1000.0, 0.0));
  UPA_sounding s = wind_sounding(w);
  EXPECT_NEAR(SEVERE_bulk_diff(s, 0.0f, 1000.0f), 5.0, 0.01);
  EXPECT_NEAR(SEVERE_bulk_diff(s, 0.0f, 6000.0f), 30.0, 0.01);
  EXPECT_NEAR(SEVERE_helicity(s, 0.0f, 1000.0f, {15.0f, 0.0f}), 0.0, 0.1);
  EXPECT_NEAR(SEVERE_helicity(s, 0.0f, 1000.0f, {15.0f, -7.5f}), 37.5, 0.2);

  s.wm.resize(40);  // winds up to 3900 m above ground
  SEVERE_wind mean, right, left;
  EXPECT_EQ(SEVERE_bunkers(s, &mean, &right, &left), -1);
  EXPECT_EQ(right.u, MISSING);
  EXPECT_EQ(SEVERE_bulk_diff(s, 0.0f, 6000.0f), MISSING);
  EXPECT_EQ(SEVERE_helicity(s, 0.0f, 3000.0f, right), MISSING);
}

// The effective inflow layer of profiles whose answer is visible: nearly saturated air
// (dew point 2 C below the temperature) under a 7.5 C/km lapse rate is strongly buoyant,
// air 40 C drier has its LCL far above the moist layer and no buoyancy. The layer is the
// run of moist levels: from the ground to 900 mb; with a dry surface level it starts at
// the 975 mb level; with only dry air there is none.
TEST(Severe, EffectiveInflowLayer) {
  struct Case {
    const char* name;
    bool (*moist)(double p);
    double base_p, top_p;  // 0 when no layer
  };
  const Case cases[] = {
      {"moist to 900 mb", [](double p) { return p >= 900.0; }, 1000.0, 900.0},
      {"dry surface", [](double p) { return p >= 900.0 && p < 1000.0; }, 975.0, 900.0},
      {"dry column", [](double) { return false; }, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    const std::vector<SEVERE_env> env = layered_env(c.moist);
    float base, top;
    const int rc = SEVERE_effective_layer(env, &base, &top);
    if (c.base_p == 0.0) {
      EXPECT_EQ(rc, 0) << c.name;
      EXPECT_EQ(base, MISSING) << c.name;
      continue;
    }
    ASSERT_EQ(rc, 1) << c.name;
    const auto height_of = [&env](double p) {
      for (const SEVERE_env& e : env)
        if (e.p == p) return e.z;
      return -1.0;
    };
    EXPECT_FLOAT_EQ(base, static_cast<float>(height_of(c.base_p))) << c.name;
    EXPECT_FLOAT_EQ(top, static_cast<float>(height_of(c.top_p))) << c.name;
  }
}

// The full analysis takes the inflow answers of the surface and most unstable levels from
// their SB and MU ascents instead of lifting them again: its layer is the one the layer
// search alone finds, on the Plains fixture (surface air most unstable and in the layer),
// with a cool dry surface (an elevated most unstable level, surface not in the layer),
// with the moist air above a capping inversion (no layer) and with the moisture gone.
TEST(Severe, EffectiveLayerOfTheFullAnalysis) {
  const auto edit = [](void (*change)(UPA_level&)) {
    std::vector<UPA_level> s = plains_sounding();
    for (UPA_level& l : s) change(l);
    return s;
  };
  const std::pair<const char*, std::vector<UPA_level>> cases[] = {
      {"plains", plains_sounding()},
      {"cool dry surface", edit([](UPA_level& l) {
         if (l.p > 960.0f) l.t -= 6.0f, l.td -= 14.0f;
       })},
      {"capped", edit([](UPA_level& l) {
         if (l.p <= 900.0f && l.p >= 800.0f) l.t += 12.0f;
       })},
      {"dry", edit([](UPA_level& l) { l.td = l.t - 35.0f; })},
  };
  int layers = 0, surface_out = 0;
  for (const auto& [name, snd] : cases) {
    const UPA_sounding s = sounding_of(snd, snd, snd[0]);
    const SEVERE_values v = SEVERE_calc(s);
    float base, top;
    const int rc = SEVERE_effective_layer(SEVERE_environment(s), &base, &top);
    EXPECT_EQ(v.eff_base, base) << name;
    EXPECT_EQ(v.eff_top, top) << name;
    layers += rc;
    if (rc == 1 && base > 0.0f) ++surface_out;
  }
  EXPECT_GE(layers, 2);       // the cases do reach a layer
  EXPECT_GE(surface_out, 1);  // and one whose base is above the surface
}

// A parcel that never turns buoyant has CAPE and CIN 0 and no LFC or EL; a buoyant one
// has its LFC at or above its LCL and its EL above the LFC, CAPE above the 0-3 km CAPE.
TEST(Severe, ParcelRules) {
  const std::vector<SEVERE_env> env = layered_env([](double p) { return p >= 900.0; });
  const SEVERE_parcel dry = SEVERE_lift(env, 850.0f, static_cast<float>(env[6].t),
                                        static_cast<float>(env[6].td));
  EXPECT_EQ(dry.cape, 0.0f);
  EXPECT_EQ(dry.cin, 0.0f);
  EXPECT_EQ(dry.lfc, MISSING);
  EXPECT_EQ(dry.el, MISSING);
  const SEVERE_parcel sb = SEVERE_lift(env, 1000.0f, static_cast<float>(env[0].t),
                                       static_cast<float>(env[0].td));
  EXPECT_GT(sb.cape, 1000.0f);
  EXPECT_GE(sb.lfc, sb.lcl);
  EXPECT_GT(sb.el, sb.lfc);
  EXPECT_LT(sb.cape3, sb.cape);
  EXPECT_LT(sb.li, -5.0f);
  // A start above the profile, or a missing dew point, lifts nothing.
  EXPECT_EQ(SEVERE_lift(env, 1010.0f, 30.0f, 28.0f).cape, MISSING);
  EXPECT_EQ(SEVERE_lift(env, 1000.0f, 30.0f, MISSING).lcl, MISSING);
}

// Composite parameters worked by hand from their formulas.
TEST(Severe, Composites) {
  constexpr float M = MISSING;
  struct Stp {
    float cape, lcl, srh, bwd, expect;
  };
  const Stp fixed[] = {
      {3000, 500, 300, 25, 5.0f},    // 2 x 1 x 2 x 1.25
      {1500, 1500, 150, 40, 0.75f},  // LCL term 0.5, shear capped at 1.5
      {1500, 2500, 150, 20, 0.0f},   // LCL above 2000 m
      {1500, 800, 150, 10, 0.0f},    // shear below 12.5 m/s
      {M, M, 150, 20, 0.0f},         // no surface parcel
      {1500, 800, M, 20, M},         // no winds
  };
  for (const Stp& c : fixed)
    EXPECT_NEAR(SEVERE_stp_fixed(c.cape, c.lcl, c.srh, c.bwd), c.expect, 1e-4) << c.cape << " " << c.bwd;

  struct Eff {
    float cape, lcl, cin, srh, bwd, expect;
  };
  const Eff eff[] = {
      {1500, 500, -100, 150, 20, 0.6667f},  // CIN term (200 - 100) / 150
      {3000, 1000, -20, 300, 35, 6.0f},     // 2 x 1 x 2 x 1.5 x 1
      {3000, 1000, -250, 300, 35, 0.0f},    // CIN below -200 J/kg
      {M, M, M, 300, 35, 0.0f},             // no mixed-layer parcel
  };
  for (const Eff& c : eff)
    EXPECT_NEAR(SEVERE_stp_effective(c.cape, c.lcl, c.cin, c.srh, c.bwd), c.expect, 1e-4) << c.cin;

  struct Scp {
    float cape, srh, bwd, expect;
  };
  const Scp scp[] = {
      {2000, 100, 25, 4.0f},  // shear term 1 above 20 m/s
      {2000, 100, 15, 3.0f},  // 15 / 20
      {2000, 100, 8, 0.0f},   // below 10 m/s
      {M, 100, 25, 0.0f},     // no most unstable parcel
      {2000, 100, M, M},      // no effective shear
  };
  for (const Scp& c : scp) EXPECT_NEAR(SEVERE_scp(c.cape, c.srh, c.bwd), c.expect, 1e-4) << c.bwd;
}

// Missing data on the Plains fixture: no winds (no storm motion, no Bunkers lines, no
// helicity); no dew points above 700 mb (the parcels still rise, the environment's
// virtual temperature being its temperature there); a sounding ending below 500 mb (no
// lifted index, no 700-500 mb or 3-6 km lapse rate, no Bunkers motion).
TEST(Severe, MissingData) {
  std::vector<UPA_level> snd = plains_sounding();
  const SEVERE_values full = SEVERE_calc(sounding_of(snd, snd, snd[0]));
  ASSERT_GT(full.sb.cape, 0.0f);
  ASSERT_NE(full.right.u, MISSING);

  const SEVERE_values calm = SEVERE_calc(sounding_of(snd, {}, snd[0]));
  EXPECT_EQ(calm.right.u, MISSING);
  EXPECT_EQ(calm.srh1, MISSING);
  EXPECT_EQ(calm.stp_fixed, MISSING);
  EXPECT_FLOAT_EQ(calm.sb.cape, full.sb.cape);
  testing::internal::CaptureStdout();
  const M_type saved = MESS_get();
  MESS_set(10, 0xFFFFFFF);
  SEVERE_print(calm, 1);
  MESS_set(10, saved);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Severe Weather Parameters"), std::string::npos);
  EXPECT_EQ(out.find("Bunkers"), std::string::npos);
  EXPECT_NE(out.find("Storm rel helicity 0-1 km:       - m^2/s^2\n"), std::string::npos) << out;

  std::vector<UPA_level> dry = plains_sounding();
  for (UPA_level& l : dry)
    if (l.p < 700.0f) l.td = MISSING;
  const SEVERE_values d = SEVERE_calc(sounding_of(dry, dry, dry[0]));
  EXPECT_GT(d.sb.cape, 0.0f);
  EXPECT_NEAR(d.sb.cape, full.sb.cape, 0.1 * full.sb.cape);
  EXPECT_FLOAT_EQ(d.sb.lcl, full.sb.lcl);

  std::vector<UPA_level> low = plains_sounding();
  low.resize(12);  // ends at 550 mb
  const SEVERE_values l = SEVERE_calc(sounding_of(low, low, low[0]));
  EXPECT_EQ(l.sb.li, MISSING);
  EXPECT_EQ(l.lapse75, MISSING);
  EXPECT_EQ(l.lapse36, MISSING);
  EXPECT_EQ(l.right.u, MISSING);
  EXPECT_NE(l.lapse03, MISSING);
  EXPECT_NE(l.sb.lcl, MISSING);
}

// The lapse rates of the 7.5 C/km profile (below its isothermal top near 8 km) are
// 7.5 C/km in every layer, whether taken in height (0-3, 3-6 km) or between the 700 and
// 500 mb levels.
TEST(Severe, LapseRates) {
  std::vector<UPA_level> snd;
  for (const SEVERE_env& e : layered_env([](double p) { return p >= 900.0; }))
    snd.push_back({static_cast<float>(e.p), static_cast<float>(e.z + 300.0), static_cast<float>(e.t),
                   static_cast<float>(e.td), MISSING, MISSING});
  const SEVERE_values v = SEVERE_calc(sounding_of(snd, {}, snd[0]));
  EXPECT_NEAR(v.lapse03, 7.5, 0.01);
  EXPECT_NEAR(v.lapse36, 7.5, 0.01);
  EXPECT_NEAR(v.lapse75, 7.5, 0.01);
}

// Downdraft CAPE of saturated air that follows one saturated adiabat from the ground up:
// the downdraft parcel (whose wet bulb is the temperature itself) descends along the
// environment's own curve and gains no energy, so DCAPE is 0 (within the 0.03 K steps
// of the adiabat's search: a few J/kg). Every layer has the same theta-e, so the start
// may be the middle of any 100 mb layer based in the lowest 400 mb: 950 to 550 mb.
TEST(Severe, DowndraftCapeAlongTheAdiabat) {
  const float label = thetae_on_satad(295.0f, 1000.0f);
  std::vector<SEVERE_env> env;
  double z = 0.0;
  for (double p = 1000.0; p >= 300.0; p -= 25.0) {
    const double t = temp_on_satad(label, static_cast<float>(p)) - 273.15;
    if (!env.empty()) z += 29.27 * (env.back().t + t + 2 * 273.15) / 2 * std::log(env.back().p / p);
    env.push_back({p, z, t, t, SEVERE_virt_temp(static_cast<float>(t), static_cast<float>(t),
                                                 static_cast<float>(p))});
  }
  float start = MISSING;
  EXPECT_NEAR(SEVERE_dcape(env, &start), 0.0, 5.0);
  EXPECT_GE(start, 550.0f);  // a layer based in the lowest 400 mb: its middle 50 mb up
  EXPECT_LE(start, 950.0f);
}
