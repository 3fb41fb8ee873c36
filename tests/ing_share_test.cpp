// Work shared between the calling thread and the worker: every piece runs once and its
// messages come back in its own list; the TEMP reader (scan and decoding) and the
// converted-file writer give, on inputs large enough to be shared, the same reports,
// tallies, messages and bytes as on one thread. The expected results are those of the
// one-thread run, which the other tests check against hand-worked values; these tests
// check that the threads change nothing, whatever the order in which they take pieces.
// Each is also run with the work cut in halves on one thread (jobs -1), the back half as
// the worker runs it, so that the joining is checked whatever the timing of the threads.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "reader_feed.h"
#include "tmpdir.h"
#include "zudingest.h"

namespace {

// Puts the default thread count back after a test.
struct Jobs {
  explicit Jobs(int n) { ING_set_jobs(n); }
  ~Jobs() { ING_set_jobs(0); }
};

constexpr std::size_t kProgramChunk = 1 << 18;  // as ua_ingest reads: shared when large
constexpr std::size_t kSmallChunk = 4096;       // never shared: the one-thread scan
constexpr std::int64_t kNow = 1770379200;       // 2026-02-06 12Z: the feed's month

std::string read_temp(const std::string& text, int jobs, std::size_t chunk) {
  Jobs j(jobs);
  auto reader = TEMP_reader();
  Fed f = feed_reader(reader.get(), {text}, chunk, kNow);
  return fed_outcome(f);
}

// Five digits with leading zeros.
std::string d5(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%05d", v);
  return b;
}

// Bulletins (SOH, heading, report, ETX) in which each of 80 stations sends its part A
// fifty times, spread over the whole text: the same report again (a
// retransmission), a fuller one (which replaces it), a correction under a CCA heading
// (which replaces whatever came before and is not displaced by a later fuller sending),
// with NIL reports, ship reports and unreadable identifications (messages) between them.
// Which sending is kept depends on their order in the text, across the pieces the
// threads take.
std::string contested_bulletins() {
  const char* const kLevels[] = {"00110 10456 27015", "92780 08656 27520", "85500 06256 28025",
                                 "70070 02458 28530", "50560 15562 29040", "40720 27170 29545"};
  std::string text;
  for (int i = 0; i < 4000; ++i) {
    const int station = 72201 + 7 * (i % 80);
    const int variant = (i / 80) % 5;
    text += "\x01\r\r\n" + std::to_string(i % 1000) + " \r\r\nUSUS01 KWBC 060000";
    text += variant == 3 ? " CCA\r\r\n" : "\r\r\n";
    if (i % 13 == 0) {
      text += "TTAA 56001 " + d5(station + 1) + " NIL=\r\r\n";
    } else if (i % 17 == 0) {
      text += "UUAA 56001 99" + d5(300 + i % 50).substr(2) + " 50123 12345=\r\r\n";
    } else if (i % 19 == 0) {
      text += "TTAA 5600X " + d5(station) + " 99012 10456 27015=\r\r\n";
    }
    // Surface pressure 1000 + i % 50 mb tells the sendings apart.
    text += "TTAA 56001 " + d5(station) + " 99" + d5(i % 50).substr(2) + " 11456 26010";
    const int levels = variant == 2 ? 6 : variant == 3 ? 2 : variant == 4 ? 5 : 3;
    for (int k = 0; k < levels; ++k) text += std::string(" ") + kLevels[k];
    text += "=\r\r\n\x03";
    if (variant == 1) text += text.substr(text.rfind('\x01'));  // sent twice in a row
  }
  return text;
}

std::string feed_text() {
  return gunzip(std::string(ZUD_TEST_DATA) + "/ingest/feed_2026-02-06_00Z.rawins.gz");
}

}  // namespace

// Every piece runs exactly once: this thread's from the front, the worker's from the back,
// the worker's messages in their own lists in the order printed, this thread's printed
// as they come; afterwards the calling thread prints directly again.
TEST(IngShare, EveryPieceOnceFromBothEnds) {
  for (int jobs : {1, -1, 2}) {
    Jobs j(jobs);
    constexpr std::size_t kPieces = 300;
    std::vector<std::vector<MESS_held>> held(kPieces);
    std::vector<std::atomic<int>> runs(kPieces);
    auto piece = [&runs](std::size_t i) {
      ++runs[i];
      MESS_print(MESS_WARN, "piece %zu\n", i);
      volatile double x = 0;  // some work, so that both threads take pieces
      for (int k = 0; k < 2000; ++k) x = x + k * 0.5;
      MESS_print(MESS_WARN, "piece %zu done\n", i);
    };
    testing::internal::CaptureStderr();
    const std::size_t m = ING_share_ends(held, piece, piece);
    const std::string direct = testing::internal::GetCapturedStderr();
    ASSERT_LE(m, kPieces);
    if (jobs == 1) {
      EXPECT_EQ(m, kPieces);
    } else if (jobs == -1) {
      EXPECT_EQ(m, kPieces / 2);
    }
    std::string expected;  // this thread's pieces, 0 to m - 1, printed in order
    for (std::size_t i = 0; i < kPieces; ++i) {
      const std::string num = std::to_string(i);
      const std::string text = "piece " + num + "\npiece " + num + " done\n";
      EXPECT_EQ(runs[i].load(), 1) << "piece " << i << ", " << jobs << " threads";
      if (i < m) {
        expected += text;
        EXPECT_TRUE(held[i].empty()) << "piece " << i;
        continue;
      }
      ASSERT_EQ(held[i].size(), 2u) << "piece " << i;
      EXPECT_EQ(held[i][0].text + held[i][1].text, text);
    }
    EXPECT_EQ(direct, expected);
    testing::internal::CaptureStderr();
    MESS_print(MESS_WARN, "after\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after\n");
  }
}

// The contested sendings: the kept report of each station, the counts of corrections and
// retransmissions, and the messages in their order come out as on one thread.
TEST(IngShare, ScanKeepsTheOrderOfSendings) {
  const std::string text = contested_bulletins();
  ASSERT_GT(text.size(), 4 * kProgramChunk / 2);  // several chunks, each shared
  const std::string one = read_temp(text, 1, kProgramChunk);
  // The input is contested as meant: corrections, retransmissions, NIL reports, ship
  // reports and unreadable identifications all occur.
  EXPECT_EQ(one.find("corrected 0 "), std::string::npos);
  EXPECT_EQ(one.find("duplicates 0\n"), std::string::npos);
  EXPECT_EQ(one.find("nil 0 "), std::string::npos);
  EXPECT_NE(one.find("Rejected UUAA"), std::string::npos);
  EXPECT_NE(one.find("identification unreadable"), std::string::npos);
  for (int jobs : {-1, 2}) {
    EXPECT_EQ(read_temp(text, jobs, kProgramChunk), one) << jobs;
    EXPECT_EQ(read_temp(text, jobs, kProgramChunk / 2 + 1), one) << jobs;  // bounds elsewhere
    EXPECT_EQ(read_temp(text, jobs, kSmallChunk), one) << jobs;
  }
}

// The whole feed of 06 February 2026 00Z, read as the program reads it.
TEST(IngShare, FeedAsOnOneThread) {
  const std::string text = feed_text();
  ASSERT_GT(text.size(), 2 * kProgramChunk);
  const std::string one = read_temp(text, 1, kProgramChunk);
  EXPECT_EQ(read_temp(text, -1, kProgramChunk), one);
  EXPECT_EQ(read_temp(text, 2, kProgramChunk), one);
  EXPECT_EQ(read_temp(text + text, 2, kProgramChunk), read_temp(text + text, 1, kProgramChunk));
}

// The converted file of the feed's main time, written new and then over an existing file
// holding half of the stations, is the same byte for byte on one thread and on two, and
// so are the notes of each report.
TEST(IngShare, WriterAsOnOneThread) {
  std::vector<ING_report> reps;
  {
    Jobs j(1);
    auto reader = TEMP_reader();
    reps = feed_reader(reader.get(), {feed_text()}, kProgramChunk, kNow).reps;
  }
  std::erase_if(reps, [](const ING_report& r) { return r.date.day != 6 || r.date.hour != 0; });
  ASSERT_GT(reps.size(), 200u);
  const Date date = reps.front().date;
  auto write = [&date](const std::string& path, std::vector<ING_report> copy, std::size_t from,
                       std::string* notes) {
    std::vector<ING_report*> ptrs;
    for (std::size_t i = from; i < copy.size(); i += from == 0 ? 1 : 2) ptrs.push_back(&copy[i]);
    EXPECT_EQ(ING_write_file(path.c_str(), date, ptrs), static_cast<int>(ptrs.size()));
    for (const ING_report* r : ptrs)
      for (const std::string& n : r->notes) *notes += std::to_string(r->wmo) + " " + n + "\n";
  };
  auto file = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  };
  const std::string dir = zud_test_tmpdir();
  std::string one, notes1;
  for (int jobs : {1, -1, 2}) {
    Jobs j(jobs);
    const std::string path = dir + "share" + std::to_string(jobs) + ".upa";
    std::string notes;
    write(path, reps, 1, &notes);  // every other station
    write(path, reps, 0, &notes);  // then all, over the file
    if (jobs == 1) {
      one = file(path);
      notes1 = notes;
      EXPECT_GT(one.size(), 100000u);
      EXPECT_FALSE(notes1.empty());
      continue;
    }
    EXPECT_EQ(file(path), one) << jobs;
    EXPECT_EQ(notes, notes1) << jobs;
  }
}
