// TEOS-10 functions, evaluated in the published form of the standard (the same polynomials and
// the same order of operations, so that results agree with other implementations to rounding).

#include "parameters/Teos10.h"

#include "parameters/Teos10Atlas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace marevo::teos10 {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

constexpr double Db2Pa = 1.0e4;
constexpr double Pi = 3.141592653589793;
constexpr double Deg2Rad = Pi / 180.0;
constexpr double GravityGamma = 2.26e-7; // vertical gradient of gravity, 1/m
constexpr double Cp0 = 3991.86795711963; // "specific heat" of Conservative Temperature, J/(kg K)
constexpr double CelsiusZero = 273.15;
constexpr double SFac = 0.0248826675584615;      // 1 / (40 UPS)
constexpr double SOffset = 5.971840214030754e-1; // 24 SFac
constexpr double ErrorLimit = 1e10; // atlas values at or beyond it mark a node without water

bool Finite(double a) {
    return std::isfinite(a);
}
bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}
bool Finite(double a, double b, double c) {
    return Finite(a, b) && std::isfinite(c);
}

// k with x[k] <= z < x[k+1] in an increasing array of n values; 0 for z at or below x[0], n-2 at
// or beyond x[n-1].
int IndexBelow(const double* x, int n, double z) {
    if (z <= x[0])
        return 0;
    if (z >= x[n - 1])
        return n - 2;
    int lo = 0, hi = n - 1;
    while (hi - lo > 1) {
        const int mid = (hi + lo) / 2;
        if (z > x[mid])
            lo = mid;
        else
            hi = mid;
    }
    return z == x[lo + 1] ? lo + 1 : lo;
}

double Interpolate(const double* x, const double* y, int n, double x0) {
    const int k = IndexBelow(x, n, x0);
    const double r = (x0 - x[k]) / (x[k + 1] - x[k]);
    return y[k] + r * (y[k + 1] - y[k]);
}

// ---- Atlas --------------------------------------------------------------------------------------

// The line across the Panama isthmus: the water north of it (Caribbean) and south of it
// (Pacific) are kept apart when interpolating.
constexpr int PanamaCount = 6;
constexpr double PanamaLon[PanamaCount] = {260.00, 272.59, 276.50, 278.65, 280.73, 292.0};
constexpr double PanamaLat[PanamaCount] = {19.55, 13.97, 9.60, 8.10, 9.33, 3.4};

bool NorthOfPanama(double lon, double lat) {
    return Interpolate(PanamaLon, PanamaLat, PanamaCount, lon) <= lat;
}

// The four corners of a cell in the order (i,j), (i+1,j), (i+1,j+1), (i,j+1).
constexpr int CornerI[4] = {0, 1, 1, 0};
constexpr int CornerJ[4] = {0, 0, 1, 1};

using TCorners = std::array<double, 4>;

// Corners on the other side of the isthmus from the point, and corners without water, take the
// mean of the water corners on the point's side (0 when there is none).
void KeepPanamaSide(TCorners& v, double lon, double lat, double lon0, double lat0) {
    const double dLon = atlas::Longitudes[1] - atlas::Longitudes[0];
    const double dLat = atlas::Latitudes[1] - atlas::Latitudes[0];
    const bool side = NorthOfPanama(lon, lat);
    const std::array<bool, 4> corner = {NorthOfPanama(lon0, lat0), NorthOfPanama(lon0 + dLon, lat0),
                                        NorthOfPanama(lon0 + dLon, lat0 + dLat),
                                        NorthOfPanama(lon0, lat0 + dLat)};
    int n = 0;
    double sum = 0.0;
    for (int k = 0; k < 4; ++k)
        if (std::fabs(v[k]) <= 100.0 && corner[k] == side) {
            ++n;
            sum = sum + v[k];
        }
    const double mean = n == 0 ? 0.0 : sum / n;
    for (int k = 0; k < 4; ++k)
        if (std::fabs(v[k]) >= ErrorLimit || corner[k] != side)
            v[k] = mean;
}

// Corners without water take the mean of the others (0 when there is none).
void FillWithMean(TCorners& v) {
    int n = 0;
    double sum = 0.0;
    for (double x : v)
        if (std::fabs(x) <= 100.0) {
            ++n;
            sum = sum + x;
        }
    const double mean = n == 0 ? 0.0 : sum / n;
    for (double& x : v)
        if (std::fabs(x) >= 100.0)
            x = mean;
}

} // namespace

double SaarFromPosition(double p, double lon, double lat) {
    using namespace atlas;
    if (!Finite(p, lon, lat) || lat < -86.0 || lat > 90.0)
        return NaN;
    lon = std::fmod(lon, 360.0);
    if (lon < 0.0)
        lon += 360.0;

    int i = static_cast<int>(
        std::floor((Nx - 1) * (lon - Longitudes[0]) / (Longitudes[Nx - 1] - Longitudes[0])));
    i = std::clamp(i, 0, Nx - 2);
    int j = static_cast<int>(
        std::floor((Ny - 1) * (lat - Latitudes[0]) / (Latitudes[Ny - 1] - Latitudes[0])));
    j = std::clamp(j, 0, Ny - 2);

    // The deepest water of the four corners; none: no anomaly.
    double deepest = -1.0;
    for (int k = 0; k < 4; ++k) {
        const double d = DepthIndex[j + CornerJ[k] + (i + CornerI[k]) * Ny];
        if (d > 0.0 && d < 1e90)
            deepest = std::max(deepest, d);
    }
    if (deepest == -1.0)
        return 0.0;
    p = std::min(p, Pressures[static_cast<int>(deepest) - 1]);
    const int k0 = IndexBelow(Pressures, Nz, p);

    const double r = (lon - Longitudes[i]) / (Longitudes[i + 1] - Longitudes[i]);
    const double s = (lat - Latitudes[j]) / (Latitudes[j + 1] - Latitudes[j]);
    const double t = (p - Pressures[k0]) / (Pressures[k0 + 1] - Pressures[k0]);
    const bool nearPanama = PanamaLon[0] <= lon && lon <= PanamaLon[PanamaCount - 1] - 0.001 &&
                            PanamaLat[PanamaCount - 1] <= lat && lat <= PanamaLat[0];

    const auto level = [&](int k) {
        TCorners v;
        for (int c = 0; c < 4; ++c)
            v[c] = Ratio[k + Nz * (j + CornerJ[c] + (i + CornerI[c]) * Ny)];
        if (nearPanama)
            KeepPanamaSide(v, lon, lat, Longitudes[i], Latitudes[j]);
        else if (std::fabs(v[0] + v[1] + v[2] + v[3]) >= ErrorLimit)
            FillWithMean(v);
        return (1.0 - s) * (v[0] + r * (v[1] - v[0])) + s * (v[3] + r * (v[2] - v[3]));
    };
    const double upper = level(k0);
    double lower = level(k0 + 1);
    if (std::fabs(lower) >= ErrorLimit)
        lower = upper;
    const double value = upper + t * (lower - upper);
    return std::fabs(value) >= ErrorLimit ? NaN : value;
}

double SA_from_SP_Baltic(double SP, double lon, double lat) {
    constexpr double leftLon[3] = {12.6, 7.0, 26.0}, leftLat[3] = {50.0, 59.0, 69.0};
    constexpr double rightLon[2] = {45.0, 26.0}, rightLat[2] = {50.0, 69.0};
    if (!Finite(SP, lon, lat))
        return NaN;
    lon = std::fmod(lon, 360.0);
    if (lon < 0.0)
        lon += 360.0;
    if (!(leftLon[1] < lon && lon < rightLon[0] && leftLat[0] < lat && lat < leftLat[2]))
        return NaN;
    const double west = Interpolate(leftLat, leftLon, 3, lat);
    const double east = Interpolate(rightLat, rightLon, 2, lat);
    if (west <= lon && lon <= east)
        return ((SSO - 0.087) / 35.0) * SP + 0.087;
    return NaN;
}

double SA_from_SP(double SP, double p, double lon, double lat) {
    if (!Finite(SP) || !Finite(p, lon, lat))
        return NaN;
    const double baltic = SA_from_SP_Baltic(SP, lon, lat);
    if (!std::isnan(baltic))
        return baltic;
    const double saar = SaarFromPosition(p, lon, lat);
    return std::isnan(saar) ? NaN : UPS * SP * (1.e0 + saar);
}

double T90FromT68(double t68) {
    return t68 / 1.00024;
}

// ---- Temperatures -------------------------------------------------------------------------------

namespace {

// Entropy less its terms of SA alone, at (SA, t, p) and at the sea surface.
double EntropyPart(double SA, double t, double p) {
    const double x2 = SFac * SA, x = std::sqrt(x2), y = t * 0.025, z = p * 1e-4;
    const double g03 =
        z * (-270.983805184062 +
             z * (776.153611613101 +
                  z * (-196.51255088122 + (28.9796526294175 - 2.13290083518327 * z) * z))) +
        y * (-24715.571866078 +
             z * (2910.0729080936 +
                  z * (-1513.116771538718 +
                       z * (546.959324647056 + z * (-111.1208127634436 + 8.68841343834394 * z)))) +
             y * (2210.2236124548363 +
                  z * (-2017.52334943521 +
                       z * (1498.081172457456 +
                            z * (-718.6359919632359 +
                                 (146.4037555781616 - 4.9892131862671505 * z) * z))) +
                  y * (-592.743745734632 +
                       z * (1591.873781627888 +
                            z * (-1207.261522487504 +
                                 (608.785486935364 - 105.4993508931208 * z) * z)) +
                       y * (290.12956292128547 +
                            z * (-973.091553087975 +
                                 z * (602.603274510125 +
                                      z * (-276.361526170076 + 32.40953340386105 * z))) +
                            y * (-113.90630790850321 +
                                 y * (21.35571525415769 - 67.41756835751434 * z) +
                                 z * (381.06836198507096 +
                                      z * (-133.7383902842754 + 49.023632509086724 * z)))))));
    const double g08 =
        x2 *
        (z * (729.116529735046 +
              z * (-343.956902961561 +
                   z * (124.687671116248 + z * (-31.656964386073 + 7.04658803315449 * z)))) +
         x * (x * (y * (-137.1145018408982 +
                        y * (148.10030845687618 + y * (-68.5590309679152 + 12.4848504784754 * y))) -
                   22.6683558512829 * z) +
              z * (-175.292041186547 + (83.1923927801819 - 29.483064349429 * z) * z) +
              y * (-86.1329351956084 +
                   z * (766.116132004952 + z * (-108.3834525034224 + 51.2796974779828 * z)) +
                   y * (-30.0682112585625 - 1380.9597954037708 * z +
                        y * (3.50240264723578 + 938.26075044542 * z)))) +
         y * (1760.062705994408 +
              y * (-675.802947790203 +
                   y * (365.7041791005036 + y * (-108.30162043765552 + 12.78101825083098 * y) +
                        z * (-1190.914967948748 + (298.904564555024 - 145.9491676006352 * z) * z)) +
                   z * (2082.7344423998043 +
                        z * (-614.668925894709 + (340.685093521782 - 33.3848202979239 * z) * z))) +
              z * (-1721.528607567954 +
                   z * (674.819060538734 +
                        z * (-356.629112415276 + (88.4080716616 - 15.84003094423364 * z) * z)))));
    return -(g03 + g08) * 0.025;
}

double EntropyPartAtSurface(double SA, double pt0) {
    const double x2 = SFac * SA, x = std::sqrt(x2), y = pt0 * 0.025;
    const double g03 =
        y *
        (-24715.571866078 +
         y * (2210.2236124548363 +
              y * (-592.743745734632 +
                   y * (290.12956292128547 + y * (-113.90630790850321 + y * 21.35571525415769)))));
    const double g08 =
        x2 *
        (x * (x * (y *
                   (-137.1145018408982 +
                    y * (148.10030845687618 + y * (-68.5590309679152 + 12.4848504784754 * y)))) +
              y * (-86.1329351956084 + y * (-30.0682112585625 + y * 3.50240264723578))) +
         y * (1760.062705994408 +
              y * (-675.802947790203 +
                   y * (365.7041791005036 + y * (-108.30162043765552 + 12.78101825083098 * y)))));
    return -(g03 + g08) * 0.025;
}

// The second temperature derivative of the Gibbs function at the sea surface.
double GibbsPt0Pt0(double SA, double pt0) {
    const double x2 = SFac * SA, x = std::sqrt(x2), y = pt0 * 0.025;
    const double g03 =
        -24715.571866078 +
        y * (4420.4472249096725 +
             y * (-1778.231237203896 +
                  y * (1160.5182516851419 + y * (-569.531539542516 + y * 128.13429152494615))));
    const double g08 =
        x2 *
        (1760.062705994408 +
         x * (-86.1329351956084 +
              x * (-137.1145018408982 +
                   y * (296.20061691375236 + y * (-205.67709290374563 + 49.9394019139016 * y))) +
              y * (-60.136422517125 + y * 10.50720794170734)) +
         y * (-1351.605895580406 +
              y * (1097.1125373015109 + y * (-433.20648175062206 + 63.905091254154904 * y))));
    return (g03 + g08) * 0.000625;
}

} // namespace

double PT0_from_t(double SA, double t90, double p) {
    if (!Finite(SA, t90, p))
        return NaN;
    const double s1 = SA / UPS;
    double pt0 =
        t90 + p * (8.65483913395442e-6 - s1 * 1.41636299744881e-6 - p * 7.38286467135737e-9 +
                   t90 * (-8.38241357039698e-6 + s1 * 2.83933368585534e-8 +
                          t90 * 1.77803965218656e-8 + p * 1.71155619208233e-10));
    double dentropyDt = Cp0 / ((CelsiusZero + pt0) * (1.0 - 0.05 * (1.0 - SA / SSO)));
    const double trueEntropyPart = EntropyPart(SA, t90, p);
    // Two steps of the modified Newton-Raphson method of McDougall and Wotherspoon (2014).
    for (int step = 1; step <= 2; ++step) {
        const double old = pt0;
        const double dentropy = EntropyPartAtSurface(SA, old) - trueEntropyPart;
        pt0 = old - dentropy / dentropyDt;
        const double mid = 0.5 * (pt0 + old);
        dentropyDt = -GibbsPt0Pt0(SA, mid);
        pt0 = old - dentropy / dentropyDt;
    }
    return pt0;
}

double CT_from_pt(double SA, double pt0) {
    if (!Finite(SA, pt0))
        return NaN;
    const double x2 = SFac * SA, x = std::sqrt(x2), y = pt0 * 0.025;
    const double potEnthalpy =
        61.01362420681071e0 +
        y * (168776.46138048015e0 +
             y * (-2735.2785605119625e0 +
                  y * (2574.2164453821433e0 +
                       y * (-1536.6644434977543e0 +
                            y * (545.7340497931629e0 +
                                 (-50.91091728474331e0 - 18.30489878927802e0 * y) * y))))) +
        x2 * (268.5520265845071e0 +
              y * (-12019.028203559312e0 +
                   y * (3734.858026725145e0 +
                        y * (-2046.7671145057618e0 +
                             y * (465.28655623826234e0 +
                                  (-0.6370820302376359e0 - 10.650848542359153e0 * y) * y)))) +
              x * (937.2099110620707e0 +
                   y * (588.1802812170108e0 +
                        y * (248.39476522971285e0 +
                             (-3.871557904936333e0 - 2.6268019854268356e0 * y) * y)) +
                   x * (-1687.914374187449e0 +
                        x * (246.9598888781377e0 +
                             x * (123.59576582457964e0 - 48.5891069025409e0 * x)) +
                        y * (936.3206544460336e0 +
                             y * (-942.7827304544439e0 +
                                  y * (369.4389437509002e0 +
                                       (-33.83664947895248e0 - 9.987880382780322e0 * y) * y))))));
    return potEnthalpy / Cp0;
}

double CT_from_t(double SA, double t90, double p) {
    return CT_from_pt(SA, PT0_from_t(SA, t90, p));
}

// ---- Density of the 75-term expression ----------------------------------------------------------

namespace {

// Coefficients of specific volume (v) and of its CT (a) and SA (b) derivatives, in the
// scaled variables xs = sqrt(SFac SA + SOffset), ys = CT / 40, z = p / 10^4.
constexpr double v000 = 1.0769995862e-3, v001 = -6.0799143809e-5, v002 = 9.9856169219e-6,
                 v003 = -1.1309361437e-6, v004 = 1.0531153080e-7, v005 = -1.2647261286e-8,
                 v006 = 1.9613503930e-9, v010 = -3.1038981976e-4, v011 = 2.4262468747e-5,
                 v012 = -5.8484432984e-7, v013 = 3.6310188515e-7, v014 = -1.1147125423e-7,
                 v020 = 6.6928067038e-4, v021 = -3.4792460974e-5, v022 = -4.8122251597e-6,
                 v023 = 1.6746303780e-8, v030 = -8.5047933937e-4, v031 = 3.7470777305e-5,
                 v032 = 4.9263106998e-6, v040 = 5.8086069943e-4, v041 = -1.7322218612e-5,
                 v042 = -1.7811974727e-6, v050 = -2.1092370507e-4, v051 = 3.0927427253e-6,
                 v060 = 3.1932457305e-5, v100 = -1.5649734675e-5, v101 = 1.8505765429e-5,
                 v102 = -1.1736386731e-6, v103 = -3.6527006553e-7, v104 = 3.1454099902e-7,
                 v110 = 3.5009599764e-5, v111 = -9.5677088156e-6, v112 = -5.5699154557e-6,
                 v113 = -2.7295696237e-7, v120 = -4.3592678561e-5, v121 = 1.1100834765e-5,
                 v122 = 5.4620748834e-6, v130 = 3.4532461828e-5, v131 = -9.8447117844e-6,
                 v132 = -1.3544185627e-6, v140 = -1.1959409788e-5, v141 = 2.5909225260e-6,
                 v150 = 1.3864594581e-6, v200 = 2.7762106484e-5, v201 = -1.1716606853e-5,
                 v202 = 2.1305028740e-6, v203 = 2.8695905159e-7, v210 = -3.7435842344e-5,
                 v211 = -2.3678308361e-7, v212 = 3.9137387080e-7, v220 = 3.5907822760e-5,
                 v221 = 2.9283346295e-6, v222 = -6.5731104067e-7, v230 = -1.8698584187e-5,
                 v231 = -4.8826139200e-7, v240 = 3.8595339244e-6, v300 = -1.6521159259e-5,
                 v301 = 7.9279656173e-6, v302 = -4.6132540037e-7, v310 = 2.4141479483e-5,
                 v311 = -3.4558773655e-6, v312 = 7.7618888092e-9, v320 = -1.4353633048e-5,
                 v321 = 3.1655306078e-7, v330 = 2.2863324556e-6, v400 = 6.9111322702e-6,
                 v401 = -3.4102187482e-6, v402 = -6.3352916514e-8, v410 = -8.7595873154e-6,
                 v411 = 1.2956717783e-6, v420 = 4.3703680598e-6, v500 = -8.0539615540e-7,
                 v501 = 5.0736766814e-7, v510 = -3.3052758900e-7, v600 = 2.0543094268e-7;

constexpr double a000 = -1.56497346750e-5, a001 = 1.85057654290e-5, a002 = -1.17363867310e-6,
                 a003 = -3.65270065530e-7, a004 = 3.14540999020e-7, a010 = 5.55242129680e-5,
                 a011 = -2.34332137060e-5, a012 = 4.26100574800e-6, a013 = 5.73918103180e-7,
                 a020 = -4.95634777770e-5, a021 = 2.37838968519e-5, a022 = -1.38397620111e-6,
                 a030 = 2.76445290808e-5, a031 = -1.36408749928e-5, a032 = -2.53411666056e-7,
                 a040 = -4.02698077700e-6, a041 = 2.53683834070e-6, a050 = 1.23258565608e-6,
                 a100 = 3.50095997640e-5, a101 = -9.56770881560e-6, a102 = -5.56991545570e-6,
                 a103 = -2.72956962370e-7, a110 = -7.48716846880e-5, a111 = -4.73566167220e-7,
                 a112 = 7.82747741600e-7, a120 = 7.24244384490e-5, a121 = -1.03676320965e-5,
                 a122 = 2.32856664276e-8, a130 = -3.50383492616e-5, a131 = 5.18268711320e-6,
                 a140 = -1.65263794500e-6, a200 = -4.35926785610e-5, a201 = 1.11008347650e-5,
                 a202 = 5.46207488340e-6, a210 = 7.18156455200e-5, a211 = 5.85666925900e-6,
                 a212 = -1.31462208134e-6, a220 = -4.30608991440e-5, a221 = 9.49659182340e-7,
                 a230 = 1.74814722392e-5, a300 = 3.45324618280e-5, a301 = -9.84471178440e-6,
                 a302 = -1.35441856270e-6, a310 = -3.73971683740e-5, a311 = -9.76522784000e-7,
                 a320 = 6.85899736680e-6, a400 = -1.19594097880e-5, a401 = 2.59092252600e-6,
                 a410 = 7.71906784880e-6, a500 = 1.38645945810e-6;

constexpr double b000 = -3.10389819760e-4, b003 = 3.63101885150e-7, b004 = -1.11471254230e-7,
                 b010 = 3.50095997640e-5, b013 = -2.72956962370e-7, b020 = -3.74358423440e-5,
                 b030 = 2.41414794830e-5, b040 = -8.75958731540e-6, b050 = -3.30527589000e-7,
                 b100 = 1.33856134076e-3, b103 = 3.34926075600e-8, b110 = -8.71853571220e-5,
                 b120 = 7.18156455200e-5, b130 = -2.87072660960e-5, b140 = 8.74073611960e-6,
                 b200 = -2.55143801811e-3, b210 = 1.03597385484e-4, b220 = -5.60957525610e-5,
                 b230 = 6.85899736680e-6, b300 = 2.32344279772e-3, b310 = -4.78376391520e-5,
                 b320 = 1.54381356976e-5, b400 = -1.05461852535e-3, b410 = 6.93229729050e-6,
                 b500 = 1.91594743830e-4, b001 = 2.42624687470e-5, b011 = -9.56770881560e-6,
                 b021 = -2.36783083610e-7, b031 = -3.45587736550e-6, b041 = 1.29567177830e-6,
                 b101 = -6.95849219480e-5, b111 = 2.22016695300e-5, b121 = 5.85666925900e-6,
                 b131 = 6.33106121560e-7, b201 = 1.12412331915e-4, b211 = -2.95341353532e-5,
                 b221 = -1.46478417600e-6, b301 = -6.92888744480e-5, b311 = 1.03636901040e-5,
                 b401 = 1.54637136265e-5, b002 = -5.84844329840e-7, b012 = -5.56991545570e-6,
                 b022 = 3.91373870800e-7, b032 = 7.76188880920e-9, b102 = -9.62445031940e-6,
                 b112 = 1.09241497668e-5, b122 = -1.31462208134e-6, b202 = 1.47789320994e-5,
                 b212 = -4.06325568810e-6, b302 = -7.12478989080e-6;

constexpr double h006 = -2.10787688100e-9, h007 = 2.80192913290e-10;

double SpecVol(double xs, double ys, double z) {
    return v000 + xs * (v010 + xs * (v020 + xs * (v030 + xs * (v040 + xs * (v050 + v060 * xs))))) +
           ys * (v100 + xs * (v110 + xs * (v120 + xs * (v130 + xs * (v140 + v150 * xs)))) +
                 ys * (v200 + xs * (v210 + xs * (v220 + xs * (v230 + v240 * xs))) +
                       ys * (v300 + xs * (v310 + xs * (v320 + v330 * xs)) +
                             ys * (v400 + xs * (v410 + v420 * xs) +
                                   ys * (v500 + v510 * xs + v600 * ys))))) +
           z * (v001 + xs * (v011 + xs * (v021 + xs * (v031 + xs * (v041 + v051 * xs)))) +
                ys * (v101 + xs * (v111 + xs * (v121 + xs * (v131 + v141 * xs))) +
                      ys * (v201 + xs * (v211 + xs * (v221 + v231 * xs)) +
                            ys * (v301 + xs * (v311 + v321 * xs) +
                                  ys * (v401 + v411 * xs + v501 * ys)))) +
                z * (v002 + xs * (v012 + xs * (v022 + xs * (v032 + v042 * xs))) +
                     ys * (v102 + xs * (v112 + xs * (v122 + v132 * xs)) +
                           ys * (v202 + xs * (v212 + v222 * xs) +
                                 ys * (v302 + v312 * xs + v402 * ys))) +
                     z * (v003 + xs * (v013 + v023 * xs) + ys * (v103 + v113 * xs + v203 * ys) +
                          z * (v004 + v014 * xs + v104 * ys + z * (v005 + v006 * z)))));
}

double SpecVolCtPart(double xs, double ys, double z) {
    return a000 + xs * (a100 + xs * (a200 + xs * (a300 + xs * (a400 + a500 * xs)))) +
           ys * (a010 + xs * (a110 + xs * (a210 + xs * (a310 + a410 * xs))) +
                 ys * (a020 + xs * (a120 + xs * (a220 + a320 * xs)) +
                       ys * (a030 + xs * (a130 + a230 * xs) +
                             ys * (a040 + a140 * xs + a050 * ys)))) +
           z * (a001 + xs * (a101 + xs * (a201 + xs * (a301 + a401 * xs))) +
                ys * (a011 + xs * (a111 + xs * (a211 + a311 * xs)) +
                      ys * (a021 + xs * (a121 + a221 * xs) + ys * (a031 + a131 * xs + a041 * ys))) +
                z * (a002 + xs * (a102 + xs * (a202 + a302 * xs)) +
                     ys * (a012 + xs * (a112 + a212 * xs) + ys * (a022 + a122 * xs + a032 * ys)) +
                     z * (a003 + a103 * xs + a013 * ys + a004 * z)));
}

double SpecVolSaPart(double xs, double ys, double z) {
    return b000 + xs * (b100 + xs * (b200 + xs * (b300 + xs * (b400 + b500 * xs)))) +
           ys * (b010 + xs * (b110 + xs * (b210 + xs * (b310 + b410 * xs))) +
                 ys * (b020 + xs * (b120 + xs * (b220 + b320 * xs)) +
                       ys * (b030 + xs * (b130 + b230 * xs) +
                             ys * (b040 + b140 * xs + b050 * ys)))) +
           z * (b001 + xs * (b101 + xs * (b201 + xs * (b301 + b401 * xs))) +
                ys * (b011 + xs * (b111 + xs * (b211 + b311 * xs)) +
                      ys * (b021 + xs * (b121 + b221 * xs) + ys * (b031 + b131 * xs + b041 * ys))) +
                z * (b002 + xs * (b102 + xs * (b202 + b302 * xs)) +
                     ys * (b012 + xs * (b112 + b212 * xs) + ys * (b022 + b122 * xs + b032 * ys)) +
                     z * (b003 + b103 * xs + b013 * ys + b004 * z)));
}

double ScaledSalinity(double SA) {
    return std::sqrt(SFac * SA + SOffset);
}

// Enthalpy of SSO at CT = 0 as a function of pressure, J/kg.
double EnthalpySSO0(double p) {
    const double z = p * 1.0e-4;
    const double dynamic =
        z * (9.726613854843870e-4 +
             z * (-2.252956605630465e-5 +
                  z * (2.376909655387404e-6 +
                       z * (-1.664294869986011e-7 +
                            z * (-5.988108894465758e-9 + z * (h006 + h007 * z))))));
    return dynamic * Db2Pa * 1.0e4;
}

} // namespace

double SpecificVolume(double SA, double CT, double p) {
    if (!Finite(SA, CT, p))
        return NaN;
    return SpecVol(ScaledSalinity(SA), CT * 0.025, p * 1e-4);
}

double Rho(double SA, double CT, double p) {
    return 1.0 / SpecificVolume(SA, CT, p);
}

double Sigma0(double SA, double CT) {
    return 1.0 / SpecificVolume(SA, CT, 0.0) - 1000.0;
}

double Alpha(double SA, double CT, double p) {
    if (!Finite(SA, CT, p))
        return NaN;
    const double xs = ScaledSalinity(SA), ys = CT * 0.025, z = p * 1e-4;
    return 0.025 * SpecVolCtPart(xs, ys, z) / SpecVol(xs, ys, z);
}

double Beta(double SA, double CT, double p) {
    if (!Finite(SA, CT, p))
        return NaN;
    const double xs = ScaledSalinity(SA), ys = CT * 0.025, z = p * 1e-4;
    return -SpecVolSaPart(xs, ys, z) * 0.5 * SFac / (SpecVol(xs, ys, z) * xs);
}

double ZFromP(double p, double lat) {
    if (!Finite(p, lat))
        return NaN;
    const double x = std::sin(lat * Deg2Rad);
    const double sin2 = x * x;
    const double b = 9.780327 * (1.0 + (5.2792e-3 + (2.32e-5 * sin2)) * sin2);
    const double a = -0.5 * GravityGamma * b;
    const double c = EnthalpySSO0(p);
    return -2.0 * c / (b + std::sqrt(b * b - 4.0 * a * c));
}

double Gravity(double lat, double p) {
    if (!Finite(p, lat))
        return NaN;
    const double x = std::sin(lat * Deg2Rad);
    const double sin2 = x * x;
    const double gs = 9.780327 * (1.0 + (5.2792e-3 + (2.32e-5 * sin2)) * sin2);
    return gs * (1.0 - GravityGamma * ZFromP(p, lat));
}

TBuoyancy BuoyancyOfPair(double SA1, double CT1, double p1, double SA2, double CT2, double p2,
                         double lat) {
    TBuoyancy out{NaN, NaN};
    if (!Finite(SA1, CT1, p1) || !Finite(SA2, CT2, p2) || !Finite(lat) || lat < -90.0 || lat > 90.0)
        return out;
    const double g = 0.5 * (Gravity(lat, p1) + Gravity(lat, p2));
    const double dSA = SA2 - SA1, dCT = CT2 - CT1, dp = p2 - p1;
    const double SAmid = 0.5 * (SA1 + SA2), CTmid = 0.5 * (CT1 + CT2);
    out.pMid = 0.5 * (p1 + p2);
    if (dp == 0.0)
        return out;
    const double xs = ScaledSalinity(SAmid), ys = CTmid * 0.025, z = out.pMid * 1e-4;
    const double v = SpecVol(xs, ys, z);
    const double alpha = 0.025 * SpecVolCtPart(xs, ys, z) / v;
    const double beta = -SpecVolSaPart(xs, ys, z) * 0.5 * SFac / (v * xs);
    out.N2 = (g * g) / (v * Db2Pa * dp);
    out.N2 *= (beta * dSA - alpha * dCT);
    return out;
}

double Nsquared(double SA1, double CT1, double p1, double SA2, double CT2, double p2, double lat) {
    return BuoyancyOfPair(SA1, CT1, p1, SA2, CT2, p2, lat).N2;
}

} // namespace marevo::teos10
