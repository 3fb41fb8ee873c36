// netCDF access layer: opening, dimensions, global attributes, and text, float, integer
// and array reads at the current position, on the fixtures built from tests/data/cdf.
//
// Expected values are read off the CDL text of the fixtures (their data sections), not
// computed from the code under test.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstring>
#include <string>

#include "zud.h"
#include "zudcdf.h"

namespace {

std::string built(const char* name) { return std::string(ZUD_BUILD_DATA) + "/" + name; }
std::string source(const char* name) { return std::string(ZUD_TEST_DATA) + "/cdf/" + name; }

// Opens a fixture as the current file for one test and closes it afterwards.
class Current {
 public:
  explicit Current(const char* name) { fd_ = CDF_open(built(name).c_str(), 0); }
  ~Current() {
    if (fd_ != -1) {
      CDF_set_fd(fd_);
      CDF_close();
    }
  }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

constexpr float kCanary = 12345.0f;  // marks array entries a read must not touch

}  // namespace

// Opening: netCDF files give a handle, anything else -1; writing is not offered.
TEST(CdfOpen, Outcomes) {
  CDF_print_errors(0);
  struct Case { std::string path; int access; bool opens; };
  const Case cases[] = {
      {built("stations.nc"), 0, true},           // a netCDF file
      {built("stations.nc"), 1, false},          // write access is not part of this layer
      {source("not_netcdf.txt"), 0, false},      // begins with "CDF" but is text
      {source("stations.cdl"), 0, false},        // the CDL source is not netCDF
      {built("no_such_file.nc"), 0, false},      // absent
  };
  for (const auto& c : cases) {
    int fd = CDF_open(c.path.c_str(), c.access);
    EXPECT_EQ(fd != -1, c.opens) << c.path << " access " << c.access;
    if (fd != -1) {
      EXPECT_EQ(CDF_close(), 0);
    }
  }
  EXPECT_EQ(CDF_close(), -1);  // nothing open any more
  EXPECT_EQ(CDF_open(nullptr, 0), -1);
  CDF_print_errors(1);
}

// Dimension handles and sizes; -1 asks for the record dimension.
TEST(CdfDims, HandlesAndSizes) {
  Current f("stations.nc");
  ASSERT_NE(f.fd(), -1);
  struct Case { const char* name; int size; };
  const Case cases[] = {
      {"mant_level", 25}, {"sigt_level", 40}, {"sigw_level", 30}, {"string_len", 11},
      {"station", 3},  // unlimited: OAX, DEN and MSP were written
  };
  for (const auto& c : cases) {
    int dim = CDF_get_dim(c.name);
    ASSERT_NE(dim, -1) << c.name;
    EXPECT_EQ(CDF_get_dim_size(dim), c.size) << c.name;
  }
  EXPECT_EQ(CDF_get_dim_size(-1), 3);  // the record dimension, three stations
  CDF_print_errors(0);
  EXPECT_EQ(CDF_get_dim("report"), -1);  // the kind 12 record name is absent here
  EXPECT_EQ(CDF_get_dim_size(999), -1);
  EXPECT_EQ(CDF_get_var("no_such_variable"), -1);
  CDF_print_errors(1);
}

// Global attributes: text copied and cut to the room given, non-text ones empty.
TEST(CdfAttributes, TextCutAndAbsent) {
  char value[40];
  {
    Current f("stations.nc");
    CDF_print_errors(0);
    EXPECT_EQ(CDF_get_glob_att("filetime", value, sizeof value), 0);
    EXPECT_STREQ(value, "00Z 04 APR 97");
    EXPECT_EQ(CDF_get_glob_att("filetime", value, 4), 0);  // three characters and NUL
    EXPECT_STREQ(value, "00Z");
    std::strcpy(value, "stale");
    EXPECT_EQ(CDF_get_glob_att("datetime", value, sizeof value), -1);  // absent here
    EXPECT_STREQ(value, "");
  }
  {
    Current f("shapes.nc");
    std::strcpy(value, "stale");
    EXPECT_EQ(CDF_get_glob_att("version", value, sizeof value), 0);  // a float: present
    EXPECT_STREQ(value, "");
    // A label longer than the room: the first 39 characters of the CDL text.
    EXPECT_EQ(CDF_get_glob_att("filetime", value, sizeof value), 0);
    EXPECT_STREQ(value, std::string("00Z 02 FEB 02 and a label far longer than forty characters")
                            .substr(0, 39).c_str());
  }
  CDF_print_errors(1);
}

// Text reads: at most len characters, a shorter text dimension gives a shorter text,
// and nothing beyond str[len] is written.
TEST(CdfStrings, Lengths) {
  struct Case { const char* file; int rec; int len; const char* want; int rc; };
  const Case cases[] = {
      {"stations.nc", 1, 10, "DEN", 1},          // NUL-padded in an 11-wide dimension
      {"stations.nc", 0, 2, "OA", 1},            // cut to the length asked for
      {"shapes.nc", 0, 10, "LONGSTATIO", 1},     // 40-wide dimension, 21-character id
      {"short.nc", 0, 10, "ABCD", 1},            // 4-wide dimension: four characters only
      {"stations.nc", 7, 10, "", 0},             // no such record
  };
  for (const auto& c : cases) {
    Current f(c.file);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    CDF_set_pos(1, c.rec);
    CDF_print_errors(0);
    EXPECT_EQ(CDF_get_str(CDF_get_var("id"), c.len, buf), c.rc) << c.file << " " << c.rec;
    CDF_print_errors(1);
    EXPECT_STREQ(buf, c.want) << c.file << " " << c.rec;
    EXPECT_EQ(buf[c.len + 1], 'x') << "written past str[len]";
  }
}

// Text reads refuse numeric variables, wrong ranks and absent variables.
TEST(CdfStrings, Refusals) {
  Current f("stations.nc");
  char buf[16] = "stale";
  CDF_set_pos(1, 0);
  EXPECT_EQ(CDF_get_str(CDF_get_var("idn"), 10, buf), 0);  // an int variable
  EXPECT_STREQ(buf, "");
  std::strcpy(buf, "stale");
  CDF_set_pos(2, 0, 0);  // one position too many for id(station, string_len)
  EXPECT_EQ(CDF_get_str(CDF_get_var("id"), 10, buf), 0);
  EXPECT_STREQ(buf, "");
  std::strcpy(buf, "stale");
  EXPECT_EQ(CDF_get_str(-1, 10, buf), 0);
  EXPECT_STREQ(buf, "");
}

// Single values: floats and integers from every classic numeric type; wrong rank, text,
// positions outside the variable and fill values read as missing.
TEST(CdfValues, FloatsAndLongs) {
  struct Case { const char* file; const char* var; int rank; int rec; int lev; float f; long l; };
  const Case cases[] = {
      {"stations.nc", "p_man", 2, 1, 3, 700.0f, 700},       // DEN level 3 (no 925 mb)
      {"stations.nc", "lat", 1, 1, 0, 39.77f, 39},          // a float cut toward zero
      {"stations.nc", "lon", 1, 1, 0, -104.87f, -104},      // negative cut toward zero
      {"stations.nc", "idn", 1, 1, 0, 72469.0f, 72469},     // an int variable
      {"stations.nc", "p_sigt", 2, 0, 35, MISSING, IMISSING},  // "_" in the CDL: fill
      {"stations.nc", "p_man", 1, 1, 0, MISSING, IMISSING},    // rank 2 read at rank 1
      {"stations.nc", "p_man", 2, 5, 0, MISSING, IMISSING},    // no record 5
      {"stations.nc", "p_man", 2, 0, 25, MISSING, IMISSING},   // level 25 of 0..24
      {"stations.nc", "id", 2, 0, 0, MISSING, IMISSING},       // text is no number
      {"shapes.nc", "lat", 1, 0, 0, 41.5f, 41},             // a double variable
      {"shapes.nc", "spd_man", 2, 0, 1, 20.0f, 20},         // a byte variable
      {"shapes.nc", "num_sigt", 1, 0, 0, 2.0f, 2},          // a short variable
      {"shapes.nc", "num_mant", 1, 0, 0, 3.0f, 3},          // a float count
  };
  CDF_print_errors(0);
  for (const auto& c : cases) {
    Current f(c.file);
    int var = CDF_get_var(c.var);
    ASSERT_NE(var, -1) << c.var;
    if (c.rank == 1) CDF_set_pos(1, c.rec);
    if (c.rank == 2) CDF_set_pos(2, c.rec, c.lev);
    EXPECT_EQ(CDF_get_float(var), c.f) << c.file << " " << c.var;
    EXPECT_EQ(CDF_get_long(var), c.l) << c.file << " " << c.var;
  }
  CDF_print_errors(1);
}

// Arrays: the range's values land in order; a range outside the variable, a wrong rank
// or an absent variable leave the array untouched.
TEST(CdfArrays, RangesAndRefusals) {
  Current f("stations.nc");
  int p_man = CDF_get_var("p_man");
  float a[8];
  auto reset = [&] { std::fill(std::begin(a), std::end(a), kCanary); };

  reset();
  CDF_set_range(2, 1, 1, 0, 4);  // DEN levels 0..3 in the CDL: 836, 1000, 850, 700
  ASSERT_EQ(CDF_get_float_array(p_man, a), 0);
  EXPECT_EQ(a[0], 836.0f);
  EXPECT_EQ(a[1], 1000.0f);
  EXPECT_EQ(a[2], 850.0f);
  EXPECT_EQ(a[3], 700.0f);
  EXPECT_EQ(a[4], kCanary);  // only the four asked for

  CDF_set_range(2, 0, 1, 21, 3);  // OAX levels 21..23: missing, tropopause, maximum wind
  ASSERT_EQ(CDF_get_float_array(p_man, a), 0);
  EXPECT_EQ(a[0], MISSING);
  EXPECT_EQ(a[1], 208.0f);
  EXPECT_EQ(a[2], 206.0f);

  struct Refusal { int var; int rank; int s0, c0, s1, c1; const char* why; };
  const Refusal refusals[] = {
      {p_man, 2, 0, 1, 20, 6, "levels 20..25 run past the 25 stored"},
      {p_man, 2, 3, 1, 0, 4, "no record 3"},
      {p_man, 1, 0, 1, 0, 0, "rank 2 read with a rank 1 range"},
      {CDF_get_var("id"), 2, 0, 1, 0, 4, "text is no number"},
      {-1, 2, 0, 1, 0, 4, "absent variable"},
      {p_man, 2, 0, -1, 0, 4, "negative count"},
      {p_man, 2, 0, 1 << 16, 0, 1 << 16, "far more values than any record holds"},
  };
  CDF_print_errors(0);
  for (const auto& r : refusals) {
    reset();
    if (r.rank == 1) CDF_set_range(1, r.s0, r.c0);
    if (r.rank == 2) CDF_set_range(2, r.s0, r.c0, r.s1, r.c1);
    EXPECT_EQ(CDF_get_float_array(r.var, a), -1) << r.why;
    EXPECT_EQ(a[0], kCanary) << r.why;
  }
  CDF_print_errors(1);
}

// A position with too many entries is refused and the previous one kept.
TEST(CdfPosition, TooManyEntries) {
  Current f("stations.nc");
  int lat = CDF_get_var("lat");
  CDF_set_pos(1, 2);  // MSP
  EXPECT_EQ(CDF_set_pos(CDF_MAX_POS + 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(CDF_set_range(-1), -1);
  EXPECT_EQ(CDF_get_float(lat), 44.85f);  // still MSP's latitude, from the CDL
}

// Without a current file every read gives its "nothing" result.
TEST(CdfNoFile, NothingResults) {
  CDF_set_fd(-1);
  char buf[8] = "stale";
  float a[2] = {kCanary, kCanary};
  EXPECT_EQ(CDF_get_dim("station"), -1);
  EXPECT_EQ(CDF_get_dim_size(-1), -1);
  EXPECT_EQ(CDF_get_var("id"), -1);
  EXPECT_EQ(CDF_get_glob_att("filetime", buf, sizeof buf), -1);
  EXPECT_EQ(CDF_get_str(0, 4, buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(CDF_get_float(0), MISSING);
  EXPECT_EQ(CDF_get_long(0), IMISSING);
  EXPECT_EQ(CDF_get_float_array(0, a), -1);
  EXPECT_EQ(a[0], kCanary);
  EXPECT_EQ(CDF_close(), -1);
}

// Error reports: printed on standard error when on, silent when off.
TEST(CdfErrors, ReportSwitch) {
  Current f("stations.nc");
  CDF_print_errors(1);
  testing::internal::CaptureStderr();
  CDF_get_var("no_such_variable");
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  CDF_print_errors(0);
  testing::internal::CaptureStderr();
  CDF_get_var("no_such_variable");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  CDF_print_errors(1);
}

// The library's default error option would end the process on the first error; a file
// opened through the layer only ever reports.
TEST(CdfErrors, NeverAborts) {
  // The library is loaded on demand; this handle is the layer's own, so its error
  // option is the one the layer uses.
  void* lib = dlopen(ZUD_NETCDF_LIB, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr);
  int* opts = static_cast<int*>(dlsym(lib, "ncopts"));
  ASSERT_NE(opts, nullptr);
  *opts = NC_FATAL | NC_VERBOSE;  // the library's own default
  Current f("stations.nc");
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDF_get_var("no_such_variable"), -1);  // still running
  testing::internal::GetCapturedStderr();
  CDF_print_errors(1);
}
