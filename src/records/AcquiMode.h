#pragma once
// How a cast is binned (extracted): by pressure levels, by time steps or by taking every n-th
// data set. One byte in the cast header (ExtractMode), the acquisition settings (AcquiMode) and
// the remote settings (RemoteMode).

#include <cstdint>
#include <string_view>

namespace marevo {

enum TAcquiMode : std::uint8_t {
    AM_Pressure = 0, // step in dbar
    AM_Time = 1,     // step in seconds
    AM_All = 2,      // step in data sets
};

// The name a cast header shows for its extraction mode; "?" for a byte outside the enumeration.
constexpr std::string_view AcquiModeName(int mode) {
    constexpr std::string_view names[] = {"Linear", "Time", "Dataset"};
    return mode >= 0 && mode < 3 ? names[mode] : std::string_view("?");
}

} // namespace marevo
