// zudingest.h — ingest of coded upper-air soundings into the converted "ZUDUPAx" files.
//
// Three layers meet here:
//   - ING_report: the decoded sounding of one station at one observation time, in the
//     units of the converted files (mb, m above sea level, deg C, degrees, knots);
//   - the readers, one per input format (temp_decode: WMO TEMP/PILOT text bulletins),
//     each of which is fed the bytes of its input files and hands back ING_reports;
//   - the writer (upa_write) with the station list and station database (stn_list):
//     locates each station, names the converted file of an observation time by the
//     "upa_cvt" naming convention, merges the blocks into that file and adds new
//     stations to upa.cty.
// A program strings them together (ua_ingest): choose a reader per file, feed it,
// collect the reports, locate them, group them by time and write one file per time.

#ifndef ZUDINGEST_H
#define ZUDINGEST_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zudcty.h"
#include "zudupa.h"

// ---- the decoded sounding ---------------------------------------------------------------

// A wind level, reported either by height (h, m above sea level) or by pressure (p, mb);
// the other coordinate is MISSING until the writer derives it. Direction degrees, speed
// knots.
struct ING_wind {
  float p = MISSING;
  float h = MISSING;
  float dir = MISSING;
  float spd = MISSING;
};

// The sounding of one station at one observation time. Every value is MISSING where the
// report does not give it; levels may arrive in any order (the writer orders them).
struct ING_report {
  // Identification.
  int wmo = IMISSING;  // WMO block and station number
  std::string id;      // identifier of the station token; empty: chosen by the writer
  Date date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, 0, 0};
                       // observation time: year, month, day, hour (UTC)
  // Location: from the report or, when missing, from the station list.
  float lat = MISSING;   // degrees north
  float lon = MISSING;   // degrees east
  float elev = MISSING;  // station elevation, m
  std::string name;      // station name (station list), for new upa.cty lines
  // Levels.
  UPA_level sfc{MISSING, MISSING, MISSING, MISSING, MISSING, MISSING};  // surface
  std::vector<UPA_level> man;      // standard isobaric levels (p, h, t, td, dir, spd)
  std::vector<UPA_sig_level> sig;  // significant temperature levels, in report order
  std::vector<ING_wind> wind;      // significant wind levels
  std::vector<UPA_level> trop;     // tropopauses, in report order (p, t, td, dir, spd)
  std::vector<UPA_level> mwnd;     // maximum winds (p, dir, spd)
  // What the decoder or the writer had to round or leave out, joined into the one
  // warning of this report.
  std::vector<std::string> notes;
};

// Tallies of one run, as the summary line prints them.
struct ING_counts {
  int bulletins = 0;  // bulletins met (headings, or a headless file counted as one)
  int reports = 0;    // coded reports (parts) decoded and kept
  int nil = 0;        // NIL reports and reports that carry no level
  int rejected = 0;   // reports that could not be decoded
  int duplicates = 0; // retransmissions of a report already kept
  int corrected = 0;  // reports replaced by their correction
};

// ---- readers: one per input format ------------------------------------------------------

// A reader of one input format. The program offers each input file's first bytes to
// every reader in turn (recognises), then feeds the file to the first that accepts it
// in chunks of any size (feed), closes it (end_file), and after the last file asks for
// the reports (finish). Readers print rejected reports through the message layer.
class ING_reader {
 public:
  virtual ~ING_reader() = default;
  virtual const char* format() const = 0;
  // True when `head` (the first `len` bytes of a file) is in this reader's format.
  virtual bool recognises(const char* head, std::size_t len) const = 0;
  virtual void feed(const char* data, std::size_t len) = 0;
  virtual void end_file() = 0;
  // The reports of everything fed; `now` (seconds since 1970, UTC) dates reports whose
  // input carries only a day and an hour. Appends to `out`.
  virtual void finish(std::int64_t now, std::vector<ING_report>* out) = 0;
  ING_counts counts;
};

// temp_decode: WMO FM 35 TEMP parts A-D and the FM 32 PILOT parts B and D sent with them.
std::unique_ptr<ING_reader> TEMP_reader();

// Group decoders of the TEMP code forms (temp_decode). Each returns 0, or -1 when the
// group is not of its form (values are then left MISSING).
// Temperature group TTTaDD: deg C, sign by the parity of the tenths digit; dew point by
// the depression table (WMO code table 0777).
int TEMP_decode_td(const char* grp, float* t, float* td);
// Wind group dddff in the report's unit (knots when `knots`, else m/s, converted to knots);
// direction units digit 1 or 6 carry 100 of speed.
int TEMP_decode_wind(const char* grp, bool knots, float* dir, float* spd);
// Standard-level group PPhhh of part A (`upper` false) or C (`upper` true): pressure mb,
// height m with the dropped digits restored.
int TEMP_decode_std(const char* grp, bool upper, float* p, float* h);
// Date of a report that carries only `day` and `hour`: the most recent such day at or
// before `now`. Returns 0, or -1 when no month of the last year has that day.
int TEMP_date(int day, int hour, std::int64_t now, Date* date);

// ---- station list and station database (stn_list) ---------------------------------------

// One station of the WMO station list (IGRA station-list format, stations with a WMO
// number only).
struct ING_station {
  int wmo = IMISSING;
  float lat = MISSING;
  float lon = MISSING;
  float elev = MISSING;  // m; MISSING for the list's -999.9
  std::string state;     // US state code, may be empty
  std::string country;   // FIPS country code
  std::string name;
};

// The stations a run can locate: the list, and the station database that receives a line
// for every station it does not hold yet.
struct ING_stations {
  std::vector<ING_station> list;  // WMO-number order
  std::string cty_path;           // upa.cty, the upper-air station database
  std::vector<CTY_data> cty;      // its records, as read
  std::vector<CTY_data> added;    // lines made in this run, not yet written
};

// Reads the station list at `path`; returns the number of stations, -1 when unreadable.
int ING_read_station_list(const char* path, std::vector<ING_station>* list);
// Reads the station database at `path` (missing: empty). Returns its record count.
int ING_read_cty(const char* path, ING_stations* st);
// Fills the report's identifier and missing location from the database, else from the
// list (then a database line is prepared). Returns 1 when the station is known, else 0.
int ING_locate(ING_stations* st, ING_report* rep);
// Appends the prepared lines to the database; existing lines are never changed.
// Returns the number written, -1 on a write failure (message printed).
int ING_write_cty(ING_stations* st);
// One database line (59 bytes in the package's layout) for `rec`.
std::string ING_cty_line(const CTY_data& rec);

// ---- converted-file writer (upa_write) --------------------------------------------------

// The converted file of observation time `date` by the "upa_cvt" naming convention
// (converted-data path "con_path"). Returns 0, -1 when no name results.
int ING_file_name(const Date& date, std::string* path);
// The station block of `rep` in the "ZUDUPAx" layout, lines ended by '\n', the last one
// "$". What the layout cannot hold is added to rep->notes.
std::string ING_format_block(ING_report* rep);
// The date line of a converted file ("00Z 06 FEB 26").
std::string ING_date_line(const Date& date);
// Writes the blocks of `reps` (all of one time) into the converted file `path`: blocks of
// other stations already in the file are kept, those of the same stations replaced, all
// in WMO-number order; written under a temporary name and renamed. Returns the number
// of stations written, -1 on failure (message printed, the file untouched).
int ING_write_file(const char* path, const Date& date, std::vector<ING_report*>& reps);

#endif  // ZUDINGEST_H
