// ua_values.cpp — one station's analysis values as a JSON object or a CSV row, for
// scripts that want numbers rather than tables.
//
// The fields are every value the index, parcel, wind, storm and severe-weather tables
// print, under fixed snake_case names that end in their unit (cape_jkg, lcl_pres_mb,
// srh_0_3km_m2s2). A
// value the tables would not print (missing, or a level that does not exist) is null
// in JSON and empty in CSV. One function, add_fields, lists the fields in their order;
// the CSV header, the JSON object and the CSV row are all made from it, so the three can
// never disagree. A new table adds its values with a few more calls at its end.

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "zudscript.h"
#include "zudsevere.h"
#include "zudunits.h"

namespace {

// Fields keep their order; numbers are the records' 32-bit floats, so that each is
// written as the shortest decimal that reads back to the same float (1448.2, not
// 1448.199951171875).
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                  std::int64_t, std::uint64_t, float>;

// The storm-table layer depths (m) as they appear in field names.
constexpr const char* kDepthNames[] = {"500m", "1km",  "1500m", "2km", "2500m",
                                       "3km",  "4km",  "5km",   "6km"};
static_assert(std::size(kDepthNames) == THERM_STORM_DEPTHS.size());

// Appends the named fields of one station in their fixed order: to a JSON object (for the
// field names and the CSV row), or straight to the text of a JSON line, as the library
// would print that object, without building it (a line has some 240 fields, and archives
// hold millions of lines).
class Fields {
 public:
  explicit Fields(Json* out) : out_(out) {}
  explicit Fields(std::string* text) : text_(text) {}

  // A value, null when missing.
  void num(std::string_view name, float v) { put(name, v != MISSING, v); }
  // A value that the tables print only when `shown`; null otherwise.
  void put(std::string_view name, bool shown, float v) {
    if (shown && v != MISSING)
      set(name, v);
    else
      set(name, nullptr);
  }
  // A value computed in double from record values: stored as the float a record holds.
  void derived(std::string_view name, bool shown, double v) {
    put(name, shown && v != MISSING, static_cast<float>(v));
  }
  void integer(std::string_view name, int v) {
    if (v != IMISSING)
      set(name, v);
    else
      set(name, nullptr);
  }
  void text(std::string_view name, const std::string& v) { set(name, v); }
  // The names given after this call begin with p, until the next call ("": none). A row
  // of fields is named without building each name.
  void prefix(std::string_view p) { prefix_.assign(p); }

 private:
  // Appends the field. The names are distinct by construction, so the ordered object's
  // search for an existing key (linear, for each of some 200 fields) is left out.
  template <class T>
  void set(std::string_view name, T&& v) {
    if (out_ != nullptr) {
      out_->get_ref<Json::object_t&>().emplace_back(prefix_ + std::string(name),
                                                    Json(std::forward<T>(v)));
      return;
    }
    // The names are plain ASCII identifiers: nothing in them to escape.
    *text_ += first_ ? "\"" : ",\"";
    first_ = false;
    *text_ += prefix_;
    *text_ += name;
    *text_ += "\":";
    append_value(std::forward<T>(v));
  }

  // Values as the library prints them: floats in the shortest form that reads back to the
  // same float (its own Grisu2 conversion), strings through its escaping.
  void append_value(std::nullptr_t) { *text_ += "null"; }
  void append_value(float v) {
    if (!std::isfinite(v)) {
      *text_ += "null";
      return;
    }
    std::array<char, 64> buf;
    char* end = nlohmann::detail::to_chars(buf.data(), buf.data() + buf.size(), v);
    text_->append(buf.data(), end);
  }
  void append_value(int v) {
    std::array<char, 16> buf;
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    text_->append(buf.data(), r.ptr);
  }
  void append_value(const std::string& v) {
    *text_ += Json(v).dump(-1, ' ', false, Json::error_handler_t::replace);
  }

  Json* out_ = nullptr;
  std::string* text_ = nullptr;
  bool first_ = true;  // text: no field written yet
  std::string prefix_;
};

// Date and time of the data as ISO 8601 ("1997-04-04T00:00:00Z"), empty when unknown.
std::string iso_time(const Date* d) {
  if (d == nullptr || d->year == IMISSING || d->month == IMISSING || d->day == IMISSING)
    return "";
  const int hour = d->hour == IMISSING ? 0 : d->hour;
  const int min = d->min == IMISSING ? 0 : d->min;
  const int sec = d->sec == IMISSING ? 0 : d->sec;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", d->year, d->month, d->day,
                hour, min, sec);
  return buf;
}

// Identification, location and time.
void add_station(Fields& f, const THERM_station& st) {
  const UPA_report* r = st.report;
  f.text("id", r ? r->id : "");
  f.integer("wmo", r ? r->wmo : IMISSING);
  f.num("lat_deg", r ? r->lat : MISSING);
  f.num("lon_deg", r ? r->lon : MISSING);
  f.num("elev_m", r ? r->elev : MISSING);
  const std::string t = iso_time(st.date);
  f.text("time_utc", t);
}

// "Sounding variables and indices": the sounding variables.
void add_sounding_variables(Fields& f, const THERM_record& r) {
  const THERM_values& v = r.values;
  f.num("thick_1000_500_m", v.thick);
  // The lowest freezing crossing; the tables list every one.
  const bool frz = !r.freezing.empty();
  f.put("frz_pres_mb", frz, frz ? r.freezing.front().p : MISSING);
  f.put("frz_hght_m", frz, frz ? r.freezing.front().h : MISSING);
  f.integer("frz_count", static_cast<int>(r.freezing.size()));
  const bool wb0 = v.wb0 != MISSING && v.wb0 != -1.0f;  // -1: below ground
  f.put("wb0_pres_mb", wb0, v.wb0);
  f.put("wb0_hght_m", wb0, r.wb0_h);
  f.num("precip_water_in", v.precip);
  f.num("mean_rh_sfc_500_pct", v.mean_rh);
  f.num("max_temp_c", v.max_t);
  const bool lcl = v.plcl > 0.0f;  // the height and temperature may still be missing
  f.put("lcl_pres_mb", lcl, v.plcl);
  f.put("lcl_hght_m", lcl, r.lcl.h);
  f.put("lcl_temp_c", lcl, r.lcl.t);
  f.num("lapse_700_500_ckm", v.lapse57);
  const bool te = v.thetae.index != MISSING;
  f.put("thetae_index_c", te, v.thetae.index);
  f.put("thetae_base_mb", te, v.thetae.base);
  f.put("thetae_top_mb", te, v.thetae.top);
  const bool ccl = v.ccl > 0.0f;
  f.put("ccl_pres_mb", ccl, v.ccl);
  f.put("ccl_hght_m", ccl, r.ccl_h);
  f.put("ccl_mixr_gkg", ccl, v.wbar);
  f.derived("conv_temp_c", ccl && v.ct != MISSING, v.ct - UNIT_C_TO_K);
}

// "Sounding variables and indices": the stability indices.
void add_stability(Fields& f, const THERM_record& r) {
  const THERM_values& v = r.values;
  f.num("cap_strength_c", v.cap);
  f.num("li_c", v.li);
  f.num("li_300_c", r.li300);
  f.num("li_700_c", r.li700);
  f.num("si_c", v.si);
  f.num("tt_c", v.tt);
  f.put("vt_c", v.tt != MISSING, r.vt);
  f.put("ct_c", v.tt != MISSING, r.ct);
  f.num("k_index_c", v.k);
  f.num("sweat_index", v.sweat);
  f.num("energy_index", v.ei);
}

// "Parcel Indices".
void add_parcel(Fields& f, const THERM_record& r) {
  const PARCEL_params& pc = r.values.parcel;
  switch (r.parcel.type) {
    case THERM_PAR_SFC: f.text("parcel", "sfc"); break;
    case THERM_PAR_LAYER: f.text("parcel", "layer"); break;
    case THERM_PAR_MAXT: f.text("parcel", "maxt"); break;
    default: f.text("parcel", "level"); break;
  }
  f.put("parcel_layer_mb", r.parcel.type == THERM_PAR_LAYER, r.parcel.thick);
  const bool level = r.parcel.type == THERM_PAR_LEVEL;
  f.put("parcel_pres_mb", level, r.par_used.p);
  f.put("parcel_temp_c", level, r.par_used.t);
  f.put("parcel_dewp_c", level, r.par_used.td);
  f.num("cape_jkg", pc.Bplus);
  f.num("wmax_ms", pc.wmax);
  f.num("cin_jkg", pc.Bminus);
  f.num("parcel_cap_c", pc.cap);
  f.num("parcel_lcl_pres_mb", pc.plcl);
  f.put("parcel_lcl_hght_m", pc.plcl != MISSING, r.parcel_lcl_h);
  const bool lfc = pc.lfc != MISSING && pc.lfc != -1.0f;  // -1: no free convection
  f.put("lfc_pres_mb", lfc, pc.lfc);
  f.put("lfc_hght_m", lfc, r.parcel_lfc_h);
  f.num("el_pres_mb", pc.el);
  f.put("el_hght_m", pc.el != MISSING, r.parcel_el_h);
  f.num("b_el_jkg", pc.Bel);
  f.num("mpl_pres_mb", pc.mpl);
  f.put("mpl_hght_m", pc.mpl != MISSING, r.parcel_mpl_h);
}

// The total of a positive and a negative part, missing when either is.
double total(float pos, float neg) {
  return pos == MISSING || neg == MISSING ? MISSING : static_cast<double>(pos) + neg;
}

// "Wind Parameters".
void add_wind(Fields& f, const UPA_sounding& s, const THERM_record& r) {
  const THERM_values& v = r.values;
  const SHEAR_params& sh = v.shear;
  const HELICITY_params& hl = v.helicity;
  const bool mean = s.mean6.dir != MISSING;
  f.put("mean_wind_0_6km_dir_deg", mean, s.mean6.dir);
  f.put("mean_wind_0_6km_spd_kt", mean, s.mean6.spd);
  const bool storm = s.storm.dir != MISSING;
  f.put("storm_dir_deg", storm, s.storm.dir);
  f.put("storm_spd_kt", storm, s.storm.spd);
  f.num("shear_0_3km_pos_per_s", sh.pos_shr);
  f.put("shear_0_3km_neg_per_s", sh.pos_shr != MISSING, sh.neg_shr);
  f.derived("shear_0_3km_tot_per_s", sh.pos_shr != MISSING, total(sh.pos_shr, sh.neg_shr));
  f.num("srdir_shear_0_3km_deg", hl.dir_shr);
  const bool hel = hl.pos_hel != MISSING;
  f.put("srh_0_3km_pos_m2s2", hel, hl.pos_hel);
  f.put("srh_0_3km_neg_m2s2", hel, hl.neg_hel);
  f.put("srh_0_3km_m2s2", hel, hl.tot_hel);
  const bool ave = hl.ave_hel != MISSING;
  f.put("srh_0_3km_ave_ms2", ave, hl.ave_hel);
  f.put("srh_0_3km_rel", ave, hl.rel_hel);
  const bool vort = hl.hor_vort != MISSING;
  f.put("vort_0_3km_horiz_per_s", vort, hl.hor_vort);
  f.put("vort_0_3km_stream_per_s", vort, hl.stm_vort);
  f.num("ehi", v.ehi);
  f.num("brn", v.brn);
  f.put("bulk_shear_ms", v.brn != MISSING, v.bshear);
}

// "Storm Parameters": one group of fields per layer depth.
void add_storm(Fields& f, const THERM_record& r) {
  for (std::size_t i = 0; i < r.storm_rows.size(); ++i) {
    const THERM_storm_row& row = r.storm_rows[i];
    f.prefix(std::string("layer_0_") + kDepthNames[i] + "_");
    f.put("mean_dir_deg", row.have_mean, row.mean.dir);
    f.put("mean_spd_kt", row.have_mean, row.mean.spd);
    f.put("inflow_dir_deg", row.have_mean, row.inflow.dir);
    f.put("inflow_spd_kt", row.have_mean, row.inflow.spd);
    f.put("shear_pos_per_s", row.have_shear, row.shear.pos_shr);
    f.put("shear_neg_per_s", row.have_shear, row.shear.neg_shr);
    f.derived("shear_tot_per_s", row.have_shear,
              total(row.shear.pos_shr, row.shear.neg_shr));
    const HELICITY_params& h = row.helicity;
    f.put("srh_pos_m2s2", row.have_helicity, h.pos_hel);
    f.put("srh_neg_m2s2", row.have_helicity, h.neg_hel);
    f.put("srh_m2s2", row.have_helicity, h.tot_hel);
    f.put("srh_ave_ms2", row.have_helicity, h.ave_hel);
    f.put("srh_rel", row.have_helicity, h.rel_hel);
    f.put("vort_horiz_per_s", row.have_helicity, h.hor_vort);
    f.put("vort_stream_per_s", row.have_helicity, h.stm_vort);
  }
  f.prefix("");
}

// "Severe Weather Parameters": the three virtual-temperature parcels, downdraft CAPE and
// the 0-3 and 3-6 km lapse rates (the 700-500 mb rate is lapse_700_500_ckm above), the
// Bunkers motions as u and v components (m/s, as computed; the table prints them as
// direction and knots), shear, helicity, the effective inflow layer and the composites.
void add_severe(Fields& f, const THERM_record& r) {
  const SEVERE_values& v = r.severe;
  const std::pair<const char*, const SEVERE_parcel*> parcels[] = {
      {"sb_", &v.sb}, {"ml_", &v.ml}, {"mu_", &v.mu}};
  for (const auto& [prefix, pc] : parcels) {
    f.prefix(prefix);
    f.num("vt_cape_jkg", pc->cape);
    f.num("vt_cin_jkg", pc->cin);
    f.num("vt_cape_0_3km_jkg", pc->cape3);
    f.num("vt_lcl_hght_agl_m", pc->lcl);
    f.num("vt_lfc_hght_agl_m", pc->lfc);
    f.num("vt_el_hght_agl_m", pc->el);
    f.num("vt_li_500_c", pc->li);
  }
  f.prefix("");
  f.num("mu_start_pres_mb", v.mu.p);
  f.num("dcape_jkg", v.dcape);
  f.num("lapse_0_3km_ckm", v.lapse03);
  f.num("lapse_3_6km_ckm", v.lapse36);
  const std::pair<const char*, const SEVERE_wind*> motions[] = {
      {"bunkers_mean_0_6km_", &v.mean6}, {"bunkers_right_", &v.right}, {"bunkers_left_", &v.left}};
  for (const auto& [prefix, w] : motions) {
    f.prefix(prefix);
    f.num("u_ms", w->u);
    f.num("v_ms", w->v);
  }
  f.prefix("");
  f.num("bwd_0_1km_ms", v.bwd1);
  f.num("bwd_0_6km_ms", v.bwd6);
  f.num("srh_rm_0_1km_m2s2", v.srh1);
  f.num("srh_rm_0_3km_m2s2", v.srh3);
  f.num("eff_inflow_base_agl_m", v.eff_base);
  f.num("eff_inflow_top_agl_m", v.eff_top);
  f.num("eff_srh_m2s2", v.esrh);
  f.num("eff_bwd_ms", v.ebwd);
  f.num("stp_fixed", v.stp_fixed);
  f.num("stp_effective", v.stp_eff);
  f.num("scp", v.scp);
}

// Every field of one station, in order. Absent parts of `st` give null values.
void add_fields(Fields& f, const THERM_station& st) {
  static const UPA_sounding kNoSounding;
  static const THERM_record kNoRecord;
  const UPA_sounding& s = st.sounding ? *st.sounding : kNoSounding;
  const THERM_record& r = st.record ? *st.record : kNoRecord;
  add_station(f, st);
  add_sounding_variables(f, r);
  add_stability(f, r);
  add_parcel(f, r);
  add_wind(f, s, r);
  add_storm(f, r);
  add_severe(f, r);
}

Json station_fields(const THERM_station& st) {
  Json j = Json::object();
  Fields f(&j);
  add_fields(f, st);
  return j;
}

// The fields of one sounding level, in the order of UPA_level.
struct LevelField {
  const char* name;
  float UPA_level::*member;
};
constexpr LevelField kLevelFields[] = {
    {"pres_mb", &UPA_level::p},    {"hght_m", &UPA_level::h},     {"temp_c", &UPA_level::t},
    {"dewp_c", &UPA_level::td},    {"wdir_deg", &UPA_level::dir}, {"wspd_kt", &UPA_level::spd},
};

// One sounding level as an object, missing values null.
void add_level(Fields& f, const UPA_level& l) {
  for (const LevelField& lf : kLevelFields) f.num(lf.name, l.*lf.member);
}

// A profile as an array of level objects, appended to JSON text.
void append_levels(std::string* text, const std::vector<UPA_level>& levels) {
  *text += '[';
  for (std::size_t k = 0; k < levels.size(); ++k) {
    if (k > 0) *text += ',';
    *text += '{';
    Fields f(text);
    add_level(f, levels[k]);
    *text += '}';
  }
  *text += ']';
}

// A CSV cell: strings quoted when they hold a comma, quote or line end (RFC 4180).
std::string csv_cell(const Json& v) {
  if (v.is_null()) return "";
  if (!v.is_string()) return v.dump();
  const std::string s = v.get<std::string>();
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

std::vector<std::string> THERM_field_names() {
  std::vector<std::string> names;
  const Json empty = station_fields(THERM_station{});
  for (const auto& item : empty.items()) names.push_back(item.key());
  return names;
}

// The object the library would print compactly (invalid UTF-8 in an identifier replaced
// rather than ending the run), written field by field.
std::string THERM_json_line(const THERM_station& st, bool levels) {
  std::string line = "{";
  Fields f(&line);
  add_fields(f, st);
  if (levels) {
    static const UPA_sounding kNoSounding;
    const UPA_sounding& s = st.sounding ? *st.sounding : kNoSounding;
    line += ",\"sounding\":";
    append_levels(&line, s.sm);
    line += ",\"winds\":";
    append_levels(&line, s.wm);
  }
  line += '}';
  return line;
}

std::string THERM_record_line(const THERM_station& st, const THERM_output& out) {
  std::string line = out.form == THERM_form::json ? THERM_json_line(st, out.levels) : THERM_csv_row(st);
  line += '\n';
  return line;
}

std::string THERM_csv_header() {
  std::string line;
  for (const std::string& name : THERM_field_names()) {
    if (!line.empty()) line += ',';
    line += name;
  }
  return line;
}

std::string THERM_csv_row(const THERM_station& st) {
  std::string line;
  bool first = true;
  const Json fields = station_fields(st);
  for (const auto& item : fields.items()) {
    if (!first) line += ',';
    first = false;
    line += csv_cell(item.value());
  }
  return line;
}
