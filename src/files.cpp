// files.cpp — files of the package: path and file utilities (stream names, joining,
// "~" expansion, existence, size, directory creation, opening files and pipes), the
// file-name conventions that say where a file type lives and where the date stands in
// its names, and the choice of the dated data file a program reads.
//
// A convention is a template such as "%C/%Y%m%d%h_upa.cvt": ordinary characters, date
// codes, directory codes naming path resources, and key codes filled by the caller. The
// same template turns a typed name into a full name and a file date, generates the name
// for a date, and gives the pattern that lists the existing files.
//
// Names handed back to callers fit buffers of kMaxName characters; inside the module
// names are held as std::string so that nothing is cut before the platform sees it. No
// resource text ever reaches a shell: files are listed by a directory scan.

#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zud.h"
#include "zudresrc.h"

namespace {

constexpr int kMaxName = 160;      // caller buffers for expanded and joined names
constexpr int kMaxUser = 19;       // longest user name after "~"
constexpr mode_t kDirMode = 0755;  // mode of directories created for output files
constexpr int kMaxTemplate = kMaxName - 1;  // longest template, in characters
constexpr int kMaxLine = 160;      // longest convention-file line
constexpr int kMaxExt = 19;        // longest extension taken from a type or name
constexpr int kMaxExtInfo = 39;    // longest extra information cut from a name
constexpr int kKeyLen = 29;        // longest key string
constexpr int kNumKeys = 256;      // key strings, one per character code
constexpr int kMaxCount = 9999;    // largest count between "%" and a code
constexpr int kDefaultLateOff = 3600;  // file interval before any template sets one
constexpr int kRetry = 4;          // prompts for a file name before giving up
constexpr int kAnswerSize = 80;    // prompt answer buffer: 79 characters
constexpr int kLatestLimit = 500;  // file intervals the latest-file search goes back
constexpr int kMaxLatestDigits = 4;    // digits of a search limit after "#"
constexpr long kMaxOffsetNumber = 1000000;  // bound for each number of a time offset
constexpr int kListWidth = 80;     // line width of the file listing
constexpr int kListGap = 2;        // blanks between listed names

constexpr M_type kLevelPrint = MESS_PRINT;         // prompts and the listing header
constexpr M_type kLevelWarn = MESS_WARN;         // missing files and conventions
constexpr M_type kLevelMess = MESS_MESS;        // the chosen current file
constexpr M_type kTraceConv = mess_sub(MESS_DEBUG, MESS_SUB_A);   // convention-file matching
constexpr M_type kTracePath = mess_sub(MESS_DEBUG, MESS_SUB_C);   // extracted directories
constexpr M_type kTraceMatch = mess_sub(MESS_DEBUG, MESS_SUB_D);  // name matching and key settings
constexpr M_type kTraceDebug = MESS_DEBUG;  // time specifications and dates

constexpr int kExitOk = 0;      // "exit" typed or "list" given
constexpr int kExitNoFile = 10; // no input file found

// The file-name convention and the current file (one per process); FILE_reset brings them
// back to these starting values.
std::string conv;              // current template; empty means no convention
std::string hconv;             // template for header files
int header = 0;                // use hconv instead of conv
int min_size = 0;              // a usable file is larger than this many bytes
int rmin_size = 0;             // overriding minimum size, 0 when not used
std::string ext;               // extension taken from the file type or a name
std::string ext_info;          // extra information cut from a name
char filename[kMaxName] = "";  // the current file name
int filename_type = 0;         // 1 when filename came from a user's name
std::array<std::string, kNumKeys> keys;  // key strings by character code
bool keys_emptied = false;     // the first convention choice empties the keys
Date set = {IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, 0};
                               // requested date and time, -9999 where not requested
Date file_date = {IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING};
                               // date found in or given to the current name
int late_off = kDefaultLateOff;  // file interval in seconds

// Copies `text` into a caller buffer of kMaxName characters. Returns 0, or -1 when the
// text had to be cut.
int copy_out(const std::string& text, char* out) {
  std::snprintf(out, kMaxName, "%s", text.c_str());
  return text.size() < static_cast<std::size_t>(kMaxName) ? 0 : -1;
}

// "~" expansion of `file`: the home directory of the named (or the current) user in place
// of "~user"; the name unchanged when it does not begin with "~" or the user is unknown.
std::string expand_user(const char* file) {
  if (!file || file[0] != '~') return file ? file : "";
  const char* slash = std::strchr(file, '/');
  std::size_t ulen = slash ? static_cast<std::size_t>(slash - file - 1) : std::strlen(file + 1);
  if (ulen > static_cast<std::size_t>(kMaxUser)) return file;
  std::string user(file + 1, ulen);
  const passwd* pw = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
  if (!pw || !pw->pw_dir) return file;
  return std::string(pw->pw_dir) + (slash ? slash : "");
}

// stat of the expanded name; true when it can be examined.
bool stat_name(const char* file, struct stat* st) {
  std::string name = expand_user(file);
  return ::stat(name.c_str(), st) == 0;
}

// Copies a generated or resolved name into a caller buffer of kMaxName characters,
// warning when it had to be cut.
void put_name(const std::string& text, char* out) {
  if (copy_out(text, out) != 0)
    MESS_print(kLevelWarn, "File name too long, cut to %d characters: %s\n", kMaxName - 1, out);
}

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Reads "yyyy[mm[dd[hh[nn]]]]" at p: a four-digit year, then each two-digit field only
// while two digits follow. Stores the fields read into f (year, month, day, hour, minute)
// and their number into *nf. Returns the characters used; 0 (nothing stored) without a
// four-digit year.
int read_date_digits(const char* p, int f[5], int* nf) {
  *nf = 0;
  if (!p) return 0;
  int used = 0;
  for (int field = 0; field < 5; ++field) {
    int width = field == 0 ? 4 : 2;
    int v = 0;
    for (int k = 0; k < width; ++k) {
      if (!is_digit(p[used + k])) return used;
      v = v * 10 + (p[used + k] - '0');
    }
    f[field] = v;
    used += width;
    ++*nf;
  }
  return used;
}

// One element of a template.
enum class Kind { kChar, kStar, kOpen, kClose, kDate, kExt, kDir, kResDir, kKey };
struct Element {
  Kind kind = Kind::kChar;
  char code = '\0';       // the character, code letter or key character
  int count = 1;          // count between "%" and the code, at least 1
  bool has_count = false; // a count was written
  std::string name;       // resource name of %{name}
  std::size_t next = 0;   // template position after the element
};

// Resource named by a directory code letter, or null for any other letter.
const char* dir_resource(char code) {
  switch (code) {
    case 'C': return "con_path";
    case 'D': return "data_path";
    case 'F': return "file_path";
    case 'R': return "raw_path";
    case 'G': return "grid_path";
    case 'W': return "watch_path";
    case 'I': return "image_path";
    case 'T': return "text_path";
    case 'M': return "model_path";
    case 'S': return "sat_path";
    default: return nullptr;
  }
}

bool is_date_code(char c) { return std::strchr("Yybmdjhn", c) != nullptr && c != '\0'; }

// Parses the element that starts at template position i.
Element parse_element(const std::string& t, std::size_t i) {
  Element e;
  e.code = t[i];
  e.next = i + 1;
  if (t[i] == '*') e.kind = Kind::kStar;
  if (t[i] == '{') e.kind = Kind::kOpen;
  if (t[i] == '}') e.kind = Kind::kClose;
  if (t[i] != '%') return e;
  std::size_t j = i + 1;
  long count = 0;
  while (j < t.size() && is_digit(t[j])) {
    count = std::min<long>(count * 10 + (t[j] - '0'), kMaxCount);
    e.has_count = true;
    ++j;
  }
  if (j >= t.size()) return e;  // a "%" at the end stands for itself
  e.count = count < 1 ? 1 : static_cast<int>(count);
  e.code = t[j];
  e.next = j + 1;
  if (e.code == '%') {
    e.kind = Kind::kChar;
  } else if (is_date_code(e.code)) {
    e.kind = Kind::kDate;
  } else if (e.code == 'e') {
    e.kind = Kind::kExt;
  } else if (dir_resource(e.code)) {
    e.kind = Kind::kDir;
    e.name = dir_resource(e.code);
  } else if (e.code == '{') {
    std::size_t close = t.find('}', j + 1);
    e.kind = Kind::kResDir;
    e.name = t.substr(j + 1, close == std::string::npos ? std::string::npos : close - j - 1);
    e.next = close == std::string::npos ? t.size() : close + 1;
  } else {
    e.kind = Kind::kKey;
  }
  return e;
}

// The value of a directory element: the path resource, "." when a directory code's
// resource is not set, nothing when a %{name} resource is not set.
std::string dir_value(const Element& e) {
  const char* v = RES_get(e.name.c_str());
  if (v && *v) return v;
  return e.kind == Kind::kDir ? "." : "";
}

// Appends a directory to `out` and skips a "/" that follows it in the template when the
// directory already ends with one, so that no "//" appears.
void put_dir(const std::string& dir, const std::string& tmpl, std::size_t* t, std::string* out) {
  *out += dir;
  if (!dir.empty() && dir.back() == '/' && *t < tmpl.size() && tmpl[*t] == '/') ++*t;
}

const std::string& active_template() { return header ? hconv : conv; }

// Counts the characters of `chars` in the template from position `from` on.
int count_separators(const std::string& tmpl, std::size_t from, const char* chars) {
  int n = 0;
  for (std::size_t i = from; i < tmpl.size(); ++i)
    if (std::strchr(chars, tmpl[i])) ++n;
  return n;
}

// Walks back from the end of `name` over n path separators ("/", or ":" in second
// position) and returns the position reached; 0 when the name has fewer separators.
std::size_t walk_back(const std::string& name, int n) {
  std::size_t pos = name.size();
  while (n > 0 && pos > 0) {
    --pos;
    if (name[pos] == '/' || (pos == 1 && name[pos] == ':')) --n;
  }
  return n == 0 ? pos : 0;
}

// The ordinary characters that follow template position `from`, up to the next code.
std::string literal_run(const std::string& tmpl, std::size_t from) {
  std::size_t end = tmpl.find_first_of("%*{}", from);
  return tmpl.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The file interval in seconds; a template without time codes leaves none, and the
// default hour then serves for stepping and rounding.
long interval() { return late_off > 0 ? late_off : kDefaultLateOff; }

// Makes `text` the current template. Returns false, leaving no convention, when it is
// longer than a template may be.
bool set_template(const std::string& text) {
  if (text.size() > static_cast<std::size_t>(kMaxTemplate)) {
    MESS_print(kLevelWarn, "FILE_set_name: File name template too long: %.40s...\n", text.c_str());
    conv.clear();
    return false;
  }
  conv = text;
  return true;
}

// Changes the interval bound `late_off` for a day, hour or minute code while a typed name
// is matched: a negative requested field -s gives s units; otherwise the code's own
// interval, when it is the first or shorter than the one set so far.
void match_interval(int requested, long unit, int count) {
  long long v;
  if (requested != IMISSING && requested < 0) {
    v = -static_cast<long long>(requested) * unit;
  } else {
    v = static_cast<long long>(count) * unit;
    if (late_off != IMISSING && late_off <= v) return;
  }
  late_off = static_cast<int>(std::min<long long>(v, INT_MAX));
}

// Reads the date digits of `width` characters at name[s] for date code `code` into
// file_date. Returns false when they cannot be read.
bool read_name_field(char code, const std::string& text) {
  if (code == 'b') {
    int month = DATE_decode_month(text.c_str());
    if (month == 0) return false;
    file_date.month = month;
    return true;
  }
  int v = 0;
  for (char c : text) {
    if (!is_digit(c)) return false;
    v = v * 10 + (c - '0');
  }
  switch (code) {
    case 'Y': file_date.year = v; break;
    case 'y': file_date.year = v > 49 ? 1900 + v : 2000 + v; break;
    case 'm': file_date.month = v; break;
    case 'd': file_date.day = v; break;
    case 'j':
      file_date.jday = v;
      DATE_julian_monday(file_date.year, v, &file_date.month, &file_date.day);
      break;
    case 'h': file_date.hour = v; break;
    case 'n': file_date.min = v; break;
    default: return false;
  }
  return true;
}

// Characters of a name that a date code takes.
std::size_t date_width(char code) {
  switch (code) {
    case 'Y': return 4;
    case 'b': case 'j': return 3;
    default: return 2;
  }
}

// The date of T, seconds since 1970.
Date date_of(std::int64_t t) {
  time_t secs = static_cast<time_t>(t);
  Date d;
  DATE_get_gmdate(&secs, &d);
  return d;
}

// Seconds since 1970 of a "yyyy[mm[dd[hh[nn]]]]" text; the fields not given are the start
// of their period (month and day 1, hour and minute 0). *used gets the characters read;
// false when the text has no four-digit year.
bool time_from_digits(const char* p, std::int64_t* t, int* used) {
  int f[5] = {0, 1, 1, 0, 0};
  int nf = 0;
  *used = read_date_digits(p, f, &nf);
  if (nf == 0) return false;
  Date d{f[0], f[1], f[2], IMISSING, IMISSING, f[3], f[4], 0};
  *t = DATE_num_sec(&d);
  return true;
}

// The starting time when the request gives none: the environment variable
// "zudcurtime" when it holds a date (an optional "#" first), else the clock.
std::int64_t start_time() {
  const char* env = std::getenv("zudcurtime");
  if (env) {
    if (*env == '#') ++env;
    std::int64_t t = 0;
    int used = 0;
    if (time_from_digits(env, &t, &used)) return t;
  }
  return DATE_get_time(nullptr);
}

// Reads a direction sign: "+" forward, "-" backward; backward without consuming when
// there is none.
int read_sign(const char** p) {
  if (**p == '+' || **p == '-') return *(*p)++ == '+' ? 1 : -1;
  return -1;
}

// Reads an unsigned number, bounded by kMaxOffsetNumber.
long read_number(const char** p) {
  long v = 0;
  while (is_digit(**p)) {
    v = std::min(v * 10 + (**p - '0'), kMaxOffsetNumber);
    ++*p;
  }
  return v;
}

// Reads a time offset "[days d][hours][:minutes]" (days only when a "d" follows the first
// number and the text holds one) and returns it in seconds; `tag` names the traces.
std::int64_t read_offset(const char** p, const char* tag, int direction) {
  bool with_days = std::strchr(*p, 'd') != nullptr;
  long days = 0, hours = 0, mins = 0;
  long first = read_number(p);
  if (with_days && **p == 'd') {
    days = first;
    ++*p;
    if (is_digit(**p)) hours = read_number(p);
  } else {
    hours = first;
  }
  if (**p == ':' && is_digit((*p)[1])) {
    ++*p;
    mins = read_number(p);
  }
  MESS_print(kTraceDebug, "%s:%d %ld %ld %ld\n", tag, direction, days, hours, mins);
  return static_cast<std::int64_t>(days) * 86400 + static_cast<std::int64_t>(hours) * 3600 +
         static_cast<std::int64_t>(mins) * 60;
}

// Writes names across the lines like a columned directory listing: as many columns as
// fit kListWidth, each as wide as its longest name plus a gap.
void print_columns(const std::vector<std::string>& names) {
  if (names.empty()) return;
  std::size_t cols = std::min<std::size_t>(names.size(), kListWidth / (kListGap + 1));
  std::vector<std::size_t> width;
  for (; cols > 1; --cols) {
    width.assign(cols, 0);
    for (std::size_t i = 0; i < names.size(); ++i)
      width[i % cols] = std::max(width[i % cols], names[i].size() + kListGap);
    std::size_t total = 0;
    for (std::size_t c = 0; c < cols; ++c) total += width[c];
    if (total - kListGap <= static_cast<std::size_t>(kListWidth)) break;
  }
  if (cols <= 1) width.assign(1, 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    bool line_end = (i % cols == cols - 1) || i + 1 == names.size();
    std::fputs(names[i].c_str(), stdout);
    if (line_end) {
      std::fputc('\n', stdout);
    } else {
      for (std::size_t k = names[i].size(); k < width[i % cols]; ++k) std::fputc(' ', stdout);
    }
  }
}

// True for a name that is a time specification: "#...", "la..." or "cu...".
bool is_time_spec(const std::string& name) {
  return !name.empty() &&
         (name[0] == '#' || !strnicmp(name.c_str(), "la", 2) || !strnicmp(name.c_str(), "cu", 2));
}

// The first positional file name, from the newline-joined "filename" resource.
std::string first_file_name() {
  const char* v = RES_get("filename");
  if (!v || !*v) return "";
  const char* nl = std::strchr(v, '\n');
  return nl ? std::string(v, static_cast<std::size_t>(nl - v)) : std::string(v);
}

// Chooses the file of time specification `when` and returns whether it exists; without
// it the program ends with status 10.
int current_or_exit(const char* when, char* outfile) {
  FILE_set_current(when, filename);
  if (outfile) copy_out(filename, outfile);
  if (FILE_exist(filename)) {
    MESS_print(kLevelMess, "Current filename: %s\n", filename);
    return 1;
  }
  MESS_print(kLevelWarn, "File not found: %s\n", filename);
  ZUD_exit(kExitNoFile);
}

}  // namespace

// 1 for a standard-stream name (null, "", "-", "std" or "stdn", any case), else 0.
int FILE_is_stdio(const char* file) {
  return (!file || !*file || !std::strcmp(file, "-") || !stricmp(file, "std") ||
          !stricmp(file, "stdn"))
             ? 1
             : 0;
}

// 1 when the name is a full path (begins with "/", "." or "~"), else 0.
int FILE_fullpath(const char* filename) {
  return (filename && (filename[0] == '/' || filename[0] == '.' || filename[0] == '~')) ? 1 : 0;
}

// Appends "/" to a non-empty path that does not end with one; the buffer must have room
// for it. Returns 0.
int FILE_add_path_delim(char* path) {
  if (!path || !*path) return 0;
  std::size_t n = std::strlen(path);
  if (path[n - 1] != '/') {
    path[n] = '/';
    path[n + 1] = '\0';
  }
  return 0;
}

// Writes into `filename` (kMaxName characters) the name itself when it is a standard
// stream or a full path, else the path (none when null), a "/" when needed, and the name.
// Returns 0, or -1 when the joined name did not fit and was cut.
int FILE_add_path(const char* path, const char* file, char* filename) {
  if (!file) file = "";
  if (FILE_is_stdio(file) || FILE_fullpath(file)) return copy_out(file, filename);
  std::string joined = path ? path : "";
  if (!joined.empty() && joined.back() != '/') joined += '/';
  joined += file;
  return copy_out(joined, filename);
}

// Writes the "~"-expanded name into `filename` (kMaxName characters). Returns 0, or -1
// when the expanded name did not fit and was cut.
int FILE_add_user_path(const char* file, char* filename) {
  return copy_out(expand_user(file), filename);
}

// 1 when the name is a standard stream or the expanded name exists, else 0.
int FILE_exist(const char* file) {
  if (FILE_is_stdio(file)) return 1;
  struct stat st;
  return stat_name(file, &st) ? 1 : 0;
}

// 1 when the expanded name exists and is a directory, else 0.
int FILE_is_dir(const char* file) {
  if (!file || !*file) return 0;
  struct stat st;
  return (stat_name(file, &st) && S_ISDIR(st.st_mode)) ? 1 : 0;
}

// Size in bytes of the expanded name, or -1 when it cannot be examined.
long FILE_size(const char* file) {
  if (!file || !*file) return -1;
  struct stat st;
  return stat_name(file, &st) ? static_cast<long>(st.st_size) : -1L;
}

// Creates the missing directories of `dir` (its backslashes become "/" in place), leaving
// out the last `flag` components (1: the last component is a file name). Returns 1 when
// the directory part already exists, else 0 after trying to create every piece.
int FILE_make_dir(char* dir, int flag) {
  if (!dir || !*dir) return 0;
  for (char* c = dir; *c; ++c)
    if (*c == '\\') *c = '/';
  const char* last = std::strrchr(dir + 1, '/');
  if (last) {
    std::string parent(dir, static_cast<std::size_t>(last - dir));
    if (FILE_exist(parent.c_str())) return 1;
  }
  int argc = 0;
  char** argv = nullptr;
  parse_string(dir, '/', &argc, &argv);
  std::string path;
  for (int i = 0; i < argc - flag; ++i) {
    if (argv[i][0] == '\0') {
      if (path.empty() || path.back() != '/') path += '/';
      continue;
    }
    path += argv[i];
    path += '/';
    ::mkdir(path.c_str(), kDirMode);  // an existing directory is no error; fopen reports
  }
  free_parsed_array(argc, argv);
  return 0;
}

// Opens a standard stream (input for an access beginning with "r", else output), a pipe
// to or from the command after a leading "|", or the "~"-expanded file, creating its
// missing directories first for writing and appending. Returns the stream, or null.
FILE* FILE_open(const char* file, const char* access) {
  if (!access || !*access) return nullptr;
  if (FILE_is_stdio(file)) return access[0] == 'r' ? stdin : stdout;
  if (file[0] == '|') return ::popen(file + 1, access);
  std::string name = expand_user(file);
  if (access[0] == 'w' || access[0] == 'a') {
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    FILE_make_dir(buf.data(), 1);
  }
  return std::fopen(name.c_str(), access);
}

// ---- file-name conventions ------------------------------------------------------

// Sets key string `key` to the first 29 characters of `str`, every blank made "_"; a null
// text empties it. Returns 0.
int FILE_set_key(char key, const char* str) {
  std::string& k = keys[static_cast<unsigned char>(key)];
  k = str ? std::string(str).substr(0, kKeyLen) : std::string();
  std::replace(k.begin(), k.end(), ' ', '_');
  return 0;
}

// Sets the requested date and time (-9999 in a field: not requested); null requests
// nothing. Returns 0.
int FILE_set_time(Date* datim) {
  if (datim) {
    set = *datim;
  } else {
    DATE_init(&set);
    set.sec = 0;
  }
  return 0;
}

// Returns the convention and current-file state to its start: no template, no keys, no
// extension or extra information, no current name, nothing requested, no file date and
// the default file interval. A later choice then behaves as the first one of a run.
// Returns 0.
int FILE_reset() {
  conv.clear();
  hconv.clear();
  header = 0;
  min_size = 0;
  rmin_size = 0;
  ext.clear();
  ext_info.clear();
  filename[0] = '\0';
  filename_type = 0;
  for (std::string& k : keys) k.clear();
  keys_emptied = false;
  FILE_set_time(nullptr);
  DATE_init(&file_date);
  late_off = kDefaultLateOff;
  return 0;
}

// Cuts extra information off a name: from its third character on, the first "#", "-",
// "+" or ":" starts it; it is kept (at most 39 characters) and the name ends there.
// Returns 0.
int FILE_extract_extra_info(char* file) {
  if (!file || std::strlen(file) < 3) return 0;
  char* at = std::strpbrk(file + 2, "#-+:");
  if (at) {
    ext_info = std::string(at).substr(0, kMaxExtInfo);
    *at = '\0';
  }
  return 0;
}

namespace {

// Applies the key settings ":k=value" anywhere after the type name and cuts the type at
// the first of them.
void take_key_settings(std::string& want) {
  std::size_t cut = std::string::npos;
  for (std::size_t p = want.find(':'); p != std::string::npos; p = want.find(':', p + 1)) {
    if (p + 2 >= want.size() || want[p + 2] != '=') continue;
    std::size_t end = want.find(':', p + 3);
    std::string value = want.substr(p + 3, end == std::string::npos ? end : end - p - 3);
    if (value.empty()) continue;
    FILE_set_key(want[p + 1], value.c_str());
    MESS_print(kTraceMatch, "KEY: %c = %s\n", want[p + 1], value.c_str());
    cut = std::min(cut, p);
  }
  if (cut != std::string::npos) want.resize(cut);
}

// Reads one entry "type template [header-template [minimum-size]]" of the convention
// file into the current template, header template and minimum size; true when its type
// is the one wanted, or begins it (the rest after the last "_" then being the extension).
bool convention_entry_matches(const std::string& line, const std::string& want) {
  char name[kMaxLine + 1], tmpl[kMaxLine + 1], htmpl[kMaxLine + 1];
  int size = 0;
  int n = std::sscanf(line.c_str(), "%160s %160s %160s %d", name, tmpl, htmpl, &size);
  if (n < 1) return false;
  conv = n >= 2 ? tmpl : "";
  hconv = (n >= 3 && std::strcmp(htmpl, "-") != 0) ? htmpl : "";
  min_size = n >= 4 ? size : 0;
  std::size_t len = std::strlen(name);
  if (!stricmp(want.c_str(), name)) {
    MESS_print(kTraceConv, "File name match for: %s\n", want.c_str());
    return true;
  }
  if (want.size() > len && !strnicmp(want.c_str(), name, static_cast<int>(len))) {
    std::size_t us = want.rfind('_');
    if (us != std::string::npos) ext = want.substr(us + 1, kMaxExt);
    MESS_print(kTraceConv, "File name partial match for: %s-%s ext: %s\n", want.c_str(), name,
               ext.c_str());
    return true;
  }
  return false;
}

}  // namespace

// Chooses the file-name convention of file type `type`: "none" for none, "@template" for
// a template given directly, else the type's entry in the naming-convention file; keys
// may be set inside the type as in upa_cvt:i=ABCD. Returns 1 when a template was taken
// from the convention file or given directly, 0 otherwise (the type itself then serves
// as the template). Each choice starts afresh: no header template, minimum size 0 and
// no extension unless the entry gives them.
int FILE_set_name(const char* type) {
  if (!keys_emptied) {
    for (auto& k : keys) k.clear();
    keys_emptied = true;
  }
  filename[0] = '\0';
  conv.clear();
  hconv.clear();
  min_size = 0;
  ext.clear();
  std::string want = type ? type : "";
  if (!stricmp(want.c_str(), "none")) return 0;
  if (!want.empty() && want[0] == '@') return set_template(want.substr(1)) ? 1 : 0;

  take_key_settings(want);

  // The convention file, never a stream or a command: a plain file found on file_path.
  const char* nc = RES_get("name_conv");
  char path[kMaxName];
  FILE_add_path(RES_get("file_path"), (nc && *nc) ? nc : "name_conv", path);
  std::string expanded = expand_user(path);
  FILE* f = FILE_is_stdio(path) ? nullptr : std::fopen(expanded.c_str(), "r");
  if (!f) {
    MESS_print(kLevelWarn, "FILE_set_name: No file name convention file: %s\n", path);
    set_template(want);
    return 0;
  }
  MESS_print(kTraceConv, "Opening name convention file: %s\n", path);
  std::string line;
  bool too_long = false;
  while (fget_bounded_line(f, &line, kMaxLine, &too_long)) {
    if (!line.empty() && line[0] == '#') continue;
    if (too_long) {
      MESS_print(kLevelWarn, "FILE_set_name: Line too long in %s: %.40s...\n", path, line.c_str());
      continue;
    }
    if (convention_entry_matches(line, want)) {
      std::fclose(f);
      return 1;
    }
  }
  std::fclose(f);
  hconv.clear();
  min_size = 0;
  set_template(want);
  MESS_print(kTraceConv, "No file name conversion for: %s\n", want.c_str());
  return 0;
}

namespace {

// Matching of a typed name against the file-name template: the name is copied element by
// element while it agrees with the template; from the first disagreement on the rest of
// the name is copied unchanged.
struct TemplateMatch {
  const std::string& name;  // the typed name
  const std::string& tmpl;  // the template
  std::string out;          // the resolved name so far
  std::size_t s = 0;        // position in the name
  std::size_t t = 0;        // position in the template
  int w = 0;                // 0 nothing matched, 1 directory, 2 date digits, 3 name used up
  bool local = false;       // the name has no directory part
  bool in_group = false;    // inside a "{...}" group of literal text
  bool done = false;        // the rest of the name has been copied

  void copy_rest() {
    out += name.substr(s);
    s = name.size();
    done = true;
  }

  void dir(const Element& e) {
    t = e.next;
    if (FILE_fullpath(name.c_str())) {
      std::size_t point = walk_back(name, count_separators(tmpl, t, "/\\:"));
      if (point > s) {
        out += name.substr(s, point - s);
        s = point;
      }
    } else {
      std::string d = dir_value(e);
      put_dir(d, tmpl, &t, &out);
      if (t < tmpl.size() && tmpl[t] == '/') {
        out += '/';
        ++t;
      }
    }
    w = 1;
  }

  void date(const Element& e) {
    std::size_t width = date_width(e.code);
    if (name.size() - s < width || !read_name_field(e.code, name.substr(s, width))) {
      copy_rest();
      return;
    }
    out += name.substr(s, width);
    s += width;
    w = 2;
    if (e.code == 'd' || e.code == 'j') match_interval(set.day, 86400, e.count);
    if (e.code == 'h') match_interval(set.hour, 3600, e.count);
    if (e.code == 'n') match_interval(set.min, 60, e.count);
    t = e.next;
  }

  void extension(const Element& e) {
    std::string run = literal_run(tmpl, e.next);
    std::size_t at = run.empty() ? name.size() : name.find(run, s);
    if (!ext.empty()) {
      out += ext;
      if (at != std::string::npos) s = at;
    } else if (at == std::string::npos) {
      copy_rest();
      return;
    } else {
      std::string piece = name.substr(s, at - s);
      ext = piece.substr(0, kMaxExt);
      out += piece;
      s = at;
    }
    t = e.next;
  }

  void key(const Element& e) {
    const std::string& k = keys[static_cast<unsigned char>(e.code)];
    if (k.empty()) {
      copy_rest();
      return;
    }
    std::string v = e.has_count ? k.substr(0, e.count) : k;
    out += v;
    s = std::min(name.size(), s + v.size());
    t = e.next;
  }

  void literal(const Element& e) {
    char c = e.code;
    bool more = s < name.size();
    if (w > 0 && more && name[s] == c) {
      out += c;
      t = e.next;
      if (++s == name.size()) w = 3;
    } else if (w > 1 && more) {
      copy_rest();
    } else if (w != 0 || (more && name[s] == c)) {
      out += c;
      t = e.next;
      if ((w > 1 || local) && more) ++s;
    } else {
      copy_rest();
    }
  }

  // One step: a character of a literal group, or one template element.
  void step() {
    if (in_group && tmpl[t] != '%') {
      if (tmpl[t] == '}') {
        in_group = false;
        w = 1;
      } else {
        out += tmpl[t];
      }
      ++t;
      return;
    }
    Element e = parse_element(tmpl, t);
    switch (e.kind) {
      case Kind::kStar: copy_rest(); break;
      case Kind::kOpen:
        in_group = true;
        t = e.next;
        break;
      case Kind::kDir:
      case Kind::kResDir: dir(e); break;
      case Kind::kDate: date(e); break;
      case Kind::kExt: extension(e); break;
      case Kind::kKey: key(e); break;
      case Kind::kChar:
      case Kind::kClose: literal(e); break;
    }
  }

  void run() {
    while (!done && t < tmpl.size()) {
      MESS_print(kTraceMatch, "FILES:%s:%s:%s:%s:%s:%d\n", tmpl.c_str() + t, name.c_str() + s,
                 out.c_str(), name.c_str(), out.c_str(), w);
      step();
    }
  }
};

// Cuts a "#yyyy[mm[dd[hh[nn]]]]" suffix (after the first character) off the name and
// makes it the requested time.
void take_time_suffix(std::string& name) {
  std::size_t hash = is_time_spec(name) ? std::string::npos : name.find('#', 1);
  if (hash == std::string::npos) return;
  int f[5];
  int nf = 0;
  read_date_digits(name.c_str() + hash + 1, f, &nf);
  int* fields[5] = {&set.year, &set.month, &set.day, &set.hour, &set.min};
  for (int i = 0; i < nf; ++i) *fields[i] = f[i];
  name.resize(hash);
}

// Resolves the names that bypass template matching: "@name", stream names, any name
// without a template, time specifications, "none" and a full path against a full-path
// template. Returns true when `out_file` has been set.
bool resolve_special(const std::string& name, const std::string& tmpl, char* out_file) {
  if (!name.empty() && name[0] == '@') {
    put_name(name.substr(1), out_file);
    filename_type = 1;
    return true;
  }
  if (FILE_is_stdio(name.c_str()) || (!tmpl.empty() && FILE_is_stdio(tmpl.c_str()))) {
    put_name("-", out_file);
    return true;
  }
  if (tmpl.empty()) {
    put_name(name, filename);
    put_name(name, out_file);
    filename_type = 1;
    return true;
  }
  if (is_time_spec(name)) {
    bool cu = !strnicmp(name.c_str(), "cu", 2);
    FILE_set_current(name.c_str() + (cu ? 2 : 0), out_file);
    MESS_print(kLevelMess, "Current filename: %s\n", out_file);
    return true;
  }
  if (!stricmp(name.c_str(), "none") || (FILE_fullpath(tmpl.c_str()) && FILE_fullpath(name.c_str()))) {
    put_name(name, out_file);
    return true;
  }
  return false;
}

}  // namespace

// Resolves a typed name into `out_file` (kMaxName characters) and sets the file date:
// "@name" as it stands, stream names as "-", time specifications ("#...", "la...",
// "cu...") through FILE_set_current, and other names matched against the template, from
// the first disagreement on copied unchanged. A "#yyyy[mm[dd[hh[nn]]]]" suffix after the
// first character sets the requested time and is cut off. "exit" ends the program.
// Returns 0.
int FILE_set_file(const char* file, char* out_file) {
  std::string name = file ? file : "";
  file_date.year = file_date.month = file_date.day = file_date.hour = file_date.min = IMISSING;
  take_time_suffix(name);
  file_date = set;
  if (!stricmp(name.c_str(), "exit")) ZUD_exit(kExitOk);
  const std::string& tmpl = active_template();
  if (resolve_special(name, tmpl, out_file)) return 0;

  late_off = IMISSING;
  TemplateMatch m{name, tmpl, std::string()};
  m.local = name.find('/') == std::string::npos;
  m.run();
  put_name(m.out, out_file);
  MESS_print(kTraceMatch, "FILES:%s:%s:%d\n", name.c_str(), out_file, m.w);
  DATE_print(kTraceDebug, &file_date);
  return 0;
}

// The current template, "" when there is no convention.
const char* FILE_get_conv() { return conv.c_str(); }

// The extension taken from the file type or from a name.
const char* FILE_get_ext() { return ext.c_str(); }

// The extra information last cut from a name.
const char* FILE_get_extra_info() { return ext_info.c_str(); }

// Minimum size in bytes of a usable file, from the convention entry.
int FILE_get_min_size() { return min_size; }

// The file interval in seconds; -9999 when the last template used had no time code.
int FILE_get_late_off() { return late_off; }

// ---- dated file selection -------------------------------------------------------

namespace {

// Keeps the smaller interval of the time codes, or the one a negative request fixes.
void code_interval(long v, bool fixed) {
  if (fixed || late_off == IMISSING || late_off > v)
    late_off = static_cast<int>(std::min<long>(v, INT_MAX));
}

// Field chosen for a day, hour or minute code: the requested value when 0 or more (hours
// and minutes rounded down to n); the date's own rounded down to n when none is
// requested; for a negative request -(100 o + s) the date's own rounded down to s, plus
// o. -1 for a negative date field.
int choose_field(int requested, int own, int n, bool with_offset, int* step) {
  *step = 0;
  if (requested != IMISSING && requested >= 0) return with_offset ? requested / n * n : requested;
  if (own < 0) return -1;
  if (requested == IMISSING) return own / n * n;
  int a = -requested;
  int s = with_offset ? a % 100 : a;
  if (s <= 0) s = 1;
  *step = s;
  return own / s * s + (with_offset ? a / 100 : 0);
}

// The text of one date code of the template for the date d (year and month already
// chosen), with the file date and the file interval it implies recorded.
std::string date_code(const Element& e, const Date& d, int year, int month) {
  char buf[32] = "";
  const int n = e.count;
  int step = 0;
  int v = 0;
  switch (e.code) {
    case 'Y':
    case 'y':
      v = set.year != IMISSING ? set.year : (d.year < 0 ? -1 : d.year / n * n);
      std::snprintf(buf, sizeof buf, e.code == 'Y' ? "%4.4d" : "%2.2d",
                    v < 0 ? 0 : (e.code == 'Y' ? v : v % 100));
      file_date.year = v < 0 ? d.year : v;
      break;
    case 'm':
      v = (set.month != IMISSING && set.month >= 0) ? set.month
                                                     : (d.month < 0 ? -1 : d.month / n * n);
      std::snprintf(buf, sizeof buf, "%2.2d", v < 0 ? 0 : v);
      file_date.month = v < 0 ? d.month : v;
      break;
    case 'b':
      std::snprintf(buf, sizeof buf, "%3.3s", month < 0 ? "xxx" : DATE_month_lower(month));
      file_date.month = month;
      break;
    case 'd':
    case 'j':
      v = choose_field(set.day, d.day, n, false, &step);
      code_interval(step > 0 ? step * 86400L : n * 86400L, step > 0);
      file_date.day = v < 0 ? d.day : v;
      if (e.code == 'd') {
        std::snprintf(buf, sizeof buf, "%2.2d", v < 0 ? 0 : v);
      } else {
        int julian = 0;
        if (v >= 0) DATE_monday_julian(year, month, v, &julian);
        std::snprintf(buf, sizeof buf, "%3.3d", julian);
        file_date.jday = julian;
        file_date.month = month;
      }
      break;
    case 'h':
    case 'n': {
      bool hour = e.code == 'h';
      long unit = hour ? 3600 : 60;
      v = choose_field(hour ? set.hour : set.min, hour ? d.hour : d.min, n, true, &step);
      code_interval(step > 0 ? step * unit : n * unit, step > 0);
      std::snprintf(buf, sizeof buf, "%2.2d", v < 0 ? 0 : v);
      (hour ? file_date.hour : file_date.min) = v < 0 ? (hour ? d.hour : d.min) : v;
      break;
    }
    default:
      break;
  }
  return buf;
}

// The file name the template gives for date d: the year and month as requested, the
// directory codes replaced by extracted when the user gave a full name.
std::string expand_template(const std::string& tmpl, const std::string& extracted, const Date& d,
                            int year, int month) {
  std::string out;
  for (std::size_t t = 0; t < tmpl.size();) {
    Element e = parse_element(tmpl, t);
    t = e.next;
    switch (e.kind) {
      case Kind::kChar:
        out += e.code == ' ' ? '_' : e.code;
        break;
      case Kind::kStar:
        out += '*';
        break;
      case Kind::kOpen:
      case Kind::kClose:
        break;
      case Kind::kExt:
        out += ext;
        break;
      case Kind::kDir:
      case Kind::kResDir:
        put_dir(extracted.empty() ? dir_value(e) : extracted, tmpl, &t, &out);
        break;
      case Kind::kKey: {
        const std::string& k = keys[static_cast<unsigned char>(e.code)];
        out += k.empty() ? "0" : (e.has_count ? k.substr(0, e.count) : k);
        break;
      }
      case Kind::kDate:
        out += date_code(e, d, year, month);
        break;
    }
  }
  return out;
}

}  // namespace

// Generates into `out_file` (kMaxName characters) the name of the file for `datim` (null:
// the current file date) from the template; the requested fields of FILE_set_time take
// the place of the date's own, and the file interval follows from the time codes.
// Returns 0 when a name was generated; 1 when the current name (or "-", or the word
// "filename") was passed through because there is no template or no date.
int FILE_set_date(Date* datim, char* out_file) {
  if (conv.empty()) {
    put_name(filename[0] ? filename : "filename", out_file);
    filename_type = 1;
    return 1;
  }
  if (FILE_is_stdio(conv.c_str())) {
    put_name("-", out_file);
    filename_type = 0;
    return 1;
  }
  const std::string& tmpl = active_template();
  std::string extracted;  // directory of a full name the user gave, for every directory code
  if (filename_type == 1 && FILE_fullpath(filename)) {
    std::string current = filename;
    extracted = current.substr(0, walk_back(current, count_separators(tmpl, 0, "/:")));
    if (!extracted.empty()) MESS_print(kTracePath, "Extracted path: %s\n", extracted.c_str());
  }
  late_off = IMISSING;
  Date d = datim ? *datim : file_date;
  if (datim)
    file_date.year = file_date.month = file_date.day = file_date.hour = file_date.min = IMISSING;
  if (d.year == IMISSING && filename[0]) {
    std::string current = filename;
    put_name(current, out_file);
    filename_type = 1;
    return 1;
  }

  int year = set.year != IMISSING ? set.year : (d.year < 0 ? -1 : d.year);
  int month = (set.month != IMISSING && set.month >= 0) ? set.month : d.month;

  const std::string out = expand_template(tmpl, extracted, d, year, month);
  put_name(out, filename);
  put_name(out, out_file);
  return 0;
}

namespace {

// Moves the time t (s since 1970) back to the latest occurrence of the requested fields.
std::int64_t to_requested_fields(std::int64_t t) {
  Date d = date_of(t);
  if (set.month != IMISSING && set.month >= 0) {
    if (d.month < set.month) --d.year;
    d.month = set.month;
    t = DATE_num_sec(&d);
    d = date_of(t);
  }
  if (set.day != IMISSING && set.day >= 0) {
    if (d.day < set.day && --d.month < 1) {
      d.month = 12;
      --d.year;
    }
    d.day = set.day;
    t = DATE_num_sec(&d);
    d = date_of(t);
  }
  if (set.hour != IMISSING && set.hour >= 0) {
    if (d.hour < set.hour) d = date_of(t -= 86400);
    d.hour = set.hour;
    t = DATE_num_sec(&d);
    d = date_of(t);
  }
  if (set.min != IMISSING && set.min >= 0) {
    if (d.min < set.min) d = date_of(t -= 3600);
    d.min = set.min;
    t = DATE_num_sec(&d);
  }
  return t;
}

// The latest-file search of a time specification at *pp ("la", "la#48"): back (or on, by
// direction) one file interval at a time from t until a file larger than the minimum
// size exists, at most the given number of tries; the last name tried stays in out_name.
// Returns the tries made and moves t and *pp on.
int find_latest(const char** pp, std::int64_t* tp, int direction, char* out_name) {
  const char*& p = *pp;
  std::int64_t& t = *tp;
  ++p;
  if (*p == 'a' || *p == 'A') ++p;
  int limit = kLatestLimit;
  if (*p == '#' && is_digit(p[1])) {
    ++p;
    int v = 0;
    for (int k = 0; k < kMaxLatestDigits && is_digit(*p); ++k) v = v * 10 + (*p++ - '0');
    limit = std::max(v, 1);
  }
  int tries = 0;
  while (true) {
    Date d = date_of(t);
    MESS_print(kTraceDebug, "LATE:%d %d %d %d %d\n", d.year, d.month, d.day, d.hour, d.min);
    FILE_set_date(&d, out_name);
    MESS_print(kTraceDebug, "LATE: %s\n", out_name);
    long size = FILE_size(out_name);
    if ((rmin_size > 0 && size > rmin_size) || size > min_size) break;
    if (++tries >= limit) break;  // the last name tried stays
    t += interval() * direction;
  }
  return tries;
}

}  // namespace

// Chooses the file for a time specification and writes its name into `out_name`: a start
// time ("#yyyy[mm[dd[hh[nn]]]]", else "zudcurtime", else now), moved to the requested
// fields, an offset ("-12", "+1d6", "-0:30"), a latest-file search ("la", "la#48": back
// one file interval at a time until a file larger than the minimum size exists) and a
// second offset. Null means "la". Returns the chosen time in seconds since 1970, rounded
// down to a multiple of the file interval.
long FILE_set_current(const char* cur, char* out_name) {
  if (!cur) cur = "la";
  filename_type = 0;
  const char* p = cur;
  std::int64_t t = 0;
  int used = 0;
  if (*p == '#' && time_from_digits(p + 1, &t, &used)) {
    p += 1 + used;
  } else {
    if (*p == '#') {  // no four-digit year: the "#" and its digits are passed over
      ++p;
      while (is_digit(*p)) ++p;
    }
    t = start_time();
  }

  t = to_requested_fields(t);

  int direction = read_sign(&p);
  if (is_digit(*p)) {
    t += direction * read_offset(&p, "CUR1", direction);
    MESS_print(kTraceDebug, "CUR1:%s %ld\n", p, static_cast<long>(t));
    direction = read_sign(&p);
  }
  if (*p == 'l' || *p == 'L') {
    const int tries = find_latest(&p, &t, direction, out_name);
    MESS_print(kTraceDebug, "LATEST: %s %s %d\n", cur, out_name, tries);
    direction = read_sign(&p);
  }
  if (is_digit(*p)) {
    t += direction * read_offset(&p, "CUR2", direction);
    MESS_print(kTraceDebug, "CUR2:%ld\n", static_cast<long>(t));
  }
  Date d = date_of(t);
  MESS_print(kTraceDebug, "%d %d %d %d\n", d.year, d.month, d.day, d.hour);
  FILE_set_date(&d, out_name);
  return static_cast<long>(t / interval() * interval());
}

// Lists the existing files that fit the template, names across the lines, on the
// standard output. The template becomes a file-name pattern matched by a directory scan
// (no shell): date digits become digit classes, directory codes their paths, keys their
// values. Returns 0.
int FILE_list_file() {
  const std::string& tmpl = active_template();
  std::string pattern;
  for (std::size_t t = 0; t < tmpl.size();) {
    Element e = parse_element(tmpl, t);
    t = e.next;
    switch (e.kind) {
      case Kind::kChar:
        pattern += e.code == ' ' ? '_' : e.code;  // generated names carry "_" for a blank
        break;
      case Kind::kStar:
        pattern += '*';
        break;
      case Kind::kOpen:
      case Kind::kClose:
        break;
      case Kind::kExt:
        pattern += ext.empty() ? "*" : ext;
        break;
      case Kind::kDir:
      case Kind::kResDir:
        put_dir(dir_value(e), tmpl, &t, &pattern);
        break;
      case Kind::kKey: {
        const std::string& k = keys[static_cast<unsigned char>(e.code)];
        pattern += !k.empty() ? k : (e.has_count ? std::string(e.count, '?') : "*");
        break;
      }
      case Kind::kDate:
        if (e.code == 'Y') pattern += "?[0-9]??";
        else if (e.code == 'j') pattern += "?[0-9]?";
        else if (e.code == 'b') pattern += "?[a-z]?";
        else pattern += "[0-9]?";
        break;
    }
  }
  if (pattern.empty()) pattern.assign(1, '*');  // no template: the working directory
  MESS_print(kTraceDebug, "SEARCH: %s\n", pattern.c_str());
  std::vector<std::string> names;
  glob_t g{};
  if (glob(pattern.c_str(), GLOB_TILDE, nullptr, &g) == 0)
    for (std::size_t i = 0; i < g.gl_pathc; ++i) names.emplace_back(g.gl_pathv[i]);
  globfree(&g);
  std::fflush(stdout);
  print_columns(names);
  std::fflush(stdout);
  return 0;
}

// Copies the date of the current file into *date. Returns 0.
int FILE_get_date(Date* date) {
  if (date) *date = file_date;
  return 0;
}


// The package's current time, seconds since 1970 UTC: "zudcurtime" when it holds a date,
// else the clock. Programs that date data by it (the ingest) share the rule of the file
// selection.
std::int64_t FILE_get_current_time() { return start_time(); }

// Finds the input file: the first positional name ("list" lists the files and ends the
// program), else the "current" resource, else in batch mode the latest file, else the
// user's answer to `prompt` after a listing (up to 4 tries; "exit" ends, "list" lists
// again). The name goes to `outfile` (kMaxName characters) when given. Returns 1 when
// the file exists (0 for a positional name that does not); ends the program with status
// 10 when no file is found otherwise.
int FILE_get_file(const char* prompt, char* outfile) {
  std::string first = first_file_name();
  if (!first.empty()) {
    if (!stricmp(first.c_str(), "list")) {
      FILE_list_file();
      ZUD_exit(kExitOk);
    }
    filename_type = 1;
    FILE_set_file(first.c_str(), filename);
    if (outfile) copy_out(filename, outfile);
    return FILE_exist(filename);
  }
  if (const char* cur = RES_get("current")) return current_or_exit(cur, outfile);
  if (FLAG_batch()) return current_or_exit("la", outfile);

  MESS_print(kLevelPrint, "List of available files:\n");
  FILE_list_file();
  MESS_print(kLevelPrint, "\n");
  for (int tries = 0; tries < kRetry; ++tries) {
    filename_type = 1;
    char answer[kAnswerSize] = "";
    ZUD_prompts(prompt ? prompt : "", answer, kAnswerSize);
    if (!stricmp(answer, "exit")) ZUD_exit(kExitOk);
    if (!stricmp(answer, "list")) {
      FILE_list_file();
      continue;
    }
    std::string typed = answer;
    if (typed.empty()) {
      filename[0] = '\0';  // no answer (or the end of the input) names no file
    } else if (typed[0] == '#' || !strnicmp(answer, "la", 2) || !strnicmp(answer, "cu", 2)) {
      bool cu = !strnicmp(answer, "cu", 2);
      FILE_set_current(answer + (cu ? 2 : 0), filename);
      MESS_print(kLevelMess, "Current filename: %s\n", filename);
    } else {
      FILE_set_file(answer, filename);
    }
    if (outfile) copy_out(filename, outfile);
    if (filename[0] && FILE_exist(filename)) return 1;
    MESS_print(kLevelWarn, "File not found: %s\n", filename);
  }
  ZUD_exit(kExitNoFile);
}
