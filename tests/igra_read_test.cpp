// IGRA 2 station files: the column decoding of header and data records, the mapping of
// level types onto the report, the two station files of the archive read whole (gzip and
// plain, in any chunking), the selection, and damaged input.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "reader_feed.h"
#include "run_parse.h"
#include "zudingest.h"

namespace {

const std::string kData = std::string(ZUD_TEST_DATA) + "/igra/";
constexpr double kKt = 3600.0 / 1852.0;  // knots per m/s

using Ingest = Fed;
using e2e::slurp;

// Feeds the bytes of each file in chunks of `chunk` bytes.
Ingest ingest(const std::vector<std::string>& files, std::size_t chunk = 4096,
              const ING_select* sel = nullptr) {
  auto reader = IGRA_reader(sel);
  return feed_reader(reader.get(), files, chunk);
}

}  // namespace

// Data records cut by column: values that run into their flags, negative numbers that
// touch the field before, -8888 removals and the level types met in the archive. Every
// expected value is the raw field read by hand: tenths divided by 10, Pa by 100, the
// depression subtracted from the temperature, m/s times 3600/1852.
TEST(IgraColumns, DataRecords) {
  struct Case {
    const char* line;
    int major, minor;
    float p, h, t, td, dir;
    double spd;
    int removed;
  };
  const float X = MISSING;
  const Case cases[] = {
      // Vienna's first surface: no height, flag B on p and t, 300 deg at 5.0 m/s.
      {"21 -9999  99200B-9999    38B-9999    22   300    50 ", 2, 1, 992, X, 3.8f, 1.6f, 300, 5.0 * kKt, 0},
      // A standard level with its height: 925 mb, 763 m, 0.6 C, depression 0.2.
      {"10 -9999  92500   763B    6B-9999     2   340   120 ", 1, 0, 925, 763, 0.6f, 0.4f, 340, 12.0 * kKt, 0},
      // Temperature -59.9 touching its flag A, depression 27.0: dew point -86.9.
      {"10 -9999  10000 16040B -599A-9999   270   255   365 ", 1, 0, 100, 16040, -59.9f, -86.9f, 255, 36.5 * kKt, 0},
      // Temperature and depression removed by quality control; the wind stays.
      {"10 -9999  20000 11920B-8888 -9999 -8888   255   319 ", 1, 0, 200, 11920, X, X, 255, 31.9 * kKt, 2},
      // Speed removed: the wind goes, the temperature stays.
      {"10 -9999   7000 18610B -625A-9999   270 -9999 -8888 ", 1, 0, 70, 18610, -62.5f, -89.5f, X, X, 1},
      // Height-only wind level (PILOT data): 300 m, 15 deg at 14.9 m/s.
      {"30 -9999  -9999   300 -9999 -9999 -9999    15   149 ", 3, 0, X, 300, X, X, 15, 14.9 * kKt, 0},
      // The undocumented type 01: nothing but a wind.
      {"01 -9999  -9999 -9999 -9999 -9999 -9999   360    62 ", 0, 1, X, X, X, X, 360, 6.2 * kKt, 0},
      // The tropopause, 256 mb, -62.7 C, depression 5.0.
      {"22 -9999  25600 -9999  -627B-9999    50   225    60 ", 2, 2, 256, X, -62.7f, -67.7f, 225, 6.0 * kKt, 0},
      // Without the trailing blank (51 columns) and with a carriage return cut off before.
      {"20 -9999  91700 -9999   -63A-9999     0 -9999 -9999", 2, 0, 917, X, -6.3f, -6.3f, X, X, 0},
  };
  for (const Case& c : cases) {
    IGRA_level l;
    std::string why;
    ASSERT_EQ(IGRA_decode_level(c.line, std::strlen(c.line), &l, &why), 0) << c.line << ": " << why;
    EXPECT_EQ(l.major, c.major) << c.line;
    EXPECT_EQ(l.minor, c.minor) << c.line;
    EXPECT_FLOAT_EQ(l.p, c.p) << c.line;
    EXPECT_FLOAT_EQ(l.h, c.h) << c.line;
    EXPECT_NEAR(l.t, c.t, 1e-4) << c.line;
    EXPECT_NEAR(l.td, c.td, 1e-4) << c.line;
    EXPECT_FLOAT_EQ(l.dir, c.dir) << c.line;
    EXPECT_NEAR(l.spd, c.spd, 1e-4) << c.line;
    EXPECT_EQ(l.removed, c.removed) << c.line;
  }
}

// Records that are not in the layout are refused with the reason, never guessed at.
TEST(IgraColumns, RefusedRecords) {
  struct Case {
    const char* line;
    const char* why;
  };
  const Case cases[] = {
      {" 21 -9999  99200B-9999    38B-9999    22   300    50", "level type"},   // shifted right
      {"1 -9999  99200B-9999    38B-9999    22   300    50  ", "level type"},   // shifted left
      {"20  -9999 91700 -9999   -63A-9999     0 -9999 -9999 ", "column 9"},     // one field shifted
      {"21 -9999  992007-9999    38B-9999    22   300    50 ", "flag column 16"},
      {"21 -9999  99x00B-9999    38B-9999    22   300    50 ", "pressure"},
      {"21 -9999  99200B-9999    38B-9999    22   3-0    50 ", "wind direction"},
      {"21 -9999  99200B-9999    38B-9999", "characters"},                       // cut short
      {"42 -9999  99200B-9999    38B-9999    22   300    50 ", "level type"},
  };
  for (const Case& c : cases) {
    IGRA_level l;
    std::string why;
    EXPECT_EQ(IGRA_decode_level(c.line, std::strlen(c.line), &l, &why), -1) << c.line;
    EXPECT_NE(why.find(c.why), std::string::npos) << c.line << " -> " << why;
  }
}

// Header records: identifier, date, level count and position (degrees x 10 000).
TEST(IgraColumns, Headers) {
  struct Case {
    const char* line;
    int rc;
    int year, month, day, hour, numlev;
    float lat, lon;
    const char* why;
  };
  const Case cases[] = {
      {"#AUM00011035 2015 01 23 12 1134  123 ncdc-gts           482333   163500", 0, 2015, 1, 23, 12, 123, 48.2333f, 16.35f, ""},
      // Blank P_SRC, four levels, west longitude.
      {"#CAM00071701 2024 01 13 18 1921    4          ncdc-gts  458333  -664333", 0, 2024, 1, 13, 18, 4, 45.8333f, -66.4333f, ""},
      // Hour 99: the release hour 11 stands in.
      {"#AUM00011035 2015 01 23 99 1134  123 ncdc-gts           482333   163500", 0, 2015, 1, 23, 11, 123, 48.2333f, 16.35f, ""},
      // Neither hour known.
      {"#AUM00011035 2015 01 23 99 9999  123 ncdc-gts           482333   163500", -1, 0, 0, 0, 0, 0, 0, 0, "hour"},
      {"#AUM00011035 2015 02 29 12 1134  123 ncdc-gts           482333   163500", -1, 0, 0, 0, 0, 0, 0, 0, "calendar"},
      {"#AUM00011035  2015 01 23 12 1134  123 ncdc-gts          482333   163500", -1, 0, 0, 0, 0, 0, 0, 0, "column 18"},
      {"#AUM00011035 2015 01 23 12 1134  1x3 ncdc-gts           482333   163500", -1, 0, 0, 0, 0, 0, 0, 0, "level count"},
      {"#AUM00011035 2015 01 23 12 1134  123", -1, 0, 0, 0, 0, 0, 0, 0, "characters"},
  };
  for (const Case& c : cases) {
    IGRA_header h;
    std::string why;
    ASSERT_EQ(IGRA_decode_header(c.line, std::strlen(c.line), &h, &why), c.rc) << c.line << ": " << why;
    if (c.rc != 0) {
      EXPECT_NE(why.find(c.why), std::string::npos) << c.line << " -> " << why;
      continue;
    }
    EXPECT_EQ(h.id, std::string(c.line + 1, 11));
    EXPECT_EQ(h.date.year, c.year);
    EXPECT_EQ(h.date.month, c.month);
    EXPECT_EQ(h.date.day, c.day);
    EXPECT_EQ(h.date.hour, c.hour);
    EXPECT_EQ(h.numlev, c.numlev);
    EXPECT_NEAR(h.lat, c.lat, 1e-4);
    EXPECT_NEAR(h.lon, c.lon, 1e-4);
  }
  // Only network code M carries a WMO number (its last five characters).
  EXPECT_EQ(IGRA_wmo("AUM00011035"), 11035);
  EXPECT_EQ(IGRA_wmo("CAM00071701"), 71701);
  EXPECT_EQ(IGRA_wmo("USW00023066"), IMISSING);
  EXPECT_EQ(IGRA_wmo("ZZXUAAA0001"), IMISSING);
}

// Vienna, first half of 2015, gzipped: 321 headers in the file (zcat | grep -c '^#').
// The first sounding (2015-01-23 12Z) against its raw lines.
TEST(IgraFiles, ViennaWhole) {
  Ingest r = ingest({slurp(kData + "AUM00011035-data.txt.gz")});
  EXPECT_EQ(r.counts.reports, 321);
  EXPECT_EQ(r.counts.rejected, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.reps.size(), 321u);
  const ING_report& a = r.reps.front();
  EXPECT_EQ(a.wmo, 11035);
  EXPECT_EQ(a.src_id, "AUM00011035");
  EXPECT_EQ(a.date.year, 2015);
  EXPECT_EQ(a.date.month, 1);
  EXPECT_EQ(a.date.day, 23);
  EXPECT_EQ(a.date.hour, 12);
  EXPECT_NEAR(a.lat, 48.2333, 1e-4);
  // "21 -9999  99200B-9999    38B-9999    22   300    50": the surface and its wind.
  EXPECT_FLOAT_EQ(a.sfc.p, 992);
  EXPECT_NEAR(a.sfc.t, 3.8, 1e-4);
  EXPECT_NEAR(a.sfc.td, 1.6, 1e-4);
  EXPECT_FLOAT_EQ(a.sfc.dir, 300);
  EXPECT_NEAR(a.sfc.spd, 5.0 * kKt, 1e-4);
  // The surface heads the significant levels; the next is 947 mb, 0.8 C.
  ASSERT_GE(a.sig.size(), 2u);
  EXPECT_FLOAT_EQ(a.sig[0].p, 992);
  EXPECT_FLOAT_EQ(a.sig[1].p, 947);
  EXPECT_NEAR(a.sig[1].t, 0.8, 1e-4);
  // "10 -9999  85000  1441B  -15B-9999     2    20   100"
  const UPA_level* m = man_at(a, 850);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 1441);
  EXPECT_NEAR(m->t, -1.5, 1e-4);
  EXPECT_NEAR(m->td, -1.7, 1e-4);
  EXPECT_FLOAT_EQ(m->dir, 20);
  EXPECT_NEAR(m->spd, 10.0 * kKt, 1e-4);
  // "22 -9999  25600 -9999  -627B-9999    50   225    60": the first tropopause.
  ASSERT_FALSE(a.trop.empty());
  EXPECT_FLOAT_EQ(a.trop[0].p, 256);
  EXPECT_NEAR(a.trop[0].t, -62.7, 1e-4);
  // "20 -9999  97700 -9999 -9999 -9999 -9999   300   110": a wind by pressure alone.
  ASSERT_FALSE(a.wind.empty());
  EXPECT_FLOAT_EQ(a.wind[0].p, 977);
  EXPECT_FLOAT_EQ(a.wind[0].h, MISSING);
  EXPECT_NEAR(a.wind[0].spd, 11.0 * kKt, 1e-4);

  // The last sounding, 2015-06-30 12Z: "21 -9999  99700B-9999   266B-9999   490    70    20"
  // and "10 -9999  70000  3159B   -7B-9999    27   335   110".
  const ING_report& z = r.reps.back();
  EXPECT_EQ(z.date.month, 6);
  EXPECT_EQ(z.date.day, 30);
  EXPECT_EQ(z.date.hour, 12);
  EXPECT_FLOAT_EQ(z.sfc.p, 997);
  EXPECT_NEAR(z.sfc.t, 26.6, 1e-4);
  EXPECT_NEAR(z.sfc.td, 26.6 - 49.0, 1e-4);
  m = man_at(z, 700);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 3159);
  EXPECT_NEAR(m->t, -0.7, 1e-4);
  EXPECT_NEAR(m->td, -3.4, 1e-4);
}

// Gagetown 2021-2024, 242 headers; height-only wind levels and the type 01 surface wind.
TEST(IgraFiles, GagetownWhole) {
  Ingest r = ingest({slurp(kData + "CAM00071701-data.txt.gz")});
  EXPECT_EQ(r.counts.reports, 242);
  EXPECT_EQ(r.counts.rejected, 0);
  ASSERT_EQ(r.reps.size(), 242u);
  // First: 2021-01-26 12Z, "21 -9999 100800B-9999   -57B-9999    30   275    31".
  const ING_report& a = r.reps.front();
  EXPECT_EQ(a.wmo, 71701);
  EXPECT_EQ(a.date.year, 2021);
  EXPECT_FLOAT_EQ(a.sfc.p, 1008);
  EXPECT_NEAR(a.sfc.t, -5.7, 1e-4);
  EXPECT_NEAR(a.sfc.td, -8.7, 1e-4);
  EXPECT_FLOAT_EQ(a.sfc.dir, 275);
  EXPECT_NEAR(a.sfc.spd, 3.1 * kKt, 1e-4);
  // "10 -9999 100000   116B  -63B-9999    19   285    46": 1000 mb above the surface.
  const UPA_level* m = man_at(a, 1000);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 116);
  EXPECT_NEAR(m->td, -8.2, 1e-4);
  // Last: 2024-01-25 06Z, 47 levels; "10 -9999  92500   862A  -25A-9999     1   235   201".
  const ING_report& z = r.reps.back();
  EXPECT_EQ(z.date.year, 2024);
  EXPECT_EQ(z.date.hour, 6);
  EXPECT_FLOAT_EQ(z.sfc.p, 1024);
  m = man_at(z, 925);
  ASSERT_NE(m, nullptr);
  EXPECT_FLOAT_EQ(m->h, 862);
  EXPECT_NEAR(m->t, -2.5, 1e-4);
  EXPECT_NEAR(m->spd, 20.1 * kKt, 1e-4);

  // 2021-03-27 08Z has no surface record; its type 01 "... 360    62" is the surface
  // wind, and its type 30 levels are winds by height ("30 ... 300 ... 15 149").
  const ING_report* s = nullptr;
  for (const ING_report& x : r.reps)
    if (x.date.year == 2021 && x.date.month == 3 && x.date.day == 27 && x.date.hour == 8) s = &x;
  ASSERT_NE(s, nullptr);
  EXPECT_FLOAT_EQ(s->sfc.p, MISSING);
  EXPECT_FLOAT_EQ(s->sfc.dir, 360);
  EXPECT_NEAR(s->sfc.spd, 6.2 * kKt, 1e-4);
  bool found = false;
  for (const ING_wind& w : s->wind)
    if (w.h == 300 && w.p == MISSING && w.dir == 15) found = true;
  EXPECT_TRUE(found);
}

// gzip or plain, whole or in odd chunks (a record split anywhere, even the gzip magic):
// the same blocks.
TEST(IgraFiles, GzipPlainAndChunksAgree) {
  std::string gz = slurp(kData + "AUM00011035-data.txt.gz");
  std::string text = gunzip(kData + "AUM00011035-data.txt.gz");
  ASSERT_GT(text.size(), 1000000u);
  Ingest a = ingest({gz}, 1 << 20);
  Ingest b = ingest({text}, 1 << 20);
  Ingest c = ingest({gz}, 1);
  Ingest d = ingest({text}, 997);
  ASSERT_EQ(a.reps.size(), 321u);
  ASSERT_EQ(b.reps.size(), a.reps.size());
  ASSERT_EQ(c.reps.size(), a.reps.size());
  ASSERT_EQ(d.reps.size(), a.reps.size());
  for (std::size_t i = 0; i < a.reps.size(); i += 40) {
    std::string block = ING_format_block(&a.reps[i]);
    EXPECT_EQ(ING_format_block(&b.reps[i]), block) << i;
    EXPECT_EQ(ING_format_block(&c.reps[i]), block) << i;
    EXPECT_EQ(ING_format_block(&d.reps[i]), block) << i;
  }
  // Two files through one reader: both counted, nothing carried from one to the other.
  Ingest e = ingest({slurp(kData + "AUM00011035-data_first3.txt"), gz});
  EXPECT_EQ(e.counts.reports, 3 + 321);
  EXPECT_EQ(e.counts.bulletins, 2);
}

// The window and the station list read soundings out while reading: -ho 15061200 -nh 24
// keeps 2015-06-11 12Z and 2015-06-12 00Z (11 June 00Z is 24 h back, outside), by the
// header list of the file (zcat | grep '^#AUM00011035 2015 06 1[12]').
TEST(IgraFiles, Selection) {
  ING_select sel;
  ASSERT_EQ(ING_set_window("15061200", "24", 0, &sel), 0);
  Ingest r = ingest({slurp(kData + "AUM00011035-data.txt.gz")}, 4096, &sel);
  ASSERT_EQ(r.reps.size(), 2u);
  EXPECT_EQ(r.reps[0].date.day, 11);
  EXPECT_EQ(r.reps[0].date.hour, 12);
  EXPECT_EQ(r.reps[1].date.day, 12);
  EXPECT_EQ(r.reps[1].date.hour, 0);

  ING_select by_id;
  ING_set_ids("71701", &by_id);
  EXPECT_EQ(ingest({slurp(kData + "AUM00011035-data.txt.gz")}, 4096, &by_id).reps.size(), 0u);
  ING_set_ids("aum00011035", &by_id);  // identifiers compare without regard to case
  EXPECT_EQ(ingest({slurp(kData + "AUM00011035-data_first3.txt")}, 4096, &by_id).reps.size(), 3u);
}

// Damaged input: a cut gzip file, a header whose count disagrees with its records,
// columns shifted by one. Each is named in a message; the other soundings come through.
TEST(IgraFiles, DamagedInput) {
  // The gzip file cut after 100 000 of its bytes.
  std::string gz = slurp(kData + "AUM00011035-data.txt.gz");
  Ingest cut = ingest({gz.substr(0, 100000)});
  EXPECT_NE(cut.err.find("gzip stream ends early"), std::string::npos) << cut.err;
  EXPECT_GT(cut.reps.size(), 50u);
  EXPECT_LT(cut.reps.size(), 321u);
  EXPECT_LE(cut.counts.rejected, 1);  // the sounding cut in half, when the cut splits one

  // The first three soundings of Vienna (123, 104, 104 levels).
  std::string text = slurp(kData + "AUM00011035-data_first3.txt");
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 3u + 123 + 104 + 104);
  auto join = [](const std::vector<std::string>& ls) {
    std::string s;
    for (const std::string& l : ls) s += l + "\n";
    return s;
  };

  // The first header claims 124 levels: 123 follow.
  std::vector<std::string> count = lines;
  count[0].replace(32, 4, " 124");
  Ingest c = ingest({join(count)});
  EXPECT_EQ(c.reps.size(), 2u);
  EXPECT_EQ(c.counts.rejected, 1);
  EXPECT_NE(c.err.find("IGRA AUM00011035 2015-01-23 12Z: header gives 124 levels, 123 follow"),
            std::string::npos)
      << c.err;

  // One record of the second sounding shifted right by a blank.
  std::vector<std::string> shifted = lines;
  shifted[1 + 123 + 1 + 10] = " " + shifted[1 + 123 + 1 + 10];
  Ingest s = ingest({join(shifted)});
  ASSERT_EQ(s.reps.size(), 2u);
  EXPECT_EQ(s.reps[0].date.day, 23);
  EXPECT_EQ(s.reps[1].date.day, 24);
  EXPECT_EQ(s.reps[1].date.hour, 12);
  EXPECT_NE(s.err.find("line 136: level type"), std::string::npos) << s.err;
  EXPECT_NE(s.err.find("sounding not ingested"), std::string::npos);

  // A header shifted: its sounding is skipped, the records under it are not read into
  // the sounding before.
  std::vector<std::string> head = lines;
  head[124] = "#" + head[124];
  Ingest h = ingest({join(head)});
  EXPECT_EQ(h.reps.size(), 2u);
  EXPECT_NE(h.err.find("line 125: header record not readable"), std::string::npos) << h.err;
  EXPECT_EQ(h.reps[0].sig.size(), ingest({text}).reps[0].sig.size());

  // A station without a WMO number (network code W): named, not ingested.
  std::string wban = text;
  for (std::size_t at = wban.find("#AUM00011035"); at != std::string::npos;
       at = wban.find("#AUM00011035", at + 1))
    wban.replace(at, 12, "#USW00023066");
  Ingest w = ingest({wban});
  EXPECT_EQ(w.reps.size(), 0u);
  EXPECT_EQ(w.counts.rejected, 3);
  EXPECT_NE(w.err.find("IGRA USW00023066 2015-01-23 12Z: station without a WMO number"),
            std::string::npos)
      << w.err;

  // Binary noise is not an IGRA file and yields nothing, with a message.
  auto reader = IGRA_reader(nullptr);
  std::string noise(3000, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 % 251);
  EXPECT_FALSE(reader->recognises(noise.data(), noise.size()));
  EXPECT_TRUE(reader->recognises(gz.data(), 512));
  EXPECT_TRUE(reader->recognises(text.data(), 80));
}
