// fresh_state.h — a fixture for the tests that drive the program-level modules inside the
// test process: resources and the defaults reader, flags and plot switches, the message
// level and routing, the file-name conventions and current file, and the open upper-air
// file with its station choice start as in a new run and are put back after each test,
// so that no test sees what another one left and the order of the tests does not
// matter. Standard input is empty unless a test gives it answers.

#ifndef ZUD_TESTS_FRESH_STATE_H
#define ZUD_TESTS_FRESH_STATE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "file_bytes.h"
#include "tmpdir.h"
#include "zud.h"
#include "zudresrc.h"
#include "zudupa.h"

// Every module a program run sets up, back at its start.
inline void reset_program_state() {
  RES_reset();
  DEF_reset();
  FLAG_reset(IMISSING);
  FLAG_resetplot(1);
  MESS_reset();
  FILE_reset();
  UPA_reset();
  std::freopen("/dev/null", "r", stdin);
}

class FreshState : public testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  void TearDown() override { reset_program_state(); }

  // Makes `text` the whole of standard input, for the prompts.
  static void answer(const std::string& text) {
    const std::string path = zud_test_tmpdir() + "fresh_state_stdin.txt";
    spit(path, text);
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
  }
};

#endif  // ZUD_TESTS_FRESH_STATE_H
