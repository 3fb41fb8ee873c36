// The upper-right plot label of the current overlay.

#include <gtest/gtest.h>

#include <string>

#include "zudupa.h"

namespace {

TEST(PlotLabel, UpperRight) {
  EXPECT_EQ(PLT_label_up_right("12Z 15 JUN 95"), 0);
  EXPECT_STREQ(PLT_get_label(0, 2), "12Z 15 JUN 95");
  EXPECT_STREQ(PLT_get_label(0, 0), "");  // other positions untouched

  std::string longest(68, 'a');  // 68 characters still fit
  PLT_label_up_right(longest.c_str());
  EXPECT_EQ(PLT_get_label(0, 2), longest);

  std::string too_long(69, 'b');  // 69 do not: the label stays as it was
  EXPECT_EQ(PLT_label_up_right(too_long.c_str()), 0);
  EXPECT_EQ(PLT_get_label(0, 2), longest);

  EXPECT_EQ(PLT_label_up_right(nullptr), 0);
  EXPECT_EQ(PLT_get_label(0, 2), longest);

  EXPECT_STREQ(PLT_get_label(6, 2), "");   // no seventh overlay
  EXPECT_STREQ(PLT_get_label(0, -1), "");  // no such position
}

}  // namespace
