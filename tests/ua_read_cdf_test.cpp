// Upper-air netCDF layouts (kinds 11 and 12): detection, opening, the date label, every
// read form, unit conversion of kind 12, the file without 925 mb, level counts beyond
// the record or the stored levels, odd shapes and types, damaged files, and station
// listing and search through the tool layer.
//
// Expected values are read off the CDL text of the fixtures in tests/data/cdf; unit
// conversions are worked by hand in the comments.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "level_check.h"
#include "tmpdir.h"
#include "zudupa.h"

namespace {

std::string built(const char* name) { return std::string(ZUD_BUILD_DATA) + "/" + name; }

// Opens a fixture through the reader; the kind is detected.
int open_cdf(const std::string& path, int* kind) {
  *kind = 0;
  return UPA_open(path.c_str(), 0, kind);
}

// Record `rec` of the open file in the form `rep_type`, read into a fresh report.
UPA_report read_rec(int fd, int rep_type, int rec) {
  UPA_report r{};
  EXPECT_EQ(UPA_read(fd, &r, rep_type, &rec), 0) << "record " << rec << " form " << rep_type;
  return r;
}

// A copy of the first `keep` bytes of a fixture in this process's scratch directory
// (keep < 0: all but the last -keep bytes).
std::string truncated_copy(const char* name, long keep) {
  std::ifstream in(built(name), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t n = keep >= 0 ? static_cast<size_t>(keep) : bytes.size() - static_cast<size_t>(-keep);
  std::string path = zud_test_tmpdir() + "cut_" + std::to_string(n) + "_" + name;
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(n));
  return path;
}

}  // namespace

// Detection: "station" dimension gives 11, its absence 12; files that only begin like
// netCDF are unknown, and detection prints nothing but the one warning on a damaged
// classic header.
TEST(CdfKind, Detection) {
  const std::string cut = truncated_copy("stations.nc", 200);
  struct Case { std::string path; int kind; std::string err; };
  const Case cases[] = {
      {built("stations.nc"), UPA_KIND_CDF_STN, ""},  // records along "station"
      {built("reports.nc"), UPA_KIND_CDF_REP, ""},   // records along "report"
      {built("empty.nc"), UPA_KIND_CDF_STN, ""},     // no records, still the kind 11 layout
      {std::string(ZUD_TEST_DATA) + "/cdf/not_netcdf.txt", -1, ""},  // text starting "CDF"
      // Header cut short: the 21 variables cannot fit in the 200 bytes.
      {cut, -1,
       "CDF_open: damaged netCDF header in " + cut +
           ": variable list counts 21, more than the file holds\n"},
      {built("neither.nc"), -1, ""},  // netCDF, but neither "station" nor "report"
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(UPA_chktype(c.path.c_str()), c.kind) << c.path;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err) << c.path;
  }
}

// Opening: detected or named kinds give the netCDF handle; writing and non-netCDF
// files give -1 without a library report.
TEST(CdfKind, Open) {
  int kind = 0;
  EXPECT_NE(open_cdf(built("reports.nc"), &kind), -1);
  EXPECT_EQ(kind, UPA_KIND_CDF_REP);
  kind = UPA_KIND_CDF_STN;
  EXPECT_EQ(UPA_open(built("stations.nc").c_str(), 1, &kind), -1);  // read-only layouts
  kind = UPA_KIND_CDF_STN;
  testing::internal::CaptureStderr();
  std::string fake = std::string(ZUD_TEST_DATA) + "/cdf/not_netcdf.txt";
  EXPECT_EQ(UPA_open(fake.c_str(), 0, &kind), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  UPA_report r{};
  int rec = 0;
  EXPECT_EQ(UPA_read(0, &r, UPA_REP_IDENT, &rec), -1);  // nothing open after the failure
}

// The date label comes from "filetime", else "datetime"; longer labels are cut.
TEST(CdfInfo, DateLabel) {
  struct Case { const char* file; const char* label; int year, month, day, hour; };
  const Case cases[] = {
      {"stations.nc", "00Z 04 APR 97", 1997, 4, 4, 0},   // "filetime"
      {"reports.nc", "12Z 15 MAY 98", 1998, 5, 15, 12},  // older file: "datetime"
  };
  for (const auto& c : cases) {
    int kind = 0;
    int fd = open_cdf(built(c.file), &kind);
    UPA_info info{};
    EXPECT_EQ(UPA_getinfo(fd, &info), 1) << c.file;
    EXPECT_STREQ(info.datim, c.label);
    EXPECT_EQ(info.date.year, c.year) << c.file;
    EXPECT_EQ(info.date.month, c.month) << c.file;
    EXPECT_EQ(info.date.day, c.day) << c.file;
    EXPECT_EQ(info.date.hour, c.hour) << c.file;
    EXPECT_EQ(UPA_rewind(fd), 0);
  }
  int kind = 0;
  UPA_info info{};
  int fd = open_cdf(built("short.nc"), &kind);  // neither attribute
  EXPECT_EQ(UPA_getinfo(fd, &info), 1);
  EXPECT_STREQ(info.datim, "");
  fd = open_cdf(built("shapes.nc"), &kind);  // a 59-character label: the first 39 kept
  EXPECT_EQ(UPA_getinfo(fd, &info), 1);
  EXPECT_STREQ(info.datim, "00Z 02 FEB 02 and a label far longer th");
}

// Identification and location forms; records are addressed by number, beyond the last
// (or before the first) the read fails and leaves the report as it was.
TEST(CdfRead, IdentAndLocation) {
  int kind = 0;
  int fd = open_cdf(built("stations.nc"), &kind);
  struct Case { int rec; const char* id; int wmo; };
  const Case cases[] = {{0, "OAX", IMISSING}, {1, "DEN", 72469}, {2, "MSP", 72649}};
  for (const auto& c : cases) {
    UPA_report r = read_rec(fd, UPA_REP_IDENT, c.rec);
    EXPECT_STREQ(r.id, c.id);
    EXPECT_EQ(r.wmo, c.wmo) << c.id;
    EXPECT_EQ(r.lat, MISSING) << "identification reads no position";
  }
  UPA_report loc = read_rec(fd, UPA_REP_LOC, 1);
  EXPECT_STREQ(loc.area, "CO");
  EXPECT_EQ(loc.lat, 39.77f);
  EXPECT_EQ(loc.lon, -104.87f);  // a versioned file: stored sign kept
  EXPECT_EQ(loc.elev, 1611.0f);  // height of mandatory level 0
  EXPECT_EQ(loc.man[0].p, MISSING) << "location reads no levels";

  for (int rec : {3, 100, -1}) {
    UPA_report r{};
    r.wmo = 42;
    int n = rec;
    EXPECT_EQ(UPA_read(fd, &r, UPA_REP_ALL, &n), -1) << rec;
    EXPECT_EQ(r.wmo, 42) << "untouched";
    EXPECT_EQ(n, rec) << "the caller counts";
  }
  int rec = 0;
  UPA_report r{};
  r.wmo = 42;
  EXPECT_EQ(UPA_read(fd, &r, 29, &rec), 0);  // a form netCDF does not offer: nothing read
  EXPECT_EQ(r.wmo, 42);
}

// OAX of the netCDF fixture repeats OAX of the text sample level for level: the same
// whole report from both layouts.
TEST(CdfRead, SameAsTextSample) {
  int kind = 0;
  int fd = open_cdf(std::string(ZUD_SAMPLE_DATA) + "/sample.upa", &kind);
  ASSERT_EQ(kind, UPA_KIND_PLUS);
  UPA_report text = read_rec(fd, UPA_REP_ALL, 0);
  ASSERT_STREQ(text.id, "OAX");
  fd = open_cdf(built("stations.nc"), &kind);
  UPA_report cdf = read_rec(fd, UPA_REP_ALL, 0);

  EXPECT_STREQ(cdf.id, text.id);
  EXPECT_STREQ(cdf.area, text.area);
  EXPECT_EQ(cdf.wmo, text.wmo);
  EXPECT_EQ(cdf.lat, text.lat);
  EXPECT_EQ(cdf.lon, text.lon);
  EXPECT_EQ(cdf.elev, text.elev);
  for (int i = 0; i < UPA_MAX_MAN; ++i)
    expect_level(cdf.man[i], text.man[i], "man slot " + std::to_string(i));
  ASSERT_EQ(cdf.numsig, text.numsig);
  for (int i = 0; i < text.numsig; ++i) {
    EXPECT_EQ(cdf.sig[i].p, text.sig[i].p) << i;
    EXPECT_EQ(cdf.sig[i].t, text.sig[i].t) << i;
    EXPECT_EQ(cdf.sig[i].td, text.sig[i].td) << i;
  }
  ASSERT_EQ(cdf.numwnd, text.numwnd);
  for (int i = 0; i < text.numwnd; ++i) {
    EXPECT_EQ(cdf.wnd[i].h, text.wnd[i].h) << i;
    EXPECT_EQ(cdf.wnd[i].dir, text.wnd[i].dir) << i;
    EXPECT_EQ(cdf.wnd[i].spd, text.wnd[i].spd) << i;
  }
}

// DEN stores 1000, 850, 700 mb ... with no 925 mb level: slot 2 is missing and the
// levels from 850 mb up, tropopause and maximum wind included, move up one slot.
TEST(CdfRead, No925Shift) {
  int kind = 0;
  int fd = open_cdf(built("stations.nc"), &kind);
  UPA_report r = read_rec(fd, UPA_REP_ALL, 1);
  EXPECT_EQ(r.numman, 25);  // the file's count
  expect_level(r.man[1], UPA_level{1000, 35, MISSING, MISSING, MISSING, MISSING}, "1000 mb");
  expect_level(r.man[2], kMissingLevel, "925 mb slot");
  expect_level(r.man[3], UPA_level{850, 1480, 19, 3, 170, 15}, "850 mb");
  expect_level(r.man[16], UPA_level{10, 31230, -44.9f, MISSING, MISSING, MISSING}, "10 mb");
  for (int i = 17; i < UPA_SLOT_TROP; ++i) expect_level(r.man[i], kMissingLevel, "above 10 mb");
  expect_level(r.man[UPA_SLOT_TROP], UPA_level{212, MISSING, -56.3f, -64.3f, 255, 88}, "trop");
  expect_level(r.man[UPA_SLOT_MWND], UPA_level{240, MISSING, MISSING, MISSING, 250, 82}, "mwnd");
  expect_level(r.man[24], kMissingLevel, "slot 24");
  EXPECT_EQ(r.numsig, 4);
  EXPECT_EQ(r.sig[3].p, 212.0f);
  EXPECT_EQ(r.numwnd, 3);
  EXPECT_EQ(r.wnd[2].h, 10000.0f);  // kind 11: feet as stored
}

// Single-level forms go to man[0]; in a file without 925 mb the stored index is one
// lower from slot 3 up, and asking for 925 mb gives a missing level.
TEST(CdfRead, SingleLevels) {
  struct Case { const char* file; int rec; int rep; UPA_level want; const char* why; };
  const Case cases[] = {
      {"stations.nc", 1, UPA_REP_SFC, {836, 1611, 20.4f, 2.4f, 160, 10}, "surface, no shift"},
      {"stations.nc", 1, 1, {1000, 35, MISSING, MISSING, MISSING, MISSING}, "1000 mb, no shift"},
      {"stations.nc", 1, 2, kMissingLevel, "925 mb asked, none stored"},
      {"stations.nc", 1, 3, {850, 1480, 19, 3, 170, 15}, "850 mb from stored level 2"},
      {"stations.nc", 1, 16, {10, 31230, -44.9f, MISSING, MISSING, MISSING}, "10 mb"},
      {"stations.nc", 1, UPA_REP_TROP, {212, MISSING, -56.3f, -64.3f, 255, 88}, "tropopause"},
      {"stations.nc", 1, UPA_REP_MWND, {240, MISSING, MISSING, MISSING, 250, 82}, "max wind"},
      {"stations.nc", 0, 2, {925, 694, 22.8f, 16.8f, 180, 33}, "OAX has 925 mb"},
      {"stations.nc", 0, UPA_REP_TROP, {208, MISSING, -56.1f, -64.1f, 255, 118}, "OAX trop"},
      // ICT (kind 12, no 925 mb): 850 mb stored at level 2, 10 m/s * 1.944 = 19.44 kt
      {"reports.nc", 0, 3, {850, 1500, 18, 12, 200, 19.44f}, "kind 12 speed in knots"},
      {"short.nc", 0, 16, kMissingLevel, "beyond the four stored levels"},
  };
  for (const auto& c : cases) {
    int kind = 0;
    int fd = open_cdf(built(c.file), &kind);
    UPA_report r = read_rec(fd, c.rep, c.rec);
    expect_level(r.man[0], c.want, c.why);
    EXPECT_EQ(r.numman, 1) << c.why;
    EXPECT_EQ(r.man[1].p, MISSING) << c.why;
  }
}

// Kind 12 keeps speeds in m/s and wind heights in m: converted to knots (* 1.944) and
// feet (* 3.2808) on reading, missing values left missing. An older file without
// "version" stores longitudes east-negative; without "region" the area is "UN".
TEST(CdfRead, Kind12Conversions) {
  int kind = 0;
  int fd = open_cdf(built("reports.nc"), &kind);
  UPA_report r = read_rec(fd, UPA_REP_ALL, 0);
  EXPECT_STREQ(r.id, "ICT");
  EXPECT_STREQ(r.area, "UN");
  EXPECT_EQ(r.lon, -97.5f);  // stored 97.5
  EXPECT_EQ(r.lat, 37.65f);  // latitudes keep their sign
  EXPECT_EQ(r.man[0].spd, 9.72f);   // 5 m/s * 1.944
  EXPECT_EQ(r.man[1].spd, MISSING); // missing is not scaled
  expect_level(r.man[2], kMissingLevel, "no 925 mb in this file either");
  EXPECT_EQ(r.man[3].spd, 19.44f);  // 10 m/s
  EXPECT_EQ(r.man[5].spd, 38.88f);  // 20 m/s
  EXPECT_EQ(r.man[5].dir, 240.0f);  // directions as stored
  EXPECT_EQ(r.numwnd, 3);
  EXPECT_EQ(r.wnd[0].h, 0.0f);
  EXPECT_EQ(r.wnd[1].h, 3280.8f);   // 1000 m * 3.2808
  EXPECT_EQ(r.wnd[1].spd, 19.44f);  // 10 m/s
  EXPECT_EQ(r.wnd[1].dir, 200.0f);
  EXPECT_EQ(r.wnd[2].h, MISSING);
  EXPECT_EQ(r.wnd[2].spd, MISSING);
  EXPECT_EQ(r.sig[1].p, 900.0f);  // significant levels as stored
  EXPECT_EQ(r.sig[1].t, 20.0f);

  UPA_report nolon = read_rec(fd, UPA_REP_LOC, 1);
  EXPECT_EQ(nolon.lon, MISSING) << "a missing longitude is not negated";
  EXPECT_EQ(nolon.lat, 40.0f);
  UPA_report none = read_rec(fd, UPA_REP_ALL, 1);  // counts of 0: no levels
  EXPECT_EQ(none.numman, 0);
  EXPECT_EQ(none.numsig, 0);
  EXPECT_EQ(none.numwnd, 0);
}

// Level counts are held to the record (25, 200, 100) and to the levels the file stores;
// negative or missing counts read nothing.
TEST(CdfRead, LevelCounts) {
  struct Case { const char* file; int rec; int man, sig, wnd; const char* why; };
  const Case cases[] = {
      {"caps.nc", 0, 25, 200, 100, "30, 210, 110 claimed and stored"},
      {"stations.nc", 2, 25, 40, 0, "MSP: 30 of 25 stored, 250 of 40, wind count -2"},
      {"short.nc", 0, 4, 3, 2, "ABCD: 12, 7, 5 claimed, 4, 3, 2 stored"},
      {"short.nc", 1, 0, 0, 0, "NEG: counts -1, -5, -9999 with levels stored"},
  };
  for (const auto& c : cases) {
    int kind = 0;
    int fd = open_cdf(built(c.file), &kind);
    UPA_report r = read_rec(fd, UPA_REP_ALL, c.rec);
    EXPECT_EQ(r.numman, c.man) << c.why;
    EXPECT_EQ(r.numsig, c.sig) << c.why;
    EXPECT_EQ(r.numwnd, c.wnd) << c.why;
    // the level after the last one kept is missing
    EXPECT_TRUE(c.man == UPA_MAX_MAN || r.man[c.man].p == MISSING) << c.why;
    EXPECT_TRUE(c.sig == UPA_MAX_SIG || r.sig[c.sig].p == MISSING) << c.why;
    EXPECT_TRUE(c.wnd == UPA_MAX_WND || r.wnd[c.wnd].h == MISSING) << c.why;
  }
  // The last level of each kept part, by the formulas of caps.cdl at i = 24, 199, 99.
  int kind = 0;
  int fd = open_cdf(built("caps.nc"), &kind);
  UPA_report r = read_rec(fd, UPA_REP_ALL, 0);
  expect_level(r.man[24], UPA_level{760, 2400, -4, -14, 120, 24}, "mandatory level 24");
  EXPECT_EQ(r.sig[199].p, 204.0f);   // 1000 - 4 * 199
  EXPECT_EQ(r.sig[199].t, -79.5f);   // 20 - 199 / 2
  EXPECT_EQ(r.wnd[99].h, 49500.0f);  // 500 * 99
  EXPECT_EQ(r.wnd[99].spd, 99.0f);
  // MSP's 40th stored significant level, 981 - 12 * 39 mb.
  fd = open_cdf(built("stations.nc"), &kind);
  EXPECT_EQ(read_rec(fd, UPA_REP_ALL, 2).sig[39].p, 513.0f);
}

// A report read before keeps nothing: slots the new record does not fill are missing.
TEST(CdfRead, StartsFromEmptyReport) {
  int kind = 0;
  int fd = open_cdf(built("caps.nc"), &kind);
  UPA_report r{};
  int rec = 0;
  ASSERT_EQ(UPA_read(fd, &r, UPA_REP_ALL, &rec), 0);  // every slot filled
  fd = open_cdf(built("short.nc"), &kind);
  ASSERT_EQ(UPA_read(fd, &r, UPA_REP_ALL, &rec), 0);  // four mandatory levels
  expect_level(r.man[10], kMissingLevel, "slot 10");
  expect_level(r.man[UPA_SLOT_TROP], kMissingLevel, "tropopause");
  EXPECT_EQ(r.sig[3].p, MISSING);
  EXPECT_EQ(r.wnd[2].h, MISSING);
}

// Variables of unexpected shape or type: numeric types are converted, text read as a
// number, a wrong rank or an absent variable give missing values; texts longer than the
// record's fields are cut to 10 characters.
TEST(CdfRead, UnexpectedShapes) {
  int kind = 0;
  int fd = open_cdf(built("shapes.nc"), &kind);
  ASSERT_EQ(kind, UPA_KIND_CDF_STN);
  UPA_report r = read_rec(fd, UPA_REP_ALL, 0);
  EXPECT_STREQ(r.id, "LONGSTATIO");
  EXPECT_STREQ(r.area, "REGIONLONG");
  EXPECT_EQ(r.wmo, IMISSING);     // idn stored as text
  EXPECT_EQ(r.lat, 41.5f);        // a double
  EXPECT_EQ(r.lon, MISSING);      // one value per level instead of per station
  EXPECT_EQ(r.elev, MISSING);     // z_man without its level dimension
  EXPECT_EQ(r.numman, 3);         // a float count
  struct Case { int slot; UPA_level want; };
  const Case cases[] = {
      // p a double, z wrong rank, t text, td absent, dir int, spd byte
      {0, {970, MISSING, MISSING, MISSING, 180, 15}},
      {1, {1000, MISSING, MISSING, MISSING, 190, 20}},
      {2, {925, MISSING, MISSING, MISSING, 200, 25}},
  };
  for (const auto& c : cases) expect_level(r.man[c.slot], c.want, std::to_string(c.slot));
  EXPECT_EQ(r.numsig, 2);          // a short count
  EXPECT_EQ(r.sig[0].p, MISSING);  // p_sigt has a third dimension
  EXPECT_EQ(r.sig[1].t, 18.5f);
  EXPECT_EQ(r.sig[1].td, 9.5f);
  EXPECT_EQ(r.numwnd, 2);
  EXPECT_EQ(r.wnd[1].h, 3000.0f);
  EXPECT_EQ(r.wnd[1].dir, MISSING);  // dir_sigw without its level dimension
  EXPECT_EQ(r.wnd[1].spd, 30.0f);
}

// A file with no records, and a file cut inside its data: reads end cleanly.
TEST(CdfRead, EmptyAndCutFiles) {
  int kind = 0;
  int fd = open_cdf(built("empty.nc"), &kind);
  ASSERT_NE(fd, -1);
  UPA_report r{};
  int rec = 0;
  EXPECT_EQ(UPA_read(fd, &r, UPA_REP_IDENT, &rec), -1);

  // stations.nc less its last 400 bytes, cut inside the last station's record (each
  // record is over 1400 bytes): the library opens it and every form of every record
  // reads; the records before the cut are intact.
  std::string cut = truncated_copy("stations.nc", -400);
  fd = open_cdf(cut, &kind);
  ASSERT_NE(fd, -1);
  for (rec = 0; rec < 4; ++rec) {
    for (int form : {UPA_REP_IDENT, UPA_REP_LOC, UPA_REP_ALL, 2, UPA_REP_TROP}) {
      int n = rec;
      EXPECT_EQ(UPA_read(fd, &r, form, &n), rec < 3 ? 0 : -1) << rec << " " << form;
    }
  }
  UPA_report den = read_rec(fd, UPA_REP_ALL, 1);
  expect_level(den.man[3], UPA_level{850, 1480, 19, 3, 170, 15}, "DEN 850 mb");
  EXPECT_EQ(den.wnd[2].h, 10000.0f);

  // Cut inside the header: not a netCDF file any more, even when named as one.
  kind = UPA_KIND_CDF_STN;
  EXPECT_EQ(UPA_open(truncated_copy("stations.nc", 300).c_str(), 0, &kind), -1);
}

// Station listing and search by identifier or WMO number on netCDF files.
TEST(CdfStations, ListAndSearch) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(UPA_open_file(built("stations.nc").c_str()), 1);
  UPA_list_stations();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Date: 00Z 04 APR 97\nPossible stations\n OAX  DEN  MSP \n\n");

  struct Case { const char* answer; int found; const char* id; };
  const Case cases[] = {
      {"72469", 1, "DEN"},   // WMO number of the second station
      {"msp", 1, "MSP"},     // identifier, any case
      {"OAX", 1, "OAX"},     // first record
      {"72558", 0, ""},      // no station carries this number
      {"-9999", 0, ""},      // OAX's missing number never matches
  };
  for (const auto& c : cases) {
    UPA_report r{};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(UPA_get_station(c.answer, &r), c.found) << c.answer;
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    if (c.found) {
      EXPECT_STREQ(r.id, c.id);
      EXPECT_GT(r.numsig, 0) << c.answer << ": whole report read";
    }
  }

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ASSERT_EQ(UPA_open_file(built("reports.nc").c_str()), 1);
  UPA_report r{};
  EXPECT_EQ(UPA_get_station("72450", &r), 1);  // kind 12 carries WMO numbers too
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_STREQ(r.id, "ICT");
  EXPECT_EQ(r.man[3].spd, 19.44f);

  testing::internal::CaptureStdout();
  ASSERT_EQ(UPA_open_file(built("empty.nc").c_str()), 1);
  UPA_list_stations();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Date: 00Z 01 JUL 99\nPossible stations\n\n\n");
}

// A file that begins like netCDF but is not: the tool layer's warning only, no report
// from the library.
TEST(CdfStations, NotNetcdf) {
  std::string fake = std::string(ZUD_TEST_DATA) + "/cdf/not_netcdf.txt";
  testing::internal::CaptureStderr();
  EXPECT_EQ(UPA_open_file(fake.c_str()), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "UPA_open_file: Unable to open file:" + fake + "\n");
}
