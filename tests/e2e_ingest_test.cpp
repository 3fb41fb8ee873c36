// The real ingest binary on real WMO TEMP bulletins (tests/data/ingest, copied byte for
// byte from the 06 February 2026 00 UTC feed and older published examples), followed by
// the real sounding program on the files it wrote.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "run_parse.h"

namespace {

const std::string kIngestData = std::string(ZUD_TEST_DATA) + "/ingest/";

// A scratch file path with the station list and name convention linked in.
std::string setup(const std::string& name) {
  return e2e::ingest_dir(name, kIngestData + "igra2-station-list.txt");
}

// ua_ingest on `files` with file path `dir`, converted files in dir/out, the package's
// current time `curtime` and the options `more` before the files.
e2e::Run ingest(const std::string& dir, std::vector<std::string> files,
                const char* curtime = "2026020612", std::vector<std::string> more = {}) {
  more.insert(more.end(), files.begin(), files.end());
  return e2e::run_ingest(dir, more, curtime);
}

using e2e::listing;

// One row of the listing: columns cut at the header's fixed widths; NAN where blank.
struct Row {
  std::string lev;
  double p, h, t, td, dir, spd;
};
double field(const std::string& line, std::size_t from, std::size_t to) {
  if (line.size() <= from) return NAN;
  std::string s = line.substr(from, to - from);
  if (s.find_first_not_of(' ') == std::string::npos) return NAN;
  return std::atof(s.c_str());
}
std::vector<Row> rows(const std::string& out) {
  std::vector<Row> r;
  std::size_t pos = out.find("LEV PRES");
  if (pos == std::string::npos) return r;
  pos = out.find("-----\n", out.find("g/kg", pos));
  if (pos == std::string::npos) return r;
  pos += 6;
  while (pos < out.size()) {
    std::size_t nl = out.find('\n', pos);
    std::string line = out.substr(pos, nl - pos);
    if (line.empty()) break;
    r.push_back({line.substr(0, 3), field(line, 3, 8), field(line, 8, 14), field(line, 14, 20),
                 field(line, 20, 26), field(line, 41, 45), field(line, 45, 49)});
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return r;
}
const Row* row_at(const std::vector<Row>& rs, double p, const char* lev = nullptr) {
  for (const Row& r : rs)
    if (std::fabs(r.p - p) < 0.5 && (!lev || r.lev == lev)) return &r;
  return nullptr;
}

struct Expect {
  int wmo;
  const char* time;  // yyyymmddhh of the file
  struct { double p, t, td, dir, spd; } sfc;
  struct { double h, t, td, dir, spd; } m500;
  struct { double p, t; } trop;       // p 0: none reported
  struct { double p, dir, spd; } mw;  // p 0: none reported
  struct { double p, t, td; } sig[3];
};

// Expected values decoded from the raw groups of each station set by a separate Python
// decoder written for this check (code tables 3931, 0777; dddff with the speed hundreds
// in the direction; m/s times 3600/1852 for the two stations reporting m/s, 15420 and
// 45004), tropopause and maximum-wind rows checked by hand against the 88/77 groups
// (Part C pressures in tenths rounded to whole mb, the strongest maximum wind of parts A
// and C, the lowest tropopause). Significant levels: the second, middle and last
// temperature level of TTBB that is not also a standard level (where a station's TTAA and
// TTBB give a standard level different tenths, the listing shows the TTAA value).
const Expect kSets[] = {
    {15420, "2026020600", {990, 7.0, 7.0, 105, 4}, {5450, -22.1, -23.8, 185, 23}, {268, -57.1}, {0, 0, 0}, {{580, -13.9, -14.7}, {287, -54.5, -58.4}, {111, -53.5, -79.5}}},
    {40179, "2026020523", {1008, 12.8, 10.9, 90, 2}, {5670, -16.3, -17.9, 225, 30}, {215, -61.5}, {167, 260, 61}, {{983, 19.4, 4.4}, {299, -44.7, -51.7}, {127, -62.3, -88.3}}},
    {45004, "2026020600", {1009, 18.6, 16.8, 0, 0}, {5860, -7.5, -28.5, 250, 47}, {97, -83.9}, {233, 245, 84}, {{807, 7.2, 7.2}, {474, -10.9, -25.9}, {133, -72.5, -80.5}}},
    {48453, "2026020600", {1011, 24.6, 22.3, 0, 0}, {5900, -4.9, -21.9, 200, 2}, {87, -81.9}, {0, 0, 0}, {{970, 23.4, 22.4}, {530, -2.5, -13.5}, {118, -77.5, -84.5}}},
    {68263, "2026020523", {851, 18.2, 12.2, 60, 3}, {5910, -4.7, -40.7, 15, 10}, {104, -77.5}, {0, 0, 0}, {{798, 19.2, 5.2}, {533, -2.3, -37.3}, {108, -77.1, -84.1}}},
    {68816, "2026020523", {1008, 20.6, 18.7, 200, 14}, {5840, -7.3, -39.3, 275, 18}, {99, -70.9}, {0, 0, 0}, {{985, 20.6, 16.3}, {422, -15.9, -47.9}, {109, -67.1, -84.1}}},
    {70026, "2026020600", {1031, -23.7, -25.6, 75, 10}, {5330, -36.3, -51.3, 350, 13}, {288, -55.5}, {14, 300, 64}, {{1009, -21.3, -23.9}, {832, -14.7, -32.7}, {109, -50.7, -82.7}}},
    {71119, "2026020600", {930, 10.6, -0.4, 345, 2}, {5660, -17.7, -22.7, 295, 75}, {208, -61.3}, {246, 280, 109}, {{789, 2.4, -3.6}, {464, -21.1, -49.1}, {112, -59.7, -87.7}}},
    {71924, "2026020600", {1007, -33.9, -37.2, 120, 7}, {4890, -46.3, -52.3, 85, 6}, {406, -52.3}, {0, 0, 0}, {{997, -30.9, -34.3}, {497, -46.7, -52.7}, {118, -56.7, -85.7}}},
    {72293, "2026020600", {1001, 22.0, 5.0, 190, 5}, {5730, -19.9, -22.1, 145, 17}, {246, -52.3}, {266, 115, 81}, {{945, 16.8, 4.8}, {392, -31.7, -41.7}, {102, -64.7, -87.7}}},
    {72357, "2026020600", {978, 20.2, 1.2, 310, 9}, {5750, -12.3, -27.3, 325, 37}, {175, -67.7}, {173, 330, 62}, {{846, 8.8, -2.2}, {403, -24.9, -32.9}, {119, -59.9, -88.9}}},
    {72518, "2026020600", {1001, -3.9, -11.9, 290, 4}, {5350, -27.3, -30.7, 260, 33}, {264, -58.3}, {13, 245, 63}, {{914, -9.5, -16.5}, {297, -53.9, -58.4}, {106, -55.3, -82.3}}},
    {78526, "2026020600", {1014, 26.8, 21.8, 35, 6}, {5880, -4.1, -33.1, 265, 9}, {83, -84.7}, {0, 0, 0}, {{920, 21.0, 15.0}, {530, -2.7, -23.7}, {109, -75.5, -88.5}}},
    {82332, "2026020600", {1000, 25.8, 23.9, 50, 3}, {5890, -4.1, -7.4, 85, 18}, {79, -87.9}, {0, 0, 0}, {{758, 13.2, 13.1}, {422, -12.1, -16.7}, {101, -82.3, -87.3}}},
    {83779, "2026020600", {932, 22.4, 18.8, 20, 6}, {5870, -4.7, -11.7, 250, 5}, {93, -80.7}, {0, 0, 0}, {{798, 14.0, 12.7}, {413, -13.7, -18.5}, {157, -63.9, -80.9}}},
    {89009, "2026020600", {683, -38.3, -41.7, 90, 8}, {5070, -34.5, -43.5, 70, 9}, {358, -49.5}, {0, 0, 0}, {{675, -34.1, -38.0}, {575, -28.3, -44.3}, {112, -42.1, -82.1}}},
    {89664, "2026020523", {982, 1.2, -2.9, 125, 9}, {5070, -33.5, -36.6, 160, 10}, {330, -53.1}, {0, 0, 0}, {{934, -3.9, -6.2}, {521, -31.7, -33.9}, {163, -42.7, -80.7}}},
    {91165, "2026020600", {1011, 26.4, 15.4, 220, 17}, {5840, -8.1, -19.1, 260, 30}, {94, -80.7}, {132, 285, 75}, {{896, 15.4, 12.1}, {428, -16.9, -23.9}, {110, -76.3, -91.3}}},
    {91212, "2026020600", {1006, 29.8, 26.2, 90, 6}, {5920, -3.7, -20.7, 50, 19}, {102, -84.5}, {0, 0, 0}, {{949, 22.4, 21.3}, {544, 0.4, -18.6}, {102, -84.5, -90.5}}},
    {91285, "2026020600", {1014, 27.2, 19.2, 95, 8}, {5860, -6.3, -42.3, 270, 28}, {92, -82.5}, {138, 310, 59}, {{1003, 23.6, 17.6}, {619, 3.8, -32.2}, {107, -76.1, -93.1}}},
    {96749, "2026020600", {1011, 24.2, 22.6, 230, 4}, {5880, -5.9, -6.4, 340, 5}, {89, -83.3}, {125, 90, 73}, {{914, 20.0, 19.1}, {536, -1.7, -6.7}, {115, -74.7, -90.7}}},
};

std::string set_file(int wmo) {
  char pat[32];
  std::snprintf(pat, sizeof pat, "_%05d_", wmo);
  std::string cmd = "ls " + kIngestData + "gts_2026-02-06_00Z*" + pat + "*";
  std::string name;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[512];
    if (std::fgets(buf, sizeof buf, p)) name = buf;
    ::pclose(p);
  }
  while (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

// Each complete station set ingested alone, then listed by ua_parse: surface, 500 mb,
// tropopause, maximum wind and three significant levels against the raw groups.
TEST(IngestStationSets, ListedAsCoded) {
  constexpr double kTol = 0.051;  // one printed decimal
  for (const Expect& e : kSets) {
    SCOPED_TRACE(e.wmo);
    std::string dir = setup("set" + std::to_string(e.wmo));
    std::string file = set_file(e.wmo);
    ASSERT_FALSE(file.empty());
    e2e::Run in = ingest(dir, {file});
    ASSERT_EQ(in.status, 0) << in.err;
    e2e::Run out = listing(dir, dir + "out/" + e.time + "_upa.cvt", std::to_string(e.wmo));
    ASSERT_EQ(out.status, 0) << out.err;
    std::vector<Row> rs = rows(out.out);
    const Row* s = row_at(rs, e.sfc.p, "SFC");
    ASSERT_NE(s, nullptr) << out.out;
    EXPECT_NEAR(s->t, e.sfc.t, kTol);
    EXPECT_NEAR(s->td, e.sfc.td, kTol);
    EXPECT_EQ(s->dir, e.sfc.dir);
    EXPECT_EQ(s->spd, e.sfc.spd);
    const Row* m = row_at(rs, 500);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->h, e.m500.h);
    EXPECT_NEAR(m->t, e.m500.t, kTol);
    EXPECT_NEAR(m->td, e.m500.td, kTol);
    EXPECT_EQ(m->dir, e.m500.dir);
    EXPECT_EQ(m->spd, e.m500.spd);
    const Row* trp = nullptr;
    const Row* wnd = nullptr;
    for (const Row& r : rs) {
      if (r.lev == "TRP") trp = &r;
      if (r.lev == "WND") wnd = &r;
    }
    ASSERT_NE(trp, nullptr);
    ASSERT_NE(wnd, nullptr);
    if (e.trop.p > 0) {
      EXPECT_EQ(trp->p, e.trop.p);
      EXPECT_NEAR(trp->t, e.trop.t, kTol);
    } else {
      EXPECT_TRUE(std::isnan(trp->p));
    }
    if (e.mw.p > 0) {
      EXPECT_EQ(wnd->p, e.mw.p);
      EXPECT_EQ(wnd->dir, e.mw.dir);
      EXPECT_EQ(wnd->spd, e.mw.spd);
    } else {
      EXPECT_TRUE(std::isnan(wnd->p));
    }
    for (const auto& sg : e.sig) {
      const Row* r = row_at(rs, sg.p);
      ASSERT_NE(r, nullptr) << sg.p;
      EXPECT_NEAR(r->t, sg.t, kTol) << sg.p;
      EXPECT_NEAR(r->td, sg.td, kTol) << sg.p;
    }
  }
}

// The textbook Albany example (Lyndon State raob page), with the values its decoder
// tests assert: surface 1030 mb, 8.8 C, 700 mb at 3138 m, tropopause 192 mb, maximum
// wind 182 mb; dated 31 January by a current time in February.
TEST(IngestOlderExamples, AlbanyTextbook) {
  std::string dir = setup("albany_textbook");
  e2e::Run in = ingest(dir, {kIngestData + "jstest_72518_albany_day31_00Z_A_B_PPBB.txt"},
                       "2026021500");
  ASSERT_EQ(in.status, 0) << in.err;
  e2e::Run out = listing(dir, dir + "out/2026013100_upa.cvt", "72518");
  ASSERT_EQ(out.status, 0) << out.err;
  std::vector<Row> rs = rows(out.out);
  const Row* s = row_at(rs, 1030, "SFC");
  ASSERT_NE(s, nullptr) << out.out;
  EXPECT_NEAR(s->t, 8.8, 0.051);
  const Row* m = row_at(rs, 700);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->h, 3138);
  bool trop = false, mwnd = false;
  for (const Row& r : rs) {
    if (r.lev == "TRP") trop = r.p == 192;
    if (r.lev == "WND") mwnd = r.p == 182;
  }
  EXPECT_TRUE(trop);
  EXPECT_TRUE(mwnd);
}

// Jackson 2006 (AWIPS test data): heading and report on one line, PPBB "90012" whose
// first wind is the surface; the 1000 mb level lies at the surface (99000) and 925 mb
// has its height 772 m. Values by hand from the groups: 850 mb 85503 17218 22044 =
// 1503 m, 17.2 C, dew point 17.2 - 1.8 = 15.4, 220 deg 44 kt.
TEST(IngestOlderExamples, JacksonAwips) {
  std::string dir = setup("jackson");
  e2e::Run in = ingest(dir, {kIngestData + "awips2_mockdata_72235_KJAN_2006-09-22_12Z_A_B_PPBB.txt"},
                       "2006092218");
  ASSERT_EQ(in.status, 0) << in.err;
  EXPECT_TRUE(e2e::has(in.out, "3 reports of 1 stations from 2 bulletins into 1 files; 0 NIL, 0 rejected"))
      << in.out;
  e2e::Run out = listing(dir, dir + "out/2006092212_upa.cvt", "72235");
  ASSERT_EQ(out.status, 0) << out.err;
  std::vector<Row> rs = rows(out.out);
  const Row* m = row_at(rs, 850);
  ASSERT_NE(m, nullptr) << out.out;
  EXPECT_EQ(m->h, 1503);
  EXPECT_NEAR(m->t, 17.2, 0.051);
  EXPECT_NEAR(m->td, 15.4, 0.051);
  EXPECT_EQ(m->dir, 220);
  EXPECT_EQ(m->spd, 44);
  const Row* s = row_at(rs, 1000, "SFC");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->dir, 180);  // 90012 18006: the surface slot
  EXPECT_EQ(s->spd, 6);
}

// The whole feed: counts, every station readable, and a second run changing nothing.
// Expected counts checked by an independent Python pass over the feed: 2270 abbreviated
// headings; 2106 distinct NIL reports of the six parts plus 41 parts with no level
// (regional groups only, or levels of unknown pressure); 2086 distinct non-empty parts
// of which 16 are rejected for garbled groups and one holds only levels of unknown
// pressure, leaving 2069; 473 stations among them; four more rejected reports, the parts
// UUAA-UUDD of one ship (grep finds four ship groups in the feed); four observation
// times (05 22Z, 05 23Z, 06 00Z, 06 01Z).
TEST(IngestFeed, CountsReadableIdempotent) {
  std::string dir = setup("feed");
  std::string feed = dir + "feed.rawins";
  ASSERT_EQ(std::system(("gzip -dc " + kIngestData + "feed_2026-02-06_00Z.rawins.gz > " + feed).c_str()), 0);
  e2e::Run in = ingest(dir, {feed});
  ASSERT_EQ(in.status, 0) << in.err;
  EXPECT_TRUE(e2e::has(in.out,
      "2069 reports of 473 stations from 2270 bulletins into 4 files; 2147 NIL, 20 rejected\n"))
      << in.out;
  const char* times[] = {"2026020522", "2026020523", "2026020600", "2026020601"};
  std::vector<std::string> first;
  int stations = 0;
  for (const char* t : times) {
    std::string path = dir + "out/" + t + "_upa.cvt";
    first.push_back(e2e::slurp(path));
    const std::string& text = first.back();
    for (std::size_t pos = text.find('\n', text.find('\n') + 1) + 1; pos < text.size();) {
      std::string id = text.substr(pos, 5);
      e2e::Run out = listing(dir, path, id);
      EXPECT_EQ(out.status, 0) << t << " " << id << out.err;
      char ident[32];
      std::snprintf(ident, sizeof ident, "WMO ident: %6d", std::atoi(id.c_str()));
      EXPECT_TRUE(e2e::has(out.out, ident)) << id;
      ++stations;
      pos = text.find("$\n", pos);
      if (pos == std::string::npos) break;
      pos += 2;
    }
  }
  EXPECT_EQ(stations, 475);  // 473 stations, two of them at two times
  std::string cty = e2e::slurp(dir + "upa.cty");
  e2e::Run again = ingest(dir, {feed});
  ASSERT_EQ(again.status, 0);
  for (std::size_t i = 0; i < std::size(times); ++i)
    EXPECT_EQ(e2e::slurp(dir + "out/" + times[i] + "_upa.cvt"), first[i]) << times[i];
  EXPECT_EQ(e2e::slurp(dir + "upa.cty"), cty);  // no station added twice
}

// Ingesting into an existing file keeps the other stations and orders by WMO number.
TEST(IngestMerge, KeepsOtherStations) {
  std::string dir = setup("merge");
  std::string albany = kIngestData + "gts_2026-02-06_00Z_72518_albany_ny.txt";
  std::string norman = kIngestData + "gts_2026-02-06_00Z_72357_norman_ok.txt";
  ASSERT_EQ(ingest(dir, {albany}).status, 0);
  std::string path = dir + "out/2026020600_upa.cvt";
  std::string alone = e2e::slurp(path);
  ASSERT_EQ(ingest(dir, {norman}).status, 0);
  std::string both = e2e::slurp(path);
  std::size_t n = both.find("\n72357:"), a = both.find("\n72518:");
  ASSERT_NE(n, std::string::npos);
  ASSERT_NE(a, std::string::npos);
  EXPECT_LT(n, a);
  // Albany's block is kept byte for byte.
  EXPECT_EQ(both.substr(a + 1), alone.substr(alone.find("\n72518:") + 1));
  ASSERT_EQ(ingest(dir, {albany}).status, 0);
  EXPECT_EQ(e2e::slurp(path), both);
  EXPECT_EQ(listing(dir, path, "72357").status, 0);
}

// Bad input: every case leaves clear messages and ingests what can be ingested.
TEST(IngestBadInput, MessagesAndStatus) {
  std::string dir = setup("bad");
  const std::string good = kIngestData + "gts_2026-02-06_00Z_72518_albany_ny.txt";

  // No input file at all: status 10.
  e2e::Run none = ingest(dir, {dir + "missing.txt"});
  EXPECT_EQ(none.status, 10);
  EXPECT_TRUE(e2e::has(none.err, "No such input file: " + dir + "missing.txt")) << none.err;

  // A directory among the inputs is named, the file beside it still ingested.
  e2e::Run withdir = ingest(dir, {dir, good});
  EXPECT_EQ(withdir.status, 0);
  EXPECT_TRUE(e2e::has(withdir.err, "Input is a directory, not a file")) << withdir.err;

  // Binary noise: nothing ingested, status 30.
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 256);
  e2e::spit(dir + "noise.bin", noise);
  e2e::Run bin = ingest(dir, {dir + "noise.bin"});
  EXPECT_EQ(bin.status, 30);
  EXPECT_TRUE(e2e::has(bin.err, "no upper-air reports found")) << bin.err;

  // A garbled group rejects its part with station, part, group and why; a report without
  // "=" ends at the next part letters; a report cut off inside a level keeps the rest.
  e2e::spit(dir + "mixed.txt",
            "TTAA 56001 72518 99001 03958 29004 00121 03758 32011 85382 09776 01A05=\n"
            "TTAA 56001 72357 99978 20259 31009 00/// ///// ///// 85469 08856 32015\n"
            "TTAA 56001 72293 99001 22069 19005 00125 21267 18503 85491 11457\n");
  e2e::Run mixed = ingest(dir, {dir + "mixed.txt"});
  EXPECT_EQ(mixed.status, 0);
  EXPECT_TRUE(e2e::has(mixed.err,
      "Rejected TTAA of 72518 day 06 00Z: group 12 \"01A05\" is not a group of five digits or solidi"))
      << mixed.err;
  EXPECT_TRUE(e2e::has(mixed.out, "2 reports of 2 stations from 1 bulletins into 1 files; 0 NIL, 1 rejected"))
      << mixed.out;
  EXPECT_TRUE(e2e::has(mixed.err, "TTAA ends inside a level")) << mixed.err;
  e2e::Run norman = listing(dir, dir + "out/2026020600_upa.cvt", "72357");
  EXPECT_EQ(norman.status, 0);
  const std::vector<Row> nrows = rows(norman.out);
  const Row* r = row_at(nrows, 850);
  ASSERT_NE(r, nullptr) << norman.out;
  EXPECT_EQ(r->h, 1469);  // 85469: the report had no "=" and still ends where it should

  // A converted-data path that cannot be made (a file stands where a directory should,
  // which stops root as well): the error is named, nothing is left behind.
  e2e::Options opt = e2e::clean_options();
  opt.program = ZUD_INGEST_BIN;
  opt.env.push_back("zudcurtime=2026020612");
  e2e::Run deny = e2e::run({"-fp", dir, "-cp", dir + "noise.bin/out", good}, opt);
  EXPECT_EQ(deny.status, 30);
  EXPECT_TRUE(e2e::has(deny.err, "ING_write_file: cannot write " + dir + "noise.bin/out/2026020600_upa.cvt"))
      << deny.err;
  EXPECT_EQ(e2e::slurp(dir + "noise.bin"), noise);

  // An existing file that is not a converted file of this layout is left as it was.
  std::string other = dir + "other/";
  ::mkdir(other.c_str(), 0700);
  e2e::spit(other + "2026020600_upa.cvt", "ZUDUPA+\n00Z 06 FEB 26\nOAX X\n");
  e2e::Run keep = e2e::run({"-fp", dir, "-cp", other, good}, opt);
  EXPECT_EQ(keep.status, 30);
  EXPECT_TRUE(e2e::has(keep.err, "is not a ZUDUPAx file; left unchanged")) << keep.err;
  EXPECT_EQ(e2e::slurp(other + "2026020600_upa.cvt"), "ZUDUPA+\n00Z 06 FEB 26\nOAX X\n");
}

}  // namespace
