// severe_table.cpp — the table "Severe Weather Parameters": the parcels, downdraft CAPE and
// lapse rates, the storm motions with shear and helicity over fixed and effective layers,
// and the composite parameters, each group at its own sub-level of message class out4.
//
// Only formats: the values come computed in one SEVERE_values record. A missing value
// leaves its field blank, or prints a dash in it when dashes are asked for.

#include <cstring>
#include <string>

#include "zudsevere.h"
#include "zudunits.h"

namespace {

// Message levels of the table's groups, the sub-levels a to d of class out4.
constexpr M_type kParcels = mess_sub(MESS_OUT4, MESS_SUB_A);    // title and parcel rows
constexpr M_type kThermo = mess_sub(MESS_OUT4, MESS_SUB_B);     // downdraft CAPE, lapse rates
constexpr M_type kKinematic = mess_sub(MESS_OUT4, MESS_SUB_C);  // motions, shear, helicity, inflow
constexpr M_type kComposite = mess_sub(MESS_OUT4, MESS_SUB_D);  // composite parameters

constexpr double kMsToKnot = 1.0 / UNIT_KNOT_TO_MS;  // knots per m/s, exact inverse of the input
constexpr const char* kRule =
    "-------------------------------------------------------------------------------\n";

// A value printed with fmt, or a field of `width` blanks (a right-aligned dash with
// dashes on) when missing.
std::string field(const char* fmt, int width, double value, bool dash) {
  char buf[64];
  if (value != MISSING) {
    std::snprintf(buf, sizeof buf, fmt, value);
    // A small negative value that rounds to zero prints as 0, not -0.
    const char* minus = std::strchr(buf, '-');
    if (minus != nullptr && std::strspn(minus + 1, "0.") == std::strlen(minus + 1))
      buf[minus - buf] = ' ';
  } else
    std::snprintf(buf, sizeof buf, "%*s", width, dash ? "-" : "");
  return buf;
}

// Knots of a speed in m/s, missing kept missing.
double knots(float ms) { return ms == MISSING ? MISSING : ms * kMsToKnot; }

// One parcel row: CAPE, CIN and 0-3 km CAPE (J/kg), LCL, LFC and EL (m AGL), LI (C).
void parcel_row(const char* name, const SEVERE_parcel& pc, bool dash) {
  std::string row = name;
  row += field("%7.0f", 7, pc.cape, dash);
  row += field("%7.0f", 7, pc.cin, dash);
  row += field("%7.0f", 7, pc.cape3, dash);
  row += field("%7.0f", 7, pc.lcl, dash);
  row += field("%7.0f", 7, pc.lfc, dash);
  row += field("%7.0f", 7, pc.el, dash);
  row += field("%7.1f", 7, pc.li, dash);
  row.erase(row.find_last_not_of(' ') + 1);  // blank fields at the end leave no trailing blanks
  MESS_print(kParcels, "%s\n", row.c_str());
}

// A row of one value: label, the value with fmt in a field of width, and the unit.
void value_row(M_type level, const char* label, const char* fmt, int width, double value,
               const char* unit, bool dash) {
  MESS_print(level, "%-27s%s%s\n", label, field(fmt, width, value, dash).c_str(), unit);
}

// A storm-motion row: direction (degrees) and speed (knots) of a vector in m/s.
void motion_row(const char* label, const SEVERE_wind& w, bool dash) {
  float dir = MISSING, spd = MISSING;
  if (w.u != MISSING) vect2wind(w.u, w.v, &dir, &spd);
  MESS_print(kKinematic, "%-27s%s at %s knts\n", label, field("%6.1f", 6, dir, dash).c_str(),
             field("%6.1f", 6, knots(spd), dash).c_str());
}

}  // namespace

// Prints the table of the values v; dash non-zero prints missing values as dashes.
// Returns 0.
int SEVERE_print(const SEVERE_values& v, int dash) {
  const bool d = dash != 0;
  MESS_print(kParcels, "\nSevere Weather Parameters\n");
  MESS_print(kParcels, "%s", kRule);
  MESS_print(kParcels, "Parcel   CAPE    CIN 0-3CAPE    LCL    LFC     EL  LI500\n");
  MESS_print(kParcels, "         J/kg   J/kg   J/kg  m AGL  m AGL  m AGL      C\n");
  MESS_print(kParcels, "%s", kRule);
  parcel_row("SB    ", v.sb, d);
  parcel_row("ML    ", v.ml, d);
  parcel_row("MU    ", v.mu, d);
  value_row(kParcels, "MU parcel level:", "%7.1f", 7, v.mu.p, " mb", d);

  value_row(kThermo, "Downdraft CAPE:", "%7.0f", 7, v.dcape, " J/kg", d);
  value_row(kThermo, "Lapse rate 0-3 km:", "%7.2f", 7, v.lapse03, " C/km", d);
  value_row(kThermo, "Lapse rate 3-6 km:", "%7.2f", 7, v.lapse36, " C/km", d);
  value_row(kThermo, "Lapse rate 700-500 mb:", "%7.2f", 7, v.lapse75, " C/km", d);

  // Without winds over the lowest 6 km there is no storm motion to print.
  if (v.mean6.u != MISSING) {
    motion_row("Mean wind 0-6 km:", v.mean6, d);
    motion_row("Bunkers right mover:", v.right, d);
    motion_row("Bunkers left mover:", v.left, d);
  }
  value_row(kKinematic, "Bulk wind diff 0-1 km:", "%7.1f", 7, knots(v.bwd1), " knts", d);
  value_row(kKinematic, "Bulk wind diff 0-6 km:", "%7.1f", 7, knots(v.bwd6), " knts", d);
  value_row(kKinematic, "Storm rel helicity 0-1 km:", "%7.1f", 7, v.srh1, " m^2/s^2", d);
  value_row(kKinematic, "Storm rel helicity 0-3 km:", "%7.1f", 7, v.srh3, " m^2/s^2", d);
  if (v.eff_base == MISSING) {
    MESS_print(kKinematic, "%-27s   none\n", "Effective inflow layer:");
  } else {
    MESS_print(kKinematic, "%-27s%s -%s m AGL\n", "Effective inflow layer:",
               field("%7.0f", 7, v.eff_base, d).c_str(), field("%6.0f", 6, v.eff_top, d).c_str());
  }
  value_row(kKinematic, "Effective helicity:", "%7.1f", 7, v.esrh, " m^2/s^2", d);
  value_row(kKinematic, "Effective bulk wind diff:", "%7.1f", 7, knots(v.ebwd), " knts", d);

  value_row(kComposite, "Sig tornado (fixed layer):", "%7.2f", 7, v.stp_fixed, "", d);
  value_row(kComposite, "Sig tornado (effective):", "%7.2f", 7, v.stp_eff, "", d);
  value_row(kComposite, "Supercell composite:", "%7.2f", 7, v.scp, "", d);
  return 0;
}
