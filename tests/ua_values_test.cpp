// Analysis values for scripts: the JSON lines parse for every station of every layout and
// carry the numbers the tables print; CSV rows all have the header's field count.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "e2e_scratch.h"
#include "zudscript.h"

namespace {

using nlohmann::json;

e2e::Options sample_run() {
  e2e::Options opt = e2e::clean_options();
  opt.cwd = ZUD_SAMPLE_DATA;
  opt.env.push_back(std::string("zuddefault=") + ZUD_TEST_DATA "/golden/");
  return opt;
}

e2e::Run parse(std::vector<std::string> args, const std::string& file) {
  args.insert(args.begin(), "-ba");
  args.push_back(file);
  return e2e::run(args, sample_run());
}

// Every station of the text layouts and of both netCDF layouts.
const std::vector<std::string> kFiles = {
    ZUD_SAMPLE_DATA "/sample.upa",     ZUD_TEST_DATA "/kind1.upa",
    ZUD_TEST_DATA "/kind2.upa",        ZUD_TEST_DATA "/kind3.upa",
    ZUD_TEST_DATA "/kind3_short.upa",  ZUD_TEST_DATA "/kind4.upa",
    ZUD_TEST_DATA "/kind5.upa",        ZUD_BUILD_DATA "/stations.nc",
    ZUD_BUILD_DATA "/reports.nc",
};

// A table line and the JSON fields of its numbers (those with a decimal point), in order;
// "" skips a number (the height in feet). `scale` turns the JSON unit into the printed one.
struct Line {
  const char* section;  // "index", "parcel", "wind" or "severe": the table of the line
  const char* label;    // the line's start
  std::vector<const char*> keys;
  double scale = 1.0;
  int width = 0;        // > 0: numbers in fixed fields of this width (blank when missing)
};
constexpr double kKnotsPerMs = 1.0 / 0.5144;  // the table prints speeds in knots
// A parcel row of the severe-weather table: seven fields of 7 after a 6-wide name.
Line severe_parcel(const char* label, const char* p) {
  static std::deque<std::string> names;  // the keys' storage: a deque never moves them
  std::vector<const char*> keys;
  for (const char* k : {"vt_cape_jkg", "vt_cin_jkg", "vt_cape_0_3km_jkg", "vt_lcl_hght_agl_m",
                        "vt_lfc_hght_agl_m", "vt_el_hght_agl_m", "vt_li_500_c"}) {
    names.push_back(std::string(p) + k);
    keys.push_back(names.back().c_str());
  }
  return {"severe", label, keys, 1.0, 7};
}
const std::vector<Line> kLines = {
    {"index", "Latitude:", {"lat_deg"}},
    {"index", "Longitude:", {"lon_deg"}},
    {"index", "Elevation:", {"elev_m"}},
    {"index", "1000-500 mb thick:", {"thick_1000_500_m"}},
    {"index", "Wetbulb zero:", {"wb0_pres_mb", "wb0_hght_m"}},
    {"index", "Precipitable water:", {"precip_water_in"}},
    {"index", "Sfc-500 mean rel hum:", {"mean_rh_sfc_500_pct"}},
    {"index", "Est. max temperature:", {"max_temp_c"}},
    {"index", "Sfc-Lift cond lev (LCL):", {"lcl_pres_mb", "lcl_hght_m", "", "lcl_temp_c"}},
    {"index", "700-500 lapse rate:", {"lapse_700_500_ckm"}},
    {"index", "ThetaE index:", {"thetae_index_c", "thetae_base_mb", "thetae_top_mb"}},
    {"index", "Conv cond level (CCL):", {"ccl_pres_mb", "ccl_hght_m"}},
    {"index", "  Mean mixing ratio:", {"ccl_mixr_gkg"}},
    {"index", "  Conv temperature:", {"conv_temp_c"}},
    {"index", "Cap Strength:", {"cap_strength_c"}},
    {"index", "Lifted Index:", {"li_c"}},
    {"index", "Lifted Index @300 mb:", {"li_300_c"}},
    {"index", "Lifted Index @700 mb:", {"li_700_c"}},
    {"index", "Showalter Index:", {"si_c"}},
    {"index", "Total Totals Index:", {"tt_c"}},
    {"index", "  Vertical Totals Index:", {"vt_c"}},
    {"index", "  Cross Totals Index:", {"ct_c"}},
    {"index", "K Index:", {"k_index_c"}},
    {"index", "Sweat Index:", {"sweat_index"}},
    {"index", "Energy Index:", {"energy_index"}},
    {"parcel", "CAPE (B+):", {"cape_jkg"}},
    {"parcel", "Max Up Vert Vel:", {"wmax_ms"}},
    {"parcel", "Conv Inhibition (B-):", {"cin_jkg"}},
    {"parcel", "Cap Strength:", {"parcel_cap_c"}},
    {"parcel", "Lift Cond Lev (LCL):", {"parcel_lcl_pres_mb", "parcel_lcl_hght_m"}},
    {"parcel", "Lev Free Conv (LFC):", {"lfc_pres_mb", "lfc_hght_m"}},
    {"parcel", "Equ Level (EL):", {"el_pres_mb", "el_hght_m"}},
    {"parcel", "B at Equ Level:", {"b_el_jkg"}},
    {"parcel", "Max Parcel Lev (MPL):", {"mpl_pres_mb", "mpl_hght_m"}},
    {"wind", "Mean winds (0-6000m):", {"mean_wind_0_6km_dir_deg", "mean_wind_0_6km_spd_kt"}},
    {"wind", "Storm direction:", {"storm_dir_deg", "storm_spd_kt"}},
    {"wind", "Shear (0-3000m)", {"shear_0_3km_pos_per_s", "shear_0_3km_neg_per_s",
                                 "shear_0_3km_tot_per_s"}, 1000.0},
    {"wind", "Storm rel Dir Shear (0-3000m):", {"srdir_shear_0_3km_deg"}},
    {"wind", "Storm rel helicity (0-3000m) pos:", {"srh_0_3km_pos_m2s2", "srh_0_3km_neg_m2s2",
                                                   "srh_0_3km_m2s2"}},
    {"wind", "Energy-Hel index:", {"ehi"}},
    {"wind", "Bulk Rich Number:", {"brn"}},
    {"wind", "Bulk Shear:", {"bulk_shear_ms"}},
    severe_parcel("SB    ", "sb_"),
    severe_parcel("ML    ", "ml_"),
    severe_parcel("MU    ", "mu_"),
    {"severe", "MU parcel level:", {"mu_start_pres_mb"}},
    {"severe", "Lapse rate 0-3 km:", {"lapse_0_3km_ckm"}},
    {"severe", "Lapse rate 3-6 km:", {"lapse_3_6km_ckm"}},
    {"severe", "Lapse rate 700-500 mb:", {"lapse_700_500_ckm"}},
    {"severe", "Bulk wind diff 0-1 km:", {"bwd_0_1km_ms"}, kKnotsPerMs},
    {"severe", "Bulk wind diff 0-6 km:", {"bwd_0_6km_ms"}, kKnotsPerMs},
    {"severe", "Storm rel helicity 0-1 km:", {"srh_rm_0_1km_m2s2"}},
    {"severe", "Storm rel helicity 0-3 km:", {"srh_rm_0_3km_m2s2"}},
    {"severe", "Effective helicity:", {"eff_srh_m2s2"}},
    {"severe", "Effective bulk wind diff:", {"eff_bwd_ms"}, kKnotsPerMs},
    {"severe", "Sig tornado (fixed layer):", {"stp_fixed"}},
    {"severe", "Sig tornado (effective):", {"stp_effective"}},
    {"severe", "Supercell composite:", {"scp"}},
};

// The numbers of a line in fixed fields of `width`, "" for a blank field.
std::vector<std::string> field_numbers(const std::string& line, int width) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < line.size(); at += static_cast<std::size_t>(width)) {
    std::string f = line.substr(at, static_cast<std::size_t>(width));
    f.erase(0, f.find_first_not_of(' '));
    out.push_back(f);
  }
  return out;
}

// The numbers with a decimal point in a table line, as printed.
std::vector<std::string> printed_numbers(const std::string& line) {
  // A minus sign right after a digit is the dash of a range ("1015.0-1015.0").
  static const std::regex number(R"(([^\d.]|^)(-?\d+\.\d+))");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(line.begin(), line.end(), number); it != std::sregex_iterator();
       ++it)
    out.push_back((*it)[2].str());
  return out;
}

// The table sections of one run, one per station (split at "Searching for").
std::vector<std::string> station_sections(const std::string& out) {
  std::vector<std::string> parts;
  std::size_t at = out.find("Searching for ");
  while (at != std::string::npos) {
    const std::size_t next = out.find("Searching for ", at + 1);
    parts.push_back(out.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  return parts;
}

// Checks one station's JSON against its tables: every listed line that is printed has
// each number equal to the JSON value printed with the same number of decimals (the check
// is the table's own rounding of the JSON number); every value the tables do not print
// is null.
void expect_same_numbers(const json& rec, const std::string& tables, const std::string& where) {
  std::map<std::string, bool> seen;
  std::istringstream in(tables);
  std::string section = "index";
  for (std::string line; std::getline(in, line);) {
    if (line == "Parcel Indices") section = "parcel";
    if (line == "Wind Parameters") section = "wind";
    if (line == "Severe Weather Parameters") section = "severe";
    for (const Line& l : kLines) {
      if (section != l.section || line.rfind(l.label, 0) != 0) continue;
      // A line with words instead of numbers ("Below ground", "none") has null values.
      const std::string rest = line.substr(std::strlen(l.label));
      const std::vector<std::string> nums =
          l.width > 0 ? field_numbers(rest, l.width) : printed_numbers(rest);
      for (std::size_t i = 0; i < l.keys.size(); ++i) {
        if (*l.keys[i] == '\0') continue;
        seen[l.keys[i]] = true;
        const json& v = rec.at(l.keys[i]);
        if (i >= nums.size() || nums[i].empty() || nums[i] == "-") {
          EXPECT_TRUE(v.is_null()) << where << ": " << l.keys[i] << " in " << line;
          continue;
        }
        ASSERT_TRUE(v.is_number()) << where << ": " << l.keys[i] << " in " << line;
        const std::size_t dot = nums[i].find('.');
        const int decimals = dot == std::string::npos ? 0 : static_cast<int>(nums[i].size() - dot - 1);
        char buf[64];
        // The JSON numbers are the records' floats in their shortest form: read back
        // as a float, then printed as the table prints it.
        const double value = static_cast<float>(v.get<double>());
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value * l.scale);
        // A printed "-0.0" and a computed "0.0" are the same value.
        EXPECT_EQ(std::stod(buf), std::stod(nums[i])) << where << ": " << l.keys[i] << " in "
                                                      << line;
      }
    }
  }
  for (const Line& l : kLines) {
    for (const char* key : l.keys) {
      if (*key != '\0' && !seen[key]) {
        EXPECT_TRUE(rec.at(key).is_null()) << where << ": " << key << " not printed";
      }
    }
  }
}

TEST(ValuesJson, EveryLayoutParsesAndMatchesTheTables) {
  for (const std::string& file : kFiles) {
    const e2e::Run tables = parse({"-me", "out4", "-id", "all"}, file);
    const e2e::Run lines = parse({"-pa", "json", "-id", "all"}, file);
    ASSERT_EQ(lines.status, 0) << file;
    const std::vector<std::string> sections = station_sections(tables.out);
    std::istringstream in(lines.out);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line); ++n) {
      const json rec = json::parse(line, nullptr, false);
      ASSERT_FALSE(rec.is_discarded()) << file << " line " << n;
      ASSERT_TRUE(rec.is_object()) << file;
      ASSERT_LT(n, sections.size()) << file;
      EXPECT_TRUE(e2e::has(sections[n], "Station: " + rec.at("id").get<std::string>() + "\n"))
          << file << " station " << n;
      expect_same_numbers(rec, sections[n], file + " " + rec.at("id").get<std::string>());
    }
    EXPECT_GT(n, 0u) << file;
    EXPECT_EQ(n, sections.size()) << file;
  }
}

// With "levels" the merged sounding and wind profile follow as arrays, one object per
// level: the sample's OAX listing starts at 1000 mb, 7 m (below ground, in the table too).
TEST(ValuesJson, Levels) {
  const e2e::Run r = parse({"-pa", "json,levels", "-id", "OAX"}, "sample.upa");
  ASSERT_EQ(r.status, 0);
  const json rec = json::parse(r.out);
  ASSERT_TRUE(rec.at("sounding").is_array());
  ASSERT_TRUE(rec.at("winds").is_array());
  EXPECT_EQ(rec["sounding"][0]["pres_mb"], 1000.0);
  EXPECT_EQ(rec["sounding"][0]["hght_m"], 7.0);
  EXPECT_TRUE(rec["sounding"][0]["temp_c"].is_null());
  // The first wind level is the surface: 962 mb, 350 m, 170 deg at 18 knots (the README's
  // wind table, row 0).
  EXPECT_EQ(rec["winds"][0]["wdir_deg"], 170.0);
  EXPECT_EQ(rec["winds"][0]["wspd_kt"], 18.0);
  const e2e::Run plain = parse({"-pa", "json", "-id", "OAX"}, "sample.upa");
  EXPECT_FALSE(json::parse(plain.out).contains("sounding"));
}

// The fields of a CSV line, with RFC 4180 quotes.
std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      out.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

TEST(ValuesCsv, SameFieldCountOnEveryRow) {
  const std::vector<std::string> names = THERM_field_names();
  // Every name once: a record never holds the same field twice.
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
  for (const std::string& file : kFiles) {
    const e2e::Run r = parse({"-pa", "csv", "-id", "all"}, file);
    ASSERT_EQ(r.status, 0) << file;
    std::istringstream in(r.out);
    std::string header;
    ASSERT_TRUE(std::getline(in, header)) << file;
    EXPECT_EQ(csv_fields(header), names) << file;
    int rows = 0;
    for (std::string line; std::getline(in, line); ++rows)
      EXPECT_EQ(csv_fields(line).size(), names.size()) << file << " row " << rows;
    EXPECT_GT(rows, 0) << file;
  }
}

// Cells: a missing value is empty, text with a comma or quote is quoted with the quote
// doubled; the same record in JSON has null and the plain text.
TEST(ValuesCsv, Cells) {
  UPA_report rep{};
  std::snprintf(rep.id, sizeof rep.id, "%s", "A,\"B");
  rep.wmo = IMISSING;
  rep.lat = 41.5f;
  rep.lon = rep.elev = MISSING;
  const THERM_station st{&rep, nullptr, nullptr, nullptr};
  const std::vector<std::string> cells = csv_fields(THERM_csv_row(st));
  ASSERT_EQ(cells.size(), THERM_field_names().size());
  EXPECT_EQ(cells[0], "A,\"B");
  EXPECT_EQ(cells[1], "");
  EXPECT_EQ(cells[2], "41.5");
  EXPECT_EQ(THERM_csv_row(st).substr(0, 11), "\"A,\"\"B\",,41");
  const json rec = json::parse(THERM_json_line(st, false));
  EXPECT_EQ(rec["id"], "A,\"B");
  EXPECT_TRUE(rec["wmo"].is_null());
  EXPECT_TRUE(rec["cape_jkg"].is_null());
}

// A JSON line is written field by field; it must be exactly the library's compact print of
// the same object: parsing it and printing it again (floats as floats, keys in their
// order) gives the line back. Special values: text to escape and invalid UTF-8 in the
// identifier, a negative zero, tiny and huge floats, not-a-number and infinite values
// (null, as the library prints them), levels with missing values, and no levels at all.
TEST(ValuesJson, LineIsTheLibrarysPrint) {
  using Ordered = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                       std::int64_t, std::uint64_t, float>;
  UPA_report rep{};
  std::snprintf(rep.id, sizeof rep.id, "%s", "Q\"\\\t\xff");
  rep.wmo = 72558;
  rep.lat = -0.0f;
  rep.lon = 1e-38f;
  rep.elev = 3.4e38f;
  THERM_record rec;
  rec.values.li = std::nanf("");
  rec.values.k = INFINITY;
  rec.values.tt = 44.7f;
  rec.values.thick = 5512.3f;
  UPA_sounding snd;
  snd.sm = {UPA_level{1000.0f, 110.0f, 20.5f, MISSING, 180.0f, 10.0f},
            UPA_level{850.0f, 1500.0f, 12.25f, 9.125f, MISSING, MISSING}};
  Date day{};
  day.year = 1997;
  day.month = 4;
  day.day = 4;
  day.hour = 12;
  for (const THERM_station& st : {THERM_station{&rep, &day, &snd, &rec},
                                  THERM_station{&rep, nullptr, nullptr, nullptr}}) {
    for (const bool levels : {false, true}) {
      const std::string line = THERM_json_line(st, levels);
      const Ordered parsed = Ordered::parse(line, nullptr, true, false);
      EXPECT_EQ(parsed.dump(-1, ' ', false, Ordered::error_handler_t::replace), line) << line.substr(0, 200);
    }
  }
  const json plain = json::parse(THERM_json_line({&rep, &day, &snd, &rec}, true));
  EXPECT_TRUE(plain["li_c"].is_null());
  EXPECT_TRUE(plain["k_index_c"].is_null());
  EXPECT_EQ(plain["sounding"][1]["dewp_c"], 9.125);
  EXPECT_TRUE(plain["sounding"][0]["dewp_c"].is_null());
}

}  // namespace
