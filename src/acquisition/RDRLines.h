#pragma once
// The byte sequences of the remote depth display: a four-line text display at the winch, fed
// over a serial line of its own. Each line is a few control bytes followed by single-byte
// Windows-1252 text, without terminator. Numbers are fixed-point with 2 decimals and a "."
// whatever the locale. Pure functions: the worker writes what they return.

#include "foundation/FlaggedValue.h"
#include "records/CollectionTypes.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

// Characters of the message line after "MSG: ".
constexpr std::size_t RDRMessageChars = 15;
// Characters of the last alarm shown after "RUN ALR:".
constexpr std::size_t RDRAlarmChars = 14;
// Shown instead of the limit when the alarm of the direction of travel is off.
inline constexpr std::string_view RDRNoAlarm = " NONE       ";
// Status text between casts.
inline constexpr std::string_view RDRStopText = "STOP        ";

// The depth alarms the second line may show (the configuration's " UP " and "DOWN" alarms).
struct TRDRAlarms {
    bool upChecked = false;
    double upLimit = 0; // [dbar]
    bool downChecked = false;
    double downLimit = 0; // [dbar]
};

// value with 2 decimals and "." ("123.40", "-0.35").
std::string RDRNumber(double value);

// The alarm text of the direction of travel: its limit + "dbar" when the alarm is on, else
// RDRNoAlarm.
std::string RDRAlarmText(TDirection direction, const TRDRAlarms& alarms);
// "RUN ALR:" + at most RDRAlarmChars characters of lastAlarm while a cast runs, else
// RDRStopText.
std::string RDRStatusText(bool castRunning, std::string_view lastAlarm);

// ---- Lines (bytes as sent) ---------------------------------------------------------------------
// 0C 01 04 14: clears the display (initialisation only).
std::string RDRClearLine();
// 04 01 14 "PRESS:" + pressure + "dbar". An invalid pressure shows dashes in the number's place,
// so the winch never reads a false depth.
std::string RDRPressureLine(TFlaggedValue pressure);
// 0A 0D "ALARM:" + alarm text, or "SPEED:" + speed + "m/s".
std::string RDRAlarmLine(std::string_view alarmText);
std::string RDRSpeedLine(double speed);
// 0A 0D "STATUS:" + status text.
std::string RDRStatusLine(std::string_view statusText);
// 01 0A 0A 0A "MSG: " + the message (UTF-8) in Windows-1252, cut or padded with blanks to
// RDRMessageChars characters; control characters are sent as blanks.
std::string RDRMessageLine(std::string_view message);
// 0E + the light level as one byte, clamped to 0..255.
std::string RDRLightLine(int level);

// The initialisation forms of the lines.
std::string RDRPressureInitLine();
std::string RDRSecondInitLine(bool showSpeed);
std::string RDRStatusInitLine();
std::string RDRMessageInitLine();

// What one update or initialisation shows, taken from copies of the sources.
struct TRDRValues {
    TFlaggedValue pressure{};
    TDirection direction = DirectionDown;
    double speed = 0;       // smoothed speed [m/s]
    bool showSpeed = false; // the selector's second item ("SPEED:")
    bool castRunning = false;
    std::string lastAlarm; // the last alarm raised
    TRDRAlarms alarms;
    std::string message; // the message editor's text (UTF-8)
    int light = 10;
};

// The lines in the order they are written.
// Initialisation: clear, the initialisation forms of pressure, second line, status and message,
// light.
std::vector<std::string> RDRInitSequence(const TRDRValues& values);
// Update: pressure, second line, status, light.
std::vector<std::string> RDRUpdateSequence(const TRDRValues& values);

} // namespace marevo
