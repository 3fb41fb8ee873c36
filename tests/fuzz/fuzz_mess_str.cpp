// fuzz_mess_str.cpp — applying a "-me" message option value.
//
// The input is the option value (cut at its first NUL). Its file items open message
// files, which the fuzz guards turn into /dev/null; after the value is applied a message
// of every class is printed through whatever routing it chose, and the level, routing
// and paging are set back for the next input.

#include <string>

#include "fuzz_support.h"
#include "zud.h"

namespace {

// One message of each class, a sub-level bit and a format with several line ends.
constexpr M_type kLevels[] = {0xF, 0x30, 0xC0, 0xF00, 0xF000, 0xF0000,
                              0xF00000, 0xF000000, 0xF0000000, 0x1000};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text = fuzz_split(data, size)[0];
  MESS_set_str(text.c_str());
  FUZZ_CHECK(MESS_get_max_lines() > 0);
  M_type level = MESS_get();
  for (M_type l : kLevels) {
    int shown = MESS_print(l, "level %#x\n%s\n\n", l, text.c_str());
    // Nothing reaches the screen at a level that is not enabled.
    if (!(l & level)) FUZZ_CHECK(shown == 0);
  }
  MESS_set_str("line=22");
  fuzz_reset_messages();
  return 0;
}
