#include "platform/AlarmTone.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace marevo {

namespace {

void PutLE(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string AlarmToneWav() {
    const int perBeep = static_cast<int>(AlarmToneRate * AlarmToneBeepSeconds);
    const int samples = 2 * perBeep;
    const int edge = AlarmToneRate / 200; // 5 ms fade in and out of each beep
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples) * 2;
    std::string wav;
    wav.reserve(44 + dataBytes);
    wav += "RIFF";
    PutLE(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLE(wav, 16, 4); // format chunk size
    PutLE(wav, 1, 2);  // PCM
    PutLE(wav, 1, 2);  // mono
    PutLE(wav, AlarmToneRate, 4);
    PutLE(wav, AlarmToneRate * 2, 4); // bytes per second
    PutLE(wav, 2, 2);                 // bytes per sample frame
    PutLE(wav, 16, 2);                // bits per sample
    wav += "data";
    PutLE(wav, dataBytes, 4);
    for (int i = 0; i < samples; ++i) {
        const int inBeep = i % perBeep;
        const double hz = i < perBeep ? AlarmToneHighHz : AlarmToneLowHz;
        const double gain =
            std::min({1.0, double(inBeep) / edge, double(perBeep - 1 - inBeep) / edge});
        const double v = 0.5 * gain * std::sin(2 * std::numbers::pi * hz * inBeep / AlarmToneRate);
        const auto sample = static_cast<std::int16_t>(std::lround(v * 32767));
        PutLE(wav, static_cast<std::uint16_t>(sample), 2);
    }
    return wav;
}

} // namespace marevo
