#include "shell/StatusBar.h"

#include "foundation/BottleStatus.h"

namespace marevo {

std::array<std::string, StatusPanelCount> StatusPanels(const TStatusInputs& in) {
    std::string bottle;
    if (in.acquiring)
        bottle = in.bottle ? std::to_string(in.bottle->first) + ":" +
                                 std::string(BottleStatusName(in.bottle->second))
                           : std::string("Ready");
    const std::string alarm =
        !in.alarmSounding.empty() ? in.alarmSounding : (in.alarmEnabled ? "Active" : "None");
    return {
        "Cruise", in.cruiseName,
        "No",     in.castNumber > 0 ? std::to_string(in.castNumber) : std::string(),
        "Config", in.configName,
        "Bottle", bottle,
        "Duplic", "T" + std::to_string(in.dupTempNb + 1) + "+C" + std::to_string(in.dupCondNb + 1),
        "Alarm",  alarm,
        "Status", in.statusMessage};
}

} // namespace marevo
