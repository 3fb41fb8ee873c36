// Wind analyses of a sounding: layer mean wind, storm-relative helicity, veering and
// backing shear, bulk Richardson number and energy-helicity index.
//
// Expected numbers are worked by hand from the geometry of simple hodographs (the
// helicity of a step is minus twice the area its storm-relative hodograph sweeps), from
// the log-pressure trapezoid weights written out term by term, and from the BRN and EHI
// formulas; each comment says which.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "sounding_fixture.h"
#include "zudupa.h"

namespace {

constexpr double kKt = 0.5144;  // knots to m/s
constexpr double kDeg = 3.1415926535898 / 180.0;

// A wind level: pressure mb, height m, direction deg, speed knots; no temperatures.
UPA_level wl(float p, float h, float dir, float spd) { return UPA_level{p, h, MISSING, MISSING, dir, spd}; }

// Relative closeness for sums of float terms.
void expect_rel(double got, double want, double rel, const std::string& why) {
  EXPECT_NEAR(got, want, std::fabs(want) * rel + 1e-7) << why;
}

// Quarter circle: 20 kt at constant speed veering from 180 to 270 over 900 m, one wind
// level every 100 m turned 10 degrees from the one below, so every 100 m step of the
// integrations lies on a level. `base` lifts the whole profile.
std::vector<UPA_level> quarter_circle(float base = 0) {
  std::vector<UPA_level> s;
  for (int k = 0; k <= 9; ++k)
    s.push_back(wl(static_cast<float>(1000 - 10 * k) - base / 10, base + 100.0f * k, 180.0f + 10.0f * k, 20));
  return s;
}

// The same turn between only two wind levels, 900 m apart: the u and v components are
// interpolated in height, so the hodograph between them is the straight chord.
std::vector<UPA_level> quarter_chord() { return {wl(1000, 0, 180, 20), wl(900, 900, 270, 20)}; }

// A wind from the west growing from 0 to 20 kt over 1000 m: a straight-line hodograph
// along the u axis.
std::vector<UPA_level> straight_line() { return {wl(1000, 0, 270, 0), wl(890, 1000, 270, 20)}; }

// The storm motion whose components are (u, v) knots, as direction and speed.
WIND storm_uv(double u, double v) {
  WIND w;
  vect2wind(static_cast<float>(u), static_cast<float>(v), &w.dir, &w.spd);
  return w;
}

bool all_missing(const HELICITY_params& h) {
  return h.pos_hel == MISSING && h.neg_hel == MISSING && h.tot_hel == MISSING &&
         h.ave_hel == MISSING && h.rel_hel == MISSING && h.hor_vort == MISSING &&
         h.stm_vort == MISSING;
}

}  // namespace

// ---- layer_wind_mean -------------------------------------------------------------------

// Three westerly levels at 1000, 850 and 700 mb with 10, 20, 30 kt. The mean is the sum of
// trapezoids in ln p: u = [(10+20) ln(1000/850) + (20+30) ln(850/700)] / (2 ln(1000/700))
// = (4.87556 + 9.70781) / 0.71335 = 20.4435 kt, from 270.
TEST(LayerWindMean, LogPressureWeightsByHand) {
  auto s = std::vector<UPA_level>{wl(1000, 100, 270, 10), wl(850, 1500, 270, 20), wl(700, 3000, 270, 30)};
  const double w1 = std::log(1000.0 / 850.0), w2 = std::log(850.0 / 700.0);
  const double want = (30.0 * w1 + 50.0 * w2) / (2.0 * (w1 + w2));
  WIND m{};
  EXPECT_EQ(layer_wind_mean(s.data(), 3, 100, 1000, 700, &m), 1);
  EXPECT_NEAR(want, 20.4435, 1e-3);  // the hand value above
  EXPECT_NEAR(m.spd, want, 1e-4);
  EXPECT_NEAR(m.dir, 270.0, 1e-3);
}

// A wind that reverses: 30 kt from 270 at 1000 mb, 10 kt from 090 at 900 mb. One
// segment, so the weights cancel: mean u = (30 - 10)/2 = 10 kt (from 270), but the mean
// scalar speed is (30 + 10)/2 = 20 kt, twice the mean vector's length.
TEST(LayerWindMean, ReversingWindKeepsMeanSpeed) {
  auto s = std::vector<UPA_level>{wl(1000, 100, 270, 30), wl(900, 1000, 90, 10)};
  WIND m{};
  EXPECT_EQ(layer_wind_mean(s.data(), 2, 100, 1000, 900, &m), 1);
  EXPECT_NEAR(m.dir, 270.0, 1e-3);
  EXPECT_NEAR(m.spd, 20.0, 1e-4);
}

// The three return codes and the missing results of bad bounds and bad data.
TEST(LayerWindMean, ReturnCodes) {
  auto s = std::vector<UPA_level>{wl(1000, 100, 270, 10), wl(850, 1500, 270, 20), wl(700, 3000, 270, 30)};
  auto calm = std::vector<UPA_level>{wl(1000, 100, MISSING, MISSING), wl(850, 1500, MISSING, MISSING)};
  // 925 mb lies ln(1000/925)/ln(1000/850) = 0.47971 of the way up: 10 + 10 * 0.47971.
  const float at925 = static_cast<float>(10.0 + 10.0 * std::log(1000.0 / 925.0) / std::log(1000.0 / 850.0));
  // The 1000-700 mb mean of LogPressureWeightsByHand: the part above 700 mb has no wind.
  const float mean700 = 20.4435f;
  struct Case { std::vector<UPA_level>* lev; int num, coord; float bottom, top; int rc; float dir, spd; const char* why; };
  const Case cases[] = {
      {&s, 0, 100, 1000, 700, -1, MISSING, MISSING, "empty sounding"},
      {&s, 3, 100, 700, 1000, -1, MISSING, MISSING, "pressure top below the bottom"},
      {&s, 3, 103, 3000, 100, -1, MISSING, MISSING, "height top below the bottom"},
      {&s, 3, 100, MISSING, 700, -1, MISSING, MISSING, "missing bottom is a bad bound"},
      {&s, 1, 100, 1000, 700, 0, 270, 10, "one level: its own wind, code 0"},
      {&s, 3, 100, 925, MISSING, 1, 270, at925, "no top: the point value at the bottom"},
      {&s, 3, 100, 925, 925, 1, 270, at925, "top equal to the bottom: point value"},
      {&s, 3, 100, 1000, 500, 0, 270, mean700, "top above the winds: mean below it, code 0"},
      {&s, 3, 100, 1100, MISSING, 0, MISSING, MISSING, "point value below the sounding has no wind"},
      {&calm, 2, 100, 1000, 850, 0, MISSING, MISSING, "all winds missing: no mean"},
  };
  for (const auto& c : cases) {
    WIND m{1.0f, 1.0f};
    EXPECT_EQ(layer_wind_mean(c.lev->data(), c.num, c.coord, c.bottom, c.top, &m), c.rc) << c.why;
    EXPECT_NEAR(m.dir, c.dir, 1e-3) << c.why;
    EXPECT_NEAR(m.spd, c.spd, 1e-3) << c.why;
  }
}

// ---- helicity ----------------------------------------------------------------------------

// Quarter circle with a storm at rest. Each 100 m step turns the storm-relative wind of
// speed S = 20 * 0.5144 m/s by 10 degrees clockwise: contribution S^2 sin(10 deg), nine
// steps, 165.415 m2/s2 (close to the continuous -2 x quarter-disc area pi S^2 / 2 =
// 166.26). Streamwise vorticity per step: (10 deg in rad / 100 m) * S; no speed change,
// so the horizontal vorticity is the same and their ratio 1. The storm-relative wind turns
// from 180 to 270: +90 deg.
TEST(Helicity, QuarterCircleByHand) {
  auto s = quarter_circle();
  const WIND still{0.0f, 0.0f};
  HELICITY_params h;
  EXPECT_EQ(helicity(s.data(), count(s), 103, 0, 900, &still, &h), 1);
  const double S = 20.0 * kKt;
  const double hel = 9.0 * S * S * std::sin(10.0 * kDeg);
  const double vort = 10.0 * kDeg / 100.0 * S;
  expect_rel(h.pos_hel, hel, 1e-4, "nine steps of S^2 sin 10");
  EXPECT_NEAR(h.pos_hel, 3.1415926535898 * S * S / 2.0, 0.01 * h.pos_hel) << "continuous limit";
  EXPECT_EQ(h.neg_hel, 0.0f);
  expect_rel(h.tot_hel, hel, 1e-4, "total");
  expect_rel(h.ave_hel, hel / 900.0, 1e-4, "per metre of the 900 m integrated");
  expect_rel(h.stm_vort, vort, 1e-4, "streamwise per step");
  expect_rel(h.hor_vort, vort, 1e-4, "pure turning: horizontal equals streamwise");
  EXPECT_NEAR(h.rel_hel, 1.0, 1e-4);
  EXPECT_NEAR(h.dir_shr, 90.0, 1e-3);
}

// Between two wind levels the wind of each 100 m step is the height interpolation of the
// u and v components, not of direction and speed: the quarter turn between two levels is
// the chord from (0, S) to (S, 0) m/s. The helicity of a straight hodograph segment is the
// cross product of its end vectors (storm at rest): S * S = 105.84 m2/s2, where a wind
// swung through the directions would give the arc's 165.4.
TEST(Helicity, ComponentsInterpolatedBetweenLevels) {
  auto s = quarter_chord();
  const WIND still{0.0f, 0.0f};
  HELICITY_params h;
  EXPECT_EQ(helicity(s.data(), 2, 103, 0, 900, &still, &h), 1);
  const double S = 20.0 * kKt;
  expect_rel(h.pos_hel, S * S, 1e-4, "chord: cross product of the end winds");
  EXPECT_EQ(h.neg_hel, 0.0f);
  EXPECT_NEAR(h.dir_shr, 90.0, 1e-3) << "direction shear still from the two bounds";
  // A light wind turning through south: 2 kt from 90 to 2 kt from 270 over 900 m.
  // Components go (-2, 0) -> (+2, 0) kt along a straight line through the origin: with
  // the storm at rest no area, helicity 0; direction interpolation would have swung the
  // wind through 180 (a half circle, -2 x area = pi (2 kt)^2 of one sign).
  auto calm = std::vector<UPA_level>{wl(1000, 0, 90, 2), wl(900, 900, 270, 2)};
  EXPECT_EQ(helicity(calm.data(), 2, 103, 0, 900, &still, &h), 1);
  EXPECT_NEAR(h.tot_hel, 0.0, 1e-3);
  // Shear over the same layer, one 500 m step (the next would end above 910 m): the wind
  // at 500 m is u = -2 + 4 * 500/900 = 0.2222 kt, v = 0, from 270 after 90: a 180 degree
  // turn, which counts as backing, so neg = 2.2222 kt * 0.5144 / 500 m and pos = 0.
  // (Through direction and speed the 500 m wind would be 2 kt from 190: veering.)
  SHEAR_params sh;
  EXPECT_EQ(shear_layer(calm.data(), 2, 103, 0, 900, &still, &sh), 1);
  EXPECT_EQ(sh.pos_shr, 0.0f);
  EXPECT_NEAR(sh.neg_shr, 4.0 * 500 / 900 * kKt / 500, 1e-7);
}

// Straight-line hodograph from (0,0) to (20,0) kt. For a storm at (cu, cv) each step adds
// -cv * du, so the layer total is -cv * 20 kt^2 (minus twice the signed area of the
// triangle storm-bottom-top), times 0.5144^2 for m2/s2.
TEST(Helicity, StraightLineByHand) {
  const double k2 = kKt * kKt;
  struct Case { double cu, cv; double pos, neg; const char* why; };
  const Case cases[] = {
      {10, -10, 200 * k2, 0, "storm right of the hodograph: +52.92 all positive"},
      {10, 10, 0, -200 * k2, "storm left of it: -52.92 all negative"},
      {10, 0, 0, 0, "storm on the line: no area, zero goes to the negative sum"},
  };
  for (const auto& c : cases) {
    auto s = straight_line();
    const WIND storm = storm_uv(c.cu, c.cv);
    HELICITY_params h;
    EXPECT_EQ(helicity(s.data(), 2, 103, 0, 1000, &storm, &h), 1) << c.why;
    EXPECT_NEAR(h.pos_hel, c.pos, 1e-3) << c.why;
    EXPECT_NEAR(h.neg_hel, c.neg, 1e-3) << c.why;
    EXPECT_NEAR(h.tot_hel, c.pos + c.neg, 1e-3) << c.why;
  }
}

// Storm at (10, -10) kt: the storm-relative wind is (-10, 10) kt at the bottom (from 135)
// and (10, 10) kt at the top (from 225): directional shear +90.
TEST(Helicity, DirectionalShearOfStormRelativeWind) {
  auto s = straight_line();
  const WIND storm = storm_uv(10, -10);
  HELICITY_params h;
  helicity(s.data(), 2, 103, 0, 1000, &storm, &h);
  EXPECT_NEAR(h.dir_shr, 90.0, 1e-3);
}

// A top above the last wind level is moved to the last level (+10 m): the quarter circle
// asked to 3000 m gives the same nine steps as to 900 m, per 900 m, with code 0.
TEST(Helicity, TopAboveSoundingSubstituted) {
  auto s = quarter_circle();
  const WIND still{0.0f, 0.0f};
  HELICITY_params h;
  EXPECT_EQ(helicity(s.data(), count(s), 103, 0, 3000, &still, &h), 0);
  const double S = 20.0 * kKt, hel = 9.0 * S * S * std::sin(10.0 * kDeg);
  expect_rel(h.pos_hel, hel, 1e-4, "integrated to 900 m only");
  expect_rel(h.ave_hel, hel / 900.0, 1e-4, "mean over the 900 m integrated");
  EXPECT_NEAR(h.dir_shr, 90.0, 1e-3) << "turn to the substituted top";
}

// Without a wind at the bottom the hodograph starts at the first wind above it: the
// quarter circle lifted to 100-1000 m over a calm-less ground level gives the same nine
// steps; ten steps were taken, so the per-step vorticity is 9/10 of one step's.
TEST(Helicity, MissingBottomWindStartsAtFirstWind) {
  auto s = quarter_circle(100);
  s.insert(s.begin(), wl(1000, 0, MISSING, MISSING));
  const WIND still{0.0f, 0.0f};
  HELICITY_params h;
  EXPECT_EQ(helicity(s.data(), count(s), 103, 0, 1000, &still, &h), 1);
  const double S = 20.0 * kKt;
  expect_rel(h.pos_hel, 9.0 * S * S * std::sin(10.0 * kDeg), 1e-4, "nine turning steps");
  expect_rel(h.stm_vort, 0.9 * 10.0 * kDeg / 100.0 * S, 1e-4, "nine of ten steps turn");
  EXPECT_EQ(h.dir_shr, MISSING) << "no bottom wind to turn from";
}

// Bad input leaves the sums missing and returns 0 (not done) or -1 (no heights).
TEST(Helicity, BadInput) {
  auto good = quarter_chord();
  auto high = std::vector<UPA_level>{wl(500, 5600, 180, 20), wl(400, 7200, 270, 20)};
  auto noh = std::vector<UPA_level>{wl(1000, MISSING, 180, 20), wl(900, MISSING, 270, 20)};
  auto calm = std::vector<UPA_level>{wl(1000, 0, MISSING, MISSING), wl(900, 900, MISSING, MISSING)};
  const WIND still{0.0f, 0.0f}, moving{240.0f, 30.0f}, nodir{MISSING, 10.0f}, nospd{200.0f, MISSING};
  struct Case { std::vector<UPA_level>* lev; int num, coord; float bottom, top; const WIND* storm; int rc; const char* why; };
  const Case cases[] = {
      {&high, 2, 103, 5600, 8600, &still, 0, "first level above 5000 m"},
      {&good, 0, 103, 0, 900, &still, 0, "empty sounding"},
      {&good, 1, 103, 0, 900, &still, 0, "one level"},
      {&good, 2, 103, 0, 900, nullptr, 0, "no storm motion"},
      {&good, 2, 103, 0, 900, &nodir, 0, "storm direction missing"},
      {&good, 2, 103, 0, 900, &nospd, 0, "storm speed missing: counts as absent"},
      {&calm, 2, 103, 0, 900, &still, 0, "all winds missing: nothing integrated"},
      {&calm, 2, 103, 0, 900, &moving, 0, "missing winds minus a storm motion are no winds"},
      {&noh, 2, 103, 0, 900, &still, 0, "height coordinate without heights: no wind found"},
      {&noh, 2, 100, 1000, 900, &still, -1, "pressure coordinate without heights"},
      {&good, 2, 103, MISSING, 900, &still, -1, "missing bottom: no bottom height"},
  };
  for (const auto& c : cases) {
    HELICITY_params h;
    h.pos_hel = 1.0f;
    EXPECT_EQ(helicity(c.lev->data(), c.num, c.coord, c.bottom, c.top, c.storm, &h), c.rc) << c.why;
    EXPECT_TRUE(all_missing(h)) << c.why;
    if (c.rc == 0) {
      EXPECT_EQ(h.dir_shr, MISSING) << c.why;
    }
  }
}

// ---- shear_layer -------------------------------------------------------------------------

// Several layers over one bottom computed in one climb give, field for field and bit for
// bit, what one helicity call per layer gives: tops in any order, equal tops, a top below
// the first step, a top above the sounding (substituted, returns 0), a top between levels,
// a missing top (-1), no storm motion, and a sounding with a gap in its winds.
TEST(Helicity, LayersTogetherAsOneByOne) {
  std::vector<UPA_level> gap = quarter_circle();
  gap[4].dir = gap[4].spd = MISSING;
  gap[5].dir = gap[5].spd = MISSING;
  const WIND storm = {240.0f, 15.0f}, none = {MISSING, MISSING};
  const std::vector<float> tops = {3000, 550, 50, 900, 900, 120, MISSING, 1000, 350};
  struct Case { std::vector<UPA_level> snd; const WIND* storm; const char* why; };
  const Case cases[] = {
      {quarter_circle(), &storm, "quarter circle"},
      {quarter_circle(250), &storm, "lifted quarter circle"},
      {gap, &storm, "winds missing at 400 and 500 m"},
      {quarter_circle(), &none, "no storm motion"},
  };
  for (const Case& c : cases) {
    std::vector<UPA_level> snd = c.snd;
    std::vector<HELICITY_params> together(tops.size());
    std::vector<int> rc(tops.size(), 99);
    const int first = helicity_layers(snd.data(), count(snd), 105, snd[0].h, tops.data(),
                                      static_cast<int>(tops.size()), c.storm, together.data(),
                                      nullptr, rc.data());
    for (std::size_t k = 0; k < tops.size(); ++k) {
      HELICITY_params alone;
      const int want = helicity(snd.data(), count(snd), 105, snd[0].h, tops[k], c.storm, &alone);
      const std::string why = std::string(c.why) + ", top " + std::to_string(tops[k]);
      EXPECT_EQ(rc[k], want) << why;
      if (k == 0) {
        EXPECT_EQ(first, want) << why;
      }
      EXPECT_EQ(std::memcmp(&together[k], &alone, sizeof alone), 0) << why;
    }
  }
}

// 500 m steps over 0-3000 m (six steps, 3000 m integrated), 20 kt unless stated. The
// summed wind changes telescope, so each sum is a chord of the hodograph: a turn of A
// degrees at speed S has length 2 S sin(A/2).
TEST(ShearLayer, VeeringAndBackingByHand) {
  const double S = 20.0 * kKt;
  const double chord30 = 2.0 * S * std::sin(15.0 * kDeg), chord60 = 2.0 * S * std::sin(30.0 * kDeg);
  struct Case { std::vector<UPA_level> lev; double pos, neg; const char* why; };
  const Case cases[] = {
      {{wl(1000, 0, 180, 20), wl(700, 3000, 240, 20)}, chord60 / 3000, 0,
       "veering 10 deg per 500 m at constant speed: all positive"},
      {{wl(1000, 0, 270, 10), wl(700, 3000, 270, 40)}, 0, 30 * kKt / 3000,
       "constant direction, speed up 30 kt: zero turn is not veering"},
      {{wl(1000, 0, 180, 20), wl(850, 1500, 210, 20), wl(700, 3000, 180, 20)}, chord30 / 3000,
       chord30 / 3000, "veering 30 deg then backing 30 deg: equal parts"},
      {{wl(1000, 0, 20, 20), wl(700, 3000, 350, 20)}, 0, chord30 / 3000,
       "backing through north (0 to 355 is a backing step)"},
      {{wl(1000, 0, 350, 20), wl(700, 3000, 20, 20)}, chord30 / 3000, 0,
       "veering through north (360 to 5 is a veering step)"},
  };
  for (auto c : cases) {
    SHEAR_params r;
    EXPECT_EQ(shear_layer(c.lev.data(), static_cast<int>(c.lev.size()), 103, 0, 3000, nullptr, &r), 1) << c.why;
    EXPECT_NEAR(r.pos_shr, c.pos, 1e-6) << c.why;
    EXPECT_NEAR(r.neg_shr, c.neg, 1e-6) << c.why;
  }
}

// The storm motion is only traced: shear is a property of the wind profile alone.
TEST(ShearLayer, StormMotionDoesNotMatter) {
  auto s = std::vector<UPA_level>{wl(1000, 0, 180, 20), wl(700, 3000, 240, 20)};
  const WIND storm{240.0f, 30.0f};
  SHEAR_params a, b;
  shear_layer(s.data(), 2, 103, 0, 3000, nullptr, &a);
  shear_layer(s.data(), 2, 103, 0, 3000, &storm, &b);
  EXPECT_NE(a.pos_shr, MISSING);
  EXPECT_EQ(a.pos_shr, b.pos_shr);
  EXPECT_EQ(a.neg_shr, b.neg_shr);
}

// A top above the sounding is moved to the last level: the veering profile asked to
// 6000 m gives its 0-3000 m shear (chord of 60 deg = S, over 3000 m) with code 0.
TEST(ShearLayer, TopAboveSoundingSubstituted) {
  auto s = std::vector<UPA_level>{wl(1000, 0, 180, 20), wl(700, 3000, 240, 20)};
  SHEAR_params r;
  EXPECT_EQ(shear_layer(s.data(), 2, 103, 0, 6000, nullptr, &r), 0);
  EXPECT_NEAR(r.pos_shr, 20.0 * kKt / 3000.0, 1e-6);
  EXPECT_NEAR(r.neg_shr, 0.0, 1e-7);
}

// Bad input: both results missing; 0 when nothing ran, -1 without heights.
TEST(ShearLayer, BadInput) {
  auto good = std::vector<UPA_level>{wl(1000, 0, 180, 20), wl(700, 3000, 240, 20)};
  auto high = std::vector<UPA_level>{wl(500, 5600, 180, 20), wl(400, 7200, 270, 20)};
  auto noh = std::vector<UPA_level>{wl(1000, MISSING, 180, 20), wl(700, MISSING, 240, 20)};
  auto calm = std::vector<UPA_level>{wl(1000, 0, MISSING, MISSING), wl(700, 3000, MISSING, MISSING)};
  struct Case { std::vector<UPA_level>* lev; int num, coord; float bottom, top; int rc; const char* why; };
  const Case cases[] = {
      {&good, 0, 103, 0, 3000, 0, "empty sounding"},
      {&high, 2, 103, 5600, 8600, 0, "first level above 5000 m"},
      {&calm, 2, 103, 0, 3000, 0, "all winds missing: nothing integrated"},
      {&good, 2, 103, 0, 400, 0, "layer thinner than one step"},
      {&noh, 2, 100, 1000, 700, -1, "pressure coordinate without heights"},
      {&good, 2, 103, MISSING, 3000, -1, "missing bottom"},
  };
  for (const auto& c : cases) {
    SHEAR_params r;
    EXPECT_EQ(shear_layer(c.lev->data(), c.num, c.coord, c.bottom, c.top, nullptr, &r), c.rc) << c.why;
    EXPECT_EQ(r.pos_shr, MISSING) << c.why;
    EXPECT_EQ(r.neg_shr, MISSING) << c.why;
  }
}

// ---- bulk_richardson ---------------------------------------------------------------------

namespace {

// Westerly 10 kt from the ground (1000 mb) to 500 m (950 mb), 30 kt at 6000 m (500 mb).
// 0-500 m mean: 10 kt. 0-6000 m mean, log-pressure trapezoids:
// (20 ln(1000/950) + 40 ln(950/500)) / (2 ln 2) = 19.2601 kt. Bulk shear
// (19.2601 - 10) * 0.5144 = 4.7634 m/s.
std::vector<UPA_level> brn_profile() {
  return {wl(1000, 0, 270, 10), wl(950, 500, 270, 10), wl(500, 6000, 270, 30)};
}
double brn_shear() {
  const double m6 = (20.0 * std::log(1000.0 / 950.0) + 40.0 * std::log(950.0 / 500.0)) / (2.0 * std::log(2.0));
  return (m6 - 10.0) * kKt;
}

}  // namespace

// BRN = CAPE / (0.5 shear^2) from the hand shear above; zero CAPE with shear gives 0; a
// negative or missing CAPE, or no shear, leaves BRN missing while the shear is kept.
TEST(BulkRichardson, ByHand) {
  auto s = brn_profile();
  auto still = std::vector<UPA_level>{wl(1000, 0, 270, 10), wl(950, 500, 270, 10), wl(500, 6000, 270, 10)};
  const double sh = brn_shear();
  EXPECT_NEAR(sh, 4.7634, 1e-3);  // the hand value above
  struct Case { std::vector<UPA_level>* lev; float cape; double brn, shear; const char* why; };
  const Case cases[] = {
      {&s, 1000, 1000 / (0.5 * sh * sh), sh, "1000 J/kg: 88.1"},
      {&s, 0, 0, sh, "zero CAPE with shear: 0"},
      {&s, -5, MISSING, sh, "negative CAPE: no number"},
      {&s, MISSING, MISSING, sh, "parcel did not run"},
      {&still, 1000, MISSING, 0, "no shear: no number (no division by zero)"},
  };
  for (const auto& c : cases) {
    float brn = 1, shear = 1;
    EXPECT_EQ(bulk_richardson(c.lev->data(), static_cast<int>(c.lev->size()), 100, 1000, c.cape, &brn, &shear), 0) << c.why;
    EXPECT_NEAR(brn, c.brn, std::fabs(c.brn) * 1e-4 + 1e-5) << c.why;
    EXPECT_NEAR(shear, c.shear, 1e-4) << c.why;
  }
}

// Not done: both results missing, code -1.
TEST(BulkRichardson, NotDone) {
  auto s = brn_profile();
  auto calm = std::vector<UPA_level>{wl(1000, 0, MISSING, MISSING), wl(500, 6000, MISSING, MISSING)};
  // Winds only from 1000 m up: the 0-6000 m mean exists (code 1), the 0-500 m one does not.
  auto low_gap = std::vector<UPA_level>{wl(1000, 0, MISSING, MISSING), wl(950, 500, MISSING, MISSING),
                                        wl(900, 1000, 270, 20), wl(500, 6000, 270, 40)};
  struct Case { std::vector<UPA_level>* lev; int num; float bottom; const char* why; };
  const Case cases[] = {
      {&s, 0, 1000, "empty sounding"},
      {&s, 3, MISSING, "missing bottom: no bottom height"},
      {&calm, 2, 1000, "all winds missing"},
      {&low_gap, 4, 1000, "one mean missing: a difference with it is not a shear"},
  };
  for (const auto& c : cases) {
    float brn = 1, shear = 1;
    EXPECT_EQ(bulk_richardson(c.lev->data(), c.num, 100, c.bottom, 1000, &brn, &shear), -1) << c.why;
    EXPECT_EQ(brn, MISSING) << c.why;
    EXPECT_EQ(shear, MISSING) << c.why;
  }
}

// ---- energy_helicity ---------------------------------------------------------------------

// Straight westerly hodograph 0 to 40 kt over 0-2000 m, storm at (10, -10) kt: helicity
// -cv * du = 10 * 40 = 400 kt^2 = 105.841 m2/s2, all positive. With CAPE 2000 J/kg:
// EHI = 105.841 * 2000 / 160000 = 1.3230.
TEST(EnergyHelicity, ByHand) {
  auto s = std::vector<UPA_level>{wl(1000, 0, 270, 0), wl(800, 2000, 270, 40)};
  const WIND storm = storm_uv(10, -10);
  const double hel = 400.0 * kKt * kKt;
  const WIND nospd{315.0f, MISSING};
  struct Case { int num; float bottom; const WIND* storm; float cape; double ehi; const char* why; };
  const Case cases[] = {
      {2, 1000, &storm, 2000, hel * 2000 / 160000, "hand value 1.3230"},
      {2, 1000, &storm, 0, 0, "no CAPE: index 0"},
      {2, 1000, &storm, MISSING, MISSING, "parcel ascent did not run"},
      {2, 1000, nullptr, 2000, MISSING, "no storm motion: no helicity"},
      {2, 1000, &nospd, 2000, MISSING, "storm speed missing"},
      {0, 1000, &storm, 2000, MISSING, "empty sounding"},
      {2, MISSING, &storm, 2000, MISSING, "missing bottom"},
      {2, 1100, &storm, 2000, MISSING, "bottom below the sounding: no bottom height"},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(energy_helicity(s.data(), c.num, 100, c.bottom, c.storm, c.cape), c.ehi,
                std::fabs(c.ehi) * 1e-4 + 1e-6)
        << c.why;
  }
  EXPECT_NEAR(hel * 2000 / 160000, 1.3230, 1e-4);  // the hand value above
}

// With the debug sub-level c open, the layer mean traces its bounds and its result line.
TEST(LayerWindMean, TracesResult) {
  auto s = std::vector<UPA_level>{wl(1000, 100, 270, 30), wl(900, 1000, 90, 10)};
  const M_type saved = MESS_get();
  MESS_set(11, 0x40000000);
  testing::internal::CaptureStdout();
  WIND m{};
  layer_wind_mean(s.data(), 2, 100, 1000, 900, &m);
  const std::string out = testing::internal::GetCapturedStdout();
  if ((saved & 0x40000000) == 0) MESS_set(9, 0x40000000);  // back to the mask before
  EXPECT_NE(out.find(" 1- 1  270.0  30.0   90.0  10.0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("270.000000 20.000000\n"), std::string::npos) << out;
}

// ---- the realistic sounding --------------------------------------------------------------

// Surface (1004 mb) to 950 mb of the Plains sounding: three log-pressure segments with
// winds 170/12, 175/15, 185/22, 195/28 kt. Mean speed, written out term by term:
// [27 ln(1004/1000) + 37 ln(1000/975) + 50 ln(975/950)] / (2 ln(1004/950)) = 21.193 kt;
// the mean vector (the same sums of u and v by hand) points from 185.93 deg and is
// 21.02 kt long, a little shorter than the mean speed because the wind veers.
TEST(WindRealistic, SurfaceLayerMeanWind) {
  auto s = plains_sounding();
  const double want = (27.0 * std::log(1004.0 / 1000.0) + 37.0 * std::log(1000.0 / 975.0) +
                       50.0 * std::log(975.0 / 950.0)) /
                      (2.0 * std::log(1004.0 / 950.0));
  WIND m{};
  EXPECT_EQ(layer_wind_mean(s.data(), static_cast<int>(s.size()), 100, 1004, 950, &m), 1);
  EXPECT_NEAR(want, 21.193, 1e-3);  // the hand value above
  EXPECT_NEAR(m.spd, want, 1e-4);
  EXPECT_NEAR(m.dir, 185.926, 1e-2);
}

// 0-3000 m above the ground (120-3120 m): the direction rises at every level from 170 to
// 240, so every 500 m step veers and the backing part is exactly zero. The veering sum
// telescopes to v(3120 m) - v(120 m). At 3120 m the wind is interpolated by height
// between 2648 m (235/27) and 3224 m (240/30), weight 472/576 = 0.81944: 239.097 deg,
// 29.458 kt, i.e. (13.0022, 7.7825) m/s; at the ground 170/12 kt is (-1.0719, 6.0790)
// m/s. Length of the difference 14.177 m/s over 3000 m: 4.7256e-3 /s.
TEST(WindRealistic, VeeringProfileShear) {
  auto s = plains_sounding();
  SHEAR_params r;
  EXPECT_EQ(shear_layer(s.data(), static_cast<int>(s.size()), 103, 120, 3120, nullptr, &r), 1);
  EXPECT_NEAR(r.pos_shr, 4.7256e-3, 1e-6);
  EXPECT_EQ(r.neg_shr, 0.0f);
}

// A hodograph curving clockwise (wind veering with height) has positive storm-relative
// helicity for a storm moving with the 0-6000 m mean wind, as the analysis driver takes
// it: the mean lies on the concave side of the curve, which the hodograph then sweeps
// clockwise. The total is the sum of its two parts.
TEST(WindRealistic, VeeringProfileHelicity) {
  auto s = plains_sounding();
  const int n = static_cast<int>(s.size());
  WIND storm{};
  ASSERT_EQ(layer_wind_mean(s.data(), n, 103, 120, 6120, &storm), 1);
  HELICITY_params h;
  EXPECT_EQ(helicity(s.data(), n, 103, 120, 3120, &storm, &h), 1);
  EXPECT_GT(h.pos_hel, 50.0f);
  EXPECT_GT(h.pos_hel, -h.neg_hel);
  EXPECT_NEAR(h.tot_hel, h.pos_hel + h.neg_hel, 1e-3);
}
