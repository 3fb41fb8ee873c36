// mqueue.cpp — display-loop link. Placeholder until the queue transport is built: no
// display loop is ever found, so resource gathering warns and carries on without one.

#include "zudmq.h"

// No queue exists for any window number: -1.
int MQ_open(int) { return -1; }

// No handshake can succeed without a queue: -1.
int MQ_connect(int) { return -1; }

// Nothing can be sent: -1.
int MQ_put(int, int, const char*, ...) { return -1; }

// No reply can come: empties the reply text and returns -3 (display loop not running).
int MQ_get(int, int, char* item) {
  if (item) item[0] = '\0';
  return -3;
}
