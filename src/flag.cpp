// flag.cpp — process-wide integer flags and plot-element switches.
//
// The resource conversions and the program tell each other modes (batch, help, input
// file type, output device, ...) through thirty numbered flags; -9999 means unset. The
// plot switches say which elements of a plot are drawn, with two running counts kept
// beside them: switch 0 counts the text corners on, switch 12 everything on.

#include <array>

#include "zud.h"

namespace {

constexpr int kNumFlags = 30;      // flag indices 0 to 29
constexpr int kNumSwitches = 13;   // plot switches 0 to 12
constexpr int kCornerCount = 0;    // switch counting the text corners on
constexpr int kFirstCorner = 1;    // upper left text corner
constexpr int kLastCorner = 6;     // lower right text corner
constexpr int kTotalCount = 12;    // switch counting switches 0 to 11

// Flags start unset, the same state the resource start-up gives them.
std::array<long, kNumFlags> flags = [] {
  std::array<long, kNumFlags> f{};
  f.fill(IMISSING);
  return f;
}();

// Plot switches: every element drawn until a draw list says otherwise.
int plot_it[kNumSwitches] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

bool valid_flag(int flag) { return flag >= 0 && flag < kNumFlags; }

// Recounts switch 0 (sum of the corners) and switch 12 (sum of switches 0 to 11).
void recount_switches() {
  int corners = 0;
  for (int i = kFirstCorner; i <= kLastCorner; ++i) corners += plot_it[i];
  plot_it[kCornerCount] = corners;
  int total = 0;
  for (int i = 0; i < kTotalCount; ++i) total += plot_it[i];
  plot_it[kTotalCount] = total;
}

}  // namespace

// Stores `value` in flag `flag`. Returns 0, or -1 for an index outside 0 to 29.
int FLAG_set(int flag, int value) { return FLAG_setl(flag, value); }

// Stores the long `value` in flag `flag`. Returns 0, or -1 for an index outside 0 to 29.
int FLAG_setl(int flag, long value) {
  if (!valid_flag(flag)) return -1;
  flags[flag] = value;
  return 0;
}

// The value of flag `flag` (-9999 when unset), or 0 for an index outside 0 to 29.
int FLAG_get(int flag) { return static_cast<int>(FLAG_getl(flag)); }

// The long value of flag `flag` (-9999 when unset), or 0 for an index outside 0 to 29.
long FLAG_getl(int flag) { return valid_flag(flag) ? flags[flag] : 0; }

// Stores `value` in all thirty flags. Returns 0.
int FLAG_reset(int value) { return FLAG_resetl(value); }

// Stores the long `value` in all thirty flags. Returns 0.
int FLAG_resetl(long value) {
  for (long& f : flags) f = value;
  return 0;
}

// 1 when the run is in batch mode (flag 19 greater than 0), else 0.
int FLAG_batch() { return flags[FLAG_BATCH] > 0 ? 1 : 0; }

// 1 when help was requested (flag 20 greater than 0), else 0.
int FLAG_help() { return flags[FLAG_HELP] > 0 ? 1 : 0; }

// Stores `val` as the batch flag. Returns 0.
int FLAG_set_batch(int val) { return FLAG_set(FLAG_BATCH, val); }

// Sets plot switch `kind` to `val` (kind 12: switches 0 to 11; kind 0: the six text
// corners), then recounts switches 0 and 12. Returns 0, or -1 for a kind outside 0 to 12.
int FLAG_setplot(int kind, int val) {
  if (kind < 0 || kind >= kNumSwitches) return -1;
  if (kind == kTotalCount) {
    for (int i = 0; i < kTotalCount; ++i) plot_it[i] = val;
  } else if (kind == kCornerCount) {
    for (int i = kCornerCount; i <= kLastCorner; ++i) plot_it[i] = val;
  } else {
    plot_it[kind] = val;
  }
  recount_switches();
  return 0;
}

// The value of plot switch `kind`, or 0 for a kind outside 0 to 12.
int FLAG_getplot(int kind) { return (kind >= 0 && kind < kNumSwitches) ? plot_it[kind] : 0; }

// Stores `val` in all thirteen switches without recounting. Returns 0.
int FLAG_resetplot(int val) {
  for (int& s : plot_it) s = val;
  return 0;
}
