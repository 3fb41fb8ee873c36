// Message levels, "-me" items, routing to the screen and log files, paging and the
// pause prompt.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "file_bytes.h"
#include "fresh_state.h"
#include "tmpdir.h"
#include "zud.h"

namespace {

// A file under a regular file can be neither created nor opened: the way to leave the
// message module without a message file.
constexpr const char* kNoFile = "/dev/null/none";

// Every test starts from the starting level, routing and paging (fresh_state.h), batch
// mode off and an empty standard input, and leaves them at their start.
class Mess : public FreshState {
 protected:
  void SetUp() override {
    FreshState::SetUp();
    FLAG_set_batch(0);
  }
  // Sets the level mask to exactly `level`.
  static void SetLevel(M_type level) {
    MESS_set(10, 0);
    MESS_set(11, level);
  }
  // Clears the line count of automatic paging: a pause that is answered resets it.
  void ResetLineCount() {
    answer("\n");
    testing::internal::CaptureStdout();
    MESS_hold(0xF00, "");
    testing::internal::GetCapturedStdout();
  }
  std::string Tmp(const char* name) { return zud_test_tmpdir() + name; }
};

// "-me" level items against a known starting level (results worked out by hand from the
// class masks and the rule "named bits and every bit below the highest").
TEST_F(Mess, LevelItems) {
  struct Case { M_type start; const char* item; M_type expect; };
  const Case cases[] = {
      {0x000FFFFF, "warn", 0x000000FF},        // warn and every more important class
      {0x000FFFFF, "out1a", 0x00001FFF},       // one sub-level bit 0x1000 and all below
      {0x000FFFFF, "errora", 0x0000001F},      // 0x10 and below: print plus error a
      {0x000FFFFF, "none", 0x00000000},        // everything off, errors too
      {0x000FFFFF, "+debug", 0xF00FFFFF},      // adds the debug class, keeps the rest
      {0x000FFFFF, "-mess", 0x000FF0FF},       // removes 0xF00 only
      {0x000FFFFF, "warna", 0x00000000},       // warn has only c and d: empty mask
      {0x000FFFFF, "warnc", 0x0000007F},       // 0x40 and below
      {0x000FFFFF, "WARN", 0x000000FF},        // keywords ignore case
      {0x000FFFFF, "OUT2B", 0x0003FFFF},       // sub-level letter ignores case: 0x20000
      {0x000FFFFF, "debugd", 0xFFFFFFFF},      // top bit: every bit, no overflow
      {0x000FFFFF, "bogus", 0x00000000},       // no keyword: empty mask sets 0
      {0x000FFFFF, "+bogus", 0x000FFFFF},      // adding the empty mask changes nothing
      {0x000FFFFF, "-errorb", 0x000FFFDF},     // removes 0x20 only
      {0x000FFFFF, "print,+debug", 0xF000000F},  // items apply in order
      {0x000FFFFF, "mess,-warn", 0x00000F3F},  // 0xFFF without 0xC0
      {0x00000000, "+out4c", 0x04000000},      // one bit added to nothing
  };
  for (const auto& c : cases) {
    SetLevel(c.start);
    EXPECT_EQ(MESS_set_str(c.item), 0) << c.item;
    EXPECT_EQ(MESS_get(), c.expect) << c.item << std::hex << " got 0x" << MESS_get();
  }
}

// Numeric level operations (expected masks by hand).
TEST_F(Mess, SetOperations) {
  struct Case { M_type start; int oper; M_type level; M_type expect; };
  const Case cases[] = {
      {0x000FFFFF, 0, 0x1000, 0x00001FFF},   // set: the bit and all below
      {0x000FFFFF, 10, 0x30, 0x0000003F},    // set, not counted
      {0x000000FF, 1, 0xF000, 0x0000F0FF},   // add
      {0x000000FF, 11, 0x80000000, 0x800000FF},  // add the top bit
      {0x000000FF, -1, 0xC0, 0x0000003F},    // remove
      {0x000000FF, 9, 0x0F, 0x000000F0},     // remove, not counted
      {0x000000FF, 0, 0, 0x00000000},        // set to nothing
      {0x000000FF, 7, 0xFFFF, 0x000000FF},   // no such operation: unchanged
  };
  for (const auto& c : cases) {
    SetLevel(c.start);
    MESS_set(c.oper, c.level);
    EXPECT_EQ(MESS_get(), c.expect) << "oper " << c.oper;
  }
}

// Explicit settings are counted; defaults of 16 and above yield to them.
TEST_F(Mess, ExplicitSettingsCount) {
  int n = MESS_check_set();
  MESS_set(0, 0xFF);
  EXPECT_EQ(MESS_check_set(), n + 1);
  MESS_set(10, 0xF);
  MESS_set(11, 0xF0);
  EXPECT_EQ(MESS_check_set(), n + 1);  // 10 to 15 never count
  MESS_set(20, 0x1);
  MESS_set(21, 0xF000);
  EXPECT_EQ(MESS_get(), 0xFFu);  // both ignored after an explicit setting
  MESS_set_str("warn");
  EXPECT_EQ(MESS_check_set(), n + 2);
  MESS_set_str(nullptr);  // no items, still an explicit setting
  EXPECT_EQ(MESS_check_set(), n + 3);
}

// A fresh process starts at 0x000FFFFF with no explicit setting, so a default of 20
// applies; after an explicit setting a default of 21 does not. Run in a new process.
TEST_F(Mess, FreshProcessDefaults) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        int rc = 0;
        if (MESS_get() != 0x000FFFFFu) rc = 1;
        if (MESS_check_set() != 0) rc = 2;
        if (MESS_get_max_lines() != 22) rc = 3;
        MESS_set(20, 0xFF);
        if (MESS_get() != 0xFFu) rc = 4;
        MESS_set(0, 0xF);
        MESS_set(21, 0xF00);
        if (MESS_get() != 0xFu) rc = 5;
        std::fflush(nullptr);
        std::_Exit(rc);
      },
      ::testing::ExitedWithCode(0), "");
}

// A reset brings back what a fresh process starts with (the values the test above
// checks in a new process): level 0x000FFFFF with no explicit setting, so a default of 20
// applies again; the screen as the destination, the message and copy files closed;
// paging on request with 22 lines.
TEST_F(Mess, ResetReturnsToStart) {
  const std::string log = Tmp("reset_log.txt"), copy = Tmp("reset_copy.txt");
  spit(log, "");
  MESS_set_str(("fi=" + log + ",line=5,nopage,warn").c_str());
  ASSERT_EQ(MESS_file(copy.c_str(), "w"), 0);
  EXPECT_EQ(MESS_reset(), 0);
  EXPECT_EQ(MESS_get(), 0x000FFFFFu);
  EXPECT_EQ(MESS_check_set(), 0);
  EXPECT_EQ(MESS_get_max_lines(), 22);
  int reached = 0;
  testing::internal::CaptureStdout();
  reached = MESS_print(0xF00, "after\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "after\n");
  EXPECT_EQ(reached, 1);          // file-only routing ("fi=") would keep it off the screen
  EXPECT_EQ(slurp(log), "");      // the message file was closed, not written
  EXPECT_EQ(slurp(copy), "");     // and so was the copy file
  answer("\n");
  testing::internal::CaptureStdout();
  MESS_hold(0xF00, "pause\n");   // "nopage" would skip the pause
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "pause\n");
  MESS_set(20, 0xFF);
  EXPECT_EQ(MESS_get(), 0xFFu);   // no explicit setting counted: the default applies
}

// Diagnostics (any bit of 0xF0) go to standard error, everything else to standard output;
// the result says whether the screen was reached.
TEST_F(Mess, RoutesToStreams) {
  struct Case { M_type level; bool to_err; };
  const Case cases[] = {
      {0x30, true},    // error class
      {0xC0, true},    // warn class
      {0x10, true},    // one error sub-level bit
      {0xF00, false},  // ordinary message
      {0x1, false},    // print a
      {0x1000, false}, // out1 a
  };
  SetLevel(0x000FFFFF);
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int rc = MESS_print(c.level, "lvl %X\n", c.level);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    char want[32];
    std::snprintf(want, sizeof want, "lvl %X\n", static_cast<unsigned>(c.level));
    EXPECT_EQ(rc, 1) << std::hex << c.level;
    EXPECT_EQ(c.to_err ? err : out, want) << std::hex << c.level;
    EXPECT_EQ(c.to_err ? out : err, "") << std::hex << c.level;
  }
}

// A disabled level prints nothing anywhere and reports 0.
TEST_F(Mess, DisabledLevelIsSilent) {
  MESS_set_str("none");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(MESS_print(0x30, "error\n"), 0);  // after "none" even errors are silent
  EXPECT_EQ(MESS_print(0xF00, "mess\n"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  SetLevel(0xFF);
  testing::internal::CaptureStdout();
  EXPECT_EQ(MESS_print(0xF00, "x\n"), 0);      // mess class not in 0xFF
  EXPECT_EQ(MESS_print(0x10000000, "x\n"), 0); // debug not in 0xFF
  EXPECT_EQ(MESS_print(0xF08, "%s\n", "y"), 1);  // shares print d with 0xFF
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "y\n");
}

// The banner and the effect of removing the mess class on it.
TEST_F(Mess, Banner) {
  SetLevel(0x000FFFFF);
  testing::internal::CaptureStdout();
  MESS_print_prog("UPPER AIR SOUNDING PRINTING");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "      UPPER AIR SOUNDING PRINTING (Ver 5.60.4-LINUX-X11)\n\n");
  MESS_set_str("-mess");
  testing::internal::CaptureStdout();
  MESS_print_prog("UPPER AIR SOUNDING PRINTING");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// A formatted message far longer than any fixed buffer arrives whole and identical on
// the screen and in the copy file.
TEST_F(Mess, LongMessageWhole) {
  SetLevel(0x000FFFFF);
  std::string big(10000, 'z');
  std::string copy = Tmp("mess_copy_long.txt");
  ASSERT_EQ(MESS_file(copy.c_str(), "w"), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(MESS_print(0xF00, "<%s|%d>\n", big.c_str(), 42), 1);
  std::string out = testing::internal::GetCapturedStdout();
  MESS_file_close();
  EXPECT_EQ(out, "<" + big + "|42>\n");
  EXPECT_EQ(slurp(copy), out);
}

// The copy file receives every printed message, and nothing after it is closed.
TEST_F(Mess, CopyFile) {
  SetLevel(0x000FFFFF);
  std::string copy = Tmp("mess_copy.txt");
  ASSERT_EQ(MESS_file(copy.c_str(), "w"), 0);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  MESS_print(0xF00, "one %d\n", 1);
  MESS_print(0x30, "two\n");
  MESS_print(0x10000000, "hidden\n");  // disabled: not copied either
  MESS_file_close();
  MESS_print(0xF00, "after\n");
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(slurp(copy), "one 1\ntwo\n");
  EXPECT_EQ(MESS_file(kNoFile, "w"), -1);  // unopenable: refused
}

// File items: append, truncate, file-only, any separator after the prefix.
TEST_F(Mess, FileItems) {
  struct Case { const char* prefix; const char* before; M_type level; int rc; const char* screen; const char* file; };
  const Case cases[] = {
      {"+fi=", "old\n", 0xF00, 1, "msg\n", "old\nmsg\n"},  // appends; screen too
      {"-fi:", "old\n", 0xF00, 1, "msg\n", "msg\n"},        // starts empty; ":" separates
      {"fi=", "old\n", 0xF00, 0, "", "old\nmsg\n"},         // file only: screen silent, 0
      {"fi=", "", 0x30, 0, "", "msg\n"},                     // errors too stay off the screen
      {"FI=", "", 0xF00, 0, "", "msg\n"},                    // prefix ignores case
  };
  SetLevel(0x000FFFFF);
  const std::string log = Tmp("mess_log.txt");
  for (const auto& c : cases) {
    spit(log, c.before);
    MESS_set_str((c.prefix + log).c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(MESS_print(c.level, "%s\n", "msg"), c.rc) << c.prefix;
    std::string screen = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(screen, c.screen) << c.prefix;
    EXPECT_EQ(slurp(log), c.file) << c.prefix;
  }
}

// "fi" with a file that cannot be opened still switches the screen off.
TEST_F(Mess, UnopenableFileOnlySilences) {
  SetLevel(0x000FFFFF);
  MESS_set_str((std::string("fi=") + kNoFile).c_str());
  testing::internal::CaptureStdout();
  EXPECT_EQ(MESS_print(0xF00, "lost\n"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// "@fi": the file lines carry the current date text and " -- "; the screen does not.
TEST_F(Mess, StampedFile) {
  SetLevel(0x000FFFFF);
  const std::string log = Tmp("mess_stamp.txt");
  spit(log, "");
  MESS_set_str(("@fi=" + log).c_str());
  testing::internal::CaptureStdout();
  MESS_print(0xF00, "hello\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "hello\n");
  char now[64] = "";
  DATE_get_current_str(now);
  std::string text = slurp(log);
  const std::string tail = " -- hello\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  // The date text has a fixed width, so its length matches a fresh one.
  EXPECT_EQ(text.size() - tail.size(), std::strlen(now));
}

// "dfi": the file is opened and closed for every message, so a file removed between two
// messages comes back holding only the second.
TEST_F(Mess, ReopenedFile) {
  SetLevel(0x000FFFFF);
  const std::string log = Tmp("mess_dfi.txt");
  std::remove(log.c_str());
  MESS_set_str(("dfi=" + log).c_str());
  testing::internal::CaptureStdout();
  EXPECT_EQ(MESS_print(0xF00, "first\n"), 1);
  EXPECT_EQ(slurp(log), "first\n");  // readable at once: already closed
  std::remove(log.c_str());
  MESS_print(0xF00, "second\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "first\nsecond\n");
  EXPECT_EQ(slurp(log), "second\n");
}

// Page length items.
TEST_F(Mess, LineItems) {
  struct Case { const char* item; int expect; };
  const Case cases[] = {
      {"line=40", 40},   // plain setting
      {"line=0", 22},    // 0 or less gives the default
      {"line=-5", 22},   // negative: default
      {"line:30", 30},   // any separator
      {"line", 22},      // no number at all: default, and no read past the item
      {"LINE=12", 12},   // prefix ignores case
      {"line=abc", 22},  // not a number: default
  };
  for (const auto& c : cases) {
    MESS_set_str("line=5");
    MESS_set_str(c.item);
    EXPECT_EQ(MESS_get_max_lines(), c.expect) << c.item;
  }
}

// "page,line=40": the pause comes after the 41st counted line, on standard output for an
// ordinary message, and takes one character of input.
TEST_F(Mess, AutomaticPaging) {
  SetLevel(0x000FFFFF);
  ResetLineCount();
  MESS_set_str("page,line=40");
  answer("\nrest");
  testing::internal::CaptureStdout();
  std::string want;
  for (int i = 0; i < 40; ++i) {
    MESS_print(0xF00, "x\n");
    want += "x\n";
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), want);  // 40 lines: no pause yet
  testing::internal::CaptureStdout();
  MESS_print(0xF00, "x\n");
  MESS_print(0xF00, "y\n");  // the count restarted at the pause
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "x\nPress return to continue\ny\n");
  EXPECT_EQ(std::getchar(), 'r');  // exactly the newline was taken
}

// Lines are counted on the format's newlines, not on those of the expanded message.
TEST_F(Mess, CountsFormatNewlines) {
  SetLevel(0x000FFFFF);
  ResetLineCount();
  MESS_set_str("page,line=3");
  answer("\n");
  testing::internal::CaptureStdout();
  MESS_print(0xF00, "%s\n%s\n%s\n", "1\n2", "3\n4", "5\n6");  // three counted, six shown
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "1\n2\n3\n4\n5\n6\n");  // 3 is not more than 3: no pause
  testing::internal::CaptureStdout();
  MESS_print(0xF00, "z\n");  // the fourth counted line
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "z\nPress return to continue\n");
}

// The pause prompt goes to standard error only when the level has both an error and a
// warn bit.
TEST_F(Mess, HoldStream) {
  struct Case { M_type level; bool to_err; };
  const Case cases[] = {
      {0xF0, true},    // error and warn bits
      {0x30, false},   // error only: standard output
      {0xC0, false},   // warn only: standard output
      {0xF00, false},  // ordinary message
  };
  SetLevel(0x000FFFFF);
  for (const auto& c : cases) {
    answer("ab");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(MESS_hold(c.level, "P\n"), 0);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.to_err ? err : out, "P\n") << std::hex << c.level;
    EXPECT_EQ(c.to_err ? out : err, "") << std::hex << c.level;
    EXPECT_EQ(std::getchar(), 'b') << std::hex << c.level;  // one character taken
  }
}

// Conditions under which the pause neither prints nor waits.
TEST_F(Mess, HoldDoesNotWait) {
  SetLevel(0xFF);
  struct Case { const char* why; int batch; int page; int out; M_type level; };
  const Case cases[] = {
      {"batch mode", 1, 2, 1, 0xF},
      {"nopage", 0, 0, 1, 0xF},
      {"file-only routing", 0, 1, 0, 0xF},
      {"level not enabled", 0, 1, 1, 0xF00},
  };
  for (const auto& c : cases) {
    FLAG_set_batch(c.batch);
    MESS_set_page(c.page);
    MESS_set_out(c.out);
    answer("ab");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    MESS_hold(c.level, "P\n");
    std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "") << c.why;
    EXPECT_EQ(std::getchar(), 'a') << c.why;  // input untouched
  }
}

// In batch mode automatic paging never stops for input, however many lines pass.
TEST_F(Mess, BatchNeverWaits) {
  SetLevel(0x000FFFFF);
  MESS_set_str("page,line=1");
  FLAG_set_batch(1);
  answer("ab");
  testing::internal::CaptureStdout();
  for (int i = 0; i < 10; ++i) MESS_print(0xF00, "line\n");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("Press return"), std::string::npos);
  EXPECT_EQ(std::getchar(), 'a');
}

}  // namespace
