// run_parse.h — runs the real ua_parse binary (or another program of the package) for
// end-to-end tests: arguments, working directory, environment and standard input in;
// standard output, standard error, the exit status and how a run that did not exit
// ended out.

#ifndef ZUD_TESTS_RUN_PARSE_H
#define ZUD_TESTS_RUN_PARSE_H

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "tmpdir.h"

extern char** environ;

namespace e2e {

using ::slurp;
using ::spit;

struct Run {
  std::string out;         // standard output
  std::string err;         // standard error
  int status;              // exit status; -1 when killed (time-out or signal)
  int signal = 0;          // signal that ended the run, 0 when none (or the time-out's kill)
  bool timed_out = false;  // killed at the time limit
};

struct Options {
  std::string cwd;                       // working directory, "" for the current one
  std::vector<std::string> env;          // "NAME=value" added to (or replacing in) the environment
  std::vector<std::string> unset;        // names removed from the environment
  bool bare_env = false;                 // start from an empty environment instead of ours
  std::string input;                     // standard input text ("" gives an empty input)
  double timeout_s = 20;                 // the child is killed after this many seconds
  std::string program = ZUD_PARSE_BIN;   // binary to run
};

// The environment a run sees: ours (or none with bare_env), less `unset`, plus `env`.
inline std::vector<std::string> run_environment(const Options& opt) {
  std::vector<std::string> vars;
  if (!opt.bare_env)
    for (char** e = environ; e && *e; ++e) vars.emplace_back(*e);
  auto drop = [&vars](const std::string& name) {
    std::erase_if(vars, [&name](const std::string& v) {
      return v.compare(0, name.size(), name) == 0 && v.size() > name.size() && v[name.size()] == '=';
    });
  };
  for (const auto& name : opt.unset) drop(name);
  for (const auto& e : opt.env) {
    auto eq = e.find('=');
    drop(e.substr(0, eq));
    vars.push_back(eq == std::string::npos ? e + "=" : e);
  }
  return vars;
}

// Runs the program with `args` (argv[1]...) and waits for it, at most opt.timeout_s.
// Everything the child needs is made before the fork, so that the child only redirects,
// changes directory and executes (safe while other threads of the test run).
inline Run run(const std::vector<std::string>& args, const Options& opt = {}) {
  static int serial = 0;
  const std::string base = zud_test_tmpdir() + "run" + std::to_string(++serial);
  const std::string in_path = base + ".in", out_path = base + ".out", err_path = base + ".err";
  spit(in_path, opt.input);
  std::vector<std::string> words = {opt.program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::vector<std::string> vars = run_environment(opt);
  std::vector<char*> envp;
  for (auto& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
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
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int wstatus = 0;
  bool done = false;
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::duration<double>(opt.timeout_s);
  while (!(done = waitpid(pid, &wstatus, WNOHANG) == pid) &&
         std::chrono::steady_clock::now() - start < limit)
    usleep(5000);
  if (!done) {
    kill(pid, SIGKILL);
    waitpid(pid, &wstatus, 0);
  }
  Run r{slurp(out_path), slurp(err_path), -1};
  r.timed_out = !done;
  if (done && WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
  if (done && WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
  return r;
}

}  // namespace e2e

#endif  // ZUD_TESTS_RUN_PARSE_H
