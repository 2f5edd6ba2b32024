#pragma once
// The external PAR (light) sensor on its own port: every 0.4 s the data source asks for a reading
// ("*Q0!", then "*2D!") and reads a "#"-prefixed reply. These are the byte-level parts.

#include "probelink/InputBuffer.h"

#include <optional>
#include <string_view>

namespace marevo {

// The two requests, each followed by CR LF on the line.
inline constexpr std::string_view ParQueryCommand = "*Q0!";
inline constexpr std::string_view ParSecondCommand = "*2D!";

// Reads one reply when at least 24 bytes are waiting: bytes before a "#" are dropped, bytes from
// a "#" are kept up to and including the next LF, until 8 are kept. Gives the sensor's volts, or
// nothing when no whole reply was there.
std::optional<double> ReadParReply(IByteSource& port);

// Volts of the 24-bit reading in the kept bytes b0.. (b0 = "#"): bits of b3 (low four), b4, b5
// and b6, over the converter's full scale.
double ParVolts(const std::uint8_t* reply);

// Engineering value: (volts - offset [V]) / scale [V per unit] * multiplier.
double ParValue(double volts, double offsetV, double scale, double multiplier);

} // namespace marevo
