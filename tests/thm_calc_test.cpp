// thm_calc_test.cpp — the explicit analysis chain: a sounding passed by hand gives the
// same record as the kept sounding of the print program, two soundings analysed side by
// side do not disturb each other, and three stations analysed one after another in one
// process print exactly what three separate runs of ua_parse print.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "run_parse.h"
#include "sounding_fixture.h"
#include "zudresrc.h"
#include "zudsnd.h"
#include "zudunits.h"

extern char** environ;

namespace {

const UPA_level* kPlainsEnd = kPlainsSounding + std::size(kPlainsSounding);

// The Plains sounding as an explicit sounding set up at its 1004 mb surface.
UPA_sounding plains() {
  UPA_sounding s;
  s.sm.assign(kPlainsSounding, kPlainsEnd);
  s.wm.assign(kPlainsSounding, kPlainsEnd);
  THERM_setup_sounding(&s, kPlainsSounding[0].p);
  return s;
}

// A colder, drier copy of the Plains sounding: 10 C colder, dew points 15 C lower and
// winds halved, so that every analysis value differs from the original's.
UPA_sounding cold() {
  UPA_sounding s = plains();
  for (auto* prof : {&s.sm, &s.wm})
    for (UPA_level& l : *prof) {
      l.t -= 10.0f;
      l.td -= 15.0f;
      l.spd /= 2.0f;
    }
  THERM_setup_sounding(&s, kPlainsSounding[0].p);
  return s;
}

// Field-by-field equality of the values that the tables print, missing included.
void expect_same(const THERM_record& a, const THERM_record& b) {
  const THERM_values &x = a.values, &y = b.values;
  const float pa[] = {x.plcl, x.tlcl, x.frz, x.wb0, x.lapse57, x.max_t, x.precip, x.mean_rh,
                      x.thick, x.ccl, x.wbar, x.ct, x.li, x.cap, x.si, x.tt, x.k, x.sweat, x.ei,
                      x.parcel.Bplus, x.parcel.Bminus, x.parcel.lfc, x.parcel.el, x.brn, x.ehi,
                      x.helicity.tot_hel, x.shear.pos_shr, a.li300, a.li700, a.vt, a.ct,
                      a.wb0_h, a.ccl_h, a.parcel_el_h};
  const float pb[] = {y.plcl, y.tlcl, y.frz, y.wb0, y.lapse57, y.max_t, y.precip, y.mean_rh,
                      y.thick, y.ccl, y.wbar, y.ct, y.li, y.cap, y.si, y.tt, y.k, y.sweat, y.ei,
                      y.parcel.Bplus, y.parcel.Bminus, y.parcel.lfc, y.parcel.el, y.brn, y.ehi,
                      y.helicity.tot_hel, y.shear.pos_shr, b.li300, b.li700, b.vt, b.ct,
                      b.wb0_h, b.ccl_h, b.parcel_el_h};
  for (std::size_t i = 0; i < std::size(pa); ++i) EXPECT_EQ(pa[i], pb[i]) << "field " << i;
  ASSERT_EQ(a.freezing.size(), b.freezing.size());
  for (std::size_t i = 0; i < a.storm_rows.size(); ++i) {
    EXPECT_EQ(a.storm_rows[i].mean.dir, b.storm_rows[i].mean.dir) << i;
    EXPECT_EQ(a.storm_rows[i].helicity.tot_hel, b.storm_rows[i].helicity.tot_hel) << i;
  }
}

// The explicit analysis and the documented entry points compute the same record: the
// kept sounding is only a wrapper around THERM_analyse.
TEST(ThermAnalyse, SameAsKeptSounding) {
  THERM_reset();
  RES_put("plot_param", "");
  std::vector<UPA_level> sm(kPlainsSounding, kPlainsEnd);
  THERM_set_data(kPlainsSounding[0].p, sm.data(), static_cast<int>(sm.size()), sm.data(),
                 static_cast<int>(sm.size()));
  THERM_calc();
  THERM_record mine;
  THERM_analyse(plains(), THERM_parcel{}, &mine);
  expect_same(mine, *THERM_get_record());
  // The storm motion: 30 deg right of the 0-6000 m mean wind at 75 % of its speed (the
  // rule itself, applied to the mean the sounding gives).
  const UPA_sounding& kept = *THERM_get_kept();
  const float dir = kept.mean6.dir + 30.0f;
  EXPECT_FLOAT_EQ(kept.storm.dir, dir > 360.0f ? dir - 360.0f : dir);
  EXPECT_FLOAT_EQ(kept.storm.spd, 0.75f * kept.mean6.spd);
  THERM_reset();
}

// Two soundings analysed alternately keep their own results: nothing of one leaks into
// the other through module state, and the same input always gives the same record.
TEST(ThermAnalyse, SideBySide) {
  const UPA_sounding a = plains(), b = cold();
  THERM_record ra1, rb1, ra2, rb2;
  THERM_analyse(a, THERM_parcel{}, &ra1);
  THERM_analyse(b, THERM_parcel{}, &rb1);
  THERM_analyse(a, THERM_parcel{}, &ra2);
  THERM_analyse(b, THERM_parcel{}, &rb2);
  expect_same(ra1, ra2);
  expect_same(rb1, rb2);
  // The two really differ. By hand from the fixture's table, K = T850 - T500 + Td850 -
  // (T700 - Td700): 19 + 9 + 14 - 11 = 31 for the original; 10 C colder and 15 C drier
  // keeps T850 - T500 = 28 (the vertical totals of both), takes 15 off Td850 and adds 5
  // to the 700 mb depression: 28 - 1 - 16 = 11.
  EXPECT_FLOAT_EQ(ra1.vt, 28.0f);
  EXPECT_FLOAT_EQ(rb1.vt, 28.0f);
  EXPECT_FLOAT_EQ(ra1.values.k, 31.0f);
  EXPECT_FLOAT_EQ(rb1.values.k, 11.0f);
}

// The parcel choice is an argument: the surface parcel starts at the surface air
// (30 C / 22 C at 1004 mb), the level parcel at the given pressure with the given
// temperature and dew point.
TEST(ThermAnalyse, ParcelChoice) {
  const UPA_sounding s = plains();
  struct Case { THERM_parcel choice; float p, t, td; const char* why; };
  THERM_parcel sfc, level;
  sfc.type = THERM_PAR_SFC;
  level.type = THERM_PAR_LEVEL;
  level.start = UPA_UNSET_LEVEL;
  level.start.p = 850.0f;
  level.start.t = 25.0f;
  const Case cases[] = {
      {sfc, 1004.0f, 30.0f, 22.0f, "surface air, as in the fixture's first row"},
      {level, 850.0f, 25.0f, 14.0f, "850 mb, given 25 C, the 850 mb dew point kept"},
  };
  for (const auto& c : cases) {
    THERM_record r;
    THERM_analyse(s, c.choice, &r);
    EXPECT_FLOAT_EQ(r.par_used.p, c.p) << c.why;
    EXPECT_FLOAT_EQ(r.par_used.t, c.t) << c.why;
    EXPECT_FLOAT_EQ(r.par_used.td, c.td) << c.why;
    EXPECT_EQ(r.parcel.type, c.choice.type) << c.why;
  }
}

// The surface coordinate takes the surface passed by hand; the kept surface of the
// documented wrappers is not consulted.
TEST(ThermAnalyse, SurfaceByHand) {
  THERM_reset();
  UPA_sounding s = plains();
  UPA_level r;
  UPA_interp_sfc(s.sm.data(), s.sm_num(), UNIT_COORD_SFC, 0.0f, &r, &s.sfc);
  EXPECT_FLOAT_EQ(r.p, 1004.0f);
  EXPECT_FLOAT_EQ(r.t, 30.0f);
  UPA_interp_sfc(s.sm.data(), s.sm_num(), UNIT_COORD_SFC, 0.0f, &r, nullptr);
  EXPECT_EQ(r.p, MISSING);
  UPA_interp(s.sm.data(), s.sm_num(), UNIT_COORD_SFC, 0.0f, &r);  // nothing kept after reset
  EXPECT_EQ(r.p, MISSING);
  // A layer analysis from the surface passed by hand equals the same layer bottomed at the
  // surface pressure (the surface is the fixture's first level, 1004 mb); without a
  // surface, lent or passed, the layer has no bottom.
  const float by_hand = thickness(s.sm.data(), s.sm_num(), UNIT_COORD_SFC, 0.0f, 500.0f, &s.sfc);
  const float by_p = thickness(s.sm.data(), s.sm_num(), UNIT_COORD_PRESS, 1004.0f, 500.0f);
  EXPECT_NE(by_p, MISSING);
  EXPECT_EQ(by_hand, by_p);
  EXPECT_EQ(thickness(s.sm.data(), s.sm_num(), UNIT_COORD_SFC, 0.0f, 500.0f), MISSING);
}

// ---- three stations in one process ------------------------------------------------------

// The runs of the golden tests: isolated from the developer's settings, in the sample
// directory whose upa.cty completes the locations.
e2e::Options isolated() {
  e2e::Options opt;
  opt.cwd = ZUD_SAMPLE_DATA;
  for (char** e = environ; *e; ++e) {
    std::string name(*e, std::strcspn(*e, "="));
    if (name.compare(0, 3, "zud") == 0) opt.unset.push_back(name);
  }
  opt.env.push_back(std::string("zuddefault=") + ZUD_TEST_DATA "/golden/");
  return opt;
}

// Standard output of ua_parse for one station, without the banner and the blank line
// after it (the part that the analysis of one station prints).
std::string separate_run(const char* id) {
  const e2e::Run r = e2e::run({"-ba", "-me", "out4", "-id", id, "sample.upa"}, isolated());
  EXPECT_EQ(r.status, 0) << id;
  std::size_t pos = 0;
  for (int i = 0; i < 2 && pos != std::string::npos; ++i) pos = r.out.find('\n', pos) + 1;
  return r.out.substr(pos);
}

// What the same station prints when analysed in this process after others: the state
// is reset, the file opened, the station read, merged, analysed and printed.
std::string in_process(const char* id) {
  THERM_reset();
  int found = 0;
  const std::string out = capture::stdout_of([&] {
    UPA_open_file("sample.upa");
    UPA_report report;
    UPA_initialize(&report);
    found = UPA_get_station(id, &report);
    THERM_set_date(nullptr);
    THERM_report(&report);
  });
  EXPECT_EQ(found, 1) << id;
  return out;
}

TEST(ThermReport, ThreeStationsInOneProcess) {
  const char* const ids[] = {"OAX", "GRB", "LXA"};
  std::vector<std::string> alone;
  for (const char* id : ids) alone.push_back(separate_run(id));

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(ZUD_SAMPLE_DATA), 0);
  const M_type saved = MESS_get();
  MESS_set(MESS_OP_SET_QUIET, MESS_OUT4);
  FLAG_set_batch(1);
  RES_put("plot_param", "");
  // In order, then the first station again after the last: the high station LXA leaves
  // below-ground levels and missing indices behind that OAX must not inherit.
  for (int round = 0; round < 4; ++round) {
    const int k = round % 3;
    EXPECT_EQ(in_process(ids[k]), alone[k]) << ids[k] << " in round " << round;
  }
  FLAG_set_batch(0);
  MESS_set(MESS_OP_SET_QUIET, saved);
  THERM_reset();
  ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
