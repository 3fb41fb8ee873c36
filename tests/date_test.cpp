// Calendar conversions: leap years, seconds since 1970, days of the year, date labels,
// month names and the display time zone.

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

#include "zud.h"

namespace {

// Seconds since 1970 of a UTC date by the C library's own conversion (second formula).
long timegm_of(int year, int month, int day, int hour, int min, int sec) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = min;
  tm.tm_sec = sec;
  return static_cast<long>(timegm(&tm));
}

Date make_date(int year, int month, int day, int hour, int min, int sec) {
  return Date{year, month, day, IMISSING, IMISSING, hour, min, sec};
}

}  // namespace

TEST(DateLeap, GregorianRule) {
  struct Case { int year; int leap; };
  const Case cases[] = {
      {1900, 0},  // century not divisible by 400
      {2000, 1},  // century divisible by 400
      {2024, 1},  // ordinary fourth year
      {2023, 0},  // ordinary common year
      {2100, 0},  // next century that is not a leap year
  };
  for (const auto& c : cases) EXPECT_EQ(DATE_is_leap(c.year), c.leap) << c.year;
}

// Known values; the numbers come from the documented examples and from Python's
// calendar.timegm (an independent implementation).
TEST(DateNumSec, KnownValues) {
  struct Case { Date in; long secs; int year_after; };
  const Case cases[] = {
      {make_date(1970, 1, 1, 0, 0, 0), 0L, 1970},             // the epoch itself
      {make_date(2000, 3, 1, 0, 0, 0), 951868800L, 2000},     // leap day of 2000 counted
      {make_date(2000, 2, 29, 0, 0, 0), 951782400L, 2000},    // 86400 s before the above
      {make_date(95, 6, 15, 12, 0, 0), 803217600L, 1995},     // two-digit 95 is 1995
      {make_date(30, 1, 1, 0, 0, 0), 1893456000L, 2030},      // two-digit 30 is 2030
      {make_date(2038, 1, 19, 3, 14, 8), 2147483648L, 2038},  // 2^31: first second past int32
      {make_date(2039, 6, 1, 0, 0, 0), 2190499200L, 2039},    // the year product overflows int32
      {make_date(2099, 12, 31, 23, 59, 59), 4102444799L, 2099},
      {make_date(2100, 3, 1, 0, 0, 0), 4107542400L, 2100},    // 2100 has no February 29
  };
  for (const auto& c : cases) {
    Date d = c.in;
    EXPECT_EQ(DATE_num_sec(&d), c.secs) << c.in.year << "-" << c.in.month << "-" << c.in.day;
    EXPECT_EQ(d.year, c.year_after) << "the record is corrected in place";
  }
}

// Every day at noon from 1970 to 2300 against the C library's timegm: both formulas must
// agree, before and after 2038 and across the century years.
TEST(DateNumSec, AgreesWithTimegm) {
  const int mdays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int mismatches = 0;
  for (int year = 1970; year <= 2300; ++year) {
    for (int month = 1; month <= 12; ++month) {
      int last = (month == 2 && !DATE_is_leap(year)) ? 28 : mdays[month - 1];
      for (int day = 1; day <= last; ++day) {
        Date d = make_date(year, month, day, 12, 34, 56);
        if (DATE_num_sec(&d) != timegm_of(year, month, day, 12, 34, 56)) ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Out-of-range fields are corrected before counting.
TEST(DateNumSec, CorrectsFields) {
  Date d = make_date(-5, 13, 32, 24, 60, 61);  // every field out of range
  long secs = DATE_num_sec(&d);
  EXPECT_EQ(d.year, 1980);  // negative year becomes 1980
  EXPECT_EQ(d.month, 1);
  EXPECT_EQ(d.day, 1);
  EXPECT_EQ(d.hour, 0);
  EXPECT_EQ(d.min, 0);
  EXPECT_EQ(d.sec, 0);
  EXPECT_EQ(secs, timegm_of(1980, 1, 1, 0, 0, 0));
  Date z = make_date(2024, 3, 0, 0, 0, 0);  // day 0 is kept: the last day of February
  EXPECT_EQ(DATE_num_sec(&z), timegm_of(2024, 2, 29, 0, 0, 0));
  EXPECT_EQ(z.day, 0);
}

TEST(DateJulian, ToMonthDay) {
  struct Case { int year, julian, month, day; };
  const Case cases[] = {
      {2024, 60, 2, 29},   // leap year: day 60 is February 29
      {2023, 60, 3, 1},    // common year: day 60 is March 1
      {2023, 400, 12, 31}, // beyond the year: clamped to its last day
      {2024, 366, 12, 31}, // the last day of a leap year
      {2023, 0, 1, 1},     // below 1: clamped to January 1
      {2023, 32, 2, 1},    // first day after January's 31
  };
  for (const auto& c : cases) {
    int month = -1, day = -1;
    EXPECT_EQ(DATE_julian_monday(c.year, c.julian, &month, &day), 0);
    EXPECT_EQ(month, c.month) << c.year << " " << c.julian;
    EXPECT_EQ(day, c.day) << c.year << " " << c.julian;
  }
}

TEST(DateJulian, FromMonthDay) {
  struct Case { int year, month, day, julian; };
  const Case cases[] = {
      {2024, 3, 1, 61},    // 31 + 29 + 1 by hand
      {2023, 3, 1, 60},    // 31 + 28 + 1
      {2023, 0, 5, 5},     // month 0 counts as January
      {2023, 13, 1, 335},  // month above 12 takes December's offset: 334 + 1
  };
  for (const auto& c : cases) {
    int julian = -1;
    EXPECT_EQ(DATE_monday_julian(c.year, c.month, c.day, &julian), 0);
    EXPECT_EQ(julian, c.julian) << c.year << "-" << c.month << "-" << c.day;
  }
}

// Label forms; expected fields read off each label by hand.
TEST(DateLabel, Forms) {
  const int U = IMISSING;
  struct Case { const char* label; int year, month, day, hour, min, sec; };
  const Case cases[] = {
      {"12Z 15 JUN 95", 1995, 6, 15, 12, U, U},                    // first form, from the start
      {"UPPER AIR 1230Z 15 JUN 95", 1995, 6, 15, 12, 30, U},      // hour and minute at the end
      {"UPPER AIR 930Z 15 JUN 95", 1995, 6, 15, 9, 30, U},        // blank first: 09:30, not 93
      {"DATA 12:30:45Z 15 JUN 95", 1995, 6, 15, 12, 30, 45},      // seconds form
      {"OBS AT 12Z 15 JUN 95", 1995, 6, 15, 12, U, U},            // hour form at the end
      {"00Z 01 JAN 49", 2049, 1, 1, 0, U, U},                     // 49 is 2049
      {"00Z 01 JAN 50", 1950, 1, 1, 0, U, U},                     // 50 is 1950
      {"95061512", 1995, 6, 15, 12, U, U},                        // numeric form yy mm dd hh
      {"24 03 15 06", 2024, 3, 15, 6, U, U},                      // numeric form with blanks
      {"95 13 15 12", U, 0, U, U, U, U},                          // numeric, month 13: no form
      {"no date here", U, 0, U, U, U, U},                         // fits nothing: month 0
      {"12Z 15 XYZ", U, 0, U, U, U, U},                           // half a form leaves nothing
      {"", U, 0, U, U, U, U},                                     // empty label
  };
  for (const auto& c : cases) {
    Date d = make_date(1, 1, 1, 1, 1, 1);
    EXPECT_EQ(DATE_decode_label(c.label, &d), 0);
    EXPECT_EQ(d.year, c.year) << c.label;
    EXPECT_EQ(d.month, c.month) << c.label;
    EXPECT_EQ(d.day, c.day) << c.label;
    EXPECT_EQ(d.hour, c.hour) << c.label;
    EXPECT_EQ(d.min, c.min) << c.label;
    EXPECT_EQ(d.sec, c.sec) << c.label;
    EXPECT_EQ(d.jday, U) << c.label;
    EXPECT_EQ(d.wday, U) << c.label;
  }
}

TEST(DateMonth, Names) {
  struct Case { const char* name; int month; };
  const Case cases[] = {
      {"JAN", 1}, {"jan", 1},  // January decides on the first two letters
      {"Feb", 2}, {"sep", 9}, {"Oct", 10}, {"nov", 11}, {"DEC", 12},  // first letter alone
      {"MAR", 3}, {"may", 5}, {"APR", 4}, {"aug", 8}, {"JUN", 6}, {"jul", 7},
      {"Jun", 0},  // mixed case in a month decided on the third letter
      {"xyz", 0}, {"", 0}, {"J", 0},  // unknown, empty, too short
  };
  for (const auto& c : cases) EXPECT_EQ(DATE_decode_month(c.name), c.month) << c.name;
  EXPECT_EQ(DATE_decode_month(nullptr), 0);
  EXPECT_STREQ(DATE_month_lower(1), "jan");
  EXPECT_STREQ(DATE_month_lower(12), "dec");
  EXPECT_STREQ(DATE_month_lower(0), "");
  EXPECT_STREQ(DATE_month_lower(13), "");
}

// 2000-03-01 00:00 UTC: a Wednesday (weekday 3), day 61 of the year (31 + 29 + 1).
TEST(DateGmdate, Fields) {
  time_t secs = 951868800;
  Date d;
  EXPECT_EQ(DATE_get_gmdate(&secs, &d), 0);
  EXPECT_EQ(d.year, 2000);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.day, 1);
  EXPECT_EQ(d.jday, 61);
  EXPECT_EQ(d.wday, 3);
  EXPECT_EQ(d.hour, 0);
  EXPECT_EQ(d.min, 0);
  EXPECT_EQ(d.sec, 0);
  time_t now = 0;
  long t = DATE_get_time(&now);
  EXPECT_EQ(t, static_cast<long>(now));
  EXPECT_LE(std::labs(t - static_cast<long>(std::time(nullptr))), 2L);
}

// The current-time text has the fixed 20-character layout and the current month name.
TEST(DateCurrent, Text) {
  char str[32];
  std::memset(str, 'x', sizeof str);
  EXPECT_EQ(DATE_get_current_str(str), 0);
  ASSERT_EQ(std::strlen(str), 20u) << str;
  int yy, dd, hh, mm, ss;
  char mon[4];
  ASSERT_EQ(std::sscanf(str, "%2d %3s %2d  %2d:%2d:%2dZ", &yy, mon, &dd, &hh, &mm, &ss), 6) << str;
  Date now;
  DATE_get_gmdate(nullptr, &now);
  EXPECT_EQ(yy, now.year % 100);
  EXPECT_EQ(DATE_decode_month(mon), now.month) << str;
  EXPECT_EQ(str[19], 'Z');
}

TEST(DatePrint, Layout) {
  Date d = make_date(2024, 3, 15, 12, 5, 9);
  testing::internal::CaptureStdout();
  DATE_print(0x8, &d);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "2024/3/15 12:05:09\n");
}

TEST(DateZone, Settings) {
  struct Case { const char* text; const char* zone; int offset; int sign; };
  const Case cases[] = {
      {"-CST:-6", " CST", -21600, -1},  // documented example: 3600 x -6
      {"+EET:2", " EET", 7200, 1},      // plus sign
      {"IST:5.5", " IST", 19800, 0},    // fractional hours: 3600 x 5.5
      {"EST", " EST", 0, 0},            // no colon: letters only, no offset
      {"ABCDEFG:3", " ABCD", 0, 0},     // letters bounded to four; the rest is not an offset
  };
  for (const auto& c : cases) {
    DATE_set_TZ(c.text);
    int offset = 99, sign = 99;
    EXPECT_STREQ(DATE_get_TZ(&offset, &sign), c.zone) << c.text;
    EXPECT_EQ(offset, c.offset) << c.text;
    EXPECT_EQ(sign, c.sign) << c.text;
  }
  DATE_set_TZ("Z:0");
}
