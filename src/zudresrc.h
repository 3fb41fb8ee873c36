// zudresrc.h — resource keys, conversion kinds, definition records (module resrc),
// the catalogue and help, and the defaults file reader (module def_read).

#ifndef ZUDRESRC_H
#define ZUDRESRC_H

#include "zud.h"

// ---- resrc: keys, records, gathering and look-up -------------------------------------
// Minimal look-up used until the resource system is built.
char* RES_get(const char* name);
int RES_put(const char* name, const char* value);
int RES_list();

// ---- catalogue and help ---------------------------------------------------------------

// ---- conversions ----------------------------------------------------------------------

// ---- def_read: defaults files -----------------------------------------------------------
// Buffer sizes the callers of DEF_get, DEF_parse_name and DEF_env must provide: a pattern
// of at most 49 characters and a value of at most 199; longer texts are cut.
constexpr int DEF_RESRC_LEN = 50;
constexpr int DEF_VALUE_LEN = 200;

int DEF_open(const char* filename);
int DEF_get(char* resrc, char* value);
int DEF_close();
int DEF_prog();
int DEF_set_prog(const char* name);
int DEF_name(const char* name);
int DEF_title(const char* title);
int DEF_tag(const char* str);
int DEF_clr_tag();
int DEF_cmp(const char* resrc, const char* string);
int DEF_valid(const char* string);
int DEF_parse_name(const char* str, char* ostr);
int DEF_env(const char* resrc, const char* env, char* value);

#endif  // ZUDRESRC_H
