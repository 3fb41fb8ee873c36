// thm_calc.cpp — the analysis of one sounding passed by hand: the surface level, the
// 0-6000 m mean wind and the storm motion of a merged sounding, and every value that the
// analysis tables print, computed into one THERM_record.
//
// Nothing here keeps state: the sounding and the parcel choice come in as arguments and
// the results go out in the record, so that several stations can be analysed side by
// side. thm_tool keeps the one sounding of the print program and formats its record.

#include "zudsnd.h"
#include "zudunits.h"

namespace {

// Layers and levels of the analyses, mb.
constexpr float kThickBottom = 1000.0f, kThickTop = 500.0f;  // thickness layer
constexpr float kLapseBottom = 700.0f, kLapseTop = 500.0f;   // lapse-rate layer
constexpr float kRhTop = 500.0f;           // top of the mean relative humidity
constexpr float kMaxtThick = 150.0f;       // layer of the maximum temperature estimate
constexpr float kSourceThick = 100.0f;     // source layer of CCL, lifted index, cap
constexpr float kLiTop = 500.0f;           // lifted and Showalter index level
constexpr float kShowalterBase = 850.0f;   // Showalter parcel level
constexpr float kLi3Top = 300.0f;          // lifted index evaluated at 300 mb
constexpr float kLi7Top = 700.0f;          // lifted index evaluated at 700 mb

// Layers of the wind analyses, m above the surface.
constexpr float kMeanDepth = 6000.0f;   // the mean wind that gives the storm motion
constexpr float kKinDepth = 3000.0f;    // shear and helicity of the wind table
// The traces of the layer integrations (ua_calc.cpp), debug sub-level c.
constexpr M_type kLayerTrace = mess_sub(MESS_DEBUG, MESS_SUB_C);

// The profile levels that the analysis reads, in a copy it may hand to the analysis
// functions (whose profile arguments are not const).
struct Work {
  UPA_sounding s;
  UPA_level* sm() { return s.sm.data(); }
  int sm_num() const { return s.sm_num(); }
  UPA_level* wm() { return s.wm.data(); }
  int wm_num() const { return s.wm_num(); }

  // The thermodynamic profile interpolated at pressure p (mb).
  UPA_level level_at(float p) {
    UPA_level lev = UPA_UNSET_LEVEL;
    UPA_interp_sfc(sm(), sm_num(), UNIT_COORD_PRESS, p, &lev, &s.sfc);
    return lev;
  }
  // The height (m) of pressure p in the thermodynamic profile.
  float height_of(float p) { return level_at(p).h; }
  // The height `depth` m above the surface, missing when the surface height is.
  float above_sfc(float depth) const { return s.sfc.h == MISSING ? MISSING : s.sfc.h + depth; }
  // Mean wind (deg, knots) from the surface to `depth` m above it. Returns the layer
  // mean's result, or -1 with a missing wind when the surface height is unknown.
  int mean_wind(float depth, WIND* mean) {
    *mean = {MISSING, MISSING};
    if (s.sfc.h == MISSING) return -1;
    return layer_wind_mean(wm(), wm_num(), UNIT_COORD_HEIGHT, s.sfc.h, above_sfc(depth), mean);
  }
};

// The storm motion of a mean wind: 30 degrees to its right at three quarters of its
// speed; missing when the mean wind's direction is.
WIND storm_motion(const WIND& mean) {
  if (mean.dir == MISSING) return {MISSING, MISSING};
  float dir = mean.dir + UNIT_STORM_VEER;
  if (dir > 360.0f) dir -= 360.0f;
  return {dir, mean.spd == MISSING ? MISSING : UNIT_STORM_SPEED * mean.spd};
}

// The starting level and source-layer depth of the parcel ascent for the parcel choice.
void parcel_start(Work& w, const THERM_parcel& choice, float max_t, UPA_level* b, float* thick) {
  UPA_level_init(b);
  *thick = choice.thick;
  switch (choice.type) {
    case THERM_PAR_SFC:
      *thick = 0.0f;
      break;
    case THERM_PAR_MAXT:
      *b = w.s.sfc;
      b->t = max_t;
      break;
    case THERM_PAR_LEVEL:
      *b = w.level_at(choice.start.p);
      if (choice.start.t != MISSING) b->t = choice.start.t;
      if (choice.start.td != MISSING) b->td = choice.start.td;
      break;
    default:  // mixed layer: the ascent takes the layer mean itself
      break;
  }
}

// Every 0 C crossing of the temperature profile, upward: pairs of successive levels that
// have a temperature, one at or above 0 C and one below, with the crossing's pressure and
// height linear in pressure between them.
std::vector<THERM_height> freezing_crossings(const std::vector<UPA_level>& sm) {
  std::vector<THERM_height> out;
  const std::size_t n = sm.size();
  std::size_t i = 0;
  while (i < n && sm[i].t == MISSING) ++i;
  while (i < n) {
    std::size_t j = i + 1;
    while (j < n && sm[j].t == MISSING) ++j;
    if (j >= n) break;
    const UPA_level& lo = sm[i];
    const UPA_level& hi = sm[j];
    if ((lo.t >= 0.0f) != (hi.t >= 0.0f)) {
      THERM_height c;
      if (lo.p != MISSING && hi.p != MISSING) {
        c.p = linear_interp(0.0f, lo.t, hi.t, lo.p, hi.p);
        // Two levels at one pressure: the lower level's height, not a division by zero.
        if (lo.h != MISSING && hi.h != MISSING)
          c.h = lo.p == hi.p ? lo.h : linear_interp(c.p, lo.p, hi.p, lo.h, hi.h);
      }
      out.push_back(c);
    }
    i = j;
  }
  return out;
}

// The sounding variables of the index table: thickness, freezing and wet-bulb-zero
// levels, moisture, maximum temperature, the surface air's LCL, lapse rate, theta-e
// index and the convective condensation level.
void sounding_variables(Work& w, THERM_record* rec) {
  THERM_values& v = rec->values;
  UPA_level* sm = w.sm();
  const int n = w.sm_num();
  const float psfc = w.s.sfc.p;
  v.thick = thickness(sm, n, UNIT_COORD_PRESS, kThickBottom, kThickTop);
  v.frz = freezing_level(sm, n);
  v.wb0 = wet_bulb_zero(sm, n);
  v.precip = precip_water(sm, n);
  v.mean_rh = mean_value("rhum", sm, n, UNIT_COORD_PRESS, psfc, kRhTop);
  v.max_t = unit_celsius(max_temperature(sm, n, UNIT_COORD_PRESS, psfc, kMaxtThick));

  const UPA_level air = w.level_at(psfc);
  rec->sfc_t = air.t;
  const float tk = unit_kelvin(air.t);
  v.plcl = lcl_pres(tk, unit_kelvin(air.td), air.p);
  v.tlcl = lcl_temp(tk, air.p, v.plcl);

  const float lapse = lapse_rate(sm, n, UNIT_COORD_PRESS, kLapseBottom, kLapseTop);
  v.lapse57 = lapse == MISSING ? MISSING : static_cast<float>(lapse * UNIT_PER_KM);
  thetae_index(sm, n, &v.thetae);
  v.ccl = pr_ccl(sm, n, UNIT_COORD_PRESS, psfc, kSourceThick, &v.wbar);
  v.ct = v.ccl > 0.0f ? conv_temp(v.wbar, v.ccl, psfc) : MISSING;

  rec->freezing = freezing_crossings(w.s.sm);
  rec->wb0_h = v.wb0 != MISSING && v.wb0 != -1.0f ? w.height_of(v.wb0) : MISSING;
  rec->lcl = v.plcl > 0.0f ? w.level_at(v.plcl) : UPA_UNSET_LEVEL;
  rec->ccl_h = v.ccl > 0.0f ? w.height_of(v.ccl) : MISSING;
}

// The stability indices.
void stability_indices(Work& w, THERM_record* rec) {
  THERM_values& v = rec->values;
  UPA_level* sm = w.sm();
  const int n = w.sm_num();
  const float psfc = w.s.sfc.p;
  v.li = lifted_index(sm, n, UNIT_COORD_PRESS, psfc, kSourceThick, kLiTop);
  v.cap = cap_strength(sm, n, UNIT_COORD_PRESS, psfc, kSourceThick);
  v.si = lifted_index(sm, n, UNIT_COORD_PRESS, kShowalterBase, 0.0f, kLiTop);
  v.tt = total_totals(sm, n);
  v.k = k_index(sm, n);
  v.sweat = sweat_index(sm, n);
  v.ei = energy_index(sm, n);
  rec->li300 = lifted_index(sm, n, UNIT_COORD_PRESS, psfc, kSourceThick, kLi3Top);
  rec->li700 = lifted_index(sm, n, UNIT_COORD_PRESS, psfc, kSourceThick, kLi7Top);
  rec->vt = vertical_totals(sm, n);
  rec->ct = cross_totals(sm, n);
}

// The parcel ascent of the chosen parcel and the heights of its levels.
void parcel_ascent(Work& w, const THERM_parcel& choice, THERM_record* rec) {
  THERM_values& v = rec->values;
  UPA_level b;
  float thick;
  parcel_start(w, choice, v.max_t, &b, &thick);
  parcel_calc(w.sm(), w.sm_num(), &b, UNIT_COORD_PRESS, w.s.sfc.p, thick, &v.parcel);
  rec->parcel = choice;
  rec->par_used = b;
  const PARCEL_params& pc = v.parcel;
  const auto h = [&w](float p) { return p == MISSING ? MISSING : w.height_of(p); };
  rec->parcel_lcl_h = h(pc.plcl);
  rec->parcel_lfc_h = pc.lfc == -1.0f ? MISSING : h(pc.lfc);
  rec->parcel_el_h = h(pc.el);
  rec->parcel_mpl_h = h(pc.mpl);
}

// The helicity of the storm-table rows, computed together (see helicity_layers) when the
// layer traces are off; a row whose entry is unset computes its own.
struct RowHelicity {
  bool set = false;
  HELICITY_params params;
  int rc = 0;
};

// One row of the storm table: the layer from the surface to `depth` m above it.
THERM_storm_row storm_row(Work& w, float depth, const RowHelicity& hel) {
  THERM_storm_row r;
  r.depth = depth;
  const WIND& storm = w.s.storm;
  if (w.mean_wind(depth, &r.mean) == 1) {
    r.have_mean = true;
    // Inflow: the mean wind relative to the storm; unknown without a storm motion.
    float du, dv;
    storm_relative(r.mean.dir, r.mean.spd, storm, &du, &dv, &r.inflow.dir, &r.inflow.spd);
  }
  if (w.s.sfc.h != MISSING) {
    const float top = w.above_sfc(depth);
    const int shr_rc =
        shear_layer(w.wm(), w.wm_num(), UNIT_COORD_HEIGHT, w.s.sfc.h, top, nullptr, &r.shear);
    r.have_shear = shr_rc == 1 && r.shear.pos_shr != MISSING;
    if (hel.set) {
      r.helicity = hel.params;
      r.have_helicity = hel.rc == 1;
    } else {
      r.have_helicity =
          helicity(w.wm(), w.wm_num(), UNIT_COORD_HEIGHT, w.s.sfc.h, top, &storm, &r.helicity) == 1;
    }
  }
  return r;
}

// The wind analyses: 0-3000 m shear and helicity, bulk Richardson number, energy-helicity
// index and the rows of the storm table.
void wind_analyses(Work& w, THERM_record* rec) {
  THERM_values& v = rec->values;
  const float cape = v.parcel.Bplus;
  // Layers above the surface need its height; without it they are not analysed.
  v.shear = SHEAR_params{};
  v.helicity = HELICITY_params{};
  // The 0-3000 m layer and the rows share their bottom: one climb serves their helicity,
  // unless the layer traces are on (they then show each layer's climb in its place).
  constexpr std::size_t kRows = THERM_STORM_DEPTHS.size();
  std::array<RowHelicity, kRows> rows{};
  const bool together = w.s.sfc.h != MISSING && !MESS_check(kLayerTrace);
  if (together) {
    std::array<float, kRows + 1> tops;
    std::array<HELICITY_params, kRows + 1> hel;
    std::array<int, kRows + 1> rc;
    tops[0] = w.above_sfc(kKinDepth);
    for (std::size_t i = 0; i < kRows; ++i) tops[i + 1] = w.above_sfc(THERM_STORM_DEPTHS[i]);
    helicity_layers(w.wm(), w.wm_num(), UNIT_COORD_HEIGHT, w.s.sfc.h, tops.data(),
                    static_cast<int>(tops.size()), &w.s.storm, hel.data(), nullptr, rc.data());
    v.helicity = hel[0];
    for (std::size_t i = 0; i < kRows; ++i) rows[i] = {true, hel[i + 1], rc[i + 1]};
  }
  if (w.s.sfc.h != MISSING) {
    const float top = w.above_sfc(kKinDepth);
    shear_layer(w.wm(), w.wm_num(), UNIT_COORD_HEIGHT, w.s.sfc.h, top, nullptr, &v.shear);
    if (!together)
      helicity(w.wm(), w.wm_num(), UNIT_COORD_HEIGHT, w.s.sfc.h, top, &w.s.storm, &v.helicity);
  }
  bulk_richardson(w.wm(), w.wm_num(), UNIT_COORD_PRESS, w.s.sfc.p, cape, &v.brn, &v.bshear);
  v.ehi = energy_helicity(w.wm(), w.wm_num(), UNIT_COORD_PRESS, w.s.sfc.p, &w.s.storm, cape);
  for (std::size_t i = 0; i < kRows; ++i)
    rec->storm_rows[i] = storm_row(w, THERM_STORM_DEPTHS[i], rows[i]);
}

}  // namespace

// Sets the surface of a merged sounding: sm interpolated at sfc_p (mb). Returns 0.
int THERM_setup_surface(UPA_sounding* snd, float sfc_p) {
  if (snd == nullptr) return 0;
  snd->sfc.p = sfc_p;
  UPA_interp_sfc(snd->sm.data(), snd->sm_num(), UNIT_COORD_PRESS, sfc_p, &snd->sfc, nullptr);
  return 0;
}

// Sets the 0-6000 m mean wind and the storm motion of a sounding with its surface set.
// Returns 0.
int THERM_setup_winds(UPA_sounding* snd) {
  if (snd == nullptr) return 0;
  Work w{*snd};
  w.mean_wind(kMeanDepth, &snd->mean6);
  snd->storm = storm_motion(snd->mean6);
  return 0;
}

// Sets the surface, mean wind and storm motion of a merged sounding. Returns 0.
int THERM_setup_sounding(UPA_sounding* snd, float sfc_p) {
  THERM_setup_surface(snd, sfc_p);
  return THERM_setup_winds(snd);
}

// Computes every printed value of a sounding into rec. Returns 0.
int THERM_analyse(const UPA_sounding& snd, const THERM_parcel& parcel, THERM_record* rec,
                  bool severe) {
  if (rec == nullptr) return 0;
  Work w{snd};
  sounding_variables(w, rec);
  stability_indices(w, rec);
  parcel_ascent(w, parcel, rec);
  wind_analyses(w, rec);
  rec->severe = severe ? SEVERE_calc(snd) : SEVERE_values{};
  return 0;
}
