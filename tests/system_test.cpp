// Process services: version, exit, prompts with in-prompt commands, sleeping. The
// prompt and command tests start from a fresh program state (fresh_state.h); the exits
// run in death-test children.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "capture.h"
#include "fresh_state.h"
#include "tmpdir.h"
#include "zudresrc.h"

namespace {

// Prompts print at level print, which the starting message level shows, and read
// standard input; every test gives them an input of its own.
class Prompt : public FreshState {};

class SetCommand : public FreshState {};

TEST(System, Version) { EXPECT_STREQ(ZUD_version(), "5.60.4-LINUX-X11"); }

// The exit path ends the process with the given status.
TEST(System, ExitStatus) {
  EXPECT_EXIT(ZUD_exit(31), ::testing::ExitedWithCode(31), "");
  EXPECT_EXIT(ZUD_exit(0), ::testing::ExitedWithCode(0), "");
}

// Buffered output written before the exit reaches its file.
TEST(System, ExitFlushesOutput) {
  const std::string raw = zud_test_tmpdir() + "exit_flush.txt";
  std::remove(raw.c_str());
  EXPECT_EXIT(
      {
        std::FILE* f = std::fopen(raw.c_str(), "w");
        std::fputs("buffered", f);  // fully buffered stream, never flushed by hand
        ZUD_exit(7);
      },
      ::testing::ExitedWithCode(7), "");
  std::ifstream in(raw);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "buffered");
}

// Word prompts: the first word, bounded by the length; an empty answer keeps the buffer.
TEST_F(Prompt, Words) {
  struct Case { const char* input; int length; const char* preset; const char* expect; };
  const Case cases[] = {
      {"\n", 11, "72469", "72469"},            // return only: the preset default stands
      {"", 11, "72469", "72469"},              // end of input: same as an empty answer
      {"   \n", 11, "72469", "72469"},         // spaces only: empty after trimming
      {"72558 extra\n", 11, "72469", "72558"}, // the first word only
      {"  KOUN\n", 11, "", "KOUN"},            // leading spaces skipped
      {"abcdefghijklmnop\n", 11, "", "abcdefghij"},  // at most length-1 = 10 characters
      {"xyz\n", 1, "", "x"},                   // length 1 counts as 2: one character
      {"xyz\n", 0, "", "x"},                   // so does 0
      {"ab\r\n", 11, "", "ab"},                // a DOS line end is not part of the word
  };
  for (const auto& c : cases) {
    answer(c.input);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s", c.preset);
    testing::internal::CaptureStdout();
    char* got = ZUD_prompts("Enter station: ", buf, c.length);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(got, buf) << c.input;
    EXPECT_STREQ(buf, c.expect) << c.input;
    EXPECT_EQ(out, "Enter station: ") << c.input;  // asked once, at level print
  }
}

// Without a buffer one of length+1 bytes is made for the answer.
TEST_F(Prompt, AllocatesBuffer) {
  answer("abcdefgh\n");
  testing::internal::CaptureStdout();
  char* got = ZUD_prompts("? ", nullptr, 5);
  testing::internal::GetCapturedStdout();
  ASSERT_NE(got, nullptr);
  EXPECT_STREQ(got, "abcd");  // length-1 characters
  std::free(got);
  answer("");
  testing::internal::CaptureStdout();
  got = ZUD_prompts("? ", nullptr, 5);
  testing::internal::GetCapturedStdout();
  ASSERT_NE(got, nullptr);
  EXPECT_STREQ(got, "");  // empty answer: the new buffer stays empty
  std::free(got);
}

// A "set" answer stores the resource and asks the same prompt again; it does not touch
// the caller's buffer.
TEST_F(Prompt, SetCommandAsksAgain) {
  answer("set id=72558\nKOUN\n");
  char buf[16] = "72469";
  testing::internal::CaptureStdout();
  ZUD_prompts("Enter station: ", buf, 11);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(capture::count_of(out, "Enter station: "), 2);
  EXPECT_STREQ(buf, "KOUN");
  ASSERT_NE(RES_get("id"), nullptr);
  EXPECT_STREQ(RES_get("id"), "72558");

  // Followed by an empty answer, the preset survives the "set" line.
  answer("set id=1\n\n");
  std::snprintf(buf, sizeof buf, "%s", "72469");
  testing::internal::CaptureStdout();
  ZUD_prompts("Enter station: ", buf, 11);
  testing::internal::GetCapturedStdout();
  EXPECT_STREQ(buf, "72469");
  EXPECT_STREQ(RES_get("id"), "1");
}

// "set" alone lists the resources between a heading and a blank line, then asks again.
TEST_F(Prompt, SetAloneLists) {
  RES_put("zz_prompt_test", "v1");
  answer("set\nok\n");
  char buf[16] = "";
  testing::internal::CaptureStdout();
  ZUD_prompts("Go: ", buf, 11);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(capture::count_of(out, "Go: "), 2);
  EXPECT_EQ(out.rfind("Go: Set resources\n", 0), 0u) << out;
  EXPECT_NE(out.find("zz_prompt_test: v1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n\nGo: "), std::string::npos) << out;  // blank line before asking again
  EXPECT_STREQ(buf, "ok");
}

// "exit" at a prompt ends the run with status 0.
TEST_F(Prompt, ExitEndsRun) {
  EXPECT_EXIT(
      {
        answer("EXIT\n");
        char buf[8] = "";
        ZUD_prompts("? ", buf, 8);
        std::_Exit(3);  // reached only if the prompt returned
      },
      ::testing::ExitedWithCode(0), "");
}

// Number prompts: asked again until the answer begins with a number.
TEST_F(Prompt, Numbers) {
  struct Case { const char* input; float expect; int asked; };
  const Case cases[] = {
      {"12.5mb\n", 12.5f, 1},       // trailing unit text ignored
      {"abc\n12.5mb\n", 12.5f, 2},  // not a number: asked again
      {"\n", 0.0f, 1},              // empty answer accepted as 0
      {"", 0.0f, 1},                // end of input likewise
      {"abc\n", 0.0f, 2},           // then end of input: empty answer, 0
      {"  -3e2\n", -300.0f, 1},     // exponent and leading spaces
      {"nan\n7\n", 7.0f, 2},        // "nan" is no number for a float field
      {"1e39\n2\n", 2.0f, 2},       // too large for a float: asked again
      {"set lat=35\n35.2\n", 35.2f, 2},  // a set command asks again
  };
  for (const auto& c : cases) {
    answer(c.input);
    testing::internal::CaptureStdout();
    float v = ZUD_promptf("Enter the central latitude: ");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FLOAT_EQ(v, c.expect) << c.input;
    EXPECT_EQ(capture::count_of(out, "Enter the central latitude: "), c.asked) << c.input;
  }
  EXPECT_STREQ(RES_get("lat"), "35");
}

// A line longer than an answer (79 characters) does not spill into the next prompt:
// otherwise the next prompt would first read the tail, reject it and ask once more.
TEST_F(Prompt, LongLineDropped) {
  answer("7" + std::string(99, 'x') + "\n42\n");
  testing::internal::CaptureStdout();
  float first = ZUD_promptf("n: ");
  float second = ZUD_promptf("n: ");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_FLOAT_EQ(first, 7.0f);
  EXPECT_FLOAT_EQ(second, 42.0f);
  EXPECT_EQ(capture::count_of(out, "n: "), 2);
}

// In-prompt commands called directly.
TEST_F(SetCommand, Forms) {
  struct Case { const char* text; int rc; const char* name; const char* value; };
  const Case cases[] = {
      {"set zz_a=1", 1, "zz_a", "1"},                       // name=value
      {"SET zz_b = two words", 1, "zz_b", "two words"},     // spaces and "=" skipped; case
      {"set zz_c", 1, "zz_c", ""},                          // no value: empty text
      {"set zz_d 5", 1, "zz_d", "5"},                       // space instead of "="
      {"hello", 0, nullptr, nullptr},                       // no command
      {"", 0, nullptr, nullptr},                            // empty line
      {"se", 0, nullptr, nullptr},                          // too short for "set"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZUD_set_command(c.text), c.rc) << c.text;
    if (c.name) {
      ASSERT_NE(RES_get(c.name), nullptr) << c.text;
      EXPECT_STREQ(RES_get(c.name), c.value) << c.text;
    }
  }
  EXPECT_EQ(ZUD_set_command(nullptr), 0);
  EXPECT_EXIT(ZUD_set_command("exit now"), ::testing::ExitedWithCode(0), "");
}

// Sleeping: nothing for non-positive or undefined times, the asked time otherwise.
TEST(System, Sleep) {
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ZUD_sleep(0), -1);
  EXPECT_EQ(ZUD_sleep(-2.5), -1);
  EXPECT_EQ(ZUD_sleep(std::nan("")), -1);
  auto quick = std::chrono::steady_clock::now() - t0;
  EXPECT_LT(quick, std::chrono::milliseconds(50));  // refused calls do not sleep

  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ZUD_sleep(0.12), 0);
  auto slept = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(slept, std::chrono::milliseconds(120));  // fraction of a second honoured
  EXPECT_LT(slept, std::chrono::seconds(2));
}

// The line through two points, in float (values by hand).
TEST(LinearInterp, Values) {
  struct Case { float x, a, b, y1, y2, expect; };
  const Case cases[] = {
      {5, 0, 10, 0, 100, 50},         // midpoint
      {15, 0, 10, 0, 100, 150},       // beyond b: extrapolated
      {0, 0, 10, 3, 7, 3},            // at a: y1
      {10, 0, 10, 3, 7, 7},           // at b: y2
      // 700 mb between 850 mb (10 C) and 500 mb (-20 C): 150/350 of -30 from 10.
      {700, 850, 500, 10, -20, 10.0f - 30.0f * 150.0f / 350.0f},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(linear_interp(c.x, c.a, c.b, c.y1, c.y2), c.expect, 1e-4) << c.x;
}

}  // namespace
