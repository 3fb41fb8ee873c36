// zudfile.h — path and file utilities, file-name conventions and dated file selection
// (module files).

#ifndef ZUDFILE_H
#define ZUDFILE_H

#include <cstdio>

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

// ---- dated file selection -------------------------------------------------------

#endif  // ZUDFILE_H
