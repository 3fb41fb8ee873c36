// mess.cpp — messages: the level mask, the one print call all output goes through, log
// files, screen paging and the program banner.
//
// A message carries a level mask; it is printed only when that mask shares a bit with the
// process-wide level. Diagnostics (any error or warn bit) go to standard error, the rest
// to standard output. The "-me" option text sets the level, routes a copy of every message
// to a log file (optionally time-stamped, optionally reopened for every message so that
// other processes may read it at any time) and switches paging on or off.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "zud.h"

namespace {

constexpr M_type kStartLevel = 0x000FFFFF;  // print, error, warn, mess, out1, out2

// Level and routing; MESS_reset brings them back to these starting values.
M_type mess_level = kStartLevel; // enabled bits
int mess_set = 0;                // count of explicit level settings (user or program)
int mess_out = 1;                // routing: 1 screen, 0 file only, -1 stamped file, 2 reopened file
int page = 1;                    // 0 never pause, 1 pause on request, 2 automatic paging too
int lines = 0;                   // lines counted since the last pause
int max_lines = 22;              // page length
FILE* ofile = nullptr;           // copy file set by MESS_file
std::string ofile_name;          // its name, to close a pipe or a standard stream rightly
FILE* pfile = nullptr;           // message file set by a "-me" file item
std::string pfile_name;          // its name, to close it rightly when another replaces it
std::string filename;            // message file reopened for every message (routing 2)

constexpr int kDefaultLines = 22;            // page length when none or a bad one is given
constexpr std::size_t kMaxFileName = 159;    // longest message file name kept for routing 2
constexpr std::size_t kStampSize = 64;       // room for the current date and time text
constexpr std::size_t kFirstFormat = 255;    // message length formatted in one go
constexpr M_type kDiagnostic = MESS_ERROR | MESS_WARN;         // error and warn bits: to standard error
constexpr M_type kErrorBits = MESS_ERROR;          // error class
constexpr M_type kWarnBits = MESS_WARN;           // warn class
constexpr const char* kPagePrompt = "Press return to continue\n";

// Level keywords of the "-me" option, tested in this order; "none" gives the empty mask.
struct LevelName {
  const char* name;
  M_type mask;
};
constexpr LevelName kLevelNames[] = {
    {"none", 0x00000000}, {"print", MESS_PRINT}, {"error", MESS_ERROR}, {"warn", MESS_WARN},
    {"mess", MESS_MESS},  {"out1", MESS_OUT1},   {"out2", MESS_OUT2},   {"out3", MESS_OUT3},
    {"out4", MESS_OUT4},  {"debug", MESS_DEBUG},
};

// Sub-level letters a to d pick one bit of every class.
constexpr M_type kSubLevel[] = {MESS_SUB_A, MESS_SUB_B, MESS_SUB_C, MESS_SUB_D};

// The mask plus every bit below its highest set bit: the named class or sub-level and
// every more important one. 0 stays 0.
M_type fill_below(M_type mask) {
  if (mask == 0) return 0;
  M_type high = 0x80000000u;
  while ((mask & high) == 0) high >>= 1;
  return high | (high - 1);
}

// Closes a stream opened through FILE_open, leaving the standard streams open and
// closing a command pipe as a pipe.
void close_stream(FILE* f, const std::string& name) {
  if (!f || f == stdin || f == stdout || f == stderr) return;
  if (!name.empty() && name[0] == '|')
    pclose(f);
  else
    std::fclose(f);
}

// Opens a message file after the item prefix; a file that cannot be opened leaves none.
// The file it replaces is closed, so that repeated file items do not use up the
// process's file descriptors.
void open_pfile(const char* name, const char* access) {
  close_stream(pfile, pfile_name);
  pfile = FILE_open(name, access);
  pfile_name.assign(pfile ? name : "");
}

// The text after a prefix of `len` characters and one separator of any kind ("=" or ":"),
// or the empty text when the item ends before that.
const char* after_prefix(const char* item, std::size_t len) {
  std::size_t n = std::strlen(item);
  return item + (n > len ? len + 1 : n);
}

// Number after "line" and a separator; a missing, non-numeric or non-positive number
// gives the default page length.
int page_length(const char* text) {
  char* end = nullptr;
  long n = std::strtol(text, &end, 10);
  if (end == text || n <= 0 || n > 1000000) return kDefaultLines;
  return static_cast<int>(n);
}

// Applies one level item: optional "+" or "-", a class keyword, an optional sub-level.
void apply_level_item(const char* item) {
  char sign = (item[0] == '+' || item[0] == '-') ? item[0] : '\0';
  const char* rest = sign ? item + 1 : item;
  M_type mask = 0;
  for (const auto& ln : kLevelNames)
    if (strnicmp(rest, ln.name, static_cast<int>(std::strlen(ln.name))) == 0) mask = ln.mask;
  std::size_t n = std::strlen(item);
  if (n > 0) {
    int last = std::tolower(static_cast<unsigned char>(item[n - 1]));
    if (last >= 'a' && last <= 'd') mask &= kSubLevel[last - 'a'];
  }
  if (sign == '+')
    MESS_set(MESS_OP_ADD_QUIET, mask);
  else if (sign == '-')
    MESS_set(MESS_OP_REMOVE_QUIET, mask);
  else
    MESS_set(MESS_OP_SET_QUIET, mask);
}

// Applies one item of a "-me" value.
void apply_item(const char* item) {
  if (strnicmp(item, "@fi", 3) == 0) {
    open_pfile(after_prefix(item, 3), "a");
    mess_out = -1;
  } else if (strnicmp(item, "+fi", 3) == 0) {
    open_pfile(after_prefix(item, 3), "a");
    mess_out = 1;
  } else if (strnicmp(item, "-fi", 3) == 0) {
    open_pfile(after_prefix(item, 3), "w");
    mess_out = 1;
  } else if (strnicmp(item, "dfi", 3) == 0) {
    filename.assign(after_prefix(item, 3));
    if (filename.size() > kMaxFileName) filename.resize(kMaxFileName);
    mess_out = 2;
  } else if (strnicmp(item, "fi", 2) == 0) {
    open_pfile(after_prefix(item, 2), "a");
    mess_out = 0;
  } else if (stricmp(item, "nopage") == 0) {
    page = 0;
  } else if (stricmp(item, "page") == 0) {
    page = 2;
  } else if (strnicmp(item, "line", 4) == 0) {
    max_lines = page_length(after_prefix(item, 4));
  } else {
    apply_level_item(item);
  }
}

// Writes the whole text to a stream, embedded NUL bytes included.
void put_text(FILE* f, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), f);
}

// Counts the newline characters of a message text.
int count_lines(std::string_view text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Hands a finished message text to the copy file, the message file and (unless routing
// is file-only) the screen, and adds its `newlines` to the pager's line count. Returns 1
// when it reached the screen, 0 otherwise.
int deliver_now(M_type level, std::string_view text, int newlines) {
  if (ofile) {
    put_text(ofile, text);
    std::fflush(ofile);
  }

  // Routing 2 reopens its file for this one message and closes it again, so the log is
  // complete on disk after every line; a file that cannot be opened is skipped.
  if (mess_out == 2) {
    FILE* f = FILE_open(filename.c_str(), "a");
    if (f) {
      put_text(f, text);
      std::fflush(f);
      close_stream(f, filename);
    }
  } else if (pfile) {
    if (mess_out == -1) {
      char stamp[kStampSize] = "";
      DATE_get_current_str(stamp);
      stamp[kStampSize - 1] = '\0';
      std::fprintf(pfile, "%s -- ", stamp);
    }
    put_text(pfile, text);
    std::fflush(pfile);
  }

  if (mess_out == 0) return 0;

  // A program may buffer standard error (ua_ingest, for its hundreds of warnings): what
  // it holds goes out before anything later on standard output, in the order printed.
  if (!(level & kDiagnostic)) std::fflush(stderr);
  put_text((level & kDiagnostic) ? stderr : stdout, text);

  if (page == 2) {
    lines += newlines;
    if (lines > max_lines) MESS_hold(level, kPagePrompt);
  }
  return 1;
}

// The messages of this thread are being held for another thread to deliver (see
// MESS_capture) when this is set.
thread_local std::vector<MESS_held>* held = nullptr;

// deliver_now, or held when this thread holds its messages; the newlines of `counted`
// (the format, or the text itself) go to the pager's count.
int deliver(M_type level, std::string_view text, std::string_view counted) {
  if (held != nullptr) {
    held->push_back({level, std::string(text), page == 2 ? count_lines(counted) : 0});
    return mess_out == 0 ? 0 : 1;
  }
  return deliver_now(level, text, page == 2 ? count_lines(counted) : 0);
}

}  // namespace

// Prints a formatted message when its level is enabled, to the copy file, the message
// file and (unless routing is file-only) the screen. Returns 1 when it reached the
// screen, 0 otherwise.
int MESS_print(M_type level, const char* format, ...) {
  if ((level & mess_level) == 0 || !format) return 0;

  // Format once, so that every destination receives the same text. A table piece fits
  // the buffer on the stack; only a longer text (a JSON record) is formatted a second time.
  std::array<char, kFirstFormat + 1> first;
  va_list ap;
  va_start(ap, format);
  va_list ap2;
  va_copy(ap2, ap);
  int need = std::vsnprintf(first.data(), first.size(), format, ap);
  va_end(ap);
  if (need < 0) need = 0;
  const auto len = static_cast<std::size_t>(need);
  int shown;
  if (len <= kFirstFormat) {
    shown = deliver(level, std::string_view(first.data(), len), format);
  } else {
    std::string text(len, '\0');
    std::vsnprintf(text.data(), len + 1, format, ap2);
    shown = deliver(level, text, format);
  }
  va_end(ap2);
  return shown;
}

// Prints a finished text when its level is enabled, to the same destinations as
// MESS_print, without formatting it (the table printers build their numbers themselves);
// the pager counts the text's own newlines. Returns 1 when it reached the screen, 0
// otherwise.
int MESS_put(M_type level, std::string_view text) {
  if ((level & mess_level) == 0) return 0;
  return deliver(level, text, text);
}

// Holds the messages this thread prints from now on in *sink, in order, instead of
// delivering them (null delivers them again). Worker threads that analyse stations for
// the main thread hold their messages; the main thread hands them on with MESS_release
// in the stations' order. Returns 0.
int MESS_capture(std::vector<MESS_held>* sink) {
  held = sink;
  return 0;
}

// Delivers held messages as they would have been delivered when printed. Returns 0.
int MESS_release(const std::vector<MESS_held>& messages) {
  for (const MESS_held& m : messages) deliver_now(m.level, m.text, m.newlines);
  return 0;
}

// 1 when the level shares a bit with the enabled level mask, else 0.
int MESS_check(M_type level) { return (level & mess_level) != 0 ? 1 : 0; }

// The enabled level mask.
M_type MESS_get() { return mess_level; }

// The number of explicit level settings made so far.
int MESS_check_set() { return mess_set; }

// Changes the level mask: operations 0, 10, 20 set it to `level` and every more important
// bit; 1, 11, 21 add `level`; -1, 9, 19 remove it. Operations up to 4 count as explicit
// settings; 16 and above are defaults that yield once an explicit setting was made;
// 10 to 15 always apply without counting. Returns 0.
int MESS_set(int oper, M_type level) {
  if (oper >= 16 && mess_set > 0) return 0;
  if (oper <= 4) ++mess_set;
  switch (oper) {
    case 0:
    case 10:
    case 20:
      mess_level = fill_below(level);
      break;
    case 1:
    case 11:
    case 21:
      mess_level |= level;
      break;
    case -1:
    case 9:
    case 19:
      mess_level &= ~level;
      break;
    default:
      break;
  }
  return 0;
}

// Applies a "-me" option value: comma-separated level, file and paging items, in order.
// Counts as one explicit level setting. Returns 0.
int MESS_set_str(const char* text) {
  ++mess_set;
  int argc = 0;
  char** argv = nullptr;
  if (parse_string(text, ',', &argc, &argv) != 0) return 0;
  for (int i = 0; i < argc; ++i) apply_item(argv[i]);
  free_parsed_array(argc, argv);
  return 0;
}

// The pause prompt: when the level is enabled, the screen is in use, the run is not in
// batch mode and pausing is allowed, writes `text` and waits for one character of input.
// Returns 0.
int MESS_hold(M_type level, const char* text) {
  if (!MESS_check(level) || mess_out == 0 || FLAG_batch() || page == 0) return 0;
  FILE* out = ((level & kErrorBits) && (level & kWarnBits)) ? stderr : stdout;
  std::fflush(stderr);  // held warnings before the prompt
  if (text) std::fputs(text, out);
  std::fflush(out);
  std::getchar();
  lines = 0;
  return 0;
}

// Prints the program banner with the package version at the ordinary message level.
// Returns 0.
int MESS_print_prog(const char* text) {
  MESS_print(MESS_MESS, "      %s (Ver %s)\n\n", text ? text : "", ZUD_version());
  return 0;
}

// The page length in lines.
int MESS_get_max_lines() { return max_lines; }

// Sets the paging mode (0 none, 1 on request, 2 automatic). Returns 0.
int MESS_set_page(int val) {
  page = val;
  return 0;
}

// Sets the routing mode (1 screen, 0 file only, -1 stamped file, 2 reopened file).
// Returns 0.
int MESS_set_out(int val) {
  mess_out = val;
  return 0;
}

// Returns level and routing to their start: the default level with no explicit setting
// counted, output to the screen, paging on request with the default page length, and no
// copy or message file (an open one is closed). Returns 0.
int MESS_reset() {
  mess_level = kStartLevel;
  mess_set = 0;
  mess_out = 1;
  page = 1;
  lines = 0;
  max_lines = kDefaultLines;
  close_stream(pfile, pfile_name);
  pfile = nullptr;
  pfile_name.clear();
  filename.clear();
  return MESS_file_close();
}

// Closes a previous copy file and opens `name` in mode `access` as the copy file that
// receives every printed message. Returns 0 when it is open, -1 otherwise.
int MESS_file(const char* name, const char* access) {
  MESS_file_close();
  if (!name || !access) return -1;
  ofile = FILE_open(name, access);
  if (!ofile) return -1;
  ofile_name.assign(name);
  return 0;
}

// Closes the copy file, if any. Returns 0.
int MESS_file_close() {
  close_stream(ofile, ofile_name);
  ofile = nullptr;
  ofile_name.clear();
  return 0;
}
