// cdf.cpp — the netCDF access layer: a current file handle and a current start/count
// position over the library's version-2 interface.
//
// The version-2 reads write values in the variable's own external type and take as many
// start/count entries as the variable has dimensions. So before reading, the layer asks
// the library for the variable's type and rank: a rank that differs from the position
// in use, a text variable read as a number (or the reverse) reads as missing, and
// numeric values of any classic type arrive in a private buffer of that type and are
// converted from there. The caller's buffer is written only after a read succeeded.
//
// The library's default error option aborts the process on any error; the layer clears
// that bit whenever a handle comes in, so an error is at most reported. A classic file
// reaches the library only after its header passed the check of cdf_check.cpp: the
// library trusts header counts, and a corrupted one can crash it.

#include <dlfcn.h>
#include <netcdf.h>

#include <type_traits>

#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "zud.h"
#include "zudcdf.h"

namespace {

constexpr int kLibFailed = -1;         // what every version-2 call returns on failure
constexpr M_type kWarn = MESS_WARN;   // message level of a damaged header

// The netCDF library is loaded on first use: it brings some forty shared libraries with
// it, and most runs read text files only, so a text run should not pay for loading them.
// Every entry point of the version-2 interface used here is looked up once; when the
// library cannot be loaded every call fails like a failed library call, and the
// error-option variable is a private stand-in.

// Stands in for an entry point of a library that could not be loaded.
template <typename F>
struct Unavailable;
template <typename R, typename... A>
struct Unavailable<R (*)(A...)> {
  static R call(A...) { return static_cast<R>(kLibFailed); }
};

struct NetcdfLib {
  decltype(&::ncopen) open = &Unavailable<decltype(&::ncopen)>::call;
  decltype(&::ncclose) close = &Unavailable<decltype(&::ncclose)>::call;
  decltype(&::ncinquire) inquire = &Unavailable<decltype(&::ncinquire)>::call;
  decltype(&::ncdimid) dimid = &Unavailable<decltype(&::ncdimid)>::call;
  decltype(&::ncdiminq) diminq = &Unavailable<decltype(&::ncdiminq)>::call;
  decltype(&::ncvarid) varid = &Unavailable<decltype(&::ncvarid)>::call;
  decltype(&::ncvarinq) varinq = &Unavailable<decltype(&::ncvarinq)>::call;
  decltype(&::ncattinq) attinq = &Unavailable<decltype(&::ncattinq)>::call;
  decltype(&::ncattget) attget = &Unavailable<decltype(&::ncattget)>::call;
  decltype(&::ncvarget1) varget1 = &Unavailable<decltype(&::ncvarget1)>::call;
  decltype(&::ncvarget) varget = &Unavailable<decltype(&::ncvarget)>::call;
  int* opts = nullptr;
};

const NetcdfLib& nc() {
  static const NetcdfLib lib = [] {
    static int stand_in_opts = 0;
    NetcdfLib fallback;
    fallback.opts = &stand_in_opts;
    void* h = dlopen(ZUD_NETCDF_LIB, RTLD_NOW | RTLD_LOCAL);
    if (!h) return fallback;
    NetcdfLib l;
    auto sym = [h](auto& slot, const char* name) {
      void* p = dlsym(h, name);
      if (p) slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(p);
      return p != nullptr;
    };
    bool ok = sym(l.open, "ncopen") && sym(l.close, "ncclose") && sym(l.inquire, "ncinquire") &&
              sym(l.dimid, "ncdimid") && sym(l.diminq, "ncdiminq") && sym(l.varid, "ncvarid") &&
              sym(l.varinq, "ncvarinq") && sym(l.attinq, "ncattinq") &&
              sym(l.attget, "ncattget") && sym(l.varget1, "ncvarget1") &&
              sym(l.varget, "ncvarget");
    l.opts = static_cast<int*>(dlsym(h, "ncopts"));
    return ok && l.opts ? l : fallback;
  }();
  return lib;
}

// The current file and position.
int fd = -1;                            // current netCDF handle, -1 when none
std::array<long, CDF_MAX_POS> start{};  // first index along each leading dimension
std::array<long, CDF_MAX_POS> count{};  // number of indices along each leading dimension
int ndim = 0;                           // leading positions in use

constexpr long kMaxValues = 1L << 20;  // most values one array read may ask for

// Keeps error reports but never lets the library end the process.
void never_abort() { *nc().opts &= ~NC_FATAL; }

// A stored value as a double; the type's fill value (never written) and values that are
// not finite count as missing.
template <class T>
double as_value(T v, T fill) {
  if (v == fill) return MISSING;
  double d = static_cast<double>(v);
  return std::isfinite(d) ? d : MISSING;
}

// Reads the values at the current position (one value, or the whole range) of a
// variable whose external type is T into `out`.
template <class T>
bool get_values(int var, bool single, T fill, std::vector<double>* out) {
  std::vector<T> buf(out->size());
  if (buf.empty()) return true;
  int rc = single ? nc().varget1(fd, var, start.data(), buf.data())
                  : nc().varget(fd, var, start.data(), count.data(), buf.data());
  if (rc == kLibFailed) return false;
  for (size_t i = 0; i < buf.size(); ++i) (*out)[i] = as_value(buf[i], fill);
  return true;
}

// Type and number of dimensions of variable `var` of the current file.
bool inquire(int var, nc_type* type, int* rank) {
  return nc().varinq(fd, var, nullptr, type, rank, nullptr, nullptr) != kLibFailed;
}

// Reads a numeric variable at the current position (one value when `single`, else the
// current range) into `out` as doubles. False when nothing could be read.
bool read_numbers(int var, bool single, std::vector<double>* out) {
  if (fd == -1 || var == -1) return false;
  nc_type type = NC_NAT;
  int rank = -1;
  if (!inquire(var, &type, &rank) || rank != ndim) return false;
  long n = 1;
  for (int i = 0; !single && i < ndim; ++i) {
    if (count[i] < 0) return false;
    n *= count[i];
    if (n > kMaxValues) return false;
  }
  out->assign(static_cast<size_t>(n), MISSING);
  switch (type) {
    case NC_BYTE: return get_values<signed char>(var, single, NC_FILL_BYTE, out);
    case NC_SHORT: return get_values<short>(var, single, NC_FILL_SHORT, out);
    case NC_INT: return get_values<int>(var, single, NC_FILL_INT, out);
    case NC_FLOAT: return get_values<float>(var, single, NC_FILL_FLOAT, out);
    case NC_DOUBLE: return get_values<double>(var, single, NC_FILL_DOUBLE, out);
    default: return false;  // text, and types beyond the classic ones
  }
}

// A double as a stored float; values beyond the float range are missing.
float to_float(double d) {
  if (d == MISSING || std::fabs(d) > FLT_MAX) return MISSING;
  return static_cast<float>(d);
}

// Sets the first `num` positions from int arguments: a start each, and a count after
// each start when `ranges` (else a count of 1).
void set_leading(int num, va_list ap, bool ranges) {
  for (int i = 0; i < num; ++i) {
    start[i] = va_arg(ap, int);
    count[i] = ranges ? va_arg(ap, int) : 1;
  }
  ndim = num;
}

}  // namespace

// The public functions are described in zudcdf.h.

int CDF_set_fd(int val) {
  never_abort();
  fd = val;
  return 0;
}

int CDF_print_errors(int val) {
  *nc().opts = val == 1 ? NC_VERBOSE : 0;
  return 0;
}

int CDF_open(const char* filename, int access) {
  never_abort();
  if (!filename || access != 0) return -1;
  std::string why;
  if (CDF_check_file(filename, &why) == -1) {
    MESS_print(kWarn, "CDF_open: damaged netCDF header in %s: %s\n", filename, why.c_str());
    fd = -1;
    return -1;
  }
  int id = nc().open(filename, NC_NOWRITE);
  fd = id == kLibFailed ? -1 : id;
  return fd;
}

int CDF_close() {
  if (fd == -1) return -1;
  int rc = nc().close(fd);
  fd = -1;
  return rc == kLibFailed ? -1 : 0;
}

int CDF_get_dim(const char* name) {
  if (fd == -1 || !name) return -1;
  int id = nc().dimid(fd, name);
  return id == kLibFailed ? -1 : id;
}

int CDF_get_dim_size(int dim) {
  if (fd == -1) return -1;
  if (dim == -1) {
    int unlimited = -1;
    if (nc().inquire(fd, nullptr, nullptr, nullptr, &unlimited) == kLibFailed || unlimited < 0)
      return -1;
    dim = unlimited;
  }
  long size = 0;
  if (dim < 0 || nc().diminq(fd, dim, nullptr, &size) == kLibFailed) return -1;
  return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

int CDF_get_var(const char* name) {
  if (fd == -1 || !name) return -1;
  int id = nc().varid(fd, name);
  return id == kLibFailed ? -1 : id;
}

int CDF_get_glob_att(const char* name, char* value, int size) {
  if (value && size > 0) value[0] = '\0';
  if (fd == -1 || !name) return -1;
  nc_type type = NC_NAT;
  int len = 0;
  if (nc().attinq(fd, NC_GLOBAL, name, &type, &len) == kLibFailed) return -1;
  if (type != NC_CHAR || !value || size <= 0 || len <= 0) return 0;
  std::vector<char> text(static_cast<size_t>(len) + 1, '\0');
  if (nc().attget(fd, NC_GLOBAL, name, text.data()) == kLibFailed) return -1;
  size_t n = std::strlen(text.data());
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  std::memcpy(value, text.data(), n);
  value[n] = '\0';
  return 0;
}

int CDF_set_pos(int num, ...) {
  if (num < 0 || num > CDF_MAX_POS) return -1;
  va_list ap;
  va_start(ap, num);
  set_leading(num, ap, false);
  va_end(ap);
  return 0;
}

int CDF_set_range(int num, ...) {
  if (num < 0 || num > CDF_MAX_POS) return -1;
  va_list ap;
  va_start(ap, num);
  set_leading(num, ap, true);
  va_end(ap);
  return 0;
}

int CDF_get_str(int var, int len, char* str) {
  if (!str || len < 0) return 0;
  str[0] = '\0';
  if (fd == -1 || var == -1 || ndim >= CDF_MAX_POS) return 0;
  nc_type type = NC_NAT;
  int rank = -1;
  if (!inquire(var, &type, &rank) || type != NC_CHAR || rank != ndim + 1) return 0;
  std::array<int, CDF_MAX_POS> dims{};
  long text_len = 0;
  if (nc().varinq(fd, var, nullptr, nullptr, nullptr, dims.data(), nullptr) == kLibFailed ||
      nc().diminq(fd, dims[ndim], nullptr, &text_len) == kLibFailed)
    return 0;
  long n = len < text_len ? len : text_len;
  if (n == 0) return 1;
  start[ndim] = 0;
  count[ndim] = n;
  std::vector<char> text(static_cast<size_t>(n));
  if (nc().varget(fd, var, start.data(), count.data(), text.data()) == kLibFailed) return 0;
  std::memcpy(str, text.data(), text.size());
  str[n] = '\0';
  return 1;
}

float CDF_get_float(int var) {
  std::vector<double> v;
  if (!read_numbers(var, true, &v)) return MISSING;
  return to_float(v[0]);
}

int CDF_get_float_array(int var, float* array) {
  std::vector<double> v;
  if (!array || !read_numbers(var, false, &v)) return -1;
  for (size_t i = 0; i < v.size(); ++i) array[i] = to_float(v[i]);
  return 0;
}

long CDF_get_long(int var) {
  std::vector<double> v;
  if (!read_numbers(var, true, &v)) return IMISSING;
  double d = v[0];
  // LONG_MAX is not exact as a double; the bound below it keeps the cast defined.
  if (d == MISSING || d >= 9.2e18 || d <= -9.2e18) return IMISSING;
  return static_cast<long>(d);
}
