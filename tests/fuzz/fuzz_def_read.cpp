// fuzz_def_read.cpp — the defaults-file reader and its directives over arbitrary file
// contents.
//
// The input is one defaults file, read entry by entry into buffers of exactly the sizes
// the reader's callers must provide, so that any write past them is caught. Each entry
// is then matched the way the resource system matches it. Conditional blocks carry over
// from one file to the next, so after every input a file of "END" lines closes whatever
// the input left open and the next input starts from no open block.

#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "zudresrc.h"

namespace {

constexpr int kMaxEntries = 100000;  // far more entries than an input of the fuzzer's size
constexpr int kMaxBlocks = 10;       // conditional blocks that can be open at once
// Resource names an entry is matched against, as a program of the package asks for them.
constexpr const char* kResources[] = {"file_path", "message", "identifier", "batch", "name"};

ScratchFile* file = nullptr;    // the input as a file
ScratchFile* closer = nullptr;  // the file that closes the blocks an input left open

void drain(const char* path, char* resrc, char* value) {
  if (DEF_open(path) != 0) fuzz_fail("the defaults file does not open");
  int n = 0;
  while (n < kMaxEntries && DEF_get(resrc, value) == 1) {
    FUZZ_CHECK(std::memchr(resrc, '\0', DEF_RESRC_LEN) != nullptr);
    FUZZ_CHECK(std::memchr(value, '\0', DEF_VALUE_LEN) != nullptr);
    for (const char* r : kResources) DEF_cmp(r, resrc);
    DEF_valid(resrc);
    auto name = std::make_unique<char[]>(DEF_RESRC_LEN);
    DEF_parse_name(resrc, name.get());
    FUZZ_CHECK(std::memchr(name.get(), '\0', DEF_RESRC_LEN) != nullptr);
    ++n;
  }
  DEF_close();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  DEF_set_prog("ua_parse");
  file = new ScratchFile();
  closer = new ScratchFile();
  std::string ends;
  for (int i = 0; i < kMaxBlocks; ++i) ends += "END\n";
  closer->write(ends);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  file->write(data, size);
  // Heap buffers of exactly the documented sizes: one byte more is an overflow.
  auto resrc = std::make_unique<char[]>(DEF_RESRC_LEN);
  auto value = std::make_unique<char[]>(DEF_VALUE_LEN);
  DEF_clr_tag();
  DEF_tag("fuzz");
  drain(file->path(), resrc.get(), value.get());
  drain(closer->path(), resrc.get(), value.get());
  return 0;
}
