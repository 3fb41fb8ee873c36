// Level interpolation and hydrostatic filling of sounding profiles.
//
// Expected numbers are hand calculations: the hypsometric thickness
// dz = Rd*T/g * ln(p1/p2) with Rd = 287.05, g = 9.8 (scale height 8000.786 m at
// 273.15 K), linear interpolation in -ln(p), in height or in pressure.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "level_check.h"
#include "zudupa.h"

namespace {

constexpr float M = MISSING;

UPA_level L(float p, float h, float t, float td = M, float dir = M, float spd = M) {
  return {p, h, t, td, dir, spd};
}

// Expects every field of r missing.
void expect_missing(const UPA_level& r, const char* why) { expect_level(r, L(M, M, M), why); }

}  // namespace

// Coordinate values of a level by code.
TEST(UpaGetLevel, ByCode) {
  UPA_level lev = L(1000, 120, 20);
  UPA_level nop = L(0, 120, M);
  struct Case { int coord; const UPA_level* lev; float want; const char* why; };
  const Case cases[] = {
      {100, &lev, -6.9077553f, "pressure: -ln(1000)"},
      {1, &lev, -6.9077553f, "the surface code is pressure outside interpolation"},
      {116, &lev, -6.9077553f, "every pressure code"},
      {100, &nop, M, "no logarithm of a zero pressure"},
      {105, &lev, 120, "height codes give the height"},
      {114, &lev, 293.15f, "theta at 1000 mb is the temperature in kelvin"},
      {113, &nop, M, "no theta without a temperature"},
      {7, &lev, M, "unknown code"},
  };
  for (const auto& c : cases) EXPECT_NEAR(UPA_get_level(c.coord, c.lev), c.want, 1e-3) << c.why;
}

// Layer offsets: defaults by coordinate, direction by coordinate, missing bounds.
TEST(UpaThick, TopAndBottom) {
  struct Case { bool top; int coord; float bound, thick, want; const char* why; };
  const Case cases[] = {
      {true, 100, 850, M, 840, "default 10 mb, upward is lower pressure"},
      {true, 103, 1000, M, 1050, "default 50 m, upward is higher"},
      {true, 113, 300, M, 305, "default 5 K"},
      {true, 101, 850, 50, 800, "given thickness"},
      {true, 100, M, 10, M, "missing bottom"},
      {true, 7, 100, 5, 105, "unknown code keeps a given thickness"},
      {true, 7, 100, M, M, "unknown code has no default: no bound"},
      {false, 100, 500, M, 520, "default 20 mb down"},
      {false, 104, 1000, M, 800, "default 200 m down"},
      {false, 114, 300, M, 298, "default 2 K down"},
      {false, 100, M, 20, M, "a missing top stays missing instead of becoming -9979"},
  };
  for (const auto& c : cases) {
    float got = c.top ? UPA_thick_top(c.coord, c.bound, c.thick) : UPA_thick_bottom(c.coord, c.bound, c.thick);
    EXPECT_FLOAT_EQ(got, c.want) << c.why;
  }
}

TEST(UpaSfcPres, Index) {
  const UPA_level prof[] = {L(1000, 0, 20), L(985, 150, 19)};
  int ind = IMISSING;
  EXPECT_FLOAT_EQ(UPA_sfc_pres(prof, &ind), 1000);  // no surface slot: 1000 mb
  ind = 1;
  EXPECT_FLOAT_EQ(UPA_sfc_pres(prof, &ind), 985);
}

// Requests below the first level: 0.5 % is within the tolerance of 0.01 in -ln(p)
// (ln 1.005 = 0.005), 1.5 % is not (ln 1.015 = 0.0149).
TEST(UpaInterp, BelowFirstLevel) {
  UPA_level prof[] = {L(1000, 100, 20, 10, 180, 10), L(850, 1500, 10, 5, 200, 20)};
  UPA_level r;
  EXPECT_EQ(UPA_interp(prof, 2, 100, 1005, &r), 0);
  EXPECT_FLOAT_EQ(r.p, 1000);  // a copy of the first level, its own pressure
  EXPECT_FLOAT_EQ(r.h, 100);
  EXPECT_FLOAT_EQ(r.t, 20);
  EXPECT_EQ(UPA_interp(prof, 2, 100, 1015, &r), 0);
  expect_missing(r, "1.5 % below the first level");
}

// A request at a level's pressure returns that level's own fields, even where the
// neighbours lack the field (no bracket on one side) or have it missing.
TEST(UpaInterp, ExactLevel) {
  UPA_level prof[] = {L(1000, 100, 20, M, M, 5), L(850, 1500, 10, 2, 220, M), L(700, 3000, 0, M, 240, 30)};
  UPA_level r;
  EXPECT_EQ(UPA_interp(prof, 3, 100, 850, &r), 1);
  EXPECT_FLOAT_EQ(r.p, 850);
  EXPECT_FLOAT_EQ(r.h, 1500);
  EXPECT_FLOAT_EQ(r.t, 10);
  EXPECT_FLOAT_EQ(r.td, 2);      // only this level has a dew point
  EXPECT_FLOAT_EQ(r.dir, 220);   // no direction below: the exact level still counts
  // This level lacks a speed: interpolated in -ln(p) between 5 and 30,
  // 5 + 25 * ln(1000/850)/ln(1000/700) = 16.391.
  EXPECT_NEAR(r.spd, 16.391f, 1e-3);
  // Between the levels a field with only one side is missing.
  EXPECT_EQ(UPA_interp(prof, 3, 100, 775, &r), 2);
  EXPECT_EQ(r.td, M);
}

// Linear in -ln(p): the geometric mean of two pressures is halfway.
TEST(UpaInterp, LogPressure) {
  UPA_level prof[] = {L(1000, 0, 20, 10, 200, 10), L(500, 5600, -20, -30, 260, 50)};
  UPA_level r;
  EXPECT_EQ(UPA_interp(prof, 2, 100, 707.10678f, &r), 1);
  EXPECT_FLOAT_EQ(r.p, 707.10678f);  // the requested pressure itself
  EXPECT_NEAR(r.t, 0, 1e-3);
  EXPECT_NEAR(r.h, 2800, 1e-2);
  EXPECT_NEAR(r.dir, 230, 1e-3);
  EXPECT_NEAR(r.spd, 30, 1e-3);
}

// Directions 350 and 10 interpolate through north, in either order.
TEST(UpaInterp, DirectionThroughNorth) {
  struct Case { float dlo, dhi, p, want; const char* why; };
  const Case cases[] = {
      {350, 10, 707.10678f, 360, "halfway from 350 to 10: 360, not 180"},
      {10, 350, 707.10678f, 0, "halfway from 10 to 350: 0, not 180"},
      {350, 10, 840.89642f, 355, "a quarter of the 20 degree turn (p = 1000*0.5^0.25)"},
      {10, 350, 840.89642f, 5, "a quarter backwards"},
      {100, 200, 707.10678f, 150, "no wrap for a short turn"},
  };
  for (const auto& c : cases) {
    UPA_level prof[] = {L(1000, 0, 20, 10, c.dlo, 10), L(500, 5600, -20, -30, c.dhi, 10)};
    UPA_level r;
    UPA_interp(prof, 2, 100, c.p, &r);
    // Compared round the circle: halfway may land on either side of north (0 or 360).
    const double off = std::fmod(std::fabs(r.dir - c.want), 360.0);
    EXPECT_LT(std::min(off, 360.0 - off), 1e-3) << c.why << ": " << r.dir;
    EXPECT_GE(r.dir, 0) << c.why;
    EXPECT_LE(r.dir, 360) << c.why;
  }
}

// A height request inside a pressure gap of more than 300 mb takes the pressure of a
// level within 3 m, otherwise gives nothing; narrower gaps interpolate p in height.
TEST(UpaInterp, PressureGap) {
  UPA_level gap[] = {L(1000, 100, 20), L(600, 4000, -10)};
  struct Case { float h, p; const char* why; };
  const Case cases[] = {
      {102, 1000, "2 m above the lower level"},
      {3998, 600, "2 m below the upper level"},
      {2000, M, "in the middle of the gap"},
  };
  for (const auto& c : cases) {
    UPA_level r;
    EXPECT_EQ(UPA_interp(gap, 2, 103, c.h, &r), 1) << c.why;
    EXPECT_FLOAT_EQ(r.p, c.p) << c.why;
    if (c.p == M) expect_missing(r, c.why);
  }
  UPA_level narrow[] = {L(1000, 0, 20), L(800, 2000, 10)};
  UPA_level r;
  UPA_interp(narrow, 2, 104, 1000, &r);
  EXPECT_FLOAT_EQ(r.p, 900);  // linear in height across a 200 mb gap
  EXPECT_FLOAT_EQ(r.h, 1000); // the requested height itself
  EXPECT_FLOAT_EQ(r.t, 15);
}

// Positions: 0 below, the level count above, the last processed value's otherwise.
TEST(UpaInterp, Positions) {
  UPA_level prof[] = {L(1000, 0, 20), L(850, 1500, 10), L(700, 3000, 0)};
  std::vector<UPA_level> out(3);
  const float above[] = {900, 100, M};
  EXPECT_EQ(UPA_interp_levels(prof, 3, 100, above, out.data(), 3), 3);  // missing keeps 100 mb's
  EXPECT_FLOAT_EQ(out[1].p, 100);  // a pressure request keeps its pressure above the top
  EXPECT_EQ(out[1].h, M);
  EXPECT_EQ(out[1].t, M);
  expect_missing(out[2], "missing request");
  EXPECT_NEAR(out[0].t, 20 - 10 * std::log(1000.0 / 900) / std::log(1000.0 / 850), 1e-4);
  const float none[] = {M};
  EXPECT_EQ(UPA_interp_levels(prof, 3, 100, none, out.data(), 1), 3);
  const float neg[] = {-5};
  EXPECT_EQ(UPA_interp_levels(prof, 3, 100, neg, out.data(), 1), 3);  // no pressure below 0
  expect_missing(out[0], "non-positive pressure");
  EXPECT_EQ(UPA_interp(prof, 3, 100, 1100, out.data()), 0);
}

// The theta coordinate fills missing temperatures in place, and ends at the first level
// whose theta is missing after a valid one. By hand, theta = (t + 273.15)*(1000/p)^0.286:
// 700 mb 0 C 302.48 K, 500 mb -20 C 308.65 K, 400 mb -30 C 316.00 K.
TEST(UpaInterp, ThetaCoordinate) {
  UPA_level prof[] = {L(1000, 0, 20), L(850, 1500, M), L(700, 3000, 0), L(500, 5600, M),
                      L(400, 7200, -30)};
  UPA_level r;
  EXPECT_EQ(UPA_interp(prof, 5, 113, 310, &r), 4);
  EXPECT_FLOAT_EQ(prof[1].t, 10);   // 20 + (850-1000)/(700-1000) * (0-20)
  EXPECT_FLOAT_EQ(prof[3].t, -20);  // 0 + (500-700)/(400-700) * (-30-0)
  // Height linear in theta between 500 and 400 mb: 5600 + 1600*(310-308.65)/(316.00-308.65).
  EXPECT_NEAR(r.h, 5893.15, 0.05);
  EXPECT_NEAR(r.t, -20 - 10 * (310 - 308.654) / (315.999 - 308.654), 1e-2);
}

// The theta coordinate stops at a level without a theta (here a lost pressure) above a
// valid one: a request beyond 700 mb is missing even though 400 mb would bracket it.
TEST(UpaInterp, ThetaCut) {
  UPA_level prof[] = {L(1000, 0, 20), L(700, 3000, 0), L(M, 5600, -10), L(400, 7200, -30)};
  UPA_level r;
  EXPECT_EQ(UPA_interp(prof, 4, 113, 310, &r), 2);  // the cut count
  expect_missing(r, "theta beyond the cut");
  UPA_interp(prof, 4, 113, 302.48453f, &r);
  EXPECT_NEAR(r.h, 3000, 0.01);  // 700 mb's own theta, just below the cut
  // Leading levels without a temperature are kept; the coordinate starts above them.
  UPA_level lead[] = {L(1050, -400, M), L(1000, 0, 20), L(700, 3000, 0)};
  UPA_interp(lead, 3, 113, 300, &r);
  EXPECT_NEAR(r.h, 3000 * (300 - 293.15) / (302.48453 - 293.15), 0.5);
}

// Degenerate profiles: nothing to read, one level, duplicate pressures, pressures out
// of order, all fields missing, a count above the capacity.
TEST(UpaInterp, BadProfiles) {
  UPA_level r;
  EXPECT_EQ(UPA_interp(nullptr, 0, 100, 850, &r), 0);
  expect_missing(r, "no profile");
  UPA_level one[] = {L(850, 1500, 10)};
  UPA_interp(one, 1, 100, 850, &r);
  EXPECT_FLOAT_EQ(r.t, 10);  // the only level, exactly
  UPA_interp(one, 1, 100, 700, &r);
  EXPECT_EQ(r.t, M);         // above it
  UPA_interp(one, 1, 103, 1500, &r);
  EXPECT_FLOAT_EQ(r.p, 850); // exact in height: no level above needed
  UPA_level dup[] = {L(1000, 0, 20), L(850, 1500, 10), L(850, 1500, 12), L(700, 3000, 0)};
  UPA_interp(dup, 4, 100, 850, &r);
  EXPECT_FLOAT_EQ(r.t, 10);  // the first of two equal levels, no division by zero
  UPA_interp(dup, 4, 103, 1500, &r);
  EXPECT_FLOAT_EQ(r.t, 10);
  UPA_level order[] = {L(850, 1500, 10), L(1000, 0, 20), L(700, 3000, 0)};
  UPA_interp(order, 3, 100, 900, &r);
  EXPECT_TRUE(std::isfinite(r.t));
  UPA_level blank[] = {L(M, M, M), L(M, M, M)};
  UPA_interp(blank, 2, 100, 850, &r);
  EXPECT_FLOAT_EQ(r.p, 850);  // only the requested pressure itself is known
  r.p = M;
  expect_missing(r, "all fields missing");
  UPA_interp(blank, 2, 113, 300, &r);
  expect_missing(r, "no temperatures for theta");
  std::vector<UPA_level> full(UPA_MAX_LEVELS, L(500, 5000, -20));
  EXPECT_EQ(UPA_interp(full.data(), 5000, 100, 400, &r), UPA_MAX_LEVELS);  // reads 300 at most
}

// Missing temperatures fill linearly in pressure; ends stay missing.
TEST(UpaCalcTemp, LinearInPressure) {
  UPA_level prof[] = {L(1000, 0, M), L(1000, 0, 20), L(900, 0, M), L(850, 0, M), L(700, 0, -10), L(500, 0, M)};
  EXPECT_EQ(UPA_calc_temp(prof, 6), 0);
  EXPECT_EQ(prof[0].t, M);             // nothing below
  EXPECT_FLOAT_EQ(prof[2].t, 10);      // 20 + (900-1000)/(700-1000) * -30
  EXPECT_FLOAT_EQ(prof[3].t, 5);       // 20 + (850-1000)/(700-1000) * -30
  EXPECT_EQ(prof[5].t, M);             // nothing above
}

// Heights against the hypsometric equation. Isothermal 0 C: 1000-500 mb is
// 8000.786 * ln 2 = 5545.72 m; 1000-850 mb 1300.28 m; 1000-700 mb 2853.68 m.
TEST(UpaCalcHeight, Hypsometric) {
  // Upward integration above the last reported height: 850 mb reported, 500 filled.
  UPA_level up[] = {L(1000, 0, 0), L(850, 1300.28f, 0), L(500, M, 0)};
  EXPECT_EQ(UPA_calc_height(up, 3), 0);
  EXPECT_NEAR(up[2].h, 5545.72, 0.05);
  // The layer temperature is the mean of its ends: 0 C and -20 C give 263.15 K,
  // 1000 + 287.05*263.15/9.8 * ln(850/500) = 5090.02 m.
  UPA_level mean[] = {L(1000, 0, 20), L(850, 1000, 0), L(500, M, -20)};
  UPA_calc_height(mean, 3);
  EXPECT_NEAR(mean[2].h, 5090.02, 0.05);
  // A missing first height reaches down from the first reported one.
  UPA_level first[] = {L(1000, M, 0), L(500, 5545.72f, 0)};
  EXPECT_EQ(UPA_calc_height(first, 2), 0);
  EXPECT_NEAR(first[0].h, 0, 0.05);
}

// The integration error at the next reported height is spread linearly in pressure:
// reporting 500 mb 100 m above its isothermal height moves 700 mb up by
// 100 * (1000-700)/(1000-500) = 60 m.
TEST(UpaCalcHeight, Closure) {
  UPA_level prof[] = {L(1000, 0, 0), L(700, M, 0), L(500, 5645.72f, 0)};
  EXPECT_EQ(UPA_calc_height(prof, 3), 0);
  EXPECT_FLOAT_EQ(prof[2].h, 5645.72f);  // the reported height stays
  EXPECT_NEAR(prof[1].h, 2853.68 + 60, 0.05);
  UPA_level exact[] = {L(1000, 0, 0), L(700, M, 0), L(500, 5545.72f, 0)};
  UPA_calc_height(exact, 3);
  EXPECT_NEAR(exact[1].h, 2853.68, 0.05);  // no error to spread
}

// Only the first level has a height: nothing is filled and the result is -1.
TEST(UpaCalcHeight, OneHeight) {
  UPA_level prof[] = {L(1000, 100, 0), L(850, M, 0), L(700, M, 0)};
  EXPECT_EQ(UPA_calc_height(prof, 3), -1);
  EXPECT_EQ(prof[1].h, M);
  EXPECT_EQ(prof[2].h, M);
  EXPECT_EQ(UPA_calc_height(prof, 0), -1);
  UPA_level one[] = {L(1000, 100, 0)};
  EXPECT_EQ(UPA_calc_height(one, 1), -1);
  // Missing pressures and temperatures: no NaN, no garbage from missing values.
  UPA_level holes[] = {L(1000, 0, M), L(M, M, M), L(700, M, M), L(500, 5600, M)};
  EXPECT_EQ(UPA_calc_height(holes, 4), 0);
  for (const auto& lev : holes) EXPECT_TRUE(std::isfinite(lev.h));
  EXPECT_FLOAT_EQ(holes[3].h, 5600);
}

// Pressures of a wind profile from heights. 778.82 mb = 1000*exp(-2000/8000.786): the
// layer temperature implied by 1000 mb at 0 m and 500 mb at 5545.72 m is 273.15 K.
TEST(UpaCalcPress, Hydrostatic) {
  UPA_level between[] = {L(1000, 0, M), L(M, 2000, M), L(500, 5545.72f, M)};
  EXPECT_EQ(UPA_calc_press(between, 3), 0);
  EXPECT_NEAR(between[1].p, 778.82, 0.01);
  // Above the last pressure the first level's temperature with the standard lapse rate:
  // 15 C - 6.5 K at 1000 m = 281.65 K: 1000*exp(-9.8*1000/(287.05*281.65)) = 885.84 mb.
  UPA_level above[] = {L(1000, 0, 15), L(M, 1000, M)};
  UPA_calc_press(above, 2);
  EXPECT_NEAR(above[1].p, 885.84, 0.01);
  // A missing first pressure from the standard atmosphere at the end's height (281.65 K):
  // 900*exp(9.8*1000/(287.05*281.65)) = 1015.98 mb.
  UPA_level low[] = {L(M, 0, M), L(900, 1000, M)};
  UPA_calc_press(low, 2);
  EXPECT_NEAR(low[0].p, 1015.98, 0.01);
  // A missing first height from the mean temperature of the ends, 5 C:
  // 1500 + 287.05*278.15/9.8 * ln(850/1000) = 175.92 m.
  UPA_level h0[] = {L(1000, M, 10), L(850, 1500, 0)};
  UPA_calc_press(h0, 2);
  EXPECT_NEAR(h0[0].h, 175.92, 0.01);
  // Nothing to reach: no height anywhere gives a ground height 0 and no pressures.
  UPA_level none[] = {L(M, M, M), L(M, M, M)};
  UPA_calc_press(none, 2);
  EXPECT_FLOAT_EQ(none[0].h, 0);
  EXPECT_EQ(none[1].p, M);
}

// The coordinate values of the last profile are kept between calls; a profile changed in
// place (same array, same count) must be seen at once. Expected values by hand: linear
// in -ln(p) and in height.
TEST(UpaInterp, ProfileChangedInPlaceIsSeen) {
  UPA_level prof[] = {L(1000, 0, 20, 10, 200, 10), L(500, 5600, -20, -30, 260, 50)};
  UPA_level r;
  ASSERT_EQ(UPA_interp(prof, 2, 100, 707.10678f, &r), 1);
  EXPECT_NEAR(r.t, 0, 1e-3);
  // The top level moved to 250 mb: 707.1 mb is now ln(1000/707.1)/ln(1000/250) = 1/4 up.
  prof[1].p = 250;
  ASSERT_EQ(UPA_interp(prof, 2, 100, 707.10678f, &r), 1);
  EXPECT_NEAR(r.t, 20 - 40 * 0.25, 1e-3);
  EXPECT_NEAR(r.h, 5600 * 0.25, 1e-2);
  // By height (a profile without a pressure gap): 750 m is halfway; after the upper height
  // doubles it is a quarter up.
  UPA_level thin[] = {L(1000, 0, 20, 10, 200, 10), L(900, 1500, 18, 5, 220, 20)};
  ASSERT_EQ(UPA_interp(thin, 2, 105, 750, &r), 1);
  EXPECT_NEAR(r.t, 19, 1e-3);
  thin[1].h = 3000;
  ASSERT_EQ(UPA_interp(thin, 2, 105, 750, &r), 1);
  EXPECT_NEAR(r.t, 19.5, 1e-3);
  // By potential temperature the temperatures count too (theta 293.15 K below, 291.15 K
  // (1000/900)^0.286 = 300.1 K above): warming the upper level by 10 K raises its theta,
  // so the same theta request lands lower (at a higher pressure).
  UPA_level a, b;
  ASSERT_EQ(UPA_interp(thin, 2, 114, 298, &a), 1);
  thin[1].t += 10;
  ASSERT_EQ(UPA_interp(thin, 2, 114, 298, &b), 1);
  EXPECT_GT(b.p, a.p);
}
