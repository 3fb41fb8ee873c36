// zuddom.h — map domains: the domain record and decoding a domain text (module region).

#ifndef ZUDDOM_H
#define ZUDDOM_H

#include "zud.h"

// A map domain; -9999 in a field means unset.
struct Domain {
  int proj;        // projection code
  float plat;      // projection latitude
  float plon;      // projection longitude
  float param[5];  // further projection parameters
  float clat;      // centre latitude, degrees
  float clon;      // centre longitude, degrees, west negative
  float dx;        // grid spacing in x
  float dy;        // grid spacing in y
  int nx;          // grid points in x
  int ny;          // grid points in y
  int ellipse;     // 1 for an ellipsoidal earth, else 0
};

// ---- region: domain decoding ---------------------------------------------------------
int DOM_decode(const char* str, Domain* domain);

#endif  // ZUDDOM_H
