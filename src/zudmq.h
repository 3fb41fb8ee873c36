// zudmq.h — the link to a running display loop (module mqueue): the wire record, the
// client side used while resources are gathered and the display loop's side.
//
// A display loop owns a System V message queue whose key is its window number (plus an
// offset). Clients write type-1 records to it; the loop answers connection requests on
// type 2 and everything else on the type that is the client's connection number. A
// stream-socket variant carries the same records as length-prefixed frames.

#ifndef ZUDMQ_H
#define ZUDMQ_H

#include "zud.h"

constexpr int MQ_RECORD_BYTES = 120;            // bytes of mtext every send and receive moves
constexpr int MQ_MAX_TEXT = MQ_RECORD_BYTES - 2;  // longest text a record carries (118)
constexpr int MQ_ITEM_SIZE = MQ_MAX_TEXT + 1;   // reply buffer a caller of MQ_get provides
constexpr int MQ_SLOTS = 25;                    // connection slots of a display loop
constexpr int MQ_FIRST_SLOT = 1;                // lowest slot a connection request takes
constexpr int MQ_LAST_SLOT = 19;                // highest slot a connection request takes
constexpr int MQ_CONN_BASE = 2;                 // connection number = slot + MQ_CONN_BASE
constexpr int MQ_TYPE_LOOP = 1;                 // record type of messages to the display loop
constexpr int MQ_TYPE_GRANT = 2;                // record type of connection replies
constexpr int MQ_STATUS_GRANT = 2;              // reply status of a connection grant
constexpr int MQ_STATUS_DEAD = -3;              // reply status: display loop not running
constexpr int MQ_DEFAULT_TIMEOUT = 20;          // seconds allowed for each blocking step
constexpr int MQ_EXIT_STATUS = 7;               // exit status of a display loop that stopped answering

// One record as it travels through the queue. mtext[0] is the status character, "0"
// plus a small integer; the text follows, NUL-terminated within MQ_RECORD_BYTES.
struct mqueuebuf {
  long mtype;       // 1 to the display loop, 2 connection replies, n >= 3 replies on connection n
  char mtext[124];  // status character, then the text
};

// Handler run when a blocking step outlasts the time-out; it receives SIGALRM.
using MQ_alarm_func = void (*)(int);

// ---- mqueue: client side -------------------------------------------------------------
int MQ_open(int num);
int MQ_connect(int msgqid);
int MQ_put(int msgqid, int conn_id, const char* format, ...) __attribute__((format(printf, 3, 4)));
int MQ_get(int msgqid, int conn_id, char* item);
int MQ_clear(int msgqid, int index);
int MQ_enable_alarm();
int MQ_disable_alarm();
void MQ_intrp(int sig);
int MQ_timeout(int val);
MQ_alarm_func MQ_timeout_func(MQ_alarm_func func);
int MQ_offset(int ind);
int MQ_settype(int ind);
int MQ_params();

// ---- mqueue: display-loop side ---------------------------------------------------------
int MQ_create(int num);
int MQ_sget(int msgqid, int* conn_id, char* item);
int MQ_sput(int msgqid, int conn_id, int flag, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int MQ_del(int msgqid);
int MQ_find(int ind);

#endif  // ZUDMQ_H
