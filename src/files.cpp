// files.cpp — path and file utilities. Placeholder: opening only.

#include <cstring>

#include "zud.h"

int FILE_is_stdio(const char* file) {
  return !file || !*file || !std::strcmp(file, "-") || !stricmp(file, "std") ||
         !stricmp(file, "stdn");
}

FILE* FILE_open(const char* file, const char* access) {
  if (FILE_is_stdio(file)) return access[0] == 'r' ? stdin : stdout;
  if (file[0] == '|') return popen(file + 1, access);
  return std::fopen(file, access);
}
