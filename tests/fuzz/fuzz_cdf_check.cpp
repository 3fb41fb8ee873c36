// fuzz_cdf_check.cpp — the header check of classic netCDF files over arbitrary bytes.
//
// The input is the whole file. It is checked whole, and again with only a prefix given
// (its length taken from the first byte), as the file check does with a header longer
// than its first read: a prefix either asks for more or gives the whole file's verdict.

#include <string>

#include "fuzz_support.h"
#include "zudcdf.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string why;
  const int whole = CDF_check_header(data, size, size, &why);
  FUZZ_CHECK(whole == 0 || whole == -1);  // with every byte given nothing is missing
  FUZZ_CHECK((whole == -1) == !why.empty());
  if (size == 0) return 0;
  const std::size_t len = size * data[0] / 256;
  std::string why_part;
  const int part = CDF_check_header(data, len, size, &why_part);
  FUZZ_CHECK(part == 1 || part == whole);
  if (part == whole && whole == -1) FUZZ_CHECK(why_part == why);
  return 0;
}
