// The real binary on netCDF upper-air files: a station read from either netCDF layout
// prints the same tables as the same station read from the text sample; listings, WMO
// search, unknown stations and damaged files end with their documented status and message.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "run_parse.h"

namespace {

const std::string kBuild = std::string(ZUD_BUILD_DATA) + "/";  // fixtures made by ncgen
const std::string kCdfSrc = std::string(ZUD_TEST_DATA) + "/cdf/";  // fixture sources

// Runs a batch analysis of station `id` in `file` with every table printed. The sample
// directory is the working directory, so both readings complete the location from the
// same station database.
e2e::Run analyse(const std::string& file, const std::string& id) {
  e2e::Options opt;
  opt.cwd = ZUD_SAMPLE_DATA;
  return e2e::run({"-ba", "-me", "out4", "-id", id, file}, opt);
}

// Decimal places of a token printed as a plain fixed-point number ("-12.34" gives 2,
// "118" gives 0), or -1 when the token is anything else ("944.0-", "|", "knt").
int decimals(const std::string& tok) {
  size_t i = (!tok.empty() && tok[0] == '-') ? 1 : 0;
  size_t digits = 0, point = std::string::npos;
  for (; i < tok.size(); ++i) {
    if (tok[i] == '.' && point == std::string::npos) {
      point = i;
    } else if (tok[i] >= '0' && tok[i] <= '9') {
      ++digits;
    } else {
      return -1;
    }
  }
  if (digits == 0) return -1;
  return point == std::string::npos ? 0 : static_cast<int>(tok.size() - point - 1);
}

// True when `got` prints the same field as `want`: the same text, or, when `tolerant`,
// two numbers no more than one unit of the coarser last printed digit apart.
bool same_field(const std::string& want, const std::string& got, bool tolerant) {
  if (want == got) return true;
  const int dw = decimals(want), dg = decimals(got);
  if (!tolerant || dw < 0 || dg < 0) return false;
  const double unit = std::pow(10.0, -std::min(dw, dg));
  return std::fabs(std::atof(want.c_str()) - std::atof(got.c_str())) <= unit * (1 + 1e-9);
}

// Writes the first bytes of the generated kind 11 fixture into a scratch file `name`: as
// many as `num / den` of those before record 0, plus `extra`. Record 0 begins where the
// text "OAX", its first field, first appears. Returns the path ("" when no "OAX" found).
std::string cut_stations(const char* name, size_t num, size_t den, size_t extra) {
  const std::string full = e2e::slurp(kBuild + "stations.nc");
  const size_t rec0 = full.find("OAX");
  if (rec0 == std::string::npos) return "";
  const std::string path = zud_test_tmpdir() + name;
  e2e::spit(path, full.substr(0, rec0 * num / den + extra));
  return path;
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> items;
  std::string item;
  std::istringstream in(text);
  while (std::getline(in, item, sep)) items.push_back(item);
  return items;
}

using e2e::words;

// The first line where `got` departs from `want` (identical lines, or when `tolerant` the
// same words with numbers within a unit of the last digit), "" when none does.
std::string first_difference(const std::string& want, const std::string& got, bool tolerant) {
  const auto wl = split(want, '\n'), gl = split(got, '\n');
  for (size_t i = 0; i < std::max(wl.size(), gl.size()); ++i) {
    const std::string w = i < wl.size() ? wl[i] : "<end>", g = i < gl.size() ? gl[i] : "<end>";
    bool same = w == g;
    if (!same && tolerant) {
      const auto ww = words(w), gw = words(g);
      same = ww.size() == gw.size();
      for (size_t k = 0; same && k < ww.size(); ++k) same = same_field(ww[k], gw[k], true);
    }
    if (!same) return "line " + std::to_string(i + 1) + "\n want: " + w + "\n  got: " + g;
  }
  return "";
}

// The comparison itself must reject what it is meant to reject, or the table test below
// would pass on any output.
TEST(CdfTables, FieldComparison) {
  struct Row {
    const char* want;
    const char* got;
    bool same;
    const char* why;
  } rows[] = {
      {"17.9", "18.0", true, "one unit of the first decimal: conversion rounding"},
      {"17.9", "18.1", false, "two units apart is a real difference"},
      {"118", "117", true, "one knot on an integer column"},
      {"118", "116", false, "two knots"},
      {"-0.0", "0.0", true, "sign of a rounded zero"},
      {"9.0", "10", true, "pressure column switching format at 10 mb"},
      {"944.0-", "944.1-", false, "text around a number is compared exactly"},
      {"knt", "kts", false, "words are compared exactly"},
  };
  for (const Row& r : rows) EXPECT_EQ(same_field(r.want, r.got, true), r.same) << r.why;
  EXPECT_FALSE(same_field("17.9", "18.0", false)) << "exact mode tolerates nothing";
  EXPECT_EQ(first_difference("a 1.0\nb", "a 1.0", true).rfind("line 2", 0), 0u)
      << "a missing line is a difference";
}

// OAX from the netCDF fixtures against OAX of the text sample: everything printed, the
// location block, the significant-level table, indices, parcel, wind and storm tables.
TEST(CdfTables, SameAsTextSample) {
  const e2e::Run text = analyse("sample.upa", "OAX");
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_NE(text.out.find("Storm Parameters"), std::string::npos) << "text run printed no tables";
  ASSERT_NE(text.out.find("WMO ident:  72558"), std::string::npos) << "database did not fill OAX";
  const std::string search = "Searching for OAX...\n";
  const size_t at = text.out.find(search);
  ASSERT_NE(at, std::string::npos);

  struct Row {
    const char* file;
    const char* id;
    bool tolerant;
    const char* why;
  } rows[] = {
      {"stations.nc", "OAX", false,
       "kind 11 stores the sample's own knots and feet: every byte must agree"},
      {"metric.nc", "OAX", true,
       "kind 12 stores m/s and m: the reader's x 1.944 and x 3.2808 must give back the "
       "sample's knots and feet, and the search must pass over record 0 (TOP)"},
      {"metric.nc", "72558", true,
       "a leading digit searches by WMO number: OAX (72558), not TOP (72456) before it"},
      {"metric.nc", "oax", true, "a three-letter answer is raised to OAX and matches"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.file) + " -id " + r.id + ": " + r.why);
    const e2e::Run cdf = analyse(kBuild + r.file, r.id);
    EXPECT_EQ(cdf.status, 0) << cdf.err;
    EXPECT_EQ(cdf.err, text.err);
    std::string shown = r.id;
    if (shown == "oax") shown = "OAX";
    std::string want = text.out;
    want.replace(at, search.size(), "Searching for " + shown + "...\n");
    EXPECT_EQ(first_difference(want, cdf.out, r.tolerant), "");
  }
}

// Listings, a search that finds nothing and files that hold no usable upper-air data.
TEST(CdfOutcomes, StatusAndMessages) {
  // A file cut in the middle of its header, and one cut just before its first record.
  const std::string cut_header = cut_stations("cut_header.nc", 1, 2, 0);
  const std::string cut_records = cut_stations("cut_records.nc", 1, 1, 0);
  ASSERT_NE(cut_header, "");
  const std::string not_cdf = kCdfSrc + "not_netcdf.txt";

  struct Row {
    std::string file;
    const char* id;
    int status;
    std::string out;  // text that standard output must contain
    std::string err;  // text that standard error must contain ("" for empty)
    const char* why;
  } rows[] = {
      {kBuild + "stations.nc", "list", 0, "Possible stations\n OAX  DEN  MSP \n\n", "",
       "kind 11 listing: each identifier as \"%4s \", nothing analysed"},
      {kBuild + "metric.nc", "LIST", 0, "Possible stations\n TOP  OAX \n\n", "",
       "kind 12 listing; the keyword ignores case"},
      {kBuild + "empty.nc", "list", 0, "Possible stations\n\n\n", "",
       "no records: the heading and the closing blank lines only"},
      {kBuild + "stations.nc", "72469", 0, "Station: DEN\nWMO ident:  72469\n", "",
       "WMO search in kind 11 finds the second record"},
      {kBuild + "metric.nc", "XYZ", 31, "Searching for XYZ...\n",
       "UPA_get_station: No such station:XYZ\nUnable to find a station\n",
       "an identifier in no record ends the run after one search"},
      {kBuild + "empty.nc", "OAX", 31, "Date: 00Z 01 JUL 99\n",
       "UPA_get_station: No such station:OAX\nUnable to find a station\n",
       "the file opens and has a date but no record to search"},
      {not_cdf, "OAX", 31, "Searching for OAX...\n",
       "UPA_open_file: Unable to open file:" + not_cdf + "\n",
       "text starting \"CDF\" is taken for netCDF, which the library refuses"},
      {kBuild + "neither.nc", "OAX", 31, "Searching for OAX...\n",
       "UPA_open_file: Unable to open file:" + kBuild + "neither.nc\n",
       "a netCDF file with neither a station nor a report dimension is no upper-air file"},
      {cut_header, "OAX", 31, "Searching for OAX...\n", "Unable to find a station\n",
       "a header cut in half: nothing readable, no crash"},
      {cut_records, "OAX", 31, "Searching for OAX...\n",
       "UPA_get_station: No such station:OAX\nUnable to find a station\n",
       "a complete header without its records: every identifier reads empty"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.file + " -id " + r.id + ": " + r.why);
    const e2e::Run run = analyse(r.file, r.id);
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_NE(run.out.find(r.out), std::string::npos) << run.out;
    const bool listing = r.out.rfind("Possible stations", 0) == 0;
    if (listing) {
      EXPECT_EQ(run.out.find("Searching for"), std::string::npos) << "analysed";
    }
    if (r.err.empty()) {
      EXPECT_EQ(run.err.find("UPA_"), std::string::npos) << run.err;
    } else {
      EXPECT_NE(run.err.find(r.err), std::string::npos) << run.err;
    }
  }
}

// A file cut inside its first record still opens: the library hands back zeros for the
// missing bytes. Whatever the run makes of that, it must end normally.
TEST(CdfOutcomes, CutInsideRecordEndsNormally) {
  const std::string cut = cut_stations("cut_inside.nc", 1, 1, 200);
  ASSERT_NE(cut, "");
  const e2e::Run run = analyse(cut, "OAX");
  EXPECT_TRUE(run.status == 0 || run.status == 31) << run.status << "\n" << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
}

// Files of an archive with damaged headers (bytes flipped, cut or repeated): the netCDF
// library crashed on the first and tried allocations of 25 to 70 GB on the others. Each
// is refused before the library sees it, with one warning naming the fault, and treated
// as any unreadable file. The faults were found by decoding each header by hand from a
// hex dump (and a separate throw-away decoder): the dimension count of the first is the
// text "OCT " (0x4F435420), a dropped field makes variable 3 of the second begin with a
// name length of 0x45C, and a flipped byte gives variable 8 of the third 0xD9000001
// dimensions and variable 20 of the fourth 0x67770000.
TEST(CdfOutcomes, DamagedHeadersRefused) {
  const struct {
    const char* file;
    const char* fault;
  } rows[] = {
      {"segv_hashmapfree.nc", "dimension list counts 1329812512, more than the file holds"},
      {"huge_alloc_2.nc", "variable 3 name is 1116 bytes long"},
      {"huge_var_count.nc", "variable 8 dimension ids run past the end of the file"},
      {"slow_under_asan.nc", "variable 20 dimension ids run past the end of the file"},
  };
  for (const auto& r : rows) {
    const std::string path = kCdfSrc + r.file;
    SCOPED_TRACE(path);
    const e2e::Run run = analyse(path, "OAX");
    EXPECT_EQ(run.status, 31) << run.err;
    EXPECT_NE(run.out.find("Searching for OAX...\n"), std::string::npos) << run.out;
    const std::string want = "CDF_open: damaged netCDF header in " + path + ": " + r.fault +
                             "\nUPA_open_file: Unable to open file:" + path +
                             "\nUPA_get_station: No such station:OAX\nUnable to find a station\n";
    EXPECT_EQ(run.err, want);
  }
}

}  // namespace
