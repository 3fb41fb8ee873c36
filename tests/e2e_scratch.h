// e2e_scratch.h — what the end-to-end tests of the binary share: a run environment free
// of the developer's own "zud" settings, and scratch directories under the process's
// private directory.

#ifndef ZUD_TESTS_E2E_SCRATCH_H
#define ZUD_TESTS_E2E_SCRATCH_H

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "run_parse.h"
#include "tmpdir.h"

extern char** environ;

namespace e2e {

// Options whose run sees none of the "zud..." variables of the test's own environment,
// so a developer's defaults path or identifier cannot change what the program does.
inline Options clean_options() {
  Options opt;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "zud", 3) == 0) {
      const char* eq = std::strchr(*e, '=');
      opt.unset.emplace_back(*e, eq ? static_cast<size_t>(eq - *e) : std::strlen(*e));
    }
  return opt;
}

// A fresh directory `name` under the private scratch directory; its path with a "/".
inline std::string scratch(const std::string& name) {
  std::string dir = zud_test_tmpdir() + name + "/";
  ::mkdir(dir.c_str(), 0700);
  return dir;
}

// A scratch directory that holds the sample's files (links to them), so that the same
// relative names work in it as in the sample directory.
inline std::string sample_mirror(const std::string& name) {
  std::string dir = scratch(name);
  for (const char* f : {"sample.upa", "upa.cty", "name_conv"})
    if (::symlink((std::string(ZUD_SAMPLE_DATA) + "/" + f).c_str(), (dir + f).c_str()) != 0 &&
        errno != EEXIST)
      return "";
  return dir;
}

// True when `text` holds `part`.
inline bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace e2e

#endif  // ZUD_TESTS_E2E_SCRATCH_H
