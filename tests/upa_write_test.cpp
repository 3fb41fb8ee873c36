// The converted-file writer read back by the reader of the sounding program (ua_read, an
// independent decoder of the same groups), what the layout cannot hold, and the station
// list and station database lines.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "file_bytes.h"
#include "tmpdir.h"
#include "zudingest.h"

namespace {

constexpr float kM = MISSING;

std::string scratch(const std::string& name) { return zud_test_tmpdir() + name; }

ING_report station(int wmo) {
  ING_report r;
  r.wmo = wmo;
  r.id = std::to_string(wmo);
  r.lat = 42.69f;
  r.lon = -73.83f;
  r.date = Date{2026, 2, 6, 37, 5, 0, 0, 0};
  return r;
}

// Writes `r` alone into a file and reads it back as the sounding program does; the
// writer's notes stay in `r`.
UPA_report round_trip(ING_report& r, const std::string& name) {
  std::string path = scratch(name);
  std::vector<ING_report*> reps{&r};
  EXPECT_EQ(ING_write_file(path.c_str(), r.date, reps), 1);
  static UPA_report back;
  int kind = 0;
  EXPECT_GE(UPA_open(path.c_str(), 0, &kind), 0);
  EXPECT_EQ(kind, UPA_KIND_X);
  int statnum = 0;
  EXPECT_EQ(UPA_read(0, &back, UPA_REP_ALL, &statnum), 0);
  return back;
}

// Values come back as the reader decodes the groups written for them.
TEST(UpaWrite, ReadBack) {
  ING_report r = station(72518);
  r.sfc = {1020, kM, -3.9f, -11.9f, 290, 4};
  r.man.push_back({1000, -22, 2.0f, 1.5f, 320, 11});    // below sea level: 00522
  r.man.push_back({700, 2869, -15.1f, -55.1f, 270, 11});  // 2xxx m: 70869
  r.man.push_back({250, 9990, -57.7f, -64.7f, 260, 150});  // 150 kt: 26150
  r.man.push_back({10, 31000, -44.3f, -78.3f, 265, 44});
  r.man.push_back({7, 33500, -40.0f, kM, kM, kM});     // above 10 mb: "-7350"
  r.sig = {{96.7f, -57.9f, -85.9f}, {1020, -3.9f, -11.9f}, {1013.4f, 1.0f, 0.0f}};
  r.trop.push_back({264, kM, -58.3f, -63.3f, 255, 52});
  r.mwnd.push_back({12.6f, kM, kM, kM, 245, 63});
  r.wind.push_back({kM, 3000 * 0.3048f, 270, 20});
  UPA_report b = round_trip(r, "readback.upa");
  EXPECT_EQ(b.wmo, 72518);
  EXPECT_STREQ(b.id, "72518");
  EXPECT_NEAR(b.lat, 42.69, 1e-4);
  EXPECT_FLOAT_EQ(b.man[1].p, 1000);
  EXPECT_FLOAT_EQ(b.man[1].h, -22);
  EXPECT_FLOAT_EQ(b.man[1].t, 2.0f);
  EXPECT_NEAR(b.man[1].td, 1.5, 1e-4);
  EXPECT_FLOAT_EQ(b.man[4].h, 2869);
  EXPECT_FLOAT_EQ(b.man[8].spd, 150);
  EXPECT_FLOAT_EQ(b.man[8].dir, 260);
  EXPECT_FLOAT_EQ(b.man[16].h, 31000);
  EXPECT_FLOAT_EQ(b.man[17].p, 7);
  EXPECT_FLOAT_EQ(b.man[17].h, 33500);
  EXPECT_FLOAT_EQ(b.man[22].p, 264);
  EXPECT_NEAR(b.man[22].t, -58.3, 1e-4);
  EXPECT_FLOAT_EQ(b.man[23].p, 13);  // whole mb: 12.6 rounds to 13
  EXPECT_FLOAT_EQ(b.man[23].spd, 63);
  ASSERT_EQ(b.numsig, 3);
  EXPECT_FLOAT_EQ(b.sig[0].p, 1020);  // the surface first: "020"
  EXPECT_FLOAT_EQ(b.sig[1].p, 1013);  // whole mb from 100 mb down: "013"
  EXPECT_NEAR(b.sig[2].p, 96.7, 1e-4);
  ASSERT_EQ(b.numwnd, 2);
  EXPECT_FLOAT_EQ(b.wnd[0].h, 0);  // the surface wind
  EXPECT_FLOAT_EQ(b.wnd[0].dir, 290);
  EXPECT_FLOAT_EQ(b.wnd[1].h, 3000);
  EXPECT_FLOAT_EQ(b.wnd[1].spd, 20);
  EXPECT_TRUE(r.notes.empty());
}

// Temperatures whose tenths have the wrong parity are moved by a tenth (the parity is
// the sign); depressions over 5 C go to whole degrees; 49 C and over cannot be written.
TEST(UpaWrite, TemperatureCoding) {
  struct Case { float t, td, t_back, td_back; bool note; };
  const Case cases[] = {
      {-5.2f, -7.2f, -5.3f, -7.3f, false},   // -5.2 even tenths: written -5.3, DD 20
      {5.3f, 2.3f, 5.2f, 2.2f, false},       // +5.3 odd: written +5.2
      {0.0f, -5.0f, 0.0f, -5.0f, false},     // DD 50
      {10.0f, 2.6f, 10.0f, 3.0f, false},     // depression 7.4: DD 57, 7 C
      {-20.1f, -68.1f, -20.1f, -68.1f, false},  // 48 C: DD 98, the largest
      {-20.1f, -69.1f, -20.1f, kM, true},    // 49 C: left missing, reported
  };
  int n = 0;
  for (const Case& c : cases) {
    ING_report r = station(10001);
    r.man.push_back({850, 1500, c.t, c.td, kM, kM});
    UPA_report b = round_trip(r, "temp" + std::to_string(n++) + ".upa");
    EXPECT_NEAR(b.man[3].t, c.t_back, 1e-4) << c.t;
    if (c.td_back == kM)
      EXPECT_FLOAT_EQ(b.man[3].td, kM);
    else
      EXPECT_NEAR(b.man[3].td, c.td_back, 1e-4) << c.td;
    EXPECT_EQ(!r.notes.empty(), c.note) << c.td;
  }
}

// Wind levels by pressure get heights between the levels around them (linear in ln p),
// then whole thousands of feet; the loss is reported.
TEST(UpaWrite, WindHeights) {
  ING_report r = station(10002);
  r.sfc = {1000, kM, kM, kM, kM, kM};
  r.elev = 0;
  r.man.push_back({500, 5500, -20, -25, 250, 40});
  // ln-p midway between 1000 and 500 mb: sqrt(1000 * 500) = 707.1 mb at 2750 m, which is
  // 9022 ft: level 09, 22 ft off.
  r.wind.push_back({707.1068f, kM, 240, 30});
  r.wind.push_back({kM, 20000 * 0.3048f, 250, 45});
  r.wind.push_back({kM, 20400 * 0.3048f, 255, 46});  // same thousand, farther: dropped
  r.wind.push_back({kM, 120000 * 0.3048f, 260, 50});  // above 99 000 ft
  r.wind.push_back({300, kM, 270, 60});                // no height known above 500 mb
  UPA_report b = round_trip(r, "winds.upa");
  ASSERT_EQ(b.numwnd, 2);
  EXPECT_FLOAT_EQ(b.wnd[0].h, 9000);
  EXPECT_FLOAT_EQ(b.wnd[0].dir, 240);
  EXPECT_FLOAT_EQ(b.wnd[1].h, 20000);
  EXPECT_FLOAT_EQ(b.wnd[1].dir, 250);
  ASSERT_EQ(r.notes.size(), 2u);
  EXPECT_NE(r.notes[0].find("2 wind levels rounded"), std::string::npos) << r.notes[0];
  EXPECT_NE(r.notes[0].find("up to 400 ft"), std::string::npos) << r.notes[0];
  EXPECT_NE(r.notes[1].find("2 wind levels"), std::string::npos) << r.notes[1];
}

// Exactly 50 significant levels: the reader skips one token after them, so one more
// "X" is written and the winds still come back.
TEST(UpaWrite, FiftyLevels) {
  ING_report r = station(10003);
  for (int i = 0; i < 50; ++i) r.sig.push_back({1000.0f - 10 * i, 10.0f - i, 5.0f - i});
  r.sfc.dir = 180;
  r.sfc.spd = 5;
  r.wind.push_back({kM, 5000 * 0.3048f, 200, 10});
  UPA_report b = round_trip(r, "fifty.upa");
  EXPECT_EQ(b.numsig, 50);
  ASSERT_EQ(b.numwnd, 2);
  EXPECT_FLOAT_EQ(b.wnd[1].h, 5000);
}

// A file for the time that exists already: its other stations stay, in WMO order.
TEST(UpaWrite, MergeAndRefuse) {
  std::string path = scratch("merge.upa");
  ING_report a = station(72518), b = station(40179), c = station(72518);
  a.sfc = {1001, kM, -3.9f, -11.9f, 290, 4};
  b.sfc = {1008, kM, 12.8f, 10.9f, 90, 2};
  c.sfc = {1002, kM, -3.9f, -11.9f, 290, 4};
  std::vector<ING_report*> first{&a};
  ASSERT_EQ(ING_write_file(path.c_str(), a.date, first), 1);
  std::vector<ING_report*> second{&c, &b};
  ASSERT_EQ(ING_write_file(path.c_str(), a.date, second), 2);
  std::string text = slurp(path);
  EXPECT_EQ(text.rfind("ZUDUPAx\n00Z 06 FEB 26\n40179:", 0), 0u) << text;
  EXPECT_NE(text.find("\n002 "), std::string::npos);  // Albany replaced: 1002 mb
  EXPECT_EQ(text.find("\n001 "), std::string::npos);
  EXPECT_EQ(text.find("\n72518:"), text.rfind("\n72518:"));

  std::string other = scratch("other.upa");
  std::ofstream(other) << "ZUDUPA+\n00Z 06 FEB 26\nOAX X\n$\n";
  std::vector<ING_report*> one{&a};
  EXPECT_EQ(ING_write_file(other.c_str(), a.date, one), -1);
  EXPECT_EQ(slurp(other), "ZUDUPA+\n00Z 06 FEB 26\nOAX X\n$\n");
}

// Station list lines (IGRA format, columns as published) and the upa.cty line written
// for a station, in the columns of the package's database files (data/upa.cty).
TEST(StationList, ReadAndLocate) {
  std::string list = scratch("list.txt");
  {
    // Columns: id 1-11, latitude 13-20, longitude 22-30, elevation 32-37, state 39-40,
    // name 42-71, first and last year 73-76 and 78-81, soundings 83-88; the Albany
    // line is copied from the published list.
    std::ofstream out(list);
    out << "USM00072518  42.6919  -73.8322   95.0 NY ALBANY                         1930 2018  69786\n";
    auto line = [&out](const char* id, double lat, double lon, double el, const char* name,
                       int last) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "%-11s %8.4f %9.4f %6.1f    %-30s %4d %4d %6d\n", id, lat,
                    lon, el, name, 1950, last, 100);
      out << buf;
    };
    line("ISM00040179", 32.0, 34.8167, 35.0, "BET DAGAN", 2018);
    line("ISM00040179", 31.9, 34.8, 30.0, "BET DAGAN OLD", 1962);
    line("XXM00099999", -98.8888, -998.8888, -998.8, "MOBILE", 2010);
    line("USW00012345", 30.0, -90.0, 10.0, "NOT A WMO STATION", 2010);
  }
  ING_stations st;
  ASSERT_EQ(ING_read_station_list(list.c_str(), &st.list), 2);
  EXPECT_EQ(st.list[0].wmo, 40179);
  EXPECT_EQ(st.list[0].name, "BET DAGAN");  // the one with the later data
  EXPECT_EQ(ING_read_cty(scratch("none.cty").c_str(), &st), 0);

  ING_report r = station(72518);
  r.id.clear();
  r.lat = r.lon = kM;
  EXPECT_EQ(ING_locate(&st, &r), 1);
  EXPECT_EQ(r.id, "72518");
  EXPECT_NEAR(r.lat, 42.6919, 1e-4);
  EXPECT_FLOAT_EQ(r.elev, 95);
  ASSERT_EQ(st.added.size(), 1u);
  // Field widths of "OMAHA           NE US OAX  1*   41.32  -96.37  350 72558 0".
  EXPECT_EQ(ING_cty_line(st.added[0]),
            "ALBANY          NY US 72518 5*   42.69  -73.83   95 72518 0");
  ING_report again = station(72518);
  again.id.clear();
  EXPECT_EQ(ING_locate(&st, &again), 1);
  EXPECT_EQ(st.added.size(), 1u);  // found among the database records now
  ING_report unknown = station(12345);
  unknown.id.clear();
  EXPECT_EQ(ING_locate(&st, &unknown), 0);
  EXPECT_EQ(unknown.id, "12345");
}

// A converted file that would come out byte for byte the same is left as it is (a second
// ingest of the same bulletins); one that changes is replaced through a new file renamed
// over it. Whether the file was replaced is told by its inode: a rename brings a new one.
ino_t inode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_ino;
}

// A sounding of only a surface at 1001 mb, dew point 8 C below `sfc_t`, wind 290/4 kt.
ING_report with_surface(int wmo, float sfc_t) {
  ING_report r = station(wmo);
  r.sfc = {1001, kM, sfc_t, sfc_t - 8, 290, 4};
  return r;
}

TEST(UpaWriteKeep, UnchangedFileLeftAlone) {
  const std::string path = scratch("keep.upa");
  ING_report a = with_surface(72518, -3.9f);
  ING_report b = with_surface(72357, 20.2f);
  std::vector<ING_report*> both{&a, &b};
  ASSERT_EQ(ING_write_file(path.c_str(), a.date, both), 2);
  const std::string first = slurp(path);
  const ino_t first_inode = inode(path);

  // The same soundings again: same bytes, same file.
  ING_report a2 = with_surface(72518, -3.9f);
  std::vector<ING_report*> again{&a2};
  ASSERT_EQ(ING_write_file(path.c_str(), a2.date, again), 1);
  EXPECT_EQ(slurp(path), first);
  EXPECT_EQ(inode(path), first_inode);

  // A changed sounding: a new file in its place, the other station's block kept.
  ING_report a3 = with_surface(72518, -5.1f);
  std::vector<ING_report*> changed{&a3};
  ASSERT_EQ(ING_write_file(path.c_str(), a3.date, changed), 1);
  const std::string now = slurp(path);
  EXPECT_NE(now, first);
  EXPECT_NE(inode(path), first_inode);
  EXPECT_NE(now.find("72357:"), std::string::npos);
  // -5.1 C: tenths 51, odd for below zero; depression 8 C is code 58.
  EXPECT_NE(now.find("05158"), std::string::npos);
  EXPECT_EQ(first.find("05158"), std::string::npos);
}

}  // namespace

namespace {

// A file holds one observation time: the soundings of another time under the same name
// (a name convention without the hour, or none) are refused and the file keeps its own,
// whichever stations they are; a date line with a trailing blank or CR is still its time.
TEST(UpaWriteKeep, OtherTimeRefused) {
  const std::string path = scratch("one_time.upa");
  ING_report a = with_surface(72518, -3.9f);
  std::vector<ING_report*> first{&a};
  ASSERT_EQ(ING_write_file(path.c_str(), a.date, first), 1);
  const std::string kept = slurp(path);
  for (const int wmo : {72518, 72357}) {  // the same station, and another
    ING_report later = with_surface(wmo, 1.5f);
    later.date.hour = 12;
    std::vector<ING_report*> reps{&later};
    testing::internal::CaptureStderr();
    EXPECT_EQ(ING_write_file(path.c_str(), later.date, reps), -1) << wmo;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("holds the soundings of 00Z 06 FEB 26, not of 12Z 06 FEB 26"), std::string::npos)
        << err;
    EXPECT_EQ(slurp(path), kept) << wmo;
  }
  std::ofstream(path) << "ZUDUPAx\n00Z 06 FEB 26 \r\n";
  ING_report b = with_surface(72357, 20.2f);
  std::vector<ING_report*> same_time{&b};
  EXPECT_EQ(ING_write_file(path.c_str(), b.date, same_time), 1);
}

}  // namespace

namespace {

// The names in directory `dir`, sorted.
std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A new file appears whole under its name only, readable by all whatever the umask, from a
// name in the working directory, in a directory still to be made, and by a full path; a
// name taken by something unreadable is refused, and no write leaves a file behind.
TEST(UpaWriteNew, WholeUnderItsNameOnly) {
  const std::string base = scratch("new_files");
  ASSERT_TRUE(std::filesystem::create_directories(base));
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(::chdir(base.c_str()), 0);
  const mode_t old_mask = ::umask(077);
  struct Case {
    std::string path;  // as given to the writer
    std::string dir;   // where it lands
    std::string name;
  };
  const Case cases[] = {{"here.upa", base, "here.upa"},
                        {"sub/dir/nested.upa", base + "/sub/dir", "nested.upa"},
                        {base + "/full.upa", base, "full.upa"}};
  for (const Case& c : cases) {
    ING_report a = with_surface(72518, -3.9f);
    std::vector<ING_report*> one{&a};
    ASSERT_EQ(ING_write_file(c.path.c_str(), a.date, one), 1) << c.path;
    const std::string text = slurp(c.dir + "/" + c.name);
    EXPECT_EQ(text.rfind("ZUDUPAx\n00Z 06 FEB 26\n72518:", 0), 0u) << c.path << "\n" << text;
    EXPECT_EQ(text.back(), '\n') << c.path;
    struct stat st {};
    ASSERT_EQ(::stat((c.dir + "/" + c.name).c_str(), &st), 0) << c.path;
    EXPECT_EQ(st.st_mode & 0777, 0644u) << c.path;
  }
  EXPECT_EQ(names_in(base), (std::vector<std::string>{"full.upa", "here.upa", "sub"}));
  EXPECT_EQ(names_in(base + "/sub/dir"), std::vector<std::string>{"nested.upa"});

  // Something that cannot be read where the file should go (here a directory) is left as
  // it is: written over, a file's other stations would be lost.
  ASSERT_TRUE(std::filesystem::create_directories(base + "/taken.upa"));
  ING_report b = with_surface(72357, 20.2f);
  std::vector<ING_report*> one{&b};
  testing::internal::CaptureStderr();
  EXPECT_EQ(ING_write_file("taken.upa", b.date, one), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot read taken.upa: Is a directory; left unchanged"), std::string::npos) << err;
  EXPECT_EQ(names_in(base), (std::vector<std::string>{"full.upa", "here.upa", "sub", "taken.upa"}));
  EXPECT_TRUE(names_in(base + "/taken.upa").empty());

  ::umask(old_mask);
  ASSERT_EQ(::chdir(cwd.c_str()), 0);
}

}  // namespace

namespace {

// A station the database holds twice takes the first of its records, and the records are
// found however many reports come (the database is looked up by an index, kept up to date
// as the run adds lines).
TEST(StationList, FirstDatabaseRecordOfANumber) {
  const std::string cty = scratch("twice.cty");
  spit(cty,
       "ALBANY          NY US ALB  5*   42.69  -73.83   95 72518 0\n"
       "OMAHA           NE US OAX  1*   41.32  -96.37  350 72558 0\n"
       "ALBANY_OLD      NY US XYZ  5*   42.75  -73.80   89 72518 0\n");
  ING_stations st;
  ASSERT_EQ(ING_read_cty(cty.c_str(), &st), 3);
  for (int round = 0; round < 3; ++round) {
    for (const auto& [wmo, id, lat] : {std::tuple{72518, "ALB", 42.69f}, std::tuple{72558, "OAX", 41.32f}}) {
      ING_report r = station(wmo);
      r.id.clear();
      r.lat = r.lon = kM;
      ASSERT_EQ(ING_locate(&st, &r), 1) << wmo;
      EXPECT_EQ(r.id, id) << wmo;
      EXPECT_FLOAT_EQ(r.lat, lat) << wmo;
    }
  }
  EXPECT_TRUE(st.added.empty());
  // Read again (another database): the old records are forgotten.
  spit(cty, "ALBANY_NEW      NY US NEW  5*   42.70  -73.81   96 72518 0\n");
  ASSERT_EQ(ING_read_cty(cty.c_str(), &st), 1);
  ING_report r = station(72518);
  r.id.clear();
  ASSERT_EQ(ING_locate(&st, &r), 1);
  EXPECT_EQ(r.id, "NEW");
}

}  // namespace

namespace {

// Winds reported by pressure get their heights from the standard levels, linear in ln p
// within the layer that holds them (heights and feet worked with a second, plain
// computation: h = ha + ln(pa/p) / ln(pa/pb) * (hb - ha)), whether the levels' pressures
// all differ or two levels share one; winds below the surface (1010 mb: 2980 ft, were it
// carried down) or above the top level have none.
TEST(UpaWrite, WindHeightsByLayer) {
  struct Wind {
    float p, dir;
  };
  struct Case {
    const char* what;
    bool twice_700;                    // a second 700 mb level (pressures not all different)
    std::vector<Wind> winds;
    std::vector<std::pair<float, float>> back;  // (feet, direction) read back
  };
  const Case cases[] = {
      {"all pressures differ",
       false,
       // 850 mb 2500 m = 8202 ft; 775 mb 3213.7 m = 10544 ft; 925 mb 1719.6 m = 5642 ft;
       // 600 mb 5191.2 m = 17031 ft; 700 mb 4000 m = 13123 ft.
       {{850, 10}, {775, 20}, {925, 30}, {600, 40}, {700, 50}, {1010, 60}, {400, 70}},
       {{6000, 30}, {8000, 10}, {11000, 20}, {13000, 50}, {17000, 40}}},
      {"700 mb twice", true, {{850, 10}, {925, 30}, {1010, 60}, {400, 70}}, {{6000, 30}, {8000, 10}}},
  };
  for (const Case& c : cases) {
    ING_report r = station(10004);
    r.sfc = {1000, kM, kM, kM, kM, kM};
    r.elev = 1000;
    r.man = {{850, 2500, 0, kM, kM, kM}, {700, 4000, -8, kM, kM, kM}, {500, 6600, -20, kM, kM, kM}};
    if (c.twice_700) r.man.push_back({700, 4010, -8, kM, kM, kM});
    for (const Wind& w : c.winds) r.wind.push_back({w.p, kM, w.dir, 20});
    const UPA_report b = round_trip(r, "layers.upa");
    ASSERT_EQ(b.numwnd, static_cast<int>(c.back.size())) << c.what;
    for (std::size_t i = 0; i < c.back.size(); ++i) {
      EXPECT_FLOAT_EQ(b.wnd[i].h, c.back[i].first) << c.what << " " << i;
      EXPECT_FLOAT_EQ(b.wnd[i].dir, c.back[i].second) << c.what << " " << i;
    }
    ASSERT_EQ(r.notes.size(), 2u) << c.what;
    EXPECT_NE(r.notes[1].find("2 wind levels without a height"), std::string::npos) << r.notes[1];
  }
}

}  // namespace
