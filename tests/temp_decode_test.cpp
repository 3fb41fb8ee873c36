// TEMP group decoders, report dating and the bulletin reader fed in pieces. Expected values
// are worked by hand from the code tables (WMO-No. 306: 3931 temperature sign by the
// parity of the tenths, 0777 dew-point depression, FM 35 height rules).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "reader_feed.h"
#include "zudingest.h"

namespace {

constexpr float kM = MISSING;

// Seconds of a UTC date, for the current time of the dating tests.
std::int64_t at(int y, int mo, int d, int h) {
  Date date{y, mo, d, 0, 0, h, 0, 0};
  DATE_monday_julian(y, mo, d, &date.jday);
  return DATE_num_sec(&date);
}

TEST(TempGroups, Temperature) {
  struct Case { const char* g; float t, td; int rc; };
  const Case cases[] = {
      {"08863", 8.8f, -4.2f, 0},     // even tenths: above zero; DD 63 = 13 C
      {"23156", -23.1f, -29.1f, 0},  // odd tenths: below zero; DD 56 = 6 C
      {"00150", -0.1f, -5.1f, 0},    // DD 50 = 5.0 C, the last tenths value
      {"12505", -12.5f, -13.0f, 0},  // DD 05 = 0.5 C
      {"12552", -12.5f, kM, 0},      // DD 51-55 are not used: dew point missing
      {"23099", 23.0f, -26.0f, 0},   // DD 99 = 49 C (it is "missing" only in the files)
      {"234//", 23.4f, kM, 0},       // no humidity
      {"/////", kM, kM, -1},
      {"2A4//", kM, kM, -1},         // garbled
      {"1234", kM, kM, -1},          // short
  };
  for (const Case& c : cases) {
    float t = 0, td = 0;
    EXPECT_EQ(TEMP_decode_td(c.g, &t, &td), c.rc) << c.g;
    EXPECT_NEAR(t, c.t, 1e-4) << c.g;
    EXPECT_NEAR(td, c.td, 1e-4) << c.g;
  }
}

// Every temperature group, bit for bit: the temperature is TTT / 10 with the sign of its
// parity, the dew point that less DD / 10 (to 50) or DD - 50 (from 56), each worked in
// double and kept as a float, as the converted files written so far hold them.
TEST(TempGroups, EveryTemperatureGroupAsTheDivisionGivesIt) {
  char g[6] = {};
  for (int ttt = 0; ttt <= 999; ++ttt) {
    double v = ttt / 10.0;
    if (ttt % 2 == 1) v = -v;
    for (int dd = 0; dd <= 99; ++dd) {
      std::snprintf(g, sizeof g, "%03d%02d", ttt, dd);
      float t = 0, td = 0;
      ASSERT_EQ(TEMP_decode_td(g, &t, &td), 0) << g;
      ASSERT_EQ(t, static_cast<float>(v)) << g;
      if (dd <= 50) {
        ASSERT_EQ(td, static_cast<float>(v - dd / 10.0)) << g;
      } else if (dd >= 56) {
        ASSERT_EQ(td, static_cast<float>(v - (dd - 50))) << g;
      } else {
        ASSERT_EQ(td, kM) << g;
      }
    }
  }
}

TEST(TempGroups, Wind) {
  struct Case { const char* g; bool knots; float dir, spd; int rc; };
  const Case cases[] = {
      {"11612", true, 115, 112, 0},   // units digit 1 of ddd: 115 deg, 100 + 12 kt
      {"27620", true, 275, 120, 0},
      {"22632", true, 225, 132, 0},
      {"36290", true, 360, 290, 0},   // 2 in the units: 200 + 90
      {"00000", true, 0, 0, 0},       // calm
      {"27515", false, 275, 15 * 3600.0f / 1852.0f, 0},  // m/s to knots: 29.16
      {"14501", false, 145, 3600.0f / 1852.0f, 0},
      {"37020", true, kM, kM, -1},    // no direction beyond 360
      {"/////", true, kM, kM, -1},
      {"275//", true, kM, kM, -1},
  };
  for (const Case& c : cases) {
    float d = 0, s = 0;
    EXPECT_EQ(TEMP_decode_wind(c.g, c.knots, &d, &s), c.rc) << c.g;
    EXPECT_FLOAT_EQ(d, c.dir) << c.g;
    EXPECT_NEAR(s, c.spd, 1e-3) << c.g;
  }
}

TEST(TempGroups, StandardLevel) {
  struct Case { const char* g; bool upper; float p, h; int rc; };
  const Case cases[] = {
      {"00121", false, 1000, 121, 0},
      {"00550", false, 1000, -50, 0},    // below sea level: 500 + 50
      {"00525", false, 1000, -25, 0},
      {"92730", false, 925, 730, 0},
      {"85512", false, 850, 1512, 0},    // thousands dropped
      {"70985", false, 700, 2985, 0},    // nearest 3000 m: 2xxx above 500
      {"70138", false, 700, 3138, 0},
      {"50572", false, 500, 5720, 0},    // decametres from 500 mb up
      {"40739", false, 400, 7390, 0},
      {"30962", false, 300, 9620, 0},
      {"25054", false, 250, 10540, 0},   // ten-thousands dropped
      {"20209", false, 200, 12090, 0},
      {"10653", false, 100, 16530, 0},
      {"70865", true, 70, 18650, 0},     // part C, the same decametre rule
      {"50064", true, 50, 20640, 0},
      {"30380", true, 30, 23800, 0},
      {"10059", true, 10, 30590, 0},
      {"07291", true, 7, 32910, 0},      // above 10 mb (US part C)
      {"85///", false, 850, kM, -1},     // height missing, pressure kept
      {"83123", false, kM, kM, -1},      // no standard level 830 mb
      {"85512", true, kM, kM, -1},       // 850 is no part C level
  };
  for (const Case& c : cases) {
    float p = 0, h = 0;
    EXPECT_EQ(TEMP_decode_std(c.g, c.upper, &p, &h), c.rc) << c.g;
    EXPECT_FLOAT_EQ(p, c.p) << c.g;
    EXPECT_FLOAT_EQ(h, c.h) << c.g;
  }
}

// A report names day and hour only: the month and year of the latest such day.
TEST(TempDate, LatestSuchDay) {
  struct Case { std::int64_t now; int day, hour, y, m; };
  const Case cases[] = {
      {at(2026, 2, 6, 12), 6, 0, 2026, 2},    // today
      {at(2026, 2, 6, 0), 5, 23, 2026, 2},    // the launch before the hour
      {at(2026, 2, 6, 0), 6, 12, 2026, 2},    // later today still today
      {at(2026, 2, 6, 12), 7, 0, 2026, 1},    // tomorrow's day: last month
      {at(2026, 3, 1, 0), 30, 12, 2026, 1},   // February has no 30th
      {at(2024, 3, 1, 0), 29, 0, 2024, 2},    // leap year
      {at(2026, 1, 2, 0), 31, 0, 2025, 12},   // across the year
  };
  for (const Case& c : cases) {
    Date d{};
    ASSERT_EQ(TEMP_date(c.day, c.hour, c.now, &d), 0);
    EXPECT_EQ(d.year, c.y) << c.day;
    EXPECT_EQ(d.month, c.m) << c.day;
    EXPECT_EQ(d.day, c.day);
    EXPECT_EQ(d.hour, c.hour);
  }
  Date d{};
  EXPECT_EQ(TEMP_date(32, 0, at(2026, 2, 6, 0), &d), -1);
}

// Decodes `text`, fed to the reader in pieces of `chunk` bytes, at 12 UTC on 6 Feb 2026.
std::vector<ING_report> read_all(const std::string& text, std::size_t chunk, ING_counts* counts) {
  auto reader = TEMP_reader();
  Fed fed = feed_reader(reader.get(), {text}, chunk, at(2026, 2, 6, 12));
  *counts = fed.counts;
  return fed.reps;
}

// A bulletin of two stations with a NIL, a repetition and a correction, read whole and
// one byte at a time: the same reports either way.
TEST(TempReader, BulletinsInPieces) {
  const std::string text =
      "\x01\n123 \nUSUS01 KWBC 060000\n"
      "TTAA 56001 72518 99001 03958 29004 00121 03758 32011=\n"
      "TTAA 5600/ 72215 NIL=\n"
      "TTAA 56001 72357 99978 20259 31009 85469 08856 32015 88175 67756 33061\n77173 33062=\n"
      "\x03\x01\n124 \nUSUS01 KWBC 060000 RRA\n"
      "TTAA 56001 72518 99001 03958 29004 00121 03758 32011=\n"
      "\x03\x01\n125 \nUSUS01 KWBC 060000 CCA\n"
      "TTAA 56001 72357 99978 20259 31009 85469 08856 32015 88175 67756 33061\n77173 33063=\n"
      "\x03\n";
  for (std::size_t chunk : {text.size(), std::size_t{1}, std::size_t{7}}) {
    ING_counts n;
    std::vector<ING_report> reps = read_all(text, chunk, &n);
    ASSERT_EQ(reps.size(), 2u) << chunk;
    EXPECT_EQ(n.bulletins, 3);
    EXPECT_EQ(n.nil, 1);
    EXPECT_EQ(n.duplicates, 1);
    EXPECT_EQ(n.corrected, 1);
    EXPECT_EQ(n.reports, 2);
    const ING_report& norman = reps[0];  // map order: 72357 first
    EXPECT_EQ(norman.wmo, 72357);
    EXPECT_EQ(norman.date.month, 2);
    EXPECT_FLOAT_EQ(norman.sfc.p, 978);
    ASSERT_EQ(norman.mwnd.size(), 1u);
    EXPECT_FLOAT_EQ(norman.mwnd[0].spd, 63);  // the correction's 33063, not 33062
    ASSERT_EQ(norman.trop.size(), 1u);
    EXPECT_FLOAT_EQ(norman.trop[0].p, 175);
    EXPECT_NEAR(norman.trop[0].t, -67.7, 1e-4);
  }
}

// A correction that arrives before the report it corrects still stands; of two different
// sendings without a correction heading the fuller one stands.
TEST(TempReader, CorrectionFirst) {
  const std::string text =
      "USUS01 KWBC 060000 CCA\n"
      "TTAA 56001 72357 99978 20259 31009 77173 33063=\n"
      "USUS01 KWBC 060000\n"
      "TTAA 56001 72357 99978 20259 31009 85469 08856 32015 77173 33062=\n"
      "TTAA 56001 72518 99001 03958 29004=\n"
      "USUS01 KWBC 060000 RRA\n"
      "TTAA 56001 72518 99001 03958 29004 00121 03758 32011=\n";
  ING_counts n;
  std::vector<ING_report> reps = read_all(text, text.size(), &n);
  ASSERT_EQ(reps.size(), 2u);
  ASSERT_EQ(reps[0].mwnd.size(), 1u);
  EXPECT_FLOAT_EQ(reps[0].mwnd[0].spd, 63);  // the correction's
  EXPECT_TRUE(reps[0].man.empty());
  EXPECT_EQ(reps[1].man.size(), 1u);         // the fuller RRA sending
  EXPECT_EQ(n.duplicates, 2);
}

// Parts B and D with 21212 winds, PILOT levels by height, and the Id rule of part A.
TEST(TempReader, PartsJoined) {
  const std::string text =
      // Id 7: winds to 700 mb only; 500 mb has no wind group.
      "TTAA 55237 40179 99008 12819 09002 00098 16057 17505 85476 12683 24018 "
      "70069 00668 25019 50567 16316 88999 77999=\n"
      "TTBB 55238 40179 00008 12819 11994 18264 21212 00008 09002 11988 19510=\n"
      "TTDD 5523/ 40179 11967 83949 22890 78960=\n"
      // PILOT part B in Region IV: thousands of feet, "/" the surface.
      "PPBB 56008 72357 90/23 31009 32014 31016 9205/ 32537 34538=\n"
      // PILOT part B elsewhere: units of 300 m.
      "PPBB 06001 15420 90012 10502 15005 20010=\n";
  ING_counts n;
  std::vector<ING_report> reps = read_all(text, 5, &n);
  ASSERT_EQ(reps.size(), 3u);
  const ING_report& r = reps[1];  // 40179
  ASSERT_EQ(r.wmo, 40179);
  EXPECT_EQ(r.date.day, 5);
  EXPECT_EQ(r.date.hour, 23);
  ASSERT_EQ(r.man.size(), 4u);
  EXPECT_FLOAT_EQ(r.man[3].p, 500);
  EXPECT_FLOAT_EQ(r.man[3].h, 5670);
  EXPECT_FLOAT_EQ(r.man[3].dir, kM);       // beyond Id
  EXPECT_FLOAT_EQ(r.man[2].dir, 250);      // 700 mb: 25019
  ASSERT_EQ(r.sig.size(), 4u);             // two in part B, two in part D
  EXPECT_FLOAT_EQ(r.sig[1].p, 994);
  EXPECT_NEAR(r.sig[2].p, 96.7, 1e-4);     // part D in tenths of mb
  ASSERT_EQ(r.wind.size(), 1u);            // 21212: the surface goes to the surface
  EXPECT_FLOAT_EQ(r.wind[0].p, 988);
  EXPECT_FLOAT_EQ(r.wind[0].dir, 195);
  EXPECT_FLOAT_EQ(r.wind[0].spd, 10);

  const ING_report& ok = reps[2];  // 72357: 2000, 3000, 20000, 25000 ft
  ASSERT_EQ(ok.wmo, 72357);
  EXPECT_FLOAT_EQ(ok.sfc.dir, 310);
  ASSERT_EQ(ok.wind.size(), 4u);
  EXPECT_NEAR(ok.wind[0].h, 2000 * 0.3048, 1e-2);
  EXPECT_NEAR(ok.wind[3].h, 25000 * 0.3048, 1e-2);
  EXPECT_FLOAT_EQ(ok.wind[3].dir, 345);
  EXPECT_FLOAT_EQ(ok.wind[3].spd, 38);

  const ING_report& bu = reps[0];  // 15420: level 0 the surface, 1 and 2 at 300 and 600 m
  ASSERT_EQ(bu.wmo, 15420);
  ASSERT_EQ(bu.wind.size(), 2u);
  EXPECT_FLOAT_EQ(bu.wind[0].h, 300);
  EXPECT_FLOAT_EQ(bu.wind[1].h, 600);
  EXPECT_NEAR(bu.wind[1].spd, 10 * 3600.0 / 1852.0, 1e-3);
}

}  // namespace
