// Sounding listing: the raw report, sounding rows with their labels, blank and dash
// forms and derived moist-air columns, and the wind table. Dash printing is a one-way
// switch of the run; each test starts from a fresh program state (fresh_state.h), with
// missing values printed blank.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "capture.h"
#include "fresh_state.h"
#include "zudupa.h"

namespace {

constexpr M_type kMain = 0x1000;      // basic columns (enabled by default)
constexpr M_type kExt = 0x2000;       // derived columns (enabled by default)
constexpr M_type kOff = 0x10000000;   // a debug level, disabled by default

UPA_level level(float p, float h, float t, float td, float dir, float spd) {
  return UPA_level{p, h, t, td, dir, spd};
}

std::string row(M_type mess2, int ind, const UPA_level& lev) {
  return capture::stdout_of([&] { UPA_print_level(kMain, mess2, ind, &lev); });
}

std::string wind_row(M_type mess2, int ind, const UPA_level& lev, const WIND* storm) {
  return capture::stdout_of([&] { UPA_print_wind(kMain, mess2, ind, &lev, storm); });
}

// A report with every value missing and no levels in use.
UPA_report empty_report() {
  UPA_report r{};
  r.wmo = IMISSING;
  r.lat = r.lon = r.elev = MISSING;
  r.time = IMISSING;
  for (auto& m : r.man) m = level(MISSING, MISSING, MISSING, MISSING, MISSING, MISSING);
  for (auto& s : r.sig) s = UPA_sig_level{MISSING, MISSING, MISSING};
  for (auto& w : r.wnd) w = UPA_wnd_level{MISSING, MISSING, MISSING};
  return r;
}

const UPA_level kDry = level(850, 1500, 20.0f, MISSING, 270, 25);  // dew point missing

class PrintLevel : public FreshState {};
class PrintWind : public FreshState {};
class PrintReport : public FreshState {};
class PrintLocate : public FreshState {};

}  // namespace

// Pressure below 10 mb keeps one decimal; missing dew point blanks DEWP and RH.
TEST_F(PrintLevel, MainColumns) {
  struct Case { int ind; UPA_level lev; const char* want; };
  const Case cases[] = {
      // 7.5 mb: "%4.1f " gives one blank, 7.5, one blank.
      {3, level(7.5f, 33500, -45.3f, MISSING, 270, 45),
       "  3 " " 7.5 " "33500 " "-45.3 " "      " "    " "270 " " 45 " "\n"},
      // 10 mb is no longer below 10: "%4.0f " gives two blanks, 10, one blank.
      {4, level(10, 31000, -48.0f, MISSING, MISSING, MISSING),
       "  4 " "  10 " "31000 " "-48.0 " "      " "    " "    " "    " "\n"},
      // RH by Goff-Gratch: 100 * e(288.15 K) / e(298.15 K) = 53.8 %.
      {12, level(1000, 110, 25.0f, 15.0f, 180, 5),
       " 12 " "1000 " "  110 " " 25.0 " " 15.0 " " 54 " "180 " "  5 " "\n"},
      // Everything missing: only the label and the blank forms.
      {0, level(MISSING, MISSING, MISSING, MISSING, MISSING, MISSING),
       "  0 " "     " "      " "      " "      " "    " "    " "    " "\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(row(kOff, c.ind, c.lev), c.want) << c.ind;
}

// Label codes; -1 says "SFC " only for a level below 500 mb in the atmosphere.
TEST_F(PrintLevel, Labels) {
  struct Case { int ind; float p; const char* label; };
  const Case cases[] = {
      {-1, 1000, "SFC "},    // a surface pressure
      {-1, 500, " -1 "},     // 500 itself is not above 500
      {-1, 400, " -1 "},     // a raised "surface" prints as a number
      {-1, MISSING, " -1 "}, // unknown pressure: a number
      {-2, 400, "TRP "}, {-3, 400, "WND "}, {-4, 400, "PAR "}, {-5, 400, "LCL "},
      {-6, 400, "LFC "}, {-7, 400, " EL "}, {-8, 400, "MPL "}, {-9, 400, "WBZ "},
      {-10, 400, "FRZ "},
      {-11, 400, "-11 "},    // beyond the codes: a number
      {105, 400, "105 "},
  };
  for (const auto& c : cases) {
    std::string got = row(kOff, c.ind, level(c.p, MISSING, MISSING, MISSING, MISSING, MISSING));
    EXPECT_EQ(got.substr(0, 4), c.label) << c.ind << " at " << c.p;
  }
}

// Derived columns of 700 mb, 5.0 C, dew point 3.0 C. Expected values from an
// independent solution of the same physics (exact LCL and saturated-adiabat roots by
// bisection to 1e-10): RH 86.88 %, WETB 3.889 C, THETA 308.02 K, THE-V 309.30 K,
// THE-W 291.38 K, THE-E 328.82 K, W 6.800 g/kg. The iterated values of the calc module
// may differ by a few hundredths, so those three columns are compared within 0.1.
TEST_F(PrintLevel, DerivedColumns) {
  std::string got = row(kExt, 7, level(700, 3012, 5.0f, 3.0f, 275, 15));
  ASSERT_EQ(got.size(), 4u + 5 + 6 * 3 + 4 + 5 + 6 + 4 + 4 + 6 * 4 + 5 + 1) << got;
  EXPECT_EQ(got.substr(0, 31), "  7 " " 700 " " 3012 " "  5.0 " "  3.0 " " 87 ");
  EXPECT_EQ(got.substr(31, 5), " 2.0 ");  // DD: 5.0 - 3.0
  EXPECT_NEAR(std::atof(got.substr(36, 6).c_str()), 3.889, 0.1);
  EXPECT_EQ(got.substr(42, 8), "275  15 ");
  EXPECT_EQ(got.substr(50, 6), "308.0 ");
  EXPECT_EQ(got.substr(56, 6), "309.3 ");
  EXPECT_NEAR(std::atof(got.substr(62, 6).c_str()), 291.38, 0.1);
  EXPECT_NEAR(std::atof(got.substr(68, 6).c_str()), 328.82, 0.1);
  EXPECT_EQ(got.substr(74), " 6.80\n");
}

// Without a dew point the moisture columns are blank; THETA needs only the
// temperature: 293.15 * (1000/850)^0.286 = 307.10 K.
TEST_F(PrintLevel, MissingDewPointBlank) {
  EXPECT_EQ(row(kExt, 2, kDry),
            "  2 " " 850 " " 1500 " " 20.0 " "      " "    " "     " "      " "270 " " 25 "
            "307.1 " "      " "      " "      " "     " "\n");
}

// The same row with dash printing on (a one-way switch, undone by the fixture's reset).
TEST_F(PrintLevel, MissingDewPointDashes) {
  EXPECT_EQ(UPA_get_miss_dash(), 0);
  UPA_set_miss_dash();
  EXPECT_EQ(UPA_get_miss_dash(), 1);
  EXPECT_EQ(row(kExt, 2, kDry),
            "  2 " " 850 " " 1500 " " 20.0 " "    - " "  - " "   - " "    - " "270 "
            " 25 " "307.1 " "    - " "    - " "    - " "    -" "\n");
  EXPECT_EQ(row(kOff, 1, level(MISSING, MISSING, MISSING, MISSING, MISSING, MISSING)),
            "  1 " "   - " "    - " "    - " "    - " "  - " "  - " "  - " "\n");
}

// The heading: main pieces alone, or with the derived pieces between them. The
// rules are as wide as a row: 39 main and 40 derived characters.
TEST_F(PrintLevel, Heading) {
  testing::internal::CaptureStdout();
  UPA_print_level(kMain, kOff, 0, nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "---------------------------------------\n"
            "LEV PRES  HGHT  TEMP  DEWP  RH DIR SPD\n"
            "     mb     m     C     C    % deg knt\n"
            "---------------------------------------\n");
  testing::internal::CaptureStdout();
  UPA_print_level(kMain, kExt, 0, nullptr);
  const std::string both = testing::internal::GetCapturedStdout();
  const std::string rule = std::string(39 + 40, '-') + "\n";
  EXPECT_EQ(both,
            rule +
            "LEV PRES  HGHT  TEMP  DEWP  RH  DD   WETB DIR SPD THETA THE-V THE-W THE-E   W\n"
            "     mb     m     C     C    %   C     C  deg knt   K     K     K     K    g/kg\n" + rule);
  EXPECT_EQ(both.find('\n'), row(kExt, 1, level(700, 3012, 5.0f, 3.0f, 275, 15)).size() - 1);
}

// Wind rows: components in m/s of 225 deg at 20 knots: 20 * 0.5144 * sin 45 = 7.27 each;
// storm 270 deg at 10 knots: (5.144, 0). Storm relative (2.131, 7.275) m/s: speed
// 7.580 m/s = 14.74 knots, direction atan2(-2.131, -7.275) + 360 = 196.3 deg.
TEST_F(PrintWind, Rows) {
  const WIND storm{270, 10};
  const WIND no_storm{MISSING, MISSING};
  const UPA_level lev = level(700, 3012, MISSING, MISSING, 225, 20);
  EXPECT_EQ(wind_row(kExt, 4, lev, &storm),
            "  4  " " 700 " " 3012  " "225 " " 20 " "  7.3 " "  7.3"
            " | 196 " " 15 " "  2.1 " "  7.3 " "\n");
  // The storm-relative part belongs to the extended level, line end included.
  EXPECT_EQ(wind_row(kOff, 4, lev, &storm), "  4   700  3012  225  20   7.3   7.3");
  // Without a storm motion the row ends at the main level.
  EXPECT_EQ(wind_row(kExt, 4, lev, &no_storm), "  4   700  3012  225  20   7.3   7.3\n");
  EXPECT_EQ(wind_row(kExt, 4, lev, nullptr), "  4   700  3012  225  20   7.3   7.3\n");
  // A level without wind: blank columns and no storm-relative part.
  EXPECT_EQ(wind_row(kExt, 12, level(MISSING, MISSING, MISSING, MISSING, MISSING, MISSING),
                     &storm),
            " 12  " "     " "       " "    " "    " "      " "     " "\n");
}

// The wind heading states the storm motion at the extended level; without one every
// line ends at the main level.
TEST_F(PrintWind, Heading) {
  const WIND storm{240, 25};
  const std::string rule = std::string(36 + 22, '-') + "\n";
  testing::internal::CaptureStdout();
  UPA_print_wind(kMain, kExt, 0, nullptr, &storm);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\nWind level data\n"
            "   Storm motion: 240 at  25 knt\n" + rule +
            "                   TRUE/GROUND REL   |     STORM REL\n"
            " LEV   P    H    DIR SPD   U     V   | DIR SPD   U     V\n"
            "       mb   m        knt     m/s     |     knt     m/s\n" + rule);
  const WIND none{MISSING, 25};
  const std::string main_only =
      "\nWind level data\n"
      "------------------------------------\n"
      "                   TRUE/GROUND REL   \n"
      " LEV   P    H    DIR SPD   U     V   \n"
      "       mb   m        knt     m/s     \n"
      "------------------------------------\n";
  for (const WIND* s : {&none, static_cast<const WIND*>(nullptr)}) {
    testing::internal::CaptureStdout();
    UPA_print_wind(kMain, kExt, 0, nullptr, s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), main_only);
  }
}

// The raw report: labelled mandatory slots, then significant and wind levels in two
// columns, first half left. Five levels give rows (0, 3), (1, 4), then 2 alone; four
// wind levels give (0, 2), (1, 3).
TEST_F(PrintReport, TwoColumnHalves) {
  UPA_report r = empty_report();
  r.man[0] = level(1012, 300, 25.0f, 20.0f, 180, 10);
  r.man[5] = level(500, 5800, -10.5f, -20.0f, 270, 50);
  r.man[22] = level(200, MISSING, -55.0f, -60.0f, 260, 80);
  r.man[23] = level(250, MISSING, MISSING, MISSING, 265, 95);
  r.numsig = 5;
  const float sp[] = {1012, 900, 800, 700, 600};
  for (int i = 0; i < 5; ++i) r.sig[i] = UPA_sig_level{sp[i], 20.0f - i, 10.0f - i};
  r.numwnd = 4;
  for (int i = 0; i < 4; ++i) r.wnd[i] = UPA_wnd_level{1000.0f * i, 200.0f + 10 * i, 10.0f + i};
  testing::internal::CaptureStdout();
  EXPECT_EQ(UPA_print_report(kMain, &r), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "     Press    Height   Temp    Dewpt     Dir    Spd\n"
            "SFC  1012.0      300     25.0    20.0     180     10\n"
            "      500.0     5800    -10.5   -20.0     270     50\n"
            "TROP  200.0    -9999    -55.0   -60.0     260     80\n"
            "MWND  250.0    -9999  -9999.0 -9999.0     265     95\n"
            "Press    Temp    Dewpt     Press    Temp    Dewpt\n"
            "1012.0     20.0    10.0     700.0     17.0     7.0\n"
            " 900.0     19.0     9.0     600.0     16.0     6.0\n"
            " 800.0     18.0     8.0\n"
            "Height    Dir    Spd     Height    Dir    Spd\n"
            "     0     200     10      2000     220     12\n"
            "  1000     210     11      3000     230     13\n"
            "\n");
}

// Counts beyond the arrays are held to the arrays: a damaged count cannot read past.
TEST_F(PrintReport, CountsHeldToArrays) {
  UPA_report r = empty_report();
  r.numsig = UPA_MAX_SIG + 50;
  r.numwnd = -3;
  testing::internal::CaptureStdout();
  UPA_print_report(kMain, &r);
  const std::string got = testing::internal::GetCapturedStdout();
  const int sig_rows = capture::count_of(got, "-9999.0 -9999.0    -9999.0");
  EXPECT_EQ(sig_rows, UPA_MAX_SIG / 2);  // 200 levels: 100 rows
}

// Location block: only the known parts of the location are printed.
TEST_F(PrintLocate, KnownPartsOnly) {
  UPA_report r = empty_report();
  std::snprintf(r.id, sizeof r.id, "%s", "OAX");
  r.wmo = 72558;
  r.lat = 41.32f;
  testing::internal::CaptureStdout();
  UPA_print_locate(kMain, &r);
  std::string got = testing::internal::GetCapturedStdout();
  EXPECT_EQ(got.substr(got.find('\n') + 1),
            "Station: OAX\n"
            "WMO ident:  72558\n"
            "Latitude:   41.32\n");
  EXPECT_EQ(got.substr(0, 5), "Date:");
}

// A level set up empty holds missing in all six fields.
TEST(LevelInit, AllMissing) {
  UPA_level lev = level(1, 2, 3, 4, 5, 6);
  EXPECT_EQ(UPA_level_init(&lev), 0);
  for (float v : {lev.p, lev.h, lev.t, lev.td, lev.dir, lev.spd}) EXPECT_EQ(v, MISSING);
}
