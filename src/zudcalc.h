// zudcalc.h — moist thermodynamic point functions (module calc) and wind vectors
// (module vecttool).

#ifndef ZUDCALC_H
#define ZUDCALC_H

#endif  // ZUDCALC_H
