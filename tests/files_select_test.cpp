// Dated file selection: names generated for dates, time specifications (current, latest,
// for a date) against a small directory of dated files, the listing, and the choice of
// the input file from positional names, the "current" resource, batch mode or a prompt.
//
// The current time is fixed through the environment variable "zudcurtime". Expected
// seconds come from Python's calendar.timegm of the stated UTC time. Every test starts
// from a fresh program state (fresh_state.h); a choice that ends the run ("list",
// "exit", no file found) runs in a death-test child.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "capture.h"
#include "file_bytes.h"
#include "fresh_state.h"
#include "tmpdir.h"
#include "zud.h"
#include "zudresrc.h"

namespace {

const std::string kUpaDir = std::string(ZUD_TEST_DATA) + "/files/upa";

void no_request() {
  Date none;
  DATE_init(&none);
  none.sec = 0;
  FILE_set_time(&none);
}

// Hourly converted files in the fixture directory; nothing requested.
void use_fixture_files() {
  no_request();
  RES_put("con_path", kUpaDir.c_str());
  ASSERT_EQ(FILE_set_name("@%C/%Y%m%d%h_upa.cvt"), 1);
}

std::string fixture(const char* base) { return kUpaDir + "/" + base; }

// Runs a time specification with "zudcurtime" set to `now`; returns the chosen name.
std::string current(const char* now, const char* when, long* secs) {
  setenv("zudcurtime", now, 1);
  char out[160] = "";
  *secs = FILE_set_current(when, out);
  unsetenv("zudcurtime");
  return out;
}

Date at(int year, int month, int day, int hour, int min) {
  return Date{year, month, day, IMISSING, IMISSING, hour, min, 0};
}

// A fresh program state, and no fixed current time left behind.
class FileSelect : public FreshState {
 protected:
  void TearDown() override {
    unsetenv("zudcurtime");
    FreshState::TearDown();
  }
};
class FileSelectDate : public FileSelect {};
class FileSelectCurrent : public FileSelect {};
class FileSelectList : public FileSelect {};
class FileSelectGet : public FileSelect {};
class FileSelectGetDeathTest : public FileSelect {};

}  // namespace

// Names generated for dates; each template given directly, con_path /data.
TEST_F(FileSelectDate, Generate) {
  RES_put("con_path", "/data");
  RES_put("sel_dir", "/r");
  const int U = IMISSING;
  struct Case { const char* tmpl; Date date; Date req; const char* out; int late; };
  const Date none = at(U, U, U, U, U);
  const Case cases[] = {
      // hourly files at 13:40: hour 13, interval 3600
      {"@%C/%Y%m%d%h_upa.cvt", at(2024, 3, 15, 13, 40), none, "/data/2024031513_upa.cvt", 3600},
      // six-hourly: 13 rounds down to 12, interval 21600
      {"@%Y%m%d%6h", at(2024, 3, 15, 13, 40), none, "2024031512", 21600},
      {"@%Y%m%d%12h", at(2024, 3, 15, 13, 40), none, "2024031512", 43200},  // 12-hourly
      {"@%y%m%d%h", at(1999, 12, 31, 23, 0), none, "99123123", 3600},  // two-digit year
      {"@a b%qc", at(2024, 3, 15, 13, 0), none, "a_b0c", U},  // blank "_", unset key "0"
      {"@%d%b%y", at(2024, 6, 5, 0, 0), none, "05jun24", 86400},  // month name, lower case
      {"@%Y%j", at(2024, 3, 1, 0, 0), none, "2024061", 86400},    // day 61: 31 + 29 + 1
      {"@%h%n", at(2024, 3, 1, 7, 5), none, "0705", 60},          // minutes: interval 60
      {"@%%%Y", at(2024, 3, 1, 0, 0), none, "%2024", U},           // a percent sign
      {"@{base}%Y", at(2024, 3, 1, 0, 0), none, "base2024", U},    // braces alone vanish
      {"@%{sel_dir}/%Y", at(2024, 3, 1, 0, 0), none, "/r/2024", U},  // named resource
      {"@%{sel_unset}/%Y", at(2024, 3, 1, 0, 0), none, "/2024", U},  // unset: nothing
      {"@%Y", at(-5, 3, 1, 0, 0), none, "0000", U},                // negative year
      // requested hour 6 replaces the date's 13
      {"@%Y%m%d%h", at(2024, 3, 15, 13, 40), at(U, U, U, 6, U), "2024031506", 3600},
      // requested hour -106: hour 20 rounded down to 6 is 18, plus 1; interval 6 h
      {"@%Y%m%d%h", at(2024, 3, 15, 20, 0), at(U, U, U, -106, U), "2024031519", 21600},
      // requested day -5: day 13 rounded down to 10; interval 5 days = 432000 s
      {"@%Y%m%d", at(2024, 3, 13, 0, 0), at(U, U, -5, U, U), "20240310", 432000},
      // requested year and month stand in for the date's
      {"@%Y%m", at(2024, 3, 13, 0, 0), at(2020, 7, U, U, U), "202007", U},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(FILE_set_name(c.tmpl), 1) << c.tmpl;
    Date req = c.req;
    FILE_set_time(&req);
    Date d = c.date;
    char out[160] = "";
    EXPECT_EQ(FILE_set_date(&d, out), 0) << c.tmpl;
    EXPECT_STREQ(out, c.out) << c.tmpl;
    EXPECT_EQ(FILE_get_late_off(), c.late) << c.tmpl;
  }
  no_request();
}

// The file date follows the generated name: a two-digit year keeps its century.
TEST_F(FileSelectDate, FileDate) {
  no_request();
  ASSERT_EQ(FILE_set_name("@%y%m%d%6h"), 1);
  Date d = at(1999, 12, 31, 13, 40);
  char out[160];
  FILE_set_date(&d, out);
  Date got;
  FILE_get_date(&got);
  EXPECT_EQ(got.year, 1999);
  EXPECT_EQ(got.month, 12);
  EXPECT_EQ(got.day, 31);
  EXPECT_EQ(got.hour, 12);      // rounded to the six-hour step
  EXPECT_EQ(got.min, IMISSING); // no minute code
}

// Without a template the current name is passed through, or the word filename.
TEST_F(FileSelectDate, PassThrough) {
  no_request();
  FILE_set_name("none");
  Date d = at(2024, 3, 15, 12, 0);
  char out[160];
  EXPECT_EQ(FILE_set_date(&d, out), 1);
  EXPECT_STREQ(out, "filename");
  FILE_set_file("given.dat", out);
  EXPECT_EQ(FILE_set_date(&d, out), 1);
  EXPECT_STREQ(out, "given.dat");
  ASSERT_EQ(FILE_set_name("@-"), 1);  // a stream template
  EXPECT_EQ(FILE_set_date(&d, out), 1);
  EXPECT_STREQ(out, "-");
  ASSERT_EQ(FILE_set_name("@%Y%m%d%h.x"), 1);  // no date year and a current name
  EXPECT_EQ(FILE_set_date(&d, out), 0);          // generating makes it the current name
  Date nodate = at(IMISSING, IMISSING, IMISSING, IMISSING, IMISSING);
  EXPECT_EQ(FILE_set_date(&nodate, out), 1);
  EXPECT_STREQ(out, "2024031512.x");
}

// Time specifications against the fixture directory: 00, 12, 18 (empty) on 15 March 2024
// and 00 on 16 March.
TEST_F(FileSelectCurrent, Specifications) {
  use_fixture_files();
  struct Case { const char* now; const char* when; const char* base; long secs; };
  const Case cases[] = {
      // current hour, rounded down to the hour: 12:00 = 1710504000
      {"202403151240", "", "2024031512_upa.cvt", 1710504000L},
      {"#202403151240", "", "2024031512_upa.cvt", 1710504000L},  // "#" first is skipped
      {"2024031518", "-6", "2024031512_upa.cvt", 1710504000L},   // six hours back
      {"2024031518", "#2024031500", "2024031500_upa.cvt", 1710460800L},  // a given date
      {"202403151210", "-0:30", "2024031511_upa.cvt", 1710500400L},      // minutes back
      {"2024031400", "+1d6", "2024031506_upa.cvt", 1710482400L},         // days forward
      // latest: 20, 19 missing, 18 empty, 17-13 missing, 12 found
      {"2024031520", "la", "2024031512_upa.cvt", 1710504000L},
      // forward search: 13 to 23 missing, then 00 of the 16th
      {"2024031513", "+la", "2024031600_upa.cvt", 1710547200L},
      // a limit of 3 tries: 20, 19, 18; the last name tried stays
      {"2024031520", "la#3", "2024031518_upa.cvt", 1710525600L},
      // after 2038: 2040-01-01 00:00
      {"2024031520", "#2040010100", "2040010100_upa.cvt", 2208988800L},
  };
  for (const auto& c : cases) {
    long secs = 0;
    std::string name = current(c.now, c.when, &secs);
    EXPECT_EQ(name, fixture(c.base)) << c.now << " " << c.when;
    EXPECT_EQ(secs, c.secs) << c.now << " " << c.when;
  }
}

// With no file at all, the search goes back 500 intervals and keeps the last name tried:
// 1990-01-01 00:00 less 499 hours is 1989-12-11 05:00 (629355600).
TEST_F(FileSelectCurrent, LatestGivesUp) {
  use_fixture_files();
  long secs = 0;
  std::string name = current("1990010100", "la", &secs);
  EXPECT_EQ(name, fixture("1989121105_upa.cvt"));
  EXPECT_EQ(secs, 629355600L);
  EXPECT_EQ(FILE_exist(name.c_str()), 0);
}

// Requested fields move the time to their latest occurrence before it.
TEST_F(FileSelectCurrent, RequestedFields) {
  use_fixture_files();
  struct Case { Date req; const char* now; const char* base; long secs; };
  const int U = IMISSING;
  const Case cases[] = {
      // hour 12 requested at 10:00 on the 16th: the day before, 12:00
      {at(U, U, U, 12, U), "2024031610", "2024031512_upa.cvt", 1710504000L},
      // day 15 requested on the 16th: taken directly, 10:00 kept
      {at(U, U, 15, U, U), "2024031610", "2024031510_upa.cvt", 1710496800L},
      // day 20 requested on the 16th: the month before, 2024-02-20 10:00
      {at(U, U, 20, U, U), "2024031610", "2024022010_upa.cvt", 1708423200L},
  };
  for (const auto& c : cases) {
    Date req = c.req;
    FILE_set_time(&req);
    long secs = 0;
    std::string name = current(c.now, "", &secs);
    EXPECT_EQ(name, fixture(c.base)) << c.now;
    EXPECT_EQ(secs, c.secs) << c.now;
  }
  no_request();
}

// A "zudcurtime" that holds no date is ignored: the clock gives the time.
TEST_F(FileSelectCurrent, GarbageCurtime) {
  use_fixture_files();
  long before = DATE_get_time(nullptr);
  long secs = 0;
  current("garbage", "", &secs);
  long after = DATE_get_time(nullptr);
  EXPECT_GE(secs, before / 3600 * 3600);
  EXPECT_LE(secs, after);
}

// The listing of the fixture directory, three 20-character names to an 80-column line.
TEST_F(FileSelectList, Columns) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(kUpaDir.c_str()), 0);
  RES_put("con_path", ".");
  ASSERT_EQ(FILE_set_name("@%C/%Y%m%d%h_upa.cvt"), 1);
  testing::internal::CaptureStdout();
  FILE_list_file();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(chdir(cwd), 0);
  EXPECT_EQ(out,
            "./2024031500_upa.cvt  ./2024031512_upa.cvt  ./2024031518_upa.cvt\n"
            "./2024031600_upa.cvt\n");
}

// Resource text never reaches a shell: path resources with shell syntax list nothing
// and run nothing.
TEST_F(FileSelectList, NoShell) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  std::string dir = zud_test_tmpdir() + "zudlistXXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  const char* paths[] = {"x;touch pwned", "$(touch pwned)", "`touch pwned`", "x|touch pwned"};
  for (const char* p : paths) {
    RES_put("con_path", p);
    ASSERT_EQ(FILE_set_name("@%C/%Y%m%d%h_upa.cvt"), 1);
    testing::internal::CaptureStdout();
    FILE_list_file();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << p;
  }
  struct stat st;
  EXPECT_NE(stat("pwned", &st), 0);  // no command ran
  EXPECT_EQ(chdir(cwd), 0);
  RES_put("con_path", "/data");
}

// A positional name is resolved and checked, without prompting.
TEST_F(FileSelectGet, Positional) {
  use_fixture_files();
  RES_put("filename", "2024031512");
  char out[160] = "";
  EXPECT_EQ(FILE_get_file("Enter: ", out), 1);
  EXPECT_EQ(std::string(out), fixture("2024031512_upa.cvt"));
  RES_put("filename", "2024031513");  // no such file: 0, no prompt, no exit
  EXPECT_EQ(FILE_get_file("Enter: ", out), 0);
  EXPECT_EQ(std::string(out), fixture("2024031513_upa.cvt"));
  RES_put("filename", "");
}

// "list" as the positional name lists the files and ends the run with status 0.
TEST_F(FileSelectGetDeathTest, PositionalList) {
  use_fixture_files();
  EXPECT_EXIT(
      {
        RES_put("filename", "LIST");
        FILE_get_file("Enter: ", nullptr);
      },
      testing::ExitedWithCode(0), "");
}

// The "current" resource: found, or status 10 with the name not found.
TEST_F(FileSelectGet, CurrentResource) {
  use_fixture_files();
  RES_put("current", "-6");
  setenv("zudcurtime", "2024031518", 1);
  char out[160] = "";
  EXPECT_EQ(FILE_get_file("Enter: ", out), 1);
  EXPECT_EQ(std::string(out), fixture("2024031512_upa.cvt"));
}

TEST_F(FileSelectGetDeathTest, CurrentResourceNotFound) {
  use_fixture_files();
  EXPECT_EXIT(
      {
        RES_put("current", "-5");
        setenv("zudcurtime", "2024031518", 1);
        FILE_get_file("Enter: ", nullptr);
      },
      testing::ExitedWithCode(10), "File not found: .*2024031513_upa.cvt");
}

// Batch mode takes the latest file.
TEST_F(FileSelectGet, Batch) {
  use_fixture_files();
  FLAG_set_batch(1);
  setenv("zudcurtime", "2024031520", 1);
  char out[160] = "";
  EXPECT_EQ(FILE_get_file("Enter: ", out), 1);
  EXPECT_EQ(std::string(out), fixture("2024031512_upa.cvt"));
}

// Interactive answers from standard input that choose a file.
TEST_F(FileSelectGet, Prompt) {
  const char* const answers[] = {
      "nosuch\nlist\n2024031512\n",  // third try (a listing counts) finds the file
      "la\n",                        // a time specification at the prompt
  };
  for (const char* a : answers) {
    reset_program_state();
    use_fixture_files();
    answer(a);
    setenv("zudcurtime", "2024031520", 1);
    char out[160] = "";
    int rc = 0;
    testing::internal::CaptureStderr();
    capture::stdout_of([&] { rc = FILE_get_file("Enter the upper air filename: ", out); });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, 1) << a;
    EXPECT_EQ(std::string(out), fixture("2024031512_upa.cvt")) << a;
  }
}

// Interactive answers that end the run.
TEST_F(FileSelectGetDeathTest, Prompt) {
  use_fixture_files();
  struct Case { const char* answers; int status; const char* err; };
  const Case cases[] = {
      {"a\nb\nc\nd\n2024031512\n", 10, "File not found: .*d"},  // four tries, then status 10
      {"", 10, "File not found"},             // end of input names no file
      {"exit\n", 0, ""},  // "exit" ends with status 0 (else no file: status 10)
  };
  for (const auto& c : cases) {
    const std::string name = zud_test_tmpdir() + "select_answers.txt";
    spit(name, c.answers);
    auto run = [&]() {
      if (!std::freopen(name.c_str(), "r", stdin)) std::exit(3);
      setenv("zudcurtime", "2024031520", 1);
      char out[160] = "";
      FILE_get_file("Enter the upper air filename: ", out);
      std::exit(1);  // reached only if the choice returned
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(c.status), c.err) << c.answers;
  }
}

// Typed time specifications go to the time choice whole: "la#2" keeps its search limit
// (two tries, 20 and 19) instead of being cut at "#" as a date suffix; "cu" drops its
// two letters.
TEST_F(FileSelectCurrent, TypedSpecifications) {
  use_fixture_files();
  struct Case { const char* typed; const char* base; };
  const Case cases[] = {
      {"la#2", "2024031519_upa.cvt"},  // limit of two: 20, then 19 (last tried)
      {"cu-8", "2024031512_upa.cvt"},  // eight hours before 20:00
      {"#2024031500", "2024031500_upa.cvt"},
  };
  for (const auto& c : cases) {
    setenv("zudcurtime", "2024031520", 1);
    char out[160] = "";
    testing::internal::CaptureStdout();
    FILE_set_file(c.typed, out);
    std::string printed = testing::internal::GetCapturedStdout();
    unsetenv("zudcurtime");
    EXPECT_EQ(std::string(out), fixture(c.base)) << c.typed;
    EXPECT_EQ(printed, "Current filename: " + fixture(c.base) + "\n") << c.typed;
  }
  Date got;
  FILE_get_date(&got);
  EXPECT_EQ(got.year, 2024);  // the date of the last name chosen: 2024-03-15 00 h
  EXPECT_EQ(got.month, 3);
  EXPECT_EQ(got.day, 15);
  EXPECT_EQ(got.hour, 0);
  no_request();
}
