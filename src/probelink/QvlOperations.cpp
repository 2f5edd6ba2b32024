// The probe command protocol (QvlUtil.h): the operations built on its exchanges: wake-up,
// identification with its transcript, the rosette, the probe memory and the error report.

#include "parameters/ParaNumbers.h"
#include "probelink/QvlUtil.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "parameters/ParaCatalogue.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Environ.h"
#include "records/Settings.h"

#include <fmt/core.h>

#include <algorithm>
#include <cmath>

namespace marevo {

namespace fs = std::filesystem;

// ---- Identification ----------------------------------------------------------------------------

bool TQvlUtil::WakeUp() {
    try {
        StatusMessage("Wake up probe communication");
        auto port = OpenPort();
        if (!port || !port->IsOpen()) {
            StatusMessage("Error wake up COM port");
            return false;
        }
        WriteBytes(*port, {0x2A, 0x00, 0x2A, 0x00});
        Clock().SleepMs(6000);
        port->free();
        return true;
    } catch (...) {
        WriteLog("WakeUp exception: " + CurrentFailureMessage());
        return false;
    }
}

int TQvlUtil::GetDFProtocol(TFileCOMM& port) {
    int format = 0;
    Protected("Exc: Check Data Format cmd Error ", [&] {
        if (!GetAttention(port))
            return false;
        bool df7 = false;
        try {
            df7 = Environ().DF7Enabling != 0;
        } catch (const EMarevoError&) {
        }
        for (int candidate : {7, 6, 5}) {
            if (candidate == 7 && !df7)
                continue;
            if (SendProbeCommand(cm_DF, port, std::to_string(candidate))) {
                format = DFnb;
                return true;
            }
        }
        return false;
    });
    if (format == 0)
        cmd_error = cer_Proto;
    return format;
}

bool TQvlUtil::CreateXfrFile() {
    CloseXfrFile();
    const fs::path raw = CurrentCastRawPath ? CurrentCastRawPath() : fs::path();
    if (raw.empty())
        return false;
    std::string name = raw.string();
    name = name.substr(0, name.size() >= 3 ? name.size() - 3 : 0) + "xfr";
    theXfrRawStream = std::make_unique<TFileStream>(name, TFileMode::Create);
    return true;
}

void TQvlUtil::WriteXfrLine(std::string_view line) {
    if (!theXfrRawStream)
        return;
    // A single-byte text: the answers are ASCII, and a damaged byte stays one byte.
    const std::string text = std::string(line) + "\r\n";
    theXfrRawStream->Write(text.data(), text.size());
}

void TQvlUtil::CloseXfrFile() {
    theXfrRawStream.reset();
}

void TQvlUtil::WriteXfrStart(TDateTime at) {
    WriteXfrLine(XfrStartLine(at));
}

void TQvlUtil::CompleteXfrFile() {
    Guard({"Error in TQvlUtil.CompleteXfrFile"}, [&] {
        if (!theXfrRawStream)
            return;
        const TCastInfo* header = Target().Loaded.CastHeader;
        long double lat[3] = {}, lon[3] = {};
        if (header) {
            for (int k : {0, 2}) {
                lat[k] = header->latitude[static_cast<std::size_t>(k)].ToLongDouble();
                lon[k] = header->longitude[static_cast<std::size_t>(k)].ToLongDouble();
            }
        }
        WriteXfrLine(XfrPositionLine("SGP", lat[0], lon[0]));
        WriteXfrLine(XfrPositionLine("EGP", lat[2], lon[2]));
    });
}

bool TQvlUtil::GetProbeInfoA(std::int32_t castNumber, TFileCOMM* port) {
    cmd_error = cer_OK;
    ResStr.clear();
    StatusMessage("Opening probe communication");
    std::unique_ptr<TFileCOMM> opened;
    const bool ok = Protected("Exc: Probe comm. init error", [&] {
        if (!port) {
            opened = OpenPort();
            if (!opened || !opened->IsOpen()) {
                cmd_error = cer_Open;
                StatusMessage("Error opening COM port");
                return false;
            }
            port = opened.get();
        }
        CreateXfrFile();
        SetOnLine();
        const int format = GetDFProtocol(*port);
        Target().ProbeInfo.Protocol = format;
        if (format >= 5 && format <= 7)
            GetProbeInfoDF(castNumber, *port);
        if (cmd_error != cer_OK) {
            StatusMessage("Probe initialization error" + std::string(CmdErrorText(cmd_error)));
            return false;
        }
        Target().ProbeInfo.MarevoVersion.Set(ProgramCaption.substr(0, 30));
        return true;
    });
    if (opened)
        opened->free();
    return ok && cmd_error == cer_OK;
}

bool TQvlUtil::AddCatalogueCopy(std::int32_t number) {
    if (const TParameter* known = ProbeParamCol().FindPara(number)) {
        auto copy = known->MakeCopy();
        if (!copy)
            return false;
        Target().Add(std::move(copy));
        return true;
    }
    if (!FindCatalogueEntry(number))
        return false;
    auto fresh = std::make_unique<TParameter>();
    fresh->SetDefPara(number);
    Target().Add(std::move(fresh));
    return true;
}

// The probe names its channels by its own codes. The workstation's parameter of that code is
// copied, with its display settings; a code it does not hold comes from the catalogue. The frame
// head (310) is the DF5 or DF6 head by the format in use.
bool TQvlUtil::AddProbeChannel(std::int32_t probeCode) {
    std::int32_t number = -1;
    if (probeCode == 310)
        number = DFnb == 5 ? 5 : 6;
    else if (probeCode == 311)
        number = 7;
    else if (const TParameter* known = ProbeParamCol().FindQvlPara(probeCode))
        number = known->GetParaNb();
    else
        for (const TCatalogueEntry& e : CatalogueEntries())
            if (e.ProbeCode == probeCode) {
                number = e.Number;
                break;
            }
    if (number < 0 || !AddCatalogueCopy(number))
        return false;
    TParameter* added = Target().Items(Target().Count() - 1);
    added->paraRaw.PrbCross[0] = probeCode;
    added->SetPosInProbe(Target().Count());
    return true;
}

bool TQvlUtil::GetProbeInfoDF(std::int32_t castNumber, TFileCOMM& port) {
    const std::string format = "[DF5/6/7]"; // one identification for the three formats
    try {
        StatusMessage("Creating Probe file");
        SetOnLine();
        cmd_error = cer_OK;
        const auto step = [&](TCmdId cmd, std::string_view param = {}) {
            return cmd_error == cer_OK && SendProbeCommand(cmd, port, param);
        };
        step(cm_SN) && step(cm_VN) && step(cm_RB) && step(cm_TS, ProbeDateTimeStr(Clock().Now()));
        if (cmd_error == cer_OK && castNumber != -1)
            step(cm_CS, std::to_string(castNumber));
        step(cm_SS);
        for (int i = 1; i <= ParaNb && cmd_error == cer_OK; ++i) {
            const std::int32_t p = ParaListSS[static_cast<std::size_t>(i)];
            if (!AddProbeChannel(p)) {
                cmd_error = cer_ParaNb;
                WriteLog(fmt::format("{}Get Probe Info unknown channel {}", format, p));
                break;
            }
            if (p == 310 || p == 311)
                WriteXfrLine(fmt::format("[CA], CA {}", p));
            else
                step(cm_CA, std::to_string(p));
        }
        if (cmd_error == cer_OK)
            for (int number : {TimeCounterPara, ProbeSpeedPara, WinchSpeedPara})
                AddCatalogueCopy(number);
        if (step(cm_RT)) {
            if (!SendProbeCommand(cm_RQ, port)) {
                WriteLog("RQ command failed!");
                cmd_error = cer_OK;
            }
        }
        if (cmd_error != cer_OK) {
            StatusMessage(format + "Get Probe Info error " + std::string(CmdErrorText(cmd_error)));
            return false;
        }
        return true;
    } catch (...) {
        if (cmd_error == cer_OK)
            cmd_error = cer_other;
        WriteLog(format + "Get Probe Info " + CurrentFailureMessage() + "error " +
                 std::string(CmdErrorText(cmd_error)));
        Operator().Message(format + "Get Probe Info", "Error", TMessageKind::Error);
        return false;
    }
}

// ---- Rosette -----------------------------------------------------------------------------------

static std::string TwoDigits(int bottle) {
    return fmt::format("{:02d}", bottle);
}

bool TQvlUtil::SendFBCommand(int bottle, TFileCOMM& port) {
    return Protected("Exc: Send Fire Bottle cmd Error ", [&] {
        WriteLog(fmt::format("Fire Bottle Cmd = {}Cmd_Error ={}", bottle, CmdErrorText(cmd_error)));
        if (!SendCtrlT(port)) {
            WriteLog("Fire Bottle cmd error" + std::string(CmdErrorText(cmd_error)));
            return false;
        }
        cmd_error = cer_OK;
        WriteLog(fmt::format("Send FB cmd Bottle No={}", bottle));
        if (SendCmdprim(cm_FB, port, TwoDigits(bottle)) && cmd_error == cer_OK) {
            StatusMessage("Fire OK");
            return true;
        }
        WriteLog("Fire Bottle Cmd Error =" + std::string(CmdErrorText(cmd_error)));
        return false;
    });
}

bool TQvlUtil::BottleHome(int bottle, TFileCOMM* port) {
    StatusMessage("Rosette Home positioning");
    std::unique_ptr<TFileCOMM> opened;
    const bool ok = Protected("Exc: Rosette to Home Error ", [&] {
        if (!port) {
            opened = OpenPort();
            if (!opened || !opened->IsOpen()) {
                Operator().Message("Problem openning COM port", "Warning", TMessageKind::Warning);
                return false;
            }
            port = opened.get();
        }
        if (!GetAttention(*port)) {
            StatusMessage("GetAttention failed!");
            return false;
        }
        StatusMessage("GO Command");
        SendProbeCommand(cm_GO, *port, TwoDigits(bottle));
        const TDateTime start = Clock().Now();
        bool answered = false;
        for (;;) {
            const double elapsed = Elapsed(start);
            const auto percent =
                RosHomeTimeOut > 0
                    ? static_cast<std::int64_t>(std::min(100.0, 100.0 * elapsed / RosHomeTimeOut))
                    : 100;
            if (!Operator().Progress("Rosette positioning to home", percent, 100)) {
                StatusMessage("GetAttention failed!");
                return false;
            }
            if (SendCtrlT(*port)) {
                answered = true;
                break;
            }
            if (elapsed > RosHomeTimeOut)
                break;
        }
        Clock().SleepMs(4000);
        SendProbeCommand(cm_RS, *port);
        char scratch[256];
        while (port->Read(scratch, sizeof scratch) > 0) {
        }
        bool homed = false;
        if (answered && SendProbeCommand(cm_RS, *port)) {
            homed = true;
            RosCurPos = bottle - 1;
            Target().BtlAlarm.C_LastBtlNumber = bottle - 1;
        }
        StatusMessage("Home position found");
        return homed && cmd_error == cer_OK;
    });
    if (opened)
        opened->free();
    return ok;
}

// ---- Memory ------------------------------------------------------------------------------------

bool TQvlUtil::DeleteMemory(TFileCOMM& port) {
    bool ok = false;
    try {
        SetOnLine();
        if (GetAttention(port)) {
            const TDateTime start = Clock().Now();
            for (;;) {
                const double elapsed = Elapsed(start);
                Operator().Progress("Deleting memory...",
                                    static_cast<std::int64_t>(std::min(elapsed, 60.0)), 60);
                if (SendProbeCommand(cm_DM, port)) {
                    ok = true;
                    break;
                }
                if (Elapsed(start) > DeleteMemoryWindow)
                    break;
                WaitSeconds(0.1);
            }
        }
    } catch (...) {
        cmd_error = cer_other;
        const std::string why = CurrentFailureMessage();
        WriteLog("Exc: Delete Probe Memory error " + why + " " +
                 std::string(CmdErrorText(cmd_error)));
        Operator().Message(why, "Delete probe memory Error", TMessageKind::Error);
    }
    if (!ok)
        StatusMessage("Delete probe Memory error " + std::string(CmdErrorText(cmd_error)));
    return ok;
}

bool TQvlUtil::MemoryStatus(TFileCOMM& port) {
    const bool ok = Protected("Exc: Probe Memory Status error ", [&] {
        SetOnLine();
        return GetDFProtocol(port) != 0 && SendProbeCommand(cm_MS, port);
    });
    if (!ok)
        StatusMessage("Memory Status error " + std::string(CmdErrorText(cmd_error)));
    return ok;
}

bool TQvlUtil::GetCastInfo(TFileCOMM& port, std::int32_t castNumber, std::string& castText) {
    castText.clear();
    const bool ok = Protected("Exc: Probe Cast info error ", [&] {
        SetOnLine();
        if (!GetAttention(port) || !SendProbeCommand(cm_CS, port, std::to_string(castNumber)))
            return false;
        castText = answer_.size() > 3 ? answer_.substr(3) : std::string();
        return true;
    });
    if (!ok)
        StatusMessage("Probe Cast info error " + std::string(CmdErrorText(cmd_error)));
    return ok;
}

bool TQvlUtil::SendCD(TFileCOMM& port, std::int32_t castNumber, std::int32_t setNumber) {
    FuncStr = "SendCD";
    return Protected("Exc: Upload Cast data error ", [&] {
        if (!GetAttention(port))
            return false;
        port.flush();
        return SendCmdprim(cm_CD, port, fmt::format("{} {}", castNumber, setNumber));
    });
}

// ---- Reports -----------------------------------------------------------------------------------

std::string TQvlUtil::ErrorReport() const {
    const auto line = [](std::string_view text) { return "\r\n" + std::string(text) + "\r\n"; };
    std::string error(CmdErrorText(cmd_error));
    if (cmd_error == cer_ErCode)
        error += fmt::format("({})", Qvl_Error);
    return line("MAREVO5 Function: " + FuncStr) + line("Sent Command   : " + CmdStr.substr(0, 10)) +
           line("Probe Answer   : " + ResStr.substr(0, 30)) + line("Protocol error : " + error);
}

void TQvlUtil::ShowError() {
    constexpr std::string_view caption = "KELPRA 7xx PROBE Communication Error";
    const std::string text = ErrorReport();
    WriteLog(std::string(caption) + text);
    Operator().Message(text, caption, TMessageKind::Error);
}

} // namespace marevo
