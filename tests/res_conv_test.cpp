// Resource value conversion: typed stores, acting kinds, the time setting, and the order
// in which batch mode and message settings meet at start-up.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "res_child.h"
#include "zudresrc.h"

using namespace res_test;

// Whole numbers: which texts are read, in which base, into which width.
TEST(ResConv, Integers) {
  struct Case { const char* text; DEF_convert cvt; long want; const char* why; };
  const Case cases[] = {
      {"42", CV_int, 42, "plain decimal"},
      {"0x1F", CV_int, 31, "x second: hexadecimal, 16 + 15"},
      {"0X1f", CV_int, 31, "either case of x"},
      {"-7", CV_int, -7, "a sign may lead"},
      {"+7", CV_int, 7, "a sign may lead"},
      {"abc", CV_int, -1, "not a number: nothing stored"},
      {" 5", CV_int, -1, "a leading blank is not a digit: nothing stored"},
      {"99999999999", CV_int, 2147483647, "beyond 32 bits: held at the largest value"},
      {"123", CV_short, 123, "short: decimal"},
      {"-5", CV_short, -1, "short accepts only a leading digit"},
      {"40000", CV_short, 32767, "beyond 16 bits: held at the largest value"},
      {"9000000000", CV_long, 9000000000L, "long: 64 bits"},
      {"-5", CV_long, -1, "long accepts only a leading digit"},
      {"12abc", CV_color, 12, "colour: decimal reading of any text"},
      {"red", CV_color, 0, "colour of a text without digits: 0"},
  };
  for (const auto& c : cases) {
    long got = -1;
    int rc = 0;
    if (c.cvt == CV_int) {
      std::int32_t v = -1;
      rc = RES_conv_data(c.text, &v, c.cvt);
      got = v;
    } else if (c.cvt == CV_short) {
      std::int16_t v = -1;
      rc = RES_conv_data(c.text, &v, c.cvt);
      got = v;
    } else {
      long v = -1;
      rc = RES_conv_data(c.text, &v, c.cvt);
      got = v;
    }
    EXPECT_EQ(rc, 1) << c.why;  // an unreadable text is still "done"
    EXPECT_EQ(got, c.want) << c.text << ": " << c.why;
  }
}

// Switches and floating-point numbers.
TEST(ResConv, BoolAndFloat) {
  struct BoolCase { const char* text; int want; };
  const BoolCase bools[] = {
      {nullptr, 1},  // a switch given without a value is on
      {"TRUE", 1}, {"on", 1}, {"Yes", 1},  // case does not matter
      {"false", 0}, {"OFF", 0}, {"no", 0},
      {"maybe", -1},  // anything else stores nothing
  };
  for (const auto& c : bools) {
    std::int32_t v = -1;
    EXPECT_EQ(RES_conv_data(c.text, &v, CV_bool), 1);
    EXPECT_EQ(v, c.want) << (c.text ? c.text : "null");
  }
  struct FloatCase { const char* text; float want; };
  const FloatCase floats[] = {
      {"2.5", 2.5f},      // plain
      {"-1e2", -100.0f},  // exponent form
      {"abc", 0.0f},      // no number at the start reads as 0
  };
  for (const auto& c : floats) {
    float v = -1;
    EXPECT_EQ(RES_conv_data(c.text, &v, CV_float), 1);
    EXPECT_FLOAT_EQ(v, c.want) << c.text;
  }
}

// Texts: a reference, a bounded copy, and paths with their delimiter.
TEST(ResConv, Texts) {
  const char* data = "value text";
  const char* ref = nullptr;
  EXPECT_EQ(RES_conv_data(data, &ref, CV_string), 1);
  EXPECT_EQ(ref, data);  // the resource's own text, not a copy

  char buf[RES_STRCPY_LEN + 1];
  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(RES_conv_data("short", buf, CV_strcpy), 1);
  EXPECT_STREQ(buf, "short");
  const std::string long_value(300, 'v');
  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(RES_conv_data(long_value.c_str(), buf, CV_strcpy), 1);
  EXPECT_EQ(std::string(buf), std::string(RES_STRCPY_LEN - 1, 'v'));  // cut to fit
  EXPECT_EQ(buf[RES_STRCPY_LEN], 'X');                                // nothing beyond

  struct PathCase { const char* text; const char* want; };
  const PathCase paths[] = {
      {"/data", "/data/"},   // delimiter added
      {"/data/", "/data/"},  // already there
      {"NONE", ""},          // "none" in any case: the empty path
  };
  for (const auto& c : paths) {
    char* path = nullptr;
    EXPECT_EQ(RES_conv_data(c.text, &path, CV_path), 1);
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, c.want) << c.text;
    EXPECT_NE(path, c.text);  // a new copy
    std::free(path);
  }
}

// What "nothing could be done" means: no text, or no destination where one is needed.
TEST(ResConv, NothingToDo) {
  struct Case { const char* text; bool with_out; DEF_convert cvt; int rc; const char* why; };
  const Case cases[] = {
      {nullptr, true, CV_int, 0, "no text"},
      {nullptr, true, CV_string, 0, "no text"},
      {nullptr, false, CV_mess, 0, "no text for an acting kind"},
      {"5", false, CV_int, 0, "a storing kind without destination"},
      {"5", false, CV_path, 0, "a storing kind without destination"},
      {"p", false, CV_device, 0, "the device needs its destination"},
      {nullptr, false, CV_bool, 0, "a switch without value still needs a destination"},
      {"x", false, CV_name, 1, "read as text elsewhere: nothing to do here"},
      {"x", false, CV_strings, 1, "split by the resource system"},
  };
  for (const auto& c : cases) {
    long store = -1;
    EXPECT_EQ(RES_conv_data(c.text, c.with_out ? &store : nullptr, c.cvt), c.rc) << c.why;
    EXPECT_EQ(store, -1) << c.why;
  }
}

// Device letters, first character in either case.
TEST(ResConv, DeviceLetters) {
  struct Case { const char* text; int code; };
  const Case cases[] = {
      {"p", 4}, {"PostScript", 4}, {"h", 5}, {"q", 5}, {"M", 3}, {"w", 6},
      {"d", 1},        // the display is the default device
      {"x", 1}, {"", 1}, {nullptr, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(RES_set_device(c.text), c.code) << (c.text ? c.text : "null");
}

// Time settings: which fields each form fills (-9999 for the others).
TEST(ResConvTime, Forms) {
  constexpr int M = IMISSING;
  struct Case { const char* text; int year, month, day, hour, min; const char* why; };
  const Case cases[] = {
      {"#2024061512", 2024, 6, 15, 12, M, "# and digits: year, month, day, hour"},
      {"#202406151230", 2024, 6, 15, 12, 30, "# with the minute too"},
      {"#2024", 2024, M, M, M, M, "# with the year only"},
      {"061512", M, 6, 15, 12, M, "six characters: month, day, hour"},
      {"0612", M, M, 6, 12, M, "four: day and hour"},
      {"612", M, M, 6, 12, M, "three: one-digit day and hour"},
      {"3d12:30", M, M, 3, 12, 30, "d form: day, hour, minute"},
      {":15", M, M, M, M, 15, "minute only"},
      {"-:20", M, M, M, M, -20, "a negated minute"},
      {"-0:30", M, M, M, M, -30, "hour 0 after a minus: minutes back"},
      {"12", M, M, M, 12, M, "hour only"},
      {"12:45", M, M, M, 12, 45, "hour and minute"},
      {"-3", M, M, M, -3, M, "a negative hour stays an hour"},
      {"1:30", M, M, M, 1, 30, "four characters with a colon: hour and minute"},
  };
  for (const auto& c : cases) {
    Date d;
    EXPECT_EQ(RES_conv_time(c.text, &d), 0);
    EXPECT_EQ(d.year, c.year) << c.text << ": " << c.why;
    EXPECT_EQ(d.month, c.month) << c.text << ": " << c.why;
    EXPECT_EQ(d.day, c.day) << c.text << ": " << c.why;
    EXPECT_EQ(d.hour, c.hour) << c.text << ": " << c.why;
    EXPECT_EQ(d.min, c.min) << c.text << ": " << c.why;
    EXPECT_EQ(d.sec, M) << c.text;  // never set by a time setting
  }
}

namespace {

std::string switches() {
  std::string s;
  for (int k = 0; k <= 12; ++k) s += std::to_string(FLAG_getplot(k)) + (k < 12 ? "," : "");
  return s;
}

}  // namespace

// Found by the fuzz target of time texts (tests/fuzz/findings).
// A minute offset is negated after reading; the one minute whose negation no int holds
// gives the largest int, every other minute its plain negation (-:30 is minute -30).
TEST(ResConvTime, NegatedMinuteAtIntMin) {
  struct Case {
    const char* text;
    int hour, min;
  };
  const Case cases[] = {
      {"-:-2147483648", IMISSING, INT_MAX},   // "-:" form, INT_MIN read back
      {"-0:-2147483648", IMISSING, INT_MAX},  // "-0:" form, the same minute
      {"-:30", IMISSING, -30},                // ordinary offsets keep their meaning
      {"-0:30", IMISSING, -30},
      {"-:-2147483647", IMISSING, INT_MAX},   // the largest negation that fits
  };
  for (const Case& c : cases) {
    Date d;
    RES_conv_time(c.text, &d);
    EXPECT_EQ(d.hour, c.hour) << c.text;
    EXPECT_EQ(d.min, c.min) << c.text;
  }
}

// Draw lists. Switch 0 counts the corners 1-6 on, switch 12 sums switches 0-11, so each
// expected row is worked out by hand from the switches named.
TEST(ResConv, DrawList) {
  struct Case { const char* text; const char* want; const char* why; };
  const Case cases[] = {
      {"data,map", "0,0,0,0,0,0,0,1,1,0,0,0,2", "a plain list replaces the defaults"},
      {"-map", "6,1,1,1,1,1,1,1,0,1,1,1,16", "a signed list edits them: 6 + 6 + 4"},
      {"text", "6,1,1,1,1,1,1,0,0,0,0,1,13", "six corners, their count and the border: 6 + 6 + 1"},
      {"none", "0,0,0,0,0,0,0,0,0,0,0,0,0", "all off"},
      {"-all", "6,1,1,1,1,1,1,1,1,1,1,1,17", "all on whatever the sign: 6 + 6 + 5"},
      {"+none,data", "0,0,0,0,0,0,0,1,0,0,0,0,1", "an unsigned item after the first switches on"},
      {"GRID,xyz", "0,0,0,0,0,0,0,0,0,1,0,0,1", "case does not matter; unknown items pass"},
      {"text_ul,-text_ul,text_lr", "1,0,0,0,0,0,1,0,0,0,0,0,2", "items apply in order"},
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      int rc = RES_conv_data(c.text, nullptr, CV_draw);
      std::printf("%d %s", rc, switches().c_str());
    });
    EXPECT_EQ(run.out, std::string("1 ") + c.want) << c.text << ": " << c.why;
  }
}

// Kinds that set flags: help, batch, file parameter, plot type, device.
TEST(ResConv, Flags) {
  struct Case { const char* text; DEF_convert cvt; int flag; int want; const char* why; };
  const Case cases[] = {
      {nullptr, CV_help, 20, 1, "help ignores the text"},
      {"no", CV_help, 20, 1, "even a text that reads false"},
      {nullptr, CV_batch, 19, 1, "batch ignores the text"},
      {"recalc", CV_file_param, 15, 1, "recalc: calculate"},
      {"USE", CV_file_param, 15, 3, "case does not matter"},
      {"app", CV_file_param, 15, 2, "append"},
      {"append", CV_file_param, 15, -9999, "whole keywords only"},
      {"skewt", CV_plot_type, 11, 62, "a diagram type"},
      {"Stream", CV_plot_type, 11, 23, "an alias of strm, any case"},
      {"xyz", CV_plot_type, 11, -9999, "unknown: flag unchanged"},
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      FLAG_reset(IMISSING);
      int rc = RES_conv_data(c.text, nullptr, c.cvt);
      std::printf("%d %d", rc, FLAG_get(c.flag));
    });
    EXPECT_EQ(run.out, "1 " + std::to_string(c.want)) << c.why;
  }
}

// The device text: code from the first item, the device name after the first comma.
TEST(ResConv, Device) {
  struct Case { const char* text; int code; const char* name; };
  const Case cases[] = {
      {"p,printer1", 4, "printer1"},     // letter and name
      {"w", 6, "<unset>"},               // one item: the name is left
      {"h,a,b", 5, "a,b"},               // everything after the first comma
      {"p,", 4, "<unset>"},              // a trailing comma makes no second item
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      const char* name = "<unset>";
      int rc = RES_conv_data(c.text, &name, CV_device);
      std::printf("%d %d %s", rc, FLAG_get(2), name);
    });
    EXPECT_EQ(run.out, "1 " + std::to_string(c.code) + " " + c.name) << c.text;
  }
}

// Batch mode and message settings at start-up, converted in the order first given.
TEST(ResConv, BatchAndMessageOrder) {
  struct Case { std::vector<std::string> args; M_type level; int batch; const char* why; };
  const Case cases[] = {
      {{}, 0x000FFFFF, -9999, "nothing given: the default level, batch unset"},
      {{"-ba"}, 0xFF, 1, "batch alone: print, error and warn"},
      {{"-ba", "-me", "mess"}, 0xFFF, 1, "a later message setting replaces the batch level"},
      {{"-me", "mess", "-ba"}, 0xFFF, 1, "an earlier message setting keeps its level"},
      // A "+" item after batch edits the batch level: 0xFF + 0xF0000000.
      {{"-ba", "-me=+debug"}, 0xF00000FF, 1, "editing the batch level"},
      // Before batch it edits the default: 0x000FFFFF + 0xF0000000; batch then yields.
      {{"-me=+debug", "-ba"}, 0xF00FFFFF, 1, "batch yields to an earlier setting"},
      {{"-me", "warn"}, 0xFF, -9999, "the message option alone"},
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      clean_env();
      std::vector<std::string> words{"ua_parse"};
      words.insert(words.end(), c.args.begin(), c.args.end());
      Argv a(words);
      RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
      std::printf("%X %d", MESS_get(), FLAG_get(19));
    });
    char want[40];
    std::snprintf(want, sizeof want, "%X %d", c.level, c.batch);
    EXPECT_EQ(run.out, want) << c.why;
  }
}

// Resources from the environment are converted like those from the command line.
TEST(ResConv, EnvironmentConverted) {
  ChildRun run = run_here([] {
    clean_env();
    setenv("zudbatch", "", 1);  // present, empty: batch on all the same
    Argv a({"ua_parse"});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    std::printf("%d %X", FLAG_batch(), MESS_get());
  });
  EXPECT_EQ(run.out, "1 FF");
}
