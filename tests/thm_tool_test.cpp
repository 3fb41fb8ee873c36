// The analysis state: risk words at their class bounds, the storm motion derived from
// the mean wind, the paging of the significant-level and wind-level tables, the parcel
// choices of "plot_param" and the partial reset of the analysis values.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "zudresrc.h"
#include "zudupa.h"

namespace {

constexpr float M = MISSING;
constexpr const char* kPause = "Press return to continue\n";

// Mandatory levels only; 850 mb has 12 C and 8 C.
UPA_level sounding[] = {
    {1000, 100, 20, 15, 270, 20}, {925, 800, 16, 12, 270, 20},   {850, 1500, 12, 8, 270, 20},
    {700, 3100, 2, -4, 270, 20},  {500, 5700, -12, -20, 270, 20}, {300, 9400, -36, -50, 270, 20},
};
constexpr int kLevels = 6;

// Messages at their defaults plus out3 (wind-level table), pausing on request, a page of
// 24 lines, an empty input for the pauses to read and no "plot_param".
class Therm : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = MESS_get();
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    MESS_set(11, 0x00F00000);
    MESS_set_page(1);
    MESS_set_str("line=24");
    // The analysis state as at start: the default parcel, no sounding.
    THERM_reset();
    RES_put("plot_param", "");
    THERM_set_data(1000, sounding, kLevels, nullptr, 0);
  }
  void TearDown() override {
    MESS_set(10, saved_);
    MESS_set_page(1);
    MESS_set_str("line=22");
    FLAG_set_batch(0);
  }

  static std::vector<std::string> lines_of(const std::function<int()>& f) {
    return capture::lines_of(f);
  }

  // The first four characters (the label) of each line followed by a pause.
  static std::vector<std::string> paused_after(const std::function<int()>& f) {
    const auto out = lines_of(f);
    std::vector<std::string> labels;
    for (std::size_t i = 1; i < out.size(); ++i)
      if (out[i] == kPause) labels.push_back(out[i - 1].substr(0, 4));
    return labels;
  }

  M_type saved_ = 0;
};

// A thermodynamic profile of n levels from 1000 mb upward, 10 mb apart.
std::vector<UPA_level> profile(int n) {
  std::vector<UPA_level> v;
  for (int i = 0; i < n; ++i)
    v.push_back({1000.0f - 10.0f * i, 100.0f + 90.0f * i, 20.0f - 0.6f * i, 10.0f - 0.6f * i,
                 270, 20});
  return v;
}

// A wind profile of n levels, 300 m apart.
std::vector<UPA_level> wind_profile(int n) {
  std::vector<UPA_level> v;
  for (int i = 0; i < n; ++i)
    v.push_back({1000.0f - 30.0f * i, 100.0f + 300.0f * i, M, M, 270, 20});
  return v;
}

}  // namespace

// Risk words at and beside each class bound: a bound belongs to the riskier class for
// "greater than" rules (LI, SI, EI) and to the next class up for "less than" rules.
TEST(RiskWord, Bounds) {
  using R = THERM_risk_index;
  struct Case { R index; float value; const char* word; };
  const Case cases[] = {
      {R::lifted, 2.01f, "None\n"},
      {R::lifted, 2, "Showers probable\n"},         // exactly 2 is not above 2
      {R::lifted, 0, "Thunderstorms probable\n"},   // exactly 0 is not above 0
      {R::lifted, -2, "Severe thunderstorms possible\n"},
      {R::lifted, -4, "Severe thunderstorms probable\n"},
      {R::showalter, 3, "Showers probable\n"},
      {R::showalter, 1, "Thunderstorms probable\n"},
      {R::showalter, -5.9f, "Severe thunderstorms possible\n"},
      {R::showalter, -6, "Severe thunderstorms probable\n"},
      {R::total_totals, 43.99f, "None\n"},
      {R::total_totals, 44, "Scattered moderate thunderstorms\n"},  // 44 is not below 44
      {R::total_totals, 49, "Scattered heavy thunderstorms\n"},
      {R::total_totals, 55, "Severe Thunderstorms probable\n"},
      {R::k, 14.9f, "None\n"},
      {R::k, 15, "< 20 % chance of thunderstorms\n"},
      {R::k, 20, "20-40 % chance of thunderstorms\n"},
      {R::k, 25, "40-60 % chance of thunderstorms\n"},
      {R::k, 34.99f, "60-80 % chance of thunderstorms\n"},
      {R::k, 35, "> 80 % chance of thunderstorms\n"},  // the top class starts at 35
      {R::sweat, 299, "None\n"},
      {R::sweat, 300, "Showers and thunderstorms possible\n"},
      {R::sweat, 400, "Severe Thunderstorms possible\n"},
      {R::energy, 0.1f, "None\n"},
      {R::energy, 0, "Scattered severe thunderstorms\n"},
      {R::energy, -2, "Severe Thunderstorms probable\n"},
  };
  for (const auto& c : cases)
    EXPECT_STREQ(THERM_risk_word(c.index, c.value), c.word)
        << static_cast<int>(c.index) << " " << c.value;
}

// The storm moves 30 degrees to the right of the 0-6000 m mean wind at 3/4 of its speed.
// A single wind level is its own mean, so the mean is exactly the level's wind.
TEST_F(Therm, StormMotion) {
  struct Case { float dir; const char* mean; const char* storm; };
  const Case cases[] = {
      // 340 + 30 = 370, past north: 10 degrees; 0.75 * 20 = 15 knots.
      {340, "Mean winds (0-6000m):            340.0 at   20.0 knts\n",
       "Storm direction:                  10.0 at   15.0 knts\n"},
      // 330 + 30 = 360 exactly: stays 360, only a sum above 360 wraps.
      {330, "Mean winds (0-6000m):            330.0 at   20.0 knts\n",
       "Storm direction:                 360.0 at   15.0 knts\n"},
      {200, "Mean winds (0-6000m):            200.0 at   20.0 knts\n",
       "Storm direction:                 230.0 at   15.0 knts\n"},
  };
  for (const auto& c : cases) {
    UPA_level wind = {1000, 100, M, M, c.dir, 20};
    THERM_set_data(1000, sounding, kLevels, &wind, 1);
    const auto out = lines_of(THERM_wind);
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(out[2], c.mean);
    EXPECT_EQ(out[3], c.storm);
  }
  // No wind profile: no mean wind, no storm motion, and a wind heading without it.
  THERM_set_data(1000, sounding, kLevels, nullptr, 0);
  THERM_calc();
  EXPECT_EQ(lines_of(THERM_wind), (std::vector<std::string>{"\n", "Wind Parameters\n", kPause}));
  for (const auto& l : lines_of(THERM_wind_table)) EXPECT_EQ(l.find("Storm motion"), std::string::npos);
}

// Significant-level table, page of 24: pauses after positions 20 and 44, and always
// after the maximum-wind line; the tropopause takes the position after the last level.
TEST_F(Therm, SigTablePaging) {
  struct Case { int n; std::vector<std::string> labels; const char* why; };
  const Case cases[] = {
      {46, {" 20 ", " 44 ", "WND "}, "two pages of levels"},
      {20, {"TRP ", "WND "}, "the tropopause at position 20"},
      {21, {" 20 ", "WND "}, "the last level at position 20, tropopause at 21"},
      {3, {"WND "}, "a short table pauses once, at its end"},
  };
  for (const auto& c : cases) {
    auto sm = profile(c.n);
    THERM_set_data(1000, sm.data(), c.n, nullptr, 0);
    EXPECT_EQ(paused_after(THERM_sig_table), c.labels) << c.why;
  }
}

// The level at the surface pressure carries the surface label, levels below the ground
// their positions.
TEST_F(Therm, SigTableSurfaceLabel) {
  auto sm = profile(4);
  THERM_set_data(990, sm.data(), 4, nullptr, 0);
  const auto out = lines_of(THERM_sig_table);
  ASSERT_GE(out.size(), 6u);
  EXPECT_EQ(out[4].substr(0, 9), "  0 1000 ");  // below the ground
  EXPECT_EQ(out[5].substr(0, 9), "SFC  990 ");
  EXPECT_EQ(out[6].substr(0, 9), "  2  980 ");
}

// Wind-level table, page of 24: a pause after row 20, none at the end when row 20 was
// the last, one at the end otherwise.
TEST_F(Therm, WindTablePaging) {
  struct Case { int n; std::vector<std::string> labels; const char* why; };
  const Case cases[] = {
      {21, {" 20 "}, "the last row had its pause"},
      {22, {" 20 ", " 21 "}, "a pause at row 20 and after the last row"},
      {45, {" 20 ", " 44 "}, "second page break on the last row"},
      {5, {"  4 "}, "a short table pauses at its end"},
  };
  for (const auto& c : cases) {
    auto wm = wind_profile(c.n);
    THERM_set_data(1000, sounding, kLevels, wm.data(), c.n);
    EXPECT_EQ(paused_after(THERM_wind_table), c.labels) << c.why;
  }
}

// Pauses wait only where asked: never in batch mode, never after "nopage".
TEST_F(Therm, NoPauses) {
  auto wm = wind_profile(22);
  FLAG_set_batch(1);
  THERM_set_data(1000, sounding, kLevels, wm.data(), 22);
  EXPECT_TRUE(paused_after(THERM_wind_table).empty());
  FLAG_set_batch(0);
  RES_put("plot_param", "nopage");
  THERM_set_data(1000, sounding, kLevels, wm.data(), 22);
  EXPECT_TRUE(paused_after(THERM_wind_table).empty());
  RES_put("plot_param", "page");
  THERM_set_data(1000, sounding, kLevels, wm.data(), 22);
  EXPECT_EQ(paused_after(THERM_wind_table).size(), 2u);
}

// The parcel choices of "plot_param": the line naming the parcel, and the ascent made
// from the start level and source layer that the choice implies.
TEST_F(Therm, ParcelChoice) {
  struct Case {
    const char* param;
    const char* line;
    UPA_level start;  // start level given to the ascent (p missing: from the sounding)
    float thick;      // source layer, mb
  };
  const UPA_level none = {M, M, M, M, M, M};
  // At 700 mb the sounding has 2 C and -4 C.
  const UPA_level at700 = {700, 3100, 10, 5, 270, 20};
  const UPA_level at850 = {850, 1500, 12, 8, 270, 20};
  const Case cases[] = {
      {"", "Parcel: using 100 mb layer\n", none, 100},  // nothing asked: the choice stands
      {"par=sfc", "Parcel: using surface\n", none, 0},
      {"PAR:SFC", "Parcel: using surface\n", none, 0},  // any case, any separator
      {"par", "Parcel: using surface\n", none, 0},      // no word: the surface parcel
      {"par=layer:50", "Parcel: using 50 mb layer\n", none, 50},
      // No depth: the depth in force stays (not a missing number as depth).
      {"par=layer", "Parcel: using 50 mb layer\n", none, 50},
      // The given temperature and dew point replace the sounding's at 700 mb.
      {"par=700:10:5", "Parcel: using P: 700 T: 10.0 TD: 5.0\n", at700, 100},
      // Only a pressure: the sounding's own temperature and dew point there.
      {"par=850", "Parcel: using P: 850 T: 12.0 TD: 8.0\n", at850, 100},
      {"nopage,par=maxt", "Parcel: using max temp\n", none, 100},
  };
  for (const auto& c : cases) {
    RES_put("plot_param", c.param);
    THERM_set_data(1000, sounding, kLevels, nullptr, 0);
    THERM_calc();
    const THERM_values got = *THERM_get_values();
    const auto out = lines_of(THERM_indices);
    bool found = false;
    for (const auto& l : out) found = found || l == c.line;
    EXPECT_TRUE(found) << c.param;

    UPA_level b = c.start;
    if (std::string(c.line) == "Parcel: using max temp\n") {
      b = *THERM_get_sfc();
      b.t = got.max_t;
      ASSERT_NE(b.t, M);
    }
    PARCEL_params want;
    parcel_calc(sounding, kLevels, &b, 100, 1000, c.thick, &want);
    EXPECT_EQ(got.parcel.plcl, want.plcl) << c.param;
    EXPECT_EQ(got.parcel.Bplus, want.Bplus) << c.param;
    EXPECT_EQ(got.parcel.Bminus, want.Bminus) << c.param;
  }
}

// The reset touches exactly the station fields and the always-printed values.
TEST(ThermInitValues, ExactFields) {
  THERM_values v;
  v.wmo = 7;
  v.lat = v.lon = v.elev = v.plcl = v.tlcl = v.frz = v.wb0 = v.lapse57 = v.max_t = 7;
  v.precip = v.mean_rh = v.thick = v.ccl = v.wbar = v.ct = v.li = v.cap = v.si = 7;
  v.tt = v.k = v.sweat = v.ei = v.brn = v.bshear = v.ehi = 7;
  v.thetae.index = 7;
  v.parcel.Bplus = 7;
  v.helicity.pos_hel = 7;
  v.shear.pos_shr = 7;
  EXPECT_EQ(THERM_init_values(&v), 0);
  EXPECT_EQ(v.wmo, IMISSING);
  for (float f : {v.lat, v.lon, v.elev, v.plcl, v.precip, v.thick, v.li, v.si, v.tt, v.k, v.sweat})
    EXPECT_EQ(f, M);
  for (float f : {v.tlcl, v.frz, v.wb0, v.lapse57, v.max_t, v.mean_rh, v.ccl, v.wbar, v.ct, v.cap,
                  v.ei, v.brn, v.bshear, v.ehi, v.thetae.index, v.parcel.Bplus,
                  v.helicity.pos_hel, v.shear.pos_shr})
    EXPECT_EQ(f, 7.0f);
}
