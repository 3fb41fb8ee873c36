// def_read.cpp — the defaults files: reading their entries and conditional blocks, and
// deciding which resources of the running program a pattern selects.
//
// A defaults file holds lines "pattern value". A pattern is the full name of a resource
// (program or title, ".", resource name), any part of which may be a "*", so one file can
// set a resource for every program, for one program, or for one named use of a program.
// Blocks opened with IF on a tag let one file serve several set-ups; tags come from
// DEF lines and from the "+" elements of the defaults path. Block state and tags carry
// from one file to the next, because the files of the path are read as one stream.

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "zudresrc.h"

namespace {

constexpr int kMaxName = 29;                 // longest program name or title kept
constexpr int kMaxTags = 10;                 // defined tags at one time
constexpr int kMaxBlocks = 10;               // conditional blocks open at one time
constexpr int kMaxLine = 249;                // longest line; the rest is the next line
constexpr int kMaxResrc = DEF_RESRC_LEN - 1;  // longest pattern delivered
constexpr int kMaxValue = DEF_VALUE_LEN - 1;  // longest value delivered

// States of an open conditional block.
constexpr int kNotTaken = 0;   // no branch taken yet, this one is not active
constexpr int kActive = 1;     // the current branch is being delivered
constexpr int kFinished = 99;  // a branch was taken before: the rest is skipped

constexpr const char* kDefaultFile = ".zuddef";  // file name when none is given
// Names looked for, in this order, when a directory is named.
constexpr std::array<const char*, 3> kDirFiles = {"zud.cfg", ".zuddef", "Zud.res"};

constexpr M_type kWarn = MESS_WARN;  // message level (warn) of the reader's warnings

// How the open file was obtained, so that closing matches opening.
enum class Source { kNone, kFile, kPipe, kStdin };

// The reader's state; DEF_reset brings it back to these starting values.
FILE* def_file = nullptr;        // the defaults file being read, or none
Source def_source = Source::kNone;  // how def_file was opened
std::string prog_name = "Zud";   // program name that patterns are matched against
std::string prog_title;          // title of the "name" option; "+" names a use below the program
std::array<std::string, kMaxTags> tag;  // defined tags, in order of definition
int num_tag = 0;                 // number of defined tags
std::array<int, kMaxBlocks> match{};  // state of each open block, outermost first
int num_match = 0;               // number of open blocks
int lost_blocks = 0;             // blocks opened beyond the limit, never active
int matches = 1;                 // 1 when every open block is active

// The first max characters of text (null counts as empty).
std::string bounded(const char* text, size_t max) {
  if (!text) return {};
  return std::string(text, strnlen(text, max));
}

// Copies at most max characters of text into a buffer of max + 1 bytes.
void copy_out(char* out, std::string_view text, size_t max) {
  if (!out) return;
  size_t n = text.size() < max ? text.size() : max;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// The full name of a resource of this program: title or program name, ".", resource;
// a title beginning with "+" sits between program name and resource.
std::string full_name(const char* resrc) {
  std::string full;
  if (prog_title.empty())
    full = prog_name;
  else if (prog_title[0] == '+')
    full = prog_name + "." + prog_title.substr(1);
  else
    full = prog_title;
  return full + "." + resrc;
}

// Matches a lower-case pattern against a full name. A star takes the text after it (up to
// the next star) at its first occurrence only: later occurrences are never tried.
bool pattern_match(std::string_view pat, std::string_view full) {
  size_t p = 0;
  size_t f = 0;
  for (;;) {
    if (p < pat.size() && pat[p] == '*') {
      size_t next = pat.find('*', p + 1);
      std::string_view piece = pat.substr(p + 1, next == std::string_view::npos
                                                     ? std::string_view::npos
                                                     : next - p - 1);
      size_t at = full.find(piece, f);
      if (at == std::string_view::npos) return false;
      f = at;
      ++p;
      continue;
    }
    if (p == pat.size() || f == full.size()) return p == pat.size() && f == full.size();
    if (pat[p] != full[f]) return false;
    ++p;
    ++f;
  }
}

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The first two words of a line. A second word beginning with a double quote is the text
// after it up to the next quote or the line end, spaces included.
struct Words {
  std::string first;
  std::string second;
  bool has_second = false;
};

Words split_line(const char* line) {
  Words w;
  const char* c = line;
  while (*c && is_space(*c)) ++c;
  const char* start = c;
  while (*c && !is_space(*c)) ++c;
  w.first.assign(start, c);
  while (*c && is_space(*c)) ++c;
  if (!*c) return w;
  w.has_second = true;
  if (*c == '"') {
    start = ++c;
    while (*c && *c != '"') ++c;
  } else {
    start = c;
    while (*c && !is_space(*c)) ++c;
  }
  w.second.assign(start, c);
  return w;
}

bool tag_defined(const std::string& name) {
  for (int i = 0; i < num_tag; ++i)
    if (stricmp(tag[i].c_str(), name.c_str()) == 0) return true;
  return false;
}

void undefine_tag(const std::string& name) {
  for (int i = 0; i < num_tag; ++i) {
    if (stricmp(tag[i].c_str(), name.c_str()) == 0) {
      for (int k = i; k + 1 < num_tag; ++k) tag[k] = tag[k + 1];
      tag[--num_tag].clear();
      return;
    }
  }
}

void recompute_matches() {
  matches = lost_blocks == 0 ? 1 : 0;
  for (int i = 0; i < num_match; ++i)
    if (match[i] != kActive) matches = 0;
}

// Next state of the innermost block at ELIF (tag test) or ELSE (always true).
void next_branch(bool test) {
  int& m = match[num_match - 1];
  m = (m == kActive || m == kFinished) ? kFinished : (test ? kActive : kNotTaken);
}

// Applies a directive line. Returns false when the first word is no directive.
bool directive(const Words& w) {
  const std::string& d = w.first;
  bool needs_tag = d == "DEF" || d == "UNDEF" || d == "IF" || d == "ELIF";
  if (!needs_tag && d != "ELSE" && d != "END") return false;
  if (needs_tag && !w.has_second) return true;  // a directive without its tag is ignored
  if (d == "DEF") {
    if (DEF_tag(w.second.c_str()) < 0)
      MESS_print(kWarn, "DEF_get: too many tags, %s not defined\n", w.second.c_str());
  } else if (d == "UNDEF") {
    undefine_tag(w.second);
  } else if (d == "IF") {
    // A block beyond the limit cannot be tracked; it is skipped whole, and its own
    // ELIF/ELSE/END are counted so the blocks around it stay paired. While one is
    // skipped the open blocks stay at the limit, so blocks inside it are skipped too.
    if (num_match == kMaxBlocks) {
      if (lost_blocks++ == 0)
        MESS_print(kWarn, "DEF_get: more than %d nested ifs, block skipped\n", kMaxBlocks);
    } else {
      match[num_match++] = tag_defined(w.second) ? kActive : kNotTaken;
    }
  } else if (lost_blocks > 0) {
    if (d == "END") --lost_blocks;
  } else if (num_match == 0) {
    MESS_print(kWarn, "DEF_get: %s without an if\n",
               d == "ELIF" ? "elif" : d == "ELSE" ? "else" : "end");
  } else if (d == "ELIF") {
    next_branch(tag_defined(w.second));
  } else if (d == "ELSE") {
    next_branch(true);
  } else {
    --num_match;
  }
  recompute_matches();
  return true;
}

}  // namespace

// Opens a defaults file for reading, closing one still open. An empty or null name means
// ".zuddef"; a directory means the first of "zud.cfg", ".zuddef" and "Zud.res" in it.
// Returns 0 when a file is open, -1 otherwise.
int DEF_open(const char* filename) {
  DEF_close();
  std::string name = (filename && *filename) ? filename : kDefaultFile;
  if (FILE_is_dir(name.c_str())) {
    std::string dir = name.back() == '/' ? name : name + "/";
    name.clear();
    for (const char* candidate : kDirFiles) {
      if (FILE_exist((dir + candidate).c_str())) {
        name = dir + candidate;
        break;
      }
    }
    if (name.empty()) return -1;
  }
  def_file = FILE_open(name.c_str(), "r");
  if (!def_file) return -1;
  def_source = FILE_is_stdio(name.c_str()) ? Source::kStdin
               : name[0] == '|'            ? Source::kPipe
                                           : Source::kFile;
  return 0;
}

// Reads up to the next entry that the open blocks let through: the pattern, lower case
// without a trailing ":", goes to resrc (DEF_RESRC_LEN bytes), the value to value
// (DEF_VALUE_LEN bytes). Returns 1 for an entry, -1 at the end or with no file open.
int DEF_get(char* resrc, char* value) {
  if (!def_file) return -1;
  char line[kMaxLine + 1];
  int rc;
  while ((rc = fgetstring(def_file, line, kMaxLine)) >= 0) {
    if (rc == 0 || line[0] == '#') continue;
    // A file written with CR-LF line ends: the CR belongs to the line end, not to a
    // quoted value that runs to the end of the line.
    size_t len = std::strlen(line);
    if (len > 0 && line[len - 1] == '\r') line[len - 1] = '\0';
    Words w = split_line(line);
    if (w.first.empty() || directive(w)) continue;
    if (!w.has_second || matches != 1) continue;
    if (w.first.back() == ':') w.first.pop_back();
    copy_out(resrc, w.first, kMaxResrc);
    if (resrc) low_string(resrc);
    copy_out(value, w.second, kMaxValue);
    return 1;
  }
  return -1;
}

// Closes the defaults file (a pipe is waited for, the standard input is left open).
// Returns 0.
int DEF_close() {
  if (def_file) {
    if (def_source == Source::kPipe)
      pclose(def_file);
    else if (def_source == Source::kFile)
      std::fclose(def_file);
  }
  def_file = nullptr;
  def_source = Source::kNone;
  return 0;
}

// Returns the reader to its start: no file open (an open one is closed), the program
// name "Zud", no title, no tags and no open conditional block. Returns 0.
int DEF_reset() {
  DEF_close();
  prog_name = "Zud";
  prog_title.clear();
  DEF_clr_tag();
  match.fill(0);
  num_match = 0;
  lost_blocks = 0;
  matches = 1;
  return 0;
}

// Takes the program name from the stored command line: the base name of its first
// argument. Returns 0, or -1 (name unchanged) when no command line is stored.
int DEF_prog() {
  const char* argv0 = RES_get_prog();
  if (!argv0) return -1;
  const char* slash = std::strrchr(argv0, '/');
  return DEF_set_prog(slash ? slash + 1 : argv0);
}

// Sets the program name directly (at most 29 characters); null or empty restores "Zud".
// Returns 0.
int DEF_set_prog(const char* name) {
  prog_name = (name && *name) ? bounded(name, kMaxName) : "Zud";
  return 0;
}

// Sets the title (at most 29 characters; null or empty clears it). Returns 0.
int DEF_title(const char* title) {
  prog_title = bounded(title, kMaxName);
  return 0;
}

// The title given with the "name" option; the same as DEF_title. Returns 0.
int DEF_name(const char* name) { return DEF_title(name); }

// Defines a tag for the conditional blocks. Returns 0, or -1 when 10 tags are already
// defined (or the tag is null).
int DEF_tag(const char* str) {
  if (!str || num_tag == kMaxTags) return -1;
  tag[num_tag++] = str;
  return 0;
}

// Forgets every tag. Returns 0.
int DEF_clr_tag() {
  for (auto& t : tag) t.clear();
  num_tag = 0;
  return 0;
}

// 1 when pattern `string` selects resource `resrc` of this program, else 0. A pattern
// ending in "*", or holding neither "." nor "*", selects nothing.
int DEF_cmp(const char* resrc, const char* string) {
  if (!resrc || !string || !*string) return 0;
  std::string_view pat(string);
  if (pat.back() == '*') return 0;
  if (pat.find_first_of(".*") == std::string_view::npos) return 0;
  return pattern_match(pat, full_name(resrc)) ? 1 : 0;
}

// 1 when the pattern applies to this program whatever the resource: it selects its own
// last component. Else 0.
int DEF_valid(const char* string) {
  char last[DEF_RESRC_LEN];
  DEF_parse_name(string, last);
  return DEF_cmp(last, string);
}

// Copies the resource name of a pattern, the text after its last "." or "*", to ostr
// (DEF_RESRC_LEN bytes; longer names are cut). Returns 1.
int DEF_parse_name(const char* str, char* ostr) {
  std::string_view s = str ? str : "";
  size_t at = s.find_last_of(".*");
  copy_out(ostr, at == std::string_view::npos ? s : s.substr(at + 1), kMaxResrc);
  return 1;
}

// Looks up the environment for a resource: "zud" and its full name, then `env` when given,
// then "zud" and the resource name. Copies the first value set to `value` (DEF_VALUE_LEN
// bytes; longer values are cut) and returns 1; 0 when none is set.
int DEF_env(const char* resrc, const char* env, char* value) {
  if (!resrc) return 0;
  const char* found = std::getenv(("zud" + full_name(resrc)).c_str());
  if (!found && env && *env) found = std::getenv(env);
  if (!found) found = std::getenv((std::string("zud") + resrc).c_str());
  if (!found) return 0;
  copy_out(value, found, kMaxValue);
  return 1;
}
