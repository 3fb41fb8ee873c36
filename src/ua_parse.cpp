// ua_parse.cpp — the sounding print program: one straight pass that configures the
// runtime, opens one upper-air file, selects one station, merges its report into a
// sounding and prints the station, the sounding and its analyses.

#include "zuddraw.h"
#include "zudresrc.h"
#include "zudunits.h"
#include "zudupa.h"

namespace {

// The one report of this run; filled by station selection, merged in place.
UPA_report report;

constexpr int kProgNameLen = 80;   // program name for the help text
constexpr int kFileNameLen = 160;  // chosen input file name

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

// The "parameter" items: "prdash" prints missing values as dashes.
void apply_parameter() {
  int paramc = 0;
  char** paramv = nullptr;
  if (RES_getvals("parameter", &paramc, &paramv)) {
    for (int i = 0; i < paramc; ++i)
      if (!stricmp(paramv[i], "prdash")) UPA_set_miss_dash();
  }
  free_parsed_array(paramc, paramv);
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
  apply_parameter();

  MESS_print_prog("UPPER AIR SOUNDING PRINTING");

  char filename[kFileNameLen] = "";
  FILE_get_file("Enter the upper air filename: ", filename);

  // An unopenable file is reported by the open; the station search then finds nothing.
  UPA_open_file(filename);
  THERM_set_date(nullptr);

  if (!UPA_prompt_station(&report)) {
    MESS_print(MESS_WARN, "No data found!\n");
    ZUD_exit(30);
  }

  THERM_report(&report);

  // The diagram, when "plot_type" asks for one; the tables above are printed either way.
  if (SKEWT_plot(&report) < 0) ZUD_exit(SKEWT_EXIT_NOT_WRITTEN);
  return 0;
}
