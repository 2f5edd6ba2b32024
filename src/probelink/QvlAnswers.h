#pragma once
// The probe command protocol: the probe's command vocabulary and the forms of its answers.
// Everything here is a pure function of the answer text, so the protocol session (QvlUtil.h) and
// the import of transcripts check and read an answer with the same code, with or without a probe
// on the line.
//
// An answer is one line; words are separated by blanks. A probe that refuses a command answers
// "ER nnn" with a three-digit error number instead.

#include "foundation/Extended.h"
#include "platform/Clock.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

// Commands, in the probe's numbering; the command text is the name without "cm_".
enum TCmdId : std::uint8_t {
    cm_ER, cm_SN, cm_VN, cm_RB, cm_TS, cm_DF, cm_CS, cm_SC, cm_SS, cm_CA, cm_OL, cm_SO,
    cm_FB, cm_GO, cm_DM, cm_MS, cm_LP, cm_TA, cm_CD, cm_RT, cm_RS, cm_OO, cm_RQ, cm_last,
};

// "SN" for cm_SN; "" for cm_last.
std::string_view CmdText(TCmdId cmd);
// The command an answer belongs to, from its first word; cm_last when none.
TCmdId IdentifyCommand(std::string_view answer);

enum TCmdError : std::uint8_t {
    cer_OK, cer_Send, cer_receive, cer_TimeOut, cer_FTimeOut, cer_Check, cer_format,
    cer_BinData, cer_ResOver, cer_ResEmpty, cer_ErCode, cer_ParaNb, cer_Home, cer_Open,
    cer_noProbe, cer_NoInit, cer_Proto, cer_other,
};

// The text every protocol message uses for the error ("Receive TimeOut" ...).
std::string_view CmdErrorText(TCmdError error);

// Fixed bytes of the line protocol.
constexpr std::uint8_t CtrlT = 0x14;  // attention
constexpr std::uint8_t DelByte = 0x7F; // follows ^T in the stop and fire sequences
constexpr std::uint8_t LineEnd = 0x0A; // ends every command
// An answer of this many characters is refused as too long.
constexpr int MaxAnswerLength = 200;
// Entries of the probe's channel list.
constexpr int MaxProbeChannels = 64;
// Coefficients of one calibration answer.
constexpr int MaxCalibCoefs = 20;

// ---- Words and numbers -------------------------------------------------------------------------

// A whole word as an integer (optional sign, decimal digits); nothing otherwise.
std::optional<long long> AnswerInt(std::string_view word);
// A whole word as a number with "." as decimal separator, whatever the locale.
std::optional<long double> AnswerNumber(std::string_view word);

// Date and time of an answer ("15-03-2025", "15/03/2025", "14:02:11"): trimmed; 7 characters or
// fewer give 0; every character that is not a digit counts as the separator; then read as
// day/month/year or hour:minute:second. A text that does not convert gives 0 and the log line
// "Exc: Date Cnv Error " / "Exc: Cnv Time Error " + the reason.
TDateTime StrToProbeDate(std::string_view text);
TDateTime StrToProbeTime(std::string_view text);
// The clock text sent with TS: "dd-MM-yyyy HH:mm:ss".
std::string ProbeDateTimeStr(TDateTime at);

// ---- Answer checks -----------------------------------------------------------------------------
// Each check reads one answer; error is cer_OK when the answer has the command's form. When it
// does not, an "ER nnn" answer with nnn > 0 gives cer_ErCode with the number in probeError, and
// anything else cer_format.

struct TAnswerCheck {
    TCmdError error = cer_OK;
    int probeError = 0;        // nnn of an "ER nnn" answer, when there was one
    bool errorAnswer = false;  // the answer was "ER nnn" (000 included)
    bool Ok() const { return error == cer_OK; }
};

// "ER nnn": cer_OK for nnn = 0, cer_ErCode for nnn > 0, cer_format for any other answer.
TAnswerCheck CheckErCode(std::string_view answer);

struct TSnAnswer {
    std::string serial; // "AAA-nnnnnnn"
};
TAnswerCheck CheckSN(std::string_view answer, TSnAnswer& out);

struct TVnAnswer {
    std::string version;     // the version after the colon, without its "_"
    long double number = 0;  // the version as a number
    std::string firmware;    // the answer after "VN ", at most 30 characters
};
TAnswerCheck CheckVN(std::string_view answer, TVnAnswer& out);

// Battery voltage [V] of "RB v".
TAnswerCheck CheckRB(std::string_view answer, long double& volts);

// Acknowledgement of the clock setting: "ER nnn", or "TS date time" as a transcript keeps it.
TAnswerCheck CheckTS(std::string_view answer);

// Data format of "DF n".
TAnswerCheck CheckDF(std::string_view answer, int& format);

struct TMemoryCastAnswer {
    int castNb = 0;
    int setNb = 0;
    int acquiMode = 0;     // TRawMode ordinal: 1 linear, 2 timed, 3 fast, 4 manual
    std::string castName;
    long double interval = 0;
    TDateTime dateTime = 0;
};
// "CS cast set mode name interval date time". Cast 0 (no such cast) is accepted at once with
// only castNb read.
TAnswerCheck CheckCS(std::string_view answer, TMemoryCastAnswer& out);

// Scan rate [Hz] of "SC r".
TAnswerCheck CheckSC(std::string_view answer, long double& rate);

// Channel list of "SS p1 ... pn", n <= 64, in the probe's codes.
TAnswerCheck CheckSS(std::string_view answer, std::vector<std::int32_t>& channels);

struct TCalibAnswer {
    std::int32_t channel = 0; // probe code
    TDateTime date = 0;
    std::int32_t coefNb = 0;  // n, word 4
    std::int32_t length = 0;  // bytes of the channel in a frame, word 5 (3 or 4 change it)
    std::array<long double, MaxCalibCoefs> coefs{};
};
// "CA channel date n length c1 ... cn", n <= 20 and exactly n coefficients.
TAnswerCheck CheckCA(std::string_view answer, TCalibAnswer& out);

struct TRosetteAnswer {
    int type = 0;              // TRosetteType ordinal
    int positions = 0;
    long double fireTimeOut = 0; // s
    long double homeTimeOut = 0; // s; equal to the fire time-out for types 1 and 3
};
// "RT type positions fire home".
TAnswerCheck CheckRT(std::string_view answer, TRosetteAnswer& out);

// "RS position status"; status 999 reads as 0.
TAnswerCheck CheckRS(std::string_view answer, int& position, int& status);

struct TRosetteIdAnswer {
    std::int32_t serial = 0;
    std::uint8_t armPosition = 0;
    float batteryVolts = 0;
};
// "RQ serial arm volts", arm position below 256.
TAnswerCheck CheckRQ(std::string_view answer, TRosetteIdAnswer& out);

// "MS" and nine more words, the first six of them integers (the memory status elements).
TAnswerCheck CheckMS(std::string_view answer, std::array<std::int32_t, 6>& status);

// Erase acknowledgement: the answer contains "ER 000".
TAnswerCheck CheckDM(std::string_view answer);

// ---- Transcript lines --------------------------------------------------------------------------

// "[SN], " + answer and so on; the tag is the command text in brackets.
std::string XfrAnswerLine(TCmdId cmd, std::string_view answer);
// "[SDT], d, m, yyyy, h, m, s": the start of the data flow, plain decimal numbers.
std::string XfrStartLine(TDateTime at);
// "[SGP], lat, lon" / "[EGP], lat, lon": decimal degrees, 5 decimals after rounding to 7
// significant digits, "." as separator.
std::string XfrPositionLine(std::string_view tag, long double latitude, long double longitude);

} // namespace marevo
