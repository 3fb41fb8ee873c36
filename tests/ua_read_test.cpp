// Reading upper-air text files: layout detection, the date line, each layout end to end,
// block positioning, and damaged input. Expected values are decoded by hand from the
// groups of the fixtures in tests/data (the working is in the comments).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "file_bytes.h"
#include "level_check.h"
#include "tmpdir.h"
#include "zudupa.h"

namespace {

std::string fixture(const char* name) { return std::string(ZUD_TEST_DATA) + "/" + name; }
std::string scratch(const std::string& name) { return zud_test_tmpdir() + name; }

// Opens with kind detection; returns the kind, -1 when the open failed.
int open_auto(const std::string& path) {
  int kind = 0;
  return UPA_open(path.c_str(), 0, &kind) < 0 ? -1 : kind;
}

// Reads block n in the form rep; checks that the reader leaves the counter alone.
int read_block(int n, UPA_report* r, int rep = UPA_REP_ALL) {
  int statnum = n;
  int rc = UPA_read(0, r, rep, &statnum);
  EXPECT_EQ(statnum, n) << "the reader must not advance the caller's counter";
  return rc;
}

// Station identifiers of blocks 0, 1, ... read one after another until a read fails.
std::string list_ids(int limit = 100) {
  std::string ids;
  UPA_report r;
  for (int n = 0; n < limit && read_block(n, &r, UPA_REP_IDENT) == 0; ++n) ids += std::string(r.id) + " ";
  return ids;
}

constexpr float M = MISSING;

// ---- kind detection ---------------------------------------------------------------------

// The layout is told from the first word, the file's first character and the number that
// starts the third line.
TEST(KindDetection, FromContent) {
  struct Case { const char* text; int kind; };
  const Case cases[] = {
      {"ZUDUPA+\n12Z 15 JUN 95\n", 4},     // header word of kind 4
      {"ZUDUPAx\n12Z 15 JUN 95\n", 5},     // header word of kind 5
      {"ZUDUPA\n12Z 15 JUN 95\n", 3},      // header word of kind 3
      {"ZUDUPA-\n", 3},                    // 7 characters, seventh neither '+' nor 'x'
      {"ZQQQQQ+\n", 4},                    // only first, length and seventh are looked at
      {"ZUDUPA++\n", 3},                   // 8 characters: not kind 4
      {"ZUDUPAx-LONGER\n", 3},             // longer than the 9 characters read
      {"  ZUDUPA+\n", 4},                  // blanks before the header word are passed over
      {"12Z 15 JUN 95\nK1A 00110\n 3 998 26456\n", 1},  // third line: count 3
      {"12Z 15 JUN 95\nK1A 00110\n21 998 26456\n", 1},  // 21 is still below 22
      {"12Z 15 JUN 95\nK2A 00110\n22 998 26456\n", 2},  // 22: the long layout
      {"00Z 16 JUN 95\nK2A 00110\n40740 19160\n", 2},  // 400 mb group of kind 2
      {"00Z 16 JUN 95\nK2A 00110\n99999 99999\n", 2},  // missing 400 mb group
      {" 6Z 15 JUN 95\nK1A 00110\n 3 998 26456\n", 1},  // date line begins with a blank
      {" 6Z 15 JUN 95\nK2A 00110\n40740 19160\n", 2},
      {"12Z 15 JUN 95\nK1A 00110\n", -1},   // no third line: kind 1 and 2 cannot be told
      {"12Z 15 JUN 95\nK1A 00110\nABC\n", -1},  // third line without a number
      {"9Z 15 JUN 95\nK1A\n 3\n", -1},      // '9' starts no known layout
      {"\n12Z 15 JUN 95\nK1A\n 3\n", -1},   // an empty first line starts no layout
      {"<upa>\n</upa>\n", -1},              // the mark-up layout is never detected
      {"CDF\x01garbage", -1},               // "CDF" start without a readable netCDF file
      {"", -1},                             // empty file
  };
  int i = 0;
  for (const auto& c : cases) {
    std::string path = scratch("chk_" + std::to_string(i++) + ".upa");
    spit(path, c.text);
    EXPECT_EQ(UPA_chktype(path.c_str()), c.kind) << c.text;
  }
}

TEST(KindDetection, Fixtures) {
  EXPECT_EQ(UPA_chktype(fixture("kind1.upa").c_str()), 1);
  EXPECT_EQ(UPA_chktype(fixture("kind2.upa").c_str()), 2);
  EXPECT_EQ(UPA_chktype(fixture("kind3.upa").c_str()), 3);
  EXPECT_EQ(UPA_chktype(fixture("kind4.upa").c_str()), 4);
  EXPECT_EQ(UPA_chktype(fixture("kind5.upa").c_str()), 5);
  EXPECT_EQ(UPA_chktype(fixture("blank_date.upa").c_str()), 1);
  EXPECT_EQ(UPA_chktype(fixture("markup.upa").c_str()), -1);
  EXPECT_EQ(UPA_chktype(fixture("empty.upa").c_str()), -1);
  EXPECT_EQ(UPA_chktype(fixture("binary.bin").c_str()), -1);
  EXPECT_EQ(UPA_chktype(fixture("no_such_file.upa").c_str()), -1);
  EXPECT_EQ(UPA_chktype(ZUD_TEST_DATA), -1);  // a directory
  EXPECT_EQ(UPA_chktype(nullptr), -1);
  EXPECT_EQ(UPA_chktype(ZUD_SAMPLE_DATA "/sample.upa"), 4);
}

// ---- opening and the date line ----------------------------------------------------------

TEST(OpenFile, AccessAndKinds) {
  int kind = 0;
  EXPECT_GE(UPA_open(fixture("kind4.upa").c_str(), 0, &kind), 0);
  EXPECT_EQ(kind, 4);  // the detected kind is handed back
  kind = 0;
  EXPECT_EQ(UPA_open(scratch("w.upa").c_str(), 1, &kind), -1);  // no detection for writing
  kind = 4;
  EXPECT_EQ(UPA_open(fixture("kind4.upa").c_str(), 2, &kind), -1);  // unknown access
  kind = 7;
  EXPECT_EQ(UPA_open(fixture("kind4.upa").c_str(), 0, &kind), -1);  // unknown kind
  kind = 0;
  EXPECT_EQ(UPA_open(fixture("markup.upa").c_str(), 0, &kind), -1);
  EXPECT_EQ(kind, -1);
  kind = 4;
  EXPECT_EQ(UPA_open(ZUD_TEST_DATA, 0, &kind), -1);  // a directory is no data file
  // After a failed open nothing is open: every read fails.
  UPA_report r;
  EXPECT_EQ(read_block(0, &r), -1);
  EXPECT_EQ(UPA_rewind(0), -1);
  UPA_info info;
  EXPECT_EQ(UPA_getinfo(0, &info), 1);
}

TEST(OpenFile, WriteAccess) {
  int kind = 4;
  std::string path = scratch("written.upa");
  EXPECT_GE(UPA_open(path.c_str(), 1, &kind), 0);
  UPA_report r;
  EXPECT_EQ(read_block(0, &r), -1);  // a file open for writing is not read
  UPA_info info;
  EXPECT_EQ(UPA_getinfo(0, &info), 1);
}

TEST(FileInfo, DateLabel) {
  struct Case { const char* file; const char* label; };
  const Case cases[] = {
      {"kind4.upa", "12Z 15 JUN 95"},       // after the header line
      {"kind1.upa", "12Z 15 JUN 95"},       // headerless: the first line
      {"blank_date.upa", " 6Z 15 JUN 95"},  // the leading blank belongs to the label
      {"crlf.upa", "12Z 15 JUN 95"},        // carriage return removed
      // longer than 39 characters: cut to the first 39
      {"long_date.upa", "12Z 15 JUN 95 EXTRA TEXT EXTRA TEXT EXT"},
  };
  for (const auto& c : cases) {
    ASSERT_GT(open_auto(fixture(c.file)), 0) << c.file;
    UPA_info info;
    EXPECT_EQ(UPA_getinfo(0, &info), 0) << c.file;
    EXPECT_STREQ(info.datim, c.label) << c.file;
    // The stream then stands at the first block.
    UPA_report r;
    EXPECT_EQ(read_block(0, &r), 0) << c.file;
    EXPECT_NE(r.id[0], '\0') << c.file;
  }
}

// ---- kind 4 end to end ------------------------------------------------------------------

TEST(Kind4, CompleteBlock) {
  ASSERT_EQ(open_auto(fixture("kind4.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "AAA");
  EXPECT_EQ(r.wmo, IMISSING);                // kind 4 carries no WMO number
  EXPECT_EQ(r.numman, 21);                   // 19, plus the 7 and 5 mb levels
  EXPECT_EQ(r.numsig, 10);
  EXPECT_EQ(r.numwnd, 8);
  // 00110 26056 18010: 110 m; 26.0 C, dd 56 = 6 C; 180 deg 10 kt
  expect_level(r.man[1], {1000, 110, 26.0f, 20.0f, 180, 10}, "1000 mb");
  // 92810 22240 19015: 22.2 C (even tenths), dd 40 = 4.0 C
  expect_level(r.man[2], {925, 810, 22.2f, 18.2f, 190, 15}, "925 mb");
  expect_level(r.man[3], {850, 1512, 20.0f, 18.8f, 210, 20}, "850 mb");
  expect_level(r.man[4], {700, 2985, 12.0f, 0.0f, 240, 30}, "700 mb");
  // 25055 38570 26595: 10000 + 550 m; -38.5 C, dd 70 = 20 C; 265 deg 95 kt
  expect_level(r.man[8], {250, 10550, -38.5f, -58.5f, 265, 95}, "250 mb");
  // 20190 49575 27110: 271 = 270 deg + 100 kt, so 110 kt
  expect_level(r.man[9], {200, 11900, -49.5f, -74.5f, 270, 110}, "200 mb");
  expect_level(r.man[16], {10, 31000, -45.5f, M, M, M}, "10 mb");
  expect_level(r.man[17], {7, 33600, -41.1f, M, M, M}, "7 mb");
  expect_level(r.man[18], {5, 35900, -37.1f, M, M, M}, "5 mb");
  expect_level(r.man[19], kMissingLevel, "no third level above 10 mb");
  // 88210 55599 26598: tropopause at 210 mb, no height, dew point missing
  expect_level(r.man[22], {210, M, -55.5f, M, 265, 98}, "tropopause");
  // 77220 26612: maximum wind at 220 mb, 265 deg 112 kt
  expect_level(r.man[23], {220, M, M, M, 265, 112}, "maximum wind");
  EXPECT_FLOAT_EQ(r.sig[0].p, 998);
  EXPECT_FLOAT_EQ(r.sig[9].p, 300);
  EXPECT_FLOAT_EQ(r.sig[9].td, -47.1f);
  EXPECT_FLOAT_EQ(r.wnd[7].h, 40000);  // HH 40 = 40 thousand feet
  EXPECT_FLOAT_EQ(r.wnd[7].spd, 110);
  // The surface: first significant level (998 > 500 mb) and the 00 wind.
  expect_level(r.man[0], {998, M, 26.4f, 20.4f, 185, 10}, "surface");
}

// Blocks without tropopause, maximum wind or significant levels; surface pressure rules.
TEST(Kind4, SurfaceRules) {
  ASSERT_EQ(open_auto(fixture("kind4.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "BBB");
  EXPECT_EQ(r.numman, 19);
  EXPECT_EQ(r.numsig, 0);
  EXPECT_EQ(r.numwnd, 1);
  expect_level(r.man[3], {850, 1480, 18.0f, 14.0f, 200, 15}, "850 mb");
  expect_level(r.man[4], {700, 3010, 10.0f, 8.0f, 230, 20}, "700 mb: hhh 10 is 3010 m");
  EXPECT_FLOAT_EQ(r.man[7].h, 9400);   // 30940: 940 > 500, 10 x 940
  EXPECT_FLOAT_EQ(r.man[12].h, 18800); // 07880: 70 mb, 10000 + 8800
  EXPECT_FLOAT_EQ(r.man[13].h, 20900); // 05090: 50 mb, 20000 + 900
  EXPECT_EQ(r.man[22].p, MISSING);     // "X X X"
  EXPECT_EQ(r.man[23].p, MISSING);     // "X X"
  // No significant levels and no 1000 mb temperature: 1000 mb is the surface pressure.
  EXPECT_FLOAT_EQ(r.man[0].p, 1000);
  EXPECT_EQ(r.man[0].t, MISSING);
  EXPECT_EQ(r.man[0].dir, MISSING);  // the only wind is at 5000 ft

  ASSERT_EQ(read_block(2, &r), 0);
  EXPECT_STREQ(r.id, "CCC");
  EXPECT_EQ(r.numsig, 3);
  EXPECT_FLOAT_EQ(r.sig[0].p, 1013);  // "013": below 100 with a leading 0
  EXPECT_FLOAT_EQ(r.sig[1].p, 925);
  EXPECT_FLOAT_EQ(r.sig[2].p, 7.5f);  // a decimal pressure
  EXPECT_FLOAT_EQ(r.sig[2].t, -40.1f);
  expect_level(r.man[0], {1013, M, 24.0f, 20.0f, 90, 5}, "surface at 1013 mb");
  expect_level(r.man[22], {150, M, -60.1f, M, 270, 50}, "tropopause");

  ASSERT_EQ(read_block(3, &r), 0);
  EXPECT_STREQ(r.id, "DDD");
  EXPECT_EQ(r.numsig, 2);
  EXPECT_EQ(r.man[0].p, MISSING);    // first level at 400 mb is no surface
  EXPECT_EQ(r.man[0].dir, MISSING);  // first wind at 3000 ft is no surface wind
}

// The forms of a read other than the whole report.
TEST(Kind4, ReadForms) {
  ASSERT_EQ(open_auto(fixture("kind4.upa")), 4);
  struct Case { int rep; UPA_level want; const char* why; };
  const Case cases[] = {
      {UPA_REP_SFC, {998, M, 26.4f, 20.4f, 185, 10}, "surface from 998 26456 and 00 18510"},
      {1, {1000, 110, 26.0f, 20.0f, 180, 10}, "slot 1 is 1000 mb"},
      {3, {850, 1512, 20.0f, 18.8f, 210, 20}, "slot 3 is 850 mb"},
      {16, {10, 31000, -45.5f, M, M, M}, "slot 16 is 10 mb"},
      {UPA_REP_TROP, {210, M, -55.5f, M, 265, 98}, "tropopause"},
      {UPA_REP_MWND, {220, M, M, M, 265, 112}, "maximum wind"},
  };
  for (const auto& c : cases) {
    UPA_report r;
    ASSERT_EQ(read_block(0, &r, c.rep), 0) << c.why;
    EXPECT_STREQ(r.id, "AAA") << c.why;
    EXPECT_EQ(r.numman, 1) << c.why;
    EXPECT_EQ(r.numsig, 0) << c.why;
    const UPA_level& w = c.want;
    expect_level(r.man[0], {w.p, w.h, w.t, w.td, w.dir, w.spd}, c.why);
    expect_level(r.man[1], kMissingLevel, c.why);
  }
  for (int rep : {UPA_REP_IDENT, UPA_REP_LOC}) {
    UPA_report r;
    ASSERT_EQ(read_block(0, &r, rep), 0);
    EXPECT_STREQ(r.id, "AAA");
    EXPECT_EQ(r.numman, 0);
    EXPECT_EQ(r.man[0].p, MISSING);
  }
  UPA_report r;
  ASSERT_EQ(read_block(2, &r, UPA_REP_SFC), 0);  // "013": three characters below 100
  expect_level(r.man[0], {1013, M, 24.0f, 20.0f, 90, 5}, "CCC surface");
  ASSERT_EQ(read_block(3, &r, UPA_REP_SFC), 0);  // 400 mb is below 500: no surface
  expect_level(r.man[0], kMissingLevel, "DDD surface");
}

// ---- kind 3 -----------------------------------------------------------------------------

TEST(Kind3, BlocksAndThe925Rule) {
  ASSERT_EQ(open_auto(fixture("kind3.upa")), 3);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "K3A");
  EXPECT_EQ(r.numman, 19);
  EXPECT_EQ(r.numsig, 3);   // three pairs, then "X" in the fourth of 28 slots
  EXPECT_EQ(r.numwnd, 3);
  expect_level(r.man[2], {925, 810, 22.2f, 18.2f, 190, 15}, "K3A 925 mb");
  expect_level(r.man[23], {220, M, M, M, 265, 112}, "K3A maximum wind");
  expect_level(r.man[0], {998, M, 26.4f, 20.4f, 185, 10}, "K3A surface");

  // Older data without 925 mb: the 850 mb triple follows the 1000 mb one.
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "K3B");
  expect_level(r.man[2], kMissingLevel, "K3B 925 mb");
  // 85500 19012 20020: 1000 + 500 m; 19.0 C, 1.2 C depression; 200 deg 20 kt
  expect_level(r.man[3], {850, 1500, 19.0f, 17.8f, 200, 20}, "K3B 850 mb");
  expect_level(r.man[4], {700, 2990, 11.0f, -1.0f, 230, 30}, "K3B 700 mb");
  expect_level(r.man[16], {10, 31020, -45.7f, M, M, M}, "K3B 10 mb");
  EXPECT_EQ(r.man[22].p, MISSING);
  EXPECT_EQ(r.numsig, 2);
  expect_level(r.man[0], {996, M, 24.0f, 18.0f, 170, 10}, "K3B surface");

  // 925 mb present but missing ("X X X" before the 850 mb triple): the levels stay in
  // their slots instead of shifting up by one.
  ASSERT_EQ(read_block(2, &r), 0);
  EXPECT_STREQ(r.id, "K3C");
  expect_level(r.man[2], kMissingLevel, "K3C 925 mb");
  expect_level(r.man[3], {850, 1505, 19.0f, 17.8f, 200, 20}, "K3C 850 mb");
  EXPECT_FLOAT_EQ(r.man[4].p, 700);
  EXPECT_FLOAT_EQ(r.man[4].h, 2995);
  EXPECT_FLOAT_EQ(r.man[16].h, 31050);  // 01105: the 10 mb triple, not the tropopause
  expect_level(r.man[22], {205, M, -56.1f, M, 265, 90}, "K3C tropopause");

  // No 925 mb and the 850 mb triple missing: slot 3 is 850 mb without values.
  ASSERT_EQ(read_block(3, &r), 0);
  EXPECT_STREQ(r.id, "K3D");
  expect_level(r.man[2], kMissingLevel, "K3D 925 mb");
  expect_level(r.man[3], {850, M, M, M, M, M}, "K3D 850 mb");
  expect_level(r.man[4], {700, 2995, 11.0f, -1.0f, 230, 30}, "K3D 700 mb");
  EXPECT_EQ(r.numsig, 0);
  EXPECT_EQ(r.numwnd, 0);
  EXPECT_FLOAT_EQ(r.man[0].p, 1000);  // no significant levels, 1000 mb without temperature

  EXPECT_EQ(read_block(4, &r), -1);
  // Single levels count slots the same way.
  ASSERT_EQ(read_block(1, &r, 2), 0);
  expect_level(r.man[0], kMissingLevel, "K3B slot 2");
  ASSERT_EQ(read_block(1, &r, 3), 0);
  EXPECT_FLOAT_EQ(r.man[0].p, 850);
  EXPECT_FLOAT_EQ(r.man[0].h, 1500);
}

// Block 3 reached by counting lines, right after the open (the stream still stands
// before the header), gives the same record as reading through the file.
TEST(Kind3, SkipByLines) {
  ASSERT_EQ(open_auto(fixture("kind3.upa")), 3);
  UPA_report r;
  ASSERT_EQ(read_block(3, &r, UPA_REP_IDENT), 0);
  EXPECT_STREQ(r.id, "K3D");
  EXPECT_EQ(list_ids(), "K3A K3B K3C K3D ");
}

// ---- kinds 1 and 2 ----------------------------------------------------------------------

TEST(Kind1, Blocks) {
  ASSERT_EQ(open_auto(fixture("kind1.upa")), 1);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "K1A");
  EXPECT_EQ(r.numman, 5);
  EXPECT_EQ(r.numsig, 3);
  EXPECT_EQ(r.numwnd, 16);
  expect_level(r.man[1], {1000, 110, 26.0f, 20.0f, 180, 10}, "1000 mb");
  // The short layout puts 850 mb into slot 2: the pressure says which level it is.
  expect_level(r.man[2], {850, 1512, 20.0f, 18.8f, 210, 20}, "850 mb in slot 2");
  expect_level(r.man[4], {500, 5700, -11.1f, -13.1f, 250, 45}, "500 mb in slot 4");
  EXPECT_FLOAT_EQ(r.sig[2].p, 700);
  // Fixed wind heights 0, 1000, ..., 10000, 12000, 14000, 15000, 16000, 18000 ft.
  EXPECT_FLOAT_EQ(r.wnd[3].h, 3000);
  EXPECT_EQ(r.wnd[3].dir, MISSING);  // 99999
  EXPECT_FLOAT_EQ(r.wnd[11].h, 12000);
  EXPECT_FLOAT_EQ(r.wnd[11].dir, 260);
  EXPECT_FLOAT_EQ(r.wnd[13].h, 15000);
  EXPECT_FLOAT_EQ(r.wnd[15].h, 18000);
  EXPECT_FLOAT_EQ(r.wnd[15].spd, 80);
  expect_level(r.man[0], {998, M, 26.4f, 20.4f, 185, 10}, "surface");

  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "K1B");
  EXPECT_EQ(r.numsig, 0);
  expect_level(r.man[2], {850, 1520, 18.0f, 16.8f, 200, 15}, "K1B 850 mb");
  EXPECT_FLOAT_EQ(r.man[0].p, 1000);  // count 0 and 1000 mb without temperature
  EXPECT_EQ(r.man[0].dir, MISSING);   // surface wind 99999
  EXPECT_FLOAT_EQ(r.wnd[15].dir, 265);
  EXPECT_FLOAT_EQ(r.wnd[15].spd, 85);

  EXPECT_EQ(read_block(2, &r), -1);
  ASSERT_EQ(read_block(0, &r, UPA_REP_SFC), 0);
  expect_level(r.man[0], {998, M, 26.4f, 20.4f, 185, 10}, "K1A surface form");
  ASSERT_EQ(read_block(0, &r, UPA_REP_TROP), 0);
  expect_level(r.man[0], kMissingLevel, "kind 1 has no tropopause");
}

TEST(Kind2, Blocks) {
  ASSERT_EQ(open_auto(fixture("kind2.upa")), 2);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "K2A");
  EXPECT_EQ(r.numman, 11);
  EXPECT_EQ(r.numsig, 4);
  EXPECT_EQ(r.numwnd, 21);
  // Seven triples into slots 1, 3, 4, 5, 6, 7, 9; 925, 250 and 150 mb stay empty.
  EXPECT_FLOAT_EQ(r.man[1].p, 1000);
  expect_level(r.man[2], kMissingLevel, "925 mb");
  EXPECT_FLOAT_EQ(r.man[3].p, 850);
  EXPECT_FLOAT_EQ(r.man[5].p, 500);
  expect_level(r.man[6], {400, 7400, -19.1f, -29.1f, 255, 50}, "400 mb");
  expect_level(r.man[7], {300, 9300, -27.1f, -47.1f, 260, 80}, "300 mb");
  expect_level(r.man[8], kMissingLevel, "250 mb");
  expect_level(r.man[9], {200, 11900, -49.5f, -74.5f, 270, 110}, "200 mb");
  expect_level(r.man[10], kMissingLevel, "150 mb");
  EXPECT_FLOAT_EQ(r.sig[3].p, 500);
  // Fixed heights ..., 16000, 20000, 25000, ..., 50000 ft.
  EXPECT_FLOAT_EQ(r.wnd[14].h, 20000);
  EXPECT_FLOAT_EQ(r.wnd[14].dir, 275);
  EXPECT_FLOAT_EQ(r.wnd[16].h, 30000);
  EXPECT_FLOAT_EQ(r.wnd[16].spd, 85);
  EXPECT_FLOAT_EQ(r.wnd[20].h, 50000);
  EXPECT_EQ(r.wnd[20].dir, MISSING);
  expect_level(r.man[0], {998, M, 26.4f, 20.4f, 185, 10}, "surface");

  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "K2B");
  EXPECT_EQ(r.numsig, 12);  // pairs run over into the second line
  EXPECT_FLOAT_EQ(r.sig[11].p, 750);
  EXPECT_FLOAT_EQ(r.sig[11].td, 4.0f);  // 10056: 10.0 C less 6
  expect_level(r.man[9], {200, 11920, -50.5f, -75.5f, 270, 90}, "K2B 200 mb");
  EXPECT_EQ(r.man[0].dir, MISSING);
  EXPECT_EQ(read_block(2, &r), -1);
}

// ---- kind 5 -----------------------------------------------------------------------------

TEST(Kind5, StationToken) {
  ASSERT_EQ(open_auto(fixture("kind5.upa")), 5);
  struct Case { const char* id; int wmo; float lat, lon, sfc_p; };
  const Case cases[] = {
      {"OAX", 72558, 41.32f, -96.37f, 962},       // all four parts
      {"DNR", 72469, M, M, 838},                  // no location parts
      {"VERYLONGST", 123, -10.5f, 120.25f, M},    // identifier cut to 10 characters
      {"MFL", 72202, 25.75f, -80.38f, 1015},      // read after a block ended "X" then "$"
  };
  int n = 0;
  for (const auto& c : cases) {
    UPA_report r;
    ASSERT_EQ(read_block(n++, &r), 0) << c.id;
    EXPECT_STREQ(r.id, c.id);
    EXPECT_EQ(r.wmo, c.wmo) << c.id;
    EXPECT_FLOAT_EQ(r.lat, c.lat) << c.id;
    EXPECT_FLOAT_EQ(r.lon, c.lon) << c.id;
    EXPECT_FLOAT_EQ(r.man[0].p, c.sfc_p) << c.id;
  }
  UPA_report r;
  ASSERT_EQ(read_block(0, &r, UPA_REP_IDENT), 0);
  EXPECT_EQ(r.wmo, 72558);  // identification carries the WMO number in kind 5
  EXPECT_EQ(list_ids(), "OAX DNR VERYLONGST MFL ");
}

// ---- positioning ------------------------------------------------------------------------

TEST(Positioning, SequentialAndRepeated) {
  ASSERT_EQ(open_auto(fixture("kind4.upa")), 4);
  EXPECT_EQ(list_ids(), "AAA BBB CCC DDD EEE FFF GGG ");
  UPA_report r;
  ASSERT_EQ(read_block(5, &r, UPA_REP_IDENT), 0);
  EXPECT_STREQ(r.id, "FFF");
  ASSERT_EQ(read_block(5, &r), 0);  // the same block again, now whole
  EXPECT_STREQ(r.id, "FFF");
  EXPECT_FLOAT_EQ(r.sig[0].p, 930);
  ASSERT_EQ(read_block(2, &r), 0);  // smaller number: from the start again
  EXPECT_STREQ(r.id, "CCC");
  EXPECT_FLOAT_EQ(r.sig[0].p, 1013);
  // Past the end: -1 and the record untouched.
  std::snprintf(r.id, sizeof r.id, "ZZZ");
  EXPECT_EQ(read_block(7, &r), -1);
  EXPECT_EQ(read_block(100, &r), -1);
  EXPECT_STREQ(r.id, "ZZZ");
  EXPECT_EQ(read_block(-1, &r), -1);
  ASSERT_EQ(read_block(6, &r), 0);
  EXPECT_STREQ(r.id, "GGG");
}

// Right after a rewind no block has been read: block k is block k.
TEST(Positioning, AfterRewind) {
  ASSERT_EQ(open_auto(fixture("kind4.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(4, &r), 0);
  EXPECT_STREQ(r.id, "EEE");
  EXPECT_EQ(UPA_rewind(0), 0);
  ASSERT_EQ(read_block(3, &r), 0);
  EXPECT_STREQ(r.id, "DDD");
  UPA_info info;
  EXPECT_EQ(UPA_getinfo(0, &info), 0);
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "BBB");
}

// A copy of kind4.upa with a line of 100,000 blanks after block 0, so that the stream's
// buffer cannot hold the start of the file and the later blocks at once: a rescan from
// the start must read the file again and sees any change made meanwhile.
std::string positioning_copy(const char* name) {
  std::string path = scratch(name);
  std::string text = slurp(fixture("kind4.upa"));
  size_t end0 = text.find("$\n") + 2;
  text.insert(end0, std::string(100000, ' ') + "\n");
  spit(path, text);
  return path;
}

// Block 1 loses its "$": from then on a scan from the start sees blocks 1 and 2 as one.

void drop_block1_end(const std::string& path) {
  std::string text = slurp(path);
  size_t at = text.find("05 20010 $");
  ASSERT_NE(at, std::string::npos);
  FILE* f = std::fopen(path.c_str(), "r+");
  ASSERT_NE(f, nullptr);
  std::fseek(f, static_cast<long>(at + 9), SEEK_SET);
  std::fputc(' ', f);
  std::fclose(f);
}

// Reading the same block again seeks to its saved start; it does not rescan the file.
TEST(Positioning, RereadSeeksBack) {
  std::string path = positioning_copy("reread.upa");
  ASSERT_EQ(open_auto(path), 4);
  UPA_report r;
  ASSERT_EQ(read_block(5, &r, UPA_REP_IDENT), 0);
  drop_block1_end(path);
  ASSERT_EQ(read_block(5, &r), 0);
  EXPECT_STREQ(r.id, "FFF");  // a rescan would now count GGG as block 5
  ASSERT_EQ(read_block(6, &r), 0);
  EXPECT_STREQ(r.id, "GGG");  // and would find no block 6 at all
  ASSERT_EQ(read_block(2, &r), 0);
  EXPECT_STREQ(r.id, "DDD");  // a smaller number does rescan, and sees the change
}

// Increasing numbers continue from where the stream stands: one pass over the file.
TEST(Positioning, IncreasingNumbersOnePass) {
  std::string path = positioning_copy("onepass.upa");
  ASSERT_EQ(open_auto(path), 4);
  UPA_report r;
  ASSERT_EQ(read_block(3, &r, UPA_REP_IDENT), 0);
  drop_block1_end(path);
  ASSERT_EQ(read_block(4, &r), 0);
  EXPECT_STREQ(r.id, "EEE");  // a rescan would give FFF
}

// Listing by identification, then reading the found station whole, as a search does.
TEST(Positioning, IdentificationThenWhole) {
  ASSERT_EQ(open_auto(fixture("kind4.upa")), 4);
  UPA_report r;
  for (int n = 0; n <= 3; ++n) ASSERT_EQ(read_block(n, &r, UPA_REP_IDENT), 0);
  EXPECT_STREQ(r.id, "DDD");
  ASSERT_EQ(read_block(3, &r), 0);
  EXPECT_STREQ(r.id, "DDD");
  EXPECT_EQ(r.numsig, 2);
  EXPECT_FLOAT_EQ(r.wnd[1].h, 6000);
  ASSERT_EQ(read_block(4, &r, UPA_REP_IDENT), 0);  // and the listing continues
  EXPECT_STREQ(r.id, "EEE");
}

// ---- block capacity ---------------------------------------------------------------------

// A kind 4 block with `nsig` significant levels and `nwnd` wind levels, then a short
// block NXT; `after_sig` is written between the significant "X" and the winds.
std::string capacity_file(int nsig, int nwnd, const char* after_sig = "") {
  std::string s = "ZUDUPA+\n12Z 15 JUN 95\nBIG";
  for (int i = 0; i < 16; ++i) s += " X X X";
  s += "\nX X X X X\n";
  for (int i = 0; i < nsig; ++i) {
    s += std::to_string(990 - 4 * i) + " 10050";
    s += (i % 7 == 6) ? "\n" : " ";
  }
  s += "X";
  s += after_sig;
  s += "\n";
  for (int i = 0; i < nwnd; ++i) {
    char pair[16];
    std::snprintf(pair, sizeof pair, "%02d 27010", i % 100);
    s += pair;
    s += (i % 7 == 6) ? "\n" : " ";
  }
  s += "$\nNXT";
  for (int i = 0; i < 16; ++i) s += " X X X";
  s += "\nX X X X X\n990 24056 X\n00 18010 $\n";
  return s;
}

// An overfull block loses its top levels, and one warning names the station and the
// counts dropped (the generator's level counts less the report's 200 and 100).
TEST(Capacity, FullAndOverfullBlocks) {
  struct Case { int nsig, nwnd, numsig, numwnd; const char* warning; const char* why; };
  const Case cases[] = {
      {200, 100, 200, 100, "", "exactly full: the X and $ still belong to the block"},
      {205, 104, 200, 100,
       "UPA_read: Station BIG: 5 significant and 4 wind levels beyond the report's 200 and "
       "100 dropped\n",
       "overfull: the extra levels are read past and dropped"},
      {230, 100, 200, 100,
       "UPA_read: Station BIG: 30 significant and 0 wind levels beyond the report's 200 and "
       "100 dropped\n",
       "only the significant levels overfull"},
      {199, 99, 199, 99, "", "one short of full"},
  };
  int k = 0;
  for (const auto& c : cases) {
    std::string path = scratch("capacity_" + std::to_string(k++) + ".upa");
    spit(path, capacity_file(c.nsig, c.nwnd));
    ASSERT_EQ(open_auto(path), 4) << c.why;
    UPA_report r;
    testing::internal::CaptureStderr();
    const int got = read_block(0, &r);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning) << c.why;
    ASSERT_EQ(got, 0) << c.why;
    EXPECT_EQ(r.numsig, c.numsig) << c.why;
    EXPECT_EQ(r.numwnd, c.numwnd) << c.why;
    int last = c.numsig - 1;
    EXPECT_FLOAT_EQ(r.sig[last].p, 990.0f - 4 * last) << c.why;  // the generator's rule
    EXPECT_FLOAT_EQ(r.wnd[c.numwnd - 1].h, 1000.0f * ((c.numwnd - 1) % 100)) << c.why;
    EXPECT_FLOAT_EQ(r.wnd[c.numwnd - 1].dir, 270) << c.why;
    ASSERT_EQ(read_block(1, &r), 0) << c.why;  // the next block follows directly
    EXPECT_STREQ(r.id, "NXT") << c.why;
    EXPECT_FLOAT_EQ(r.sig[0].p, 990) << c.why;
    EXPECT_EQ(list_ids(), "BIG NXT ") << c.why;
  }
}

// After exactly 50 significant levels the converters write one extra token, which the
// reader passes over; 49 levels have none.
TEST(Capacity, FiftyLevelToken) {
  std::string path = scratch("read_fifty.upa");
  spit(path, capacity_file(50, 3, " X"));
  ASSERT_EQ(open_auto(path), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_EQ(r.numsig, 50);
  EXPECT_EQ(r.numwnd, 3);
  EXPECT_FLOAT_EQ(r.wnd[0].h, 0);
  EXPECT_FLOAT_EQ(r.wnd[2].h, 2000);

  spit(path, capacity_file(49, 3));
  ASSERT_EQ(open_auto(path), 4);
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_EQ(r.numsig, 49);
  EXPECT_EQ(r.numwnd, 3);
}

// ---- damaged input ----------------------------------------------------------------------

TEST(BadInput, EmptyFile) {
  EXPECT_EQ(open_auto(fixture("empty.upa")), -1);
  int kind = 4;  // named explicitly, the open itself succeeds
  ASSERT_GE(UPA_open(fixture("empty.upa").c_str(), 0, &kind), 0);
  UPA_info info;
  EXPECT_EQ(UPA_getinfo(0, &info), 0);
  EXPECT_STREQ(info.datim, "");
  UPA_report r;
  EXPECT_EQ(read_block(0, &r), -1);
  EXPECT_EQ(list_ids(), "");
}

// Binary data opened as each text kind: bounded reads, no crash, reading ends.
TEST(BadInput, BinaryFiles) {
  EXPECT_EQ(UPA_chktype(fixture("binary_digit.bin").c_str()), 2);  // begins with '1'
  for (const char* file : {"binary.bin", "binary_digit.bin"}) {
    for (int kind = 1; kind <= 5; ++kind) {
      int k = kind;
      ASSERT_GE(UPA_open(fixture(file).c_str(), 0, &k), 0);
      UPA_info info;
      EXPECT_EQ(UPA_getinfo(0, &info), 0);
      EXPECT_LE(std::strlen(info.datim), 39u);
      UPA_report r;
      int n = 0;
      while (n < 50 && read_block(n, &r) == 0) {
        EXPECT_LE(r.numsig, UPA_MAX_SIG);
        EXPECT_LE(r.numwnd, UPA_MAX_WND);
        EXPECT_LT(std::strlen(r.id), sizeof r.id);
        ++n;
      }
      EXPECT_LT(n, 50) << file << " kind " << kind;
    }
  }
}

TEST(BadInput, MarkupFileOpenedExplicitly) {
  int kind = UPA_KIND_MARKUP;
  ASSERT_GE(UPA_open(fixture("markup.upa").c_str(), 0, &kind), 0);
  UPA_report r;
  EXPECT_EQ(read_block(0, &r), -1);  // not readable here
  UPA_info info;
  EXPECT_EQ(UPA_getinfo(0, &info), 1);
  EXPECT_EQ(UPA_rewind(0), -1);
}

// The last block ends early: what was read is kept, the rest is missing, a warning says so.
TEST(BadInput, TruncatedBlock) {
  ASSERT_EQ(open_auto(fixture("truncated.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "AAA");
  testing::internal::CaptureStderr();
  ASSERT_EQ(read_block(1, &r), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("incomplete"), std::string::npos) << err;
  EXPECT_STREQ(r.id, "BBB");
  expect_level(r.man[1], {1000, 50, 24.0f, 18.0f, 170, 10}, "1000 mb");
  expect_level(r.man[2], {925, 720, 22.0f, 18.0f, 180, 15}, "925 mb");
  expect_level(r.man[3], {850, 1480, M, M, M, M}, "850 mb cut after its height");
  EXPECT_EQ(r.numsig, 0);
  EXPECT_EQ(r.numwnd, 0);
  EXPECT_EQ(r.man[22].p, MISSING);
  EXPECT_EQ(read_block(2, &r), -1);
}

// Only "$" ends a kind 4 block: one without it takes in the next block's groups up to
// the next "X"; the block after that is still found, and a last block without "$" is read.
TEST(BadInput, MissingEndMark) {
  ASSERT_EQ(open_auto(fixture("missing_dollar.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "AAA");
  EXPECT_FLOAT_EQ(r.sig[0].p, 998);
  EXPECT_EQ(r.numwnd, 3);  // 00, 03, then "BBB X" as a wind level, then "X" ends the list
  EXPECT_FLOAT_EQ(r.wnd[1].h, 3000);
  EXPECT_EQ(r.wnd[2].h, MISSING);
  testing::internal::CaptureStderr();
  ASSERT_EQ(read_block(1, &r), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_STREQ(r.id, "CCC");
  EXPECT_NE(err.find("incomplete"), std::string::npos) << err;
  expect_level(r.man[0], {980, M, 26.4f, 20.4f, 185, 10}, "CCC surface");
  EXPECT_EQ(read_block(2, &r), -1);
  EXPECT_EQ(list_ids(), "AAA CCC ");
}

// Over-long tokens are cut to the buffer and passed over whole: the groups after them
// keep their places.
TEST(BadInput, LongTokens) {
  ASSERT_EQ(open_auto(fixture("long_token.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "STATIONQQQ");  // first 10 characters
  expect_level(r.man[1], {1000, 110, 26.0f, 20.0f, 180, 10}, "1000 mb");
  EXPECT_FLOAT_EQ(r.man[2].t, 22.2f);  // the group after the 60-digit one
  expect_level(r.man[3], {850, 1512, 20.0f, 18.8f, 210, 20}, "850 mb");
  EXPECT_FLOAT_EQ(r.man[0].p, 998);
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "NXT");
  EXPECT_FLOAT_EQ(r.sig[0].p, 990);
}

// Groups that are not numbers leave their values missing; reading goes on.
TEST(BadInput, NonNumericGroups) {
  ASSERT_EQ(open_auto(fixture("nonnumeric.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "NUM");
  expect_level(r.man[1], {M, M, 26.0f, 20.0f, 180, 10}, "ABCDE as PPhhh");
  expect_level(r.man[2], {850, M, M, M, 190, 15}, "85/12 and 2x0y1");
  expect_level(r.man[3], {850, 1512, 20.0f, 18.8f, M, M}, "?????? as dddff");
  expect_level(r.man[4], {700, 2985, 12.0f, 0.0f, 240, 30}, "700 mb unharmed");
  EXPECT_EQ(r.numsig, 3);
  EXPECT_EQ(r.sig[0].p, MISSING);  // "0x1A" is no pressure
  EXPECT_FLOAT_EQ(r.sig[0].t, 26.4f);
  EXPECT_EQ(r.sig[1].p, MISSING);  // "abc"
  EXPECT_FLOAT_EQ(r.sig[2].p, 850);
  EXPECT_EQ(r.man[0].p, MISSING);
  EXPECT_EQ(r.numwnd, 2);
  EXPECT_EQ(r.wnd[0].h, MISSING);  // "zz"
  EXPECT_FLOAT_EQ(r.wnd[0].dir, 185);
  EXPECT_FLOAT_EQ(r.wnd[1].h, 5000);
  EXPECT_EQ(r.man[0].dir, MISSING);
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "NXT");
}

// A kind 3 block that lost groups on one line: its own values suffer, the next block
// starts where the line count says.
TEST(BadInput, ShortLineCountedBlock) {
  ASSERT_EQ(open_auto(fixture("kind3_short.upa")), 3);
  UPA_report r;
  testing::internal::CaptureStderr();
  ASSERT_EQ(read_block(0, &r), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("incomplete"), std::string::npos) << err;
  EXPECT_STREQ(r.id, "S3A");
  expect_level(r.man[5], {500, 5700, -11.1f, -13.1f, 250, 45}, "500 mb before the damage");
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "S3B");
  EXPECT_FLOAT_EQ(r.man[1].h, 120);
  expect_level(r.man[3], {850, 1500, 19.0f, 17.8f, 200, 20}, "S3B 850 mb");
  expect_level(r.man[0], {996, M, 24.0f, 18.0f, 170, 10}, "S3B surface");
  EXPECT_EQ(list_ids(), "S3A S3B ");
}

TEST(BadInput, CarriageReturns) {
  ASSERT_EQ(open_auto(fixture("crlf.upa")), 4);
  UPA_report r;
  ASSERT_EQ(read_block(0, &r), 0);
  EXPECT_STREQ(r.id, "AAA");
  EXPECT_EQ(r.numsig, 10);
  EXPECT_EQ(r.numwnd, 8);
  expect_level(r.man[23], {220, M, M, M, 265, 112}, "maximum wind");
  ASSERT_EQ(read_block(1, &r), 0);
  EXPECT_STREQ(r.id, "BBB");
  EXPECT_EQ(r.numwnd, 1);
}

// ---- the sample file and a large file ---------------------------------------------------

TEST(SampleData, AllStations) {
  ASSERT_EQ(open_auto(ZUD_SAMPLE_DATA "/sample.upa"), 4);
  UPA_info info;
  ASSERT_EQ(UPA_getinfo(0, &info), 0);
  EXPECT_EQ(list_ids(), "OAX GRB LXA DNR MFL ");
  UPA_report r;
  for (int n = 0; n < 5; ++n) {
    ASSERT_EQ(read_block(n, &r), 0);
    EXPECT_GE(r.numsig, 20) << r.id;
    EXPECT_GE(r.numwnd, 15) << r.id;
    EXPECT_NE(r.man[0].p, MISSING) << r.id;
    EXPECT_NE(r.man[22].p, MISSING) << r.id;
    for (int i = 0; i < r.numsig; ++i) {
      if (r.sig[i].td != MISSING) {
        EXPECT_LE(r.sig[i].td, r.sig[i].t) << r.id << " level " << i;
      }
    }
    for (int i = 1; i + 1 < r.numsig; ++i) EXPECT_GT(r.sig[i].p, r.sig[i + 1].p) << r.id;
  }
  // LXA: a plateau station whose surface lies above 700 mb; 700 mb is below ground.
  ASSERT_EQ(read_block(2, &r), 0);
  EXPECT_LT(r.man[0].p, 700);
  EXPECT_FLOAT_EQ(r.man[4].p, 700);
  EXPECT_EQ(r.man[4].t, MISSING);
  // MFL reaches above 10 mb, and its surface lies above 1000 mb.
  ASSERT_EQ(read_block(4, &r), 0);
  EXPECT_FLOAT_EQ(r.man[17].p, 7);
  EXPECT_GT(r.man[0].p, 1000);
}

// Listing a 20,000-station file and reading single stations of it.
TEST(LargeFile, ListingAndSearch) {
  constexpr int kStations = 20000;
  std::string s = "ZUDUPA+\n00Z 04 APR 97\n";
  s.reserve(kStations * 200);
  for (int n = 0; n < kStations; ++n) {
    s += "S" + std::to_string(n);
    for (int i = 0; i < 4; ++i) s += " 00110 26056 18010";
    s += "\nX X X X X X X X X X X X\nX X X X X X X X X X X X\nX X X X X X X X X X X X\n";
    s += "X X X X X\n990 24056 850 20012 X\n00 18010 05 21525 $\n";
  }
  std::string path = scratch("large.upa");
  spit(path, s);
  ASSERT_EQ(open_auto(path), 4);
  auto start = std::chrono::steady_clock::now();
  UPA_report r;
  int n = 0;
  while (read_block(n, &r, UPA_REP_IDENT) == 0) {
    if (n % 4999 == 0) {
      EXPECT_EQ(std::string(r.id), "S" + std::to_string(n));
    }
    ++n;
  }
  EXPECT_EQ(n, kStations);
  ASSERT_EQ(read_block(kStations - 1, &r), 0);
  EXPECT_STREQ(r.id, "S19999");
  EXPECT_EQ(r.numwnd, 2);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(secs, 30.0);  // generous even under the sanitizers
}

}  // namespace
