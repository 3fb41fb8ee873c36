// loop_guard.h — the test display loop (zud_test_loop) as a child process of a test,
// with a guard that always removes its queue and ends it, and the window numbers this
// test process uses.
//
// Queue keys are shared by every process of the machine, and a queue outlives the
// process that made it: a test that failed half-way must still leave no queue behind.

#ifndef ZUD_TESTS_LOOP_GUARD_H
#define ZUD_TESTS_LOOP_GUARD_H

#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run_parse.h"
#include "tmpdir.h"
#include "zudmq.h"

namespace loop_test {

constexpr int kWindowBase = 20000;  // window numbers of the test suites start here
constexpr int kWindowSpread = 400;  // test processes spread over this many blocks of 50
constexpr int kTries = 5;           // windows tried when another process took one first

// A window number block of this process, so parallel test processes rarely collide.
inline int window_base() { return kWindowBase + (getpid() % kWindowSpread) * 50; }

// Removes the queue of window `num` if there is one.
inline void remove_queue(int num) {
  int id = msgget(num, 0);
  if (id >= 0) msgctl(id, IPC_RMID, nullptr);
}

// The test display loop as a child process. Whatever happens in the test, the
// destructor removes its queue and ends it.
class TestLoop {
 public:
  // Starts the loop with `flags` and the answer table `table` ("name=value"); with a
  // socket offset it serves over a socket on port offset+window. The loop lives 20 s
  // unless `flags` carry a "--life=S" of their own. A queue loop takes the first free
  // window from `first_window` on (this process's block when not given). True once it is
  // ready.
  bool Start(const std::vector<std::string>& flags, const std::vector<std::string>& table,
             int socket_offset = -1, int first_window = -1) {
    socket_offset_ = socket_offset;
    std::string dir = zud_test_tmpdir();
    ready_ = dir + "loop_ready";
    log_ = dir + "loop_log";
    int from = first_window > 0 ? first_window : window_base();
    for (int t = 0; t < kTries; ++t) {
      int w = socket_offset >= 0 ? 1 + t : MQ_find(from);
      if (w < 0) return false;
      if (Spawn(w, flags, table)) return true;
      from = w + 1;
    }
    return false;
  }
  ~TestLoop() { Stop(); }

  void Stop() {
    if (window_ > 0 && socket_offset_ < 0) remove_queue(window_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      for (int i = 0; i < 300 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(10000);
      if (kill(pid_, 0) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
      pid_ = -1;
    }
    unlink(ready_.c_str());
  }
  int window() const { return window_; }
  std::string Log() const { return e2e::slurp(log_); }
  std::string Hash() const { return "#" + std::to_string(window_); }

 private:
  bool Spawn(int w, const std::vector<std::string>& flags, const std::vector<std::string>& table) {
    unlink(ready_.c_str());
    unlink(log_.c_str());
    std::vector<std::string> args = {ZUD_TEST_LOOP_BIN, "--ready=" + ready_, "--log=" + log_,
                                     "--life=20"};
    if (socket_offset_ >= 0) {
      args.push_back("--socket");
      args.push_back("--offset=" + std::to_string(socket_offset_));
    }
    args.insert(args.end(), flags.begin(), flags.end());
    args.push_back(std::to_string(w));
    args.insert(args.end(), table.begin(), table.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
    for (int i = 0; i < 500; ++i) {
      if (access(ready_.c_str(), F_OK) == 0) {
        pid_ = pid;
        window_ = w;
        return true;
      }
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) return false;  // the window was taken
      usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
  }

  pid_t pid_ = -1;
  int window_ = -1;
  int socket_offset_ = -1;
  std::string ready_, log_;
};

}  // namespace loop_test

#endif  // ZUD_TESTS_LOOP_GUARD_H
