// Map domains: decoding domain texts through the layouts, projections, predefined
// regions, region files and their menu, and the station priority.
//
// The fixtures in data/region are a region file "zud.reg" (which does not list "us"),
// station databases "sao.cty" and "other.cty", and two small region files.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

#include "file_bytes.h"
#include "fresh_state.h"
#include "tmpdir.h"
#include "zuddom.h"
#include "zudresrc.h"

namespace {

constexpr float M = MISSING;
constexpr int IM = IMISSING;
const std::string kRegionDir = std::string(ZUD_TEST_DATA) + "/region/";

// Region files and station databases are found on "file_path", which points at the
// fixtures; the priority adjustment is off unless a test sets it. Resources and the
// message level start fresh and are put back afterwards.
class Domains : public FreshState {
 protected:
  void SetUp() override {
    FreshState::SetUp();
    RES_put("file_path", kRegionDir.c_str());
    RES_put("stat_prior", nullptr);
  }
};

void expect_cleared(const Domain& d, const std::string& why) {
  EXPECT_EQ(d.proj, IM) << why;
  EXPECT_FLOAT_EQ(d.plat, M) << why;
  EXPECT_FLOAT_EQ(d.plon, M) << why;
  for (float p : d.param) EXPECT_FLOAT_EQ(p, M) << why;
  EXPECT_FLOAT_EQ(d.clat, M) << why;
  EXPECT_FLOAT_EQ(d.clon, M) << why;
  EXPECT_FLOAT_EQ(d.dx, M) << why;
  EXPECT_FLOAT_EQ(d.dy, M) << why;
  EXPECT_EQ(d.nx, IM) << why;
  EXPECT_EQ(d.ny, IM) << why;
  EXPECT_EQ(d.ellipse, 0) << why;
}

// Domain texts through every kind of layout. `prior` is the station priority after the
// decode, from the height dy * (ny - 1) by hand (9: the preset, left alone); `line` is
// the layout trace. Centres and spacings are the fixtures' or the layouts' defaults.
TEST_F(Domains, DecodeLayouts) {
  struct Case {
    const char* text;
    int rc, proj;
    float clat, clon;
    int nx, ny;
    float dx, dy;
    int prior;
    const char* line;
  };
  const Case cases[] = {
      // Predefined region, not in zud.reg: 2.3 * 16 = 36.8 -> 2.
      {"us", 2, 1, 39, -97, 25, 17, 2.3f, 2.3f, 2, " 0 reg:REG\n"},
      {"US", 2, 1, 39, -97, 25, 17, 2.3f, 2.3f, 2, " 0 reg:REG\n"},  // any case
      // proj,clat,clon,dx: 1.5 * 16 = 24 -> 3.
      {"ps,40,-100,1.5", 1, 1, 40, -100, 25, 17, 1.5f, 1.5f, 3, " 0 proj,clat,clon,dx\n"},
      // clat,clon: projection 1, 1.2 * 16 = 19.2 -> 3.
      {"40,-100", 1, 1, 40, -100, 25, 17, 1.2f, 1.2f, 3, " 0 clat,clon\n"},
      // Every grid field given: 1 * 39 = 39 -> 2.
      {"lc:e:25:-95,40,-100,50,40,1,1", 1, 4, 40, -100, 50, 40, 1, 1, 2,
       " 0 proj,clat,clon,nx,ny,dx,dy\n"},
      // A station from sao.cty (OAX, WMO 72558, 41.32 -96.37) in the clat,clon layout.
      {"id:72558", 1, 1, 41.32f, -96.37f, 25, 17, 1.2f, 1.2f, 3, " 0 clat,clon\n"},
      // The station takes the place of clat and clon in proj,clat,clon,dx.
      {"ps,id:72558,1.5", 1, 1, 41.32f, -96.37f, 25, 17, 1.5f, 1.5f, 3,
       " 0 proj,clat,clon,dx\n"},
      // A station from a database named in the item.
      {"id:other.cty:DNR", 1, 1, 39.77f, -104.87f, 25, 17, 1.2f, 1.2f, 3, " 0 clat,clon\n"},
      // Region from zud.reg, "ps,35.4,-97.6,0.5": 0.5 * 16 = 8 -> 4.
      {"ok", 2, 1, 35.4f, -97.6f, 25, 17, 0.5f, 0.5f, 4, " 0 reg:REG\n"},
      // Lambert region: 0.8 * 24 = 19.2 -> 3; also as file:name.
      {"tx", 2, 4, 31, -99, 30, 25, 0.8f, 0.8f, 3, " 0 reg:REG\n"},
      {"zud.reg:tx", 2, 4, 31, -99, 30, 25, 0.8f, 0.8f, 3, " 0 reg:REG\n"},
      // A one-word line is the domain text of fi:: 2 * 16 = 32 -> 2.
      {"fi:single.reg", 2, 1, 50, 10, 25, 17, 2, 2, 2, " 0 reg:REG\n"},
      // zoom spacing is 1 (16 -> 3), other projections 1.2.
      {"zoom,40,-100", 1, 50, 40, -100, 25, 17, 1, 1, 3, " 0 proj,clat,clon\n"},
      {"lc,40,-100", 1, 4, 40, -100, 25, 17, 1.2f, 1.2f, 3, " 0 proj,clat,clon\n"},
      // A grid size only: no height, the priority stays.
      {"size,30,20", 1, 51, M, M, 30, 20, M, M, 9, " 0 proj,nx,ny\n"},
      // Six numbers after a projection fit proj,plon,clat,clon,dx,dy before
      // proj,clat,clon,nx,ny,dx: the first layout that reads wins. 0.5 * 16 = 8 -> 4.
      {"ps,40,-100,20,15,0.5", 1, 1, -100, 20, 25, 17, 15, 0.5f, 4,
       " 0 proj,plon,clat,clon,dx,dy\n"},
      // clat,clon,nx,ny,dx: dy = dx, 0.5 * 14 = 7 -> 4.
      {"40,-100,20,15,0.5", 1, 1, 40, -100, 20, 15, 0.5f, 0.5f, 4, " 0 clat,clon,nx,ny,dx\n"},
      // clat,clon,nx,ny: 1.2 * 14 = 16.8 -> 3.
      {"40,-100,20,15", 1, 1, 40, -100, 20, 15, 1.2f, 1.2f, 3, " 0 clat,clon,nx,ny\n"},
      // clat,clon,dx: 3 * 16 = 48 -> 2.
      {"40,-100,3", 1, 1, 40, -100, 25, 17, 3, 3, 2, " 0 clat,clon,dx\n"},
      // "none" fits the station layout at once, centre unset: 1.2 * 16 -> 3.
      {"none", 1, 1, M, M, 25, 17, 1.2f, 1.2f, 3, " 0 id:###\n"},
      // Nothing to decode.
      {"miss", IM, IM, M, M, IM, IM, M, M, 9, ""},
      {"MISS", IM, IM, M, M, IM, IM, M, M, 9, ""},
      {"", IM, IM, M, M, IM, IM, M, M, 9, ""},
      // Invalid: no layout fits; the record is left cleared.
      {"xyz,1", -1, IM, M, M, IM, IM, M, M, 9, ""},
      {"ll,1,2,3,4,5,6,7,8,9", -1, IM, M, M, IM, IM, M, M, 9, ""},  // ten items
      {"40,abc", -1, IM, M, M, IM, IM, M, M, 9, ""},                // not a number
      {"ps,1e999,-100", -1, IM, M, M, IM, IM, M, M, 9, ""},        // no float holds it
      {"nan,-100", -1, IM, M, M, IM, IM, M, M, 9, ""},             // not a latitude
      {"40,-100,99999999999,17", -1, IM, M, M, IM, IM, M, M, 9, ""},  // no int holds it
      {"id:99999", -1, IM, M, M, IM, IM, M, M, 9, ""},             // station not found
      {"half", -1, IM, M, M, IM, IM, M, M, 9, ""},   // zud.reg line without domain text
      {"loop", -1, IM, M, M, IM, IM, M, M, 9, ""},   // a region naming itself
      {"nofile.reg:ok", -1, IM, M, M, IM, IM, M, M, 9, ""},  // region file missing
  };
  for (const auto& c : cases) {
    Domain d;
    d.proj = 12345;  // must be overwritten or cleared
    FLAG_set(DOM_REGION_FLAG, 77);
    DOM_set_prior(9);
    MESS_set(11, 0x40000000);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int rc = DOM_decode(c.text, &d);
    std::fflush(nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    MESS_set(-1, 0x40000000);
    std::string why = c.text;
    EXPECT_EQ(rc, c.rc) << why;
    EXPECT_EQ(FLAG_get(DOM_REGION_FLAG), c.rc == IM ? 77 : c.rc) << why;
    EXPECT_EQ(DOM_get_prior(), c.prior) << why;
    if (c.rc < 0) {
      expect_cleared(d, why);
    } else {
      EXPECT_EQ(d.proj, c.proj) << why;
      EXPECT_FLOAT_EQ(d.clat, c.clat) << why;
      EXPECT_FLOAT_EQ(d.clon, c.clon) << why;
      EXPECT_EQ(d.nx, c.nx) << why;
      EXPECT_EQ(d.ny, c.ny) << why;
      EXPECT_FLOAT_EQ(d.dx, c.dx) << why;
      EXPECT_FLOAT_EQ(d.dy, c.dy) << why;
      EXPECT_NE(out.find(c.line), std::string::npos) << why << "\n" << out;
    }
    bool warned = err.find("DOM_decode: Invalid plot domain\n") != std::string::npos;
    EXPECT_EQ(warned, c.rc == -1) << why;
  }
}

// The decode trace names the item count and the text.
TEST_F(Domains, DecodeTrace) {
  MESS_set(11, 0x40000000);
  Domain d;
  testing::internal::CaptureStdout();
  DOM_decode("ps,40,-100,1.5", &d);
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "******** PARSING DOMAIN: 4 ps,40,-100,1.5\n 0 proj,clat,clon,dx\n");
}

// Projection items: one value is plon; otherwise "e", plat, plon and up to four further
// parameters, empty values passed over.
TEST_F(Domains, ProjectionValues) {
  struct Case { const char* text; int ellipse; float plat, plon, p0, p1, p3, p4; };
  const Case cases[] = {
      {"lc:e:25:-95,40,-100,50,40,1,1", 1, 25, -95, M, M, M, M},  // ellipsoid, plat, plon
      {"ps:-105,40,-100,2", 0, M, -105, M, M, M, M},               // one value: plon
      {"lc:30:-100:60:45,40,-100", 0, 30, -100, 60, 45, M, M},     // two parameters
      {"lc::25::-95,40,-100", 0, 25, -95, M, M, M, M},             // empties passed over
      {"lc:e:1:2:3:4:5:6:7,40,-100", 1, 1, 2, 3, 4, 6, M},         // at most four more
  };
  for (const auto& c : cases) {
    Domain d;
    ASSERT_EQ(DOM_decode(c.text, &d), 1) << c.text;
    EXPECT_EQ(d.ellipse, c.ellipse) << c.text;
    EXPECT_FLOAT_EQ(d.plat, c.plat) << c.text;
    EXPECT_FLOAT_EQ(d.plon, c.plon) << c.text;
    EXPECT_FLOAT_EQ(d.param[0], c.p0) << c.text;
    EXPECT_FLOAT_EQ(d.param[1], c.p1) << c.text;
    EXPECT_FLOAT_EQ(d.param[3], c.p3) << c.text;
    EXPECT_FLOAT_EQ(d.param[4], c.p4) << c.text;
  }
}

// Keywords match over their own length, in table order; "xp" and "miss" only whole.
TEST(DomainProj, Keywords) {
  struct Case { const char* word; int code; };
  const Case cases[] = {
      {"ll", 2},       {"latlon", 2},  {"polar", 1},   {"PS", 1},       {"sat", 9},
      {"lambert", 4},  {"lc", 4},      {"la", 8},      {"gn", 6},       {"ortho", 5},
      {"mollweide", 7}, {"mercator", 3}, {"pix", 99},  {"xy", 20},      {"xlogy", 22},
      {"xlogp", 22},   {"cat", 24},    {"skewt", 40},  {"ema", 42},     {"teph", 43},
      {"rteph", 44},   {"thermo", 40}, {"stuve", 41},  {"hodo", 23},    {"vert", 22},
      {"xp", 25},      {"zoom", 50},   {"size", 51},   {"miss", IM},
      {"lat", 2},      // "lat" is tried before "la"
      {"xpx", -1},     // "xp" only as the whole word
      {"missing", -1}, // "miss" only as the whole word
      {"l", -1},       // shorter than every keyword
      {"abc", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(DOM_proj_str(c.word), c.code) << c.word;
  EXPECT_EQ(DOM_proj_str(nullptr), -1);
}

// The nine predefined regions; "var" asks for its centre.
TEST_F(Domains, PredefinedRegions) {
  struct Case { const char* name; float clat, clon, spacing; };
  const Case cases[] = {
      {"us", 39, -97, 2.3f},   {"ne", 42, -76, 0.9f},   {"at", 37, -82, 0.9f},
      {"se", 31, -88, 1.1f},   {"mw", 43, -93, 1.1f},   {"sp", 32.5f, -100, 1.2f},
      {"nw", 44, -112, 1.0f},  {"sw", 37, -112, 1.0f},  {"var", 45, -90, 1.2f},
  };
  std::string answers = zud_test_tmpdir() + "var_answers.txt";
  spit(answers, "45\n-90\n");
  for (const auto& c : cases) {
    ASSERT_NE(std::freopen(answers.c_str(), "r", stdin), nullptr);
    FLAG_set(DOM_REGION_FLAG, 0);
    Domain d;
    testing::internal::CaptureStdout();
    EXPECT_EQ(DOM_get_def_region(c.name, &d), 1) << c.name;
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(d.proj, 1) << c.name;
    EXPECT_EQ(d.nx, 25) << c.name;
    EXPECT_EQ(d.ny, 17) << c.name;
    EXPECT_FLOAT_EQ(d.clat, c.clat) << c.name;
    EXPECT_FLOAT_EQ(d.clon, c.clon) << c.name;
    EXPECT_FLOAT_EQ(d.plon, c.clon) << c.name;
    EXPECT_FLOAT_EQ(d.dx, c.spacing) << c.name;
    EXPECT_FLOAT_EQ(d.dy, c.spacing) << c.name;
    EXPECT_EQ(FLAG_get(DOM_REGION_FLAG), 1) << c.name;
    bool asked = out == "Enter the central latitude: Enter the central longitude: ";
    EXPECT_EQ(asked, std::string(c.name) == "var") << c.name << ": " << out;
  }
  std::freopen("/dev/null", "r", stdin);
  FLAG_set(DOM_REGION_FLAG, 0);
  Domain d;
  EXPECT_EQ(DOM_get_def_region("zz", &d), 0);
  EXPECT_EQ(FLAG_get(DOM_REGION_FLAG), 0);  // unknown names change nothing
}

// Priority bands by domain height, "exceeds" being strict.
TEST_F(Domains, BasePriority) {
  struct Case { float size; int prior; };
  const Case cases[] = {
      {50.1f, 1}, {50, 2}, {25.1f, 2}, {25, 3}, {12.6f, 3}, {12.5f, 4},
      {6.3f, 4},  {6.25f, 5}, {3.1f, 5}, {3, 6}, {0, 6}, {M, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DOM_set_base_prior(c.size), c.prior) << c.size;
    EXPECT_EQ(DOM_get_prior(), c.prior) << c.size;
  }
}

// "stat_prior" edits the priority of a domain 16 high (band 3).
TEST_F(Domains, StatPriorAdjusts) {
  struct Case { const char* adj; int prior; };
  const Case cases[] = {
      {"+2", 5},   // 3 + 2
      {"-1", 2},   // 3 - 1
      {"7", 7},    // replaces
      {"x", 3},    // other texts leave it
      {"+", 3},    // a sign without a digit
      {"", 3},     // present without a value
  };
  for (const auto& c : cases) {
    RES_put("stat_prior", c.adj);
    Domain d;
    // clat,clon,nx,ny,dx with dy = dx = 1: height 1 * (17 - 1) = 16.
    ASSERT_EQ(DOM_decode("40,-100,25,17,1", &d), 1);
    EXPECT_EQ(DOM_get_prior(), c.prior) << c.adj;
  }
  RES_put("stat_prior", "+2");
  Domain d;
  EXPECT_EQ(DOM_decode("hid", &d), 2);  // the same domain from the region file
  EXPECT_EQ(DOM_get_prior(), 5);
}

// The domain text becomes file-name key "r".
TEST_F(Domains, TextBecomesFileKey) {
  ASSERT_EQ(FILE_set_name("@%r"), 1);
  Domain d;
  DOM_decode("ps,40,-100,1.5", &d);
  Date day{2024, 3, 15, IMISSING, IMISSING, 12, 0, 0};
  char out[160];
  ASSERT_EQ(FILE_set_date(&day, out), 0);
  EXPECT_STREQ(out, "ps,40,-100,1.5");
  FILE_set_key('r', nullptr);
}

// Region file search: by name without regard to case, the first region without a name,
// comment lines skipped, an empty line ending the search.
TEST_F(Domains, SearchFile) {
  struct Case { const char* file; const char* name; int rc; const char* text; };
  const Case cases[] = {
      {"zud.reg", "ok", 1, "ps,35.4,-97.6,0.5"},
      {"zud.reg", "TX", 1, "lc:25:-100,31,-99,30,25,0.8,0.8"},  // case ignored
      {"zud.reg", nullptr, 1, "ps,35.4,-97.6,0.5"},               // no name: the first
      {"zud.reg", "", 1, "ps,35.4,-97.6,0.5"},
      {"zud.reg", "half", 0, ""},          // its line has no domain text
      {"zud.reg", "nope", 0, ""},
      {"single.reg", "anything", 1, "ps,50,10,2"},  // one word answers every name
      {"blank.reg", "first", 1, "30,-90"},
      {"blank.reg", "later", 0, ""},       // behind the empty line
      {"missing.reg", "ok", 0, ""},
  };
  for (const auto& c : cases) {
    char text[DOM_LINE_LEN + 1] = "";
    EXPECT_EQ(DOM_search_file(c.file, c.name, text), c.rc) << c.file << " " << (c.name ? c.name : "null");
    EXPECT_STREQ(text, c.rc ? c.text : "") << c.file;
  }
  MESS_set(11, 0x80000000);
  testing::internal::CaptureStdout();
  char text[DOM_LINE_LEN + 1];
  DOM_search_file("missing.reg", "ok", text);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to open region file: " + kRegionDir + "missing.reg\n");
}

// Lines longer than 500 characters are cut, not split into further lines, and the
// domain text copied is bounded by the line.
TEST_F(Domains, LongLines) {
  std::string file = zud_test_tmpdir() + "long.reg";
  std::string head = "big Big_one 1 ";
  spit(file, "#" + std::string(700, 'c') + " after After 1 10,10\n" + head +
                       std::string(600, 'x') + "\nafter After 1 35,-95\n");
  char text[DOM_LINE_LEN + 1];
  ASSERT_EQ(DOM_search_file(file.c_str(), "big", text), 1);
  EXPECT_EQ(std::string(text), std::string(DOM_LINE_LEN - head.size(), 'x'));
  ASSERT_EQ(DOM_search_file(file.c_str(), "after", text), 1);
  EXPECT_STREQ(text, "35,-95");  // not the words inside the long comment
  Domain d;
  EXPECT_EQ(DOM_decode((file + ":big").c_str(), &d), -1);  // 490 x's are no domain
}

// The menu: regions with a non-zero flag, labels with spaces cut to 20 characters,
// names cut to 5, positions among the file's regions; the end has an empty name.
TEST_F(Domains, ReadMenu) {
  ASSERT_EQ(DOM_read_menu("zud.reg"), 1);
  const DOM_menu_entry* m = DOM_get_menu();
  struct Row { const char* label; const char* name; int pos; };
  const Row rows[] = {
      {"Oklahoma City area", "ok", 0},
      {"Texas", "tx", 1},
      {"Half line", "half", 4},          // hid (2) and loop (3) have flag 0
      {"Denver station", "den", 5},
      {"This label is far to", "longn", 6},
  };
  int i = 0;
  for (const auto& r : rows) {
    EXPECT_STREQ(m[i].label, r.label) << i;
    EXPECT_STREQ(m[i].name, r.name) << i;
    EXPECT_EQ(m[i].pos, r.pos) << i;
    ++i;
  }
  EXPECT_STREQ(m[i].name, "");
  EXPECT_EQ(DOM_read_menu("missing.reg"), 0);
  EXPECT_STREQ(DOM_get_menu()[0].name, "ok");  // a failed read leaves the menu

  // Twenty-five regions in the menu: only 19 are kept.
  std::string file = zud_test_tmpdir() + "many.reg";
  std::string text;
  for (int k = 0; k < 25; ++k) text += "r" + std::to_string(k) + " L 1 40,-100\n";
  spit(file, text);
  ASSERT_EQ(DOM_read_menu(file.c_str()), 1);
  EXPECT_STREQ(DOM_get_menu()[18].name, "r18");
  EXPECT_STREQ(DOM_get_menu()[19].name, "");

  // "file:" reads the menu instead of a domain.
  Domain d;
  EXPECT_EQ(DOM_decode("zud.reg:", &d), 2);
  EXPECT_STREQ(DOM_get_menu()[0].name, "ok");
}

// A station item stands in for clat and clon; the item count must then match.
TEST_F(Domains, SetParamsStationPlace) {
  const char* one[] = {"id:72558"};
  const char* two[] = {"id:72558", "5"};
  Domain d;
  EXPECT_EQ(DOM_set_params(1, one, &d, DOM_CLAT, DOM_CLON), 0);
  EXPECT_FLOAT_EQ(d.clat, 41.32f);
  EXPECT_FLOAT_EQ(d.clon, -96.37f);
  EXPECT_NE(DOM_set_params(2, two, &d, DOM_CLAT, DOM_CLON), 0);  // three places taken by two
  EXPECT_EQ(DOM_set_params(2, two, &d, DOM_CLAT, DOM_CLON, DOM_DX), 0);
  EXPECT_FLOAT_EQ(d.dx, 5);
  const char* miss[] = {"miss", "junk"};
  EXPECT_EQ(DOM_set_params(2, miss, &d, DOM_CLAT, DOM_CLON), 0);  // fits at once
  expect_cleared(d, "miss");
  EXPECT_NE(DOM_set_params(0, nullptr, &d, DOM_CLAT), 0);
}

// The priority accessors keep what they are given and return the previous value.
TEST(DomainPriority, Accessors) {
  int old = DOM_set_prior(6);
  EXPECT_EQ(DOM_set_prior(old), 6);
  int old_loc = DOM_set_loc_prior(2);
  EXPECT_EQ(DOM_get_loc_prior(), 2);
  EXPECT_EQ(DOM_set_loc_prior(old_loc), 2);
}

// Found by the fuzz target of domain texts (tests/fuzz/findings).
// A "size" domain whose numbers do not both read as integers falls to the layout
// proj,clat,clon and turns the two floats into the grid size. A number no int holds
// leaves that size unset instead of an undefined conversion; one that fits is kept.
TEST(DomDecode, SizeBeyondInt) {
  struct Case {
    const char* text;
    int nx, ny;
  };
  const Case cases[] = {
      {"size,1,99999999999", 1, IMISSING},  // the input the fuzzer found: ny beyond int
      {"size,-99999999999,20", IMISSING, 20},  // below the int range
      {"size,.5e2,30", 50, 30},  // no leading digit: only a float reads it, 50 fits an int
  };
  for (const Case& c : cases) {
    Domain d;
    EXPECT_EQ(DOM_decode(c.text, &d), 1) << c.text;
    EXPECT_EQ(d.nx, c.nx) << c.text;
    EXPECT_EQ(d.ny, c.ny) << c.text;
    EXPECT_EQ(d.clat, MISSING) << c.text;  // the centre fields held the size, now cleared
  }
}

}  // namespace
