// mess.cpp — messages: the level mask and the one print call all output goes through.
// Placeholder: prints enabled messages to stdout, diagnostics to stderr.

#include <cstdarg>

#include "zud.h"

namespace {
M_type mess_level = 0x000FFFFF;  // enabled bits
}  // namespace

int MESS_print(M_type level, const char* format, ...) {
  if ((level & mess_level) == 0) return 0;
  va_list ap;
  va_start(ap, format);
  std::vfprintf((level & 0xF0) ? stderr : stdout, format, ap);
  va_end(ap);
  return 1;
}

int MESS_set(int, M_type level) {
  mess_level = level;
  return 0;
}
M_type MESS_get() { return mess_level; }
