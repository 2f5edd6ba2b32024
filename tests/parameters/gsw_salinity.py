"""Reference practical salinity for the cross-check of the salinity formula.

Reads "S t68 p" lines (salinity, temperature degC IPTS-68, pressure dbar) from the file named
first, writes "C SP" lines to the file named second: the conductivity (mS/cm) of that water and
the salinity the reference library computes back from it. The library takes ITS-90 temperatures.
"""
import sys

import gsw
import numpy as np

S, t68, p = np.loadtxt(sys.argv[1], unpack=True, ndmin=2)
t90 = t68 / 1.00024
C = gsw.C_from_SP(S, t90, p)
SP = gsw.SP_from_C(C, t90, p)
np.savetxt(sys.argv[2], np.column_stack([C, SP]), fmt="%.17g")
