#!/usr/bin/python3
"""Derives the Absolute Salinity Anomaly Ratio atlas of TEOS-10 from the python3-gsw package.

The package's compiled module holds the atlas (version 3.0 of the TEOS-10 look-up table) as
arrays of doubles in its read-only data and exports gsw_saar. This script finds the arrays,
checks them (grid sequences, sizes, the depth indices, and an interpolation of its own against
the module's gsw_saar at a few thousand random points), and writes them as a C++ source.

usage: extract_saar_atlas.py OUTPUT.cpp [MODULE.so]
Exits with status 1 and a message on stderr when any step fails; nothing is written then.
"""
import ctypes
import glob
import os
import sys

import numpy as np

NX, NY, NZ = 91, 45, 45
CELLS = NX * NY
VALUES = NX * NY * NZ
INVALID = 9e90        # the atlas's mark of a node without water
ERROR_LIMIT = 1e10
PAN_LONS = [260.00, 272.59, 276.50, 278.65, 280.73, 292.0]
PAN_LATS = [19.55, 13.97, 9.60, 8.10, 9.33, 3.4]


class AtlasError(Exception):
    pass


def find_all(raw, values):
    pattern = np.asarray(values, dtype='<f8').tobytes()
    hits, at = [], raw.find(pattern)
    while at >= 0:
        hits.append(at)
        at = raw.find(pattern, at + 1)
    return hits


def unique_offset(raw, values, what):
    hits = find_all(raw, values)
    if len(hits) != 1:
        raise AtlasError(f"{what}: found {len(hits)} times, expected once")
    return hits[0]


def doubles(raw, offset, count):
    return np.frombuffer(raw, '<f8', count, offset).copy()


def runs(mask):
    """(start, length) of the maximal runs of True."""
    edges = np.flatnonzero(np.diff(np.concatenate([[0], mask.astype(np.int8), [0]])))
    return [(a, b - a) for a, b in edges.reshape(-1, 2)]


def locate(raw, saar_c, deltasa_c):
    longs = np.arange(0.0, 361.0, 4.0)
    lats = np.arange(-86.0, 91.0, 4.0)
    unique_offset(raw, longs, "longitude grid 0..360 step 4")
    unique_offset(raw, lats, "latitude grid -86..90 step 4")

    # The pressure levels: 45 strictly increasing values from 0 dbar.
    candidates = []
    for at in find_all(raw, [0.0, 10.0, 20.0]):
        p = doubles(raw, at, NZ)
        if np.all(np.diff(p) > 0) and p[-1] <= 12000:
            candidates.append(p)
    if len(candidates) != 1:
        raise AtlasError(f"pressure levels: {len(candidates)} candidates, expected one")
    p_ref = candidates[0]

    # Whole doubles at every 8-byte alignment of the file.
    found = {}
    for phase in range(8):
        d = np.frombuffer(raw[phase:len(raw) - (len(raw) - phase) % 8], '<f8')
        with np.errstate(invalid='ignore'):
            depth_like = (d == INVALID) | ((d >= 1) & (d <= NZ) & (d == np.round(d)))
            ratio_like = (d == INVALID) | (np.isfinite(d) & (np.abs(d) < 1.0))
        for start, length in runs(depth_like):
            if length == CELLS:
                found.setdefault('ndepth', []).append(phase + 8 * start)
        for start, length in runs(ratio_like):
            if length >= 2 * VALUES:
                found.setdefault('pair', []).append((phase + 8 * start, length))
    if len(found.get('ndepth', [])) != 1:
        raise AtlasError(f"depth indices: {len(found.get('ndepth', []))} runs of {CELLS}")
    ndepth = doubles(raw, found['ndepth'][0], CELLS)
    if len(found.get('pair', [])) != 1:
        raise AtlasError("ratio and anomaly arrays: no single run of their size")
    run_at, run_len = found['pair'][0]

    # Grid nodes with water, where the module's functions give the node's value itself.
    rng = np.random.default_rng(1)
    nodes = []
    while len(nodes) < 300:
        i, j = int(rng.integers(0, NX - 1)), int(rng.integers(0, NY - 1))
        nd = ndepth[j + i * NY]
        if nd == INVALID:
            continue
        # The four cells of the node's square must hold water too (no filling).
        if any(ndepth[j + dj + (i + di) * NY] == INVALID for di in (0, 1) for dj in (0, 1)):
            continue
        k = int(rng.integers(0, int(nd) - 1))
        lon, lat = longs[i], lats[j]
        if PAN_LONS[0] <= lon <= PAN_LONS[-1] and PAN_LATS[-1] <= lat <= PAN_LATS[0]:
            continue
        nodes.append((k + NZ * (j + i * NY), p_ref[k], lon, lat))
    index = np.array([n[0] for n in nodes])
    want_saar = np.array([saar_c(n[1], n[2], n[3]) for n in nodes])
    want_delta = np.array([deltasa_c(n[1], n[2], n[3]) for n in nodes])

    run = np.frombuffer(raw, '<f8', run_len, run_at)

    def block_at(want):
        # Shifts where the node of the largest value matches, then all nodes checked there.
        key = int(np.argmax(np.abs(want)))
        shifts = np.arange(run_len - VALUES + 1)
        candidates = shifts[np.abs(run[shifts + index[key]] - want[key]) <= 1e-15]
        hits = [run_at + 8 * int(shift) for shift in candidates
                if np.allclose(run[shift + index], want, rtol=0, atol=1e-15)]
        if len(hits) != 1:
            raise AtlasError(f"{len(hits)} places match the module's values at the grid nodes")
        return hits[0]

    saar_at = block_at(want_saar)
    delta_at = block_at(want_delta)
    if abs(saar_at - delta_at) < 8 * VALUES:
        raise AtlasError("the ratio and anomaly arrays overlap")
    return longs, lats, p_ref, ndepth, doubles(raw, saar_at, VALUES), doubles(raw, delta_at, VALUES)


def index_below(x, z):
    """k with x[k] <= z < x[k+1], clamped to 0..n-2; z on a node other than the first takes it."""
    n = len(x)
    if z <= x[0]:
        return 0
    if z >= x[n - 1]:
        return n - 2
    k = int(np.searchsorted(x, z, side='right')) - 1
    return min(k, n - 2)


def panama_side(lon, lat):
    k = index_below(PAN_LONS, lon)
    r = (lon - PAN_LONS[k]) / (PAN_LONS[k + 1] - PAN_LONS[k])
    return PAN_LATS[k] + r * (PAN_LATS[k + 1] - PAN_LATS[k]) <= lat


def saar_model(atlas, p, lon, lat):
    """The atlas interpolated as the C++ code does, for the check."""
    longs, lats, p_ref, ndepth, saar = atlas
    if lat < -86.0 or lat > 90.0:
        return float('nan')
    lon = np.fmod(lon, 360.0)
    if lon < 0:
        lon += 360.0
    i = min(int(np.floor((NX - 1) * (lon - longs[0]) / (longs[-1] - longs[0]))), NX - 2)
    j = min(int(np.floor((NY - 1) * (lat - lats[0]) / (lats[-1] - lats[0]))), NY - 2)
    corners = [(0, 0), (1, 0), (1, 1), (0, 1)]
    depths = [ndepth[j + dj + (i + di) * NY] for di, dj in corners]
    depths = [d for d in depths if 0 < d < 1e90]
    if not depths:
        return 0.0
    p = min(p, p_ref[int(max(depths)) - 1])
    k = index_below(p_ref, p)
    r1 = (lon - longs[i]) / (longs[i + 1] - longs[i])
    s1 = (lat - lats[j]) / (lats[j + 1] - lats[j])
    t1 = (p - p_ref[k]) / (p_ref[k + 1] - p_ref[k])
    barrier = PAN_LONS[0] <= lon <= PAN_LONS[-1] - 0.001 and PAN_LATS[-1] <= lat <= PAN_LATS[0]

    def level(kk):
        v = [saar[kk + NZ * (j + dj + (i + di) * NY)] for di, dj in corners]
        if barrier:
            side = panama_side(lon, lat)
            g0, g1 = longs[i], longs[i] + (longs[1] - longs[0])
            h0, h1 = lats[j], lats[j] + (lats[1] - lats[0])
            sides = [panama_side(g0, h0), panama_side(g1, h0), panama_side(g1, h1),
                     panama_side(g0, h1)]
            keep = [x for x, s in zip(v, sides) if abs(x) <= 100 and s == side]
            mean = sum(keep) / len(keep) if keep else 0.0
            v = [mean if (abs(x) >= ERROR_LIMIT or s != side) else x for x, s in zip(v, sides)]
        elif abs(sum(v)) >= ERROR_LIMIT:
            keep = [x for x in v if abs(x) <= 100]
            mean = sum(keep) / len(keep) if keep else 0.0
            v = [mean if abs(x) >= 100 else x for x in v]
        return (1 - s1) * (v[0] + r1 * (v[1] - v[0])) + s1 * (v[3] + r1 * (v[2] - v[3]))

    upper = level(k)
    lower = level(k + 1)
    if abs(lower) >= ERROR_LIMIT:
        lower = upper
    value = upper + t1 * (lower - upper)
    return float('nan') if abs(value) >= ERROR_LIMIT else value


def check(atlas, delta, saar_c):
    longs, lats, p_ref, ndepth, saar = atlas
    if not (p_ref[0] == 0 and np.all(np.diff(p_ref) > 0)):
        raise AtlasError("pressure levels are not increasing from 0 dbar")
    valid = ndepth[ndepth != INVALID]
    if valid.size < CELLS // 3 or valid.min() < 1 or valid.max() > NZ:
        raise AtlasError("depth indices out of their range")
    for name, a in (("ratio", saar), ("anomaly", delta)):
        water = a[a != INVALID]
        if water.size < VALUES // 4 or np.abs(water).max() > 0.1:
            raise AtlasError(f"{name} array holds values out of its range")
    rng = np.random.default_rng(2011)
    compared, worst = 0, 0.0
    while compared < 3000:
        p = float(rng.uniform(0, 6000))
        lon = float(rng.uniform(-180, 360))
        lat = float(rng.uniform(-86, 90))
        want = saar_c(p, lon, lat)
        if abs(want) >= ERROR_LIMIT:
            want = float('nan')
        got = saar_model(atlas, p, lon, lat)
        if not (np.isnan(want) and np.isnan(got)):
            diff = abs(got - want)
            if not diff <= 1e-15:
                raise AtlasError(f"interpolation differs at p={p} lon={lon} lat={lat}: "
                                 f"{got!r} against {want!r}")
            worst = max(worst, diff)
        if want != 0.0:
            compared += 1
    for lon, lat in ((280.0, 9.0), (275.0, 12.0), (278.0, 5.0), (285.0, 15.0)):
        for p in (0.0, 500.0, 3000.0):
            want, got = saar_c(p, lon, lat), saar_model(atlas, p, lon, lat)
            if abs(got - want) > 1e-15:
                raise AtlasError(f"barrier interpolation differs at lon={lon} lat={lat}")
    return compared, worst


def literal(values):
    return ",\n".join(",".join(float(v).hex() for v in values[i:i + 8])
                      for i in range(0, len(values), 8))


def write(path, atlas, module):
    longs, lats, p_ref, ndepth, saar = atlas
    text = f"""// Generated by tools/extract_saar_atlas.py from {os.path.basename(module)} (python3-gsw):
// the Absolute Salinity Anomaly Ratio atlas of TEOS-10 (look-up table version 3.0). Do not edit.

#include "parameters/Teos10Atlas.h"

namespace marevo::teos10::atlas {{

const double Longitudes[Nx] = {{
{literal(longs)}}};
const double Latitudes[Ny] = {{
{literal(lats)}}};
const double Pressures[Nz] = {{
{literal(p_ref)}}};
const double DepthIndex[Nx * Ny] = {{
{literal(ndepth)}}};
const double Ratio[Nx * Ny * Nz] = {{
{literal(saar)}}};

}} // namespace marevo::teos10::atlas
"""
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="ascii") as out:
        out.write(text)
    os.replace(tmp, path)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    output = sys.argv[1]
    try:
        if len(sys.argv) == 3:
            module = sys.argv[2]
        else:
            hits = sorted(glob.glob("/usr/lib/python3/dist-packages/gsw/_gsw_ufuncs*.so"))
            if not hits:
                raise AtlasError("python3-gsw's module _gsw_ufuncs*.so not found "
                                 "(install the Debian package python3-gsw)")
            module = hits[-1]
        lib = ctypes.CDLL(module)
        functions = []
        for name in ("gsw_saar", "gsw_deltasa_atlas"):
            f = getattr(lib, name)
            f.restype = ctypes.c_double
            f.argtypes = [ctypes.c_double] * 3
            functions.append(f)
        saar_c, deltasa_c = functions
        with open(module, "rb") as f:
            raw = f.read()
        *atlas, delta = locate(raw, saar_c, deltasa_c)
        compared, worst = check(atlas, delta, saar_c)
        write(output, atlas, module)
    except (AtlasError, OSError, AttributeError) as e:
        print(f"extract_saar_atlas: cannot derive the TEOS-10 atlas: {e}", file=sys.stderr)
        return 1
    except Exception as e:  # anything unforeseen in the module's layout
        print(f"extract_saar_atlas: cannot derive the TEOS-10 atlas: {type(e).__name__}: {e}",
              file=sys.stderr)
        return 1
    print(f"extract_saar_atlas: atlas written to {output}; interpolation equal to gsw_saar "
          f"at {compared} points (largest difference {worst:.1e})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
