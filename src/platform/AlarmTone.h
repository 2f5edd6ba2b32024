#pragma once
// The alarm tone as a WAV file (RIFF, 16-bit PCM, mono), made here so that the program needs no
// sound file: two short beeps, high then low, with soft edges so the speaker does not click.

#include <string>

namespace marevo {

constexpr int AlarmToneRate = 22050;    // samples per second
constexpr double AlarmToneHighHz = 880;
constexpr double AlarmToneLowHz = 660;
constexpr double AlarmToneBeepSeconds = 0.2; // each beep; the tone lasts two

// The whole file's bytes.
std::string AlarmToneWav();

} // namespace marevo
