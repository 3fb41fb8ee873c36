// fuzz_res_hour.cpp — the time setting of the "hour" resource and the other conversions
// that read a text into a value of their own.
//
// The input is the resource text (cut at its first NUL). It goes through the hour
// conversion and the time reading behind it, then through the numeric, keyword and list
// conversions with destinations of the documented types.

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "zudresrc.h"

namespace {

// Kinds that read the text into a number of their own type or act on a flag or switch.
constexpr DEF_convert kFlagKinds[] = {CV_file_param, CV_plot_type, CV_draw, CV_batch, CV_help};

// A field of a fixed number of digits: not given, or a number of at most that many
// digits (a two-column field may also read a sign and one digit).
bool digits_ok(int v, int max) { return v == IMISSING || (v >= -9 && v <= max); }

// The fields the digit-only forms of a time setting can give.
void check_time(const char* t, std::size_t len, const Date& d) {
  const bool colon = std::strchr(t, ':') != nullptr;
  if (t[0] == '#' && t[1] >= '0' && t[1] <= '9') {
    FUZZ_CHECK(d.year >= 0 && d.year <= 9999);
    FUZZ_CHECK(digits_ok(d.month, 99) && digits_ok(d.day, 99) && digits_ok(d.hour, 99) &&
               digits_ok(d.min, 99));
  } else if (!colon && (len == 6 || ((len == 4 || len == 3) && t[0] >= '0' && t[0] <= '9'))) {
    FUZZ_CHECK(d.year == IMISSING && d.min == IMISSING);
    FUZZ_CHECK(digits_ok(d.month, 99) && digits_ok(d.day, 99) && digits_ok(d.hour, 99));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text = fuzz_split(data, size)[0];
  const char* t = text.c_str();

  FUZZ_CHECK(RES_conv_data(t, nullptr, CV_hour) == 1);
  Date d;
  RES_conv_time(t, &d);
  check_time(t, text.size(), d);

  std::int32_t i32 = 0;
  std::int16_t i16 = 0;
  long l = 0;
  float f = 0.0f;
  std::int32_t b = 0;
  RES_conv_data(t, &i32, CV_int);
  RES_conv_data(t, &i16, CV_short);
  RES_conv_data(t, &l, CV_long);
  RES_conv_data(t, &f, CV_float);
  RES_conv_data(t, &l, CV_color);
  RES_conv_data(t, &b, CV_bool);
  for (DEF_convert k : kFlagKinds) RES_conv_data(t, nullptr, k);
  char* device = nullptr;
  RES_conv_data(t, &device, CV_device);
  if (device) FUZZ_CHECK(device >= t && device <= t + text.size());
  RES_set_device(t);
  fuzz_reset_messages();
  return 0;
}
