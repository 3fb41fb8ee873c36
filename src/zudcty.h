// zudcty.h — station location database records (modules cty_read, cty_tool).
//
// A database is a text file with one station per line: name, state, region,
// identifier, priority token, latitude, longitude, elevation, WMO number and a final
// integer, separated by white space.

#ifndef ZUDCTY_H
#define ZUDCTY_H

#include "zud.h"

constexpr int CTY_NAME_LEN = 20;    // longest station or place name
constexpr int CTY_STATE_LEN = 2;    // state or province code
constexpr int CTY_REGION_LEN = 2;   // country or region code
constexpr int CTY_ID_LEN = 9;       // longest station identifier
constexpr int CTY_PRIOR_LEN = 4;    // longest priority token ("*5*" plus one)
constexpr int CTY_LINE_BYTES = 59;  // width of a line in the package's database files
constexpr int CTY_MAX_STATS = 4000; // cap of the record estimate of CTY_open_file

// One database record.
struct CTY_data {
  char name[CTY_NAME_LEN + 1];      // station or place name, one word
  char state[CTY_STATE_LEN + 1];    // state or province code
  char region[CTY_REGION_LEN + 1];  // country or region code
  char id[CTY_ID_LEN + 1];          // station identifier
  int prior;                        // plotting priority 0-9, -9999 when unreadable
  char mos;                         // '*' for a MOS station, else ' '
  char ua;                          // '*' for an upper-air station, else ' '
  float lat;                        // degrees north
  float lon;                        // degrees east
  float el;                         // elevation, m; -9999 when missing
  int wmo;                          // WMO block and station number
  int num;                          // last numeric column, not interpreted
};

// ---- cty_read: the open database ----------------------------------------------------
int CTY_open(const char* filename, int f_access, int f_type);
int CTY_read(int city_fd, CTY_data* city);
int CTY_rewind(int city_fd);
int CTY_close(int city_fd);

// ---- cty_tool: choosing the database and looking stations up --------------------------
int CTY_open_file(const char* file, int* num_stats);
int CTY_get(const char* file, const char* id, CTY_data* buf);
int CTY_get_loc(const char* file, const char* id, float* lat, float* lon);

#endif  // ZUDCTY_H
