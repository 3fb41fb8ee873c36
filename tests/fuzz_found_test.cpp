// fuzz_found_test.cpp — inputs the fuzz targets (or their review) found to break a module,
// kept as tests of the behaviour that replaced the fault.

#include <gtest/gtest.h>

#include <climits>

#include "zuddom.h"
#include "zudresrc.h"

namespace {

// A "size" domain whose numbers do not both read as integers falls to the layout
// proj,clat,clon and turns the two floats into the grid size. A number no int holds
// leaves that size unset instead of an undefined conversion; one that fits is kept.
TEST(FuzzFound, SizeDomainBeyondInt) {
  struct Case {
    const char* text;
    int nx, ny;
  };
  const Case cases[] = {
      {"size,1,99999999999", 1, IMISSING},  // the input the fuzzer found: ny beyond int
      {"size,-99999999999,20", IMISSING, 20},  // below the int range
      {"size,.5e2,30", 50, 30},  // no leading digit: only a float reads it, 50 fits an int
  };
  for (const Case& c : cases) {
    Domain d;
    EXPECT_EQ(DOM_decode(c.text, &d), 1) << c.text;
    EXPECT_EQ(d.nx, c.nx) << c.text;
    EXPECT_EQ(d.ny, c.ny) << c.text;
    EXPECT_EQ(d.clat, MISSING) << c.text;  // the centre fields held the size, now cleared
  }
}

// A minute offset is negated after reading; the one minute whose negation no int holds
// gives the largest int, every other minute its plain negation (-:30 is minute -30).
TEST(FuzzFound, NegatedMinuteAtIntMin) {
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

}  // namespace
