// res_conv.cpp — resource value conversion: what the text of a resource means.
//
// Some kinds store a typed value into a destination the caller supplies; others act at
// once on process-wide state (message level, batch and help flags, plot switches, the
// time of the wanted file). At start-up the resource system runs every catalogued value
// through here without destinations, so only the acting kinds do anything then.

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "zuddom.h"
#include "zudresrc.h"

namespace {

// Flag indices the conversions set.

constexpr M_type kBatchLevel = MESS_PRINT | MESS_ERROR | MESS_WARN;  // print, error and warn: what a batch run shows
constexpr int kAllSwitches = 12;      // plot switch kind that sets every switch
constexpr int kDefaultDevice = 1;     // device code of the screen

// A keyword and the code it stands for.
struct Keyword {
  const char* word;
  int code;
};

constexpr Keyword kPlotTypes[] = {
    {"raw", 0},     {"none", 99},   {"value", 17},  {"gvalue", 17}, {"cf", 15},
    {"lcf", 16},    {"ln", 12},     {"dln", 13},    {"ndln", 14},   {"vect", 21},
    {"barb", 22},   {"strm", 23},   {"stream", 23}, {"an", 54},     {"number", 54},
    {"pm", 55},     {"skewt", 62},  {"ema", 63},    {"teph", 64},   {"rteph", 65},
    {"stuve", 61},  {"hodo", 69},
};

constexpr Keyword kFileParams[] = {
    {"use", 3}, {"reuse", 3}, {"over", 1}, {"calc", 1}, {"recalc", 1}, {"app", 2},
};

// Plot switches of the draw list; "none", "all" and "text" are handled apart.
constexpr Keyword kDrawSwitches[] = {
    {"text_ul", 1}, {"text_uc", 2}, {"text_ur", 3}, {"text_ll", 4}, {"text_lc", 5},
    {"text_lr", 6}, {"data", 7},    {"map", 8},     {"grid", 9},    {"sum", 10},
    {"bord", 11},
};
constexpr int kTextCorners = 0;  // switch kind of all six text corners
constexpr int kBorder = 11;      // switch kind of the border

// The code of `word` in `table` (without regard to case), or -1.
template <size_t N>
int keyword_code(const Keyword (&table)[N], const char* word) {
  for (const Keyword& k : table)
    if (stricmp(k.word, word) == 0) return k.code;
  return -1;
}

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Reads a whole number with strtol; false when the text holds none at its start.
bool read_long(const char* text, int base, long* value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, base);
  if (end == text) return false;
  *value = v;
  return true;
}

long clamp(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Applies a draw list to the plot switches.
void apply_draw(const char* data) {
  int n = 0;
  char** items = nullptr;
  parse_string(data, ',', &n, &items);
  for (int k = 0; k < n; ++k) {
    const char* item = items[k];
    int val = 1;
    if (item[0] == '+' || item[0] == '-') {
      val = item[0] == '+' ? 1 : 0;
      ++item;
    } else if (k == 0) {
      FLAG_resetplot(0);  // a plain list replaces the defaults
    }
    if (stricmp(item, "none") == 0) {
      FLAG_setplot(kAllSwitches, 0);
    } else if (stricmp(item, "all") == 0) {
      FLAG_setplot(kAllSwitches, 1);
    } else if (stricmp(item, "text") == 0) {
      FLAG_setplot(kTextCorners, val);
      FLAG_setplot(kBorder, val);
    } else {
      int kind = keyword_code(kDrawSwitches, item);
      if (kind >= 0) FLAG_setplot(kind, val);
    }
  }
  free_parsed_array(n, items);
}

// Device code from the first item of a device text; the rest names the device.
int convert_device(const char* data, void* out) {
  int n = 0;
  char** items = nullptr;
  parse_string(data, ',', &n, &items);
  FLAG_set(FLAG_DEVICE, n > 0 ? RES_set_device(items[0]) : kDefaultDevice);
  if (n >= 2) *static_cast<const char**>(out) = std::strchr(data, ',') + 1;
  free_parsed_array(n, items);
  return 1;
}

// A new copy of a path with its delimiter; "none" is the empty path.
char* convert_path(const char* data) {
  if (stricmp(data, "none") == 0) data = "";
  size_t n = std::strlen(data);
  char* copy = static_cast<char*>(std::malloc(n + 2));
  if (!copy) return nullptr;
  std::memcpy(copy, data, n + 1);
  FILE_add_path_delim(copy);
  return copy;
}

bool has_colon(const char* text) { return std::strchr(text, ':') != nullptr; }

// The minute of an offset read back: -v, where the one value whose negation no int holds
// (INT_MIN) gives the largest int instead.
int negated(int v) { return v == INT_MIN ? INT_MAX : -v; }

}  // namespace

// The output device code of a device letter: p 4, h or q 5, m 3, w 6, anything else 1.
int RES_set_device(const char* str) {
  if (!str) return kDefaultDevice;
  switch (std::tolower(static_cast<unsigned char>(str[0]))) {
    case 'p': return 4;
    case 'h':
    case 'q': return 5;
    case 'm': return 3;
    case 'w': return 6;
    default: return kDefaultDevice;
  }
}

// Reads a time setting into `date`: year, month, day, hour and minute of the wanted
// file, -9999 in every field the text does not give. Returns 0.
int RES_conv_time(const char* text, Date* date) {
  *date = Date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING};
  if (!text) return 0;
  size_t len = std::strlen(text);
  if (text[0] == '#' && is_digit(text[1])) {
    // #yyyy[mm[dd[hh[nn]]]]: each field only while digits follow.
    const char* p = text + 1;
    int* fields[] = {&date->year, &date->month, &date->day, &date->hour, &date->min};
    const int widths[] = {4, 2, 2, 2, 2};
    for (int f = 0; f < 5 && is_digit(*p); ++f) {
      int v = 0;
      for (int w = 0; w < widths[f] && is_digit(*p); ++w, ++p) v = v * 10 + (*p - '0');
      *fields[f] = v;
    }
  } else if (len == 6 && !has_colon(text)) {
    std::sscanf(text, "%2d%2d%2d", &date->month, &date->day, &date->hour);
  } else if (len == 4 && is_digit(text[0]) && !has_colon(text)) {
    std::sscanf(text, "%2d%2d", &date->day, &date->hour);
  } else if (len == 3 && is_digit(text[0]) && !has_colon(text)) {
    std::sscanf(text, "%1d%2d", &date->day, &date->hour);
  } else if (std::strchr(text, 'd')) {
    std::sscanf(text, "%dd%d:%d", &date->day, &date->hour, &date->min);
  } else if (text[0] == ':') {
    std::sscanf(text, ":%d", &date->min);
  } else if (text[0] == '-' && text[1] == ':') {
    if (std::sscanf(text, "-:%d", &date->min) == 1) date->min = negated(date->min);
  } else {
    std::sscanf(text, "%d:%d", &date->hour, &date->min);
    if (text[0] == '-' && date->hour == 0) {
      // "-0:30": thirty minutes back, not hour zero.
      date->hour = IMISSING;
      if (date->min != IMISSING) date->min = negated(date->min);
    }
  }
  return 0;
}

namespace {

// The kinds that act on process state rather than on a destination. Returns 1 when cvt
// is one of them (with the result in *rc), 0 otherwise.
int convert_action(const char* data, void* out, DEF_convert cvt, int* rc) {
  *rc = 1;
  switch (cvt) {
    case CV_batch:
      FLAG_set(FLAG_BATCH, 1);
      if (MESS_check_set() == 0) MESS_set(MESS_OP_SET, kBatchLevel);
      return 1;
    case CV_help:
      FLAG_set(FLAG_HELP, 1);
      return 1;
    case CV_mess:
      MESS_set_str(data);
      return 1;
    case CV_hour: {
      Date date;
      RES_conv_time(data, &date);
      FILE_set_time(&date);
      return 1;
    }
    case CV_file_param: {
      int code = keyword_code(kFileParams, data);
      if (code >= 0) FLAG_set(FLAG_FILE_PARAM, code);
      return 1;
    }
    case CV_plot_type: {
      int code = keyword_code(kPlotTypes, data);
      if (code >= 0) FLAG_set(FLAG_PLOT_TYPE, code);
      return 1;
    }
    case CV_draw:
      apply_draw(data);
      return 1;
    case CV_device:
      *rc = out ? convert_device(data, out) : 0;
      return 1;
    case CV_none:
    case CV_current:
    case CV_name:
    case CV_ingestor:
    case CV_strings:
      return 1;  // read as text by the modules that use them
    default:
      return 0;
  }
}

// The kinds that store into a destination `out` (not null).
int convert_value(const char* data, void* out, DEF_convert cvt) {
  long v = 0;
  switch (cvt) {
    case CV_bool:
      if (!data || stricmp(data, "true") == 0 || stricmp(data, "on") == 0 || stricmp(data, "yes") == 0)
        *static_cast<std::int32_t*>(out) = 1;
      else if (stricmp(data, "false") == 0 || stricmp(data, "off") == 0 || stricmp(data, "no") == 0)
        *static_cast<std::int32_t*>(out) = 0;
      return 1;
    case CV_int:
      if (is_digit(data[0]) || data[0] == '-' || data[0] == '+') {
        bool hex = data[1] == 'x' || data[1] == 'X';
        if (read_long(data, hex ? 16 : 10, &v))
          *static_cast<std::int32_t*>(out) = static_cast<std::int32_t>(clamp(v, INT32_MIN, INT32_MAX));
      }
      return 1;
    case CV_short:
      if (is_digit(data[0]) && read_long(data, 10, &v))
        *static_cast<std::int16_t*>(out) = static_cast<std::int16_t>(clamp(v, INT16_MIN, INT16_MAX));
      return 1;
    case CV_long:
      if (is_digit(data[0]) && read_long(data, 10, &v)) *static_cast<long*>(out) = v;
      return 1;
    case CV_float:
      *static_cast<float*>(out) = static_cast<float>(std::strtod(data, nullptr));
      return 1;
    case CV_color:
      *static_cast<long*>(out) = read_long(data, 10, &v) ? v : 0;
      return 1;
    case CV_string:
      *static_cast<const char**>(out) = data;
      return 1;
    case CV_strcpy: {
      // Cut to what a destination holds rather than run past it.
      size_t n = std::strlen(data);
      if (n > static_cast<size_t>(RES_STRCPY_LEN - 1)) n = RES_STRCPY_LEN - 1;
      char* dest = static_cast<char*>(out);
      std::memcpy(dest, data, n);
      dest[n] = '\0';
      return 1;
    }
    case CV_path:
      *static_cast<char**>(out) = convert_path(data);
      return 1;
    case CV_region:
    case CV_domain:
      DOM_decode(data, static_cast<Domain*>(out));
      return 1;
    default:
      return 1;  // an unknown kind changes nothing
  }
}

}  // namespace

// Converts resource text `data` by kind `cvt`, storing into `out` for the kinds with a
// destination. Returns 0 when nothing could be done (no text, or no destination for a
// kind that needs one); 1 otherwise, also when the text was not understood.
int RES_conv_data(const char* data, void* out, DEF_convert cvt) {
  if (!data && cvt != CV_batch && cvt != CV_help && cvt != CV_bool) return 0;
  int rc = 0;
  if (convert_action(data, out, cvt, &rc)) return rc;
  if (!out) return 0;
  return convert_value(data, out, cvt);
}
