"""Writes check_values.txt: the published TEOS-10 check values this project's functions are
tested against, taken from the check-value file gsw_cv_v3_0.npz that the Debian package
python3-gsw ships (/usr/lib/python3/dist-packages/gsw/tests/). Run by hand when that file
changes: /usr/bin/python3 make_check_values.py > check_values.txt
"""
import numpy as np

cv = np.load("/usr/lib/python3/dist-packages/gsw/tests/gsw_cv_v3_0.npz")
columns = ["SA_from_SP", "CT_from_t", "pt0_from_t", "CT_from_pt", "rho", "sigma0", "grav"]
print("# TEOS-10 check values (gsw_cv_v3_0 of python3-gsw): three casts of the standard's check")
print("# data set. Columns: cast lon lat p SP t90 SA CT " + " ".join(columns) + " n2 p_mid_n2")
print("# n2 and p_mid_n2 on a row are those of the level before it and this one; nan on a cast's")
print("# first level. Tolerances of the standard for each output column:")
tolerances = [float(cv[c + "_ca"]) for c in columns] + [float(cv["n2_ca"]),
                                                        float(cv["p_mid_n2_ca"])]
print("tolerance " + " ".join(repr(t) for t in tolerances))
for c in range(3):
    lon, lat = float(cv["long_chck_cast"][c]), float(cv["lat_chck_cast"][c])
    for k in range(cv["p_chck_cast"].shape[0]):
        inputs = [cv["p_chck_cast"][k, c], cv["SP_chck_cast"][k, c], cv["t_chck_cast"][k, c],
                  cv["SA_chck_cast"][k, c], cv["CT_chck_cast"][k, c]]
        if any(np.isnan(inputs)):
            continue
        outputs = [cv[name][k, c] for name in columns]
        n2 = [cv["n2"][k - 1, c], cv["p_mid_n2"][k - 1, c]] if k > 0 else [np.nan, np.nan]
        print(" ".join([str(c), repr(lon), repr(lat)] + [repr(float(v)) for v in inputs + outputs + n2]))
