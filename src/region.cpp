// region.cpp — map domains: turning a domain text into a Domain record, the predefined
// regions, region files and their menu, and the station plotting priority.
//
// A domain text is a comma-separated list tried against a fixed sequence of layouts
// (projection, centres, grid size, spacing in various combinations, a station, a region
// name); the first layout whose every item reads wins and fills the fields it lacks with
// its defaults. The result also sets the region flag, the "r" file-name key and the
// station priority, which grows coarser as the domain grows taller.

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zudcty.h"
#include "zuddom.h"
#include "zudresrc.h"

namespace {

constexpr M_type kDebugC = mess_sub(MESS_DEBUG, MESS_SUB_C);  // decoding traces
constexpr M_type kDebugD = mess_sub(MESS_DEBUG, MESS_SUB_D);  // region files that cannot be opened
constexpr M_type kWarn = MESS_WARN;          // an invalid domain
constexpr int kMaxCodes = 8;            // field codes one layout may hold
constexpr int kMaxNesting = 4;          // region texts that may name further regions
constexpr int kPathLen = 160;           // longest region file name after joining the path
constexpr int kMaxProjValues = 4;       // further projection parameters an item may give
constexpr int kDefNx = 25;              // grid points in x of a default grid
constexpr int kDefNy = 17;              // grid points in y of a default grid
constexpr float kDefSpacing = 1.2f;     // default grid spacing
constexpr float kZoomSpacing = 1.0f;    // default spacing of a "zoom" projection
constexpr int kProjPolar = 1;           // polar stereographic
constexpr int kProjZoom = 50;           // "zoom" pseudo-projection
constexpr int kProjSize = 51;           // "size" pseudo-projection: only a grid size
constexpr int kFileKey = 114;           // file-name key ("r") that carries the domain text
constexpr int kStartPrior = 3;          // station priority before any domain
constexpr int kStartLocPrior = 4;       // location priority before any domain
constexpr const char* kRegionFile = "zud.reg";  // region file searched for plain names
constexpr const char* kStationFile = "sao.cty"; // station database of "id:" items

// Station plotting priorities.
int priority = kStartPrior;      // priority level of station symbols
int loc_prior = kStartLocPrior;  // priority level of location symbols

// The region menu last read; the entry after the last has an empty name.
DOM_menu_entry menu[DOM_MENU_MAX + 1] = {};

int nesting = 0;  // depth of region texts being decoded inside a region item

// Defaults a layout applies once its items have been read.
enum : unsigned {
  kSizeOnly = 1u << 0,    // tried only when the first item is the "size" projection
  kProj1 = 1u << 1,       // projection 1
  kGrid = 1u << 2,        // 25 x 17 points
  kDyIsDx = 1u << 3,      // dy = dx
  kSpacing = 1u << 4,     // dx = dy = 1.2
  kProjCentre = 1u << 5,  // proj,clat,clon: grid size for "size", else grid and spacing
  kRegion = 1u << 6,      // a region item: result 2
};

struct Layout {
  int codes[kMaxCodes];  // field codes, DOM_END after the last
  unsigned defaults;     // what the layout fills in
  const char* line;      // trace printed when it fits
};

// The layouts in the order they are tried; the first that fits wins.
const Layout kLayouts[] = {
    {{DOM_PROJ, DOM_NX, DOM_NY}, kSizeOnly, "%2d proj,nx,ny\n"},
    {{DOM_PROJ, DOM_PLON, DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX, DOM_DY}, 0,
     "%2d proj,plon,clat,clon,nx,ny,dx,dy\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX, DOM_DY}, 0,
     "%2d proj,clat,clon,nx,ny,dx,dy\n"},
    {{DOM_PROJ, DOM_PLON, DOM_CLAT, DOM_CLON, DOM_DX, DOM_DY}, kGrid,
     "%2d proj,plon,clat,clon,dx,dy\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX}, kDyIsDx,
     "%2d proj,clat,clon,nx,ny,dx\n"},
    {{DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX, DOM_DY}, kProj1, "%2d clat,clon,nx,ny,dx,dy\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_DX, DOM_DY}, kGrid, "%2d proj,clat,clon,dx,dy\n"},
    {{DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY, DOM_DX}, kProj1 | kDyIsDx, "%2d clat,clon,nx,ny,dx\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON, DOM_DX}, kGrid | kDyIsDx, "%2d proj,clat,clon,dx\n"},
    {{DOM_CLAT, DOM_CLON, DOM_NX, DOM_NY}, kProj1 | kSpacing, "%2d clat,clon,nx,ny\n"},
    {{DOM_CLAT, DOM_CLON, DOM_DX}, kProj1 | kGrid | kDyIsDx, "%2d clat,clon,dx\n"},
    {{DOM_PROJ, DOM_CLAT, DOM_CLON}, kProjCentre, "%2d proj,clat,clon\n"},
    {{DOM_CLAT, DOM_CLON}, kProj1 | kGrid | kSpacing, "%2d clat,clon\n"},
    {{DOM_STAT}, kProj1 | kGrid | kSpacing, "%2d id:###\n"},
    {{DOM_REG}, kRegion, "%2d reg:REG\n"},
};

// A predefined region: polar stereographic, 25 x 17 points, plon = clon.
struct DefRegion {
  const char* name;
  float clat, clon, spacing;
  bool ask;  // the centre is asked for
};

const DefRegion kRegions[] = {
    {"us", 39.0f, -97.0f, 2.3f, false},  {"ne", 42.0f, -76.0f, 0.9f, false},
    {"at", 37.0f, -82.0f, 0.9f, false},  {"se", 31.0f, -88.0f, 1.1f, false},
    {"mw", 43.0f, -93.0f, 1.1f, false},  {"sp", 32.5f, -100.0f, 1.2f, false},
    {"nw", 44.0f, -112.0f, 1.0f, false}, {"sw", 37.0f, -112.0f, 1.0f, false},
    {"var", MISSING, MISSING, 1.2f, true},
};

// Projection keywords in the order they are tried; each matches a text that begins with
// it (without regard to case).
struct ProjWord {
  const char* word;
  int code;
};

const ProjWord kProjWords[] = {
    {"ll", 2},    {"lat", 2},    {"polar", 1},  {"ps", 1},     {"sat", 9},    {"lamb", 4},
    {"lc", 4},    {"la", 8},     {"gn", 6},     {"or", 5},     {"mo", 7},     {"me", 3},
    {"pix", 99},  {"xy", 20},    {"xlogy", 22}, {"xlogp", 22}, {"cat", 24},   {"skewt", 40},
    {"ema", 42},  {"teph", 43},  {"rteph", 44}, {"therm", 40}, {"stuve", 41}, {"hodo", 23},
    {"vert", 22},
};

bool begins_with(const char* text, const char* start) {
  return strnicmp(text, start, static_cast<int>(std::strlen(start))) == 0;
}

// Reads a whole-or-leading number the way "%f" does, refusing what no float can hold.
bool read_float(const char* text, float* out) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (end == text || !std::isfinite(v) || std::fabs(v) > FLT_MAX) return false;
  *out = static_cast<float>(v);
  return true;
}

// Reads a leading integer the way "%d" does, refusing what no int can hold.
bool read_int(const char* text, int* out) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<int>(v);
  return true;
}

// Splits a text at `delim`, keeping empty pieces.
std::vector<std::string> split(const char* text, char delim) {
  std::vector<std::string> parts;
  std::string cur;
  for (const char* p = text; *p; ++p) {
    if (*p == delim) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += *p;
    }
  }
  parts.push_back(cur);
  return parts;
}

// The white-space separated words of a line.
std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// Opens a region file found on the "file_path" directory; null when it cannot be opened
// or its joined name is too long. `full` receives the name tried.
FILE* open_region_file(const char* file, std::string* full) {
  *full = file ? file : "";
  if (!file || !*file) return nullptr;
  const char* path = RES_get("file_path");
  if ((path ? std::strlen(path) : 0) + std::strlen(file) + 2 > static_cast<size_t>(kPathLen))
    return nullptr;
  char joined[kPathLen];
  FILE_add_path(path, file, joined);
  char expanded[kPathLen];
  FILE_add_user_path(joined, expanded);
  expanded[kPathLen - 1] = '\0';
  *full = expanded;
  return std::fopen(expanded, "r");
}

// Copies at most DOM_LINE_LEN characters of `text` into `out`.
void copy_text(const std::string& text, char* out) {
  size_t n = text.size() < static_cast<size_t>(DOM_LINE_LEN) ? text.size() : DOM_LINE_LEN;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// A projection item: keyword, then ":"-separated values. Returns false for an unknown
// keyword (the projection then becomes 1). Values that do not read leave their field unset.
bool take_projection(const char* item, Domain* d) {
  std::vector<std::string> parts = split(item, ':');
  int proj = DOM_proj_str(parts[0].c_str());
  if (proj == -1) {
    d->proj = kProjPolar;
    return false;
  }
  d->proj = proj;
  std::vector<std::string> values;
  for (size_t i = 1; i < parts.size(); ++i)
    if (!parts[i].empty()) values.push_back(parts[i]);
  if (values.size() == 1) {
    read_float(values[0].c_str(), &d->plon);
    return true;
  }
  size_t k = 0;
  if (k < values.size() && stricmp(values[k].c_str(), "e") == 0) {
    d->ellipse = 1;
    ++k;
  }
  if (k < values.size()) read_float(values[k++].c_str(), &d->plat);
  if (k < values.size()) read_float(values[k++].c_str(), &d->plon);
  for (int p = 0; p < kMaxProjValues && k < values.size(); ++p)
    read_float(values[k++].c_str(), &d->param[p]);
  return true;
}

// A station item: "id:" and an identifier, or a database file, ":" and an identifier.
// The station's place becomes the centre; a station not found does not fit.
bool take_station(const char* item, Domain* d) {
  if (!begins_with(item, "id:")) return false;
  std::string rest = item + 3;
  std::string file = kStationFile;
  size_t colon = rest.rfind(':');
  if (colon != std::string::npos) {
    file = rest.substr(0, colon);
    rest = rest.substr(colon + 1);
  }
  if (rest.empty() || file.empty()) return false;
  float lat = MISSING, lon = MISSING;
  if (CTY_get_loc(file.c_str(), rest.c_str(), &lat, &lon) != 1) return false;
  d->clat = lat;
  d->clon = lon;
  return true;
}

// A region item: a name searched in "zud.reg" and then among the predefined regions,
// "fi:file" (the file's first region), or "file:name" ("file:" reads the file's menu).
// A found domain text is decoded in its turn and must itself be valid.
bool take_region(const char* item, Domain* d) {
  if (!*item || begins_with(item, "id:")) return false;
  char domstr[DOM_LINE_LEN + 1] = "";
  int found = 0;
  const char* colon = std::strchr(item, ':');
  if (begins_with(item, "fi:")) {
    found = DOM_search_file(item + 3, nullptr, domstr);
  } else if (colon) {
    std::string file(item, colon);
    if (colon[1] == '\0') return DOM_read_menu(file.c_str()) == 1;
    found = DOM_search_file(file.c_str(), colon + 1, domstr);
  } else {
    found = DOM_search_file(kRegionFile, item, domstr);
    if (!found) {
      if (DOM_get_def_region(item, d) == 1) return true;
      d->proj = -1;
      return false;
    }
  }
  if (!found) return false;
  // A region whose text names itself, or a ring of them, would never end.
  if (nesting >= kMaxNesting) return false;
  ++nesting;
  int r = DOM_decode(domstr, d);
  --nesting;
  return r > 0;
}

// Reads one item into the field `code` names.
bool take_item(int code, const char* item, Domain* d) {
  switch (code) {
    case DOM_PROJ: return take_projection(item, d);
    case DOM_PLON: return read_float(item, &d->plon);
    case DOM_CLAT: return read_float(item, &d->clat);
    case DOM_CLON: return read_float(item, &d->clon);
    case DOM_NX: return read_int(item, &d->nx);
    case DOM_NY: return read_int(item, &d->ny);
    case DOM_DX: return read_float(item, &d->dx);
    case DOM_DY: return read_float(item, &d->dy);
    case DOM_STAT: return take_station(item, d);
    case DOM_REG: return take_region(item, d);
    default: return false;
  }
}

// A grid size read as a float: its whole part, or unset when it is missing or no int
// holds it.
int grid_count(float v) {
  if (v == MISSING || !(v > static_cast<float>(INT_MIN) && v < static_cast<float>(INT_MAX)))
    return IMISSING;
  return static_cast<int>(v);
}

// Fills what a fitted layout leaves unset.
void apply_defaults(unsigned defaults, Domain* d) {
  if (defaults & kProj1) d->proj = kProjPolar;
  if (defaults & kGrid) {
    d->nx = kDefNx;
    d->ny = kDefNy;
  }
  if (defaults & kSpacing) d->dx = d->dy = kDefSpacing;
  if (defaults & kDyIsDx) d->dy = d->dx;
  if (defaults & kProjCentre) {
    if (d->proj == kProjSize) {
      // "size" gives a grid size only: the two numbers are nx and ny, not a centre.
      d->nx = grid_count(d->clat);
      d->ny = grid_count(d->clon);
      d->clat = d->clon = MISSING;
    } else {
      d->dx = d->dy = d->proj == kProjZoom ? kZoomSpacing : kDefSpacing;
      d->nx = kDefNx;
      d->ny = kDefNy;
    }
  }
}

// True when the first item's projection keyword is "size".
bool first_is_size(int n, char** items) {
  if (n < 1) return false;
  std::vector<std::string> parts = split(items[0], ':');
  return DOM_proj_str(parts[0].c_str()) == kProjSize;
}

}  // namespace

// Clears a domain: projection, grid size and every float unset, spherical earth.
// Returns 0.
int DOM_init(Domain* domain) {
  if (!domain) return 0;
  domain->proj = IMISSING;
  domain->plat = domain->plon = MISSING;
  for (float& p : domain->param) p = MISSING;
  domain->clat = domain->clon = MISSING;
  domain->dx = domain->dy = MISSING;
  domain->nx = domain->ny = IMISSING;
  domain->ellipse = 0;
  return 0;
}

// Fills `domain` from a domain text. Returns 1 for an explicit domain, 2 for a region
// name, -1 for a text no layout fits (the record is left cleared), -9999 for a null,
// empty or "miss" text. The result also becomes the region flag, the text becomes file
// key "r", and the station priority follows the domain's height dy * (ny - 1).
int DOM_decode(const char* str, Domain* domain) {
  Domain scratch;
  if (!domain) domain = &scratch;
  DOM_init(domain);
  if (!str || !*str || stricmp(str, "miss") == 0) return IMISSING;

  int n = 0;
  char** items = nullptr;
  parse_string(str, ',', &n, &items);
  MESS_print(kDebugC, "******** PARSING DOMAIN: %d %s\n", n, str);
  int result = -1;
  for (const Layout& lay : kLayouts) {
    if ((lay.defaults & kSizeOnly) && !first_is_size(n, items)) continue;
    const int* c = lay.codes;
    if (DOM_set_params(n, items, domain, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]) != 0)
      continue;
    apply_defaults(lay.defaults, domain);
    MESS_print(kDebugC, lay.line, 0);
    result = lay.defaults & kRegion ? 2 : 1;
    break;
  }
  free_parsed_array(n, items);
  if (result == -1) {
    MESS_print(kWarn, "DOM_decode: Invalid plot domain\n");
    DOM_init(domain);  // no half-read layout is left behind
  }

  FLAG_set(DOM_REGION_FLAG, result);
  FILE_set_key(static_cast<char>(kFileKey), str);
  // A domain without a height (an invalid text, a bare grid size) leaves the priority.
  if (domain->dy != MISSING && domain->ny != IMISSING)
    DOM_set_base_prior(static_cast<float>(static_cast<double>(domain->dy) * (domain->ny - 1.0)));
  return result;
}

// Tries one layout: the items `paramv` read against the field codes c1..c8 (DOM_END
// ends the list). Returns 0 when every item reads into its field, 1 otherwise. A first
// item "miss" or "none" fits at once and leaves the record cleared.
int DOM_set_params(int paramc, const char* const* paramv, Domain* domain, int c1, int c2,
                   int c3, int c4, int c5, int c6, int c7, int c8) {
  if (!domain || paramc < 1 || !paramv) return 1;
  const int given[kMaxCodes] = {c1, c2, c3, c4, c5, c6, c7, c8};
  int codes[kMaxCodes];
  int n = 0;
  for (int k = 0; k < kMaxCodes && given[k] != DOM_END; ++k) {
    int code = given[k];
    // A station stands for the centre: "id:" in the latitude's place takes both places.
    if (code == DOM_CLAT && n < paramc && paramv[n] && begins_with(paramv[n], "id:")) {
      code = DOM_STAT;
      if (k + 1 < kMaxCodes && given[k + 1] == DOM_CLON) ++k;
    }
    codes[n++] = code;
  }
  if (n != paramc) return 1;
  DOM_init(domain);
  if (paramv[0] && (stricmp(paramv[0], "miss") == 0 || stricmp(paramv[0], "none") == 0)) return 0;
  for (int i = 0; i < n; ++i)
    if (!paramv[i] || !take_item(codes[i], paramv[i], domain)) return 1;
  return 0;
}

// Fills a predefined region (polar stereographic, 25 x 17 points, plon = clon); "var"
// asks for its centre. Returns 1 and sets the region flag to 1 and the station priority,
// or 0 for an unknown name.
int DOM_get_def_region(const char* region, Domain* domain) {
  if (!region || !domain) return 0;
  for (const DefRegion& r : kRegions) {
    if (stricmp(region, r.name) != 0) continue;
    DOM_init(domain);
    domain->proj = kProjPolar;
    domain->nx = kDefNx;
    domain->ny = kDefNy;
    domain->dx = domain->dy = r.spacing;
    domain->clat = r.ask ? ZUD_promptf("Enter the central latitude: ") : r.clat;
    domain->clon = r.ask ? ZUD_promptf("Enter the central longitude: ") : r.clon;
    domain->plon = domain->clon;
    FLAG_set(DOM_REGION_FLAG, 1);
    DOM_set_base_prior(static_cast<float>(static_cast<double>(domain->dy) * (domain->ny - 1.0)));
    return 1;
  }
  return 0;
}

// The projection code of a keyword (2 lat/lon, 1 polar stereographic, 4 Lambert, ...);
// -9999 for "miss", -1 for a null or unknown text.
int DOM_proj_str(const char* proj) {
  if (!proj) return -1;
  for (const ProjWord& w : kProjWords)
    if (begins_with(proj, w.word)) return w.code;
  if (stricmp(proj, "xp") == 0) return 25;
  if (begins_with(proj, "zoom")) return kProjZoom;
  if (begins_with(proj, "size")) return kProjSize;
  if (stricmp(proj, "miss") == 0) return IMISSING;
  return -1;
}

// Looks region `str` up in region file `file` (on the "file_path" directory) and copies
// its domain text into `domstr` (DOM_LINE_LEN + 1 bytes). A one-word line is a domain
// text for any name; a null or empty `str` takes the first region. Returns 1 when found,
// 0 otherwise; an empty line ends the search.
int DOM_search_file(const char* file, const char* str, char* domstr) {
  std::string full;
  FILE* f = open_region_file(file, &full);
  if (!f) {
    MESS_print(kDebugD, "Unable to open region file: %s\n", full.c_str());
    return 0;
  }
  int found = 0;
  std::string line;
  while (!found && fget_bounded_line(f, &line, DOM_LINE_LEN)) {
    if (line[0] == '#') continue;
    std::vector<std::string> w = words_of(line);
    if (w.empty()) break;
    if (w.size() == 1) {
      if (domstr) copy_text(w[0], domstr);
      found = 1;
    } else if ((!str || !*str || stricmp(w[0].c_str(), str) == 0) && w.size() >= 4) {
      // A matching line that lacks its domain text is passed over.
      if (domstr) copy_text(w[3], domstr);
      found = 1;
    }
  }
  std::fclose(f);
  return found;
}

// Reads the region menu of region file `file`: up to 19 regions whose menu flag is not
// 0, each with its label (underscores as spaces, at most 20 characters), its name (at
// most 5) and its position among the file's regions. Returns 1, or 0 when the file
// cannot be opened (the menu is then left as it was).
int DOM_read_menu(const char* file) {
  std::string full;
  FILE* f = open_region_file(file, &full);
  if (!f) {
    MESS_print(kDebugD, "Unable to open region file: %s\n", full.c_str());
    return 0;
  }
  std::memset(menu, 0, sizeof menu);
  int count = 0, pos = 0;
  std::string line;
  while (count < DOM_MENU_MAX && fget_bounded_line(f, &line, DOM_LINE_LEN)) {
    if (line[0] == '#') continue;
    std::vector<std::string> w = words_of(line);
    if (w.empty()) break;
    if (w.size() < 3) continue;
    int flag = 0;
    int here = pos++;
    if (!read_int(w[2].c_str(), &flag) || flag == 0) continue;
    DOM_menu_entry& e = menu[count++];
    std::snprintf(e.label, sizeof e.label, "%s", w[1].c_str());
    for (char& ch : e.label)
      if (ch == '_') ch = ' ';
    std::snprintf(e.name, sizeof e.name, "%s", w[0].c_str());
    e.pos = here;
  }
  std::fclose(f);
  return 1;
}

// The region menu last read: entries up to the first with an empty name.
const DOM_menu_entry* DOM_get_menu() { return menu; }

// Sets the station priority from a domain height `size`: 1 above 50, 2 above 25, 3
// above 12.5, 4 above 6.25, 5 above 3, else 6; then resource "stat_prior" adjusts it
// ("+d" adds the digit, "-d" subtracts it, "d" replaces it). Returns the priority.
int DOM_set_base_prior(float size) {
  int p = size > 50.0f ? 1 : size > 25.0f ? 2 : size > 12.5f ? 3 : size > 6.25f ? 4 : size > 3.0f ? 5 : 6;
  if (const char* adj = RES_get("stat_prior")) {
    bool sign = adj[0] == '+' || adj[0] == '-';
    if (sign && std::isdigit(static_cast<unsigned char>(adj[1])))
      p += adj[0] == '+' ? adj[1] - '0' : -(adj[1] - '0');
    else if (std::isdigit(static_cast<unsigned char>(adj[0])))
      p = adj[0] - '0';
  }
  priority = p;
  return p;
}

// Sets the station priority. Returns the previous one.
int DOM_set_prior(int prior) {
  int old = priority;
  priority = prior;
  return old;
}

// The station priority level.
int DOM_get_prior() { return priority; }

// Sets the location priority. Returns the previous one.
int DOM_set_loc_prior(int prior) {
  int old = loc_prior;
  loc_prior = prior;
  return old;
}

// The location priority level.
int DOM_get_loc_prior() { return loc_prior; }
