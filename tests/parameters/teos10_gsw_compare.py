"""TEOS-10 functions of Marevo against python3-gsw over an ocean grid.

Usage: teos10_gsw_compare.py EVALUATOR
Profiles on a 7.5-degree grid of the world ocean (points where the atlas holds water), each with
levels from 0 to 5000 dbar and a smooth SP and temperature, go through the evaluator; SA, CT,
sigma0, rho and N^2 (with its mid pressure) must equal gsw's within 1e-8 (absolute). Exit status
1 and the worst rows otherwise.
"""
import subprocess
import sys

import gsw
import numpy as np

TOLERANCE = 1e-8

rng = np.random.default_rng(35)
rows = []
profile = 0
for lon in np.arange(-180.0, 180.0, 7.5):
    for lat in np.arange(-78.0, 82.0, 7.5):
        if gsw.SAAR(0.0, lon, lat) == 0.0:
            continue  # land
        n = int(rng.integers(3, 12))
        p = np.sort(rng.uniform(0, 5000, n))
        SP = 34.0 + 1.5 * np.exp(-p / 800) + rng.normal(0, 0.05, n)
        t = 2.0 + 20.0 * np.exp(-p / 600) + rng.normal(0, 0.2, n)
        x, y = lon + rng.uniform(0, 7.5), lat + rng.uniform(0, 7.5)
        for k in range(n):
            rows.append((profile, x, y, p[k], SP[k], t[k]))
        profile += 1
# The Baltic, and the two sides of the Panama isthmus.
for lon, lat in ((20.0, 58.0), (-79.6, 9.2), (-79.4, 8.6), (-81.0, 12.0)):
    for k, p in enumerate((0.0, 25.0, 60.0)):
        rows.append((profile, lon, lat, p, 7.0 + k, 10.0 - k))
    profile += 1

data = np.array(rows)
text = "".join(f"{int(r[0])} {r[1]!r} {r[2]!r} {r[3]!r} {r[4]!r} {r[5]!r}\n" for r in rows)
out = subprocess.run([sys.argv[1]], input=text, capture_output=True, text=True, check=True)
got = np.loadtxt(out.stdout.splitlines(), ndmin=2)

pid, lon, lat, p, SP, t = data.T
SA = gsw.SA_from_SP(SP, p, lon, lat)
CT = gsw.CT_from_t(SA, t, p)
want = np.column_stack([SA, CT, gsw.sigma0(SA, CT), gsw.rho(SA, CT, p),
                        np.full(len(p), np.nan), np.full(len(p), np.nan)])
for k in np.unique(pid):
    idx = np.flatnonzero(pid == k)
    for a, b in zip(idx[:-1], idx[1:]):
        n2, pmid = gsw.Nsquared(SA[[a, b]], CT[[a, b]], p[[a, b]], lat=np.array([lat[b], lat[b]]))
        want[b, 4], want[b, 5] = n2[0], pmid[0]

names = ["SA", "CT", "sigma0", "rho", "N2", "p_mid"]
failed = False
for c, name in enumerate(names):
    both_nan = np.isnan(want[:, c]) & np.isnan(got[:, c])
    diff = np.where(both_nan, 0.0, np.abs(got[:, c] - want[:, c]))
    worst = int(np.nanargmax(np.nan_to_num(diff, nan=np.inf)))
    ok = np.all(diff <= TOLERANCE)
    print(f"{name:7s} {len(diff)} values, largest difference {diff[worst]:.2e}"
          + ("" if ok else f"  FAIL at row {worst}: {got[worst, c]!r} against {want[worst, c]!r}"))
    failed = failed or not ok
sys.exit(1 if failed else 0)
