// resrc.cpp — resources: gathering values from the defaults files, a display loop, the
// environment and the command line into one process-wide list, and looking them up.
//
// A program names the resources it accepts as catalogue keys; RES_init turns them into a
// definition table and RES_decode fills the list, each later source replacing what an
// earlier one stored: defaults files in path order, then environment variables, then the
// command line in argument order. After gathering every catalogued value is converted
// once, which is where switches such as the message level, batch mode and help act.
// Options that match no catalogued resource are kept under their own name, silently.

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "zudmq.h"
#include "zudresrc.h"

namespace {

constexpr int kUncatalogued = -9999;   // index of a resource without a table entry
constexpr int kMaxOptName = 49;        // longest option name taken from an argument
constexpr int kPatternBuf = 512;       // defaults-file pattern and derived name buffers
constexpr int kValueBuf = 4096;        // defaults-file and environment value buffer
constexpr int kMqText = 118;           // longest text one display-loop message carries
constexpr int kMqBuf = 128;            // reply buffer, room for a full message text
constexpr int kReplyEnd = -3;          // reply status: the display loop is not running
constexpr int kNoReply = -1;           // MQ_get: no reply came (a time-out or a receive error)
constexpr int kDroppedWait = 2;        // seconds to wait for a reply after "not running"
constexpr M_type kDebugD = mess_sub(MESS_DEBUG, MESS_SUB_D); // trace of every defaults-file store
constexpr M_type kWarn = MESS_WARN;         // display-loop warnings
constexpr const char* kDefaultPath = ".:/home/zud/etc:/usr/local/zud/etc";
static_assert(kPatternBuf >= DEF_RESRC_LEN, "room for a defaults-file pattern");
static_assert(kValueBuf >= DEF_VALUE_LEN, "room for a defaults-file or environment value");

// The resource list and the command line it was gathered from; RES_reset brings them back
// to these starting values.
resource root_res = {0, nullptr, nullptr, CV_none, nullptr};  // head; next is the first node
resource* last_res = &root_res;                  // node new resources are appended after
int clargc = 0;                                  // argument count given to RES_setCL
char** clargv = nullptr;                         // argument vector given to RES_setCL
RES_defobj def_table_store[RES_MAX_DEFS + 1];    // definition table built by RES_init
char fallback_prog[] = "ZUD";                    // program name when no other can be had

// The display-loop link while it is open during gathering.
bool link_open = false;  // true between a successful handshake and "quit"
int link_qid = -1;       // queue identifier of the link
int link_conn = -1;      // connection number granted by the display loop
// A "not running" reply came: the loop may have dropped the connection, so a wait that
// runs out closes the link instead of ending the program.
bool link_dropping = false;

// Copies a text into a new heap buffer; null for a null text or when memory runs out.
char* dup_text(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy) std::memcpy(copy, text, n + 1);
  return copy;
}

resource* find_node(const char* name) {
  if (!name) return nullptr;
  for (resource* r = root_res.next; r; r = r->next)
    if (r->name && std::strcmp(r->name, name) == 0) return r;
  return nullptr;
}

// An argument that starts an option in both passes: "-" and a letter.
bool is_option(const char* arg) {
  return arg && arg[0] == '-' && std::isalpha(static_cast<unsigned char>(arg[1]));
}

// Number of dashes before the name of an option of the second pass ("-x" or "--x"),
// 0 when the argument is no option.
int option_dashes(const char* arg) {
  if (is_option(arg)) return 1;
  if (arg && arg[0] == '-' && arg[1] == '-' && std::isalpha(static_cast<unsigned char>(arg[2])))
    return 2;
  return 0;
}

// Splits the option at argv[*i] (after `dashes` dashes) into its name, cut at
// kMaxOptName characters, and its value: the text after "=", else the next argument when
// that is no option (it is consumed: *i advances), else null. *from_next tells whether
// the value came from the next argument.
const char* split_option(int argc, char** argv, int* i, int dashes, char* name,
                         bool* from_next) {
  const char* body = argv[*i] + dashes;
  const char* eq = std::strchr(body, '=');
  size_t len = eq ? static_cast<size_t>(eq - body) : std::strlen(body);
  if (len > static_cast<size_t>(kMaxOptName)) len = kMaxOptName;
  std::memcpy(name, body, len);
  name[len] = '\0';
  *from_next = false;
  if (eq) return eq + 1;
  if (*i + 1 < argc && argv[*i + 1] && !is_option(argv[*i + 1])) {
    *from_next = true;
    return argv[++*i];
  }
  return nullptr;
}

// True when `word` is a non-empty prefix of `full`, case-sensitive or not.
bool is_prefix(const char* word, const char* full, bool ignore_case) {
  if (!*word) return false;
  for (; *word; ++word, ++full) {
    if (!*full) return false;
    unsigned char a = static_cast<unsigned char>(*word), b = static_cast<unsigned char>(*full);
    if (ignore_case ? std::tolower(a) != std::tolower(b) : a != b) return false;
  }
  return true;
}

bool begins_with(const char* text, const char* start, bool ignore_case) {
  return is_prefix(start, text, ignore_case);
}

bool named_entry(const RES_defobj& e) { return e.def && e.def[0]; }

// An entry that an option can select: a name and a switch text, not a slot.
bool keyed_entry(const RES_defobj& e) {
  return named_entry(e) && e.cmd && RES_slot(&e) == 0;
}

// The entry an option name selects: exact switch, then exact resource name, then the
// first resource name it abbreviates, all without regard to case; -1 when none does.
int lookup_option(const RES_defobj* table, const char* name) {
  for (int j = 0; table[j].def; ++j)
    if (keyed_entry(table[j]) && stricmp(table[j].cmd, name) == 0) return j;
  for (int j = 0; table[j].def; ++j)
    if (keyed_entry(table[j]) && stricmp(table[j].def, name) == 0) return j;
  for (int j = 0; table[j].def; ++j)
    if (keyed_entry(table[j]) && is_prefix(name, table[j].def, true)) return j;
  return -1;
}

// The entry for positional argument number n: the first with slot n, else the first
// with slot 10; -1 when none.
int lookup_positional(const RES_defobj* table, int n) {
  for (int j = 0; table[j].def; ++j)
    if (named_entry(table[j]) && RES_slot(&table[j]) == n) return j;
  for (int j = 0; table[j].def; ++j)
    if (named_entry(table[j]) && RES_slot(&table[j]) == RES_MAX_SLOT) return j;
  return -1;
}

// Options the first pass handles: the program title and the defaults path.
bool title_option(const char* name, bool ignore_case) { return is_prefix(name, "name", ignore_case); }
bool path_option(const char* name, bool ignore_case) {
  return begins_with(name, "default", ignore_case) || begins_with(name, "df", ignore_case);
}

// First pass: the program title ("-name") and the defaults path ("-df", "-default"),
// which must be known before the defaults files are read.
void first_pass(int argc, char** argv) {
  char name[kMaxOptName + 1];
  for (int i = 1; i < argc; ++i) {
    if (!is_option(argv[i])) continue;
    bool from_next = false;
    const char* value = split_option(argc, argv, &i, 1, name, &from_next);
    if (!value) continue;
    if (title_option(name, false)) {
      RES_new(kUncatalogued, "name", value, CV_string);
      DEF_name(value);
    } else if (path_option(name, false)) {
      RES_new(kUncatalogued, "default", value, CV_string);
    }
  }
}

// The time-out handler while replies may no longer come: the wait fails, the run goes on.
void quiet_timeout(int) {}

// Waits for the next reply on the link and returns its status (MQ_get). Once the loop has
// answered "not running", the wait is short (a loop that still serves has its replies
// queued by then) and running out closes the link (status kNoReply).
int link_get(char* item) {
  if (!link_dropping) return MQ_get(link_qid, link_conn, item);
  const int limit = MQ_timeout(kDroppedWait);
  if (limit > 0 && limit < kDroppedWait) MQ_timeout(limit);
  const MQ_alarm_func previous = MQ_timeout_func(quiet_timeout);
  const int status = MQ_get(link_qid, link_conn, item);
  MQ_timeout_func(previous);
  MQ_timeout(limit);
  if (status == kNoReply) link_open = false;
  return status;
}

// Sends one text to the display loop, cut to what a message can carry.
void link_send_set(const char* name, const char* value) {
  int room = kMqText - static_cast<int>(std::strlen("set res  ")) - static_cast<int>(std::strlen(name));
  if (room < 0) room = 0;
  MQ_put(link_qid, link_conn, "set res %s %.*s", name, room, value ? value : "");
}

// Exchanges resources with display-loop window `window` (the text after "#"): asks for
// every table entry, stores what comes back, and gives the loop the values it lacks.
void exchange_with_loop(const char* window, const RES_defobj* table) {
  // Only a whole positive number that fits an int names a queue: "12abc" or "0" would
  // otherwise open window 12 or ask for a new private queue.
  const char* end = window + std::strlen(window);
  int number = 0;
  const auto [stop, err] = std::from_chars(window, end, number);
  const bool valid = err == std::errc{} && stop == end && number > 0;
  int qid = valid ? MQ_open(number) : -1;
  if (qid < 0) {
    MESS_print(kWarn, "ZUDloop window: %s not running or no message queue exists\n", window);
    return;
  }
  int conn = MQ_connect(qid);
  if (conn < 0) {
    MESS_print(kWarn, "ZUDloop window: %s unable to connect\n", window);
    return;
  }
  link_open = true;
  link_dropping = false;
  link_qid = qid;
  link_conn = conn;
  for (int j = 0; table[j].def; ++j)
    if (named_entry(table[j])) MQ_put(qid, conn, "query res %.*s", kMqText - 10, table[j].def);

  int sets = 0;
  char item[kMqBuf];
  for (int j = 0; table[j].def && link_open; ++j) {
    if (!named_entry(table[j])) continue;
    bool got = false;
    int status;
    while ((status = link_get(item)) == 0) {
      item[kMqBuf - 1] = '\0';
      if (item[0] == '\0' || item[0] == '!' || item[0] == '\n') continue;
      item[std::strlen(item) - 1] = '\0';  // the line end
      RES_new(j, table[j].def, item, table[j].cvt);
      got = true;
    }
    if (!link_open) return;  // the loop dropped the connection: nothing more will come
    // The loop has no more replies for this entry; the next entry still gets its own.
    if (status == kReplyEnd) {
      MESS_print(kWarn, "ZUDloop not running!\n");
      link_dropping = true;
    }
    const resource* r = find_node(table[j].def);
    if (!got && r && r->data) {
      link_send_set(table[j].def, r->data);
      ++sets;
    }
  }
  for (int k = 0; k < sets && link_open; ++k) link_get(item);
}

// Walks the defaults path: tags, display-loop windows and defaults files in order, so a
// later element overrides an earlier one.
void read_defaults(const RES_defobj* table) {
  const char* path = RES_get("default");
  if (!path) path = kDefaultPath;
  int n = 0;
  char** elems = nullptr;
  parse_string(path, ':', &n, &elems);
  DEF_clr_tag();

  static char empty[] = "";
  char* only_empty[] = {empty};
  char** list = n > 0 ? elems : only_empty;  // an empty path: the default file here
  int count = n > 0 ? n : 1;

  char pattern[kPatternBuf];
  char value[kValueBuf];
  char name[kPatternBuf];
  for (int k = 0; k < count; ++k) {
    const char* elem = list[k];
    if (elem[0] == '+') {
      DEF_tag(elem + 1);
      continue;
    }
    if (elem[0] == '#') {
      exchange_with_loop(elem + 1, table);
      continue;
    }
    if (DEF_open(elem) != 0) continue;
    while (DEF_get(pattern, value) == 1) {
      pattern[kPatternBuf - 1] = '\0';
      value[kValueBuf - 1] = '\0';
      bool matched = false;
      for (int j = 0; table[j].def; ++j) {
        if (!named_entry(table[j]) || !DEF_cmp(table[j].def, pattern)) continue;
        MESS_print(kDebugD, "RESRC: %s=%s\n", pattern, value);
        RES_new(j, table[j].def, value, table[j].cvt);
        matched = true;
      }
      if (!matched && DEF_valid(pattern)) {
        DEF_parse_name(pattern, name);
        name[kPatternBuf - 1] = '\0';
        RES_new(kUncatalogued, name, value, CV_string);
      }
    }
    DEF_close();
  }
  free_parsed_array(n, elems);
}

// Environment variables, entry by entry in table order.
void read_environment(const RES_defobj* table) {
  char value[kValueBuf];
  for (int j = 0; table[j].def; ++j) {
    if (!named_entry(table[j])) continue;
    if (DEF_env(table[j].def, table[j].env, value)) {
      value[kValueBuf - 1] = '\0';
      RES_new(j, table[j].def, value, table[j].cvt);
    }
  }
}

bool takes_no_value(DEF_convert cvt) { return cvt == CV_bool || cvt == CV_batch || cvt == CV_help; }

// Second pass: every option and positional argument, in argument order.
void second_pass(int argc, char** argv, const RES_defobj* table) {
  char name[kMaxOptName + 1];
  int positional = 0;
  char item[kMqBuf];
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg) continue;
    if (std::strcmp(arg, "--") == 0) continue;
    int dashes = option_dashes(arg);
    if (dashes == 0) {
      int j = lookup_positional(table, ++positional);
      if (j < 0) continue;
      if (RES_slot(&table[j]) == RES_MAX_SLOT && positional > 1)
        RES_append(j, table[j].def, arg, table[j].cvt);
      else
        RES_new(j, table[j].def, arg, table[j].cvt);
      continue;
    }
    bool from_next = false;
    const char* value = split_option(argc, argv, &i, dashes, name, &from_next);
    if (title_option(name, true) || path_option(name, true)) continue;
    int j = lookup_option(table, name);
    if (j < 0) {
      RES_new(kUncatalogued, name, value, CV_string);
      continue;
    }
    if (from_next && takes_no_value(table[j].cvt)) {
      --i;  // the argument is processed next in its own right
      value = nullptr;
    }
    RES_new(j, table[j].def, value, table[j].cvt);
    if (link_open) {
      link_send_set(table[j].def, value);
      link_get(item);
    }
  }
}

// Runs the conversion of every catalogued resource once, in list order.
void convert_all(const RES_defobj* table) {
  int size = 0;
  while (table[size].def) ++size;
  for (resource* r = root_res.next; r; r = r->next) {
    if (r->index == kUncatalogued || r->index < 0 || r->index >= size) continue;
    const RES_defobj& e = table[r->index];
    if (r->cvt == CV_strings && e.out) {
      int count = 0;
      parse_string(r->data, '\n', &count, static_cast<char***>(e.out));
      if (e.num) *e.num = count;
      continue;
    }
    RES_conv_data(r->data, e.out, r->cvt);
  }
}

}  // namespace

// Builds the definition table from the keyed and positional key lists, gathers and
// converts every resource, and hands "zudtz" to the date module. Returns 1.
int RES_init(int argc, char** argv, const res_type* res_key, const res_type* res_pos) {
  FLAG_reset(IMISSING);
  int n = 0;
  for (const res_type* list : {res_key, res_pos}) {
    for (const res_type* k = list; k && *k != RES_null && n < RES_MAX_DEFS; ++k)
      RES_enter(&def_table_store[n++], *k);
  }
  def_table_store[n] = RES_defobj{nullptr, nullptr, nullptr, CV_none, nullptr, nullptr};
  RES_decode(argc > 0 && argv ? argv[0] : nullptr, "Zud", argc, argv, def_table_store);
  if (const char* tz = std::getenv("zudtz")) DATE_set_TZ(tz);
  return 1;
}

// Gathers every resource of the table from defaults files, display loop, environment and
// command line, then converts the catalogued ones. Returns 0. Defaults patterns are
// matched against the name the command line gives, not against progname or class_name.
int RES_decode(const char*, const char*, int argc, char** argv, RES_defobj* def_table) {
  static RES_defobj empty_table[1] = {};
  const RES_defobj* table = def_table ? def_table : empty_table;
  if (!argv) argc = 0;
  RES_setCL(argc, argv);
  DEF_prog();
  if (const char* path = std::getenv("zuddefault"))
    RES_new(kUncatalogued, "default", path, CV_string);
  first_pass(argc, argv);
  read_defaults(table);
  read_environment(table);
  second_pass(argc, argv, table);
  if (link_open) {
    char item[kMqBuf];
    MQ_put(link_qid, link_conn, "quit");
    link_get(item);
    link_open = false;
  }
  convert_all(table);
  return 0;
}

// Stores a copy of `data` (or no value) as resource `name` with its table index and kind,
// replacing an earlier value in place. Returns 0, or -1 when no node can be allocated.
int RES_new(int index, const char* name, const char* data, DEF_convert cvt) {
  if (!name) return -1;
  resource* r = find_node(name);
  if (!r) {
    r = static_cast<resource*>(std::calloc(1, sizeof(resource)));
    if (!r) return -1;
    r->name = dup_text(name);
    if (!r->name) {
      std::free(r);
      return -1;
    }
    last_res->next = r;
    last_res = r;
  } else {
    std::free(r->data);
  }
  r->data = dup_text(data);
  r->cvt = cvt;
  r->index = index;
  return 0;
}

// Adds `data` as a further line of resource `name` (creating it like RES_new when it
// does not exist); index and kind of an existing resource stay. Returns 0, or -1 when no
// node can be allocated.
int RES_append(int index, const char* name, const char* data, DEF_convert cvt) {
  resource* r = find_node(name);
  if (!r) return RES_new(index, name, data, cvt);
  if (!data) return 0;
  if (!r->data) {
    r->data = dup_text(data);
    return 0;
  }
  size_t old_len = std::strlen(r->data), add_len = std::strlen(data);
  char* joined = static_cast<char*>(std::malloc(old_len + add_len + 2));
  if (!joined) return 0;  // the old value stays
  std::memcpy(joined, r->data, old_len);
  joined[old_len] = '\n';
  std::memcpy(joined + old_len + 1, data, add_len + 1);
  std::free(r->data);
  r->data = joined;
  return 0;
}

// Stores an uncatalogued text resource. Returns as RES_new.
int RES_put(const char* name, const char* value) {
  return RES_new(kUncatalogued, name, value, CV_string);
}

// The value of resource `name`: "" for a resource present without a value, null when no
// resource has that name.
char* RES_get(const char* name) {
  static char no_value[] = "";
  resource* r = find_node(name);
  if (!r) return nullptr;
  return r->data ? r->data : no_value;
}

// Splits the value of `name` into items (at newlines for a CV_strings resource, else at
// commas); the caller releases them with free_parsed_array. Returns the item count, 0
// with a null array when the resource is missing or has no value.
int RES_getvals(const char* name, int* paramc, char*** paramv) {
  int count = 0;
  char** items = nullptr;
  const resource* r = find_node(name);
  if (r && r->data) parse_string(r->data, r->cvt == CV_strings ? '\n' : ',', &count, &items);
  if (paramc) *paramc = count;
  if (paramv) *paramv = items;
  else free_parsed_array(count, items);
  return count;
}

// Converts the value of `name` by kind `cvt` into `data`. Returns the conversion's result,
// or 0 when the resource is missing or `data` is null.
int RES_getval(const char* name, void* data, DEF_convert cvt) {
  const resource* r = find_node(name);
  if (!r || !data) return 0;
  return RES_conv_data(r->data, data, cvt);
}

// Returns the resources to their start: every resource is released (values returned by
// RES_get before become invalid), and the command line and definition table are
// forgotten. Flags and the message level that conversions set are left to their own
// modules. Returns 0.
int RES_reset() {
  for (resource* r = root_res.next; r;) {
    resource* next = r->next;
    std::free(r->name);
    std::free(r->data);
    std::free(r);
    r = next;
  }
  root_res.next = nullptr;
  last_res = &root_res;
  clargc = 0;
  clargv = nullptr;
  for (RES_defobj& e : def_table_store) e = RES_defobj{};
  return 0;
}

// Remembers the command line the resources come from. Returns 1.
int RES_setCL(int argc, char** argv) {
  clargc = argc;
  clargv = argv;
  return 1;
}

// The program as invoked (argv[0]), or null before a command line was stored.
char* RES_get_prog() { return clargc > 0 && clargv ? clargv[0] : nullptr; }

// The program's base name (after the last "/" of argv[0]), cut to RES_PROGNAME_LEN - 1
// characters, copied into `prog` (which must hold RES_PROGNAME_LEN bytes) or into a new
// buffer when `prog` is null. Returns the copy, or "ZUD" when no buffer can be had or no
// command line was stored.
char* RES_get_progname(char* prog) {
  const char* full = RES_get_prog();
  if (!full) {
    if (!prog) return fallback_prog;
    std::memcpy(prog, fallback_prog, sizeof fallback_prog);
    return prog;
  }
  const char* slash = std::strrchr(full, '/');
  const char* base = slash ? slash + 1 : full;
  size_t len = std::strlen(base);
  if (len > static_cast<size_t>(RES_PROGNAME_LEN - 1)) len = RES_PROGNAME_LEN - 1;
  if (!prog) prog = static_cast<char*>(std::malloc(len + 1));
  if (!prog) return fallback_prog;
  std::memcpy(prog, base, len);
  prog[len] = '\0';
  return prog;
}

// Prints every resource in list order at level print d: "name: value", or "name:" for
// one without a value. Returns 0.
int RES_list() {
  for (const resource* r = root_res.next; r; r = r->next) {
    if (r->data)
      MESS_print(mess_sub(MESS_PRINT, MESS_SUB_D), "%s: %s\n", r->name, r->data);
    else
      MESS_print(mess_sub(MESS_PRINT, MESS_SUB_D), "%s:\n", r->name);
  }
  return 0;
}

// Stores the six fields of one definition entry. Returns 1.
int RES_fill_obj(RES_defobj* obj, const char* def, const char* env, const char* cmd,
                 DEF_convert cvt, void* out, std::int32_t* num) {
  if (!obj) return 1;
  obj->def = def;
  obj->env = env;
  obj->cmd = cmd;
  obj->cvt = cvt;
  obj->out = out;
  obj->num = num;
  return 1;
}
