// zudmq.h — the link to a running display loop over a message queue (module mqueue):
// the client side used while resources are gathered.

#ifndef ZUDMQ_H
#define ZUDMQ_H

#include "zud.h"

// ---- mqueue: client side -------------------------------------------------------------
int MQ_open(int num);
int MQ_connect(int msgqid);
int MQ_put(int msgqid, int conn_id, const char* format, ...) __attribute__((format(printf, 3, 4)));
int MQ_get(int msgqid, int conn_id, char* item);

#endif  // ZUDMQ_H
