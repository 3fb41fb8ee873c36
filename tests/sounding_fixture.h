// sounding_fixture.h — a realistic warm-season sounding for the analysis tests, and a
// level maker for the small hand-built soundings.
//
// The sounding is a moist, conditionally unstable Plains afternoon: surface 1004 mb at
// 120 m, 30/22 C, southerly surface wind veering to west-southwesterly aloft. Temperatures,
// dew points and winds are chosen values; the heights are not: they were integrated
// upward from the surface with the hypsometric equation, dz = Rd Tv / g ln(p1/p2), with
// Rd = 287.05, g = 9.8 and the layer's Tv the mean of the two end levels' virtual
// temperatures (Tv = T (1 + 0.61 w), w from the Bolton 1980 vapour pressure
// e = 6.112 exp(17.67 Td / (Td + 243.5))), then rounded to whole metres.
//
// Hand values used by the tests (from the table below):
//   850 mb: T 19.0, Td 14.0, 215 deg 28 kt; 700 mb: T 9.0, Td -2.0; 500 mb: T -9.0,
//   Td -24.0, 255 deg 42 kt.

#ifndef SOUNDING_FIXTURE_H
#define SOUNDING_FIXTURE_H

#include <vector>

#include "zudupa.h"

//                                    p (mb)   h (m)  t (C)  td (C) dir   spd (kt)
inline constexpr UPA_level kPlainsSounding[] = {
    {1004.0f,   120.0f,  30.0f,  22.0f, 170.0f, 12.0f},
    {1000.0f,   156.0f,  29.2f,  21.6f, 175.0f, 15.0f},
    { 975.0f,   382.0f,  27.4f,  20.8f, 185.0f, 22.0f},
    { 950.0f,   612.0f,  25.6f,  20.0f, 195.0f, 28.0f},
    { 925.0f,   847.0f,  23.8f,  19.0f, 200.0f, 30.0f},
    { 900.0f,  1086.0f,  22.0f,  17.6f, 205.0f, 30.0f},
    { 850.0f,  1582.0f,  19.0f,  14.0f, 215.0f, 28.0f},
    { 800.0f,  2102.0f,  16.4f,   9.0f, 225.0f, 26.0f},
    { 750.0f,  2648.0f,  13.0f,   3.0f, 235.0f, 27.0f},
    { 700.0f,  3224.0f,   9.0f,  -2.0f, 240.0f, 30.0f},
    { 650.0f,  3834.0f,   5.0f,  -8.0f, 245.0f, 32.0f},
    { 600.0f,  4482.0f,   0.6f, -14.0f, 250.0f, 35.0f},
    { 550.0f,  5175.0f,  -4.0f, -19.0f, 250.0f, 38.0f},
    { 500.0f,  5920.0f,  -9.0f, -24.0f, 255.0f, 42.0f},
    { 450.0f,  6727.0f, -14.6f, -30.0f, 255.0f, 46.0f},
    { 400.0f,  7608.0f, -21.0f, -36.0f, 260.0f, 52.0f},
    { 350.0f,  8580.0f, -28.4f, -42.0f, 260.0f, 58.0f},
    { 300.0f,  9667.0f, -36.5f, -48.0f, 265.0f, 65.0f},
    { 250.0f, 10907.0f, -45.5f, -55.0f, 265.0f, 72.0f},
    { 200.0f, 12364.0f, -55.0f, -63.0f, 270.0f, 70.0f},
    { 150.0f, 14181.0f, -60.0f, -70.0f, 270.0f, 55.0f},
    { 100.0f, 16683.0f, -65.0f, -78.0f, 275.0f, 35.0f},
};

// A modifiable copy of the fixture (the analyses take the sounding by plain pointer).
inline std::vector<UPA_level> plains_sounding() {
  return {std::begin(kPlainsSounding), std::end(kPlainsSounding)};
}

// A level with the given thermodynamic fields and no wind.
inline UPA_level thermo_level(float p, float h, float t, float td) {
  return {p, h, t, td, MISSING, MISSING};
}

// The number of levels of a hand-built sounding, as the analysis functions take it.
inline int count(const std::vector<UPA_level>& s) { return static_cast<int>(s.size()); }

#endif  // SOUNDING_FIXTURE_H
