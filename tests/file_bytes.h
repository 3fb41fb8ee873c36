// file_bytes.h — whole files as strings, shared by the tests that write inputs and read
// back what a program wrote.

#ifndef ZUD_TESTS_FILE_BYTES_H
#define ZUD_TESTS_FILE_BYTES_H

#include <fstream>
#include <sstream>
#include <string>

// The bytes of the file at path; empty when it cannot be read.
inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Makes the file at path hold exactly text.
inline void spit(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

#endif  // ZUD_TESTS_FILE_BYTES_H
