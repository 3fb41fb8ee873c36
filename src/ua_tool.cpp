// ua_tool.cpp — the upper-air file at program level: opening it and keeping its date,
// listing and choosing a station, and printing a station's location, its raw report
// and single sounding and wind levels as fixed-width rows.
//
// Every printed piece goes through MESS_print at a level the caller chooses, so one
// caller can show the basic columns of a row (main level) and another the derived
// moist-air columns as well (extended level).

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "zudresrc.h"
#include "zudscript.h"
#include "zudupa.h"

namespace {

// The open file and the station choice; UPA_reset brings them back to these values.
int cvt_fd = -1;         // handle of the open upper-air file, -1 when none
UPA_info info = {};      // date label and date of the open file
Date file_date = {};     // copy of info.date for the rest of the program
int stat_num = 0;        // station counter of sequential reading
int prompt = 1;          // station selection still to be made (one per process)
int miss_dash = 0;       // print missing row values as a dash instead of blanks

constexpr M_type kPrint = MESS_PRINT;  // listings and prompts
constexpr M_type kError = MESS_ERROR;  // a run that cannot go on
constexpr M_type kWarn = MESS_WARN;   // recoverable problems
constexpr M_type kMess = MESS_MESS;   // progress notices

constexpr int kAnswerLen = 10;          // longest station answer
constexpr int kAnswerBuf = 12;          // answer buffer: the word, terminator, spare
constexpr int kListPerLine = 15;        // identifiers on one line of the station list
constexpr int kMaxAttempts = 4;         // station searches granted to an interactive user
constexpr int kExitNotFound = 31;       // process status: no such station
constexpr float kSfcLabelMinP = 500;    // label -1 reads "SFC " only at higher pressures, mb
constexpr float kTenthsBelow = 10;      // pressures under 10 mb print with one decimal

const char* const kPrompt = "Enter station to be used in the analysis: ";

// True when the answer asks for the end of the run.
bool is_exit(const char* answer) { return stricmp(answer, "exit") == 0; }

// The WMO number an answer stands for when it starts with a digit, else missing.
int wanted_wmo(const char* id) {
  if (!std::isdigit(static_cast<unsigned char>(id[0]))) return IMISSING;
  errno = 0;
  long n = std::strtol(id, nullptr, 10);
  if (errno == ERANGE || n > INT_MAX) return IMISSING;
  return static_cast<int>(n);
}

// Copies at most kAnswerLen characters of `src` into the answer buffer.
void set_answer(char* answer, const char* src) {
  size_t len = std::strlen(src);
  if (len > static_cast<size_t>(kAnswerLen)) len = kAnswerLen;
  std::memcpy(answer, src, len);
  answer[len] = '\0';
}

// ---- row printing ----------------------------------------------------------------------

// One column of a sounding row: the printf-style width and precision of its number
// ("%<width>.<prec>f"), the text after the number, and its dash form; the blank form is as
// wide as the dash form.
struct Column {
  int width;
  int prec;
  const char* after;
  const char* dash;
};

constexpr Column kPres = {4, 0, " ", "   - "};
constexpr Column kPresTenths = {4, 1, " ", "   - "};
constexpr Column kHght = {5, 0, " ", "    - "};
constexpr Column kTemp = {5, 1, " ", "    - "};  // also TEMP, DEWP, WETB and the thetas
constexpr Column kRh = {3, 0, " ", "  - "};
constexpr Column kDd = {4, 1, " ", "   - "};
constexpr Column kWind = {3, 0, " ", "  - "};    // DIR and SPD
constexpr Column kMix = {5, 2, "", "    -"};

constexpr const char* kBlanks = "                    ";  // source of blank forms

// Prints a present value as "%<width>.<prec>f" followed by `after`.
void put_number(M_type level, float value, int width, int prec, const char* after) {
  std::string text;
  append_fixed(&text, value, width, prec);
  text += after;
  MESS_put(level, text);
}

// Prints a value in its column, or the column's blank or dash form when missing.
void print_col(M_type level, const Column& col, float value) {
  if (!MESS_check(level)) return;
  if (value != MISSING)
    put_number(level, value, col.width, col.prec, col.after);
  else if (miss_dash)
    MESS_put(level, col.dash);
  else
    MESS_put(level, std::string_view(kBlanks, std::strlen(col.dash)));
}

// Prints a value as "%<width>.<prec>f" followed by `after`, or as many blanks as that
// takes when missing (wind rows have no dashes).
void print_or_blank(M_type level, int width, int prec, const char* after, float value) {
  if (!MESS_check(level)) return;
  if (value != MISSING)
    put_number(level, value, width, prec, after);
  else
    MESS_put(level, std::string_view(kBlanks, static_cast<std::size_t>(width) + std::strlen(after)));
}

// The label text of a level code, or null when the code prints as a number.
const char* label_text(int ind, float p) {
  switch (ind) {
    case UPA_LAB_SFC: return p != MISSING && p > kSfcLabelMinP ? "SFC " : nullptr;
    case UPA_LAB_TRP: return "TRP ";
    case UPA_LAB_WND: return "WND ";
    case UPA_LAB_PAR: return "PAR ";
    case UPA_LAB_LCL: return "LCL ";
    case UPA_LAB_LFC: return "LFC ";
    case UPA_LAB_EL: return " EL ";
    case UPA_LAB_MPL: return "MPL ";
    case UPA_LAB_WBZ: return "WBZ ";
    case UPA_LAB_FRZ: return "FRZ ";
    default: return nullptr;
  }
}

// Prints `n` records of a two-column table: the first half on the left, the second
// half on the right, and the middle record alone on a last row when `n` is odd.
template <typename Print>
void print_halves(int n, Print print_one) {
  int k = (n + 1) / 2;
  for (int j = 0; j < n / 2; ++j) {
    print_one(j, false);  // left column
    print_one(j + k, true);  // right column, ends the row
  }
  if (n % 2 == 1) print_one(k - 1, true);
}

int clamp_count(int n, int cap) { return n < 0 ? 0 : n > cap ? cap : n; }

}  // namespace

// ---- the open file ------------------------------------------------------------------------

// Opens an upper-air file of any known layout for reading and reads its date. Returns
// 1 when open (the date label is then printed and kept), 0 when it cannot be opened.
int UPA_open_file(const char* filename) {
  int f_type = 0;
  cvt_fd = UPA_open(filename, 0, &f_type);
  if (cvt_fd == -1) {
    info = UPA_info{};
    DATE_init(&file_date);
    MESS_print(kWarn, "UPA_open_file: Unable to open file:%s\n", filename ? filename : "");
    return 0;
  }
  info = UPA_info{};
  UPA_getinfo(cvt_fd, &info);
  info.datim[sizeof info.datim - 1] = '\0';
  file_date = info.date;
  PLT_label_up_right(info.datim);
  MESS_print(kMess, "Date: %s\n", info.datim);
  return 1;
}

// Puts the open file back at its first station. Returns 0.
int UPA_rewind_file() {
  UPA_rewind(cvt_fd);
  stat_num = 0;
  return 0;
}

// The handle of the open upper-air file for UPA_read, -1 when none is open.
int UPA_file_handle() { return cvt_fd; }

// The date of the open upper-air file (all fields -9999 when none is open).
Date* UPA_get_file_date() { return &file_date; }

// Returns the program-level state to its start: no file open (an open one is closed), no
// date, station selection still to be made, and missing row values printed blank. A
// second station file in the same process then behaves as it would alone. Returns 0.
int UPA_reset() {
  UPA_close();
  cvt_fd = -1;
  info = UPA_info{};
  file_date = Date{};
  stat_num = 0;
  prompt = 1;
  miss_dash = 0;
  return 0;
}

// ---- station choice ---------------------------------------------------------------------

// Prints the identifiers of all stations of the open file, 15 to a line. Returns 0.
int UPA_list_stations() {
  UPA_rewind(cvt_fd);
  MESS_print(kPrint, "Possible stations\n");
  UPA_report report;
  int count = 0;
  for (stat_num = 0; UPA_read(cvt_fd, &report, UPA_REP_IDENT, &stat_num) == 0; ++stat_num) {
    MESS_print(kPrint, "%4s ", report.id);
    if (++count % kListPerLine == 0) MESS_print(kPrint, "\n");
  }
  MESS_print(kPrint, "\n\n");
  return 0;
}

// Searches the open file for a station by identifier (any case) or, for an answer that
// starts with a digit, by WMO number; the first match wins. Returns 1 with the whole
// report of that station in `report`, 0 when no station matches.
int UPA_get_station(const char* id, UPA_report* report) {
  if (!id || !report) return 0;
  int wmo = wanted_wmo(id);
  MESS_print(kMess, "Searching for %s...\n", id);
  for (stat_num = 0; UPA_read(cvt_fd, report, UPA_REP_IDENT, &stat_num) == 0; ++stat_num) {
    bool hit = stricmp(id, report->id) == 0 || (report->wmo != IMISSING && report->wmo == wmo);
    if (!hit) continue;
    // Same station number again: the reader goes back to the block it just identified.
    if (UPA_read(cvt_fd, report, UPA_REP_ALL, &stat_num) == 0) return 1;
    break;
  }
  MESS_print(kWarn, "UPA_get_station: No such station:%s\n", id);
  return 0;
}

// Chooses the station to analyse, from the "identifier" resource or by asking, and
// reads its whole report into `report`. Returns 1 when chosen, 0 when the choice was
// already made in this run. Ends the run with status 0 for "list" or "exit", and with
// status 31 when no station could be found.
int UPA_prompt_station(UPA_report* report) {
  if (!prompt) return 0;
  const char* res = RES_get("identifier");
  if (res && stricmp(res, "list") == 0) {
    UPA_list_stations();
    ZUD_exit(0);
  }
  if (!res) UPA_list_stations();
  UPA_rewind_file();

  // An empty answer at the prompt keeps the previous one: the user asks again for the
  // same station (the first empty answer searches for an empty identifier).
  char answer[kAnswerBuf] = {};
  int attempts = 0;
  bool found = false;
  for (;;) {
    if (res) {
      set_answer(answer, res);
    } else {
      ZUD_prompts(kPrompt, answer, kAnswerLen + 1);
      answer[kAnswerLen] = '\0';
      MESS_print(kPrint, "\n");
    }
    if (is_exit(answer)) ZUD_exit(0);
    // Short identifiers are upper case; so is anything not starting with a lower-case
    // letter (WMO numbers, identifiers typed in capitals).
    if (std::strlen(answer) == 3 || !(answer[0] >= 'a' && answer[0] <= 'z')) up_string(answer);
    if (++attempts > kMaxAttempts) break;
    found = UPA_get_station(answer, report) == 1;
    if (found || res) break;
  }
  prompt = 0;
  if (found) return 1;
  MESS_print(kError, "Unable to find a station\n");
  ZUD_exit(kExitNotFound);
}

// Turns station selection on (val not 0) or off for the rest of the run. Returns 0.
int UPA_set_prompt(int val) {
  prompt = val;
  return 0;
}

// ---- sounding listing -------------------------------------------------------------------

// Prints missing values of sounding rows as dashes from now on. Returns 0.
int UPA_set_miss_dash() {
  miss_dash = 1;
  return 0;
}

// 1 when missing row values print as dashes, else 0.
int UPA_get_miss_dash() { return miss_dash; }

// Makes every field of a level missing. Returns 0.
int UPA_level_init(UPA_level* lev) {
  if (lev) *lev = UPA_level{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};
  return 0;
}

// Prints the file date, the station and the parts of its location that are known.
// Returns 0.
int UPA_print_locate(M_type mess, const UPA_report* report) {
  MESS_print(mess, "Date:%s\n", info.datim);
  if (!report) return 0;
  MESS_print(mess, "Station: %s\n", report->id);
  if (report->wmo != IMISSING) MESS_print(mess, "WMO ident: %6ld\n", static_cast<long>(report->wmo));
  if (report->lat != MISSING) MESS_print(mess, "Latitude:  %6.2f\n", report->lat);
  if (report->lon != MISSING) MESS_print(mess, "Longitude: %6.2f\n", report->lon);
  if (report->elev != MISSING) MESS_print(mess, "Elevation: %6.2f\n", report->elev);
  return 0;
}

// Prints a report as read: the mandatory part with its surface, tropopause and
// maximum-wind slots, then the significant temperature and wind levels in two
// columns. Returns 0.
int UPA_print_report(M_type mess, const UPA_report* report) {
  if (!report) return 0;
  MESS_print(mess, "     Press    Height   Temp    Dewpt     Dir    Spd\n");
  for (int i = 0; i < UPA_MAX_MAN; ++i) {
    const UPA_level& m = report->man[i];
    if (m.p == MISSING) continue;
    const char* label = i == UPA_SLOT_SFC    ? "SFC  "
                        : i == UPA_SLOT_TROP ? "TROP "
                        : i == UPA_SLOT_MWND ? "MWND "
                                             : "     ";
    MESS_print(mess, "%s", label);
    MESS_print(mess, "%6.1f  %7.0f  %7.1f %7.1f  %6.0f %6.0f\n", m.p, m.h, m.t, m.td, m.dir,
               m.spd);
  }

  MESS_print(mess, "Press    Temp    Dewpt     Press    Temp    Dewpt\n");
  print_halves(clamp_count(report->numsig, UPA_MAX_SIG), [&](int i, bool ends_row) {
    const UPA_sig_level& s = report->sig[i];
    MESS_print(mess, ends_row ? "%6.1f  %7.1f %7.1f\n" : "%6.1f  %7.1f %7.1f    ", s.p, s.t, s.td);
  });

  MESS_print(mess, "Height    Dir    Spd     Height    Dir    Spd\n");
  print_halves(clamp_count(report->numwnd, UPA_MAX_WND), [&](int i, bool ends_row) {
    const UPA_wnd_level& w = report->wnd[i];
    MESS_print(mess, ends_row ? "%6.0f  %6.0f %6.0f\n" : "%6.0f  %6.0f %6.0f    ", w.h, w.dir, w.spd);
  });
  MESS_print(mess, "\n");
  return 0;
}

// Prints the sounding table heading (level null) or one sounding row: basic columns at
// mess1, derived moist-air columns at mess2. Returns 0.
int UPA_print_level(M_type mess1, M_type mess2, int ind, const UPA_level* level) {
  if (!level) {
    const char* rule1 = "---------------------------------------";
    const char* rule2 = "----------------------------------------";
    MESS_print(mess1, "%s", rule1);
    MESS_print(mess2, "%s", rule2);
    MESS_print(mess1, "\n");
    MESS_print(mess1, "LEV PRES  HGHT  TEMP  DEWP  RH ");
    MESS_print(mess2, " DD   WETB ");
    MESS_print(mess1, "DIR SPD");
    MESS_print(mess2, " THETA THE-V THE-W THE-E   W");
    MESS_print(mess1, "\n");
    MESS_print(mess1, "     mb     m     C     C    %% ");
    MESS_print(mess2, "  C     C  ");
    MESS_print(mess1, "deg knt");
    MESS_print(mess2, "   K     K     K     K    g/kg");
    MESS_print(mess1, "\n");
    MESS_print(mess1, "%s", rule1);
    MESS_print(mess2, "%s", rule2);
    MESS_print(mess1, "\n");
    return 0;
  }

  // The derived columns cost more than the rest of the row: computed only when shown.
  const bool ext = MESS_check(mess2) != 0;
  if (!ext && !MESS_check(mess1)) return 0;
  const float p = level->p;
  const float t = unit_kelvin(level->t);
  const float td = unit_kelvin(level->td);

  if (const char* label = label_text(ind, p))
    MESS_print(mess1, "%s", label);
  else
    MESS_print(mess1, "%3d ", ind);
  print_col(mess1, p != MISSING && p < kTenthsBelow ? kPresTenths : kPres, p);
  print_col(mess1, kHght, level->h);
  print_col(mess1, kTemp, level->t);
  print_col(mess1, kTemp, level->td);
  print_col(mess1, kRh, rel_hum(t, td));
  float dd = level->t != MISSING && level->td != MISSING
                 ? static_cast<float>(static_cast<double>(level->t) - level->td)
                 : MISSING;
  print_col(mess2, kDd, dd);
  print_col(mess2, kTemp, ext ? unit_celsius(wet_bulb(t, td, p)) : MISSING);
  print_col(mess1, kWind, level->dir);
  print_col(mess1, kWind, level->spd);
  print_col(mess2, kTemp, ext ? pot_temp(t, p) : MISSING);
  print_col(mess2, kTemp, ext ? virt_pot_temp(t, td, p) : MISSING);
  print_col(mess2, kTemp, ext ? wet_bulb_pot_temp(t, td, p) : MISSING);
  print_col(mess2, kTemp, ext ? eq_pot_temp(t, td, p) : MISSING);
  print_col(mess2, kMix, ext ? mix_ratio(td, p) : MISSING);
  MESS_print(mess1, "\n");
  return 0;
}

// Prints the wind table heading (level null) or one wind row: ground-relative wind and
// components (m/s) at mess1, and, when a storm motion is known, the storm-relative
// wind at mess2. Returns 0.
int UPA_print_wind(M_type mess1, M_type mess2, int ind, const UPA_level* level,
                   const WIND* storm) {
  if (!level) {
    const bool rel = storm && storm->dir != MISSING;
    // Ends a heading line: with the storm-relative piece at mess2, or plainly at mess1.
    auto finish = [&](const char* rel_piece) {
      if (rel)
        MESS_print(mess2, "%s", rel_piece);
      else
        MESS_print(mess1, "\n");
    };
    const char* rule1 = "------------------------------------";
    const char* rule2 = "----------------------\n";
    MESS_print(mess1, "\nWind level data\n");
    if (rel) MESS_print(mess2, "   Storm motion: %3.0f at %3.0f knt\n", storm->dir, storm->spd);
    MESS_print(mess1, "%s", rule1);
    finish(rule2);
    MESS_print(mess1, "                   TRUE/GROUND REL   ");
    finish("|     STORM REL\n");
    MESS_print(mess1, " LEV   P    H    DIR SPD   U     V   ");
    finish("| DIR SPD   U     V\n");
    MESS_print(mess1, "       mb   m        knt     m/s     ");
    finish("|     knt     m/s\n");
    MESS_print(mess1, "%s", rule1);
    finish(rule2);
    return 0;
  }

  float u, v;
  wind2vect(level->dir, unit_knot_to_ms(level->spd), &u, &v);

  MESS_print(mess1, "%3d  ", ind);
  print_or_blank(mess1, 4, 0, " ", level->p);
  print_or_blank(mess1, 5, 0, "  ", level->h);
  print_or_blank(mess1, 3, 0, " ", level->dir);
  print_or_blank(mess1, 3, 0, " ", level->spd);
  print_or_blank(mess1, 5, 1, " ", u);
  print_or_blank(mess1, 5, 1, "", v);

  float du, dv, rdir, rknt;  // components m/s; the speed column is headed knots
  if (storm == nullptr || !storm_relative(level->dir, level->spd, *storm, &du, &dv, &rdir, &rknt)) {
    MESS_print(mess1, "\n");
    return 0;
  }
  if (rdir != MISSING)
    MESS_print(mess2, " | %3.0f ", rdir);
  else
    MESS_print(mess2, " |     ");
  print_or_blank(mess2, 3, 0, " ", rknt);
  print_or_blank(mess2, 5, 1, " ", rdir == MISSING ? MISSING : du);
  print_or_blank(mess2, 5, 1, " ", rdir == MISSING ? MISSING : dv);
  MESS_print(mess2, "\n");
  return 0;
}
