// Tests of the stability indices: lifted (and Showalter) index, total, vertical and cross
// totals, K index and SWEAT index.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "sounding_fixture.h"
#include "zudupa.h"

namespace {

// A five-level sounding with the given 850, 700 and 500 mb values; 1000 and 300 mb
// outside the mandatory levels, so interpolation at 850/700/500 returns them unchanged.
struct Mand {
  float t850 = 20, td850 = 14, dir850 = 220, spd850 = 30;
  float t700 = 6, td700 = -2;
  float t500 = -15, dir500 = 260, spd500 = 50;
};
std::vector<UPA_level> mand_sounding(const Mand& m) {
  return {{1000, 100, 28, 18, 180, 10},
          {850, 1500, m.t850, m.td850, m.dir850, m.spd850},
          {700, 3100, m.t700, m.td700, 240, 40},
          {500, 5800, m.t500, -30, m.dir500, m.spd500},
          {300, 9500, -40, -50, 270, 70}};
}

}  // namespace

// ---- totals and K index ------------------------------------------------------------------

// T850 20, Td850 14, T500 -15: TT 20 + 14 + 30 = 64, VT 35, CT 29; K with 700 mb 6/-2:
// 20 + 15 + 14 - 8 = 41 (all by hand).
TEST(Totals, HandValues) {
  auto s = mand_sounding({});
  EXPECT_FLOAT_EQ(total_totals(s.data(), count(s)), 64);
  EXPECT_FLOAT_EQ(vertical_totals(s.data(), count(s)), 35);
  EXPECT_FLOAT_EQ(cross_totals(s.data(), count(s)), 29);
  EXPECT_FLOAT_EQ(k_index(s.data(), count(s)), 41);
}

// Each index needs exactly its inputs. Fields are removed over whole parts of the
// sounding, since interpolation bridges a gap between levels that have the field.
TEST(Totals, MissingInputs) {
  struct Case {
    int from, to;  // levels (0 = 1000 mb ... 4 = 300 mb) whose field is removed
    float UPA_level::*field;
    bool tt, vt, ct, k;  // which indices become missing
    const char* why;
  };
  const Case cases[] = {
      {0, 1, &UPA_level::t, true, true, false, true, "no temperature at or below 850 mb"},
      {0, 1, &UPA_level::td, true, false, true, true, "no dew point at or below 850 mb"},
      {3, 4, &UPA_level::t, true, true, true, true, "no temperature at or above 500 mb"},
      {2, 4, &UPA_level::td, false, false, false, true, "no dew point from 700 mb up: K only"},
  };
  for (const auto& c : cases) {
    auto s = mand_sounding({});
    for (int k = c.from; k <= c.to; ++k) s[k].*c.field = MISSING;
    EXPECT_EQ(total_totals(s.data(), count(s)) == MISSING, c.tt) << c.why;
    EXPECT_EQ(vertical_totals(s.data(), count(s)) == MISSING, c.vt) << c.why;
    EXPECT_EQ(cross_totals(s.data(), count(s)) == MISSING, c.ct) << c.why;
    EXPECT_EQ(k_index(s.data(), count(s)) == MISSING, c.k) << c.why;
  }
  EXPECT_EQ(total_totals(nullptr, 0), MISSING);
  EXPECT_EQ(k_index(nullptr, 0), MISSING);
}

// The fixture's mandatory values by hand: TT 19 + 14 + 18 = 51, VT 28, CT 23,
// K 19 + 9 + 14 - (9 + 2) = 31.
TEST(Totals, Fixture) {
  auto s = plains_sounding();
  EXPECT_FLOAT_EQ(total_totals(s.data(), count(s)), 51);
  EXPECT_FLOAT_EQ(vertical_totals(s.data(), count(s)), 28);
  EXPECT_FLOAT_EQ(cross_totals(s.data(), count(s)), 23);
  EXPECT_FLOAT_EQ(k_index(s.data(), count(s)), 31);
}

// ---- SWEAT index ---------------------------------------------------------------------------

// Terms by hand: 12 Td850 (when > 0), 20 (TT - 49) (when TT > 49), 2 spd850, spd500, and
// the shear term 125 (sin(dir500 - dir850) + 0.2) = 125 (sin 40 + 0.2) = 105.3485 for the
// base winds 220/30 and 260/50. Base: 168 + 300 + 60 + 50 + 105.3485 = 683.3485.
TEST(SweatIndex, Terms) {
  constexpr double kShear40 = 105.3485;
  struct Case {
    Mand m;
    double want;
    const char* why;
  };
  const auto with = [](auto f) {
    Mand m;
    f(m);
    return m;
  };
  const Case cases[] = {
      {Mand{}, 168 + 300 + 60 + 50 + kShear40, "every term"},
      {with([](Mand& m) { m.td850 = 0; }), 0 + 20 + 60 + 50 + kShear40,
       "dew point exactly 0 C: no dew-point term (TT 50)"},
      {with([](Mand& m) { m.td850 = -1; }), 0 + 0 + 60 + 50 + kShear40, "TT exactly 49: no TT term"},
      {with([](Mand& m) { m.dir500 = 210; }), 168 + 300 + 60 + 50, "500 mb wind backed from 850 mb"},
      {with([](Mand& m) { m.dir500 = 220; }), 168 + 300 + 60 + 50, "no turning is not veering"},
      {with([](Mand& m) { m.spd850 = 14; }), 168 + 300 + 28 + 50, "850 mb wind below 15 kt"},
      {with([](Mand& m) { m.spd500 = 14; }), 168 + 300 + 60 + 14, "500 mb wind below 15 kt"},
      {with([](Mand& m) { m.dir850 = 130; }), 168 + 300 + 60 + 50, "850 mb direction outside 135..250"},
      {with([](Mand& m) { m.dir500 = 320; }), 168 + 300 + 60 + 50, "500 mb direction outside 210..310"},
      {with([](Mand& m) { m.dir850 = 250; m.dir500 = 310; }),
       168 + 300 + 60 + 50 + 125 * (std::sin(std::numbers::pi / 3) + 0.2), "window edges included: turn 60"},
  };
  for (const auto& c : cases) {
    auto s = mand_sounding(c.m);
    EXPECT_NEAR(sweat_index(s.data(), count(s)), c.want, 0.01) << c.why;
  }
}

// A missing speed drops only its own terms (and the shear term); a missing temperature,
// direction or 850 mb dew point leaves no index.
TEST(SweatIndex, MissingInputs) {
  struct Case {
    float UPA_level::*level_field;
    double want;
    const char* why;
  };
  const Case cases[] = {
      {&UPA_level::spd, 168 + 300, "no wind speeds at all: dew-point and TT terms only"},
      {&UPA_level::dir, MISSING, "no wind directions"},
      {&UPA_level::td, MISSING, "no 850 mb dew point"},
      {&UPA_level::t, MISSING, "no temperatures"},
  };
  for (const auto& c : cases) {
    auto s = mand_sounding({});
    for (auto& l : s) l.*c.level_field = MISSING;
    EXPECT_NEAR(sweat_index(s.data(), count(s)), c.want, 0.01) << c.why;
  }
  // Only the 500 mb speed missing (and the levels above it, so nothing bridges it).
  auto s = mand_sounding({});
  s[3].spd = s[4].spd = MISSING;
  EXPECT_NEAR(sweat_index(s.data(), count(s)), 168 + 300 + 60, 0.01);
}

// The fixture by hand: 12 x 14 + 20 (51 - 49) + 2 x 28 + 42 + 125 (sin(255 - 215) + 0.2)
// = 168 + 40 + 56 + 42 + 105.3485 = 411.3485.
TEST(SweatIndex, Fixture) {
  auto s = plains_sounding();
  EXPECT_NEAR(sweat_index(s.data(), count(s)), 411.3485, 0.01);
}

// ---- lifted index --------------------------------------------------------------------------

// A top below the condensation level uses the dry adiabat: the 30/-20 C parcel at
// 1000 mb (condensation near 474 mb) reaches 303.15 x 0.7^0.286 = 273.751 K = 0.601 C
// at 700 mb, where the environment is 8 C: LI 7.399 by hand.
TEST(LiftedIndex, DryBelowCondensationLevel) {
  std::vector<UPA_level> s = {thermo_level(1000, 0, 30, -20), thermo_level(850, 1400, 20, -25),
                              thermo_level(700, 3000, 8, -30), thermo_level(500, 5600, -10, -40)};
  EXPECT_NEAR(lifted_index(s.data(), 4, 100, 1000, 0, 700), 7.399, 0.01);
}

// The fixture against an offline ascent with Bolton's condensation level and a
// numerically integrated pseudo-adiabat: Showalter (850 mb parcel 19/14 C to 500 mb)
// -9 - (-5.96) = -3.04; surface lifted index from the 1004..904 mb mean parcel
// (30.35/20.84 C) -9 - (-2.93) = -6.07. Within 0.5 C for the formulation differences.
TEST(LiftedIndex, FixtureShowalterAndSurface) {
  auto s = plains_sounding();
  EXPECT_NEAR(lifted_index(s.data(), count(s), 100, 850, 0, 500), -3.04, 0.5);
  EXPECT_NEAR(lifted_index(s.data(), count(s), 100, 1004, 100, 500), -6.07, 0.5);
  // Lifted to 300 mb the parcel is warmer still relative to the environment.
  EXPECT_LT(lifted_index(s.data(), count(s), 100, 1004, 100, 300),
            lifted_index(s.data(), count(s), 100, 1004, 100, 500));
}

TEST(LiftedIndex, Missing) {
  auto s = plains_sounding();
  const int n = count(s);
  // First level above 500 mb.
  EXPECT_EQ(lifted_index(s.data() + 14, n - 14, 100, 400, 0, 300), MISSING);
  EXPECT_EQ(lifted_index(s.data(), 0, 100, 1004, 0, 500), MISSING);
  // No temperature at the top: the sounding ends at 600 mb.
  EXPECT_EQ(lifted_index(s.data(), 12, 100, 1004, 0, 500), MISSING);
  // No dew point: no condensation level, so no index (not a dry-adiabatic one).
  auto dry = s;
  for (auto& l : dry) l.td = MISSING;
  EXPECT_EQ(lifted_index(dry.data(), n, 100, 850, 0, 500), MISSING);
  EXPECT_EQ(lifted_index(dry.data(), n, 100, 1004, 100, 500), MISSING);
  // The top has a temperature but no pressure (a height-coordinate top at the last level,
  // which has none): the parcel temperature there cannot be computed, and the index is
  // missing rather than the top temperature plus 9999.
  std::vector<UPA_level> nop = {thermo_level(1000, 0, 30, 20), thermo_level(850, 1500, 18, 10),
                                thermo_level(MISSING, 3000, 5, -5)};
  EXPECT_EQ(lifted_index(nop.data(), 3, 103, 0, 0, 3000), MISSING);
}
