// e2e_scratch.h — what the end-to-end tests of the binaries share: a run environment
// free of the developer's own "zud" settings, scratch directories under the process's
// private directory, the ingest run and the listing run that follows it, and the words
// of a printed line.

#ifndef ZUD_TESTS_E2E_SCRATCH_H
#define ZUD_TESTS_E2E_SCRATCH_H

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

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

// A scratch directory `name` for runs of the ingest program: links to the station list
// at `station_list` (as "igra2-station-list.txt") and to the end-to-end name convention.
// Its path with a "/".
inline std::string ingest_dir(const std::string& name, const std::string& station_list) {
  std::string dir = scratch(name);
  ::symlink(station_list.c_str(), (dir + "igra2-station-list.txt").c_str());
  ::symlink((std::string(ZUD_TEST_DATA) + "/e2e/name_conv").c_str(), (dir + "name_conv").c_str());
  return dir;
}

// ua_ingest with file path `dir` and converted files in dir/out, the package's current
// time `curtime` ("zudcurtime"; none when null), then `args`.
inline Run run_ingest(const std::string& dir, const std::vector<std::string>& args,
                      const char* curtime = "2026020612") {
  Options opt = clean_options();
  opt.program = ZUD_INGEST_BIN;
  opt.cwd = dir;
  opt.timeout_s = 60;
  if (curtime) opt.env.push_back(std::string("zudcurtime=") + curtime);
  std::vector<std::string> all = {"-fp", dir, "-cp", dir + "out"};
  all.insert(all.end(), args.begin(), args.end());
  return run(all, opt);
}

// ua_parse's sounding listing (batch, level out3) of station `id` in `file`, file path
// `dir`.
inline Run listing(const std::string& dir, const std::string& file, const std::string& id) {
  Options opt = clean_options();
  opt.cwd = dir;
  return run({"-fp", dir, "-ba", "-me", "out3", "-id", id, file}, opt);
}

// The blank-separated words of `text`.
inline std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string x; in >> x;) w.push_back(x);
  return w;
}

// True when `text` holds `part`.
inline bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace e2e

#endif  // ZUD_TESTS_E2E_SCRATCH_H
