// The probe command protocol (QvlUtil.h): the protocol object's exchanges with the probe on the
// serial line, its waits and its answer buffer.

#include "probelink/QvlUtil.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Words.h"
#include "foundation/Runtime.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Environ.h"
#include "records/Settings.h"

#include <fmt/core.h>

#include <algorithm>
#include <cmath>

namespace marevo {

namespace fs = std::filesystem;

TQvlUtil::TQvlUtil(TParamCollection* collection) : collection_(collection) {}

TQvlUtil::~TQvlUtil() = default;

TParamCollection& TQvlUtil::Target() const {
    return collection_ ? *collection_ : CastParamCol();
}

bool TQvlUtil::Protected(std::string_view logText, const std::function<bool()>& body) {
    try {
        return body();
    } catch (...) {
        cmd_error = cer_other;
        WriteLog(fmt::format("{}{} {}", logText, CurrentFailureMessage(), CmdErrorText(cmd_error)));
        return false;
    }
}

// A delay that is no number or negative would make a wait endless or empty: it keeps its
// default.
void TQvlUtil::SetDelay(const double (&delays)[10]) {
    for (std::size_t i = 0; i < CommDelay.size(); ++i)
        CommDelay[i] = std::isfinite(delays[i]) && delays[i] >= 0 ? delays[i] : DefaultCommDelay[i];
}

std::string TQvlUtil::GetParaListStr() const {
    std::string list;
    for (int i = 1; i <= ParaNb; ++i)
        list += (i > 1 ? " " : "") + std::to_string(ParaListSS[static_cast<std::size_t>(i)]);
    return list;
}

double TQvlUtil::Elapsed(TDateTime from) {
    return (Clock().Now() - from) * SecondsPerDay;
}

// Read from the environment at each command, so a change in the settings applies at once.
double TQvlUtil::CommandGap() const {
    double gap = CommDelay[6];
    try {
        gap = Environ().CommDelay[6];
    } catch (const EMarevoError&) {
        // a tool without settings: the object's own delay
    }
    // A damaged setting must not stall the protocol: no gap, or at most a minute.
    return std::isfinite(gap) ? std::clamp(gap, 0.0, 60.0) : 0.0;
}

std::unique_ptr<TFileCOMM> TQvlUtil::OpenPort() {
    if (OpenProbePort)
        return OpenProbePort();
    auto port = std::make_unique<TFileCOMM>();
    const TEnviron& env = Environ();
    const fs::path device = env.PortDeviceName(env.ProbeCommPort);
    port->Open("CTD", env.ProbeCommPort.CommCfgStr.Get(), [&device](int) { return device; });
    return port;
}

void TQvlUtil::SetOnLine() {
    Target().Acqui.ProbeOnLine = true;
}
bool TQvlUtil::OnLine() const {
    return Target().Acqui.ProbeOnLine;
}

bool TQvlUtil::Verdict(const TAnswerCheck& check) {
    if (check.errorAnswer)
        Qvl_Error = check.probeError;
    if (!check.Ok())
        cmd_error = check.error;
    return check.Ok();
}

bool TQvlUtil::WriteBytes(TFileCOMM& port, std::initializer_list<std::uint8_t> bytes) {
    return port.Write(bytes.begin(), bytes.size()) == bytes.size();
}

// ---- Sending -----------------------------------------------------------------------------------

bool TQvlUtil::SendCmdprim(TCmdId cmd, TFileCOMM& port, std::string_view param) {
    return Protected("Exc: ID Cmd Error ", [&] {
        CmdStr = std::string(CmdText(cmd));
        if (!param.empty())
            CmdStr += " " + std::string(param);
        if (!OnLine() || cmd == cm_SC)
            return true; // nothing to talk to: the command counts as sent
        const std::string line = CmdStr + char(LineEnd);
        const std::size_t written = port.Write(line.data(), line.size());
        StatusMessage("Command: " + std::string(CmdText(cmd)));
        if (written < line.size()) {
            cmd_error = cer_Send;
            return false;
        }
        return true;
    });
}

bool TQvlUtil::SendProbeCommand(TCmdId cmd, TFileCOMM& port, std::string_view param) {
    constexpr std::string_view attemptLog[] = {"Exc: First Send Probe cmd Error ",
                                               "Exc: Second Send Probe cmd Error "};
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool done = Protected(attemptLog[attempt], [&] {
            const std::uint64_t start = Clock().TickMs();
            const auto gap = static_cast<std::uint64_t>(std::lround(CommandGap() * 1000.0));
            while (Clock().TickMs() - start < gap)
                Clock().SleepMs(10);
            port.flush();
            cmd_error = cer_OK;
            if (!SendCmdprim(cmd, port, param) || cmd_error != cer_OK)
                return false;
            return GetResult(cmd, port) && CheckResult(cmd) && SetInfo(cmd);
        });
        if (done && cmd_error == cer_OK)
            return true;
    }
    StatusMessage("Send Probe cmd Error " + std::string(CmdErrorText(cmd_error)));
    return false;
}

bool TQvlUtil::GetResult(TCmdId cmd, TFileCOMM& port) {
    return Protected("Exc: Get cmd result Error ", [&] {
        switch (cmd) {
        case cm_ER:
        case cm_SO:
        case cm_FB:
        case cm_CD:
        case cm_OO: return true;
        case cm_SC:
            if (OnLine()) {
                // The probe is never asked: its rate is the nominal one.
                ResStr = answer_ = "SC 10.0";
                return true;
            }
            break;
        default: break;
        }
        return ReadAnswer(port, cmd == cm_DM ? DeleteMemoryWindow : CommDelay[3]);
    });
}

// ---- Receiving ---------------------------------------------------------------------------------

bool TQvlUtil::ReadAnswer(TFileCOMM& port, double window) {
    if (ReadAnswerOnce(port, window))
        return true;
    // A line that stayed silent or came empty gets a second chance; binary data or an endless
    // line would only repeat.
    if (!OnLine() || cmd_error == cer_BinData || cmd_error == cer_ResOver)
        return false;
    cmd_error = cer_OK;
    return ReadAnswerOnce(port, window);
}

bool TQvlUtil::ReadAnswerOnce(TFileCOMM& port, double window) {
    return Protected("Exc: Read probe answer Error ", [&] {
        ResStr.clear();
        answer_.clear();
        TimeExit = Clock().Now() + SecondsToDays(window);
        char c = 0;
        for (;;) {
            if (!GetChar(port, c))
                return false;
            if (c == char(LineEnd))
                break;
            if (c == '\r')
                continue;
            ResStr += c;
            if (static_cast<int>(ResStr.size()) >= MaxAnswerLength) {
                cmd_error = cer_ResOver;
                return false;
            }
        }
        if (ResStr.empty()) {
            cmd_error = cer_ResEmpty;
            return false;
        }
        answer_ = ResStr;
        return true;
    });
}

bool TQvlUtil::GetChar(TFileCOMM& port, char& c) {
    return Protected("Exc: Get Char Error ", [&] {
        const TDateTime start = Clock().Now();
        for (;;) {
            std::uint8_t byte = 0;
            if (port.ReadByte(byte)) {
                TimeLastChar = Clock().Now();
                if (byte >= 'a' && byte <= 'z')
                    byte = static_cast<std::uint8_t>(byte - 'a' + 'A');
                if (!IsAnswerChar(byte)) {
                    cmd_error = cer_BinData;
                    return false;
                }
                c = static_cast<char>(byte);
                return true;
            }
            const TDateTime now = Clock().Now();
            // When both time-outs are over, the first-byte one names what happened.
            if ((now - start) * SecondsPerDay > CommDelay[0]) {
                cmd_error = cer_FTimeOut;
                return false;
            }
            if (now > TimeExit && now > TimeLastChar + SecondsToDays(CommDelay[1])) {
                cmd_error = cer_TimeOut;
                return false;
            }
            Clock().SleepMs(1);
        }
    });
}

bool TQvlUtil::GetQvlError(TFileCOMM& port) {
    return Protected("Exc: GEt QVL Error ", [&] {
        const int n = port.size();
        if (n < 1 || n > 3000) {
            cmd_error = cer_receive;
            return false;
        }
        std::string bytes(static_cast<std::size_t>(n), '\0');
        const std::size_t got = port.Read(bytes.data(), bytes.size());
        bytes.resize(got);
        // Only the tail matters: the answer to ^T comes after whatever was on the line.
        const std::string tail = bytes.size() > 20 ? bytes.substr(bytes.size() - 20) : bytes;
        const std::size_t er = tail.find("ER ");
        if (er == std::string::npos || er + 6 > tail.size())
            return false;
        const auto number = AnswerInt(std::string_view(tail).substr(er + 3, 3));
        if (!number)
            return false;
        if (*number == 0) {
            cmd_error = cer_OK;
            return true;
        }
        Qvl_Error = static_cast<std::int32_t>(*number);
        cmd_error = cer_ErCode;
        return false;
    });
}

// ---- Attention and stop ------------------------------------------------------------------------

bool TQvlUtil::GetAttention(TFileCOMM& port) {
    FuncStr = "Get probe attention";
    const bool ok = Protected("Exc: Get probe attention error ", [&] {
        TimeLastChar = Clock().Now();
        std::string dots;
        for (int attempt = 1; attempt <= 10; ++attempt) {
            if (Clock().Now() > TimeLastChar + SecondsToDays(CommDelay[5]))
                break;
            dots += ".";
            StatusMessage("Connection to the probe" + dots);
            port.flush();
            cmd_error = cer_OK;
            if (!WriteBytes(port, {CtrlT})) {
                cmd_error = cer_Send;
                continue;
            }
            const bool read = ReadAnswer(port, 2 * CommDelay[4]);
            if (cmd_error == cer_BinData) {
                // The probe is sending frames: end the flow, then ask again.
                Stop(port);
                continue;
            }
            if (read && ResStr == "ER 000") {
                cmd_error = cer_OK;
                connected = true;
                return true;
            }
            while (Clock().Now() <= TimeExit)
                Clock().SleepMs(1);
        }
        return false;
    });
    if (!ok) {
        cmd_error = cer_noProbe;
        StatusMessage("Get probe attention error " + std::string(CmdErrorText(cmd_error)));
    }
    return ok;
}

bool TQvlUtil::SendCtrlT(TFileCOMM& port) {
    std::string dots;
    for (int attempt = 1; attempt <= 10; ++attempt) {
        dots += ".";
        StatusMessage("Send CtrlT" + dots);
        port.flush();
        WriteBytes(port, {CtrlT, DelByte});
        WaitSeconds(CommDelay[2]);
        if (GetQvlError(port))
            return true;
    }
    return false;
}

bool TQvlUtil::Stop(TFileCOMM& port) {
    FuncStr = "Stop";
    const bool ok = Protected("Exc: Stop acquisition error ", [&] {
        StatusMessage("Ending Data Flow");
        bool stopped = false;
        for (int attempt = 0; attempt < 5 && !stopped; ++attempt) {
            WriteBytes(port, {CtrlT, DelByte});
            port.flush();
            std::string seen;
            const std::uint64_t start = Clock().TickMs();
            while (!stopped && Clock().TickMs() - start <= 200) {
                char buffer[256];
                const std::size_t n = port.Read(buffer, sizeof buffer);
                seen.append(buffer, n);
                stopped = seen.find("ER 000\r\n") != std::string::npos;
                if (n == 0)
                    Clock().SleepMs(1);
            }
        }
        // SO goes out either way; a probe that never acknowledged is not reported as stopped.
        SetOnLine();
        WriteBytes(port, {DelByte});
        port.flush();
        cmd_error = cer_OK;
        if (!SendCmdprim(cm_SO, port))
            return false;
        connected = false;
        if (!stopped) {
            cmd_error = cer_noProbe;
            return false;
        }
        return true;
    });
    if (!ok)
        StatusMessage("Stop acquisition Error " + std::string(CmdErrorText(cmd_error)));
    return ok;
}

} // namespace marevo
