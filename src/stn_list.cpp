// stn_list.cpp — where ingested stations are: the WMO station list in the IGRA station
// list format, and the upper-air station database upa.cty that the sounding program
// reads elevations from.
//
// The station list is read once per run. A station found in upa.cty takes its identifier
// and location from there; one found only in the list gets its WMO number as identifier
// and a new upa.cty line, appended after the existing ones, which are never rewritten.

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "zudingest.h"

namespace {

constexpr M_type kError = MESS_ERROR;      // "error"
constexpr std::size_t kMaxLine = 256;  // longest station-list line read
constexpr int kListNetwork = 2;        // column of the network code ('M': WMO number)
constexpr float kNoElev = -999.9f;     // the list's missing elevation
constexpr float kMobileElev = -998.8f; // the list's mobile station
constexpr float kCtyNoElev = 9999;     // upa.cty: above 9000 reads as missing
constexpr int kCtyName = 15;           // name column width of the package's upa.cty lines
constexpr const char* kNewPrior = "5*";// new lines: priority 5, upper-air station

// Columns [from, to] (1-based, inclusive) of a fixed-width line, blanks trimmed.
std::string column(std::string_view line, std::size_t from, std::size_t to) {
  if (line.size() < from) return "";
  std::string_view s = line.substr(from - 1, to - from + 1);
  std::size_t a = 0;
  while (a < s.size() && s[a] == ' ') ++a;
  std::size_t b = s.size();
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\r')) --b;
  return std::string(s.substr(a, b - a));
}

// The value of a field of decimal digits.
int digits_value(std::string_view d) {
  int v = 0;
  for (char c : d) v = v * 10 + (c - '0');
  return v;
}

// A year field read as atoi reads it: blanks, a sign, digits, up to the first other byte.
int year_value(std::string_view f) {
  std::size_t i = 0;
  while (i < f.size() && std::isspace(static_cast<unsigned char>(f[i]))) ++i;
  bool neg = false;
  if (i < f.size() && (f[i] == '+' || f[i] == '-')) neg = f[i++] == '-';
  int v = 0;
  for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i) v = v * 10 + (f[i] - '0');
  return neg ? -v : v;
}

// Reads the number that starts at fixed[from] (blanks first) as strtod reads it, and says
// whether it ends after `from` and at or before `limit`. A plain decimal of up to 15
// digits is read directly: its digits divided by a power of ten, both exact in a double,
// is the correctly rounded value, as strtod's is; anything else goes to strtod.
bool read_number(const char* fixed, int from, int limit, double* value) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const char* p = fixed + from;
  while (*p == ' ') ++p;
  bool neg = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long mant = 0;
  int digits = 0, frac = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) mant = mant * 10 + (*p - '0');
  if (*p == '.') {
    for (++p; *p >= '0' && *p <= '9'; ++p, ++digits, ++frac) mant = mant * 10 + (*p - '0');
  }
  const char c = *p;
  // strtod would go on only into an exponent or a hexadecimal number.
  const bool plain = digits > 0 && digits <= 15 && c != 'e' && c != 'E' && c != 'x' && c != 'X';
  const char* stop = p;
  if (plain) {
    *value = static_cast<double>(mant) / kPow10[frac];
    if (neg) *value = -*value;
  } else {
    char* end = nullptr;
    *value = std::strtod(fixed + from, &end);
    stop = end;
  }
  return stop != fixed + from && stop <= fixed + limit;
}

// Upper-case letters, digits and '_' for blanks: a name that is one word in upa.cty.
std::string one_word(const std::string& name, std::size_t width) {
  std::string out;
  for (char c : name) {
    if (out.size() == width) break;
    out += (c == ' ' || c == '\t') ? '_' : c;
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

}  // namespace

namespace {

// The numbers of one usable line of the list; names and codes are made only for the line
// kept.
struct Found {
  int wmo;
  int last;  // last year of data
  float lat, lon, elev;
  std::string_view line;
};

// Reads a whole file into text; false when it cannot be opened.
bool read_whole(const char* path, std::string* text) {
  FILE* f = path ? std::fopen(path, "rb") : nullptr;
  if (!f) return false;
  // Straight into the text, sized from the file's length; a file that grows meanwhile
  // (or a pipe) is read on in pieces.
  struct stat st {};
  std::size_t have = 0;
  if (::fstat(::fileno(f), &st) == 0 && st.st_size > 0) {
    text->resize(static_cast<std::size_t>(st.st_size));
    have = std::fread(text->data(), 1, text->size(), f);
    text->resize(have);
  }
  char buf[1 << 16];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
  std::fclose(f);
  return true;
}

// The numbers of one line of the list; false for a line that is not a usable fixed
// station. Every field is followed by a blank, so each number is read in place.
bool read_line(std::string_view line, Found* fd) {
  if (line.size() < 41 || line[kListNetwork] != 'M') return false;
  const std::string_view num = line.substr(6, 5);
  if (num.find_first_not_of("0123456789") != std::string_view::npos) return false;
  *fd = Found{digits_value(num), 0, MISSING, MISSING, MISSING, line};
  char fixed[41];  // id to state, NUL-terminated
  std::memcpy(fixed, line.data(), 40);
  fixed[40] = '\0';
  // A number must end inside its own columns (a blank field would read the next one).
  double lat = 0, lon = 0, el = 0;
  if (!read_number(fixed, 12, 20, &lat) || !read_number(fixed, 21, 30, &lon)) return false;
  if (std::fabs(lat) > 90 || std::fabs(lon) > 180) return false;  // mobile stations
  fd->lat = static_cast<float>(lat);
  fd->lon = static_cast<float>(lon);
  if (read_number(fixed, 31, 37, &el)) {
    const float e = static_cast<float>(el);
    if (e != kNoElev && e != kMobileElev) fd->elev = e;
  }
  fd->last = line.size() >= 81 ? year_value(line.substr(77, 4)) : 0;
  return true;
}

}  // namespace

int ING_read_station_list(const char* path, std::vector<ING_station>* list) {
  std::string text;
  if (!read_whole(path, &text)) return -1;
  std::vector<Found> found;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + pos, std::min(end - pos, kMaxLine));
    pos = end + 1;
    Found fd{};
    if (read_line(line, &fd)) found.push_back(fd);
  }
  // A number listed twice (a station moved or renamed) is the one with the latest data.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.wmo != b.wmo ? a.wmo < b.wmo : a.last > b.last;
  });
  list->clear();
  for (const Found& fd : found) {
    if (!list->empty() && list->back().wmo == fd.wmo) continue;
    ING_station s;
    s.wmo = fd.wmo;
    s.lat = fd.lat;
    s.lon = fd.lon;
    s.elev = fd.elev;
    s.state = column(fd.line, 39, 40);
    s.country = std::string(fd.line.substr(0, 2));
    s.name = column(fd.line, 42, 71);
    list->push_back(std::move(s));
  }
  return static_cast<int>(list->size());
}

int ING_read_cty(const char* path, ING_stations* st) {
  st->cty_path = path ? path : "";
  st->cty.clear();
  st->added.clear();
  st->cty_at.clear();
  st->cty_indexed = 0;
  if (!path || !FILE_exist(path) || FILE_is_dir(path)) return 0;
  int fd = CTY_open(path, 0, 0);
  if (fd < 0) return 0;
  CTY_data rec{};
  while (CTY_read(fd, &rec) > 0) st->cty.push_back(rec);
  CTY_close(fd);
  return static_cast<int>(st->cty.size());
}

std::string ING_cty_line(const CTY_data& rec) {
  char buf[160];
  int el = rec.el == MISSING ? static_cast<int>(kCtyNoElev) : static_cast<int>(std::lround(rec.el));
  std::snprintf(buf, sizeof buf, "%-*s %-2s %-2s %-4s %2s%8.2f%8.2f%5d %05d %d", kCtyName,
                rec.name, rec.state, rec.region, rec.id, kNewPrior, rec.lat, rec.lon, el, rec.wmo,
                rec.num);
  return buf;
}

int ING_locate(ING_stations* st, ING_report* rep) {
  auto fill = [rep](float lat, float lon, float el) {
    if (rep->lat == MISSING || rep->lon == MISSING) {
      rep->lat = lat;
      rep->lon = lon;
    }
    if (rep->elev == MISSING) rep->elev = el;
  };
  // The first database record of the number, looked up in an index of the records rather
  // than searched for: a feed locates hundreds of stations in a database of thousands.
  if (st->cty_indexed > st->cty.size()) {  // the records were replaced
    st->cty_at.clear();
    st->cty_indexed = 0;
  }
  for (; st->cty_indexed < st->cty.size(); ++st->cty_indexed)
    st->cty_at.emplace(st->cty[st->cty_indexed].wmo, st->cty_indexed);
  if (const auto at = st->cty_at.find(rep->wmo); at != st->cty_at.end()) {
    const CTY_data& c = st->cty[at->second];
    if (rep->id.empty()) rep->id = c.id;
    fill(c.lat, c.lon, c.el);
    return 1;
  }
  char num[16];
  std::snprintf(num, sizeof num, "%05d", rep->wmo);
  if (rep->id.empty()) rep->id = num;
  auto it = std::lower_bound(st->list.begin(), st->list.end(), rep->wmo,
                             [](const ING_station& s, int w) { return s.wmo < w; });
  if (it == st->list.end() || it->wmo != rep->wmo) return 0;
  fill(it->lat, it->lon, it->elev);
  rep->name = it->name;

  CTY_data rec{};
  std::string name = one_word(it->name, kCtyName);
  std::snprintf(rec.name, sizeof rec.name, "%s", name.empty() ? num : name.c_str());
  std::snprintf(rec.state, sizeof rec.state, "%s", it->state.empty() ? "--" : it->state.c_str());
  std::snprintf(rec.region, sizeof rec.region, "%s", it->country.c_str());
  std::snprintf(rec.id, sizeof rec.id, "%s", rep->id.c_str());
  rec.prior = 5;
  rec.mos = ' ';
  rec.ua = '*';
  rec.lat = it->lat;
  rec.lon = it->lon;
  rec.el = it->elev;
  rec.wmo = it->wmo;
  rec.num = 0;
  st->cty.push_back(rec);  // later reports of the station find it here
  st->added.push_back(rec);
  return 1;
}

int ING_write_cty(ING_stations* st) {
  if (st->added.empty()) return 0;
  std::string text;
  // A last line without its line end is completed first, so the new line stands alone.
  if (FILE* r = std::fopen(st->cty_path.c_str(), "rb")) {
    if (std::fseek(r, -1, SEEK_END) == 0 && std::fgetc(r) != '\n') text += '\n';
    std::fclose(r);
  }
  for (const CTY_data& c : st->added) text += ING_cty_line(c) + "\n";
  FILE* f = std::fopen(st->cty_path.c_str(), "a");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) {
    MESS_print(kError, "ING_write_cty: cannot add stations to %s: %s\n", st->cty_path.c_str(),
               std::strerror(errno));
    return -1;
  }
  int n = static_cast<int>(st->added.size());
  st->added.clear();
  return n;
}
