#pragma once
// What the simulated probe measures: the water it goes through and its depth over time. Either a
// synthetic cast (surface soak, descent at the winch speed with the ship's heave, a short stay
// near the bottom, ascent) through plausible temperature, salinity and oxygen profiles, or a
// recorded cast played back at its own rate.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace marevo {
struct TCnvCast;
}

namespace marevo::sim {

// One scan of the probe's sensors, in engineering units.
struct TWater {
    double pressure = 0;     // dbar
    double temperature = 0;  // °C, sensor 1 (sensor 2 reads a little differently)
    double temperature2 = 0;
    double conductivity = 0; // mS/cm
    double conductivity2 = 0;
    double oxygenRaw = 0;    // counts
    double par = 0;          // umol s-1 m-2
    double transmission = 0; // %
    double altimeter = 0;    // m above the sea bed
    double ph = 0;
};

class IProfile {
public:
    virtual ~IProfile() = default;
    // The water at t seconds after the data flow started.
    virtual TWater At(double t) const = 0;
    virtual std::string Describe() const = 0;
};

struct TSyntheticCast {
    double soakSeconds = 20;     // at the soak depth before the descent
    double soakPressure = 5;     // dbar
    double bottomPressure = 500; // dbar where the winch stops
    double bottomSeconds = 30;
    double winchSpeed = 1.0;     // m/s, down and up
    double heaveAmplitude = 0.4; // m, ship heave passed on to the probe
    double heavePeriod = 7.0;    // s
    double seaBed = 510;         // dbar of the sea bed, for the altimeter
};

// The pressure and the water of the synthetic cast; after the ascent it stays at the surface.
std::unique_ptr<IProfile> MakeSyntheticProfile(const TSyntheticCast& cast = {});

// A recorded cast in the common "cnv" text layout (bzip2-compressed when the name ends in
// ".bz2"), played at the given scan rate and repeated when it ends. Raises when the file cannot
// be read or lacks pressure, temperature or conductivity.
std::unique_ptr<IProfile> LoadCnvProfile(const std::filesystem::path& file, double scanRate);

// The water of each scan of a cnv table; a missing value keeps the previous scan's.
std::vector<TWater> CnvWater(const TCnvCast& cast);

} // namespace marevo::sim
