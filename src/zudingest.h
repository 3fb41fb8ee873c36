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
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
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
  std::string src_id;    // the station's identifier in its input (IGRA identifier,
                         // list title), also matched by the station selection
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

// ---- threads (ing_jobs) -------------------------------------------------------------

// Sets the threads the ingest may use: 1 keeps all work on the calling thread, 0 (the
// default) one per processor, at most two. Below 0 (for tests): one thread, but the work
// is cut as for two and the back half of each piece of work run as the worker runs it,
// so that the joining of the halves is tested whatever the timing of threads.
void ING_set_jobs(int n);
// The threads the ingest may use, 1 or 2 (2 for the halves of a negative setting).
int ING_jobs();
// Starts the worker thread of ING_share_ends now rather than at its first use (when more
// than one thread may be used): a program that knows its input is large starts it early,
// while it still has other things to do.
void ING_start_worker();
// Runs the pieces 0 ... n - 1 of one piece of work, n the size of `held`, on this thread
// and the worker thread at once: this thread takes them in order from the front with
// mine(i), the worker from the back with other(i), each piece once, until they meet.
// The messages other(i) prints are held in held[i], in order, for the caller to deliver;
// mine(i) prints as the caller does. Returns, once both are done, the number m of pieces
// this thread ran: [0, m) by mine, [m, n) by other. With one thread m is n, and a piece
// of work the worker never reaches costs nothing but a flag per piece.
std::size_t ING_share_ends(std::span<std::vector<MESS_held>> held,
                           const std::function<void(std::size_t)>& mine,
                           const std::function<void(std::size_t)>& other);

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
  // Appends the reports already complete and hands them over, for readers whose reports
  // do not wait for the rest of the input (archives): the program writes them while
  // reading, so that memory stays flat in the input size. Default: none before finish.
  virtual void take_ready(std::vector<ING_report>* out) { (void)out; }
  ING_counts counts;
};

// A reader whose reports are complete as soon as they are read (the archive formats):
// it keeps them in `ready_` and hands them over at every take_ready and at finish.
class ING_streaming_reader : public ING_reader {
 public:
  void finish(std::int64_t, std::vector<ING_report>* out) override { take_ready(out); }
  void take_ready(std::vector<ING_report>* out) override {
    for (ING_report& r : ready_) out->push_back(std::move(r));
    ready_.clear();
  }

 protected:
  std::vector<ING_report> ready_;  // reports read and not yet handed over
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

// ---- archives and published lists ------------------------------------------------------

// Which soundings a run keeps (ing_select): an observation-time window and a set of
// stations. Readers of large archives apply it while reading; the program applies it
// to every report.
struct ING_select {
  bool window = false;         // false: every time
  std::int64_t from = 0;       // first observation time kept, seconds since 1970 (UTC)
  std::int64_t to = 0;         // last observation time kept
  int step = 0;                // hours; >0: only times a whole number of steps before `to`
  std::vector<std::string> ids;  // WMO numbers or input identifiers; empty: every station
};

// Sets the window from the time text `hour` (resource "hour", -ho: the package's time
// forms, or yymmddhh / yyyymmddhh) and `num_hour` ("num_hour", -nh: hours back, with an
// optional ",step"); fields the time leaves out come from the most recent such time at
// or before `now`. Either text may be null. Returns 0, or -1 with a message when a text
// cannot be read.
int ING_set_window(const char* hour, const char* num_hour, std::int64_t now, ING_select* sel);
// Splits the station list text `ids` (resource "identifier", -id: comma-separated).
void ING_set_ids(const char* ids, ING_select* sel);
// True when a sounding of WMO number `wmo` (IMISSING when none), input identifier
// `src_id` (may be null) and observation time `date` is selected.
bool ING_selected(const ING_select& sel, int wmo, const char* src_id, const Date& date);
bool ING_selected(const ING_select& sel, const ING_report& rep);

// igra_read: IGRA version 2 station files, plain or gzip-compressed. `sel` (may be null,
// must outlive the reader) lets soundings outside the selection be passed over unread.
std::unique_ptr<ING_reader> IGRA_reader(const ING_select* sel);

// One IGRA 2 data record decoded: pressure mb, height m, temperature and dew point
// deg C, direction degrees, speed knots; MISSING for -9999, -8888 and blanks.
struct IGRA_level {
  int major = IMISSING;  // level type, first digit: 1 standard, 2 other pressure, 3 height
  int minor = IMISSING;  // second digit: 1 surface, 2 tropopause, 0 other
  float p = MISSING;
  float h = MISSING;
  float t = MISSING;
  float td = MISSING;
  float dir = MISSING;
  float spd = MISSING;
  int removed = 0;       // values removed by the archive's quality control (-8888)
};
// Decodes the data record `line` (`len` bytes, no line end). Returns 0, or -1 with the
// reason in *why when the record is not in the IGRA 2 column layout.
int IGRA_decode_level(const char* line, std::size_t len, IGRA_level* lev, std::string* why);

// One IGRA 2 header record decoded.
struct IGRA_header {
  std::string id;       // 11-character station identifier
  Date date{IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, IMISSING, 0, 0};
  int numlev = 0;       // data records that follow
  float lat = MISSING;  // degrees north
  float lon = MISSING;  // degrees east
};
// Decodes the header record `line`. Returns 0, or -1 with the reason in *why.
int IGRA_decode_header(const char* line, std::size_t len, IGRA_header* hdr, std::string* why);
// WMO number of an IGRA station identifier (network code M), IMISSING when it has none.
int IGRA_wmo(const std::string& id);

// list_read: the University of Wyoming TEXT:LIST page and the SPC observed-sounding
// table. `sel` as for IGRA_reader.
std::unique_ptr<ING_reader> LIST_reader(const ING_select* sel);

// sig_thin: reduces significant levels (surface first, pressure decreasing) to at most
// `max` by the Ramer-Douglas-Peucker line simplification of temperature and dew point
// against ln p, splitting where the curve departs most from its chord until no point
// departs by more than `tol` (deg C) or `max` points are kept. Returns the largest
// departure of a dropped point, 0 when nothing was dropped.
double ING_thin_levels(std::vector<UPA_sig_level>* sig, std::size_t max, double tol);
// The tolerance the readers use, deg C.
constexpr double kThinTolerance = 0.5;
// Thins the significant levels of `rep` to what a block holds when they are more, with
// a note saying so.
void ING_thin_report(ING_report* rep);

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
  // Where in `cty` each WMO number first stands, for its first `cty_indexed` records
  // (ING_locate keeps it up to date).
  std::unordered_map<int, std::size_t> cty_at;
  std::size_t cty_indexed = 0;
};

// Keeps the reports `sel` selects. A report without a WMO number (a list naming its
// station by letters) takes it from the station database `st` by identifier; one that
// finds none is refused with a warning. Returns the number refused.
int ING_keep_selected(const ING_select& sel, const ING_stations& st, std::vector<ING_report>* reps);

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
