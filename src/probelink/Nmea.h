#pragma once
// The GPS sentence reader: bytes from the GPS port go into a receive buffer, and at most one
// NMEA 0183 sentence (GGA or GLL of the configured talker, e.g. "$GP") is taken out of it per
// probe frame. Pure byte handling: the data source reads the port, shows the messages and writes
// the position into the auxiliary record.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace marevo {

enum class TNmeaResult {
    NoFix,  // nothing complete, a wrong checksum, another sentence type: nothing to say
    Fix,    // a good position
    BadGGA, // a GGA sentence without a usable fix (quality 0 or an unreadable field)
    BadGLL, // a GLL sentence without a usable fix (status V or an unreadable field)
};

struct TNmeaFix {
    TNmeaResult result = TNmeaResult::NoFix;
    double latitude = 0;  // decimal degrees, south negative
    double longitude = 0; // decimal degrees, west negative
};

// The status message the data source shows for a result, or "" for none.
std::string_view NmeaResultMessage(TNmeaResult result);

// Degrees of a field "ddmm.mmmm" (degreeDigits 2) or "dddmm.mmmm" (3); false when unreadable.
bool ParseNmeaAngle(std::string_view field, int degreeDigits, double& degrees);

// One complete sentence from its "$" up to its "*" (exclusive), checksum already verified;
// prefix is the configured talker with its "$", e.g. "$GP".
TNmeaFix ParseNmeaSentence(std::string_view sentence, std::string_view prefix);

class TNmeaReader {
public:
    // Keeps the newest bytes; a receiver that talks faster than frames come loses old sentences,
    // never new ones.
    static constexpr std::size_t Capacity = 1024;

    void Feed(std::span<const std::uint8_t> bytes);
    // Takes at most one sentence out of the buffer (only once more than 30 bytes are waiting,
    // so that a sentence is likely whole). A sentence whose "*" and checksum have not arrived
    // stays for a later call.
    TNmeaFix ReadSentence(std::string_view prefix);
    std::size_t Unread() const { return buffer_.size(); }
    void Clear() { buffer_.clear(); }

private:
    std::string buffer_;
};

} // namespace marevo
