#pragma once
// The main window's status bar as text: 14 panels, a caption and a value by turns. The window
// shows them; while a long operation runs it draws panel 13 as a bar of ProgressPos percent
// instead of its text.

#include <array>
#include <optional>
#include <string>
#include <utility>

namespace marevo {

constexpr int StatusPanelCount = 14;
constexpr int StatusTextPanel = 13;

struct TStatusInputs {
    std::string cruiseName{};
    int castNumber = 0; // 0: none
    std::string configName{};
    bool acquiring = false;
    // The bottle the probe reports during an acquisition, with its status byte; none when no
    // bottle has a state yet.
    std::optional<std::pair<int, int>> bottle{};
    int dupTempNb = 0; // main temperature sensor, 0-based
    int dupCondNb = 0; // main conductivity sensor, 0-based
    bool alarmEnabled = false;
    std::string alarmSounding{}; // the alarm text while an alarm sounds
    std::string statusMessage{}; // the last status message
};

std::array<std::string, StatusPanelCount> StatusPanels(const TStatusInputs& in);

} // namespace marevo
