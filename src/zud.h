// zud.h — shared types, the missing value and the runtime services every module uses:
// messages and flags, process services, strings and line reading.
//
// Module-specific declarations live in the companion headers included at the end
// (dates, files, thermodynamic functions), so that any unit can include this one file.

#ifndef ZUD_H
#define ZUD_H

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Every unknown float holds exactly this value, every unknown integer -9999; both are
// tested by equality, never by order.
constexpr float MISSING = -9999.0f;
constexpr int IMISSING = -9999;

// Message level: a mask of nine classes, each split into sub-levels a to d.
using M_type = std::uint32_t;

// ---- mess: messages ------------------------------------------------------------
int MESS_print(M_type level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int MESS_put(M_type level, std::string_view text);
// A message held back by a worker thread: its level, text and the lines it counts.
struct MESS_held {
  M_type level;
  std::string text;
  int newlines;
};
int MESS_capture(std::vector<MESS_held>* sink);
int MESS_release(const std::vector<MESS_held>& messages);
int MESS_check(M_type level);
M_type MESS_get();
int MESS_check_set();
int MESS_set(int oper, M_type level);
int MESS_set_str(const char* text);
int MESS_hold(M_type level, const char* text);
int MESS_print_prog(const char* text);
int MESS_get_max_lines();
int MESS_set_page(int val);
int MESS_set_out(int val);
int MESS_file(const char* name, const char* access);
int MESS_file_close();
int MESS_reset();

// ---- flag: process-wide flags and plot switches ---------------------------------
int FLAG_set(int flag, int value);
int FLAG_setl(int flag, long value);
int FLAG_get(int flag);
long FLAG_getl(int flag);
int FLAG_reset(int value);
int FLAG_resetl(long value);
int FLAG_batch();
int FLAG_help();
int FLAG_set_batch(int val);
int FLAG_setplot(int kind, int val);
int FLAG_getplot(int kind);
int FLAG_resetplot(int val);

// ---- system: process services ---------------------------------------------------
const char* ZUD_version();
[[noreturn]] void ZUD_exit(int status);
char* ZUD_prompts(const char* prompt, char* str, int length);
float ZUD_promptf(const char* prompt);
int ZUD_set_command(const char* string);
int ZUD_sleep(double secs);

// ---- string: text helpers and line reading --------------------------------------
int parse_string(const char* string, char delim, int* argc, char*** argv);
int free_parsed_array(int argc, char** argv);
int stricmp(const char* s1, const char* s2);
int strnicmp(const char* s1, const char* s2, int n);
int up_string(char* string);
int low_string(char* string);
int fill_string(char* string, char tar, char fill);
int wsstrip_string(char* string);
int wstrim_string(char* string);
// Line readers: `string` must hold len + 1 bytes; the line end is not stored.
int fgetstring(FILE* file, char* string, int len);
int fgetnline(FILE* file, char* string, int len);
bool fget_bounded_line(FILE* file, std::string* line, std::size_t max, bool* too_long = nullptr);
void append_fixed(std::string* out, double value, int width, int prec);

// ---- tools: numeric helpers -----------------------------------------------------
float linear_interp(float x, float a, float b, float y1, float y2);

#include "zuddate.h"
#include "zudfile.h"
#include "zudcalc.h"
#include "zudunits.h"

#endif  // ZUD_H
