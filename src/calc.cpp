// calc.cpp — point functions of moist air: vapour pressure, mixing ratio, potential,
// virtual, equivalent-potential and wet-bulb temperatures, the dry and saturated
// adiabats, the mixing-ratio line and the lifting condensation level.
//
// Temperatures are in kelvin, pressures and vapour pressures in mb, moisture amounts in
// g/kg. Each function's answer depends on its arguments alone: what some keep per thread
// (vapour pressures, the saturated-adiabat search's nodes and last answer) only saves
// work. No allocation, no messages. Arithmetic is in double and the result is rounded to
// float, as the sounding records store floats.
//
// Two invalid results exist and callers rely on which one they get: -9999.0 (missing)
// and 0.0 (nothing to report; a zero dew point means dry air).
//
// Dual-use moisture arguments: a value of at most 100 cannot be a plausible kelvin
// temperature, so where a function accepts either a temperature or a moisture amount
// in one argument, such a value is taken as the moisture amount itself.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "zud.h"

namespace {

constexpr double kEpsG = 622.0;          // ratio of gas constants (water/dry) times 1000: g/kg
constexpr double kPoisson = 0.286;       // R/cp of dry air
constexpr double kVirtCoef = 0.609;      // virtual temperature increase per (g/g)
constexpr double kSatadCoef = -2.6518986;  // exponent of the saturated adiabat, K per g/kg
constexpr double kRefPres = 1000.0;      // reference pressure of potential temperatures, mb
constexpr float kMoistMax = 100.0f;      // dual-use arguments at most this are moisture amounts
constexpr float kMinVaporT = 100.0f;     // below this (K) the vapour pressure is reported as 0

constexpr float kMaxSatadPres = 2000.0f; // highest pressure (mb) a saturated adiabat is followed to
constexpr int kSatadSteps = 12;          // residual evaluations of the saturated-adiabat search
constexpr double kSatadStart = 253.16;   // first guess of the search, K
constexpr double kSatadSpan = 120.0;     // half-width of the searched interval, K
constexpr double kSatadTol = 2e-5;       // squared residual (K^2) that ends the search
constexpr double kSignMargin = 1e-4;     // log-ratio beyond which the residual's sign is sure

constexpr float kMaxLclPres = 1100.0f;   // highest starting pressure (mb) of a lifted parcel
constexpr float kMinLclT = 100.0f;       // starting temperatures at most this (K) are invalid
constexpr int kLclSteps = 8;             // corrections of the condensation-level pressure
constexpr double kLclTol = 1e-4;         // squared gap (K^2) between the two lines that ends it
constexpr double kLclGain = 0.02;        // log2 of the pressure correction per kelvin of gap

constexpr double kLn10 = 2.302585092994045684;  // ln 10
constexpr double kShortcutMargin = 1e-10;       // relative reach of a log/exp shortcut's error

// The formulas below are written with pow and log10, and their float results are what the
// program has always printed. Evaluated through log and exp instead, the same double
// differs by a few units in the 15th digit (glibc's exp, log, pow and log10 are each within
// about one ulp; the worst amplification, by the 30 or so of an exponent's argument, leaves
// it under 1e-12 of the value). Every double within kShortcutMargin (1e-10, a thousand
// times wider) of the shortcut's value rounding to one float means the pow/log10 formula
// rounds to that float too, since rounding is monotonic: *out gets it and the answer is
// true. Otherwise (about one call in a few thousand, near a float's rounding boundary, and
// for NaN) the caller evaluates the formula itself.
bool sure_float(double v, float* out) {
  const double reach = kShortcutMargin * std::fabs(v);
  const float lo = static_cast<float>(v - reach);
  if (lo != static_cast<float>(v + reach)) return false;  // also for NaN
  *out = lo;
  return true;
}

// a * base^0.286 as a float, the Poisson power of the dry adiabat: static_cast<float>(a *
// std::pow(base, kPoisson)), mostly without the pow.
float times_poisson_power(double a, double base) {
  float r;
  if (sure_float(a * std::exp(kPoisson * std::log(base)), &r)) return r;
  return static_cast<float>(a * std::pow(base, kPoisson));
}

// The label of the saturated adiabat reached by lifting (temp, dewp) at pr dry-adiabatically
// to its condensation level; -9999.0 when no condensation level can be found.
float lifted_satad_label(float temp, float dewp, float pr) {
  const float plcl = lcl_pres(temp, dewp, pr);
  if (plcl == MISSING) return MISSING;
  return thetae_on_satad(lcl_temp(temp, pr, plcl), plcl);
}

// True when the guard shared by the functions that take temperature, dew point and
// pressure rejects the arguments (a missing Celsius value converted to kelvin fails it).
bool bad_moist_args(float temp, float dewp, float pr) {
  return temp <= 0.0f || dewp < 0.0f || pr < 0.0f;
}

// Temperature at pend (mb) on the saturated adiabat reached by lifting (temp, dewp) at
// pr: the wet-bulb functions. 0.0 for dry air, -9999.0 on the shared guard or when no
// condensation level is found.
float descend_lifted(float temp, float dewp, float pr, float pend) {
  if (bad_moist_args(temp, dewp, pr)) return MISSING;
  if (dewp == 0.0f) return 0.0f;
  const float label = lifted_satad_label(temp, dewp, pr);
  if (label == MISSING) return MISSING;
  return temp_on_satad(label, pend);
}

}  // namespace

// Saturation vapour pressure over a plane water surface (mb) at t kelvin, by the
// Goff-Gratch formulation; -9999.0 for t below 0, 0.0 for t below 100 K.
//
// An ascent asks for the same temperatures again and again (the saturated-adiabat search
// visits a fixed set of them), so the results are kept in a small direct-mapped table per
// thread, keyed by the exact bits of t; a hit returns the bits a new evaluation gives.
float vapor_pr(float t) {
  if (t < 0.0f) return MISSING;
  if (t < kMinVaporT) return 0.0f;
  struct Slot {
    std::uint32_t key = 0;  // bits of t; 0 (t = +0.0) never reaches the table
    float value = 0.0f;
  };
  constexpr std::uint32_t kSlots = 4096;
  thread_local std::array<Slot, kSlots> memo{};
  const auto bits = std::bit_cast<std::uint32_t>(t);
  Slot& slot = memo[(bits ^ (bits >> 13)) & (kSlots - 1)];
  if (slot.key == bits) return slot.value;
  const double tk = t;
  const double x_fast = 23.832241 - 5.02808 * (std::log(tk) / kLn10) -
                        1.3816e-7 * std::exp((11.344 - 0.0303998 * tk) * kLn10) +
                        8.132801e-3 * std::exp((3.49149 - 1302.8844 / tk) * kLn10) - 2949.076 / tk;
  float e;
  if (!sure_float(std::exp(x_fast * kLn10), &e)) {
    const double x = 23.832241 - 5.02808 * std::log10(tk) -
                     1.3816e-7 * std::pow(10.0, 11.344 - 0.0303998 * tk) +
                     8.132801e-3 * std::pow(10.0, 3.49149 - 1302.8844 / tk) - 2949.076 / tk;
    e = static_cast<float>(std::pow(10.0, x));
  }
  slot = {bits, e};
  return slot.value;
}

// Mixing ratio (g/kg) at pressure pr (mb): the saturation mixing ratio when temp is a
// temperature (K), the actual one when it is the dew point, and that of the vapour
// pressure temp (mb) when temp is at most 100. -9999.0 when an argument is missing or
// the vapour pressure reaches the pressure (no finite mixing ratio: the water boils);
// 0.0 when an argument is not positive.
float mix_ratio(float temp, float pr) {
  if (temp == MISSING || pr == MISSING) return MISSING;
  if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
  const double e = temp <= kMoistMax ? temp : vapor_pr(temp);
  if (e >= pr) return MISSING;
  return static_cast<float>(kEpsG * e / (pr - e));
}

// Specific humidity (g/kg) at pressure pr (mb), temp as in mix_ratio, approximated as
// 622 e / p. -9999.0 when an argument is missing, 0.0 when one is not positive.
float spec_hum(float temp, float pr) {
  if (temp == MISSING || pr == MISSING) return MISSING;
  if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
  const double e = temp <= kMoistMax ? temp : vapor_pr(temp);
  return static_cast<float>(kEpsG * e / pr);
}

// Potential temperature (K) of air at temp (K) and pr (mb); -9999.0 when either is not
// positive.
float pot_temp(float temp, float pr) {
  if (temp <= 0.0f || pr <= 0.0f) return MISSING;
  return times_poisson_power(temp, kRefPres / pr);
}

// Virtual temperature (K) of air at temp (K) and pr (mb) whose moisture dewp is a dew
// point (K), a mixing ratio (g/kg, at most 100) or 0 for dry air. -9999.0 when temp is
// not positive, dewp or pr negative, or no mixing ratio exists at that dew point.
float virt_temp(float temp, float dewp, float pr) {
  if (bad_moist_args(temp, dewp, pr)) return MISSING;
  if (dewp == 0.0f) return temp;
  const float w = dewp <= kMoistMax ? dewp : mix_ratio(dewp, pr);
  if (w == MISSING) return MISSING;
  return static_cast<float>(temp * (1.0 + kVirtCoef * w / 1000.0));
}

// Virtual potential temperature (K); arguments as in virt_temp. -9999.0 on the guard of
// virt_temp, and also when pr is 0 (no potential temperature at zero pressure).
float virt_pot_temp(float temp, float dewp, float pr) {
  if (bad_moist_args(temp, dewp, pr)) return MISSING;
  if (dewp == 0.0f) return pot_temp(temp, pr);
  if (pr <= 0.0f) return MISSING;
  const float tv = virt_temp(temp, dewp, pr);
  if (tv == MISSING) return MISSING;
  return times_poisson_power(tv, kRefPres / pr);
}

// Temperature (K) at pr (mb) on the dry adiabat of potential temperature pot (K); 0.0
// when either is not positive.
float temp_on_dryad(float pot, float pr) {
  if (pot <= 0.0f || pr <= 0.0f) return 0.0f;
  return times_poisson_power(pot, pr / kRefPres);
}

// Label (K) of the saturated adiabat through a saturated parcel at temp (K) and pr (mb):
// the potential temperature it would reach if all its vapour condensed. 0.0 when either
// argument is not positive or the parcel is too warm to hold saturation at pr.
float thetae_on_satad(float temp, float pr) {
  if (temp <= 0.0f || pr <= 0.0f) return 0.0f;
  const float ws = mix_ratio(temp, pr);
  if (ws == MISSING) return 0.0f;
  // The potential temperature stays in double: rounding it to float first moves the label
  // by up to a few hundredths of a kelvin, enough to change a printed tenth.
  const double base = kRefPres / static_cast<double>(pr);
  const double condensed = std::exp(kSatadCoef * ws / temp);
  float r;
  if (sure_float(temp * std::exp(kPoisson * std::log(base)) / condensed, &r)) return r;
  const double theta = static_cast<double>(temp) * std::pow(base, kPoisson);
  return static_cast<float>(theta / condensed);
}

namespace {

// The saturated-adiabat search of temp_on_satad is a bisection: from 253.16 K it steps
// 60, 30, ... K warmer or colder, at most 12 times, so it can only visit the 4095
// temperatures of a binary search tree of depth 12. They are named here by in-order rank
// (0 the coldest, 2047 the first guess); consecutive ranks lie 120 / 2048 K apart.
constexpr int kSatadNodes = (1 << kSatadSteps) - 1;
constexpr int kSatadRoot = (1 << (kSatadSteps - 1)) - 1;
constexpr double kSatadCell = kSatadSpan / (1 << (kSatadSteps - 1));
constexpr double kVaporSlope = 5417.0;  // L / Rv (K): d ln e / dt = 5417 / t^2, Clausius-Clapeyron

// A node's temperature (the double the bisection's additions reach), its vapour pressure
// and logarithm: computed once per thread, on first use.
struct SatadNode {
  float e = -1.0f;  // vapour pressure (mb); negative until computed
  double log_t = 0.0;
  double t = 0.0;
};

const SatadNode& satad_node(int rank) {
  thread_local std::array<SatadNode, kSatadNodes> nodes{};
  SatadNode& nd = nodes[static_cast<std::size_t>(rank)];
  if (nd.e < 0.0f) {
    double t = kSatadStart, step = kSatadSpan;
    for (int r = kSatadRoot, d = 0; r != rank; ++d) {
      const bool warmer = rank > r;
      step /= 2.0;
      t += warmer ? step : -step;
      r += (warmer ? 1 : -1) * (1 << (kSatadSteps - 2 - d));
    }
    const float tf = static_cast<float>(t);
    nd = {vapor_pr(tf), std::log(static_cast<double>(tf)), t};
  }
  return nd;
}

// What the bisection does at a node: go warmer, go colder, or stop there (the squared
// residual below 2e-5 K^2).
enum class Turn { kWarmer, kColder, kStop };

// One search: the label pot (K) at pr (mb). turn() is the bisection's own test at a node;
// lead() and slope() steer the search for the nodes that matter.
class SatadSearch {
 public:
  SatadSearch(float pot, float pr)
      : pot_(pot), pr_(pr), log_pot_(log_of_label(pot)),
        log_dry_(kPoisson * std::log(kRefPres / pr)) {}

  // The residual pot exp(-2.6518986 ws / t) - theta(t) is positive below the adiabat's
  // temperature. Its sign is that of ln(pot) - 2.6518986 ws / t - ln(t) - 0.286 ln(1000 /
  // pr), which needs no exponential; this stands for ln(pot exp(...) / theta) to within
  // 1e-7 (theta is rounded to float), so where it exceeds kSignMargin in size the residual
  // has its sign and is at least 100 K x 1e-4 = 0.01 K, too large to end the search. Nearer
  // the root the residual is evaluated exactly as written.
  Turn turn(const SatadNode& nd) {
    if (static_cast<double>(nd.e) < pr_) {
      const double lead = this->lead(nd);
      if (std::abs(lead) > kSignMargin) return lead > 0.0 ? Turn::kWarmer : Turn::kColder;
      return decide(pot_ * std::exp(kSatadCoef * mixing(nd) / nd.t) - theta(nd));
    }
    // Too warm to saturate at pr: the saturation mixing ratio is unbounded, the
    // exponential vanishes, and the residual is -theta (search colder).
    return decide(-theta(nd));
  }

  // The log residual above; only for a node that can saturate at pr.
  double lead(const SatadNode& nd) const {
    return log_pot_ + kSatadCoef * mixing(nd) / nd.t - nd.log_t - log_dry_;
  }

  // Its derivative in t, near enough for a Newton step: ws grows by d ln e / dt p / (p - e).
  double slope(const SatadNode& nd) const {
    const double ws = mixing(nd), e = nd.e;
    return kSatadCoef * ws / nd.t * (kVaporSlope / (nd.t * nd.t) * pr_ / (pr_ - e) - 1.0 / nd.t) -
           1.0 / nd.t;
  }

 private:
  // ws as mix_ratio(t, pr) gives it.
  float mixing(const SatadNode& nd) const {
    return static_cast<float>(kEpsG * nd.e / (pr_ - static_cast<double>(nd.e)));
  }
  // theta as pot_temp(t, pr) gives it.
  double theta(const SatadNode& nd) {
    if (dry_factor_ == 0.0) dry_factor_ = std::pow(kRefPres / pr_, kPoisson);
    return static_cast<double>(static_cast<float>(static_cast<float>(nd.t) * dry_factor_));
  }
  // ln(pot): an ascent asks with one label at many pressures, so the last one is kept.
  static double log_of_label(float pot) {
    thread_local float last = 1.0f;
    thread_local double last_log = 0.0;
    if (pot != last) {
      last = pot;
      last_log = std::log(static_cast<double>(pot));
    }
    return last_log;
  }
  static Turn decide(double x) {
    if (x * x < kSatadTol) return Turn::kStop;
    return x > 0.0 ? Turn::kWarmer : Turn::kColder;
  }

  float pot_, pr_;
  double log_pot_, log_dry_;
  double dry_factor_ = 0.0;  // (1000 / pr)^0.286 as in pot_temp, once it is needed
};

// The rank of the last node at or below t, limited to -1 .. kSatadNodes.
int satad_rank_below(double t) {
  const double r = std::clamp((t - kSatadStart) / kSatadCell + kSatadRoot, -1.0, 1.0 * kSatadNodes);
  return static_cast<int>(r + 1.0) - 1;  // r + 1 >= 0: truncation is the floor
}

}  // namespace

// Temperature (K) at pr (mb) on the saturated adiabat labelled pot (K, as given by
// thetae_on_satad), found by bisection over 253.16 +/- 120 K in at most 12 steps: the
// residual pot exp(-2.6518986 ws / t) - theta(t) is positive below the adiabat's
// temperature, and the search stops early when its square falls below 2e-5 K^2.
// -9999.0 when either argument is not positive or pr exceeds 2000 mb.
//
// An ascent asks for this thousands of times, so the answer is found cheaply without
// changing one bit of it. The residual falls as t rises (theta grows with t, and ws
// faster still), so the bisection's turns are known once the boundary is: warmer at
// every node below the highest node `lo` where it goes warmer, colder above the node
// after it, `hi`, which may also be where it stops (the stopping band, |residual| <
// 0.0045 K, is narrower than the 0.059 K between nodes since the residual falls by more
// than 0.8 K per K). Both lo and hi lie on the bisection's path, which therefore ends at
// hi when it stops there, or else at the one of them that is a leaf of the tree, half a
// step beyond it toward the other. The boundary is found
// from the previous answer by Newton steps on the log residual, landing on nodes, each
// node's turn being the bisection's own test; about three nodes instead of twelve.
float temp_on_satad(float pot, float pr) {
  if (pot <= 0.0f || pr <= 0.0f || pr > kMaxSatadPres) return MISSING;
  SatadSearch search(pot, pr);
  thread_local double last_answer = kSatadStart;
  int lo = -1, hi = kSatadNodes;  // highest node known warmer, lowest known not
  Turn hi_turn = Turn::kColder;
  int g = std::clamp(satad_rank_below(last_answer + kSatadCell / 2.0), 0, kSatadNodes - 1);
  for (int n = 0; hi - lo > 1; ++n) {
    const SatadNode& nd = satad_node(g);
    const Turn turn = search.turn(nd);
    if (turn == Turn::kWarmer) {
      lo = g;
    } else {
      hi = g;
      hi_turn = turn;
    }
    g = lo + (hi - lo) / 2;  // bisection, unless a Newton step lands inside the bracket
    if (n < 6 && static_cast<double>(nd.e) < pr) {
      const double root = nd.t - search.lead(nd) / search.slope(nd);
      if (std::isfinite(root)) {
        // the last node below the root or the first above it, whichever is not known yet
        const int next = satad_rank_below(root) + (turn == Turn::kWarmer ? 1 : 0);
        g = std::clamp(next, lo + 1, hi - 1);
      }
    }
  }
  // The path ends where it stops at hi, or at whichever of lo and hi is a leaf (an even
  // rank), with the last half step toward the other.
  double t;
  if (hi_turn == Turn::kStop) {
    t = satad_node(hi).t;
  } else {
    const bool lo_leaf = lo >= 0 && lo % 2 == 0;
    const double half = kSatadCell / 2.0;
    t = lo_leaf ? satad_node(lo).t + half : satad_node(hi).t - half;
  }
  last_answer = t;
  return static_cast<float>(t);
}

// Temperature (K) at pr (mb) on the line of constant saturation mixing ratio w (g/kg);
// 0.0 when either is not positive.
float temp_on_mixrat(float w, float pr) {
  if (w <= 0.0f || pr <= 0.0f) return 0.0f;
  const double m = static_cast<double>(w) * pr / (kEpsG + w);  // vapour pressure, mb
  const double ln_m = std::log(m);
  const double c_fast = std::exp(0.0915 * ln_m) - 1.2035;
  float r;
  if (sure_float(std::exp((0.0498646455 * (ln_m / kLn10) + 2.4082965) * kLn10) - 7.08475 +
                     38.9114 * c_fast * c_fast,
                 &r))
    return r;
  const double x = std::log10(m);
  const double c = std::pow(m, 0.0915) - 1.2035;
  return static_cast<float>(std::pow(10.0, 0.0498646455 * x + 2.4082965) - 7.08475 +
                            38.9114 * c * c);
}

// Relative humidity (percent) of air at t (K) with dew point td (K), or the ratio of two
// like moisture amounts when both are at most 100. -9999.0 when either is not positive,
// or when t is a moisture amount but td a temperature (no vapour pressure to divide by).
float rel_hum(float t, float td) {
  if (t <= 0.0f || td <= 0.0f) return MISSING;
  if (t <= kMoistMax && td <= kMoistMax) return static_cast<float>(100.0 * td / t);
  const double es = vapor_pr(t);
  if (es <= 0.0) return MISSING;
  return static_cast<float>(100.0 * vapor_pr(td) / es);
}

// Convective temperature (K) at the surface pressure pr (mb): the temperature from which
// a dry-adiabatic ascent of air with mean mixing ratio wbar (g/kg) saturates at pc (mb).
// 0.0 when the arguments give no such ascent.
float conv_temp(float wbar, float pc, float pr) {
  const float tmr = temp_on_mixrat(wbar, pc);
  return temp_on_dryad(pot_temp(tmr, pc), pr);
}

// Pressure (mb) of the lifting condensation level of air at ts (K) with dew point tds (K)
// at ps (mb): where its dry adiabat meets its mixing-ratio line, refined in at most 8
// corrections. -9999.0 when ts or tds is at most 100 K, ps is not positive or above
// 1100 mb, or the dew point is too warm for a mixing ratio at ps.
float lcl_pres(float ts, float tds, float ps) {
  if (ts <= kMinLclT || tds <= kMinLclT || ps <= 0.0f || ps > kMaxLclPres) return MISSING;
  const float ws = mix_ratio(tds, ps);
  if (ws == MISSING) return MISSING;
  const float os = pot_temp(ts, ps);
  double pl = ps;
  // Below the level the dry adiabat is the warmer line (gap < 0, pressure falls), above
  // it the colder one (gap > 0, pressure rises).
  double gap = temp_on_mixrat(ws, ps) - temp_on_dryad(os, ps);
  for (int n = 0; n < kLclSteps && gap * gap > kLclTol; ++n) {
    pl *= std::exp2(kLclGain * gap);
    const float plf = static_cast<float>(pl);
    gap = temp_on_mixrat(ws, plf) - temp_on_dryad(os, plf);
  }
  return static_cast<float>(pl);
}

// Temperature (K) at the lifting condensation level pl (mb) of air at ts (K) and ps (mb):
// its dry adiabat at pl. 0.0 when the starting point or pl is invalid.
float lcl_temp(float ts, float ps, float pl) {
  return temp_on_dryad(pot_temp(ts, ps), pl);
}

// Equivalent potential temperature (K) of air at temp (K) with dew point dewp (K, 0 for
// dry air) at pr (mb): the label of the saturated adiabat through its condensation level.
// The potential temperature for dry air; -9999.0 when temp is not positive, dewp or pr
// negative, or no condensation level can be found.
float eq_pot_temp(float temp, float dewp, float pr) {
  if (bad_moist_args(temp, dewp, pr)) return MISSING;
  if (dewp == 0.0f) return pot_temp(temp, pr);
  return lifted_satad_label(temp, dewp, pr);
}

// Wet-bulb temperature (K) of air at temp (K) with dew point dewp (K) at pr (mb): lifted
// to saturation, then brought back to pr along its saturated adiabat. 0.0 for dry air
// (dewp 0); -9999.0 on the guard of eq_pot_temp or when no condensation level is found.
float wet_bulb(float temp, float dewp, float pr) {
  return descend_lifted(temp, dewp, pr, pr);
}

// Wet-bulb potential temperature (K): as wet_bulb, but the descent along the saturated
// adiabat ends at 1000 mb.
float wet_bulb_pot_temp(float temp, float dewp, float pr) {
  return descend_lifted(temp, dewp, pr, static_cast<float>(kRefPres));
}

// The value at pr (mb) between t1 at p1 and t2 at p2, linear in the logarithm of
// pressure (extrapolated outside the two). With one value missing the other is
// returned; -9999.0 when p1 or p2 is not positive, both values are missing, pr is not
// positive, or p1 equals p2 with two different values.
float interp_temp(float t1, float t2, float p1, float p2, float pr) {
  if (p1 <= 0.0f || p2 <= 0.0f) return MISSING;
  if (t1 == MISSING && t2 == MISSING) return MISSING;
  if (t1 == MISSING) return t2;
  if (t2 == MISSING) return t1;
  if (p1 == p2) return t1 == t2 ? t1 : MISSING;  // no gradient between one pressure
  if (pr <= 0.0f) return MISSING;
  const double ratio = std::log(static_cast<double>(pr) / p1) /
                       std::log(static_cast<double>(p1) / p2);
  return static_cast<float>(t1 - (static_cast<double>(t2) - t1) * ratio);
}
