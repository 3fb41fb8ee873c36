// Station location database at program level: the choice of the database file (the
// caller's, or the "city_file" and "file_path" resources), the record estimate, and
// station look-up by identifier, name or WMO number. Every look-up test starts from a
// fresh program state (fresh_state.h), so resources set by one do not reach another.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

#include "fresh_state.h"
#include "zudcty.h"
#include "zudresrc.h"

namespace {

const std::string kDir = std::string(ZUD_TEST_DATA) + "/station";
const std::string kMatch = kDir + "/match.cty";  // six well-formed stations
const std::string kBad = kDir + "/bad.cty";      // short, garbled and over-long lines

class CtyGet : public FreshState {};
class CtyOpenFile : public FreshState {};

}  // namespace

// Look-ups by identifier, name or five-digit WMO number, ignoring case.
TEST_F(CtyGet, Matching) {
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
TEST_F(CtyGet, PartialLineMatches) {
  CTY_data rec;
  ASSERT_EQ(CTY_get(kBad.c_str(), "sht", &rec), 1);
  EXPECT_STREQ(rec.name, "SHORTONE");
  EXPECT_EQ(rec.lat, MISSING);
  // The record after the over-long priority token is still reached.
  ASSERT_EQ(CTY_get(kBad.c_str(), "lst", &rec), 1);
  EXPECT_FLOAT_EQ(rec.lon, 20.5f);
}

// CTY_get_loc hands back latitude and longitude, and leaves them alone on failure.
TEST_F(CtyGet, Location) {
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
TEST_F(CtyGet, MissingFile) {
  testing::internal::CaptureStderr();
  CTY_data rec;
  EXPECT_EQ(CTY_get((kDir + "/no_such.cty").c_str(), "ABC", &rec), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "CTY_open_file: Database file not found: " + kDir + "/no_such.cty\n");
}

// "city_file" set to NONE turns look-ups off without a word on the error stream.
TEST_F(CtyGet, CityFileNone) {
  RES_put("city_file", "NONE");
  CTY_data rec;
  int num = -1;
  testing::internal::CaptureStderr();
  const int fd = CTY_open_file(kMatch.c_str(), &num);
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(CTY_get(kMatch.c_str(), "ABC", &rec), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// "city_file" names the database in place of the caller's file, and "file_path" is put
// before a relative name.
TEST_F(CtyGet, CityFileAndPath) {
  RES_put("file_path", kDir.c_str());
  RES_put("city_file", "match.cty");
  CTY_data rec;
  testing::internal::CaptureStderr();
  EXPECT_EQ(CTY_get("elsewhere.cty", "abc", &rec), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_STREQ(rec.name, "ALPHA");
}

// The record estimate is the file size over 59 bytes, capped at 4000. Sizes are made
// to measure: 3 lines of 59 bytes; a file of 5000 such lines.
TEST_F(CtyOpenFile, RecordEstimate) {
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
