// list_read.cpp — single soundings as the sounding services publish them: the University
// of Wyoming TEXT:LIST page (an HTML page whose <PRE> table lists PRES HGHT TEMP DWPT
// RELH MIXR DRCT SKNT THTA THTE THTV, followed by a "Station information and sounding
// indices" block) and the SPC observed-sounding table (%TITLE% with station and time,
// %RAW% rows "LEVEL, HGHT, TEMP, DWPT, WDIR, WSPD" with -9999 for missing, %END%).
//
// Both list every level of the ascent together. They are parted the way a coded report
// parts them: the standard pressures are the mandatory levels, every other level with a
// temperature a significant level (the surface, the first level with a temperature,
// heading them), every reported wind a wind level at its height, the surface wind the
// surface wind. A page may hold several soundings; each title starts the next.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "zudingest.h"

namespace {

constexpr M_type kWarn = MESS_WARN;        // "warn": a sounding or a page not ingested
constexpr std::size_t kMaxLine = 4096;  // longer lines are cut (tables are ~80 wide)
constexpr std::size_t kWyoWidth = 7;    // width of a column of the Wyoming table
constexpr std::size_t kMaxRows = 20000; // rows of one sounding kept; more is not a list
constexpr float kSpcMissing = -9999.0f;

constexpr float kStandard[] = {1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100,
                               70,   50,  30,  20,  10,  7,   5,   3,   2,   1};

bool is_standard(float p) {
  for (float s : kStandard)
    if (s == p) return true;
  return false;
}

// Case-blind search of `needle` in `hay`.
std::size_t ifind(const std::string& hay, const char* needle, std::size_t from = 0) {
  std::size_t n = std::strlen(needle);
  for (std::size_t i = from; i + n <= hay.size(); ++i)
    if (strnicmp(hay.c_str() + i, needle, static_cast<int>(n)) == 0) return i;
  return std::string::npos;
}

std::string trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(" \t\r");
  std::size_t b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The text without its HTML tags.
std::string untag(const std::string& s) {
  std::string out;
  bool in = false;
  for (char c : s) {
    if (c == '<') in = true;
    else if (c == '>') in = false;
    else if (!in) out += c;
  }
  return out;
}

// A decimal number filling `s` (blanks around it allowed); false when there is none.
bool number(const std::string& s, double* v) {
  std::string t = trim(s);
  if (t.empty()) return false;
  char* end = nullptr;
  double d = std::strtod(t.c_str(), &end);
  if (*end != '\0' || !std::isfinite(d)) return false;
  *v = d;
  return true;
}

// One row of a list: pressure mb, height m, temperature and dew point deg C, wind
// direction degrees and speed knots; MISSING where the list has none.
struct Row {
  float p = MISSING, h = MISSING, t = MISSING, td = MISSING, dir = MISSING, spd = MISSING;
};

// The sounding being read.
struct Sounding {
  bool open = false;
  std::string kind;        // "Wyoming" or "SPC", for messages
  std::string title;       // the page's title of it, for messages
  int wmo = IMISSING;
  std::string id;          // station letters
  Date date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, 0, 0};
  int minute = 0;          // of the observation time, rounded to the hour at the close
  float lat = MISSING, lon = MISSING, elev = MISSING;
  std::vector<Row> rows;
  bool table = false;      // a table header was met
  int bad_rows = 0;        // rows that did not read
  std::string first_bad;   // the first of them
  bool too_many = false;
};

const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                               "jul", "aug", "sep", "oct", "nov", "dec"};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool valid_date(int y, int m, int d, int h) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1900 || y > 2199 || m < 1 || m > 12 || d < 1 || h < 0 || h > 23) return false;
  return d <= (m == 2 && leap(y) ? 29 : kDays[m - 1]);
}

// yymmdd/hhmm, as both services print the observation time.
bool short_time(const std::string& s, Sounding* snd) {
  std::string t = trim(s);
  if (t.size() < 11 || t[6] != '/') return false;
  for (int i : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10})
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
  int yy = std::atoi(t.substr(0, 2).c_str());
  int y = yy > 49 ? 1900 + yy : 2000 + yy;
  int m = std::atoi(t.substr(2, 2).c_str());
  int d = std::atoi(t.substr(4, 2).c_str());
  int h = std::atoi(t.substr(7, 2).c_str());
  int mi = std::atoi(t.substr(9, 2).c_str());
  if (!valid_date(y, m, d, h) || mi > 59) return false;
  snd->date.year = y;
  snd->date.month = m;
  snd->date.day = d;
  snd->date.hour = h;
  snd->minute = mi;
  return true;
}

class ListReader : public ING_streaming_reader {
 public:
  explicit ListReader(const ING_select* sel) : sel_(sel) {}

  const char* format() const override { return "sounding list (Wyoming TEXT:LIST, SPC table)"; }

  bool recognises(const char* head, std::size_t len) const override {
    std::string h(head, std::min<std::size_t>(len, 1024));
    std::size_t a = h.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return false;
    if (h.compare(a, 7, "%TITLE%") == 0) return true;
    return strnicmp(h.c_str() + a, "<html", 5) == 0 || strnicmp(h.c_str() + a, "<!doctype html", 14) == 0 ||
           strnicmp(h.c_str() + a, "<title", 6) == 0;
  }

  void feed(const char* data, std::size_t len) override {
    const char* p = data;
    const char* end = data + len;
    while (p < end) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      const char* stop = nl ? nl : end;
      std::size_t n = static_cast<std::size_t>(stop - p);
      if (carry_.size() < kMaxLine) carry_.append(p, std::min(n, kMaxLine - carry_.size()));
      if (!nl) break;
      line(carry_);
      carry_.clear();
      p = nl + 1;
    }
  }

  void end_file() override {
    if (!carry_.empty()) line(carry_);
    carry_.clear();
    close_sounding();
    if (!found_any_) {
      MESS_print(kWarn, "list: no sounding table (Wyoming <PRE> table or SPC %%RAW%%) in the page\n");
      ++counts.rejected;
    }
    ++counts.bulletins;
    state_ = State::kOutside;
    found_any_ = false;
  }

 private:
  enum class State {
    kOutside,    // between soundings
    kWyoTitle,   // after a Wyoming title, before its table
    kWyoTable,   // inside the <PRE> table
    kWyoInfo,    // in the station information block
    kSpcTitle,   // after %TITLE%, before the station line
    kSpcHead,    // station line read, before %RAW%
    kSpcRaw,     // the %RAW% rows
  };

  void line(std::string s) {
    if (!s.empty() && s.back() == '\r') s.pop_back();
    // SPC markers.
    std::string t = trim(s);
    if (t == "%TITLE%") {
      close_sounding();
      start("SPC");
      state_ = State::kSpcTitle;
      return;
    }
    if (state_ == State::kSpcTitle) {
      if (t.empty()) return;
      spc_title(t);
      state_ = State::kSpcHead;
      return;
    }
    if (state_ == State::kSpcHead) {
      if (t == "%RAW%") {
        state_ = State::kSpcRaw;
        cur_.table = true;
        found_any_ = true;
      } else if (ifind(t, "LEVEL") != std::string::npos) {
        spc_columns(t);
      }
      return;
    }
    if (state_ == State::kSpcRaw) {
      if (t == "%END%") {
        close_sounding();
        state_ = State::kOutside;
        return;
      }
      if (!t.empty()) spc_row(t);
      return;
    }
    // Wyoming: a title <H2> opens a sounding.
    std::size_t h2 = ifind(s, "<h2>");
    if (h2 != std::string::npos) {
      close_sounding();
      start("Wyoming");
      cur_.title = trim(untag(s));
      wyo_title(cur_.title);
      state_ = State::kWyoTitle;
      return;
    }
    if (state_ == State::kWyoTitle) {
      if (ifind(s, "PRES") != std::string::npos && ifind(s, "HGHT") != std::string::npos) {
        wyo_columns(s);
        cur_.table = true;
        found_any_ = true;
        state_ = State::kWyoTable;
      }
      return;
    }
    if (state_ == State::kWyoTable) {
      if (ifind(s, "</pre>") != std::string::npos) {
        state_ = State::kWyoInfo;
        return;
      }
      if (t.empty() || t[0] == '-' || ifind(t, "hPa") != std::string::npos) return;
      wyo_row(s);
      return;
    }
    if (state_ == State::kWyoInfo) wyo_info(untag(s));
  }

  void start(const char* kind) {
    cur_ = Sounding{};
    cur_.open = true;
    cur_.kind = kind;
  }

  // ---- SPC ----

  // " OAX   140616/1900": station letters or number, then the time.
  void spc_title(const std::string& t) {
    cur_.title = t;
    std::size_t sp = t.find_first_of(" \t");
    std::string stn = t.substr(0, sp);
    std::string rest = sp == std::string::npos ? "" : t.substr(sp);
    if (stn.size() == 5 && std::strspn(stn.c_str(), "0123456789") == 5)
      cur_.wmo = std::atoi(stn.c_str());
    else
      cur_.id = stn;
    if (!short_time(rest, &cur_)) cur_.date.year = IMISSING;
  }

  void spc_columns(const std::string& t) {
    spc_cols_.clear();
    std::size_t i = 0;
    while (i < t.size()) {
      std::size_t a = t.find_first_not_of(" \t,", i);
      if (a == std::string::npos) break;
      std::size_t b = t.find_first_of(" \t,", a);
      spc_cols_.push_back(t.substr(a, b == std::string::npos ? std::string::npos : b - a));
      i = b == std::string::npos ? t.size() : b;
    }
  }

  void spc_row(const std::string& t) {
    static const std::vector<std::string> kDefault = {"LEVEL", "HGHT", "TEMP", "DWPT", "WDIR", "WSPD"};
    const std::vector<std::string>& cols = spc_cols_.empty() ? kDefault : spc_cols_;
    std::vector<std::string> f;
    std::size_t a = 0;
    for (;;) {
      std::size_t c = t.find(',', a);
      f.push_back(t.substr(a, c == std::string::npos ? std::string::npos : c - a));
      if (c == std::string::npos) break;
      a = c + 1;
    }
    if (f.size() != cols.size()) {
      bad_row(t, "has " + std::to_string(f.size()) + " fields, the table " + std::to_string(cols.size()));
      return;
    }
    Row r;
    for (std::size_t i = 0; i < f.size(); ++i) {
      double v = 0;
      if (!number(f[i], &v)) {
        bad_row(t, "field " + std::to_string(i + 1) + " is not a number");
        return;
      }
      float x = v == kSpcMissing ? MISSING : static_cast<float>(v);
      const std::string& c = cols[i];
      if (c == "LEVEL" || c == "PRES") r.p = x;
      else if (c == "HGHT") r.h = x;
      else if (c == "TEMP") r.t = x;
      else if (c == "DWPT") r.td = x;
      else if (c == "WDIR") r.dir = x;
      else if (c == "WSPD") r.spd = x;
    }
    add_row(r, t);
  }

  // ---- Wyoming ----

  // "72357 OUN Norman Observations at 12Z 22 Dec 2018"
  void wyo_title(const std::string& t) {
    std::size_t sp = t.find(' ');
    std::string first = t.substr(0, sp);
    if (first.size() == 5 && std::strspn(first.c_str(), "0123456789") == 5) {
      cur_.wmo = std::atoi(first.c_str());
      std::size_t b = t.find(' ', sp + 1);
      if (sp != std::string::npos && b != std::string::npos) {
        std::string id = t.substr(sp + 1, b - sp - 1);
        if (!id.empty() && id.size() <= 5 && std::isalpha(static_cast<unsigned char>(id[0])))
          cur_.id = id;
      }
    }
    std::size_t at = ifind(t, " at ");
    if (at == std::string::npos) return;
    int hh = -1, dd = -1, yyyy = -1;
    char mon[8] = "";
    if (std::sscanf(t.c_str() + at + 4, "%2dZ %2d %3s %4d", &hh, &dd, mon, &yyyy) == 4) {
      for (int m = 0; m < 12; ++m) {
        if (strnicmp(mon, kMonths[m], 3) == 0 && valid_date(yyyy, m + 1, dd, hh)) {
          cur_.date.year = yyyy;
          cur_.date.month = m + 1;
          cur_.date.day = dd;
          cur_.date.hour = hh;
        }
      }
    }
  }

  // Columns are right-aligned in 7 characters; each header word ends its column.
  void wyo_columns(const std::string& s) {
    wyo_cols_.clear();
    std::size_t i = 0;
    while (i < s.size()) {
      std::size_t a = s.find_first_not_of(' ', i);
      if (a == std::string::npos) break;
      std::size_t b = s.find(' ', a);
      if (b == std::string::npos) b = s.size();
      wyo_cols_.push_back({s.substr(a, b - a), b});
      i = b;
    }
  }

  void wyo_row(const std::string& s) {
    Row r;
    bool any = false;
    for (const auto& [name, end] : wyo_cols_) {
      if (end < kWyoWidth) continue;
      std::size_t from = end - kWyoWidth;
      std::string f = from < s.size() ? s.substr(from, kWyoWidth) : "";
      if (trim(f).empty()) continue;
      double v = 0;
      if (!number(f, &v)) {
        bad_row(trim(s), name + " \"" + trim(f) + "\" is not a number");
        return;
      }
      any = true;
      float x = static_cast<float>(v);
      if (name == "PRES") r.p = x;
      else if (name == "HGHT") r.h = x;
      else if (name == "TEMP") r.t = x;
      else if (name == "DWPT") r.td = x;
      else if (name == "DRCT") r.dir = x;
      else if (name == "SKNT") r.spd = x;
    }
    if (any) add_row(r, trim(s));
  }

  void wyo_info(const std::string& s) {
    std::size_t c = s.find(':');
    if (c == std::string::npos) return;
    std::string key = trim(s.substr(0, c));
    std::string val = trim(s.substr(c + 1));
    double v = 0;
    if (key == "Station identifier" && !val.empty() && val.size() <= 5) {
      cur_.id = val;
    } else if (key == "Station number" && val.size() == 5 &&
               std::strspn(val.c_str(), "0123456789") == 5) {
      cur_.wmo = std::atoi(val.c_str());
    } else if (key == "Observation time") {
      Sounding probe = cur_;
      if (short_time(val, &probe)) {
        cur_.date = probe.date;
        cur_.minute = probe.minute;
      }
    } else if (key == "Station latitude" && number(val, &v) && std::fabs(v) <= 90) {
      cur_.lat = static_cast<float>(v);
    } else if (key == "Station longitude" && number(val, &v) && std::fabs(v) <= 180) {
      cur_.lon = static_cast<float>(v);
    } else if (key == "Station elevation" && number(val, &v) && std::fabs(v) < 9000) {
      cur_.elev = static_cast<float>(v);
    }
  }

  // ---- both ----

  void bad_row(const std::string& row, const std::string& why) {
    if (cur_.bad_rows++ != 0) return;
    std::string& f = cur_.first_bad;
    f.assign(1, '"');
    f.append(row, 0, 80);
    f += "\" ";
    f += why;
  }

  void add_row(Row r, const std::string& text) {
    // Values the converted layout cannot mean are dropped with the row's other values kept.
    if (r.p != MISSING && (r.p <= 0 || r.p > 1100)) {
      bad_row(text, "pressure out of range");
      return;
    }
    if (r.t != MISSING && std::fabs(r.t) > 99.9f) r.t = MISSING;
    if (r.t == MISSING || (r.td != MISSING && std::fabs(r.td) > 99.9f)) r.td = MISSING;
    if (r.dir == MISSING || r.spd == MISSING || r.dir < 0 || r.dir > 360 || r.spd < 0)
      r.dir = r.spd = MISSING;
    if (cur_.rows.size() >= kMaxRows) {
      cur_.too_many = true;
      return;
    }
    cur_.rows.push_back(r);
  }

  void close_sounding() {
    if (!cur_.open) return;
    Sounding s = std::move(cur_);
    cur_ = Sounding{};
    if (!s.table) return;  // a title without a table: the page's closing message covers it
    std::string who = s.kind + " " + (s.title.empty() ? std::string("sounding") : s.title);
    auto reject = [&](const std::string& why) {
      MESS_print(kWarn, "%s: %s; sounding not ingested\n", who.c_str(), why.c_str());
      ++counts.rejected;
    };
    if (s.date.year == IMISSING || s.date.hour == IMISSING) {
      reject("no observation time on the page");
      return;
    }
    // The layout holds whole hours: the nearest one.
    if (s.minute >= 30) {
      Date d = s.date;
      d.min = 0;
      d.sec = 0;
      time_t t = static_cast<time_t>(DATE_num_sec(&d) + 3600);
      DATE_get_gmdate(&t, &s.date);
    }
    s.date.min = 0;
    s.date.sec = 0;
    if (s.wmo == IMISSING && s.id.empty()) {
      reject("no station on the page");
      return;
    }
    if (s.bad_rows > 0) {
      reject(std::to_string(s.bad_rows) + " rows not readable, the first " + s.first_bad);
      return;
    }
    if (s.too_many) {
      reject("more than " + std::to_string(kMaxRows) + " rows");
      return;
    }
    ING_report r;
    r.wmo = s.wmo;
    r.id = s.id;
    r.src_id = s.id;
    r.date = s.date;
    r.lat = s.lat;
    r.lon = s.lon;
    r.elev = s.elev;
    // The time window now; stations once the program has found the numbers of those
    // named by letters.
    if (sel_ && sel_->window && !ING_selected(ING_select{true, sel_->from, sel_->to, sel_->step, {}}, r))
      return;
    // Rows ordered upward; the surface is the first with a temperature.
    std::vector<Row>& rows = s.rows;
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
      if (a.p == MISSING || b.p == MISSING) return a.p != MISSING && b.p == MISSING;
      return a.p > b.p;
    });
    std::size_t sfc = rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].p != MISSING && rows[i].t != MISSING) {
        sfc = i;
        break;
      }
    }
    if (sfc < rows.size()) {
      const Row& f = rows[sfc];
      r.sfc = UPA_level{f.p, f.h, f.t, f.td, f.dir, f.spd};
      if (r.elev == MISSING && f.h != MISSING) r.elev = f.h;
    }
    int unplaced = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Row& w = rows[i];
      bool has_wind = w.dir != MISSING;
      if (w.p == MISSING) {
        if (has_wind && w.h != MISSING) r.wind.push_back(ING_wind{MISSING, w.h, w.dir, w.spd});
        else if (has_wind) ++unplaced;
        continue;
      }
      if (is_standard(w.p)) {
        if (std::none_of(r.man.begin(), r.man.end(), [&](const UPA_level& m) { return m.p == w.p; }))
          r.man.push_back(UPA_level{w.p, w.h, w.t, w.td, w.dir, w.spd});
      } else if (w.t != MISSING && i >= sfc) {
        r.sig.push_back(UPA_sig_level{w.p, w.t, w.td});
      }
      if (has_wind && i > sfc)
        r.wind.push_back(ING_wind{w.p, w.h, w.dir, w.spd});
    }
    // The surface heads the significant levels also when it is a standard level.
    if (sfc < rows.size() && is_standard(rows[sfc].p))
      r.sig.insert(r.sig.begin(), UPA_sig_level{rows[sfc].p, rows[sfc].t, rows[sfc].td});
    if (unplaced > 0)
      r.notes.push_back(std::to_string(unplaced) + " winds without pressure or height left out");
    if (r.man.empty() && r.sig.empty() && r.wind.empty()) {
      ++counts.nil;
      return;
    }
    ING_thin_report(&r);
    ready_.push_back(std::move(r));
    ++counts.reports;
  }

  const ING_select* sel_;
  Sounding cur_;
  State state_ = State::kOutside;
  bool found_any_ = false;  // this file held a table
  std::string carry_;       // a line not yet ended
  std::vector<std::string> spc_cols_;                          // SPC column names
  std::vector<std::pair<std::string, std::size_t>> wyo_cols_;  // Wyoming name, column end
};

}  // namespace

std::unique_ptr<ING_reader> LIST_reader(const ING_select* sel) {
  return std::make_unique<ListReader>(sel);
}
