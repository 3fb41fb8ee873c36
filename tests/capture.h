// capture.h — helpers shared by the tests that look at printed output: the standard
// output of a call, whole or line by line, and how often a piece of text occurs in it.

#ifndef ZUD_TESTS_CAPTURE_H
#define ZUD_TESTS_CAPTURE_H

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace capture {

// Everything `f` writes to standard output.
inline std::string stdout_of(const std::function<void()>& f) {
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

// The standard output of `f`, line by line, each line with its line end.
inline std::vector<std::string> lines_of(const std::function<int()>& f) {
  std::istringstream in(stdout_of([&f] { f(); }));
  std::vector<std::string> out;
  for (std::string l; std::getline(in, l);) out.push_back(l + "\n");
  return out;
}

// How often `part` occurs in `text`, occurrences that overlap included: how often a
// prompt was asked, a notice printed or a row written.
inline int count_of(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace capture

#endif  // ZUD_TESTS_CAPTURE_H
