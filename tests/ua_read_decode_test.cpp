// Decoding of the 5-character groups of the converted upper-air text layouts.
// Every expected value is worked out by hand from the group's digits.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "zudupa.h"

namespace {

// One group and the two values and return code its decoder must give.
struct GroupCase {
  const char* group;
  float first, second;
  int rc;
};

// Runs a two-value group decoder over the cases; both outputs start at 1 so that a
// value left unwritten shows.
template <std::size_t N>
void check_decoder(int (*decode)(const char*, float*, float*), const GroupCase (&cases)[N]) {
  for (const GroupCase& c : cases) {
    float first = 1.0f;
    float second = 1.0f;
    EXPECT_EQ(decode(c.group, &first, &second), c.rc) << c.group;
    EXPECT_FLOAT_EQ(first, c.first) << c.group;
    EXPECT_FLOAT_EQ(second, c.second) << c.group;
  }
}

// PPhhh groups: pressure from PP and height from hhh by each level's own height rule.
TEST(DecodeGroups, PressureHeight) {
  const GroupCase cases[] = {
      {"85512", 850, 1512, 0},        // 850 mb: 1000 + 512
      {"70985", 700, 2985, 0},        // 700 mb, hhh 985 > 500: 2000 + 985
      {"70012", 700, 3012, 0},        // 700 mb, hhh 12: 3000 + 12
      {"70500", 700, 3500, 0},        // hhh exactly 500 is not above 500: 3000 + 500
      {"70501", 700, 2501, 0},        // first value of the 2xxx branch: 2000 + 501
      {"00520", 1000, -20, 0},        // 1000 mb below sea level: 500 - 520
      {"00500", 1000, 0, 0},          // hhh 500 takes the below-sea-level rule: 500 - 500
      {"00499", 1000, 499, 0},        // largest positive 1000 mb height
      {"92750", 925, 750, 0},         // code 92 is 925 mb, height as written
      {"50570", 500, 5700, 0},        // decametres: 10 x 570
      {"40740", 400, 7400, 0},        // 10 x 740
      {"30930", 300, 9300, 0},        // 930 > 500: 10 x 930
      {"30500", 300, 15000, 0},       // 500 is not above 500: 10000 + 10 x 500
      {"25060", 250, 10600, 0},       // 10000 + 10 x 60
      {"20190", 200, 11900, 0},       // 10000 + 10 x 190
      {"10650", 100, 16500, 0},       // 10000 + 10 x 650
      {"07870", 70, 18700, 0},        // code 07 is 70 mb: 10000 + 10 x 870
      {"05080", 50, 20800, 0},        // 80 <= 500: 20000 + 10 x 80
      {"05990", 50, 19900, 0},        // 990 > 500: 10000 + 10 x 990
      {"03400", 30, 24000, 0},        // 20000 + 10 x 400
      {"02650", 20, 26500, 0},        // 20000 + 10 x 650
      {"01100", 10, 31000, 0},        // 100 <= 500: 30000 + 10 x 100
      {"01990", 10, 29900, 0},        // 990 > 500: 20000 + 10 x 990
      {"-7560", 7, 35600, 0},         // "-7" is 7 mb: 30000 + 10 x 560
      {"-5590", 5, 35900, 0},         // 30000 + 10 x 590
      {"-3930", 3, 39300, 0},         // 930 > 500: 30000 + 10 x 930
      {"-2200", 2, 42000, 0},         // 200 <= 500: 40000 + 10 x 200
      {"-1750", 1, 47500, 0},         // 750 > 500: 40000 + 10 x 750
      {"-1100", 1, 51000, 0},         // 100 <= 500: 50000 + 10 x 100
      {"88210", 880, 210, 0},         // a tropopause group: 880 has no rule, hhh kept
      {"99999", MISSING, MISSING, -1},  // PP 99: pressure and height missing
      {"99120", MISSING, MISSING, -1},  // PP 99 whatever the height digits
      {"X", MISSING, MISSING, -1},      // the missing group of kinds 3-5
      {"XYZ12", MISSING, MISSING, -1},  // any token beginning with X is missing
      {"85/12", 850, MISSING, -1},      // unreadable height: the pressure stays
      {"00///", 1000, MISSING, -1},     // code 00 still names 1000 mb without a height
      {"92", 925, MISSING, -1},         // code 92 still names 925 mb without a height
      {"ABCDE", MISSING, MISSING, -1},  // no pressure code at all
      {"", MISSING, MISSING, -1},       // empty token
  };
  check_decoder(decd_ph, cases);
}

// TTTdd groups: tenths of a degree with the odd-tenths sign rule, then the depression.
TEST(DecodeGroups, TemperatureDewPoint) {
  const GroupCase cases[] = {
      {"23156", -23.1f, -29.1f, 0},  // odd tenths: -23.1; dd 56 is 56 - 50 = 6 degrees
      {"23012", 23.0f, 21.8f, 0},    // dd 12 is 1.2 degrees
      {"23056", 23.0f, 17.0f, 0},    // dd 56: 6 degrees
      {"23099", 23.0f, MISSING, 0},  // dd 99: dew point missing, temperature kept
      {"23050", 23.0f, 18.0f, 0},    // dd 50 is the last tenths code: 5.0 degrees
      {"23051", 23.0f, 22.0f, 0},    // dd 51 takes the whole-degree rule: 1 degree
      {"00000", 0.0f, 0.0f, 0},      // zero is written with an even tenths digit
      {"00100", -0.1f, -0.1f, 0},    // smallest negative temperature, saturated
      {"44399", -44.3f, MISSING, 0}, // cold upper level without humidity
      {"99900", MISSING, MISSING, -1},  // TTT 999: both missing
      {"X", MISSING, MISSING, -1},      // missing group
      {"231", -23.1f, MISSING, 0},      // dd absent: only the dew point is lost
      {"2x0y1", MISSING, MISSING, -1},  // damaged digits give nothing, not 0.2 degrees
      {"A2301", MISSING, MISSING, -1},  // not a number
  };
  check_decoder(decd_td, cases);
}

// dddff groups: the direction's units digit carries the hundreds of the speed.
TEST(DecodeGroups, Wind) {
  const GroupCase cases[] = {
      {"27515", 275, 15, 0},            // plain: 275 deg 15 kt
      {"27615", 275, 115, 0},           // 276 = 275 + 1 hundred: 115 kt
      {"36290", MISSING, MISSING, 0},   // 362 -> 360 deg, 290 kt is over 250: rejected
      {"36250", 360, 250, 0},           // 250 kt is still accepted
      {"36505", MISSING, MISSING, 0},   // 365 deg is past north: rejected
      {"00000", 0, 0, 0},               // calm
      {"99999", MISSING, MISSING, 0},   // ddd 999: missing, but the result is 0
      {"99900", MISSING, MISSING, 0},   // same whatever ff says
      {"X", MISSING, MISSING, -1},      // missing group
      {"27", MISSING, MISSING, -1},     // speed digits absent
      {"??????", MISSING, MISSING, -1}, // not a number
  };
  check_decoder(decd_wd, cases);
}

// Initialising a report empties everything but the report kind code.
TEST(Report, Initialize) {
  UPA_report r;
  std::memset(&r, 0x55, sizeof r);
  r.type = 17;
  EXPECT_EQ(UPA_initialize(&r), 0);
  EXPECT_EQ(r.type, 17);  // left as found
  EXPECT_EQ(r.time, IMISSING);
  EXPECT_EQ(r.wmo, IMISSING);
  EXPECT_STREQ(r.id, "");
  EXPECT_STREQ(r.area, "");
  EXPECT_EQ(r.lat, MISSING);
  EXPECT_EQ(r.lon, MISSING);
  EXPECT_EQ(r.elev, MISSING);
  EXPECT_EQ(r.numman, 0);
  EXPECT_EQ(r.numsig, 0);
  EXPECT_EQ(r.numwnd, 0);
  for (const auto& m : r.man) {
    EXPECT_EQ(m.p, MISSING);
    EXPECT_EQ(m.h, MISSING);
    EXPECT_EQ(m.t, MISSING);
    EXPECT_EQ(m.td, MISSING);
    EXPECT_EQ(m.dir, MISSING);
    EXPECT_EQ(m.spd, MISSING);
  }
  EXPECT_EQ(r.sig[UPA_MAX_SIG - 1].td, MISSING);  // the last entries too
  EXPECT_EQ(r.wnd[UPA_MAX_WND - 1].spd, MISSING);
}

}  // namespace
