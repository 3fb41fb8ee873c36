#!/usr/bin/env python3
"""verify.py - independent recomputation of the recorded ua_parse outputs.

Usage: verify.py GOLDEN_DIR DATA_DIR

Every GOLDEN_DIR/*.out file is one recorded run. The station's report is found by its
identifier in the upper-air files of GOLDEN_DIR and DATA_DIR and decoded here; the
station location comes from DATA_DIR/upa.cty. Each printed number is then recomputed
from the report or from other printed columns with formulas written from textbook
meteorology: Goff-Gratch saturation vapour pressure, Poisson's equation, the hypsometric
equation, the LCL as the intersection of the dry adiabat with the parcel's mixing-ratio
line, saturated (pseudo-)adiabats as lines of constant equivalent potential temperature,
parcel buoyancy g (Tp - Te) / Te integrated in height, helicity as the signed area swept
by the storm-relative hodograph. The roots are found by bisection to far below the print
resolution. The constants are those the package defines for its quantities (Poisson
exponent 0.286, 0.622, virtual coefficient 0.609, theta-e exponent 2.6518986 K per g/kg,
Rd 287.05, g 9.8, 0.5144 m/s per knot, 3.2808 ft per m); the algorithms are this file's.

A printed value passes when it lies within the range its inputs allow (each printed input
varied by half its last digit) widened by half its own last digit and by the tolerance
named at the check. Every line of an output that holds a digit must be claimed by a check;
an unclaimed line is a failure, so a new number in the output cannot go unchecked.
Exit status 0 when everything agrees, 1 otherwise.
"""

import glob
import itertools
import math
import os
import re
import sys

MISSING = None
KAPPA = 0.286          # Poisson exponent
EPS = 622.0            # ratio of gas constants, g/kg
VIRT = 0.609           # virtual temperature coefficient per kg/kg
THETAE_C = 2.6518986   # theta-e exponent, K per g/kg
RD = 287.05
G = 9.8
KT = 0.5144            # m/s per knot
FT = 3.2808            # ft per m
C2K = 273.15


# ---- moist thermodynamics -----------------------------------------------------------

def es(tk):
    """Saturation vapour pressure over water (mb), Goff-Gratch in its textbook form."""
    ts = 373.16
    x = (-7.90298 * (ts / tk - 1) + 5.02808 * math.log10(ts / tk)
         - 1.3816e-7 * (10 ** (11.344 * (1 - tk / ts)) - 1)
         + 8.1328e-3 * (10 ** (-3.49149 * (ts / tk - 1)) - 1) + math.log10(1013.246))
    return 10 ** x


def mixr(tk, p):
    """(Saturation) mixing ratio of the temperature or dew point tk at p, g/kg."""
    e = es(tk)
    return EPS * e / (p - e)


def theta(tk, p):
    return tk * (1000.0 / p) ** KAPPA


def t_dry(th, p):
    return th * (p / 1000.0) ** KAPPA


def bisect(f, lo, hi, tol=1e-7):
    """Root of f between lo and hi (f(lo), f(hi) of opposite sign)."""
    flo = f(lo)
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        fm = f(mid)
        if (fm > 0) == (flo > 0):
            lo, flo = mid, fm
        else:
            hi = mid
        if hi - lo < tol:
            break
    return 0.5 * (lo + hi)


def dewpoint_of(w, p):
    """Dew point (K) of mixing ratio w (g/kg) at p: inverse of mixr."""
    return bisect(lambda t: mixr(t, p) - w, 150.0, 330.0)


def lcl(tk, tdk, p):
    """(p, T) of the lifting condensation level: where the dry adiabat through (tk, p)
    reaches saturation at the parcel's mixing ratio."""
    w = mixr(tdk, p)
    th = theta(tk, p)
    f = lambda pl: mixr(t_dry(th, pl), pl) - w
    if f(p) <= 0:
        return p, tk
    pl = bisect(f, 50.0, p)
    return pl, t_dry(th, pl)


def satad_label(tk, p):
    """Equivalent potential temperature of saturated air at (tk, p): the label of its
    saturated adiabat."""
    return theta(tk, p) * math.exp(THETAE_C * mixr(tk, p) / tk)


def t_satad(label, p):
    """Temperature (K) on the saturated adiabat `label` at p."""
    hi = 360.0
    while es(hi) > 0.3 * p:   # keep the vapour pressure below the total pressure
        hi -= 5.0
    return bisect(lambda t: satad_label(t, p) - label, 20.0, hi)


def thetae(tk, tdk, p):
    pl, tl = lcl(tk, tdk, p)
    return satad_label(tl, pl)


def wetbulb(tk, tdk, p):
    return t_satad(thetae(tk, tdk, p), p)


def thetaw(tk, tdk, p):
    return t_satad(thetae(tk, tdk, p), 1000.0)


def rh(tk, tdk):
    return 100.0 * es(tdk) / es(tk)


def thetav(tk, tdk, p):
    return theta(tk * (1 + VIRT * mixr(tdk, p) / 1000.0), p)


def wind_uv(d, s):
    a = math.radians(d)
    return -s * math.sin(a), -s * math.cos(a)


def uv_wind(u, v):
    s = math.hypot(u, v)
    if s < 0.01:
        return 0.0, s
    d = math.degrees(math.atan2(-u, -v))
    return (d + 360.0 if d < 0 else d), s


def angdiff(a, b):
    """a - b wrapped into -180..180."""
    d = a - b
    while d > 180:
        d -= 360
    while d < -180:
        d += 360
    return d


# ---- report decoding ------------------------------------------------------------------

MAND = [1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100, 70, 50, 30, 20, 10]


def mand_height(p, hhh):
    """Height (m) of a mandatory level from its three height digits."""
    if p == 1000:
        return 500 - hhh if hhh >= 500 else hhh
    if p == 925:
        return hhh
    if p == 850:
        return 1000 + hhh
    if p == 700:
        return 2000 + hhh if hhh > 500 else 3000 + hhh
    if p in (500, 400):
        return 10 * hhh
    base = {300: (0, 10000), 250: (0, 10000), 200: (10000, 10000), 150: (10000, 10000),
            100: (10000, 10000), 70: (10000, 10000), 50: (10000, 20000),
            30: (20000, 20000), 20: (20000, 20000), 10: (20000, 30000),
            7: (30000, 30000), 5: (30000, 30000), 3: (30000, 40000), 2: (30000, 40000),
            1: (40000, 50000)}
    hi, lo = base[p]
    return (hi if hhh > 500 else lo) + 10 * hhh


def dec_ph(g):
    if g[0] == 'X' or g[:2] == '99':
        return None, None
    pp = int(g[:2])
    p = 1000 if pp == 0 else (925 if pp == 92 else (10 * pp if pp > 0 else -pp))
    return p, mand_height(p, int(g[2:5]))


def dec_td(g):
    if g[0] == 'X' or g[:3] == '999':
        return None, None
    ttt = int(g[:3])
    t = ttt / 10.0 if ttt % 2 == 0 else -ttt / 10.0
    dd = int(g[3:5])
    if dd == 99:
        return t, None
    return t, (t - dd / 10.0 if dd <= 50 else t - (dd - 50))


def dec_wd(g):
    if g[0] == 'X' or g[:3] == '999':
        return None, None
    ddd, ff = int(g[:3]), int(g[3:5])
    s, d = (ddd % 5) * 100 + ff, ddd - ddd % 5
    if s > 250 or d > 360:
        return None, None
    return d, s


def read_reports(path):
    """Station id -> report of a "ZUDUPA+" file: man (p, h, t, td, dir, spd) list,
    trop, mwnd, sig (p, t, td) list, wnd (h ft, dir, spd) list; the date label."""
    with open(path) as f:
        lines = f.read().split('\n')
    if lines[0].strip() != 'ZUDUPA+':
        return {}, None
    date = lines[1].strip()
    toks = ' '.join(lines[2:]).split()
    reps, i = {}, 0
    while i < len(toks):
        rep = {'id': toks[i], 'man': [], 'sig': [], 'wnd': []}
        i += 1
        for _ in MAND:
            p, h = dec_ph(toks[i])
            t, td = dec_td(toks[i + 1])
            d, s = dec_wd(toks[i + 2])
            rep['man'].append((p, h, t, td, d, s))
            i += 3
        while toks[i].startswith('-'):
            pp = -int(toks[i][:2])
            p, h = pp, mand_height(pp, int(toks[i][2:5]))
            t, td = dec_td(toks[i + 1])
            d, s = dec_wd(toks[i + 2])
            rep['man'].append((p, h, t, td, d, s))
            i += 3
        rep['trop'] = None
        if toks[i] != 'X':
            t, td = dec_td(toks[i + 1])
            d, s = dec_wd(toks[i + 2])
            rep['trop'] = (float(toks[i][2:5]), t, td, d, s)
        i += 3
        rep['mwnd'] = None
        if toks[i] != 'X':
            d, s = dec_wd(toks[i + 1])
            rep['mwnd'] = (float(toks[i][2:5]), d, s)
        i += 2
        while toks[i] != 'X':
            v = float(toks[i])
            p = 1000 + v if v < 100 and toks[i][0] == '0' else v
            t, td = dec_td(toks[i + 1])
            rep['sig'].append((p, t, td))
            i += 2
        i += 1
        while toks[i] != '$':
            d, s = dec_wd(toks[i + 1])
            rep['wnd'].append((int(toks[i]) * 1000.0, d, s))
            i += 2
        i += 1
        reps[rep['id']] = rep
    return reps, date


def read_cty(path):
    out = {}
    with open(path) as f:
        for line in f:
            w = line.split()
            if len(w) >= 9:
                out[w[3]] = (float(w[5]), float(w[6]), float(w[7]), int(w[8]))
    return out


# ---- the checking machinery -----------------------------------------------------------

class Checker:
    def __init__(self, name, lines):
        self.name = name
        self.lines = lines
        self.claimed = set()
        self.fails = []
        self.count = 0

    def claim(self, i):
        self.claimed.add(i)

    def fail(self, i, msg):
        self.fails.append('%s:%d: %s\n    | %s' % (self.name, i + 1, msg,
                                                   self.lines[i] if i is not None else ''))

    def close(self, i, what, printed, lo, hi, step, tol=0.0):
        """printed (value with print step `step`) must lie in [lo, hi] widened by half
        a step and tol."""
        self.count += 1
        if lo > hi:
            lo, hi = hi, lo
        slack = step / 2 + tol + 1e-9
        if not (lo - slack <= printed <= hi + slack):
            if abs(hi - lo) < 1e-6:
                self.fail(i, '%s: printed %g, expected %.4f (tol %g)' % (what, printed, lo, slack))
            else:
                self.fail(i, '%s: printed %g, expected %.4f..%.4f (tol %g)'
                          % (what, printed, lo, hi, slack))

    def near(self, i, what, printed, expect, step, tol=0.0):
        self.close(i, what, printed, expect, expect, step, tol)

    def expect(self, i, what, cond):
        self.count += 1
        if not cond:
            self.fail(i, what)


def same(a, b):
    """Equal printed values (to the 0.1 of the temperature columns), both may be missing."""
    return (a is None and b is None) or (a is not None and b is not None and abs(a - b) < 0.01)


def span(f, *ranges):
    """Range of f over the corners of the input intervals (and their centre)."""
    vals = []
    for corner in itertools.product(*ranges):
        try:
            vals.append(f(*corner))
        except (ValueError, ZeroDivisionError, OverflowError):
            pass
    centre = [(r[0] + r[-1]) / 2 for r in ranges]
    vals.append(f(*centre))
    return min(vals), max(vals)


def iv(x, step):
    """Interval of a printed value with print step `step`."""
    return (x - step / 2, x + step / 2)


def num(s):
    s = s.strip()
    if s == '' or s == '-':
        return None
    return float(s)


# ---- parsing the output ---------------------------------------------------------------

LEVEL_COLS = [('p', 4, 9), ('h', 9, 15), ('t', 15, 21), ('td', 21, 27), ('rh', 27, 31),
              ('dd', 31, 36), ('wb', 36, 42), ('dir', 42, 46), ('spd', 46, 50),
              ('th', 50, 56), ('thv', 56, 62), ('thw', 62, 68), ('the', 68, 74),
              ('w', 74, 79)]


def parse_level(line):
    row = {'lab': line[:4].strip()}
    for key, a, b in LEVEL_COLS:
        row[key] = num(line[a:b])
    return row


class Profile:
    """The printed level table as a profile: rows in order, with exact pressures where
    the report gives them."""

    def __init__(self, rows):
        self.rows = rows

    def interp(self, key, p, need_key=None):
        """Value of `key` at pressure p, linear in ln p between the nearest rows that have
        it (None outside)."""
        pts = [(r['px'], r[key]) for r in self.rows if r[key] is not None]
        if not pts or p is None:
            return None
        for (p1, v1), (p2, v2) in zip(pts, pts[1:]):
            if p1 >= p >= p2:
                if p1 == p2:
                    return v1
                return v1 + (v2 - v1) * math.log(p1 / p) / math.log(p1 / p2)
        if abs(math.log(pts[0][0] / p)) <= 0.01:
            return pts[0][1]
        if abs(math.log(pts[-1][0] / p)) < 1e-9:
            return pts[-1][1]
        return None


def find(lines, pattern, start=0):
    rx = re.compile(pattern)
    for i in range(start, len(lines)):
        m = rx.match(lines[i])
        if m:
            return i, m
    return None, None


FNUM = r'\s*(-?[0-9.]+)'


def take(ck, pattern, start):
    """The first line from `start` matching `pattern`, claimed, with its numbers; or
    (None, None)."""
    j, m = find(ck.lines, pattern, start)
    if j is None:
        return None, None
    ck.claim(j)
    return j, [float(x) for x in m.groups()]


# ---- the checks -----------------------------------------------------------------------

def check_header(ck, rep, date, cty):
    L = ck.lines
    i, m = find(L, r'\s+UPPER AIR SOUNDING PRINTING \(Ver [0-9.]+-LINUX-X11\)$')
    if i is not None:
        ck.claim(i)   # the program's version text, not a computed number
    for j, line in enumerate(L):
        if line in ('Date: ' + date, 'Date:' + date):
            ck.claim(j)   # the date label of the input file
    loc = cty.get(rep['id'])
    for key, fmt, idx in (('WMO ident: ', r'WMO ident:\s+(\d+)$', 3),
                          ('Latitude:', r'Latitude:' + FNUM + '$', 0),
                          ('Longitude:', r'Longitude:' + FNUM + '$', 1),
                          ('Elevation:', r'Elevation:' + FNUM + '$', 2)):
        j, m = find(L, fmt)
        if j is None:
            ck.expect(0, 'location line %s present exactly when the station database has it'
                      % key, loc is None)
            continue
        ck.claim(j)
        ck.expect(j, '%s from upa.cty' % key, loc is not None and abs(float(m.group(1)) - loc[idx]) < 0.006)
    return loc


def match_input(rows, rep, loc):
    """Gives every level row its exact pressure and checks p/T/Td (and the winds of
    mandatory levels) against the decoded report."""
    known = []   # (p, t, td, dir, spd, h, kind)
    for p, h, t, td, d, s in rep['man']:
        if p is not None:
            known.append((p, t, td, d, s, h, 'man'))
    for p, t, td in rep['sig']:
        known.append((p, t, td, None, None, None, 'sig'))
    return known


def check_levels(ck, rep, loc):
    L = ck.lines
    i0, _ = find(L, r'LEV PRES  HGHT  TEMP  DEWP  RH  DD   WETB DIR SPD THETA')
    if i0 is None:
        return None, None, None
    for j in (i0 - 1, i0, i0 + 1, i0 + 2):
        ck.claim(j)   # heading
    rows, i = [], i0 + 3
    while i < len(L) and L[i].strip():
        if L[i] == 'Press return to continue':   # a page pause inside the table
            i += 1
            continue
        r = parse_level(L[i])
        r['line'] = i
        rows.append(r)
        i += 1
    trp = [r for r in rows if r['lab'] == 'TRP']
    wnd = [r for r in rows if r['lab'] == 'WND']
    body = [r for r in rows if r['lab'] not in ('TRP', 'WND')]
    known = match_input(body, rep, loc)
    sfc_p = None

    # Pressures, temperatures and dew points come from the report groups; the sig levels
    # may sit at the max-wind pressure (then T/Td are interpolated in ln p, checked below).
    mw = rep['mwnd']
    for k, r in enumerate(body):
        r['px'] = r['p']
        if r['lab'] == 'SFC':
            sfc_p = r['p']
        else:
            ck.expect(r['line'], 'row label is the position %d' % k, r['lab'] == str(k))
        cands = [kn for kn in known if r['p'] is not None and abs(kn[0] - r['p']) <= 0.05 + (0.5 if r['p'] >= 10 else 0)]
        exact = [kn for kn in cands if same(kn[1], r['t']) and same(kn[2], r['td'])]
        if exact:
            r['px'] = exact[0][0]
            kn = exact[0]
            if kn[6] == 'man':
                r['h_reported'] = True
                ck.expect(r['line'], 'mandatory height %s' % kn[5], kn[5] is None or r['h'] == kn[5] or r['lab'] == 'SFC')
                if kn[3] is not None:
                    ck.expect(r['line'], 'mandatory wind %s/%s' % (kn[3], kn[4]),
                              r['dir'] == kn[3] and r['spd'] == kn[4])
                    r['wind_known'] = True
        elif mw is not None and abs(mw[0] - r['p']) < 0.5:
            r['px'] = mw[0]
            r['is_mw'] = True
        elif rep['trop'] is not None and abs(rep['trop'][0] - r['p']) < 0.5:
            r['px'] = rep['trop'][0]
            ck.expect(r['line'], 'tropopause T/Td', same(r['t'], rep['trop'][1]) and same(r['td'], rep['trop'][2]))
        else:
            ck.fail(r['line'], 'row matches no report level')
    prof = Profile(body)

    # Every report level with a temperature is in the table unless a mandatory level of
    # the same pressure took its place or it is colder in theta than the row below by
    # more than 3 K (superadiabatic screening).
    for kn in known:
        if kn[1] is None or any(abs(r['px'] - kn[0]) < 1e-6 for r in body):
            continue
        below = [r for r in body if r['px'] > kn[0] and r['t'] is not None]
        ok = kn[6] == 'sig' and any(m[0] == kn[0] and m[6] == 'man' for m in known)
        if below and not ok:
            ok = theta(kn[1] + C2K, kn[0]) - theta(below[-1]['t'] + C2K, below[-1]['px']) < -3
        ck.expect(body[0]['line'] if body else 0, 'report level %g mb is in the table' % kn[0], ok)

    # Max-wind row T/Td: ln-p interpolation between its neighbours.
    for k, r in enumerate(body):
        if r.get('is_mw') and 0 < k < len(body) - 1:
            a, b = body[k - 1], body[k + 1]
            for key in ('t', 'td'):
                # With one neighbour missing the other's value stands.
                if (a[key] is None) != (b[key] is None):
                    ck.expect(r['line'], 'max-wind %s from the one neighbour' % key,
                              same(r[key], a[key] if a[key] is not None else b[key]))
                elif a[key] is not None:
                    lo = [a[key] + (b[key] - a[key]) * math.log(a['px'] / r['px']) /
                          math.log(a['px'] / b['px'])]
                    ck.near(r['line'], 'max-wind %s interpolated' % key, r[key], lo[0], 0.1, 0.051)
                else:
                    ck.expect(r['line'], 'max-wind %s missing' % key, r[key] is None)

    if sfc_p is None:
        sfc_p = 1000.0
    sfc = {'p': sfc_p, 'h': prof.interp('h', sfc_p), 't': prof.interp('t', sfc_p),
           'td': prof.interp('td', sfc_p)}

    # Heights: the surface row has the station elevation; rows between reported heights
    # follow the hypsometric equation (mean of the two temperatures) within 2 m plus
    # 1.5 % of the step (the closure spreads the reported-height error over the gap);
    # above the last reported height the integration alone.
    for k, r in enumerate(body):
        if r['lab'] == 'SFC' and loc is not None:
            ck.expect(r['line'], 'surface height is the elevation', r['h'] == loc[2])
        if k == 0 or r['h'] is None or r.get('h_reported') or r['lab'] == 'SFC':
            continue
        a = body[k - 1]
        if a['h'] is None or r.get('wind_known') is None and False:
            continue
        ts = [x['t'] for x in (a, r) if x['t'] is not None]
        if not ts:
            continue
        tbar = sum(ts) / len(ts) + C2K
        dz = RD * tbar / G * math.log(a['px'] / r['px'])
        ck.near(r['line'], 'height by the hypsometric equation', r['h'], a['h'] + dz, 1.0,
                2.0 + 0.015 * abs(dz))

    # Derived columns from the printed T/Td and the exact pressure.
    for r in rows:
        ln = r['line']
        ck.claim(ln)
        p = r.get('px', r['p'])
        t, td = r['t'], r['td']
        if r['lab'] == 'TRP':
            tr = rep['trop']
            ck.expect(ln, 'TRP row is the tropopause', tr is not None and abs(tr[0] - r['p']) < 0.5
                      and same(t, tr[1]) and same(td, tr[2]) and (r['dir'], r['spd']) == (tr[3], tr[4]))
            p = tr[0] if tr else p
            twin = [b for b in body if abs(b['px'] - p) < 1e-6]
            ck.expect(ln, 'TRP height as in the table', bool(twin) and twin[0]['h'] == r['h'])
        if r['lab'] == 'WND':
            if mw is None:
                ck.expect(ln, 'no max wind: empty row', all(r[k] is None for k, _, _ in LEVEL_COLS))
                continue
            p = mw[0]
            twin = [b for b in body if abs(b['px'] - p) < 1e-6]
            ck.expect(ln, 'WND row is the max-wind row of the table', bool(twin) and all(
                twin[0][k] == r[k] for k, _, _ in LEVEL_COLS if k != 'dir' and k != 'spd')
                and (r['dir'], r['spd']) == (mw[1], mw[2]))
            continue
        if p is None:
            continue
        step_t = 0.1
        T = iv(t + C2K, step_t) if t is not None else None
        D = iv(td + C2K, step_t) if td is not None else None
        P = (p, p)
        if T is not None:
            ck.close(ln, 'theta', r['th'], *span(theta, T, P), 0.1)
        else:
            ck.expect(ln, 'no T: derived columns empty', r['th'] is None and r['rh'] is None)
        if T is not None and D is not None:
            ck.close(ln, 'RH', r['rh'], *span(rh, T, D), 1.0)
            ck.near(ln, 'T-Td', r['dd'], t - td, 0.1, 0.001)
            ck.close(ln, 'mixing ratio', r['w'], *span(lambda d: mixr(d, p), D), 0.01)
            ck.close(ln, 'theta-v', r['thv'], *span(thetav, T, D, P), 0.1)
            # Iterated quantities: LCL and saturated adiabats, 0.15 K.
            ck.close(ln, 'theta-e', r['the'], *span(thetae, T, D, P), 0.1, 0.15)
            ck.close(ln, 'wet bulb', r['wb'], *span(lambda a, b, c: wetbulb(a, b, c) - C2K, T, D, P), 0.1, 0.15)
            ck.close(ln, 'theta-w', r['thw'], *span(thetaw, T, D, P), 0.1, 0.15)
        else:
            ck.expect(ln, 'no Td: moist columns empty',
                      all(r[k] is None for k in ('rh', 'dd', 'wb', 'thv', 'thw', 'the', 'w')))
    return prof, sfc, body


def height_at(prof, p):
    return prof.interp('h', p)


def check_height_line(ck, i, prof, p, h, ft, ptol=0.005):
    """"p mb = h m = ft ft": the height of the pressure in the printed table, feet."""
    lo, hi = span(lambda x: height_at(prof, x), (p - ptol, p + ptol))
    ck.close(i, 'height of %.2f mb' % p, h, lo, hi, 0.01, 1.0)
    ck.near(i, 'feet', ft, h * FT, 0.01, 0.02)


def mean_layer(prof, key_f, bottom, top, skip):
    """Log-pressure trapezoid mean of key_f(row) from bottom to top over the rows with
    `skip` present; divided by the contributing depth (or by the whole depth)."""
    pts = []
    for r in prof.rows:
        if r[skip] is not None and bottom > r['px'] > top:
            pts.append((r['px'], key_f(r)))
    def at(p):
        row = {k: prof.interp(k, p) for k in ('t', 'td', 'h')}
        row['px'] = p
        if row[skip] is None:
            return None
        return key_f(row)
    pts = [(bottom, at(bottom))] + pts + [(top, at(top))]
    s = wsum = 0.0
    for (p1, v1), (p2, v2) in zip(pts, pts[1:]):
        if v1 is None or v2 is None:
            continue
        w = math.log(p1 / p2)
        s += (v1 + v2) / 2 * w
        wsum += w
    return s, wsum, math.log(bottom / top)


def mixed_parcel(prof, sfc_p, depth=100.0):
    """Mean theta and mixing ratio of the lowest `depth` mb: the lifted parcel."""
    th, _, full = mean_layer(prof, lambda r: theta(r['t'] + C2K, r['px']), sfc_p, sfc_p - depth, 't')
    w, _, _ = mean_layer(prof, lambda r: mixr(r['td'] + C2K, r['px']), sfc_p, sfc_p - depth, 'td')
    return th / full, w / full


def parcel_temp(t0, w0, p0, p):
    """Temperature (K) at p of a parcel lifted from (t0 K, mixing ratio w0, p0)."""
    pl, tl = lcl(t0, dewpoint_of(w0, p0), p0)
    if p >= pl:
        return t_dry(theta(t0, p0), p)
    return t_satad(satad_label(tl, pl), p)


# The package's saturated adiabats are defined down to 133.16 K (a search of 253.16 K
# plus or minus 120 K); parcels lifted into the stratosphere stay at that bound, which
# the energies of deep ascents reflect.
SATAD_FLOOR = 133.16


def ascent(prof, t0, w0, p0):
    """Independent parcel integration: buoyancy g (Tp - Te)/Te over height steps of the
    environment, 1 mb steps in ln p from the parcel level to the top of the sounding.
    Returns CAPE (positive area above the LCL, the dry ascent's warmth being no
    convective energy), CIN (negative area below the LFC, 0 when the parcel never becomes
    free), LFC, EL (top of the highest positive area), MPL (above that EL), B at the EL,
    LCL and the largest Te - Tp below 500 mb."""
    pl, tl = lcl(t0, dewpoint_of(w0, p0), p0)
    th = theta(t0, p0)
    lab = satad_label(tl, pl)
    top = min(r['px'] for r in prof.rows if r['t'] is not None)
    # The ascent ends at its last 10 mb step above the sounding's top (steps from the
    # LCL), so the layer above that step is not part of the energies.
    top = pl - 10.0 * math.ceil((pl - top) / 10.0 - 1)
    res = {'lcl': pl, 'cape': 0.0, 'cin': 0.0, 'lfc': None, 'el': None, 'mpl': None,
           'bel': None, 'cap': 0.0}
    te0 = prof.interp('t', p0)
    res['cap'] = max(0.0, te0 + C2K - t0)
    state, neg_above, positive = 0, 0.0, False
    ps = []
    p = p0
    while p > top:
        ps.append(p)
        p -= 1.0
    ps.append(top)
    prev = None
    for p in ps:
        tp = t_dry(th, p) if p >= pl else max(t_satad(lab, p), SATAD_FLOOR)
        te = prof.interp('t', p) + C2K
        h = prof.interp('h', p)
        if p > 500:
            res['cap'] = max(res['cap'], te - tp)
        if prev is not None:
            p1, tp1, te1, h1 = prev
            e = G * ((tp + tp1) / 2 - (te + te1) / 2) / ((te + te1) / 2) * (h - h1)
            pm = (p + p1) / 2
            moist = p1 <= pl
            if e > 0 and moist:
                res['cape'] += e
            if not moist:
                if e < 0:
                    res['cin'] -= e
            else:
                if e >= 0 and state == 0:
                    res['lfc'], state = pm, 1
                elif e < 0 and state == 0:
                    res['cin'] -= e
                if e > 0:
                    positive = True
                if e < 0 and state != 0:
                    neg_above -= e
                    if positive:
                        res['el'], res['bel'], state = pm, res['cape'] - neg_above, 2
                        res['mpl'] = None
                    positive = False
                if state == 2 and res['mpl'] is None and neg_above >= res['cape']:
                    res['mpl'] = pm
        prev = (p, tp, te, h)
    if state == 0:
        res['cin'] = 0.0
    return res


# Risk categories of the indices: (comparison, [(limit, word)...], word when none holds),
# the first limit that the value passes wins.
RISKS = {
    'li': ('>', [(2, 'None'), (0, 'Showers probable'), (-2, 'Thunderstorms probable'),
                 (-4, 'Severe thunderstorms possible')], 'Severe thunderstorms probable'),
    'si': ('>', [(3, 'None'), (1, 'Showers probable'), (-2, 'Thunderstorms probable'),
                 (-6, 'Severe thunderstorms possible')], 'Severe thunderstorms probable'),
    'tt': ('<', [(44, 'None'), (49, 'Scattered moderate thunderstorms'),
                 (55, 'Scattered heavy thunderstorms')], 'Severe Thunderstorms probable'),
    'k': ('<', [(15, 'None'), (20, '< 20 % chance of thunderstorms'),
                (25, '20-40 % chance of thunderstorms'), (30, '40-60 % chance of thunderstorms'),
                (35, '60-80 % chance of thunderstorms')], '> 80 % chance of thunderstorms'),
    'sweat': ('<', [(300, 'None'), (400, 'Showers and thunderstorms possible')],
              'Severe Thunderstorms possible'),
    'ei': ('>', [(0, 'None'), (-2, 'Scattered severe thunderstorms')],
           'Severe Thunderstorms probable'),
}


def risk_word(kind, value):
    rel, table, default = RISKS[kind]
    for limit, word in table:
        if (value > limit) if rel == '>' else (value < limit):
            return word
    return default


def check_indices(ck, rep, prof, sfc, body):
    L = ck.lines
    i0, _ = find(L, r'Sounding variables and indices$')
    if i0 is None:
        return None
    ck.claim(i0)
    rows_at = {r['px']: r for r in body}

    class Level(dict):
        """The table row at a pressure, or the table interpolated in ln p there."""
        def __missing__(self, p):
            if p in rows_at:
                return rows_at[p]
            lv = {k: prof.interp(k, p) for k in ('t', 'td', 'h', 'spd')}
            lv['px'] = p
            return lv
    row = Level()

    line = lambda pattern: take(ck, pattern, i0)

    j, v = line(r'1000-500 mb thick:' + FNUM + ' m$')
    if j is not None:
        ck.near(j, 'thickness = reported heights', v[0], row[500]['h'] - row[1000]['h'], 0.01, 0.5)
        # Hypsometric equation with virtual temperature over the rows that have T; below
        # the lowest such row the reported heights.
        trows = [r for r in body if 1000 >= r['px'] >= 500 and r['t'] is not None]
        z = trows[0]['h'] - row[1000]['h']
        for a, b in zip(trows, trows[1:]):
            tv = [(x['t'] + C2K) * (1 + VIRT * (mixr(x['td'] + C2K, x['px']) / 1000 if x['td'] is not None else 0)) for x in (a, b)]
            z += RD / G * (tv[0] + tv[1]) / 2 * math.log(a['px'] / b['px'])
        ck.near(j, 'thickness by the hypsometric equation (Tv), 0.4 %', v[0], z, 0.01, 0.004 * z)

    # Freezing crossings, linear in p between rows that have T; heights linear in p.
    trows = [r for r in body if r['t'] is not None]
    jf = i0
    if sfc['t'] is not None and sfc['t'] < 0:
        j, _ = find(L, r'Freezing level:      Surface below freezing$', i0)
        ck.expect(i0, 'surface below freezing line', j is not None)
        if j is not None:
            ck.claim(j)
    crossings = []
    for a, b in zip(trows, trows[1:]):
        if (a['t'] >= 0) != (b['t'] >= 0):
            p0 = a['px'] + (0 - a['t']) * (b['px'] - a['px']) / (b['t'] - a['t'])
            h0 = a['h'] + (p0 - a['px']) * (b['h'] - a['h']) / (b['px'] - a['px'])
            crossings.append((p0, h0))
    got = []
    for j in range(i0, len(L)):
        m = re.match(r'Freezing level:' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$', L[j])
        if m:
            got.append((j, [float(x) for x in m.groups()]))
            ck.claim(j)
    ck.expect(i0, 'one freezing line per crossing (%d)' % len(crossings), len(got) == len(crossings))
    for (j, v), (p0, h0) in zip(got, crossings):
        ck.near(j, 'freezing level p', v[0], p0, 0.01, 0.01)
        ck.near(j, 'freezing level h (row heights printed to 1 m)', v[1], h0, 0.01, 0.5)
        ck.near(j, 'feet', v[2], v[1] * FT, 0.01, 0.02)

    # Wet-bulb zero: the same scan on the wet-bulb temperature (0.15 K iteration
    # tolerance moves the crossing by a fraction of a mb).
    mrows = [r for r in body if r['t'] is not None and r['td'] is not None]
    wb = [(r['px'], wetbulb(r['t'] + C2K, r['td'] + C2K, r['px']) - C2K) for r in mrows]
    j, m = find(L, r'Wetbulb zero:        Below ground$', i0)
    if j is not None:
        ck.claim(j)
        ck.expect(j, 'wet bulb below zero at the first level', wb and wb[0][1] < 0)
    j, v = line(r'Wetbulb zero:' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$')
    if j is not None:
        exp = None
        for (p1, w1), (p2, w2) in zip(wb, wb[1:]):
            if (w1 >= 0) != (w2 >= 0):
                exp = p1 + (0 - w1) * (p2 - p1) / (w2 - w1)
                break
        ck.expect(j, 'a wet-bulb crossing exists', exp is not None and wb[0][1] >= 0)
        if exp is not None:
            ck.near(j, 'wet-bulb zero p', v[0], exp, 0.01, 0.5)
            check_height_line(ck, j, prof, v[0], v[1], v[2])

    j, v = line(r'Precipitable water:' + FNUM + ' inches$')
    if j is not None:
        # Trapezoids of specific humidity (textbook q = eps e / (p - 0.378 e)) over the
        # rows with a dew point; 1 inch = 25.4 kg/m2. 3 % for the textbook q.
        drows = [r for r in body if r['td'] is not None]
        tot = 0.0
        for a, b in zip(drows, drows[1:]):
            q = [0.622 * es(x['td'] + C2K) / (x['px'] - 0.378 * es(x['td'] + C2K)) for x in (a, b)]
            tot += (a['px'] - b['px']) * 100 * (q[0] + q[1]) / 2 / G / 25.4
        ck.near(j, 'precipitable water', v[0], tot, 0.01, 0.03 * tot)
    else:
        ck.expect(i0, 'precipitable water absent only without dew points in the first three levels',
                  all(r['td'] is None for r in body[:3]))

    j, v = line(r'Sfc-500 mean rel hum:' + FNUM + ' %$')
    if j is not None:
        s, wsum, _ = mean_layer(prof, lambda r: rh(r['t'] + C2K, r['td'] + C2K) if r['td'] is not None else None,
                                sfc['p'], 500.0, 't')
        ck.near(j, 'mean RH', v[0], s / wsum, 0.01, 0.3)

    j, v = line(r'Est. max temperature:' + FNUM + ' C =' + FNUM + ' F$')
    if j is not None:
        tt = prof.interp('t', sfc['p'] - 150)
        ck.near(j, 'max temperature', v[0], t_dry(theta(tt + C2K, sfc['p'] - 150), sfc['p']) - C2K, 0.01, 0.06)
        ck.near(j, 'Fahrenheit', v[1], v[0] * 9 / 5 + 32, 0.01, 0.01)  # C printed to 0.01: 0.009 F

    j, v = line(r'Sfc-Lift cond lev \(LCL\):' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft T:' + FNUM + ' C$')
    if j is not None:
        lo, hi = span(lambda a, b: lcl(a, b, sfc['p'])[0], iv(sfc['t'] + C2K, 0.1), iv(sfc['td'] + C2K, 0.1))
        ck.close(j, 'surface LCL', v[0], lo, hi, 0.01, 1.0)
        check_height_line(ck, j, prof, v[0], v[1], v[2])
        ck.near(j, 'T at the LCL from the table', v[3], prof.interp('t', v[0]), 0.01, 0.06)

    j, v = line(r'700-500 lapse rate:' + FNUM + ' C/km$')
    if j is not None:
        ck.near(j, 'lapse rate', v[0], -(row[500]['t'] - row[700]['t']) / (row[500]['h'] - row[700]['h']) * 1000, 0.01, 0.005)

    j, v = line(r'ThetaE index:' + FNUM + ' C Layer' + FNUM + '-' + FNUM + ' mb$')
    if j is not None:
        # Decreasing runs of theta-e upward from the first moist level, the run starting
        # at or below 700 mb with the largest total decrease. The printed bounds are the
        # upper end of the run's first segment and the upper end of the first increasing
        # segment after it; a run that never ends, or a sounding without any decrease,
        # reaches the last moist level examined.
        te = [(r['px'], thetae(r['t'] + C2K, r['td'] + C2K, r['px'])) for r in mrows]
        runs, cur = [], None
        for (p1, e1), (p2, e2) in zip(te, te[1:]):
            if e2 <= e1:
                if cur is None:
                    if p1 < 700:
                        break
                    cur = [p2, None, 0.0]
                cur[2] += e1 - e2
            elif cur is not None:
                cur[1] = p2
                runs.append(cur)
                cur = None
                if len(runs) == 5:
                    break
        if cur is not None:
            runs.append(cur)
        best = max(runs, key=lambda x: x[2]) if runs else [te[0][0], None, 0.0]
        ck.near(j, 'theta-e index', v[0], best[2], 0.01, 0.3)
        ck.near(j, 'theta-e layer base', v[1], best[0], 0.1)
        ck.near(j, 'theta-e layer top', v[2], best[1] if best[1] is not None else te[-1][0], 0.1)

    j, v = line(r'Conv cond level \(CCL\):' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$')
    if j is not None:
        s, _, full = mean_layer(prof, lambda r: mixr(r['td'] + C2K, r['px']), sfc['p'], sfc['p'] - 100, 'td')
        wbar = s / full
        # The CCL: lowest pressure where the environment becomes colder than the
        # wbar mixing-ratio line, the rows' T linear in ln p in between.
        f = lambda p: mixr(prof.interp('t', p) + C2K, p) - wbar
        pc = None
        if f(sfc['p']) <= 0:
            pc = sfc['p']
        else:
            tr = [r['px'] for r in body if r['t'] is not None and r['px'] <= sfc['p']]
            for a, b in zip(tr, tr[1:]):
                if f(b) <= 0:
                    pc = bisect(f, b, a)
                    break
        ck.near(j, 'CCL', v[0], pc, 0.01, 1.0)
        check_height_line(ck, j, prof, v[0], v[1], v[2], 0.5)
        j2, v2 = line(r'  Mean mixing ratio:' + FNUM + ' g/kg$')
        ck.near(j2, 'mean mixing ratio of the lowest 100 mb', v2[0], wbar, 0.01, 0.02)
        j3, v3 = line(r'  Conv temperature:' + FNUM + ' C =' + FNUM + ' F$')
        ct = t_dry(theta(dewpoint_of(wbar, pc), pc), sfc['p']) - C2K
        ck.near(j3, 'convective temperature', v3[0], ct, 0.01, 0.2)
        ck.near(j3, 'Fahrenheit', v3[1], v3[0] * 9 / 5 + 32, 0.01, 0.01)

    # The lifted parcel: mean theta and mixing ratio of the lowest 100 mb.
    par = None
    if sfc['t'] is not None and sfc['td'] is not None:
        th, w = mixed_parcel(prof, sfc['p'])
        par = (t_dry(th, sfc['p']), w, sfc['p'])

    j, v = line(r'Cap Strength:' + FNUM + ' C$')
    if j is not None:
        pl, tl = lcl(par[0], dewpoint_of(par[1], par[2]), par[2])
        lab = satad_label(tl, pl)
        ptemp = (lambda p: t_dry(theta(par[0], par[2]), p)) if pl < 500 else (lambda p: t_satad(lab, p))
        cap = prof.interp('t', pl) + C2K - tl
        for r in body:
            if pl >= r['px'] > 500 and r['t'] is not None:
                cap = max(cap, r['t'] + C2K - ptemp(r['px']))
        ck.near(j, 'cap strength', v[0], cap, 0.01, 0.15)

    def lifted(t0, w0, p0, top):
        return prof.interp('t', top) + C2K - parcel_temp(t0, w0, p0, top)

    def showalter():
        r8 = row[850]
        return lifted(r8['t'] + C2K, mixr(r8['td'] + C2K, 850), 850, 500)

    def sweat():
        a, b = row[850], row[500]
        s = 12 * a['td'] if a['td'] > 0 else 0
        tt = a['t'] + a['td'] - 2 * b['t']
        s += 20 * (tt - 49) if tt > 49 else 0
        s += 2 * a['spd'] + b['spd']
        if (135 <= a['dir'] <= 250 and 210 <= b['dir'] <= 310 and b['dir'] - a['dir'] > 0
                and a['spd'] >= 15 and b['spd'] >= 15):
            s += 125 * (math.sin(math.radians(b['dir'] - a['dir'])) + 0.2)
        return s

    def energy_index():
        # Static energy cp T + g z + L w in cal/g (0.24 cal/g/K, 980 cm/s2 over
        # 4.2e7 erg/cal, 0.6 cal/g per g/kg).
        e = [0.24 * (r['t'] + C2K) + r['h'] * 980 * 100 / 4.2e7 + 0.6 * mixr(r['td'] + C2K, r['px'])
             for r in (row[500], row[850])]
        return e[0] - e[1]

    a8, a7, a5 = row[850], row[700], row[500]
    # (line, what, expected value, tolerance, risk categories or None). Parcel indices
    # from the checker's ascent (0.15 C for the iterations); totals, K and SWEAT exact
    # from the printed 850/700/500 rows.
    C = r' C Risk: (.*)$'
    N = r'   Risk: (.*)$'
    indices = [
        (r'Lifted Index:' + FNUM + C, 'lifted index to 500 mb',
         lambda: lifted(par[0], par[1], par[2], 500), 0.15, 'li'),
        (r'Lifted Index @300 mb:' + FNUM + ' C$', 'lifted index to 300 mb',
         lambda: lifted(par[0], par[1], par[2], 300), 0.15, None),
        (r'Lifted Index @700 mb:' + FNUM + ' C$', 'lifted index to 700 mb',
         lambda: lifted(par[0], par[1], par[2], 700), 0.15, None),
        (r'Showalter Index:' + FNUM + C, 'Showalter index', showalter, 0.15, 'si'),
        (r'Total Totals Index:' + FNUM + C, 'total totals',
         lambda: a8['t'] + a8['td'] - 2 * a5['t'], 0.001, 'tt'),
        (r'  Vertical Totals Index:' + FNUM + ' C$', 'vertical totals',
         lambda: a8['t'] - a5['t'], 0.001, None),
        (r'  Cross Totals Index:' + FNUM + ' C$', 'cross totals',
         lambda: a8['td'] - a5['t'], 0.001, None),
        (r'K Index:' + FNUM + N, 'K index',
         lambda: a8['t'] - a5['t'] + a8['td'] - (a7['t'] - a7['td']), 0.001, 'k'),
        (r'Sweat Index:' + FNUM + N, 'SWEAT', sweat, 0.01, 'sweat'),
        (r'Energy Index:' + FNUM + N, 'energy index', energy_index, 0.01, 'ei'),
    ]
    for pattern, what, value, tol, kind in indices:
        j, m = find(L, pattern, i0)
        if j is None:
            continue
        ck.claim(j)
        printed = float(m.group(1))
        ck.near(j, what, printed, value(), 0.01, tol)
        if kind is not None:
            ck.expect(j, what + ' risk word', m.group(2) == risk_word(kind, printed))
    return par


def check_parcel(ck, prof, sfc, par):
    L = ck.lines
    i0, _ = find(L, r'Parcel Indices$')
    if i0 is None:
        return None
    ck.claim(i0)
    j, m = find(L, r'Parcel: using 100 mb layer$', i0)
    ck.expect(i0, 'parcel is the 100 mb mixed layer', j is not None)
    if j is not None:
        ck.claim(j)

    line = lambda pattern: take(ck, pattern, i0)

    res = ascent(prof, *par) if par is not None else None
    j, v = line(r'CAPE \(B\+\):' + FNUM + ' J/kg$')
    ck.expect(i0, 'CAPE line present with a parcel', (j is not None) == (res is not None))
    if res is None:
        return None
    cape = v[0]
    # Integration tolerances: 10 mb moist steps and trapezoids against 1 mb steps.
    ck.near(j, 'CAPE (independent integration, 3 % + 5 J/kg)', cape, res['cape'], 0.01, 0.03 * res['cape'] + 5)
    j, v = line(r'Max Up Vert Vel:' + FNUM + ' m/s$')
    ck.near(j, 'w max = sqrt(2 CAPE)', v[0], math.sqrt(2 * cape), 0.01, 0.001)
    j, v = line(r'Conv Inhibition \(B-\):' + FNUM + ' J/kg$')
    ck.near(j, 'CIN (independent integration, 3 % + 5 J/kg)', v[0], res['cin'], 0.01, 0.03 * res['cin'] + 5)
    j, v = line(r'Cap Strength:' + FNUM + ' C$')
    ck.near(j, 'parcel cap strength', v[0], res['cap'], 0.01, 0.3)
    j, v = line(r'Lift Cond Lev \(LCL\):' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$')
    ck.near(j, 'parcel LCL', v[0], res['lcl'], 0.01, 1.0)
    check_height_line(ck, j, prof, v[0], v[1], v[2])
    # LFC, EL, MPL: the program reports the middle of the first 10 mb step whose energy
    # changes sign, up to a step and a half from the crossing: 15 mb.
    j, v = line(r'Lev Free Conv \(LFC\):' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$')
    jn, _ = find(L, r'Lev Free Conv \(LFC\):     none$', i0)
    if jn is not None:
        ck.claim(jn)
    ck.expect(j if j is not None else jn, 'LFC found exactly when the parcel has one', (j is not None) == (res['lfc'] is not None))
    if j is not None and res['lfc'] is not None:
        ck.near(j, 'LFC', v[0], res['lfc'], 0.01, 15.0)
        check_height_line(ck, j, prof, v[0], v[1], v[2])
    j, v = line(r'Equ Level \(EL\):' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$')
    ck.expect(j if j is not None else i0, 'EL found exactly when the parcel has one', (j is not None) == (res['el'] is not None))
    if j is not None and res['el'] is not None:
        ck.near(j, 'EL', v[0], res['el'], 0.01, 15.0)
        check_height_line(ck, j, prof, v[0], v[1], v[2])
        j2, v2 = line(r'B at Equ Level:' + FNUM + ' J/kg$')
        ck.near(j2, 'B at the EL (3 % + 5 J/kg)', v2[0], res['bel'], 0.01, 0.03 * abs(res['bel']) + 5)
    j, v = line(r'Max Parcel Lev \(MPL\):' + FNUM + ' mb =' + FNUM + ' m =' + FNUM + ' ft$')
    ck.expect(j if j is not None else i0, 'MPL found exactly when the parcel has one', (j is not None) == (res['mpl'] is not None))
    if j is not None and res['mpl'] is not None:
        ck.near(j, 'MPL', v[0], res['mpl'], 0.01, 15.0)
        check_height_line(ck, j, prof, v[0], v[1], v[2])
    return cape


# ---- winds ----------------------------------------------------------------------------

def parse_wind_row(line):
    r = {'lev': int(line[0:3]), 'p': num(line[5:9]), 'h': num(line[10:15]),
         'dir': num(line[17:20]), 'spd': num(line[21:24]), 'u': num(line[25:30]),
         'v': num(line[31:36])}
    if len(line) > 37 and line[37] == '|':
        r['sdir'] = num(line[38:42])
        r['sspd'] = num(line[43:46])
        r['su'] = num(line[47:52])
        r['sv'] = num(line[53:58])
    return r


class Winds:
    """The printed wind table as a profile in height."""

    def __init__(self, rows):
        self.rows = [r for r in rows if r['dir'] is not None]

    def at(self, h):
        """dir, spd, p at height h: dir and speed linear in height (direction through
        north the short way), pressure linear in ln p."""
        rs = self.rows
        for a, b in zip(rs, rs[1:]):
            if a['h'] <= h <= b['h']:
                f = 0 if b['h'] == a['h'] else (h - a['h']) / (b['h'] - a['h'])
                d = a['dir'] + f * angdiff(b['dir'], a['dir'])
                d = d % 360
                s = a['spd'] + f * (b['spd'] - a['spd'])
                p = math.exp(math.log(a['p']) + f * math.log(b['p'] / a['p']))
                return d, s, p
        if rs and abs(h - rs[0]['h']) <= 3:
            return rs[0]['dir'], rs[0]['spd'], rs[0]['p']
        return None


    def uv_at(self, h):
        """Wind vector (m/s) at height h for the kinematic integrations: the u and v
        components linear in height between the rows above and below."""
        rs = self.rows
        for a, b in zip(rs, rs[1:]):
            if a['h'] <= h <= b['h']:
                f = 0 if b['h'] == a['h'] else (h - a['h']) / (b['h'] - a['h'])
                ua, va = wind_uv(a['dir'], a['spd'] * KT)
                ub, vb = wind_uv(b['dir'], b['spd'] * KT)
                return ua + f * (ub - ua), va + f * (vb - va)
        if rs and abs(h - rs[0]['h']) <= 3:
            return wind_uv(rs[0]['dir'], rs[0]['spd'] * KT)
        return None


def layer_mean(winds, h0, h1):
    """Log-pressure weighted mean wind from h0 to h1: mean vector direction and mean
    scalar speed (knots)."""
    pts = [winds.at(h0)] + [(r['dir'], r['spd'], r['p']) for r in winds.rows if h0 < r['h'] < h1]
    top = winds.at(h1)
    pts.append(top)
    su = sv = ss = wt = 0.0
    for a, b in zip(pts, pts[1:]):
        if a is None or b is None:
            continue
        w = math.log(a[2] / b[2])
        ua, va = wind_uv(a[0], a[1])
        ub, vb = wind_uv(b[0], b[1])
        su += (ua + ub) * w
        sv += (va + vb) * w
        ss += (a[1] + b[1]) * w
        wt += w
    if wt == 0:
        return None
    d, _ = uv_wind(su / (2 * wt), sv / (2 * wt))
    return d, ss / (2 * wt)


def kinematics(winds, h0, depth, storm):
    """Shear and storm-relative helicity of the layer h0..h0+depth from the wind profile
    (wind components linear in height between the rows):
    positive/negative shear (veering/backing steps of 500 m), helicity as the signed area
    swept by the storm-relative hodograph, storm-relative directional shear, and the
    natural-coordinate vorticity: streamwise |V| dpsi/dz and the horizontal magnitude
    sqrt((d|V|/dz)^2 + (|V| dpsi/dz)^2), depth-weighted means."""
    cu, cv = wind_uv(storm[0], storm[1] * KT)
    out = {}
    # shear, 500 m steps
    P = [0.0, 0.0]
    N = [0.0, 0.0]
    z = 0.0
    prev = winds.uv_at(h0)
    h = h0 + 500
    while h <= h0 + depth + 10:
        cur = winds.uv_at(h)
        if prev and cur:
            u1, v1 = prev
            u2, v2 = cur
            turn = uv_wind(u2, v2)[0] - uv_wind(u1, v1)[0]
            acc = P if (0 < turn < 180 or turn < -180) else N
            acc[0] += u2 - u1
            acc[1] += v2 - v1
            z += 500
        prev = cur
        h += 500
    out['pos_shr'] = math.hypot(*P) / z * 1000 if z else None
    out['neg_shr'] = math.hypot(*N) / z * 1000 if z else None
    # helicity and vorticity, fine steps of 10 m
    pos = neg = 0.0
    S = V = 0.0
    n = 0
    dz = 10.0
    h = h0
    a = winds.uv_at(h)
    while h + dz <= h0 + depth + 1e-6:
        b = winds.uv_at(h + dz)
        if a and b:
            ua, va, ub, vb = a[0] - cu, a[1] - cv, b[0] - cu, b[1] - cv
            e = va * ub - vb * ua
            if e > 0:
                pos += e
            else:
                neg += e
            da, sa = uv_wind(ua, va)
            db, sb = uv_wind(ub, vb)
            d = math.radians(angdiff(db, da)) / dz * (sa + sb) / 2
            s = (sb - sa) / dz
            S += d
            V += math.hypot(s, d)
            n += 1
        a = b
        h += dz
    out['pos_hel'], out['neg_hel'] = pos, neg
    out['tot_hel'] = pos + neg
    out['hor'] = V / n * 1000 if n else None
    out['strm'] = S / n * 1000 if n else None
    out['rel'] = S / V if V else None
    b0, t0 = winds.at(h0), winds.at(h0 + depth)
    if b0 and t0:
        u1, v1 = wind_uv(b0[0], b0[1] * KT)
        u2, v2 = wind_uv(t0[0], t0[1] * KT)
        out['dir_shr'] = angdiff(uv_wind(u2 - cu, v2 - cv)[0], uv_wind(u1 - cu, v1 - cv)[0])
    return out


def check_winds(ck, rep, prof, sfc, cape, body):
    L = ck.lines
    i0, _ = find(L, r'Wind level data$')
    if i0 is None:
        return
    ck.has_winds = True
    ck.claim(i0)
    ip, mp = find(L, r'Wind Parameters$')
    j, m = find(L, r'Mean winds \(0-6000m\):' + FNUM + ' at' + FNUM + ' knts$', ip or 0)
    j2, m2 = find(L, r'Storm direction:' + FNUM + ' at' + FNUM + ' knts$', ip or 0)
    storm = (float(m2.group(1)), float(m2.group(2))) if j2 is not None else None
    js, ms = find(L, r'   Storm motion:\s*(\d+) at\s*(\d+) knt$', i0)
    if js is not None:
        ck.claim(js)
        ck.near(js, 'storm motion header', float(ms.group(1)), storm[0], 1)
        ck.near(js, 'storm motion header', float(ms.group(2)), storm[1], 1)
    k = (js if js is not None else i0) + 1
    while not L[k].startswith('---'):
        k += 1
    for q in range(k, k + 5):
        ck.claim(q)
    rows = []
    q = k + 5
    while q < len(L) and L[q].strip():
        r = parse_wind_row(L[q])
        r['line'] = q
        rows.append(r)
        ck.claim(q)
        q += 1
    # Each row: position label, u/v from dir/speed (m/s), the storm-relative part from
    # the printed storm motion.
    su, sv = wind_uv(storm[0], storm[1] * KT) if storm else (None, None)
    for n, r in enumerate(rows):
        ln = r['line']
        ck.expect(ln, 'wind row label', r['lev'] == n)
        D, S = iv(r['dir'], 1), iv(r['spd'], 1)
        ck.close(ln, 'u', r['u'], *span(lambda d, s: wind_uv(d, s * KT)[0], D, S), 0.1)
        ck.close(ln, 'v', r['v'], *span(lambda d, s: wind_uv(d, s * KT)[1], D, S), 0.1)
        if storm:
            # u, v printed to 0.1 and the storm motion to 0.1 degree and knot (0.03 m/s).
            ck.near(ln, 'storm-relative u', r['su'], r['u'] - su, 0.1, 0.08)
            ck.near(ln, 'storm-relative v', r['sv'], r['v'] - sv, 0.1, 0.08)
            U, Vv = iv(r['su'], 0.1), iv(r['sv'], 0.1)
            ck.close(ln, 'storm-relative speed (knots)', r['sspd'], *span(lambda a, b: math.hypot(a, b) / KT, U, Vv), 1)
            if math.hypot(r['su'], r['sv']) > 1.0:
                lo, hi = span(lambda a, b: uv_wind(a, b)[0], U, Vv)
                if hi - lo > 180:   # interval straddles north
                    pass
                else:
                    ck.close(ln, 'storm-relative direction', r['sdir'], lo, hi, 1)
    # The rows are the report's winds: mandatory levels (above ground) at their heights,
    # wind levels at h ft * 0.3048, tropopause and max wind; pressures of the wind
    # levels from the printed level table in ln p (linear in height between rows).
    winds = Winds(rows)
    reported = []
    for p, h, t, td, d, s in rep['man']:
        if p is not None and d is not None and p <= sfc['p']:
            reported.append((h, d, s))
    for hft, d, s in rep['wnd']:
        if d is not None:
            reported.append((round(hft * 0.3048), d, s))
    for r in rows:
        ok = any(abs(r['h'] - h) <= 0.5 and r['dir'] == d and r['spd'] == s for h, d, s in reported if h is not None)
        ok = ok or (rep['mwnd'] is not None and r['p'] is not None and abs(r['p'] - rep['mwnd'][0]) < 0.5 and (r['dir'], r['spd']) == rep['mwnd'][1:])
        ok = ok or (rep['trop'] is not None and r['p'] is not None and abs(r['p'] - rep['trop'][0]) < 0.5 and (r['dir'], r['spd']) == rep['trop'][3:])
        # The surface wind (height 00) sits at the surface: the station elevation, or 0
        # when the elevation is unknown.
        ok = ok or (r['lev'] == 0 and rep['wnd'] and rep['wnd'][0][0] == 0 and r['h'] in (0, sfc['h'])
                    and (r['dir'], r['spd']) == rep['wnd'][0][1:])
        ck.expect(r['line'], 'wind row is a report wind', ok)
    # Pressures of the wind levels: the hypsometric equation between the wind rows whose
    # pressure was reported (surface, mandatory, tropopause, max wind) for the isothermal
    # layer their two heights imply (ln p linear in height); outside them the standard
    # lapse rate from the surface temperature (288.15 K when there is none).
    reported_p = {m[0]: m[1] for m in rep['man'] if m[0] is not None and m[1] is not None}
    for extra in (rep['trop'], rep['mwnd']):
        if extra is not None:
            reported_p[extra[0]] = None
    def is_reported(r):
        if r['p'] is None:
            return False
        if abs(r['p'] - sfc['p']) < 0.5 and r['h'] == sfc['h']:
            return True
        return any(abs(r['p'] - p) < 0.5 and (h is None or h == r['h']) for p, h in reported_p.items())
    anchors = [r for r in rows if is_reported(r)]
    t_first = (rows[0]['p'] is not None and abs(rows[0]['p'] - sfc['p']) < 0.5 and sfc['t'] is not None)
    t_first = sfc['t'] + C2K if t_first else 288.15
    for r in rows:
        if r in anchors:
            continue
        lo = [a for a in anchors if a['h'] < r['h']]
        hi = [a for a in anchors if a['h'] > r['h']]
        if lo and hi:
            a, b = lo[-1], hi[0]
            pe = math.exp(math.log(a['p']) + (r['h'] - a['h']) / (b['h'] - a['h']) * math.log(b['p'] / a['p']))
            lo_p, hi_p = span(lambda pa, pb: math.exp(math.log(pa) + (r['h'] - a['h']) / (b['h'] - a['h']) * math.log(pb / pa)),
                              iv(a['p'], 1), iv(b['p'], 1))
        elif lo:
            a = lo[-1]
            first = [x for x in rows if x['h'] > a['h']][0]
            tbar = t_first - 0.0065 * first['h']
            lo_p, hi_p = span(lambda pa: pa * math.exp(-G * (r['h'] - a['h']) / (RD * tbar)), iv(a['p'], 1))
        elif hi:
            b = hi[0]
            tbar = t_first - 0.0065 * b['h']
            lo_p, hi_p = span(lambda pb: pb * math.exp(G * (b['h'] - r['h']) / (RD * tbar)), iv(b['p'], 1))
        else:
            ck.fail(r['line'], 'no reported pressure in the wind table')
            continue
        ck.close(r['line'], 'wind-level pressure (hypsometric)', r['p'], lo_p, hi_p, 1, 0.05)
    # The level table's winds at other levels: the wind profile at that pressure
    # (ln p), within 2 degrees and 1 knot of the rounding of the wind table.
    pts = [(r['p'], r['dir'], r['spd']) for r in winds.rows]
    for b in body:
        if b.get('wind_known'):
            continue
        if b['dir'] is None:
            ck.expect(b['line'], 'no wind only outside the wind profile',
                      not pts or not (pts[0][0] + 0.5 >= b['px'] >= pts[-1][0] - 0.5))
            continue
        for (p1, d1, s1), (p2, d2, s2) in zip(pts, pts[1:]):
            if p1 >= b['px'] >= p2 and p1 > p2:
                f = math.log(p1 / b['px']) / math.log(p1 / p2)
                ck.near(b['line'], 'level-table wind direction', b['dir'], (d1 + f * angdiff(d2, d1)) % 360, 1, 2.0)
                ck.near(b['line'], 'level-table wind speed', b['spd'], s1 + f * (s2 - s1), 1, 1.0)
                break

    if ip is None:
        return
    ck.claim(ip)
    h0 = sfc['h']
    mean6 = layer_mean(winds, h0, h0 + 6000)
    if j is not None:
        ck.claim(j)
        ck.near(j, 'mean wind 0-6000 m direction', float(m.group(1)), mean6[0], 0.1, 0.5)
        ck.near(j, 'mean wind 0-6000 m speed', float(m.group(2)), mean6[1], 0.1, 0.3)
    if j2 is not None:
        ck.claim(j2)
        md, ms_ = float(m.group(1)), float(m.group(2))
        sd = md + 30
        sd = sd - 360 if sd > 360 else sd
        ck.near(j2, 'storm direction = mean + 30', storm[0], sd, 0.1, 0.001)
        ck.near(j2, 'storm speed = 0.75 mean', storm[1], 0.75 * ms_, 0.1, 0.04)
    kin3 = kinematics(winds, h0, 3000, storm)

    line = lambda pattern: take(ck, pattern, ip)
    F1 = r'\s*(-?[0-9.]+)'
    jj, v = line(r'Shear \(0-3000m\)              pos:' + F1 + ' neg:' + F1 + ' tot:' + F1 + ' 10-3/s$')
    if jj is not None:
        ck.near(jj, 'positive shear', v[0], kin3['pos_shr'], 0.1, 0.3)
        ck.near(jj, 'negative shear', v[1], kin3['neg_shr'], 0.1, 0.3)
        ck.near(jj, 'total shear = pos + neg', v[2], v[0] + v[1], 0.1, 0.1)
    jj, v = line(r'Storm rel Dir Shear \(0-3000m\):' + F1 + ' deg$')
    if jj is not None:
        ck.near(jj, 'storm-relative directional shear', v[0], kin3['dir_shr'], 0.1, 1.5)
    jj, v = line(r'Storm rel helicity \(0-3000m\) pos:' + F1 + ' neg:' + F1 + ' tot:' + F1 + r' m\^2/s\^2$')
    hel3 = v
    if jj is not None:
        ck.near(jj, 'positive helicity (4 % + 2)', v[0], kin3['pos_hel'], 0.1, 0.04 * abs(kin3['pos_hel']) + 2)
        ck.near(jj, 'negative helicity (4 % + 2)', v[1], kin3['neg_hel'], 0.1, 0.04 * abs(kin3['neg_hel']) + 2)
        ck.near(jj, 'total helicity = pos + neg', v[2], v[0] + v[1], 0.1, 0.1)
    jj, v = line(r'                             ave:' + F1 + r' 10\^-3 m/s\^2 rel:' + F1 + '$')
    if jj is not None:
        ck.near(jj, 'mean helicity = tot / 3000 m', v[0], hel3[2] / 3000 * 1000, 0.1, 0.02)
        ck.near(jj, 'relative helicity', v[1], kin3['rel'], 0.01, 0.03)
    jj, v = line(r'Storm rel vorticity \(0-3000m\) horiz:' + F1 + ' stream:' + F1 + r' 10\^-3/s$')
    if jj is not None:
        ck.near(jj, 'horizontal vorticity (4 % + 0.15)', v[0], kin3['hor'], 0.1, 0.04 * kin3['hor'] + 0.15)
        ck.near(jj, 'streamwise vorticity (4 % + 0.15)', v[1], kin3['strm'], 0.1, 0.04 * abs(kin3['strm']) + 0.15)

    # Storm table.
    it, _ = find(L, r'Storm Parameters$', ip)
    srows = {}
    if it is not None:
        heading = ['Storm Parameters', '-' * 79,
                   'Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity',
                   ' AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm',
                   '  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s',
                   '-' * 79]
        for q in range(it, it + 6):
            ck.expect(q, 'storm table heading', L[q] == heading[q - it])
            ck.claim(q)
        q = it + 6
        while q < len(L) and L[q].strip():
            ck.claim(q)
            srows[int(L[q][:4])] = (q, L[q])
            q += 1
    if srows:
        ck.expect(it, 'storm-table depths 500-3000 by 500, then 4000-6000 by 1000',
                  sorted(srows) == [500, 1000, 1500, 2000, 2500, 3000, 4000, 5000, 6000])
    F = lambda s: float(s)
    for depth, (q, text) in srows.items():
        mean = layer_mean(winds, h0, h0 + depth)
        if ' NO DATA' in text[6:14]:
            ck.expect(q, 'no mean wind', mean is None)
            continue
        md, msp, idir, ispd = F(text[6:9]), F(text[10:13]), F(text[14:17]), F(text[18:21])
        ck.near(q, 'layer mean direction', md, mean[0], 1, 1.0)
        ck.near(q, 'layer mean speed', msp, mean[1], 1, 0.5)
        su, sv = wind_uv(storm[0], storm[1] * KT)
        lo, hi = span(lambda d, s: uv_wind(wind_uv(d, s * KT)[0] - su, wind_uv(d, s * KT)[1] - sv)[1] / KT,
                      iv(md, 1), iv(msp, 1))
        ck.close(q, 'inflow speed', ispd, lo, hi, 1)
        lo, hi = span(lambda d, s: uv_wind(wind_uv(d, s * KT)[0] - su, wind_uv(d, s * KT)[1] - sv)[0],
                      iv(md, 1), iv(msp, 1))
        ck.close(q, 'inflow direction', idir, lo, hi, 1)
        kin = kinematics(winds, h0, depth, storm)
        sh = text[23:37]
        if sh.strip():
            pos, neg, tot = F(sh[0:4]), F(sh[5:9]), F(sh[10:14])
            ck.near(q, 'layer positive shear', pos, kin['pos_shr'], 0.1, 0.3)
            ck.near(q, 'layer negative shear', neg, kin['neg_shr'], 0.1, 0.3)
            ck.near(q, 'layer total shear', tot, pos + neg, 0.1, 0.1)
        hp = text[38:]
        # Fields may run together when a helicity needs six characters ("0.01173.6"),
        # so they are read by their decimals, not by columns.
        mh = re.match(r'\s*(-?\d+\.\d)\s*(-?\d+\.\d)\s*(-?\d+\.\d)\s*(-?\d+\.\d)\s*(-?\d+\.\d\d)\|'
                      r'\s*(-?\d+\.\d)\s*(-?\d+\.\d)$', hp)
        ck.expect(q, 'storm-table helicity fields readable', mh is not None)
        if mh is None:
            continue
        hpos, hneg, htot, have, hrel, vhor, vstr = [float(x) for x in mh.groups()]
        ck.near(q, 'layer positive helicity', hpos, kin['pos_hel'], 0.1, 0.04 * abs(kin['pos_hel']) + 2)
        ck.near(q, 'layer negative helicity', hneg, kin['neg_hel'], 0.1, 0.04 * abs(kin['neg_hel']) + 2)
        ck.near(q, 'layer total = pos + neg', htot, hpos + hneg, 0.1, 0.1)
        ck.near(q, 'layer mean helicity = tot / depth', have, htot / depth * 1000, 0.1, 0.3)
        ck.near(q, 'layer relative helicity', hrel, kin['rel'], 0.01, 0.03)
        ck.near(q, 'layer horizontal vorticity', vhor, kin['hor'], 0.1, 0.04 * kin['hor'] + 0.15)
        ck.near(q, 'layer streamwise vorticity', vstr, kin['strm'], 0.1, 0.04 * abs(kin['strm']) + 0.15)
        if depth == 3000 and hel3:
            ck.expect(q, '3000 m row equals the 0-3000 m helicity', abs(htot - hel3[2]) < 0.06)

    jj, v = line(r'Energy-Hel index:' + F1 + '$')
    if jj is not None:
        hp2 = float(re.match(r'\s*(-?\d+\.\d)', srows[2000][1][38:]).group(1))
        ck.near(jj, 'EHI = helicity(0-2000) CAPE / 160000', v[0], hp2 * cape / 160000, 0.01, hp2 * cape / 160000 * 0.002 + 0.001)
    jj, v = line(r'Bulk Rich Number:' + F1 + '$')
    if jj is not None:
        jb, vb = line(r'Bulk Shear:' + F1 + ' m/s$')
        m05 = layer_mean(winds, h0, h0 + 500)
        a = wind_uv(mean6[0], mean6[1] * KT)
        b = wind_uv(m05[0], m05[1] * KT)
        ck.near(jb, 'bulk shear |V(0-6000) - V(0-500)|', vb[0], math.hypot(a[0] - b[0], a[1] - b[1]), 0.01, 0.3)
        ck.near(jj, 'BRN = CAPE / (shear^2 / 2)', v[0], cape / (0.5 * vb[0] ** 2), 0.01, cape / (0.5 * vb[0] ** 2) * 0.002)


# ---- driver ---------------------------------------------------------------------------

def verify(path, reports, date, cty):
    with open(path) as f:
        lines = f.read().split('\n')
    name = os.path.basename(path)
    ck = Checker(name, lines)
    sid = None
    for i, line in enumerate(lines):
        m = re.match(r'Station: (\S+)$', line)
        if m:
            sid = m.group(1)
            ck.claim(i)
    ck.sid = sid
    if sid is None:
        return ck
    rep = reports[sid]
    loc = check_header(ck, rep, date[sid], cty)
    prof, sfc, body = check_levels(ck, rep, loc)
    if prof is not None:
        par = check_indices(ck, rep, prof, sfc, body)
        cape = check_parcel(ck, prof, sfc, par)
        check_winds(ck, rep, prof, sfc, cape, body)
    for i, line in enumerate(lines):
        if line == 'Press return to continue':
            ck.claim(i)
    return ck


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    golden, data = argv[1], argv[2]
    reports, date = {}, {}
    for path in sorted(glob.glob(os.path.join(data, '*.upa')) + glob.glob(os.path.join(golden, '*.upa'))):
        reps, d = read_reports(path)
        for k, v in reps.items():
            reports[k] = v
            date[k] = d
    cty = read_cty(os.path.join(data, 'upa.cty'))
    outs = sorted(glob.glob(os.path.join(golden, '*.out')))
    if not outs:
        print('no golden outputs in %s' % golden)
        return 1
    failed = 0
    checked = {}
    for path in outs:
        try:
            ck = verify(path, reports, date, cty)
        except Exception as exc:   # an output the checker cannot read is a failure
            ck = Checker(os.path.basename(path), [])
            ck.sid = None
            ck.fails.append('%s: unreadable output (%s: %s)' % (ck.name, type(exc).__name__, exc))
        checked[path] = ck
    # An output without the wind-level table (a thinner message level) cannot have its
    # wind parameters recomputed; they must then equal, line for line, those of an output
    # of the same station that has the table and was checked above.
    for path, ck in checked.items():
        if getattr(ck, 'has_winds', False) or ck.sid is None:
            continue
        full = [c for c in checked.values() if getattr(c, 'has_winds', False) and c.sid == ck.sid]
        for i, line in enumerate(ck.lines):
            if i in ck.claimed or not re.search(r'[0-9]', line):
                continue
            ok = any(line in c.lines for c in full)
            ck.expect(i, 'line equals one of a checked output of %s' % ck.sid, ok)
            ck.claim(i)
    for path in outs:
        ck = checked[path]
        for i, line in enumerate(ck.lines):
            if re.search(r'[0-9]', line) and i not in ck.claimed:
                ck.fail(i, 'line with numbers that no check covers')
        print('%-20s %5d checks, %3d failures' % (ck.name, ck.count, len(ck.fails)))
        for f in ck.fails:
            print('  ' + f)
        failed += len(ck.fails)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
