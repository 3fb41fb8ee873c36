// The station list's numbers are read as the C library's strtod reads them (C11 7.22.1.3):
// blanks first, a sign, decimal digits with a point, an exponent, or a hexadecimal number;
// a field whose number does not end inside its own columns leaves the station out. The
// expected values are those numbers worked by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "tmpdir.h"
#include "zudingest.h"

namespace {

// One list line of Albany with the latitude field (columns 13-20) and the elevation field
// (columns 32-37) as given.
std::string albany(const std::string& lat, const std::string& elev = "  95.0") {
  return "USM00072518 " + lat + "  -73.8322 " + elev +
         " NY ALBANY                         1930 2018  69786\n";
}

TEST(StationListNumbers, Latitude) {
  struct Case {
    const char* name;
    std::string lat;  // eight characters
    int stations;     // 1 kept, 0 left out
    float value;
  };
  const Case cases[] = {
      {"plain decimal", " 42.6919", 1, 42.6919f},
      {"exponent", "  4.5e1 ", 1, 45.0f},          // 4.5 x 10
      {"plus sign, no fraction", "   +12. ", 1, 12.0f},
      {"no integer part", "    -.5 ", 1, -0.5f},
      {"hexadecimal", "0x1p4   ", 1, 16.0f},       // 1 x 2^4
      {"tab before", "\t42.5   ", 1, 42.5f},       // any space is skipped
      {"negative zero", "  -0.000", 1, 0.0f},
      {"blank: runs into the longitude", "        ", 0, MISSING},
      {"beyond the pole", " 95.0000", 0, MISSING},
      {"overflow", "  9e999 ", 0, MISSING},         // infinite: beyond the pole
      {"letters", "  north ", 0, MISSING},
  };
  const std::string path = zud_test_tmpdir() + "numbers-list.txt";
  for (const Case& c : cases) {
    ASSERT_EQ(c.lat.size(), 8u) << c.name;
    spit(path, albany(c.lat));
    std::vector<ING_station> list;
    ASSERT_EQ(ING_read_station_list(path.c_str(), &list), c.stations) << c.name;
    if (c.stations == 0) continue;
    EXPECT_EQ(list[0].wmo, 72518) << c.name;
    EXPECT_FLOAT_EQ(list[0].lat, c.value) << c.name;
    EXPECT_FLOAT_EQ(list[0].lon, -73.8322f) << c.name;
    EXPECT_FLOAT_EQ(list[0].elev, 95.0f) << c.name;
    EXPECT_EQ(list[0].name, "ALBANY") << c.name;
    EXPECT_EQ(list[0].state, "NY") << c.name;
    EXPECT_EQ(list[0].country, "US") << c.name;
  }
}

// The list's -999.9 is no elevation; an elevation that runs past its columns is none.
TEST(StationListNumbers, Elevation) {
  struct Case {
    std::string elev;  // six characters
    float value;
  };
  const Case cases[] = {{"  95.0", 95.0f}, {"-999.9", MISSING}, {"  1e2 ", 100.0f}, {"      ", MISSING}};
  const std::string path = zud_test_tmpdir() + "elev-list.txt";
  for (const Case& c : cases) {
    spit(path, albany(" 42.6919", c.elev));
    std::vector<ING_station> list;
    ASSERT_EQ(ING_read_station_list(path.c_str(), &list), 1) << c.elev;
    EXPECT_FLOAT_EQ(list[0].elev, c.value) << c.elev;
  }
}

}  // namespace
