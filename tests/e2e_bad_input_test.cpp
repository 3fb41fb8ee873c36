// e2e_bad_input_test.cpp — the sounding print program on malformed input files.
//
// Each case runs the real program in batch mode on one damaged or hostile input and
// checks how the run ends: its exit status, and the messages that name the cause. A
// file that cannot be opened or recognised is reported by the open and ends with no
// station found (31); a recognised file without the wanted station ends the same way
// after the search; a damaged block of the wanted station is still analysed (0); the
// identifier "list" lists and ends with 0. No case may crash or hang: every run has a
// time limit, and a run past it is killed and fails the case.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_scratch.h"
#include "file_bytes.h"
#include "run_parse.h"
#include "tmpdir.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotFound = 31;
constexpr double kTimeLimit = 30.0;  // seconds one run may take, 100 MB inputs included
constexpr double kPipeLimit = 5.0;   // seconds a run on a named pipe may take
constexpr std::size_t kHugeLine = 100u * 1024u * 1024u;  // bytes of the 100 MB line

const char* const kOpenFailed = "UPA_open_file: Unable to open file:";
const char* const kNoStation = "Unable to find a station\n";
const char* const kNoSuchZZZ = "UPA_get_station: No such station:ZZZ\n";
const char* const kListing = "Possible stations\n";

// One whole, valid kind 4 station block (the first station of the sample file).
const std::string kBlockOAX =
    "OAX 00007 X X 92694 22856 18033 85424 16434 20049 70054 07662 23548\n"
    "50572 12163 24570 40739 23963 25083 30943 39161 25101 25065 48359 25612\n"
    "20209 55999 25616 15392 57399 26093 10645 61599 26559 07865 63399 27038\n"
    "05073 60799 27028 03394 55199 27519 02655 51799 28014 01112 44399 X\n"
    "88208 56158 25618 77206 25618\n"
    "962 26058 944 24457 912 21656 878 18842 846 16032 823 14250 806 15462\n"
    "781 14065 742 11264 688 06661 634 01660 586 03160 541 07762 478 14563\n"
    "433 19964 387 25763 342 32162 296 39961 262 46159 231 51958 208 56158\n"
    "186 55399 163 56799 128 58399 112 60599 86 62999 64 63599 43 58999\n"
    "27 54199 16 49999 9 43199 X\n"
    "00 17018 02 17530 03 18542 04 19548 05 20050 06 20548 07 21545\n"
    "08 22544 09 23045 10 23548 12 24052 14 24058 16 24562 18 24568\n"
    "20 24574 25 25085 30 25098 35 25612 39 25618 42 25610 45 26096\n"
    "50 26075 55 26555 60 27040 70 27025 80 27518 90 28012 $\n";
const std::string kHead4 = "ZUDUPA+\n00Z 04 APR 97\n";

using RunResult = e2e::Run;
using ::spit;

// Directory of one case's files; a fresh directory per case.
std::string case_dir(const std::string& name) { return e2e::scratch("bad_" + name); }

// Runs the program with `args` in `dir` (which holds no defaults or convention files),
// empty standard input, a bare environment and the time limit.
RunResult run_program(const std::string& dir, const std::vector<std::string>& args,
                      double limit = kTimeLimit) {
  e2e::Options opt;
  opt.cwd = dir;
  opt.bare_env = true;
  const char* asan = std::getenv("ASAN_OPTIONS");
  opt.env = {"PATH=/usr/bin:/bin", "HOME=" + dir,
             std::string("ASAN_OPTIONS=") + (asan ? asan : "detect_leaks=0")};
  opt.timeout_s = limit;
  return e2e::run(args, opt);
}

bool have_program() { return ::access(ZUD_PARSE_BIN, X_OK) == 0; }

#define REQUIRE_PROGRAM()                                                       \
  do {                                                                          \
    if (!have_program()) GTEST_SKIP() << "no program at " << ZUD_PARSE_BIN;     \
  } while (0)

// Texts a run's output must hold, and texts it must not.
struct Expect {
  int status;
  std::vector<std::string> err_has;
  std::vector<std::string> out_has;
  std::vector<std::string> err_lacks;
};

void check_run(const RunResult& r, const Expect& e, const std::string& what) {
  ASSERT_FALSE(r.timed_out) << what << ": still running at the time limit";
  ASSERT_EQ(r.signal, 0) << what << ": ended by signal " << r.signal << "\n" << r.err;
  EXPECT_EQ(r.status, e.status) << what << "\nstderr:\n" << r.err.substr(0, 2000);
  for (const auto& s : e.err_has)
    EXPECT_NE(r.err.find(s), std::string::npos) << what << ": stderr lacks \"" << s << "\"\n"
                                                << r.err.substr(0, 2000);
  for (const auto& s : e.out_has)
    EXPECT_NE(r.out.find(s), std::string::npos) << what << ": stdout lacks \"" << s << "\"";
  for (const auto& s : e.err_lacks)
    EXPECT_EQ(r.err.find(s), std::string::npos) << what << ": stderr has \"" << s << "\"";
}

// A kind 4 block for station `id` with `sig` significant pairs and `wnd` wind pairs.
std::string block4(const std::string& id, int sig, int wnd) {
  std::string b = id + " 00007 X X 92694 22856 18033 85424 16434 20049 70054 07662 23548\n"
                       "50572 12163 24570 40739 23963 25083 30943 39161 25101 25065 48359 25612\n"
                       "20209 55999 25616 15392 57399 26093 10645 61599 26559 07865 63399 27038\n"
                       "05073 60799 27028 03394 55199 27519 02655 51799 28014 01112 44399 X\n"
                       "88208 56158 25618 77206 25618\n";
  for (int i = 0; i < sig; ++i) {
    // Pressures fall from 962 mb by 4 mb a level, below 1 mb held at 1.
    int p = 962 - 4 * i;
    b += std::to_string(p > 1 ? p : 1) + " 20050" + ((i % 7 == 6) ? "\n" : " ");
  }
  b += "X\n";
  for (int i = 0; i < wnd; ++i) {
    if (i < 10) b += '0';
    b += std::to_string(i % 100) + " 27020" + ((i % 7 == 6) ? "\n" : " ");
  }
  b += "$\n";
  return b;
}

// ---- files that cannot be opened or recognised ---------------------------------------

// The program is asked for station OAX in each; the open fails and no station is found.
TEST(MalformedInput, UnopenableOrUnrecognised) {
  REQUIRE_PROGRAM();
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> make;  // creates the input at path
    const char* why;
  };
  std::string binary;
  for (int i = 0; i < 512; ++i) binary.push_back(static_cast<char>(255 - i % 256));
  const Case cases[] = {
      {"missing", [](const std::string&) {}, "a name that does not exist"},
      {"empty", [](const std::string& p) { spit(p, ""); }, "no first word at all"},
      {"garbage", [](const std::string& p) { spit(p, "hello world\nthis is\nnot data\n"); },
       "text whose first word fits no layout"},
      {"binary", [&](const std::string& p) { spit(p, binary); },
       "binary bytes from 0xff down"},
      {"nul_bytes", [](const std::string& p) { spit(p, std::string(4096, '\0')); },
       "NUL bytes only: blanks to the reader, no word"},
      {"markup", [](const std::string& p) { spit(p, "<upa>\n<station id=\"OAX\"/>\n</upa>\n"); },
       "the mark-up layout is never detected"},
      {"cdf_lookalike", [](const std::string& p) { spit(p, "CDF\x01 not really netCDF\n"); },
       "begins like netCDF but the library cannot open it"},
      {"directory", [](const std::string& p) { ::mkdir(p.c_str(), 0700); },
       "a directory opens as a stream on some systems but holds no data"},
      {"dangling_symlink",
       [](const std::string& p) { (void)::symlink((p + ".gone").c_str(), p.c_str()); },
       "a link to nothing: unreadable even for root"},
  };
  for (const Case& c : cases) {
    std::string dir = case_dir(c.name);
    std::string path = dir + "input.upa";
    c.make(path);
    RunResult r = run_program(dir, {"-ba", "-id", "OAX", path});
    check_run(r, {kExitNotFound, {std::string(kOpenFailed) + path + "\n", kNoStation}, {}, {}},
              std::string(c.name) + " (" + c.why + ")");
  }
}

// Runs the program on a named pipe made in `dir` whose one writer sends `text` once and
// closes. The writer waits without blocking for the program to open the pipe, so that
// neither side can hang the test.
RunResult run_on_pipe(const std::string& dir, const std::string& text) {
  std::string path = dir + "input.upa";
  if (::mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo " << path;
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    while (!stop) {
      int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        ::fcntl(fd, F_SETFL, 0);  // blocking writes from here
        (void)!::write(fd, text.data(), text.size());
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  RunResult r = run_program(dir, {"-ba", "-id", "OAX", path}, kPipeLimit);
  stop = true;
  writer.join();
  return r;
}

// Text that fits no layout through a named pipe: detection reads it, the open is
// refused, and nothing waits for a second writer.
TEST(MalformedInput, NamedPipeGarbage) {
  REQUIRE_PROGRAM();
  std::string dir = case_dir("fifo_garbage");
  RunResult r = run_on_pipe(dir, "garbage that is no upper-air file\n");
  check_run(r, {kExitNotFound, {std::string(kOpenFailed) + dir + "input.upa\n", kNoStation}, {}, {}},
            "named pipe with garbage");
}

// A valid file sent once through a named pipe. A pipe cannot be read twice or
// repositioned; the run must end all the same (station found or not), never wait for a
// writer that is gone.
TEST(MalformedInput, NamedPipeValidOnce) {
  REQUIRE_PROGRAM();
  RunResult r = run_on_pipe(case_dir("fifo_valid"), kHead4 + kBlockOAX);
  ASSERT_FALSE(r.timed_out) << "waits for a second writer of a named pipe";
  ASSERT_EQ(r.signal, 0) << r.err;
  EXPECT_TRUE(r.status == kExitOk || r.status == kExitNotFound) << r.status << "\n" << r.err;
}

// ---- recognised files without the wanted station --------------------------------------

// Station ZZZ is asked for: the file opens, the search runs through whatever it holds
// and finds nothing.
TEST(MalformedInput, RecognisedWithoutStation) {
  REQUIRE_PROGRAM();
  std::string huge_token(1 << 20, 'Q');  // 1 MB station token: cut to the identifier size
  std::string long_groups;
  for (int i = 0; i < 30; ++i) long_groups += std::string(40, '7') + " ";
  struct Case {
    const char* name;
    std::string bytes;
    const char* why;
  };
  const Case cases[] = {
      {"header_only", "ZUDUPA+\n", "no date line, no blocks"},
      {"header_no_newline", "ZUDUPA+", "the header line never ends"},
      {"header_and_date", kHead4, "a date line and no blocks"},
      {"truncated_block", kHead4 + kBlockOAX.substr(0, 300), "the only block cut in its winds"},
      {"truncated_two", kHead4 + kBlockOAX + kBlockOAX.substr(0, 40),
       "a whole block, then one cut in its first line"},
      {"huge_token", kHead4 + huge_token + " 00007 X X\n$\n", "a 1 MB station token"},
      {"long_groups", kHead4 + "ABC " + long_groups + "\n$\n", "40-digit groups everywhere"},
      {"kind3_short", "ZUDUPA\n00Z 16 JUN 95\nK3A 00110 26056 18010\n40740 19160\n",
       "a kind 3 block of 2 of its 12 lines"},
      {"kind1_count_99",
       "12Z 15 JUN 95\nK1A 00110 26056 18010 85512 20012 21020 70985 12062 24030 50570 11152 "
       "25045\n99 998 26456 850 20012\n18510 19015\n",
       "a significant-level count of 99 in a 14-slot layout, file ends early"},
      {"headerless_no_count", "00Z 04 APR 97\nOAX 1 2\nfoo bar\n",
       "a headerless file whose third line holds no number"},
      {"dollar_only", kHead4 + "$\n$\n$\n", "blocks that are only their end marks"},
  };
  for (const Case& c : cases) {
    std::string dir = case_dir(c.name);
    std::string path = dir + "input.upa";
    spit(path, c.bytes);
    RunResult r = run_program(dir, {"-ba", "-id", "ZZZ", path});
    std::vector<std::string> err_has = {kNoStation};
    std::vector<std::string> err_lacks;
    if (std::string(c.name) != "headerless_no_count") {
      // Recognised by its first word: the open succeeds and the search itself fails.
      err_has.push_back(kNoSuchZZZ);
      err_lacks.push_back(kOpenFailed);
    }
    check_run(r, {kExitNotFound, err_has, {}, err_lacks}, std::string(c.name) + " (" + c.why + ")");
  }
}

// A line of 100 MB, made at test time: the station token of the only block. The reader
// keeps a bounded piece of it and must get through it in bounded memory and time.
TEST(MalformedInput, HundredMegabyteLine) {
  REQUIRE_PROGRAM();
  std::string dir = case_dir("huge_line");
  std::string path = dir + "input.upa";
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << kHead4;
    std::string chunk(1 << 20, 'W');
    for (std::size_t n = 0; n < kHugeLine; n += chunk.size()) f << chunk;
    f << "\n";
    f << kBlockOAX;
  }
  RunResult r = run_program(dir, {"-ba", "-id", "ZZZ", path});
  ::unlink(path.c_str());
  check_run(r, {kExitNotFound, {kNoSuchZZZ, kNoStation}, {}, {kOpenFailed}}, "100 MB line");
}

// ---- the wanted station, damaged ---------------------------------------------------------

// Station OAX is present but its block is damaged: it is still read and analysed.
TEST(MalformedInput, DamagedStationAnalysed) {
  REQUIRE_PROGRAM();
  std::string crlf;
  for (char ch : kHead4 + kBlockOAX) {
    if (ch == '\n') crlf += '\r';
    crlf += ch;
  }
  std::string all_x = "OAX";
  for (int i = 0; i < 16 * 3 + 3 + 2; ++i) all_x += " X";
  all_x += "\nX\n$\n";
  std::string with_nul = kBlockOAX;
  with_nul[80] = '\0';  // inside a group of the second line
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> args;
    const char* why;
  };
  const std::vector<std::string> oax = {"-ba", "-id", "OAX"};
  const Case cases[] = {
      {"control", kHead4 + kBlockOAX, oax, "the undamaged block, to show the harness works"},
      {"missing_dollar", kHead4 + kBlockOAX.substr(0, kBlockOAX.size() - 3) + "\n", oax,
       "the end mark is lost: the block runs to the end of the file"},
      {"crlf", crlf, oax, "CR-LF line ends"},
      {"sig_500", kHead4 + block4("OAX", 500, 10), oax,
       "500 significant levels, 300 more than a report holds"},
      {"wnd_300", kHead4 + block4("OAX", 10, 300), oax,
       "300 wind levels, 200 more than a report holds"},
      {"all_missing", kHead4 + all_x, oax, "every group missing: no level at all"},
      {"nul_inside", kHead4 + with_nul, oax, "a NUL byte inside a group"},
      {"kind5_wild_numbers",
       "ZUDUPAx\n00Z 04 APR 97\n99999999999999:OAX:1e999:-nan " + kBlockOAX.substr(4),
       {"-ba", "-id", "OAX"}, "a WMO number beyond int and a latitude beyond float"},
      {"second_of_two", kHead4 + block4("ABC", 3, 3).substr(0, 120) + "\n$\n" + kBlockOAX, oax,
       "a damaged block before the wanted one does not shift it"},
  };
  for (const Case& c : cases) {
    std::string dir = case_dir(c.name);
    std::string path = dir + "input.upa";
    spit(path, c.bytes);
    std::vector<std::string> args = c.args;
    args.push_back(path);
    RunResult r = run_program(dir, args);
    check_run(r, {kExitOk, {}, {}, {kNoStation, kOpenFailed}},
              std::string(c.name) + " (" + c.why + ")");
  }
}

// ---- identifiers ------------------------------------------------------------------------

// The identifier decides how the run ends, whatever the file holds.
TEST(MalformedInput, Identifiers) {
  REQUIRE_PROGRAM();
  struct Case {
    const char* name;
    std::string bytes;
    std::string id;
    Expect expect;
    const char* why;
  };
  const std::string long_id(5000, 'L');
  const Case cases[] = {
      {"list_garbage", "hello world\n", "list", {kExitOk, {kOpenFailed}, {kListing}, {}},
       "list on an unrecognised file: an empty listing, status 0"},
      {"list_truncated", kHead4 + kBlockOAX.substr(0, 200), "list",
       {kExitOk, {}, {kListing, "OAX"}, {}}, "list on a cut file shows the station it has"},
      {"exit_answer", kHead4 + kBlockOAX, "exit", {kExitOk, {}, {}, {kNoStation}},
       "the answer exit ends the run with status 0"},
      {"long_identifier", kHead4 + kBlockOAX, long_id,
       {kExitNotFound, {"UPA_get_station: No such station:", kNoStation}, {}, {}},
       "a 5000-character identifier is searched for and not found"},
      {"empty_identifier", kHead4 + kBlockOAX, "",
       {kExitNotFound, {kNoStation}, {}, {}}, "an empty identifier matches no station"},
  };
  for (const Case& c : cases) {
    std::string dir = case_dir(c.name);
    std::string path = dir + "input.upa";
    spit(path, c.bytes);
    RunResult r = run_program(dir, {"-ba", "-id", c.id, path});
    check_run(r, c.expect, std::string(c.name) + " (" + c.why + ")");
  }
}

// A file cut short while the program searches it: the search of the last of many stations
// meets the end of the file wherever it now is. Found or not, the run ends by itself.
TEST(MalformedInput, FileShrinksWhileRead) {
  REQUIRE_PROGRAM();
  std::string dir = case_dir("shrinks");
  std::string path = dir + "input.upa";
  constexpr int kStations = 20000;
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << kHead4;
    for (int i = 0; i < kStations; ++i) {
      char id[8];
      std::snprintf(id, sizeof id, "S%05d", i);
      f << id << kBlockOAX.substr(3);
    }
  }
  std::atomic<bool> done{false};
  std::thread cutter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) (void)!::truncate(path.c_str(), 5000);
  });
  char last[8];
  std::snprintf(last, sizeof last, "S%05d", kStations - 1);
  RunResult r = run_program(dir, {"-ba", "-id", last, path});
  done = true;
  cutter.join();
  ::unlink(path.c_str());
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.signal, 0) << r.err;
  EXPECT_TRUE(r.status == kExitOk || r.status == kExitNotFound) << r.status << "\n" << r.err;
}

}  // namespace
