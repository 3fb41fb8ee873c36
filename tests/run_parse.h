// run_parse.h — runs the real ua_parse binary for end-to-end tests: arguments, working
// directory, extra environment and standard input in; standard output, standard error
// and the exit status out.

#ifndef ZUD_TESTS_RUN_PARSE_H
#define ZUD_TESTS_RUN_PARSE_H

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "tmpdir.h"

namespace e2e {

using ::slurp;
using ::spit;

struct Run {
  std::string out;  // standard output
  std::string err;  // standard error
  int status;       // exit status; -1 when killed (time-out or signal)
};

struct Options {
  std::string cwd;                       // working directory, "" for the current one
  std::vector<std::string> env;          // "NAME=value" added to (or replacing in) the environment
  std::vector<std::string> unset;        // names removed from the environment
  std::string input;                     // standard input text ("" gives an empty input)
  int timeout_s = 20;                    // the child is killed after this many seconds
  std::string program = ZUD_PARSE_BIN;   // binary to run
};

// Runs the program with `args` (argv[1]...) and waits for it, at most opt.timeout_s.
inline Run run(const std::vector<std::string>& args, const Options& opt = {}) {
  static int serial = 0;
  const std::string base = zud_test_tmpdir() + "run" + std::to_string(++serial);
  const std::string in_path = base + ".in", out_path = base + ".out", err_path = base + ".err";
  spit(in_path, opt.input);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0) _exit(127);
    for (const auto& name : opt.unset) unsetenv(name.c_str());
    for (const auto& e : opt.env) {
      auto eq = e.find('=');
      setenv(e.substr(0, eq).c_str(), eq == std::string::npos ? "" : e.substr(eq + 1).c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(opt.program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(opt.program.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  bool done = false;
  for (int waited = 0; waited < opt.timeout_s * 100; ++waited) {
    if (waitpid(pid, &wstatus, WNOHANG) == pid) {
      done = true;
      break;
    }
    usleep(10000);
  }
  if (!done) {
    kill(pid, SIGKILL);
    waitpid(pid, &wstatus, 0);
  }
  Run r{slurp(out_path), slurp(err_path), -1};
  if (done && WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
  return r;
}

}  // namespace e2e

#endif  // ZUD_TESTS_RUN_PARSE_H
