// level_check.h — comparison of whole levels shared by the tests that read, merge or
// interpolate soundings: every field exactly, missing values included. Decoded values
// compare exactly too: the readers work in double and round each value once to float
// (20.0 - 1.2 becomes the float nearest 18.8, the literal 18.8f).

#ifndef ZUD_TESTS_LEVEL_CHECK_H
#define ZUD_TESTS_LEVEL_CHECK_H

#include <gtest/gtest.h>

#include <string>

#include "zudupa.h"

// A level with every field missing, as a reader leaves a slot it has no data for.
inline constexpr UPA_level kMissingLevel{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};

// Expects got to equal want field by field (pressure, height, temperature, dew point,
// wind direction and speed); where names the level in a failure.
inline void expect_level(const UPA_level& got, const UPA_level& want, const std::string& where) {
  EXPECT_EQ(got.p, want.p) << where;
  EXPECT_EQ(got.h, want.h) << where;
  EXPECT_EQ(got.t, want.t) << where;
  EXPECT_EQ(got.td, want.td) << where;
  EXPECT_EQ(got.dir, want.dir) << where;
  EXPECT_EQ(got.spd, want.spd) << where;
}

#endif  // ZUD_TESTS_LEVEL_CHECK_H
