#include "SimAux.h"

#include "foundation/DateTime.h"

#include <fmt/core.h>

#include <cmath>
#include <cstdlib>

namespace marevo::sim {

namespace {
constexpr double Pi = 3.14159265358979323846;

// "ddmm.mmmm,N" / "dddmm.mmmm,W".
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
    const double a = std::abs(degrees);
    const int whole = static_cast<int>(a);
    const double minutes = (a - whole) * 60.0;
    return fmt::format("{:0{}d}{:07.4f},{}", whole, degreeDigits, minutes,
                       degrees < 0 ? negative : positive);
}
} // namespace

std::string NmeaSentence(std::string_view body) {
    std::uint8_t sum = 0;
    for (char c : body)
        sum ^= static_cast<std::uint8_t>(c);
    return fmt::format("${}*{:02X}\r\n", body, sum);
}

void TSimGps::PositionAt(double t, double& latitude, double& longitude) const {
    const double metres = track_.speedKnots * 1852.0 / 3600.0 * t;
    const double course = track_.courseDegrees * Pi / 180.0;
    latitude = track_.latitude + metres * std::cos(course) / 111120.0;
    longitude = track_.longitude +
                metres * std::sin(course) / (111120.0 * std::cos(track_.latitude * Pi / 180.0));
}

std::string TSimGps::Sentences(double t, TDateTime at) const {
    double lat = 0, lon = 0;
    PositionAt(t, lat, lon);
    const std::string utc = FormatDateTime("HHmmss", at) + ".00";
    const std::string position = Angle(lat, 2, 'N', 'S') + "," + Angle(lon, 3, 'E', 'W');
    return NmeaSentence(fmt::format("{}GGA,{},{},1,08,0.9,12.0,M,-3.0,M,,", talker_, utc,
                                    position)) +
           NmeaSentence(fmt::format("{}GLL,{},{},A", talker_, position, utc));
}

std::string TSimPar::Reply(std::string_view request, double volts) const {
    if (request == "*Q0!")
        return "*Q0 READY 000000\r\n"; // the reader skips it: it looks for "#"
    if (request != "*2D!")
        return {};
    // 24-bit reading over the converter's full scale; the bytes carry it as the reader takes it
    // apart (low nibble of b3, b4, b5, low nibble of b6). Readings whose bytes would look like a
    // line end are nudged by one count.
    auto raw = static_cast<std::uint32_t>(std::lround(std::max(0.0, volts) * 3355443.0));
    raw = std::min<std::uint32_t>(raw, 0xFFFFFF);
    for (;;) {
        const std::uint8_t b4 = (raw >> 12) & 0xFF, b5 = (raw >> 4) & 0xFF, b6 = raw & 0x0F;
        if (b4 != '\n' && b5 != '\n' && b6 != '\n')
            break;
        ++raw;
    }
    std::string reply = "#00";
    reply += static_cast<char>(0x30 | ((raw >> 20) & 0x0F));
    reply += static_cast<char>((raw >> 12) & 0xFF);
    reply += static_cast<char>((raw >> 4) & 0xFF);
    reply += static_cast<char>(raw & 0x0F);
    reply += '\n';
    return reply;
}

double TSimPar::VoltsAt(double t) { return 1.2 + 0.3 * std::sin(2 * Pi * t / 120.0); }

} // namespace marevo::sim
