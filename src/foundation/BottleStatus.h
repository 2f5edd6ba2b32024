#pragma once
// Rosette state reported by the probe in each frame head, stored as one byte in the bottle
// records and shown by name in the status bar, the bottles window, the exports and the event log.

#include <cstdint>
#include <string_view>

namespace marevo {

enum TBottleStatus : std::uint8_t {
    btl_Ready = 0,
    btl_CmdOK = 1, // fire command accepted, bottle closing
    btl_Closed = 2,
    btl_home = 3,
    Btl_na = 4,
    btl_RosError = 5,
    btl_cmdError = 6,
    btl_NoRosette = 7,
    btl_NoResponse = 8,
};

// Display name (at most 12 characters); "?" for a byte outside the enumeration.
constexpr std::string_view BottleStatusName(int status) {
    constexpr std::string_view names[] = {"Ready",   "Firing",  "Closed", "Home",   "na",
                                          "Ros_Err", "Cmd_Err", "None",   "No_Answ"};
    return status >= 0 && status < 9 ? names[status] : std::string_view("?");
}

} // namespace marevo
