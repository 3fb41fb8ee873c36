// Station location database, line by line: the fields of each record, damaged lines,
// and opening, rewinding and closing a database.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tmpdir.h"
#include "zudcty.h"

namespace {

const std::string kDir = std::string(ZUD_TEST_DATA) + "/station";
const std::string kMatch = kDir + "/match.cty";  // six well-formed stations
const std::string kBad = kDir + "/bad.cty";      // short, garbled and over-long lines

// Reads every record of a database into a vector, with the field count of each.
struct Read {
  int n;
  CTY_data rec;
};
std::vector<Read> read_all(const std::string& file) {
  std::vector<Read> out;
  int fd = CTY_open(file.c_str(), 0, 0);
  EXPECT_NE(fd, -1) << file;
  if (fd == -1) return out;
  CTY_data rec;
  int n;
  while ((n = CTY_read(fd, &rec)) > 0) out.push_back({n, rec});
  EXPECT_EQ(n, -1) << "a database ends with -1";
  EXPECT_EQ(CTY_close(fd), 0);
  return out;
}

}  // namespace

// The priority token sets the priority digit and the two station flags; elevations
// above 9000 m read as missing. Values are read off the fixture lines.
TEST(CtyRead, PriorityAndElevation) {
  auto recs = read_all(kMatch);
  ASSERT_EQ(recs.size(), 6u);
  struct Case { int row; int prior; char mos, ua; float el; };
  const Case cases[] = {
      {0, 5, ' ', ' ', 1500},     // plain digit: no flags
      {1, 3, '*', '*', 400},      // *3*: both flags
      {2, 3, ' ', ' ', MISSING},  // elevation 9999 is above 9000: missing
      {3, 5, '*', ' ', 9000},     // *5: MOS only; 9000 itself is a real elevation
      {4, 5, ' ', '*', 357},      // 5*: upper-air only
  };
  for (const auto& c : cases) {
    const CTY_data& r = recs[c.row].rec;
    EXPECT_EQ(recs[c.row].n, 10) << c.row;
    EXPECT_EQ(r.prior, c.prior) << c.row;
    EXPECT_EQ(r.mos, c.mos) << c.row;
    EXPECT_EQ(r.ua, c.ua) << c.row;
    EXPECT_EQ(r.el, c.el) << c.row;
  }
  EXPECT_STREQ(recs[1].rec.name, "BETA");
  EXPECT_STREQ(recs[1].rec.state, "KS");
  EXPECT_STREQ(recs[1].rec.region, "US");
  EXPECT_STREQ(recs[1].rec.id, "XYZ");
  EXPECT_FLOAT_EQ(recs[1].rec.lat, 38.5f);
  EXPECT_FLOAT_EQ(recs[1].rec.lon, -97.25f);
  EXPECT_EQ(recs[1].rec.wmo, 1234);
  EXPECT_EQ(recs[1].rec.num, 7);
}

// Damaged lines read without overrun; each counts the fields it converted, blank lines
// are passed over and the last line needs no line end. Counts by hand from bad.cty.
TEST(CtyRead, DamagedLines) {
  auto recs = read_all(kBad);
  ASSERT_EQ(recs.size(), 7u);
  struct Case { int n; const char* name; const char* id; float lat; int wmo; };
  const Case cases[] = {
      {4, "SHORTONE", "SHT", MISSING, IMISSING},  // four columns only, blank line after it
      {1, "GARBAGE", "", MISSING, IMISSING},      // one word
      {3, "%%%%", "", MISSING, IMISSING},         // three words: stops at the identifier
      {10, "THISNAMEISFARTOOLONG", "IDENTTOOL", 40.0f, 11111},  // words cut to 20 and 9
      {4, "TOOLONGPRIO", "TLP", MISSING, IMISSING},  // 5-character priority token refused
      {10, "RUNTOGETHER", "RUN", 40.0f, 72469},      // "40.00-104.87" still splits in two
      {10, "LASTLINE", "LST", 10.5f, 33333},         // no final newline
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    const CTY_data& r = recs[i].rec;
    EXPECT_EQ(recs[i].n, c.n) << i;
    EXPECT_STREQ(r.name, c.name) << i;
    EXPECT_STREQ(r.id, c.id) << i;
    EXPECT_EQ(r.lat, c.lat) << i;
    EXPECT_EQ(r.wmo, c.wmo) << i;
  }
  // The garbage words are cut to the two-character state and region fields.
  EXPECT_STREQ(recs[2].rec.state, "##");
  EXPECT_STREQ(recs[2].rec.region, "@@");
  EXPECT_FLOAT_EQ(recs[5].rec.lon, -104.87f);
}

// Without an open database every operation reports -1.
TEST(CtyRead, NothingOpen) {
  CTY_data rec;
  EXPECT_EQ(CTY_read(-1, &rec), -1);
  EXPECT_EQ(CTY_rewind(-1), -1);
  EXPECT_EQ(CTY_close(-1), -1);
  EXPECT_EQ(CTY_open(kMatch.c_str(), 2, 0), -1);  // access 2 is neither read nor write
}

// Rewinding starts the database again at its first line.
TEST(CtyRead, Rewind) {
  int fd = CTY_open(kMatch.c_str(), 0, 0);
  ASSERT_NE(fd, -1);
  CTY_data rec;
  ASSERT_EQ(CTY_read(fd, &rec), 10);
  ASSERT_EQ(CTY_read(fd, &rec), 10);
  EXPECT_STREQ(rec.id, "XYZ");
  EXPECT_EQ(CTY_rewind(fd), 0);
  ASSERT_EQ(CTY_read(fd, &rec), 10);
  EXPECT_STREQ(rec.id, "ABC");
  CTY_close(fd);
}

// Line ends as a database may have them: blank and white-space lines are passed over, a
// last line needs no line end, CR LF ends a line like LF, a line of any length is one
// record, and a NUL byte hides the rest of its line (a line that starts with one is a
// record of no field, which ends a reading loop, though more lines may follow).
TEST(CtyRead, LineEnds) {
  const std::string a = "ALPHA CO US AAA 5 40.0 -105.0 1600 72469 1";
  const std::string b = "BETA KS US BBB 3 37.0 -97.0 400 72451 2";
  struct Case {
    const char* what;
    std::string text;
    std::vector<int> fields;        // CTY_read's returns, in order, up to the -1
    std::vector<std::string> names; // the names of the records with fields
  };
  const Case cases[] = {
      {"blank lines between", a + "\n\n  \t\n" + b + "\n", {10, 10, -1}, {"ALPHA", "BETA"}},
      {"no last line end", a + "\n" + b, {10, 10, -1}, {"ALPHA", "BETA"}},
      {"blank last line without end", a + "\n \t ", {10, -1}, {"ALPHA"}},
      {"CR LF", a + "\r\n" + b + "\r\n", {10, 10, -1}, {"ALPHA", "BETA"}},
      {"long line", std::string(300, 'N') + a.substr(5) + "\n" + b + "\n", {10, 10, -1},
       {std::string(CTY_NAME_LEN, 'N'), "BETA"}},
      {"NUL first", std::string("\0XX\n", 4) + a + "\n", {0, 10, -1}, {"ALPHA"}},
      {"NUL inside", "AL" + std::string("\0PHA X\n", 7) + b + "\n", {1, 10, -1}, {"AL", "BETA"}},
  };
  const std::string path = zud_test_tmpdir() + "line_ends.cty";
  for (const Case& c : cases) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(c.text.data(), 1, c.text.size(), f);
    std::fclose(f);
    const int fd = CTY_open(path.c_str(), 0, 0);
    ASSERT_NE(fd, -1) << c.what;
    std::vector<int> fields;
    std::vector<std::string> names;
    CTY_data rec;
    for (int n = 0; n != -1 && fields.size() < 8;) {
      n = CTY_read(fd, &rec);
      fields.push_back(n);
      if (n > 0) names.push_back(rec.name);
    }
    CTY_close(fd);
    EXPECT_EQ(fields, c.fields) << c.what;
    EXPECT_EQ(names, c.names) << c.what;
  }
}
