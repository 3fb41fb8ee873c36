// Thinning significant levels by line simplification: what is kept, in which order of
// importance, and the departure it reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "zudingest.h"

namespace {

// Levels evenly spaced in ln p (p = 1000 exp(-0.1 i)), temperatures as given, dew point
// 10 C below or missing.
std::vector<UPA_sig_level> curve(const std::vector<float>& t, bool with_td = false) {
  std::vector<UPA_sig_level> s;
  for (std::size_t i = 0; i < t.size(); ++i)
    s.push_back({static_cast<float>(1000 * std::exp(-0.1 * i)), t[i], with_td ? t[i] - 10 : MISSING});
  return s;
}

std::vector<int> kept_indices(const std::vector<UPA_sig_level>& in,
                              const std::vector<UPA_sig_level>& out) {
  std::vector<int> idx;
  for (const UPA_sig_level& o : out)
    for (std::size_t i = 0; i < in.size(); ++i)
      if (in[i].p == o.p) idx.push_back(static_cast<int>(i));
  return idx;
}

}  // namespace

// Each case worked by hand on the chords in ln p (evenly spaced points, so the chord
// between points a and b at point i is T_a + (T_b - T_a)(i - a)/(b - a)).
TEST(SigThin, KeepsWhatShapesTheCurve) {
  struct Case {
    std::vector<float> t;
    std::size_t max;
    std::vector<int> kept;
    double left;
    const char* why;
  };
  const Case cases[] = {
      // Straight line: only the ends are needed.
      {{10, 8, 6, 4, 2, 0, -2, -4}, 5, {0, 7}, 0.0, "collinear"},
      // One bend of 3 C: the ends and the bend; the rest lies on the two chords.
      {{0, 1, 2, 3, 2, 1, 0}, 5, {0, 3, 6}, 0.0, "one bend"},
      // Count runs out: chord 0-8 departs most at i2 (5); then on chord 2-8 (5 -> 0)
      // the foot of the spike, i3 (4.17 against 2.33 at i4, 1.33 at i6, 2.5 at i1 on
      // chord 0-2). Left: chord 3-8 misses i6 by 3.
      {{0, 0, 5, 0, 1, 0, 3, 0, 0}, 4, {0, 2, 3, 8}, 3.0, "limit before tolerance"},
      // A 0.4 C wiggle stays under the 0.5 C tolerance; it is what was left out.
      {{0, 0.4f, 0, 0.4f, 0, 0.4f, 0}, 5, {0, 6}, 0.4, "under tolerance"},
  };
  for (const Case& c : cases) {
    std::vector<UPA_sig_level> s = curve(c.t);
    std::vector<UPA_sig_level> in = s;
    double left = ING_thin_levels(&s, c.max, 0.5);
    EXPECT_EQ(kept_indices(in, s), c.kept) << c.why;
    EXPECT_NEAR(left, c.left, 1e-4) << c.why;
  }
}

// The dew point counts as much as the temperature, and where it appears or vanishes the
// boundary is kept.
TEST(SigThin, DewPoint) {
  // Temperature straight; dew point a tent with its peak at i3 (-20 ... -14 ... -20):
  // straight on either side of the peak, 6 C off the chord at it.
  std::vector<UPA_sig_level> s = curve({0, -1, -2, -3, -4, -5, -6}, true);
  const float tent[] = {-20, -18, -16, -14, -16, -18, -20};
  for (std::size_t i = 0; i < s.size(); ++i) s[i].td = tent[i];
  std::vector<UPA_sig_level> in = s;
  ING_thin_levels(&s, 5, 0.5);
  EXPECT_EQ(kept_indices(in, s), (std::vector<int>{0, 3, 6}));

  s = curve({0, -1, -2, -3, -4, -5, -6}, true);
  for (std::size_t i = 4; i < s.size(); ++i) s[i].td = MISSING;  // humidity ends above i3
  in = s;
  ING_thin_levels(&s, 5, 0.5);
  std::vector<int> k = kept_indices(in, s);
  EXPECT_NE(std::find(k.begin(), k.end(), 3), k.end()) << "last level with a dew point";
  EXPECT_LE(k.size(), 5u);
}

// Short lists pass unchanged; the count is never exceeded.
TEST(SigThin, Bounds) {
  std::vector<UPA_sig_level> s = curve({1, 5, 2, 8});
  EXPECT_EQ(ING_thin_levels(&s, 10, 0.5), 0.0);
  EXPECT_EQ(s.size(), 4u);
  std::vector<float> zig;
  for (int i = 0; i < 500; ++i) zig.push_back(i % 2 ? 10.0f : -10.0f);
  s = curve(zig);
  ING_thin_levels(&s, 200, 0.5);
  EXPECT_EQ(s.size(), 200u);
  EXPECT_FLOAT_EQ(s.front().p, 1000);
}
