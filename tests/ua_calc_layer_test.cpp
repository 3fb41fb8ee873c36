// Tests of the sounding layer quantities: the layer walk, derived variables, layer means,
// depth and lapse rate, precipitable water, freezing and wet-bulb-zero levels, maximum
// temperature and the theta-e index.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sounding_fixture.h"
#include "zudupa.h"

namespace {

constexpr double kRd = 287.05;
constexpr double kG = 9.8;
constexpr double kKappa = 0.286;  // R/cp of the moist-air module

// Bolton (1980) saturation vapour pressure (mb) at tc deg C: an independent check of the
// module's Goff-Gratch values (they agree to a few tenths of a percent).
double bolton_e(double tc) { return 6.112 * std::exp(17.67 * tc / (tc + 243.5)); }

// Temperature (C) at p of the dry adiabat of potential temperature theta (K), by hand.
float dry_t(double theta, double p) {
  return static_cast<float>(theta * std::pow(p / 1000.0, kKappa) - 273.15);
}

// Runs the walk over the whole layer bottom..top (pressure) and records the pressures of
// each segment's ends and its kind.
struct Seg {
  WalkSeg kind;
  float lo, hi;
};
std::vector<Seg> walk(std::vector<UPA_level>& s, float bottom, float top) {
  UPA_level b, t;
  const int lb = UPA_interp(s.data(), static_cast<int>(s.size()), 100, bottom, &b);
  const int lt = UPA_interp(s.data(), static_cast<int>(s.size()), 100, top, &t);
  std::vector<Seg> out;
  layer_walk(s.data(), static_cast<int>(s.size()), b, lb, t, lt, &UPA_level::t,
             [&](WalkSeg kind, int, int, const UPA_level& lo, const UPA_level& hi, double) {
               out.push_back({kind, lo.p, hi.p});
             });
  return out;
}

// Sets the message mask to exactly `level` and restores the previous mask on exit.
class TraceLevel {
 public:
  explicit TraceLevel(M_type level) : saved_(MESS_get()) {
    MESS_set(10, 0);
    MESS_set(11, level);
  }
  ~TraceLevel() {
    MESS_set(10, 0);
    MESS_set(11, saved_);
  }

 private:
  M_type saved_;
};

}  // namespace

// ---- the layer walk ----------------------------------------------------------------------

// The walk visits bound-to-level, level-to-level and level-to-bound segments, passing
// over levels without a temperature. Expected pressures read off the five-level sounding.
TEST(LayerWalk, Segments) {
  std::vector<UPA_level> s = {thermo_level(1000, 100, 20, 10), thermo_level(900, 1000, 14, 8),
                              thermo_level(800, 2000, MISSING, 5), thermo_level(700, 3000, 2, 0),
                              thermo_level(600, 4000, -5, -10)};
  struct Case {
    float bottom, top;
    std::vector<Seg> want;
    const char* why;
  };
  const Case cases[] = {
      {950, 650,
       {{WalkSeg::first, 950, 900}, {WalkSeg::inner, 900, 700}, {WalkSeg::last, 700, 650}},
       "800 mb has no temperature: the inner segment jumps from 900 to 700"},
      {900, 650, {{WalkSeg::inner, 900, 700}, {WalkSeg::last, 700, 650}},
       "bottom on a level: no first segment, the walk starts with the bound's values"},
      {950, 700, {{WalkSeg::first, 950, 900}, {WalkSeg::last, 900, 700}},
       "top on a level: the last segment ends there"},
      {880, 850, {{WalkSeg::last, 880, 850}},
       "no level inside the layer: one segment from bound to bound, never past the top"},
      {850, 720, {{WalkSeg::last, 850, 720}},
       "the only level inside has no temperature: still one segment, bound to bound"},
  };
  for (const auto& c : cases) {
    const auto got = walk(s, c.bottom, c.top);
    ASSERT_EQ(got.size(), c.want.size()) << c.why;
    for (size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].kind, c.want[k].kind) << c.why << " segment " << k;
      EXPECT_FLOAT_EQ(got[k].lo, c.want[k].lo) << c.why << " segment " << k;
      EXPECT_FLOAT_EQ(got[k].hi, c.want[k].hi) << c.why << " segment " << k;
    }
  }
}

// Bounds beyond either end of the sounding, an empty sounding and wild indices keep the
// walk inside the profile (the sanitizer build checks the reads).
TEST(LayerWalk, StaysInsideProfile) {
  std::vector<UPA_level> s = {thermo_level(1000, 100, 20, 10), thermo_level(900, 1000, MISSING, 8),
                              thermo_level(800, 2000, MISSING, 5)};
  // Top above the last level, every level above the bottom without temperature.
  EXPECT_EQ(walk(s, 950, 500).size(), 1u);
  // Bottom and top above the sounding (index = level count).
  EXPECT_EQ(walk(s, 600, 500).size(), 1u);
  UPA_level b = thermo_level(950, MISSING, 15, 5), t = thermo_level(850, MISSING, 10, 0);
  int segs = 0;
  const auto count = [&](WalkSeg, int, int, const UPA_level&, const UPA_level&, double) { ++segs; };
  EXPECT_EQ(layer_walk(nullptr, 5, b, 3, t, 4, &UPA_level::t, count), 1);
  EXPECT_EQ(layer_walk(s.data(), 3, b, -7, t, 99, &UPA_level::t, count), 2);
  EXPECT_EQ(segs, 3);
}

// The segment weight is ln(pa/pb), 0 when a pressure is missing.
TEST(LayerWalk, Weights) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, 20, 10), thermo_level(800, 0, 10, 0)};
  UPA_level b = thermo_level(1000, 0, 20, 10), t = thermo_level(MISSING, 0, 5, 0);
  std::vector<double> w;
  layer_walk(s.data(), 2, b, 0, t, 2, &UPA_level::t,
             [&](WalkSeg, int, int, const UPA_level&, const UPA_level&, double x) { w.push_back(x); });
  ASSERT_EQ(w.size(), 2u);
  EXPECT_NEAR(w[0], std::log(1000.0 / 800.0), 1e-6);  // hand: ln 1.25
  EXPECT_EQ(w[1], 0.0);                               // missing top pressure weighs nothing
}

// The trace lines of a layer mean, byte for byte.
TEST(LayerWalk, TraceFormat) {
  std::vector<UPA_level> s = {thermo_level(1000, 100, 20, 10), thermo_level(900, 1000, 14, 8),
                              thermo_level(800, 2000, 8, 2)};
  std::string out;
  {
    TraceLevel level(0x40000000);
    testing::internal::CaptureStdout();
    mean_value("temp", s.data(), 3, 100, 950, 850);
    out = testing::internal::GetCapturedStdout();
  }
  // 950 and 850 mb temperatures are linear in ln p between the levels: 950 mb is
  // 20 - 6 ln(1000/950)/ln(1000/900) = 17.079, 850 mb 14 - 6 ln(900/850)/ln(900/800)
  // = 11.088 (printed to one decimal); the dew points likewise 9.026 and 5.088.
  EXPECT_EQ(out,
            "1-2   17.1   9.0   11.1   5.1\n"
            "LB, 1   17.1, 14.0 950.0,900.0  17.1, 14.0\n"
            " 1,LT   14.0, 11.1 900.0,850.0  14.0, 11.1\n");
}

// ---- variable_calc -----------------------------------------------------------------------

// Each code against an independent formula; theta by T (1000/p)^0.286 by hand, moisture
// by the Bolton vapour pressure, the others by their definitions.
TEST(VariableCalc, Codes) {
  const UPA_level l = thermo_level(850, 1500, 20, 10);
  const double tk = 293.15, e = bolton_e(10), es = bolton_e(20);
  const double theta = tk * std::pow(1000.0 / 850.0, kKappa);
  const double w = 622.0 * e / (850 - e);
  struct Case {
    int code;
    double want, tol;
    const char* why;
  };
  const Case cases[] = {
      {1, 20, 0, "temperature as stored"},
      {2, 10, 0, "dew point as stored"},
      {3, 100 * e / es, 0.3, "relative humidity e/es"},
      {4, theta, 0.01, "potential temperature"},
      {5, 10, 0, "dew-point depression"},
      {6, w, 0.03, "mixing ratio 622 e/(p - e)"},
      {7, 622.0 * e / 850, 0.03, "specific humidity 622 e/p"},
      {8, e, 0.02, "vapour pressure at the dew point"},
      {12, tk * (1 + 0.609 * w / 1000) * std::pow(1000.0 / 850.0, kKappa), 0.05,
       "virtual potential temperature"},
      {13, theta, 0.01, "the unnamed code is potential temperature too"},
      {14, tk * (1 + 0.609 * w / 1000), 0.05, "virtual temperature"},
      {15, 1500, 0, "height"},
      {16, 850, 0, "pressure"},
  };
  for (const auto& c : cases) EXPECT_NEAR(variable_calc(c.code, &l), c.want, c.tol) << c.why;
  // The wet-bulb family has no closed form: the wet bulb lies between dew point and
  // temperature, and its potential temperature is warmer at 1000 mb than 850 mb.
  const float wb = variable_calc(9, &l);
  EXPECT_GT(wb, 283.15f);
  EXPECT_LT(wb, 293.15f);
  EXPECT_GT(variable_calc(10, &l), wb);
  EXPECT_GT(variable_calc(11, &l), theta + 20);  // about 2.5 K of theta-e per g/kg
}

// A missing temperature or dew point makes every value that needs it missing, and codes
// outside the table are missing.
TEST(VariableCalc, MissingInputs) {
  const UPA_level no_t = thermo_level(850, 1500, MISSING, 10);
  const UPA_level no_td = thermo_level(850, 1500, 20, MISSING);
  const int need_t[] = {1, 3, 4, 5, 9, 10, 11, 12, 13, 14};
  const int need_td[] = {2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 14};
  for (int code : need_t) EXPECT_EQ(variable_calc(code, &no_t), MISSING) << code;
  for (int code : need_td) EXPECT_EQ(variable_calc(code, &no_td), MISSING) << code;
  EXPECT_EQ(variable_calc(15, &no_t), 1500.0f);  // height needs neither
  EXPECT_EQ(variable_calc(0, &no_td), MISSING);
  EXPECT_EQ(variable_calc(17, &no_td), MISSING);
  EXPECT_EQ(variable_calc(4, nullptr), MISSING);
}

// ---- mean_value --------------------------------------------------------------------------

// Every name selects its code: the point value at a level equals variable_calc there.
TEST(MeanValue, Names) {
  auto s = plains_sounding();
  const int n = static_cast<int>(s.size());
  const UPA_level& l850 = s[6];
  struct Case {
    const char* name;
    int code;
  };
  const Case cases[] = {{"temp", 1},    {"dewp", 2},   {"rhum", 3},    {"theta", 4},
                        {"dewd", 5},    {"mrat", 6},   {"shum", 7},    {"vpres", 8},
                        {"wetblb", 9},  {"thetaw", 10}, {"thetae", 11}, {"thetav", 12},
                        {"vtemp", 14},  {"hght", 15},  {"hag", 15},    {"pres", 16}};
  for (const auto& c : cases)
    EXPECT_FLOAT_EQ(mean_value(c.name, s.data(), n, 100, 850, MISSING), variable_calc(c.code, &l850))
        << c.name;
  // Names compare exactly: other case or spelling is no variable at all.
  EXPECT_EQ(mean_value("Temp", s.data(), n, 100, 850, MISSING), MISSING);
  EXPECT_EQ(mean_value("tempx", s.data(), n, 100, 850, 700), MISSING);
  EXPECT_EQ(mean_value(nullptr, s.data(), n, 100, 850, 700), MISSING);
}

// A temperature linear in ln p has the exact layer mean (tB + tT)/2, whatever levels lie
// between or lack a temperature: t = 20 + 30 ln(p/1000).
TEST(MeanValue, LinearProfileMean) {
  const auto t_of = [](double p) { return static_cast<float>(20 + 30 * std::log(p / 1000)); };
  std::vector<UPA_level> s;
  for (float p : {1000.f, 925.f, 850.f, 700.f, 600.f, 500.f}) s.push_back(thermo_level(p, 0, t_of(p), 0));
  s[3].t = MISSING;  // 700 mb skipped: the walk bridges 850 to 600
  const int n = static_cast<int>(s.size());
  EXPECT_NEAR(mean_value("temp", s.data(), n, 100, 950, 550), (t_of(950) + t_of(550)) / 2, 1e-3);
  EXPECT_NEAR(mean_value("temp", s.data(), n, 100, 1000, 500), (t_of(1000) + t_of(500)) / 2, 1e-3);
}

// The missing results of the edge cases: no data, no bound, no top on one level.
TEST(MeanValue, EdgeCases) {
  auto s = plains_sounding();
  const int n = static_cast<int>(s.size());
  // Bottom equal to top: the point value at the bottom (fixture 850 mb temperature).
  EXPECT_FLOAT_EQ(mean_value("temp", s.data(), n, 100, 850, 850), 19.0f);
  // One level: a point value without a top (1010 mb lies within the interpolation's
  // tolerance below the level, which is then copied), missing with one.
  EXPECT_FLOAT_EQ(mean_value("temp", s.data(), 1, 100, 1010, MISSING), 30.0f);
  EXPECT_EQ(mean_value("temp", s.data(), 1, 100, 1004, 900), MISSING);
  // Empty sounding, missing bottom.
  EXPECT_EQ(mean_value("temp", s.data(), 0, 100, 1000, 500), MISSING);
  EXPECT_EQ(mean_value("temp", s.data(), n, 100, MISSING, 500), MISSING);
  // A sounding starting above 500 mb (the upper part from 450 mb only).
  EXPECT_EQ(mean_value("temp", s.data() + 14, n - 14, 100, 400, 300), MISSING);
  // Relative humidity over a layer without any dew point.
  for (auto& l : s) l.td = MISSING;
  EXPECT_EQ(mean_value("rhum", s.data(), n, 100, 1004, 500), MISSING);
}

// ---- layer_parcel_mean ---------------------------------------------------------------------

// Means are divided by the whole log-pressure depth: a dry-adiabatic layer (theta 300 K
// everywhere) whose lowest level has no temperature contributes only 900..800 mb, so
// Obar = 300 ln(900/800) / ln(1000/800) by hand.
TEST(LayerParcelMean, FullDepthDivision) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, MISSING, 10),
                              thermo_level(900, 0, dry_t(300, 900), 5),
                              thermo_level(800, 0, dry_t(300, 800), 0)};
  float w = 0, o = 0;
  EXPECT_EQ(layer_parcel_mean(s.data(), 3, 100, 1000, 800, &w, &o), 0);
  EXPECT_NEAR(o, 300 * std::log(900.0 / 800.0) / std::log(1000.0 / 800.0), 0.05);
  // All dew points present: with td 10, 5, 0 the mixing ratio lies between the end values.
  EXPECT_GT(w, 3.0f);
  EXPECT_LT(w, 9.0f);
}

// Single level: that level's own values (theta by hand; w by Bolton); no dew points at
// all: the mixing ratio is missing rather than zero, the potential temperature is kept.
TEST(LayerParcelMean, EdgeCases) {
  std::vector<UPA_level> one = {thermo_level(900, 0, 20, 10)};
  float w = 0, o = 0;
  layer_parcel_mean(one.data(), 1, 100, 900, 800, &w, &o);
  EXPECT_NEAR(o, 293.15 * std::pow(1000.0 / 900.0, kKappa), 0.01);
  EXPECT_NEAR(w, 622 * bolton_e(10) / (900 - bolton_e(10)), 0.03);

  std::vector<UPA_level> dry = {thermo_level(1000, 0, dry_t(300, 1000), MISSING),
                                thermo_level(900, 0, dry_t(300, 900), MISSING),
                                thermo_level(800, 0, dry_t(300, 800), MISSING)};
  layer_parcel_mean(dry.data(), 3, 100, 1000, 800, &w, &o);
  EXPECT_EQ(w, MISSING);
  EXPECT_NEAR(o, 300.0, 0.05);  // a constant theta has mean 300 over the full layer

  layer_parcel_mean(dry.data(), 0, 100, 1000, 800, &w, &o);
  EXPECT_EQ(w, MISSING);
  EXPECT_EQ(o, MISSING);
}

// ---- thickness and lapse rate ------------------------------------------------------------

// The fixture's 1000-500 mb thickness against the hypsometric equation summed over its
// layers with the mean virtual temperature of each (Bolton vapour pressure); the fixture
// heights are whole metres, so agreement within 2 m.
TEST(Thickness, Hypsometric) {
  auto s = plains_sounding();
  const auto tv = [](const UPA_level& l) {
    const double e = bolton_e(l.td);
    return (l.t + 273.15) * (1 + 0.61 * 0.622 * e / (l.p - e));
  };
  double dz = 0;
  for (int k = 1; k < 13; ++k)  // 1000 mb (index 1) up to 500 mb (index 13)
    dz += kRd / kG * (tv(s[k]) + tv(s[k + 1])) / 2 * std::log(s[k].p / s[k + 1].p);
  EXPECT_NEAR(thickness(s.data(), static_cast<int>(s.size()), 100, 1000, 500), dz, 2.0);
  // Bounds given upside down give the same depth.
  EXPECT_NEAR(thickness(s.data(), static_cast<int>(s.size()), 100, 500, 1000), dz, 2.0);
}

TEST(Thickness, MissingHeights) {
  auto s = plains_sounding();
  for (auto& l : s) l.h = MISSING;
  EXPECT_EQ(thickness(s.data(), static_cast<int>(s.size()), 100, 1000, 500), MISSING);
  EXPECT_EQ(thickness(s.data(), 0, 100, 1000, 500), MISSING);
}

// 700-500 mb of the fixture: -(-9 - 9)/(5920 - 3224) C/m by hand; equal heights and a
// missing temperature are missing.
TEST(LapseRate, Cases) {
  auto s = plains_sounding();
  const int n = static_cast<int>(s.size());
  EXPECT_NEAR(lapse_rate(s.data(), n, 100, 700, 500), 18.0 / 2696.0, 1e-7);
  std::vector<UPA_level> flat = {thermo_level(1000, 500, 20, 10), thermo_level(900, 500, 15, 5)};
  EXPECT_EQ(lapse_rate(flat.data(), 2, 100, 1000, 900), MISSING);
  s[9].t = MISSING;  // 700 mb; 750 and 650 still give an interpolated temperature
  EXPECT_NE(lapse_rate(s.data(), n, 100, 700, 500), MISSING);
  for (auto& l : s) l.t = MISSING;
  EXPECT_EQ(lapse_rate(s.data(), n, 100, 700, 500), MISSING);
}

// ---- precipitable water ------------------------------------------------------------------

// The fixture's precipitable water against a trapezoid sum computed offline over all its
// levels with q = 622 e/p and the Bolton vapour pressure: 1.6057 in.
TEST(PrecipWater, Fixture) {
  auto s = plains_sounding();
  EXPECT_NEAR(precip_water(s.data(), static_cast<int>(s.size())), 1.6057, 0.005);
}

// Three levels by hand: q1 = 622 e(10)/1000 = 7.6330, q2 = 622 e(0)/900 = 4.2241,
// q3 = 622 e(-10)/800 = 2.2296 g/kg (Bolton e 12.2717, 6.112, 2.8677 mb);
// (100 (7.6330 + 4.2241)/2000 + 100 (4.2241 + 2.2296)/2000) / 2.4892 = 0.36780 in.
TEST(PrecipWater, HandSum) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, 20, 10), thermo_level(900, 0, 10, 0),
                              thermo_level(800, 0, 0, -10)};
  EXPECT_NEAR(precip_water(s.data(), 3), 0.36780, 0.002);
  // A level without dew point is bridged: 1000 to 800 in one trapezoid,
  // 200 (7.6330 + 2.2296)/2000 / 2.4892 = 0.39622 in.
  s[1].td = MISSING;
  EXPECT_NEAR(precip_water(s.data(), 3), 0.39622, 0.002);
}

TEST(PrecipWater, EdgeCases) {
  auto s = plains_sounding();
  const int n = static_cast<int>(s.size());
  EXPECT_EQ(precip_water(s.data(), 2), MISSING);  // two levels are not enough
  EXPECT_EQ(precip_water(s.data(), 0), MISSING);
  EXPECT_EQ(precip_water(s.data() + 14, n - 14), MISSING);  // starts at 450 mb
  s[0].td = s[1].td = s[2].td = MISSING;  // first three dew points missing, higher ones not
  EXPECT_EQ(precip_water(s.data(), n), MISSING);
}

// ---- freezing level and wet-bulb zero ------------------------------------------------------

namespace {

// One sounding scanned for a crossing level, with the expected pressure (or -1, -9999).
struct ScanCase {
  std::vector<UPA_level> s;
  float want;
  const char* why;
};

}  // namespace

// Crossing pressures by hand from the linear interpolation in pressure.
TEST(FreezingLevel, Cases) {
  const ScanCase cases[] = {
      {{thermo_level(1000, 0, 10, 0), thermo_level(850, 0, -5, -10)}, 900,
       "1000 - 10 (150/15): a plain crossing"},
      {{thermo_level(1000, 0, -0.1f, -5), thermo_level(850, 0, -5, -10)}, -1,
       "lowest temperature just below freezing: surface below freezing"},
      {{thermo_level(1000, 0, 2, 0), thermo_level(900, 0, 0, -2), thermo_level(800, 0, 0, -4),
        thermo_level(700, 0, -2, -6)},
       800, "0 C counts as above freezing: the crossing is from the last 0 C level"},
      {{thermo_level(1000, 0, MISSING, 0), thermo_level(900, 0, 4, -2), thermo_level(800, 0, MISSING, -4),
        thermo_level(700, 0, -12, -16)},
       850, "levels without temperature are bridged: 900 + (-4)(-200)/(-16)"},
      {{thermo_level(450, 0, -20, -30), thermo_level(400, 0, -25, -35)}, MISSING,
       "first level above 500 mb"},
      {{thermo_level(1000, 0, 20, 0), thermo_level(850, 0, 10, -2)}, MISSING, "no crossing"},
      {{thermo_level(1000, 0, 5, 0)}, MISSING, "one level"},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(freezing_level(c.s.data(), static_cast<int>(c.s.size())), c.want, 1e-3) << c.why;
  auto s = plains_sounding();
  // 600 + (-0.6)(-50)/(-4.6) between 600 mb (0.6 C) and 550 mb (-4.0 C).
  EXPECT_NEAR(freezing_level(s.data(), static_cast<int>(s.size())), 593.478, 0.01);
  EXPECT_EQ(freezing_level(s.data(), 0), MISSING);
}

// The fixture's wet-bulb zero against wet-bulb temperatures found offline by solving
// Bolton's theta-e for the saturated temperature with the same theta-e: 3.34 C at 700 mb,
// -0.88 C at 650 mb, crossing at 660.4 mb.
TEST(WetBulbZero, Fixture) {
  auto s = plains_sounding();
  EXPECT_NEAR(wet_bulb_zero(s.data(), static_cast<int>(s.size())), 660.4, 3.0);
}

TEST(WetBulbZero, EdgeCases) {
  const ScanCase cases[] = {
      {{thermo_level(1000, 0, -2, -4), thermo_level(900, 0, -6, -8)}, -1,
       "wet bulb below 0 C at the first usable level"},
      {{thermo_level(1150, 0, 20, 10), thermo_level(1000, 0, 15, 5), thermo_level(900, 0, -6, -8)}, -1,
       "first usable level's wet bulb cannot be computed (no condensation level above 1100 mb)"},
      {{thermo_level(1000, 0, 20, MISSING), thermo_level(900, 0, -5, -8)}, MISSING,
       "only the last level has both values"},
      {{thermo_level(1000, 0, 25, 20), thermo_level(900, 0, 20, 15)}, MISSING, "no crossing"},
      {{}, MISSING, "empty"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(wet_bulb_zero(c.s.data(), static_cast<int>(c.s.size())), c.want) << c.why;
}

// ---- maximum temperature -----------------------------------------------------------------

// The fixture's 1004..854 mb layer: the top temperature (interpolated linearly in ln p
// between 900 and 850 mb: 22 - 3 ln(900/854)/ln(900/850) = 19.2235 C) brought dry-
// adiabatically to 1004 mb: 292.3735 (1004/854)^0.286 K by hand.
TEST(MaxTemperature, Fixture) {
  auto s = plains_sounding();
  const double ttop = 22 - 3 * std::log(900.0 / 854.0) / std::log(900.0 / 850.0) + 273.15;
  EXPECT_NEAR(max_temperature(s.data(), static_cast<int>(s.size()), 100, 1004, 150),
              ttop * std::pow(1004.0 / 854.0, kKappa), 0.02);
}

TEST(MaxTemperature, Missing) {
  auto s = plains_sounding();
  const int n = static_cast<int>(s.size());
  EXPECT_EQ(max_temperature(s.data(), n, 100, MISSING, 150), MISSING);
  // No temperature at the top of the layer (the sounding ends at 900 mb).
  EXPECT_EQ(max_temperature(s.data(), 6, 100, 1004, 150), MISSING);
}

// ---- theta-e index -----------------------------------------------------------------------

namespace {

// A very dry sounding (dew point -80 C, under 0.01 g/kg) whose theta-e equals the given
// potential temperatures to within 0.03 K: the layer decreases can be read off by hand.
std::vector<UPA_level> theta_sounding(const std::vector<std::pair<float, double>>& p_theta) {
  std::vector<UPA_level> s;
  for (const auto& [p, th] : p_theta) s.push_back(thermo_level(p, 0, dry_t(th, p), -80));
  return s;
}

}  // namespace

// Layers by hand from the potential temperatures; the reported base is the upper end of
// the first decreasing segment and the top the upper end of the first increasing one.
TEST(ThetaeIndex, Layers) {
  struct Case {
    std::vector<std::pair<float, double>> prof;
    int rc;
    float index, base, top;
    const char* why;
  };
  const Case cases[] = {
      {{{1000, 300}, {950, 299}, {900, 298}, {850, 301}, {800, 300}, {750, 303}},
       0, 2, 950, 850, "first layer (300 -> 298) beats the second (301 -> 300)"},
      {{{1000, 300}, {950, 299}, {900, 301}, {850, 300}, {800, 297}, {750, 303}},
       0, 4, 850, 750, "second layer 301 -> 297 is larger"},
      {{{1000, 300}, {950, 298}, {900, 301}, {850, 299}, {800, 302}},
       0, 2, 950, 900, "equal layers: the first wins"},
      {{{1000, 300}, {950, 299}, {900, 301}, {850, 303}, {700, 304}, {650, 296}},
       0, 1, 950, 900, "a larger layer opening above 700 mb (at 650) is not chosen"},
      {{{1000, 300}, {950, 299}, {900, 301}, {850, 303}, {800, 296}},
       0, 7, 800, 800, "a layer open at the end whose base is its last level: 303 -> 296"},
      {{{1000, 300}, {850, 302}, {700, 304}, {650, 301}, {600, 299}},
       -1, MISSING, MISSING, MISSING, "first decrease starts above 700 mb"},
      {{{1000, 300}, {950, 299}, {900, 297}},
       0, 3, 950, 900, "layer still open at the end: top is the last level examined"},
  };
  for (const auto& c : cases) {
    auto s = theta_sounding(c.prof);
    THETAE_params tp;
    EXPECT_EQ(thetae_index(s.data(), static_cast<int>(s.size()), &tp), c.rc) << c.why;
    EXPECT_NEAR(tp.index, c.index, 0.05) << c.why;
    EXPECT_EQ(tp.base, c.base) << c.why;
    EXPECT_EQ(tp.top, c.top) << c.why;
  }
}

// Never decreasing: index 0 from the first level up to the last level examined (the
// layer has no recorded top, and a missing top would be printed as a number), and
// max/min over every level.
TEST(ThetaeIndex, NeverDecreasing) {
  auto s = theta_sounding({{1000, 300}, {850, 305}, {700, 310}, {500, 320}, {300, 335}});
  THETAE_params tp;
  EXPECT_EQ(thetae_index(s.data(), 5, &tp), 0);
  EXPECT_EQ(tp.index, 0.0f);
  EXPECT_EQ(tp.base, 1000.0f);
  EXPECT_EQ(tp.top, 300.0f);
  EXPECT_NEAR(tp.max, 335, 0.05);
  EXPECT_EQ(tp.maxp, 300.0f);  // the last level: the scan went all the way up
  EXPECT_NEAR(tp.min, 300, 0.05);
  EXPECT_EQ(tp.minp, 1000.0f);
}

// No usable level, an empty sounding: -1 and every field missing.
TEST(ThetaeIndex, NoData) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, 20, MISSING), thermo_level(900, 0, MISSING, 5)};
  THETAE_params tp;
  EXPECT_EQ(thetae_index(s.data(), 2, &tp), -1);
  EXPECT_EQ(tp.max, MISSING);
  EXPECT_EQ(tp.index, MISSING);
  EXPECT_EQ(thetae_index(s.data(), 0, &tp), -1);
}
