#pragma once
// What the acquisition worker tells the windows: the states of the three link indicators, the
// phase of the blinking buttons and the live values of the value period, each handed over as a
// plain copy.

#include "foundation/FlaggedValue.h"
#include "records/CollectionTypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace marevo {

// Link indicator states; the windows colour them grey, green, red and white.
enum TLinkStatus : std::uint8_t { ls_offline, ls_linkon, ls_linkoff, ls_unconfigured };

// The main window's link indicators.
enum class TLink : std::uint8_t { CTD, GPS, EXT };
constexpr int LinkCount = 3;
using TLinkStates = std::array<TLinkStatus, LinkCount>;

// Indicator colours as RGB; ls_unconfigured is white.
struct TRgb {
    std::uint8_t r, g, b;
};
constexpr TRgb LinkColour(TLinkStatus status) {
    switch (status) {
    case ls_offline: return {128, 128, 128};
    case ls_linkon: return {0, 255, 0};
    case ls_linkoff: return {255, 0, 0};
    case ls_unconfigured: break;
    }
    return {255, 255, 255};
}
std::string_view LinkStatusName(TLinkStatus status);

// Status texts of the real-time states and the alarm names, in the order of the enumerations.
std::string_view RTStatusName(TRealTimeStatus status);
std::string_view AlarmName(TAlarmType alarm);

// The record button's picture.
enum class TRecordPicture : std::uint8_t { None, Record, Pause };

// One phase of the blinking buttons: the record button's picture, whether the alarm button shows
// its picture, and the text of the status bar's alarm panel.
struct TBlinkState {
    TRecordPicture record = TRecordPicture::None;
    bool alarmPicture = true;
    std::string alarmPanel;
};

// The values of one value period, for the value window's caller and the command-line live line.
struct TAcquiLive {
    TRealTimeStatus status = rt_none;
    TFlaggedValue pres = InvalidFV;
    std::int32_t frames = 0;
    TLinkStates links{ls_offline, ls_offline, ls_offline};
    bool alarmOn = false;
    std::string alarmText;
};

} // namespace marevo
