// Many stations in one run: an identifier list or "all" prints, station by station, what
// separate runs print; stations that are missing or damaged leave the others analysed.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "zudscript.h"

namespace {

// The sample directory (its upa.cty completes the locations), no defaults files.
e2e::Options sample_run() {
  e2e::Options opt = e2e::clean_options();
  opt.cwd = ZUD_SAMPLE_DATA;
  opt.env.push_back(std::string("zuddefault=") + ZUD_TEST_DATA "/golden/");
  return opt;
}

// The text after the first `n` lines.
std::string after_lines(const std::string& text, int n) {
  std::size_t pos = 0;
  for (int i = 0; i < n && pos != std::string::npos; ++i) {
    pos = text.find('\n', pos);
    if (pos != std::string::npos) ++pos;
  }
  return pos == std::string::npos ? "" : text.substr(pos);
}

e2e::Run parse(std::vector<std::string> args, const std::string& file = "sample.upa") {
  args.insert(args.begin(), "-ba");
  args.push_back(file);
  return e2e::run(args, sample_run());
}

// A run of a list prints the banner, its blank line and the file's date once, then for each
// station what a run of that station alone prints after those three lines. The list's
// order is kept, including one that turns back in the file (LXA lies after GRB).
TEST(StationsOfRun, ListPrintsWhatSeparateRunsPrint) {
  struct Case { std::vector<std::string> ids; std::string arg; };
  const Case cases[] = {
      {{"OAX", "GRB", "LXA"}, "OAX,GRB,LXA"},       // file order: one pass
      {{"LXA", "OAX", "LXA"}, "lxa,oax,LXA"},       // turns back, repeats, lower case
      {{"OAX", "GRB", "LXA", "DNR", "MFL"}, "all"}, // every station, file order
  };
  for (const auto& c : cases) {
    std::string tables, json, head;
    for (const std::string& id : c.ids) {
      const e2e::Run t = parse({"-me", "out4", "-id", id});
      ASSERT_EQ(t.status, 0) << id;
      head = t.out.substr(0, t.out.size() - after_lines(t.out, 3).size());
      tables += after_lines(t.out, 3);
      const e2e::Run j = parse({"-pa", "json", "-id", id});
      ASSERT_EQ(j.status, 0) << id;
      EXPECT_EQ(j.err, "") << id;
      json += j.out;
    }
    const e2e::Run t = parse({"-me", "out4", "-id", c.arg});
    EXPECT_EQ(t.status, 0) << c.arg;
    EXPECT_EQ(t.out, head + tables) << c.arg;
    EXPECT_EQ(t.err, "") << c.arg;
    const e2e::Run j = parse({"-pa", "json", "-id", c.arg});
    EXPECT_EQ(j.status, 0) << c.arg;
    EXPECT_EQ(j.out, json) << c.arg;
  }
}

// Identifiers that match nothing are named on standard error and skipped; the others are
// analysed, and the run ends with status 31.
TEST(StationsOfRun, MissingStationsGiveStatus31) {
  const e2e::Run r = parse({"-pa", "json", "-id", "NOPE,OAX,72558,GRB"});
  EXPECT_EQ(r.status, 31);
  // Kind 4 files carry no WMO numbers, so 72558 (OAX's) matches nothing, as alone.
  EXPECT_EQ(r.err,
            "UPA_get_station: No such station:NOPE\n"
            "UPA_get_station: No such station:72558\n");
  const e2e::Run oax = parse({"-pa", "json", "-id", "OAX"});
  const e2e::Run grb = parse({"-pa", "json", "-id", "GRB"});
  EXPECT_EQ(r.out, oax.out + grb.out);
  // Only missing ones: nothing printed, status 31.
  const e2e::Run none = parse({"-pa", "json", "-id", "NOPE,NADA"});
  EXPECT_EQ(none.status, 31);
  EXPECT_EQ(none.out, "");
}

// A block that lost most of its groups in the middle of a file: "all" reports it once and
// still analyses the stations on both sides of it, each as it prints alone.
TEST(StationsOfRun, DamagedBlockInTheMiddle) {
  const std::string file = ZUD_TEST_DATA "/damaged_middle.upa";
  const e2e::Run all = parse({"-me", "out4", "-id", "all"}, file);
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.err, "UPA_read: Station block 1 (GRB) is incomplete\n");
  std::string expected = all.out.substr(0, all.out.size() - after_lines(all.out, 3).size());
  for (const char* id : {"OAX", "GRB", "LXA"}) {
    const e2e::Run one = parse({"-me", "out4", "-id", id}, file);
    EXPECT_EQ(one.status, 0) << id;
    expected += after_lines(one.out, 3);
  }
  EXPECT_EQ(all.out, expected);
  EXPECT_TRUE(e2e::has(all.out, "Station: LXA\n"));
}

// List answers follow the prompt's rules: three-letter and non-lower-case answers are
// upper-cased, at most 10 characters are kept, empty items are dropped.
TEST(StationsOfRun, Answers) {
  struct Case { const char* value; std::vector<std::string> want; };
  const Case cases[] = {
      {"oax,abcd,1abc", {"OAX", "abcd", "1ABC"}},
      {"OAX,,72558,", {"OAX", "72558"}},
      {"abcdefghijklm,Xyz", {"abcdefghij", "XYZ"}},
  };
  for (const auto& c : cases) EXPECT_EQ(UPA_station_answers(c.value), c.want) << c.value;
  EXPECT_TRUE(UPA_is_station_list("OAX,GRB"));
  EXPECT_TRUE(UPA_is_station_list("ALL"));
  EXPECT_FALSE(UPA_is_station_list("OAX"));
  EXPECT_FALSE(UPA_is_station_list("list"));
  EXPECT_FALSE(UPA_is_station_list(nullptr));
}

// Stations analysed on several threads print exactly what one thread prints: tables or
// records in station order and every message (traces of the merge, the set-up and the
// analysis, warnings of missing and damaged stations) in the same place, on both streams
// and in the message copy file that receives them interleaved. Tables and records, damaged
// blocks, missing identifiers, CSV and JSON with levels, more threads than stations.
TEST(StationsOfRun, SeveralThreadsPrintWhatOnePrints) {
  const std::string damaged = ZUD_TEST_DATA "/damaged_middle.upa";
  struct Case { std::vector<std::string> args; std::string file; };
  const Case cases[] = {
      {{"-pa", "json", "-id", "all"}, "sample.upa"},
      {{"-pa", "csv", "-id", "NOPE,OAX,LXA,GRB,NADA"}, "sample.upa"},
      {{"-pa", "json,levels", "-id", "all"}, damaged},
      {{"-pa", "json", "-me", "debug", "-id", "LXA,OAX,MFL"}, "sample.upa"},
      {{"-pa", "prdash", "-me", "out4", "-id", "all"}, "sample.upa"},
      {{"-pa", "nothing", "-me", "out4", "-id", "all"}, damaged},
      {{"-pa", "nothing", "-me", "debug", "-id", "GRB,NOPE,OAX"}, "sample.upa"},
  };
  int serial = 0;
  for (const auto& c : cases) {
    std::vector<e2e::Run> runs;
    std::vector<std::string> copies;
    for (const char* jobs : {"1", "2", "3", "16"}) {
      std::vector<std::string> args = c.args;
      args[1] += std::string(",jobs=") + jobs;
      const std::string copy = e2e::scratch("pool_copy" + std::to_string(++serial) + ".txt");
      std::remove(copy.c_str());
      bool has_me = false;
      for (std::size_t k = 0; k + 1 < args.size(); ++k)
        if (args[k] == "-me") {
          args[k + 1] += ",+fi=" + copy;
          has_me = true;
        }
      if (!has_me) args.insert(args.begin(), {"-me", "+fi=" + copy});
      runs.push_back(parse(args, c.file));
      copies.push_back(e2e::slurp(copy));
    }
    ASSERT_FALSE(runs[0].out.empty()) << c.args[1];
    for (std::size_t k = 1; k < runs.size(); ++k) {
      EXPECT_EQ(runs[k].status, runs[0].status) << c.args[1] << " run " << k;
      EXPECT_EQ(runs[k].out, runs[0].out) << c.args[1] << " run " << k;
      EXPECT_EQ(runs[k].err, runs[0].err) << c.args[1] << " run " << k;
      EXPECT_EQ(copies[k], copies[0]) << c.args[1] << " run " << k;
    }
  }
}

}  // namespace
