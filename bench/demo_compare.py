#!/usr/bin/env python3
"""The demo's binned down-cast against an independent binning of the same recorded cast.

Reads the recorded cast (.cnv.bz2), computes the practical salinity of every scan from the
table's own pressure, ITS-90 temperature and conductivity with python3-gsw (PSS-78, an
implementation nobody here wrote), averages the down-cast from the end of the surface soak to the
deepest scan in 1 dbar bins centred on whole decibars, and compares it with the text export of
the demo (pressure, temperature on the 1968 scale, conductivity, salinity, ...). Prints the
levels 10, 50, 100, 250, 500, 1000 dbar and the 95th percentile of the differences over the bins
10..1035 dbar; exits 1 when salinity differs by more than 0.002 or temperature by more than
0.001 at that percentile.

    demo_compare.py CAST.cnv.bz2 DEMO_EXPORT.txt
"""
import bz2
import math
import sys

import gsw

S_LIMIT, T_LIMIT = 0.002, 0.001


def read_cnv(path):
    names, rows, data = [], [], False
    with bz2.open(path, "rt", errors="replace") as f:
        for line in f:
            if not data:
                if line.startswith("# name "):
                    names.append(line.split("=", 1)[1].split(":", 1)[0].strip())
                elif line.startswith("*END*"):
                    data = True
                continue
            parts = line.split()
            if len(parts) == len(names):
                rows.append([float(x) for x in parts])
    return names, rows


def independent_bins(path):
    names, rows = read_cnv(path)
    p_col, t_col, c_col = names.index("prDM"), names.index("t090C"), names.index("c0S/m")
    bad = -9.99e-29
    p = [r[p_col] for r in rows]
    deepest = max(range(len(p)), key=lambda i: p[i])
    # The soak ends at the last scan near the surface before the descent to the deepest scan.
    soak_end = max(i for i in range(deepest) if p[i] < 7.0)
    sums = {}
    for r in rows[soak_end:deepest + 1]:
        pr, t90, c = r[p_col], r[t_col], r[c_col]
        if bad in (pr, t90, c):
            continue
        sp = float(gsw.SP_from_C(c * 10.0, t90, pr))
        k = int(math.floor(pr + 0.5))
        s = sums.setdefault(k, [0, 0.0, 0.0])
        s[0] += 1
        s[1] += sp
        s[2] += t90
    return {k: (s[1] / s[0], s[2] / s[0]) for k, s in sums.items()}


def demo_bins(path):
    bins = {}
    with open(path, encoding="cp1252") as f:
        for line in f:
            parts = line.split()
            if len(parts) < 4 or "**" in line:
                continue
            try:
                p, t68, _c, s = (float(x) for x in parts[:4])
            except ValueError:
                continue  # header lines
            bins[int(round(p))] = (s, t68 / 1.00024)
    return bins


def p95(values):
    v = sorted(values)
    return v[min(len(v) - 1, int(math.ceil(0.95 * len(v))) - 1)]


def main():
    ref, demo = independent_bins(sys.argv[1]), demo_bins(sys.argv[2])
    common = sorted(k for k in ref if k in demo and 10 <= k <= 1035)
    if not common:
        print("no common bins between 10 and 1035 dbar")
        return 1
    print(f"{'dbar':>6} {'S demo':>9} {'S gsw':>9} {'dS':>8} {'T90 demo':>9} {'T90 ref':>9} {'dT':>8}")
    for k in (10, 50, 100, 250, 500, 1000):
        if k in ref and k in demo:
            (sd, td), (sr, tr) = demo[k], ref[k]
            print(f"{k:>6} {sd:9.4f} {sr:9.4f} {sd - sr:8.4f} {td:9.4f} {tr:9.4f} {td - tr:8.4f}")
    ds = [abs(demo[k][0] - ref[k][0]) for k in common]
    dt = [abs(demo[k][1] - ref[k][1]) for k in common]
    print(f"{len(common)} bins: salinity |dS| P95 {p95(ds):.5f} (max {max(ds):.5f}), "
          f"temperature |dT| P95 {p95(dt):.5f} (max {max(dt):.5f})")
    ok = p95(ds) <= S_LIMIT and p95(dt) <= T_LIMIT
    print("within" if ok else "NOT within", f"S {S_LIMIT}, T {T_LIMIT} at the 95th percentile")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
