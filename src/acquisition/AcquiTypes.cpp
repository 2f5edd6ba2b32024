#include "acquisition/AcquiTypes.h"

namespace marevo {

std::string_view LinkStatusName(TLinkStatus status) {
    switch (status) {
    case ls_offline: return "offline";
    case ls_linkon: return "on";
    case ls_linkoff: return "LOST";
    case ls_unconfigured: return "-";
    }
    return "?";
}

std::string_view RTStatusName(TRealTimeStatus status) {
    switch (status) {
    case rt_none: return "None";
    case rt_wait: return "Waiting";
    case rt_starting: return "Starting";
    case rt_run: return "Run";
    case rt_ending: return "Ending";
    case rt_end: return "END";
    case rt_nodata: return "No data";
    }
    return "?";
}

std::string_view AlarmName(TAlarmType alarm) {
    constexpr std::string_view names[AlarmCount] = {"ALTI", "DOWN", " UP ", "TIME", "DATA", "BOAT"};
    return alarm < AlarmCount ? names[alarm] : std::string_view("?");
}

} // namespace marevo
