// The selection of an ingest run: the window from -ho and -nh, and stations by WMO number
// or input identifier.

#include <gtest/gtest.h>

#include "zudingest.h"

namespace {

Date at(int y, int m, int d, int h) { return Date{y, m, d, IMISSING, IMISSING, h, 0, 0}; }

// Seconds since 1970 by hand: 2015-01-01 00Z is 1420070400 (45 years, 11 leap days);
// 20 June is day 171 of 2015, so 2015-06-20 00Z = 1420070400 + 170 x 86400.
constexpr std::int64_t k20Jun2015 = 1420070400 + 170LL * 86400;

}  // namespace

// Time forms of -ho and the hours of -nh, each checked on the first and last time kept.
TEST(IngSelect, Window) {
  struct Case {
    const char* ho;
    const char* nh;
    std::int64_t now;
    Date in_first, in_last, out_before, out_after;
    const char* why;
  };
  const Case cases[] = {
      {"15061200", "24", 0, at(2015, 6, 11, 1), at(2015, 6, 12, 0), at(2015, 6, 11, 0), at(2015, 6, 12, 1),
       "yymmddhh, 24 h back, the start excluded"},
      {"2015061200", "24", 0, at(2015, 6, 11, 1), at(2015, 6, 12, 0), at(2015, 6, 11, 0), at(2015, 6, 12, 1),
       "yyyymmddhh"},
      {"#2015061200", "24", 0, at(2015, 6, 11, 1), at(2015, 6, 12, 0), at(2015, 6, 11, 0), at(2015, 6, 12, 1),
       "the package's #yyyymmddhh"},
      {"0612", nullptr, k20Jun2015, at(2015, 6, 6, 12), at(2015, 6, 6, 12), at(2015, 6, 6, 11), at(2015, 6, 6, 13),
       "ddhh: the latest 6th at 12Z before 20 June, that time alone"},
      {"2012", "0", k20Jun2015 - 86400, at(2015, 5, 20, 12), at(2015, 5, 20, 12), at(2015, 5, 20, 11),
       at(2015, 6, 20, 12), "ddhh after now's day: the month before"},
      {nullptr, "6", k20Jun2015 + 5 * 3600 + 1800, at(2015, 6, 20, 0), at(2015, 6, 20, 5), at(2015, 6, 19, 23),
       at(2015, 6, 20, 6), "no -ho: back from now's hour"},
  };
  for (const Case& c : cases) {
    ING_select sel;
    ASSERT_EQ(ING_set_window(c.ho, c.nh, c.now, &sel), 0) << c.why;
    EXPECT_TRUE(sel.window) << c.why;
    EXPECT_TRUE(ING_selected(sel, 1, nullptr, c.in_first)) << c.why;
    EXPECT_TRUE(ING_selected(sel, 1, nullptr, c.in_last)) << c.why;
    EXPECT_FALSE(ING_selected(sel, 1, nullptr, c.out_before)) << c.why;
    EXPECT_FALSE(ING_selected(sel, 1, nullptr, c.out_after)) << c.why;
  }
}

// ",step" keeps only whole steps back from the -ho time: synoptic 00/12Z out of a record
// with off-hour specials.
TEST(IngSelect, Step) {
  ING_select sel;
  ASSERT_EQ(ING_set_window("15061200", "48,12", 0, &sel), 0);
  EXPECT_TRUE(ING_selected(sel, 1, nullptr, at(2015, 6, 11, 12)));
  EXPECT_TRUE(ING_selected(sel, 1, nullptr, at(2015, 6, 10, 12)));
  EXPECT_FALSE(ING_selected(sel, 1, nullptr, at(2015, 6, 11, 6)));
  EXPECT_FALSE(ING_selected(sel, 1, nullptr, at(2015, 6, 10, 0)));  // 48 h back: outside
}

// Texts that are not times or hours are refused with a message.
TEST(IngSelect, BadTexts) {
  const char* bad[][2] = {{"15133200", nullptr}, {"15063000", "abc"}, {"15063000", "24,0"},
                          {"15063000", "-5"},    {"15022912", nullptr}, {"1506120", "12x"}};
  for (auto& b : bad) {
    ING_select sel;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ING_set_window(b[0], b[1], 0, &sel), -1) << b[0] << " " << (b[1] ? b[1] : "");
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  }
  ING_select none;
  EXPECT_EQ(ING_set_window(nullptr, nullptr, 0, &none), 0);
  EXPECT_FALSE(none.window);
}

// Stations by number or identifier, any case, blanks around the commas ignored.
TEST(IngSelect, Stations) {
  ING_select sel;
  ING_set_ids("11035, cam00071701 ,OAX", &sel);
  ASSERT_EQ(sel.ids.size(), 3u);
  Date d = at(2015, 6, 1, 0);
  EXPECT_TRUE(ING_selected(sel, 11035, "AUM00011035", d));
  EXPECT_TRUE(ING_selected(sel, 71701, "CAM00071701", d));
  EXPECT_TRUE(ING_selected(sel, IMISSING, "oax", d));
  EXPECT_FALSE(ING_selected(sel, 1103, nullptr, d));
  EXPECT_FALSE(ING_selected(sel, 72357, "USM00072357", d));
  ING_report r;
  r.wmo = 72558;
  r.id = "OAX";
  r.date = d;
  EXPECT_TRUE(ING_selected(sel, r));
}
