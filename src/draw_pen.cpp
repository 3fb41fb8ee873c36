// draw_pen.cpp — the drawing library, loaded when the first diagram is drawn, and the
// pen through which the diagrams draw: lines, dashes, fills, clipping and text, on a PNG
// image, an SVG document or a PDF page.
//
// cairo brings some twenty shared libraries with it (pixman, fontconfig, freetype, the
// X11 client libraries, ...). Linking it would make every run pay for loading them, and a
// table run measurably slower, so the library is opened with dlopen on first use and each
// entry point used here is looked up once, as the netCDF library is.

#include <dlfcn.h>
#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <cstring>
#include <numbers>
#include <type_traits>

#include "zuddraw.h"

namespace {

// Every entry point of the library the pen and the surfaces use.
#define ZUD_CAIRO_CALLS(X)                                                                 \
  X(cairo_create) X(cairo_destroy) X(cairo_status) X(cairo_status_to_string)              \
  X(cairo_image_surface_create) X(cairo_surface_write_to_png_stream)                      \
  X(cairo_svg_surface_create_for_stream) X(cairo_pdf_surface_create_for_stream)           \
  X(cairo_surface_status) X(cairo_surface_finish) X(cairo_surface_destroy)                \
  X(cairo_set_source_rgba) X(cairo_set_line_width) X(cairo_set_dash)                      \
  X(cairo_set_line_join) X(cairo_set_line_cap) X(cairo_move_to) X(cairo_line_to)          \
  X(cairo_close_path) X(cairo_new_path) X(cairo_new_sub_path) X(cairo_rectangle)          \
  X(cairo_arc) X(cairo_stroke) X(cairo_fill) X(cairo_paint) X(cairo_clip) X(cairo_save)   \
  X(cairo_restore) X(cairo_select_font_face) X(cairo_set_font_size) X(cairo_show_text)    \
  X(cairo_text_extents)

struct CairoLib {
#define ZUD_CAIRO_SLOT(name) decltype(&::name) name = nullptr;
  ZUD_CAIRO_CALLS(ZUD_CAIRO_SLOT)
#undef ZUD_CAIRO_SLOT
  bool loaded = false;
  std::string why;  // why the library could not be loaded
};

const CairoLib& lib() {
  static const CairoLib loaded = [] {
    CairoLib l;
    void* h = dlopen(ZUD_CAIRO_LIB, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
      const char* e = dlerror();
      l.why = std::string("the drawing library cannot be loaded: ") + (e ? e : ZUD_CAIRO_LIB);
      return l;
    }
    bool ok = true;
#define ZUD_CAIRO_LOOKUP(name)                                                 \
  if (void* p = dlsym(h, #name))                                              \
    l.name = reinterpret_cast<decltype(&::name)>(p);                          \
  else if (ok) {                                                              \
    ok = false;                                                               \
    l.why = std::string("the drawing library lacks ") + #name;                \
  }
    ZUD_CAIRO_CALLS(ZUD_CAIRO_LOOKUP)
#undef ZUD_CAIRO_LOOKUP
    l.loaded = ok;
    return l;
  }();
  return loaded;
}

constexpr const char* kFontFace = "DejaVu Sans";  // found through fontconfig

// Hands the bytes of a surface to the caller's stream.
cairo_status_t write_stream(void* closure, const unsigned char* data, unsigned int length) {
  auto* f = static_cast<std::FILE*>(closure);
  return std::fwrite(data, 1, length, f) == length ? CAIRO_STATUS_SUCCESS
                                                   : CAIRO_STATUS_WRITE_ERROR;
}

// The extension of a file name after its last dot, "" when the base name has none.
std::string extension(const char* file) {
  const char* base = std::strrchr(file, '/');
  base = base ? base + 1 : file;
  const char* dot = std::strrchr(base, '.');
  return dot && dot != base ? std::string(dot + 1) : std::string();
}

}  // namespace

void DRAW_pen::colour(const DRAW_rgb& c, double alpha) {
  lib().cairo_set_source_rgba(cr_, c.r, c.g, c.b, alpha);
}
void DRAW_pen::width(double w) { lib().cairo_set_line_width(cr_, w); }
void DRAW_pen::dash(double on, double off) {
  const double d[2] = {on, off};
  lib().cairo_set_dash(cr_, d, 2, 0.0);
}
void DRAW_pen::solid() { lib().cairo_set_dash(cr_, nullptr, 0, 0.0); }
void DRAW_pen::move(double x, double y) { lib().cairo_move_to(cr_, x, y); }
void DRAW_pen::line(double x, double y) { lib().cairo_line_to(cr_, x, y); }
void DRAW_pen::close() { lib().cairo_close_path(cr_); }
void DRAW_pen::rect(double x, double y, double w, double h) {
  lib().cairo_rectangle(cr_, x, y, w, h);
}
void DRAW_pen::circle(double x, double y, double r) {
  lib().cairo_new_sub_path(cr_);
  lib().cairo_arc(cr_, x, y, r, 0.0, 2.0 * std::numbers::pi);
}
void DRAW_pen::stroke() { lib().cairo_stroke(cr_); }
void DRAW_pen::fill() { lib().cairo_fill(cr_); }
void DRAW_pen::paint() { lib().cairo_paint(cr_); }
void DRAW_pen::clip(double x, double y, double w, double h) {
  lib().cairo_new_path(cr_);
  lib().cairo_rectangle(cr_, x, y, w, h);
  lib().cairo_clip(cr_);
}
void DRAW_pen::save() { lib().cairo_save(cr_); }
void DRAW_pen::restore() { lib().cairo_restore(cr_); }

void DRAW_pen::text(double x, double y, const std::string& text, double size, DRAW_align align,
                    bool bold) {
  if (text.empty()) return;
  double dx = 0.0;
  if (align != DRAW_align::left) {
    const double w = text_width(text, size, bold);
    dx = align == DRAW_align::centre ? -w / 2.0 : -w;
  }
  lib().cairo_select_font_face(cr_, kFontFace, CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  lib().cairo_set_font_size(cr_, size);
  lib().cairo_move_to(cr_, x + dx, y);
  lib().cairo_show_text(cr_, text.c_str());
  lib().cairo_new_path(cr_);
}

double DRAW_pen::text_width(const std::string& text, double size, bool bold) {
  lib().cairo_select_font_face(cr_, kFontFace, CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  lib().cairo_set_font_size(cr_, size);
  cairo_text_extents_t ext{};
  lib().cairo_text_extents(cr_, text.c_str(), &ext);
  return ext.x_advance;
}

DRAW_format DRAW_format_of(const char* file) {
  if (file == nullptr) return DRAW_format::none;
  const std::string ext = extension(file);
  if (stricmp(ext.c_str(), "png") == 0) return DRAW_format::png;
  if (stricmp(ext.c_str(), "svg") == 0) return DRAW_format::svg;
  if (stricmp(ext.c_str(), "pdf") == 0) return DRAW_format::pdf;
  return DRAW_format::none;
}

bool DRAW_available(std::string* why) {
  if (lib().loaded) return true;
  if (why) *why = lib().why;
  return false;
}

bool DRAW_render(DRAW_format format, std::FILE* out, int w, int h,
                 const std::function<void(DRAW_pen&)>& paint, std::string* why) {
  std::string reason;
  if (!DRAW_available(&reason)) {
    if (why) *why = reason;
    return false;
  }
  const CairoLib& c = lib();
  cairo_surface_t* surface = nullptr;
  switch (format) {
    case DRAW_format::png:
      // No transparency: the picture has a white ground, and the file is plain RGB.
      surface = c.cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
      break;
    case DRAW_format::svg:
      surface = c.cairo_svg_surface_create_for_stream(write_stream, out, w, h);
      break;
    case DRAW_format::pdf:
      surface = c.cairo_pdf_surface_create_for_stream(write_stream, out, w, h);
      break;
    case DRAW_format::none:
      if (why) *why = "unknown picture format";
      return false;
  }
  cairo_t* cr = c.cairo_create(surface);
  c.cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  c.cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  DRAW_pen pen(cr);
  paint(pen);
  cairo_status_t status = c.cairo_status(cr);
  c.cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS && format == DRAW_format::png)
    status = c.cairo_surface_write_to_png_stream(surface, write_stream, out);
  c.cairo_surface_finish(surface);  // vector surfaces write their last bytes here
  if (status == CAIRO_STATUS_SUCCESS) status = c.cairo_surface_status(surface);
  c.cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    if (why) *why = c.cairo_status_to_string(status);
    return false;
  }
  return true;
}
