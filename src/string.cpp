// string.cpp — text helpers shared by every module: splitting at a delimiter, case-blind
// comparison, case changes, line-end removal, and line reading with continuation.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zud.h"

namespace {

// ASCII case changes, whatever the locale: texts of the package are ASCII.
int lower(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : u;
}
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

}  // namespace

// Splits a private copy of `string` at `delim`. Trailing delimiters are dropped first;
// every other delimiter starts an item, so two in a row give an empty item and a text
// of delimiters only gives one empty item. Returns 0, or -1 (argc 0, argv null) for a
// null or empty text or when memory runs out.
int parse_string(const char* string, char delim, int* argc, char*** argv) {
  if (!argc || !argv) return -1;
  *argc = 0;
  *argv = nullptr;
  if (!string || !*string) return -1;
  size_t len = std::strlen(string);
  char* copy = static_cast<char*>(std::malloc(len + 1));
  if (!copy) return -1;
  std::memcpy(copy, string, len + 1);
  while (len > 1 && copy[len - 1] == delim) copy[--len] = '\0';
  if (len == 1 && copy[0] == delim) copy[--len] = '\0';
  int n = 1;
  for (size_t i = 0; i < len; ++i)
    if (copy[i] == delim) ++n;
  char** items = static_cast<char**>(std::malloc(sizeof(char*) * n));
  if (!items) {
    std::free(copy);
    return -1;
  }
  int k = 0;
  items[k++] = copy;
  for (size_t i = 0; i < len; ++i) {
    if (copy[i] == delim) {
      copy[i] = '\0';
      items[k++] = copy + i + 1;
    }
  }
  *argc = n;
  *argv = items;
  return 0;
}

// Releases the copy and the item array of a parse_string result (the copy starts at the
// first item). Returns 0.
int free_parsed_array(int argc, char** argv) {
  if (argc != 0 && argv) {
    std::free(argv[0]);
    std::free(argv);
  }
  return 0;
}

// Compares without regard to ASCII case: the difference of the first differing
// characters after lower-casing, 0 when equal, 1 when either text is null.
int stricmp(const char* s1, const char* s2) {
  if (!s1 || !s2) return 1;
  while (*s1 && lower(*s1) == lower(*s2)) {
    ++s1;
    ++s2;
  }
  return lower(*s1) - lower(*s2);
}

// As stricmp over at most n characters; with n of 0 or less the first characters are
// still compared. Returns the difference, 0 when equal, 1 when either text is null.
int strnicmp(const char* s1, const char* s2, int n) {
  if (!s1 || !s2) return 1;
  if (n <= 0) n = 1;
  for (int i = 0; i < n; ++i) {
    int d = lower(s1[i]) - lower(s2[i]);
    if (d != 0 || s1[i] == '\0') return d;
  }
  return 0;
}

// Turns ASCII letters to upper case in place. Returns 0 for a null or empty text, else 1.
int up_string(char* string) {
  if (!string || !*string) return 0;
  for (char* c = string; *c; ++c) *c = upper(*c);
  return 1;
}

// Turns ASCII letters to lower case in place. Returns 0 for a null or empty text, else 1.
int low_string(char* string) {
  if (!string || !*string) return 0;
  for (char* c = string; *c; ++c) *c = static_cast<char>(lower(*c));
  return 1;
}

// Replaces every character `tar` by `fill` in place. Returns 0.
int fill_string(char* string, char tar, char fill) {
  if (!string) return 0;
  for (char* c = string; *c; ++c)
    if (*c == tar) *c = fill;
  return 0;
}

// Removes every newline and carriage return, closing the gaps. Returns 1.
int wsstrip_string(char* string) {
  if (!string) return 1;
  char* out = string;
  for (const char* in = string; *in; ++in)
    if (*in != '\n' && *in != '\r') *out++ = *in;
  *out = '\0';
  return 1;
}

// Removes every newline and carriage return, then the spaces at the end. Returns 1.
int wstrim_string(char* string) {
  if (!string) return 1;
  wsstrip_string(string);
  size_t n = std::strlen(string);
  while (n > 0 && string[n - 1] == ' ') string[--n] = '\0';
  return 1;
}

// Reads the next line into `string`, at most `len` characters (the buffer holds len + 1
// bytes); a longer line continues as the next read. The line end is not stored; a
// carriage return before it is kept as text. Returns the number of characters read,
// 0 for an empty line, or -1 at the end of the file (and for a null file or buffer or a
// negative length).
int fgetnline(FILE* file, char* string, int len) {
  if (!string) return -1;
  string[0] = '\0';
  if (!file || len < 0) return -1;
  int n = 0;
  int c = EOF;
  while (n < len && (c = std::fgetc(file)) != EOF && c != '\n') string[n++] = static_cast<char>(c);
  string[n] = '\0';
  if (n == 0 && c == EOF) return -1;
  // A line of exactly len characters: take its line end now, or it would read as an
  // extra empty line.
  if (n == len && len > 0) {
    int next = std::fgetc(file);
    if (next != '\n' && next != EOF) std::ungetc(next, file);
  }
  return n;
}

// Reads the next line as fgetnline does. Returns 1 when a line was read, 0 for an empty
// line (`string` empty), or -1 at the end of the file.
int fgetstring(FILE* file, char* string, int len) {
  int n = fgetnline(file, string, len);
  return n < 0 ? n : (n > 0 ? 1 : 0);
}

// Reads the next line into `line` without its line end (a trailing carriage return
// included), keeping at most `max` characters; the rest of a longer line is read past
// and `too_long` (when given) tells that something was dropped. Returns false at the end
// of the file.
bool fget_bounded_line(FILE* file, std::string* line, std::size_t max, bool* too_long) {
  line->clear();
  if (too_long) *too_long = false;
  int c;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line->size() < max)
      *line += static_cast<char>(c);
    else if (too_long)
      *too_long = true;
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

// Appends value as printf's "%<width>.<prec>f" prints it (right-aligned, blank-padded,
// correctly rounded) to out, without going through printf: the table printers format
// thousands of numbers a station.
//
// For the tables' precisions (at most 2) and magnitudes, value x 10^prec is exact in long
// double (53 + 7 bits of 64), so rounding it to an integer in the default mode (to nearest,
// ties to even) rounds the exact binary value as printf does; the sign is the value's own,
// so a small negative value prints as "-0.0" as with printf. Anything else goes through
// std::to_chars, which rounds as printf does too.
void append_fixed(std::string* out, double value, int width, int prec) {
  // The number right-aligned in its field.
  const auto emit = [out, width](const char* text, std::size_t len) {
    if (static_cast<int>(len) < width) out->append(static_cast<std::size_t>(width) - len, ' ');
    out->append(text, len);
  };
  std::array<char, 64> digits;
  constexpr long double kScale[] = {1.0L, 10.0L, 100.0L};
  if (prec >= 0 && prec <= 2 && std::isfinite(value) && std::fabs(value) < 1e15) {
    const long double scaled = std::rintl(static_cast<long double>(std::fabs(value)) * kScale[prec]);
    auto n = static_cast<unsigned long long>(scaled);
    // Digits from the right: the decimals, the point, the integer part (at least one digit).
    char* const end = digits.data() + digits.size();
    char* p = end;
    for (int k = 0; k < prec; ++k, n /= 10) *--p = static_cast<char>('0' + n % 10);
    if (prec > 0) *--p = '.';
    do {
      *--p = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n > 0);
    if (std::signbit(value)) *--p = '-';
    emit(p, static_cast<std::size_t>(end - p));
    return;
  }
  const auto r = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                               std::chars_format::fixed, prec);
  if (r.ec == std::errc()) {
    emit(digits.data(), static_cast<std::size_t>(r.ptr - digits.data()));
    return;
  }
  std::array<char, 512> wide;  // too long for the buffer: printf itself
  const int n = std::snprintf(wide.data(), wide.size(), "%*.*f", width, prec, value);
  out->append(wide.data(), static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(wide.size()) - 1)));
}
