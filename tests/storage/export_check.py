#!/usr/bin/python3
"""The NetCDF and ODV exports of marevo-cli read back with python3-netCDF4.

Recordings of tests/data/replay (the cut of the real South Atlantic cast and two synthetic casts)
are imported as casts 1..3 of a cruise, then exported as text, NetCDF (one cast, and `all`) and
ODV. The NetCDF file must hold the text export's values to its printed precision, the CF names and
UDUNITS units, a missing value with flag 1 where the text export marks a value flagged ("**"),
and the ODV file the same table in its generic spreadsheet form.

    export_check.py path/to/marevo-cli [--dump]     (--dump: print `ncdump -h` of the cast file)
"""
import os
import shutil
import subprocess
import sys
import tempfile

import gsw
import netCDF4
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
RECORDINGS = os.path.join(HERE, "..", "data", "replay", "recordings")
CASTS = ["df6-real-cut", "df6-synthetic", "df5-synthetic"]
# Pressure, temperature (IPTS-68 and ITS-90), conductivity, salinity, depth, theta, sound speed,
# the third temperature sensor, which these casts do not have (a column flagged throughout), and
# the TEOS-10 columns computed from the table.
COLUMNS = "101,401,402,599,404,403,600,603,112,2001,2002,2003,2004,2005"
STANDARD = {
    "PRES": ("sea_water_pressure", "dbar"),
    "TEMP": ("sea_water_temperature", "degree_Celsius"),
    "TITS": ("sea_water_temperature", "degree_Celsius"),
    "COND": ("sea_water_electrical_conductivity", "mS cm-1"),
    "SALI": ("sea_water_practical_salinity", "1"),
    "DEPT": ("depth", "m"),
    "TETA": ("sea_water_potential_temperature", "degree_Celsius"),
    "SNDV": ("speed_of_sound_in_sea_water", "m s-1"),
    "TMP3": ("sea_water_temperature", "degree_Celsius"),
    "SA": ("sea_water_absolute_salinity", "g kg-1"),
    "CT": ("sea_water_conservative_temperature", "degree_Celsius"),
    "SIG0": ("sea_water_sigma_theta", "kg m-3"),
    "RHO": ("sea_water_density", "kg m-3"),
    "N2": ("square_of_brunt_vaisala_frequency_in_sea_water", "s-2"),
}
NAMES = ["PRES", "TEMP", "TITS", "COND", "SALI", "DEPT", "TETA", "SNDV", "TMP3",
         "SA", "CT", "SIG0", "RHO", "N2"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def run(cli, root, *args, expect=0):
    env = dict(os.environ, MAREVO_CLOCK_START="46000.5", LC_ALL="C.UTF-8")
    p = subprocess.run([cli, "--data-root", root, "-q", *args], env=env, capture_output=True,
                       text=True)
    check(p.returncode == expect if expect is not None else p.returncode != 0,
          f"{' '.join(args)}: exit {p.returncode}, expected {expect}: {p.stderr.strip()}")
    return p


def text_table(path):
    """The data lines of a text export as lists of (text, flagged)."""
    rows = []
    with open(path, encoding="cp1252") as f:
        for line in f:
            fields = line.split()
            # Header lines hold one field (or names); data lines one per column.
            if len(fields) == len(NAMES) and all(c in " -.0123456789:Ee*" for c in line.strip()):
                rows.append([(w.rstrip("*"), w.endswith("**")) for w in fields])
    return rows


def decimals(text):
    return len(text.split(".")[1]) if "." in text else 0


def compare_cast(nc, p, rows, label):
    """Profile p of nc against the text export's rows."""
    levels = len(rows)
    pres = nc["PRES"][p, :]
    check(int(np.ma.count(pres)) == levels, f"{label}: {np.ma.count(pres)} levels, text {levels}")
    for k, name in enumerate(NAMES):
        var, qc = nc[name], nc[name + "_qc"]
        values, flags = var[p, :levels], qc[p, :levels]
        for r, row in enumerate(rows):
            text, flagged = row[k]
            if flagged:
                check(np.ma.is_masked(values[r]) and flags[r] == 1,
                      f"{label} {name} level {r}: flagged in the text, not a fill value with flag 1")
                continue
            want = float(text)
            tolerance = 0.5 * 10 ** -decimals(text) + 1e-6 * abs(want)
            check(not np.ma.is_masked(values[r]) and abs(float(values[r]) - want) <= tolerance
                  and flags[r] == 0,
                  f"{label} {name} level {r}: {values[r]} (flag {flags[r]}), text {text}")
        # Levels beyond the cast: fill values, the flag's too.
        if levels < var.shape[1]:
            check(bool(np.all(np.ma.getmaskarray(var[p, levels:])))
                  and bool(np.all(np.ma.getmaskarray(qc[p, levels:]))),
                  f"{label} {name}: the levels beyond the cast are not fill values")


def main():
    cli = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="marevo-export-check-")
    try:
        root = os.path.join(work, "root")
        os.makedirs(os.path.join(work, "in"))
        run(cli, root, "init")
        run(cli, root, "cruise", "new", "Exp", "--vessel", "RV Check", "--operator", "Tester")
        for c in CASTS:
            for ext in (".raw", ".xfr", ".ext"):
                shutil.copy(os.path.join(RECORDINGS, c + ext), os.path.join(work, "in"))
            run(cli, root, "import", os.path.join(work, "in", c + ".raw"), "--cruise", "Exp")
        out = os.path.join(work, "out")
        os.makedirs(out)
        texts = []
        for n in range(1, len(CASTS) + 1):
            texts.append(os.path.join(out, f"cast{n}.txt"))
            run(cli, root, "export", "Exp", str(n), texts[-1], "--columns", COLUMNS)
        one = os.path.join(out, "cast1.nc")
        every = os.path.join(out, "every.nc")
        odv = os.path.join(out, "every_odv.txt")
        run(cli, root, "export", "Exp", "1", one, "--columns", COLUMNS)
        run(cli, root, "export", "Exp", "all", every, "--columns", COLUMNS)
        run(cli, root, "export", "Exp", "all", odv, "--format", "odv", "--columns", COLUMNS)
        tables = [text_table(t) for t in texts]
        check(all(len(t) > 10 for t in tables), "a text export without rows")
        check(any(f for row in tables[0] for _, f in row), "no flagged value in the text export")

        # One cast.
        with netCDF4.Dataset(one) as nc:
            check(nc.Conventions == "CF-1.8" and nc.featureType == "profile", "conventions")
            check(nc.dimensions["profile"].size == 1, "one profile")
            check(nc.dimensions["z"].size == len(tables[0]), "levels of the one-cast file")
            check(nc.vessel == "RV Check" and nc.cruise == "Exp", "vessel and cruise attributes")
            check("binning" in nc.processing_settings, "processing settings as text")
            check(int(nc["profile"][0]) == 1, "cast number")
            for v in ("time", "latitude", "longitude"):
                check(nc[v].dimensions == ("profile",), f"{v} per profile")
            check(nc["time"].units.startswith("seconds since 1970-01-01"), "time units")
            check(nc["PRES"].positive == "down" and nc["PRES"].axis == "Z", "vertical coordinate")
            check(nc["TEMP"].temperature_scale == "IPTS-68", "TEMP on IPTS-68")
            check(nc["TITS"].temperature_scale == "ITS-90", "TITS on ITS-90")
            for name, (standard, units) in STANDARD.items():
                var = nc[name]
                check(var.dimensions == ("profile", "z"), f"{name} dimensions")
                check(var.standard_name == standard, f"{name}: standard name {var.standard_name}")
                check(var.units == units, f"{name}: units {var.units}")
                check(var.ancillary_variables == name + "_qc", f"{name}: ancillary variable")
                qc = nc[name + "_qc"]
                check(list(qc.flag_values) == [0, 1] and qc.flag_meanings == "good bad",
                      f"{name}_qc: flag values")
            check(bool(np.all(nc["TMP3"][0, :].mask)), "a column the cast lacks is all fill")
            # The TEOS-10 columns against python3-gsw on the file's own values (single precision).
            lon, lat = float(nc["longitude"][0]), float(nc["latitude"][0])
            pres, sp = nc["PRES"][0, :], nc["SALI"][0, :]
            t90 = nc["TEMP"][0, :].astype(float) / 1.00024
            sa = gsw.SA_from_SP(sp.astype(float), pres.astype(float), lon, lat)
            ct = gsw.CT_from_t(sa, t90, pres.astype(float))
            for name, want, tolerance in (("SA", sa, 2e-4), ("CT", ct, 2e-4),
                                          ("SIG0", gsw.sigma0(sa, ct), 5e-4)):
                got = nc[name][0, :]
                both = ~np.ma.getmaskarray(got) & ~np.ma.getmaskarray(want)
                check(int(both.sum()) > 10, f"{name}: no level to compare with gsw")
                worst = float(np.max(np.abs(got[both] - want[both]))) if both.any() else 0.0
                check(worst <= tolerance, f"{name}: {worst} from python3-gsw")
            compare_cast(nc, 0, tables[0], "cast 1")

        # Every cast.
        with netCDF4.Dataset(every) as nc:
            check(nc.dimensions["profile"].size == 3, "three profiles")
            check(nc.dimensions["z"].size == max(len(t) for t in tables), "levels: the longest")
            check(list(nc["profile"][:]) == [1, 2, 3], "cast numbers")
            for p, rows in enumerate(tables):
                compare_cast(nc, p, rows, f"all, cast {p + 1}")

        # ODV.
        with open(odv, encoding="utf-8") as f:
            lines = f.read().split("\n")
        check(lines[-1] == "", "the ODV file ends with a line end")
        lines = lines[:-1]
        comments = [l for l in lines if l.startswith("//")]
        check(comments and lines[: len(comments)] == comments, "the // lines first")
        labels = lines[len(comments)].split("\t")
        check(labels[:7] == ["Cruise", "Station", "Type", "yyyy-mm-ddThh:mm:ss.sss",
                             "Longitude [degrees_east]", "Latitude [degrees_north]",
                             "Bot. Depth [m]"], f"ODV meta columns {labels[:7]}")
        check(labels[7:9] == ["Pressure [dbar]", "QF"], f"ODV first data column {labels[7:9]}")
        check(len(labels) == 7 + 2 * len(NAMES), "ODV: a QF column after each data column")
        data = [l.split("\t") for l in lines[len(comments) + 1:]]
        check(all(len(d) == len(labels) for d in data), "ODV: every line has every column")
        check(len(data) == sum(len(t) for t in tables), "ODV: one line per level of every cast")
        starts = [i for i, d in enumerate(data) if d[0]]
        check(starts == [0, len(tables[0]), len(tables[0]) + len(tables[1])],
              "ODV: the meta columns on a station's first line")
        check(all(data[i][0] == "Exp" and data[i][2] == "C" for i in starts), "ODV cruise, type")
        for r, row in enumerate(tables[0]):
            for k, (text, flagged) in enumerate(row):
                value, qf = data[r][7 + 2 * k], data[r][8 + 2 * k]
                ok = (value == "" and qf == "8") if flagged else (value == text and qf == "0")
                check(ok, f"ODV cast 1 level {r} column {k}: {value!r} {qf}, text {text!r}")
                if not ok:
                    break

        # Refusals: nothing is written.
        bad = os.path.join(out, "bad.nc")
        run(cli, root, "export", "Exp", "all", os.path.join(out, "bad.txt"), expect=2)
        run(cli, root, "export", "Exp", "9", bad, expect=1)
        run(cli, root, "export", "Exp", "0", bad, expect=None)
        run(cli, root, "export", "Exp", "1", bad, "--format", "csv", expect=None)
        run(cli, root, "export", "Exp", "1", bad, "--columns", "401,404", expect=1)
        check(not os.path.exists(bad) and not os.path.exists(os.path.join(out, "bad.txt")),
              "a refused export left a file")
        check(sorted(os.listdir(out)) == sorted(
            [os.path.basename(p) for p in texts + [one, every, odv]]), "stray files in the output")

        if "--dump" in sys.argv:
            print(subprocess.run(["ncdump", "-h", one], capture_output=True, text=True).stdout)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print(f"{len(failures)} checks failed", file=sys.stderr)
        return 1
    print("the NetCDF and ODV exports match the text export")
    return 0


if __name__ == "__main__":
    sys.exit(main())
