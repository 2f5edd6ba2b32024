#pragma once
// The other instruments on the ship's serial lines: a GPS receiver sending GGA and GLL once a
// second along the ship's track, and the PAR reference sensor answering its two requests.

#include "platform/Clock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace marevo::sim {

// "$" + body + "*" + the two-digit XOR of the body + CR LF.
std::string NmeaSentence(std::string_view body);

struct TShipTrack {
    double latitude = -17.9785;  // decimal degrees at the start
    double longitude = -37.2253;
    double speedKnots = 0.6;     // drift while on station
    double courseDegrees = 45;
};

class TSimGps {
public:
    explicit TSimGps(TShipTrack track = {}, std::string talker = "GP")
        : track_(track), talker_(std::move(talker)) {}
    // Position t seconds after the start.
    void PositionAt(double t, double& latitude, double& longitude) const;
    // The GGA and GLL sentences of second t, stamped with the time of day of at (UTC).
    std::string Sentences(double t, TDateTime at) const;

private:
    TShipTrack track_;
    std::string talker_;
};

class TSimPar {
public:
    // Bytes of the sensor in answer to one request line ("*Q0!" or "*2D!"), for a reading of
    // that many volts; nothing for anything else.
    std::string Reply(std::string_view request, double volts) const;
    // Volts of the surface light at t seconds (a slow passing cloud).
    static double VoltsAt(double t);
};

} // namespace marevo::sim
