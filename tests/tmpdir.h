// tmpdir.h — a scratch directory private to this test process.
//
// CTest runs every test case as its own process, several at a time; fixed names under
// /tmp would be shared between them, so each process gets a directory of its own.

#ifndef ZUD_TESTS_TMPDIR_H
#define ZUD_TESTS_TMPDIR_H

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// Removes the scratch directory when the process that made it ends normally (forked
// children that exit through the same handlers leave it alone). Directories a test made
// unreadable or unwritable are opened up first, so nothing is left behind under /tmp.
inline void zud_test_tmpdir_remove(const std::string& dir, pid_t owner) {
  namespace fs = std::filesystem;
  if (::getpid() != owner) return;
  std::error_code ec;
  if (fs::remove_all(dir, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all,
                                              fs::perm_options::add, ec);
  fs::remove_all(dir, ec);
}

// The directory is new (mkdtemp): a name made from the process number alone would be met
// again, with a former process's files in it, once process numbers come round.
inline std::string zud_test_tmpdir() {
  static const std::string dir = [] {
    std::string d = "/tmp/zud_test_" + std::to_string(::getpid()) + "_XXXXXX";
    if (::mkdtemp(d.data()) == nullptr) ::mkdir(d.c_str(), 0700);
    static const std::string made = d;
    static const pid_t owner = ::getpid();
    std::atexit([] { zud_test_tmpdir_remove(made, owner); });
    return d + "/";
  }();
  return dir;
}

#endif  // ZUD_TESTS_TMPDIR_H
