// Path and file utilities: stream names, joining, "~" expansion, existence and size,
// directory creation and opening files, streams and pipes.

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tmpdir.h"
#include "zud.h"

namespace {

// A fresh directory under the test temporary directory.
std::string make_temp_dir() {
  std::string pattern = zud_test_tmpdir() + "zudfilesXXXXXX";
  char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

std::string home_dir() {
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

bool is_directory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEST(FileNames, StdioAndFullPath) {
  struct Case { const char* name; int stdio; int full; };
  const Case cases[] = {
      {"", 1, 0},        // empty: a standard stream
      {"-", 1, 0},       // the usual dash
      {"STD", 1, 0},     // any case
      {"Stdn", 1, 0},    // the second stream word, any case
      {"stdx", 0, 0},    // close but not a stream word
      {"/data/x", 0, 1}, // absolute
      {"./x", 0, 1},     // relative to here counts as full
      {"~/x", 0, 1},     // home-relative counts as full
      {"data/x", 0, 0},  // plain relative name
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FILE_is_stdio(c.name), c.stdio) << c.name;
    EXPECT_EQ(FILE_fullpath(c.name), c.full) << c.name;
  }
}

TEST(FilePath, Join) {
  struct Case { const char* path; const char* file; const char* out; };
  const Case cases[] = {
      {nullptr, "data.txt", "data.txt"},      // no path: the name alone
      {"/tmp/", "data.txt", "/tmp/data.txt"}, // no doubled delimiter
      {"/tmp", "data.txt", "/tmp/data.txt"},  // delimiter added
      {"", "data.txt", "data.txt"},           // empty path like none
      {"/tmp", "/abs/x", "/abs/x"},           // a full path stands as it is
      {"/tmp", "-", "-"},                     // a standard stream stands as it is
  };
  for (const auto& c : cases) {
    char out[160] = "junk";
    EXPECT_EQ(FILE_add_path(c.path, c.file, out), 0) << c.file;
    EXPECT_STREQ(out, c.out) << (c.path ? c.path : "(null)");
  }
  char path[8] = "/tmp";
  FILE_add_path_delim(path);
  EXPECT_STREQ(path, "/tmp/");
  FILE_add_path_delim(path);
  EXPECT_STREQ(path, "/tmp/");  // already ends with the delimiter
  char empty[4] = "";
  FILE_add_path_delim(empty);
  EXPECT_STREQ(empty, "");  // an empty path stays empty
}

// A joined name longer than the 160-character buffer is cut to 159 and reported.
TEST(FilePath, JoinTooLong) {
  std::string path(150, 'p');
  char out[160];
  EXPECT_EQ(FILE_add_path(path.c_str(), "0123456789abc", out), -1);
  EXPECT_EQ(std::strlen(out), 159u);
  EXPECT_EQ(std::string(out, 151), path + "/");
}

TEST(FilePath, UserExpansion) {
  std::string home = home_dir();
  ASSERT_FALSE(home.empty());
  std::string long_user = "~" + std::string(20, 'u') + "/x";  // 20 letters: over the limit
  struct Case { std::string in; std::string out; };
  const Case cases[] = {
      {"~", home},                                      // alone: the current user's home
      {"~/data/x", home + "/data/x"},                   // rest kept from the first "/"
      {"~no_such_user_zz/x", "~no_such_user_zz/x"},     // unknown user: unchanged
      {"data/~x", "data/~x"},                           // "~" not first: unchanged
      {long_user, long_user},                           // over-long user name: unchanged
  };
  for (const auto& c : cases) {
    char out[160] = "junk";
    EXPECT_EQ(FILE_add_user_path(c.in.c_str(), out), 0) << c.in;
    EXPECT_EQ(std::string(out), c.out) << c.in;
  }
  std::string deep = "~/" + std::string(170, 'd');
  char out[160];
  EXPECT_EQ(FILE_add_user_path(deep.c_str(), out), -1);  // cut to the buffer and reported
  EXPECT_EQ(std::strlen(out), 159u);
}

TEST(FileStat, ExistSizeDir) {
  std::string dir = make_temp_dir();
  ASSERT_FALSE(dir.empty());
  std::string file = dir + "/five.txt";
  FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("12345", f);
  std::fclose(f);
  std::string missing = dir + "/missing";

  EXPECT_EQ(FILE_exist("-"), 1);  // a stream name needs no file system
  EXPECT_EQ(FILE_exist(file.c_str()), 1);
  EXPECT_EQ(FILE_exist(missing.c_str()), 0);
  EXPECT_EQ(FILE_exist("~"), 1);  // expanded to the home directory
  EXPECT_EQ(FILE_size(file.c_str()), 5);  // five characters written
  EXPECT_EQ(FILE_size(missing.c_str()), -1);
  EXPECT_EQ(FILE_is_dir(dir.c_str()), 1);
  EXPECT_EQ(FILE_is_dir(file.c_str()), 0);
  EXPECT_EQ(FILE_is_dir(missing.c_str()), 0);
}

TEST(FileMakeDir, CreatesMissing) {
  std::string dir = make_temp_dir();
  ASSERT_FALSE(dir.empty());
  std::string name = dir + "/a/b/c.dat";
  EXPECT_EQ(FILE_make_dir(name.data(), 1), 0);  // a and a/b were missing
  EXPECT_TRUE(is_directory(dir + "/a"));
  EXPECT_TRUE(is_directory(dir + "/a/b"));
  EXPECT_FALSE(is_directory(dir + "/a/b/c.dat"));  // the file name is not a directory
  EXPECT_EQ(FILE_make_dir(name.data(), 1), 1);    // now the directory part exists

  std::string back = dir + "\\p\\q.dat";  // backslashes become "/" in place
  EXPECT_EQ(FILE_make_dir(back.data(), 1), 0);
  EXPECT_EQ(back, dir + "/p/q.dat");
  EXPECT_TRUE(is_directory(dir + "/p"));

  std::string whole = dir + "/x/y";  // flag 0: every component is a directory
  EXPECT_EQ(FILE_make_dir(whole.data(), 0), 0);
  EXPECT_TRUE(is_directory(dir + "/x/y"));
}

TEST(FileOpen, StreamsPipesAndFiles) {
  EXPECT_EQ(FILE_open("std", "w"), stdout);
  EXPECT_EQ(FILE_open("-", "r"), stdin);
  EXPECT_EQ(FILE_open("", "a"), stdout);

  FILE* pipe = FILE_open("|echo hello", "r");  // reads the command's output
  ASSERT_NE(pipe, nullptr);
  char line[32] = "";
  ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
  EXPECT_STREQ(line, "hello\n");
  pclose(pipe);

  std::string dir = make_temp_dir();
  ASSERT_FALSE(dir.empty());
  std::string name = dir + "/a/b/c.dat";
  FILE* out = FILE_open(name.c_str(), "w");  // creates a and a/b first
  ASSERT_NE(out, nullptr);
  std::fputs("x\n", out);
  std::fclose(out);
  EXPECT_TRUE(is_directory(dir + "/a/b"));
  EXPECT_EQ(FILE_size(name.c_str()), 2);

  std::string missing = dir + "/none/here.dat";
  EXPECT_EQ(FILE_open(missing.c_str(), "r"), nullptr);  // reading creates nothing
  EXPECT_FALSE(is_directory(dir + "/none"));
}
