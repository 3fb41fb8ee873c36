// zuddom.h — map domains (module region): the domain record, decoding a domain text,
// the predefined regions, region files and their menu, and the station plotting
// priority that follows from a domain's size.

#ifndef ZUDDOM_H
#define ZUDDOM_H

#include "zud.h"

// A map domain; -9999 in a field means unset.
struct Domain {
  int proj;        // projection code
  float plat;      // projection latitude
  float plon;      // projection longitude
  float param[5];  // further projection parameters
  float clat;      // centre latitude, degrees
  float clon;      // centre longitude, degrees, west negative
  float dx;        // grid spacing in x
  float dy;        // grid spacing in y
  int nx;          // grid points in x
  int ny;          // grid points in y
  int ellipse;     // 1 for an ellipsoidal earth, else 0
};

// Field codes of a domain layout (DOM_set_params); DOM_END ends a list.
enum DOM_field {
  DOM_END = 0,   // end of the layout
  DOM_PROJ = 1,  // projection item: keyword[:values]
  DOM_PLON = 2,  // projection longitude
  DOM_CLAT = 3,  // centre latitude (an "id:" item here stands for the station's place)
  DOM_CLON = 4,  // centre longitude
  DOM_NX = 5,    // grid points in x
  DOM_NY = 6,    // grid points in y
  DOM_DX = 7,    // grid spacing in x
  DOM_DY = 8,    // grid spacing in y
  DOM_STAT = 9,  // station item: id:[file:]identifier
  DOM_REG = 10,  // region item: a region name, fi:file, or file:name
};

constexpr int DOM_LINE_LEN = 500;   // longest region-file line; domain texts fit in it
constexpr int DOM_MENU_MAX = 19;    // regions a menu holds
constexpr int DOM_LABEL_LEN = 20;   // longest menu label
constexpr int DOM_NAME_LEN = 5;     // longest region name a menu keeps
constexpr int DOM_REGION_FLAG = FLAG_REGION;  // the flag that holds the region result

// One entry of the region menu; the entry after the last has an empty name.
struct DOM_menu_entry {
  char label[DOM_LABEL_LEN + 1];  // label with underscores turned to spaces
  char name[DOM_NAME_LEN + 1];    // region name, cut to 5 characters
  int pos;                        // position of the region among the file's regions, from 0
};

// ---- region: domain decoding ---------------------------------------------------------
int DOM_init(Domain* domain);
int DOM_decode(const char* str, Domain* domain);
int DOM_set_params(int paramc, const char* const* paramv, Domain* domain, int c1, int c2 = 0,
                   int c3 = 0, int c4 = 0, int c5 = 0, int c6 = 0, int c7 = 0, int c8 = 0);
int DOM_get_def_region(const char* region, Domain* domain);
int DOM_proj_str(const char* proj);
int DOM_search_file(const char* file, const char* str, char* domstr);
int DOM_read_menu(const char* file);
const DOM_menu_entry* DOM_get_menu();
int DOM_set_base_prior(float size);
int DOM_set_prior(int prior);
int DOM_get_prior();
int DOM_set_loc_prior(int prior);
int DOM_get_loc_prior();

#endif  // ZUDDOM_H
