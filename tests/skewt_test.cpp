// The diagram's transform, its file-name rules, and diagrams of soundings that lack
// dew points, winds or most levels, drawn through the library and read back as SVG.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "run_parse.h"
#include "tmpdir.h"
#include "zuddraw.h"

namespace {

// Known points of the two frames. Expected pixels by hand from the frame: skew-T x =
// 70 + 10 px/C (t + 40) + (1010 - y), y = 1010 - 940 ln(1050/p)/ln(10.5); Stüve x = 70 +
// 5.5 px/C (t + 100), y = 1010 - 940 (1050^k - p^k)/(1050^k - 100^k), k = 0.286; the
// logarithms and powers evaluated on a calculator.
TEST(SkewtTransform, KnownPoints) {
  struct Case {
    int type;
    double t, p, x, y;
    const char* why;
  };
  const Case cases[] = {
      {SKEWT_PLOT_SKEWT, -40, 1050, 70, 1010, "bottom-left corner"},
      {SKEWT_PLOT_SKEWT, 48, 1050, 950, 1010, "bottom-right corner"},
      {SKEWT_PLOT_SKEWT, -94, 100, 470, 70, "top edge: 940 px of rise move -94 C to x 470"},
      {SKEWT_PLOT_SKEWT, -47, 324.0370, 470, 540, "sqrt(1050*100) mb is half-way up"},
      {SKEWT_PLOT_SKEWT, -20, 500, 566.6014, 713.3986, "ln(2.1)/ln(10.5) = 0.315533"},
      {SKEWT_PLOT_SKEWT, 16.4, 850, 718.4742, 925.5258, "ln(1050/850)/ln(10.5) = 0.089866"},
      {SKEWT_PLOT_STUVE, -100, 1050, 70, 1010, "Stüve bottom-left corner"},
      {SKEWT_PLOT_STUVE, 60, 100, 950, 70, "Stüve top-right corner"},
      {SKEWT_PLOT_STUVE, -20, 500, 510, 642.8976, "(1050^k - 500^k)/(1050^k - 100^k) = 0.390535"},
  };
  for (const Case& c : cases) {
    const SKEWT_xy q = SKEWT_transform(SKEWT_frame_of(c.type), c.t, c.p);
    EXPECT_NEAR(q.x, c.x, 0.01) << c.why;
    EXPECT_NEAR(q.y, c.y, 0.01) << c.why;
  }
}

// An isotherm of the skew-T is a straight line rising 45 degrees to the right: every
// point is as far right of its 1050 mb point as it is above it. On the Stüve diagram it
// is vertical.
TEST(SkewtTransform, IsothermsAreStraightAtTheirSkew) {
  for (const double t : {-60.0, -20.0, 0.0, 25.0}) {
    const SKEWT_frame skewt = SKEWT_frame_of(SKEWT_PLOT_SKEWT);
    const SKEWT_frame stuve = SKEWT_frame_of(SKEWT_PLOT_STUVE);
    const SKEWT_xy base = SKEWT_transform(skewt, t, 1050);
    const SKEWT_xy sbase = SKEWT_transform(stuve, t, 1050);
    for (const double p : {1000.0, 850.0, 700.0, 500.0, 300.0, 200.0, 100.0}) {
      const SKEWT_xy q = SKEWT_transform(skewt, t, p);
      EXPECT_GT(base.y - q.y, 0.0) << t << " C " << p << " mb lies above 1050 mb";
      EXPECT_NEAR(q.x - base.x, base.y - q.y, 1e-9) << t << " C at " << p << " mb";
      EXPECT_NEAR(SKEWT_transform(stuve, t, p).x, sbase.x, 1e-9) << t << " C at " << p << " mb";
    }
  }
}

// The extension picks the format, in any case; anything else is refused.
TEST(SkewtFile, FormatFromExtension) {
  struct Case {
    const char* name;
    DRAW_format format;
  };
  const Case cases[] = {
      {"oax.png", DRAW_format::png},  {"dir/OAX.PNG", DRAW_format::png},
      {"a.b/oax.svg", DRAW_format::svg}, {"oax.Pdf", DRAW_format::pdf},
      {"oax.gif", DRAW_format::none}, {"oax", DRAW_format::none},
      {"png", DRAW_format::none},     {"dir.png/", DRAW_format::none},  // a directory
      {".png", DRAW_format::none},    // a hidden file's name, not an extension
  };
  for (const Case& c : cases) EXPECT_EQ(DRAW_format_of(c.name), c.format) << c.name;
}

// ---- diagrams of incomplete soundings, read back as SVG -----------------------------------

constexpr float M = MISSING;

// The value of attribute `name` in the element text `tag`, "" when absent.
std::string attribute(const std::string& tag, const std::string& name) {
  const std::size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const std::size_t from = at + name.size() + 3;
  return tag.substr(from, tag.find('"', from) - from);
}

// The sub-paths (move-to commands) of the SVG paths stroked in colour "rgb(r%,g%,b%)",
// outside the glyph definitions.
int curves_in(const std::string& svg, const std::string& rgb) {
  int n = 0;
  const std::size_t body = svg.find("</defs>");
  for (std::size_t at = svg.find("<path ", body == std::string::npos ? 0 : body);
       at != std::string::npos; at = svg.find("<path ", at + 1)) {
    const std::string tag = svg.substr(at, svg.find('>', at) - at);
    if (attribute(tag, "style").find("stroke:" + rgb + ";") == std::string::npos) continue;
    for (const char c : attribute(tag, "d")) n += c == 'M';
  }
  return n;
}

const std::string kRed = "rgb(90%,0%,0%)";     // temperature
const std::string kGreen = "rgb(0%,62%,0%)";   // dew point
const std::string kBlue = "rgb(20%,40%,100%)"; // wet-bulb temperature

// A sounding of the given levels, with the surface at the first level and no parcel.
SKEWT_input input_of(const std::vector<UPA_level>& sm, const std::vector<UPA_level>& wm) {
  SKEWT_input in;
  in.id = "TST";
  static std::vector<UPA_level> keep_sm, keep_wm;
  keep_sm = sm;
  keep_wm = wm;
  const UPA_level none = {M, M, M, M, M, M};
  in.snd = {keep_sm.data(), static_cast<int>(keep_sm.size()), keep_wm.data(),
            static_cast<int>(keep_wm.size()), sm.empty() ? none : sm[0], none, none, none,
            {M, M}, {M, M}};
  THERM_init_values(&in.values);
  in.values.parcel = PARCEL_params{};
  in.values.helicity = HELICITY_params{};
  return in;
}

// What the diagram of each sounding holds: a missing value breaks a curve into two, a
// profile without dew points has no dew-point or wet-bulb curve, a single level draws
// nothing to join, and a station without any level is refused.
TEST(SkewtWrite, CurvesOfIncompleteSoundings) {
  std::string why;
  if (!DRAW_available(&why)) GTEST_FAIL() << why;
  struct Case {
    const char* what;
    std::vector<UPA_level> sm, wm;
    int temp, dewp, wetb;  // runs of levels with the value, counted by hand
    int rc;
  };
  const Case cases[] = {
      {"complete",
       {{1000, 100, 20, 15, 180, 10}, {850, 1500, 12, 8, M, M}, {700, 3000, 2, -5, M, M}},
       {{1000, 100, M, M, 180, 10}, {850, 1500, M, M, 240, 30}},
       1, 1, 1, 0},
      {"temperature missing at 850 mb",
       {{1000, 100, 20, 15, M, M}, {850, 1500, M, 8, M, M}, {700, 3000, 2, -5, M, M},
        {500, 5600, -15, -30, M, M}},
       {},
       2, 1, 2, 0},
      {"no dew points, no winds",
       {{1000, 100, 20, M, M, M}, {850, 1500, 12, M, M, M}, {700, 3000, 2, M, M, M}},
       {},
       1, 0, 0, 0},
      {"one level only: a dot",
       {{900, 1000, 15, 10, M, M}},
       {},
       1, 1, 1, 0},
      {"no levels", {}, {}, 0, 0, 0, -1},
  };
  const std::string dir = zud_test_tmpdir() + "skewt_write/";
  ::mkdir(dir.c_str(), 0700);
  for (const Case& c : cases) {
    const std::string file = dir + "t.svg";
    std::remove(file.c_str());
    const SKEWT_input in = input_of(c.sm, c.wm);
    std::string reason;
    ASSERT_EQ(SKEWT_write(file.c_str(), SKEWT_PLOT_SKEWT, in, &reason), c.rc) << c.what << reason;
    if (c.rc != 0) {
      EXPECT_NE(reason.find("no levels"), std::string::npos) << reason;
      EXPECT_FALSE(::access(file.c_str(), F_OK) == 0) << c.what;
      continue;
    }
    const std::string svg = e2e::slurp(file);
    // One more sub-path of each colour: the legend's sample line in the header.
    EXPECT_EQ(curves_in(svg, kRed), c.temp + 1) << c.what;
    EXPECT_EQ(curves_in(svg, kGreen), c.dewp + 1) << c.what;
    EXPECT_EQ(curves_in(svg, kBlue), c.wetb + 1) << c.what;
    EXPECT_EQ(svg.find("-9999"), std::string::npos) << c.what;
  }
}

}  // namespace
