// fuzz_res_decode.cpp — gathering resources from an arbitrary command line.
//
// The input is cut at NUL bytes into the arguments after the program name. The
// definition table is the sounding print program's: its keyed options and its file
// names. Every value is gathered and converted as at start-up (defaults files along the
// path the arguments name are read, message files go to /dev/null, no display loop is
// reached), then read back the way the program reads it.

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "zudresrc.h"

namespace {

constexpr int kMaxArgs = 64;  // arguments taken from one input
// The sounding print program's keyed options, then its positional file names.
constexpr res_type kKeys[] = {
    RES_help,       RES_batch,      RES_message,  RES_file_path, RES_data_path,
    RES_con_path,   RES_grid_path,  RES_raw_path, RES_image_path, RES_watch_path,
    RES_text_path,  RES_model_path, RES_sat_path, RES_name_conv, RES_in_file,
    RES_out_file,   RES_file_param, RES_current,  RES_hour,      RES_num_hour,
    RES_identifier, RES_parameter,  RES_filenames};
// Resources read back after gathering, as lists.
constexpr const char* kListed[] = {"filename", "in_file", "parameter", "message", "hour"};

RES_defobj table[RES_MAX_DEFS + 1];  // the definition table, null-terminated
char prog[] = "ua_parse";            // argv[0]

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  int n = 0;
  for (res_type k : kKeys) RES_enter(&table[n++], k);
  RES_fill_obj(&table[n], nullptr, nullptr, nullptr, CV_none, nullptr, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args = size ? fuzz_split(data, size) : std::vector<std::string>{};
  if (args.size() > kMaxArgs) args.resize(kMaxArgs);
  std::vector<char*> argv;
  argv.push_back(prog);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(argv.size()) - 1;

  FLAG_reset(IMISSING);
  FUZZ_CHECK(RES_decode(prog, "Zud", argc, argv.data(), table) == 0);
  for (const char* name : kListed) {
    int paramc = -1;
    char** paramv = nullptr;
    int n = RES_getvals(name, &paramc, &paramv);
    FUZZ_CHECK(n == paramc && n >= 0);
    for (int i = 0; i < paramc; ++i) FUZZ_CHECK(paramv[i] != nullptr);
    free_parsed_array(paramc, paramv);
  }
  RES_get("identifier");
  char name[RES_PROGNAME_LEN];
  RES_get_progname(name);
  FUZZ_CHECK(std::strcmp(name, prog) == 0);
  fuzz_reset_messages();
  return 0;
}
