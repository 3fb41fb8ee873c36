// Resource gathering: command-line parsing, defaults files, environment, precedence, the
// list operations, and over-long input.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "fresh_state.h"
#include "res_child.h"
#include "zudresrc.h"

using namespace res_test;

namespace {

const char* const kProg = "/usr/local/bin/ua_parse";

const res_type kLevelKeys[] = {RES_level, RES_null};
const res_type kConIntFirst[] = {RES_con_interval, RES_input, RES_null};
const res_type kInputFirst[] = {RES_input, RES_con_interval, RES_null};

// One gathering scenario: a command line, a defaults path, environment variables, and
// the resources expected afterwards ("<null>" for an absent one).
struct Scenario {
  std::vector<std::string> args;                                 // after the program name
  std::string defaults;                                          // zuddefault; empty: none found
  std::vector<std::pair<const char*, std::string>> env;          // further variables
  const res_type* keys;                                          // keyed list; null: the program's
  std::vector<std::pair<const char*, const char*>> want;         // resource, value
};

// Gathers one scenario and prints "name=value" per wanted resource.
ChildRun gather(const Scenario& s) {
  return run_here([&s] {
    clean_env(s.defaults.empty() ? "/nonexistent/zud.cfg" : s.defaults.c_str());
    for (const auto& [name, value] : s.env) setenv(name, value.c_str(), 1);
    std::vector<std::string> words{kProg};
    words.insert(words.end(), s.args.begin(), s.args.end());
    Argv a(words);
    RES_init(a.argc(), a.argv(), s.keys ? s.keys : kProgKeys, kProgPos);
    for (const auto& [name, want] : s.want) std::printf("%s=%s\n", name, value_of(name).c_str());
  });
}

std::string expected(const Scenario& s) {
  std::string out;
  for (const auto& [name, want] : s.want) out += std::string(name) + "=" + want + "\n";
  return out;
}

void check_scenarios(const std::vector<Scenario>& cases) {
  for (const Scenario& s : cases) {
    std::string line;
    for (const auto& a : s.args) line += a + " ";
    ChildRun run = gather(s);
    EXPECT_EQ(run.out, expected(s)) << "args: " << line;
    EXPECT_EQ(run.err, "") << "args: " << line;  // nothing here is worth a warning
    EXPECT_EQ(run.status, 0) << "args: " << line;
  }
}

}  // namespace

// How options, values and positionals are told apart on the command line.
TEST(ResDecode, CommandLineForms) {
  check_scenarios({
      // -h takes no value: the file name after it is positional 1, and help is present
      // without a value.
      {{"-h", "data.txt"}, "", {}, nullptr, {{"help", ""}, {"filename", "data.txt"}}},
      // "=" attaches a value even to -h; no positional is left.
      {{"-h=yes"}, "", {}, nullptr, {{"help", "yes"}, {"filename", "<null>"}}},
      // Two dashes and "=" give the same value as one dash and a separate argument.
      {{"--pa=prdash"}, "", {}, nullptr, {{"parameter", "prdash"}}},
      {{"-pa", "prdash"}, "", {}, nullptr, {{"parameter", "prdash"}}},
      // -f abbreviates the first resource beginning with f (file_path, not file_param).
      {{"-f", "/x"}, "", {}, nullptr, {{"file_path", "/x"}, {"file_param", "<null>"}}},
      // "-if=" stores the empty text; "-if" last stores no value; both read as "".
      {{"-if="}, "", {}, nullptr, {{"in_file", ""}}},
      {{"-if"}, "", {}, nullptr, {{"in_file", ""}}},
      // An option no entry knows is kept under its own name with its value.
      {{"-xyz", "3"}, "", {}, nullptr, {{"xyz", "3"}, {"filename", "<null>"}}},
      // A negative number after an option is its value, elsewhere a positional.
      {{"-le", "-5"}, "", {}, kLevelKeys, {{"level", "-5"}, {"filename", "<null>"}}},
      {{"-5"}, "", {}, nullptr, {{"filename", "-5"}}},
      // An argument beginning with "--" after an option is that option's value.
      {{"-id", "--pa=x"}, "", {}, nullptr, {{"identifier", "--pa=x"}, {"parameter", "<null>"}}},
      // "--" alone is skipped and does not end option processing.
      {{"--", "a", "-id", "b"}, "", {}, nullptr, {{"filename", "a"}, {"identifier", "b"}}},
      // -ba takes no value: the next argument is positional.
      {{"-ba", "file"}, "", {}, nullptr, {{"batch", ""}, {"filename", "file"}}},
      // A repeated option: the last wins.
      {{"-id", "a", "-id", "b"}, "", {}, nullptr, {{"identifier", "b"}}},
      // A value is one argument, spaces included; only the first "=" splits.
      {{"-fp", "a b"}, "", {}, nullptr, {{"file_path", "a b"}}},
      {{"-id=x=y"}, "", {}, nullptr, {{"identifier", "x=y"}}},
      // Two entries with the switch "in": the earlier in the table wins.
      {{"-in", "5"}, "", {}, kConIntFirst, {{"con_interval", "5"}, {"input", "<null>"}}},
      {{"-in", "5"}, "", {}, kInputFirst, {{"input", "5"}, {"con_interval", "<null>"}}},
      // Three positionals into the slot-10 entry: joined by newlines.
      {{"a", "b", "c"}, "", {}, nullptr, {{"filename", "a\nb\nc"}}},
  });
}

// The title and defaults-path options: handled by the first pass, single dash only.
TEST(ResDecode, TitleAndDefaultsPath) {
  const std::string cfg = fixture("zud.cfg");
  check_scenarios({
      // "NAME" in capitals: not the title (case matters there), yet passed over later
      // (case does not matter there); its value is consumed, not positional.
      {{"-NAME", "foo"}, "", {}, nullptr, {{"name", "<null>"}, {"NAME", "<null>"}, {"filename", "<null>"}}},
      {{"-na", "foo"}, "", {}, nullptr, {{"name", "foo"}, {"filename", "<null>"}}},
      // Two dashes: passed over in both passes, so neither title nor path is set.
      {{"--name", "foo"}, "", {}, nullptr, {{"name", "<null>"}, {"filename", "<null>"}}},
      {{"--df", cfg}, "", {}, nullptr, {{"file_path", "<null>"}, {"filename", "<null>"}}},
      // One dash: the named file is the defaults path.
      {{"-df", cfg}, "", {}, nullptr, {{"default", cfg.c_str()}, {"file_path", "/from/defaults"}}},
      {{"-default=" + cfg}, "", {}, nullptr, {{"file_path", "/from/defaults"}}},
  });
}

// Defaults files, environment and command line, each replacing what came before.
TEST(ResDecode, Precedence) {
  const std::string cfg = fixture("zud.cfg");
  const std::string later = fixture("later.cfg");
  check_scenarios({
      // Defaults file only.
      {{}, cfg, {}, nullptr, {{"file_path", "/from/defaults"}}},
      // The entry's environment variable beats the defaults file.
      {{}, cfg, {{"zudfile", "/from/env"}}, nullptr, {{"file_path", "/from/env"}}},
      // The command line beats both.
      {{"-fp", "/cmd"}, cfg, {{"zudfile", "/from/env"}}, nullptr, {{"file_path", "/cmd"}}},
      // "zud" and the resource name is the last environment fallback.
      {{}, "", {{"zudfile_path", "/alt"}}, nullptr, {{"file_path", "/alt"}}},
      // A positional replaces the defaults value of the slot-10 resource.
      {{}, cfg, {}, nullptr, {{"filename", "from_defaults"}}},
      {{"a", "b", "c"}, cfg, {}, nullptr, {{"filename", "a\nb\nc"}}},
      // A later path element overrides an earlier one; patterns for another program
      // select nothing; a pattern for this program that no entry has is kept as is.
      {{}, cfg + ":" + later, {}, nullptr,
       {{"data_path", "/later/data"}, {"con_path", "<null>"}, {"colour_x", "blue"}, {"identifier", "72558"}}},
      {{}, later + ":" + cfg, {}, nullptr, {{"data_path", "/defaults/data"}}},
      // A "+" element defines a tag for the conditional blocks of the files after it.
      {{}, "+fast:" + fixture("tags.cfg"), {}, nullptr, {{"parameter", "fast_defaults"}}},
      {{}, fixture("tags.cfg"), {}, nullptr, {{"parameter", "<null>"}}},
  });
}

// The help flag is set by the conversion; RES_init starts every flag unset.
TEST(ResInit, FlagsAfterGathering) {
  struct Case { std::vector<std::string> args; const char* want; };
  const Case cases[] = {
      {{"-h", "data.txt"}, "help=1 flag20=1 flag5=-9999\n"},  // -h sets flag 20
      {{"data.txt"}, "help=0 flag20=-9999 flag5=-9999\n"},    // reset to -9999, untouched
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      clean_env();
      FLAG_set(5, 7);  // a stale value that RES_init must clear
      std::vector<std::string> words{kProg};
      words.insert(words.end(), c.args.begin(), c.args.end());
      Argv a(words);
      EXPECT_EQ(RES_init(a.argc(), a.argv(), kProgKeys, kProgPos), 1);
      std::printf("help=%d flag20=%d flag5=%d\n", FLAG_help(), FLAG_get(20), FLAG_get(5));
    });
    EXPECT_EQ(run.out, c.want);
  }
}

// RES_list tells a resource without a value from one with the empty text.
TEST(ResList, EmptyValueAndNoValue) {
  struct Case { const char* arg; const char* want; };
  const Case cases[] = {
      {"-if=", "default: /nonexistent/zud.cfg\nin_file: \n"},  // empty text after "="
      {"-if", "default: /nonexistent/zud.cfg\nin_file:\n"},    // last argument: no value
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      clean_env();
      Argv a({kProg, c.arg});
      RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
      RES_list();
    });
    EXPECT_EQ(run.out, c.want) << c.arg;
  }
}

// Every store from a defaults file is traced at debug level d, pattern and value.
TEST(ResDecode, DefaultsTrace) {
  ChildRun run = run_here([] {
    clean_env(fixture("zud.cfg").c_str());
    MESS_set(10, 0x80000000);  // every level on, for the trace
    Argv a({kProg});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
  });
  std::string trace;
  std::istringstream lines(run.out);
  for (std::string l; std::getline(lines, l);)
    if (l.rfind("RESRC: ", 0) == 0) trace += l + "\n";
  // The four fixture lines that select an entry of the table, in file order.
  EXPECT_EQ(trace,
            "RESRC: *file_path=/from/defaults\n"
            "RESRC: *data_path=/defaults/data\n"
            "RESRC: *filename=from_defaults\n"
            "RESRC: ua_parse.identifier=72558\n");
}

// A display-loop window that is not running: a warning, then gathering goes on. The
// link to the display loop keeps state of its own, so this scenario runs in a child.
TEST(ResDecode, DisplayLoopNotRunning) {
  ChildRun run = run_child([] {
    clean_env(("#5:" + fixture("zud.cfg")).c_str());
    Argv a({kProg});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    std::printf("file_path=%s\n", value_of("file_path").c_str());
  });
  EXPECT_EQ(run.err, "ZUDloop window: 5 not running or no message queue exists\n");
  EXPECT_EQ(run.out, "file_path=/from/defaults\n");  // the element after it is still read
}

// A key without a catalogue row prints its number once while the table is built and
// takes part in nothing.
TEST(ResInit, UndefinedKey) {
  ChildRun run = run_here([] {
    clean_env();
    const res_type keys[] = {RES_age, RES_help, RES_null};
    Argv a({kProg, "-h"});
    RES_init(a.argc(), a.argv(), keys, kProgPos);
    std::printf("help=%d\n", FLAG_help());
  });
  EXPECT_EQ(run.out, "1\nhelp=1\n");  // RES_age is key 1
}

// A key list longer than the table: the first 74 keys are entered, the rest dropped.
TEST(ResInit, TooManyKeys) {
  ChildRun run = run_here([] {
    clean_env();
    std::vector<res_type> keys;
    for (int k = 1; k < RES_num_keys; ++k) keys.push_back(static_cast<res_type>(k));
    keys.push_back(RES_null);
    Argv a({kProg, "-text_p", "/t"});
    RES_init(a.argc(), a.argv(), keys.data(), kProgPos);
    std::printf("text_path=%s text_p=%s\n", value_of("text_path").c_str(), value_of("text_p").c_str());
  });
  // Undefined keys among the first 74 (keys 1-74) print their numbers: 1, 4, 7, 12,
  // 14, 21, 25, 36, 38, 42, 43, 61, 62, 66, 70 (from the key enumeration). RES_text_path
  // (112) lies beyond the table, so -text_p abbreviates nothing and is kept as typed.
  EXPECT_EQ(run.out,
            "1\n4\n7\n12\n14\n21\n25\n36\n38\n42\n43\n61\n62\n66\n70\ntext_path=<null> text_p=/t\n");
  EXPECT_EQ(run.status, 0);
}

// Over-long names and values, many tags and a long defaults path: cut or kept, never a
// crash.
TEST(ResDecode, OverLongInput) {
  const std::string long_name(60, 'q');
  const std::string long_value(300, 'v');
  ChildRun run = run_here([&] {
    std::string path;
    for (int i = 0; i < 12; ++i) path += "+tag" + std::to_string(i) + ":";  // 2 over the limit
    for (int i = 0; i < 300; ++i) path += "/nonexistent/dir" + std::to_string(i) + ":";
    path += fixture("zud.cfg");
    clean_env(path.c_str());
    Argv a({kProg, "-" + long_name, long_value, "-id", long_value});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    std::printf("%s\n", value_of(std::string(49, 'q').c_str()).c_str());
    std::printf("%zu\n", value_of("identifier").size());
    std::printf("%s\n", value_of("file_path").c_str());
  });
  // The option name is cut to 49 characters; values are stored whole; the defaults file
  // at the end of the 312-element path is still read.
  EXPECT_EQ(run.out, long_value + "\n300\n/from/defaults\n");
  EXPECT_EQ(run.status, 0);
}

// A 400-character defaults line: cut by the reader, the lines after it still count, and
// its pieces select nothing.
TEST(ResDecode, LongDefaultsLine) {
  const std::string cfg = fixture("long.cfg");
  ChildRun run = run_here([&cfg] {
    clean_env(cfg.c_str());
    Argv a({kProg});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    RES_list();
  });
  EXPECT_EQ(run.out, "default: " + cfg + "\nfile_path: /after/long\n");
  EXPECT_EQ(run.status, 0);
}

// The program name: base name of argv[0], cut to fit the caller's 80-byte buffer.
TEST(ResProgName, BaseNameAndBounds) {
  struct Case { std::string argv0; std::string want; };
  const Case cases[] = {
      {"/usr/local/bin/ua_parse", "ua_parse"},                // text after the last "/"
      {"ua_parse", "ua_parse"},                               // no directory
      {"/bin/" + std::string(120, 'p'), std::string(79, 'p')},  // 120 characters: cut to 79
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      Argv a({c.argv0});
      RES_setCL(a.argc(), a.argv());
      char buf[RES_PROGNAME_LEN + 8];
      std::memset(buf, 'X', sizeof buf);
      char* got = RES_get_progname(buf);
      char* fresh = RES_get_progname(nullptr);
      std::printf("%s|%s|%c|%d\n", got, fresh, buf[RES_PROGNAME_LEN], got == buf);
      std::printf("%s\n", RES_get_prog());
    });
    // The byte after the 80-byte field is never written.
    EXPECT_EQ(run.out, c.want + "|" + c.want + "|X|1\n" + c.argv0 + "\n");
  }
}

// -h with a 120-character program name still prints the help text.
TEST(ResProgName, HelpWithLongName) {
  const std::string name(120, 'p');
  ChildRun run = run_here([&name] {
    clean_env();
    Argv a({name, "-h"});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    char prog[RES_PROGNAME_LEN];
    RES_help_print(RES_get_progname(prog), kProgKeys, kProgPos);
  });
  EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
            std::string(79, 'p') + " syntax (version:5.60.4-LINUX-X11)\n");
  EXPECT_NE(run.out.find(" file [file...]  Input file names\n"), std::string::npos);
  EXPECT_EQ(run.status, 0);
}

// Storing, replacing and appending values; the list keeps first-creation order.
TEST(ResList, NewAppendAndOrder) {
  ChildRun run = run_here([] {
    RES_new(3, "alpha", "one", CV_string);
    RES_put("beta", nullptr);               // present without a value
    RES_new(4, "alpha", "two", CV_int);     // replaced in place, kind and index too
    RES_append(9, "beta", "x", CV_float);   // no old value: just the new text
    RES_append(9, "beta", "y", CV_float);   // newline-joined; kind stays
    RES_append(5, "gamma", "g", CV_strings);  // a new node, like RES_new
    RES_append(5, "gamma", nullptr, CV_strings);  // nothing to add
    RES_list();
    std::printf("%s\n", RES_get("Alpha") ? "found" : "absent");  // names keep their case
  });
  EXPECT_EQ(run.out, "alpha: two\nbeta: x\ny\ngamma: g\nabsent\n");
}

class ResReset : public FreshState {};

// A reset releases every resource and forgets the command line; the list then starts
// again from its head, so a new resource is the only one listed.
TEST_F(ResReset, ForgetsEverything) {
  Argv a({"/usr/local/bin/ua_parse", "file"});
  RES_setCL(a.argc(), a.argv());
  RES_put("alpha", "one");
  RES_new(3, "beta", "two", CV_int);
  EXPECT_EQ(RES_reset(), 0);
  EXPECT_EQ(RES_get("alpha"), nullptr);
  EXPECT_EQ(RES_get("beta"), nullptr);
  EXPECT_EQ(RES_get_prog(), nullptr);
  EXPECT_STREQ(RES_get_progname(nullptr), "ZUD");  // the name used without a command line
  RES_put("gamma", "g");
  EXPECT_EQ(capture::stdout_of([] { RES_list(); }), "gamma: g\n");
}

// Splitting a value into items: commas, or newlines for a CV_strings resource.
TEST(ResList, GetVals) {
  struct Case { const char* name; const char* data; DEF_convert cvt; int n; const char* items; };
  const Case cases[] = {
      {"p1", "a,b,c", CV_string, 3, "a|b|c|"},     // commas for ordinary kinds
      {"p2", "a,b\nc", CV_strings, 2, "a,b|c|"},   // newlines for CV_strings
      {"p3", "a b", CV_string, 1, "a b|"},         // spaces are kept inside an item
      {"p4", "", CV_string, 0, ""},                // empty value: no items
      {"p5", nullptr, CV_string, 0, ""},           // no value: no items
  };
  for (const auto& c : cases) {
    ChildRun run = run_here([&c] {
      RES_new(1, c.name, c.data, c.cvt);
      int n = -1;
      char** items = reinterpret_cast<char**>(1);
      int rc = RES_getvals(c.name, &n, &items);
      std::printf("%d %d %d ", rc, n, items == nullptr);
      for (int i = 0; i < n; ++i) std::printf("%s|", items[i]);
      free_parsed_array(n, items);
    });
    EXPECT_EQ(run.out, std::to_string(c.n) + " " + std::to_string(c.n) + " " + (c.n ? "0" : "1") +
                           " " + c.items)
        << c.name;
  }
  ChildRun missing = run_here([] {
    int n = -1;
    char** items = nullptr;
    int rc = RES_getvals("nothing", &n, &items);
    std::printf("%d %d %d\n", rc, n, items == nullptr);
  });
  EXPECT_EQ(missing.out, "0 0 1\n");  // a missing resource gives no items
}

// RES_getval converts a resource into the caller's storage.
TEST(ResList, GetValTyped) {
  ChildRun run = run_here([] {
    RES_put("count", "0x1F");
    std::int32_t v = -1;
    int rc1 = RES_getval("count", &v, CV_int);
    int rc2 = RES_getval("count", nullptr, CV_int);   // no storage: nothing done
    int rc3 = RES_getval("missing", &v, CV_int);      // no resource: nothing done
    std::printf("%d %d %d %d\n", rc1, rc2, rc3, v);
  });
  EXPECT_EQ(run.out, "1 0 0 31\n");  // 0x1F = 16 + 15
}

// Entries: switch text or positional slot held in the same field.
TEST(ResFillObj, SwitchOrSlot) {
  RES_defobj keyed{}, slot{};
  EXPECT_EQ(RES_fill_obj(&keyed, "file_path", "zudfile", "fp", CV_path, nullptr, nullptr), 1);
  RES_fill_obj(&slot, "filename", "zudfilename", RES_slot_cmd(10), CV_strings, nullptr, nullptr);
  EXPECT_STREQ(keyed.cmd, "fp");
  EXPECT_EQ(RES_slot(&keyed), 0);   // a text is never a slot
  EXPECT_EQ(RES_slot(&slot), 10);   // slot 10 collects the remaining positionals
  EXPECT_EQ(slot.cvt, CV_strings);
}
