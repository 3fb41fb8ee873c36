// The diagram written by the real binary: each format for the sample and the two
// observed soundings, the temperature curve where the transform puts it, the default
// file name, tables that stay as they were, and the refusals with status 12.

#include <cairo.h>
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "zuddraw.h"

namespace {

const std::string kFixtures = std::string(ZUD_TEST_DATA) + "/skewt";  // a station without levels
const std::string kOax = std::string(ZUD_TEST_DATA) + "/observed/oax20140616";
const std::string kOun = std::string(ZUD_TEST_DATA) + "/observed/oun20181222";

// Big-endian 32-bit number at byte `at`.
std::uint32_t be32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The names in directory `dir`, without "." and "..".
std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

e2e::Run draw(const std::string& cwd, const std::string& id, const std::string& file,
              const std::string& type, const std::string& level = "out1") {
  e2e::Options opt = e2e::clean_options();
  opt.cwd = cwd;
  const std::string input = cwd == ZUD_SAMPLE_DATA ? "sample.upa"
                            : cwd == kOax           ? "oax20140616.upa"
                            : cwd == kOun           ? "oun20181222.upa"
                                                    : "nil.upa";
  return e2e::run({"-ba", "-me", level, "-id", id, "-pl", type, "-de", "p," + file, input}, opt);
}

// Every format of every plot type for the sample and the two observed soundings: the
// PNG is 1200 x 1200, 8-bit RGB (IHDR colour type 2); the PDF and SVG have their
// headers and endings. (The SVG's curves are counted by tests/skewt/check_svg.py.)
TEST(DiagramFiles, EachFormatForEachSounding) {
  struct Case {
    std::string cwd, id, type, ext;
  };
  const std::vector<Case> cases = {
      {ZUD_SAMPLE_DATA, "OAX", "skewt", "png"}, {ZUD_SAMPLE_DATA, "OAX", "skewt", "svg"},
      {ZUD_SAMPLE_DATA, "OAX", "skewt", "pdf"}, {ZUD_SAMPLE_DATA, "OAX", "stuve", "png"},
      {ZUD_SAMPLE_DATA, "OAX", "hodo", "png"},  {ZUD_SAMPLE_DATA, "GRB", "skewt", "png"},
      {ZUD_SAMPLE_DATA, "LXA", "skewt", "svg"}, {ZUD_SAMPLE_DATA, "DNR", "stuve", "pdf"},
      {ZUD_SAMPLE_DATA, "MFL", "skewt", "png"}, {kOax, "OAX", "skewt", "png"},
      {kOax, "OAX", "skewt", "svg"},            {kOax, "OAX", "skewt", "pdf"},
      {kOun, "OUN", "skewt", "png"},            {kOun, "OUN", "skewt", "svg"},
      {kOun, "OUN", "stuve", "pdf"},            {kOun, "OUN", "hodo", "svg"},
  };
  const std::string dir = e2e::scratch("skewt_files");
  for (const Case& c : cases) {
    const std::string what = c.cwd + " " + c.id + " " + c.type + " " + c.ext;
    const std::string file = dir + c.id + "_" + c.type + "." + c.ext;
    const e2e::Run r = draw(c.cwd, c.id, file, c.type);
    EXPECT_EQ(r.status, 0) << what << r.err;
    // (The observed soundings' folders have no naming-convention file: a warning.)
    EXPECT_FALSE(e2e::has(r.err, "Diagram")) << what << r.err;
    EXPECT_TRUE(e2e::has(r.out, "Diagram written to " + file + "\n")) << what;
    const std::string bytes = e2e::slurp(file);
    ASSERT_GT(bytes.size(), 1000u) << what;
    if (c.ext == "png") {
      EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n") << what;
      EXPECT_EQ(bytes.substr(12, 4), "IHDR") << what;
      EXPECT_EQ(be32(bytes, 16), 1200u) << what;
      EXPECT_EQ(be32(bytes, 20), 1200u) << what;
      EXPECT_EQ(bytes[24], 8) << what << ": bit depth";
      EXPECT_EQ(bytes[25], 2) << what << ": colour type RGB";
    } else if (c.ext == "pdf") {
      EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u) << what;
      EXPECT_NE(bytes.find("%%EOF", bytes.size() - 16), std::string::npos) << what;
    } else {
      EXPECT_EQ(bytes.rfind("<?xml", 0), 0u) << what;
      EXPECT_TRUE(e2e::has(bytes, "</svg>")) << what;
    }
  }
}

// Pixels of the PNG where the transform puts three levels of the sample's temperature
// curve are red. The levels as the sample's significant-level table prints them:
// 850 mb 16.4 C, 700 mb 7.6 C, 500 mb -12.1 C.
TEST(DiagramFiles, TemperatureCurveIsRedAtKnownLevels) {
  const std::string file = e2e::scratch("skewt_pixels") + "oax.png";
  const e2e::Run r = draw(ZUD_SAMPLE_DATA, "OAX", file, "skewt");
  ASSERT_EQ(r.status, 0) << r.err;
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_format(png), CAIRO_FORMAT_RGB24);
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  struct Level {
    double p, t;
  };
  for (const Level& l : {Level{850, 16.4}, Level{700, 7.6}, Level{500, -12.1}}) {
    const SKEWT_xy q = SKEWT_transform(SKEWT_frame_of(SKEWT_PLOT_SKEWT), l.t, l.p);
    // RGB24 pixels are 32-bit words 0x00RRGGBB in the machine's byte order.
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<int>(q.y) * stride);
    const std::uint32_t px = row[static_cast<int>(q.x)];
    const int red = px >> 16 & 0xFF, green = px >> 8 & 0xFF, blue = px & 0xFF;
    EXPECT_GT(red, 180) << l.p << " mb";
    EXPECT_LT(green, 80) << l.p << " mb";
    EXPECT_LT(blue, 80) << l.p << " mb";
  }
  cairo_surface_destroy(png);
}

// A diagram adds one line at the end and changes nothing else that is printed.
TEST(DiagramFiles, TablesPrintAsWithoutDiagram) {
  e2e::Options opt = e2e::clean_options();
  opt.cwd = ZUD_SAMPLE_DATA;
  const e2e::Run plain = e2e::run({"-ba", "-me", "out4", "-id", "OAX", "sample.upa"}, opt);
  const std::string file = e2e::scratch("skewt_same") + "oax.svg";
  const e2e::Run with = draw(ZUD_SAMPLE_DATA, "OAX", file, "skewt", "out4");
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(with.status, 0);
  EXPECT_EQ(with.out, plain.out + "Diagram written to " + file + "\n");
  EXPECT_EQ(with.err, plain.err);
}

// Without a file name the diagram goes to <image_path>/<station>_<yymmddhh>.png; the
// sample's date is 00Z 04 APR 97.
TEST(DiagramFiles, DefaultNameUnderImagePath) {
  const std::string dir = e2e::scratch("skewt_default");
  e2e::Options opt = e2e::clean_options();
  opt.cwd = ZUD_SAMPLE_DATA;
  const e2e::Run r =
      e2e::run({"-ba", "-me", "mess", "-id", "OAX", "-pl", "skewt", "-ip", dir, "sample.upa"}, opt);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(e2e::has(r.out, "Diagram written to " + dir + "OAX_97040400.png\n")) << r.out;
  EXPECT_EQ(entries(dir), std::vector<std::string>{"OAX_97040400.png"});
}

// A diagram that cannot be written: the reason at level error naming the file, the
// tables printed all the same, status 12, and nothing left in the directory.
TEST(DiagramFiles, RefusalsEndWithStatus12) {
  const std::string dir = e2e::scratch("skewt_refused");
  e2e::spit(dir + "plain_file", "x");
  struct Case {
    std::string cwd, id, file, reason;
  };
  const std::vector<Case> cases = {
      {ZUD_SAMPLE_DATA, "OAX", dir + "missing/oax.png", "No such file or directory"},
      {ZUD_SAMPLE_DATA, "OAX", dir + "plain_file/oax.png", "Not a directory"},
      {ZUD_SAMPLE_DATA, "OAX", "/sys/oax.png", "Permission denied"},  // even for root
      {ZUD_SAMPLE_DATA, "OAX", dir + "oax.gif", "the name needs the extension .png, .svg or .pdf"},
      {ZUD_SAMPLE_DATA, "OAX", dir + "oax", "the name needs the extension .png, .svg or .pdf"},
      {kFixtures, "NIL", dir + "nil.png", "station NIL has no levels to draw"},
  };
  for (const Case& c : cases) {
    const e2e::Run r = draw(c.cwd, c.id, c.file, "skewt", "out2");
    EXPECT_EQ(r.status, SKEWT_EXIT_NOT_WRITTEN) << c.file;
    EXPECT_TRUE(e2e::has(r.err, "Diagram not written: " + c.file + ": " + c.reason)) << r.err;
    EXPECT_TRUE(e2e::has(r.out, "Station: " + c.id)) << c.file;
    EXPECT_FALSE(e2e::has(r.out, "Diagram written")) << c.file;
    EXPECT_EQ(entries(dir), std::vector<std::string>{"plain_file"}) << c.file;
  }
  // The tables before the refusal are whole.
  const e2e::Run r = draw(ZUD_SAMPLE_DATA, "OAX", dir + "oax.gif", "skewt", "out2");
  EXPECT_TRUE(e2e::has(r.out, "Parcel Indices")) << r.out;
}

// -h lists the two options of the diagram.
TEST(DiagramFiles, HelpListsPlotTypeAndDevice) {
  const e2e::Run r = e2e::run({"-h"}, e2e::clean_options());
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(e2e::has(r.out, " -pl type    Plot type")) << r.out;
  EXPECT_TRUE(e2e::has(r.out, " -de dev[,name]  Output device")) << r.out;
}

}  // namespace
