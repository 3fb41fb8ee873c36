// res_child.h — running resource gathering, from a fresh program state, for the resource
// tests: in this process with the output captured, or in a forked child where the
// scenario talks to a display loop.
//
// Resources, the defaults reader, flags, the message level and the file conventions are
// process-wide; every scenario starts from their fresh state (fresh_state.h) and leaves
// them at it, and the "zud..." variables of the environment that a scenario changes are
// put back, so no scenario sees what another test left and nothing it sets reaches the
// rest.

#ifndef RES_CHILD_H
#define RES_CHILD_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "file_bytes.h"
#include "fresh_state.h"
#include "zudresrc.h"

extern char** environ;

namespace res_test {

using ::slurp;

// What a scenario printed and how it ended.
struct ChildRun {
  std::string out;  // standard output
  std::string err;  // standard error
  int status;       // exit status, -1 when it did not exit normally
};

// Runs `body` in a forked child, from a fresh program state and with its output
// captured; the child exits 0 after the body (1 when an expectation in it failed, which
// the parent would not see otherwise) unless the body ends the process itself.
inline ChildRun run_child(const std::function<void()>& body) {
  char out_name[] = "/tmp/res_child_outXXXXXX";
  char err_name[] = "/tmp/res_child_errXXXXXX";
  int out_fd = mkstemp(out_name);
  int err_fd = mkstemp(err_name);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    reset_program_state();
    body();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);  // an EXPECT that failed in the child
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  close(out_fd);
  close(err_fd);
  ChildRun run{slurp(out_name), slurp(err_name), WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1};
  unlink(out_name);
  unlink(err_name);
  return run;
}

// The "zud..." variables of the environment, put back as they were when this object
// goes: variables a scenario added are removed, changed or removed ones restored.
class ZudEnvironment {
 public:
  ZudEnvironment() : saved_(current()) {}
  ~ZudEnvironment() {
    for (const auto& [name, value] : current()) unsetenv(name.c_str());
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }
  ZudEnvironment(const ZudEnvironment&) = delete;
  ZudEnvironment& operator=(const ZudEnvironment&) = delete;

 private:
  static std::vector<std::pair<std::string, std::string>> current() {
    std::vector<std::pair<std::string, std::string>> vars;
    for (char** e = environ; e && *e; ++e) {
      if (std::strncmp(*e, "zud", 3) != 0) continue;
      const char* eq = std::strchr(*e, '=');
      if (eq) vars.emplace_back(std::string(*e, static_cast<std::size_t>(eq - *e)), std::string(eq + 1));
    }
    return vars;
  }
  std::vector<std::pair<std::string, std::string>> saved_;
};

// Runs `body` in this process from a fresh program state with its standard output and
// error captured, then puts the program state and the "zud..." environment back. The
// status is 0: a body that ended the process would end the test.
inline ChildRun run_here(const std::function<void()>& body) {
  ZudEnvironment keep;
  reset_program_state();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  body();
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  reset_program_state();
  return ChildRun{out, err, 0};
}

// Removes every variable the resource system could read and points the defaults path
// at a file that does not exist, so only what a scenario sets is gathered.
inline void clean_env(const char* defaults = "/nonexistent/zud.cfg") {
  std::vector<std::string> names;
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, "zud", 3) == 0) names.emplace_back(*e, std::strcspn(*e, "="));
  for (const auto& n : names) unsetenv(n.c_str());
  setenv("zuddefault", defaults, 1);
}

// A command line that outlives the gathering (the resource system keeps argv).
struct Argv {
  std::vector<std::string> words;
  std::vector<char*> ptrs;
  explicit Argv(std::vector<std::string> w) : words(std::move(w)) {
    for (auto& s : words) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(words.size()); }
  char** argv() { return ptrs.data(); }
};

// The keyed and positional keys of the sounding print program, in its table order.
inline const res_type kProgKeys[] = {
    RES_help,       RES_batch,      RES_message,    RES_file_path, RES_data_path,
    RES_con_path,   RES_grid_path,  RES_raw_path,   RES_image_path, RES_watch_path,
    RES_text_path,  RES_model_path, RES_sat_path,   RES_name_conv, RES_in_file,
    RES_out_file,   RES_file_param, RES_current,    RES_hour,      RES_num_hour,
    RES_identifier, RES_parameter,  RES_null};
inline const res_type kProgPos[] = {RES_filenames, RES_null};

// Path of a test fixture.
inline std::string fixture(const char* name) { return std::string(ZUD_TEST_DATA) + "/resrc/" + name; }

// Text of a resource for comparisons: "<null>" when it does not exist.
inline std::string value_of(const char* name) {
  const char* v = RES_get(name);
  return v ? v : "<null>";
}

}  // namespace res_test

#endif  // RES_CHILD_H
