// cty_read.cpp — reading the station location database, one station per line.
//
// A line holds name, state, region, identifier, priority token, latitude, longitude,
// elevation, WMO number and a final integer, separated by white space. Each line is
// read whole and then split, so a short or garbled line never pulls fields from the
// next one, and no word can overrun a field: words longer than their field are cut to
// it. One database is open at a time.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zudcty.h"

namespace {

FILE* city_file = nullptr;  // the open database stream, null when closed
int file_type = 0;          // kind given at open, kept for callers; unused by the reader
int cty_fd = -1;            // descriptor of the open database, -1 when none
bool city_pipe = false;     // the stream is a command pipe (closed with pclose)
bool city_stdio = false;    // the stream is standard input or output (never closed)

constexpr float kElevMissingAbove = 9000.0f;  // elevations above this mean "unknown"

// The open database's last line as read, its storage kept from line to line.
char* line_buf = nullptr;
std::size_t line_cap = 0;

// Reads the next line that holds anything but white space into `line` (without its
// line end). Returns false at the end of the file. Lines are taken whole from the stream,
// not byte by byte: each byte would lock the stream once a program has a second thread
// (the ingest reads the database while its second thread works).
bool read_line(FILE* f, std::string& line) {
  for (;;) {
    const ssize_t got = ::getline(&line_buf, &line_cap, f);
    if (got < 0) return false;
    std::size_t len = static_cast<std::size_t>(got);
    const bool ended = len > 0 && line_buf[len - 1] == '\n';
    if (ended) --len;
    line.assign(line_buf, len);
    if (line.find_first_not_of(" \t\r\f\v") != std::string::npos) return true;
    if (!ended) return false;
  }
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

void skip_space(const char*& s) {
  while (*s && is_space(*s)) ++s;
}

// Takes the next word; returns its length (0 when the line is used up).
size_t next_word(const char*& s, const char*& word) {
  skip_space(s);
  word = s;
  while (*s && !is_space(*s)) ++s;
  return static_cast<size_t>(s - word);
}

// Copies the next word into a field of `cap` characters, cutting a longer word.
bool take_string(const char*& s, char* field, size_t cap) {
  const char* word;
  size_t len = next_word(s, word);
  if (len == 0) return false;
  if (len > cap) len = cap;
  std::memcpy(field, word, len);
  field[len] = '\0';
  return true;
}

// Converts a number at the cursor, as a formatted scan would: the cursor moves past
// the number only, so columns that run together ("40.00-104.87") still split.
bool take_float(const char*& s, float& value) {
  skip_space(s);
  char* end = nullptr;
  double d = std::strtod(s, &end);
  if (end == s) return false;
  value = static_cast<float>(d);
  s = end;
  return true;
}

// As take_float for a decimal integer; a value beyond the int range is not converted.
bool take_int(const char*& s, int& value) {
  skip_space(s);
  char* end = nullptr;
  errno = 0;
  long l = std::strtol(s, &end, 10);
  if (end == s || errno == ERANGE || l < INT_MIN || l > INT_MAX) return false;
  value = static_cast<int>(l);
  s = end;
  return true;
}

// Decodes a priority token: an optional '*' (MOS flag), the priority digit and an
// optional '*' (upper-air flag). A token longer than its field is refused.
bool take_priority(const char*& s, CTY_data* city) {
  const char* word;
  size_t len = next_word(s, word);
  if (len == 0 || len > static_cast<size_t>(CTY_PRIOR_LEN)) return false;
  std::string tok(word, len);
  size_t pos = 0;
  if (tok[0] == '*') {
    city->mos = '*';
    pos = 1;
  }
  if (pos < tok.size()) {
    char digit = tok[pos];
    city->prior = (digit >= '0' && digit <= '9') ? digit - '0' : IMISSING;
    if (pos + 1 < tok.size() && tok[pos + 1] == '*') city->ua = '*';
  }
  return true;
}

// Empties every field, so that fields a short line lacks stay unknown rather than
// keeping the previous station's values.
void clear_record(CTY_data* city) {
  std::memset(city, 0, sizeof *city);
  city->prior = IMISSING;
  city->mos = ' ';
  city->ua = ' ';
  city->lat = MISSING;
  city->lon = MISSING;
  city->el = MISSING;
  city->wmo = IMISSING;
  city->num = 0;
}

// One column of a database line: converts it at the cursor into the record.
using FieldReader = bool (*)(const char*& s, CTY_data* city);

constexpr FieldReader kFields[] = {
    [](const char*& s, CTY_data* c) { return take_string(s, c->name, CTY_NAME_LEN); },
    [](const char*& s, CTY_data* c) { return take_string(s, c->state, CTY_STATE_LEN); },
    [](const char*& s, CTY_data* c) { return take_string(s, c->region, CTY_REGION_LEN); },
    [](const char*& s, CTY_data* c) { return take_string(s, c->id, CTY_ID_LEN); },
    [](const char*& s, CTY_data* c) { return take_priority(s, c); },
    [](const char*& s, CTY_data* c) { return take_float(s, c->lat); },
    [](const char*& s, CTY_data* c) { return take_float(s, c->lon); },
    [](const char*& s, CTY_data* c) { return take_float(s, c->el); },
    [](const char*& s, CTY_data* c) { return take_int(s, c->wmo); },
    [](const char*& s, CTY_data* c) { return take_int(s, c->num); },
};

// Converts the fields of one line in order, stopping at the first that does not
// convert. Returns the number converted.
int parse_line(const char* s, CTY_data* city) {
  int n = 0;
  for (FieldReader field : kFields) {
    if (!field(s, city)) break;
    ++n;
  }
  return n;
}

}  // namespace

// Opens a database for reading (f_access 0) or writing (1). Returns the stream's
// descriptor, or -1 for another access value or when the file cannot be opened.
int CTY_open(const char* filename, int f_access, int f_type) {
  const char* mode = f_access == 0 ? "r" : f_access == 1 ? "w" : nullptr;
  if (!mode || !filename) return -1;
  if (city_file) CTY_close(cty_fd);
  FILE* f = FILE_open(filename, mode);
  if (!f) return -1;
  city_file = f;
  city_pipe = filename[0] == '|';
  city_stdio = f == stdin || f == stdout;
  file_type = f_type;
  cty_fd = fileno(f);
  return cty_fd;
}

// Reads the next station line into `city`. Returns the number of fields converted
// (1-10; a partly readable line still counts as a record), or -1 when no database is
// open or its end has been reached. Elevations above 9000 m read as missing.
int CTY_read(int /*city_fd*/, CTY_data* city) {
  if (!city_file || !city) return -1;
  std::string line;
  if (!read_line(city_file, line)) return -1;
  clear_record(city);
  int n = parse_line(line.c_str(), city);
  if (city->el != MISSING && city->el > kElevMissingAbove) city->el = MISSING;
  return n;
}

// Moves the open database back to its first line. Returns 0, or -1 when none is open.
int CTY_rewind(int /*city_fd*/) {
  if (!city_file) return -1;
  std::rewind(city_file);
  return 0;
}

// Closes the open database. Returns 0, or -1 when none is open.
int CTY_close(int /*city_fd*/) {
  if (!city_file) return -1;
  if (city_pipe)
    pclose(city_file);
  else if (!city_stdio)
    std::fclose(city_file);
  city_file = nullptr;
  city_pipe = false;
  city_stdio = false;
  cty_fd = -1;
  std::free(line_buf);
  line_buf = nullptr;
  line_cap = 0;
  return 0;
}
