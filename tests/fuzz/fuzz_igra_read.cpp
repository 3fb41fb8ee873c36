// fuzz_igra_read.cpp — the IGRA 2 reader over arbitrary station files, plain and gzip.
//
// The first byte of the input chooses how the rest is fed: its low bit wraps the rest
// in gzip first (so that text mutations reach the decoder through the inflation too),
// bit 1 cuts that gzip stream short, and the other bits give the chunk size. The same
// bytes fed whole must give the same reports, and every report must make a block.

#include <zlib.h>

#include <string>
#include <vector>

#include "fuzz_reader.h"
#include "fuzz_support.h"
#include "zudingest.h"

namespace {

std::string gzip(const std::uint8_t* data, std::size_t size) {
  z_stream zs{};
  if (deflateInit2(&zs, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return "";
  std::string out(deflateBound(&zs, size) + 32, '\0');
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(size);
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

bool plausible(float v, float lo, float hi) { return v == MISSING || (v >= lo && v <= hi); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::uint8_t mode = data[0];
  std::string bytes;
  if (mode & 1) {
    bytes = gzip(data + 1, size - 1);
    if (mode & 2) bytes.resize(bytes.size() / 2);
  } else {
    bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  }
  std::size_t chunk = 1 + (mode >> 2);
  ING_counts a, b;
  std::vector<ING_report> pieces = fuzz_read_all(IGRA_reader(nullptr), bytes, chunk, &a);
  std::vector<ING_report> whole = fuzz_read_all(IGRA_reader(nullptr), bytes, bytes.size() + 1, &b);
  FUZZ_CHECK(pieces.size() == whole.size());
  FUZZ_CHECK(a.reports == b.reports && a.rejected == b.rejected && a.nil == b.nil);
  FUZZ_CHECK(static_cast<std::size_t>(a.reports) == pieces.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    ING_report& r = pieces[i];
    FUZZ_CHECK(r.wmo >= 0 && r.wmo <= 99999);
    FUZZ_CHECK(r.date.month >= 1 && r.date.month <= 12 && r.date.hour >= 0 && r.date.hour <= 23);
    FUZZ_CHECK(r.sig.size() <= static_cast<std::size_t>(UPA_MAX_SIG));
    for (const UPA_level& m : r.man) FUZZ_CHECK(m.p > 0 && m.p <= 1000);
    for (const UPA_sig_level& s : r.sig) FUZZ_CHECK(plausible(s.p, 0.01f, 1100) && plausible(s.t, -999, 999));
    for (const ING_wind& w : r.wind) FUZZ_CHECK(plausible(w.dir, 0, 360) && w.spd >= 0);
    std::string block = ING_format_block(&r);
    FUZZ_CHECK(block.size() >= 2 && block.compare(block.size() - 2, 2, "$\n") == 0);
    FUZZ_CHECK(block == ING_format_block(&whole[i]));
  }
  return 0;
}
