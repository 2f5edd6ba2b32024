#pragma once
// The catalogue numbers (ParaCatalogue.cpp) of the parameters the code names itself: frame
// fields and probe channels with a role of their own, the computed parameters the pipeline,
// the exports and the defaults pick by number, and the inputs of the GPS, the PAR reference
// and the winch.

#include <cstdint>

namespace marevo {

// ---- Frame and probe channels -----------------------------------------------------------------
inline constexpr std::int32_t ScanRatePara = 52;      // SCRT, sampling rate [Hz]
inline constexpr std::int32_t TimeCounterPara = 100;  // TIMS, the probe's time counter [s]
inline constexpr std::int32_t PressurePara = 101;     // PRES [dbar]
inline constexpr std::int32_t ProbeSpeedPara = 105;   // PSPE, smoothed probe speed [m/s]
inline constexpr std::int32_t Temperature1Para = 110; // TMP1
inline constexpr std::int32_t Temperature2Para = 111; // TMP2
inline constexpr std::int32_t Temperature3Para = 112; // TMP3
inline constexpr std::int32_t Conductivity1Para = 120; // CND1 [mS/cm]
inline constexpr std::int32_t Conductivity2Para = 121; // CND2
inline constexpr std::int32_t Conductivity3Para = 122; // CND3
inline constexpr std::int32_t OxygenRaw1Para = 130;    // OXYR
inline constexpr std::int32_t CondFreshPara = 166;     // CNDU, fresh-water conductivity [uS/cm]
inline constexpr std::int32_t OxygenRaw2Para = 198;    // OX2R

// ---- Computed parameters ----------------------------------------------------------------------
inline constexpr std::int32_t CondMsCmPara = 399;     // CNMS, the chosen conductivity [mS/cm]
inline constexpr std::int32_t TimePara = 400;         // TIME, in the configured time unit
inline constexpr std::int32_t TemperaturePara = 401;  // TEMP, the chosen temperature
inline constexpr std::int32_t TemperatureIts90Para = 402; // TITS
inline constexpr std::int32_t DepthPara = 403;        // DEPT [m]
inline constexpr std::int32_t SalinityPara = 404;     // SALI [PSU]
inline constexpr std::int32_t OxygenPercentPara = 407; // OXPC
inline constexpr std::int32_t BottleNumberPara = 500; // BTNO
inline constexpr std::int32_t BottleStatusPara = 501; // BTST
inline constexpr std::int32_t ConductivityPara = 599; // COND, in the configured unit
inline constexpr std::int32_t ThetaPara = 600;        // TETA, potential temperature
inline constexpr std::int32_t Cond20Para = 601;       // CN20, conductivity at 20 °C
inline constexpr std::int32_t Cond25Para = 602;       // CN25, conductivity at 25 °C
inline constexpr std::int32_t SoundVelocityPara = 603; // SNDV [m/s]
inline constexpr std::int32_t SigmaTPara = 609;       // SigT, sigma-t [kg/m^3]

// ---- GPS, PAR reference and winch inputs ------------------------------------------------------
inline constexpr std::int32_t LatitudePara = 800;     // LATI
inline constexpr std::int32_t LongitudePara = 801;    // LONG
inline constexpr std::int32_t ParReferencePara = 807; // PARR, the external PAR sensor
inline constexpr std::int32_t GpsStatusPara = 808;    // PSTA
inline constexpr std::int32_t WinchMeterPara = 809;   // WNCH, winch counter in metres
inline constexpr std::int32_t WinchSpeedPara = 810;   // WNSP [m/min]

// ---- Derived columns of the binned table -------------------------------------------------------
// TEOS-10 quantities computed from the binned pressure, temperature and salinity and the cast's
// position whenever a table is shown or exported (processing/DerivedColumns.h). They are no
// parameters of a collection and are never stored: no parameter record holds these numbers.
inline constexpr std::int32_t AbsoluteSalinityPara = 2001;    // SA [g/kg]
inline constexpr std::int32_t ConservativeTempPara = 2002;    // CT [°C, ITS-90]
inline constexpr std::int32_t Sigma0Teos10Para = 2003;        // SIG0 [kg/m^3]
inline constexpr std::int32_t InSituDensityTeos10Para = 2004; // RHO [kg/m^3]
inline constexpr std::int32_t BuoyancyFreqPara = 2005;        // N2 [1/s^2]
inline constexpr std::int32_t FirstDerivedColumn = AbsoluteSalinityPara;
inline constexpr std::int32_t LastDerivedColumn = BuoyancyFreqPara;

constexpr bool IsDerivedColumn(std::int32_t number) {
    return number >= FirstDerivedColumn && number <= LastDerivedColumn;
}

// ---- Binning ----------------------------------------------------------------------------------
// Binning keeps the first 33 inputs of a frame (0..32); the bin coordinate of the same samples
// follows them as one entry more.
inline constexpr int MaxBinnedInputs = 33;
inline constexpr int BinnedEntryCount = MaxBinnedInputs + 1;

} // namespace marevo
