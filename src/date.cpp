// date.cpp — dates and times. Placeholder: initialisation and the current-time text.

#include "zud.h"

int DATE_init(Date* date) {
  *date = Date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING};
  return 0;
}

int DATE_decode_label(const char*, Date* date) { return DATE_init(date); }

int DATE_get_current_str(char* str) {
  str[0] = '\0';
  return 0;
}
