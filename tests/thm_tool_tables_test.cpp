// The index, wind-parameter and storm tables printed from a small hand-made sounding
// installed as the merge would install it: the lines whose numbers can be worked out by
// hand, the freezing crossings, the message levels that thin the tables and the pauses.

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

// A wind of 270 degrees at 20 knots at every level. Mandatory values picked so that
// the indices come out round: T850 12, Td850 8, T700 2, Td700 -4, T500 -12.
UPA_level sounding[] = {
    {1000, 100, 20, 15, 270, 20},   {925, 800, 16, 12, 270, 20},  {850, 1500, 12, 8, 270, 20},
    {700, 3100, 2, -4, 270, 20},    {500, 5700, -12, -20, 270, 20},
    {400, 7400, -22, -35, 270, 20}, {300, 9400, -36, -50, 270, 20},
};
UPA_level winds[] = {
    {1000, 100, M, M, 270, 20}, {925, 800, M, M, 270, 20},  {850, 1500, M, M, 270, 20},
    {700, 3100, M, M, 270, 20}, {500, 5700, M, M, 270, 20}, {400, 7400, M, M, 270, 20},
    {300, 9400, M, M, 270, 20},
};
constexpr int kLevels = 7;
constexpr int kLowWinds = 4;  // the wind profile cut at 700 mb (3100 m)

// The storm-table columns of a layer without wind data, after the depth.
const std::string kNoData =
    "   NO DATA       | " + std::string(14, ' ') + "|" + std::string(30, ' ') + "|\n";

// Each test starts from the default message mask plus out3, pausing on request, the
// default parcel and an empty input (a pause reads end of file at once), and leaves them so.
class Tables : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = MESS_get();
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    MESS_set_page(1);
    MESS_set(11, 0x00F00000);  // out3: the wind-level and storm tables
    // The analysis state as at start: the default parcel, no sounding.
    THERM_reset();
    RES_put("plot_param", "");
  }
  void TearDown() override {
    MESS_set(10, saved_);
    MESS_set_page(1);
  }

  // Installs the sounding and computes every analysis value.
  static void analyse(UPA_level* sm, int sm_num, UPA_level* wm, int wm_num) {
    THERM_set_data(sm[0].p, sm, sm_num, wm, wm_num);
    THERM_calc();
  }

  static std::vector<std::string> lines_of(const std::function<int()>& f) {
    return capture::lines_of(f);
  }

  // The lines of `table` that begin with `head`.
  static std::vector<std::string> starting(const std::function<int()>& table, const char* head) {
    std::vector<std::string> out;
    for (const auto& l : lines_of(table))
      if (l.rfind(head, 0) == 0) out.push_back(l);
    return out;
  }

  M_type saved_ = 0;
};

}  // namespace

// Lines whose values follow by hand from the mandatory levels, in table order.
TEST_F(Tables, IndicesByHand) {
  analyse(sounding, kLevels, winds, kLevels);
  const auto out = lines_of(THERM_indices);
  const char* want[] = {
      "\n",
      "Sounding variables and indices\n",
      // 5700 m - 100 m.
      "1000-500 mb thick:      5600.00 m\n",
      // 2 C at 700 mb, -12 C at 500 mb: p0 = 700 - 2*200/14 = 671.43 mb; h0 = 3100 +
      // 28.571*2600/200 = 3471.43 m; times 3.2808 = 11389.06 ft.
      "Freezing level:          671.43 mb =  3471.43 m = 11389.06 ft\n",
      // (2 - -12) C over 2600 m = 5.3846 C/km.
      "700-500 lapse rate:        5.38 C/km\n",
      // 12 + 8 - 2*(-12) = 44: the lowest total of "moderate" storms.
      "Total Totals Index:       44.00 C Risk: Scattered moderate thunderstorms\n",
      "  Vertical Totals Index:  24.00 C\n",  // 12 - -12
      "  Cross Totals Index:     20.00 C\n",  // 8 - -12
      // 24 + 8 - (2 - -4) = 26.
      "K Index:                  26.00   Risk: 40-60 % chance of thunderstorms\n",
      // 12*8 + 2*20 + 20 = 156: no shear term for a west wind at 850 mb.
      "Sweat Index:             156.00   Risk: None\n",
      "\n",
      "Parcel Indices\n",
      "Parcel: using 100 mb layer\n",
  };
  int last = -1;
  for (const char* w : want) {
    int at = -1;
    for (std::size_t i = static_cast<std::size_t>(last + 1); i < out.size() && at < 0; ++i)
      if (out[i] == w) at = static_cast<int>(i);
    EXPECT_GT(at, last) << "missing or out of order: " << w;
    if (at > last) last = at;
  }
}

// Three pauses: after the sounding variables, after the indices, after the parcel; each
// at the level of its group, so thinning out sub-level d keeps only the index pause.
TEST_F(Tables, IndexPausesAndThinning) {
  analyse(sounding, kLevels, winds, kLevels);
  auto out = lines_of(THERM_indices);
  int pauses = 0;
  for (const auto& l : out) pauses += l == kPause;
  EXPECT_EQ(pauses, 3);
  int ct = -1;
  for (std::size_t i = 0; i < out.size(); ++i)
    if (out[i].rfind("  Conv temperature:", 0) == 0) ct = static_cast<int>(i);
  ASSERT_GE(ct, 0);
  EXPECT_EQ(out[static_cast<std::size_t>(ct) + 1], kPause);
  EXPECT_EQ(out.back(), kPause);

  // Only the 0x4000 lines of the first two groups remain, and the pause of the second.
  MESS_set(9, 0x8000);  // out1 sub-level d off
  out = lines_of(THERM_indices);
  const std::vector<std::string> heads = {
      "\n", "Sounding variables and indices\n", "1000-500 mb thick:      5600.00 m\n",
      "Lifted Index:            ", "Showalter Index:         ",
      "Total Totals Index:       44.00 C Risk: Scattered moderate thunderstorms\n",
      "K Index:                  26.00   Risk: 40-60 % chance of thunderstorms\n", kPause,
      "\n", "Parcel Indices\n"};
  ASSERT_GE(out.size(), heads.size());
  for (std::size_t i = 0; i < heads.size(); ++i)
    EXPECT_EQ(out[i].rfind(heads[i], 0), 0u) << i << ": " << out[i];
}

// Every 0 C crossing gives a line, upward; a height is missing when a level lacks one,
// and two levels at one pressure take the lower one's height.
TEST_F(Tables, FreezingCrossings) {
  struct Case {
    std::vector<UPA_level> sm;
    std::vector<std::string> want;
    const char* why;
  };
  const std::vector<Case> cases = {
      {{{1000, 100, 5, 0, M, M}, {925, 750, -2, -5, M, M}, {850, 1450, 3, -5, M, M},
        {700, 3050, -5, -10, M, M}},
       // 1000 + 5*75/-7 = 946.43 mb, 100 + 53.571*650/75 = 564.29 m = 1851.31 ft;
       // 925 - 2*75/5 = 895 mb, 750 + 30*700/75 = 1030 m = 3379.22 ft;
       // 850 - 3*150/8 = 793.75 mb, 1450 + 56.25*1600/150 = 2050 m = 6725.64 ft.
       {"Freezing level:          946.43 mb =   564.29 m =  1851.31 ft\n",
        "Freezing level:          895.00 mb =  1030.00 m =  3379.22 ft\n",
        "Freezing level:          793.75 mb =  2050.00 m =  6725.64 ft\n"},
       "warm layer aloft: down, up and down again"},
      {{{1000, 100, -2, -5, M, M}, {925, 750, 3, -5, M, M}, {850, 1450, -4, -10, M, M}},
       // 1000 - 2*75/5 = 970 mb, 100 + 30*650/75 = 360 m = 1181.09 ft;
       // 925 - 3*75/7 = 892.86 mb, 750 + 32.143*700/75 = 1050 m = 3444.84 ft.
       {"Freezing level:      Surface below freezing\n",
        "Freezing level:          970.00 mb =   360.00 m =  1181.09 ft\n",
        "Freezing level:          892.86 mb =  1050.00 m =  3444.84 ft\n"},
       "surface below freezing comes first"},
      {{{1000, M, 5, 0, M, M}, {850, M, -5, -10, M, M}},
       // 1000 - 5*150/10 = 925 mb; no heights to interpolate: the pressure alone, never
       // the missing height printed as a number.
       {"Freezing level:          925.00 mb\n"},
       "levels without heights"},
      {{{1000, 100, 4, 0, M, M}, {900, M, M, M, M, M}, {850, 1400, -2, -8, M, M}},
       // The level without temperature is passed over: 1000 - 4*150/6 = 900 mb,
       // 100 + 100*1300/150 = 966.67 m = 3171.44 ft.
       {"Freezing level:          900.00 mb =   966.67 m =  3171.44 ft\n"},
       "a level without temperature between"},
      {{{1000, 100, 5, 0, M, M}, {1000, 150, -5, -10, M, M}},
       // Both at 1000 mb: the crossing is there, at the lower level's 100 m = 328.08 ft.
       {"Freezing level:         1000.00 mb =   100.00 m =   328.08 ft\n"},
       "two levels at one pressure"},
      {{{1000, 100, 5, 0, M, M}, {850, 1500, 0, -10, M, M}, {700, 3100, 0, -10, M, M}},
       {},
       "0 C counts as above freezing: no crossing"},
  };
  for (auto c : cases) {
    analyse(c.sm.data(), static_cast<int>(c.sm.size()), nullptr, 0);
    EXPECT_EQ(starting(THERM_indices, "Freezing level:"), c.want) << c.why;
  }
}

// A parcel that never becomes buoyant has an LFC of -1: the "none" line, not a level.
TEST_F(Tables, NoFreeConvection) {
  analyse(sounding, kLevels, winds, kLevels);
  ASSERT_EQ(THERM_get_values()->parcel.lfc, -1.0f);
  EXPECT_EQ(starting(THERM_indices, "Lev Free Conv"),
            std::vector<std::string>{"Lev Free Conv (LFC):     none\n"});
}

// The CCL: none found (-1) prints "None"; unknown (-9999) prints nothing.
TEST_F(Tables, ConvectiveCondensation) {
  // Air too dry for its mixing-ratio line to meet the warm profile below 700 mb.
  UPA_level dry[] = {{1000, 100, 20, -30, M, M}, {850, 1500, 15, -30, M, M},
                     {700, 3100, 5, -30, M, M}};
  analyse(dry, 3, nullptr, 0);
  ASSERT_EQ(THERM_get_values()->ccl, -1.0f);
  EXPECT_EQ(starting(THERM_indices, "Conv cond"),
            std::vector<std::string>{"Conv cond level (CCL): None\n"});
  // Without dew points the CCL is unknown, and so is the total totals, which takes the
  // vertical and cross totals with it although the vertical totals are known.
  UPA_level no_dew[] = {{1000, 100, 20, M, M, M}, {850, 1500, 12, M, M, M},
                        {700, 3100, 2, M, M, M}, {500, 5700, -12, M, M, M}};
  analyse(no_dew, 4, nullptr, 0);
  ASSERT_EQ(THERM_get_values()->ccl, M);
  ASSERT_EQ(vertical_totals(no_dew, 4), 24.0f);
  const auto out = lines_of(THERM_indices);
  for (const char* head : {"Conv cond", "  Mean mixing", "Total Totals", "  Vertical", "  Cross"})
    for (const auto& l : out) EXPECT_NE(l.rfind(head, 0), 0u) << l;
}

// A wind that does not change with height: no shear, no helicity, no vorticity, no bulk
// shear (hence no Richardson number); the storm moves 30 degrees to the right of the mean
// wind at three quarters of its speed.
TEST_F(Tables, WindParametersByHand) {
  analyse(sounding, kLevels, winds, kLevels);
  const std::vector<std::string> want = {
      "\n",
      "Wind Parameters\n",
      "Mean winds (0-6000m):            270.0 at   20.0 knts\n",
      "Storm direction:                 300.0 at   15.0 knts\n",
      "Shear (0-3000m)              pos:    0.0 neg:    0.0 tot:    0.0 10-3/s\n",
      "Storm rel Dir Shear (0-3000m):       0.0 deg\n",
      "Storm rel helicity (0-3000m) pos:    0.0 neg:    0.0 tot:    0.0 m^2/s^2\n",
      "                             ave:    0.0 10^-3 m/s^2 rel:   0.00\n",
      "Storm rel vorticity (0-3000m) horiz:    0.0 stream:    0.0 10^-3/s\n",
      "Energy-Hel index:          0.00\n",  // no helicity: 0 whatever the CAPE
      kPause,
  };
  EXPECT_EQ(lines_of(THERM_wind), want);
}

// Storm table: heading, the narrow rows up to 3000 m and the wide ones above.
// Inflow by hand: mean 270/20 kt = (10.288, 0) m/s; storm 300/15 kt = (6.682, -3.858);
// difference (3.606, 3.858) blows toward the north-east, so from 180 + atan(3.606/3.858)
// = 223.1 degrees, at 5.281 m/s = 10.27 knots.
TEST_F(Tables, StormTableByHand) {
  analyse(sounding, kLevels, winds, kLevels);
  const std::string rule =
      "-------------------------------------------------------------------------------\n";
  std::vector<std::string> want = {
      "\n",
      "Storm Parameters\n",
      rule,
      "Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity\n",
      " AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm\n",
      "  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s\n",
      rule,
  };
  for (const char* d : {" 500", "1000", "1500", "2000", "2500", "3000"})
    want.push_back(std::string(d) +
                   "  270  20 223  10|  0.0  0.0  0.0|  0.0   0.0   0.0    0.0  0.00|  0.0  0.0\n");
  for (const char* d : {"4000", "5000", "6000"})
    want.push_back(std::string(d) +
                   "  270  20 223  10|  0.0  0.0  0.0|  0.0   0.0   0.0    0.0  0.00|  0.0  0.0\n");
  EXPECT_EQ(lines_of(THERM_storm_table), want);  // no pause at the end
}

// Layers reaching above the last wind level have no data: the mean, shear and helicity
// columns are blank.
TEST_F(Tables, StormTableNoData) {
  analyse(sounding, kLevels, winds, kLowWinds);  // winds up to 3100 m, 3000 m above ground
  const auto rows = starting(THERM_storm_table, "");
  ASSERT_EQ(rows.size(), 16u);
  EXPECT_EQ(rows[12],
            "3000  270  20 223  10|  0.0  0.0  0.0|  0.0   0.0   0.0    0.0  0.00|  0.0  0.0\n");
  for (std::size_t i = 13; i < 16; ++i)
    EXPECT_EQ(rows[i].substr(4), kNoData) << rows[i];
  // With no wind profile at all there is no mean wind and no storm motion.
  analyse(sounding, kLevels, nullptr, 0);
  EXPECT_EQ(starting(THERM_storm_table, " 500"),
            std::vector<std::string>{" 500" + kNoData});
  EXPECT_TRUE(starting(THERM_wind, "Storm direction").empty());
}

// The storm table is out3 sub-level c: outside the default mask nothing is printed.
TEST_F(Tables, StormTableLevel) {
  analyse(sounding, kLevels, winds, kLevels);
  MESS_set(10, 0x000FFFFF);
  EXPECT_TRUE(lines_of(THERM_storm_table).empty());
}

// Wind-level table: the storm motion in the heading, and the storm-relative wind of each
// row with its speed in knots and its components in m/s. By hand (see the storm table):
// (3.606, 3.858) m/s from 223 degrees at 5.281 m/s = 10.27 knots.
TEST_F(Tables, WindTableStormRelative) {
  analyse(sounding, kLevels, winds, kLevels);
  const auto out = lines_of(THERM_wind_table);
  ASSERT_GE(out.size(), 16u);
  EXPECT_EQ(out[2], "   Storm motion: 300 at  15 knt\n");
  for (std::size_t i = 8; i < 15; ++i) {
    ASSERT_GE(out[i].size(), 36u);
    EXPECT_EQ(out[i].substr(36), " | 223  10   3.6   3.9 \n") << out[i];
  }
  EXPECT_EQ(out[15], kPause);  // a short table pauses at its end
}
