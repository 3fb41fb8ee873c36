// fuzz_list_read.cpp — the sounding-list reader (Wyoming TEXT:LIST pages, SPC tables)
// over arbitrary pages.
//
// The first byte of the input gives the chunk size the rest is fed in; the same page
// fed whole must give the same reports, and every report must make a block that holds
// no more levels than the layout does.

#include <string>
#include <vector>

#include "fuzz_reader.h"
#include "fuzz_support.h"
#include "zudingest.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t chunk = 1 + data[0];
  ING_counts a, b;
  std::vector<ING_report> pieces = fuzz_read_all(LIST_reader(nullptr), bytes, chunk, &a);
  std::vector<ING_report> whole = fuzz_read_all(LIST_reader(nullptr), bytes, bytes.size() + 1, &b);
  FUZZ_CHECK(pieces.size() == whole.size());
  FUZZ_CHECK(a.reports == b.reports && a.rejected == b.rejected);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    ING_report& r = pieces[i];
    FUZZ_CHECK(r.wmo != IMISSING || !r.id.empty());
    FUZZ_CHECK(r.date.month >= 1 && r.date.month <= 12 && r.date.hour >= 0 && r.date.hour <= 23);
    FUZZ_CHECK(r.sig.size() <= static_cast<std::size_t>(UPA_MAX_SIG));
    for (std::size_t k = 1; k < r.sig.size(); ++k) FUZZ_CHECK(r.sig[k].p <= r.sig[k - 1].p);
    if (r.wmo == IMISSING) r.wmo = 0;
    std::string block = ING_format_block(&r);
    FUZZ_CHECK(block.size() >= 2 && block.compare(block.size() - 2, 2, "$\n") == 0);
    if (whole[i].wmo == IMISSING) whole[i].wmo = 0;
    FUZZ_CHECK(block == ING_format_block(&whole[i]));
  }
  return 0;
}
