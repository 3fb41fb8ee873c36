// fuzz_temp_decode.cpp — the WMO TEMP bulletin reader and the converted-file block writer
// over arbitrary input.
//
// The input is fed to the reader in pieces whose size its first byte chooses (a report
// may be cut anywhere), dated, and every sounding it returns is written as a block of the
// converted layout and read back by the upper-air reader: the block must come back as
// the same station with the counts the layout allows. Pieces that short are scanned a
// byte at a time; the input is also read whole, which the scanner takes 64 bytes at a
// time, and the two readings must find the same.

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "zudingest.h"

namespace {

constexpr std::int64_t kNow = 1770379200;  // 2026-02-06 12Z, a fixed current time
constexpr std::size_t kMaxChecked = 8;     // soundings per input read back

ScratchFile* file = nullptr;  // a block written as a converted file

void check_report(ING_report* r) {
  FUZZ_CHECK(r->wmo >= 0 && r->wmo <= 99999);
  FUZZ_CHECK(r->date.day >= 1 && r->date.day <= 31);
  FUZZ_CHECK(r->date.hour >= 0 && r->date.hour <= 23);
  for (const UPA_sig_level& s : r->sig) FUZZ_CHECK(s.p == MISSING || (s.p > 0 && s.p < 1100));
  for (const ING_wind& w : r->wind) FUZZ_CHECK(w.spd == MISSING || (w.spd >= 0 && w.spd < 1000));

  std::string block = ING_format_block(r);
  FUZZ_CHECK(block.size() >= 2 && block.compare(block.size() - 2, 2, "$\n") == 0);
  file->write("ZUDUPAx\n" + ING_date_line(r->date) + "\n" + block);
  int kind = 0;
  if (UPA_open(file->path(), 0, &kind) < 0) fuzz_fail("written block does not open");
  FUZZ_CHECK(kind == UPA_KIND_X);
  static UPA_report back;  // large: kept off the stack
  int statnum = 0;
  FUZZ_CHECK(UPA_read(0, &back, UPA_REP_ALL, &statnum) == 0);
  FUZZ_CHECK(back.wmo == r->wmo);
  FUZZ_CHECK(back.numsig >= 0 && back.numsig <= UPA_MAX_SIG);
  FUZZ_CHECK(back.numwnd >= 0 && back.numwnd <= UPA_MAX_WND);
  // Nothing of the next block may be taken for this one's: the block ends where it should.
  statnum = 1;
  FUZZ_CHECK(UPA_read(0, &back, UPA_REP_IDENT, &statnum) == -1);
}

// What a reading found, as text: its tallies and each sounding's station, time and
// counts of levels and notes.
std::string outcome(const ING_counts& n, const std::vector<ING_report>& reps) {
  std::string s;
  for (int v : {n.bulletins, n.reports, n.nil, n.rejected, n.duplicates, n.corrected})
    s += std::to_string(v) + ' ';
  for (const ING_report& r : reps)
    for (std::size_t v : {static_cast<std::size_t>(r.wmo), static_cast<std::size_t>(r.date.day),
                          static_cast<std::size_t>(r.date.hour), r.man.size(), r.sig.size(),
                          r.wind.size(), r.trop.size(), r.mwnd.size(), r.notes.size()})
      s += std::to_string(v) + ' ';
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  file = new ScratchFile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const std::size_t len = size - 1;
  auto reader = TEMP_reader();
  reader->recognises(text, len);
  for (std::size_t i = 0; i < len; i += piece) reader->feed(text + i, std::min(piece, len - i));
  reader->end_file();
  std::vector<ING_report> reps;
  reader->finish(kNow, &reps);
  const ING_counts& n = reader->counts;
  auto whole = TEMP_reader();
  whole->feed(text, len);
  whole->end_file();
  std::vector<ING_report> whole_reps;
  whole->finish(kNow, &whole_reps);
  if (outcome(whole->counts, whole_reps) != outcome(n, reps)) fuzz_fail("read whole, it reads otherwise");
  FUZZ_CHECK(n.bulletins >= 0 && n.reports >= 0 && n.nil >= 0 && n.rejected >= 0);
  FUZZ_CHECK(static_cast<std::size_t>(n.reports) >= reps.size());
  for (std::size_t i = 0; i < reps.size() && i < kMaxChecked; ++i) check_report(&reps[i]);
  return 0;
}
