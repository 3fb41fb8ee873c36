// Wind direction and speed against vector components, checked by hand with sin/cos.

#include <gtest/gtest.h>

#include <cmath>

#include "zud.h"

// Components: u = -spd sin(dir), v = -spd cos(dir); a wind blows towards dir + 180.
TEST(Wind2Vect, ByHand) {
  struct Case { float dir, spd, u, v; const char* why; };
  const Case cases[] = {
      {0.0f, 10.0f, 0.0f, -10.0f, "from the north: blows south, v < 0"},
      {90.0f, 10.0f, -10.0f, 0.0f, "from the east: blows west"},
      {180.0f, 10.0f, 0.0f, 10.0f, "from the south"},
      {270.0f, 10.0f, 10.0f, 0.0f, "from the west: blows east"},
      // -10 sin 225 = -10 * (-0.707107) = 7.07107, the same for cos.
      {225.0f, 10.0f, 7.07107f, 7.07107f, "from the south-west: blows north-east"},
      // -20 sin 30 = -10, -20 cos 30 = -17.3205.
      {30.0f, 20.0f, -10.0f, -17.3205f, "a direction off the axes"},
      {123.0f, 0.0f, 0.0f, 0.0f, "calm"},
  };
  for (const auto& c : cases) {
    float u = 1.0f, v = 1.0f;
    EXPECT_EQ(wind2vect(c.dir, c.spd, &u, &v), 0) << c.why;
    EXPECT_NEAR(u, c.u, 1e-4f) << c.why;
    EXPECT_NEAR(v, c.v, 1e-4f) << c.why;
  }
}

// Direction from atan2(-u, -v) in 0-360; speed the vector length.
TEST(Vect2Wind, ByHand) {
  struct Case { float u, v, dir, spd; const char* why; };
  const Case cases[] = {
      {1.0f, 0.0f, 270.0f, 1.0f, "towards the east: from 270"},
      {0.0f, -10.0f, 0.0f, 10.0f, "towards the south: from the north"},
      {-10.0f, 0.0f, 90.0f, 10.0f, "towards the west: from 90"},
      {0.0f, 10.0f, 180.0f, 10.0f, "towards the north: from 180"},
      // 3-4-5 triangle: atan2(-3, 4) = -36.870 degrees, plus 360 = 323.130.
      {3.0f, -4.0f, 323.130f, 5.0f, "negative angle wrapped to 0-360"},
      {7.07107f, 7.07107f, 225.0f, 10.0f, "towards the north-east"},
      {0.005f, 0.0f, 0.0f, 0.005f, "below 0.01: direction 0, speed kept"},
      {0.0f, 0.0f, 0.0f, 0.0f, "calm"},
  };
  for (const auto& c : cases) {
    float dir = -1.0f, spd = -1.0f;
    EXPECT_EQ(vect2wind(c.u, c.v, &dir, &spd), 0) << c.why;
    EXPECT_NEAR(dir, c.dir, 1e-3f) << c.why;
    EXPECT_NEAR(spd, c.spd, 1e-5f) << c.why;
  }
}

// A missing input gives status -1 and both outputs missing, in either direction.
TEST(WindVector, Missing) {
  using Fn = int (*)(float, float, float*, float*);
  struct Case { Fn fn; float a, b; const char* why; };
  const Case cases[] = {
      {wind2vect, -9999.0f, 10.0f, "wind2vect: missing direction"},
      {wind2vect, 200.0f, -9999.0f, "wind2vect: missing speed"},
      {vect2wind, -9999.0f, 1.0f, "vect2wind: missing u"},
      {vect2wind, 1.0f, -9999.0f, "vect2wind: missing v"},
  };
  for (const auto& c : cases) {
    float out1 = 1.0f, out2 = 1.0f;
    EXPECT_EQ(c.fn(c.a, c.b, &out1, &out2), -1) << c.why;
    EXPECT_EQ(out1, MISSING) << c.why;
    EXPECT_EQ(out2, MISSING) << c.why;
  }
}

// Every direction on a 15-degree circle survives the trip to components and back.
TEST(WindVector, RoundTrip) {
  for (int d = 0; d < 360; d += 15) {
    float u = 0.0f, v = 0.0f, dir = 0.0f, spd = 0.0f;
    ASSERT_EQ(wind2vect(static_cast<float>(d), 25.0f, &u, &v), 0);
    ASSERT_EQ(vect2wind(u, v, &dir, &spd), 0);
    const float diff = std::fabs(dir - static_cast<float>(d));
    EXPECT_LT(std::fmin(diff, 360.0f - diff), 1e-3f) << d;
    EXPECT_NEAR(spd, 25.0f, 1e-4f) << d;
  }
}

// Storm-relative wind: components differ in m/s (knots x 0.5144), the relative speed is
// given back in knots (m/s x 1.944). By hand from u = -spd sin(dir), v = -spd cos(dir).
TEST(StormRelative, ByHand) {
  struct Case { float dir, spd; WIND storm; int rc; float du, dv, rdir, rspd; const char* why; };
  const float M = MISSING;
  const Case cases[] = {
      // 20 kt and 10 kt from the west: du = (20 - 10) 0.5144 = 5.144 m/s, still from the
      // west; 5.144 x 1.944 = 9.99994 kt.
      {270, 20, {270, 10}, 1, 5.144f, 0.0f, 270.0f, 9.99994f, "a slower storm, same track"},
      // From the south at 10 kt, storm from the west at 10 kt: du = -5.144, dv = 5.144,
      // towards the north-west, so from 135 deg at 5.144 sqrt 2 = 7.2746 m/s = 14.1418 kt.
      {180, 10, {270, 10}, 1, -5.144f, 5.144f, 135.0f, 14.1418f, "across the storm's track"},
      {180, 10, {M, 10}, 0, M, M, M, M, "no storm direction"},
      {M, 10, {270, 10}, 0, M, M, M, M, "no wind direction"},
  };
  for (const auto& c : cases) {
    float du, dv, rdir, rspd;
    EXPECT_EQ(storm_relative(c.dir, c.spd, c.storm, &du, &dv, &rdir, &rspd), c.rc) << c.why;
    if (c.rc == 0) {
      EXPECT_EQ(du, M) << c.why;
      EXPECT_EQ(rspd, M) << c.why;
      continue;
    }
    EXPECT_NEAR(du, c.du, 1e-3) << c.why;
    EXPECT_NEAR(dv, c.dv, 1e-3) << c.why;
    EXPECT_NEAR(rdir, c.rdir, 1e-2) << c.why;
    EXPECT_NEAR(rspd, c.rspd, 1e-3) << c.why;
  }
}
