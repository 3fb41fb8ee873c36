// The resource catalogue: definition rows, keys without a row, and the help text.

#include <gtest/gtest.h>

#include <string>

#include "res_child.h"
#include "zudresrc.h"

using namespace res_test;

// Rows typed from the catalogue: switch or slot, variable and kind per key.
TEST(ResEnter, CatalogueRows) {
  struct Case { res_type key; const char* def; const char* env; const char* cmd; int slot; DEF_convert cvt; };
  const Case cases[] = {
      {RES_help, "help", "zudhelp", "h", 0, CV_help},            // no value taken
      {RES_message, "message", "zudmess", "me", 0, CV_mess},     // acts on the level
      {RES_model_path, "model_path", "zudmpath", "mp", 0, CV_path},  // variable not zudmodel_path
      {RES_image_path, "image_path", "zudimage", "ip", 0, CV_string},  // the one path kept as text
      {RES_name_conv, "name_conv", "zudnameconv", "nc", 0, CV_name},
      {RES_hour, "hour", "zudhour", "ho", 0, CV_hour},
      {RES_filenames, "filename", "zudfilename", nullptr, 10, CV_strings},  // collects the rest
      {RES_filename, "filename", "zudfilename", nullptr, 1, CV_strcpy},     // same name, slot 1
      {RES_in_files, "in_file", "zudinfile", "if", 0, CV_string},   // shares name and switch
      {RES_input, "input", "zudin", "in", 0, CV_string},            // shares "in" with con_interval
      {RES_con_interval, "con_interval", "zudconint", "in", 0, CV_float},
      {RES_inputg, "input", "zudin", "inp", 0, CV_string},
      {RES_commands, "command", "zudcommand", "cd", 0, CV_string},  // keyed twin of RES_command
      {RES_command, "command", "zudcommand", nullptr, 10, CV_strings},
      {RES_region, "region", "zudregion", "re", 0, CV_region},
      {RES_device, "device", "zuddevice", "de", 0, CV_device},
      {RES_table, "table", "zudtable", "ta", 0, CV_bool},
      {RES_sat_path, "sat_path", "zudsat", "sp", 0, CV_path},       // the last path key, 114
      {RES_station_list, "station_list", "zudstationlist", "sl", 0, CV_string},  // the last key, 115
  };
  for (const auto& c : cases) {
    RES_defobj obj;
    std::memset(&obj, 0x5A, sizeof obj);  // the destinations must be cleared, not left
    EXPECT_EQ(RES_enter(&obj, c.key), 1);
    EXPECT_STREQ(obj.def, c.def) << c.key;
    EXPECT_STREQ(obj.env, c.env) << c.key;
    EXPECT_EQ(RES_slot(&obj), c.slot) << c.key;
    if (c.cmd) {
      EXPECT_STREQ(obj.cmd, c.cmd) << c.key;
    }
    EXPECT_EQ(obj.cvt, c.cvt) << c.key;
    EXPECT_EQ(obj.out, nullptr) << c.key;
    EXPECT_EQ(obj.num, nullptr) << c.key;
  }
}

// Exactly the 26 keys the package leaves undefined have no row (116 - 26 = 90 rows).
TEST(ResEnter, DefinedKeys) {
  const res_type undefined[] = {
      RES_null, RES_age, RES_bin_path, RES_color_cgrid, RES_color_conts, RES_color_echo,
      RES_color_labels, RES_color_rep, RES_con_bases, RES_con_intervals, RES_data_src,
      RES_default, RES_identifiers, RES_identifierp, RES_ingest_port, RES_labels, RES_name,
      RES_num_grid, RES_out_files, RES_plot_range, RES_plot_types, RES_position,
      RES_program, RES_read_conf, RES_save_param, RES_unit};
  ChildRun run = run_here([] {
    int defined = 0;
    for (int k = 0; k < RES_num_keys; ++k) {
      RES_defobj obj{};
      RES_enter(&obj, static_cast<res_type>(k));
      if (obj.def && obj.def[0]) ++defined;
    }
    std::printf("defined %d\n", defined);
  });
  std::string want;
  for (res_type k : undefined) want += std::to_string(k) + "\n";  // printed while entering
  EXPECT_EQ(run.out, want + "defined 90\n");
}

// A key without a row prints its number and leaves an entry that takes part in nothing,
// also for numbers outside the enumeration.
TEST(ResEnter, UndefinedKey) {
  ChildRun run = run_here([] {
    for (int k : {static_cast<int>(RES_unit), 200, -1}) {
      RES_defobj obj;
      std::memset(&obj, 0x5A, sizeof obj);
      RES_enter(&obj, static_cast<res_type>(k));
      std::printf("[%s] %d %d\n", obj.def, obj.env == nullptr, RES_slot(&obj));
    }
  });
  EXPECT_EQ(run.out, "103\n[] 1 0\n200\n[] 1 0\n-1\n[] 1 0\n");
}

// Help lines of single keys.
TEST(ResHelpItem, Lines) {
  struct Case { res_type key; const char* want; };
  const Case cases[] = {
      // The usage fills a ten-character field, then two spaces.
      {RES_help, " -h          Print this help\n"},
      // Two lines; the star marks out2, the level in force by default.
      {RES_message,
       " -me level   Message level to be displayed:\n"
       "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n"},
      // Exactly ten characters: no padding left, two spaces still follow.
      {RES_current, " -cu [hour]  Use current data file\n"},
      // Longer than the field: printed whole, the description pushed right.
      {RES_num_hour, " -nh hour[,step]  Number of hours to view\n"},
      // A key without a row: its number on standard output.
      {RES_age, "1\n"},
      // The domain keys: usage alone, explanation below.
      {RES_plot_domain,
       " -pd region or [proj],clat,clon[,nx,ny][,dx,dy]\n"
       "             Output plot domain\n"
       "               region=predefined region:\n"
       "                  us,ne,at,se,mw,sp,nw,sw,etc\n"
       "               proj=projection, clat=central latitude, clon=central longitude,\n"
       "               nx,ny=number of gridpoints and dx,dy=grid spacing\n"},
      {RES_grid_domain,
       " -gd region or [proj],clat,clon[,nx,ny][,dx,dy]\n"
       "             Grid domain\n"
       "               region=predefined region:\n"
       "                  us,ne,at,se,mw,sp,nw,sw,etc\n"
       "               proj=projection, clat=central latitude, clon=central longitude,\n"
       "               nx,ny=number of gridpoints and dx,dy=grid spacing\n"},
      // The region key has one more line naming its own regions.
      {RES_region,
       " -re region or [proj],clat,clon[,nx,ny][,dx,dy]\n"
       "             Region to be used for plotting and gridding\n"
       "               region=predefined region:\n"
       "                  us,ne,at,se,mw,sp,nw,sw,etc\n"
       "               proj=projection, clat=central latitude, clon=central longitude,\n"
       "               nx,ny=number of gridpoints and dx,dy=grid spacing\n"
       "               us,ne,at,se,mw,sp,nw,sw,var\n"},
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] { EXPECT_EQ(RES_help_item(c.key), 1); });
    EXPECT_EQ(run.out, c.want) << c.key;
    EXPECT_EQ(run.err, "") << c.key;
  }
}

// Every defined row has a usage line: none prints a bare number.
TEST(ResHelpItem, EveryDefinedRowHasHelp) {
  for (int k = 1; k < RES_num_keys; ++k) {
    ChildRun run = run_here([k] {
      RES_defobj obj{};
      RES_enter(&obj, static_cast<res_type>(k));
      if (obj.def && obj.def[0]) RES_help_item(static_cast<res_type>(k));
    });
    if (run.out == std::to_string(k) + "\n") continue;  // undefined: its number, from RES_enter
    EXPECT_EQ(run.out.rfind(" ", 0), 0u) << k;           // a help line starts with a space
  }
}

// The whole usage text of the sounding print program, line by line from the catalogue.
TEST(ResHelpPrint, ProgramKeys) {
  ChildRun run = run_here([] { EXPECT_EQ(RES_help_print("ua_parse", kProgKeys, kProgPos), 1); });
  EXPECT_EQ(run.out,
            "ua_parse syntax (version:5.60.4-LINUX-X11)\n"
            "   ua_parse [options...]\n"
            "Keyed options...\n"
            " -df file    Resource/defaults file name\n"
            " -na name    Program name\n"
            " -h          Print this help\n"
            " -ba         Run program in batch mode\n"
            " -me level   Message level to be displayed:\n"
            "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n"
            " -fp path    File path\n"
            " -dp path    Raw data path\n"
            " -cp path    Converted data path\n"
            " -gp path    Gridded data path\n"
            " -rp path    Raw files path\n"
            " -ip path    Image file path\n"
            " -wp path    Watch file data path\n"
            " -tp path    Text file path\n"
            " -mp path    Model file path\n"
            " -sp path    Satellite file path\n"
            " -nc type    Naming convention file name\n"
            " -if type    Input data file type\n"
            " -of type    Output file type\n"
            " -pf param   File parameters: use,calc,over,app\n"
            " -cu [hour]  Use current data file\n"
            " -ho hour    Actual hour of the file\n"
            " -nh hour[,step]  Number of hours to view\n"
            " -id ident   Specific station identifier\n"
            " -pa param[,...]  Program parameters\n"
            "Positional options...\n"
            " file [file...]  Input file names\n");
  EXPECT_EQ(run.err, "");
}

// A key without a row in a help list prints its number at its place in the text.
TEST(ResHelpPrint, UndefinedKeyInList) {
  const res_type keys[] = {RES_help, RES_name, RES_null};
  const res_type pos[] = {RES_null};
  ChildRun run = run_here([&] { RES_help_print("p", keys, pos); });
  EXPECT_EQ(run.out,
            "p syntax (version:5.60.4-LINUX-X11)\n"
            "   p [options...]\n"
            "Keyed options...\n"
            " -df file    Resource/defaults file name\n"
            " -na name    Program name\n"
            " -h          Print this help\n"
            "75\n"  // RES_name has no row
            "Positional options...\n");
}
