// system.cpp — process services: the version text, the exit path, interactive prompts
// with their in-prompt commands, and sleeping.
//
// A prompt reads one answer line from standard input. Before the answer is taken, the
// line is offered as a command: "set name=value" changes a resource and asks again,
// "set" alone lists the resources and asks again, "exit" ends the run.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "zudresrc.h"

namespace {

double total_sleep = 0.0;  // seconds slept through ZUD_sleep since the process started

constexpr const char* kVersion = "5.60.4-LINUX-X11";  // package version text
constexpr int kAnswerSize = 80;                       // answer line: up to 79 characters
constexpr M_type kPromptLevel = MESS_PRINT;                  // prompts print at level "print"
constexpr M_type kListLevel = mess_sub(MESS_MESS, MESS_SUB_D);                  // "set" listing: mess, sub-level d
constexpr double kMaxSleep = 1.0e9;                   // longest single sleep, seconds

// Reads one answer line of at most 79 characters without its line end and trailing
// spaces; empty at the end of the input. The rest of a longer line is dropped, so that
// it cannot stand as the answer to the next prompt.
std::string read_answer() {
  char line[kAnswerSize] = "";
  std::fflush(stdout);
  if (!std::fgets(line, sizeof line, stdin)) line[0] = '\0';
  if (std::strchr(line, '\n') == nullptr && !std::feof(stdin)) {
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
  }
  wstrim_string(line);
  return line;
}

bool is_space(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// The package version text shown in the banner and the help text.
const char* ZUD_version() { return kVersion; }

// Ends the process with `status` after flushing every output stream.
void ZUD_exit(int status) {
  std::fflush(stderr);  // first: a program may buffer it (see MESS deliveries to stdout)
  std::fflush(nullptr);
  std::exit(status);
}

// Asks for one word. The answer's first word, at most length-1 characters (length of 1
// or less counts as 2), goes into `str`, or into a new buffer of length+1 bytes when
// `str` is null. An empty answer leaves the buffer as it was, so a preset default stands.
// Returns the buffer, or null when a new buffer cannot be allocated.
char* ZUD_prompts(const char* prompt, char* str, int length) {
  if (length <= 1) length = 2;
  if (!str) {
    str = static_cast<char*>(std::calloc(static_cast<std::size_t>(length) + 1, 1));
    if (!str) return nullptr;
  }
  for (;;) {
    MESS_print(kPromptLevel, "%s", prompt ? prompt : "");
    std::string line = read_answer();
    // Commands first: a "set" line must not overwrite the caller's preset answer.
    if (ZUD_set_command(line.c_str()) == 1) continue;
    std::size_t i = 0;
    while (i < line.size() && is_space(line[i])) ++i;
    if (i == line.size()) return str;  // empty answer: keep the buffer
    int n = 0;
    while (i < line.size() && !is_space(line[i]) && n < length - 1) str[n++] = line[i++];
    str[n] = '\0';
    return str;
  }
}

// Asks for a number until the answer begins with one (digits may be followed by text
// such as a unit, "12.5mb"). Returns the number, or 0 for an empty answer.
float ZUD_promptf(const char* prompt) {
  for (;;) {
    MESS_print(kPromptLevel, "%s", prompt ? prompt : "");
    std::string line = read_answer();
    if (ZUD_set_command(line.c_str()) == 1) continue;
    const char* text = line.c_str();
    while (is_space(*text)) ++text;
    if (*text == '\0') return 0.0f;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    // "nan" and "inf" are words, not answers; neither fits a float field.
    if (end != text && std::isfinite(value) && std::fabs(value) <= 3.4e38)
      return static_cast<float>(value);
  }
}

// Applies an in-prompt command: "set name=value" stores a resource, "set" alone lists
// the resources, "exit" ends the run with status 0. Returns 1 for a "set" command,
// 0 when the text is no command.
int ZUD_set_command(const char* string) {
  if (!string) return 0;
  if (strnicmp(string, "set", 3) == 0) {
    const char* p = string;
    while (*p && !is_space(*p)) ++p;  // past the command word
    while (is_space(*p)) ++p;
    const char* name = p;
    while (*p && *p != '=' && !is_space(*p)) ++p;
    std::string key(name, p);
    if (key.empty()) {
      MESS_print(kListLevel, "Set resources\n");
      RES_list();
      MESS_print(kListLevel, "\n");
      return 1;
    }
    while (*p == '=' || is_space(*p)) ++p;
    RES_put(key.c_str(), p);
    return 1;
  }
  if (strnicmp(string, "exit", 4) == 0) ZUD_exit(0);
  return 0;
}

// Sleeps `secs` seconds (microsecond resolution) and adds them to the running total.
// Returns 0, or -1 without sleeping when `secs` is 0, negative or not a number.
int ZUD_sleep(double secs) {
  if (!(secs > 0.0)) return -1;
  if (secs > kMaxSleep) secs = kMaxSleep;
  long long usec = std::llround(secs * 1.0e6);
  timespec want{};
  want.tv_sec = static_cast<time_t>(usec / 1000000);
  want.tv_nsec = static_cast<long>(usec % 1000000) * 1000L;
  timespec left{};
  while (nanosleep(&want, &left) != 0 && errno == EINTR) want = left;
  total_sleep += secs;
  return 0;
}
