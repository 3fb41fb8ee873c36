// hodograph.cpp — the hodograph of the wind profile: the tip of the wind vector (m/s)
// from the ground to 10 km above it, coloured by height band, on rings every 10 m/s,
// with the assumed storm motion marked. Drawn as the diagram's inset or on its own.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "zuddraw.h"

namespace {

constexpr double kKnotToMs = 0.5144;  // knots to m/s
constexpr double kTopAgl = 10000;     // top of the hodograph, m above ground
constexpr double kRing = 10;          // ring spacing, m/s
constexpr double kMinRadius = 20;     // the outer ring is at least this, m/s
constexpr double kMaxRadius = 80;     // and at most this; faster winds leave the plot

// Height bands, m above ground, and their colours.
struct Band {
  double top;
  DRAW_rgb colour;
  const char* name;
};
constexpr Band kBands[] = {{1000, {0.8, 0.0, 0.6}, "0-1"},
                           {3000, {0.1, 0.7, 0.3}, "1-3"},
                           {6000, {0.85, 0.6, 0.0}, "3-6"},
                           {kTopAgl, {0.0, 0.45, 0.9}, "6-10 km"}};

constexpr DRAW_rgb kBlack = {0, 0, 0};
constexpr DRAW_rgb kRingColour = {0.7, 0.7, 0.7};

// A point of the hodograph: height above ground (m) and wind components (m/s).
struct HodoPoint {
  double agl, u, v;
};

// The winds of the profile from the ground to 10 km above it, with points added at the
// band limits (interpolated in u and v) so that each band's line meets the next.
std::vector<HodoPoint> hodo_points(const THERM_sounding& s) {
  std::vector<HodoPoint> raw;
  double ground = s.sfc.h;
  for (int i = 0; i < s.wm_num && ground == MISSING; ++i)
    if (s.wm[i].h != MISSING) ground = s.wm[i].h;
  if (ground == MISSING) return raw;
  for (int i = 0; i < s.wm_num; ++i) {
    const UPA_level& l = s.wm[i];
    if (l.h == MISSING || l.dir == MISSING || l.spd == MISSING) continue;
    float u, v;
    wind2vect(l.dir, static_cast<float>(l.spd * kKnotToMs), &u, &v);
    const double agl = l.h - ground;
    if (agl < 0) continue;
    raw.push_back({agl, u, v});
  }
  std::vector<HodoPoint> pts;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (i > 0) {
      const HodoPoint& a = raw[i - 1];
      const HodoPoint& b = raw[i];
      for (const Band& band : kBands)
        if (a.agl < band.top && b.agl > band.top) {
          const double w = (band.top - a.agl) / (b.agl - a.agl);
          pts.push_back({band.top, a.u + w * (b.u - a.u), a.v + w * (b.v - a.v)});
        }
    }
    if (raw[i].agl > kTopAgl) break;
    pts.push_back(raw[i]);
  }
  return pts;
}

// Where the hodograph sits on the page and its scale.
struct HodoBox {
  double x, y, size;  // top-left corner and side, pixels
  double cx, cy;      // the origin of the wind axes, pixels
  double radius;      // of the outermost ring, m/s
  double scale;       // pixels per m/s
  double fs;          // text size
};

// The axes and the rings every kRing m/s, with their speeds.
void draw_rings(DRAW_pen& pen, const HodoBox& b) {
  pen.colour(kRingColour);
  pen.width(0.8);
  pen.move(b.x, b.cy);
  pen.line(b.x + b.size, b.cy);
  pen.move(b.cx, b.y);
  pen.line(b.cx, b.y + b.size);
  for (double r = kRing; r <= b.radius + 0.01; r += kRing) pen.circle(b.cx, b.cy, r * b.scale);
  pen.stroke();
  pen.colour(kBlack);
  for (double r = kRing; r <= b.radius + 0.01; r += kRing)
    pen.text(b.cx + r * b.scale * 0.7071 + 2, b.cy + r * b.scale * 0.7071 + b.fs, std::to_string(
                 static_cast<int>(r)), b.fs * 0.85);
}

// The trace, one line per band; a segment belongs to the band that holds its upper
// end (the band limits are points of the trace, so no segment crosses one).
void draw_trace(DRAW_pen& pen, const HodoBox& b, const std::vector<HodoPoint>& pts) {
  pen.width(b.size > 500 ? 3.5 : 2.5);
  auto band_of = [](double agl) {
    std::size_t k = 0;
    while (k + 1 < std::size(kBands) && agl > kBands[k].top) ++k;
    return k;
  };
  for (std::size_t k = 0; k < std::size(kBands); ++k) {
    bool down = false;
    for (std::size_t i = 1; i < pts.size(); ++i) {
      if (band_of(pts[i].agl) != k) {
        down = false;
        continue;
      }
      if (!down) pen.move(b.cx + pts[i - 1].u * b.scale, b.cy - pts[i - 1].v * b.scale);
      pen.line(b.cx + pts[i].u * b.scale, b.cy - pts[i].v * b.scale);
      down = true;
    }
    pen.colour(kBands[k].colour);
    pen.stroke();
  }
}

// The title, "No winds" when there is no trace, and the band names along the bottom.
void draw_legend(DRAW_pen& pen, const HodoBox& b, bool empty) {
  pen.colour(kBlack);
  pen.text(b.x + 6, b.y + b.fs + 4, "Hodograph (m/s)", b.fs, DRAW_align::left, true);
  if (empty) pen.text(b.cx, b.cy - 8, "No winds", b.fs * 1.3, DRAW_align::centre, true);
  double lx = b.x + 6;
  for (const Band& band : kBands) {
    pen.colour(band.colour);
    pen.text(lx, b.y + b.size - 6, band.name, b.fs, DRAW_align::left, true);
    lx += pen.text_width(band.name, b.fs, true) + 8;
  }
}

}  // namespace

void HODO_draw(DRAW_pen& pen, const THERM_sounding& s, double x, double y, double size) {
  const std::vector<HodoPoint> pts = hodo_points(s);
  float su = MISSING, sv = MISSING;
  if (s.storm.dir != MISSING && s.storm.spd != MISSING)
    wind2vect(s.storm.dir, static_cast<float>(s.storm.spd * kKnotToMs), &su, &sv);

  double fastest = 0;
  for (const HodoPoint& p : pts) fastest = std::max(fastest, std::hypot(p.u, p.v));
  if (su != MISSING) fastest = std::max(fastest, std::hypot(double{su}, double{sv}));
  HodoBox b{x, y, size, x + size / 2, y + size / 2, 0, 0, size > 500 ? 16.0 : 11.0};
  b.radius = std::clamp(std::ceil(fastest / kRing) * kRing, kMinRadius, kMaxRadius);
  b.scale = (size / 2 - 14) / b.radius;

  pen.save();
  pen.colour({1, 1, 1}, 0.92);
  pen.rect(x, y, size, size);
  pen.fill();
  pen.clip(x, y, size, size);
  draw_rings(pen, b);
  draw_trace(pen, b, pts);
  if (su != MISSING) {  // the storm motion
    const double px = b.cx + su * b.scale, py = b.cy - sv * b.scale;
    pen.colour(kBlack);
    pen.width(1.5);
    pen.circle(px, py, 5);
    pen.stroke();
    pen.text(px + 8, py - 6, "SM", b.fs, DRAW_align::left, true);
  }
  draw_legend(pen, b, pts.empty());
  pen.restore();
  pen.colour(kBlack);
  pen.width(1.0);
  pen.rect(x, y, size, size);
  pen.stroke();
}
