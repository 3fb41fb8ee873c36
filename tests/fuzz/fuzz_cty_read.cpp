// fuzz_cty_read.cpp — the station location database reader over arbitrary file contents.
//
// The input is the database file: it is opened and read record by record to its end,
// then rewound and read again, since a rewind must give the same records.

#include <cstring>

#include "fuzz_support.h"
#include "zudcty.h"

namespace {

constexpr int kMaxRecords = 100000;  // far more lines than an input of the fuzzer's size

ScratchFile* file = nullptr;  // the input as a file

// A record as the reader may leave it: every text ends inside its field, the flags are
// '*' or blank, the priority a digit or missing.
void check_record(const CTY_data& c) {
  FUZZ_CHECK(fuzz_terminated(c.name));
  FUZZ_CHECK(fuzz_terminated(c.state));
  FUZZ_CHECK(fuzz_terminated(c.region));
  FUZZ_CHECK(fuzz_terminated(c.id));
  FUZZ_CHECK(c.mos == '*' || c.mos == ' ');
  FUZZ_CHECK(c.ua == '*' || c.ua == ' ');
  FUZZ_CHECK(c.prior == IMISSING || (c.prior >= 0 && c.prior <= 9));
}

// Reads the open database to its end; returns the number of records.
int read_all(int fd, CTY_data* first) {
  CTY_data c;
  int n = 0;
  int rc;
  while (n < kMaxRecords && (rc = CTY_read(fd, &c)) != -1) {
    FUZZ_CHECK(rc >= 0 && rc <= 10);  // 0: a line of which no field converts
    check_record(c);
    if (n == 0) *first = c;
    ++n;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  file = new ScratchFile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  file->write(data, size);
  int fd = CTY_open(file->path(), 0, 0);
  if (fd < 0) fuzz_fail("the database file does not open");
  CTY_data first_a{};
  CTY_data first_b{};
  int n = read_all(fd, &first_a);
  FUZZ_CHECK(CTY_rewind(fd) == 0);
  FUZZ_CHECK(read_all(fd, &first_b) == n);
  if (n > 0) {
    FUZZ_CHECK(std::strcmp(first_a.id, first_b.id) == 0);
    FUZZ_CHECK(std::strcmp(first_a.name, first_b.name) == 0);
  }
  CTY_close(fd);
  return 0;
}
