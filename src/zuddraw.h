// zuddraw.h — the thermodynamic diagram: the skew-T log-p and Stüve transforms (module
// skewt), the hodograph (module hodograph) and the drawing pen over the cairo library,
// which is loaded only when a diagram is drawn (module draw_pen).

#ifndef ZUDDRAW_H
#define ZUDDRAW_H

#include <cairo.h>

#include <cstdio>
#include <functional>
#include <string>

#include "zudupa.h"

// ---- draw_pen: cairo on demand and the drawing operations the diagrams use ------------

// Output formats of a picture, chosen by the file name's extension.
enum class DRAW_format { none, png, svg, pdf };

// A colour, each component 0-1.
struct DRAW_rgb {
  double r, g, b;
};

// Horizontal anchoring of a text at its reference point (the baseline is the y).
enum class DRAW_align { left, centre, right };

// The few drawing operations of the diagrams, through the loaded library. Coordinates
// are pixels of the picture (points in SVG and PDF), x rightwards and y downwards.
class DRAW_pen {
 public:
  explicit DRAW_pen(cairo_t* cr) : cr_(cr) {}
  void colour(const DRAW_rgb& c, double alpha = 1.0);
  void width(double w);
  void dash(double on, double off);  // dashed lines from here on
  void solid();                      // unbroken lines from here on
  void move(double x, double y);
  void line(double x, double y);
  void close();
  void rect(double x, double y, double w, double h);
  void circle(double x, double y, double r);
  void stroke();
  void fill();
  void paint();                      // the whole picture in the current colour
  void clip(double x, double y, double w, double h);  // drawing limited to the rectangle
  void save();
  void restore();
  // Writes `text` with its baseline at y, anchored at x; size in pixels.
  void text(double x, double y, const std::string& text, double size,
            DRAW_align align = DRAW_align::left, bool bold = false);
  double text_width(const std::string& text, double size, bool bold = false);

 private:
  cairo_t* cr_;
};

// The format named by a file's extension (.png, .svg, .pdf in any case); none otherwise.
DRAW_format DRAW_format_of(const char* file);
// True when the drawing library can be loaded (it is loaded on the first call); false
// with the reason in *why otherwise.
bool DRAW_available(std::string* why);
// Renders a w x h picture painted by `paint` in `format` to the open stream `out`.
// Returns true, or false with the reason in *why.
bool DRAW_render(DRAW_format format, std::FILE* out, int w, int h,
                 const std::function<void(DRAW_pen&)>& paint, std::string* why);

// ---- skewt: the diagram ------------------------------------------------------------------

// Plot types of the "plot_type" resource that this program draws (flag 11).
constexpr int SKEWT_PLOT_STUVE = 61;  // the thermodynamic diagram, unskewed, ordinate p^0.286
constexpr int SKEWT_PLOT_SKEWT = 62;  // skew-T log-p
constexpr int SKEWT_PLOT_HODO = 69;   // the hodograph alone
constexpr int SKEWT_FLAG_PLOT = 11;   // flag that holds the plot type
constexpr int SKEWT_EXIT_NOT_WRITTEN = 12;  // exit status when a diagram was asked for in vain
constexpr int SKEWT_SIZE = 1200;      // width and height of the picture, pixels

// Where the temperature-pressure plane lies in the picture. Pixels, mb, deg C.
struct SKEWT_frame {
  double left, top, right, bottom;  // the plot area
  double pbot, ptop;                // pressures of the bottom and top edges
  double tleft, tright;             // temperatures of the bottom corners
  double skew;                      // rightward shift per pixel of rise: 1 is 45 degrees
  bool stuve;                       // ordinate linear in p^0.286 rather than in ln p
};

// A point of the picture, pixels.
struct SKEWT_xy {
  double x, y;
};

// The frame of a plot type (skew-T log-p for any type other than the Stüve diagram).
SKEWT_frame SKEWT_frame_of(int plot_type);
// The picture point of temperature t (C) at pressure p (mb); pure. p must be positive.
SKEWT_xy SKEWT_transform(const SKEWT_frame& frame, double t, double p);

// Everything a diagram shows: the station, the analysed sounding and its values.
struct SKEWT_input {
  std::string id;      // station identifier
  int wmo = IMISSING;  // WMO number
  std::string name;    // name from the station database, "" when unknown
  Date date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING};
  THERM_sounding snd{};   // profiles and levels of the analysis
  THERM_values values{};  // the values the tables print
};

// Draws diagram `plot_type` of `in` into `file`, whose extension picks the format. The
// picture is written under a temporary name beside the file and renamed, so a failure
// never leaves a partial file. Returns 0, or -1 with the reason in *why.
int SKEWT_write(const char* file, int plot_type, const SKEWT_input& in, std::string* why);
// The program's diagram: when "plot_type" asks for one, gathers the analysed sounding of
// `report`, names the file from "device" or "image_path" and writes it, printing
// "Diagram written to ..." or the reason it was not. Returns 1 when written, 0 when no
// diagram was asked for, -1 when one was asked for but not written.
int SKEWT_plot(const UPA_report* report);

// ---- hodograph -----------------------------------------------------------------------------

// Draws the hodograph of the wind profile (0-10 km above ground, rings every 10 m/s,
// coloured by height band) with the storm motion in the square of side `size` whose
// upper-left corner is (x, y).
void HODO_draw(DRAW_pen& pen, const THERM_sounding& snd, double x, double y, double size);

#endif  // ZUDDRAW_H
