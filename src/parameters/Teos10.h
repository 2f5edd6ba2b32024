#pragma once
// TEOS-10 quantities of seawater (the International Thermodynamic Equation of Seawater 2010), as
// pure functions in double precision: Absolute Salinity from Practical Salinity and the position,
// Conservative Temperature, and density from the 75-term polynomial of specific volume
// (Roquet et al. 2015), with the buoyancy frequency between two levels.
//
// Units: SA in g/kg, SP dimensionless (PSS-78), temperatures in degC, CT and t90 on ITS-90,
// pressure p in dbar (sea pressure, 0 at the surface), longitude in degrees east (any turn),
// latitude in degrees north, densities in kg/m^3, N^2 in 1/s^2.
//
// A non-finite input, or an input the standard has no value for, gives NaN.

namespace marevo::teos10 {

// Standard Ocean Reference Salinity, g/kg, and the factor from Practical to Reference Salinity.
inline constexpr double SSO = 35.16504;
inline constexpr double UPS = SSO / 35.0;

// Absolute Salinity Anomaly Ratio of the TEOS-10 atlas (look-up table version 3.0) at the
// position: the atlas interpolated bilinearly in longitude and latitude and linearly in pressure,
// below the deepest water of the four surrounding nodes taken at that depth, nodes on land
// filled with the mean of the others, nodes beyond the Panama isthmus left out. 0 where none of
// the four nodes holds water (far inland, and where the atlas leaves a sea out); NaN beyond the
// atlas's latitudes (-86..90).
double SaarFromPosition(double p, double lon, double lat);

// Absolute Salinity in the Baltic Sea, where the atlas does not serve (SA follows from SP
// there); NaN outside the Baltic.
double SA_from_SP_Baltic(double SP, double lon, double lat);

// Absolute Salinity from Practical Salinity at the position: the Baltic relation inside the
// Baltic Sea, UPS * SP * (1 + SAAR) elsewhere.
double SA_from_SP(double SP, double p, double lon, double lat);

// ITS-90 temperature of an IPTS-68 one.
double T90FromT68(double t68);

// Potential temperature referred to 0 dbar, of the Gibbs function.
double PT0_from_t(double SA, double t90, double p);

// Conservative Temperature from potential temperature (0 dbar).
double CT_from_pt(double SA, double pt0);

// Conservative Temperature from in-situ temperature (ITS-90).
double CT_from_t(double SA, double t90, double p);

// Specific volume, m^3/kg, of the 75-term expression.
double SpecificVolume(double SA, double CT, double p);

// In-situ density, kg/m^3 (1 / specific volume).
double Rho(double SA, double CT, double p);

// Potential density anomaly referred to 0 dbar, rho(SA, CT, 0) - 1000.
double Sigma0(double SA, double CT);

// Thermal expansion coefficient with respect to CT, 1/K, and saline contraction coefficient at
// constant CT, kg/g, both of the 75-term expression.
double Alpha(double SA, double CT, double p);
double Beta(double SA, double CT, double p);

// Gravitational acceleration, m/s^2, at the latitude and the depth of p.
double Gravity(double lat, double p);

// Height z (m, negative in the ocean) of sea pressure p at the latitude.
double ZFromP(double p, double lat);

// The buoyancy frequency squared of two levels, at their mid pressure.
struct TBuoyancy {
    double N2 = 0;   // 1/s^2
    double pMid = 0; // dbar
};

// N^2 between level 1 and level 2 (level 2 the deeper one for a stable water column to give a
// positive value): g^2 / (v dp) * (beta dSA - alpha dCT), with v, alpha and beta at the mean SA,
// CT and p of the pair and g the mean gravity of the two levels. NaN when both pressures are
// equal.
TBuoyancy BuoyancyOfPair(double SA1, double CT1, double p1, double SA2, double CT2, double p2,
                         double lat);
double Nsquared(double SA1, double CT1, double p1, double SA2, double CT2, double p2, double lat);

} // namespace marevo::teos10
