// Station choice: the station listing, searching by identifier or WMO number, and the
// interactive or resource-driven selection with its exit statuses.
//
// Every test starts from a fresh program state (fresh_state.h), so selection, which is
// one-shot per run, can be made again in each. The outcomes that end the run inside
// selection ("list", "exit", no station found) run in a death-test child; their standard
// output is redirected to a file that the parent reads afterwards.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture.h"
#include "file_bytes.h"
#include "fresh_state.h"
#include "zudresrc.h"
#include "zudscript.h"
#include "zudupa.h"

namespace {

const std::string kDir = std::string(ZUD_TEST_DATA) + "/station";
const std::string kAnswers = kDir + "/answers.upa";  // ABC, AbCd, 1abc, 72, ABCDEFGHIJ
const std::string kWmo = kDir + "/wmo.upa";          // FIRST 10, WMOA 72, WMOB 72
const std::string kList16 = kDir + "/list16.upa";    // S01..S16, the fifth is LONG05
const std::string kEmpty = kDir + "/empty.upa";      // date line, no stations

// A file in the build tree private to the running test.
std::string out_file(const char* tag) {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  return std::string(ZUD_BUILD_DATA) + "/" + info->name() + "_" + tag + ".txt";
}

using capture::count_of;

// What one selection printed and chose.
struct Selection {
  int rc;          // UPA_prompt_station's result
  std::string id;  // identifier of the report it filled
  std::string out; // standard output: the file's date, listings, prompts, searches
  std::string err; // standard error: warnings
};

// Sets the "identifier" resource `ident` (none when null), opens `file` and selects.
// Typed answers come from standard input, which the caller has set.
Selection select_here(const std::string& file, const char* ident) {
  if (ident) RES_put("identifier", ident);
  Selection s{};
  testing::internal::CaptureStderr();
  s.out = capture::stdout_of([&] {
    UPA_open_file(file.c_str());
    UPA_report report;
    report.id[0] = '\0';
    s.rc = UPA_prompt_station(&report);
    s.id = report.id;
  });
  s.err = testing::internal::GetCapturedStderr();
  return s;
}

// In a death-test child, for the outcomes that end the run: output to `out`, typed
// answers from `in` (none when empty); selects as select_here and exits 1 should the
// selection return after all.
[[noreturn]] void select_and_end(const std::string& out, const std::string& file,
                                 const char* ident, const std::string& in) {
  if (!std::freopen(out.c_str(), "w", stdout)) std::_Exit(99);
  if (!in.empty() && !std::freopen(in.c_str(), "r", stdin)) std::_Exit(98);
  if (ident) RES_put("identifier", ident);
  UPA_open_file(file.c_str());
  UPA_report report;
  UPA_prompt_station(&report);
  std::fflush(stdout);
  std::exit(1);
}

class Station : public FreshState {};
class StationDeathTest : public FreshState {};

}  // namespace

// Answers and the station each selects, with the answer as it is searched for: answers
// of three characters, or not starting with a lower-case letter, are upper-cased.
TEST_F(Station, AnswerForms) {
  struct Case { const char* file; const char* answer; const char* want; const char* searched; };
  const std::string a = kAnswers, w = kWmo;
  const Case cases[] = {
      {a.c_str(), "abc", "ABC", "ABC"},     // three characters: upper-cased
      {a.c_str(), "abcd", "AbCd", "abcd"},  // four, lower-case start: kept; case-blind match
      {a.c_str(), "1abc", "1abc", "1ABC"},  // digit start: upper-cased, still matches 1abc
      {a.c_str(), "72", "72", "72"},        // identifier 72 in a layout without WMO numbers
      {w.c_str(), "72", "WMOA", "72"},      // WMO 72: the first of two such stations wins
      {w.c_str(), "00010", "FIRST", "00010"},  // leading zeros still give WMO 10
  };
  for (const auto& c : cases) {
    reset_program_state();
    const Selection got = select_here(c.file, c.answer);
    EXPECT_EQ(got.rc, 1) << c.answer << " in " << c.file;
    EXPECT_EQ(got.id, c.want) << c.answer << " in " << c.file;
    EXPECT_NE(got.out.find(std::string("Searching for ") + c.searched + "...\n"), std::string::npos)
        << got.out;
    EXPECT_EQ(count_of(got.out, "Possible stations"), 0) << "a resource value skips the listing";
  }
}

// The chosen station is then read whole: its own significant level comes back, not
// that of the station searched before it (WMOB 800 mb, 12.0 C, dew point 12.0 - 1.2).
TEST_F(Station, GetReadsWholeChosenBlock) {
  ASSERT_EQ(UPA_open_file(kWmo.c_str()), 1);
  UPA_report report;
  ASSERT_EQ(UPA_get_station("wmob", &report), 1);
  EXPECT_STREQ(report.id, "WMOB");
  EXPECT_EQ(report.wmo, 72);
  ASSERT_EQ(report.numsig, 1);
  EXPECT_FLOAT_EQ(report.sig[0].p, 800);
  EXPECT_FLOAT_EQ(report.sig[0].t, 12.0f);
  EXPECT_FLOAT_EQ(report.sig[0].td, 10.8f);
  // The station before it carries the location of its colon fields.
  ASSERT_EQ(UPA_get_station("WMOA", &report), 1);
  EXPECT_FLOAT_EQ(report.lat, 41.5f);
  EXPECT_FLOAT_EQ(report.lon, -95.25f);
  EXPECT_FLOAT_EQ(report.sig[0].p, 900);
}

// A search that fails warns on the error stream and reports 0.
TEST_F(Station, GetNotFound) {
  ASSERT_EQ(UPA_open_file(kAnswers.c_str()), 1);
  UPA_report report;
  testing::internal::CaptureStderr();
  EXPECT_EQ(UPA_get_station("QQQ", &report), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "UPA_get_station: No such station:QQQ\n");
}

// 15 identifiers a line as "%4s "; a longer identifier widens its column; the list
// ends with an empty line. Expected text written out by hand.
TEST_F(Station, ListingWrapsAfterFifteen) {
  ASSERT_EQ(UPA_open_file(kList16.c_str()), 1);
  testing::internal::CaptureStdout();
  EXPECT_EQ(UPA_list_stations(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Possible stations\n"
            " S01  S02  S03  S04 LONG05  S06  S07  S08  S09  S10  S11  S12  S13  S14  S15 \n"
            " S16 \n\n");
}

// A file without stations lists nothing but the title and the closing line ends.
TEST_F(Station, ListingEmptyFile) {
  ASSERT_EQ(UPA_open_file(kEmpty.c_str()), 1);
  testing::internal::CaptureStdout();
  UPA_list_stations();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Possible stations\n\n\n");
}

// An unopenable file is reported and leaves an empty listing and failing searches.
TEST_F(Station, OpenFailure) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(UPA_open_file((kDir + "/no_such.upa").c_str()), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "UPA_open_file: Unable to open file:" + kDir + "/no_such.upa\n");
  testing::internal::CaptureStdout();
  UPA_list_stations();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Possible stations\n\n\n");
  EXPECT_EQ(UPA_get_file_date()->year, IMISSING) << "no file, no date";
}

// Opening prints the file's date label, makes it the upper-right plot label and keeps
// it for the location block.
TEST_F(Station, OpenKeepsDate) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(UPA_open_file(kAnswers.c_str()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Date: 12Z 15 MAY 24\n");
  EXPECT_STREQ(PLT_get_label(0, 2), "12Z 15 MAY 24");
  // The decoded date: 12 UTC on 15 May, two-digit year 24 in the 2000s.
  const Date* d = UPA_get_file_date();
  EXPECT_EQ(d->year, 2024);
  EXPECT_EQ(d->month, 5);
  EXPECT_EQ(d->day, 15);
  EXPECT_EQ(d->hour, 12);
  UPA_report report;
  ASSERT_EQ(UPA_get_station("ABC", &report), 1);
  testing::internal::CaptureStdout();
  UPA_print_locate(0x1000, &report);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Date:12Z 15 MAY 24\nStation: ABC\n");
}

// A reset closes the file, forgets its date and the choice made, and prints missing
// values blank again: listing finds no stations, and selection is made anew.
TEST_F(Station, ResetStartsAgain) {
  RES_put("identifier", "abc");
  UPA_report report;
  capture::stdout_of([&] {
    UPA_open_file(kAnswers.c_str());
    UPA_prompt_station(&report);
  });
  UPA_set_miss_dash();
  EXPECT_EQ(UPA_reset(), 0);
  EXPECT_EQ(UPA_file_handle(), -1);
  EXPECT_EQ(UPA_get_miss_dash(), 0);
  EXPECT_EQ(capture::stdout_of([] { UPA_list_stations(); }), "Possible stations\n\n\n");
  const Selection again = select_here(kWmo, "WMOB");
  EXPECT_EQ(again.rc, 1);
  EXPECT_EQ(again.id, "WMOB");
}

// The identifier "list" lists the stations and ends the run with status 0.
TEST_F(StationDeathTest, ListRequest) {
  const std::string out = out_file("list");
  EXPECT_EXIT(select_and_end(out, kAnswers, "LIST", ""),
              testing::ExitedWithCode(0), "^$");
  const std::string got = slurp(out);
  EXPECT_EQ(got, "Date: 12Z 15 MAY 24\nPossible stations\n ABC AbCd 1abc   72 ABCDEFGHIJ \n\n");
}

// A resource value that matches nothing is searched once, then status 31.
TEST_F(StationDeathTest, ResourceNotFound) {
  const std::string out = out_file("res");
  EXPECT_EXIT(
      select_and_end(out, kAnswers, "QQQ", ""),
      testing::ExitedWithCode(31),
      "^UPA_get_station: No such station:QQQ\nUnable to find a station\n$");
  const std::string got = slurp(out);
  EXPECT_EQ(count_of(got, "Searching for QQQ...\n"), 1) << got;
  EXPECT_EQ(count_of(got, "Possible stations"), 0) << got;
}

// A resource value longer than an answer is cut to its ten characters, which here
// name a station.
TEST_F(Station, LongResourceValueIsCut) {
  const Selection got = select_here(kAnswers, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(got.rc, 1);
  EXPECT_EQ(got.id, "ABCDEFGHIJ");
  EXPECT_NE(got.out.find("Searching for ABCDEFGHIJ...\n"), std::string::npos);
}

// A typed answer longer than ten characters is cut to ten, which here name a station.
TEST_F(Station, LongTypedAnswerIsCut) {
  answer("ABCDEFGHIJKLMNOP\n");
  const Selection got = select_here(kAnswers, nullptr);
  EXPECT_EQ(got.rc, 1);
  EXPECT_EQ(got.id, "ABCDEFGHIJ");
  EXPECT_EQ(got.err, "");
  EXPECT_EQ(count_of(got.out, "Searching for ABCDEFGHIJ...\n"), 1);
}

// Typed answers: four searches, the fifth answer is read but not searched, status 31.
TEST_F(StationDeathTest, FourFailedAnswers) {
  const std::string out = out_file("typed");
  EXPECT_EXIT(
      select_and_end(out, kAnswers, nullptr, kDir + "/five_wrong.txt"),
      testing::ExitedWithCode(31),
      "No such station:n1\n.*No such station:n4\nUnable to find a station\n$");
  const std::string got = slurp(out);
  EXPECT_EQ(count_of(got, "Possible stations"), 1) << "no resource: the list comes first";
  EXPECT_EQ(count_of(got, "Enter station to be used in the analysis: "), 5) << got;
  EXPECT_EQ(count_of(got, "Searching for"), 4) << got;
  EXPECT_EQ(count_of(got, "Searching for n5"), 0) << got;
}

// An empty answer keeps the previous one: after "qqq" (upper-cased, not in the file) and
// three empty lines the same identifier is searched four times, never an empty one.
TEST_F(StationDeathTest, EmptyAnswerRepeatsThePrevious) {
  const std::string out = out_file("repeat");
  const std::string in = zud_test_tmpdir() + "repeat_answer.txt";
  spit(in, "qqq\n\n\n\n");
  EXPECT_EXIT(select_and_end(out, kAnswers, nullptr, in), testing::ExitedWithCode(31),
              "Unable to find a station\n$");
  const std::string got = slurp(out);
  EXPECT_EQ(count_of(got, "Searching for QQQ...\n"), 4) << got;
  EXPECT_EQ(count_of(got, "Searching for ...\n"), 0) << got;
}

// "exit" as the fifth answer is still honoured: status 0 after four failed searches.
TEST_F(StationDeathTest, ExitAnswer) {
  const std::string out = out_file("exit");
  EXPECT_EXIT(select_and_end(out, kAnswers, nullptr, kDir + "/four_wrong_exit.txt"),
              testing::ExitedWithCode(0), "No such station:n4\n$");
  EXPECT_EQ(count_of(slurp(out), "Searching for"), 4);
}

// At the end of the input every answer is empty; the searches fail and the run ends
// with status 31 instead of waiting.
TEST_F(StationDeathTest, EndOfInput) {
  const std::string out = out_file("eof");
  EXPECT_EXIT(select_and_end(out, kAnswers, nullptr, kDir + "/no_answers.txt"),
              testing::ExitedWithCode(31), "Unable to find a station\n$");
}

// Selection happens once per run: a second call returns 0 at once, and so does a call
// after the prompt switch was cleared.
TEST_F(Station, OneShot) {
  RES_put("identifier", "abc");
  int first = -1, second = -1;
  const std::string out = capture::stdout_of([&] {
    UPA_open_file(kAnswers.c_str());
    UPA_report report;
    first = UPA_prompt_station(&report);
    second = UPA_prompt_station(&report);
  });
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(count_of(out, "Searching for"), 1);
  // In a fresh run, with the switch cleared before anything is asked.
  reset_program_state();
  UPA_set_prompt(0);
  UPA_report report;
  testing::internal::CaptureStderr();
  const std::string quiet = capture::stdout_of([&] { EXPECT_EQ(UPA_prompt_station(&report), 0); });
  EXPECT_EQ(quiet, "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
