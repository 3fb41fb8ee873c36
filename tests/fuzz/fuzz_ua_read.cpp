// fuzz_ua_read.cpp — the upper-air text reader over arbitrary file contents.
//
// The input is the whole file. It is opened once with its kind detected and once forced
// to each text kind 1-5, since a forced kind meets blocks of a foreign layout; each open
// reads the date line, lists the stations and reads every form of record over a fixed
// walk of station numbers that goes forward, repeats a block and steps back.

#include <cstring>

#include "fuzz_support.h"
#include "zudupa.h"

namespace {

constexpr int kMaxStations = 64;  // stations a listing walks before it stops
// Every form of a read, two that no layout knows among them.
constexpr int kRepTypes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                             14, 15, 16, 22, 23, 30, 31, 32, 17, 99, -1};
// Station numbers of the walk: forward, the same block twice, back, a far jump.
constexpr int kWalk[] = {0, 1, 1, 3, 2, 0, 5, 5, 4, 40};

ScratchFile* file = nullptr;  // the input as a file

// A record as a reader may leave it: counts inside the arrays, texts terminated.
void check_report(const UPA_report& r) {
  FUZZ_CHECK(fuzz_terminated(r.id));
  FUZZ_CHECK(fuzz_terminated(r.area));
  FUZZ_CHECK(r.numman >= 0 && r.numman <= UPA_MAX_MAN);
  FUZZ_CHECK(r.numsig >= 0 && r.numsig <= UPA_MAX_SIG);
  FUZZ_CHECK(r.numwnd >= 0 && r.numwnd <= UPA_MAX_WND);
}

void read_file(int kind) {
  int f_type = kind;
  int fd = UPA_open(file->path(), 0, &f_type);
  if (fd < 0) return;
  UPA_info info{};
  UPA_getinfo(fd, &info);
  FUZZ_CHECK(fuzz_terminated(info.datim));

  static UPA_report report;  // large: kept off the stack
  UPA_rewind(fd);
  int stations = 0;
  while (stations < kMaxStations && UPA_read(fd, &report, UPA_REP_IDENT, &stations) == 0) {
    check_report(report);
    ++stations;
  }
  // Each form reads three stations of the walk, the walk rotated per form, so that
  // every form meets every kind of move.
  constexpr int kWalkLen = sizeof kWalk / sizeof kWalk[0];
  constexpr int kReadsPerForm = 3;
  int step = 0;
  for (int rep_type : kRepTypes) {
    for (int i = 0; i < kReadsPerForm; ++i) {
      int want = kWalk[(step++) % kWalkLen];
      const int asked = want;
      if (UPA_read(fd, &report, rep_type, &want) == 0) check_report(report);
      FUZZ_CHECK(want == asked);  // readers never advance the caller's counter
    }
  }
  for (int s = 0; s < stations; ++s)
    if (UPA_read(fd, &report, UPA_REP_ALL, &s) == 0) check_report(report);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  file = new ScratchFile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  file->write(data, size);
  for (int kind = 0; kind <= UPA_KIND_X; ++kind) read_file(kind);
  return 0;
}
