// ing_select.cpp — which soundings an ingest run keeps: a window of observation times
// from the package's time resources ("hour" -ho, "num_hour" -nh) and a list of stations
// ("identifier" -id) named by WMO number or by the identifier of the input (an IGRA
// station identifier, a list's station letters).
//
// The window ends at the -ho time and reaches -nh hours back, the start excluded, so
// that -nh 24 over twice-daily ascents keeps two of them; -nh 0 or no -nh keeps the -ho
// time alone. Archives are read long after the fact, so a -ho time may carry its year:
// yymmddhh or yyyymmddhh besides the package's own forms (#yyyymmddhh, mmddhh, ddhh).
// Fields a form leaves out are those of the most recent such time at or before the
// package's current time.

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "zudingest.h"
#include "zudresrc.h"

namespace {

constexpr M_type kError = MESS_ERROR;    // "error"
constexpr M_type kWarn = MESS_WARN;     // "warn"
constexpr long kSecHour = 3600;
constexpr int kMaxHours = 24 * 366 * 200;  // two centuries: a window beyond is a typo

bool all_digits(const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return n > 0;
}

int num(const char* s, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

bool valid(const Date& d) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return d.year >= 1900 && d.year <= 2199 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= kDays[d.month - 1] && d.hour >= 0 && d.hour <= 23 &&
         !(d.month == 2 && d.day == 29 && !(d.year % 4 == 0 && (d.year % 100 != 0 || d.year % 400 == 0)));
}

std::int64_t seconds(Date d) { return DATE_num_sec(&d); }

// Completes the fields left out (IMISSING) from `now`: the latest such time at or
// before it. Returns false when no such time exists within a year back.
bool complete(Date want, std::int64_t now, Date* out) {
  if (want.year != IMISSING && want.month != IMISSING && want.day != IMISSING) {
    *out = want;
    return true;
  }
  // Walk back hour by hour over at most a year and a day: the first match is the latest.
  constexpr int kMaxSteps = 24 * 367;
  std::int64_t t = now - now % kSecHour;
  for (int i = 0; i < kMaxSteps; ++i, t -= kSecHour) {
    time_t tt = static_cast<time_t>(t);
    Date d;
    DATE_get_gmdate(&tt, &d);
    if ((want.year == IMISSING || want.year == d.year) &&
        (want.month == IMISSING || want.month == d.month) &&
        (want.day == IMISSING || want.day == d.day) &&
        (want.hour == IMISSING || want.hour == d.hour)) {
      *out = d;
      out->min = 0;
      out->sec = 0;
      return true;
    }
  }
  return false;
}

// The date and hour asked for by -ho, any part of it missing; false (told to the user)
// when it is no date and hour.
bool wanted_time(const char* hour, Date* want) {
  std::size_t n = std::strlen(hour);
  if (n == 8 && all_digits(hour, 8)) {  // yymmddhh: two-digit years above 49 are 19xx
    int yy = num(hour, 2);
    want->year = yy > 49 ? 1900 + yy : 2000 + yy;
    want->month = num(hour + 2, 2);
    want->day = num(hour + 4, 2);
    want->hour = num(hour + 6, 2);
  } else if (n == 10 && all_digits(hour, 10)) {  // yyyymmddhh
    want->year = num(hour, 4);
    want->month = num(hour + 4, 2);
    want->day = num(hour + 6, 2);
    want->hour = num(hour + 8, 2);
  } else {
    Date d;
    RES_conv_time(hour, &d);
    want->year = d.year;
    want->month = d.month;
    want->day = d.day;
    want->hour = d.hour;
  }
  if (want->hour == IMISSING) want->hour = 0;
  Date probe = *want;
  if (probe.year == IMISSING) probe.year = 2000;  // a leap year admits 29 February
  if (probe.month == IMISSING) probe.month = 1;
  if (probe.day == IMISSING) probe.day = 1;
  if (!valid(probe)) {
    MESS_print(kError, "ua_ingest: the time \"%s\" (-ho) is not a date and hour\n", hour);
    return false;
  }
  return true;
}

// The hours and step of -nh ("hours[,step]"); false (told to the user) when unreadable.
bool window_hours(const char* num_hour, int* hours, int* step) {
  char* e = nullptr;
  long h = std::strtol(num_hour, &e, 10);
  long st = 0;
  bool ok = e != num_hour && h >= 0 && h <= kMaxHours;
  if (ok && *e == ',') {
    char* e2 = nullptr;
    st = std::strtol(e + 1, &e2, 10);
    ok = e2 != e + 1 && st > 0 && st <= kMaxHours;
    e = e2;
  }
  if (!ok || *e != '\0') {
    MESS_print(kError, "ua_ingest: the hours \"%s\" (-nh) are not hours[,step]\n", num_hour);
    return false;
  }
  *hours = static_cast<int>(h);
  *step = static_cast<int>(st);
  return true;
}

}  // namespace

int ING_set_window(const char* hour, const char* num_hour, std::int64_t now, ING_select* sel) {
  bool have_hour = hour && *hour;
  bool have_num = num_hour && *num_hour;
  if (!have_hour && !have_num) {
    sel->window = false;
    return 0;
  }
  Date want{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, 0, 0};
  if (have_hour && !wanted_time(hour, &want)) return -1;
  Date end;
  if (!have_hour) {
    time_t tt = static_cast<time_t>(now - now % kSecHour);
    DATE_get_gmdate(&tt, &end);
    end.min = end.sec = 0;
  } else if (!complete(want, now, &end)) {
    MESS_print(kError, "ua_ingest: no time \"%s\" (-ho) within the year before now\n", hour);
    return -1;
  }
  int hours = 0;
  int step = 0;
  if (have_num && !window_hours(num_hour, &hours, &step)) return -1;
  sel->window = true;
  sel->to = seconds(end);
  sel->from = hours > 0 ? sel->to - static_cast<std::int64_t>(hours) * kSecHour + 1 : sel->to;
  sel->step = step;
  return 0;
}

void ING_set_ids(const char* ids, ING_select* sel) {
  sel->ids.clear();
  if (!ids) return;
  std::string item;
  for (const char* p = ids;; ++p) {
    if (*p == ',' || *p == '\0') {
      std::size_t a = item.find_first_not_of(' ');
      std::size_t b = item.find_last_not_of(' ');
      if (a != std::string::npos) sel->ids.push_back(item.substr(a, b - a + 1));
      item.clear();
      if (*p == '\0') break;
    } else {
      item += *p;
    }
  }
}

bool ING_selected(const ING_select& sel, int wmo, const char* src_id, const Date& date) {
  if (sel.window) {
    std::int64_t t = seconds(date);
    if (t < sel.from || t > sel.to) return false;
    if (sel.step > 0 && (sel.to - t) % (static_cast<std::int64_t>(sel.step) * kSecHour) != 0)
      return false;
  }
  if (sel.ids.empty()) return true;
  for (const std::string& id : sel.ids) {
    if (wmo != IMISSING && all_digits(id.c_str(), id.size()) && id.size() <= 6 &&
        std::atoi(id.c_str()) == wmo)
      return true;
    if (src_id && stricmp(id.c_str(), src_id) == 0) return true;
  }
  return false;
}

bool ING_selected(const ING_select& sel, const ING_report& rep) {
  if (ING_selected(sel, rep.wmo, rep.src_id.c_str(), rep.date)) return true;
  // A list report may be named by the identifier the station database gave it.
  return !rep.id.empty() && rep.id != rep.src_id &&
         ING_selected(sel, IMISSING, rep.id.c_str(), rep.date);
}

int ING_keep_selected(const ING_select& sel, const ING_stations& st, std::vector<ING_report>* reps) {
  int refused = 0;
  std::vector<ING_report> kept;
  kept.reserve(reps->size());
  for (ING_report& r : *reps) {
    // A list names its station by letters only: the station database gives the number.
    if (r.wmo == IMISSING && !r.id.empty()) {
      for (const CTY_data& c : st.cty)
        if (c.wmo > 0 && stricmp(c.id, r.id.c_str()) == 0) {
          r.wmo = c.wmo;
          break;
        }
    }
    if (!ING_selected(sel, r)) continue;
    if (r.wmo == IMISSING) {
      MESS_print(kWarn, "Station %s %04d-%02d-%02d %02dZ: no WMO number (not in %s); not ingested\n",
                 r.id.empty() ? "?" : r.id.c_str(), r.date.year, r.date.month, r.date.day,
                 r.date.hour, st.cty_path.empty() ? "upa.cty" : st.cty_path.c_str());
      ++refused;
      continue;
    }
    kept.push_back(std::move(r));
  }
  reps->swap(kept);
  return refused;
}
