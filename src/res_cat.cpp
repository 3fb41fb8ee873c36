// res_cat.cpp — the resource catalogue: for every key its resource name, environment
// variable, switch or positional slot and conversion kind, with the usage line the help
// text prints for it.
//
// Several keys share one resource name (filename for one file and for many, input for
// two switches); they differ in switch, slot or kind. Keys without a row are package keys
// that no program may list; naming one prints its number so the slip is seen.

#include <cstdio>

#include "zudresrc.h"

namespace {

constexpr M_type kPrint = MESS_PRINT;  // every help line: print, all sub-levels

// How the help lines of a row look.
enum HelpForm {
  kOneLine,  // usage in a ten-character field, two spaces, the description
  kLevels,   // one line, then the list of message-level keywords
  kDomain,   // the usage alone, then the domain syntax explained below it
};

// One catalogue row.
struct CatRow {
  res_type key;      // the key the row defines
  const char* def;   // resource name
  const char* cmd;   // switch without its dash; null for a positional row
  int slot;          // positional slot 1-10, 0 for a keyed row
  const char* env;   // environment variable
  DEF_convert cvt;   // conversion kind
  const char* use;   // usage text of the help line
  const char* help;  // description of the help line
  HelpForm form;     // shape of the help lines
};

// The catalogue, keyed rows first, then the positional ones.
constexpr CatRow kCatalogue[] = {
    // Rows of the sounding print program.
    {RES_help, "help", "h", 0, "zudhelp", CV_help, "-h", "Print this help", kOneLine},
    {RES_batch, "batch", "ba", 0, "zudbatch", CV_batch, "-ba", "Run program in batch mode", kOneLine},
    {RES_message, "message", "me", 0, "zudmess", CV_mess, "-me level", "Message level to be displayed:", kLevels},
    {RES_file_path, "file_path", "fp", 0, "zudfile", CV_path, "-fp path", "File path", kOneLine},
    {RES_data_path, "data_path", "dp", 0, "zuddata", CV_path, "-dp path", "Raw data path", kOneLine},
    {RES_con_path, "con_path", "cp", 0, "zudcon", CV_path, "-cp path", "Converted data path", kOneLine},
    {RES_grid_path, "grid_path", "gp", 0, "zudgrid", CV_path, "-gp path", "Gridded data path", kOneLine},
    {RES_raw_path, "raw_path", "rp", 0, "zudraw", CV_path, "-rp path", "Raw files path", kOneLine},
    {RES_image_path, "image_path", "ip", 0, "zudimage", CV_string, "-ip path", "Image file path", kOneLine},
    {RES_watch_path, "watch_path", "wp", 0, "zudwatch", CV_path, "-wp path", "Watch file data path", kOneLine},
    {RES_text_path, "text_path", "tp", 0, "zudtext", CV_path, "-tp path", "Text file path", kOneLine},
    {RES_model_path, "model_path", "mp", 0, "zudmpath", CV_path, "-mp path", "Model file path", kOneLine},
    {RES_sat_path, "sat_path", "sp", 0, "zudsat", CV_path, "-sp path", "Satellite file path", kOneLine},
    {RES_name_conv, "name_conv", "nc", 0, "zudnameconv", CV_name, "-nc type", "Naming convention file name", kOneLine},
    {RES_in_file, "in_file", "if", 0, "zudinfile", CV_string, "-if type", "Input data file type", kOneLine},
    {RES_out_file, "out_file", "of", 0, "zudoutfile", CV_string, "-of type", "Output file type", kOneLine},
    {RES_file_param, "file_param", "pf", 0, "zudfileparam", CV_file_param, "-pf param", "File parameters: use,calc,over,app", kOneLine},
    {RES_current, "current", "cu", 0, "zudcurrent", CV_current, "-cu [hour]", "Use current data file", kOneLine},
    {RES_hour, "hour", "ho", 0, "zudhour", CV_hour, "-ho hour", "Actual hour of the file", kOneLine},
    {RES_num_hour, "num_hour", "nh", 0, "zudnumhour", CV_string, "-nh hour[,step]", "Number of hours to view", kOneLine},
    {RES_identifier, "identifier", "id", 0, "zudident", CV_string, "-id ident", "Specific station identifier", kOneLine},
    {RES_parameter, "parameter", "pa", 0, "zudparam", CV_string, "-pa param[,...]", "Program parameters", kOneLine},
    // Row of the upper-air ingest program.
    {RES_station_list, "station_list", "sl", 0, "zudstationlist", CV_string, "-sl file", "WMO station list (IGRA format)", kOneLine},

    // Further keyed rows holding text values.
    {RES_background, "background", "bg", 0, "zudback", CV_string, "-bg color", "Background color", kOneLine},
    {RES_bull_file, "bull_file", "bf", 0, "zudbullfile", CV_string, "-bf file", "Bulletin file name", kOneLine},
    {RES_city_file, "city_file", "cf", 0, "zudcity", CV_string, "-cf file", "City file name", kOneLine},
    {RES_color_clabel, "color_clabel", "cocl", 0, "zudclrclab", CV_string, "-cocl color", "Contour label color", kOneLine},
    {RES_color_cloud, "color_cloud", "cocd", 0, "zudclrcld", CV_string, "-cocd color", "Cloud color", kOneLine},
    {RES_color_cmap, "color_cmap", "cocm", 0, "zudclrcmap", CV_string, "-cocm color", "Color map", kOneLine},
    {RES_color_cont, "color_cont", "coco", 0, "zudclrcont", CV_string, "-coco color", "Contour color", kOneLine},
    {RES_color_data, "color_data", "cod", 0, "zudclrdata", CV_string, "-cod color", "Data color", kOneLine},
    {RES_color_fill, "color_fill", "cof", 0, "zudclrfill", CV_string, "-cof color", "Fill color", kOneLine},
    {RES_color_front, "color_front", "cofr", 0, "zudclrfront", CV_string, "-cofr color", "Front color", kOneLine},
    {RES_color_grid, "color_grid", "cogr", 0, "zudclrgrid", CV_string, "-cogr color", "Grid color", kOneLine},
    {RES_color_hodo, "color_hodo", "coh", 0, "zudclrhodo", CV_string, "-coh color", "Hodograph color", kOneLine},
    {RES_color_hodtxt, "color_hodtxt", "coht", 0, "zudclrhdtxt", CV_string, "-coht color", "Hodograph text color", kOneLine},
    {RES_color_label, "color_label", "cola", 0, "zudclrlab", CV_string, "-cola color", "Label color", kOneLine},
    {RES_color_line, "color_line", "coln", 0, "zudclrln", CV_string, "-coln color", "Line color", kOneLine},
    {RES_color_map, "color_map", "com", 0, "zudclrmap", CV_string, "-com color", "Map color", kOneLine},
    {RES_color_pop, "color_pop", "copp", 0, "zudclrpop", CV_string, "-copp color", "Popup color", kOneLine},
    {RES_color_sound, "color_sound", "cosd", 0, "zudclrsnd", CV_string, "-cosd color", "Sounding color", kOneLine},
    {RES_color_table, "color_table", "ct", 0, "zudclrtbl", CV_string, "-ct table", "Color table", kOneLine},
    {RES_color_text, "color_text", "cot", 0, "zudclrtext", CV_string, "-cot color", "Text color", kOneLine},
    {RES_color_therm, "color_therm", "coth", 0, "zudclrtherm", CV_string, "-coth color", "Thermodynamic diagram color", kOneLine},
    {RES_color_thrmtxt, "color_thrmtxt", "cott", 0, "zudclrthtxt", CV_string, "-cott color", "Thermodynamic diagram text color", kOneLine},
    {RES_color_watch, "color_watch", "cowa", 0, "zudclrwatch", CV_string, "-cowa color", "Watch color", kOneLine},
    {RES_color_wind, "color_wind", "cowd", 0, "zudclrwind", CV_string, "-cowd color", "Wind color", kOneLine},
    {RES_color_wx, "color_wx", "cowx", 0, "zudclrwx", CV_string, "-cowx color", "Weather color", kOneLine},
    {RES_commands, "command", "cd", 0, "zudcommand", CV_string, "-cd command", "Commands to run", kOneLine},
    {RES_decode_hour, "decode_hour", "dh", 0, "zuddecode", CV_string, "-dh hour", "Hour to decode", kOneLine},
    {RES_font_list, "font_list", "fl", 0, "zudfontlist", CV_string, "-fl font[,...]", "Font list", kOneLine},
    {RES_forecast, "forecast", "fc", 0, "zudforecast", CV_string, "-fc hour", "Forecast hour", kOneLine},
    {RES_geometry, "geometry", "ge", 0, "zudgeometry", CV_string, "-ge geometry", "Window geometry", kOneLine},
    {RES_grid_num, "grid_num", "gn", 0, "zudgridnum", CV_string, "-gn number", "Grid number", kOneLine},
    {RES_in_files, "in_file", "if", 0, "zudinfile", CV_string, "-if type[,...]", "Input data file types", kOneLine},
    {RES_input, "input", "in", 0, "zudin", CV_string, "-in input", "Input", kOneLine},
    {RES_inputg, "input", "inp", 0, "zudin", CV_string, "-inp input", "Input", kOneLine},
    {RES_label, "label", "la", 0, "zudlabel", CV_string, "-la label", "Label", kOneLine},
    {RES_level, "level", "le", 0, "zudlevel", CV_string, "-le level", "Level", kOneLine},
    {RES_log_file, "log_file", "lf", 0, "zudlog", CV_string, "-lf file", "Log file name", kOneLine},
    {RES_map_file, "map_file", "mf", 0, "zudmap", CV_string, "-mf file", "Map file name", kOneLine},
    {RES_model, "model", "mo", 0, "zudmodel", CV_string, "-mo model", "Model name", kOneLine},
    {RES_object_param, "object_param", "oa", 0, "zudobject", CV_string, "-oa param", "Object parameters", kOneLine},
    {RES_output, "output", "ou", 0, "zudout", CV_string, "-ou output", "Output", kOneLine},
    {RES_plot_format, "plot_format", "fm", 0, "zudformat", CV_string, "-fm format", "Plot format", kOneLine},
    {RES_plot_param, "plot_param", "pp", 0, "zudpltparam", CV_string, "-pp param[,...]", "Plot parameters", kOneLine},
    {RES_product, "product", "ph", 0, "zudproduct", CV_string, "-ph product", "Product", kOneLine},
    {RES_state, "state", "st", 0, "zudstate", CV_string, "-st state", "State", kOneLine},
    {RES_time, "time", "ft", 0, "zudtime", CV_string, "-ft time", "Forecast time", kOneLine},
    {RES_title, "title", "ti", 0, "zudtitle", CV_string, "-ti title", "Title", kOneLine},
    {RES_variable, "variable", "va", 0, "zudvar", CV_string, "-va var[,...]", "Variables", kOneLine},

    // Further keyed rows of other kinds.
    {RES_con_base, "con_base", "cb", 0, "zudconbase", CV_float, "-cb base", "Contour base", kOneLine},
    {RES_con_interval, "con_interval", "in", 0, "zudconint", CV_float, "-in interval", "Contour interval", kOneLine},
    {RES_plot_scale, "plot_scale", "sc", 0, "zudscale", CV_float, "-sc scale", "Plot scale", kOneLine},
    {RES_grid_type, "grid_type", "gt", 0, "zudgridtype", CV_int, "-gt type", "Grid type", kOneLine},
    {RES_stat_prior, "stat_prior", "pr", 0, "zudprior", CV_int, "-pr prior", "Station plotting priority", kOneLine},
    {RES_window_num, "window_num", "wn", 0, "zudwindownum", CV_int, "-wn number", "Window number", kOneLine},
    {RES_table, "table", "ta", 0, "zudtable", CV_bool, "-ta", "Print tables", kOneLine},
    {RES_icon, "icon", "ic", 0, "zudicon", CV_bool, "-ic", "Start as an icon", kOneLine},
    {RES_draw, "draw", "dr", 0, "zuddraw", CV_draw, "-dr item[,...]", "Plot items: none,all,text,data,map,grid,sum,bord", kOneLine},
    {RES_device, "device", "de", 0, "zuddevice", CV_device, "-de dev[,name]", "Output device", kOneLine},
    {RES_plot_type, "plot_type", "pl", 0, "zudplot", CV_plot_type, "-pl type", "Plot type", kOneLine},
    {RES_plot_domain, "plot_domain", "pd", 0, "zuddomain", CV_domain, "-pd region or [proj],clat,clon[,nx,ny][,dx,dy]", "Output plot domain", kDomain},
    {RES_grid_domain, "grid_domain", "gd", 0, "zudgrddomain", CV_domain, "-gd region or [proj],clat,clon[,nx,ny][,dx,dy]", "Grid domain", kDomain},
    {RES_region, "region", "re", 0, "zudregion", CV_region, "-re region or [proj],clat,clon[,nx,ny][,dx,dy]", "Region to be used for plotting and gridding", kDomain},
    {RES_ingestor, "ingestor", "di", 0, "zudingestor", CV_ingestor, "-di ingestor", "Data ingestor", kOneLine},

    // Positional rows.
    {RES_filenames, "filename", nullptr, 10, "zudfilename", CV_strings, "file [file...]", "Input file names", kOneLine},
    {RES_filename, "filename", nullptr, 1, "zudfilename", CV_strcpy, "file", "Input file name", kOneLine},
    {RES_command, "command", nullptr, 10, "zudcommand", CV_strings, "command...", "Commands", kOneLine},
    {RES_values, "value", nullptr, 10, "zudvalue", CV_strings, "value [value...]", "Values", kOneLine},
};

const CatRow* find_row(res_type key) {
  for (const CatRow& row : kCatalogue)
    if (row.key == key) return &row;
  return nullptr;
}

}  // namespace

// Fills `obj` from the catalogue row of `key`, with no destinations. A key without a row
// prints its number on standard output and gets an empty name, so the entry takes part
// in nothing. Returns 1.
int RES_enter(RES_defobj* obj, res_type key) {
  if (!obj) return 1;
  const CatRow* row = find_row(key);
  if (!row) {
    std::printf("%d\n", static_cast<int>(key));
    RES_fill_obj(obj, "", nullptr, nullptr, CV_none, nullptr, nullptr);
    return 1;
  }
  RES_fill_obj(obj, row->def, row->env, row->cmd ? row->cmd : RES_slot_cmd(row->slot), row->cvt,
               nullptr, nullptr);
  return 1;
}

// Prints the help line or lines of one key at level print. A key without a row prints
// its number on standard output. Returns 1.
int RES_help_item(res_type res) {
  const CatRow* row = find_row(res);
  if (!row) {
    std::printf("%d\n", static_cast<int>(res));
    return 1;
  }
  switch (row->form) {
    case kOneLine:
      MESS_print(kPrint, " %-10s  %s\n", row->use, row->help);
      break;
    case kLevels:
      MESS_print(kPrint, " %-10s  %s\n", row->use, row->help);
      MESS_print(kPrint, "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n");
      break;
    case kDomain:
      MESS_print(kPrint, " %-10s\n", row->use);
      MESS_print(kPrint, "             %s\n", row->help);
      MESS_print(kPrint, "               region=predefined region:\n");
      MESS_print(kPrint, "                  us,ne,at,se,mw,sp,nw,sw,etc\n");
      MESS_print(kPrint, "               proj=projection, clat=central latitude, clon=central longitude,\n");
      MESS_print(kPrint, "               nx,ny=number of gridpoints and dx,dy=grid spacing\n");
      if (res == RES_region) MESS_print(kPrint, "               us,ne,at,se,mw,sp,nw,sw,var\n");
      break;
  }
  return 1;
}

// Prints the usage text of program `name`: the syntax lines, the two options every
// program has, then the help lines of its keyed and positional keys. Returns 1.
int RES_help_print(const char* name, const res_type* res_key, const res_type* res_pos) {
  if (!name) name = "";
  MESS_print(kPrint, "%s syntax (version:%s)\n", name, ZUD_version());
  MESS_print(kPrint, "   %s [options...]\n", name);
  MESS_print(kPrint, "Keyed options...\n");
  MESS_print(kPrint, " %-10s  Resource/defaults file name\n", "-df file");
  MESS_print(kPrint, " %-10s  Program name\n", "-na name");
  for (const res_type* k = res_key; k && *k != RES_null; ++k) RES_help_item(*k);
  MESS_print(kPrint, "Positional options...\n");
  for (const res_type* k = res_pos; k && *k != RES_null; ++k) RES_help_item(*k);
  return 1;
}
