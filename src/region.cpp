// region.cpp — map domains. Placeholder until domain decoding is built: every domain
// text is refused, so the plot_domain, grid_domain and region resources change nothing.

#include "zuddom.h"

// Every text is an invalid domain: -1, the record untouched.
int DOM_decode(const char*, Domain*) { return -1; }
