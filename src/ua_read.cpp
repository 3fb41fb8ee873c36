// ua_read.cpp — reading upper-air files: layout detection, the date line, station blocks.
//
// One upper-air file is open per process. The converted text layouts are read token by
// token through buffered stdio; the start of the block read last is remembered, so that
// reading the same station twice in a row (identification first, then the whole report)
// seeks back instead of rescanning the file, and increasing station numbers cost one pass.
//
// A block is read whole even when it is damaged: a short block of the line-counted layouts
// (kinds 1 to 3) stops at its last line, a block of kinds 4 and 5 at its "$" end mark, so
// missing groups never shift the blocks after it. (Only "$" ends a kind 4 or 5 block: one
// that lost it runs on into the next.)
//
// Reading is dispatched on the file kind; the text layouts live in the section below,
// the netCDF layouts (kinds 11, 12) have a branch of their own.

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "zudcdf.h"
#include "zudupa.h"

// State of an open netCDF file (kinds 11, 12): one record per station report along the
// unlimited dimension, levels along "mant_level", "sigt_level" and "sigw_level".
namespace {

// The mandatory, significant-temperature and significant-wind variables, in the order of
// their tables of names.
enum ManVar { kManP, kManZ, kManT, kManTd, kManDir, kManSpd, kManVars };
enum SigVar { kSigP, kSigT, kSigTd, kSigVars };
enum WndVar { kWndZ, kWndDir, kWndSpd, kWndVars };

// Handles and sizes looked up when a netCDF file is opened; -1 for absent names.
struct CdfFile {
  int fd = -1;          // netCDF handle of the open file
  int num_station = 0;  // records along the unlimited dimension
  int mant_size = -1;   // stored mandatory levels per record, -1 when unknown
  int sigt_size = -1;   // stored significant temperature levels per record
  int sigw_size = -1;   // stored significant wind levels per record
  int id = -1;          // station identifier text
  int region = -1;      // region code text
  int type = -1;        // report origin text (looked up, never read)
  int idn = -1;         // WMO number
  int lat = -1;         // latitude, degrees north
  int lon = -1;         // longitude, degrees east
  int num_mant = -1;    // mandatory levels in use
  int num_sigt = -1;    // significant temperature levels in use
  int num_sigw = -1;    // significant wind levels in use
  int man[kManVars] = {-1, -1, -1, -1, -1, -1};  // mandatory level variables
  int sig[kSigVars] = {-1, -1, -1};              // significant temperature variables
  int wnd[kWndVars] = {-1, -1, -1};              // significant wind variables
};
CdfFile cdf;           // the open netCDF file
float version = 1.1f;  // layout version: 1.0 for older files storing longitudes east-negative

}  // namespace

namespace {

// Limits of the text layouts.
constexpr int kMaxToken = 39;            // longest token a block may carry (station token)
constexpr int kTokenCap = kMaxToken + 1; // token buffer, with its terminator
constexpr int kMaxId = 10;               // longest station identifier kept
constexpr int kMaxDateLabel = 39;        // longest date label kept (UPA_info.datim)
constexpr int kMaxHeaderWord = 9;        // first word read by kind detection
constexpr int kHeadWordLen = 7;          // "ZUDUPA+" and "ZUDUPAx"
constexpr int kShortLongSplit = 22;      // third-line number: below is kind 1, else kind 2
constexpr int kKind3Slots = 28;          // significant and wind slots of a kind 3 block
constexpr int kShortSig = 14;            // significant slots of a kind 1 block
constexpr int kShortWnd = 16;            // fixed wind heights of a kind 1 block
constexpr int kLongSig = 21;             // significant slots of a kind 2 block
constexpr int kLongWnd = 21;             // fixed wind heights of a kind 2 block
constexpr int kShortLines = 5;           // lines of a kind 1 block
constexpr int kLongLines = 7;            // lines of a kind 2 block
constexpr int kKind3Lines = 12;          // lines of a kind 3 block
constexpr int kManSlots = 17;            // surface plus the 16 mandatory levels
constexpr int kShortManSlots = 5;        // kind 1: surface plus four levels
constexpr int kLongManSlots = 11;        // kind 2: surface plus slots up to 200 mb
constexpr int kFirstUpperSlot = 17;      // first slot above 10 mb
constexpr int kUpperManCount = 19;       // numman before the levels above 10 mb are added
constexpr int kQuirkSigCount = 50;       // kinds 4, 5 write one extra token after 50 levels
constexpr int kSlot925 = 2;              // mandatory slot of 925 mb
constexpr int kSlot850 = 3;              // mandatory slot of 850 mb
constexpr double kSurfaceMinP = 500.0;   // a first significant level above this is the surface

// Fixed wind heights (feet) of the headerless layouts.
constexpr float kShortWndHeights[kShortWnd] = {0,    1000, 2000, 3000,  4000,  5000,  6000,  7000,
                                               8000, 9000, 10000, 12000, 14000, 15000, 16000, 18000};
constexpr float kLongWndHeights[kLongWnd] = {0,     1000,  2000,  3000,  4000,  5000,  6000,
                                             7000,  8000,  9000,  10000, 12000, 14000, 16000,
                                             20000, 25000, 30000, 35000, 40000, 45000, 50000};

// How the open stream is given back when another file replaces it.
enum class Closer { none, file, pipe };

// The open file and where the reader stands in it.
FILE* cvt_file = nullptr;         // stream of the open file (text and binary kinds)
Closer cvt_closer = Closer::none; // how cvt_file is closed: standard streams stay open
int file_type = 0;                // kind code of the open file, 0 when none
int file_access = 0;              // 0 read, 1 write
int stat_num = 0;                 // block at which the stream stands
long block_pos = -1;              // offset of block stat_num's station token, -1 when unknown
bool block_consumed = false;      // block stat_num was read: the stream stands past its start
bool at_blocks = false;           // the header and date lines are behind the stream

constexpr std::size_t kStreamBuf = 1 << 16;  // read buffer of a text layout, bytes
char stream_buf[kStreamBuf];                 // the open stream's buffer while reading

// Scanning state of the block being read.
struct BlockScan {
  int line = 0;                // line ends crossed since the station token's line began
  int line_limit = 0;          // lines of the block (kinds 1-3); 0 when "$" ends it
  bool ended = false;          // the block's end was reached: last line, "$" or end of file
  bool end_mark = false;       // the "$" of a kind 4 or 5 block was read
  bool incomplete = false;     // a group the layout requires was absent
  bool has_pending = false;    // a token read ahead waits in `pending`
  char pending[kTokenCap] = {};
};
BlockScan scan;  // the block under the reader

// Characters that separate tokens; NUL counts as one so binary data cannot yield empty tokens.
bool is_blank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0';
}

// The text layouts, one row each: how a file announces the layout and the shape of its
// blocks. A new layout is a row here plus its decoding quirks, if any, in the readers.
struct TextLayout {
  int kind;                  // UPA_KIND_* code
  bool headed;               // a "ZUDUPA..." header line precedes the date line
  char head_mark;            // seventh character of a seven-character header word, 0: none
  int block_lines;           // lines of a block; 0 when a "$" ends it
  int man_slots;             // mandatory slots of a block (surface included)
  int sig_slots;             // significant-level slots, or the record's cap for open lists
  int wnd_slots;             // wind slots, or the record's cap for open lists
  const float* wnd_heights;  // fixed wind heights (ft) of the slots, null when given
  bool padded;               // an "X"-ended list is padded to its slot count
  bool colon_station;        // the station token is wmo:id:lat:lon
};
constexpr TextLayout kTextLayouts[] = {
    {UPA_KIND_SHORT, false, 0, kShortLines, kShortManSlots, kShortSig, kShortWnd,
     kShortWndHeights, false, false},
    {UPA_KIND_LONG, false, 0, kLongLines, kLongManSlots, kLongSig, kLongWnd, kLongWndHeights,
     false, false},
    {UPA_KIND_ZUDUPA, true, 0, kKind3Lines, kManSlots, kKind3Slots, kKind3Slots, nullptr, true,
     false},
    {UPA_KIND_PLUS, true, '+', 0, kManSlots, UPA_MAX_SIG, UPA_MAX_WND, nullptr, false, false},
    {UPA_KIND_X, true, 'x', 0, kManSlots, UPA_MAX_SIG, UPA_MAX_WND, nullptr, false, true},
};

// The row of a text layout kind, null for any other kind.
const TextLayout* layout_of(int kind) {
  for (const TextLayout& l : kTextLayouts)
    if (l.kind == kind) return &l;
  return nullptr;
}

bool text_kind(int kind) { return layout_of(kind) != nullptr; }
bool headed_kind(int kind) { return text_kind(kind) && layout_of(kind)->headed; }
// Blocks that a "$" ends, with open significant and wind lists.
bool marked_kind(int kind) { return text_kind(kind) && layout_of(kind)->block_lines == 0; }

int get_char() { return getc_unlocked(cvt_file); }

// Passes over the stream up to and including the next `ch`. False when the file ends
// first. Skipping is what a search for the last station of a large file spends its time
// on, so with the GNU C library the characters already in the stream's buffer are
// searched at once with memchr instead of one getc at a time (the buffer pointers are
// the library's documented-by-use stream fields, as gnulib's freadptr reads them).
bool skip_past(int ch) {
  for (;;) {
#if defined(__GLIBC__)
    char* p = cvt_file->_IO_read_ptr;
    char* end = cvt_file->_IO_read_end;
    if (p < end) {
      void* at = std::memchr(p, ch, static_cast<std::size_t>(end - p));
      cvt_file->_IO_read_ptr = at ? static_cast<char*>(at) + 1 : end;
      if (at) return true;
    }
#endif
    int c = get_char();  // refills the buffer, or reports the end
    if (c == EOF) return false;
    if (c == ch) return true;
  }
}

// ---- numbers inside groups --------------------------------------------------------------

// Reads the fixed-width integer field of `width` characters at the start of `s` (a
// leading minus, where allowed, takes one of them). False when the field is short or holds
// anything but digits, so that a damaged group never yields a wrong value.
bool field_int(const char* s, int width, bool allow_sign, int* value) {
  int i = 0;
  bool neg = false;
  if (allow_sign && s[0] == '-') neg = s[i++] == '-';
  if (i == width) return false;
  int v = 0;
  for (; i < width; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  *value = neg ? -v : v;
  return true;
}

// A whole token that is an unsigned integer of at most nine digits.
bool whole_int(const char* s, int* value) {
  int len = static_cast<int>(std::strlen(s));
  return len > 0 && len <= 9 && field_int(s, len, false, value);
}

// A whole token that is a decimal number (digits with at most one point; a leading sign
// when `allow_sign`). Hexadecimal, exponents and words are rejected.
bool whole_decimal(const char* s, bool allow_sign, double* value) {
  int i = 0;
  bool neg = false;
  if (allow_sign && (s[0] == '-' || s[0] == '+')) neg = s[i++] == '-';
  double v = 0.0;
  double scale = 0.0;  // weight of the next fraction digit, 0 before the point
  int digits = 0;
  for (; s[i]; ++i) {
    if (s[i] == '.' && scale == 0.0) {
      scale = 0.1;
    } else if (s[i] >= '0' && s[i] <= '9') {
      if (scale == 0.0) {
        v = v * 10.0 + (s[i] - '0');
      } else {
        v += scale * (s[i] - '0');
        scale /= 10.0;
      }
      if (++digits > 15) return false;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  *value = neg ? -v : v;
  return true;
}

}  // namespace

// ---- group decoders ---------------------------------------------------------------------

// Decodes a PPhhh group into pressure (mb) and height (m). Returns 0, or -1 when the
// group is missing ("X", PP 99, unreadable PP: both missing) or its height digits cannot
// be read (the pressure is then kept, 1000 and 925 mb named by their codes).
int decd_ph(const char* str, float* pres, float* hght) {
  *pres = MISSING;
  *hght = MISSING;
  if (!str || str[0] == 'X') return -1;
  int pp = 0;
  if (!field_int(str, 2, true, &pp) || pp == 99) return -1;
  int p = pp > 0 ? 10 * pp : -pp;  // "00" reads 0 (1000 mb), "-7" reads 7 mb
  int hhh = 0;
  bool have_h = field_int(str + 2, 3, false, &hhh);
  // The codes 00 and 92 name 1000 and 925 mb whether or not the height could be read.
  *pres = static_cast<float>(p == 0 ? 1000 : (p == 920 ? 925 : p));
  if (!have_h) return -1;

  double h = hhh;  // any other level keeps the digits as they stand
  switch (p) {
    case 0: h = hhh >= 500 ? 500 - hhh : hhh; break;  // 500 and up: below sea level
    case 920: h = hhh; break;
    case 850: h = 1000 + hhh; break;
    case 700: h = hhh > 500 ? 2000 + hhh : 3000 + hhh; break;
    case 500: case 400: h = 10.0 * hhh; break;  // decametres from here up
    case 300: case 250: h = hhh > 500 ? 10.0 * hhh : 10000 + 10.0 * hhh; break;
    case 200: case 150: case 100: case 70: h = 10000 + 10.0 * hhh; break;
    case 50: h = hhh > 500 ? 10000 + 10.0 * hhh : 20000 + 10.0 * hhh; break;
    case 30: case 20: h = 20000 + 10.0 * hhh; break;
    case 10: h = hhh > 500 ? 20000 + 10.0 * hhh : 30000 + 10.0 * hhh; break;
    case 7: case 5: h = 30000 + 10.0 * hhh; break;
    case 3: case 2: h = hhh > 500 ? 30000 + 10.0 * hhh : 40000 + 10.0 * hhh; break;
    case 1: h = hhh > 500 ? 40000 + 10.0 * hhh : 50000 + 10.0 * hhh; break;
    default: break;
  }
  *hght = static_cast<float>(h);
  return 0;
}

// Decodes a TTTdd group into temperature and dew point (deg C). Returns 0, or -1 when the
// group is missing ("X", TTT 999 or unreadable); a dd of 99 leaves only the dew point missing.
int decd_td(const char* str, float* temp, float* dewpt) {
  *temp = MISSING;
  *dewpt = MISSING;
  if (!str || str[0] == 'X') return -1;
  int ttt = 0;
  if (!field_int(str, 3, false, &ttt) || ttt == 999) return -1;
  double t = ttt / 10.0;
  if (ttt % 2 == 1) t = -t;  // an odd tenths digit marks a temperature below zero
  *temp = static_cast<float>(t);
  int dd = 0;
  if (!field_int(str + 3, 2, false, &dd) || dd == 99) return 0;
  double dep = dd <= 50 ? dd / 10.0 : dd - 50.0;  // tenths up to 5.0, whole degrees above
  *dewpt = static_cast<float>(t - dep);
  return 0;
}

// Decodes a dddff group into direction (deg) and speed (knots). Returns 0, with both
// missing for a "999" direction or an impossible wind (over 250 knots or 360 deg); -1
// when the group is missing ("X" or unreadable).
int decd_wd(const char* str, float* dir, float* spd) {
  *dir = MISSING;
  *spd = MISSING;
  if (!str || str[0] == 'X') return -1;
  int ddd = 0;
  int ff = 0;
  if (!field_int(str, 3, false, &ddd) || !field_int(str + 3, 2, false, &ff)) return -1;
  if (ddd == 999) return 0;
  int speed = (ddd % 5) * 100 + ff;  // the direction's units digit carries the hundreds
  int direction = ddd - ddd % 5;
  if (speed > 250 || direction > 360) return 0;
  *dir = static_cast<float>(direction);
  *spd = static_cast<float>(speed);
  return 0;
}

namespace {

// Sets the identification and location of a report to "nothing known".
void initialize_station(UPA_report* r) {
  std::memset(r->id, 0, sizeof r->id);
  std::memset(r->area, 0, sizeof r->area);
  r->wmo = IMISSING;
  r->lat = r->lon = r->elev = MISSING;
  r->time = IMISSING;
}

// The identification and the mandatory slots "nothing known", no levels counted; the
// significant and wind entries, none of them in use, are left as they were.
void initialize_ident(UPA_report* r) {
  static const auto kNoLevels = [] {
    std::array<UPA_level, UPA_MAX_MAN> a;
    a.fill(UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING});
    return a;
  }();
  static_assert(sizeof kNoLevels == sizeof r->man);
  initialize_station(r);
  std::memcpy(r->man, kNoLevels.data(), sizeof r->man);  // one block copy per station passed
  r->numman = r->numsig = r->numwnd = 0;
}

}  // namespace

// Sets a report to "nothing known": empty identification, every level value missing, no
// levels counted. The report kind code is left as it was. Returns 0.
int UPA_initialize(UPA_report* report) {
  if (!report) return 0;
  initialize_ident(report);
  for (auto& s : report->sig) s = UPA_sig_level{MISSING, MISSING, MISSING};
  for (auto& w : report->wnd) w = UPA_wnd_level{MISSING, MISSING, MISSING};
  return 0;
}

// ---- text layouts -----------------------------------------------------------------------

namespace {

// Passes over the rest of the current line. False when the file ends first.
bool skip_line() { return skip_past('\n'); }

// Passes over blanks up to the next token. False when only blanks remain.
bool skip_blanks() {
  int c;
  while ((c = get_char()) != EOF && is_blank(c)) {
  }
  if (c == EOF) return false;
  std::ungetc(c, cvt_file);
  return true;
}

// Rewinds the text stream and passes over the header and date lines, so that it stands
// at the first block. Returns 0, or -1 when the stream cannot be repositioned.
int text_rewind() {
  stat_num = 0;
  block_pos = -1;
  block_consumed = false;
  at_blocks = false;
  if (std::fseek(cvt_file, 0L, SEEK_SET) != 0) return -1;
  if (headed_kind(file_type)) skip_line();
  skip_line();
  at_blocks = true;
  return 0;
}

// Lines of one block in the line-counted layouts; 0 for kinds 4, 5, which end at "$".
int block_lines() { return text_kind(file_type) ? layout_of(file_type)->block_lines : 0; }

// Passes over one block from the stream's position: a counted number of lines, or
// everything up to and including the next "$" and its line end.
void skip_block() {
  int lines = block_lines();
  if (lines > 0) {
    for (int i = 0; i < lines; ++i)
      if (!skip_line()) return;
    return;
  }
  if (skip_past('$')) skip_line();
}

// Starts scanning the block that begins at the stream.
void begin_block() {
  scan = BlockScan{};
  scan.line_limit = block_lines();
}

// First character of the next token of the block, or EOF when the block has ended
// (its last line is done, its end mark was read or the file ends).
int token_start() {
  if (scan.ended) return EOF;
  int c;
  while ((c = get_char()) != EOF && is_blank(c)) {
    if (c == '\n' && ++scan.line >= scan.line_limit && scan.line_limit > 0) {
      scan.ended = true;
      return EOF;
    }
  }
  if (c == EOF) scan.ended = true;
  return c;
}

// Reads the next token of the block into `tok` (at most kMaxToken characters; the rest
// of a longer token is passed over, so the groups after it stay in step). False at the
// block's end; a "$" of kinds 4 and 5 ends the block.
bool read_token(char* tok) {
  if (scan.has_pending) {
    std::memcpy(tok, scan.pending, kTokenCap);
    scan.has_pending = false;
    return true;
  }
  tok[0] = '\0';
  int c = token_start();
  if (c == EOF) return false;
  int n = 0;
  while (c != EOF && !is_blank(c)) {
    if (n < kMaxToken) tok[n++] = static_cast<char>(c);
    c = get_char();
  }
  tok[n] = '\0';
  if (c != EOF) std::ungetc(c, cvt_file);
  if (marked_kind(file_type) && tok[0] == '$') {
    scan.ended = scan.end_mark = true;
    return false;
  }
  return true;
}

// A token the layout requires; its absence marks the block incomplete (the values it
// would carry stay missing).
bool need_token(char* tok) {
  if (read_token(tok)) return true;
  scan.incomplete = true;
  return false;
}

// The next token of a list that ends at "X" (or at "$" in kinds 4, 5). False at the end of
// the list; a block that ends where the list should end properly is marked incomplete.
bool list_token(char* tok, bool dollar_ends) {
  if (!read_token(tok)) {
    if (!(dollar_ends && scan.end_mark)) scan.incomplete = true;
    return false;
  }
  return tok[0] != 'X';
}

// The significant-level count of kinds 1, 2: up to two digits, like "%2d" (a count may
// touch the first pressure). A count that cannot be read is 0.
int read_count() {
  int c = token_start();
  if (c == EOF) {
    scan.incomplete = true;
    return 0;
  }
  int n = 0;
  int digits = 0;
  while (digits < 2 && c >= '0' && c <= '9') {
    n = n * 10 + (c - '0');
    ++digits;
    c = get_char();
  }
  if (digits == 0) {  // not a number: pass over the word
    while (c != EOF && !is_blank(c)) c = get_char();
  }
  if (c != EOF) std::ungetc(c, cvt_file);
  return n;
}

// Passes over the rest of the block: to its last line (kinds 1-3) or past its "$" and
// line end (kinds 4, 5).
void finish_block() {
  scan.has_pending = false;
  if (scan.line_limit > 0) {
    while (scan.line < scan.line_limit) {
      if (!skip_line()) break;
      ++scan.line;
    }
    scan.ended = true;
    return;
  }
  if (!scan.end_mark) {
    if (!skip_past('$')) {
      scan.incomplete = true;
      scan.ended = true;
      return;
    }
  }
  skip_line();
  scan.ended = true;
}

// Stores the station token: kind 5 carries WMO number, identifier, latitude and longitude
// separated by colons; the other kinds the identifier alone. Identifiers keep at most
// kMaxId characters.
void set_id(UPA_report* r, const char* id) {
  static_assert(sizeof r->id > kMaxId);
  const std::size_t n = strnlen(id, kMaxId);  // a search sets thousands: no printf here
  std::memcpy(r->id, id, n);
  r->id[n] = '\0';
}

void set_station(UPA_report* r, const char* tok) {
  if (!text_kind(file_type) || !layout_of(file_type)->colon_station) {
    set_id(r, tok);
    return;
  }
  char part[4][kTokenCap] = {};
  int parts = 0;
  int len = 0;
  for (const char* c = tok;; ++c) {
    if (*c == ':' || *c == '\0') {
      part[parts][len] = '\0';
      ++parts;
      len = 0;
      if (*c == '\0' || parts == 4) break;
    } else if (len < kMaxToken) {
      part[parts][len++] = *c;
    }
  }
  int wmo = 0;
  double v = 0.0;
  if (parts == 1 && !whole_int(part[0], &wmo)) {  // a bare identifier
    set_id(r, part[0]);
    return;
  }
  if (whole_int(part[0], &wmo)) r->wmo = wmo;
  if (parts > 1) set_id(r, part[1]);
  if (parts > 2 && whole_decimal(part[2], true, &v)) r->lat = static_cast<float>(v);
  if (parts > 3 && whole_decimal(part[3], true, &v)) r->lon = static_cast<float>(v);
}

// Significant-level pressure (mb) from its token; a token that begins with '0' and reads
// below 100 carries the thousands implicitly (013 is 1013 mb). Missing when not a number.
float sig_pressure(const char* tok) {
  double v = 0.0;
  if (!whole_decimal(tok, false, &v)) return MISSING;
  if (tok[0] == '0' && v < 100.0) v += 1000.0;
  return static_cast<float>(v);
}

// Decodes the next group of the block with `decode` into two values.
void next_group(int (*decode)(const char*, float*, float*), float* a, float* b) {
  char tok[kTokenCap];
  if (need_token(tok)) decode(tok, a, b);
}

// The first raw tokens of the level lists, kept for the surface form of a read.
struct FirstTokens {
  char sig_p[kTokenCap] = {};  // first significant pressure token, empty when none
  char wnd_h[kTokenCap] = {};  // first wind height token, empty when none
};

// Mandatory triples into slots 1 to numman - 1. Kind 2 has no 925, 250 and 150 mb
// triples; kind 3 may lack 925 mb altogether (older data).
void read_mandatory(UPA_report* r) {
  char tok[kTokenCap];
  for (int i = 1; i < r->numman; ++i) {
    if (file_type == UPA_KIND_LONG && (i == 2 || i == 8 || i == 10)) continue;
    UPA_level& m = r->man[i];
    if (need_token(tok)) decd_ph(tok, &m.p, &m.h);
    if (file_type == UPA_KIND_ZUDUPA && i == kSlot925 && (m.p == 850.0f || m.p == MISSING)) {
      // An 850 mb triple here means the file carries no 925 mb level. A missing triple is
      // taken the same way unless the next triple is the 850 mb one: then it was 925 mb.
      char td[kTokenCap] = {};
      char wd[kTokenCap] = {};
      need_token(td);
      need_token(wd);
      bool lacks925 = true;
      if (m.p == MISSING && read_token(scan.pending)) {
        scan.has_pending = true;
        float p = MISSING;
        float h = MISSING;
        decd_ph(scan.pending, &p, &h);
        lacks925 = p != 850.0f;
      }
      UPA_level& dest = lacks925 ? r->man[kSlot850] : m;
      if (lacks925) {
        dest.p = 850.0f;
        dest.h = m.h;
        m = UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
        i = kSlot850;
      }
      if (td[0]) decd_td(td, &dest.t, &dest.td);
      if (wd[0]) decd_wd(wd, &dest.dir, &dest.spd);
      continue;
    }
    next_group(decd_td, &m.t, &m.td);
    next_group(decd_wd, &m.dir, &m.spd);
  }
}

// Kinds 3-5: levels above 10 mb, then the tropopause and the maximum wind. Their 88PPP and
// 77PPP groups are PPhhh groups with the fields' roles exchanged: PPP is the pressure.
void read_upper_levels(UPA_report* r) {
  char tok[kTokenCap];
  r->numman = kUpperManCount;
  bool have = need_token(tok);
  for (int slot = kFirstUpperSlot; have && slot < UPA_SLOT_TROP && tok[0] == '-'; ++slot) {
    UPA_level& m = r->man[slot];
    decd_ph(tok, &m.p, &m.h);
    next_group(decd_td, &m.t, &m.td);
    next_group(decd_wd, &m.dir, &m.spd);
    have = need_token(tok);
    ++r->numman;
  }
  UPA_level& tr = r->man[UPA_SLOT_TROP];
  if (have) decd_ph(tok, &tr.h, &tr.p);
  tr.h = MISSING;
  next_group(decd_td, &tr.t, &tr.td);
  next_group(decd_wd, &tr.dir, &tr.spd);
  UPA_level& mw = r->man[UPA_SLOT_MWND];
  next_group(decd_ph, &mw.h, &mw.p);
  mw.h = mw.t = mw.td = MISSING;
  next_group(decd_wd, &mw.dir, &mw.spd);
}

// Significant levels with respect to temperature. Levels beyond the record's 200 are read
// past and dropped; kinds 1-3 pass over their unused slots. Returns the number of levels
// an open list (kinds 4, 5) held beyond the record's room.
int read_significant(UPA_report* r, FirstTokens* first) {
  char tok[kTokenCap];
  const bool open_list = marked_kind(file_type);
  const int wanted = r->numsig;  // open lists run to their "X"
  int i = 0;
  bool ended_by_x = false;
  for (; open_list || i < wanted; ++i) {
    if (!list_token(tok, false)) {
      ended_by_x = tok[0] == 'X';
      break;
    }
    if (i == 0) std::memcpy(first->sig_p, tok, kTokenCap);
    if (i >= UPA_MAX_SIG) {
      read_token(tok);  // the level's TTTdd, dropped with it
      continue;
    }
    UPA_sig_level& s = r->sig[i];
    s.p = sig_pressure(tok);
    next_group(decd_td, &s.t, &s.td);
    if (i == 0 && s.p != MISSING && s.p > kSurfaceMinP) {
      r->man[0].p = s.p;
      r->man[0].t = s.t;
      r->man[0].td = s.td;
    }
  }
  r->numsig = i < UPA_MAX_SIG ? i : UPA_MAX_SIG;

  const TextLayout& layout = *layout_of(file_type);
  if (layout.padded) {
    // The "X" that ended the list filled one slot; one token per slot left.
    for (int k = i + (ended_by_x ? 1 : 0); k < layout.sig_slots; ++k) need_token(tok);
  } else if (!open_list) {
    for (int k = i; k < layout.sig_slots; ++k) {
      need_token(tok);
      need_token(tok);
    }
  } else if (i == kQuirkSigCount) {
    read_token(tok);  // the converters write one extra token after exactly 50 levels
  }
  return open_list && i > UPA_MAX_SIG ? i - UPA_MAX_SIG : 0;
}

// Significant levels with respect to wind: height tokens and dddff groups (kinds 3-5), or
// dddff groups at the preset fixed heights (kinds 1, 2). A first level at 0 ft is the
// surface wind. Returns the number of levels an open list (kinds 4, 5) held beyond the
// record's 100.
int read_winds(UPA_report* r, FirstTokens* first) {
  char tok[kTokenCap];
  const bool headerless = !headed_kind(file_type);
  const bool open_list = marked_kind(file_type);
  const int wanted = r->numwnd;
  int i = 0;
  bool ended_by_x = false;
  for (; open_list || i < wanted; ++i) {
    if (headerless) {
      next_group(decd_wd, &r->wnd[i].dir, &r->wnd[i].spd);
    } else {
      if (!list_token(tok, open_list)) {
        ended_by_x = tok[0] == 'X';
        break;
      }
      if (i == 0) std::memcpy(first->wnd_h, tok, kTokenCap);
      if (i >= UPA_MAX_WND) {
        read_token(tok);  // the level's dddff, dropped with it
        continue;
      }
      int hh = 0;
      r->wnd[i].h = whole_int(tok, &hh) ? 1000.0f * static_cast<float>(hh) : MISSING;
      next_group(decd_wd, &r->wnd[i].dir, &r->wnd[i].spd);
    }
    if (i == 0 && r->wnd[0].h == 0.0f) {
      r->man[0].dir = r->wnd[0].dir;
      r->man[0].spd = r->wnd[0].spd;
    }
  }
  r->numwnd = i < UPA_MAX_WND ? i : UPA_MAX_WND;
  const TextLayout& layout = *layout_of(file_type);
  if (layout.padded)
    for (int k = i + (ended_by_x ? 1 : 0); k < layout.wnd_slots; ++k) need_token(tok);
  return open_list && i > UPA_MAX_WND ? i - UPA_MAX_WND : 0;
}

// Reads the whole block at the stream into `r` (already initialised). Returns 0, or -1
// when the block has no station token.
int read_whole(UPA_report* r, FirstTokens* first) {
  const TextLayout& layout = *layout_of(file_type);
  r->numman = layout.man_slots;
  r->numsig = layout.sig_slots;
  r->numwnd = layout.wnd_slots;
  if (layout.wnd_heights != nullptr)
    for (int i = 0; i < layout.wnd_slots; ++i) r->wnd[i].h = layout.wnd_heights[i];
  char tok[kTokenCap];
  if (!read_token(tok)) {
    finish_block();
    return -1;
  }
  set_station(r, tok);
  read_mandatory(r);
  if (headed_kind(file_type)) read_upper_levels(r);
  if (!headed_kind(file_type)) r->numsig = read_count();
  const int sig_dropped = read_significant(r, first);
  const int wnd_dropped = read_winds(r, first);
  // Without significant levels the lowest level with a pressure but no temperature is
  // taken as the surface.
  if (r->numsig == 0 && r->man[1].t == MISSING) {
    r->man[0].p = r->man[1].p;
  } else if (r->numsig == 0 && r->man[2].t == MISSING) {
    r->man[0].p = r->man[2].p;
  }
  finish_block();
  if (scan.incomplete)
    MESS_print(MESS_WARN, "UPA_read: Station block %d (%s) is incomplete\n", stat_num, r->id);
  // A report holds 200 significant and 100 wind levels; a longer ascent loses its top.
  if (sig_dropped > 0 || wnd_dropped > 0)
    MESS_print(MESS_WARN,
               "UPA_read: Station %s: %d significant and %d wind levels beyond the report's "
               "200 and 100 dropped\n",
               r->id, sig_dropped, wnd_dropped);
  return 0;
}

// The surface from a whole read, by the surface form's own rules: a first pressure of
// three characters below 100 carries the thousands, the surface needs 500 mb or more,
// and only a height token of two or more characters reading 0 gives the surface wind.
UPA_level surface_level(const UPA_report& w, const FirstTokens& first) {
  UPA_level s{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  double p = 0.0;
  if (w.numsig > 0 && whole_decimal(first.sig_p, false, &p)) {
    if (p < 100.0 && std::strlen(first.sig_p) == 3) p += 1000.0;
    if (p >= kSurfaceMinP) {
      s.p = static_cast<float>(p);
      s.t = w.sig[0].t;
      s.td = w.sig[0].td;
    }
  }
  int hh = -1;
  bool at_ground = !headed_kind(file_type) ||  // kinds 1, 2: the first wind is at 0 ft
                   (std::strlen(first.wnd_h) >= 2 && whole_int(first.wnd_h, &hh) && hh == 0);
  if (w.numwnd > 0 && at_ground) {
    s.dir = w.wnd[0].dir;
    s.spd = w.wnd[0].spd;
  }
  return s;
}

// One level of the block into man[0]: the surface (0), a mandatory slot (1-16), the
// tropopause (22) or the maximum wind (23).
int read_one_level(UPA_report* r, int rep_type) {
  UPA_report whole;
  UPA_initialize(&whole);
  FirstTokens first;
  if (read_whole(&whole, &first) != 0) return -1;
  std::memcpy(r->id, whole.id, sizeof r->id);
  r->wmo = whole.wmo;
  r->lat = whole.lat;
  r->lon = whole.lon;
  if (rep_type == UPA_REP_SFC) {
    r->man[0] = surface_level(whole, first);
  } else if (headed_kind(file_type) || (rep_type != UPA_REP_TROP && rep_type != UPA_REP_MWND)) {
    r->man[0] = whole.man[rep_type];
  }
  r->numman = 1;
  return 0;
}

// The station token alone; the rest of the block is passed over.
int read_ident(UPA_report* r) {
  char tok[kTokenCap];
  bool have = read_token(tok);
  if (have) set_station(r, tok);
  finish_block();
  return have ? 0 : -1;
}

// Moves the stream to the start of block `want`. False when the file ends before it.
bool position_on_block(int want) {
  if (want == 0 || want < stat_num || !at_blocks) {  // a fresh open stands before the date
    if (text_rewind() != 0) return false;
  } else if (want == stat_num && block_consumed) {
    // the same block again: back to its saved start
    if (block_pos < 0 || std::fseek(cvt_file, block_pos, SEEK_SET) != 0) return false;
    block_consumed = false;
  } else if (block_consumed) {
    // the block read last was consumed whole: the stream stands at the next one
    ++stat_num;
    block_consumed = false;
    block_pos = -1;
  }
  while (stat_num < want) {
    if (!skip_blanks()) return false;
    skip_block();
    ++stat_num;
  }
  return skip_blanks();
}

// Reads block `want` of a text layout in the form `rep_type`.
int text_read(UPA_report* report, int rep_type, int want) {
  if (file_access != 0 || want < 0 || !position_on_block(want)) return -1;
  // An identification read leaves the significant and wind entries as they were (none
  // is in use: their counts are 0); a search passes thousands of blocks, and setting
  // those 3.6 KB to missing for each cost more than scanning the block.
  if (rep_type == UPA_REP_IDENT || rep_type == UPA_REP_LOC)
    initialize_ident(report);
  else
    UPA_initialize(report);
  block_pos = std::ftell(cvt_file);
  block_consumed = true;
  begin_block();
  switch (rep_type) {
    case UPA_REP_ALL: {
      FirstTokens first;
      return read_whole(report, &first);
    }
    case UPA_REP_SFC:
    case UPA_REP_TROP:
    case UPA_REP_MWND:
      return read_one_level(report, rep_type);
    default:
      if (rep_type >= 1 && rep_type <= 16) return read_one_level(report, rep_type);
      return read_ident(report);  // 31, 32 and forms that carry no levels
  }
}

// Kind of a text file from its first word, its very first character and the number
// that starts its third line; -1 when none fits.
int text_kind_of(FILE* f) {
  int first = std::getc(f);
  if (first == EOF) return -1;
  std::ungetc(first, f);
  char word[kMaxHeaderWord + 1] = {};
  int lines = 0;  // line ends passed so far
  int c;
  while ((c = std::getc(f)) != EOF && is_blank(c))
    if (c == '\n') ++lines;
  int n = 0;
  while (c != EOF && !is_blank(c) && n < kMaxHeaderWord) {
    word[n++] = static_cast<char>(c);
    c = std::getc(f);
  }
  if (word[0] == 'Z') {
    for (const TextLayout& l : kTextLayouts)
      if (l.head_mark != 0 && n == kHeadWordLen && word[6] == l.head_mark) return l.kind;
    return UPA_KIND_ZUDUPA;
  }
  // netCDF files begin with "CDF": detected by the netCDF branch, not readable here.
  if (first != ' ' && first != '0' && first != '1' && first != '2') return -1;

  // Headerless: the date line, the first block line, then either the significant-level
  // count (kind 1) or the 400 mb group (kind 2).
  for (; lines < 2 && c != EOF; c = std::getc(f))
    if (c == '\n') ++lines;
  while (c == ' ' || c == '\t') c = std::getc(f);
  int num = 0;
  int digits = 0;
  for (; digits < 2 && c >= '0' && c <= '9'; ++digits, c = std::getc(f)) num = num * 10 + (c - '0');
  if (digits == 0) return -1;  // no block to tell the layouts apart
  return num < kShortLongSplit ? UPA_KIND_SHORT : UPA_KIND_LONG;
}

// Gives back the open stream, if any, and forgets its state.
void close_current() {
  if (cvt_file) {
    if (cvt_closer == Closer::file) std::fclose(cvt_file);
    if (cvt_closer == Closer::pipe) pclose(cvt_file);
  }
  cvt_file = nullptr;
  cvt_closer = Closer::none;
  file_type = 0;
  file_access = 0;
  stat_num = 0;
  block_pos = -1;
  block_consumed = false;
  at_blocks = false;
}

}  // namespace

// ---- netCDF layouts ---------------------------------------------------------------------

namespace {

constexpr float kOldVersion = 1.0f;      // files without a "version" attribute
constexpr float kVersion = 1.1f;         // files that carry one
constexpr float kNo925Mark = 850.0f;     // pressure at level 2 of a file without 925 mb
constexpr int kAttProbe = 40;            // room for probing the "version" attribute
constexpr int kLastManSlot = 16;         // slot of 10 mb, the last single-level form

// Names of the level variables: kind 11 in lower case, kind 12 capitalised.
constexpr const char* kManNames[2][kManVars] = {
    {"p_man", "z_man", "t_man", "td_man", "dir_man", "spd_man"},
    {"P_man", "Z_man", "T_man", "TD_man", "DIR_man", "SPD_man"}};
constexpr const char* kSigNames[2][kSigVars] = {{"p_sigt", "t_sigt", "td_sigt"},
                                                {"P_sigt", "T_sigt", "TD_sigt"}};
constexpr const char* kWndNames[2][kWndVars] = {{"z_sigw", "dir_sigw", "spd_sigw"},
                                                {"Z_sigw", "DIR_sigw", "SPD_sigw"}};

bool cdf_kind(int kind) { return kind == UPA_KIND_CDF_STN || kind == UPA_KIND_CDF_REP; }
bool metric_kind() { return file_type == UPA_KIND_CDF_REP; }

// A stored value times a unit factor, computed in double; missing stays missing.
float convert(float v, double factor) {
  return v == MISSING ? MISSING : static_cast<float>(static_cast<double>(v) * factor);
}
float speed_knots(float v) { return metric_kind() ? convert(v, UNIT_MS_TO_KNOT) : v; }
float height_feet(float v) { return metric_kind() ? convert(v, UNIT_M_TO_FT) : v; }

// Kind of a file that begins like netCDF: 11 with a "station" dimension, 12 with a
// "report" one instead; -1 when the netCDF library cannot open it or it has neither
// record dimension (the library accepts some damaged headers as empty files). The
// library stays silent meanwhile.
int cdf_kind_of(const char* filename) {
  CDF_print_errors(0);
  int kind = -1;
  if (CDF_open(filename, 0) != -1) {
    if (CDF_get_dim("station") != -1) {
      kind = UPA_KIND_CDF_STN;
    } else if (CDF_get_dim("report") != -1) {
      kind = UPA_KIND_CDF_REP;
    }
    CDF_close();
  }
  CDF_print_errors(1);
  return kind;
}

// Size of the named level dimension, -1 when the file lacks it.
int level_size(const char* name) {
  int dim = CDF_get_dim(name);
  return dim == -1 ? -1 : CDF_get_dim_size(dim);
}

// Looks up the dimensions and variables of the file just opened (absent ones are
// reported by the library and get -1) and tells the layout version by the "version"
// attribute.
void cdf_lookup() {
  const int k = metric_kind() ? 1 : 0;
  cdf.num_station = CDF_get_dim_size(-1);
  CDF_get_dim(metric_kind() ? "report" : "station");
  cdf.mant_size = level_size("mant_level");
  cdf.sigt_size = level_size("sigt_level");
  cdf.sigw_size = level_size("sigw_level");
  CDF_get_dim("string_len");
  cdf.id = CDF_get_var("id");
  cdf.region = CDF_get_var("region");
  cdf.type = CDF_get_var("type");
  cdf.idn = CDF_get_var("idn");
  cdf.lat = CDF_get_var("lat");
  cdf.lon = CDF_get_var("lon");
  cdf.num_mant = CDF_get_var("num_mant");
  cdf.num_sigt = CDF_get_var("num_sigt");
  cdf.num_sigw = CDF_get_var("num_sigw");
  for (int v = 0; v < kManVars; ++v) cdf.man[v] = CDF_get_var(kManNames[k][v]);
  for (int v = 0; v < kSigVars; ++v) cdf.sig[v] = CDF_get_var(kSigNames[k][v]);
  for (int v = 0; v < kWndVars; ++v) cdf.wnd[v] = CDF_get_var(kWndNames[k][v]);
  CDF_print_errors(0);
  char probe[kAttProbe];
  version = CDF_get_glob_att("version", probe, sizeof probe) == -1 ? kOldVersion : kVersion;
  CDF_print_errors(1);
}

// Opens a netCDF file of kind `kind` for reading and looks up its contents. Returns the
// netCDF handle, or -1 (silently) when the library cannot open it.
int cdf_open(const char* filename, int f_access, int kind) {
  CDF_print_errors(0);
  int fd = CDF_open(filename, f_access);
  CDF_print_errors(1);
  if (fd == -1) return -1;
  cdf = CdfFile{};
  cdf.fd = fd;
  file_type = kind;
  file_access = f_access;
  stat_num = 0;
  cdf_lookup();
  return fd;
}

// Closes the open netCDF file, if any; the text stream is given back by close_current.
void cdf_release() {
  if (cdf_kind(file_type) && cdf.fd != -1) {
    CDF_set_fd(cdf.fd);
    CDF_close();
  }
  cdf = CdfFile{};
}

// The file's date label ("filetime", or "datetime" in older files; cut to 39 characters)
// decoded into info->date. Returns 1.
int cdf_getinfo(UPA_info* info) {
  CDF_set_fd(cdf.fd);
  std::memset(info->datim, 0, sizeof info->datim);
  CDF_print_errors(0);
  if (CDF_get_glob_att("filetime", info->datim, sizeof info->datim) == -1)
    CDF_get_glob_att("datetime", info->datim, sizeof info->datim);
  CDF_print_errors(1);
  DATE_decode_label(info->datim, &info->date);
  stat_num = 0;
  return 1;
}

// A level count read from the file, held to the record's capacity and to the levels the
// file stores; a negative or missing count gives 0.
int level_count(long n, int capacity, int stored) {
  if (n <= 0) return 0;
  if (n > capacity) n = capacity;
  if (stored >= 0 && n > stored) n = stored;
  return static_cast<int>(n);
}

// Identifier and WMO number of record `rec`.
void cdf_ident(UPA_report* r, int rec) {
  CDF_set_pos(1, rec);
  CDF_get_str(cdf.id, kMaxId, r->id);
  long wmo = CDF_get_long(cdf.idn);
  r->wmo = wmo >= INT_MIN && wmo <= INT_MAX ? static_cast<int>(wmo) : IMISSING;
}

// Identification, region, position and elevation (the height of mandatory level 0) of
// record `rec`. Older files store longitudes east-negative.
void cdf_location(UPA_report* r, int rec) {
  cdf_ident(r, rec);
  if (cdf.region == -1) {
    std::snprintf(r->area, sizeof r->area, "UN");
  } else {
    CDF_get_str(cdf.region, kMaxId, r->area);
  }
  r->lat = CDF_get_float(cdf.lat);
  r->lon = CDF_get_float(cdf.lon);
  if (version == kOldVersion && r->lon != MISSING) r->lon = -r->lon;
  CDF_set_pos(2, rec, 0);
  r->elev = CDF_get_float(cdf.man[kManZ]);
}

// Mandatory level `lev` of record `rec`; all missing beyond the stored levels.
UPA_level cdf_man_level(int rec, int lev) {
  UPA_level m{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  if (lev < 0 || (cdf.mant_size >= 0 && lev >= cdf.mant_size)) return m;
  CDF_set_pos(2, rec, lev);
  m.p = CDF_get_float(cdf.man[kManP]);
  m.h = CDF_get_float(cdf.man[kManZ]);
  m.t = CDF_get_float(cdf.man[kManT]);
  m.td = CDF_get_float(cdf.man[kManTd]);
  m.dir = CDF_get_float(cdf.man[kManDir]);
  m.spd = speed_knots(CDF_get_float(cdf.man[kManSpd]));
  return m;
}

// One level of record `rec` into man[0]: the surface (0), a mandatory slot (1-16), the
// tropopause (22) or the maximum wind (23). A file whose level 2 is 850 mb has no 925 mb
// level, so the levels from 925 mb up are stored one lower than their slots.
void cdf_one_level(UPA_report* r, int rep_type, int rec) {
  cdf_location(r, rec);
  bool lacks925 = cdf_man_level(rec, kSlot925).p == kNo925Mark;
  r->numman = 1;
  if (rep_type > 1 && lacks925) {
    if (rep_type == kSlot925) return;  // asked for 925 mb, none stored: stays missing
    r->man[0] = cdf_man_level(rec, rep_type - 1);
  } else {
    r->man[0] = cdf_man_level(rec, rep_type);
  }
}

// Reads `n` levels of the variables `vars` of record `rec` into the columns `out`
// (each holding at least n floats). A variable that is absent or cannot be read leaves
// its column as it was.
template <int N>
void read_columns(int rec, int n, const int (&vars)[N], float (&out)[N][UPA_MAX_SIG]) {
  if (n <= 0) return;
  CDF_set_range(2, rec, 1, 0, n);
  for (int v = 0; v < N; ++v) CDF_get_float_array(vars[v], out[v]);
}

// The whole report of record `rec`: location, mandatory levels (a file without 925 mb
// gets slot 2 missing and the levels above one slot up), significant temperature and
// wind levels, speeds in knots and wind heights in feet.
void cdf_whole(UPA_report* r, int rec) {
  cdf_location(r, rec);
  CDF_set_pos(1, rec);
  long num_mant = CDF_get_long(cdf.num_mant);
  long num_sigt = CDF_get_long(cdf.num_sigt);
  long num_sigw = CDF_get_long(cdf.num_sigw);

  static_assert(UPA_MAX_MAN <= UPA_MAX_SIG && UPA_MAX_WND <= UPA_MAX_SIG);
  float col[kManVars][UPA_MAX_SIG];  // one column per variable, room for any level set
  for (auto& c : col) std::fill(std::begin(c), std::end(c), MISSING);

  r->numman = level_count(num_mant, UPA_MAX_MAN, cdf.mant_size);
  read_columns(rec, r->numman, cdf.man, col);
  for (int in = 0, out = 0; in < r->numman && out < UPA_MAX_MAN; ++in, ++out) {
    if (out == kSlot925 && col[kManP][in] == kNo925Mark) {
      r->man[out] = UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
      if (++out >= UPA_MAX_MAN) break;
    }
    r->man[out] = UPA_level{col[kManP][in], col[kManZ][in], col[kManT][in],
                            col[kManTd][in], col[kManDir][in], speed_knots(col[kManSpd][in])};
  }

  float sig[kSigVars][UPA_MAX_SIG];
  for (auto& c : sig) std::fill(std::begin(c), std::end(c), MISSING);
  r->numsig = level_count(num_sigt, UPA_MAX_SIG, cdf.sigt_size);
  read_columns(rec, r->numsig, cdf.sig, sig);
  for (int i = 0; i < r->numsig; ++i)
    r->sig[i] = UPA_sig_level{sig[kSigP][i], sig[kSigT][i], sig[kSigTd][i]};

  float wnd[kWndVars][UPA_MAX_SIG];
  for (auto& c : wnd) std::fill(std::begin(c), std::end(c), MISSING);
  r->numwnd = level_count(num_sigw, UPA_MAX_WND, cdf.sigw_size);
  read_columns(rec, r->numwnd, cdf.wnd, wnd);
  for (int i = 0; i < r->numwnd; ++i)
    r->wnd[i] = UPA_wnd_level{height_feet(wnd[kWndZ][i]), wnd[kWndDir][i],
                              speed_knots(wnd[kWndSpd][i])};
}

// Reads record `rec` of the open netCDF file in the form `rep_type` into `report`,
// which is initialised first; forms without a netCDF reading leave it untouched.
// Returns 0, or -1 when there is no such record.
int cdf_read(UPA_report* report, int rep_type, int rec) {
  if (rec < 0 || rec >= cdf.num_station) return -1;
  const bool one_level = (rep_type >= UPA_REP_SFC && rep_type <= kLastManSlot) ||
                         rep_type == UPA_REP_TROP || rep_type == UPA_REP_MWND;
  if (!one_level && rep_type != UPA_REP_ALL && rep_type != UPA_REP_IDENT &&
      rep_type != UPA_REP_LOC)
    return 0;
  CDF_set_fd(cdf.fd);
  UPA_initialize(report);
  if (rep_type == UPA_REP_IDENT) {
    cdf_ident(report, rec);
  } else if (rep_type == UPA_REP_LOC) {
    cdf_location(report, rec);
  } else if (rep_type == UPA_REP_ALL) {
    cdf_whole(report, rec);
  } else {
    cdf_one_level(report, rep_type, rec);
  }
  return 0;
}

}  // namespace

// ---- file access ------------------------------------------------------------------------

// Returns the kind code of the named file (1-5 text layouts, 11 and 12 netCDF), or -1
// when it cannot be opened or its layout is not recognised.
int UPA_chktype(const char* filename) {
  if (!filename) return -1;
  FILE* f = std::fopen(filename, "r");
  if (!f) return -1;
  int first = std::getc(f);
  std::rewind(f);
  int kind = text_kind_of(f);
  std::fclose(f);
  if (kind == -1 && first == 'C') kind = cdf_kind_of(filename);  // netCDF begins "CDF"
  return kind;
}

// Opens an upper-air file for reading (f_access 0) or writing (1); a kind of 0 is
// detected (reading only) and stored back. Returns the stream's descriptor (the netCDF
// handle for kinds 11 and 12; those open for reading only), or -1 when
// the file cannot be opened, is a directory, or the kind or access is not known. Any
// file opened before is closed first.
int UPA_open(const char* filename, int f_access, int* f_type) {
  cdf_release();
  close_current();
  if (!filename || !f_type || (f_access != 0 && f_access != 1)) return -1;
  if (*f_type == 0) {
    if (f_access != 0) return -1;
    *f_type = UPA_chktype(filename);
  }
  const char* mode = nullptr;
  switch (*f_type) {
    case UPA_KIND_SHORT:
    case UPA_KIND_LONG:
    case UPA_KIND_ZUDUPA:
    case UPA_KIND_PLUS:
    case UPA_KIND_X:
    case UPA_KIND_MARKUP:
      mode = f_access == 0 ? "r" : "w";
      break;
    case UPA_KIND_BINARY:
      mode = f_access == 0 ? "rb" : "wb";
      break;
    case UPA_KIND_CDF_STN:
    case UPA_KIND_CDF_REP:
      return cdf_open(filename, f_access, *f_type);
    default:
      return -1;
  }
  FILE* f = FILE_open(filename, mode);
  if (!f) return -1;
  Closer closer = FILE_is_stdio(filename) ? Closer::none
                  : filename[0] == '|'    ? Closer::pipe
                                          : Closer::file;
  struct stat st {};
  if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    if (closer == Closer::file) std::fclose(f);
    return -1;
  }
  // A large buffer: passing over the blocks before a station is a scan of the bytes, and
  // the default buffer of one disk block would cost a system call every 4 KB.
  if (f_access == 0) std::setvbuf(f, stream_buf, _IOFBF, sizeof stream_buf);
  cvt_file = f;
  cvt_closer = closer;
  file_type = *f_type;
  file_access = f_access;
  return fileno(f);
}

// Closes the open upper-air file, if any, and forgets where the reader stood. Returns 0.
int UPA_close() {
  cdf_release();
  close_current();
  return 0;
}

// Positions the open file at its first station block. Returns 0, or -1 when no file of
// a readable kind is open or it cannot be repositioned.
int UPA_rewind(int /*cvt_fd*/) {
  if (text_kind(file_type) && file_access == 0) return text_rewind();
  if (cdf_kind(file_type)) {
    stat_num = 0;  // records are addressed by number: nothing to move
    return 0;
  }
  return -1;
}

// Reads the file's date label into info->datim (line ends removed, at most 39 characters;
// a longer label is cut) and decodes it into info->date. Returns 0 for a text layout, 1
// for netCDF (label from the "filetime" or "datetime" attribute) or when nothing was read.
int UPA_getinfo(int /*cvt_fd*/, UPA_info* info) {
  if (info && cdf_kind(file_type)) return cdf_getinfo(info);
  if (!info || !text_kind(file_type) || file_access != 0) return 1;
  std::memset(info->datim, 0, sizeof info->datim);
  if (std::fseek(cvt_file, 0L, SEEK_SET) != 0) return 1;
  if (headed_kind(file_type)) skip_line();
  int n = 0;
  int c;
  while ((c = get_char()) != EOF && c != '\n')
    if (n < kMaxDateLabel) info->datim[n++] = static_cast<char>(c);
  wsstrip_string(info->datim);
  DATE_decode_label(info->datim, &info->date);
  // The stream now stands at the first block.
  stat_num = 0;
  block_pos = -1;
  block_consumed = false;
  at_blocks = true;
  return 0;
}

// Reads station block *statnum (0-based) in the form rep_type into `report`. Returns 0,
// or -1 at the end of the file, for a block without a station token, or when no file of
// a readable kind is open. *statnum is never changed.
int UPA_read(int /*cvt_fd*/, UPA_report* report, int rep_type, int* statnum) {
  if (!report || !statnum) return -1;
  switch (file_type) {
    case UPA_KIND_SHORT:
    case UPA_KIND_LONG:
    case UPA_KIND_ZUDUPA:
    case UPA_KIND_PLUS:
    case UPA_KIND_X:
      return text_read(report, rep_type, *statnum);
    case UPA_KIND_CDF_STN:
    case UPA_KIND_CDF_REP:
      return cdf_read(report, rep_type, *statnum);
    default:  // binary and mark-up layouts are not readable
      return -1;
  }
}
