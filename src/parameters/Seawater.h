#pragma once
// Seawater and dissolved-oxygen formulas, as pure functions of their inputs. They carry no flags,
// limits or settings: the derived-parameter table (DerivedFormulas.h) wraps them with those.
//
// Units throughout: pressure p in dbar (sea pressure, 0 at the surface), temperature t in degrees
// Celsius on the IPTS-68 scale (what the temperature parameter delivers), practical salinity S
// (PSS-78, dimensionless), conductivity C in mS/cm, latitude in degrees.
//
// Every function is instantiated for double and long double; the parameters evaluate them in
// long double (extended precision on x86), tests and benchmarks may use either.

namespace marevo::seawater {

// Conductivity of standard seawater (S = 35, t = 15 degC, p = 0), mS/cm: C(35,15,0) of PSS-78.
inline constexpr double C3515 = 42.914;

// Practical salinity (PSS-78) from the conductivity ratio R = C / C(35,15,0). Defined for
// R > 0; R <= 0 gives NaN (no root of a negative ratio).
template <class Real> Real SalinityFromRatio(Real R, Real t68, Real p);

// Practical salinity (PSS-78) from conductivity in mS/cm.
template <class Real> Real SalinityPSS78(Real C, Real t68, Real p);

// Secant bulk modulus K(S, t, p) of EOS-80, in bar, for p in bar (1 bar = 10 dbar).
template <class Real> Real SecantBulkModulusEOS80(Real S, Real t68, Real pBar);

// Density anomaly sigma = rho(S, t, p) - 1000, kg/m3, by EOS-80 (UNESCO 1983). Formed without
// subtracting two numbers near 1000, so it keeps its digits in double. S < 0 gives NaN.
template <class Real> Real SigmaEOS80(Real S, Real t68, Real p);

// In-situ density rho(S, t, p), kg/m3, by EOS-80.
template <class Real> Real DensityEOS80(Real S, Real t68, Real p);

// Adiabatic lapse rate of Bryden (1973), degC per dbar.
template <class Real> Real AdiabaticLapseRate(Real S, Real t68, Real p);

// Potential temperature, degC, of water at (S, t, p) brought adiabatically to the reference
// pressure pr (dbar): fourth-order Runge-Kutta over one step of the lapse rate (UNESCO 1983).
template <class Real> Real PotentialTemperature(Real S, Real t68, Real p, Real pr);

// Speed of sound, m/s, of Chen and Millero (1977) in the UNESCO 1983 form. The S^1.5 term is
// taken as 0 unless 0 < S < 200, so any salinity gives a number.
template <class Real> Real SoundSpeedChenMillero(Real S, Real t68, Real p);

// Depth in metres of pressure p (dbar) at the given latitude (degrees), Saunders and Fofonoff
// (UNESCO 1983) with the gravity of the latitude.
template <class Real> Real DepthSaundersFofonoff(Real p, Real latitude);

// Oxygen solubility of Weiss (1970), ml/l, in water at t degC (Kelvin t + 273.15) and salinity S
// in equilibrium with moist air at one atmosphere.
template <class Real> Real OxygenSolubilityWeiss(Real t, Real S);

// Oxygen solubility of Benson and Krause (1984) in the constants that give mg/kg, at t degC
// (Kelvin t + 273.15) and salinity S.
template <class Real> Real OxygenSolubilityBensonKrause(Real t, Real S);

} // namespace marevo::seawater
