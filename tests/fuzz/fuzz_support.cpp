// fuzz_support.cpp — the process set-up, scratch file and link-time guards shared by the
// fuzz targets.
//
// The guards replace library calls through the linker's --wrap option (see
// CMakeLists.txt): only references from the library and the targets go through them.

#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zud.h"

namespace {

constexpr M_type kAllLevels = 0xFFFFFFFFu;  // every message class and sub-level
constexpr int kSetAlways = 10;              // MESS_set operation that applies without counting

int report_fd = STDERR_FILENO;  // the fuzzer's own standard error, kept before it is closed

// A write access: anything that could create or change a file.
bool writes(const char* mode) {
  return mode && (std::strchr(mode, 'w') || std::strchr(mode, 'a') || std::strchr(mode, '+'));
}

}  // namespace

// The library opens every file it may write, and every command pipe, through FILE_open
// (C++ name _Z9FILE_openPKcS0_); the fuzzer's own files (corpus, findings) do not go
// through it and stay untouched.
extern "C" {

FILE* __real__Z9FILE_openPKcS0_(const char* file, const char* access);

// Files are opened for reading as asked; a write or append goes to /dev/null, so that
// message files and databases named by an input never reach the disk; a "|command" name
// never runs its command.
FILE* __wrap__Z9FILE_openPKcS0_(const char* file, const char* access) {
  if (file && file[0] == '|') {
    errno = EPERM;
    return nullptr;
  }
  if (writes(access)) return __real__Z9FILE_openPKcS0_("/dev/null", access);
  return __real__Z9FILE_openPKcS0_(file, access);
}

// No display loop is reached from a fuzz run: no queue exists, no socket opens.
int __wrap_msgget(key_t, int) {
  errno = ENOENT;
  return -1;
}
int __wrap_socket(int, int, int) {
  errno = EACCES;
  return -1;
}

// ZUD_exit (C++ name of `void ZUD_exit(int)`): an input that ends the process is a
// finding of its own, reported with the status it would have ended with.
[[noreturn]] void __wrap__Z8ZUD_exiti(int status) {
  dprintf(report_fd, "fuzz: the input reaches ZUD_exit(%d)\n", status);
  std::abort();
}

}  // extern "C"

void fuzz_setup() {
  // The fuzzer may close standard error for the run (-close_fd_mask); findings of the
  // checks are reported on a copy made now.
  int copy = ::dup(STDERR_FILENO);
  if (copy >= 0) report_fd = copy;
  int null_fd = ::open("/dev/null", O_RDONLY);
  if (null_fd >= 0) {
    ::dup2(null_fd, STDIN_FILENO);
    ::close(null_fd);
  }
  ::unsetenv("zuddefault");
  fuzz_reset_messages();
}

void fuzz_reset_messages() {
  FLAG_set_batch(1);
  MESS_set(kSetAlways, kAllLevels);
  MESS_set_out(1);
  MESS_set_page(1);
}

ScratchFile::ScratchFile() {
  // Memory-backed when the machine has it: the file is rewritten for every input.
  char shm_name[] = "/dev/shm/zud_fuzz_XXXXXX";
  char tmp_name[] = "/tmp/zud_fuzz_XXXXXX";
  char* name = shm_name;
  fd_ = ::mkstemp(name);
  if (fd_ < 0) fd_ = ::mkstemp(name = tmp_name);
  if (fd_ < 0) fuzz_fail("cannot create the scratch file");
  ::unlink(name);
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

void ScratchFile::write(const std::uint8_t* data, std::size_t size) {
  if (::ftruncate(fd_, 0) != 0) fuzz_fail("cannot empty the scratch file");
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) fuzz_fail("cannot write the scratch file");
    done += static_cast<std::size_t>(n);
  }
}

std::vector<std::string> fuzz_split(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0')
      parts.emplace_back();
    else
      parts.back().push_back(static_cast<char>(data[i]));
  }
  return parts;
}

void fuzz_fail(const char* what) {
  dprintf(report_fd, "fuzz: %s\n", what);
  std::abort();
}
