// mess_file_test.cpp — message files named again and again by "-me" file items.

#include <dirent.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "file_bytes.h"
#include "fresh_state.h"
#include "tmpdir.h"
#include "zud.h"

namespace {

// Open file descriptors of this process, counted in /proc/self/fd.
int open_fds() {
  int n = 0;
  DIR* d = opendir("/proc/self/fd");
  if (!d) return -1;
  while (readdir(d)) ++n;
  closedir(d);
  return n;
}

// The message level and file set here are put back to their start afterwards.
class MessageFiles : public FreshState {};

// Each file item replaces the message file; the one it replaces is closed, so a value
// repeated many times (a long-running caller, a fuzzer) keeps one descriptor, not one per
// item. 200 items would have left 200 descriptors open before.
TEST_F(MessageFiles, ReplacedFileIsClosed) {
  const std::string a = zud_test_tmpdir() + "mess_a.log";
  const std::string b = zud_test_tmpdir() + "mess_b.log";
  MESS_set_str(("+fi=" + a).c_str());
  const int before = open_fds();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 200; ++i) MESS_set_str(("+fi=" + (i % 2 ? a : b)).c_str());
  EXPECT_LE(open_fds(), before);  // the file of the last item replaces the one before

  // The last item's file (a, i = 199) receives the messages; b keeps nothing new.
  MESS_set_str("print");
  MESS_print(0xF, "after the switch\n");
  EXPECT_NE(slurp(a).find("after the switch\n"), std::string::npos);
  EXPECT_EQ(slurp(b).find("after the switch\n"), std::string::npos);
}

}  // namespace
