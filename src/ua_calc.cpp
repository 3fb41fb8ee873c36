// ua_calc.cpp — analyses of one merged sounding: layer means and depths, precipitable
// water, freezing and wet-bulb-zero levels, the theta-e index, the lifted parcel with its
// buoyant energy and characteristic levels, the classical stability indices, and (at the
// end of the file) the wind analyses.
//
// Every function reads the sounding and never changes it; none keeps state or allocates.
// Layer bounds come from the level interpolation of the merge module. Soundings hold
// Celsius; the moist-air functions take kelvin, so a present value gets 273.15 added and
// a missing one stays missing. Arithmetic is in double, results are stored as float.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "zudupa.h"

namespace {

constexpr double kCtoK = 273.15;  // Celsius to kelvin

constexpr M_type kTrace = 0x40000000;  // walk and ascent traces, debug sub-level c

constexpr int kPressCoord = 100;  // the pressure coordinate code
constexpr int kSurfCoord = 1;     // the surface coordinate code

bool valid_pres(float p) { return p != MISSING && p > 0.0f; }

}  // namespace

// ---- the layer walk --------------------------------------------------------------------
//
// int layer_walk(const UPA_level* lev, int num, const UPA_level& bot, int lb,
//                const UPA_level& top, int lt, float UPA_level::*skip, const WalkVisit& visit);
//
// Walks the layer from the interpolated bottom bound bot (index lb, as UPA_interp returned
// it) to the interpolated top bound top (index lt) through the sounding levels strictly
// between them whose field skip is present, and calls visit once per segment, lower end
// first. Returns the number of segments visited.
//
// When the bottom lies on level lb the walk starts there with the bound's own values.
// When no usable level lies inside the layer the walk is the one segment from bound to
// bound: a first segment never reaches past the top (which would add a return segment of
// negative depth and split one layer's energy into a positive and a negative part).
// Only levels 0..num-1 are ever read, whatever lb and lt are.
int layer_walk(const UPA_level* lev, int num, const UPA_level& bot, int lb, const UPA_level& top,
               int lt, float UPA_level::*skip, const WalkVisit& visit) {
  if (lev == nullptr) num = 0;
  num = std::max(num, 0);
  lb = std::clamp(lb, 0, num);
  lt = std::clamp(lt, 0, num);
  const auto weight = [](const UPA_level& a, const UPA_level& b) {
    return valid_pres(a.p) && valid_pres(b.p) ? std::log(static_cast<double>(a.p) / b.p) : 0.0;
  };
  int segs = 0;
  const UPA_level* from = &bot;  // lower end of the next segment
  int j = lb;                    // index of the level at the lower end
  int i = lb;                    // index of the level being reached
  const bool at_level = lb < num && lev[lb].p == bot.p;
  if (!at_level) {
    while (i < lt && lev[i].*skip == MISSING) ++i;
    if (i < lt) {
      visit(WalkSeg::first, lb, i, bot, lev[i], weight(bot, lev[i]));
      from = &lev[i];
      ++segs;
    } else {
      i = lt;  // nothing usable inside: one segment from bound to bound
    }
  }
  while (i < lt) {
    j = i;
    ++i;
    while (i < lt && lev[i].*skip == MISSING) ++i;
    if (i >= lt) break;
    visit(WalkSeg::inner, j, i, *from, lev[i], weight(*from, lev[i]));
    from = &lev[i];
    ++segs;
  }
  if (top.p != from->p) {
    visit(WalkSeg::last, j, lt, *from, top, weight(*from, top));
    ++segs;
  }
  return segs;
}

// The trace label of a walk segment: "LB, i" for the first, " j, i" for inner ones and
// " j,LT" for the last (two-digit indices).
std::string walk_label(WalkSeg kind, int j, int i) {
  char buf[32];
  switch (kind) {
    case WalkSeg::first: std::snprintf(buf, sizeof buf, "LB,%2d", i); break;
    case WalkSeg::inner: std::snprintf(buf, sizeof buf, "%2d,%2d", j, i); break;
    case WalkSeg::last: std::snprintf(buf, sizeof buf, "%2d,LT", j); break;
  }
  return buf;
}

// ==== wind analyses ====
