// Display-loop link: records, the sleep schedule and the time-out, the display loop's
// connection table, socket frames, and the resource exchange against a test display
// loop running as a child process.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "loop_guard.h"
#include "res_child.h"
#include "tmpdir.h"
#include "zudmq.h"

using loop_test::kTries;
using loop_test::TestLoop;
using loop_test::window_base;
using res_test::Argv;
using res_test::ChildRun;
using res_test::clean_env;
using res_test::kProgKeys;
using res_test::kProgPos;
using res_test::run_child;

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Sends `size` raw bytes as one record of type `mtype`, as a foreign program might.
int raw_send(int qid, long mtype, const std::string& bytes) {
  struct {
    long mtype;
    char mtext[1024];
  } rec{};
  rec.mtype = mtype;
  std::memcpy(rec.mtext, bytes.data(), bytes.size());
  return msgsnd(qid, &rec, bytes.size(), IPC_NOWAIT);
}

// Takes one raw record of type `mtype` without waiting; its size, or -1 when none.
ssize_t raw_recv(int qid, long mtype, mqueuebuf* rec) {
  std::memset(rec, 0, sizeof *rec);
  return msgrcv(qid, rec, MQ_RECORD_BYTES, mtype, IPC_NOWAIT);
}

// A queue this process creates for itself on a free window, removed on destruction.
struct OwnQueue {
  int window = -1;
  int id = -1;
  OwnQueue() {
    int from = window_base();
    for (int t = 0; t < kTries && id < 0; ++t) {
      window = MQ_find(from);
      if (window < 0) break;
      id = MQ_create(window);
      from = window + 1;
    }
  }
  ~OwnQueue() {
    if (id >= 0) msgctl(id, IPC_RMID, nullptr);
  }
};

// Every test leaves the link's settings as it found them.
class Link : public ::testing::Test {
 protected:
  void SetUp() override { saved_level_ = MESS_get(); }
  void TearDown() override {
    MQ_settype(0);
    MQ_offset(0);
    MQ_timeout(MQ_DEFAULT_TIMEOUT);
    MQ_timeout_func(nullptr);
    MESS_set(10, 0);
    MESS_set(11, saved_level_);
  }
  M_type saved_level_ = 0;
};

int timeouts_seen = 0;
void count_timeout(int) { ++timeouts_seen; }

// Gathers the program's resources in a child process with defaults path `path` and a
// time-out of `timeout` seconds for the link.
ChildRun gather_with(const std::string& path, int timeout) {
  return run_child([&] {
    clean_env(path.c_str());
    MQ_timeout(timeout);
    Argv a({"ua_parse"});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
  });
}

// A free TCP port on the loopback address, found by letting the system choose one.
int free_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

// ---- queues and window numbers ----------------------------------------------------

// Window numbers that are not positive name no queue: key 0 would make a new private
// queue, so they must be refused before the lookup.
TEST_F(Link, OpenRefusesWhatNamesNoWindow) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  EXPECT_EQ(MQ_open(0), -1);      // "#0" or "#abc" after atoi
  EXPECT_EQ(MQ_open(-4), -1);     // a negative number
  EXPECT_EQ(MQ_open(q.window), msgget(q.window, 0));  // the same queue as the system finds
  int free_num = MQ_find(q.window + 1);
  ASSERT_GT(free_num, 0);
  EXPECT_EQ(MQ_open(free_num), -1);  // no queue there
}

// Creation is exclusive and owner-only; MQ_find skips windows that have a queue.
TEST_F(Link, CreateFindDelete) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  EXPECT_EQ(MQ_create(q.window), -1);  // exists already
  EXPECT_EQ(MQ_create(-1), -2);
  msqid_ds ds{};
  ASSERT_EQ(msgctl(q.id, IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.msg_perm.mode & 0777, 0600u);
  // Independent scan: the first number from q.window on that msgget does not find.
  int expect = q.window;
  while (msgget(expect, 0) >= 0) ++expect;
  EXPECT_EQ(MQ_find(q.window), expect);
  EXPECT_EQ(MQ_del(q.id), 0);
  EXPECT_LT(msgget(q.window, 0), 0);
  q.id = -1;
}

// ---- records --------------------------------------------------------------------

// MQ_put writes one 120-byte type-1 record: "0" plus the connection number, then the
// text; a text beyond 118 characters is cut, never written past the record.
TEST_F(Link, PutWritesOneRecord) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  struct Case { int conn; std::string text; char status; std::string stored; };
  const Case cases[] = {
      {5, "query res title", '5', "query res title"},          // plain request
      {12, "", '<', ""},                                        // '0' + 12 is '<'
      {3, std::string(300, 'q'), '3', std::string(118, 'q')},  // cut at 118 characters
  };
  for (const auto& c : cases) {
    ASSERT_EQ(MQ_put(q.id, c.conn, "%s", c.text.c_str()), 0);
    mqueuebuf rec;
    ASSERT_EQ(raw_recv(q.id, MQ_TYPE_LOOP, &rec), MQ_RECORD_BYTES) << c.conn;
    EXPECT_EQ(rec.mtext[0], c.status);
    EXPECT_EQ(std::string(rec.mtext + 1), c.stored);
  }
}

// Replies come back as status (character minus "0") and text.
TEST_F(Link, GetReturnsStatusAndText) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  struct Case { std::string bytes; int status; std::string text; };
  const Case cases[] = {
      {std::string("0value\n", 8), 0, "value\n"},            // a data line
      {std::string("1", 2), 1, ""},                           // end of a reply
      {std::string("-", 2), MQ_STATUS_DEAD, ""},              // display loop not running
      {std::string(500, 'x'), 'x' - '0', std::string(118, 'x')},  // longer than a record, no NUL
      {std::string(120, '7'), 7, std::string(118, '7')},      // a full record without a NUL
  };
  char item[MQ_ITEM_SIZE];
  for (const auto& c : cases) {
    ASSERT_EQ(raw_send(q.id, 9, c.bytes), 0);
    EXPECT_EQ(MQ_get(q.id, 9, item), c.status) << c.text;
    EXPECT_EQ(std::string(item), c.text);
  }
  EXPECT_EQ(MQ_get(q.id, 0, item), -1);  // type 0 would take anybody's record
  EXPECT_STREQ(item, "");
}

// A reply already waiting is taken by the first attempt: no pause at all.
TEST_F(Link, QueuedReplyReturnsAtOnce) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  ASSERT_EQ(raw_send(q.id, 4, std::string("0ready", 7)), 0);
  char item[MQ_ITEM_SIZE];
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(MQ_get(q.id, 4, item), 0);
  EXPECT_LT(seconds_since(t0), 0.05);  // one pause would be 0.1 s
  EXPECT_STREQ(item, "ready");
}

// A reply that arrives later is found by the polling: 0.35 s after the start it is
// taken by the next attempt, at most one 0.1 s pause later.
TEST_F(Link, LateReplyIsFound) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    usleep(350000);
    _exit(raw_send(q.id, 6, std::string("1late", 6)) == 0 ? 0 : 1);
  }
  char item[MQ_ITEM_SIZE];
  MQ_timeout(5);
  auto t0 = std::chrono::steady_clock::now();
  int status = MQ_get(q.id, 6, item);
  double waited = seconds_since(t0);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(status, 1);
  EXPECT_STREQ(item, "late");
  EXPECT_GE(waited, 0.3);
  EXPECT_LT(waited, 1.0);
}

// Waiting on an empty queue: two attempts back to back, then one every 0.1 s, until
// the one-second time-out runs the handler. A handler that returns makes the wait fail.
// Count: 2 + 1 s / 0.1 s = 12 attempts at most; a busy loop would make thousands.
TEST_F(Link, SleepScheduleAndTimeoutHandler) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  MQ_timeout(1);
  MQ_timeout_func(count_timeout);
  timeouts_seen = 0;
  MESS_set(11, 0x80000000);
  char item[MQ_ITEM_SIZE] = "junk";
  testing::internal::CaptureStdout();
  int status = MQ_get(q.id, 8, item);
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, -1);
  EXPECT_STREQ(item, "");
  EXPECT_EQ(timeouts_seen, 1);
  const int attempts = capture::count_of(out, "GET-MSG:8 -1 ");
  EXPECT_GE(attempts, 5);
  EXPECT_LE(attempts, 12);
  EXPECT_NE(out.find("GET-MSG:8 -1 42 1\n"), std::string::npos);  // ENOMSG is 42
}

// With the default handler a display loop that never answers ends the program: the
// warning and exit status 7.
TEST_F(Link, TimeoutEndsWithStatus7) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  EXPECT_EXIT(
      {
        MQ_timeout(1);
        char item[MQ_ITEM_SIZE];
        MQ_get(q.id, 8, item);
      },
      testing::ExitedWithCode(7), "Queue not responding!!");
}

// MQ_clear drops every record of one type and only of that type.
TEST_F(Link, ClearDropsOneType) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(raw_send(q.id, 4, std::string("0old", 5)), 0);
  ASSERT_EQ(raw_send(q.id, 5, std::string("0keep", 6)), 0);
  EXPECT_EQ(MQ_clear(q.id, 4), -1);
  mqueuebuf rec;
  EXPECT_LT(raw_recv(q.id, 4, &rec), 0);
  EXPECT_EQ(raw_recv(q.id, 5, &rec), 6);
  EXPECT_STREQ(rec.mtext, "0keep");
}

// ---- the display loop's side ------------------------------------------------------

// Connection requests take the lowest free slot 1..19 and are granted i+2 on type 2;
// the twentieth gets no answer. A reply with a negative flag frees its slot.
TEST_F(Link, ConnectionTable) {
  OwnQueue q;
  ASSERT_GE(q.id, 0);
  int conn = 0;
  char item[MQ_ITEM_SIZE];
  mqueuebuf rec;
  for (int i = 1; i <= 19; ++i) {
    ASSERT_EQ(raw_send(q.id, MQ_TYPE_LOOP, std::string("/1000", 6)), 0);
    ASSERT_EQ(MQ_sget(q.id, &conn, item), 2);
    EXPECT_EQ(conn, i + 2);
    EXPECT_STREQ(item, "");
    ASSERT_EQ(raw_recv(q.id, MQ_TYPE_GRANT, &rec), MQ_RECORD_BYTES);
    EXPECT_EQ(std::string(rec.mtext), "2" + std::to_string(i + 2));
  }
  ASSERT_EQ(raw_send(q.id, MQ_TYPE_LOOP, std::string("/1000", 6)), 0);
  conn = 0;
  EXPECT_EQ(MQ_sget(q.id, &conn, item), 0);  // every slot in use: no answer
  EXPECT_LT(raw_recv(q.id, MQ_TYPE_GRANT, &rec), 0);

  // Data from connection 7 reaches the loop with its sender.
  ASSERT_EQ(raw_send(q.id, MQ_TYPE_LOOP, std::string("7query res title", 17)), 0);
  EXPECT_EQ(MQ_sget(q.id, &conn, item), 1);
  EXPECT_EQ(conn, 7);
  EXPECT_STREQ(item, "query res title");
  EXPECT_EQ(MQ_sget(q.id, &conn, item), -1);  // nothing waiting

  // Replies: on the connection's own type, status "0" + flag.
  EXPECT_EQ(MQ_sput(q.id, 7, 0, "%s\n", "A title"), 0);
  ASSERT_EQ(raw_recv(q.id, 7, &rec), MQ_RECORD_BYTES);
  EXPECT_STREQ(rec.mtext, "0A title\n");
  EXPECT_EQ(MQ_sput(q.id, 22, 1, "x"), -1);  // slot 20 was never granted
  EXPECT_EQ(MQ_sput(q.id, 2, 1, "x"), -1);   // slot 0 is never granted
  EXPECT_EQ(MQ_sput(q.id, 7, -1, "%s", ""), 0);  // "/": frees slot 5
  ASSERT_EQ(raw_recv(q.id, 7, &rec), MQ_RECORD_BYTES);
  EXPECT_EQ(rec.mtext[0], '/');
  EXPECT_EQ(MQ_sput(q.id, 7, 1, "x"), -1);  // freed
  ASSERT_EQ(raw_send(q.id, MQ_TYPE_LOOP, std::string("/1000", 6)), 0);
  EXPECT_EQ(MQ_sget(q.id, &conn, item), 2);
  EXPECT_EQ(conn, 7);  // the freed slot is the lowest free one again
}

// ---- client against the test display loop -------------------------------------------

// The handshake grants connection 3; a query is answered by a data line and an end
// status; "quit" frees the connection so the next client gets 3 again.
TEST_F(Link, HandshakeQueryQuit) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({}, {"identifier=72558"}));
  MQ_timeout(2);
  int qid = MQ_open(loop.window());
  ASSERT_GE(qid, 0);
  int conn = MQ_connect(qid);
  EXPECT_EQ(conn, 3);
  char item[MQ_ITEM_SIZE];
  ASSERT_EQ(MQ_put(qid, conn, "query res %s", "identifier"), 0);
  EXPECT_EQ(MQ_get(qid, conn, item), 0);
  EXPECT_STREQ(item, "72558\n");
  EXPECT_EQ(MQ_get(qid, conn, item), 1);
  ASSERT_EQ(MQ_put(qid, conn, "query res %s", "title"), 0);
  EXPECT_EQ(MQ_get(qid, conn, item), 1);  // no value: only the end status
  ASSERT_EQ(MQ_put(qid, conn, "quit"), 0);
  EXPECT_EQ(MQ_get(qid, conn, item), -1);  // "/": the loop freed the connection
  EXPECT_EQ(MQ_connect(qid), 3);
  // The loop grants before it logs the grant: give it a moment to write the last line.
  const std::string expect =
      "connect 3\n3 query res identifier\n3 query res title\n3 quit\nconnect 3\n";
  for (int i = 0; i < 200 && loop.Log() != expect; ++i) usleep(10000);
  EXPECT_EQ(loop.Log(), expect);
}

// A refused request (any status but 2) is no connection.
TEST_F(Link, RefusedConnection) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({"--refuse"}, {}));
  MQ_timeout(2);
  int qid = MQ_open(loop.window());
  ASSERT_GE(qid, 0);
  EXPECT_EQ(MQ_connect(qid), -1);
  EXPECT_EQ(loop.Log(), "refuse\n");
}

// A display loop that is not running answers "-": status -3.
TEST_F(Link, DeadLoopAnswersMinus3) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({"--dead"}, {}));
  MQ_timeout(2);
  int qid = MQ_open(loop.window());
  int conn = MQ_connect(qid);
  ASSERT_EQ(conn, 3);
  char item[MQ_ITEM_SIZE];
  MQ_put(qid, conn, "query res title");
  EXPECT_EQ(MQ_get(qid, conn, item), MQ_STATUS_DEAD);
}

// With all 19 slots taken the next request is never answered: after the time-out the
// client ends with status 7.
TEST_F(Link, FullTableEndsClientWithStatus7) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({}, {}));
  MQ_timeout(2);
  int qid = MQ_open(loop.window());
  ASSERT_GE(qid, 0);
  for (int i = 1; i <= 19; ++i) ASSERT_EQ(MQ_connect(qid), i + 2);
  EXPECT_EXIT(
      {
        MQ_timeout(1);
        MQ_connect(qid);
      },
      testing::ExitedWithCode(7), "Queue not responding!!");
}

// ---- parameters ------------------------------------------------------------------

// "to=N" sets the time-out from the item's fourth character; "qtype" picks the
// transport; an item "to" without a number changes nothing (and reads nothing past it).
TEST_F(Link, ParamsFromParameterResource) {
  RES_put("parameter", "to=3,qtype=sock,other");
  MQ_params();
  EXPECT_EQ(MQ_timeout(MQ_DEFAULT_TIMEOUT), 3);
  EXPECT_EQ(MQ_settype(1), 1);
  RES_put("parameter", "to,toz=5,QTYPE=MQUEUE");
  MQ_params();
  EXPECT_EQ(MQ_timeout(MQ_DEFAULT_TIMEOUT), MQ_DEFAULT_TIMEOUT);  // neither "to" item reads
  EXPECT_EQ(MQ_settype(0), 0);  // keywords without regard to case
  RES_put("parameter", nullptr);
}

// ---- socket frames ----------------------------------------------------------------

// The same exchange as over the queue, carried by frames on a loopback socket.
TEST_F(Link, SocketExchange) {
  int port = free_port();
  TestLoop loop;
  ASSERT_TRUE(loop.Start({}, {"identifier=72558"}, port - 1));
  MQ_settype(1);
  MQ_offset(port - 1);
  MQ_timeout(2);
  ASSERT_EQ(MQ_open(loop.window()), 1);
  int conn = MQ_connect(1);
  EXPECT_EQ(conn, 3);
  char item[MQ_ITEM_SIZE];
  ASSERT_EQ(MQ_put(1, conn, "query res identifier"), 0);
  EXPECT_EQ(MQ_get(1, conn, item), 0);
  EXPECT_STREQ(item, "72558\n");
  EXPECT_EQ(MQ_get(1, conn, item), 1);
  MQ_put(1, conn, "quit");
  EXPECT_EQ(MQ_get(1, conn, item), -1);
  MQ_del(1);
  EXPECT_EQ(loop.Log(), "connect 3\n3 query res identifier\n3 quit\n");
}

// Frames a client may meet: an empty frame (no status), a frame longer than a record,
// and a frame cut short by the peer closing. Each gives a bounded result.
TEST_F(Link, SocketClientMalformedFrames) {
  int srv = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(srv, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(srv, 1), 0);
  socklen_t len = sizeof a;
  getsockname(srv, reinterpret_cast<sockaddr*>(&a), &len);
  MQ_settype(1);
  MQ_offset(ntohs(a.sin_port) - 1);
  MQ_timeout(2);
  ASSERT_EQ(MQ_open(1), 1);
  int peer = accept(srv, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  std::string frames;
  frames += '\0';                                        // empty frame
  frames += static_cast<char>(200) + std::string("0") + std::string(199, 'y');  // over-long
  frames += static_cast<char>(50) + std::string("1a");   // promises 50 bytes, gives 2
  ASSERT_EQ(send(peer, frames.data(), frames.size(), 0), static_cast<ssize_t>(frames.size()));
  close(peer);
  close(srv);
  char item[MQ_ITEM_SIZE];
  EXPECT_EQ(MQ_get(1, 3, item), -1);
  EXPECT_EQ(MQ_get(1, 3, item), 0);
  EXPECT_EQ(std::string(item), std::string(118, 'y'));
  EXPECT_EQ(MQ_get(1, 3, item), -1);
  EXPECT_STREQ(item, "");
  MQ_del(1);
}

// The display loop's side of the socket: a connection request is granted by a frame, an
// empty frame is dropped, a data frame gives its sender, a cut frame drops the client
// and frees its connection.
TEST_F(Link, SocketLoopSide) {
  int port = free_port();
  MQ_settype(1);
  MQ_offset(port - 1);
  ASSERT_EQ(MQ_create(1), 1);
  int cl = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(cl, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(send(cl, "\x02/1", 3, 0), 3);
  int conn = 0;
  char item[MQ_ITEM_SIZE];
  int r = -1;
  for (int i = 0; i < 200 && r == -1; ++i) {  // accept, then the request
    r = MQ_sget(1, &conn, item);
    if (r == -1) usleep(5000);
  }
  EXPECT_EQ(r, 2);
  EXPECT_EQ(conn, 3);
  char grant[3] = {};
  ASSERT_EQ(recv(cl, grant, 3, MSG_WAITALL), 3);
  EXPECT_EQ(std::string(grant, 3), "\x02" "23");
  std::string rest = std::string(1, '\0') + "\x06" "3hello" + "\x32" "3x";
  ASSERT_EQ(send(cl, rest.data(), rest.size(), 0), static_cast<ssize_t>(rest.size()));
  close(cl);
  usleep(50000);
  EXPECT_EQ(MQ_sget(1, &conn, item), -1);  // the empty frame
  EXPECT_EQ(MQ_sget(1, &conn, item), 1);
  EXPECT_EQ(conn, 3);
  EXPECT_STREQ(item, "hello");
  EXPECT_EQ(MQ_sget(1, &conn, item), -1);   // cut short: the client is dropped
  EXPECT_EQ(MQ_sput(1, 3, 1, "late"), -1);  // and its connection freed
  MQ_del(1);
}

// ---- the resource exchange ---------------------------------------------------------

// "#N" in the defaults path: every entry is asked for; a value the loop has is used, a
// value an earlier defaults file gave and the loop lacks is pushed with "set res", so is
// a command-line option; "quit" ends the exchange.
TEST_F(Link, ResourceExchange) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({}, {"identifier=72558", "data_path=/loop/data"}));
  std::string path = std::string(ZUD_TEST_DATA) + "/mq/pre.cfg:" + loop.Hash();
  ChildRun run = run_child([&] {
    clean_env(path.c_str());
    MQ_timeout(3);
    Argv a({"ua_parse", "-pa", "prsig"});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    std::printf("identifier=%s\n", res_test::value_of("identifier").c_str());
    std::printf("data_path=%s\n", res_test::value_of("data_path").c_str());
    std::printf("file_path=%s\n", res_test::value_of("file_path").c_str());
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "identifier=72558\n"           // answered by the loop
            "data_path=/loop/data\n"       // the loop's answer replaces the earlier file's
            "file_path=/from/pre\n");      // the file's value, which the loop lacked
  // The queries in table order, then the pushes, then "quit". The names are the
  // catalogue names of the program's keys.
  std::string expect = "connect 3\n";
  for (const char* name :
       {"help", "batch", "message", "file_path", "data_path", "con_path", "grid_path",
        "raw_path", "image_path", "watch_path", "text_path", "model_path", "sat_path",
        "name_conv", "in_file", "out_file", "file_param", "current", "hour", "num_hour",
        "identifier", "parameter", "filename"})
    expect += std::string("3 query res ") + name + "\n";
  expect += "3 set res file_path /from/pre\n3 set res parameter prsig\n3 quit\n";
  EXPECT_EQ(loop.Log(), expect);
}

// Window texts that name no running loop: the warning, with the text after "#", and
// gathering goes on without a link.
TEST_F(Link, NoQueueWarnings) {
  OwnQueue probe;  // a window number known to be free: the one after ours
  ASSERT_GE(probe.id, 0);
  int free_num = MQ_find(probe.window + 1);
  ASSERT_GT(free_num, 0);
  struct Case { std::string elem, shown; };
  const Case cases[] = {
      {"#" + std::to_string(free_num), std::to_string(free_num)},  // nobody there
      {"#0", "0"},      // key 0 would create a private queue
      {"#abc", "abc"},  // not a number
      {"#", ""},        // no number at all
      {"#-4", "-4"},    // not positive
      {"#2147483648", "2147483648"},    // one more than the largest int
      {"#99999999999", "99999999999"},  // far beyond it
      {"#" + std::to_string(free_num) + "x", std::to_string(free_num) + "x"},  // trailing garbage
  };
  for (const auto& c : cases) {
    ChildRun run = gather_with(c.elem, 1);
    EXPECT_EQ(run.status, 0) << c.elem;
    EXPECT_EQ(run.err, "ZUDloop window: " + c.shown + " not running or no message queue exists\n")
        << c.elem;
  }
}

// Loops that do not serve: a silent one ends the program with status 7, a refusing one
// is warned about.
TEST_F(Link, ExchangeWithUnhelpfulLoops) {
  struct Case { const char* flag; int status; const char* err; };
  const Case cases[] = {
      {"--silent", 7, "Queue not responding!!\n"},       // no grant within the time-out
      {"--refuse", 0, "ZUDloop window: %d unable to connect\n"},
  };
  for (const auto& c : cases) {
    TestLoop loop;
    ASSERT_TRUE(loop.Start({c.flag}, {}));
    ChildRun run = gather_with(loop.Hash(), 1);
    char err[128];
    std::snprintf(err, sizeof err, c.err, loop.window());
    EXPECT_EQ(run.status, c.status) << c.flag;
    EXPECT_EQ(run.err, err) << c.flag;
  }
}

// A "not running" reply ends the replies of its entry only: the warning is printed, and
// the entries after it still get the loop's values. A loop that answers "not running"
// and then drops the connection (as the loop side of the link does) is warned about once;
// the wait for the next reply runs out and gathering goes on without the link, status 0.
TEST_F(Link, NotRunningReplyEndsOneEntry) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({"--dead-for=help"}, {"identifier=72558", "data_path=/loop/data"}));
  ChildRun run = run_child([&] {
    clean_env(loop.Hash().c_str());
    MQ_timeout(3);
    Argv a({"ua_parse"});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    std::printf("identifier=%s data_path=%s\n", res_test::value_of("identifier").c_str(),
                res_test::value_of("data_path").c_str());
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "ZUDloop not running!\n");
  EXPECT_EQ(run.out, "identifier=72558 data_path=/loop/data\n");

  TestLoop dead;
  ASSERT_TRUE(dead.Start({"--dead"}, {}));
  run = gather_with(dead.Hash(), 1);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "ZUDloop not running!\n");
}

// A window number of ten digits that fits an int names a loop like any other; one step
// beyond the int range is refused (as in NoQueueWarnings).
TEST_F(Link, TenDigitWindow) {
  TestLoop loop;
  const int first = 1170395429 + (getpid() % loop_test::kWindowSpread) * 50;  // below INT_MAX
  ASSERT_TRUE(loop.Start({}, {"data_path=/loop/data"}, -1, first));
  ASSERT_GE(loop.window(), 1000000000);
  ChildRun run = run_child([&] {
    clean_env(loop.Hash().c_str());
    MQ_timeout(3);
    Argv a({"ua_parse"});
    RES_init(a.argc(), a.argv(), kProgKeys, kProgPos);
    std::printf("data_path=%s\n", res_test::value_of("data_path").c_str());
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "data_path=/loop/data\n");
}

// Nineteen clients hold every slot: the program's request gets no answer and it ends
// with status 7 after the time-out.
TEST_F(Link, ExchangeWithFullTable) {
  TestLoop loop;
  ASSERT_TRUE(loop.Start({}, {}));
  MQ_timeout(2);
  int qid = MQ_open(loop.window());
  for (int i = 1; i <= 19; ++i) ASSERT_EQ(MQ_connect(qid), i + 2);
  ChildRun run = gather_with(loop.Hash(), 1);
  EXPECT_EQ(run.status, 7);
  EXPECT_EQ(run.err, "Queue not responding!!\n");
}

}  // namespace
