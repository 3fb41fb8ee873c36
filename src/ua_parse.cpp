// ua_parse.cpp — the sounding print program: one straight pass that configures the
// runtime, opens one upper-air file, selects one station (or, for scripts, a list of
// stations or all of them), merges each report into a sounding and prints the station,
// the sounding and its analyses, or its analysis values as a JSON line or CSV row.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

#include "zuddraw.h"
#include "zudresrc.h"
#include "zudscript.h"
#include "zudunits.h"
#include "zudupa.h"

namespace {

// The one report of this run; filled by station selection, merged in place.
UPA_report report;

constexpr int kProgNameLen = 80;   // program name for the help text
constexpr int kFileNameLen = 160;  // chosen input file name
constexpr int kExitNotFound = 31;  // process status: a station was not found

// Keyed options this program accepts, in help order.
res_type res_key[] = {
    RES_help,       RES_batch,      RES_message,  RES_file_path, RES_data_path,
    RES_con_path,   RES_grid_path,  RES_raw_path, RES_image_path, RES_watch_path,
    RES_text_path,  RES_model_path, RES_sat_path, RES_name_conv, RES_in_file,
    RES_out_file,   RES_file_param, RES_current,  RES_hour,      RES_num_hour,
    RES_identifier, RES_parameter,  RES_plot_type, RES_device,    RES_null};

// Positional options: the input file names.
res_type res_pos[] = {RES_filenames, RES_null};

// The "in_file" items: "zud..." asks for the converted text kind, "cdf..." for netCDF,
// anything else names a file-name convention.
void apply_in_file() {
  int paramc = 0;
  char** paramv = nullptr;
  if (RES_getvals("in_file", &paramc, &paramv)) {
    for (int i = 0; i < paramc; ++i) {
      if (!strnicmp(paramv[i], "zud", 3))
        FLAG_set(FLAG_FILE_TYPE, UPA_KIND_ZUDUPA);
      else if (!strnicmp(paramv[i], "cdf", 3))
        FLAG_set(FLAG_FILE_TYPE, UPA_KIND_CDF_REP);
      else
        FILE_set_name(paramv[i]);
    }
  }
  free_parsed_array(paramc, paramv);
}

// The "parameter" items: "prdash" prints missing values as dashes; "json" and "csv"
// print the analysis values instead of the tables, "levels" adds the profiles to JSON.
THERM_output apply_parameter() {
  THERM_output out;
  int paramc = 0;
  char** paramv = nullptr;
  if (RES_getvals("parameter", &paramc, &paramv)) {
    for (int i = 0; i < paramc; ++i) {
      if (!stricmp(paramv[i], "prdash"))
        UPA_set_miss_dash();
      else if (!stricmp(paramv[i], "json"))
        out.form = THERM_form::json;
      else if (!stricmp(paramv[i], "csv"))
        out.form = THERM_form::csv;
      else if (!stricmp(paramv[i], "levels"))
        out.levels = true;
      else if (!strnicmp(paramv[i], "jobs=", 5))
        out.jobs = std::max(1, std::atoi(paramv[i] + 5));
    }
  }
  free_parsed_array(paramc, paramv);
  return out;
}

// Values replace the tables: standard output carries only the records, so the banner,
// the progress notices and the tables are switched off (errors, warnings, the "print"
// class of the records and prompts, and traces stay as the user set them).
void values_only() {
  MESS_set(MESS_OP_REMOVE_QUIET, MESS_MESS | MESS_OUT1 | MESS_OUT2 | MESS_OUT3 | MESS_OUT4);
}

// Analyses one station's report as if it were the only one of the run and prints its
// tables or its record. The analysis state is reset first, so nothing of a station
// analysed before in this run shows.
void analyse(UPA_report* rep, const THERM_output& out) {
  THERM_reset();
  THERM_set_date(nullptr);
  if (out.form == THERM_form::tables) {
    THERM_report(rep);
    return;
  }
  UPA_merge_report(rep);
  THERM_calc();
  const THERM_station st{rep, UPA_get_file_date(), THERM_get_kept(), THERM_get_record()};
  MESS_put(MESS_PRINT, THERM_record_line(st, out));
}

// Analyses the stations the identifier list `ids` names, on the threads "jobs" asks for
// (one per processor by default); the output is the same on any number. Returns the
// number of identifiers not found.
int analyse_list(const char* ids, const THERM_output& out) {
  const int jobs = out.jobs > 0 ? out.jobs : static_cast<int>(std::thread::hardware_concurrency());
  if (jobs <= 1) return UPA_each_station(ids, [&](UPA_report* rep) { analyse(rep, out); });
  THERM_values_pool pool(out, jobs);
  const int missing = UPA_each_station(ids, [&](UPA_report* rep) { pool.add(rep); });
  pool.finish();
  return missing;
}

}  // namespace

int main(int argc, char** argv) {
  RES_init(argc, argv, res_key, res_pos);

  if (FLAG_help()) {
    char temp_str[kProgNameLen] = "";
    RES_get_progname(temp_str);
    MESS_print(MESS_PRINT, "%s: This program reads data for an individual station,\n", temp_str);
    MESS_print(MESS_PRINT, "   displays results of standard sounding variables and plots\n");
    MESS_print(MESS_PRINT, "   upper air data on a thermodynamic diagram\n");
    RES_help_print(temp_str, res_key, res_pos);
    ZUD_exit(0);
  }

  FILE_set_name("upa_cvt");
  apply_in_file();
  const THERM_output out = apply_parameter();
  if (out.form != THERM_form::tables) values_only();

  MESS_print_prog("UPPER AIR SOUNDING PRINTING");

  char filename[kFileNameLen] = "";
  FILE_get_file("Enter the upper air filename: ", filename);

  // An unopenable file is reported by the open; the station search then finds nothing.
  UPA_open_file(filename);
  THERM_set_date(nullptr);

  // The CSV header comes once, before the first row (not before a station listing).
  auto csv_header = [&out] {
    if (out.form == THERM_form::csv) MESS_print(MESS_PRINT, "%s\n", THERM_csv_header().c_str());
  };

  // Several stations: each analysed as if alone; any not found gives status 31 at the end.
  const char* ids = RES_get("identifier");
  if (UPA_is_station_list(ids)) {
    csv_header();
    ZUD_exit(analyse_list(ids, out) > 0 ? kExitNotFound : 0);
  }

  if (!UPA_prompt_station(&report)) {
    MESS_print(MESS_WARN, "No data found!\n");
    ZUD_exit(30);
  }
  csv_header();
  if (out.form == THERM_form::tables)
    THERM_report(&report);
  else
    analyse(&report, out);

  // The diagram, when "plot_type" asks for one; the tables above are printed either way.
  if (SKEWT_plot(&report) < 0) ZUD_exit(SKEWT_EXIT_NOT_WRITTEN);
  return 0;
}
