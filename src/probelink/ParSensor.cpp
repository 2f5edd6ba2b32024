#include "probelink/ParSensor.h"

#include <array>

namespace marevo {

double ParVolts(const std::uint8_t* reply) {
    const std::uint32_t raw = (reply[3] & 0x0Fu) << 20 | reply[4] << 12 | reply[5] << 4 | reply[6];
    return raw / 3355443.0;
}

double ParValue(double volts, double offsetV, double scale, double multiplier) {
    return (volts - offsetV) / scale * multiplier;
}

std::optional<double> ReadParReply(IByteSource& port) {
    int waiting = port.Waiting();
    if (waiting < 24)
        return std::nullopt;
    std::array<std::uint8_t, 64> kept{};
    int count = 0;
    bool inReply = false;
    while (waiting > 0 && count < 8) {
        std::uint8_t b = 0;
        if (port.Read(&b, 1) != 1)
            break;
        --waiting;
        if (!inReply && b != '#')
            continue;
        inReply = true;
        kept[static_cast<std::size_t>(count++)] = b;
        if (b == '\n')
            inReply = false;
    }
    if (count < 8 || kept[0] != '#')
        return std::nullopt;
    return ParVolts(kept.data());
}

} // namespace marevo
