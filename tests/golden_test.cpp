// golden_test.cpp — end-to-end runs of the real ua_parse binary compared byte for byte
// with recorded outputs, and the station-selection dialogue of the binary.
//
// Each golden case is one run; its standard output, standard error and exit status are
// kept as tests/data/golden/<case>.out, .err and .status. Setting ZUD_UPDATE_GOLDEN=1 in
// the environment rewrites those files from the current binary instead of comparing.
//
// How the recorded numbers were checked: every printed value of every .out file is
// recomputed by tests/golden/verify.py (CTest test "golden_verify") from the station's
// input report, the station database and the printed columns, with formulas of its own
// taken from textbook meteorology, not from the program; a line holding a digit that no
// check covers fails it:
//   - location block from upa.cty; the p/T/Td of every report group, decoded
//     independently, found in the level table (or screened as superadiabatic);
//     mandatory heights and winds as reported, other heights by the hypsometric equation
//     between neighbouring rows, other winds from the wind table in ln p;
//   - level table: RH, T-Td, wet bulb, theta, theta-v, theta-w, theta-e and mixing ratio
//     from the printed p/T/Td (Goff-Gratch saturation pressure, LCL by bisection on the
//     dry adiabat, saturated adiabats by bisection on their theta-e label);
//   - 1000-500 mb thickness (hypsometric, virtual temperature), precipitable water
//     (trapezoids of specific humidity), freezing and wet-bulb-zero crossings, 700-500
//     lapse rate, maximum temperature, mean RH, the surface LCL, the CCL with its mean
//     mixing ratio and the convective temperature, the theta-e index;
//   - total totals, vertical and cross totals, K, SWEAT and energy index from the printed
//     850/700/500 rows; lifted indices, Showalter index and cap strength from a parcel
//     ascent of the checker's own; CAPE, CIN, LFC, EL, MPL and B at the EL from an
//     independent parcel integration (1 mb steps; CAPE above the LCL only, CAPE and CIN 0
//     without an LFC, the EL at the top of the highest positive area); w max =
//     sqrt(2 CAPE);
//   - risk words from the printed index values; feet, Fahrenheit and the heights of the
//     printed pressures from the printed table;
//   - wind table: u/v from dir/speed, the storm-relative part from the storm motion, the
//     rows as the report's winds, their pressures by the hypsometric equation between
//     the reported levels; storm motion 30 degrees right of the printed 0-6000 m mean at
//     75 %; layer mean winds by log-pressure trapezoids; storm-relative inflow; shear
//     and helicity (signed area of the storm-relative hodograph) and the
//     natural-coordinate vorticities from the wind profile in 10 m steps, the wind
//     components linear in height between the rows; ave = tot /
//     depth, tot = pos + neg; energy-helicity index from the 2000 m helicity and CAPE;
//     bulk shear and bulk Richardson number;
//   - an output without the wind-level table (default message level) has its remaining
//     wind lines compared with those of a checked output of the same station.
// The tolerances are listed in verify.py beside each check.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "run_parse.h"

extern char** environ;

namespace {

const std::string kGoldenDir = ZUD_TEST_DATA "/golden/";
const std::string kNosig = ZUD_TEST_DATA "/golden/nosig.upa";

// A run isolated from the developer's settings: every "zud..." variable is removed, the
// defaults path points at a directory without defaults files, and the working directory
// is the sample directory, whose upa.cty completes the station locations.
e2e::Options isolated(const std::string& input = "") {
  e2e::Options opt;
  opt.cwd = ZUD_SAMPLE_DATA;
  opt.input = input;
  for (char** e = environ; *e; ++e) {
    std::string name(*e, std::strcspn(*e, "="));
    if (name.compare(0, 3, "zud") == 0) opt.unset.push_back(name);
  }
  opt.env.push_back("zuddefault=" + kGoldenDir);
  return opt;
}

struct GoldenCase {
  const char* name;               // base name of the golden files
  std::vector<std::string> args;  // command line after the program name
};

// Every table of the program shows under "-ba -me out4"; the stations are chosen for the
// branches they reach.
const GoldenCase kGolden[] = {
    // Moist unstable spring sounding: CAPE with LFC, EL and MPL, all risk words above
    // "None", a 1000 mb level below the ground.
    {"oax_out4", {"-ba", "-me", "out4", "-id", "OAX", "sample.upa"}},
    // Stable winter sounding: surface below freezing, an elevated warm layer (two
    // crossings), wet-bulb zero below ground, no LFC.
    {"grb_out4", {"-ba", "-me", "out4", "-id", "GRB", "sample.upa"}},
    // High station, surface at 652 mb: 1000-700 mb below ground, so the 850-based indices,
    // the 700 mb lifted index and precipitable water drop out.
    {"lxa_out4", {"-ba", "-me", "out4", "-id", "LXA", "sample.upa"}},
    // Missing groups ("X") in the mandatory part and a level without dew point.
    {"dnr_out4", {"-ba", "-me", "out4", "-id", "DNR", "sample.upa"}},
    // Levels above 10 mb, a 4.6 mb significant level, surface above 1000 mb ("015").
    {"mfl_out4", {"-ba", "-me", "out4", "-id", "MFL", "sample.upa"}},
    // No significant levels, missing groups: no surface pressure, so the analysis starts
    // at 1000 mb; a removed 700 mb level, no 250 mb level, no maximum wind.
    {"nsl_out4", {"-ba", "-me", "out4", "-id", "NSL", kNosig}},
    // No significant levels and no 1000 mb temperature: the 1000 mb level becomes the
    // surface without data, and every surface-based analysis is missing.
    {"nsh_out4", {"-ba", "-me", "out4", "-id", "NSH", kNosig}},
    // Default message level, interactive mode: banner, out1 and out2 tables with their
    // pauses (the empty input answers them), no wind-level or storm tables.
    {"oax_default", {"-id", "OAX", "sample.upa"}},
    // Dash printing of missing values in the level table (below-ground levels and a
    // level without dew point).
    {"dnr_prdash", {"-ba", "-me", "out4", "-pa", "prdash", "-id", "DNR", "sample.upa"}},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, MatchesRecordedOutput) {
  const GoldenCase& c = GetParam();
  e2e::Run r = e2e::run(c.args, isolated());
  const std::string base = kGoldenDir + c.name;
  const std::string status = std::to_string(r.status) + "\n";
  if (std::getenv("ZUD_UPDATE_GOLDEN")) {
    e2e::spit(base + ".out", r.out);
    e2e::spit(base + ".err", r.err);
    e2e::spit(base + ".status", status);
    GTEST_SKIP() << "golden files rewritten: " << base;
  }
  // An absent golden file reads as empty and must not pass against an empty output.
  ASSERT_FALSE(e2e::slurp(base + ".status").empty()) << base;
  EXPECT_EQ(r.out, e2e::slurp(base + ".out"));
  EXPECT_EQ(r.err, e2e::slurp(base + ".err"));
  EXPECT_EQ(status, e2e::slurp(base + ".status"));
}

INSTANTIATE_TEST_SUITE_P(Stations, Golden, ::testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::string(info.param.name); });

const char kPrompt[] = "Enter station to be used in the analysis: ";
// The listing of the sample: "%4s " per identifier, then a blank line.
const char kListing[] = "Possible stations\n OAX  GRB  LXA  DNR  MFL \n\n";

struct SelectCase {
  const char* why;                // what the row shows
  std::vector<std::string> args;  // command line after the program name
  const char* input;              // standard input
  int status;                     // expected exit status
  const char* out_part;           // text standard output must hold ("" when exact)
  const char* out;                // exact standard output, or null when out_part is used
  const char* err;                // exact standard error
};

// Station selection end to end; the expected texts are written by hand from the message
// formats: "Searching for %s...", "UPA_get_station: No such station:%s", "Unable to find a
// station", the prompt and the listing.
const SelectCase kSelect[] = {
    // "list" (any case) prints only the listing at the print level and exits 0.
    {"list", {"-ba", "-id", "list", "sample.upa"}, "", 0, "", kListing, ""},
    {"LIST", {"-ba", "-id", "LIST", "sample.upa"}, "", 0, "", kListing, ""},
    // A resource value is searched once: not found ends with 31, both messages on stderr.
    {"not found", {"-ba", "-id", "XYZ", "sample.upa"}, "", 31, "", "",
     "UPA_get_station: No such station:XYZ\nUnable to find a station\n"},
    // The answer is upper-cased when it has three characters ("Searching for GRB").
    {"lower-case id", {"-ba", "-me", "mess", "-id", "grb", "sample.upa"}, "", 0,
     "Searching for GRB...\n", nullptr, ""},
    // A wrong answer is reported and asked again; "Grb" becomes GRB and is found ("mess":
    // print, error, warn and mess, so the search messages show but no table).
    {"second answer", {"-me", "mess", "sample.upa"}, "xyz\nGrb\n", 0,
     "Possible stations\n OAX  GRB  LXA  DNR  MFL \n\n"
     "Enter station to be used in the analysis: \nSearching for XYZ...\n"
     "Enter station to be used in the analysis: \nSearching for GRB...\n",
     nullptr, "UPA_get_station: No such station:XYZ\n"},
    // "exit" at the prompt ends the run with 0 before any search ("print": the listing and
    // the prompt only).
    {"exit", {"-ba", "-me", "print", "sample.upa"}, "exit\n", 0, "",
     "Possible stations\n OAX  GRB  LXA  DNR  MFL \n\n"
     "Enter station to be used in the analysis: ",
     ""},
    // Four searches, the fifth answer is read but not searched: status 31. "a" stays
    // lower case (one character, starting with a lower-case letter).
    {"five wrong answers", {"-ba", "sample.upa"}, "a\nb\nc\nd\ne\n", 31, kPrompt,
     nullptr,
     "UPA_get_station: No such station:a\nUPA_get_station: No such station:b\n"
     "UPA_get_station: No such station:c\nUPA_get_station: No such station:d\n"
     "Unable to find a station\n"},
    // Batch mode without a message setting keeps only print, error and warn: the
    // analysis of a found station prints nothing at all.
    {"batch is quiet", {"-ba", "-id", "OAX", "sample.upa"}, "", 0, "", "", ""},
};

TEST(Selection, Dialogue) {
  for (const auto& c : kSelect) {
    e2e::Run r = e2e::run(c.args, isolated(c.input));
    EXPECT_EQ(r.status, c.status) << c.why;
    if (c.out)
      EXPECT_EQ(r.out, c.out) << c.why;
    else
      EXPECT_NE(r.out.find(c.out_part), std::string::npos) << c.why << "\n" << r.out;
    EXPECT_EQ(r.err, c.err) << c.why;
  }
}

// An answer typed at the prompt gives the same run as the identifier resource, with the
// listing, the prompt and its line end in front of the search message.
TEST(Selection, InteractiveAnswerMatchesResource) {
  const std::string golden = e2e::slurp(kGoldenDir + "oax_default.out");
  const std::string search = "Searching for OAX...\n";
  const size_t at = golden.find(search);
  ASSERT_NE(at, std::string::npos);
  std::string expected = golden;
  expected.insert(at, std::string(kListing) + kPrompt + "\n");
  e2e::Run r = e2e::run({"sample.upa"}, isolated("oax\n"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "");
}

}  // namespace
