// reader_feed.h — feeding an ingest reader in the tests: the bytes of each input in
// chunks of a given size, then its reports, tallies and the messages it printed; a
// report's mandatory level by pressure; and the text of a gzip file inflated
// independently of the readers.

#ifndef ZUD_TESTS_READER_FEED_H
#define ZUD_TESTS_READER_FEED_H

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "zudingest.h"

struct Fed {
  std::vector<ING_report> reps;
  ING_counts counts;
  std::string err;  // messages printed (standard error)
};

// Feeds each input to `reader` in pieces of `chunk` bytes, ending each input as a file,
// then finishes the reading at the current time `now` (seconds since 1970, which decides
// the month and year of reports that give only a day; 0 for readers that ignore it).
inline Fed feed_reader(ING_reader* reader, const std::vector<std::string>& inputs,
                       std::size_t chunk, std::int64_t now = 0) {
  Fed r;
  testing::internal::CaptureStderr();
  for (const std::string& bytes : inputs) {
    for (std::size_t i = 0; i < bytes.size(); i += chunk)
      reader->feed(bytes.data() + i, std::min(chunk, bytes.size() - i));
    reader->end_file();
  }
  reader->finish(now, &r.reps);
  r.err = testing::internal::GetCapturedStderr();
  r.counts = reader->counts;
  return r;
}

// What a reading gives, as one text: the tallies, the messages and every block written.
inline std::string fed_outcome(Fed& f) {
  std::string s = "reports " + std::to_string(f.counts.reports) + " bulletins " +
                  std::to_string(f.counts.bulletins) + " nil " + std::to_string(f.counts.nil) +
                  " rejected " + std::to_string(f.counts.rejected) + " corrected " +
                  std::to_string(f.counts.corrected) + " duplicates " +
                  std::to_string(f.counts.duplicates) + "\n" + f.err;
  for (ING_report& r : f.reps) s += ING_format_block(&r);
  return s;
}

// The mandatory level of a report at pressure p (mb), or null when it has none.
inline const UPA_level* man_at(const ING_report& r, float p) {
  for (const UPA_level& l : r.man)
    if (l.p == p) return &l;
  return nullptr;
}

// The text of a gzip file by zlib's own file interface (not the reader's inflation).
inline std::string gunzip(const std::string& path) {
  gzFile g = gzopen(path.c_str(), "rb");
  std::string out;
  char buf[1 << 16];
  int n;
  while (g && (n = gzread(g, buf, sizeof buf)) > 0) out.append(buf, n);
  if (g) gzclose(g);
  return out;
}

#endif  // ZUD_TESTS_READER_FEED_H
