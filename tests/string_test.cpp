// Splitting, case-blind comparison, in-place edits and line reading.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "zud.h"

namespace {

// Items of parse_string, with the empty-item and trailing-delimiter rules.
TEST(ParseString, Items) {
  struct Case { const char* text; char delim; int rc; int n; const char* items[4]; };
  const Case cases[] = {
      {"a,,b", ',', 0, 3, {"a", "", "b"}},    // two delimiters in a row: an empty item between
      {"a,b,,", ',', 0, 2, {"a", "b"}},       // trailing delimiters are dropped first
      {",,,", ',', 0, 1, {""}},               // delimiters only: one empty item
      {",", ',', 0, 1, {""}},                 // a single delimiter likewise
      {",a", ',', 0, 2, {"", "a"}},           // a leading delimiter starts with an empty item
      {"warn", ',', 0, 1, {"warn"}},          // no delimiter: the whole text
      {"usr/local/bin", '/', 0, 3, {"usr", "local", "bin"}},  // any one-character delimiter
      {"a b", ',', 0, 1, {"a b"}},            // other characters are plain text
      {"", ',', -1, 0, {}},                   // empty text: no items
  };
  for (const auto& c : cases) {
    int argc = -5;
    char** argv = reinterpret_cast<char**>(&argc);  // must be overwritten
    EXPECT_EQ(parse_string(c.text, c.delim, &argc, &argv), c.rc) << c.text;
    ASSERT_EQ(argc, c.n) << c.text;
    if (c.n == 0) {
      EXPECT_EQ(argv, nullptr) << c.text;
    }
    for (int i = 0; i < c.n; ++i) EXPECT_STREQ(argv[i], c.items[i]) << c.text;
    EXPECT_EQ(free_parsed_array(argc, argv), 0);
  }
}

// The caller's text is not touched: the items live in a private copy.
TEST(ParseString, PrivateCopy) {
  char text[] = "x,y";
  int argc = 0;
  char** argv = nullptr;
  ASSERT_EQ(parse_string(text, ',', &argc, &argv), 0);
  EXPECT_STREQ(text, "x,y");
  text[0] = 'q';
  EXPECT_STREQ(argv[0], "x");
  free_parsed_array(argc, argv);
  EXPECT_EQ(parse_string(nullptr, ',', &argc, &argv), -1);  // null text
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(argv, nullptr);
  EXPECT_EQ(free_parsed_array(0, nullptr), 0);  // releasing nothing is harmless
}

// Case-blind comparison: results are differences of lower-cased characters, worked out
// from the ASCII codes.
TEST(CaseBlind, Compare) {
  struct Case { const char* s1; const char* s2; int n; int expect; };
  const Case cases[] = {
      {"Name", "NAME", 4, 0},     // equal without case
      {"abX", "ABy", 2, 0},       // only the first n characters count
      {"abc", "ABD", 3, -1},      // 'c' - 'd'
      {"b", "a", 0, 1},           // n of 0 still compares the first character
      {"bz", "by", -3, 0},        // n below 0 likewise: only the first
      {"ab", "ab", 10, 0},        // n beyond the end stops at the terminator
      {"a", "ab", 2, -'b'},       // shorter text: 0 - 'b'
      {"Z", "a", 1, 'z' - 'a'},   // the difference after lower-casing, not of the codes
  };
  for (const auto& c : cases)
    EXPECT_EQ(strnicmp(c.s1, c.s2, c.n), c.expect) << c.s1 << " " << c.s2 << " " << c.n;
  EXPECT_EQ(strnicmp(nullptr, "x", 1), 1);
  EXPECT_EQ(strnicmp("x", nullptr, 1), 1);

  EXPECT_EQ(stricmp("UPA_CVT", "upa_cvt"), 0);
  EXPECT_EQ(stricmp("abc", "ABD"), -1);   // 'c' - 'd'
  EXPECT_EQ(stricmp("abcd", "ABC"), 'd');  // longer text: 'd' - 0
  EXPECT_EQ(stricmp("", ""), 0);
  EXPECT_EQ(stricmp(nullptr, "x"), 1);
  EXPECT_EQ(stricmp("x", nullptr), 1);
}

// In-place case changes and character replacement.
TEST(EditInPlace, CaseAndFill) {
  char s[] = "Upa_Cvt 1.2";
  EXPECT_EQ(up_string(s), 1);
  EXPECT_STREQ(s, "UPA_CVT 1.2");  // digits and punctuation unchanged
  EXPECT_EQ(low_string(s), 1);
  EXPECT_STREQ(s, "upa_cvt 1.2");
  char empty[] = "";
  EXPECT_EQ(up_string(empty), 0);
  EXPECT_EQ(low_string(nullptr), 0);
  char path[] = "a\\b\\c";
  EXPECT_EQ(fill_string(path, '\\', '/'), 0);
  EXPECT_STREQ(path, "a/b/c");
}

// Line-end removal: every newline and carriage return goes; trimming then takes only the
// spaces at the end.
TEST(EditInPlace, LineEnds) {
  struct Case { const char* in; const char* strip; const char* trim; };
  const Case cases[] = {
      {"abc\n", "abc", "abc"},            // plain line end
      {"ab\r\n", "ab", "ab"},             // DOS line end
      {"a\nb\rc", "abc", "abc"},          // inner line ends close up
      {"ab  \r\n", "ab  ", "ab"},         // trailing spaces only trimmed
      {"a b\t \n", "a b\t ", "a b\t"},    // a tab is not a space for trimming
      {"  x", "  x", "  x"},              // leading spaces stay
      {"", "", ""},
  };
  for (const auto& c : cases) {
    std::string a = c.in, b = c.in;
    EXPECT_EQ(wsstrip_string(a.data()), 1);
    EXPECT_EQ(wstrim_string(b.data()), 1);
    EXPECT_STREQ(a.c_str(), c.strip) << c.in;
    EXPECT_STREQ(b.c_str(), c.trim) << c.in;
  }
}

// A stream holding `text`, positioned at its start.
FILE* stream_of(const std::string& text) {
  FILE* f = std::tmpfile();
  std::fputs(text.c_str(), f);
  std::rewind(f);
  return f;
}

// Line reading with continuation of long lines; results counted by hand.
TEST(LineReading, Fgetnline) {
  FILE* f = stream_of("abc\n\nabcdefghij\nwxyz\nab\r\nlast");
  struct Step { int rc; const char* text; };
  const Step steps[] = {
      {3, "abc"},     // a short line without its line end
      {0, ""},        // an empty line
      {4, "abcd"},    // a long line is cut at len = 4 ...
      {4, "efgh"},    // ... and continues as the next line
      {2, "ij"},      // ... to its end
      {4, "wxyz"},    // exactly len characters: no extra empty line after it
      {3, "ab\r"},    // a carriage return is text
      {4, "last"},    // a last line without line end
      {-1, ""},       // end of file
      {-1, ""},       // and it stays there
  };
  char buf[5];
  for (const auto& s : steps) {
    EXPECT_EQ(fgetnline(f, buf, 4), s.rc) << s.text;
    EXPECT_STREQ(buf, s.text);
  }
  std::fclose(f);
}

// fgetstring reads the same way but answers line, empty line or end.
TEST(LineReading, Fgetstring) {
  FILE* f = stream_of("12 KOUN\n\nx");
  char buf[80];
  EXPECT_EQ(fgetstring(f, buf, 79), 1);
  EXPECT_STREQ(buf, "12 KOUN");
  EXPECT_EQ(fgetstring(f, buf, 79), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(fgetstring(f, buf, 79), 1);
  EXPECT_STREQ(buf, "x");
  EXPECT_LT(fgetstring(f, buf, 79), 0);
  EXPECT_LT(fgetstring(nullptr, buf, 79), 0);  // no stream: nothing to read
  std::fclose(f);
}

}  // namespace

// append_fixed prints what printf's "%W.Pf" prints: exact ties (0.5, 2.5: to even), values
// rounding to a negative zero, wider than the field, huge, and a sweep of pseudo-random
// floats at every width and precision the tables use. snprintf is the reference.
TEST(FixedNumbers, AsPrintfPrintsThem) {
  struct Case { double v; int width, prec; };
  const Case cases[] = {
      {0.5, 3, 0},     {1.5, 3, 0},     {2.5, 3, 0},  {-0.5, 4, 0},     {0.125, 5, 2},
      {0.375, 5, 2},   {-0.04, 5, 1},   {-0.0, 5, 1}, {99999.95, 5, 1}, {123456.0, 3, 0},
      {1e30, 5, 1},    {-3.4e38, 4, 0}, {1013.25, 4, 1}, {-9999.0, 5, 1}, {0.0, 4, 0},
      {0.05, 4, 1},    {0.15, 4, 1},    {0.25, 4, 1}, {2.675, 5, 2},    {-2.5, 3, 0},
      {1e15, 4, 0},    {999999999999999.9, 4, 1},     {0.005, 5, 2},    {-0.005, 5, 2},
      {123.45, 7, 3},  {1.0, 1, 5},     {-1e-300, 5, 1},
  };
  const auto reference = [](double v, int width, int prec) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%*.*f", width, prec, v);
    return std::string(buf);
  };
  for (const Case& c : cases) {
    std::string got;
    append_fixed(&got, c.v, c.width, c.prec);
    EXPECT_EQ(got, reference(c.v, c.width, c.prec)) << c.v << " %" << c.width << "." << c.prec;
  }
  std::uint32_t state = 12345;
  for (int k = 0; k < 200000; ++k) {
    state = state * 1664525u + 1013904223u;  // Numerical Recipes linear congruential step
    float v = static_cast<float>(static_cast<std::int32_t>(state)) / 65536.0f / static_cast<float>(1 + k % 97);
    const int width = 3 + k % 4, prec = k % 3;
    // Every fourth value a multiple of 1/8, 1/16 or 1/32: exact ties at these precisions.
    if (k % 4 == 0) v = std::round(v * 32.0f) / static_cast<float>(8 << (k % 3));
    std::string got = "x";  // appends to what is there
    append_fixed(&got, v, width, prec);
    ASSERT_EQ(got, "x" + reference(v, width, prec)) << v;
  }
}
