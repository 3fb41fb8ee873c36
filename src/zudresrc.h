// zudresrc.h — resource keys, conversion kinds, definition records (module resrc),
// the catalogue and help, and the defaults file reader (module def_read).

#ifndef ZUDRESRC_H
#define ZUDRESRC_H

#include "zud.h"

// ---- resrc: keys, records, gathering and look-up -------------------------------------

// Key of one catalogued resource; the values are fixed package-wide. RES_null ends a key list.
enum res_type : std::int32_t {
  RES_null = 0,
  RES_age = 1,
  RES_background = 2,
  RES_batch = 3,
  RES_bin_path = 4,
  RES_bull_file = 5,
  RES_city_file = 6,
  RES_color_cgrid = 7,
  RES_color_clabel = 8,
  RES_color_cloud = 9,
  RES_color_cmap = 10,
  RES_color_cont = 11,
  RES_color_conts = 12,
  RES_color_data = 13,
  RES_color_echo = 14,
  RES_color_fill = 15,
  RES_color_front = 16,
  RES_color_grid = 17,
  RES_color_hodo = 18,
  RES_color_hodtxt = 19,
  RES_color_label = 20,
  RES_color_labels = 21,
  RES_color_line = 22,
  RES_color_map = 23,
  RES_color_pop = 24,
  RES_color_rep = 25,
  RES_color_sound = 26,
  RES_color_table = 27,
  RES_color_text = 28,
  RES_color_therm = 29,
  RES_color_thrmtxt = 30,
  RES_color_wind = 31,
  RES_color_wx = 32,
  RES_command = 33,
  RES_commands = 34,
  RES_con_base = 35,
  RES_con_bases = 36,
  RES_con_interval = 37,
  RES_con_intervals = 38,
  RES_con_path = 39,
  RES_current = 40,
  RES_data_path = 41,
  RES_data_src = 42,
  RES_default = 43,
  RES_draw = 44,
  RES_decode_hour = 45,
  RES_device = 46,
  RES_file_param = 47,
  RES_file_path = 48,
  RES_filename = 49,
  RES_filenames = 50,
  RES_font_list = 51,
  RES_forecast = 52,
  RES_geometry = 53,
  RES_grid_num = 54,
  RES_grid_path = 55,
  RES_grid_type = 56,
  RES_help = 57,
  RES_hour = 58,
  RES_icon = 59,
  RES_identifier = 60,
  RES_identifiers = 61,
  RES_identifierp = 62,
  RES_image_path = 63,
  RES_in_file = 64,
  RES_in_files = 65,
  RES_ingest_port = 66,
  RES_ingestor = 67,
  RES_input = 68,
  RES_label = 69,
  RES_labels = 70,
  RES_level = 71,
  RES_map_file = 72,
  RES_message = 73,
  RES_model = 74,
  RES_name = 75,
  RES_name_conv = 76,
  RES_num_grid = 77,
  RES_num_hour = 78,
  RES_object_param = 79,
  RES_out_file = 80,
  RES_out_files = 81,
  RES_output = 82,
  RES_parameter = 83,
  RES_plot_domain = 84,
  RES_plot_format = 85,
  RES_plot_param = 86,
  RES_plot_range = 87,
  RES_plot_scale = 88,
  RES_plot_type = 89,
  RES_plot_types = 90,
  RES_position = 91,
  RES_product = 92,
  RES_program = 93,
  RES_raw_path = 94,
  RES_read_conf = 95,
  RES_region = 96,
  RES_save_param = 97,
  RES_stat_prior = 98,
  RES_state = 99,
  RES_table = 100,
  RES_time = 101,
  RES_title = 102,
  RES_unit = 103,
  RES_values = 104,
  RES_variable = 105,
  RES_watch_path = 106,
  RES_window_num = 107,
  RES_color_watch = 108,
  RES_log_file = 109,
  RES_grid_domain = 110,
  RES_inputg = 111,
  RES_text_path = 112,
  RES_model_path = 113,
  RES_sat_path = 114,
  RES_station_list = 115,
  RES_num_keys = 116,  // count of keys, not a key
};

// What the text of a resource means and where its conversion puts the result.
enum DEF_convert : std::int32_t {
  CV_none = 0,
  CV_bool = 1,
  CV_int = 2,
  CV_short = 3,
  CV_long = 4,
  CV_float = 5,
  CV_string = 6,
  CV_strcpy = 7,
  CV_path = 8,
  CV_mess = 9,
  CV_draw = 10,
  CV_current = 11,
  CV_hour = 12,
  CV_region = 13,
  CV_name = 14,
  CV_ingestor = 15,
  CV_file_param = 16,
  CV_device = 17,
  CV_plot_type = 18,
  CV_color = 19,
  CV_domain = 20,
  CV_strings = 21,
  CV_batch = 22,
  CV_help = 23,
};

// One entry of a definition table. A null def ends the table; an empty def takes part in
// nothing. cmd is the switch without its dash, or for a positional entry a slot number
// 1-10 held in the pointer itself (RES_slot / RES_slot_cmd); slot 10 takes every
// positional argument no numbered slot claims.
struct RES_defobj {
  const char* def;    // resource name (not owned)
  const char* env;    // environment variable that may supply the value, or null
  const char* cmd;    // switch text, or positional slot number
  DEF_convert cvt;    // conversion kind
  void* out;          // where the conversion stores its result, or null
  std::int32_t* num;  // item count of a CV_strings destination, or null
};

// One gathered resource: a node of the process-wide list.
struct resource {
  std::int32_t index;  // entry in the definition table, -9999 when uncatalogued
  char* name;          // resource name (owned)
  char* data;          // value (owned); null: present without a value
  DEF_convert cvt;     // conversion kind recorded with the value
  resource* next;      // next node
};
typedef resource res_obj;

constexpr int RES_MAX_DEFS = 74;     // definitions a table built by RES_init can hold
constexpr int RES_MAX_SLOT = 10;     // highest positional slot; it collects the rest
constexpr int RES_PROGNAME_LEN = 80; // buffer RES_get_progname fills, NUL included

// Positional slot (1-10) of a table entry, 0 for a keyed entry or one without a switch.
inline int RES_slot(const RES_defobj* obj) {
  auto v = reinterpret_cast<std::uintptr_t>(obj->cmd);
  return v <= static_cast<std::uintptr_t>(RES_MAX_SLOT) ? static_cast<int>(v) : 0;
}
// The cmd field value that marks positional slot `slot`.
inline const char* RES_slot_cmd(int slot) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(slot));
}

int RES_init(int argc, char** argv, const res_type* res_key, const res_type* res_pos);
int RES_decode(const char* progname, const char* class_name, int argc, char** argv,
               RES_defobj* def_table);
int RES_new(int index, const char* name, const char* data, DEF_convert cvt);
int RES_append(int index, const char* name, const char* data, DEF_convert cvt);
int RES_put(const char* name, const char* value);
char* RES_get(const char* name);
int RES_getvals(const char* name, int* paramc, char*** paramv);
int RES_getval(const char* name, void* data, DEF_convert cvt);
int RES_setCL(int argc, char** argv);
char* RES_get_prog();
char* RES_get_progname(char* prog);
int RES_list();
int RES_reset();
int RES_fill_obj(RES_defobj* obj, const char* def, const char* env, const char* cmd,
                 DEF_convert cvt, void* out, std::int32_t* num);

// ---- catalogue and help ---------------------------------------------------------------
int RES_enter(RES_defobj* obj, res_type key);
int RES_help_item(res_type res);
int RES_help_print(const char* name, const res_type* res_key, const res_type* res_pos);

// ---- conversions ----------------------------------------------------------------------
constexpr int RES_STRCPY_LEN = 160;  // CV_strcpy destinations hold this many bytes

int RES_conv_data(const char* data, void* out, DEF_convert cvt);
int RES_set_device(const char* str);
int RES_conv_time(const char* text, Date* date);

// ---- def_read: defaults files -----------------------------------------------------------
// Buffer sizes the callers of DEF_get, DEF_parse_name and DEF_env must provide: a pattern
// of at most 49 characters and a value of at most 199; longer texts are cut.
constexpr int DEF_RESRC_LEN = 50;
constexpr int DEF_VALUE_LEN = 200;

int DEF_open(const char* filename);
int DEF_get(char* resrc, char* value);
int DEF_close();
int DEF_reset();
int DEF_prog();
int DEF_set_prog(const char* name);
int DEF_name(const char* name);
int DEF_title(const char* title);
int DEF_tag(const char* str);
int DEF_clr_tag();
int DEF_cmp(const char* resrc, const char* string);
int DEF_valid(const char* string);
int DEF_parse_name(const char* str, char* ostr);
int DEF_env(const char* resrc, const char* env, char* value);

#endif  // ZUDRESRC_H
