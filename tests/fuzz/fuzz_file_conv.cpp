// fuzz_file_conv.cpp — the naming-convention file and the matching of given names
// against its template.
//
// The input is cut at NUL bytes: the first part is the naming-convention file, the
// second the file type asked for (keys, "@template" and "none" included), each further
// part a name given to FILE_set_file. An input without a second part asks for "upa_cvt"
// and gives a fixed set of names that reach every kind of template element.

#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "zudresrc.h"

namespace {

constexpr int kMaxName = 160;  // buffer FILE_set_file fills; names longer are not allowed
constexpr int kMaxNames = 16;  // names tried per input
// Names that meet directory codes, date codes, keys, extensions and suffixes.
constexpr const char* kDefaultNames[] = {
    "2024031512", "/data/upa/2024031512_upa.cvt", "abc#2024031512", "@as_it_stands",
    "24031512.upa", "la", "cu-12", "#2024031500+6", "none", "-", "x"};

ScratchFile* file = nullptr;  // the naming-convention file

// "exit", also with a date suffix cut off, ends the program: not an input for this target.
bool ends_program(const std::string& name) {
  return strnicmp(name.c_str(), "exit", 4) == 0 && (name.size() == 4 || name[4] == '#');
}

void resolve(const std::string& given) {
  std::string name = given.substr(0, kMaxName - 1);
  if (ends_program(name)) return;
  auto out = std::make_unique<char[]>(kMaxName);  // exactly the documented size
  FILE_set_file(name.c_str(), out.get());
  FUZZ_CHECK(std::memchr(out.get(), '\0', kMaxName) != nullptr);
  Date d;
  FILE_get_date(&d);
  std::string cut = name;
  FILE_extract_extra_info(cut.data());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  ::setenv("zudcurtime", "#202403151200", 1);  // time specifications start from a fixed time
  file = new ScratchFile();
  RES_put("name_conv", file->path());
  RES_put("con_path", "/data/upa");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts = fuzz_split(data, size);
  file->write(parts[0]);
  FILE_set_time(nullptr);
  FILE_set_name(parts.size() > 1 ? parts[1].c_str() : "upa_cvt");
  FUZZ_CHECK(std::strlen(FILE_get_conv()) < kMaxName);
  if (parts.size() > 2) {
    for (std::size_t i = 2; i < parts.size() && i < 2 + kMaxNames; ++i) resolve(parts[i]);
  } else {
    for (const char* name : kDefaultNames) resolve(name);
  }
  return 0;
}
