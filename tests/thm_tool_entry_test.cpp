// Handing a merged sounding to the analysis state: the surface level and the surface
// coordinate of interpolation.

#include <gtest/gtest.h>

#include <string>

#include "zudupa.h"

namespace {

constexpr float M = MISSING;

// Two levels; between them fields are linear in ln(p). At 925 mb the weight is
// ln(1000/925)/ln(1000/850) = 0.47970: t = 20 - 10*w = 15.203 C, h = 100 + 1400*w = 771.59 m.
UPA_level sounding[] = {{1000, 100, 20, 10, 180, 10}, {850, 1500, 10, 0, 240, 30}};
UPA_level winds[] = {{1000, 100, M, M, 180, 10}, {850, 1500, M, M, 240, 30}};

}  // namespace

// The surface level is the thermodynamic profile interpolated at the surface pressure.
TEST(ThermSetData, SurfaceLevel) {
  struct Case { float pr; float p, h, t; const char* why; };
  const Case cases[] = {
      {925, 925, 771.59f, 15.203f, "between the levels"},
      {850, 850, 1500, 10, "exactly at a level"},
      {1005, 1000, 100, 20, "0.5 % below the first level: a copy of it"},
      {1100, M, M, M, "far below the profile: nothing known, the pressure included"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(THERM_set_data(c.pr, sounding, 2, winds, 2), 0) << c.why;
    const UPA_level* sfc = THERM_get_sfc();
    EXPECT_NEAR(sfc->p, c.p, 1e-3) << c.why;
    EXPECT_NEAR(sfc->h, c.h, 1e-2) << c.why;
    EXPECT_NEAR(sfc->t, c.t, 1e-3) << c.why;
  }
}

// An empty or absent profile leaves the surface all missing, without reading anything.
TEST(ThermSetData, EmptyProfile) {
  EXPECT_EQ(THERM_set_data(1000, nullptr, 5, nullptr, 5), 0);
  EXPECT_EQ(THERM_get_sfc()->t, M);
  EXPECT_EQ(THERM_set_data(1000, sounding, -3, winds, -3), 0);
  EXPECT_EQ(THERM_get_sfc()->p, M);
}

// The surface coordinate (code 1) gives the analysis surface level whatever the value,
// and the position of the profile level at its pressure (0 when there is none).
TEST(ThermSetData, SurfaceCoordinate) {
  THERM_set_data(850, sounding, 2, winds, 2);
  UPA_level r[2];
  const float ignored[] = {500, 500};
  EXPECT_EQ(UPA_interp_levels(sounding, 2, 1, ignored, r, 2), 1);
  EXPECT_FLOAT_EQ(r[0].p, 850);
  EXPECT_FLOAT_EQ(r[0].dir, 240);
  THERM_set_data(925, sounding, 2, winds, 2);
  EXPECT_EQ(UPA_interp(sounding, 2, 1, 0, r), 0);  // no level at 925 mb
  EXPECT_NEAR(r[0].t, 15.203, 1e-3);
}

// The set-up traces the surface pressure at debug level d.
TEST(ThermSetData, Trace) {
  const M_type saved = MESS_get();
  MESS_set(11, 0x80000000);
  testing::internal::CaptureStdout();
  THERM_set_data(925, sounding, 2, winds, 2);
  const std::string out = testing::internal::GetCapturedStdout();
  MESS_set(10, saved);
  EXPECT_EQ(out.rfind("SFCP: 925.000000\n", 0), 0u) << out;
  EXPECT_NE(out.find("SFC "), std::string::npos) << out;  // the surface row of the listing
}
