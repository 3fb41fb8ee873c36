// date.cpp — the calendar record and its conversions: date labels of data files, seconds
// since 1970, days of the year, the current UTC time, month names and the display zone.
//
// Every time is UTC. The system clock and gmtime are the only platform services used.

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "zud.h"

namespace {

// Month names as printed in current-time texts, and in lower case for file names.
const char* const months[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const months_lc[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};

// Days before the start of each month, the year's total last.
const int num_day[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
const int num_day_leap[13] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

constexpr int kZoneLetters = 4;  // zone letters after the sign position
constexpr int kZoneSize = 7;     // zone text buffer: sign position, letters, terminator

// Display time zone, set from the environment at start-up.
char tz_str[kZoneSize] = "Z";  // sign position and zone letters
int tz_off = 0;                // offset from UTC in seconds
int tz_pm = 0;                 // sign of the zone: -1, 0 or +1

constexpr std::int64_t kSecDay = 86400;      // seconds in a day
constexpr std::int64_t kSecYear = 31536000;  // seconds in a common year
constexpr int kCurrentStrSize = 21;          // current-time text and its terminator
constexpr int kGregorianFrom = 2100;         // first year whose count needs the century rule
constexpr int kLeapBefore1970 = 477;         // leap years from year 1 to 1969 (Gregorian)

// Gregorian leap years from year 1 up to and including `year`.
std::int64_t leaps_through(std::int64_t year) { return year / 4 - year / 100 + year / 400; }

// The label tail of `len` characters, or null when the label is shorter.
const char* tail(const char* str, std::size_t len) {
  std::size_t n = std::strlen(str);
  return n >= len ? str + n - len : nullptr;
}

}  // namespace

// Sets every field of the record unset (-9999). Returns 0.
int DATE_init(Date* date) {
  *date = Date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING};
  return 0;
}

// Prints the date as year/month/day hh:mm:ss at message level `level`. Returns 0.
int DATE_print(std::uint32_t level, Date* date) {
  MESS_print(level, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day, date->hour,
             date->min, date->sec);
  return 0;
}

// The lower-case three-letter name of month 1-12, or "" for any other number.
const char* DATE_month_lower(int month) {
  return (month >= 1 && month <= 12) ? months_lc[month - 1] : "";
}

// 1 for a Gregorian leap year, else 0.
int DATE_is_leap(int year) {
  return (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 1 : 0;
}

// The current time in seconds since 1970-01-01 00:00 UTC, also stored in *secs when given.
long DATE_get_time(time_t* secs) {
  time_t now = std::time(nullptr);
  if (secs) *secs = now;
  return static_cast<long>(now);
}

// Fills all eight fields from *secs (the current time when secs is null). Returns 0, or -1
// with every field unset when the time cannot be broken down.
int DATE_get_gmdate(time_t* secs, Date* date) {
  time_t t = secs ? *secs : std::time(nullptr);
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) {
    DATE_init(date);
    return -1;
  }
  date->year = tm.tm_year + 1900;
  date->month = tm.tm_mon + 1;
  date->day = tm.tm_mday;
  date->jday = tm.tm_yday + 1;
  date->wday = tm.tm_wday;
  date->hour = tm.tm_hour;
  date->min = tm.tm_min;
  date->sec = tm.tm_sec;
  return 0;
}

// Writes the current UTC time as "yy MON dd  hh:mm:ssZ" (20 characters; `str` holds at
// least 21). Returns 0.
int DATE_get_current_str(char* str) {
  Date d;
  if (DATE_get_gmdate(nullptr, &d) != 0) {
    str[0] = '\0';
    return 0;
  }
  std::snprintf(str, kCurrentStrSize, "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", d.year % 100,
                months[d.month - 1], d.day, d.hour, d.min, d.sec);
  return 0;
}

// Seconds since 1970-01-01 00:00 UTC of the record, after correcting it in place: a negative
// year becomes 1980, two-digit years get their century (below 50: 20xx), month outside 1-12
// becomes 1, day outside 0-31 becomes 1, hour, minute and second out of range become 0.
// Leap days count every fourth year up to 2099; from 2100 on the century rule applies too.
// Products are 64-bit, so years from 2038 on are right.
long DATE_num_sec(Date* date) {
  if (date->year < 0) date->year = 1980;
  if (date->year < 50) date->year += 2000;
  if (date->year < 200) date->year += 1900;
  if (date->month < 1 || date->month > 12) date->month = 1;
  if (date->day < 0 || date->day > 31) date->day = 1;
  if (date->hour < 0 || date->hour > 23) date->hour = 0;
  if (date->min < 0 || date->min > 59) date->min = 0;
  if (date->sec < 0 || date->sec > 59) date->sec = 0;

  std::int64_t y = date->year - 1900;
  std::int64_t leap;
  if (date->year < kGregorianFrom) {
    leap = y / 4 - 17;
    if (date->month <= 2 && y % 4 == 0) --leap;
  } else {
    leap = leaps_through(date->year - 1) - kLeapBefore1970;
    if (date->month > 2 && DATE_is_leap(date->year)) ++leap;
  }
  std::int64_t secs = date->sec + 60 * static_cast<std::int64_t>(date->min) +
                      3600 * static_cast<std::int64_t>(date->hour) +
                      kSecDay * (date->day - 1) + kSecDay * num_day[date->month - 1] +
                      kSecDay * leap + kSecYear * (y - 70);
  return static_cast<long>(secs);
}

// Month and day of day `julian` of `year` (clamped to 1 .. 365 or 366). Returns 0.
int DATE_julian_monday(int year, int julian, int* month, int* day) {
  const int* table = DATE_is_leap(year) ? num_day_leap : num_day;
  if (julian < 1) julian = 1;
  if (julian > table[12]) julian = table[12];
  int m = 0;
  while (m <= 11 && table[m] < julian) ++m;
  *month = m;
  *day = julian - table[m - 1];
  return 0;
}

// Day of the year of month/day of `year`; a month of 0 or below counts as January and one
// above 12 as December. Returns 0.
int DATE_monday_julian(int year, int month, int day, int* julian) {
  const int* table = DATE_is_leap(year) ? num_day_leap : num_day;
  if (month <= 0) month = 1;
  if (month > 12) month = 12;
  *julian = table[month - 1] + day;
  return 0;
}

// Decodes a date label (hour with "Z", day, three-letter month, two-digit year, possibly
// after other text) into `date`. Fields no form fills stay -9999; the month is 0 when no
// form matched. A label of four two-digit numbers "yy mm dd hh" (spaces optional) is tried
// last and gives year, month, day and hour when they are in range. Returns 0.
int DATE_decode_label(const char* str, Date* date) {
  DATE_init(date);
  if (!str) str = "";
  // Each form scans into fresh fields, so a form that fails halfway leaves nothing behind.
  struct Fields {
    int hour = IMISSING, min = IMISSING, sec = IMISSING, day = IMISSING, year = IMISSING;
    int month = IMISSING;  // set by the numeric form only
    char mon[4] = "";
  };
  Fields f;
  const char* t = nullptr;
  auto fresh = [&f]() { f = Fields{}; return true; };
  bool numeric = false;
  if (fresh() && std::sscanf(str, "%2dZ %2d %3s %2d", &f.hour, &f.day, f.mon, &f.year) == 4) {
  } else if (fresh() && (t = tail(str, 15)) &&
             std::sscanf(t, "%2d%2dZ %2d %3s %2d", &f.hour, &f.min, &f.day, f.mon, &f.year) == 5) {
    // A one-digit hour leaves a blank first: " 930Z" is 09:30, not 93:00.
    if (t[0] == ' ') std::sscanf(t, "%1d%2d", &f.hour, &f.min);
  } else if (fresh() && (t = tail(str, 19)) &&
             std::sscanf(t, "%2d:%2d:%2dZ %2d %3s %2d", &f.hour, &f.min, &f.sec, &f.day, f.mon,
                         &f.year) == 6) {
  } else if (fresh() && (t = tail(str, 13)) &&
             std::sscanf(t, "%2dZ %2d %3s %2d", &f.hour, &f.day, f.mon, &f.year) == 4) {
  } else if (fresh() &&
             std::sscanf(str, "%2d%2d%2d%2d", &f.year, &f.month, &f.day, &f.hour) == 4 &&
             f.year >= 0 && f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= 31 &&
             f.hour >= 0 && f.hour <= 23) {
    numeric = true;
  } else {
    fresh();
  }
  if (f.year != IMISSING) {
    if (f.year <= 49) f.year += 2000;
    if (f.year <= 199) f.year += 1900;
  }
  date->year = f.year;
  date->month = numeric ? f.month : DATE_decode_month(f.mon);
  date->day = f.day;
  date->hour = f.hour;
  date->min = f.min;
  date->sec = f.sec;
  return 0;
}

// Month 1-12 of a month name, decided on its first and third letters (the second only for
// January; January to August need the letters in one case), or 0 when not recognised.
int DATE_decode_month(const char* str) {
  if (!str || !str[0]) return 0;
  char c0 = str[0];
  char c1 = str[1];
  char c2 = c1 ? str[2] : '\0';
  switch (std::tolower(static_cast<unsigned char>(c0))) {
    case 'f': return 2;
    case 's': return 9;
    case 'o': return 10;
    case 'n': return 11;
    case 'd': return 12;
    default: break;
  }
  if ((c0 == 'J' && c1 == 'A') || (c0 == 'j' && c1 == 'a')) return 1;
  if ((c0 == 'J' && c2 == 'N') || (c0 == 'j' && c2 == 'n')) return 6;
  if ((c0 == 'J' && c2 == 'L') || (c0 == 'j' && c2 == 'l')) return 7;
  if ((c0 == 'M' && c2 == 'R') || (c0 == 'm' && c2 == 'r')) return 3;
  if ((c0 == 'M' && c2 == 'Y') || (c0 == 'm' && c2 == 'y')) return 5;
  if ((c0 == 'A' && c2 == 'R') || (c0 == 'a' && c2 == 'r')) return 4;
  if ((c0 == 'A' && c2 == 'G') || (c0 == 'a' && c2 == 'g')) return 8;
  return 0;
}

// Sets the display time zone from "[+-]LETTERS:hours" (for example -CST:-6): up to four
// zone letters before the colon, the offset in hours after it. A missing part gives no
// letters or a zero offset; a null text changes nothing. Returns 0.
int DATE_set_TZ(const char* str) {
  if (!str) return 0;
  tz_str[0] = ' ';
  tz_str[1] = '\0';
  tz_pm = 0;
  if (*str == '-' || *str == '+') tz_pm = (*str++ == '-') ? -1 : 1;
  char letters[kZoneLetters + 1] = "";
  float hours = 0.0f;
  int n = std::sscanf(str, "%4[^:]:%f", letters, &hours);
  if (n >= 1) std::snprintf(tz_str + 1, kZoneSize - 1, "%s", letters);
  if (n < 2 && std::sscanf(str, ":%f", &hours) != 1) hours = 0.0f;
  tz_off = static_cast<int>(3600.0 * hours);
  return 0;
}

// The display zone text; the offset (seconds) and sign go to the pointers that are given.
const char* DATE_get_TZ(int* offset, int* sign) {
  if (offset) *offset = tz_off;
  if (sign) *sign = tz_pm;
  return tz_str;
}
