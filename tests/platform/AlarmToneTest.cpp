// The generated alarm tone is a WAV file a player accepts, and sounds as meant: two beeps of the
// stated pitches, with soft edges.

#include "platform/AlarmTone.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace marevo {
namespace {

std::uint32_t LE(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

TEST(AlarmTone, IsAPcmWaveOfTwoBeepsAtTheirPitches) {
    const std::string wav = AlarmToneWav();
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(LE(wav, 4, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(LE(wav, 20, 2), 1u); // PCM
    EXPECT_EQ(LE(wav, 22, 2), 1u); // mono
    EXPECT_EQ(LE(wav, 24, 4), std::uint32_t(AlarmToneRate));
    EXPECT_EQ(LE(wav, 34, 2), 16u);
    EXPECT_EQ(wav.substr(36, 4), "data");
    ASSERT_EQ(LE(wav, 40, 4), wav.size() - 44);

    std::vector<int> s;
    for (std::size_t at = 44; at + 1 < wav.size(); at += 2)
        s.push_back(static_cast<std::int16_t>(LE(wav, at, 2)));
    const std::size_t half = s.size() / 2;
    // The pitch of each beep from its zero crossings (two per period).
    const auto pitch = [&](std::size_t from, std::size_t to) {
        int crossings = 0;
        for (std::size_t i = from + 1; i < to; ++i)
            crossings += (s[i - 1] < 0) != (s[i] < 0);
        return crossings / 2.0 / (double(to - from) / AlarmToneRate);
    };
    EXPECT_NEAR(pitch(0, half), AlarmToneHighHz, 10);
    EXPECT_NEAR(pitch(half, s.size()), AlarmToneLowHz, 10);
    // Loud enough, never clipped, and no click at the edges of a beep.
    int peak = 0;
    for (int v : s)
        peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 10000);
    EXPECT_LT(peak, 32767);
    for (std::size_t edge : {std::size_t{0}, half - 1, half, s.size() - 1})
        EXPECT_LT(std::abs(s[edge]), 200) << edge;
}

} // namespace
} // namespace marevo
