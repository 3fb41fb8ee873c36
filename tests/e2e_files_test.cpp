// The real binary choosing its input among dated files by the naming convention: the
// current file, the latest existing one, a name typed at the prompt, no file at all; and
// a converted-data path full of shell metacharacters taken as a plain name.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_scratch.h"
#include "run_parse.h"

namespace {

const std::string kConvention = std::string(ZUD_TEST_DATA) + "/e2e/name_conv";

// A copy of the sample whose date line names the hour `label` ("09Z 15 MAR 24"), so the
// printed "Date:" tells which file was read.
void put_dated(const std::string& path, const std::string& label) {
  std::string text = e2e::slurp(std::string(ZUD_SAMPLE_DATA) + "/sample.upa");
  size_t line2 = text.find('\n') + 1;
  text.replace(line2, text.find('\n', line2) - line2, label);
  e2e::spit(path, text);
}

// A run in `cwd` with the test convention (file_path on the sample directory for its
// station database), converted files under `con_path`, station OAX, the tables of out1.
e2e::Run pick_file(const std::string& cwd, const std::string& con_path, const char* curtime,
                std::vector<std::string> args, const std::string& input) {
  e2e::Options opt = e2e::clean_options();
  opt.cwd = cwd;
  if (curtime) opt.env.push_back(std::string("zudcurtime=") + curtime);
  opt.input = input;
  std::vector<std::string> all = {"-nc", kConvention, "-fp", ZUD_SAMPLE_DATA, "-cp", con_path,
                                  "-id", "OAX", "-me", "out1"};
  all.insert(all.end(), args.begin(), args.end());
  return e2e::run(all, opt);
}

// Files exist for 12 h on the 14th and 9 h and 12 h on the 15th of March 2024; the
// template is hourly, so the file interval is 3600 s.
TEST(FileSelection, DatedFilesByConvention) {
  const std::string dir = e2e::scratch("files_dated");
  e2e::scratch("files_dated/conv");
  put_dated(dir + "conv/2024031412_upa.cvt", "12Z 14 MAR 24");
  put_dated(dir + "conv/2024031509_upa.cvt", "09Z 15 MAR 24");
  put_dated(dir + "conv/2024031512_upa.cvt", "12Z 15 MAR 24");

  struct Case {
    const char* curtime;  // zudcurtime, the clock the selection works from
    std::vector<std::string> args;
    std::string input;    // answers at the prompt
    int status;
    std::string out, err;  // texts the output and the error output must hold
  };
  const Case cases[] = {
      // -cu without a value: the file of the current hour.
      {"2024031512", {"-cu"}, "", 0,
       "Current filename: conv/2024031512_upa.cvt\nDate: 12Z 15 MAR 24\n", ""},
      // -cu -3: three hours back, 12 h - 3 h = 9 h.
      {"2024031512", {"-cu", "-3"}, "", 0, "Date: 09Z 15 MAR 24\n", ""},
      // "la": 11 h and 10 h do not exist, one interval back at a time reaches 9 h.
      {"2024031511", {"-cu", "la"}, "", 0,
       "Current filename: conv/2024031509_upa.cvt\nDate: 09Z 15 MAR 24\n", ""},
      // Batch mode without -cu takes the latest file as well.
      {"2024031511", {"-ba"}, "", 0, "Date: 09Z 15 MAR 24\n", ""},
      // "la#1" searches a single interval: 11 h is missing, and that ends the run.
      {"2024031511", {"-cu", "la#1"}, "", 10, "", "File not found: conv/2024031511_upa.cvt\n"},
      // The current file does not exist: status 10 at once, no prompt.
      {"2024031511", {"-cu"}, "", 10, "", "File not found: conv/2024031511_upa.cvt\n"},
      // Nothing within 500 intervals: the last name tried is 499 h back,
      // 14 Mar 11 h - 20 d 19 h = 22 Feb 16 h (February 2024 has 29 days).
      {"2024031411", {"-cu", "la"}, "", 10, "", "File not found: conv/2024022216_upa.cvt\n"},
      // A date as the positional name resolves through the template.
      {nullptr, {"2024031412"}, "", 0, "Date: 12Z 14 MAR 24\n", ""},
      // A date typed at the prompt, after the listing of the files the template fits.
      {nullptr, {}, "2024031412\n", 0,
       "conv/2024031412_upa.cvt  conv/2024031509_upa.cvt  conv/2024031512_upa.cvt\n", ""},
      {nullptr, {}, "2024031412\n", 0, "Date: 12Z 14 MAR 24\n", ""},
      // A miss is reported and asked again.
      {nullptr, {}, "nope\n2024031509\n", 0, "Date: 09Z 15 MAR 24\n",
       "File not found: conv/nope\n"},
      // "la" typed at the prompt searches back from zudcurtime.
      {"2024031511", {}, "la\n", 0, "Current filename: conv/2024031509_upa.cvt\n", ""},
      // "cu" typed with an offset: the text after "cu" is the time request.
      {"2024031512", {}, "cu-3\n", 0, "Date: 09Z 15 MAR 24\n", ""},
      // Four misses use up the tries: status 10 after the last one.
      {nullptr, {}, "a\nb\nc\nd\ne\n", 10, "", "File not found: conv/d\n"},
      // "exit" ends the run with status 0 before any file is read.
      {nullptr, {}, "exit\n", 0, "Enter the upper air filename: ", ""},
  };
  for (const auto& c : cases) {
    e2e::Run r = pick_file(dir, "conv", c.curtime, c.args, c.input);
    const std::string what = (c.args.empty() ? "prompt " + c.input : c.args.back());
    EXPECT_EQ(r.status, c.status) << what << "\n" << r.err;
    EXPECT_TRUE(e2e::has(r.out, c.out)) << what << "\n" << r.out;
    EXPECT_TRUE(e2e::has(r.err, c.err)) << what << "\n" << r.err;
    EXPECT_EQ(e2e::has(r.out, "Station: OAX"), c.status == 0 && c.input != "exit\n") << what;
  }
  // Four tries, not five: the fifth answer is never read.
  e2e::Run r = pick_file(dir, "conv", nullptr, {}, "a\nb\nc\nd\ne\n");
  EXPECT_FALSE(e2e::has(r.err, "File not found: conv/e\n"));
}

// A converted-data path made of shell syntax is a directory name like any other: its
// files are listed, found and read, and no command in it runs.
TEST(FileSelection, ShellMetacharactersInConPathRunNothing) {
  const std::string dir = e2e::scratch("files_meta");
  const std::string pwned = dir + "pwned";
  const char* paths[] = {"x;touch pwned", "$(touch pwned)", "`touch pwned`", "x&&touch pwned"};
  struct Mode {
    const char* what;
    std::vector<std::string> args;
    std::string input;
  };
  const Mode modes[] = {
      {"listing and prompt", {}, "2024031512\n"},  // the listing walks the directory
      {"current", {"-cu"}, ""},                    // a name generated for a date
      {"positional", {"2024031512"}, ""},          // a name resolved through the template
  };
  for (const char* path : paths) {
    e2e::scratch(std::string("files_meta/") + path);
    put_dated(dir + path + "/2024031512_upa.cvt", "12Z 15 MAR 24");
    for (const auto& m : modes) {
      e2e::Run r = pick_file(dir, path, "2024031512", m.args, m.input);
      EXPECT_EQ(r.status, 0) << path << " " << m.what << "\n" << r.err;
      EXPECT_TRUE(e2e::has(r.out, "Date: 12Z 15 MAR 24\n")) << path << " " << m.what;
      EXPECT_NE(access(pwned.c_str(), F_OK), 0) << path << " " << m.what;
    }
    e2e::Run listed = pick_file(dir, path, nullptr, {}, "exit\n");
    EXPECT_TRUE(e2e::has(listed.out, std::string(path) + "/2024031512_upa.cvt")) << path;
  }
}

}  // namespace
