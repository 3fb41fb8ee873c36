// sig_thin.cpp — thinning a list of significant temperature levels to what a converted
// block holds, keeping the points that shape the curve rather than the lowest ones.
//
// Ramer-Douglas-Peucker line simplification (Ramer 1972; Douglas and Peucker 1973) on
// temperature and dew point against ln p: between two kept points the curve is replaced
// by its chord, and the point that departs most from the chord (vertical distance in
// deg C, the larger of temperature and dew point) is kept next. The splits are taken in
// order of their departure, largest first, so that when the level count runs out before
// the tolerance is reached the points kept are still the most significant ones.

#include <cmath>
#include <cstdio>
#include <queue>
#include <vector>

#include "zudingest.h"

namespace {

// A dew point that appears or vanishes between a chord's ends cannot be interpolated:
// the point is kept before any ordinary departure.
constexpr double kUninterpolable = 1e6;

struct Segment {
  std::size_t a, b;  // kept ends
  std::size_t at;    // the point departing most, between them
  double dev;        // its departure, deg C
  bool operator<(const Segment& o) const { return dev < o.dev; }
};

double departure(const std::vector<UPA_sig_level>& s, const std::vector<double>& x,
                 std::size_t a, std::size_t b, std::size_t i) {
  double span = x[b] - x[a];
  double f = span != 0 ? (x[i] - x[a]) / span : 0.0;
  double dev = std::fabs(s[i].t - (s[a].t + f * (s[b].t - s[a].t)));
  bool ta = s[a].td != MISSING, tb = s[b].td != MISSING, ti = s[i].td != MISSING;
  if (ti && ta && tb)
    dev = std::max(dev, std::fabs(s[i].td - (s[a].td + f * (s[b].td - s[a].td))));
  else if (ti != ta || ti != tb)
    dev = kUninterpolable;
  return dev;
}

Segment worst(const std::vector<UPA_sig_level>& s, const std::vector<double>& x, std::size_t a,
              std::size_t b) {
  Segment seg{a, b, a, -1};
  for (std::size_t i = a + 1; i < b; ++i) {
    double d = departure(s, x, a, b, i);
    if (d > seg.dev) {
      seg.dev = d;
      seg.at = i;
    }
  }
  return seg;
}

}  // namespace

double ING_thin_levels(std::vector<UPA_sig_level>* sig, std::size_t max, double tol) {
  std::vector<UPA_sig_level>& s = *sig;
  std::size_t n = s.size();
  if (n <= max || n < 3 || max < 2) {
    if (n > max) s.resize(max);
    return 0;
  }
  // Levels without a usable pressure or temperature carry nothing to keep.
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i)
    x[i] = s[i].p > 0 && s[i].p != MISSING ? -std::log(static_cast<double>(s[i].p)) : 0.0;

  std::vector<bool> keep(n, false);
  keep[0] = keep[n - 1] = true;
  std::size_t kept = 2;
  std::priority_queue<Segment> open;
  open.push(worst(s, x, 0, n - 1));
  while (!open.empty() && kept < max) {
    Segment seg = open.top();
    if (seg.dev <= tol || seg.at == seg.a) break;
    open.pop();
    keep[seg.at] = true;
    ++kept;
    if (seg.at - seg.a > 1) open.push(worst(s, x, seg.a, seg.at));
    if (seg.b - seg.at > 1) open.push(worst(s, x, seg.at, seg.b));
  }
  // The largest departure among the points left out.
  double left = 0;
  while (!open.empty()) {
    if (open.top().at != open.top().a) left = std::max(left, open.top().dev);
    open.pop();
  }
  std::vector<UPA_sig_level> out;
  out.reserve(kept);
  for (std::size_t i = 0; i < n; ++i)
    if (keep[i]) out.push_back(s[i]);
  s.swap(out);
  return left;
}

void ING_thin_report(ING_report* rep) {
  if (rep->sig.size() <= static_cast<std::size_t>(UPA_MAX_SIG)) return;
  std::size_t before = rep->sig.size();
  double dev = ING_thin_levels(&rep->sig, UPA_MAX_SIG, kThinTolerance);
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "%zu significant levels thinned to %zu by line simplification of T and Td "
                "against ln p (tolerance %.1f C, largest departure left %.1f C)",
                before, rep->sig.size(), kThinTolerance, dev);
  rep->notes.push_back(buf);
}
