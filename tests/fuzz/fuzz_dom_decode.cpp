// fuzz_dom_decode.cpp — decoding a map domain text.
//
// The input is the domain text (cut at its first NUL). Station and region items name
// files; they are looked up read-only, and a missing file is part of what is decoded.

#include <string>

#include "fuzz_support.h"
#include "zuddom.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text = fuzz_split(data, size)[0];
  Domain d;
  int rc = DOM_decode(text.c_str(), &d);
  // A decoded layout (1), a region (2), no layout (-1) or nothing given (-9999).
  FUZZ_CHECK(rc == 1 || rc == 2 || rc == -1 || rc == IMISSING);
  if (rc == -1 || rc == IMISSING) {
    Domain cleared;
    DOM_init(&cleared);
    FUZZ_CHECK(d.proj == cleared.proj && d.nx == cleared.nx && d.ny == cleared.ny);
  }
  DOM_get_prior();
  return 0;
}
