// igra_read.cpp — IGRA version 2 station files: one header record per sounding followed
// by its data records, cut by fixed columns (values run into their flags and negative
// numbers touch the previous field, so nothing may be split on blanks).
//
// Files come plain or gzip-compressed; a compressed file is inflated as it is fed, so a
// file of decades of ascents is never held whole. Lines are decoded as they complete:
// a header closes the previous sounding and opens the next, which is passed over without
// decoding when the selection does not want it.
//
// Level types map onto the converted layout: standard pressure levels (1x) to the
// mandatory slots, other pressure levels (2x) to the significant temperature levels, the
// surface (x1) to the surface of the report, the tropopause (x2) to the tropopause group
// (and, being a point of the temperature curve, to the significant levels too), and every
// level with a wind, the surface excepted, to the wind levels by height or pressure. The
// undocumented type 01 (no pressure, no height, a wind) heads the height-only wind levels
// of a PILOT-derived set: it is read as the surface wind.

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "zudingest.h"

namespace {

constexpr M_type kWarn = MESS_WARN;         // "warn": a sounding or a file not ingested
constexpr std::size_t kDataLen = 51;     // defined columns of a data record
constexpr std::size_t kHeaderLen = 71;   // defined columns of a header record
constexpr std::size_t kMaxLine = 512;    // longer lines are not records of the format
constexpr int kMaxLevels = 9999;         // NUMLEV has four digits
constexpr int kRemoved = -8888;          // value removed by the archive's quality control
constexpr int kMissingCode = -9999;      // value missing
constexpr float kMaxTemp = 99.9f;        // largest temperature a coded level carries, C
constexpr double kMsToKnots = 3600.0 / 1852.0;  // international nautical mile
constexpr std::size_t kInflateChunk = 1 << 16;  // inflated bytes per step
constexpr std::size_t kProbe = 64;       // inflated bytes a recognition looks at

// The standard pressure levels of the archive, mb.
constexpr float kStandard[] = {1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100,
                               70,   50,  30,  20,  10,  7,   5,   3,   2,   1};

bool is_standard(float p) {
  return std::find(std::begin(kStandard), std::end(kStandard), p) != std::end(kStandard);
}

// Integer of columns [from, to] (1-based, inclusive): right-aligned digits with an
// optional minus sign, blanks before them. All blanks: kMissingCode. Returns false when
// the field holds anything else.
bool int_field(const char* line, int from, int to, int* v) {
  const char* p = line + from - 1;
  const char* end = line + to;
  while (p < end && *p == ' ') ++p;
  if (p == end) {
    *v = kMissingCode;
    return true;
  }
  const bool neg = *p == '-';
  if (neg) ++p;
  if (p == end) return false;
  long n = 0;
  for (; p < end; ++p) {
    const unsigned d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
    if (d > 9) return false;
    n = n * 10 + static_cast<long>(d);
  }
  *v = static_cast<int>(neg ? -n : n);
  return true;
}

// A quality flag: blank or a capital letter (A and B are defined).
bool flag_ok(char c) { return c == ' ' || (c >= 'A' && c <= 'Z'); }

std::string quoted(const char* line, int from, int to) {
  std::string q(1, '"');
  q.append(line + from - 1, line + to);
  q += '"';
  return q;
}

// A value of tenths, or MISSING for the missing and removed codes.
float tenths(int v, int* removed) {
  if (v == kRemoved) ++*removed;
  if (v == kRemoved || v == kMissingCode) return MISSING;
  return static_cast<float>(v / 10.0);
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// The sounding being read.
struct Sounding {
  bool open = false;      // a header has been met
  bool wanted = false;    // selected and its header readable
  std::string fault;      // why it cannot be ingested; empty while it can
  IGRA_header hdr;
  int lines = 0;          // data records met
  int removed = 0;        // values removed by quality control
  int heightless_t = 0;   // temperatures of levels without pressure, left out
  int no_place = 0;       // winds of levels without pressure or height, left out
  int extra_sfc = 0;      // surface records after the first
  bool surface_seen = false;  // a surface record has been placed
  int implausible = 0;    // temperatures beyond +-99.9 C, left out
  ING_report rep;
};

class IgraReader : public ING_streaming_reader {
 public:
  explicit IgraReader(const ING_select* sel) : sel_(sel) {}
  ~IgraReader() override {
    if (z_open_) inflateEnd(&zs_);
  }

  const char* format() const override { return "IGRA 2 station file"; }

  bool recognises(const char* head, std::size_t len) const override {
    if (len >= 2 && static_cast<unsigned char>(head[0]) == 0x1f &&
        static_cast<unsigned char>(head[1]) == 0x8b) {
      // A gzip file: look at the start of what it holds.
      z_stream zs{};
      if (inflateInit2(&zs, 15 + 16) != Z_OK) return false;
      unsigned char out[kProbe];
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(head));
      zs.avail_in = static_cast<uInt>(std::min<std::size_t>(len, 1 << 20));
      zs.next_out = out;
      zs.avail_out = sizeof out;
      inflate(&zs, Z_SYNC_FLUSH);
      std::size_t n = sizeof out - zs.avail_out;
      inflateEnd(&zs);
      return looks_like_header(reinterpret_cast<const char*>(out), n);
    }
    return looks_like_header(head, len);
  }

  void feed(const char* data, std::size_t len) override {
    if (file_done_ || len == 0) return;
    if (mode_ == Mode::kUnknown) {
      // Two bytes tell a gzip file from text; a first chunk of one byte waits for more.
      std::size_t take = std::min<std::size_t>(len, 2 - magic_.size());
      magic_.append(data, take);
      data += take;
      len -= take;
      if (magic_.size() < 2) return;
      mode_ = static_cast<unsigned char>(magic_[0]) == 0x1f &&
                      static_cast<unsigned char>(magic_[1]) == 0x8b
                  ? Mode::kGzip
                  : Mode::kText;
      std::string m;
      m.swap(magic_);
      consume(m.data(), m.size());
      if (len == 0) return;
    }
    consume(data, len);
  }

  void end_file() override {
    if (mode_ == Mode::kUnknown && !magic_.empty()) {
      mode_ = Mode::kText;
      std::string m;
      m.swap(magic_);
      consume(m.data(), m.size());
    }
    if (mode_ == Mode::kGzip && !file_done_ && !z_ended_)
      MESS_print(kWarn, "IGRA: the gzip stream ends early (file truncated?) after line %ld\n",
                 line_no_ + (carry_.empty() ? 0 : 1));
    if (!carry_.empty() || long_line_) {
      line(carry_.data(), carry_.size());
      carry_.clear();
    }
    close_sounding();
    if (stray_ > 0)
      MESS_print(kWarn, "IGRA: %d data lines outside a readable sounding passed over\n", stray_);
    ++counts.bulletins;
    // Ready for the next file.
    if (z_open_) {
      inflateEnd(&zs_);
      z_open_ = false;
    }
    mode_ = Mode::kUnknown;
    magic_.clear();
    file_done_ = false;
    z_ended_ = false;
    line_no_ = 0;
    stray_ = 0;
    long_line_ = false;
  }

 private:
  enum class Mode { kUnknown, kText, kGzip };

  static bool looks_like_header(const char* s, std::size_t n) {
    if (n < 18 || s[0] != '#' || s[12] != ' ') return false;
    for (int i = 1; i <= 11; ++i)
      if (!std::isalnum(static_cast<unsigned char>(s[i]))) return false;
    for (int i = 13; i <= 16; ++i)
      if (s[i] < '0' || s[i] > '9') return false;
    return s[17] == ' ';
  }

  // Bytes of the file as stored: inflated first when compressed.
  void consume(const char* data, std::size_t len) {
    if (mode_ != Mode::kGzip) {
      split(data, len);
      return;
    }
    if (!z_open_) {
      zs_ = z_stream{};
      if (inflateInit2(&zs_, 15 + 16) != Z_OK) {
        MESS_print(kWarn, "IGRA: cannot start decompression\n");
        file_done_ = true;
        return;
      }
      z_open_ = true;
    }
    zs_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs_.avail_in = static_cast<uInt>(len);
    unsigned char out[kInflateChunk];
    for (;;) {
      if (z_ended_) {
        if (zs_.avail_in == 0) break;
        // More bytes after a complete member: concatenated members continue the file.
        if (inflateReset(&zs_) != Z_OK) break;
        z_ended_ = false;
      }
      zs_.next_out = out;
      zs_.avail_out = sizeof out;
      int rc = inflate(&zs_, Z_NO_FLUSH);
      std::size_t n = sizeof out - zs_.avail_out;
      if (n) split(reinterpret_cast<const char*>(out), n);
      if (rc == Z_STREAM_END) {
        z_ended_ = true;
        continue;
      }
      if (rc == Z_OK) {
        if (zs_.avail_in == 0 && zs_.avail_out != 0) break;
        continue;
      }
      if (rc == Z_BUF_ERROR) break;  // all input used; more is to come
      MESS_print(kWarn, "IGRA: the gzip data are damaged after line %ld (%s); rest of file skipped\n",
                 line_no_, zs_.msg ? zs_.msg : "inflate error");
      file_done_ = true;
      z_ended_ = true;
      return;
    }
  }

  // Text cut into lines; a line longer than any record is kept only in part.
  void split(const char* data, std::size_t len) {
    const char* p = data;
    const char* end = data + len;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      const char* stop = nl ? nl : end;
      std::size_t room = kMaxLine - carry_.size();
      std::size_t n = static_cast<std::size_t>(stop - p);
      if (n > room) {
        long_line_ = true;
        n = room;
      }
      if (carry_.empty() && nl && !long_line_ && n == static_cast<std::size_t>(stop - p)) {
        line(p, n);  // the usual case: a whole line inside the chunk
      } else {
        carry_.append(p, n);
        if (nl) {
          line(carry_.data(), carry_.size());
          carry_.clear();
          long_line_ = false;
        }
      }
      if (!nl) break;
      long_line_ = false;
      p = nl + 1;
    }
  }

  void line(const char* s, std::size_t n) {
    ++line_no_;
    if (n > 0 && s[n - 1] == '\r') --n;
    if (n > 0 && s[0] == '#') {
      header(s, n);
      return;
    }
    if (n == 0) return;
    if (!cur_.open || (!cur_.wanted && cur_.hdr.id.empty())) {
      ++stray_;
      return;
    }
    ++cur_.lines;
    if (!cur_.wanted || !cur_.fault.empty()) return;
    if (cur_.lines > cur_.hdr.numlev) return;  // counted, reported at the close
    if (long_line_) {
      cur_.fault = "line " + std::to_string(line_no_) + ": longer than a data record";
      return;
    }
    IGRA_level lev;
    std::string why;
    if (IGRA_decode_level(s, n, &lev, &why) != 0) {
      cur_.fault = "line " + std::to_string(line_no_) + ": " + why;
      return;
    }
    place(lev);
  }

  void header(const char* s, std::size_t n) {
    close_sounding();
    cur_ = Sounding{};
    cur_.open = true;
    std::string why;
    if (long_line_ || IGRA_decode_header(s, n, &cur_.hdr, &why) != 0) {
      if (long_line_) why = "longer than a header record";
      MESS_print(kWarn, "IGRA: line %ld: header record not readable (%s); its sounding skipped\n",
                 line_no_, why.c_str());
      ++counts.rejected;
      cur_.hdr.id.clear();
      return;
    }
    int wmo = IGRA_wmo(cur_.hdr.id);
    cur_.wanted = !sel_ || ING_selected(*sel_, wmo, cur_.hdr.id.c_str(), cur_.hdr.date);
    if (!cur_.wanted) return;
    if (wmo == IMISSING) {
      cur_.fault = "station without a WMO number (network code " + cur_.hdr.id.substr(2, 1) + ")";
      return;
    }
    ING_report& r = cur_.rep;
    r.wmo = wmo;
    r.src_id = cur_.hdr.id;
    r.date = cur_.hdr.date;
    r.lat = cur_.hdr.lat;
    r.lon = cur_.hdr.lon;
  }

  // A decoded level into the report.
  void place(IGRA_level l) {
    ING_report& r = cur_.rep;
    // A temperature beyond what a coded level can carry (+-99.9 C) is no observation.
    if (l.t != MISSING && std::fabs(l.t) > kMaxTemp) {
      ++cur_.implausible;
      l.t = l.td = MISSING;
    }
    cur_.removed += l.removed;
    bool has_p = l.p != MISSING;
    bool has_wind = l.dir != MISSING && l.spd != MISSING;
    bool surface = l.minor == 1 && !cur_.surface_seen;
    if (l.minor == 1 && cur_.surface_seen) ++cur_.extra_sfc;
    if (surface) {
      cur_.surface_seen = true;
      r.sfc = UPA_level{l.p, l.h, l.t, l.td, MISSING, MISSING};
      if (has_wind) {
        r.sfc.dir = l.dir;
        r.sfc.spd = l.spd;
      }
      if (l.h != MISSING) r.elev = l.h;
    }
    if (!has_p) {
      if (l.t != MISSING) ++cur_.heightless_t;
      if (has_wind && !surface) {
        if (l.h != MISSING)
          r.wind.push_back(ING_wind{MISSING, l.h, l.dir, l.spd});
        else
          ++cur_.no_place;
      }
      return;
    }
    if (l.major == 1 && is_standard(l.p)) {
      if (std::none_of(r.man.begin(), r.man.end(), [&](const UPA_level& m) { return m.p == l.p; }))
        r.man.push_back(UPA_level{l.p, l.h, l.t, l.td, l.dir, l.spd});
    } else if (l.t != MISSING) {
      r.sig.push_back(UPA_sig_level{l.p, l.t, l.td});
    }
    if (l.minor == 2) r.trop.push_back(UPA_level{l.p, l.h, l.t, l.td, l.dir, l.spd});
    if (has_wind && !surface) r.wind.push_back(ING_wind{l.p, l.h, l.dir, l.spd});
  }

  void close_sounding() {
    if (!cur_.open) return;
    Sounding s = std::move(cur_);
    cur_ = Sounding{};
    if (!s.wanted) return;
    const IGRA_header& h = s.hdr;
    char when[40];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02dZ", h.date.year, h.date.month,
                  h.date.day, h.date.hour);
    if (s.fault.empty() && s.lines != h.numlev)
      s.fault = "header gives " + std::to_string(h.numlev) + " levels, " +
                std::to_string(s.lines) + " follow";
    if (!s.fault.empty()) {
      MESS_print(kWarn, "IGRA %s %s: %s; sounding not ingested\n", h.id.c_str(), when,
                 s.fault.c_str());
      ++counts.rejected;
      return;
    }
    ING_report& r = s.rep;
    if (r.man.empty() && r.sig.empty() && r.wind.empty() && r.sfc.dir == MISSING &&
        r.sfc.t == MISSING) {
      ++counts.nil;
      return;
    }
    // The surface heads the significant levels; a list longer than the layout holds
    // keeps the points that shape the curve.
    std::stable_sort(r.sig.begin(), r.sig.end(),
                     [](const UPA_sig_level& a, const UPA_sig_level& b) { return a.p > b.p; });
    if (r.sfc.p != MISSING && r.sfc.t != MISSING &&
        (r.sig.empty() || r.sig.front().p != r.sfc.p))
      r.sig.insert(r.sig.begin(), UPA_sig_level{r.sfc.p, r.sfc.t, r.sfc.td});
    ING_thin_report(&r);
    if (s.heightless_t > 0)
      r.notes.push_back(std::to_string(s.heightless_t) +
                        " temperatures of levels without pressure left out");
    if (s.implausible > 0)
      r.notes.push_back(std::to_string(s.implausible) + " temperatures beyond 99.9 C left out");
    if (s.no_place > 0)
      r.notes.push_back(std::to_string(s.no_place) +
                        " winds of levels without pressure or height left out");
    if (s.extra_sfc > 0)
      r.notes.push_back(std::to_string(s.extra_sfc) + " surface records after the first read as levels");
    ready_.push_back(std::move(r));
    ++counts.reports;
  }

  const ING_select* sel_;
  Sounding cur_;
  // The file being fed.
  Mode mode_ = Mode::kUnknown;
  std::string magic_;           // first bytes while the mode is undecided
  z_stream zs_{};
  bool z_open_ = false;
  bool z_ended_ = false;        // the current gzip member is complete
  bool file_done_ = false;      // the rest of the file is not read (damaged data)
  std::string carry_;           // a line not yet ended
  bool long_line_ = false;      // the line being assembled exceeded kMaxLine
  long line_no_ = 0;            // lines of the (inflated) file so far
  int stray_ = 0;               // data lines outside a readable sounding
};

// Whether a data record has its length, a level type, its blank separating columns and
// readable flags; *why says what is wrong when not.
bool level_layout_ok(const char* line, std::size_t len, std::string* why) {
  if (len < kDataLen) {
    *why = "record of " + std::to_string(len) + " characters, a data record has " +
           std::to_string(kDataLen);
    return false;
  }
  if (line[0] < '0' || line[0] > '3' || line[1] < '0' || line[1] > '2') {
    *why = "level type " + quoted(line, 1, 2) + " is not one of 0-3 and 0-2";
    return false;
  }
  for (int col : {3, 9, 34, 40, 46}) {
    if (line[col - 1] != ' ') {
      *why = "column " + std::to_string(col) + " is not blank (columns shifted?)";
      return false;
    }
  }
  for (int col : {16, 22, 28}) {
    if (!flag_ok(line[col - 1])) {
      *why = "flag column " + std::to_string(col) + " holds " + quoted(line, col, col);
      return false;
    }
  }
  return true;
}

}  // namespace

int IGRA_decode_level(const char* line, std::size_t len, IGRA_level* lev, std::string* why) {
  *lev = IGRA_level{};
  if (!level_layout_ok(line, len, why)) return -1;
  struct Field {
    const char* name;
    int from, to;
  };
  static constexpr Field kFields[] = {
      {"elapsed time", 4, 8},       {"pressure", 10, 15},  {"height", 17, 21},
      {"temperature", 23, 27},      {"humidity", 29, 33},  {"dew-point depression", 35, 39},
      {"wind direction", 41, 45},   {"wind speed", 47, 51}};
  int f[std::size(kFields)] = {};
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const Field& x = kFields[i];
    if (!int_field(line, x.from, x.to, &f[i])) {
      *why = std::string(x.name) + " " + quoted(line, x.from, x.to) + " is not a number";
      return -1;
    }
  }
  lev->major = line[0] - '0';
  lev->minor = line[1] - '0';
  int removed = 0;
  int pa = f[1];
  if (pa != kMissingCode && pa != kRemoved && pa > 0 && pa <= 110000)
    lev->p = static_cast<float>(pa / 100.0);
  else if (pa == kRemoved)
    ++removed;
  int gph = f[2];
  if (gph == kRemoved) ++removed;
  if (gph != kRemoved && gph != kMissingCode) lev->h = static_cast<float>(gph);
  lev->t = tenths(f[3], &removed);
  float dpd = tenths(f[5], &removed);
  if (lev->t != MISSING && dpd != MISSING && dpd >= 0)
    lev->td = static_cast<float>(static_cast<double>(lev->t) - dpd);
  int wd = f[6];
  int ws = f[7];
  if (wd == kRemoved || ws == kRemoved) ++removed;
  if (wd >= 0 && wd <= 360 && ws >= 0) {
    lev->dir = static_cast<float>(wd);
    lev->spd = static_cast<float>(ws / 10.0 * kMsToKnots);
  }
  lev->removed = removed;
  return 0;
}

namespace {

// Whether a header record has its length, its #, an 11-character station identifier and
// its blank separating columns; *why says what is wrong when not.
bool header_layout_ok(const char* line, std::size_t len, std::string* why) {
  if (len < kHeaderLen) {
    *why = "record of " + std::to_string(len) + " characters, a header has " +
           std::to_string(kHeaderLen);
    return false;
  }
  if (line[0] != '#') {
    *why = "no # in column 1";
    return false;
  }
  for (int i = 1; i <= 11; ++i) {
    if (!std::isalnum(static_cast<unsigned char>(line[i]))) {
      *why = "station identifier " + quoted(line, 2, 12) + " is not 11 letters and digits";
      return false;
    }
  }
  for (int col : {13, 18, 21, 24, 27, 32, 37, 55, 63}) {
    if (line[col - 1] != ' ') {
      *why = "column " + std::to_string(col) + " is not blank (columns shifted?)";
      return false;
    }
  }
  return true;
}

// The numbers of a header record: year, month, day, hour, release time, level count,
// latitude and longitude (1e-4 degrees, kMissingCode when blank); false when one other
// than the position is blank or unreadable.
bool header_numbers(const char* line, int v[8], std::string* why) {
  struct Field {
    const char* name;
    int from, to;
  };
  static constexpr Field f[] = {{"year", 14, 17},   {"month", 19, 20},     {"day", 22, 23},
                                {"hour", 25, 26},   {"release time", 28, 31}, {"level count", 33, 36},
                                {"latitude", 56, 62}, {"longitude", 64, 71}};
  for (int k = 0; k < 8; ++k) {
    const Field& x = f[k];
    v[k] = 0;
    if (!int_field(line, x.from, x.to, &v[k]) || v[k] == kMissingCode) {
      // Blank or unreadable: only the position may be missing.
      if (x.from >= 56 && v[k] == kMissingCode) continue;
      *why = std::string(x.name) + " " + quoted(line, x.from, x.to) + " is not a number";
      return false;
    }
  }
  return true;
}

}  // namespace

int IGRA_decode_header(const char* line, std::size_t len, IGRA_header* hdr, std::string* why) {
  *hdr = IGRA_header{};
  int v[8];
  if (!header_layout_ok(line, len, why) || !header_numbers(line, v, why)) return -1;
  int year = v[0], month = v[1], day = v[2], hour = v[3], rel = v[4];
  if (year < 1900 || year > 2199 || month < 1 || month > 12 || day < 1 ||
      day > days_in(year, month)) {
    *why = "date " + quoted(line, 14, 23) + " is not a calendar date";
    return -1;
  }
  // Hour 99: the release hour stands in when it is known.
  if (hour == 99 && rel >= 0 && rel / 100 <= 23) hour = rel / 100;
  if (hour < 0 || hour > 23) {
    *why = "hour " + quoted(line, 25, 26) + " is not 00-23";
    return -1;
  }
  if (v[5] < 0 || v[5] > kMaxLevels) {
    *why = "level count " + quoted(line, 33, 36) + " is negative";
    return -1;
  }
  hdr->id.assign(line + 1, 11);
  hdr->date.year = year;
  hdr->date.month = month;
  hdr->date.day = day;
  hdr->date.hour = hour;
  hdr->date.min = 0;
  hdr->date.sec = 0;
  hdr->numlev = v[5];
  double lat = v[6] / 10000.0;
  double lon = v[7] / 10000.0;
  if (v[6] != kMissingCode && v[7] != kMissingCode && lat >= -90 && lat <= 90 &&
      lon >= -180 && lon <= 180) {
    hdr->lat = static_cast<float>(lat);
    hdr->lon = static_cast<float>(lon);
  }
  return 0;
}

int IGRA_wmo(const std::string& id) {
  if (id.size() != 11 || id[2] != 'M') return IMISSING;
  int v = 0;
  for (std::size_t i = 6; i < 11; ++i) {
    if (id[i] < '0' || id[i] > '9') return IMISSING;
    v = v * 10 + (id[i] - '0');
  }
  return v;
}

std::unique_ptr<ING_reader> IGRA_reader(const ING_select* sel) {
  return std::make_unique<IgraReader>(sel);
}
