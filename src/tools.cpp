// tools.cpp — small numeric helpers shared by the analysis modules.

#include "zud.h"

// The value at x of the straight line through (a, y1) and (b, y2), in float arithmetic
// as the stored data are. The caller keeps a and b apart.
float linear_interp(float x, float a, float b, float y1, float y2) {
  return (x - a) * (y2 - y1) / (b - a) + y1;
}
