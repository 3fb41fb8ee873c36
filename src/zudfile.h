// zudfile.h — path and file utilities, file-name conventions and dated file selection
// (module files).

#ifndef ZUDFILE_H
#define ZUDFILE_H

#include <cstdint>
#include <cstdio>

#include "zuddate.h"

// ---- path and file utilities ----------------------------------------------------
int FILE_is_stdio(const char* file);
int FILE_fullpath(const char* filename);
int FILE_add_path_delim(char* path);
int FILE_add_path(const char* path, const char* file, char* filename);
int FILE_add_user_path(const char* file, char* filename);
int FILE_exist(const char* file);
int FILE_is_dir(const char* file);
long FILE_size(const char* file);
int FILE_make_dir(char* dir, int flag);
FILE* FILE_open(const char* file, const char* access);

// ---- file-name conventions ------------------------------------------------------
int FILE_set_name(const char* type);
int FILE_set_file(const char* file, char* out_file);
int FILE_set_key(char key, const char* str);
int FILE_set_time(Date* datim);
int FILE_extract_extra_info(char* file);
int FILE_reset();
// Read-only views of the convention state, for callers that report or check it.
const char* FILE_get_conv();
const char* FILE_get_ext();
const char* FILE_get_extra_info();
int FILE_get_min_size();
int FILE_get_late_off();

// ---- dated file selection -------------------------------------------------------
int FILE_get_file(const char* prompt, char* outfile);
long FILE_set_current(const char* cur, char* filename);
int FILE_set_date(Date* datim, char* out_file);
int FILE_list_file();
int FILE_get_date(Date* date);
std::int64_t FILE_get_current_time();

#endif  // ZUDFILE_H
