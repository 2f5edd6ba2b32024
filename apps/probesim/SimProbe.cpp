#include "SimProbe.h"

#include "foundation/BottleStatus.h"
#include "foundation/DateTime.h"
#include "probelink/FrameFormat.h"
#include "probelink/QvlAnswers.h"

#include <fmt/core.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace marevo::sim {

namespace {

struct TKnownChannel {
    int code;
    double offset;
    double slope;
};

// The probe's sensors with the calibrations its laboratory gave them (value = offset + slope *
// raw). Channels the workstation takes raw (oxygen counts) report the identity.
constexpr TKnownChannel KnownChannels[] = {
    {0, 0.05, 1.0},       // pressure, dbar
    {1, 0.0021, 0.99987}, // temperature 1, °C
    {82, -0.0013, 1.00011},
    {100, 0.0, 1.0},
    {2, -0.004, 1.0012},  // conductivity 1, mS/cm
    {83, 0.0031, 0.99935},
    {96, 0.0, 1.0},
    {239, 0.0, 1.0},      // oxygen raw, counts
    {88, 0.0, 1.0},
    {25, 0.0, 1.0},       // PAR
    {12, 0.2, 0.998},     // transmission, %
    {87, 0.0, 1.0},       // altimeter, m
    {238, 0.0, 1.0},      // pH raw
};

const TKnownChannel* Known(int code) {
    for (const auto& k : KnownChannels)
        if (k.code == code)
            return &k;
    return nullptr;
}

std::uint64_t Ms(double seconds) { return static_cast<std::uint64_t>(std::llround(seconds * 1000)); }

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

double Number(std::string_view v, std::string_view what) {
    double d = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
    if (ec != std::errc() || end != v.data() + v.size())
        throw std::invalid_argument(fmt::format("bad number '{}' for {}", v, what));
    return d;
}

} // namespace

std::vector<TSimChannel> DefaultChannels() {
    return ParseChannelList("0,1,2,82,83,239,25,12");
}

std::vector<TSimChannel> ParseChannelList(std::string_view text) {
    std::vector<TSimChannel> channels;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t comma = text.find(',', i);
        if (comma == std::string_view::npos)
            comma = text.size();
        std::string_view item = text.substr(i, comma - i);
        i = comma + 1;
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        if (item.empty())
            continue;
        TSimChannel c;
        const std::size_t colon = item.find(':');
        if (colon != std::string_view::npos) {
            c.length = static_cast<int>(Number(item.substr(colon + 1), "channel length"));
            item = item.substr(0, colon);
            if (c.length != 3 && c.length != 4)
                throw std::invalid_argument("a channel takes 3 or 4 bytes");
        }
        c.code = static_cast<int>(Number(item, "channel code"));
        const TKnownChannel* k = Known(c.code);
        if (!k)
            throw std::invalid_argument(fmt::format("the probe has no sensor of code {}", c.code));
        c.offset = k->offset;
        c.slope = k->slope;
        channels.push_back(c);
    }
    if (channels.empty())
        throw std::invalid_argument("the channel list is empty");
    return channels;
}

double ChannelValue(int code, const TWater& w) {
    switch (code) {
    case 0: return w.pressure;
    case 1: return w.temperature;
    case 82: case 100: return w.temperature2;
    case 2: return w.conductivity;
    case 83: case 96: return w.conductivity2;
    case 239: case 88: return w.oxygenRaw;
    case 25: return w.par;
    case 12: return w.transmission;
    case 87: return w.altimeter;
    case 238: return w.ph * 1000.0;
    default: return 0;
    }
}

TSimFaults ParseFaults(std::string_view text) {
    TSimFaults f;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t comma = text.find(',', i);
        if (comma == std::string_view::npos)
            comma = text.size();
        const std::string_view item = text.substr(i, comma - i);
        i = comma + 1;
        const std::size_t eq = item.find('=');
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = eq == std::string_view::npos ? "" : item.substr(eq + 1);
        const auto window = [&](double& at, double& length) {
            const std::size_t colon = value.find(':');
            if (colon == std::string_view::npos)
                throw std::invalid_argument(fmt::format("{} needs AT:SECONDS", key));
            at = Number(value.substr(0, colon), key);
            length = Number(value.substr(colon + 1), key);
        };
        if (key == "drop") f.dropRate = Number(value, key);
        else if (key == "flip") f.flipRate = Number(value, key);
        else if (key == "insert") f.insertRate = Number(value, key);
        else if (key == "silence") window(f.silenceAt, f.silenceFor);
        else if (key == "gap") window(f.gapAt, f.gapFor);
        else if (key == "bindata") f.binaryInAnswers = true;
        else if (key == "lower") f.lowerCase = true;
        else if (key == "vanish" && value.find(':') != std::string_view::npos)
            window(f.vanishAt, f.vanishFor);
        else if (key == "vanish") f.vanishAt = Number(value, key);
        else if (key == "rosette-mute") f.rosetteMuteAt = Number(value, key);
        else if (key == "rosette-stuck") f.rosetteStuck = true;
        else if (key == "roserror") f.rosErrorAt = static_cast<int>(Number(value, key));
        else if (key == "cmderror") f.cmdErrorAt = static_cast<int>(Number(value, key));
        else if (key == "lose-set" || key == "flip-set" || key == "stall") {
            TSimSetFault fault;
            fault.kind = key == "lose-set" ? TSimSetFault::Lose
                         : key == "flip-set" ? TSimSetFault::Flip
                                             : TSimSetFault::Stall;
            std::vector<int> parts;
            for (std::size_t at = 0; at <= value.size();) {
                std::size_t colon = value.find(':', at);
                if (colon == std::string_view::npos)
                    colon = value.size();
                parts.push_back(static_cast<int>(Number(value.substr(at, colon - at), key)));
                at = colon + 1;
            }
            if (parts.size() < 2 || parts.size() > 3)
                throw std::invalid_argument(fmt::format("{} needs CAST:SET[:TIMES]", key));
            fault.cast = parts[0];
            fault.set = parts[1];
            fault.times = parts.size() == 3 ? parts[2] : 1;
            f.setFaults.push_back(fault);
        }
        else if (key == "seed") f.seed = static_cast<std::uint32_t>(Number(value, key));
        else if (!key.empty())
            throw std::invalid_argument(fmt::format("unknown fault '{}'", key));
    }
    return f;
}

TSimProbe::TSimProbe(TSimProbeSettings settings, std::shared_ptr<const IProfile> profile)
    : s_(std::move(settings)), profile_(std::move(profile)), format_(s_.format),
      random_(s_.faults.seed) {}

int TSimProbe::HeadCode() const { return format_ == 7 ? 311 : 310; }
int TSimProbe::CheckCode() const { return format_ == 5 ? 303 : 304; }

int TSimProbe::FrameSize() const {
    const TFrameFormat f = FrameFormatOfProtocol(format_);
    int size = FrameHeadSize(f) + FrameCheckSize(f);
    for (const TSimChannel& c : s_.channels)
        size += c.length;
    return size;
}

std::string TSimProbe::SSAnswer() const {
    std::string ss = fmt::format("SS {}", HeadCode());
    for (const TSimChannel& c : s_.channels)
        ss += fmt::format(" {}", c.code);
    return ss + fmt::format(" {}", CheckCode());
}

std::string TSimProbe::CAAnswer(int code) const {
    const std::string date = FormatDateTime("dd-MM-yyyy", 45731);
    if (code == CheckCode())
        return fmt::format("CA {} {} 0 0", code, date); // a check field has no calibration
    for (const TSimChannel& c : s_.channels)
        if (c.code == code)
            return fmt::format("CA {} {} 2 {} {} {}", code, FormatDateTime("dd-MM-yyyy", c.calDate),
                               c.length, c.offset, c.slope);
    return "ER 004";
}

int TSimProbe::BottleStatus(std::uint64_t nowMs) const {
    if (s_.rosetteType == 0)
        return btl_NoRosette;
    if (homing_)
        return nowMs < homeDoneMs_ ? btl_home : btl_Ready;
    if (!fired_)
        return btl_Ready;
    const TSimFaults& f = s_.faults;
    if (f.cmdErrorAt > 0 && bottleNumber_ == f.cmdErrorAt)
        return btl_cmdError;
    if (nowMs < fireMs_ + Ms(s_.closeSeconds) || f.rosetteStuck)
        return btl_CmdOK;
    return f.rosErrorAt > 0 && bottleNumber_ == f.rosErrorAt ? btl_RosError : btl_Closed;
}

bool TSimProbe::RosetteMute(std::uint64_t nowMs) const {
    return s_.faults.rosetteMuteAt >= 0 && nowMs >= startMs_ + Ms(s_.faults.rosetteMuteAt);
}

std::vector<std::uint8_t> TSimProbe::Channels(const TWater& water) const {
    std::vector<std::uint8_t> channels;
    for (const TSimChannel& c : s_.channels) {
        const double raw = (ChannelValue(c.code, water) - c.offset) / c.slope;
        std::uint8_t bytes[4] = {};
        EncodeChannel(c.length == 3 ? ParaConvByte3 : ParaConvSingle, raw, bytes);
        channels.insert(channels.end(), bytes, bytes + c.length);
    }
    return channels;
}

std::vector<std::uint8_t> TSimProbe::Frame(std::uint64_t k, double t, std::uint64_t nowMs) const {
    const std::vector<std::uint8_t> channels = Channels(profile_->At(t));
    TFrameHead head;
    head.counter = static_cast<std::uint16_t>(k);
    head.timeCount = 1000 + Ms(t);
    head.bottleNumber = static_cast<std::uint8_t>(bottleNumber_);
    head.bottleStatus = static_cast<std::uint8_t>(BottleStatus(nowMs));
    return EncodeFrame(FrameFormatOfProtocol(format_), head, channels, FrameSize());
}

std::vector<std::uint8_t> TSimProbe::MemorySet(const TSimMemoryCast& cast, std::uint64_t k) const {
    // The cast's own water: each recorded cast starts at another moment of the profile.
    const double step = cast.interval > 0 ? cast.interval : 1.0 / s_.scanRate;
    const double t = 30.0 * (cast.number - 1) + step * static_cast<double>(k);
    const std::vector<std::uint8_t> channels = Channels(profile_->At(t));
    TFrameHead head;
    head.counter = static_cast<std::uint16_t>(k);
    head.timeCount = 1000 + Ms(step * static_cast<double>(k));
    head.bottleStatus = static_cast<std::uint8_t>(s_.rosetteType == 0 ? btl_NoRosette : btl_Ready);
    return EncodeFrame(FrameFormatOfProtocol(format_), head, channels, FrameSize());
}

// ---- Bytes in ----------------------------------------------------------------------------------

void TSimProbe::Receive(std::span<const std::uint8_t> bytes, std::uint64_t nowMs) {
    if (!started_) {
        started_ = true;
        startMs_ = nowMs;
    }
    MakeFrames(nowMs);
    for (std::uint8_t b : bytes) {
        if (b == CtrlT) {
            Attention(nowMs);
        } else if (b == DelByte) {
            line_.clear();
        } else if (flowing_ && !listening_) {
            // While data flows, a command is heard only after ^T.
        } else if (b == LineEnd) {
            const std::string line = line_;
            line_.clear();
            listening_ = false;
            if (!line.empty())
                Command(line, nowMs);
        } else if (b != '\r' && line_.size() < 250) {
            line_ += static_cast<char>(b);
        }
    }
}

// ^T: the probe acknowledges and listens for one command. The data flow goes on (SO ends it;
// FB fires a bottle during the cast); a memory transfer is broken off.
void TSimProbe::Attention(std::uint64_t nowMs) {
    line_.clear();
    listening_ = true;
    uploadLeft_ = 0;
    // A rosette on its way home keeps the probe busy: it answers once it is there.
    const std::uint64_t when = homing_ && nowMs < homeDoneMs_ ? homeDoneMs_ : nowMs;
    Answer("ER 000", when);
}

void TSimProbe::Answer(const std::string& text, std::uint64_t nowMs, double delay) {
    const std::uint64_t due = nowMs + Ms(delay < 0 ? s_.answerDelay : delay);
    // Frames sent while the probe prepares its answer go out before it.
    MakeFrames(due);
    std::string bytes;
    if (s_.faults.binaryInAnswers)
        bytes += std::string("\x81\xfe\x02\x00", 4); // the tail of a frame still on the line
    bytes += s_.faults.lowerCase ? [&] {
        std::string l = text;
        for (char& c : l)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return l;
    }() : text;
    Emit(bytes + "\r\n", due);
}

void TSimProbe::Emit(std::string bytes, std::uint64_t dueMs) {
    // Keep the queue in time order; answers never overtake frames already on the line.
    if (!out_.empty() && out_.back().dueMs > dueMs)
        dueMs = out_.back().dueMs;
    out_.push_back({dueMs, std::move(bytes)});
}

void TSimProbe::Command(const std::string& raw, std::uint64_t nowMs) {
    const std::string line = Upper(raw);
    commands_.push_back(line);
    const std::string cmd = line.substr(0, 2);
    const std::string param = line.size() > 3 ? line.substr(3) : std::string();
    const auto number = [&](std::string_view text, int& out) {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
        return ec == std::errc() && end == text.data() + text.size();
    };
    int n = 0;
    if (cmd == "SN") {
        Answer("SN " + s_.serial, nowMs);
    } else if (cmd == "VN") {
        Answer("VN " + s_.firmware, nowMs);
    } else if (cmd == "RB") {
        Answer(fmt::format("RB {:.2f}", s_.battery), nowMs);
    } else if (cmd == "TS") {
        const std::size_t blank = param.find(' ');
        const bool ok = blank != std::string::npos && StrToProbeDate(param.substr(0, blank)) != 0 &&
                        StrToProbeTime(param.substr(blank + 1)) != 0;
        Answer(ok ? "ER 000" : "ER 005", nowMs);
    } else if (cmd == "DF") {
        if (param.empty()) {
            Answer(fmt::format("DF {}", format_), nowMs);
        } else if (number(param, n) && std::find(s_.formats.begin(), s_.formats.end(), n) != s_.formats.end()) {
            format_ = n;
            Answer(fmt::format("DF {}", n), nowMs);
        } else {
            Answer("ER 003", nowMs);
        }
    } else if (cmd == "SS") {
        Answer(SSAnswer(), nowMs);
    } else if (cmd == "CA") {
        Answer(number(param, n) ? CAAnswer(n) : "ER 002", nowMs);
    } else if (cmd == "OL") {
        Answer("ER 000", nowMs);
        flowing_ = true;
        flowStartMs_ = nowMs + Ms(s_.answerDelay) + 1;
        flowFrames_ = 0;
    } else if (cmd == "SO" || cmd == "OO") {
        flowing_ = false;
    } else if (cmd == "FB") {
        if (RosetteMute(nowMs)) {
            // The rosette does not hear it: the heads keep their state.
        } else if (number(param, n) && n >= 1 && n <= std::max(1, s_.rosettePositions)) {
            bottleNumber_ = n;
            fired_ = true;
            firedList_.push_back(n);
            homing_ = false;
            fireMs_ = nowMs;
        }
    } else if ((cmd == "GO" || cmd == "RS" || cmd == "RQ") && RosetteMute(nowMs)) {
        Answer("ER 010", nowMs);
    } else if (cmd == "GO") {
        if (!number(param, n) || n < 1 || n > std::max(1, s_.rosettePositions)) {
            Answer("ER 002", nowMs);
        } else if (s_.rosetteType == 0) {
            Answer("ER 010", nowMs);
        } else {
            Answer("ER 000", nowMs);
            homing_ = true;
            fired_ = false;
            homeTarget_ = n - 1;
            homeDoneMs_ = nowMs + Ms(s_.homeSeconds);
        }
    } else if (cmd == "RS") {
        if (homing_ && nowMs >= homeDoneMs_) {
            homing_ = false;
            rosettePosition_ = homeTarget_;
            bottleNumber_ = homeTarget_;
        }
        const int position = homing_ ? rosettePosition_ : bottleNumber_;
        Answer(fmt::format("RS {} {}", position, homing_ ? 1 : 999), nowMs);
    } else if (cmd == "RT") {
        Answer(fmt::format("RT {} {} {:.1f} {:.1f}", s_.rosetteType, s_.rosettePositions,
                           s_.fireTimeOut, s_.homeTimeOut),
               nowMs);
    } else if (cmd == "RQ") {
        if (s_.rosetteType == 0)
            Answer("ER 010", nowMs);
        else
            Answer(fmt::format("RQ {} {} {:.2f}", s_.rosetteSerial, s_.armPosition,
                               s_.rosetteVolts),
                   nowMs);
    } else if (cmd == "MS") {
        int used = 0;
        int last = 0;
        for (const TSimMemoryCast& c : s_.memory) {
            used += c.sets;
            last = std::max(last, c.number);
        }
        Answer(fmt::format("MS {} {} {} {} {} 0 0 0 0", s_.memorySets, used, s_.memorySets - used,
                           s_.memory.size(), last),
               nowMs);
    } else if (cmd == "CS") {
        const TSimMemoryCast* cast = nullptr;
        if (number(param, n))
            for (const TSimMemoryCast& c : s_.memory)
                if (c.number == n)
                    cast = &c;
        if (cast)
            Answer(fmt::format("CS {} {} {} {} {} {} {}", cast->number, cast->sets, cast->mode,
                               cast->name, cast->interval,
                               FormatDateTime("dd-MM-yyyy", cast->start),
                               FormatDateTime("HH:mm:ss", cast->start)),
                   nowMs);
        else
            Answer("CS 0 0 LINEAR NONE 0 01-01-2000 00:00:00", nowMs);
    } else if (cmd == "CD") {
        const std::size_t blank = param.find(' ');
        int set = 0;
        const TSimMemoryCast* cast = nullptr;
        if (blank != std::string::npos && number(param.substr(0, blank), n) &&
            number(param.substr(blank + 1), set))
            for (const TSimMemoryCast& c : s_.memory)
                if (c.number == n)
                    cast = &c;
        if (cast && set >= 0 && set < cast->sets) {
            uploadCast_ = static_cast<int>(cast - s_.memory.data());
            uploadNext_ = static_cast<std::uint64_t>(set);
            uploadLeft_ = static_cast<std::uint64_t>(cast->sets - set);
            uploadClockMs_ = static_cast<double>(nowMs + Ms(s_.answerDelay));
            ++transfers_;
        } else {
            Answer("ER 002", nowMs);
        }
    } else if (cmd == "DM") {
        s_.memory.clear();
        Answer("ER 000", nowMs, s_.eraseSeconds);
    } else if (cmd == "LP" || cmd == "TA") {
        Answer("ER 000", nowMs);
    } else {
        Answer("ER 001", nowMs);
    }
}

// ---- Bytes out ---------------------------------------------------------------------------------

void TSimProbe::MakeFrames(std::uint64_t nowMs) {
    if (flowing_ && nowMs >= flowStartMs_) {
        const double rate = s_.scanRate;
        const auto due = static_cast<std::uint64_t>((nowMs - flowStartMs_) * rate / 1000.0);
        for (; flowFrames_ < due; ++flowFrames_) {
            const double t = flowFrames_ / rate;
            const bool inGap = s_.faults.gapAt >= 0 && t >= s_.faults.gapAt &&
                               t < s_.faults.gapAt + s_.faults.gapFor;
            if (inGap)
                continue;
            const auto frame = Frame(flowFrames_, t, nowMs);
            Emit(std::string(frame.begin(), frame.end()), flowStartMs_ + Ms(t));
            ++framesSent_;
        }
    }
    // A recorded cast goes out as fast as the line takes it (10 bits a byte), with the
    // transfer faults of its sets.
    const double msPerByte = 10'000.0 / std::max(300.0, s_.lineRate);
    while (uploadLeft_ > 0 && static_cast<double>(nowMs) >= uploadClockMs_) {
        const TSimMemoryCast& cast = s_.memory[static_cast<std::size_t>(uploadCast_)];
        std::vector<std::uint8_t> set = MemorySet(cast, uploadNext_);
        TSimSetFault* fault = nullptr;
        for (TSimSetFault& f : s_.faults.setFaults)
            if (f.times > 0 && f.cast == cast.number &&
                static_cast<std::uint64_t>(f.set) == uploadNext_)
                fault = &f;
        if (fault) {
            --fault->times;
            if (fault->kind == TSimSetFault::Stall) {
                uploadLeft_ = 0; // silent until the transmission is restarted
                break;
            }
            if (fault->kind == TSimSetFault::Flip)
                set[set.size() / 2] ^= 0x10;
        }
        const auto due = static_cast<std::uint64_t>(uploadClockMs_);
        if (!fault || fault->kind != TSimSetFault::Lose) {
            Emit(std::string(set.begin(), set.end()), due);
            uploadClockMs_ += msPerByte * static_cast<double>(set.size());
        }
        ++framesSent_;
        --uploadLeft_;
        ++uploadNext_;
    }
}

std::string TSimProbe::Faulty(std::string bytes, std::uint64_t dueMs) {
    const TSimFaults& f = s_.faults;
    const double t = (dueMs - startMs_) / 1000.0;
    if (f.silenceAt >= 0 && t >= f.silenceAt && t < f.silenceAt + f.silenceFor)
        return {};
    if (f.dropRate <= 0 && f.flipRate <= 0 && f.insertRate <= 0)
        return bytes;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::string out;
    for (char c : bytes) {
        if (chance(random_) < f.insertRate)
            out += static_cast<char>(random_() & 0xFF);
        if (chance(random_) < f.dropRate)
            continue;
        if (chance(random_) < f.flipRate)
            c = static_cast<char>(c ^ (1 << (random_() % 8)));
        out += c;
    }
    return out;
}

std::string TSimProbe::TakeOutput(std::uint64_t nowMs) {
    if (!started_) {
        started_ = true;
        startMs_ = nowMs;
    }
    MakeFrames(nowMs);
    std::string out;
    while (!out_.empty() && out_.front().dueMs <= nowMs) {
        out += Faulty(std::move(out_.front().bytes), out_.front().dueMs);
        out_.pop_front();
    }
    return out;
}

} // namespace marevo::sim
