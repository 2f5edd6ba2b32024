#include "acquisition/RDRLines.h"

#include "foundation/ShortString.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace marevo {

namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

const std::string SecondLinePrefix = Bytes({0x0A, 0x0D});

} // namespace

std::string RDRNumber(double value) {
    if (!std::isfinite(value))
        return "------";
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (error != std::errc{})
        return "------";
    std::string text(buffer, end);
    // Rounding a small negative value to zero leaves a sign the display need not show.
    if (text == "-0.00")
        text = "0.00";
    return text;
}

std::string RDRAlarmText(TDirection direction, const TRDRAlarms& alarms) {
    const bool up = direction == DirectionUp;
    const bool checked = up ? alarms.upChecked : alarms.downChecked;
    if (!checked)
        return std::string(RDRNoAlarm);
    return RDRNumber(up ? alarms.upLimit : alarms.downLimit) + "dbar";
}

std::string RDRStatusText(bool castRunning, std::string_view lastAlarm) {
    if (!castRunning)
        return std::string(RDRStopText);
    return "RUN ALR:" + std::string(lastAlarm.substr(0, RDRAlarmChars));
}

std::string RDRClearLine() {
    return Bytes({0x0C, 0x01, 0x04, 0x14});
}

std::string RDRPressureLine(TFlaggedValue pressure) {
    const std::string number = pressure.Valid() ? RDRNumber(pressure.value) : "------";
    return Bytes({0x04, 0x01, 0x14}) + "PRESS:" + number + "dbar";
}

std::string RDRAlarmLine(std::string_view alarmText) {
    return SecondLinePrefix + "ALARM:" + Utf8ToCp1252(alarmText);
}

std::string RDRSpeedLine(double speed) {
    return SecondLinePrefix + "SPEED:" + RDRNumber(speed) + "m/s";
}

std::string RDRStatusLine(std::string_view statusText) {
    return SecondLinePrefix + "STATUS:" + Utf8ToCp1252(statusText);
}

std::string RDRMessageLine(std::string_view message) {
    std::string text = Utf8ToCp1252(message);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    text.resize(RDRMessageChars, ' ');
    return Bytes({0x01, 0x0A, 0x0A, 0x0A}) + "MSG: " + text;
}

std::string RDRLightLine(int level) {
    return Bytes({0x0E, static_cast<unsigned char>(std::clamp(level, 0, 255))});
}

std::string RDRPressureInitLine() {
    return Bytes({0x04, 0x01, 0x14}) + "PRESS:   ";
}

std::string RDRSecondInitLine(bool showSpeed) {
    return SecondLinePrefix + (showSpeed ? "SPEED:   " : "ALARM:   ");
}

std::string RDRStatusInitLine() {
    return SecondLinePrefix + "STATUS:  ";
}

std::string RDRMessageInitLine() {
    return Bytes({0x01, 0x0A, 0x0A, 0x0A}) + "MSG:     ";
}

std::vector<std::string> RDRInitSequence(const TRDRValues& values) {
    return {RDRClearLine(),      RDRPressureInitLine(), RDRSecondInitLine(values.showSpeed),
            RDRStatusInitLine(), RDRMessageInitLine(),  RDRLightLine(values.light)};
}

std::vector<std::string> RDRUpdateSequence(const TRDRValues& values) {
    return {RDRPressureLine(values.pressure),
            values.showSpeed ? RDRSpeedLine(values.speed)
                             : RDRAlarmLine(RDRAlarmText(values.direction, values.alarms)),
            RDRStatusLine(RDRStatusText(values.castRunning, values.lastAlarm)),
            RDRLightLine(values.light)};
}

} // namespace marevo
