// zudscript.h — the print program in scripts: many stations of one file in one run, and
// the analysis values of each as a JSON line or a CSV row instead of the tables.
//
//   -id OAX,GRB,72558   the listed stations, each analysed as if it were alone
//   -id all             every station of the file, in file order
//   -pa json            one JSON object per station per line (JSON Lines)
//   -pa json,levels     the same with the merged sounding and wind profile as arrays
//   -pa csv             one header line and one row per station, the JSON fields in order

#ifndef ZUDSCRIPT_H
#define ZUDSCRIPT_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zudsnd.h"

// ---- ua_tool ----------------------------------------------------------------------------
// The handle of the open upper-air file for UPA_read, -1 when none is open.
int UPA_file_handle();

// ---- ua_stations: the stations of one run ---------------------------------------------

// True when an identifier resource names several stations: it holds a comma or is "all"
// (any case). A single identifier and "list" keep the one-station selection.
bool UPA_is_station_list(const char* value);

// The wanted identifiers of a list in their order, each cut to 10 characters and, as the
// station prompt does, upper-cased when it is 3 characters long or does not begin with a
// lower-case letter. Empty items are dropped.
std::vector<std::string> UPA_station_answers(const char* value);

// Called with each station's whole report, in the order of the list.
using UPA_station_visit = std::function<void(UPA_report* report)>;

// Reads the stations the identifier resource `value` names from the open file and hands
// each to `visit`: "all" gives every station in file order; a list gives each listed
// station in list order, the first station of the file matching it by identifier (any
// case) or WMO number, as a single search would. The file is read once when the list
// follows the file's order and as often as the list turns back otherwise. Each search
// prints "Searching for %s...\n" (mess); an identifier that matches nothing is named on
// standard error ("UPA_get_station: No such station:%s\n") and skipped. Returns the
// number of identifiers not found.
int UPA_each_station(const char* value, const UPA_station_visit& visit);

// ---- ua_values: analysis values for scripts --------------------------------------------

// The output form chosen by the "parameter" resource.
enum class THERM_form { tables, json, csv };
struct THERM_output {
  THERM_form form = THERM_form::tables;
  bool levels = false;  // JSON only: add the merged sounding and wind profile
  int jobs = 0;         // records: stations analysed at once; 0 for one per processor
};

// Everything one record is written from.
struct THERM_station {
  const UPA_report* report = nullptr;   // station identification and location (merged)
  const Date* date = nullptr;           // date and time of the data
  const UPA_sounding* sounding = nullptr;
  const THERM_record* record = nullptr;
};

// The names of the fields of a record, in their order (the CSV header).
std::vector<std::string> THERM_field_names();
// One station as a JSON object on one line (no line end); with `levels` the arrays
// "sounding" and "winds" follow the fields.
std::string THERM_json_line(const THERM_station& st, bool levels);
// The CSV header line and one station's row (no line ends); missing values are empty.
std::string THERM_csv_header();
std::string THERM_csv_row(const THERM_station& st);
// The record of the form `out` asks for (JSON line or CSV row), with its line end.
std::string THERM_record_line(const THERM_station& st, const THERM_output& out);

// ---- values_pool: many stations analysed on worker threads ----------------------------

// Analyses stations on `workers` threads and prints each one's tables or record (as `out`
// says), with every message printed for it, in the order the stations were added: the
// output is that of analysing them one after another on one thread. While the pool exists
// the main thread's messages are held and printed after the stations added before them.
class THERM_values_pool {
 public:
  THERM_values_pool(const THERM_output& out, int workers);
  ~THERM_values_pool();
  THERM_values_pool(const THERM_values_pool&) = delete;
  THERM_values_pool& operator=(const THERM_values_pool&) = delete;

  // Merges the report (on the calling thread) and queues its analysis.
  void add(UPA_report* report);
  // Prints every station added and stops the workers.
  void finish();

  struct State;

 private:
  void print_done(bool all);
  std::unique_ptr<State> s_;
};

#endif  // ZUDSCRIPT_H
