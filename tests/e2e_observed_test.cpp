// e2e_observed_test.cpp — the real binary on two observed ascents, checked against the
// numbers their publishers print and against sums worked in the test itself.
//
// Fixtures (tests/data/observed/): Omaha (OAX) 19 UTC 16 June 2014, a special launch on a
// tornado-outbreak day, and Norman (OUN) 12 UTC 22 December 2018, a stable winter sounding,
// each in the converted text layout with its one-line upa.cty. Published values: the SPC
// observed-sounding table for Omaha (surface-parcel EL 45532 ft, about 150 mb) and the
// University of Wyoming indices for Norman (CAPE 0, CIN 0).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "run_parse.h"

namespace {

const std::string kObserved = ZUD_TEST_DATA "/observed/";

// A batch run of station `id` on `name`/`name`.upa in its own folder (for its upa.cty),
// with the wind table, and extra arguments (the parcel choice) before the file.
e2e::Run analyse(const std::string& name, const std::string& id,
                 const std::vector<std::string>& extra = {}) {
  e2e::Options opt;
  opt.cwd = kObserved + name;
  opt.env.push_back("zuddefault=" + kObserved + name);
  std::vector<std::string> args = {"-ba", "-me", "out3", "-id", id};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(name + ".upa");
  return e2e::run(args, opt);
}

// The first number after `label` on the line that starts with it; NAN when absent.
double value_after(const std::string& out, const std::string& label) {
  const size_t at = out.find("\n" + label);
  if (at == std::string::npos) return NAN;
  return std::strtod(out.c_str() + at + 1 + label.size(), nullptr);
}

struct WindRow {
  double h, u, v;  // height (m) and wind components (m/s)
};

// The ground-relative winds of the printed wind table: height, and the components worked
// here from the printed direction and speed (u = -V sin dir, v = -V cos dir).
std::vector<WindRow> wind_rows(const std::string& out) {
  std::vector<WindRow> rows;
  const size_t start = out.find("Wind level data");
  std::istringstream in(out.substr(start));
  std::string line;
  const std::regex row(R"(^\s*\d+\s+\d+\s+(\d+)\s+(\d+)\s+(\d+)\s+[-.\d]+\s+[-.\d]+\s*\|.*)");
  std::smatch m;
  while (std::getline(in, line)) {
    if (line.rfind("Wind Parameters", 0) == 0) break;
    if (!std::regex_match(line, m, row)) continue;
    const double dir = std::stod(m[2]) * M_PI / 180, spd = std::stod(m[3]) * 0.5144;
    rows.push_back({std::stod(m[1]), -spd * std::sin(dir), -spd * std::cos(dir)});
  }
  return rows;
}

}  // namespace

// Norman's winter air: no parcel reaches a level of free convection, so CAPE, inhibition
// and the updraft are 0 (published: CAPE 0, CIN 0), for the default 100 mb mixed parcel
// and for the surface parcel. The whole column's negative area (63040 and 81531 J/kg)
// is no inhibition, and the mixed parcel's warmth below its LCL (43.6 J/kg) no CAPE.
TEST(Observed, WinterSoundingHasNoCapeNoInhibition) {
  for (const auto& parcel : {std::vector<std::string>{}, std::vector<std::string>{"-plot_param", "par=sfc"}}) {
    e2e::Run r = analyse("oun20181222", "OUN", parcel);
    const std::string which = parcel.empty() ? "100 mb layer" : "surface";
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Lev Free Conv (LFC):     none\n"), std::string::npos) << which;
    EXPECT_NE(r.out.find("\nCAPE (B+):                 0.00 J/kg\n"), std::string::npos) << which;
    EXPECT_NE(r.out.find("\nMax Up Vert Vel:           0.00 m/s\n"), std::string::npos) << which;
    EXPECT_NE(r.out.find("\nConv Inhibition (B-):      0.00 J/kg\n"), std::string::npos) << which;
  }
}

// Omaha's surface parcel: a thin stable layer near 750 mb ends the first positive area,
// but the equilibrium level is the top of the highest one, near the published 150 mb
// (45532 ft), and the energy left there is most of the CAPE (not the 2.9 J/kg left at
// the thin layer).
TEST(Observed, OmahaSurfaceParcelEquilibriumLevelAloft) {
  e2e::Run r = analyse("oax20140616", "OAX", {"-plot_param", "par=sfc"});
  ASSERT_EQ(r.status, 0) << r.err;
  const double el = value_after(r.out, "Equ Level (EL):");
  const double cape = value_after(r.out, "CAPE (B+):");
  const double bel = value_after(r.out, "B at Equ Level:");
  EXPECT_LT(el, 200.0);
  EXPECT_GT(el, 120.0);
  EXPECT_GT(cape, 4000.0);  // published 5765 J/kg with the virtual-temperature correction
  EXPECT_GT(bel, 0.9 * cape);
  EXPECT_LE(bel, cape);
}

// Norman's 0-3 km storm-relative helicity against the helicity of the printed winds
// worked here: the hodograph between wind levels is straight (components linear in
// height), so the helicity is the sum over the levels of the cross products
// (v_k - cv)(u_k+1 - cu) - (v_k+1 - cv)(u_k - cu), with the last segment cut at the
// top (surface + 3000 m, plus the program's 10 m margin). The program's 100 m steps cut
// the corners at the levels and the table's heights are rounded to the metre: agreement
// within 3 %. (Interpolating direction and speed instead printed 354 m2/s2.)
TEST(Observed, WinterHelicityFromWindComponents) {
  e2e::Run r = analyse("oun20181222", "OUN");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::regex storm_re(R"(Storm direction:\s+([.\d]+) at\s+([.\d]+) knts)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, storm_re));
  const double sdir = std::stod(m[1]) * M_PI / 180, sspd = std::stod(m[2]) * 0.5144;
  const double cu = -sspd * std::sin(sdir), cv = -sspd * std::cos(sdir);
  std::vector<WindRow> w = wind_rows(r.out);
  ASSERT_GT(w.size(), 10u);
  const double top = w[0].h + 3000 + 10;
  double hel = 0.0;
  for (size_t k = 0; k + 1 < w.size() && w[k].h < top; ++k) {
    WindRow b = w[k + 1];
    if (b.h > top) {
      const double f = (top - w[k].h) / (b.h - w[k].h);
      b = {top, w[k].u + f * (b.u - w[k].u), w[k].v + f * (b.v - w[k].v)};
    }
    hel += (w[k].v - cv) * (b.u - cu) - (b.v - cv) * (w[k].u - cu);
  }
  const std::regex tot_re(R"(Storm rel helicity \(0-3000m\) pos:\s+[-.\d]+ neg:\s+[-.\d]+ tot:\s+([-.\d]+))");
  ASSERT_TRUE(std::regex_search(r.out, m, tot_re));
  EXPECT_NEAR(std::stod(m[1]), hel, 0.03 * std::fabs(hel)) << "component sum " << hel;
}
