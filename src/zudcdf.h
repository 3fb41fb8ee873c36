// zudcdf.h — the netCDF access layer (module cdf): one current file handle and one
// current start/count position over the netCDF library's version-2 interface.
//
// Every read positions first (CDF_set_pos or CDF_set_range) and then reads the variable
// at that position. Reads check the variable's rank and type before touching the
// caller's buffer, so a file of unexpected shape reads as missing instead of writing
// past the buffer.

#ifndef ZUDCDF_H
#define ZUDCDF_H

#include <cstddef>
#include <string>

constexpr int CDF_MAX_POS = 10;  // leading positions of start/count that can be set

// Makes `val` the current netCDF handle (-1 for none). Returns 0.
int CDF_set_fd(int val);

// Switches the library's error reports on (1: report, never abort) or off (any other
// value: silent). Returns 0.
int CDF_print_errors(int val);

// Opens a netCDF file read-only (access 0; writing is not offered) and makes it current.
// A classic file whose header fails CDF_check_file is not handed to the library: one
// warning names what is wrong and the open fails. Returns the netCDF handle, or -1 when
// the file cannot be opened as netCDF.
int CDF_open(const char* filename, int access);

// Closes the current file; there is no current file afterwards. Returns 0, or -1 when
// none was open or the library failed.
int CDF_close();

// The handle of the named dimension of the current file, -1 when it is absent.
int CDF_get_dim(const char* name);

// The size of dimension `dim` of the current file; dim -1 asks for the unlimited
// (record) dimension. Returns -1 when there is no such dimension.
int CDF_get_dim_size(int dim);

// The handle of the named variable of the current file, -1 when it is absent.
int CDF_get_var(const char* name);

// Copies the named global text attribute of the current file into `value` (at most
// size - 1 characters, NUL-terminated; longer texts are cut). A present attribute that
// is not text gives an empty `value`. Returns 0, or -1 when the attribute is absent.
int CDF_get_glob_att(const char* name, char* value, int size);

// Sets the position of a single value: start[i] = the i-th extra int argument and
// count[i] = 1 for i < num. Returns 0, or -1 (position unchanged) when num is not
// between 0 and CDF_MAX_POS.
int CDF_set_pos(int num, ...);

// Sets a range: start[i], count[i] from the i-th pair of extra int arguments for
// i < num. Returns 0, or -1 (range unchanged) when num is not between 0 and CDF_MAX_POS.
int CDF_set_range(int num, ...);

// Reads `len` characters of a text variable at the current position (the text runs
// along the variable's last dimension) into `str`, which holds at least len + 1 bytes,
// and terminates it; a shorter text dimension gives a shorter text. Returns 1 when
// read, 0 with `str` empty when there is no file or variable (var -1) or the variable
// is not text of the position's rank plus one.
int CDF_get_str(int var, int len, char* str);

// The value of a numeric variable at the current position, as a float. Returns -9999
// when there is no file or variable, the variable is text or not of the position's rank,
// the position is outside it, or the value is the library's fill value or not finite.
float CDF_get_float(int var);

// Reads the values of a numeric variable in the current range into `array`, which holds
// at least the product of the range's counts; fill values and values that are not finite
// become -9999. Returns 0, or -1 with `array` untouched when there is no file or
// variable, the variable is text or not of the range's rank, or the range lies outside it.
int CDF_get_float_array(int var, float* array);

// The value of a numeric variable at the current position, as an integer (fractions cut
// toward zero). Returns -9999 in the cases CDF_get_float does, and for values outside
// the range of long.
long CDF_get_long(int var);

// Header check of classic netCDF files (module cdf_check), the guard in front of the
// library, which trusts the counts of a header and fails badly on corrupted ones.

// Checks the header of a classic netCDF file ("CDF" and version byte 1, 2 or 5) held in
// the first `len` bytes `bytes` of a file of `file_size` bytes: the lists and their
// counts, names, types, attribute values and data offsets must follow the format and
// fit in the file. Returns 0 when the header is sound or the bytes are not a classic
// file (other files are left to the library), 1 when the header (its magic number
// included) goes on past the bytes given (call again with more), -1 when it is damaged,
// with the reason in `why` (may be null).
int CDF_check_header(const unsigned char* bytes, size_t len, unsigned long long file_size,
                     std::string* why);

// Checks the header of the named file as CDF_check_header does, reading as much of the
// file as the header takes. Returns 0 when sound, not classic netCDF or not openable
// (the library then reports as it does), -1 when damaged, with the reason in `why`.
int CDF_check_file(const char* filename, std::string* why);

#endif  // ZUDCDF_H
