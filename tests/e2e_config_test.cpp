// The real binary configured through each source of resources alone — a defaults file,
// the environment — giving the same analysis as the command line; the precedence of the
// sources; and help under a program name longer than its buffer.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "run_parse.h"

namespace {

const std::string kSample = ZUD_SAMPLE_DATA;
const std::string kDefaultsDir = std::string(ZUD_TEST_DATA) + "/e2e/defaults";

// The analysis of station OAX in batch with every table, given on the command line: the
// reference every other way of configuring the same run must reproduce byte for byte.
e2e::Run reference() {
  e2e::Options opt = e2e::clean_options();
  opt.cwd = kSample;
  return e2e::run({"-ba", "-me", "out4", "-id", "OAX", "-fp", ".", "sample.upa"}, opt);
}

// The same analysis from a defaults file alone, or from "zud..." variables alone.
TEST(Configuration, EachSourceAloneGivesTheCommandLineAnalysis) {
  const e2e::Run ref = reference();
  ASSERT_EQ(ref.status, 0) << ref.err;
  // The reference must be a full analysis, or equal outputs would prove nothing.
  for (const char* part : {"Station: OAX", "Parcel Indices", "Storm Parameters"})
    ASSERT_TRUE(e2e::has(ref.out, part)) << part;

  const std::string mirror = e2e::sample_mirror("cfg_cwd");
  ASSERT_FALSE(mirror.empty());
  e2e::spit(mirror + "zud.cfg", e2e::slurp(kDefaultsDir + "/zud.cfg"));

  struct Case {
    const char* what;
    std::string cwd;
    std::vector<std::string> env, args;
  };
  const Case cases[] = {
      // zud.cfg in the working directory, read through the default path's ".".
      {"zud.cfg in cwd", mirror, {}, {}},
      // "zuddefault" names a directory: its zud.cfg is read, the working directory's not.
      {"zuddefault dir", kSample, {"zuddefault=" + kDefaultsDir}, {}},
      // "-df" names the file itself.
      {"-df file", kSample, {}, {"-df", kDefaultsDir + "/zud.cfg"}},
      // Environment only, the input file through the positional's variable.
      {"env only",
       kSample,
       {"zudident=OAX", "zudbatch=", "zudmess=out4", "zudfile=.", "zudfilename=sample.upa"},
       {}},
      // Environment for the settings, the file as the positional argument.
      {"env + positional",
       kSample,
       {"zudident=OAX", "zudbatch=", "zudmess=out4", "zudfile=."},
       {"sample.upa"}},
      // The program-qualified variable "zud" + program + "." + resource is looked up too.
      {"program-qualified env",
       kSample,
       {"zudua_parse.identifier=OAX", "zudbatch=", "zudmess=out4", "zudfile=."},
       {"sample.upa"}},
  };
  for (const auto& c : cases) {
    e2e::Options opt = e2e::clean_options();
    opt.cwd = c.cwd;
    opt.env = c.env;
    e2e::Run r = e2e::run(c.args, opt);
    EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
    EXPECT_EQ(r.err, ref.err) << c.what;
    EXPECT_EQ(r.out, ref.out) << c.what;
  }
}

// Defaults < environment < command line, for a plain resource (the station) and for one
// converted when gathered (the message level; only out4 prints "Parcel Indices").
TEST(Configuration, PrecedenceDefaultsEnvironmentCommandLine) {
  const std::string dir = e2e::sample_mirror("cfg_prec");
  ASSERT_FALSE(dir.empty());
  const std::string base =
      "ua_parse.batch on\nua_parse.file_path .\nua_parse.filename sample.upa\n*message out1\n";
  struct Case {
    const char* cfg;  // lines after the base ones (a later line overrides an earlier one)
    std::vector<std::string> env, args;
    const char* station;
    bool out4;
  };
  const Case cases[] = {
      {"*identifier GRB\n", {}, {}, "GRB", false},                          // file alone
      {"*identifier GRB\n", {"zudident=DNR"}, {}, "DNR", false},            // env beats file
      {"*identifier GRB\n", {"zudident=DNR"}, {"-id", "MFL"}, "MFL", false},  // option beats both
      {"*identifier GRB\n", {}, {"-id", "MFL"}, "MFL", false},              // option beats file
      {"*identifier OAX\n*message out4\n", {}, {}, "OAX", true},            // later line wins
      {"*identifier OAX\n*message out4\n", {"zudmess=out1"}, {}, "OAX", false},  // env beats file
      {"*identifier OAX\n", {"zudmess=out4"}, {"-me", "out1"}, "OAX", false},    // option beats env
      // "-df" replaces the defaults path "zuddefault" gives (here one that does not exist).
      {"*identifier GRB\n", {"zuddefault=/nonexistent/zud"}, {"-df", "."}, "GRB", false},
  };
  for (const auto& c : cases) {
    e2e::spit(dir + "zud.cfg", base + c.cfg);
    e2e::Options opt = e2e::clean_options();
    opt.cwd = dir;
    opt.env = c.env;
    e2e::Run r = e2e::run(c.args, opt);
    const std::string what = std::string(c.cfg) + " " + (c.env.empty() ? "" : c.env[0]);
    EXPECT_EQ(r.status, 0) << what << r.err;
    EXPECT_TRUE(e2e::has(r.out, std::string("Station: ") + c.station + "\n")) << what;
    EXPECT_EQ(e2e::has(r.out, "Parcel Indices"), c.out4) << what;
  }
}

// Help through a link with a 120-character name: the name is cut to the 79 characters
// its 80-byte buffer holds, the help is whole and the status 0.
TEST(Configuration, HelpUnderLongProgramName) {
  const std::string name(120, 'p');
  const std::string link = e2e::scratch("cfg_help") + name;
  ASSERT_EQ(symlink(ZUD_PARSE_BIN, link.c_str()), 0);
  e2e::Options opt = e2e::clean_options();
  opt.program = link;
  e2e::Run r = e2e::run({"-h"}, opt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string shown(79, 'p');
  EXPECT_EQ(r.out.rfind(shown + ": This program reads data for an individual station,\n", 0), 0u)
      << r.out.substr(0, 200);
  EXPECT_TRUE(e2e::has(r.out, "   " + shown + " [options...]\n"));
  EXPECT_TRUE(e2e::has(r.out, "Input file names"));  // the last line of the summary
}

}  // namespace
