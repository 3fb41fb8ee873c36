// File-name conventions: choosing a template from the convention file, keys, and
// resolving typed names against the template into full names and file dates. Every test
// starts from a fresh program state (fresh_state.h).

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fresh_state.h"
#include "zud.h"
#include "zudresrc.h"

namespace {

const std::string kFilesData = std::string(ZUD_TEST_DATA) + "/files";

// Clean convention state: no requested time, con_path /data, the test convention file.
void reset_conventions() {
  Date none;
  DATE_init(&none);
  none.sec = 0;
  FILE_set_time(&none);
  RES_put("con_path", "/data");
  RES_put("file_path", kFilesData.c_str());
  RES_put("name_conv", "name_conv");
}

struct Resolved {
  std::string name;
  Date date;
};

Resolved resolve(const char* typed) {
  char out[160];
  std::memset(out, 'x', sizeof out);
  FILE_set_file(typed, out);
  Resolved r{out, {}};
  FILE_get_date(&r.date);
  return r;
}

// Checks the date fields a typed name gave; `what` names the case.
void expect_date(const Date& d, int year, int month, int day, int hour, int min,
                 const char* what) {
  EXPECT_EQ(d.year, year) << what;
  EXPECT_EQ(d.month, month) << what;
  EXPECT_EQ(d.day, day) << what;
  EXPECT_EQ(d.hour, hour) << what;
  EXPECT_EQ(d.min, min) << what;
}

class FileConvName : public FreshState {};
class FileConvResolve : public FreshState {};
class FileConvResolveDeathTest : public FreshState {};
class FileConvExtra : public FreshState {};

}  // namespace

// Choosing the convention of a type from the convention file fixture.
TEST_F(FileConvName, ConventionFile) {
  reset_conventions();
  struct Case { const char* type; int rc; const char* conv; const char* ext; int min_size; };
  const Case cases[] = {
      {"upa_cvt", 1, "%C/%Y%m%d%h_upa.cvt", "", 0},     // exact entry, first line
      {"UPA_CVT", 1, "%C/%Y%m%d%h_upa.cvt", "", 0},     // type names compare in any case
      {"upa_xyz", 1, "%C/%y%m%d%h.upa", "xyz", 10},     // prefix of entry upa: ext after "_"
      {"sao_cvt", 1, "%C/%Y%m%d%h_sao.cvt", "", 100},   // minimum size from the fourth field
      {"after_long", 1, "%Y%m%d.txt", "", 0},           // entries after an over-long line
      {"tail_type", 0, "tail_type", "", 0},             // the tail of an over-long line is no entry
      {"longtype", 0, "longtype", "", 0},               // the over-long line itself is skipped
      {"nosuch", 0, "nosuch", "", 0},                   // no entry: the type is the template
      {"none", 0, "", "", 0},                           // no convention at all
      {"@%C/%Y%m%d%h.dat", 1, "%C/%Y%m%d%h.dat", "", 0},  // template given directly
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FILE_set_name(c.type), c.rc) << c.type;
    EXPECT_STREQ(FILE_get_conv(), c.conv) << c.type;
    EXPECT_STREQ(FILE_get_ext(), c.ext) << c.type;
    EXPECT_EQ(FILE_get_min_size(), c.min_size) << c.type;
  }
}

// A file whose only entry is "upa": the type upa_cvt matches it by prefix, ext "cvt".
TEST_F(FileConvName, PrefixMatch) {
  reset_conventions();
  RES_put("name_conv", "prefix_conv");
  EXPECT_EQ(FILE_set_name("upa_cvt"), 1);
  EXPECT_STREQ(FILE_get_conv(), "%C/%Y%m%d%h.%e");
  EXPECT_STREQ(FILE_get_ext(), "cvt");
  Resolved r = resolve("2024031512");
  EXPECT_EQ(r.name, "/data/2024031512.cvt");  // %e gives the type's extension
  RES_put("name_conv", "name_conv");
}

// A missing convention file is a warning; the type itself becomes the template.
TEST_F(FileConvName, MissingFile) {
  reset_conventions();
  RES_put("name_conv", "no_such_conv_file");
  testing::internal::CaptureStderr();
  EXPECT_EQ(FILE_set_name("upa_cvt"), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("FILE_set_name: No file name convention file: " + kFilesData +
                     "/no_such_conv_file\n"),
            std::string::npos)
      << err;
  EXPECT_STREQ(FILE_get_conv(), "upa_cvt");
  RES_put("name_conv", "name_conv");
}

// Keys set inside the type; the type ends at the first key setting.
TEST_F(FileConvName, KeysInType) {
  reset_conventions();
  EXPECT_EQ(FILE_set_name("upa_cvt:i=ABCD:r=two words"), 1);
  EXPECT_STREQ(FILE_get_conv(), "%C/%Y%m%d%h_upa.cvt");
  ASSERT_EQ(FILE_set_name("@%i-%r-%3i"), 1);
  Date d{2024, 3, 15, IMISSING, IMISSING, 12, 0, 0};
  char out[160];
  EXPECT_EQ(FILE_set_date(&d, out), 0);
  EXPECT_STREQ(out, "ABCD-two_words-ABC");  // blanks become "_"; a count takes that many
  FILE_set_key('i', nullptr);
  FILE_set_key('r', nullptr);
}

// Templates and key strings beyond their buffers are refused or bounded.
TEST_F(FileConvName, OverLong) {
  reset_conventions();
  std::string tmpl = "@" + std::string(159, 'a');  // exactly the longest template
  EXPECT_EQ(FILE_set_name(tmpl.c_str()), 1);
  EXPECT_EQ(std::strlen(FILE_get_conv()), 159u);
  std::string too_long = "@" + std::string(160, 'a');
  testing::internal::CaptureStderr();
  EXPECT_EQ(FILE_set_name(too_long.c_str()), 0);  // refused, not cut
  testing::internal::GetCapturedStderr();
  EXPECT_STREQ(FILE_get_conv(), "");
  std::string long_key(40, 'k');
  EXPECT_EQ(FILE_set_name("@%k"), 1);
  FILE_set_key('k', long_key.c_str());
  Date d{2024, 3, 15, IMISSING, IMISSING, 12, 0, 0};
  char out[160];
  FILE_set_date(&d, out);
  EXPECT_EQ(std::string(out), std::string(29, 'k'));  // keys hold 29 characters
  FILE_set_key('k', nullptr);
}

// The documented example and its neighbours, template %C/%Y%m%d%h_upa.cvt, con_path /data.
TEST_F(FileConvResolve, UpperAirTemplate) {
  reset_conventions();
  ASSERT_EQ(FILE_set_name("upa_cvt"), 1);
  const int U = IMISSING;
  // late: the expected file interval, 0 where the name does not go through the template
  struct Case { const char* typed; const char* out; int year, month, day, hour; int late; };
  const Case cases[] = {
      // the name used up, the template's ordinary characters complete it
      {"2024031512", "/data/2024031512_upa.cvt", 2024, 3, 15, 12, 3600},
      // a full path: the directory is taken from the name
      {"/x/y/2024031512_upa.cvt", "/x/y/2024031512_upa.cvt", 2024, 3, 15, 12, 3600},
      // a name that stops fitting: the rest copied unchanged after the first disagreement
      {"2024031512junk", "/data/2024031512junk", 2024, 3, 15, 12, 3600},
      // digits run out in the year: the rest of the name is copied
      {"abc", "/data/abc", U, U, U, U, U},
      // "none" and stream names stand as they are
      {"none", "none", U, U, U, U, 0},
      {"-", "-", U, U, U, U, 0},
      {"@/any/thing", "/any/thing", U, U, U, U, 0},
  };
  for (const auto& c : cases) {
    Resolved r = resolve(c.typed);
    EXPECT_EQ(r.name, c.out) << c.typed;
    expect_date(r.date, c.year, c.month, c.day, c.hour, U, c.typed);
    if (c.late != 0) {
      EXPECT_EQ(FILE_get_late_off(), c.late) << c.typed;
    }
  }
}

// A "#" date suffix sets the requested time and is cut off before matching.
TEST_F(FileConvResolve, DateSuffix) {
  reset_conventions();
  ASSERT_EQ(FILE_set_name("upa_cvt"), 1);
  const int U = IMISSING;
  struct Case { const char* typed; const char* out; int year, month, day, hour, min; };
  const Case cases[] = {
      {"abc#2024031512", "/data/abc", 2024, 3, 15, 12, U},  // minute not given: unset
      {"abc#202403", "/data/abc", 2024, 3, U, U, U},        // year and month only
      {"abc#2024031", "/data/abc", 2024, 3, U, U, U},       // a lone digit is no field
      {"abc#20x4", "/data/abc", U, U, U, U, U},             // not a year: nothing requested
      {"abc#", "/data/abc", U, U, U, U, U},                 // nothing after the "#"
  };
  for (const auto& c : cases) {
    reset_conventions();
    Resolved r = resolve(c.typed);
    EXPECT_EQ(r.name, c.out) << c.typed;
    // the requested time is the file date
    expect_date(r.date, c.year, c.month, c.day, c.hour, c.min, c.typed);
  }
  reset_conventions();
}

// The date codes read from typed names, each template given directly.
TEST_F(FileConvResolve, DateCodes) {
  reset_conventions();
  const int U = IMISSING;
  struct Case { const char* tmpl; const char* typed; const char* out;
                int year, month, day, hour, min, late; };
  const Case cases[] = {
      {"@%y%m%d%h.x", "49010100", "49010100.x", 2049, 1, 1, 0, U, 3600},  // 49: 20xx
      {"@%y%m%d%h.x", "50010100", "50010100.x", 1950, 1, 1, 0, U, 3600},  // 50: 19xx
      // hour count 3 and no requested hour: 3 x 3600 (smaller than the day's 86400)
      {"@%C/%Y%m%d%3h.cvt", "2024031512", "/data/2024031512.cvt", 2024, 3, 15, 12, U, 10800},
      // day of the year 060 of 2024 is February 29 (31 + 29)
      {"@%Y%j%h", "202406012", "202406012", 2024, 2, 29, 12, U, 3600},
      // month names
      {"@%d%b%y", "15jun95", "15jun95", 1995, 6, 15, U, U, 86400},
      // minutes: the minute code's 60 s is the shortest interval
      {"@%Y%m%d%h%n", "202403151230", "202403151230", 2024, 3, 15, 12, 30, 60},
      // a brace group is copied as it is and not matched against the name
      {"@{/base/}%Y.dat", "2024", "/base/2024.dat", 2024, U, U, U, U, U},
      // "*" takes the rest of the name
      {"@%Y_*", "2024_any_thing", "2024_any_thing", 2024, U, U, U, U, U},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(FILE_set_name(c.tmpl), 1) << c.tmpl;
    Resolved r = resolve(c.typed);
    EXPECT_EQ(r.name, c.out) << c.tmpl;
    expect_date(r.date, c.year, c.month, c.day, c.hour, c.min, c.tmpl);
    EXPECT_EQ(FILE_get_late_off(), c.late) << c.tmpl;
  }
}

// A negative requested hour fixes the interval: -6 means six-hourly files.
TEST_F(FileConvResolve, RequestedIntervalHour) {
  reset_conventions();
  Date req;
  DATE_init(&req);
  req.hour = -6;
  FILE_set_time(&req);
  ASSERT_EQ(FILE_set_name("upa_cvt"), 1);
  resolve("2024031512");
  EXPECT_EQ(FILE_get_late_off(), 6 * 3600);  // -(-6) x 3600
  reset_conventions();
}

// Keys, extensions and directories while matching.
TEST_F(FileConvResolve, KeysExtDirs) {
  reset_conventions();
  ASSERT_EQ(FILE_set_name("@%C/%r_%Y.%e"), 1);
  FILE_set_key('r', "XY");
  EXPECT_EQ(resolve("XY_2024.grb").name, "/data/XY_2024.grb");  // key skips its length
  EXPECT_STREQ(FILE_get_ext(), "grb");  // taken from the name at the end of the template
  FILE_set_key('r', nullptr);
  ASSERT_EQ(FILE_set_name("@%C/%r_%Y"), 1);
  EXPECT_EQ(resolve("ZZ_2024").name, "/data/ZZ_2024");  // empty key: rest copied as it is

  RES_put("con_path", "/data/");  // a path that already ends with "/"
  ASSERT_EQ(FILE_set_name("upa_cvt"), 1);
  EXPECT_EQ(resolve("2024031512").name, "/data/2024031512_upa.cvt");  // no "//"
  RES_put("con_path", "");  // not set: the current directory
  EXPECT_EQ(resolve("2024031512").name, "./2024031512_upa.cvt");
  reset_conventions();
}

// With no template names are used as given; over-long names are cut, not overrun.
TEST_F(FileConvResolve, NoTemplateAndLongNames) {
  reset_conventions();
  FILE_set_name("none");
  EXPECT_EQ(resolve("some/file.dat").name, "some/file.dat");
  std::string long_name(300, 'n');
  testing::internal::CaptureStderr();
  Resolved r = resolve(long_name.c_str());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(r.name, std::string(159, 'n'));
  EXPECT_NE(err.find("File name too long"), std::string::npos);
  ASSERT_EQ(FILE_set_name("upa_cvt"), 1);
  testing::internal::CaptureStderr();
  r = resolve(long_name.c_str());  // matched against the template, then cut
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(r.name.size(), 159u);
  EXPECT_EQ(r.name.substr(0, 7), "/data/n");
}

// "exit" typed as a name ends the run with status 0.
TEST_F(FileConvResolveDeathTest, ExitEndsProgram) {
  reset_conventions();
  FILE_set_name("upa_cvt");
  char out[160];
  EXPECT_EXIT(FILE_set_file("EXIT", out), testing::ExitedWithCode(0), "");
}

// A reset forgets the template, keys, extension, extra information, requested time,
// file date and interval: what follows behaves as in a new run.
TEST_F(FileConvName, ResetForgetsConvention) {
  reset_conventions();
  const int U = IMISSING;
  ASSERT_EQ(FILE_set_name("@%Y%m%d"), 1);  // daily names: interval 86400 s
  Date day{2024, 3, 15, U, U, U, U, 0};
  char out[160];
  ASSERT_EQ(FILE_set_date(&day, out), 0);
  ASSERT_EQ(FILE_set_name("upa_xyz:i=ABCD"), 1);  // extension "xyz", minimum size 10, a key
  char name[] = "abc#2024031512";
  FILE_extract_extra_info(name);
  Date req{2020, U, U, U, U, 6, U, 0};  // year 2020 and hour 6 requested
  FILE_set_time(&req);
  // What the reset has to undo.
  EXPECT_STREQ(FILE_get_ext(), "xyz");
  EXPECT_EQ(FILE_get_min_size(), 10);
  EXPECT_STREQ(FILE_get_extra_info(), "#2024031512");
  EXPECT_EQ(FILE_get_late_off(), 86400);
  Date d;
  FILE_get_date(&d);
  expect_date(d, 2024, 3, 15, U, U, "before reset");

  EXPECT_EQ(FILE_reset(), 0);
  EXPECT_STREQ(FILE_get_conv(), "");
  EXPECT_STREQ(FILE_get_ext(), "");
  EXPECT_STREQ(FILE_get_extra_info(), "");
  EXPECT_EQ(FILE_get_min_size(), 0);
  EXPECT_EQ(FILE_get_late_off(), 3600);  // the interval before any template sets one
  FILE_get_date(&d);
  expect_date(d, U, U, U, U, U, "after reset");
  // Neither the key nor the requested year and hour reach a generated name: with them
  // it would read "ABCD202006"; after the reset the key is unset.
  ASSERT_EQ(FILE_set_name("@%i%Y%h"), 1);
  Date at{2024, 3, 15, U, U, 12, 0, 0};
  EXPECT_EQ(FILE_set_date(&at, out), 0);
  EXPECT_STREQ(out, "0202412");  // an unset key writes "0", as in FileSelectDate.Generate
}

TEST_F(FileConvExtra, Cut) {
  struct Case { const char* in; const char* name; const char* info; };
  const Case cases[] = {
      {"ab#12", "ab", "#12"},            // the third character already starts it
      {"name:extra", "name", ":extra"},  // first marker from the third character on
      {"a-b", "a-b", ""},                // a marker before the third character is ignored
      {"st+1-2", "st", "+1-2"},          // the first marker found wins
  };
  for (const auto& c : cases) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s", c.in);
    char before[40];
    std::snprintf(before, sizeof before, "%s", FILE_get_extra_info());
    EXPECT_EQ(FILE_extract_extra_info(buf), 0);
    EXPECT_STREQ(buf, c.name) << c.in;
    if (c.info[0]) {
      EXPECT_STREQ(FILE_get_extra_info(), c.info) << c.in;
    } else {
      EXPECT_STREQ(FILE_get_extra_info(), before) << c.in;  // nothing cut: unchanged
    }
  }
}
