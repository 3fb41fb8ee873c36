// A converted file that would come out byte for byte the same is left as it is (a second
// ingest of the same bulletins); one that changes is replaced through a new file renamed
// over it. Whether the file was replaced is told by its inode: a rename brings a new one.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "file_bytes.h"
#include "tmpdir.h"
#include "zudingest.h"

namespace {

ino_t inode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_ino;
}

ING_report sounding(int wmo, float sfc_t) {
  ING_report r;
  r.wmo = wmo;
  r.id = std::to_string(wmo);
  r.lat = 42.69f;
  r.lon = -73.83f;
  r.date = Date{2026, 2, 6, 37, 5, 0, 0, 0};
  r.sfc = {1001, MISSING, sfc_t, sfc_t - 8, 290, 4};
  return r;
}

TEST(UpaWriteKeep, UnchangedFileLeftAlone) {
  const std::string path = zud_test_tmpdir() + "keep.upa";
  ING_report a = sounding(72518, -3.9f);
  ING_report b = sounding(72357, 20.2f);
  std::vector<ING_report*> both{&a, &b};
  ASSERT_EQ(ING_write_file(path.c_str(), a.date, both), 2);
  const std::string first = slurp(path);
  const ino_t first_inode = inode(path);

  // The same soundings again: same bytes, same file.
  ING_report a2 = sounding(72518, -3.9f);
  std::vector<ING_report*> again{&a2};
  ASSERT_EQ(ING_write_file(path.c_str(), a2.date, again), 1);
  EXPECT_EQ(slurp(path), first);
  EXPECT_EQ(inode(path), first_inode);

  // A changed sounding: a new file in its place, the other station's block kept.
  ING_report a3 = sounding(72518, -5.1f);
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
