"""Practical salinity per sample: the reference Python library against Marevo's PSS-78.

Times gsw.SP_from_C (vectorised over numpy arrays) on the million samples that
bench_formulas uses, and prints both figures in ns per sample with their ratio. The Marevo
figure comes from running the benchmark binary (--bench, JSON output) or is given (--ns).

    /usr/bin/python3 bench/gsw_compare.py --bench build-release/bench/bench_formulas
    /usr/bin/python3 bench/gsw_compare.py --ns 42.0
"""
import argparse
import json
import subprocess
import sys
import time

import gsw
import numpy as np

SAMPLES = 1_000_000
# The benchmark run whose figure is compared: the salinity function as the parameters evaluate it.
MAREVO_BENCHMARK = "BM_SalinityPSS78<long double>"


def spread(i, step):
    x = i * step
    return x - np.floor(x)


def samples():
    """Sample i as bench/FormulaBench.cpp forms it: t degC (IPTS-68), C mS/cm, p dbar."""
    i = np.arange(SAMPLES, dtype=np.float64)
    t68 = -2 + 37 * spread(i, 0.6180339887498949)
    C = 20 + 45 * spread(i, 0.4142135623730950)
    p = 10000 * spread(i, 0.2360679774997897)
    return t68, C, p


def marevo_ns(binary):
    out = subprocess.run(
        [binary, "--benchmark_format=json", "--benchmark_filter=^BM_SalinityPSS78<long double>$"],
        check=True, capture_output=True, text=True).stdout
    for run in json.loads(out)["benchmarks"]:
        if run["name"] == MAREVO_BENCHMARK:
            return run["ns_per_sample"]
    sys.exit(f"{binary}: no result for {MAREVO_BENCHMARK}")


def gsw_ns(repeats=5):
    t68, C, p = samples()
    t90 = t68 / 1.00024  # the library takes ITS-90
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        gsw.SP_from_C(C, t90, p)
        best = min(best, time.perf_counter() - start)
    return best / SAMPLES * 1e9


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--bench", help="bench_formulas binary to run")
    source.add_argument("--ns", type=float, help="Marevo figure, ns per sample")
    args = parser.parse_args()

    ours = args.ns if args.ns is not None else marevo_ns(args.bench)
    theirs = gsw_ns()
    print(f"gsw {gsw.__version__} SP_from_C     {theirs:8.1f} ns/sample")
    print(f"Marevo PSS-78 (long double) {ours:8.1f} ns/sample")
    print(f"ratio gsw / Marevo          {theirs / ours:8.2f}")


if __name__ == "__main__":
    main()
