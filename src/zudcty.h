// zudcty.h — station location database records (modules cty_read, cty_tool).

#ifndef ZUDCTY_H
#define ZUDCTY_H

#include "zud.h"

#endif  // ZUDCTY_H
