// Published sounding lists: the Wyoming TEXT:LIST page and the SPC table parted into the
// report (mandatory, significant, wind, surface), the station and time taken from the
// page, long lists thinned, and pages that are not lists.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "reader_feed.h"
#include "run_parse.h"
#include "zudingest.h"

namespace {

const std::string kData = std::string(ZUD_TEST_DATA) + "/lists/";

using Ingest = Fed;
using e2e::slurp;

Ingest ingest(const std::string& bytes, std::size_t chunk = 4096) {
  auto reader = LIST_reader(nullptr);
  return feed_reader(reader.get(), {bytes}, chunk);
}

// The standard-level lines of a block (station token removed): the lines up to and
// including the tropopause/maximum-wind line.
std::string standard_part(const std::string& block) {
  std::string out;
  std::istringstream in(block);
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first) {
      line = line.substr(line.find(' ') + 1);
      first = false;
    }
    out += line + "\n";
    // The tropopause and maximum-wind line ends the standard part.
    if (line.rfind("88", 0) == 0 || line.rfind("X X X", 0) == 0) break;
  }
  return out;
}

}  // namespace

// Norman, 22 Dec 2018 12Z, from the page's title and information block; rows read by
// hand from the <PRE> table.
TEST(ListWyoming, NormanPage) {
  Ingest r = ingest(slurp(kData + "wyoming_72357_OUN_2018122212.html"));
  ASSERT_EQ(r.reps.size(), 1u) << r.err;
  EXPECT_EQ(r.err, "");
  const ING_report& a = r.reps[0];
  EXPECT_EQ(a.wmo, 72357);
  EXPECT_EQ(a.id, "OUN");
  EXPECT_EQ(a.date.year, 2018);
  EXPECT_EQ(a.date.month, 12);
  EXPECT_EQ(a.date.day, 22);
  EXPECT_EQ(a.date.hour, 12);
  EXPECT_FLOAT_EQ(a.lat, 35.18f);
  EXPECT_FLOAT_EQ(a.lon, -97.44f);
  EXPECT_FLOAT_EQ(a.elev, 345);
  // "  966.0    345    3.6   -1.2 ...     55      2": the first row with a temperature.
  EXPECT_FLOAT_EQ(a.sfc.p, 966);
  EXPECT_FLOAT_EQ(a.sfc.t, 3.6f);
  EXPECT_FLOAT_EQ(a.sfc.td, -1.2f);
  EXPECT_FLOAT_EQ(a.sfc.dir, 55);
  EXPECT_FLOAT_EQ(a.sfc.spd, 2);
  // " 1000.0     65": below the ground, a height only.
  const UPA_level* m = man_at(a, 1000);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 65);
  EXPECT_FLOAT_EQ(m->t, MISSING);
  // "  850.0   1397    8.8   -4.2     40   3.31     60      7"
  m = man_at(a, 850);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 1397);
  EXPECT_FLOAT_EQ(m->t, 8.8f);
  EXPECT_FLOAT_EQ(m->td, -4.2f);
  EXPECT_FLOAT_EQ(m->dir, 60);
  EXPECT_FLOAT_EQ(m->spd, 7);
  // Significant levels: the surface first, no standard level among them.
  ASSERT_GT(a.sig.size(), 50u);
  EXPECT_FLOAT_EQ(a.sig[0].p, 966);
  EXPECT_FLOAT_EQ(a.sig[1].p, 965);
  for (const UPA_sig_level& s : a.sig) EXPECT_NE(s.p, 925) << "925 mb is a standard level";
  // Every row with a wind above the surface is a wind level: 943 mb, 542 m, 137/12.
  ASSERT_FALSE(a.wind.empty());
  EXPECT_FLOAT_EQ(a.wind[1].p, 943);
  EXPECT_FLOAT_EQ(a.wind[1].h, 542);
  EXPECT_FLOAT_EQ(a.wind[1].dir, 137);
}

// The standard levels as written agree, group for group, with the converted file made
// independently from the same page (tests/data/lists/oun20181222).
TEST(ListWyoming, AgreesWithConvertedFile) {
  Ingest r = ingest(slurp(kData + "wyoming_72357_OUN_2018122212.html"));
  ASSERT_EQ(r.reps.size(), 1u);
  std::string ref = slurp(kData + "oun20181222/oun20181222.upa");
  ref = ref.substr(ref.find('\n', ref.find('\n') + 1) + 1);  // past the two header lines
  EXPECT_EQ(standard_part(ING_format_block(&r.reps[0])), standard_part(ref));
}

// Omaha 16 June 2014 19Z, the SPC table: the station by its letters (the program finds
// the number in upa.cty), -9999 as missing.
TEST(ListSpc, OmahaTable) {
  Ingest r = ingest(slurp(kData + "sharppy_OAX_2014061619.txt"));
  ASSERT_EQ(r.reps.size(), 1u) << r.err;
  const ING_report& a = r.reps[0];
  EXPECT_EQ(a.wmo, IMISSING);
  EXPECT_EQ(a.id, "OAX");
  EXPECT_EQ(a.src_id, "OAX");
  EXPECT_EQ(a.date.year, 2014);
  EXPECT_EQ(a.date.month, 6);
  EXPECT_EQ(a.date.day, 16);
  EXPECT_EQ(a.date.hour, 19);
  // " 965.00,    350.00,     27.80,     23.80,    150.00,     23.00"
  EXPECT_FLOAT_EQ(a.sfc.p, 965);
  EXPECT_FLOAT_EQ(a.sfc.h, 350);
  EXPECT_FLOAT_EQ(a.sfc.td, 23.8f);
  EXPECT_FLOAT_EQ(a.sfc.spd, 23);
  // " 1000.00,    34.00,  -9999.00, ...": height only.
  const UPA_level* m = man_at(a, 1000);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 34);
  EXPECT_FLOAT_EQ(m->t, MISSING);
  EXPECT_FLOAT_EQ(m->dir, MISSING);
  // Every mandatory level against the independently converted file.
  ING_report w = a;
  w.wmo = 72558;
  std::string ref = slurp(kData + "oax20140616/oax20140616.upa");
  ref = ref.substr(ref.find('\n', ref.find('\n') + 1) + 1);
  EXPECT_EQ(standard_part(ING_format_block(&w)), standard_part(ref));
}

// Several soundings on one page; observation minutes rounded to the nearest hour (19:30
// is 20Z, 23:45 on the 30th of June is 00Z on 1 July); chunking does not matter.
TEST(ListSpc, SeveralSoundingsAndMinutes) {
  const char* table =
      "%TITLE%\n"
      " OAX   140616/1930 \n\n"
      "   LEVEL       HGHT       TEMP       DWPT       WDIR       WSPD\n"
      "-------------------------------------------------------------------\n"
      "%RAW%\n"
      " 965.00,    350.00,     27.80,     23.80,    150.00,     23.00\n"
      " 850.00,   1460.00,     21.00,     14.00,    180.00,     50.00\n"
      "%END%\n";
  std::string page = std::string(table) + table;
  page.replace(page.rfind("140616/1930"), 11, "140630/2345");
  for (std::size_t chunk : {1u, 5u, 4096u}) {
    Ingest r = ingest(page, chunk);
    ASSERT_EQ(r.reps.size(), 2u) << chunk;
    EXPECT_EQ(r.reps[0].date.hour, 20);
    EXPECT_EQ(r.reps[1].date.month, 7);
    EXPECT_EQ(r.reps[1].date.day, 1);
    EXPECT_EQ(r.reps[1].date.hour, 0);
    const UPA_level* m = man_at(r.reps[1], 850);
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->spd, 50);
  }
}

// A list longer than the layout holds is thinned, not cut: 400 levels of a curve with
// two sharp bends (inversions at 700 and 300 mb); the bends and the top survive, and
// the report says what was done.
TEST(ListSpc, LongListThinned) {
  std::string page = "%TITLE%\n 72558   140616/1200\n\n   LEVEL  HGHT  TEMP  DWPT  WDIR  WSPD\n%RAW%\n";
  const int n = 400;
  for (int i = 0; i < n; ++i) {
    double p = 990.0 - i * (990.0 - 101.0) / (n - 1);
    // Piecewise linear in ln p with corners at 700 and 300 mb.
    double t = p >= 700 ? 20 - 40 * std::log(990 / p) : p >= 300 ? 6.1 + 30 * std::log(700 / p)
                                                                  : 31.5 - 60 * std::log(300 / p);
    char row[160];
    std::snprintf(row, sizeof row, " %.2f, %.2f, %.2f, %.2f, -9999.00, -9999.00\n", p, 100.0 + i * 40,
                  t, t - 5);
    page += row;
  }
  page += "%END%\n";
  Ingest r = ingest(page);
  ASSERT_EQ(r.reps.size(), 1u);
  const ING_report& a = r.reps[0];
  EXPECT_LE(a.sig.size(), static_cast<std::size_t>(UPA_MAX_SIG));
  EXPECT_GE(a.sig.size(), 3u);
  EXPECT_FLOAT_EQ(a.sig.front().p, 990);
  EXPECT_FLOAT_EQ(a.sig.back().p, 101);
  // A row beside each corner (rows are 2.23 mb apart) is kept: every level lies on one
  // of three straight lines in ln p, so only the corners depart from a chord.
  auto near = [&](double p) {
    for (const UPA_sig_level& s : a.sig)
      if (std::fabs(s.p - p) < 2.3) return true;
    return false;
  };
  EXPECT_TRUE(near(700));
  EXPECT_TRUE(near(300));
  ASSERT_EQ(a.notes.size(), 1u);
  EXPECT_NE(a.notes[0].find("400 significant levels thinned"), std::string::npos) << a.notes[0];
  EXPECT_NE(a.notes[0].find("tolerance 0.5 C"), std::string::npos);
}

// Pages that are not lists, and lists that do not read.
TEST(ListBadInput, Refused) {
  // An HTML page without a table (the service's "Can't get" answer).
  Ingest none = ingest("<HTML>\n<TITLE>University of Wyoming - Radiosonde Data</TITLE>\n"
                       "<BODY>Can't get 72357 OUN Norman Observations</BODY></HTML>\n");
  EXPECT_EQ(none.reps.size(), 0u);
  EXPECT_EQ(none.counts.rejected, 1);
  EXPECT_NE(none.err.find("no sounding table"), std::string::npos) << none.err;

  // A row with a field too few: the sounding is named and refused, the next one read.
  std::string spc = slurp(kData + "sharppy_OAX_2014061619.txt");
  std::string bad = spc;
  bad.replace(bad.find(" 850.00,   1460.00,"), 19, " 850.00,");
  Ingest b = ingest(bad + spc);
  EXPECT_EQ(b.reps.size(), 1u);
  EXPECT_EQ(b.counts.rejected, 1);
  EXPECT_NE(b.err.find("SPC OAX   140616/1900: 1 rows not readable"), std::string::npos) << b.err;

  // A Wyoming row with a word in a number column.
  std::string wyo = slurp(kData + "wyoming_72357_OUN_2018122212.html");
  wyo.replace(wyo.find("  850.0   1397"), 14, "  850.0   13x7");
  Ingest w = ingest(wyo);
  EXPECT_EQ(w.reps.size(), 0u);
  EXPECT_NE(w.err.find("HGHT \"13x7\" is not a number"), std::string::npos) << w.err;

  auto reader = LIST_reader(nullptr);
  const std::string igra = "#AUM00011035 2015 01 23 12 1134  123 ncdc-gts           482333   163500\n";
  const std::string temp = "TTAA 56001 72518 99012 ";
  EXPECT_TRUE(reader->recognises(spc.data(), 64));
  EXPECT_TRUE(reader->recognises(wyo.data(), 64));
  EXPECT_FALSE(reader->recognises(igra.data(), igra.size()));
  EXPECT_FALSE(reader->recognises(temp.data(), temp.size()));
}
