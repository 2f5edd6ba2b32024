#include "parameters/Seawater.h"

#include <cmath>

namespace marevo::seawater {

// Constants are written R(...L): the long double instantiation takes them at full extended
// precision, the double one rounds them once and then computes in double throughout.

template <class Real> Real SalinityFromRatio(Real ratio, Real t, Real p) {
    using R = Real;
    // rt(t): ratio of the conductivity of standard seawater at t to its conductivity at 15 degC.
    const Real rt =
        R(0.6766097L) +
        t * (R(2.00564e-2L) + t * (R(1.104259e-4L) + t * (-R(6.9698e-7L) + t * R(1.0031e-9L))));
    // Rp(ratio, t, p): ratio of the conductivity at p to that at p = 0.
    const Real Rp = 1 + p * (R(2.070e-5L) + p * (-R(6.370e-10L) + p * R(3.989e-15L))) /
                            (1 + t * (R(3.426e-2L) + t * R(4.464e-4L)) +
                             (R(4.215e-1L) - R(3.107e-3L) * t) * ratio);
    const Real Rt = ratio / (Rp * rt);
    const Real x = std::sqrt(Rt); // PSS-78 is a polynomial in Rt^(1/2)
    const Real dt = t - 15;
    const Real a = R(0.0080L) +
                   x * (-R(0.1692L) +
                        x * (R(25.3851L) + x * (R(14.0941L) + x * (-R(7.0261L) + x * R(2.7081L)))));
    const Real b = R(0.0005L) +
                   x * (-R(0.0056L) +
                        x * (-R(0.0066L) + x * (-R(0.0375L) + x * (R(0.0636L) - x * R(0.0144L)))));
    return a + dt / (1 + R(0.0162L) * dt) * b;
}

template <class Real> Real SalinityPSS78(Real C, Real t, Real p) {
    return SalinityFromRatio<Real>(C / Real(C3515), t, p);
}

namespace {

// Density at the surface rho(S, t, 0), kg/m3, less 1000: the pure-water density of the standard
// mean ocean water plus the salt terms of EOS-80.
template <class Real> Real Sigma0(Real S, Real t) {
    using R = Real;
    const Real sigmaW =
        -R(0.157406L) +
        t * (R(6.793952e-2L) +
             t * (-R(9.095290e-3L) +
                  t * (R(1.001685e-4L) + t * (-R(1.120083e-6L) + t * R(6.536332e-9L)))));
    const Real a =
        R(0.824493L) +
        t * (-R(4.0899e-3L) + t * (R(7.6438e-5L) + t * (-R(8.2467e-7L) + t * R(5.3875e-9L))));
    const Real b = -R(5.72466e-3L) + t * (R(1.0227e-4L) - t * R(1.6546e-6L));
    return sigmaW + S * (a + std::sqrt(S) * b + S * R(4.8314e-4L));
}

} // namespace

template <class Real> Real SecantBulkModulusEOS80(Real S, Real t, Real pb) {
    using R = Real;
    const Real sr = std::sqrt(S);
    const Real kw =
        R(19652.21L) +
        t * (R(148.4206L) + t * (-R(2.327105L) + t * (R(1.360477e-2L) - t * R(5.155288e-5L))));
    const Real aw = R(3.239908L) + t * (R(1.43713e-3L) + t * (R(1.16092e-4L) - t * R(5.77905e-7L)));
    const Real bw = R(8.50935e-5L) + t * (-R(6.12293e-6L) + t * R(5.2787e-8L));
    const Real k0 =
        kw + S * (R(54.6746L) + t * (-R(0.603459L) + t * (R(1.09987e-2L) - t * R(6.1670e-5L)))) +
        S * sr * (R(7.944e-2L) + t * (R(1.6483e-2L) - t * R(5.3009e-4L)));
    const Real a = aw + S * (R(2.2838e-3L) + t * (-R(1.0981e-5L) - t * R(1.6078e-6L))) +
                   S * sr * R(1.91075e-4L);
    const Real b = bw + S * (-R(9.9348e-7L) + t * (R(2.0816e-8L) + t * R(9.1697e-10L)));
    return k0 + pb * (a + pb * b);
}

template <class Real> Real SigmaEOS80(Real S, Real t, Real p) {
    const Real pb = p / 10;
    const Real sigma0 = Sigma0<Real>(S, t);
    if (pb == 0)
        return sigma0;
    const Real K = SecantBulkModulusEOS80<Real>(S, t, pb);
    // rho = rho0 / (1 - pb/K), rewritten for rho - 1000 with rho0 = sigma0 + 1000.
    return (sigma0 * K + 1000 * pb) / (K - pb);
}

template <class Real> Real DensityEOS80(Real S, Real t, Real p) {
    return SigmaEOS80<Real>(S, t, p) + 1000;
}

template <class Real> Real AdiabaticLapseRate(Real S, Real t, Real p) {
    using R = Real;
    const Real ds = S - 35;
    return (((-R(2.1687e-16L) * t + R(1.8676e-14L)) * t - R(4.6206e-13L)) * p +
            ((R(2.7759e-12L) * t - R(1.1351e-10L)) * ds +
             ((-R(5.4481e-14L) * t + R(8.733e-12L)) * t - R(6.7795e-10L)) * t + R(1.8741e-8L))) *
               p +
           (-R(4.2393e-8L) * t + R(1.8932e-6L)) * ds +
           ((R(6.6228e-10L) * t - R(6.836e-8L)) * t + R(8.5258e-6L)) * t + R(3.5803e-5L);
}

template <class Real> Real PotentialTemperature(Real S, Real t, Real p, Real pr) {
    using R = Real;
    // The weights are those of the Runge-Kutta-Gill scheme the published algorithm uses.
    const Real h = pr - p;
    Real xk = h * AdiabaticLapseRate<Real>(S, t, p);
    t += R(0.5L) * xk;
    Real q = xk;
    p += R(0.5L) * h;
    xk = h * AdiabaticLapseRate<Real>(S, t, p);
    t += R(0.29289321881345248L) * (xk - q);
    q = R(0.58578643762690495L) * xk + R(0.121320343559642573L) * q;
    xk = h * AdiabaticLapseRate<Real>(S, t, p);
    t += R(1.70710678118654752L) * (xk - q);
    q = R(3.41421356237309505L) * xk - R(4.12132034355964257L) * q;
    p += R(0.5L) * h;
    xk = h * AdiabaticLapseRate<Real>(S, t, p);
    return t + (xk - 2 * q) / 6;
}

template <class Real> Real SoundSpeedChenMillero(Real S, Real t, Real p) {
    using R = Real;
    const Real P = p / 10; // bar
    const Real d = R(1.727e-3L) - R(7.9836e-6L) * P;
    const Real b = -R(1.922e-2L) - R(4.42e-5L) * t + (R(7.3637e-5L) + R(1.7945e-7L) * t) * P;
    const Real a3 = (-R(3.389e-13L) * t + R(6.649e-12L)) * t + R(1.100e-10L);
    const Real a2 = ((R(7.988e-12L) * t - R(1.6002e-10L)) * t + R(9.1041e-9L)) * t - R(3.9064e-7L);
    const Real a1 =
        (((-R(2.0122e-10L) * t + R(1.0507e-8L)) * t - R(6.4885e-8L)) * t - R(1.2580e-5L)) * t +
        R(9.4742e-5L);
    const Real a0 =
        (((-R(3.21e-8L) * t + R(2.006e-6L)) * t + R(7.164e-5L)) * t - R(1.262e-2L)) * t + R(1.389L);
    const Real a = ((a3 * P + a2) * P + a1) * P + a0;
    const Real c3 = (-R(2.3643e-12L) * t + R(3.8504e-10L)) * t - R(9.7729e-9L);
    const Real c2 =
        (((R(1.0405e-12L) * t - R(2.5335e-10L)) * t + R(2.5974e-8L)) * t - R(1.7107e-6L)) * t +
        R(3.1260e-5L);
    const Real c1 =
        (((-R(6.1185e-10L) * t + R(1.3621e-7L)) * t - R(8.1788e-6L)) * t + R(6.8982e-4L)) * t +
        R(0.153563L);
    const Real c0 =
        ((((R(3.1464e-9L) * t - R(1.47800e-6L)) * t + R(3.3420e-4L)) * t - R(5.80852e-2L)) * t +
         R(5.03711L)) *
            t +
        R(1402.388L);
    const Real cw = ((c3 * P + c2) * P + c1) * P + c0; // pure water
    const Real s15 = (S > 0 && S < 200) ? S * std::sqrt(S) : Real(0);
    return cw + a * S + b * s15 + d * S * S;
}

template <class Real> Real DepthSaundersFofonoff(Real p, Real latitude) {
    using R = Real;
    const Real s = std::sin(latitude * R(0.017453292519943295769L));
    const Real x = s * s;
    // Gravity at the latitude, m/s2, with the mean vertical gradient term 1.092e-6 per dbar.
    const Real g = R(9.780318L) * (1 + (R(5.2788e-3L) + R(2.36e-5L) * x) * x) + R(1.092e-6L) * p;
    return (((-R(1.82e-15L) * p + R(2.279e-10L)) * p - R(2.2512e-5L)) * p + R(9.72659L)) * p / g;
}

template <class Real> Real OxygenSolubilityWeiss(Real t, Real S) {
    using R = Real;
    const Real tk100 = (t + R(273.15L)) / 100;
    return std::exp(-R(173.4292L) + R(249.6339L) / tk100 + R(143.3483L) * std::log(tk100) -
                    R(21.8492L) * tk100 +
                    S * (-R(0.033096L) + tk100 * (R(0.014259L) - R(0.0017L) * tk100)));
}

template <class Real> Real OxygenSolubilityBensonKrause(Real t, Real S) {
    using R = Real;
    const Real u = 1 / (t + R(273.15L)); // 1/K
    return std::exp(
        -R(138.74202L) +
        u * (R(1.572288e5L) + u * (-R(6.637149e7L) + u * (R(1.243678e10L) - u * R(8.621061e11L)))) -
        S * (R(0.020573L) + u * (-R(12.142L) + u * R(2363.1L))));
}

#define MAREVO_SEAWATER_INSTANTIATE(Real)                                                          \
    template Real SalinityFromRatio<Real>(Real, Real, Real);                                       \
    template Real SalinityPSS78<Real>(Real, Real, Real);                                           \
    template Real SecantBulkModulusEOS80<Real>(Real, Real, Real);                                  \
    template Real SigmaEOS80<Real>(Real, Real, Real);                                              \
    template Real DensityEOS80<Real>(Real, Real, Real);                                            \
    template Real AdiabaticLapseRate<Real>(Real, Real, Real);                                      \
    template Real PotentialTemperature<Real>(Real, Real, Real, Real);                              \
    template Real SoundSpeedChenMillero<Real>(Real, Real, Real);                                   \
    template Real DepthSaundersFofonoff<Real>(Real, Real);                                         \
    template Real OxygenSolubilityWeiss<Real>(Real, Real);                                         \
    template Real OxygenSolubilityBensonKrause<Real>(Real, Real);

MAREVO_SEAWATER_INSTANTIATE(double)
MAREVO_SEAWATER_INSTANTIATE(long double)

#undef MAREVO_SEAWATER_INSTANTIATE

} // namespace marevo::seawater
