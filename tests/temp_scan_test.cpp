// The TEMP bulletin scanner: tokens, "=", line ends and bulletin bounds are found in one
// pass over chunks of any size, so a report comes out the same wherever the chunks are
// cut. Each text is read whole and checked against values worked by hand from the code
// form (WMO-No. 306, FM 35: YYGGId, IIiii, 99PPP, TTTDD, dddff); then it is fed in every
// chunk size from 1 to 64 bytes and cut in two at every byte, and nothing may change: not
// a report, a count nor a message.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_feed.h"
#include "zudingest.h"

namespace {

// Part A of Albany, 6th day, 00Z, winds in knots (56 = 6 + 50), Id 1: the surface at 1001
// mb, -3.9 C (tenths digit 9 odd: below zero), dew-point depression code 58 = 8 C, so
// -11.9 C, wind 290 degrees 4 knots.
const std::string kAlbany = "TTAA 56001 72518 99001 03958 29004";
// Part A of Norman: surface 978 mb, 20.2 C (even tenths), code 59 = 9 C, wind 310/9 kt.
const std::string kNorman = "TTAA 56001 72357 99978 20259 31009";

Fed read_text(const std::string& text, std::size_t chunk) {
  auto reader = TEMP_reader();
  return feed_reader(reader.get(), {text}, chunk);
}

// Two chunks cut at `at`.
Fed read_cut(const std::string& text, std::size_t at) {
  auto reader = TEMP_reader();
  Fed r;
  testing::internal::CaptureStderr();
  reader->feed(text.data(), at);
  reader->feed(text.data() + at, text.size() - at);
  reader->end_file();
  reader->finish(0, &r.reps);
  r.err = testing::internal::GetCapturedStderr();
  r.counts = reader->counts;
  return r;
}

struct Case {
  const char* name;
  std::string text;
  int reports, bulletins, corrected;
  float sfc_p;  // surface pressure of the first sounding (mb), MISSING when none
};

std::vector<Case> cases() {
  const std::string long_noise = std::string(5000, ' ') + std::string(3000, 'X') + " ";
  return {
      // A headless file counts as one bulletin.
      {"plain", kAlbany + "=\n", 1, 1, 0, 1001},
      {"empty file", "", 0, 0, 0, MISSING},
      // The end of the file ends a report that has no "=".
      {"no = at the end", kAlbany, 1, 1, 0, 1001},
      {"= alone on the next line", kAlbany + "\n=\n", 1, 1, 0, 1001},
      {"report over three lines", "TTAA 56001\n72518 99001\r\n03958 29004=\n", 1, 1, 0, 1001},
      // Tab, record separator, DEL and a byte above ASCII are blanks.
      {"control bytes between groups",
       "TTAA\t56001\x1e" "72518\x7f" "99001\xff" "03958 29004=\n", 1, 1, 0, 1001},
      // "=" glued to the next report's part letters ends the first.
      {"two reports on one line", kAlbany + "=" + kNorman + "=\n", 2, 1, 0, 978},
      {"NNNN ends a report", kAlbany + "\nNNNN\n", 1, 1, 0, 1001},
      // SOH and ETX bound the bulletins; CR before LF is a blank; the heading of the
      // second bulletin (CCA) makes its report a correction of the first one's.
      {"bulletins with CRLF and a correction",
       "\x01\r\r\n001 \r\r\nUSUS01 KWBC 060000\r\r\n" + kNorman + "=\r\r\n\x03" +
           "\x01\r\r\n002 \r\r\nUSUS01 KWBC 060000 CCA\r\r\nTTAA 56001 72357 99977 20259 31009=\r\r\n\x03",
       1, 2, 1, 977},
      // A line of any length is read whole: the report after 8000 bytes of noise on the
      // same line is still found.
      {"report after a long line of noise", long_noise + kAlbany + "=\n", 1, 1, 0, 1001},
  };
}

TEST(TempScan, ReadWhole) {
  for (const Case& c : cases()) {
    Fed f = read_text(c.text, c.text.size() + 1);
    EXPECT_EQ(f.counts.reports, c.reports) << c.name;
    EXPECT_EQ(f.counts.bulletins, c.bulletins) << c.name;
    EXPECT_EQ(f.counts.corrected, c.corrected) << c.name;
    EXPECT_EQ(f.counts.rejected, 0) << c.name;
    if (c.sfc_p == MISSING) {
      EXPECT_TRUE(f.reps.empty()) << c.name;
      continue;
    }
    ASSERT_FALSE(f.reps.empty()) << c.name;
    const ING_report& r = f.reps[0];
    EXPECT_FLOAT_EQ(r.sfc.p, c.sfc_p) << c.name;
    if (r.wmo == 72518) {
      EXPECT_NEAR(r.sfc.t, -3.9, 1e-4) << c.name;
      EXPECT_NEAR(r.sfc.td, -11.9, 1e-4) << c.name;
      EXPECT_FLOAT_EQ(r.sfc.dir, 290) << c.name;
      EXPECT_FLOAT_EQ(r.sfc.spd, 4) << c.name;
    } else {
      EXPECT_EQ(r.wmo, 72357) << c.name;
      EXPECT_NEAR(r.sfc.t, 20.2, 1e-4) << c.name;
      EXPECT_NEAR(r.sfc.td, 11.2, 1e-4) << c.name;
      EXPECT_FLOAT_EQ(r.sfc.dir, 310) << c.name;
    }
  }
}

// Chunks of every size from 1 to 64 bytes, and two chunks cut at every byte: "=", a line
// end or a group may fall on either side of a cut.
TEST(TempScan, AnyChunks) {
  for (const Case& c : cases()) {
    Fed whole = read_text(c.text, c.text.size() + 1);
    const std::string expected = fed_outcome(whole);
    for (std::size_t chunk = 1; chunk <= 64; ++chunk) {
      Fed f = read_text(c.text, chunk);
      ASSERT_EQ(fed_outcome(f), expected) << c.name << ", chunks of " << chunk;
    }
    if (c.text.size() > 200) continue;  // the long line: the chunk sizes above suffice
    for (std::size_t at = 0; at <= c.text.size(); ++at) {
      Fed f = read_cut(c.text, at);
      ASSERT_EQ(fed_outcome(f), expected) << c.name << ", cut at " << at;
    }
  }
}

// Long stretches are scanned 64 bytes at a time, short ones and a chunk's last bytes a
// byte at a time: both must find the same. Fed in chunks of a byte, the scanner takes
// every byte singly; read whole or in chunks longer than a block, it takes blocks, with
// tokens, "=", line ends and bounds falling at every place of a block as the text is
// shifted by one byte after another, and tokens running across blocks and chunks.
TEST(TempScan, BlocksFindWhatBytesFind) {
  std::string all;
  for (const Case& c : cases())
    if (c.text.size() < 1000) all += c.text + "\n";
  // Bytes of every class at random: digits, part letters, "=", line ends, bounds, blanks,
  // DEL and bytes above ASCII, among reports of Albany and Norman.
  std::string soup;
  unsigned seed = 12345;
  const std::string pick = "0123456789/ TTAABBNIL=\n\r\x01\x03\x7f\x80\xff\t";
  for (int i = 0; i < 3000; ++i) {
    seed = seed * 1103515245u + 12345u;
    soup += pick[(seed >> 16) % pick.size()];
    if (i % 97 == 0) soup += " " + kAlbany + "= " + kNorman + " ";
    // A report without part letters belongs to the collective only inside its bulletin.
    if (i % 89 == 0) soup += "=\x03 56001 72357 99977 20259 31009=\n";
  }
  for (std::size_t shift = 0; shift < 64; ++shift) {
    for (const std::string* body : {&all, &soup}) {
      const std::string text = std::string(shift, ' ') + *body;
      Fed bytes = read_text(text, 1);
      const std::string expected = fed_outcome(bytes);
      ASSERT_GT(bytes.counts.reports, 0) << "shift " << shift;
      for (std::size_t chunk : {text.size(), std::size_t{77}, std::size_t{128}, std::size_t{1000}}) {
        Fed f = read_text(text, chunk);
        ASSERT_EQ(fed_outcome(f), expected) << "shift " << shift << ", chunks of " << chunk;
      }
    }
  }
}

// The first three tokens of a line are held back until they are known to be a heading or
// not; a heading split over chunks still starts a bulletin, and a line that only looks
// like the start of one is report text.
TEST(TempScan, HeadingOrText) {
  struct HCase {
    const char* text;
    int bulletins;  // headings met (a headless file with reports counts one)
    int reports;
  };
  const HCase hcases[] = {
      {"USUS01 KWBC 060000\nTTAA 56001 72518 99001 03958 29004=\n", 1, 1},
      // Two headings, a report in each.
      {"USUS01 KWBC 060000\nTTAA 56001 72518 99001 03958 29004=\n"
       "USUS02 KWBC 060000 RRA\nTTAA 56001 72357 99978 20259 31009=\n", 2, 2},
      // A heading's third field must be six digits: this line is text, its report read.
      {"USUS01 KWBC 0600\nTTAA 56001 72518 99001 03958 29004=\n", 1, 1},
      // Only two heading-like tokens on the line: text.
      {"USUS01 KWBC\nTTAA 56001 72518 99001 03958 29004=\n", 1, 1},
      // A report may follow its heading on the same line.
      {"USUS01 KWBC 060000 TTAA 56001 72518 99001 03958 29004=\n", 1, 1},
  };
  for (const HCase& h : hcases) {
    const std::string text = h.text;
    for (std::size_t chunk : {text.size(), std::size_t{1}, std::size_t{3}, std::size_t{7}}) {
      Fed f = read_text(text, chunk);
      EXPECT_EQ(f.counts.bulletins, h.bulletins) << text << " chunks of " << chunk;
      EXPECT_EQ(f.counts.reports, h.reports) << text << " chunks of " << chunk;
    }
  }
}

}  // namespace
