// tmpdir.h — a scratch directory private to this test process.
//
// CTest runs every test case as its own process, several at a time; fixed names under
// /tmp would be shared between them, so each process gets a directory of its own.

#ifndef ZUD_TESTS_TMPDIR_H
#define ZUD_TESTS_TMPDIR_H

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// The directory is new (mkdtemp): a name made from the process number alone would be met
// again, with a former process's files in it, once process numbers come round.
inline std::string zud_test_tmpdir() {
  static const std::string dir = [] {
    std::string d = "/tmp/zud_test_" + std::to_string(::getpid()) + "_XXXXXX";
    if (::mkdtemp(d.data()) == nullptr) ::mkdir(d.c_str(), 0700);
    return d + "/";
  }();
  return dir;
}

#endif  // ZUD_TESTS_TMPDIR_H
