// Merging a report's mandatory, significant and wind levels into the thermodynamic and
// wind profiles, and the merge of a whole report with its write-backs.
//
// The reports are built by hand: a stable sounding (potential temperature rising with
// height) so that only the levels a case makes bad are screened out.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "fresh_state.h"
#include "zudresrc.h"
#include "zudsnd.h"
#include "zudupa.h"

namespace {

constexpr float M = MISSING;

// Mandatory pressures (mb), heights (m) and temperatures (C) of slots 1..21.
constexpr float kManP[22] = {M,   1000, 925, 850, 700, 500, 400, 300, 250, 200, 150,
                             100, 70,   50,  30,  20,  10,  7,   5,   3,   2,   1};
constexpr float kManH[22] = {M,     100,   770,   1490,  3000,  5600,  7200,  9200,
                             10400, 11800, 13600, 16200, 18500, 20600, 23800, 26400,
                             31000, 33500, 35800, 39000, 42500, 48000};
constexpr float kManT[22] = {M,   15,  10,  5,   -3,  -18, -28, -42, -50, -55, -55,
                             -55, -55, -55, -55, -55, -55, -55, -55, -55, -55, -55};

UPA_report blank_report() {
  UPA_report r;
  std::memset(&r, 0, sizeof r);
  std::snprintf(r.id, sizeof r.id, "%s", "TST");
  r.wmo = IMISSING;
  r.lat = r.lon = r.elev = M;
  for (auto& lev : r.man) lev = {M, M, M, M, M, M};
  return r;
}

// A report with the surface at sfc_p and the mandatory slots 1..top (all with winds).
UPA_report standard_report(float sfc_p, float elev, int top = 16) {
  UPA_report r = blank_report();
  r.elev = elev;
  r.man[0] = {sfc_p, elev, 16, 10, 180, 5};
  for (int k = 1; k <= top; ++k)
    r.man[k] = {kManP[k], kManH[k], kManT[k], kManT[k] - 5, 200.0f + k, 10.0f + k};
  r.numman = top + 1;
  return r;
}

void add_sig(UPA_report& r, float p, float t, float td) { r.sig[r.numsig++] = {p, t, td}; }
void add_wnd(UPA_report& r, float h_ft, float dir, float spd) { r.wnd[r.numwnd++] = {h_ft, dir, spd}; }

struct Merged {
  std::vector<UPA_level> lev = std::vector<UPA_level>(UPA_MAX_LEVELS);
  int man[UPA_MAN_INDEX];
  int n = 0;
};

Merged sm_merge(UPA_report& r) {
  Merged m;
  m.n = UPA_sm_merge(&r, m.lev.data(), m.man);
  return m;
}

Merged wm_merge(UPA_report& r) {
  Merged m;
  m.n = UPA_wm_merge(&r, m.lev.data(), m.man);
  return m;
}

// Every map entry points inside the profile at a level with its slot's pressure.
void expect_maps_consistent(const UPA_report& r, const Merged& m, const char* why) {
  for (int k = 0; k < UPA_MAN_INDEX; ++k) {
    if (m.man[k] == IMISSING) continue;
    ASSERT_GE(m.man[k], 0) << why << " slot " << k;
    ASSERT_LT(m.man[k], m.n) << why << " slot " << k;
    EXPECT_FLOAT_EQ(m.lev[m.man[k]].p, r.man[k].p) << why << " slot " << k;
  }
}

// Position of the level at pressure p, -1 when none.
int find_p(const Merged& m, float p) {
  for (int i = 0; i < m.n; ++i)
    if (m.lev[i].p == p) return i;
  return -1;
}

}  // namespace

// Surface at 985 mb below a reported 1000 mb level: the thermodynamic profile starts
// with 1000 mb, then the surface; the wind profile leaves 1000 mb (underground) out.
TEST(UpaSmMerge, SurfaceAbove1000) {
  UPA_report r = standard_report(985, 250);
  add_sig(r, 985, 16, 10);   // the surface again, as significant levels begin
  add_sig(r, 950, 13, 8);
  add_sig(r, 800, 2, -5);
  Merged m = sm_merge(r);
  ASSERT_EQ(m.n, 16 + 1 + 2);  // 16 mandatory, the surface, two significant levels
  const float want[] = {1000, 985, 950, 925, 850, 800, 700};
  for (int i = 0; i < 7; ++i) EXPECT_FLOAT_EQ(m.lev[i].p, want[i]) << i;
  EXPECT_EQ(m.man[0], 1);
  EXPECT_EQ(m.man[1], 0);
  EXPECT_EQ(m.man[2], 3);
  EXPECT_EQ(m.lev[2].h, M);  // a significant level carries no height
  expect_maps_consistent(r, m, "985 surface");

  r.man[0].h = 250;
  Merged w = wm_merge(r);
  EXPECT_EQ(find_p(w, 1000), -1);
  EXPECT_EQ(w.man[1], IMISSING);
  EXPECT_EQ(w.man[0], 0);
  EXPECT_FLOAT_EQ(w.lev[0].h, 250);
  expect_maps_consistent(r, w, "985 surface winds");
}

// A surface exactly at a mandatory pressure is one level with the surface's values,
// indexed by the surface slot and the mandatory slot.
TEST(UpaSmMerge, SurfaceAtMandatory) {
  UPA_report r = standard_report(850, 1490);
  r.man[0].t = 6;
  add_sig(r, 850, 6, 0);
  add_sig(r, 800, 2, -5);
  Merged m = sm_merge(r);
  EXPECT_EQ(m.n, 16 + 1);  // no extra level for the surface or its significant twin
  EXPECT_EQ(m.man[0], 2);
  EXPECT_EQ(m.man[3], 2);
  EXPECT_FLOAT_EQ(m.lev[2].t, 6);    // the surface's temperature, not 850 mb's 5 C
  EXPECT_FLOAT_EQ(m.lev[2].dir, 180);
  EXPECT_FLOAT_EQ(m.lev[3].p, 800);
  expect_maps_consistent(r, m, "surface at 850");
}

// Significant levels below a surface that shares a mandatory pressure must not take the
// surface's place: the surface stays in the profile above them.
TEST(UpaSmMerge, SignificantBelowSharedSurface) {
  UPA_report r = standard_report(850, 1490);
  add_sig(r, 870, 7, 0);  // below the ground: a bad report, but no lost surface
  Merged m = sm_merge(r);
  const int s = m.man[0];
  ASSERT_GE(s, 0);
  EXPECT_FLOAT_EQ(m.lev[s].t, 16);
  EXPECT_EQ(m.man[3], s);
  EXPECT_FLOAT_EQ(m.lev[s - 1].p, 870);
  expect_maps_consistent(r, m, "significant below the surface");
}

// A significant level at a mandatory pressure is dropped: the mandatory level wins.
TEST(UpaSmMerge, SignificantAtMandatory) {
  UPA_report r = standard_report(1000, 100);
  add_sig(r, 1000, 15, 10);
  add_sig(r, 700, -2.5f, -9);
  Merged m = sm_merge(r);
  EXPECT_EQ(m.n, 16);
  const int i = find_p(m, 700);
  ASSERT_GE(i, 0);
  EXPECT_FLOAT_EQ(m.lev[i].t, -3);   // the mandatory temperature
  EXPECT_FLOAT_EQ(m.lev[i].h, 3000);
  EXPECT_NE(m.lev[i + 1].p, 700);    // only once
}

// The tropopause overwrites a level at its pressure but keeps that level's height, is
// inserted with no height between levels, or goes to the bottom when below them all.
TEST(UpaSmMerge, Tropopause) {
  struct Case { float p; int pos; int n; float h; const char* why; };
  const Case cases[] = {
      {250, 7, 16, 10400, "coincides with 250 mb: height kept"},
      {230, 8, 17, M, "between 250 and 200 mb: inserted without height"},
      {1050, 0, 17, M, "below the ground: inserted at the bottom, nothing read past"},
      {0.5f, -1, 16, M, "above every level: not placed"},
  };
  for (const auto& c : cases) {
    UPA_report r = standard_report(1000, 100);
    r.man[22] = {c.p, M, -52, -60, 270, 80};
    Merged m = sm_merge(r);
    EXPECT_EQ(m.n, c.n) << c.why;
    EXPECT_EQ(m.man[22], c.pos == -1 ? IMISSING : c.pos) << c.why;
    if (c.pos < 0) continue;
    EXPECT_FLOAT_EQ(m.lev[c.pos].t, -52) << c.why;
    EXPECT_FLOAT_EQ(m.lev[c.pos].dir, 270) << c.why;
    EXPECT_FLOAT_EQ(m.lev[c.pos].h, c.h) << c.why;
    expect_maps_consistent(r, m, c.why);
  }
}

// The maximum wind takes its wind at its level; a coinciding level keeps its observed
// temperature and dew point, an inserted one interpolates both in ln(p):
// at 600 mb between 700 mb (-3 C) and 500 mb (-18 C): -3 - 15*ln(700/600)/ln(700/500)
// = -9.872 C; dew points 5 K lower give -14.872 C.
TEST(UpaSmMerge, MaximumWind) {
  UPA_report r = standard_report(1000, 100);
  r.man[23] = {600, M, M, M, 250, 95};
  Merged m = sm_merge(r);
  ASSERT_EQ(m.man[23], 4);  // the surface shares 1000 mb: slot k sits at k - 1
  EXPECT_FLOAT_EQ(m.lev[4].dir, 250);
  EXPECT_NEAR(m.lev[4].t, -9.872, 1e-3);
  EXPECT_NEAR(m.lev[4].td, -14.872, 1e-3);
  EXPECT_EQ(m.man[5], 5);  // 500 mb moved up one place
  expect_maps_consistent(r, m, "inserted maximum wind");

  UPA_report same = standard_report(1000, 100);
  same.man[23] = {700, M, M, M, 250, 95};
  same.man[4].td = M;  // only the dew point needs a value
  Merged s = sm_merge(same);
  ASSERT_EQ(s.man[23], 3);
  EXPECT_EQ(s.man[4], 3);
  EXPECT_FLOAT_EQ(s.lev[3].t, -3);  // observed, not interpolated
  // td between 850 mb (0 C) and 500 mb (-23 C): 0 + 23*ln(700/850)/ln(850/500) = -8.416 C.
  EXPECT_NEAR(s.lev[3].td, -8.416, 1e-3);
  EXPECT_FLOAT_EQ(s.lev[3].spd, 95);

  UPA_report low = standard_report(1000, 100);
  low.man[23] = {1050, M, M, M, 250, 95};
  Merged b = sm_merge(low);
  ASSERT_EQ(b.man[23], 0);
  EXPECT_EQ(b.lev[0].t, M);  // no level below to interpolate from
}

// Superadiabatic screening. theta(1000 mb, 15 C) = 288.15 K; at 950 mb
// theta = (t + 273.15) * 1.014778 (= (1000/950)^0.286): t = 6.862 C is 4 K colder,
// t = 7.85 C is 2.99 K colder (just inside the 3 K allowed).
TEST(UpaSmMerge, Superadiabatic) {
  struct Case { float t; bool kept; const char* why; };
  const Case cases[] = {
      {6.862f, false, "4 K colder than the level below: removed"},
      {7.85f, true, "3 K colder: kept"},
      {M, false, "no temperature above a valid one: removed"},
  };
  for (const auto& c : cases) {
    UPA_report r = standard_report(1000, 100);
    r.man[0].t = 15;
    add_sig(r, 1000, 15, 10);
    add_sig(r, 950, c.t, 0);
    Merged m = sm_merge(r);
    EXPECT_EQ(find_p(m, 950) >= 0, c.kept) << c.why;
    EXPECT_EQ(m.n, c.kept ? 17 : 16) << c.why;
    EXPECT_EQ(m.man[2], c.kept ? 2 : 1) << c.why;  // 925 mb follows the removal down
    expect_maps_consistent(r, m, c.why);
  }
  // Levels without a temperature at the bottom stay (nothing to compare them with).
  UPA_report r = standard_report(985, 250);
  r.man[1].t = M;
  Merged m = sm_merge(r);
  EXPECT_FLOAT_EQ(m.lev[0].p, 1000);
  EXPECT_EQ(m.man[1], 0);
}

// Wind levels at or below the station, without a direction, or at the surface's raw
// height 0 stay out; levels above the last mandatory level are appended; a mandatory
// level without height sits at its standard-atmosphere height,
// (288.15 - 288.15*(500/1013.25)^0.190263)/0.0065 = 5574.43 m.
TEST(UpaWmMerge, WindLevels) {
  UPA_report r = standard_report(985, 304.8f, 11);  // mandatory up to 100 mb
  r.man[5].h = M;
  add_wnd(r, 0, 170, 4);         // surface wind: the surface entry carries it
  add_wnd(r, 500, 175, 6);       // 152 m: below the station
  add_wnd(r, 1000, 178, 7);      // 304.8 m: at the station
  add_wnd(r, 2000, 185, 9);      // 609.6 m: kept
  add_wnd(r, 3000, M, 9);        // no direction
  add_wnd(r, 60000, 270, 40);    // 18288 m: above 100 mb (16200 m), appended
  add_wnd(r, 70000, M, 40);      // appended only with a direction
  Merged w = wm_merge(r);
  ASSERT_EQ(w.n, 1 + 1 + 10 + 1);  // surface, 609.6 m, 925..100 mb, 18288 m
  EXPECT_FLOAT_EQ(w.lev[0].h, 304.8f);
  EXPECT_FLOAT_EQ(w.lev[0].dir, 180);
  EXPECT_NEAR(w.lev[1].h, 609.6, 1e-3);
  EXPECT_FLOAT_EQ(w.lev[1].dir, 185);
  EXPECT_EQ(w.lev[1].p, M);
  EXPECT_FLOAT_EQ(w.lev[2].p, 925);
  EXPECT_NEAR(w.lev[w.man[5]].h, 5574.43, 0.01);
  EXPECT_NEAR(w.lev[w.n - 1].h, 18288, 1e-2);
  for (int i = 1; i < w.n; ++i) EXPECT_GT(w.lev[i].h, w.lev[i - 1].h) << i;
  expect_maps_consistent(r, w, "winds");
}

// The tropopause and maximum wind enter the wind profile by height, only when their
// height is known.
TEST(UpaWmMerge, TropopauseAndMaxWind) {
  UPA_report r = standard_report(1000, 100);
  r.man[22] = {230, 11000, -52, -60, 270, 80};   // between 250 and 200 mb
  r.man[23] = {250, 10400, -50, -55, 265, 95};   // the height of 250 mb: overwrites it
  Merged w = wm_merge(r);
  EXPECT_EQ(w.n, 17 + 1);
  ASSERT_GE(w.man[22], 0);
  EXPECT_FLOAT_EQ(w.lev[w.man[22]].h, 11000);
  EXPECT_FLOAT_EQ(w.lev[w.man[22] - 1].h, 10400);
  EXPECT_EQ(w.man[23], w.man[8]);
  EXPECT_FLOAT_EQ(w.lev[w.man[23]].spd, 95);
  expect_maps_consistent(r, w, "trop and max wind");

  r.man[22].h = M;
  r.man[23].h = M;
  Merged n = wm_merge(r);
  EXPECT_EQ(n.n, 17);
  EXPECT_EQ(n.man[22], IMISSING);
  EXPECT_EQ(n.man[23], IMISSING);
  EXPECT_FLOAT_EQ(n.lev[n.man[8]].spd, 18);  // 250 mb keeps its own wind
}

// A report with only significant levels: the profile is those levels, the first with
// the station elevation when below 500 mb, and no slot in the map.
TEST(UpaSmMerge, OnlySignificant) {
  UPA_report r = blank_report();
  r.man[0].h = 200;
  add_sig(r, 995, 20, 10);
  add_sig(r, 900, 14, 5);
  add_sig(r, M, 10, 0);  // no pressure: no place in the profile
  add_sig(r, 800, 8, 0);
  Merged m = sm_merge(r);
  ASSERT_EQ(m.n, 3);
  EXPECT_FLOAT_EQ(m.lev[0].h, 200);
  EXPECT_EQ(m.lev[1].h, M);
  EXPECT_FLOAT_EQ(m.lev[2].p, 800);
  for (int k = 0; k < UPA_MAN_INDEX; ++k) EXPECT_EQ(m.man[k], IMISSING) << k;
  UPA_report upper = blank_report();
  upper.man[0].h = 200;
  add_sig(upper, 450, -25, -35);
  EXPECT_EQ(sm_merge(upper).lev[0].h, M);  // an upper part is not at the ground

  // Through the whole merge: the surface pressure is 1000 mb, and 995 mb is within the
  // tolerance of 1000 mb, so the surface level is a copy of 995 mb.
  r.elev = 200;
  EXPECT_EQ(UPA_merge_report(&r), 1);
  EXPECT_FLOAT_EQ(THERM_get_sfc()->p, 995);
  EXPECT_FLOAT_EQ(THERM_get_sfc()->h, 200);
}

// The largest merge: surface, 21 mandatory levels, 200 significant levels, tropopause
// and maximum wind inserted = 224 levels; 22 mandatory winds, 100 wind levels, the two
// entries = 124 wind levels. Both within the 300-level profiles (checked under ASan).
TEST(UpaMerge, LargestMerge) {
  UPA_report r = standard_report(1013, 10, 21);
  for (int k = 1; k <= 21; ++k) r.man[k].t = -20;
  r.man[0].t = -20;
  for (int i = 0; i < UPA_MAX_SIG; ++i) add_sig(r, 1012 - 5.05f * i, -20, -25);  // none mandatory
  for (int i = 0; i < UPA_MAX_WND; ++i) add_wnd(r, 100 + 1499.3f * i, 250, 30);
  r.man[22] = {215.3f, 11500.5f, -20, -25, 270, 60};
  r.man[23] = {245.7f, 10300.3f, -20, -25, 260, 90};
  Merged m = sm_merge(r);
  EXPECT_EQ(m.n, 224);
  expect_maps_consistent(r, m, "largest");
  for (int i = 1; i < m.n; ++i) EXPECT_LT(m.lev[i].p, m.lev[i - 1].p) << i;
  r.man[0].h = 10;
  Merged w = wm_merge(r);
  EXPECT_EQ(w.n, 124);
  expect_maps_consistent(r, w, "largest winds");
  EXPECT_EQ(UPA_merge_report(&r), 1);

  // Counts beyond the arrays are clamped, not followed.
  UPA_report big = r;
  big.numsig = 100000;
  big.numwnd = 100000;
  EXPECT_LE(sm_merge(big).n, 224);
  EXPECT_LE(wm_merge(big).n, 124);
  EXPECT_EQ(UPA_merge_report(&big), 1);
}

// Reports that cannot make a sounding, and small or disordered ones: no crash, nothing
// handed over for an empty profile.
TEST(UpaMerge, BadReports) {
  UPA_report empty = blank_report();
  EXPECT_EQ(UPA_merge_report(&empty), 0);
  UPA_report nothing = blank_report();
  nothing.numman = 25;  // slots all missing
  EXPECT_EQ(UPA_merge_report(&nothing), 0);
  UPA_report negative = blank_report();
  negative.numsig = -4;
  negative.numwnd = -4;
  EXPECT_EQ(UPA_merge_report(&negative), 0);

  UPA_report one = blank_report();
  one.elev = 100;
  add_sig(one, 1000, 15, 10);
  EXPECT_EQ(UPA_merge_report(&one), 1);
  EXPECT_FLOAT_EQ(THERM_get_sfc()->t, 15);

  UPA_report two = standard_report(1000, 100, 2);
  two.man[2].h = M;
  EXPECT_EQ(UPA_merge_report(&two), 1);
  EXPECT_FLOAT_EQ(two.man[0].h, 100);

  UPA_report dup = standard_report(1000, 100);
  add_sig(dup, 900, 12, 5);
  add_sig(dup, 900, 12, 5);
  add_sig(dup, 700, -3, -8);
  add_sig(dup, 700, -3, -8);
  Merged d = sm_merge(dup);
  expect_maps_consistent(dup, d, "duplicates");
  EXPECT_EQ(UPA_merge_report(&dup), 1);

  UPA_report disorder = standard_report(1000, 100);
  add_sig(disorder, 800, 2, -5);
  add_sig(disorder, 950, 12, 5);  // below the level before it
  add_sig(disorder, 600, -10, -20);
  add_wnd(disorder, 9000, 200, 20);
  add_wnd(disorder, 3000, 210, 20);  // below the level before it
  Merged o = sm_merge(disorder);
  expect_maps_consistent(disorder, o, "out of order");
  EXPECT_EQ(UPA_merge_report(&disorder), 1);
  for (int k : {0, 22, 23}) EXPECT_TRUE(std::isfinite(disorder.man[k].h)) << k;
  EXPECT_TRUE(std::isfinite(THERM_get_sfc()->h));
}

// Heights derived on the thermodynamic profile go back into the report: the surface,
// the tropopause and the maximum wind (with its temperature and dew point).
TEST(UpaMerge, WriteBack) {
  UPA_report r = standard_report(1000, 100);
  r.man[0].h = 55;  // replaced by the elevation first
  r.man[22] = {230, M, -52, -60, 270, 80};
  r.man[23] = {600, M, M, M, 250, 95};
  EXPECT_EQ(UPA_merge_report(&r), 1);
  EXPECT_FLOAT_EQ(r.man[0].h, 100);
  EXPECT_GT(r.man[22].h, 10400);  // between 250 and 200 mb
  EXPECT_LT(r.man[22].h, 11800);
  EXPECT_GT(r.man[23].h, 3000);   // between 700 and 500 mb
  EXPECT_LT(r.man[23].h, 5600);
  EXPECT_NEAR(r.man[23].t, -9.872, 1e-3);
  EXPECT_NEAR(r.man[23].td, -14.872, 1e-3);
  const UPA_level* sfc = THERM_get_sfc();
  EXPECT_FLOAT_EQ(sfc->p, 1000);
  EXPECT_FLOAT_EQ(sfc->h, 100);
  EXPECT_FLOAT_EQ(sfc->t, 16);
}

// Winds of the thermodynamic levels come from the wind profile in ln(p):
// 800 mb between 850 mb (200 deg) and 700 mb (220 deg): 200 + 20*ln(850/800)/ln(850/700)
// = 206.245 deg.
TEST(UpaCalcWind, FromWindProfile) {
  UPA_level sm[] = {{800, M, 2, -5, M, M}, {750, M, 0, -5, 90, 3}, {300, M, -42, -50, M, M}};
  UPA_level wm[] = {{850, 1490, M, M, 200, 10}, {700, 3000, M, M, 220, 30}};
  EXPECT_EQ(UPA_calc_wind(sm, 3, wm, 2), 0);
  EXPECT_NEAR(sm[0].dir, 206.245, 1e-3);
  EXPECT_FLOAT_EQ(sm[1].dir, 90);  // its own wind stays
  EXPECT_FLOAT_EQ(sm[1].spd, 3);
  EXPECT_EQ(sm[2].dir, M);         // above the wind profile
  EXPECT_EQ(sm[2].spd, M);
}

namespace {

// Resources and the analysis state start fresh and are put back afterwards.
class UpaMergeDatabase : public FreshState {
 protected:
  void SetUp() override {
    FreshState::SetUp();
    THERM_reset();
  }
  void TearDown() override {
    THERM_reset();
    FreshState::TearDown();
  }
};

}  // namespace

// A report without elevation takes its location from the station database "upa.cty" on
// the file path.
TEST_F(UpaMergeDatabase, DatabaseFill) {
  RES_put("file_path", ZUD_TEST_DATA "/merge");
  UPA_report r = standard_report(850, M);
  std::snprintf(r.id, sizeof r.id, "%s", "tst");
  UPA_report other = standard_report(850, M);
  std::snprintf(other.id, sizeof other.id, "%s", "NOPE");
  testing::internal::CaptureStderr();
  capture::stdout_of([&] {
    UPA_merge_report(&r);
    UPA_merge_report(&other);
  });
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(r.elev, 1611);
  EXPECT_EQ(r.wmo, 72469);
  EXPECT_EQ(r.lat, 39.75f);
  EXPECT_EQ(r.lon, -104.87f);
  EXPECT_EQ(r.man[0].h, 1611);
  EXPECT_EQ(other.elev, M);
  EXPECT_EQ(other.lat, M);
}

// The merge trace prints at the debug level d, one line per event.
TEST(UpaSmMerge, Trace) {
  UPA_report r = standard_report(985, 250, 3);
  add_sig(r, 985, 16, 10);
  add_sig(r, 950, 13, 8);
  r.man[2].p = M;
  const M_type saved = MESS_get();
  MESS_set(11, 0x80000000);
  testing::internal::CaptureStdout();
  sm_merge(r);
  const std::string out = testing::internal::GetCapturedStdout();
  MESS_set(10, saved);
  std::string want =
      "SFC: 985\n"
      "PM: 0 = 1000\n"
      "bad mand: 2 = -9999\n"
      "P-: 1 = 985\n"
      "PS: 2 = 950\n"
      "PM: 3 = 850\n";
  for (int k = 4; k <= 21; ++k) want += "bad mand: " + std::to_string(k) + " = -9999\n";
  EXPECT_EQ(out, want);
}
