// files.cpp — path and file utilities: standard-stream and full-path names, joining a
// directory and a name, "~" expansion, existence, type and size, creating the missing
// directories of a name, and opening a file, a standard stream or a command pipe.
//
// Names handed back to callers fit buffers of kMaxName characters; inside the module
// names are held as std::string so that nothing is cut before the platform sees it.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "zud.h"

namespace {

constexpr int kMaxName = 160;      // caller buffers for expanded and joined names
constexpr int kMaxUser = 19;       // longest user name after "~"
constexpr mode_t kDirMode = 0755;  // mode of directories created for output files

// Copies `text` into a caller buffer of kMaxName characters. Returns 0, or -1 when the
// text had to be cut.
int copy_out(const std::string& text, char* out) {
  std::snprintf(out, kMaxName, "%s", text.c_str());
  return text.size() < static_cast<std::size_t>(kMaxName) ? 0 : -1;
}

// "~" expansion of `file`: the home directory of the named (or the current) user in place
// of "~user"; the name unchanged when it does not begin with "~" or the user is unknown.
std::string expand_user(const char* file) {
  if (!file || file[0] != '~') return file ? file : "";
  const char* slash = std::strchr(file, '/');
  std::size_t ulen = slash ? static_cast<std::size_t>(slash - file - 1) : std::strlen(file + 1);
  if (ulen > static_cast<std::size_t>(kMaxUser)) return file;
  std::string user(file + 1, ulen);
  const passwd* pw = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
  if (!pw || !pw->pw_dir) return file;
  return std::string(pw->pw_dir) + (slash ? slash : "");
}

// stat of the expanded name; true when it can be examined.
bool stat_name(const char* file, struct stat* st) {
  std::string name = expand_user(file);
  return ::stat(name.c_str(), st) == 0;
}

}  // namespace

// 1 for a standard-stream name (null, "", "-", "std" or "stdn", any case), else 0.
int FILE_is_stdio(const char* file) {
  return (!file || !*file || !std::strcmp(file, "-") || !stricmp(file, "std") ||
          !stricmp(file, "stdn"))
             ? 1
             : 0;
}

// 1 when the name is a full path (begins with "/", "." or "~"), else 0.
int FILE_fullpath(const char* filename) {
  return (filename && (filename[0] == '/' || filename[0] == '.' || filename[0] == '~')) ? 1 : 0;
}

// Appends "/" to a non-empty path that does not end with one; the buffer must have room
// for it. Returns 0.
int FILE_add_path_delim(char* path) {
  if (!path || !*path) return 0;
  std::size_t n = std::strlen(path);
  if (path[n - 1] != '/') {
    path[n] = '/';
    path[n + 1] = '\0';
  }
  return 0;
}

// Writes into `filename` (kMaxName characters) the name itself when it is a standard
// stream or a full path, else the path (none when null), a "/" when needed, and the name.
// Returns 0, or -1 when the joined name did not fit and was cut.
int FILE_add_path(const char* path, const char* file, char* filename) {
  if (!file) file = "";
  if (FILE_is_stdio(file) || FILE_fullpath(file)) return copy_out(file, filename);
  std::string joined = path ? path : "";
  if (!joined.empty() && joined.back() != '/') joined += '/';
  joined += file;
  return copy_out(joined, filename);
}

// Writes the "~"-expanded name into `filename` (kMaxName characters). Returns 0, or -1
// when the expanded name did not fit and was cut.
int FILE_add_user_path(const char* file, char* filename) {
  return copy_out(expand_user(file), filename);
}

// 1 when the name is a standard stream or the expanded name exists, else 0.
int FILE_exist(const char* file) {
  if (FILE_is_stdio(file)) return 1;
  struct stat st;
  return stat_name(file, &st) ? 1 : 0;
}

// 1 when the expanded name exists and is a directory, else 0.
int FILE_is_dir(const char* file) {
  if (!file || !*file) return 0;
  struct stat st;
  return (stat_name(file, &st) && S_ISDIR(st.st_mode)) ? 1 : 0;
}

// Size in bytes of the expanded name, or -1 when it cannot be examined.
long FILE_size(const char* file) {
  if (!file || !*file) return -1;
  struct stat st;
  return stat_name(file, &st) ? static_cast<long>(st.st_size) : -1L;
}

// Creates the missing directories of `dir` (its backslashes become "/" in place), leaving
// out the last `flag` components (1: the last component is a file name). Returns 1 when
// the directory part already exists, else 0 after trying to create every piece.
int FILE_make_dir(char* dir, int flag) {
  if (!dir || !*dir) return 0;
  for (char* c = dir; *c; ++c)
    if (*c == '\\') *c = '/';
  const char* last = std::strrchr(dir + 1, '/');
  if (last) {
    std::string parent(dir, static_cast<std::size_t>(last - dir));
    if (FILE_exist(parent.c_str())) return 1;
  }
  int argc = 0;
  char** argv = nullptr;
  parse_string(dir, '/', &argc, &argv);
  std::string path;
  for (int i = 0; i < argc - flag; ++i) {
    if (argv[i][0] == '\0') {
      if (path.empty() || path.back() != '/') path += '/';
      continue;
    }
    path += argv[i];
    path += '/';
    ::mkdir(path.c_str(), kDirMode);  // an existing directory is no error; fopen reports
  }
  free_parsed_array(argc, argv);
  return 0;
}

// Opens a standard stream (input for an access beginning with "r", else output), a pipe
// to or from the command after a leading "|", or the "~"-expanded file, creating its
// missing directories first for writing and appending. Returns the stream, or null.
FILE* FILE_open(const char* file, const char* access) {
  if (!access || !*access) return nullptr;
  if (FILE_is_stdio(file)) return access[0] == 'r' ? stdin : stdout;
  if (file[0] == '|') return ::popen(file + 1, access);
  std::string name = expand_user(file);
  if (access[0] == 'w' || access[0] == 'a') {
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    FILE_make_dir(buf.data(), 1);
  }
  return std::fopen(name.c_str(), access);
}
