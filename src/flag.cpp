// flag.cpp — process-wide integer flags. Placeholder.

#include "zud.h"

namespace {
constexpr int kNumFlags = 30;
long flags[kNumFlags] = {};
}  // namespace

int FLAG_set(int flag, int value) { return FLAG_setl(flag, value); }
int FLAG_setl(int flag, long value) {
  if (flag < 0 || flag >= kNumFlags) return -1;
  flags[flag] = value;
  return 0;
}
int FLAG_get(int flag) { return static_cast<int>(FLAG_getl(flag)); }
long FLAG_getl(int flag) { return (flag < 0 || flag >= kNumFlags) ? 0 : flags[flag]; }
int FLAG_batch() { return flags[19] > 0; }
int FLAG_help() { return flags[20] > 0; }
int FLAG_set_batch(int val) { return FLAG_set(19, val); }
