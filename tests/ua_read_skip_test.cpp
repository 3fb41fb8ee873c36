// ua_read_skip_test.cpp — skipping blocks and lines of a large text file, where the searched
// end marks fall anywhere in the stream's buffer, on its edges included.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tmpdir.h"
#include "zudupa.h"

namespace {

constexpr int kStations = 1500;  // enough blocks to cross many 4 kB buffer edges

// Identifier of block n: S and four digits.
std::string ident(int n) {
  char id[8];
  std::snprintf(id, sizeof id, "S%04d", n);
  return id;
}

// A kind 4 file whose block n carries n % 97 filler groups in its wind part, so that the
// "$" of the blocks, and the line ends after them, fall on every offset of a buffer.
std::string write_file(const char* name) {
  std::string path = zud_test_tmpdir() + name;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << "ZUDUPA+\n00Z 04 APR 97\n";
  for (int n = 0; n < kStations; ++n) {
    f << ident(n) << " 00007 X X 92694 22856 18033 85424 16434 20049 70054 07662 23548\n"
      << "X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X X\n"
      << "88208 56158 25618 77206 25618\n962 26058 X\n";
    for (int k = 0; k < n % 97; ++k) f << (k % 100 < 10 ? "0" : "") << k % 100 << " 27020 ";
    f << "$\n";
  }
  return path;
}

// Every identification read in file order, then a jump straight to the last block and
// back to one in the middle, find the block that was written there: a "$" missed or
// found too early at a buffer edge would shift every block after it.
TEST(SkipBlocks, EndMarksAcrossBufferEdges) {
  std::string path = write_file("skip_edges.upa");
  int kind = 0;
  int fd = UPA_open(path.c_str(), 0, &kind);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(kind, UPA_KIND_PLUS);
  UPA_info info{};
  UPA_getinfo(fd, &info);
  static UPA_report r;
  for (int n = 0; n < kStations; ++n) {
    ASSERT_EQ(UPA_read(fd, &r, UPA_REP_IDENT, &n), 0) << n;
    ASSERT_EQ(std::string(r.id), ident(n)) << n;
  }
  int past = kStations;
  EXPECT_EQ(UPA_read(fd, &r, UPA_REP_IDENT, &past), -1);  // no block after the last

  UPA_rewind(fd);
  for (int n : {kStations - 1, kStations / 2 + 7}) {  // skipping forward, then rewinding
    ASSERT_EQ(UPA_read(fd, &r, UPA_REP_ALL, &n), 0) << n;
    EXPECT_EQ(std::string(r.id), ident(n)) << n;
    EXPECT_EQ(r.numwnd, n % 97) << n;  // the block's own wind count: read from its start
  }
}

}  // namespace
