// system.cpp — process services. Placeholder.

#include <cstdlib>
#include <cstring>

#include "zud.h"

const char* ZUD_version() { return "5.60.4-LINUX-X11"; }

void ZUD_exit(int status) {
  std::fflush(nullptr);
  std::exit(status);
}

char* ZUD_prompts(const char* prompt, char* str, int length) {
  if (length <= 1) length = 2;
  if (!str) str = static_cast<char*>(std::calloc(length + 1, 1));
  if (!str) return nullptr;
  MESS_print(0xF, "%s", prompt);
  char line[80];
  if (!std::fgets(line, sizeof line, stdin)) return str;
  wstrim_string(line);
  char word[80];
  if (std::sscanf(line, "%79s", word) == 1) {
    std::strncpy(str, word, length - 1);
    str[length - 1] = '\0';
  }
  return str;
}
