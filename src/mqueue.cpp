// mqueue.cpp — the link to a running display loop: records over a System V message
// queue (or frames over a loopback stream socket), the connection handshake, and the
// time-out that ends a program whose display loop stopped answering.
//
// Every blocking step runs under an alarm of `timeout` seconds. The signal handler only
// records that the alarm fired; the blocked call returns with EINTR and the waiting code
// then runs the time-out handler (MQ_intrp unless another was set) in ordinary context,
// because that handler prints and exits, neither of which is safe inside a signal handler.
//
// The display loop's side lives here too: it creates the queue, grants connection
// numbers from a table of slots, and answers each client on the client's own type.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "zudmq.h"
#include "zudresrc.h"

namespace {

constexpr M_type kDebugD = mess_sub(MESS_DEBUG, MESS_SUB_D);  // traces of every record sent and received
constexpr M_type kWarn = MESS_WARN;          // the time-out warning
constexpr int kTypeQueue = 0;           // transport: System V message queue
constexpr int kTypeSocket = 1;          // transport: loopback stream socket
constexpr int kBacklog = 100;           // pending connections a listening loop accepts
constexpr int kFastAttempts = 2;        // receive attempts made back to back
constexpr int kShortAttempts = 200;     // attempts after which the pause grows
constexpr useconds_t kShortPause = 100000;   // pause between attempts, microseconds
constexpr useconds_t kLongPause = 1000000;   // pause after kShortAttempts attempts
constexpr int kFrameBody = 255;         // longest frame body a length byte can announce
constexpr int kFrameWaitMs = 1000;      // the loop's wait for the rest of a started frame
constexpr int kMaxPort = 65535;         // highest TCP port
constexpr int kNumText = 16;            // room for a connection number or user id as text
constexpr int kFindRange = 50;          // window numbers MQ_find looks at
constexpr char kConnectRequest = '/';   // status character of a connection request

// Transport and time-out settings.
int type = kTypeQueue;                   // 0 message queue, 1 stream socket
int offset = 0;                          // added to the window number to form key or port
int timeout = MQ_DEFAULT_TIMEOUT;        // seconds allowed for each blocking step
MQ_alarm_func to_func = nullptr;         // time-out handler used instead of MQ_intrp

// The display loop's connection table and the open link.
int conn[MQ_SLOTS] = {};                 // 1 for a slot in use
int msgqid = -1;                         // queue last opened or created
mqueuebuf msgb;                          // buffer that MQ_clear drains records into
int sock1 = -1;                          // client: connected socket; loop: listening socket
int sock2 = -1;                          // loop: the accepted client, -1 when none

volatile sig_atomic_t alarm_fired = 0;   // set by the SIGALRM handler, cleared when handled

void on_alarm(int) { alarm_fired = 1; }

// Installs the recording handler without SA_RESTART, so that a blocked call returns.
void install_alarm_handler() {
  struct sigaction sa {};
  sa.sa_handler = on_alarm;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;
  sigaction(SIGALRM, &sa, nullptr);
}

// When the alarm has fired, runs the time-out handler (which normally ends the process)
// and returns true: the step in progress has failed.
bool time_out_hit() {
  if (!alarm_fired) return false;
  alarm_fired = 0;
  MQ_alarm_func handler = to_func ? to_func : MQ_intrp;
  handler(SIGALRM);
  return true;
}

bool socket_mode() { return type == kTypeSocket; }

// The connection-table slot of a connection number, -1 when out of the table.
int slot_of(int conn_id) {
  int slot = conn_id - MQ_CONN_BASE;
  return slot >= 0 && slot < MQ_SLOTS ? slot : -1;
}

// Fills a record: type, status character and at most MQ_MAX_TEXT characters of text.
void fill_record(mqueuebuf* rec, long mtype, char status, const char* text) {
  std::memset(rec, 0, sizeof *rec);
  rec->mtype = mtype;
  rec->mtext[0] = status;
  size_t n = text ? strnlen(text, MQ_MAX_TEXT) : 0;
  std::memcpy(rec->mtext + 1, text ? text : "", n);
}

// Copies a received record's text into `item`, at most MQ_MAX_TEXT characters, even
// when the sender left no terminating NUL.
void take_text(const mqueuebuf& rec, char* item) {
  if (!item) return;
  size_t n = strnlen(rec.mtext + 1, MQ_MAX_TEXT);
  std::memcpy(item, rec.mtext + 1, n);
  item[n] = '\0';
}

// The text of a format and its arguments, cut to what one record carries.
void format_text(char* text, const char* format, va_list ap) {
  text[0] = '\0';
  if (format) std::vsnprintf(text, MQ_ITEM_SIZE, format, ap);
}

// Sends one record to the queue, blocking while it is full, under the time-out.
// Returns 0, or -1 when the send failed or timed out.
int queue_send(int qid, const mqueuebuf& rec) {
  if (qid < 0) return -1;
  MQ_enable_alarm();
  int r;
  for (;;) {
    r = msgsnd(qid, &rec, MQ_RECORD_BYTES, 0);
    if (r == 0 || errno != EINTR || time_out_hit()) break;
  }
  MQ_disable_alarm();
  return r == 0 ? 0 : -1;
}

// Waits without polling for the next record of type `mtype`, under the time-out.
// Returns 0, or -1 when the receive failed or timed out.
int queue_wait(int qid, long mtype, mqueuebuf* rec) {
  if (qid < 0) return -1;
  MQ_enable_alarm();
  ssize_t r;
  for (;;) {
    std::memset(rec, 0, sizeof *rec);
    r = msgrcv(qid, rec, MQ_RECORD_BYTES, mtype, MSG_NOERROR);
    if (r >= 0 || errno != EINTR || time_out_hit()) break;
  }
  MQ_disable_alarm();
  return r >= 0 ? 0 : -1;
}

// Writes one frame: a length byte, the status character and the text. The client's send
// runs under the time-out. Returns 0, or -1 when the socket failed.
int frame_send(int fd, char status, const char* text, bool guarded) {
  if (fd < 0) return -1;
  unsigned char frame[2 + MQ_MAX_TEXT];
  size_t n = text ? strnlen(text, MQ_MAX_TEXT) : 0;
  frame[0] = static_cast<unsigned char>(n + 1);
  frame[1] = static_cast<unsigned char>(status);
  std::memcpy(frame + 2, text ? text : "", n);
  size_t total = n + 2, sent = 0;
  if (guarded) MQ_enable_alarm();
  int rc = 0;
  while (sent < total) {
    // MSG_NOSIGNAL: a peer that went away is a failed send, not a SIGPIPE death.
    ssize_t r = send(fd, frame + sent, total - sent, MSG_NOSIGNAL);
    if (r > 0) {
      sent += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR && !time_out_hit()) continue;
    rc = -1;
    break;
  }
  if (guarded) MQ_disable_alarm();
  return rc;
}

// Reads exactly n bytes. With limit_ms < 0 it blocks (the caller runs the time-out);
// otherwise it gives up when no byte comes for limit_ms. Returns 0, or -1 at the end of
// the stream, on an error or a time-out.
int read_exact(int fd, unsigned char* buf, size_t n, int limit_ms) {
  size_t got = 0;
  while (got < n) {
    if (limit_ms >= 0) {
      pollfd p{fd, POLLIN, 0};
      int pr = poll(&p, 1, limit_ms);
      if (pr < 0 && errno == EINTR) continue;
      if (pr <= 0) return -1;
    }
    ssize_t r = recv(fd, buf + got, n - got, 0);
    if (r > 0) {
      got += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR && !time_out_hit()) continue;
    return -1;
  }
  return 0;
}

// Turns a frame body (status character, then text) into a record.
void frame_to_record(const unsigned char* body, int len, long mtype, mqueuebuf* rec) {
  char text[MQ_ITEM_SIZE];
  int n = len - 1 < MQ_MAX_TEXT ? len - 1 : MQ_MAX_TEXT;
  std::memcpy(text, body + 1, static_cast<size_t>(n));
  text[n] = '\0';
  fill_record(rec, mtype, static_cast<char>(body[0]), text);
}

// The client's blocking read of one frame under the time-out. Returns the frame's
// length byte (at least 1), or -1 when the read failed or the frame was empty.
int frame_get(int fd, mqueuebuf* rec) {
  if (fd < 0) return -1;
  unsigned char len = 0;
  unsigned char body[kFrameBody];
  MQ_enable_alarm();
  int r = read_exact(fd, &len, 1, -1);
  if (r == 0 && len == 0) r = -1;  // an empty frame carries not even a status
  if (r == 0) r = read_exact(fd, body, len, -1);
  MQ_disable_alarm();
  if (r < 0) return -1;
  frame_to_record(body, len, 0, rec);
  return len;
}

// Sends one record over the transport in use: the queue `qid`, or the socket `fd`.
int put_record(int qid, int fd, const mqueuebuf& rec, bool guarded) {
  if (socket_mode()) return frame_send(fd, rec.mtext[0], rec.mtext + 1, guarded);
  return queue_send(qid, rec);
}

// The loop lost its client: the socket is closed and every connection freed.
void client_gone() {
  MESS_print(kDebugD, "Client disconnect\n");
  close(sock2);
  sock2 = -1;
  std::memset(conn, 0, sizeof conn);
}

// Answers a record that reached the display loop: a connection request takes the lowest
// free slot and is granted its number (2), a data record gives its sender and text (1);
// a request finding every slot in use is left unanswered (0).
int take_request(int qid, const mqueuebuf& rec, int* conn_id, char* item) {
  if (rec.mtext[0] != kConnectRequest) {
    if (conn_id) *conn_id = rec.mtext[0] - '0';
    take_text(rec, item);
    return 1;
  }
  int slot = MQ_FIRST_SLOT;
  while (slot <= MQ_LAST_SLOT && conn[slot]) ++slot;
  if (slot > MQ_LAST_SLOT) return 0;
  char number[kNumText];
  std::snprintf(number, sizeof number, "%d", slot + MQ_CONN_BASE);
  mqueuebuf grant;
  fill_record(&grant, MQ_TYPE_GRANT, static_cast<char>('0' + MQ_STATUS_GRANT), number);
  if (put_record(qid, sock2, grant, true) != 0) return -1;
  conn[slot] = 1;
  if (conn_id) *conn_id = slot + MQ_CONN_BASE;
  return 2;
}

// The socket side of MQ_sget: accepts a client when none is connected, then takes one
// frame if one has begun to arrive.
int socket_sget(int* conn_id, char* item) {
  if (sock2 < 0) {
    sockaddr_in from{};
    socklen_t from_len = sizeof from;
    int fd = accept(sock1, reinterpret_cast<sockaddr*>(&from), &from_len);
    if (fd < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        int err = errno;
        MESS_print(kDebugD, "Accept failed\n");
        MESS_print(kDebugD, "accept: %s\n", std::strerror(err));
      }
      return -1;
    }
    MESS_print(kDebugD, "Connection made from %X on port %d\n",
               static_cast<unsigned>(ntohl(from.sin_addr.s_addr)), ntohs(from.sin_port));
    sock2 = fd;
  }
  unsigned char len = 0;
  ssize_t r = recv(sock2, &len, 1, MSG_DONTWAIT);
  if (r == 0) {
    client_gone();
    return -1;
  }
  if (r < 0 || len == 0) return -1;  // nothing yet, or an empty frame: dropped
  unsigned char body[kFrameBody];
  if (read_exact(sock2, body, len, kFrameWaitMs) != 0) {
    // A frame cut short leaves the stream out of step: the client is dropped.
    client_gone();
    return -1;
  }
  mqueuebuf rec;
  frame_to_record(body, len, MQ_TYPE_LOOP, &rec);
  return take_request(-1, rec, conn_id, item);
}

// The connection number a grant's text names, -1 when it is no usable number: types 1
// and 2 belong to the loop and the grants, and a number past the table is none of ours.
int granted_number(const mqueuebuf& rec) {
  if (rec.mtext[0] - '0' != MQ_STATUS_GRANT) return -1;
  char text[MQ_ITEM_SIZE];
  take_text(rec, text);
  char* end = nullptr;
  long n = std::strtol(text, &end, 10);
  if (end == text) return -1;
  if (n < MQ_FIRST_SLOT + MQ_CONN_BASE || n >= MQ_SLOTS + MQ_CONN_BASE) return -1;
  return static_cast<int>(n);
}

// Connects a stream socket to the loopback address at `port`. Returns 1, or -1.
int socket_open(int port) {
  if (port < 1 || port > kMaxPort) return -1;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  MESS_print(kDebugD, "Opened socket\n");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  MESS_print(kDebugD, "Connected to socket\n");
  if (sock1 >= 0) close(sock1);
  sock1 = fd;
  return 1;
}

// Binds a listening, non-blocking stream socket to `port` on all addresses. Returns 1,
// or -1.
int socket_listen(int port) {
  if (port < 1 || port > kMaxPort) return -1;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  int r = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  MESS_print(kDebugD, "Socket bind on port: %d - %d\n", port, r);
  if (r == 0) {
    r = listen(fd, kBacklog);
    MESS_print(kDebugD, "Socket listen...: %d\n", r);
  }
  if (r == 0) r = fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == -1 ? -1 : 0;
  if (r != 0) {
    close(fd);
    return -1;
  }
  if (sock1 >= 0) close(sock1);
  sock1 = fd;
  std::memset(conn, 0, sizeof conn);
  return 1;
}

// The queue key of a window number; IPC_PRIVATE (0) when the number names no window,
// since that key would make a new private queue instead of finding the loop's.
key_t window_key(int num) {
  if (num < 1) return IPC_PRIVATE;
  long key = static_cast<long>(offset) + num;
  return key > 0 && key <= INT_MAX ? static_cast<key_t>(key) : IPC_PRIVATE;
}

}  // namespace

// Finds the queue of display-loop window `num` without creating it (socket mode:
// connects to the loopback port offset+num and returns 1, or -1). Returns the queue
// identifier; -1 when no queue exists or `num` is no positive window number; -2 when
// the lookup fails for another reason (for example no permission).
int MQ_open(int num) {
  install_alarm_handler();
  if (socket_mode()) return socket_open(num < 1 ? 0 : offset + num);
  key_t key = window_key(num);
  if (key == IPC_PRIVATE) return -1;
  int id = msgget(key, 0);
  if (id < 0) return errno == ENOENT ? -1 : -2;
  msgqid = id;
  return id;
}

// Asks the display loop for a connection. Returns the connection number it grants (the
// record type its replies to this client carry), or -1 when it refuses or gives none.
int MQ_connect(int msgqid_in) {
  char uid[kNumText];
  std::snprintf(uid, sizeof uid, "%d", static_cast<int>(getuid()));
  mqueuebuf rec;
  fill_record(&rec, MQ_TYPE_LOOP, kConnectRequest, uid);
  if (socket_mode()) {
    if (frame_send(sock1, rec.mtext[0], rec.mtext + 1, true) != 0) return -1;
    if (frame_get(sock1, &rec) < 0) return -1;
    return granted_number(rec);
  }
  if (msgqid_in < 0) return -1;
  MQ_clear(msgqid_in, MQ_TYPE_GRANT);
  if (queue_send(msgqid_in, rec) != 0) return -1;
  if (queue_wait(msgqid_in, MQ_TYPE_GRANT, &rec) != 0) return -1;
  int number = granted_number(rec);
  if (number > 0) MQ_clear(msgqid_in, number);  // replies left over from an earlier client
  return number;
}

// Sends a formatted text (at most 118 characters, the rest cut) to the display loop
// from connection `conn_id`, blocking while the queue is full. Returns 0, or -1 when the
// send failed.
int MQ_put(int msgqid_in, int conn_id, const char* format, ...) {
  char text[MQ_ITEM_SIZE];
  va_list ap;
  va_start(ap, format);
  format_text(text, format, ap);
  va_end(ap);
  mqueuebuf rec;
  fill_record(&rec, MQ_TYPE_LOOP, static_cast<char>('0' + conn_id), text);
  if (socket_mode()) {
    MESS_print(kDebugD, "Send: %d %d %d => %s\n", conn_id, static_cast<int>(std::strlen(text)) + 1,
               rec.mtext[0] - '0', text);
    return frame_send(sock1, rec.mtext[0], text, true);
  }
  MESS_print(kDebugD, "PUT:%d:%s\n", conn_id, rec.mtext);
  return queue_send(msgqid_in, rec);
}

// Waits for the next reply on connection `conn_id` and copies its text (at most 118
// characters) into `item`, which must hold MQ_ITEM_SIZE bytes. Returns the reply's status:
// 0 a data line, another value the end of a reply, -3 the display loop is not running;
// -1 with `item` empty when the receive failed.
int MQ_get(int msgqid_in, int conn_id, char* item) {
  if (item) item[0] = '\0';
  mqueuebuf rec;
  if (socket_mode()) {
    int len = frame_get(sock1, &rec);
    if (len < 0) return -1;
    take_text(rec, item);
    int status = rec.mtext[0] - '0';
    MESS_print(kDebugD, "Received: %d %d %d => %s\n", conn_id, len, status, rec.mtext + 1);
    return status;
  }
  // A type of 0 or below would take any client's replies, or the loop's own records.
  if (conn_id < 1 || msgqid_in < 0) return -1;
  MQ_enable_alarm();
  ssize_t r = -1;
  for (int attempt = 1;; ++attempt) {
    std::memset(&rec, 0, sizeof rec);
    r = msgrcv(msgqid_in, &rec, MQ_RECORD_BYTES, conn_id, IPC_NOWAIT | MSG_NOERROR);
    int err = r < 0 ? errno : 0;
    MESS_print(kDebugD, "GET-MSG:%d %d %d %d\n", conn_id, static_cast<int>(r), err, attempt);
    if (r >= 0 || (err != ENOMSG && err != EINTR) || time_out_hit()) break;
    if (attempt >= kFastAttempts) usleep(attempt >= kShortAttempts ? kLongPause : kShortPause);
    if (time_out_hit()) break;
  }
  MQ_disable_alarm();
  if (r < 0) return -1;
  take_text(rec, item);
  MESS_print(kDebugD, "GET:%s\n", rec.mtext + 1);
  return rec.mtext[0] - '0';
}

// Discards every waiting record of type `index` without waiting. Returns -1 (socket
// mode: 0, nothing is discarded).
int MQ_clear(int msgqid_in, int index) {
  if (socket_mode()) return 0;
  if (index < 1 || msgqid_in < 0) return -1;  // type 0 would drain every record
  while (msgrcv(msgqid_in, &msgb, MQ_RECORD_BYTES, index, IPC_NOWAIT | MSG_NOERROR) >= 0) {
  }
  return -1;
}

// Starts the time-out: an alarm of `timeout` seconds (none when it is 0 or less) whose
// expiry runs the time-out handler. Returns 0.
int MQ_enable_alarm() {
  install_alarm_handler();
  alarm_fired = 0;
  alarm(timeout > 0 ? static_cast<unsigned>(timeout) : 0u);
  return 0;
}

// Cancels the time-out alarm. Returns 0.
int MQ_disable_alarm() {
  alarm(0);
  return 0;
}

// The time-out handler: the display loop stopped answering, so the program ends with
// exit status 7.
void MQ_intrp(int) {
  MESS_print(kWarn, "Queue not responding!!\n");
  ZUD_exit(MQ_EXIT_STATUS);
}

// Sets the seconds allowed for each blocking step (0 or less: no limit). Returns the
// previous value.
int MQ_timeout(int val) { return std::exchange(timeout, val); }

// Sets the handler run at a time-out instead of MQ_intrp (null restores MQ_intrp). When
// it returns, the step that timed out fails. Returns the previous handler.
MQ_alarm_func MQ_timeout_func(MQ_alarm_func func) { return std::exchange(to_func, func); }

// Sets the number added to window numbers to form queue keys and ports. Returns the
// previous one.
int MQ_offset(int ind) { return std::exchange(offset, ind); }

// Selects the transport: 1 stream socket, anything else message queue. Returns the
// previous one.
int MQ_settype(int ind) {
  return std::exchange(type, ind == kTypeSocket ? kTypeSocket : kTypeQueue);
}

// Applies the link items of resource "parameter": "to=N" sets the time-out to N seconds
// (the number starts at the item's fourth character), "qtype=sock" and "qtype=mqueue"
// select the transport. Items without a number after "to" change nothing. Returns 0.
int MQ_params() {
  int n = 0;
  char** items = nullptr;
  RES_getvals("parameter", &n, &items);
  for (int i = 0; i < n; ++i) {
    const char* item = items[i];
    if (strnicmp(item, "to", 2) == 0) {
      if (std::strlen(item) < 4) continue;
      char* end = nullptr;
      long val = std::strtol(item + 3, &end, 10);
      if (end != item + 3 && val >= 0 && val <= INT_MAX) timeout = static_cast<int>(val);
    } else if (stricmp(item, "qtype=sock") == 0) {
      type = kTypeSocket;
    } else if (stricmp(item, "qtype=mqueue") == 0) {
      type = kTypeQueue;
    }
  }
  free_parsed_array(n, items);
  return 0;
}

// Creates the queue of window `num`, readable and writable by its owner only, failing
// when it exists already. Returns the queue identifier or -1; -2 when `num` is -1.
// Socket mode: listens on port offset+num of all addresses and returns 1 (or -1).
int MQ_create(int num) {
  if (num == -1) return -2;
  if (socket_mode()) return socket_listen(num < 1 ? 0 : offset + num);
  key_t key = window_key(num);
  if (key == IPC_PRIVATE) return -1;
  int id = msgget(key, IPC_CREAT | IPC_EXCL | 0600);
  if (id < 0) return -1;
  std::memset(conn, 0, sizeof conn);
  msgqid = id;
  return id;
}

// Takes the next record for the display loop without waiting. A data record stores its
// sender's connection number in `conn_id` and its text in `item` (MQ_ITEM_SIZE bytes)
// and gives 1; a connection request is granted the lowest free slot, answered on type 2,
// and gives 2 with the new connection number in `conn_id`; a request with every slot in
// use is left unanswered and gives 0. With no record: -1.
int MQ_sget(int msgqid_in, int* conn_id, char* item) {
  if (item) item[0] = '\0';
  if (socket_mode()) return socket_sget(conn_id, item);
  mqueuebuf rec;
  std::memset(&rec, 0, sizeof rec);
  ssize_t r = msgrcv(msgqid_in, &rec, MQ_RECORD_BYTES, MQ_TYPE_LOOP, IPC_NOWAIT | MSG_NOERROR);
  if (r < 0) return -1;
  return take_request(msgqid_in, rec, conn_id, item);
}

// Sends a formatted text with status `flag` to connection `conn_id`; a negative flag
// also frees the connection. Returns the send result (0), or -1 when the connection is
// not in use or the send failed.
int MQ_sput(int msgqid_in, int conn_id, int flag, const char* format, ...) {
  int slot = slot_of(conn_id);
  if (slot < 0 || !conn[slot]) return -1;
  char text[MQ_ITEM_SIZE];
  va_list ap;
  va_start(ap, format);
  format_text(text, format, ap);
  va_end(ap);
  mqueuebuf rec;
  fill_record(&rec, conn_id, static_cast<char>('0' + flag), text);
  MESS_print(kDebugD, "SPUT:%d:%s:", conn_id, rec.mtext);
  int r = put_record(msgqid_in, sock2, rec, true);
  if (flag < 0) conn[slot] = 0;
  return r;
}

// Removes the queue (socket mode: closes both sockets). Returns 0, or -1 when the queue
// could not be removed.
int MQ_del(int msgqid_in) {
  if (socket_mode()) {
    if (sock2 >= 0) close(sock2);
    if (sock1 >= 0) close(sock1);
    sock1 = sock2 = -1;
    std::memset(conn, 0, sizeof conn);
    return 0;
  }
  if (msgqid_in == msgqid) msgqid = -1;
  return msgctl(msgqid_in, IPC_RMID, nullptr) == 0 ? 0 : -1;
}

// The first window number from `ind` to ind+49 that has no queue, or -1.
int MQ_find(int ind) {
  for (int num = ind; num < ind + kFindRange; ++num) {
    key_t key = window_key(num);
    if (key == IPC_PRIVATE) continue;
    if (msgget(key, 0) < 0 && errno == ENOENT) return num;
  }
  return -1;
}
