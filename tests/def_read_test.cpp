// Defaults files: pattern selection, entry reading, conditional blocks, file search in a
// directory, and the environment look-up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "zudresrc.h"

namespace {

const std::string kDir = std::string(ZUD_TEST_DATA) + "/defaults/def_read/";

using Entries = std::vector<std::pair<std::string, std::string>>;

// Every entry DEF_get delivers from the open file, with a guard against a reader that
// never reaches the end.
Entries read_all() {
  Entries out;
  char resrc[DEF_RESRC_LEN];
  char value[DEF_VALUE_LEN];
  while (out.size() < 10000 && DEF_get(resrc, value) == 1) out.emplace_back(resrc, value);
  return out;
}

Entries read_file(const std::string& name) {
  EXPECT_EQ(DEF_open((kDir + name).c_str()), 0) << name;
  Entries e = read_all();
  DEF_close();
  return e;
}

// Each test starts from a reset reader with program "prog": no title, no tags and no
// open block; the reader is reset again afterwards.
class DefRead : public ::testing::Test {
 protected:
  void SetUp() override {
    DEF_reset();
    DEF_set_prog("prog");
  }
  void TearDown() override { DEF_reset(); }
};

// Reads an entry from a one-line file: proves that no block is left open.
void expect_blocks_closed() {
  EXPECT_EQ(read_file("plain.def"), (Entries{{"p.o2", "no"}}));
}

}  // namespace

// Which resources of program "prog" a pattern selects, with and without a title.
TEST_F(DefRead, PatternSelection) {
  struct Case { const char* prog; const char* title; const char* pattern; const char* resrc; int want; };
  const Case cases[] = {
      {"prog", "", "*file_path", "file_path", 1},       // every program
      {"prog", "", "prog.file_path", "file_path", 1},   // this program
      {"prog", "", "other.file_path", "file_path", 0},  // another program
      {"prog", "", "prog*", "file_path", 0},            // a trailing star never matches
      {"prog", "", "prog.*", "file_path", 0},           // nor after a dot
      {"prog", "", "file_path", "file_path", 0},        // neither "." nor "*": selects nothing
      {"prog", "", "prog.file", "file_path", 0},        // the pattern ends before the name
      {"prog", "", "prog.file_path_x", "file_path", 0}, // the name ends before the pattern
      {"prog", "", "p*.file_path", "file_path", 1},     // star inside the program part
      {"prog", "", "*file*path", "file_path", 1},       // two stars, each found in turn
      {"prog", "", "*path", "file_path", 1},            // suffix of the resource name
      {"prog", "", "*path", "data_path", 1},            // the same pattern, another resource
      {"pathprog", "", "*path", "file_path", 0},        // only the first "path" (in the
                                                        // program name) is tried
      {"Zud", "", "zud.file_path", "file_path", 0},     // full names keep their case
      {"prog", "+raw", "prog.file_path", "file_path", 0},      // the use is part of the name
      {"prog", "+raw", "*file_path", "file_path", 1},          // still every program
      {"prog", "+raw", "prog.raw.file_path", "file_path", 1},  // the named use
      {"prog", "+raw", "prog.raw.*path", "file_path", 1},      // star below the use
      {"prog", "ua", "ua.file_path", "file_path", 1},   // a plain title replaces the program
      {"prog", "ua", "prog.file_path", "file_path", 0},
  };
  for (const auto& c : cases) {
    DEF_set_prog(c.prog);
    DEF_title(c.title);
    EXPECT_EQ(DEF_cmp(c.resrc, c.pattern), c.want)
        << c.prog << " " << c.title << " " << c.pattern << " " << c.resrc;
  }
}

// Program name and title are kept to 29 characters: a longer title is cut, and the cut
// title (28 characters after the "+") is what patterns see.
TEST_F(DefRead, LongTitleIsCut) {
  const std::string use(40, 'u');
  DEF_title(("+" + use).c_str());
  EXPECT_EQ(DEF_cmp("x", ("prog." + use.substr(0, 28) + ".x").c_str()), 1);
  EXPECT_EQ(DEF_cmp("x", ("prog." + use + ".x").c_str()), 0);
  DEF_set_prog(std::string(40, 'p').c_str());
  DEF_title("");
  EXPECT_EQ(DEF_cmp("x", (std::string(29, 'p') + ".x").c_str()), 1);
}

// Whether a pattern applies to this program at all, whatever its resource.
TEST_F(DefRead, ValidForProgram) {
  struct Case { const char* prog; const char* title; const char* pattern; int want; };
  const Case cases[] = {
      {"prog", "", "prog.file_path", 1},       // named for this program
      {"prog", "", "*anything", 1},            // every program
      {"prog", "", "other.file_path", 0},      // another program's entry
      {"prog", "", "prog*", 0},                // trailing star
      {"prog", "", "word", 0},                 // neither "." nor "*"
      {"pathprog", "", "*path", 0},            // first "path" is in the program name
      {"prog", "+raw", "prog.raw.level", 1},   // the named use
      {"prog", "+raw", "prog.level", 0},       // the program without the use
  };
  for (const auto& c : cases) {
    DEF_set_prog(c.prog);
    DEF_title(c.title);
    EXPECT_EQ(DEF_valid(c.pattern), c.want) << c.prog << " " << c.title << " " << c.pattern;
  }
}

// The resource part of a pattern: after the last "." or "*".
TEST_F(DefRead, ParseName) {
  struct Case { std::string pattern; std::string want; };
  const Case cases[] = {
      {"prog.file_path", "file_path"},       // after the dot
      {"*path", "path"},                     // after a leading star
      {"a.b*c", "c"},                        // the last of either kind
      {"plain", "plain"},                    // no separator: the whole text
      {"prog.", ""},                         // nothing after the dot
      {"p." + std::string(60, 'n'), std::string(49, 'n')},  // cut to the buffer
  };
  for (const auto& c : cases) {
    char out[DEF_RESRC_LEN];
    std::memset(out, 'X', sizeof out);
    EXPECT_EQ(DEF_parse_name(c.pattern.c_str(), out), 1);
    EXPECT_EQ(std::string(out), c.want) << c.pattern;
  }
}

// Comments, empty lines, one-word lines, lower-casing, one trailing colon removed, quoted
// values with spaces, extra words ignored, tabs as separators.
TEST_F(DefRead, EntriesOfAFile) {
  const Entries want = {
      {"prog.file_path", "/data/upa"},    // capitals and the colon removed
      {"*data_path", "/data/cvt"},        // words after the value are ignored
      {"prog.title", "Upper air, station list"},  // quoted: spaces kept, quotes dropped
      {"prog.open", "unterminated quote runs to the end"},  // no closing quote
      {"prog.empty", ""},                 // an empty quoted value is still a value
      {"prog.colons:", "two"},            // only one colon is removed
      {"prog.indent", "tabbed"},          // leading blanks and a tab separate words
      {"prog.crlf", "to the line end"},   // CR-LF line: the CR is not part of the value
  };
  EXPECT_EQ(read_file("entries.def"), want);
}

// Nested blocks with DEF and UNDEF; with both tags defined only the first branch counts.
TEST_F(DefRead, ConditionalBlocks) {
  const Entries want = {
      {"p.a1", "yes"}, {"p.a4", "yes"},  // IF taken; the nested ELSE after two misses
      {"p.b2", "yes"},                   // tag defined inside an inactive block
      {"p.c1", "yes"},                   // UNDEF of an unknown tag changed nothing
      {"p.c3", "yes"},                   // alpha removed case-blind, beta kept
      {"p.e3", "yes"},                   // ELSE after a branch not taken
      {"p.after", "yes"},                // every block closed again
  };
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_file("blocks.def"), want);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  expect_blocks_closed();
}

// Block directives with no open block warn and are otherwise ignored; ELIF and IF
// without their tag are ignored silently.
TEST_F(DefRead, StrayDirectivesWarn) {
  testing::internal::CaptureStderr();
  Entries got = read_file("stray.def");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(got, (Entries{{"p.s1", "one"}, {"p.s2", "two"}, {"p.s3", "three"}}));
  EXPECT_EQ(err,
            "DEF_get: else without an if\n"
            "DEF_get: elif without an if\n"
            "DEF_get: end without an if\n");
  expect_blocks_closed();
}

// A block left open at the end of a file still holds back the entries of the next file.
TEST_F(DefRead, BlocksCarryIntoNextFile) {
  EXPECT_EQ(read_file("open_if.def"), Entries{});
  EXPECT_EQ(read_file("plain.def"), Entries{});
  EXPECT_EQ(read_file("close_if.def"), (Entries{{"p.o3", "yes"}}));
}

// A reset closes a block left open, and forgets the tags, the title and the program name
// ("Zud" again, as at start).
TEST_F(DefRead, ResetStartsAgain) {
  EXPECT_EQ(read_file("open_if.def"), Entries{});  // leaves its block open
  DEF_tag("t");
  DEF_title("ua");
  EXPECT_EQ(DEF_cmp("file_path", "Zud.file_path"), 0);
  EXPECT_EQ(DEF_reset(), 0);
  expect_blocks_closed();
  EXPECT_EQ(DEF_cmp("file_path", "Zud.file_path"), 1);  // no title, the starting name
  EXPECT_EQ(DEF_cmp("file_path", "ua.file_path"), 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(DEF_tag("x"), 0) << i;  // ten free places
}

// Blocks beyond ten are refused: skipped whole with one warning, their ELSE and END
// paired with them, so the ten blocks around go on as before.
TEST_F(DefRead, TooManyNestedBlocks) {
  DEF_tag("t");
  testing::internal::CaptureStderr();
  Entries got = read_file("deep.def");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(got, (Entries{{"p.d10", "yes"}, {"p.back10", "yes"}, {"p.out", "yes"}}));
  EXPECT_EQ(err, "DEF_get: more than 10 nested ifs, block skipped\n");
  expect_blocks_closed();
}

// An eleventh tag is refused, from a DEF line (with a warning) or from the caller.
TEST_F(DefRead, TagLimit) {
  testing::internal::CaptureStderr();
  Entries got = read_file("tags.def");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(got, (Entries{{"p.t10", "yes"}}));
  EXPECT_EQ(err, "DEF_get: too many tags, t11 not defined\n");
  EXPECT_EQ(DEF_tag("more"), -1);
  DEF_clr_tag();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(DEF_tag("x"), 0) << i;
  EXPECT_EQ(DEF_tag("x"), -1);
}

// Lines over 249 characters go on as the next line; patterns over 49 and values over
// 199 characters are cut. Lengths follow from how the fixture was built (see comments).
TEST_F(DefRead, OverLongLines) {
  const Entries want = {
      {"p.cut" + std::string(44, 'y'), "v"},  // 5 + 55 characters cut to 49
      {"p.val", std::string(199, 'z')},       // 240 characters cut to 199
      {"p.first", "one"},                     // first 249 characters of the line
      {"p.second", "two"},                    // its rest, read as the next line
      {std::string(49, 'w'), "val"},          // 309 characters: 249 of one word, then
                                              // 56 w and the value
      {"p.after", "ok"},
  };
  EXPECT_EQ(read_file("long.def"), want);  // the 400-character word gives nothing
}

// A binary file reads to its end without fault, within the buffer limits, and the
// ordinary entry after the junk is still found.
TEST_F(DefRead, BinaryFile) {
  testing::internal::CaptureStderr();
  Entries got = read_file("binary.def");
  testing::internal::GetCapturedStderr();
  ASSERT_FALSE(got.empty());
  EXPECT_LT(got.size(), 10000u);
  for (const auto& [r, v] : got) {
    EXPECT_LE(r.size(), 49u);
    EXPECT_LE(v.size(), 199u);
  }
  EXPECT_EQ(got.back(), (std::pair<std::string, std::string>{"prog.after_binary", "ok"}));
}

// A directory is searched for zud.cfg, then .zuddef, then Zud.res.
TEST_F(DefRead, DirectorySearch) {
  struct Case { const char* dir; int rc; const char* source; };
  const Case cases[] = {
      {"dir_both", 0, "zud.cfg"},     // zud.cfg wins over Zud.res
      {"dir_both/", 0, "zud.cfg"},    // a trailing "/" changes nothing
      {"dir_def_res", 0, ".zuddef"},  // .zuddef wins over Zud.res
      {"dir_res", 0, "Zud.res"},      // the last name is still found
      {"dir_none", -1, nullptr},      // none of the three: not opened
      {"no_such_dir", -1, nullptr},   // missing: not opened
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DEF_open((kDir + c.dir).c_str()), c.rc) << c.dir;
    Entries got = read_all();
    if (c.source)
      EXPECT_EQ(got, (Entries{{"p.src", c.source}})) << c.dir;
    else
      EXPECT_TRUE(got.empty()) << c.dir;  // DEF_get gives -1 with no file open
    DEF_close();
  }
}

// An empty or null name reads .zuddef of the working directory.
TEST_F(DefRead, DefaultName) {
  char* here = getcwd(nullptr, 0);
  ASSERT_NE(here, nullptr);
  ASSERT_EQ(chdir((kDir + "dir_def_res").c_str()), 0);
  for (const char* name : {"", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(DEF_open(name), 0);
    EXPECT_EQ(read_all(), (Entries{{"p.src", ".zuddef"}}));
  }
  DEF_close();
  ASSERT_EQ(chdir(here), 0);
  std::free(here);
}

// Opening a second file closes the first; after closing nothing more is read.
TEST_F(DefRead, ReopenAndClose) {
  char resrc[DEF_RESRC_LEN];
  char value[DEF_VALUE_LEN];
  ASSERT_EQ(DEF_open((kDir + "entries.def").c_str()), 0);
  ASSERT_EQ(DEF_get(resrc, value), 1);
  ASSERT_EQ(DEF_open((kDir + "dir_res").c_str()), 0);
  EXPECT_EQ(read_all(), (Entries{{"p.src", "Zud.res"}}));  // from its start
  EXPECT_EQ(DEF_get(resrc, value), -1);                    // still -1 at the end
  DEF_close();
  EXPECT_EQ(DEF_get(resrc, value), -1);
}

// Environment look-up order: program-qualified name, the entry's own variable, then
// "zud" and the resource name.
TEST_F(DefRead, Environment) {
  struct Case { const char* full; const char* own; const char* shortv; const char* env;
                int rc; const char* want; };
  const Case cases[] = {
      {"/full", "/own", "/short", "MY_FP", 1, "/full"},   // qualified name first
      {nullptr, "/own", "/short", "MY_FP", 1, "/own"},    // then the entry's variable
      {nullptr, "/own", "/short", nullptr, 1, "/short"},  // no variable of its own
      {nullptr, "/own", "/short", "", 1, "/short"},       // an empty name counts as none
      {nullptr, nullptr, nullptr, "MY_FP", 0, "kept"},    // nothing set: value untouched
  };
  for (const auto& c : cases) {
    auto set = [](const char* name, const char* v) {
      if (v) setenv(name, v, 1); else unsetenv(name);
    };
    set("zudprog.file_path", c.full);
    set("MY_FP", c.own);
    set("zudfile_path", c.shortv);
    char value[DEF_VALUE_LEN] = "kept";
    EXPECT_EQ(DEF_env("file_path", c.env, value), c.rc) << c.want;
    EXPECT_STREQ(value, c.want);
  }
  // With a "+" title the qualified name includes the use.
  DEF_title("+raw");
  setenv("zudprog.raw.file_path", "/raw", 1);
  char value[DEF_VALUE_LEN];
  EXPECT_EQ(DEF_env("file_path", nullptr, value), 1);
  EXPECT_STREQ(value, "/raw");
  // A long value is cut to the 199 characters the buffer holds.
  setenv("zudprog.raw.file_path", std::string(300, 'v').c_str(), 1);
  EXPECT_EQ(DEF_env("file_path", nullptr, value), 1);
  EXPECT_EQ(std::string(value), std::string(199, 'v'));
  unsetenv("zudprog.raw.file_path");
}

// A name beginning with "|" reads the output of a command, and closing waits for it.
TEST_F(DefRead, CommandPipe) {
  ASSERT_EQ(DEF_open("|printf 'p.pipe yes\\n'"), 0);
  EXPECT_EQ(read_all(), (Entries{{"p.pipe", "yes"}}));
  EXPECT_EQ(DEF_close(), 0);
}
