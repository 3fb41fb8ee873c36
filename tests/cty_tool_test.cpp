// Station location database: line reading, file choice and station look-up.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "zudcty.h"
#include "zudresrc.h"

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

// Look-ups by identifier, name or five-digit WMO number, ignoring case.
TEST(CtyGet, Matching) {
  struct Case { const char* id; int found; const char* want_id; };
  const Case cases[] = {
      {"12345", 1, "ABC"},  // WMO number, even though the identifier differs
      {"1234", 0, ""},      // WMO 1234 is written 01234: four digits do not match
      {"01234", 1, "XYZ"},  // the zero-padded form does
      {"xyz", 1, "XYZ"},    // identifier in another case
      {"gamma", 1, "GAM"},  // station name
      {"72", 1, "72"},      // identifier made of digits
      {"7255", 0, ""},      // a prefix of a WMO number is no match
      {"QQQ", 0, ""},       // nothing of that name
  };
  for (const auto& c : cases) {
    CTY_data rec;
    ASSERT_EQ(CTY_get(kMatch.c_str(), c.id, &rec), c.found) << c.id;
    if (c.found) {
      EXPECT_STREQ(rec.id, c.want_id) << c.id;
    }
  }
}

// A partly read line is still a record that can be found by the fields it has.
TEST(CtyGet, PartialLineMatches) {
  CTY_data rec;
  ASSERT_EQ(CTY_get(kBad.c_str(), "sht", &rec), 1);
  EXPECT_STREQ(rec.name, "SHORTONE");
  EXPECT_EQ(rec.lat, MISSING);
  // The record after the over-long priority token is still reached.
  ASSERT_EQ(CTY_get(kBad.c_str(), "lst", &rec), 1);
  EXPECT_FLOAT_EQ(rec.lon, 20.5f);
}

// CTY_get_loc hands back latitude and longitude, and leaves them alone on failure.
TEST(CtyGet, Location) {
  float lat = 1, lon = 2;
  EXPECT_EQ(CTY_get_loc(kMatch.c_str(), "EPS", &lat, &lon), 1);
  EXPECT_FLOAT_EQ(lat, 35.25f);
  EXPECT_FLOAT_EQ(lon, -97.5f);
  lat = 1, lon = 2;
  EXPECT_EQ(CTY_get_loc(kMatch.c_str(), "nope", &lat, &lon), 0);
  EXPECT_EQ(lat, 1);
  EXPECT_EQ(lon, 2);
}

// A database that does not exist is reported on the error stream; the look-up fails.
TEST(CtyGet, MissingFile) {
  testing::internal::CaptureStderr();
  CTY_data rec;
  EXPECT_EQ(CTY_get((kDir + "/no_such.cty").c_str(), "ABC", &rec), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "CTY_open_file: Database file not found: " + kDir + "/no_such.cty\n");
}

// Resources change the database for the rest of the process, so these run in a child.
// "city_file" set to NONE turns look-ups off without a word on the error stream.
TEST(CtyGetDeathTest, CityFileNone) {
  EXPECT_EXIT(
      {
        RES_put("city_file", "NONE");
        CTY_data rec;
        int num = -1;
        int fd = CTY_open_file(kMatch.c_str(), &num);
        std::exit(fd == -1 && num == 0 && CTY_get(kMatch.c_str(), "ABC", &rec) == 0 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "^$");
}

// "city_file" names the database in place of the caller's file, and "file_path" is put
// before a relative name.
TEST(CtyGetDeathTest, CityFileAndPath) {
  EXPECT_EXIT(
      {
        RES_put("file_path", kDir.c_str());
        RES_put("city_file", "match.cty");
        CTY_data rec;
        int ok = CTY_get("elsewhere.cty", "abc", &rec) == 1 && std::string(rec.name) == "ALPHA";
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "^$");
}

// The record estimate is the file size over 59 bytes, capped at 4000. Sizes are made
// to measure: 3 lines of 59 bytes; a file of 5000 such lines.
TEST(CtyOpenFile, RecordEstimate) {
  struct Case { long bytes; int want; };
  const Case cases[] = {
      {3 * 59, 3},      // exact lines
      {3 * 59 + 58, 3}, // a partial line does not round up
      {5000 * 59, 4000},  // capped
  };
  const std::string path = std::string(ZUD_BUILD_DATA) + "/estimate.cty";
  for (const auto& c : cases) {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), c.bytes), 0);
    std::fclose(f);
    int num = -1;
    int fd = CTY_open_file(path.c_str(), &num);
    ASSERT_NE(fd, -1);
    EXPECT_EQ(num, c.want) << c.bytes;
    CTY_close(fd);
  }
}
