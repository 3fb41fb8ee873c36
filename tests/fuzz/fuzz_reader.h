// fuzz_reader.h — what the fuzz targets of the ingest readers share: feeding one input
// to a fresh reader in chunks of a given size and taking its reports.

#ifndef ZUD_FUZZ_READER_H
#define ZUD_FUZZ_READER_H

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "zudingest.h"

// Feeds `bytes` to `reader` as one file in chunks of `chunk` bytes; its reports, and its
// tallies in *counts.
inline std::vector<ING_report> fuzz_read_all(std::unique_ptr<ING_reader> reader,
                                             const std::string& bytes, std::size_t chunk,
                                             ING_counts* counts) {
  for (std::size_t i = 0; i < bytes.size(); i += chunk)
    reader->feed(bytes.data() + i, std::min(chunk, bytes.size() - i));
  reader->end_file();
  std::vector<ING_report> out;
  reader->finish(0, &out);
  *counts = reader->counts;
  return out;
}

#endif  // ZUD_FUZZ_READER_H
