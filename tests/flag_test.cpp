// Process-wide flags and plot switches.

#include <gtest/gtest.h>

#include <array>

#include "zud.h"

namespace {

constexpr int kFlags = 30;
constexpr int kSwitches = 13;

// Keeps the flags and plot switches of the process as they were found.
class Flags : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kFlags; ++i) flags_[i] = FLAG_getl(i);
    for (int i = 0; i < kSwitches; ++i) plot_[i] = FLAG_getplot(i);
  }
  void TearDown() override {
    for (int i = 0; i < kFlags; ++i) FLAG_setl(i, flags_[i]);
    // Equal switches (the start state) come back exactly through a reset; otherwise
    // the element switches are set one by one and the counts follow.
    bool equal = true;
    for (int v : plot_) equal = equal && v == plot_[0];
    if (equal) {
      FLAG_resetplot(plot_[0]);
    } else {
      for (int i = 1; i < kSwitches - 1; ++i) FLAG_setplot(i, plot_[i]);
    }
  }
  std::array<long, kFlags> flags_{};
  std::array<int, kSwitches> plot_{};
};

// Indices outside 0 to 29 are refused on writing and read as 0.
TEST_F(Flags, OutOfRangeRefused) {
  FLAG_reset(7);
  EXPECT_EQ(FLAG_set(30, 5), -1);   // one past the last flag
  EXPECT_EQ(FLAG_setl(-1, 5), -1);  // below the first
  for (int i = 0; i < kFlags; ++i) EXPECT_EQ(FLAG_get(i), 7) << i;  // nothing stored
  EXPECT_EQ(FLAG_get(30), 0);
  EXPECT_EQ(FLAG_get(-1), 0);
  EXPECT_EQ(FLAG_getl(30), 0);
  EXPECT_EQ(FLAG_set(29, 4), 0);  // the last valid index
  EXPECT_EQ(FLAG_get(29), 4);
  EXPECT_EQ(FLAG_set(0, 3), 0);   // the first
  EXPECT_EQ(FLAG_get(0), 3);
}

// Long values survive the long interface; reset writes every flag.
TEST_F(Flags, LongValuesAndReset) {
  const long big = 1L << 40;  // wider than 32 bits on the 64-bit target
  ASSERT_EQ(FLAG_setl(15, big), 0);
  EXPECT_EQ(FLAG_getl(15), big);
  FLAG_resetl(IMISSING);
  for (int i = 0; i < kFlags; ++i) EXPECT_EQ(FLAG_getl(i), IMISSING) << i;
}

// Batch and help are flags 19 and 20 and count only when greater than 0; unset (-9999)
// is off.
TEST_F(Flags, BatchAndHelp) {
  struct Case { long value; int on; };
  const Case cases[] = {
      {IMISSING, 0},  // unset
      {0, 0},         // explicitly off
      {1, 1},         // on
      {5, 1},         // any positive value is on
      {-1, 0},        // negative is off
  };
  for (const auto& c : cases) {
    FLAG_setl(19, c.value);
    FLAG_setl(20, c.value);
    EXPECT_EQ(FLAG_batch(), c.on) << c.value;
    EXPECT_EQ(FLAG_help(), c.on) << c.value;
  }
  FLAG_set(20, 0);
  FLAG_set_batch(1);
  EXPECT_EQ(FLAG_get(19), 1);
  EXPECT_EQ(FLAG_batch(), 1);
  EXPECT_EQ(FLAG_help(), 0);  // help is a flag of its own
}

// Plot switches and their two counts. Counts by hand: switch 0 sums the six corners,
// switch 12 sums switches 0 to 11 (so the corner count enters once more through switch 0).
TEST_F(Flags, PlotSwitches) {
  struct Case { int kind, val; int corners, total; int probe, probe_val; };
  const Case cases[] = {
      // Switch 0 off: corners 1-6 and switch 0 cleared; total counts data, map, grid,
      // sum and border only.
      {0, 0, 0, 5, 4, 0},
      // One corner off: 5 corners; total 5 (count) + 5 (corners) + 5 others = 15.
      {3, 0, 5, 15, 3, 0},
      // Map off: corners untouched; total 6 + 6 + 4 = 16.
      {8, 0, 6, 16, 8, 0},
      // Kind 12 sets switches 0 to 11 at once: corners 6; total 6 + 6 + 5 = 17.
      {12, 1, 6, 17, 11, 1},
      // Kind 12 with 0: everything off.
      {12, 0, 0, 0, 9, 0},
  };
  for (const auto& c : cases) {
    FLAG_resetplot(1);
    EXPECT_EQ(FLAG_setplot(c.kind, c.val), 0) << c.kind;
    EXPECT_EQ(FLAG_getplot(0), c.corners) << c.kind;
    EXPECT_EQ(FLAG_getplot(12), c.total) << c.kind;
    EXPECT_EQ(FLAG_getplot(c.probe), c.probe_val) << c.kind;
  }
  // Switch 0 off leaves the non-corner switches on.
  FLAG_resetplot(1);
  FLAG_setplot(0, 0);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(FLAG_getplot(i), 0) << i;
  for (int i = 7; i <= 11; ++i) EXPECT_EQ(FLAG_getplot(i), 1) << i;
}

// Reset stores into all thirteen switches without recounting; bad kinds are refused.
TEST_F(Flags, PlotResetAndRange) {
  FLAG_resetplot(4);
  EXPECT_EQ(FLAG_getplot(0), 4);   // not recounted to 24
  EXPECT_EQ(FLAG_getplot(12), 4);
  EXPECT_EQ(FLAG_setplot(13, 0), -1);
  EXPECT_EQ(FLAG_setplot(-1, 0), -1);
  EXPECT_EQ(FLAG_getplot(12), 4);  // refused call changed nothing, no recount either
  EXPECT_EQ(FLAG_getplot(13), 0);
  EXPECT_EQ(FLAG_getplot(-1), 0);
}

}  // namespace
