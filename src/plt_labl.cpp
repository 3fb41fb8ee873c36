// plt_labl.cpp — plot labels: six texts around each of six overlays.
//
// Plotting programs that share this module place labels at the corners and centres of
// their overlays; the sounding program only sets the upper-right label of the current
// overlay to the data file's date.

#include <cstring>

#include "zudupa.h"

namespace {

constexpr int kOverlays = 6;         // overlays a plot may stack
constexpr int kPositions = 6;        // 0-2 upper left, centre, right; 3-5 lower
constexpr int kLabelCap = 70;        // bytes of one label, terminator included
constexpr int kMaxLabel = 68;        // longest text that replaces a label
constexpr int kMaxAppended = 60;     // start plus text must stay under this when appending
constexpr int kUpperRight = 2;       // position of the upper-right label

char labels[kOverlays][kPositions][kLabelCap] = {};  // label texts per overlay and position
int cur_overlay = 0;      // overlay being drawn
int label_mode = 0;       // negative: later overlays append to overlay 0's labels
int overlay_start = 0;    // length of overlay 0's upper-right label when cur_overlay began

}  // namespace

// Stores `str` as the upper-right label of the current overlay (or appends it to overlay
// 0's when overlays share one label line). Texts that do not fit are not stored. Returns 0.
int PLT_label_up_right(const char* str) {
  if (!str) return 0;
  size_t len = std::strlen(str);
  if (label_mode < 0 && cur_overlay > 0) {
    if (overlay_start >= 0 && overlay_start + len < kMaxAppended) {
      char* dest = labels[0][kUpperRight] + overlay_start;
      dest[0] = ' ';
      std::memcpy(dest + 1, str, len + 1);
    }
  } else if (cur_overlay >= 0 && cur_overlay < kOverlays && len <= kMaxLabel) {
    std::memcpy(labels[cur_overlay][kUpperRight], str, len + 1);
  }
  return 0;
}

// Returns the label text at `position` (0-5) of `overlay` (0-5), or an empty text for
// positions that do not exist.
const char* PLT_get_label(int overlay, int position) {
  if (overlay < 0 || overlay >= kOverlays || position < 0 || position >= kPositions) return "";
  return labels[overlay][position];
}
