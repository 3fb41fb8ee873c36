// upa_write.cpp — writing decoded soundings into the converted "ZUDUPAx" files.
//
// A block is the coded form the reader (ua_read) takes apart again: 5-character groups
// PPhhh TTTdd dddff for the standard levels, 88PPP and 77PPP for tropopause and maximum
// wind, PPP TTTdd pairs for the significant levels and HH dddff pairs (thousands of feet)
// for the wind levels. One file holds one observation time; a file that already exists
// keeps the blocks of the stations not being written, and every file is written under a
// temporary name and renamed, so that a reader sees the old file or the new one, never
// half of one.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "zudingest.h"

namespace {

constexpr M_type kError = MESS_ERROR;      // "error"
constexpr M_type kWarn = MESS_WARN;        // "warn": a file ending in an unfinished block
constexpr double kFeetToM = 0.3048;      // international foot
constexpr int kMaxName = 160;            // file names of the naming convention
constexpr int kMaxSig = UPA_MAX_SIG;     // significant levels a block may hold
constexpr int kMaxWnd = UPA_MAX_WND;     // wind levels a block may hold
constexpr int kMaxHH = 99;               // highest wind height, thousands of feet
constexpr int kQuirkSigCount = 50;       // the reader skips one token after 50 levels
constexpr int kPerLine = 7;              // pairs per line of the level lists
constexpr int kMaxSpeed = 250;           // fastest wind the reader accepts, knots
constexpr int kMaxDepressionCode = 98;   // 99 reads as missing: depressions to 48 C
constexpr const char* kHeader = "ZUDUPAx";
constexpr std::size_t kMaxToken = 79;       // bytes of a station token
constexpr std::size_t kBlockReserve = 4096;  // bytes of a full block: one allocation
constexpr std::size_t kBlocksPerPiece = 32;  // blocks one thread formats at a time
constexpr std::size_t kShareFrom = 2 * kBlocksPerPiece;  // new blocks from which two threads format

// The standard levels of a block with their pressure codes, 1000 to 10 mb, then the
// levels above 10 mb that a block may add.
struct StdLevel {
  float p;
  const char* code;
};
constexpr StdLevel kStd[] = {{1000, "00"}, {925, "92"}, {850, "85"}, {700, "70"},
                             {500, "50"},  {400, "40"}, {300, "30"}, {250, "25"},
                             {200, "20"},  {150, "15"}, {100, "10"}, {70, "07"},
                             {50, "05"},   {30, "03"},  {20, "02"},  {10, "01"}};
constexpr StdLevel kAbove[] = {{7, "-7"}, {5, "-5"}, {3, "-3"}, {2, "-2"}, {1, "-1"}};

bool missing(float v) { return v == MISSING; }

std::string fmt(const char* format, double a) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

// `v` as printf's "%.<prec>f" prints it (prec 0 to 2), without the printf machinery: most
// reports carry a note with a few numbers.
std::string fixed(double v, int prec) {
  std::string s;
  append_fixed(&s, v, 0, prec);
  return s;
}

// std::lround (halves away from zero), inline: every group rounds a value or two, and
// the library call costs as much as the rest of the group.
long round_off(double x) {
  if (!(std::fabs(x) < 1e15)) return std::lround(x);
  long t = static_cast<long>(x);                   // toward zero
  const double rest = x - static_cast<double>(t);  // exact: x and t share their binade
  if (rest >= 0.5)
    ++t;
  else if (rest <= -0.5)
    --t;
  return t;
}

// Sorts `v` by `less`, keeping equal elements in their order, as std::stable_sort does,
// without its buffer: the level lists are short and mostly in order already.
template <typename T, typename Less>
void sort_in_order(std::vector<T>* v, Less less) {
  for (std::size_t i = 1; i < v->size(); ++i) {
    T x = (*v)[i];
    std::size_t j = i;
    for (; j > 0 && less(x, (*v)[j - 1]); --j) (*v)[j] = (*v)[j - 1];
    (*v)[j] = x;
  }
}

// The three decimal digits of each of 0 to 999: most fields of a group are two or three
// digits, and a block has hundreds of groups.
constexpr std::array<std::array<char, 3>, 1000> kDigits3 = [] {
  std::array<std::array<char, 3>, 1000> d{};
  for (int v = 0; v < 1000; ++v)
    d[static_cast<std::size_t>(v)] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                                      static_cast<char>('0' + v % 10)};
  return d;
}();

// Writes `v` (0 <= v < 10^width) as `width` digits with leading zeros at p, a negative
// `v` as zeros; a larger `v` leaves its last `width` digits.
void write_digits(long v, int width, char* p) {
  if (v < 0) v = 0;
  if (width == 2 || width == 3) {
    const std::array<char, 3>& d = kDigits3[static_cast<std::size_t>(v % 1000)];
    std::memcpy(p, d.data() + (3 - width), static_cast<std::size_t>(width));
    return;
  }
  for (int i = width - 1; i >= 0; --i, v /= 10) p[i] = static_cast<char>('0' + v % 10);
}

// Appends `v` (0 <= v < 10^width) as `width` digits with leading zeros; a negative `v`
// as zeros.
void put_digits(long v, int width, std::string* out) {
  char buf[8];
  write_digits(v, width, buf);
  out->append(buf, static_cast<std::size_t>(width));
}

// Appends `v` in decimal, as printf's "%ld".
void put_number(long v, std::string* out) {
  char buf[24];
  char* end = buf + sizeof buf;
  char* p = end;
  unsigned long u = v < 0 ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u > 0);
  if (v < 0) *--p = '-';
  out->append(p, static_cast<std::size_t>(end - p));
}

// Appends hhh of a standard level: metres with the thousands dropped up to 700 mb (1000
// mb below sea level as 500 + |h|), decametres with the ten-thousands dropped above.
void put_height_code(float p, float h, std::string* out) {
  long v = 0;
  if (p >= 700) {
    long m = round_off(h);
    v = (p == 1000 && m < 0) ? 500 - m : m % 1000;
  } else {
    v = round_off(h / 10.0) % 1000;
  }
  if (v < 0 || v > 999) {
    *out += "///";
    return;
  }
  put_digits(v, 3, out);
}

// Appends TTTdd: tenths of deg C whose tenths digit is odd below zero and even above; the
// dew-point depression in tenths to 5.0, then whole degrees plus 50 (WMO code table 0777).
void put_temp_group(float t, float td, float p, ING_report* rep, std::string* out) {
  if (missing(t)) {
    *out += 'X';
    return;
  }
  long tenths = round_off(std::fabs(t) * 10.0);
  bool below = t < 0 && tenths > 0;
  if (below && tenths % 2 == 0) ++tenths;    // -5.2 is coded -5.3: the parity is the sign
  if (!below && tenths % 2 == 1) --tenths;   // +5.3 is coded +5.2
  if (tenths > 999) {
    *out += 'X';
    return;
  }
  int dd = 99;
  if (!missing(td)) {
    double dep = std::max(0.0, static_cast<double>(t) - td);
    if (dep <= 5.0) {
      dd = static_cast<int>(round_off(dep * 10.0));
    } else {
      long whole = round_off(dep);
      dd = whole <= 5 ? 50 : static_cast<int>(whole + 50);
    }
    if (dd > kMaxDepressionCode) {
      rep->notes.push_back(fmt("dew point at %.0f mb left missing (depression above 48 C)", p));
      dd = 99;
    }
  }
  char g[5];
  write_digits(tenths, 3, g);
  write_digits(dd, 2, g + 3);
  out->append(g, sizeof g);
}

// Appends dddff: direction to 5 degrees with the hundreds of the speed added, knots.
// `at` and its format name the level in a note.
void put_wind_group(float dir, float spd, const char* at_format, double at, ING_report* rep,
                    std::string* out) {
  if (missing(dir) || missing(spd)) {
    *out += 'X';
    return;
  }
  long s = round_off(spd);
  if (s > kMaxSpeed) {
    rep->notes.push_back(fmt("wind of %.0f kt", spd) + fmt(at_format, at) + " left out");
    *out += 'X';
    return;
  }
  long d = round_off(dir / 5.0) * 5;
  if (s == 0) d = 0;
  else if (d == 0) d = 360;
  char g[5];
  write_digits(d + s / 100, 3, g);
  write_digits(s % 100, 2, g + 3);
  out->append(g, sizeof g);
}

// A level's temperature group, then a space and its wind group. The wind is formatted
// first so that its note comes before the dew point's, as in the files written so far.
void put_temp_wind(const UPA_level& l, ING_report* rep, std::string* out) {
  std::string wind;
  put_wind_group(l.dir, l.spd, " at %.0f mb", l.p, rep, &wind);
  put_temp_group(l.t, l.td, l.p, rep, out);
  *out += ' ';
  *out += wind;
}

// Appends PPP of a significant level: whole mb (1000 and above with the thousands dropped
// behind a leading 0), tenths below 100 mb where the report has them.
void put_sig_pressure(float p, std::string* out) {
  const long whole = round_off(p);
  if (whole >= 1000) {
    put_digits(whole - 1000, 3, out);
    return;
  }
  if (p >= 100 || std::fabs(p - whole) < 0.05) {
    put_number(whole, out);
    return;
  }
  const long tenths = round_off(p * 10.0);
  put_number(tenths / 10, out);
  *out += '.';
  *out += static_cast<char>('0' + tenths % 10);
}

// Lays out the items of a level list, kPerLine to a line: each item begins with
// begin_item, and end_list closes the list with `end` on the last line.
class PairLines {
 public:
  explicit PairLines(std::string* out) : out_(out) {}
  std::string* begin_item() {
    if (n_ == kPerLine) {
      *out_ += '\n';
      n_ = 0;
    }
    if (n_ > 0) *out_ += ' ';
    ++n_;
    return out_;
  }
  void end_list(const char* end) {
    if (n_ > 0) *out_ += ' ';
    *out_ += end;
    *out_ += '\n';
  }

 private:
  std::string* out_;
  int n_ = 0;  // items on the current line
};

// Heights (m) of pressures from the levels that have both, linear in ln p; MISSING
// outside their range.
class HeightFromPressure {
 public:
  explicit HeightFromPressure(const ING_report& rep) {
    if (!missing(rep.sfc.p) && !missing(rep.elev)) pts_.push_back({rep.sfc.p, rep.elev});
    for (const UPA_level& l : rep.man)
      if (!missing(l.p) && !missing(l.h) && (missing(rep.sfc.p) || l.p <= rep.sfc.p))
        pts_.push_back({l.p, l.h});
    std::sort(pts_.begin(), pts_.end(), [](const Pt& a, const Pt& b) { return a.p > b.p; });
    for (std::size_t i = 1; i < pts_.size(); ++i) strict_ = strict_ && pts_[i].p < pts_[i - 1].p;
  }
  float at(float p) const {
    if (strict_ && pts_.size() >= 2) {
      // Pressures falling strictly: the layer is the first whose lower pressure is at or
      // below p, found by halving (a sounding gives a height to each of its wind levels).
      const auto below = std::partition_point(pts_.begin() + 1, pts_.end(), [p](const Pt& x) { return x.p > p; });
      if (below == pts_.end() || !(p <= below[-1].p)) return MISSING;
      return interpolate(below[-1], below[0], p);
    }
    for (std::size_t i = 0; i + 1 < pts_.size(); ++i) {
      const Pt& a = pts_[i];
      const Pt& b = pts_[i + 1];
      if (p <= a.p && p >= b.p && a.p > b.p) return interpolate(a, b, p);
      if (p == a.p) return a.h;
    }
    if (!pts_.empty() && p == pts_.back().p) return pts_.back().h;
    return MISSING;
  }

 private:
  struct Pt {
    float p, h;
  };
  static float interpolate(const Pt& a, const Pt& b, float p) {
    double f = std::log(a.p / p) / std::log(a.p / b.p);
    return static_cast<float>(a.h + f * (b.h - a.h));
  }
  std::vector<Pt> pts_;
  bool strict_ = true;  // every pressure below the one before
};

// The level of `levels` at pressure p, or null.
const UPA_level* level_at(const std::vector<UPA_level>& levels, float p) {
  for (const UPA_level& l : levels)
    if (l.p == p) return &l;
  return nullptr;
}

// Appends the triple PPhhh TTTdd dddff of a standard level, "X X X" when it has nothing.
void put_triple(const UPA_level* l, const char* code, ING_report* rep, std::string* out) {
  if (!l || (missing(l->h) && missing(l->t) && missing(l->dir))) {
    *out += "X X X";
    return;
  }
  *out += code;
  if (missing(l->h))
    *out += "///";
  else
    put_height_code(l->p, l->h, out);
  *out += ' ';
  put_temp_wind(*l, rep, out);
}

// WMO number of a block from its station token, INT_MAX when it has none.
int block_wmo(std::string_view block) {
  std::size_t i = block.find_first_not_of(" \t\r\n");
  int v = 0;
  int digits = 0;
  for (; i < block.size() && block[i] >= '0' && block[i] <= '9' && digits < 9; ++i, ++digits)
    v = v * 10 + (block[i] - '0');
  bool ends = i < block.size() && (block[i] == ':' || block[i] == ' ' || block[i] == '\n');
  return digits == 5 && ends ? v : INT_MAX;
}

// Splits the station blocks of an existing file's text (after its two header lines) at
// each "$" that ends a line: each block runs from its first character to the "$" and the
// blanks after it, without the line end. The date line goes into *date, without its line
// end and trailing blanks. Returns false when the text is not a "ZUDUPAx" file; a tail
// without "$" is dropped and counted in *dropped.
bool split_blocks(std::string_view text, std::string_view* date,
                  std::vector<std::string_view>* blocks, int* dropped) {
  std::size_t nl = text.find('\n');
  std::string_view head = text.substr(0, nl);
  if (!head.empty() && head.back() == '\r') head.remove_suffix(1);
  if (head != kHeader || nl == std::string_view::npos) return false;
  std::size_t pos = text.find('\n', nl + 1);  // past the date line
  *date = text.substr(nl + 1, pos == std::string_view::npos ? pos : pos - nl - 1);
  while (!date->empty() && (date->back() == '\r' || date->back() == ' ' || date->back() == '\t'))
    date->remove_suffix(1);
  if (pos == std::string_view::npos) return true;
  ++pos;
  *dropped = 0;
  while (pos < text.size()) {
    std::size_t start = text.find_first_not_of(" \t\r\n", pos);
    if (start == std::string_view::npos) break;
    std::size_t end = start;
    for (;;) {
      end = text.find('$', end);
      if (end == std::string_view::npos) break;
      std::size_t after = end + 1;
      while (after < text.size() && (text[after] == ' ' || text[after] == '\r')) ++after;
      if (after >= text.size() || text[after] == '\n') {
        end = after;
        break;
      }
      ++end;
    }
    if (end == std::string_view::npos) {
      ++*dropped;
      break;
    }
    blocks->push_back(text.substr(start, end - start));
    pos = end + 1;
  }
  return true;
}

// What reading a converted file found.
enum class Found { kNone, kRead, kUnreadable };

// Reads the whole file at `path` into *text, sized once from its length. kNone when there
// is no such file (the usual case for the files of an archive, each new), kUnreadable when
// there is one that cannot be read whole (errno says why).
Found read_whole(const char* path, std::string* text) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Found::kNone : Found::kUnreadable;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) text->reserve(static_cast<std::size_t>(st.st_size) + 1);
  char buf[1 << 16];
  Found got = Found::kRead;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) got = Found::kUnreadable;
    if (n <= 0) break;
    text->append(buf, static_cast<std::size_t>(n));
  }
  const int err = errno;
  ::close(fd);
  errno = err;
  return got;
}

}  // namespace

std::string ING_date_line(const Date& date) {
  char mon[4] = "";
  const char* lc = DATE_month_lower(date.month);
  for (int i = 0; i < 3 && lc[i]; ++i) mon[i] = static_cast<char>(lc[i] - 'a' + 'A');
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02dZ %02d %s %02d", date.hour, date.day, mon, date.year % 100);
  return buf;
}

int ING_file_name(const Date& date, std::string* path) {
  Date d = date;
  d.min = 0;
  d.sec = 0;
  char name[kMaxName] = "";
  FILE_set_date(&d, name);
  if (!name[0]) return -1;
  *path = name;
  return 0;
}

namespace {

// Appends the station token: WMO number, identifier, latitude and longitude (%.2f), at
// most kMaxToken bytes as the block has always held.
void put_station_token(const ING_report& rep, std::string* out) {
  const std::size_t start = out->size();
  auto put_wmo = [&rep, out] {
    if (rep.wmo >= 0 && rep.wmo <= 99999) {
      put_digits(rep.wmo, 5, out);
    } else {
      char num[16];
      std::snprintf(num, sizeof num, "%05d", rep.wmo);
      *out += num;
    }
  };
  put_wmo();
  *out += ':';
  if (rep.id.empty())
    put_wmo();
  else
    *out += rep.id.c_str();
  if (!missing(rep.lat) && !missing(rep.lon)) {
    *out += ':';
    append_fixed(out, rep.lat, 0, 2);
    *out += ':';
    append_fixed(out, rep.lon, 0, 2);
  }
  if (out->size() - start > kMaxToken) out->resize(start + kMaxToken);
}

// Standard levels, four triples on the first line and on each of the next three,
// then a line of the levels above them that were reported.
void append_standard_levels(ING_report* rep, std::string* out) {
  for (int i = 0; i < 16; ++i) {
    *out += (i == 4 || i == 8 || i == 12) ? '\n' : ' ';
    put_triple(level_at(rep->man, kStd[i].p), kStd[i].code, rep, out);
  }
  *out += '\n';
  bool above = false;
  for (const StdLevel& s : kAbove) {
    const UPA_level* l = level_at(rep->man, s.p);
    if (!l) continue;
    if (above) *out += ' ';
    put_triple(l, s.code, rep, out);
    above = true;
  }
  if (above) *out += '\n';
}

// Tropopause (the lowest reported) and maximum wind (the strongest).
void append_trop_and_max_wind(ING_report* rep, std::string* out) {
  const UPA_level* trop = nullptr;
  for (const UPA_level& l : rep->trop)
    if (!missing(l.p) && (!trop || l.p > trop->p)) trop = &l;
  for (const UPA_level& l : rep->trop)
    if (&l != trop && !missing(l.p))
      rep->notes.push_back("tropopause at " + fixed(l.p, 1) + " mb left out (one per block)");
  if (trop) {
    *out += "88";
    put_digits(round_off(trop->p), 3, out);
    *out += ' ';
    put_temp_wind(*trop, rep, out);
  } else {
    *out += "X X X";
  }
  const UPA_level* mw = nullptr;
  for (const UPA_level& l : rep->mwnd)
    if (!missing(l.p) && !missing(l.spd) && (!mw || l.spd > mw->spd)) mw = &l;
  if (mw) {
    *out += " 77";
    put_digits(round_off(mw->p), 3, out);
    *out += ' ';
    put_wind_group(mw->dir, mw->spd, " at %.0f mb", mw->p, rep, out);
    *out += '\n';
  } else {
    *out += " X X\n";
  }
}

// Significant temperature levels: the surface first, then upward.
void append_significant_levels(ING_report* rep, std::string* out) {
  std::vector<UPA_sig_level> sig;
  sig.reserve(rep->sig.size() + 1);
  for (const UPA_sig_level& s : rep->sig)
    if (!missing(s.p) && s.p >= 1.0f) sig.push_back(s);
  sort_in_order(&sig, [](const UPA_sig_level& a, const UPA_sig_level& b) { return a.p > b.p; });
  bool sfc_listed = !sig.empty() && !missing(rep->sfc.p) && sig[0].p == rep->sfc.p;
  if (!sfc_listed && !missing(rep->sfc.p) && !missing(rep->sfc.t))
    sig.insert(sig.begin(), UPA_sig_level{rep->sfc.p, rep->sfc.t, rep->sfc.td});
  if (sig.size() > static_cast<std::size_t>(kMaxSig)) {
    rep->notes.push_back(fmt("%.0f significant levels above the 200th left out",
                             static_cast<double>(sig.size() - kMaxSig)));
    sig.resize(kMaxSig);
  }
  PairLines lines(out);
  for (const UPA_sig_level& s : sig) {
    std::string* item = lines.begin_item();
    put_sig_pressure(s.p, item);
    *item += ' ';
    put_temp_group(s.t, s.td, s.p, rep, item);
  }
  lines.end_list(sig.size() == kQuirkSigCount ? "X X" : "X");
}

// A wind level placed on a whole thousand feet.
struct WindAtThousand {
  int hh;
  double off;  // distance from the whole thousand, feet
  float dir, spd;
};

// The report's winds placed on whole thousands of feet, one per thousand (the one
// nearest it); notes what was rounded or could not be placed.
std::vector<WindAtThousand> winds_by_thousand(ING_report* rep) {
  HeightFromPressure hp(*rep);
  std::vector<WindAtThousand> wl;
  int rounded = 0;
  int unplaced = 0;
  double worst = 0;
  for (const ING_wind& w : rep->wind) {
    float h = missing(w.h) && !missing(w.p) ? hp.at(w.p) : w.h;
    if (missing(h) || missing(w.dir) || missing(w.spd)) {
      if (missing(h) && !missing(w.dir)) ++unplaced;
      continue;
    }
    double ft = h / kFeetToM;
    long hh = round_off(ft / 1000.0);
    double off = std::fabs(ft - hh * 1000.0);
    if (hh < 1 || hh > kMaxHH) {
      ++unplaced;
      continue;
    }
    if (off > 1.0) {
      ++rounded;
      worst = std::max(worst, off);
    }
    wl.push_back({static_cast<int>(hh), off, w.dir, w.spd});
  }
  sort_in_order(&wl, [](const WindAtThousand& a, const WindAtThousand& b) {
    return a.hh != b.hh ? a.hh < b.hh : a.off < b.off;
  });
  std::size_t before = wl.size();
  wl.erase(std::unique(wl.begin(), wl.end(),
                       [](const WindAtThousand& a, const WindAtThousand& b) { return a.hh == b.hh; }),
           wl.end());
  if (rounded > 0)
    rep->notes.push_back(fixed(rounded, 0) + " wind levels rounded to the nearest thousand feet (up to " +
                         fixed(worst, 0) + " ft), " + fixed(static_cast<double>(before - wl.size()), 0) +
                         " of them dropped for a nearer level on the same thousand");
  if (unplaced > 0)
    rep->notes.push_back(fixed(unplaced, 0) +
                         " wind levels without a height between 1000 and 99000 ft left out");
  return wl;
}

// Wind levels: surface as 00, then by height in whole thousands of feet.
void append_wind_levels(ING_report* rep, std::string* out) {
  const std::vector<WindAtThousand> wl = winds_by_thousand(rep);
  PairLines lines(out);
  std::size_t items = 0;
  if (!missing(rep->sfc.dir) && !missing(rep->sfc.spd)) {
    std::string* item = lines.begin_item();
    *item += "00 ";
    put_wind_group(rep->sfc.dir, rep->sfc.spd, " at the surface (%.0f mb)", rep->sfc.p, rep, item);
    ++items;
  }
  for (const WindAtThousand& w : wl) {
    if (items == static_cast<std::size_t>(kMaxWnd)) {
      rep->notes.push_back("wind levels above the 100th left out");
      break;
    }
    std::string* item = lines.begin_item();
    put_digits(w.hh, 2, item);
    *item += ' ';
    put_wind_group(w.dir, w.spd, " at %.0f000 ft", w.hh, rep, item);
    ++items;
  }
  lines.end_list("$");
}

// Appends the station block of `rep` to *out.
void put_block(ING_report* rep, std::string* out) {
  put_station_token(*rep, out);
  append_standard_levels(rep, out);
  append_trop_and_max_wind(rep, out);
  append_significant_levels(rep, out);
  append_wind_levels(rep, out);
}

}  // namespace

std::string ING_format_block(ING_report* rep) {
  std::string out;
  out.reserve(kBlockReserve);
  put_block(rep, &out);
  return out;
}

namespace {

// Writes all of `text` to `fd`. False on a write error (errno tells which).
bool write_all(int fd, const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// How writing a file without a name first went.
enum class Unnamed { kWritten, kCannot, kFailed };

// Writes `text` as a new file at `path`, where none is yet: into an unnamed file of the
// directory (O_TMPFILE), which gets its name only when it is whole, so that a reader never
// sees half of it. Against a temporary name and a rename, that is one directory entry
// made instead of three changes, for each of the hundreds of files an archive gives.
// kCannot where the system or the file system has no unnamed files or no /proc/self/fd to
// name one by, and where `path` has appeared meanwhile (another run): the caller then
// writes through a temporary name. kFailed on a write error, with errno set.
Unnamed write_unnamed(const char* path, const std::string& text) {
#if defined(O_TMPFILE)
  const char* slash = std::strrchr(path, '/');
  const std::string dir = !slash ? std::string(".") : slash == path ? std::string("/")
                                                                    : std::string(path, slash);
  const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return Unnamed::kCannot;
  ::fchmod(fd, 0644);
  if (!write_all(fd, text)) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return Unnamed::kFailed;
  }
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  const bool linked = ::linkat(AT_FDCWD, self, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0;
  const int err = errno;
  if (::close(fd) != 0 && linked) {
    // The data may not have reached the disk: take the name back.
    const int close_err = errno;
    ::unlink(path);
    errno = close_err;
    return Unnamed::kFailed;
  }
  if (linked) return Unnamed::kWritten;
  errno = err;
  return Unnamed::kCannot;
#else
  (void)path;
  (void)text;
  return Unnamed::kCannot;
#endif
}

// Makes the directories of `path` that are missing.
void make_dirs_of(const char* path) {
  char dirbuf[kMaxName];
  std::snprintf(dirbuf, sizeof dirbuf, "%s", path);
  FILE_make_dir(dirbuf, 1);
}

// Writes text as the whole of path, so that a reader never sees half a file: a new file
// (`fresh`: none at path) unnamed until whole where the system allows, else into a
// temporary name beside it, then renamed over it; missing directories are made. False
// (told to the user) when that fails.
bool replace_file(const char* path, const std::string& text, bool fresh) {
  if (fresh) {
    // The directory is made only when it is found missing: an archive's hundreds of files
    // go into one directory made for the first.
    Unnamed u = write_unnamed(path, text);
    if (u == Unnamed::kCannot && errno == ENOENT) {
      make_dirs_of(path);
      u = write_unnamed(path, text);
    }
    if (u == Unnamed::kWritten) return true;
    if (u == Unnamed::kFailed) {
      MESS_print(kError, "ING_write_file: cannot write %s: %s\n", path, std::strerror(errno));
      return false;
    }
  }
  make_dirs_of(path);
  std::string tmp = std::string(path) + ".XXXXXX";
  std::vector<char> tmpl(tmp.begin(), tmp.end());
  tmpl.push_back('\0');
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) {
    MESS_print(kError, "ING_write_file: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  ::fchmod(fd, 0644);
  bool ok = write_all(fd, text);
  int err = errno;
  if (::close(fd) != 0) {
    if (ok) err = errno;
    ok = false;
  }
  if (ok && std::rename(tmpl.data(), path) != 0) {
    err = errno;
    ok = false;
  }
  if (!ok) {
    ::unlink(tmpl.data());
    MESS_print(kError, "ING_write_file: cannot write %s: %s\n", path, std::strerror(err));
    return false;
  }
  return true;
}

// A block of the file being written: an old block kept, or a report formatted anew.
struct FilePiece {
  int wmo;
  std::string_view old;  // the text of an old block, without its line end
  ING_report* rep;       // or the report of a new one
};

// The blocks of the new file: existing blocks of the stations written now give way; old
// blocks before new ones of the same number, all in WMO-number order.
std::vector<FilePiece> file_pieces(const std::vector<std::string_view>& blocks,
                                   const std::vector<ING_report*>& reps) {
  std::vector<int> ours;
  ours.reserve(reps.size());
  for (const ING_report* r : reps) ours.push_back(r->wmo);
  std::sort(ours.begin(), ours.end());
  std::vector<FilePiece> all;
  all.reserve(blocks.size() + reps.size());
  for (std::string_view b : blocks) {
    const int w = block_wmo(b);
    if (!std::binary_search(ours.begin(), ours.end(), w)) all.push_back({w, b, nullptr});
  }
  for (ING_report* r : reps) all.push_back({r->wmo, {}, r});
  std::stable_sort(all.begin(), all.end(),
                   [](const FilePiece& a, const FilePiece& b) { return a.wmo < b.wmo; });
  return all;
}

// Appends the blocks all[from, to).
void put_pieces(const std::vector<FilePiece>& all, std::size_t from, std::size_t to,
                std::string* out) {
  for (std::size_t i = from; i < to; ++i) {
    if (all[i].rep) {
      put_block(all[i].rep, out);
    } else {
      *out += all[i].old;
      *out += '\n';
    }
  }
}

// Appends every block; `fresh` of them new. Many new blocks are formatted in pieces by
// two threads, then joined in order.
void put_all(const std::vector<FilePiece>& all, std::size_t fresh, std::string* out) {
  if (fresh < kShareFrom || ING_jobs() < 2) {
    put_pieces(all, 0, all.size(), out);
    return;
  }
  // This thread's pieces straight into the file's text, the worker's (from the last
  // back) each into its own, joined after them.
  const std::size_t n = (all.size() + kBlocksPerPiece - 1) / kBlocksPerPiece;
  auto last = [&all](std::size_t j) { return std::min(all.size(), (j + 1) * kBlocksPerPiece); };
  std::vector<std::string> pieces(n);
  std::vector<std::vector<MESS_held>> held(n);  // formatting prints nothing
  auto here = [&](std::size_t j) { put_pieces(all, j * kBlocksPerPiece, last(j), out); };
  auto there = [&](std::size_t j) {
    pieces[j].reserve(kBlocksPerPiece * kBlockReserve / 4);
    put_pieces(all, j * kBlocksPerPiece, last(j), &pieces[j]);
  };
  for (std::size_t j = ING_share_ends(held, here, there); j < n; ++j) *out += pieces[j];
}

}  // namespace

int ING_write_file(const char* path, const Date& date, std::vector<ING_report*>& reps) {
  std::vector<std::string_view> blocks;
  std::string old;
  const Found found = read_whole(path, &old);
  // A file that is there but cannot be read keeps the blocks of its stations: written
  // over, they would be lost.
  if (found == Found::kUnreadable) {
    MESS_print(kError, "ING_write_file: cannot read %s: %s; left unchanged\n", path, std::strerror(errno));
    return -1;
  }
  const bool existed = found == Found::kRead;
  if (existed) {
    int dropped = 0;
    std::string_view held;
    if (!split_blocks(old, &held, &blocks, &dropped)) {
      MESS_print(kError, "ING_write_file: %s is not a ZUDUPAx file; left unchanged\n", path);
      return -1;
    }
    // A file holds the soundings of one time. Another time's file under this name (a
    // file name convention without the hour, or none at all) keeps its soundings: adding
    // to it would relabel them with this time, or replace them.
    const std::string want = ING_date_line(date);
    if (held != want) {
      MESS_print(kError, "ING_write_file: %s holds the soundings of %.*s, not of %s; left unchanged\n",
                 path, static_cast<int>(held.size()), held.data(), want.c_str());
      return -1;
    }
    if (dropped)
      MESS_print(kWarn, "ING_write_file: %s ends in an unfinished block; it is dropped\n", path);
  }
  const std::vector<FilePiece> all = file_pieces(blocks, reps);

  // The whole file in one buffer, new blocks formatted straight into it.
  std::string text;
  text.reserve(old.size() + reps.size() * kBlockReserve / 4);
  text += kHeader;
  text += '\n';
  text += ING_date_line(date);
  text += '\n';
  put_all(all, reps.size(), &text);

  // A file that would come out the same is left as it is (a second ingest of the same
  // bulletins): no rewrite, no rename.
  if (existed && text == old) return static_cast<int>(reps.size());
  if (!replace_file(path, text, !existed)) return -1;
  return static_cast<int>(reps.size());
}
