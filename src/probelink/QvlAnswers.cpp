// The probe command protocol: the answer checks and readers of QvlAnswers.h.

#include "probelink/QvlAnswers.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"

#include <fmt/core.h>

#include <charconv>
#include <cmath>
#include <cctype>

namespace marevo {

namespace {

constexpr std::string_view CmdTexts[] = {
    "ER", "SN", "VN", "RB", "TS", "DF", "CS", "SC", "SS", "CA", "OL", "SO",
    "FB", "GO", "DM", "MS", "LP", "TA", "CD", "RT", "RS", "OO", "RQ", "",
};
static_assert(std::size(CmdTexts) == cm_last + 1);

constexpr std::string_view ErrorTexts[] = {
    "OK", "Send - RS232", "Receive - RS232", "Receive TimeOut", "Function TimeOut",
    "Answer Check", "Answer Format", "Receive Binary", "Answer to long", "Answer empty",
    "Probe Error code", "Parameter No Error", "Rosette Home", "Comm Port Error",
    "No probe connected", "Probe init failed", "Protocol Error", "Unknown",
};
static_assert(std::size(ErrorTexts) == cer_other + 1);

// Blank-separated words; runs of blanks count once.
std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ')
            ++i;
        if (i > start)
            words.push_back(s.substr(start, i - start));
    }
    return words;
}

std::string_view Trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The form did not match: a probe error answer is reported as such, anything else as a format
// error.
TAnswerCheck Refused(std::string_view answer) {
    TAnswerCheck er = CheckErCode(answer);
    if (er.error != cer_ErCode)
        er.error = cer_format;
    return er;
}

// Three numbers separated by anything that is not a digit, as in "15-03-2025" or "14:02:11".
bool ThreeNumbers(std::string_view text, int (&parts)[3]) {
    int n = 0;
    std::size_t i = 0;
    while (i < text.size() && n < 3) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        if (i - start > 4)
            return false;
        std::from_chars(text.data() + start, text.data() + i, parts[n++]);
    }
    // Nothing but separators may follow the third number.
    for (; i < text.size(); ++i)
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    return n == 3;
}

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return u;
}

} // namespace

std::string_view CmdText(TCmdId cmd) {
    return cmd <= cm_last ? CmdTexts[cmd] : std::string_view();
}

TCmdId IdentifyCommand(std::string_view answer) {
    const auto words = Words(answer);
    if (words.empty())
        return cm_last;
    const std::string first = Upper(words[0]);
    for (int c = 0; c < cm_last; ++c)
        if (first == CmdTexts[c])
            return static_cast<TCmdId>(c);
    return cm_last;
}

std::string_view CmdErrorText(TCmdError error) {
    return error <= cer_other ? ErrorTexts[error] : ErrorTexts[cer_other];
}

std::optional<long long> AnswerInt(std::string_view word) {
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    long long value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

std::optional<long double> AnswerNumber(std::string_view word) {
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return static_cast<long double>(value);
}

TDateTime StrToProbeDate(std::string_view text) {
    text = Trimmed(text);
    if (text.size() <= 7)
        return 0;
    int p[3] = {};
    TDateTime date = 0;
    if (!ThreeNumbers(text, p) || !TryEncodeDateTime(p[2], p[1], p[0], 0, 0, 0, 0, date)) {
        WriteLog(fmt::format("Exc: Date Cnv Error '{}' is not a valid date", text));
        return 0;
    }
    return date;
}

TDateTime StrToProbeTime(std::string_view text) {
    text = Trimmed(text);
    if (text.size() <= 7)
        return 0;
    int p[3] = {};
    TDateTime time = 0;
    if (!ThreeNumbers(text, p) || !TryEncodeDateTime(1899, 12, 30, p[0], p[1], p[2], 0, time)) {
        WriteLog(fmt::format("Exc: Cnv Time Error '{}' is not a valid time", text));
        return 0;
    }
    return time;
}

std::string ProbeDateTimeStr(TDateTime at) {
    return FormatDateTime("dd-MM-yyyy HH:mm:ss", at);
}

// ---- Checks ------------------------------------------------------------------------------------

TAnswerCheck CheckErCode(std::string_view answer) {
    const auto w = Words(answer);
    if (w.size() >= 2 && w[0] == "ER" && w[1].size() == 3) {
        if (const auto n = AnswerInt(w[1]); n && *n >= 0) {
            const int number = static_cast<int>(*n);
            return {number > 0 ? cer_ErCode : cer_OK, number, true};
        }
    }
    return {cer_format, 0, false};
}

TAnswerCheck CheckSN(std::string_view answer, TSnAnswer& out) {
    out = {};
    const auto w = Words(answer);
    if (w.size() < 2 || w[0] != "SN" || w[1].size() != 11 || w[1][3] != '-' ||
        !AnswerInt(w[1].substr(4)) || w[1][4] == '+' || w[1][4] == '-')
        return Refused(answer);
    out.serial = std::string(w[1]);
    return {};
}

TAnswerCheck CheckVN(std::string_view answer, TVnAnswer& out) {
    out = {};
    const auto w = Words(answer);
    const std::size_t colon = answer.find(':');
    if (w.empty() || w[0] != "VN" || colon == std::string_view::npos)
        return Refused(answer);
    std::string version(Trimmed(answer.substr(colon + 1, 6)));
    // "1_25" reads as 1.25 ... as the firmware writes it: the first "_" is dropped.
    if (const std::size_t u = version.find('_'); u != std::string::npos && u + 1 < version.size())
        version.erase(u, 1);
    const auto number = AnswerNumber(version);
    if (!number)
        return Refused(answer);
    out.version = version;
    out.number = *number;
    out.firmware = std::string(answer.substr(std::min<std::size_t>(3, answer.size()), 30));
    return {};
}

TAnswerCheck CheckRB(std::string_view answer, long double& volts) {
    volts = 0;
    const auto w = Words(answer);
    std::optional<long double> v;
    if (w.size() < 2 || w[0] != "RB" || !(v = AnswerNumber(w[1])))
        return Refused(answer);
    volts = *v;
    return {};
}

TAnswerCheck CheckTS(std::string_view answer) {
    const TAnswerCheck er = CheckErCode(answer);
    if (er.error != cer_format)
        return er;
    const auto w = Words(answer);
    if (w.size() >= 3 && StrToProbeDate(w[1]) != 0 && StrToProbeTime(w[2]) != 0)
        return {};
    return er;
}

TAnswerCheck CheckDF(std::string_view answer, int& format) {
    format = 0;
    const auto w = Words(answer);
    std::optional<long long> n;
    if (w.size() < 2 || w[0] != "DF" || !(n = AnswerInt(w[1])))
        return Refused(answer);
    format = static_cast<int>(*n);
    return {};
}

TAnswerCheck CheckCS(std::string_view answer, TMemoryCastAnswer& out) {
    out = {};
    const auto w = Words(answer);
    if (w.size() != 8 || w[0] != "CS")
        return Refused(answer);
    const auto cast = AnswerInt(w[1]);
    if (!cast)
        return Refused(answer);
    out.castNb = static_cast<int>(*cast);
    if (*cast == 0)
        return {};
    const auto set = AnswerInt(w[2]);
    constexpr std::pair<std::string_view, int> modes[] = {
        {"LINEAR", 1}, {"TIMED", 2}, {"MANUAL", 4}, {"FAST", 3}, {"BOTTLE", 1}};
    int mode = -1;
    for (const auto& [name, m] : modes)
        if (w[3] == name)
            mode = m;
    const auto interval = AnswerNumber(w[5]);
    const TDateTime date = StrToProbeDate(w[6]);
    const bool timeForm = w[7].size() == 8 && w[7][2] == ':' && w[7][5] == ':';
    const TDateTime time = timeForm ? StrToProbeTime(w[7]) : 0;
    if (!set || mode < 0 || !interval || *interval < 0 || date == 0 || !timeForm) {
        out = {};
        return Refused(answer);
    }
    out.setNb = static_cast<int>(*set);
    out.acquiMode = mode;
    out.castName = std::string(w[4]);
    out.interval = *interval;
    out.dateTime = date + time;
    return {};
}

TAnswerCheck CheckSC(std::string_view answer, long double& rate) {
    const auto w = Words(answer);
    std::optional<long double> r;
    if (w.size() < 2 || w[0] != "SC" || !(r = AnswerNumber(w[1])))
        return Refused(answer);
    rate = *r;
    return {};
}

TAnswerCheck CheckSS(std::string_view answer, std::vector<std::int32_t>& channels) {
    channels.clear();
    const auto w = Words(answer);
    if (w.empty() || w[0] != "SS" || w.size() - 1 > MaxProbeChannels)
        return Refused(answer);
    for (std::size_t i = 1; i < w.size(); ++i) {
        const auto p = AnswerInt(w[i]);
        if (!p || *p < INT32_MIN || *p > INT32_MAX) {
            channels.clear();
            return Refused(answer);
        }
        channels.push_back(static_cast<std::int32_t>(*p));
    }
    return {};
}

TAnswerCheck CheckCA(std::string_view answer, TCalibAnswer& out) {
    out = {};
    const auto w = Words(answer);
    if (w.size() < 5 || w[0] != "CA")
        return Refused(answer);
    const auto channel = AnswerInt(w[1]);
    const auto n = AnswerInt(w[3]);
    const auto length = AnswerInt(w[4]);
    if (!channel || !n || !length || *n < 0 || *n > MaxCalibCoefs ||
        w.size() != static_cast<std::size_t>(*n) + 5)
        return Refused(answer);
    const TDateTime date = StrToProbeDate(w[2]);
    if (date == 0)
        return Refused(answer);
    TCalibAnswer ca;
    for (int i = 0; i < *n; ++i) {
        const auto c = AnswerNumber(w[static_cast<std::size_t>(5 + i)]);
        if (!c)
            return Refused(answer);
        ca.coefs[static_cast<std::size_t>(i)] = *c;
    }
    ca.channel = static_cast<std::int32_t>(*channel);
    ca.date = date;
    ca.coefNb = static_cast<std::int32_t>(*n);
    ca.length = static_cast<std::int32_t>(*length);
    out = ca;
    return {};
}

TAnswerCheck CheckRT(std::string_view answer, TRosetteAnswer& out) {
    out = {};
    const auto w = Words(answer);
    if (w.size() < 5 || w[0] != "RT")
        return Refused(answer);
    const auto type = AnswerInt(w[1]);
    const auto positions = AnswerInt(w[2]);
    const auto fire = AnswerNumber(w[3]);
    const auto home = AnswerNumber(w[4]);
    if (!type || !positions || !fire || !home || *type < 0 || *type > 6 || *positions < 0 ||
        *positions > 255)
        return Refused(answer);
    out.type = static_cast<int>(*type);
    out.positions = static_cast<int>(*positions);
    out.fireTimeOut = *fire;
    // These two rosettes report no home time of their own: homing takes a firing's time.
    out.homeTimeOut = (out.type == 1 || out.type == 3) ? *fire : *home;
    return {};
}

TAnswerCheck CheckRS(std::string_view answer, int& position, int& status) {
    position = status = 0;
    const auto w = Words(answer);
    std::optional<long long> p, s;
    if (w.size() < 3 || w[0] != "RS" || !(p = AnswerInt(w[1])) || !(s = AnswerInt(w[2])))
        return Refused(answer);
    position = static_cast<int>(*p);
    status = *s == 999 ? 0 : static_cast<int>(*s);
    return {};
}

TAnswerCheck CheckRQ(std::string_view answer, TRosetteIdAnswer& out) {
    out = {};
    const auto w = Words(answer);
    std::optional<long long> serial, arm;
    std::optional<long double> volts;
    if (w.size() < 4 || w[0] != "RQ" || !(serial = AnswerInt(w[1])) || !(arm = AnswerInt(w[2])) ||
        *arm < 0 || *arm > 255 || !(volts = AnswerNumber(w[3])))
        return Refused(answer);
    out.serial = static_cast<std::int32_t>(*serial);
    out.armPosition = static_cast<std::uint8_t>(*arm);
    out.batteryVolts = static_cast<float>(*volts);
    return {};
}

TAnswerCheck CheckMS(std::string_view answer, std::array<std::int32_t, 6>& status) {
    status = {};
    const auto w = Words(answer);
    if (w.size() != 10 || w[0] != "MS")
        return Refused(answer);
    std::array<std::int32_t, 6> read{};
    for (std::size_t i = 0; i < 6; ++i) {
        const auto v = AnswerInt(w[i + 1]);
        if (!v)
            return Refused(answer);
        read[i] = static_cast<std::int32_t>(*v);
    }
    status = read;
    return {};
}

TAnswerCheck CheckDM(std::string_view answer) {
    if (answer.find("ER 000") != std::string_view::npos)
        return {};
    return Refused(answer);
}

// ---- Transcript lines --------------------------------------------------------------------------

std::string XfrAnswerLine(TCmdId cmd, std::string_view answer) {
    return fmt::format("[{}], {}", CmdText(cmd), answer);
}

std::string XfrStartLine(TDateTime at) {
    const TDateParts d = DecodeDateTime(at);
    return fmt::format("[SDT], {}, {}, {}, {}, {}, {}", d.day, d.month, d.year, d.hour, d.minute,
                       d.second);
}

std::string XfrPositionLine(std::string_view tag, long double latitude, long double longitude) {
    // Seven significant digits first, as a single-precision position holds them.
    const auto text = [](long double v) {
        const std::string significant = fmt::format("{:.7g}", static_cast<double>(v));
        double rounded = 0;
        std::from_chars(significant.data(), significant.data() + significant.size(), rounded);
        return fmt::format("{:.5f}", rounded);
    };
    return fmt::format("[{}], {}, {}", tag, text(latitude), text(longitude));
}

} // namespace marevo
