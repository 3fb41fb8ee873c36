// Splitting and case-blind comparison of texts.

#include <gtest/gtest.h>

#include "zud.h"

// Items of parse_string at commas, with the empty-item and trailing-delimiter rules.
TEST(ParseString, Items) {
  struct Case { const char* text; int rc; int n; const char* items[3]; };
  const Case cases[] = {
      {"a,,b", 0, 3, {"a", "", "b"}},  // two delimiters in a row: an empty item between
      {"a,b,,", 0, 2, {"a", "b"}},     // trailing delimiters are dropped first
      {",,,", 0, 1, {""}},             // delimiters only: one empty item
      {"", -1, 0, {}},                 // empty text: no items
  };
  for (const auto& c : cases) {
    int argc = -5;
    char** argv = nullptr;
    EXPECT_EQ(parse_string(c.text, ',', &argc, &argv), c.rc) << c.text;
    ASSERT_EQ(argc, c.n) << c.text;
    for (int i = 0; i < c.n; ++i) EXPECT_STREQ(argv[i], c.items[i]) << c.text;
    free_parsed_array(argc, argv);
  }
}

TEST(CaseBlind, Compare) {
  EXPECT_EQ(strnicmp("Name", "NAME", 4), 0);
  EXPECT_EQ(stricmp(nullptr, "x"), 1);
  EXPECT_LT(stricmp("abc", "ABD"), 0);
  EXPECT_EQ(strnicmp("abX", "ABy", 2), 0);
}
