// Evaluates the TEOS-10 functions for the comparison with the outside reference
// (teos10_gsw_compare.py). Reads lines "profile lon lat p SP t90" from standard input and writes
// "SA CT sigma0 rho N2 p_mid" for each, N2 and p_mid of the line and the line before it when
// both belong to the same profile, "nan" otherwise.

#include "parameters/Teos10.h"

#include <cmath>
#include <cstdio>

int main() {
    using namespace marevo::teos10;
    long profile = 0, previous = -1;
    double lon = 0, lat = 0, p = 0, SP = 0, t90 = 0;
    double SA0 = 0, CT0 = 0, p0 = 0;
    while (std::scanf("%ld %lf %lf %lf %lf %lf", &profile, &lon, &lat, &p, &SP, &t90) == 6) {
        const double SA = SA_from_SP(SP, p, lon, lat);
        const double CT = CT_from_t(SA, t90, p);
        TBuoyancy n{NAN, NAN};
        if (profile == previous)
            n = BuoyancyOfPair(SA0, CT0, p0, SA, CT, p, lat);
        std::printf("%.17g %.17g %.17g %.17g %.17g %.17g\n", SA, CT, Sigma0(SA, CT), Rho(SA, CT, p),
                    n.N2, n.pMid);
        previous = profile;
        SA0 = SA;
        CT0 = CT;
        p0 = p;
    }
    return 0;
}
