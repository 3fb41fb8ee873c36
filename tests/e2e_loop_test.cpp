// The real binary gathering its resources from a running display loop named in the
// defaults path: answers it uses, values it pushes, the closing "quit", and the end of
// the program when the loop never answers.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "loop_guard.h"
#include "run_parse.h"

namespace {

using loop_test::TestLoop;

constexpr const char* kLoop = "LOOP";  // stands for the loop's "#N" in a defaults path
constexpr const char* kCfg = "CFG";    // stands for the scratch defaults directory

// The defaults path of `parts`, the stand-ins replaced by the loop's window and `cfg`.
std::string defaults_path(const std::vector<std::string>& parts, const TestLoop& loop,
                          const std::string& cfg) {
  std::string path;
  for (const auto& p : parts) {
    if (!path.empty()) path += ":";
    path += p == kLoop ? loop.Hash() : p == kCfg ? cfg : p;
  }
  return path;
}

// Every resource of the program is asked for, in table order, before anything is pushed;
// the log after the last query holds the pushes and the "quit".
TEST(DisplayLoop, ResourcesExchangedWithTheProgram) {
  const std::string cfg = e2e::scratch("loop_cfg");
  e2e::spit(cfg + "zud.cfg", "*identifier DNR\n");
  struct Case {
    const char* what;
    std::vector<std::string> table;  // the loop's answers
    std::vector<std::string> path;   // defaults path elements
    bool by_env;                     // path through "zuddefault", else through -df
    std::vector<std::string> args;
    const char* station;
    bool out4;         // "Parcel Indices" printed (message level out4)
    std::string tail;  // the log after "3 query res filename"
  };
  const Case cases[] = {
      // The loop's identifier is used; the command line's batch and message are pushed.
      {"answered", {"identifier=OAX"}, {kLoop}, false, {"-ba", "-me", "out1", "sample.upa"},
       "OAX", false, "3 set res batch \n3 set res message out1\n3 quit\n"},
      // An option beats the loop's answer and is pushed to the loop too.
      {"option beats loop", {"identifier=GRB"}, {kLoop}, true,
       {"-ba", "-me", "out1", "-id", "OAX", "sample.upa"}, "OAX", false,
       "3 set res batch \n3 set res message out1\n3 set res identifier OAX\n3 quit\n"},
      // A value from a defaults file earlier in the path, which the loop lacks, is pushed
      // during the exchange, before the options.
      {"file before loop", {}, {kCfg, kLoop}, true, {"-ba", "-me", "out1", "sample.upa"},
       "DNR", false,
       "3 set res identifier DNR\n3 set res batch \n3 set res message out1\n3 quit\n"},
      // A defaults file later in the path overrides the loop's answer.
      {"file after loop", {"identifier=GRB"}, {kLoop, kCfg}, false,
       {"-ba", "-me", "out1", "sample.upa"}, "DNR", false,
       "3 set res batch \n3 set res message out1\n3 quit\n"},
      // An answered message level is converted like any other value.
      {"message from loop", {"identifier=LXA", "message=out4"}, {kLoop}, false,
       {"-ba", "sample.upa"}, "LXA", true, "3 set res batch \n3 quit\n"},
  };
  for (const auto& c : cases) {
    TestLoop loop;
    ASSERT_TRUE(loop.Start({}, c.table)) << c.what;
    e2e::Options opt = e2e::clean_options();
    opt.cwd = ZUD_SAMPLE_DATA;
    std::vector<std::string> args = c.args;
    const std::string path = defaults_path(c.path, loop, cfg);
    if (c.by_env)
      opt.env.push_back("zuddefault=" + path);
    else
      args.insert(args.begin(), {"-df", path});
    e2e::Run r = e2e::run(args, opt);
    EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    EXPECT_EQ(r.err, "") << c.what;
    EXPECT_TRUE(e2e::has(r.out, std::string("Station: ") + c.station + "\n")) << c.what;
    EXPECT_EQ(e2e::has(r.out, "Parcel Indices"), c.out4) << c.what;
    const std::string log = loop.Log();
    EXPECT_EQ(log.rfind("connect 3\n3 query res help\n", 0), 0u) << c.what << "\n" << log;
    EXPECT_TRUE(e2e::has(log, "3 query res identifier\n")) << c.what;
    const std::string last = "3 query res filename\n";
    size_t at = log.find(last);
    ASSERT_NE(at, std::string::npos) << c.what << "\n" << log;
    EXPECT_EQ(log.substr(at + last.size()), c.tail) << c.what;
  }
}

// A loop that never grants the connection: after the link's time-out the program ends
// with status 7. The program sets no time-out of its own, so this is the link's default
// of 20 s (MQ_DEFAULT_TIMEOUT); the loop lives longer than that, so that it is the
// silence, not the queue's removal, that ends the wait.
TEST(DisplayLoop, SilentLoopEndsWithStatus7) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({"--silent", "--life=60"}, {}));
  e2e::Options opt = e2e::clean_options();
  opt.cwd = ZUD_SAMPLE_DATA;
  opt.timeout_s = MQ_DEFAULT_TIMEOUT + 20;
  auto t0 = std::chrono::steady_clock::now();
  e2e::Run r = e2e::run({"-df", loop.Hash(), "-ba", "-id", "OAX", "sample.upa"}, opt);
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.err, "Queue not responding!!\n");
  EXPECT_FALSE(e2e::has(r.out, "Station:"));  // no analysis was started
  EXPECT_GE(waited, MQ_DEFAULT_TIMEOUT - 0.5);
  EXPECT_LT(waited, MQ_DEFAULT_TIMEOUT + 5.0);
  EXPECT_EQ(loop.Log(), "");  // the silent loop read nothing
}

}  // namespace
