// resrc.cpp — resources. Placeholder: a name/value list without gathering.

#include <map>
#include <string>

#include "zudresrc.h"

namespace {
std::map<std::string, std::string>& values() {
  static std::map<std::string, std::string> v;
  return v;
}
}  // namespace

char* RES_get(const char* name) {
  auto it = values().find(name);
  return it == values().end() ? nullptr : it->second.data();
}

int RES_put(const char* name, const char* value) {
  values()[name] = value ? value : "";
  return 0;
}

int RES_list() {
  for (const auto& [k, v] : values()) MESS_print(0x8, "%s: %s\n", k.c_str(), v.c_str());
  return 0;
}
