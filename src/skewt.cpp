// skewt.cpp — the thermodynamic diagram of the analysed sounding: a skew-T log-p diagram
// (or the same on a Stüve diagram) with the background lines, temperature, dew point,
// wet-bulb temperature, the lifted parcel and its levels, the tropopause and maximum
// wind, wind barbs, a hodograph inset, a header and the values a forecaster reads first;
// written as PNG, SVG or PDF.
//
// The picture is 1200 x 1200 pixels (points in SVG and PDF). The transform from
// temperature and pressure to the picture is a pure function of the frame, so that the
// same numbers place the curves, the labels and the tests' expectations.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "zudcty.h"
#include "zuddraw.h"
#include "zudresrc.h"

namespace {

constexpr M_type kError = MESS_ERROR;  // a diagram asked for but not written
constexpr M_type kMess = MESS_MESS;    // the name of the written diagram
constexpr M_type kQuiet = MESS_WARN | MESS_MESS;  // silenced during the name look-up

constexpr double kCtoK = 273.15;      // kelvin of 0 C
constexpr double kKappa = 0.286;      // R/cp of dry air, the exponent of the Stüve ordinate

// Layout of the picture, pixels.
constexpr double kFrameLeft = 70, kFrameTop = 70, kFrameRight = 950, kFrameBottom = 1010;
constexpr double kPresBottom = 1050, kPresTop = 100;  // mb at the frame's bottom and top
constexpr double kSkewTLeft = -40, kSkewTRight = 48;  // C at the bottom corners: 10 px/C
constexpr double kStuveTLeft = -100, kStuveTRight = 60;  // 5.5 px/C, room for 100 mb
constexpr double kBarbX = 1010;        // foot of the wind barbs' staffs
constexpr double kBarbLength = 30;     // staff length
constexpr double kBarbMinGap = 25;     // mb between two drawn barbs at least
// Pixels between two drawn barbs at least: more than a staff, so that two barbs never
// overlap whichever way they point (near the ground 25 mb is only some 10 pixels).
constexpr double kBarbMinRise = kBarbLength + 4;
// The hodograph inset sits in the top corner the curves seldom reach: the cold upper left
// of the skew-T (only a very dry stratospheric dew point gets there), the warm upper right
// of the Stüve diagram.
constexpr double kInsetMargin = 10, kInsetSize = 290;
constexpr double kBoxTop = 1048;       // top of the values box

// Colours.
constexpr DRAW_rgb kBlack = {0, 0, 0};
constexpr DRAW_rgb kWhite = {1, 1, 1};
constexpr DRAW_rgb kGrid = {0.72, 0.72, 0.72};        // isobars and isotherms
constexpr DRAW_rgb kDryAd = {0.85, 0.72, 0.55};       // dry adiabats
constexpr DRAW_rgb kSatAd = {0.6, 0.8, 0.65};         // saturated adiabats
constexpr DRAW_rgb kMixRat = {0.75, 0.65, 0.85};      // mixing-ratio lines
constexpr DRAW_rgb kTemp = {0.9, 0.0, 0.0};           // temperature
constexpr DRAW_rgb kDewp = {0.0, 0.62, 0.0};          // dew point
constexpr DRAW_rgb kWetb = {0.2, 0.4, 1.0};           // wet-bulb temperature
constexpr DRAW_rgb kParcel = {0.25, 0.25, 0.25};      // lifted parcel
constexpr DRAW_rgb kTrop = {0.1, 0.2, 0.6};           // tropopause mark
constexpr DRAW_rgb kMaxWind = {0.55, 0.1, 0.55};      // maximum wind mark

// Labelled isobars, mb.
constexpr double kIsobars[] = {1000, 900, 850, 800, 700, 600, 500, 400,
                               300,  250, 200, 150, 100};
// Mixing-ratio lines, g/kg, drawn from the bottom up to 600 mb.
constexpr double kMixRatios[] = {0.4, 1, 2, 4, 7, 10, 16, 24};
constexpr double kMixTop = 600;
// Saturated adiabats are drawn up to here, where they run with the dry ones.
constexpr double kSatadTop = 200;

bool valid(float x) { return x != MISSING; }
bool valid_p(float p) { return p != MISSING && p > 0.0f; }

// The y of pressure p as a fraction of the frame's height from the bottom.
double height_fraction(const SKEWT_frame& f, double p) {
  if (f.stuve)
    return (std::pow(f.pbot, kKappa) - std::pow(p, kKappa)) /
           (std::pow(f.pbot, kKappa) - std::pow(f.ptop, kKappa));
  return std::log(f.pbot / p) / std::log(f.pbot / f.ptop);
}

// A curve through (t, p) points: the pen is lifted at every missing point, so missing
// data shows as a gap, never as a line to -9999; a point alone between gaps is drawn as
// a dot so that it is not lost. end() closes the last run before the stroke.
class Curve {
 public:
  Curve(DRAW_pen& pen, const SKEWT_frame& f) : pen_(pen), f_(f) {}
  void add(double t, double p) {
    if (t == MISSING || !(p > 0.0)) {
      end();
      return;
    }
    const SKEWT_xy q = SKEWT_transform(f_, t, p);
    if (run_ > 0)
      pen_.line(q.x, q.y);
    else
      pen_.move(q.x, q.y);
    if (run_++ == 0) first_ = q;
  }
  void end() {
    if (run_ == 1) pen_.circle(first_.x, first_.y, kDot);
    run_ = 0;
  }

 private:
  static constexpr double kDot = 1.5;  // radius of the dot of a lone point, pixels
  DRAW_pen& pen_;
  const SKEWT_frame& f_;
  int run_ = 0;           // points of the current run
  SKEWT_xy first_{};      // its first point
};

// Pressures from p1 down to p2 (mb) in n equal steps of ln p, both ends included.
std::vector<double> log_steps(double p1, double p2, int n) {
  std::vector<double> ps;
  for (int i = 0; i <= n; ++i) ps.push_back(p1 * std::pow(p2 / p1, static_cast<double>(i) / n));
  return ps;
}

// Text of a value with its format, or "-" when it is missing.
std::string shown(double v, const char* format) {
  if (v == MISSING) return "-";
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// ---- background -------------------------------------------------------------------------

// Isobars and isotherms every 10 C: straight lines, so their two ends suffice.
void draw_grid(DRAW_pen& pen, const SKEWT_frame& f) {
  pen.colour(kGrid);
  for (const double p : kIsobars) {
    const double y = SKEWT_transform(f, 0, p).y;
    pen.move(f.left, y);
    pen.line(f.right, y);
  }
  for (int t = -160; t <= 60; t += 10) {
    const SKEWT_xy a = SKEWT_transform(f, t, f.pbot), b = SKEWT_transform(f, t, f.ptop);
    pen.move(a.x, a.y);
    pen.line(b.x, b.y);
  }
  pen.stroke();
}

// Dry adiabats every 10 K of potential temperature.
void draw_dry_adiabats(DRAW_pen& pen, const SKEWT_frame& f) {
  const std::vector<double> column = log_steps(f.pbot, f.ptop, 48);
  pen.colour(kDryAd);
  for (int theta = 230; theta <= 480; theta += 10) {
    Curve c(pen, f);
    for (const double p : column)
      c.add(temp_on_dryad(static_cast<float>(theta), static_cast<float>(p)) - kCtoK, p);
  }
  pen.stroke();
}

// Saturated adiabats labelled by their wet-bulb potential temperature, -20 to 36 C.
void draw_saturated_adiabats(DRAW_pen& pen, const SKEWT_frame& f) {
  pen.colour(kSatAd);
  const std::vector<double> moist = log_steps(f.pbot, kSatadTop, 40);
  for (int tw = -20; tw <= 36; tw += 4) {
    const float label = thetae_on_satad(static_cast<float>(tw + kCtoK), 1000.0f);
    if (label <= 0.0f) continue;
    Curve c(pen, f);
    for (const double p : moist) {
      const float t = temp_on_satad(label, static_cast<float>(p));
      c.add(t == MISSING ? MISSING : t - kCtoK, p);
    }
  }
  pen.stroke();
}

// Dashed lines of constant mixing ratio, labelled (g/kg) at their top.
void draw_mixing_ratios(DRAW_pen& pen, const SKEWT_frame& f) {
  pen.colour(kMixRat);
  pen.dash(4, 4);
  for (const double w_gkg : kMixRatios) {
    Curve c(pen, f);
    for (const double p : log_steps(f.pbot, kMixTop, 8)) {
      const float t = temp_on_mixrat(static_cast<float>(w_gkg), static_cast<float>(p));
      c.add(t > 0.0f ? t - kCtoK : MISSING, p);
    }
  }
  pen.stroke();
  pen.solid();
  for (const double w_gkg : kMixRatios) {
    const float t = temp_on_mixrat(static_cast<float>(w_gkg), static_cast<float>(kMixTop));
    if (t <= 0.0f) continue;
    const SKEWT_xy q = SKEWT_transform(f, t - kCtoK, kMixTop);
    pen.text(q.x, q.y - 3, shown(w_gkg, w_gkg < 1 ? "%.1f" : "%.0f"), 10, DRAW_align::centre);
  }
}

// Labels outside the frame: pressures on the left, temperatures below; the isotherms
// that leave the frame through its left edge are labelled just inside it.
void draw_axis_labels(DRAW_pen& pen, const SKEWT_frame& f) {
  pen.colour(kBlack);
  for (const double p : kIsobars) {
    const double y = SKEWT_transform(f, 0, p).y;
    pen.text(f.left - 6, y + 4, shown(p, "%.0f"), 12, DRAW_align::right);
  }
  for (int t = -160; t <= 60; t += 10) {
    const double xb = SKEWT_transform(f, t, f.pbot).x;
    if (xb >= f.left - 0.5 && xb <= f.right + 0.5) {
      pen.text(xb, f.bottom + 16, std::to_string(t), 12, DRAW_align::centre);
    } else if (xb < f.left && f.skew > 0) {
      const double y = f.bottom - (f.left - xb) / f.skew;  // where it meets the left edge
      if (y > f.top + 10) pen.text(f.left + 3, y - 3, std::to_string(t), 11);
    }
  }
  pen.text(f.left - 6, f.bottom + 32, "mb", 12, DRAW_align::right);
  pen.text(f.right, f.bottom + 32, "deg C", 12, DRAW_align::right);
}

void draw_background(DRAW_pen& pen, const SKEWT_frame& f) {
  const double w = f.right - f.left, h = f.bottom - f.top;
  pen.save();
  pen.clip(f.left, f.top, w, h);
  pen.width(0.8);
  draw_grid(pen, f);
  draw_dry_adiabats(pen, f);
  draw_saturated_adiabats(pen, f);
  draw_mixing_ratios(pen, f);
  pen.restore();

  draw_axis_labels(pen, f);

  pen.colour(kBlack);
  pen.width(1.2);
  pen.rect(f.left, f.top, w, h);
  pen.stroke();
}

// ---- the sounding -------------------------------------------------------------------------

// The parcel's temperature (C) at p: its dry adiabat below the condensation level, its
// saturated adiabat above; missing when the parcel table has no ascent.
double parcel_temp(const PARCEL_params& pc, double p) {
  if (!valid_p(pc.plcl) || !valid(pc.tlcl) || !(p > 0.0)) return MISSING;
  if (p >= pc.plcl) {
    const float theta = pot_temp(pc.tlcl, pc.plcl);
    return theta == MISSING ? MISSING : temp_on_dryad(theta, static_cast<float>(p)) - kCtoK;
  }
  if (!(pc.Satad > 0.0f)) return MISSING;
  const float t = temp_on_satad(pc.Satad, static_cast<float>(p));
  return t == MISSING ? MISSING : t - kCtoK;
}

// The pressure of the highest level of the thermodynamic profile, where the ascent ends.
double sounding_top(const THERM_sounding& s) {
  for (int i = s.sm_num - 1; i >= 0; --i)
    if (valid_p(s.sm[i].p)) return s.sm[i].p;
  return MISSING;
}

void draw_parcel(DRAW_pen& pen, const SKEWT_frame& f, const THERM_sounding& s,
                 const PARCEL_params& pc) {
  if (!valid_p(s.par.p) || !valid_p(pc.plcl)) return;
  const double top = std::max(f.ptop, sounding_top(s));
  pen.colour(kParcel);
  pen.width(1.6);
  pen.dash(7, 5);
  Curve c(pen, f);
  if (s.par.p > pc.plcl)
    for (const double p : log_steps(s.par.p, pc.plcl, 12)) c.add(parcel_temp(pc, p), p);
  if (pc.plcl > top)
    for (const double p : log_steps(pc.plcl, top, 60)) c.add(parcel_temp(pc, p), p);
  c.end();
  pen.stroke();
  pen.solid();

  // The characteristic levels: a tick right of the parcel's curve and the level's name.
  struct Mark {
    const char* name;
    float p;
  };
  const Mark marks[] = {{"LCL", pc.plcl}, {"LFC", pc.lfc}, {"EL", pc.el}};
  pen.width(1.4);
  for (const Mark& m : marks) {
    if (!valid_p(m.p) || m.p < f.ptop || m.p > f.pbot) continue;  // an LFC of -1: none
    const double t = parcel_temp(pc, m.p);
    if (t == MISSING) continue;
    const SKEWT_xy q = SKEWT_transform(f, t, m.p);
    pen.colour(kBlack);
    pen.move(q.x + 8, q.y);
    pen.line(q.x + 30, q.y);
    pen.stroke();
    pen.text(q.x + 34, q.y + 4, std::string(m.name) + " " + shown(m.p, "%.0f mb"), 12,
             DRAW_align::left, true);
  }
}

void draw_profiles(DRAW_pen& pen, const SKEWT_frame& f, const THERM_sounding& s,
                   const THERM_values& v) {
  pen.save();
  pen.clip(f.left, f.top, f.right - f.left, f.bottom - f.top);

  pen.colour(kWetb);
  pen.width(1.0);
  {
    Curve c(pen, f);
    for (int i = 0; i < s.sm_num; ++i) {
      const UPA_level& l = s.sm[i];
      double tw = MISSING;
      if (valid(l.t) && valid(l.td) && valid_p(l.p)) {
        const float k = wet_bulb(static_cast<float>(l.t + kCtoK), static_cast<float>(l.td + kCtoK),
                                 l.p);
        if (k > 0.0f) tw = k - kCtoK;
      }
      c.add(tw, l.p);
    }
    c.end();
  }
  pen.stroke();

  draw_parcel(pen, f, s, v.parcel);

  pen.colour(kDewp);
  pen.width(2.6);
  {
    Curve c(pen, f);
    for (int i = 0; i < s.sm_num; ++i) c.add(s.sm[i].td, s.sm[i].p);
    c.end();
  }
  pen.stroke();

  pen.colour(kTemp);
  pen.width(2.6);
  {
    Curve c(pen, f);
    for (int i = 0; i < s.sm_num; ++i) c.add(s.sm[i].t, s.sm[i].p);
    c.end();
  }
  pen.stroke();

  // The tropopause: a bar across the temperature curve at its pressure.
  if (valid_p(s.trop.p) && s.trop.p >= f.ptop && s.trop.p <= f.pbot) {
    const double x = valid(s.trop.t) ? SKEWT_transform(f, s.trop.t, s.trop.p).x
                                     : (f.left + f.right) / 2;
    const double y = SKEWT_transform(f, 0, s.trop.p).y;
    pen.colour(kTrop);
    pen.width(2.0);
    pen.move(x - 45, y);
    pen.line(x + 45, y);
    pen.stroke();
    pen.text(x - 50, y + 4, "Tropopause " + shown(s.trop.p, "%.0f mb"), 12, DRAW_align::right);
  }
  pen.restore();
}

// ---- winds ----------------------------------------------------------------------------------

// One wind barb with its foot at (x, y): the staff points to where the wind blows from,
// pennants of 50, barbs of 10 and half barbs of 5 knots on its clockwise side.
void barb(DRAW_pen& pen, double x, double y, double dir, double spd) {
  const long fives = std::lround(spd / 5.0);
  if (fives == 0) {  // calm
    pen.circle(x, y, 4);
    pen.stroke();
    return;
  }
  const double a = dir * std::numbers::pi / 180.0;
  const double ux = std::sin(a), uy = -std::cos(a);  // from the foot towards the tip
  const double px = -uy, py = ux;                     // the feathers' side
  const double tx = x + kBarbLength * ux, ty = y + kBarbLength * uy;
  pen.move(x, y);
  pen.line(tx, ty);
  pen.stroke();
  constexpr double kFeather = 15, kSlant = 5, kStep = 6, kPennant = 8;
  double pos = 0;  // distance from the tip
  for (long n = fives / 10; n > 0; --n) {
    pen.move(tx - pos * ux, ty - pos * uy);
    pen.line(tx - pos * ux + kFeather * px, ty - pos * uy + kFeather * py);
    pen.line(tx - (pos + kPennant) * ux, ty - (pos + kPennant) * uy);
    pen.close();
    pen.fill();
    pos += kPennant + 2;
  }
  const long tens = (fives % 10) / 2;
  const bool half = fives % 2 == 1;
  if (fives == 1) pos = kStep;  // a lone half barb stands off the tip
  for (long n = 0; n < tens + (half ? 1 : 0); ++n) {
    const double len = n < tens ? kFeather : kFeather / 2;
    const double bx = tx - pos * ux, by = ty - pos * uy;
    pen.move(bx, by);
    pen.line(bx + len * px + len / kFeather * kSlant * ux, by + len * py + len / kFeather * kSlant * uy);
    pos += kStep;
  }
  pen.stroke();
}

void draw_barbs(DRAW_pen& pen, const SKEWT_frame& f, const THERM_sounding& s) {
  pen.colour(kBlack);
  pen.width(1.3);
  pen.move(kBarbX, f.top);
  pen.line(kBarbX, f.bottom);
  pen.colour(kGrid);
  pen.stroke();
  pen.colour(kBlack);
  pen.text(kBarbX, f.top - 8, "kt", 12, DRAW_align::centre);
  double last = MISSING, last_y = MISSING;  // pressure and y of the last barb drawn
  for (int i = 0; i < s.wm_num; ++i) {
    const UPA_level& l = s.wm[i];
    if (!valid_p(l.p) || !valid(l.dir) || !valid(l.spd) || l.p > f.pbot || l.p < f.ptop) continue;
    const double y = SKEWT_transform(f, 0, l.p).y;
    if (last != MISSING && (last - l.p < kBarbMinGap || last_y - y < kBarbMinRise)) continue;
    barb(pen, kBarbX, y, l.dir, l.spd);
    last = l.p;
    last_y = y;
  }
  // The maximum wind: a mark beside the barbs with its direction and speed.
  if (valid_p(s.mwnd.p) && s.mwnd.p >= f.ptop && s.mwnd.p <= f.pbot) {
    const double y = SKEWT_transform(f, 0, s.mwnd.p).y;
    pen.colour(kMaxWind);
    pen.width(2.0);
    pen.move(kBarbX + 34, y);
    pen.line(kBarbX + 46, y);
    pen.stroke();
    pen.text(kBarbX + 50, y, "Max wind", 12, DRAW_align::left, true);
    if (valid(s.mwnd.dir) && valid(s.mwnd.spd))
      pen.text(kBarbX + 50, y + 14, shown(s.mwnd.dir, "%03.0f") + "/" + shown(s.mwnd.spd, "%.0f kt"),
               12);
  }
}

// ---- header and values --------------------------------------------------------------------

std::string date_text(const Date& d) {
  if (d.year == IMISSING || d.month == IMISSING || d.day == IMISSING) return "";
  static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (d.month < 1 || d.month > 12) return "";
  char buf[64];
  if (d.hour != IMISSING)
    std::snprintf(buf, sizeof buf, "%02dZ %02d %s %04d", d.hour, d.day, kMonths[d.month - 1],
                  d.year);
  else
    std::snprintf(buf, sizeof buf, "%02d %s %04d", d.day, kMonths[d.month - 1], d.year);
  return buf;
}

void draw_header(DRAW_pen& pen, const SKEWT_input& in, int plot_type) {
  std::string title = in.id;
  if (in.wmo != IMISSING) title += "  " + shown(in.wmo, "%05.0f");
  if (!in.name.empty()) title += "  " + in.name;
  pen.colour(kBlack);
  pen.text(20, 32, title, 22, DRAW_align::left, true);
  pen.text(SKEWT_SIZE - 20, 32, date_text(in.date), 22, DRAW_align::right, true);

  const char* kind = plot_type == SKEWT_PLOT_HODO    ? "Hodograph"
                     : plot_type == SKEWT_PLOT_STUVE ? "Stüve diagram"
                                                     : "Skew-T log-p";
  pen.text(20, 56, kind, 13);
  // The legend of the curves.
  struct Key {
    const char* name;
    DRAW_rgb colour;
    bool dashed;
  };
  const Key keys[] = {{"Temperature", kTemp, false}, {"Dew point", kDewp, false},
                      {"Wet-bulb", kWetb, false},    {"Parcel", kParcel, true}};
  if (plot_type == SKEWT_PLOT_HODO) return;
  double x = 250;
  for (const Key& k : keys) {
    pen.colour(k.colour);
    pen.width(2.2);
    if (k.dashed) pen.dash(7, 5);
    pen.move(x, 52);
    pen.line(x + 28, 52);
    pen.stroke();
    pen.solid();
    pen.colour(kBlack);
    pen.text(x + 34, 56, k.name, 13);
    x += 44 + pen.text_width(k.name, 13);
  }
}

// The box with the values a forecaster looks at first, as the tables print them.
void draw_values(DRAW_pen& pen, const SKEWT_input& in) {
  const THERM_values& v = in.values;
  const PARCEL_params& pc = v.parcel;
  const THERM_sounding& s = in.snd;
  const std::string lfc = pc.lfc == -1.0f ? "none" : shown(pc.lfc, "%.0f mb");
  auto wind = [](const WIND& w) {
    return w.dir == MISSING || w.spd == MISSING
               ? std::string("-")
               : shown(w.dir, "%03.0f") + "/" + shown(w.spd, "%.0f kt");
  };
  struct Row {
    const char* name;
    std::string value;
  };
  const std::vector<std::vector<Row>> columns = {
      {{"CAPE", shown(pc.Bplus, "%.0f J/kg")},
       {"CIN", shown(pc.Bminus, "%.0f J/kg")},
       {"LCL", shown(pc.plcl, "%.0f mb")},
       {"LFC", lfc},
       {"EL", shown(pc.el, "%.0f mb")}},
      {{"Lifted index", shown(v.li, "%.1f C")},
       {"Showalter", shown(v.si, "%.1f C")},
       {"K index", shown(v.k, "%.1f")},
       {"Total totals", shown(v.tt, "%.1f")}},
      {{"Precipitable water", shown(v.precip, "%.2f in")},
       {"Helicity 0-3 km", shown(v.helicity.tot_hel, "%.0f m2/s2")},
       {"Mean wind 0-6 km", wind(s.mean6)},
       {"Storm motion", wind(s.storm)}},
  };
  pen.colour(kBlack);
  pen.width(1.0);
  pen.rect(20, kBoxTop, SKEWT_SIZE - 40, SKEWT_SIZE - kBoxTop - 12);
  pen.stroke();
  const double col_width = (SKEWT_SIZE - 40) / 3.0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const double x = 20 + c * col_width + 14;
    double y = kBoxTop + 24;
    for (const Row& r : columns[c]) {
      pen.text(x, y, r.name, 15);
      pen.text(x + col_width - 40, y, r.value, 15, DRAW_align::right, true);
      y += 26;
    }
  }
}

// ---- the whole picture --------------------------------------------------------------------

void draw(DRAW_pen& pen, int plot_type, const SKEWT_input& in) {
  pen.colour(kWhite);
  pen.paint();
  draw_header(pen, in, plot_type);
  if (plot_type == SKEWT_PLOT_HODO) {
    HODO_draw(pen, in.snd, kFrameLeft, kFrameTop, kFrameBottom - kFrameTop);
  } else {
    const SKEWT_frame f = SKEWT_frame_of(plot_type);
    draw_background(pen, f);
    draw_profiles(pen, f, in.snd, in.values);
    draw_barbs(pen, f, in.snd);
    const double x = f.skew > 0 ? f.left + kInsetMargin : f.right - kInsetMargin - kInsetSize;
    HODO_draw(pen, in.snd, x, f.top + kInsetMargin, kInsetSize);
  }
  draw_values(pen, in);
}

// True when the sounding has anything to draw: a level with a pressure and a
// temperature or dew point, or a wind.
bool has_levels(const THERM_sounding& s) {
  for (int i = 0; i < s.sm_num; ++i)
    if (valid_p(s.sm[i].p) && (valid(s.sm[i].t) || valid(s.sm[i].td))) return true;
  for (int i = 0; i < s.wm_num; ++i)
    if (valid(s.wm[i].dir) && valid(s.wm[i].spd)) return true;
  return false;
}

// The name of the diagram when "device" names none: <image_path>/<station>_<yymmddhh>.png,
// or <station>.png when the file's date is unknown.
std::string default_name(const SKEWT_input& in) {
  std::string name;
  if (const char* dir = RES_get("image_path"); dir != nullptr && *dir != '\0') {
    name = dir;
    if (name.back() != '/') name += '/';
  }
  std::string id = in.id.empty() ? "station" : in.id;
  std::replace(id.begin(), id.end(), '/', '_');  // an identifier is never a directory
  name += id;
  const Date& d = in.date;
  if (d.year != IMISSING && d.month != IMISSING && d.day != IMISSING && d.hour != IMISSING) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "_%02d%02d%02d%02d", ((d.year % 100) + 100) % 100,
                  d.month % 100, d.day % 100, d.hour % 100);
    name += stamp;
  }
  return name + ".png";
}

// The station's name from the station database, quietly: the merge has already reported
// the database and the search.
std::string station_name(const char* id) {
  const M_type quiet = MESS_get() & kQuiet;
  MESS_set(9, kQuiet);
  CTY_data rec{};
  const bool found = CTY_get("upa.cty", id, &rec) == 1;
  MESS_set(11, quiet);
  if (!found) return "";
  std::string name = rec.name;
  std::replace(name.begin(), name.end(), '_', ' ');
  for (const char* part : {rec.state, rec.region})
    if (*part != '\0') name += std::string(" ") + part;
  return name;
}

}  // namespace

// ---- interfaces -------------------------------------------------------------------------------

SKEWT_frame SKEWT_frame_of(int plot_type) {
  if (plot_type == SKEWT_PLOT_STUVE)
    return {kFrameLeft, kFrameTop, kFrameRight, kFrameBottom, kPresBottom, kPresTop,
            kStuveTLeft, kStuveTRight, 0.0, true};
  return {kFrameLeft, kFrameTop, kFrameRight, kFrameBottom, kPresBottom, kPresTop,
          kSkewTLeft, kSkewTRight, 1.0, false};
}

// y falls linearly with ln p (or p^0.286 on the Stüve diagram) from the bottom edge at
// pbot to the top edge at ptop; x grows with t at a fixed scale and, on the skew-T,
// moves right by one pixel per pixel of rise, so that isotherms lean at 45 degrees.
SKEWT_xy SKEWT_transform(const SKEWT_frame& f, double t, double p) {
  const double y = f.bottom - (f.bottom - f.top) * height_fraction(f, p);
  const double x = f.left + (t - f.tleft) * (f.right - f.left) / (f.tright - f.tleft) +
                   f.skew * (f.bottom - y);
  return {x, y};
}

int SKEWT_write(const char* file, int plot_type, const SKEWT_input& in, std::string* why) {
  std::string reason;
  const DRAW_format format = DRAW_format_of(file);
  if (format == DRAW_format::none) {
    reason = "the name needs the extension .png, .svg or .pdf";
  } else if (!has_levels(in.snd)) {
    reason = "station " + in.id + " has no levels to draw";
  } else if (!DRAW_available(&reason)) {
    // reason set
  } else {
    // A temporary file beside the target, renamed when complete.
    const std::string target = file;
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string tmp = dir + "." + base + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
      reason = std::strerror(errno);
    } else {
      const mode_t mask = umask(0);
      umask(mask);
      fchmod(fd, 0666 & ~mask);  // the permissions an ordinary new file gets
      std::FILE* out = fdopen(fd, "wb");
      bool ok = out != nullptr;
      if (!ok) {
        reason = std::strerror(errno);
        close(fd);
      } else {
        ok = DRAW_render(format, out, SKEWT_SIZE, SKEWT_SIZE,
                         [&](DRAW_pen& pen) { draw(pen, plot_type, in); }, &reason);
        if (std::fclose(out) != 0 && ok) {
          ok = false;
          reason = std::strerror(errno);
        }
      }
      if (ok && std::rename(tmp.c_str(), file) != 0) {
        ok = false;
        reason = std::strerror(errno);
      }
      if (!ok) unlink(tmp.c_str());
      if (ok) return 0;
    }
  }
  if (why) *why = reason;
  return -1;
}

int SKEWT_plot(const UPA_report* report) {
  const int type = FLAG_get(SKEWT_FLAG_PLOT);
  if (type != SKEWT_PLOT_SKEWT && type != SKEWT_PLOT_STUVE && type != SKEWT_PLOT_HODO) return 0;

  SKEWT_input in;
  if (report != nullptr) {
    in.id = report->id;
    in.wmo = report->wmo;
    in.name = station_name(report->id);
  }
  if (const Date* d = UPA_get_file_date(); d != nullptr) in.date = *d;
  THERM_get_sounding(&in.snd);
  if (const THERM_values* v = THERM_get_values(); v != nullptr) in.values = *v;

  const char* device = nullptr;
  RES_getval("device", &device, CV_device);
  const std::string file = device != nullptr && *device != '\0' ? device : default_name(in);

  std::string why;
  if (SKEWT_write(file.c_str(), type, in, &why) != 0) {
    MESS_print(kError, "Diagram not written: %s: %s\n", file.c_str(), why.c_str());
    return -1;
  }
  MESS_print(kMess, "Diagram written to %s\n", file.c_str());
  return 1;
}
