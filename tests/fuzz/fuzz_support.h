// fuzz_support.h — what every fuzz target shares: a process set-up that keeps the
// library away from the terminal, a scratch file that never outlives the process, and
// the check that turns a broken invariant into a finding.
//
// The targets are linked with wrappers (fuzz_support.cpp) around the calls through which
// the library could change the machine: files it opens for writing land on /dev/null
// (so no directory is made for them either), command pipes, message queues and sockets
// are refused, and an end of the process through ZUD_exit is reported as a finding
// instead of ending the run.

#ifndef ZUD_FUZZ_SUPPORT_H
#define ZUD_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Standard input from /dev/null (no prompt can wait), batch mode, every message level
// enabled so that the formatting of each message is exercised. Call once per process.
void fuzz_setup();

// Sets batch mode and the full message level again, for targets whose input may change
// them.
void fuzz_reset_messages();

// A file whose contents the target rewrites for every input. It is unlinked as soon as
// it is created and reached through /proc/self/fd, so nothing is left behind even when
// the process dies on a finding.
class ScratchFile {
 public:
  ScratchFile();
  // Replaces the contents with `size` bytes of `data`; the path stays the same.
  void write(const std::uint8_t* data, std::size_t size);
  void write(const std::string& text) {
    write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
  // The name under which the library opens the file.
  const char* path() const { return path_.c_str(); }

 private:
  int fd_ = -1;       // descriptor of the unlinked file
  std::string path_;  // /proc/self/fd/<fd>
};

// The input cut at every NUL byte into texts (an input without NUL gives one text).
std::vector<std::string> fuzz_split(const std::uint8_t* data, std::size_t size);

// A broken invariant of a module's result: prints what broke and aborts, which the
// fuzzer records as a finding with the input that caused it.
[[noreturn]] void fuzz_fail(const char* what);
#define FUZZ_CHECK(cond)                          \
  do {                                            \
    if (!(cond)) fuzz_fail("check failed: " #cond); \
  } while (0)

// True when the NUL-terminated text of a fixed char field ends inside the field.
template <std::size_t N>
bool fuzz_terminated(const char (&field)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (field[i] == '\0') return true;
  return false;
}

#endif  // ZUD_FUZZ_SUPPORT_H
