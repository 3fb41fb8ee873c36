// The real ingest binary on archive files and published lists (tests/data/igra, copied
// from the IGRA 2 archive; tests/data/lists, the Wyoming page and the SPC table as
// published), then the real sounding program on the files it wrote.

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "reader_feed.h"
#include "run_parse.h"

namespace {

const std::string kIgra = std::string(ZUD_TEST_DATA) + "/igra/";
const std::string kLists = std::string(ZUD_TEST_DATA) + "/lists/";

// A scratch file path with the station list and the name convention linked in.
std::string setup(const std::string& name) {
  return e2e::ingest_dir(name, kIgra + "igra2-station-list.txt");
}

using e2e::listing;
using e2e::words;

// The listing row (level label cut off) whose first columns are `want`, e.g.
// "850 1441 -1.5 -1.7" for pressure, height, temperature and dew point; empty when none.
std::string row(const std::string& out, const std::string& want) {
  std::vector<std::string> w = words(want);
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 4) continue;
    std::vector<std::string> got = words(line.substr(3));
    if (got.size() >= w.size() && std::equal(w.begin(), w.end(), got.begin())) return line;
  }
  return "";
}

// The listing row at pressure `p` (level label cut off), empty when none.
std::string row_at(const std::string& out, int p) {
  std::string line = row(out, std::to_string(p));
  return line.empty() ? "" : line.substr(3);
}

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Vienna, gzipped as distributed: every ascent into its own file; the first and last
// ascents as ua_parse lists them, against the archive's raw lines.
TEST(E2eIgra, Vienna) {
  std::string dir = setup("igra_vienna");
  e2e::Run r = e2e::run_ingest(dir, {"-me", "mess", kIgra + "AUM00011035-data.txt.gz"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("321 reports of 1 stations from 1 bulletins into 321 files; 0 NIL, 0 rejected"),
            std::string::npos)
      << r.out;
  std::vector<std::string> files = files_in(dir + "out");
  ASSERT_EQ(files.size(), 321u);
  EXPECT_EQ(files.front(), "2015012312_upa.cvt");
  EXPECT_EQ(files.back(), "2015063012_upa.cvt");
  // A station-database line from the station list.
  EXPECT_NE(e2e::slurp(dir + "upa.cty").find("11035"), std::string::npos);

  // 2015-01-23 12Z. Surface "21 -9999  99200B-9999    38B-9999    22   300    50" at the
  // station's 200 m; "10 -9999  85000  1441B  -15B-9999     2    20   100"; tropopause
  // "22 -9999  25600 -9999  -627B-9999    50   225    60" (5.0 m/s is 9.7 kt, 6.0 m/s
  // 11.7 kt; the block holds whole knots).
  e2e::Run a = listing(dir, "out/2015012312_upa.cvt", "11035");
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_NE(row(a.out, "992 200 3.8 1.6"), "") << a.out;
  EXPECT_NE(row(a.out, "850 1441 -1.5 -1.7"), "") << a.out;
  EXPECT_NE(row(a.out, "925 763 0.6 0.4"), "") << a.out;
  EXPECT_NE(a.out.find("TRP  256"), std::string::npos) << a.out;
  EXPECT_EQ(words(row(a.out, "992")).at(8), "300");  // surface wind direction
  EXPECT_EQ(words(row(a.out, "992")).at(9), "10");   // 9.7 kt

  // 2015-06-30 12Z. "10 -9999  70000  3159B   -7B-9999    27   335   110" and
  // "10 -9999  50000  5800B -113B-9999   300   355   180" (raw lines of the file; 30.0
  // depression above 5.0 is coded in whole degrees).
  e2e::Run z = listing(dir, "out/2015063012_upa.cvt", "11035");
  ASSERT_EQ(z.status, 0) << z.err;
  EXPECT_NE(row(z.out, "700 3159 -0.7 -3.4"), "") << z.out;
  EXPECT_NE(row(z.out, "997 200 26.6"), "") << z.out;
  EXPECT_NE(row(z.out, "500 5800 -11.3 -41.3"), "") << z.out;
}

// Gagetown: 242 ascents 2021-2024, off-synoptic hours among them.
TEST(E2eIgra, Gagetown) {
  std::string dir = setup("igra_gagetown");
  e2e::Run r = e2e::run_ingest(dir, {"-me", "mess", kIgra + "CAM00071701-data.txt.gz"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("242 reports of 1 stations from 1 bulletins into 242 files"), std::string::npos)
      << r.out;
  std::vector<std::string> files = files_in(dir + "out");
  ASSERT_EQ(files.size(), 242u);
  EXPECT_EQ(files.front(), "2021012612_upa.cvt");
  EXPECT_EQ(files.back(), "2024012506_upa.cvt");
  // First: "21 -9999 100800B-9999   -57B-9999    30   275    31",
  // "10 -9999  92500   728B  -55B-9999     0    20    77".
  e2e::Run a = listing(dir, "out/2021012612_upa.cvt", "71701");
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_NE(row(a.out, "1008"), "") << a.out;
  EXPECT_NE(row(a.out, "925 728 -5.5 -5.5"), "") << a.out;
  // Last: "10 -9999  92500   862A  -25A-9999     1   235   201" (20.1 m/s is 39.1 kt).
  e2e::Run z = listing(dir, "out/2024012506_upa.cvt", "71701");
  ASSERT_EQ(z.status, 0) << z.err;
  EXPECT_NE(row(z.out, "925 862 -2.5 -2.6"), "") << z.out;
  EXPECT_EQ(words(row(z.out, "925 862")).at(9), "39");
}

// The same station file gzipped and plain gives byte-identical converted files.
TEST(E2eIgra, GzipAndPlainIdentical) {
  std::string dir = setup("igra_plain");
  e2e::spit(dir + "vienna.txt", gunzip(kIgra + "AUM00011035-data.txt.gz"));
  e2e::Run p = e2e::run_ingest(dir, {"-me", "error", "-cp", dir + "plain", dir + "vienna.txt"});
  e2e::Run g = e2e::run_ingest(dir, {"-me", "error", "-cp", dir + "gz", kIgra + "AUM00011035-data.txt.gz"});
  ASSERT_EQ(p.status, 0) << p.err;
  ASSERT_EQ(g.status, 0) << g.err;
  std::vector<std::string> a = files_in(dir + "plain");
  ASSERT_EQ(a, files_in(dir + "gz"));
  ASSERT_EQ(a.size(), 321u);
  for (const std::string& f : a)
    ASSERT_EQ(e2e::slurp(dir + "plain/" + f), e2e::slurp(dir + "gz/" + f)) << f;
}

// -ho/-nh select a window (24 h back from 12 June 2015 00Z, the start excluded: 11 June
// 12Z and 12 June 00Z by the file's header lines); -id a station by WMO number or IGRA
// identifier.
TEST(E2eIgra, Selection) {
  std::string dir = setup("igra_select");
  e2e::Run r = e2e::run_ingest(dir, {"-ho", "15061200", "-nh", "24", kIgra + "AUM00011035-data.txt.gz"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files_in(dir + "out"),
            (std::vector<std::string>{"2015061112_upa.cvt", "2015061200_upa.cvt"}));
  EXPECT_NE(r.out.find("2 reports of 1 stations"), std::string::npos) << r.out;

  e2e::Run none = e2e::run_ingest(dir, {"-cp", dir + "none", "-id", "71701", kIgra + "AUM00011035-data_first3.txt"});
  EXPECT_EQ(none.status, 30);
  EXPECT_TRUE(files_in(dir + "none").empty());
  e2e::Run byid = e2e::run_ingest(dir, {"-cp", dir + "byid", "-id", "AUM00011035,71701",
                                        kIgra + "AUM00011035-data_first3.txt"});
  EXPECT_EQ(byid.status, 0);
  EXPECT_EQ(files_in(dir + "byid").size(), 3u);

  e2e::Run bad = e2e::run_ingest(dir, {"-cp", dir + "bad", "-ho", "15133200", kIgra + "AUM00011035-data_first3.txt"});
  EXPECT_EQ(bad.status, 30);
  EXPECT_NE(bad.err.find("-ho"), std::string::npos) << bad.err;
}

// A file holding one ascent twice (the first of the three Vienna ascents repeated with
// other values at its end) gives one block for the station, the later ascent's.
TEST(E2eIgra, SameTimeTwice) {
  std::string dir = setup("igra_twice");
  std::string text = e2e::slurp(kIgra + "AUM00011035-data_first3.txt");
  std::string first = text.substr(0, text.find("\n#") + 1);
  std::string again = first;
  again.replace(again.find("  85000  1441B  -15B"), 20, "  85000  1442B  -25B");
  e2e::spit(dir + "twice.txt", text + again);
  e2e::Run r = e2e::run_ingest(dir, {dir + "twice.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("11035 23 12Z: a second sounding of this time replaces the first"),
            std::string::npos)
      << r.err;
  std::string file = e2e::slurp(dir + "out/2015012312_upa.cvt");
  EXPECT_EQ(file.find("\n11035:"), file.rfind("\n11035:")) << file;  // blocks start a line
  e2e::Run a = listing(dir, "out/2015012312_upa.cvt", "11035");
  EXPECT_NE(row(a.out, "850 1442 -2.5"), "") << a.out;
}

// Damaged archive files: a cut gzip file and a header whose count disagrees, each named
// on standard error; the other soundings are written.
TEST(E2eIgra, DamagedFiles) {
  std::string dir = setup("igra_damaged");
  std::string gz = e2e::slurp(kIgra + "AUM00011035-data.txt.gz");
  e2e::spit(dir + "cut.txt.gz", gz.substr(0, gz.size() / 2));
  std::string text = e2e::slurp(kIgra + "AUM00011035-data_first3.txt");
  text.replace(32, 4, "  99");  // the first header: 99 levels instead of 123
  e2e::spit(dir + "count.txt", text);
  e2e::Run r = e2e::run_ingest(dir, {dir + "cut.txt.gz", dir + "count.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("gzip stream ends early"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("IGRA AUM00011035 2015-01-23 12Z: header gives 99 levels, 123 follow; "
                       "sounding not ingested"),
            std::string::npos)
      << r.err;
  std::size_t n = files_in(dir + "out").size();
  EXPECT_GT(n, 100u);
  EXPECT_LT(n, 321u);
}

// The Wyoming page: the published surface and standard levels as ua_parse prints them
// (values read from the page's table).
TEST(E2eLists, NormanPage) {
  std::string dir = setup("list_norman");
  e2e::Run r = e2e::run_ingest(dir, {kLists + "wyoming_72357_OUN_2018122212.html"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(files_in(dir + "out"), (std::vector<std::string>{"2018122212_upa.cvt"}));
  e2e::Run a = listing(dir, "out/2018122212_upa.cvt", "OUN");
  ASSERT_EQ(a.status, 0) << a.err;
  const char* published[] = {"966 345 3.6 -1.2",    "925 701 7.2 -2.8",    "850 1397 8.8 -4.2",
                             "700 2998 4.2 -18.8",  "500 5630 -14.1 -29.1", "400 7280 -27.1 -36.1",
                             "300 9290 -40.9 -48.9", "250 10510 -48.3 -55.3", "200 11960 -53.7 -86.7",
                             "150 13810 -53.9 -86.9"};
  for (const char* p : published) EXPECT_NE(row(a.out, p), "") << p << "\n" << a.out;
  // Winds at 850 and 500 mb: 60 deg 7 kt, 280 deg 40 kt.
  EXPECT_EQ(words(row(a.out, "850 1397")).at(8), "60");
  EXPECT_EQ(words(row(a.out, "500 5630")).at(9), "40");
}

// The SPC table for Omaha (the number from upa.cty by the letters OAX) agrees on every
// standard level with the converted file made independently from the same table.
TEST(E2eLists, OmahaAgreesWithConvertedFile) {
  std::string dir = setup("list_omaha");
  e2e::spit(dir + "upa.cty", e2e::slurp(kLists + "oax20140616/upa.cty"));
  e2e::spit(dir + "ref.upa", e2e::slurp(kLists + "oax20140616/oax20140616.upa"));
  e2e::Run r = e2e::run_ingest(dir, {kLists + "sharppy_OAX_2014061619.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(files_in(dir + "out"), (std::vector<std::string>{"2014061619_upa.cvt"}));
  e2e::Run ours = listing(dir, "out/2014061619_upa.cvt", "OAX");
  e2e::Run ref = listing(dir, "ref.upa", "OAX");
  ASSERT_EQ(ours.status, 0) << ours.err;
  ASSERT_EQ(ref.status, 0) << ref.err;
  int compared = 0;
  for (int p : {1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100, 70, 50, 30, 20, 10}) {
    std::string want = row_at(ref.out, p);
    if (want.empty()) continue;
    EXPECT_EQ(row_at(ours.out, p), want) << p << " mb";
    ++compared;
  }
  EXPECT_EQ(compared, 16);
  // The published surface: " 965.00,    350.00,     27.80,     23.80,    150.00,     23.00".
  EXPECT_NE(row(ours.out, "965 350 27.8 23.8"), "") << ours.out;

  // Selected by the WMO number the page does not carry (found in upa.cty), and by time.
  e2e::Run sel = e2e::run_ingest(dir, {"-cp", dir + "sel", "-id", "72558", "-ho", "14061619",
                                       kLists + "sharppy_OAX_2014061619.txt"});
  EXPECT_EQ(sel.status, 0) << sel.err;
  EXPECT_EQ(files_in(dir + "sel"), (std::vector<std::string>{"2014061619_upa.cvt"}));
}

// A page without a table is named and refused; a good page beside it is still written.
// Alone, nothing is ingested: status 30.
TEST(E2eLists, PageWithoutTable) {
  std::string dir = setup("list_bad");
  e2e::spit(dir + "empty.html",
            "<HTML>\n<TITLE>University of Wyoming - Radiosonde Data</TITLE>\n<BODY>\n"
            "<H2>Can't get 72357 OUN Norman Observations</H2>\n</BODY></HTML>\n");
  e2e::Run alone = e2e::run_ingest(dir, {dir + "empty.html"});
  EXPECT_EQ(alone.status, 30);
  EXPECT_NE(alone.err.find("no sounding table"), std::string::npos) << alone.err;
  e2e::Run both = e2e::run_ingest(dir, {dir + "empty.html", kLists + "wyoming_72357_OUN_2018122212.html"});
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_NE(both.err.find("no sounding table"), std::string::npos);
  EXPECT_EQ(files_in(dir + "out"), (std::vector<std::string>{"2018122212_upa.cvt"}));
}

// A table naming its station by letters that upa.cty does not hold cannot be filed (a
// converted block needs the WMO number): named, nothing written, status 30.
TEST(E2eLists, StationWithoutNumber) {
  std::string dir = setup("list_nonumber");
  e2e::Run r = e2e::run_ingest(dir, {kLists + "sharppy_OAX_2014061619.txt"});
  EXPECT_EQ(r.status, 30);
  EXPECT_NE(r.err.find("Station OAX 2014-06-16 19Z: no WMO number"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("0 files; 0 NIL, 1 rejected"), std::string::npos) << r.out;
  EXPECT_TRUE(files_in(dir + "out").empty());
}
