// zuddate.h — the calendar record and date conversions (module date).

#ifndef ZUDDATE_H
#define ZUDDATE_H

#include <cstdint>
#include <ctime>

// One calendar date and time, UTC; -9999 in a field means unset.
struct Date {
  int year;   // four-digit year
  int month;  // 1-12
  int day;    // 1-31
  int jday;   // day of the year, 1-366
  int wday;   // day of the week, 0 = Sunday
  int hour;   // 0-23
  int min;    // 0-59
  int sec;    // 0-59
};

int DATE_init(Date* date);
int DATE_print(std::uint32_t level, Date* date);
const char* DATE_month_lower(int month);
int DATE_is_leap(int year);
long DATE_get_time(time_t* secs);
int DATE_get_gmdate(time_t* secs, Date* date);
int DATE_get_current_str(char* str);
long DATE_num_sec(Date* date);
int DATE_julian_monday(int year, int julian, int* month, int* day);
int DATE_monday_julian(int year, int month, int day, int* julian);
int DATE_decode_label(const char* str, Date* date);
int DATE_decode_month(const char* str);
int DATE_set_TZ(const char* str);
// The display time zone: returns the zone text (sign position and letters) and stores
// the offset in seconds and the sign (-1, 0, +1) where pointers are given.
const char* DATE_get_TZ(int* offset, int* sign);

#endif  // ZUDDATE_H
