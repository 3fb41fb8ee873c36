// cty_tool.cpp — choosing the station location database and looking stations up in it.
//
// The database is named by the "city_file" resource ("none" turns look-ups off), by
// the caller, or defaults to "sao.cty", and is found on the "file_path" directory.
// Every look-up opens, scans and closes the file; nothing is cached between look-ups.

#include <cstdio>
#include <cstring>

#include "zudcty.h"
#include "zudresrc.h"

namespace {

constexpr int kMaxPath = 160;               // longest expanded database name
constexpr int kWmoText = 16;                // room for a WMO number written "%05d"
constexpr M_type kWarn = MESS_WARN;        // message level of a missing database
constexpr M_type kMess = MESS_MESS;        // message level of the search notice
constexpr const char* kDefaultDb = "sao.cty";  // database used when none is named

// True when `id` names the record: its identifier, its name, or its WMO number as
// five zero-padded digits, all without regard to letter case.
bool matches(const char* id, const CTY_data& rec) {
  if (stricmp(id, rec.id) == 0 || stricmp(id, rec.name) == 0) return true;
  if (rec.wmo == IMISSING) return false;
  char wmo[kWmoText];
  std::snprintf(wmo, sizeof wmo, "%05d", rec.wmo);
  return stricmp(id, wmo) == 0;
}

}  // namespace

// Opens the station database for reading: the "city_file" resource when set (the value
// "none" in any case disables the database), else `file` when given, else "sao.cty",
// prefixed with the "file_path" directory. Stores in *num_stats an estimate of its
// record count (size / 59 bytes, at most 4000). Returns the descriptor, or -1.
int CTY_open_file(const char* file, int* num_stats) {
  if (num_stats) *num_stats = 0;
  const char* name = RES_get("city_file");
  if (name && *name) {
    if (stricmp(name, "none") == 0) return -1;
  } else if (file && *file) {
    name = file;
  } else {
    name = kDefaultDb;
  }

  const char* path = RES_get("file_path");
  char full[kMaxPath];
  // Path, separator, name and terminator must fit before the two are joined.
  if ((path ? std::strlen(path) : 0) + std::strlen(name) + 2 > sizeof full) {
    MESS_print(kWarn, "CTY_open_file: Database file not found: %s\n", name);
    return -1;
  }
  FILE_add_path(path, name, full);

  long size = FILE_size(full);
  long estimate = size > 0 ? size / CTY_LINE_BYTES : 0;
  if (estimate > CTY_MAX_STATS) estimate = CTY_MAX_STATS;
  if (num_stats) *num_stats = static_cast<int>(estimate);

  int fd = CTY_open(full, 0, 0);
  if (fd == -1) MESS_print(kWarn, "CTY_open_file: Database file not found: %s\n", full);
  return fd;
}

// Looks a station up by identifier, name or five-digit WMO number, ignoring case.
// Returns 1 with `buf` holding the first matching record, 0 when the database is off,
// missing or holds no match (`buf` then holds the last record read).
int CTY_get(const char* file, const char* id, CTY_data* buf) {
  if (!id || !*id || !buf) return 0;
  int num_stats = 0;
  int fd = CTY_open_file(file, &num_stats);
  if (fd == -1) return 0;
  MESS_print(kMess, "Searching the city database file for: %s ...\n", id);
  CTY_rewind(fd);
  bool found = false;
  while (!found && CTY_read(fd, buf) > 0) found = matches(id, *buf);
  CTY_close(fd);
  return found ? 1 : 0;
}

// Looks a station up as CTY_get does. Returns 1 with its latitude and longitude
// (degrees north, degrees east) stored, or 0 leaving them unchanged.
int CTY_get_loc(const char* file, const char* id, float* lat, float* lon) {
  CTY_data rec;
  if (!CTY_get(file, id, &rec)) return 0;
  if (lat) *lat = rec.lat;
  if (lon) *lon = rec.lon;
  return 1;
}
