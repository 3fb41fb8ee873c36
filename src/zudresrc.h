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

#endif  // ZUDRESRC_H
