// test_loop.cpp — a small display loop for the tests of the display-loop link.
//
//   zud_test_loop [options] WINDOW [name=value ...]
//
// Creates the queue (or, with --socket, the listening socket) of window WINDOW and
// serves clients through the display-loop side of the link: "query res NAME" is answered
// with the value the table gives NAME as one data line and then an end status (just the
// end status when NAME has no value); "set res NAME VALUE" stores the value and is
// acknowledged; "quit" is acknowledged and frees the connection.
//
// Options:
//   --ready=FILE   create FILE once the queue exists (the tests wait for it)
//   --log=FILE     append every record received, one line each: "connect N" for a grant,
//                  "N TEXT" for a data record from connection N
//   --silent       create the queue and never read it
//   --refuse       answer every connection request with a refusal (status "/")
//   --dead         answer every data record with status "-" (not running)
//   --dead-for=N   answer only "query res N" with status "-" (not running) and keep
//                  serving the connection (queue mode only)
//   --socket       serve over a stream socket on port offset+WINDOW
//   --offset=N     offset added to WINDOW
//   --life=S       remove the queue and end after S seconds (default 30), so that a test
//                  that dies early leaves nothing behind for long
// Exit status: 0 after an orderly end, 2 when the queue could not be created, 3 on a
// usage error. SIGTERM removes the queue and ends the loop.

#include <sys/ipc.h>
#include <sys/msg.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "zudmq.h"

namespace {

constexpr useconds_t kPollPause = 5000;  // pause between looks at an empty queue, microseconds
constexpr int kDefaultLife = 30;         // seconds the loop lives unless told otherwise
constexpr int kSendTimeout = 2;          // seconds a reply may block on a full queue

volatile sig_atomic_t stop_asked = 0;    // set by SIGTERM

void on_term(int) { stop_asked = 1; }

// A reply that timed out is dropped; the loop keeps serving.
void ignore_timeout(int) {}

struct Options {
  std::string ready, log, dead_for;
  bool silent = false, refuse = false, dead = false, sock = false;
  int offset = 0, life = kDefaultLife, window = -1;
  std::map<std::string, std::string> table;  // resource name -> value
};

bool take_value(const char* arg, const char* name, std::string* out) {
  size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0 || arg[n] != '=') return false;
  *out = arg + n + 1;
  return true;
}

bool parse(int argc, char** argv, Options* o) {
  std::string num;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (take_value(a, "--ready", &o->ready) || take_value(a, "--log", &o->log) ||
        take_value(a, "--dead-for", &o->dead_for))
      continue;
    if (take_value(a, "--offset", &num)) {
      o->offset = std::atoi(num.c_str());
    } else if (take_value(a, "--life", &num)) {
      o->life = std::atoi(num.c_str());
    } else if (std::strcmp(a, "--silent") == 0) {
      o->silent = true;
    } else if (std::strcmp(a, "--refuse") == 0) {
      o->refuse = true;
    } else if (std::strcmp(a, "--dead") == 0) {
      o->dead = true;
    } else if (std::strcmp(a, "--socket") == 0) {
      o->sock = true;
    } else if (o->window < 0) {
      o->window = std::atoi(a);
    } else if (const char* eq = std::strchr(a, '=')) {
      o->table[std::string(a, eq)] = eq + 1;
    } else {
      return false;
    }
  }
  return o->window > 0;
}

void log_line(const Options& o, const std::string& line) {
  if (o.log.empty()) return;
  if (FILE* f = std::fopen(o.log.c_str(), "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

// Answers one data record from connection `conn`.
void answer(Options& o, int qid, int conn, const char* text) {
  log_line(o, std::to_string(conn) + " " + text);
  if (o.dead) {
    MQ_sput(qid, conn, MQ_STATUS_DEAD, "%s", "");
    return;
  }
  if (!o.dead_for.empty() && text == "query res " + o.dead_for) {
    // Status "-" written directly: through MQ_sput it would free the connection, and
    // this loop goes on serving the client's other queries.
    mqueuebuf rec{};
    rec.mtype = conn;
    rec.mtext[0] = static_cast<char>('0' + MQ_STATUS_DEAD);
    msgsnd(qid, &rec, MQ_RECORD_BYTES, 0);
    return;
  }
  if (std::strncmp(text, "query res ", 10) == 0) {
    auto it = o.table.find(text + 10);
    if (it != o.table.end()) MQ_sput(qid, conn, 0, "%s\n", it->second.c_str());
    MQ_sput(qid, conn, 1, "%s", "");
  } else if (std::strncmp(text, "set res ", 8) == 0) {
    std::string rest = text + 8;
    size_t sp = rest.find(' ');
    o.table[rest.substr(0, sp)] = sp == std::string::npos ? "" : rest.substr(sp + 1);
    MQ_sput(qid, conn, 1, "%s", "ok");
  } else if (std::strcmp(text, "quit") == 0) {
    MQ_sput(qid, conn, -1, "%s", "");
  } else {
    MQ_sput(qid, conn, 1, "%s", "?");
  }
}

// Refuses connection requests and passes over data records, reading the queue itself
// because the module's side grants every request it can.
bool refuse_one(const Options& o, int qid) {
  mqueuebuf rec{};
  if (msgrcv(qid, &rec, MQ_RECORD_BYTES, MQ_TYPE_LOOP, IPC_NOWAIT | MSG_NOERROR) < 0)
    return errno == ENOMSG || errno == EINTR;
  if (rec.mtext[0] == '/') {
    log_line(o, "refuse");
    mqueuebuf no{};
    no.mtype = MQ_TYPE_GRANT;
    no.mtext[0] = '/';
    msgsnd(qid, &no, MQ_RECORD_BYTES, IPC_NOWAIT);
  }
  return true;
}

// True while the queue of the loop still exists (the tests remove it when done).
bool queue_alive(int qid) {
  msqid_ds ds{};
  return msgctl(qid, IPC_STAT, &ds) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    std::fprintf(stderr, "usage: zud_test_loop [options] WINDOW [name=value ...]\n");
    return 3;
  }
  std::signal(SIGTERM, on_term);
  MQ_settype(o.sock ? 1 : 0);
  MQ_offset(o.offset);
  MQ_timeout(kSendTimeout);
  MQ_timeout_func(ignore_timeout);
  int qid = MQ_create(o.window);
  if (qid < 0) return 2;
  if (!o.ready.empty())
    if (FILE* f = std::fopen(o.ready.c_str(), "w")) std::fclose(f);

  std::time_t end = std::time(nullptr) + o.life;
  char item[MQ_ITEM_SIZE];
  while (!stop_asked && std::time(nullptr) < end) {
    if (!o.sock && !queue_alive(qid)) return 0;
    if (o.silent) {
      usleep(kPollPause);
      continue;
    }
    if (o.refuse && !o.sock) {
      if (!refuse_one(o, qid)) break;
      usleep(kPollPause);
      continue;
    }
    int conn = 0;
    int r = MQ_sget(qid, &conn, item);
    if (r == 2) {
      log_line(o, "connect " + std::to_string(conn));
    } else if (r == 1) {
      answer(o, qid, conn, item);
    } else if (r < 0) {
      usleep(kPollPause);
    }
  }
  MQ_del(qid);
  return 0;
}
