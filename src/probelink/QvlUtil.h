#pragma once
// TQvlUtil: the probe's command protocol. It wakes the probe, gets its attention with ^T, stops a
// running data flow, identifies the probe (serial number, firmware, battery, data format, channel
// list and calibrations, rosette) into a collection, fires and homes the rosette, and reads and
// erases the probe's memory. The identification answers also go to the cast's ".xfr" transcript.
//
// Every wait reads the clock seam. No operation raises: failures set cmd_error, go to the status
// line and the event log, and come back as false; the caller decides whether to show ShowError.
// The answer checks are those of QvlAnswers.h, applied to ResStr; CheckResult and SetInfo can be
// fed answer texts without a probe (SetAnswer), which is how a transcript is read back.

#include "foundation/Extended.h"
#include "foundation/Stream.h"
#include "platform/Clock.h"
#include "probelink/FileComm.h"
#include "probelink/QvlAnswers.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace marevo {

class TParamCollection;

// Protocol delays [s], as the environment keeps them: 0 first byte of an answer, 1 between two
// bytes, 2 after ^T, 3 answer window, 4 get-attention step, 5 communication start-up, 6 between
// commands.
using TDelay = std::array<double, 10>;
constexpr TDelay DefaultCommDelay = {3.0, 0.5, 0.2, 3.0, 0.5, 30.0, 0.5, 0, 0, 0};

// The probe's channel list, 1-based as the probe numbers it (element 0 unused).
using TQVLParaList = std::array<std::int32_t, MaxProbeChannels + 1>;
using TCalibArray = std::array<TExtended, MaxCalibCoefs>;

// The cast the probe's memory describes in a CS answer.
struct TMemoryCast {
    std::int32_t MemCastNb = 0;
    std::int32_t MemSetNb = 0;
    std::uint8_t MemAcquiMode = 0; // TRawMode
    std::string MemCastName;
    TDateTime MemDateTime = 0;
    long double MemInterval = 0;
};

// Seconds of the DM answer window: erasing the memory takes a while.
constexpr double DeleteMemoryWindow = 60.0;

class TQvlUtil {
public:
    // collection: the one identification rebuilds and marks on line; null means CastParamCol.
    explicit TQvlUtil(TParamCollection* collection = nullptr);
    ~TQvlUtil();
    TQvlUtil(const TQvlUtil&) = delete;
    TQvlUtil& operator=(const TQvlUtil&) = delete;

    // ---- Seams to the rest of the system --------------------------------------------------------
    // Raw file of the cast being identified; the transcript is created beside it. Installed by
    // the owner of the cruise file; unset or empty: no transcript is written.
    std::function<std::filesystem::path()> CurrentCastRawPath;
    // Opens the probe port when an operation is given none; by default the environment's
    // ProbeCommPort through its port map (label "CTD").
    std::function<std::unique_ptr<TFileCOMM>()> OpenProbePort;
    // Caption of the main window, stored with the probe information.
    std::string ProgramCaption = "Marevo";

    // The probe port through OpenProbePort, or the environment's.
    std::unique_ptr<TFileCOMM> OpenPort();

    // ---- Operations -----------------------------------------------------------------------------
    bool WakeUp();
    // Identification for a cast: upload cast number, -1 for a real-time cast. port: an open
    // probe port, or null to open (and close again) the environment's.
    bool GetProbeInfoA(std::int32_t castNumber, TFileCOMM* port = nullptr);
    // 7 (when enabled), 6 or 5 as the probe accepts it; 0 with cer_Proto.
    int GetDFProtocol(TFileCOMM& port);
    bool Stop(TFileCOMM& port);
    bool SendProbeCommand(TCmdId cmd, TFileCOMM& port, std::string_view param = {});
    bool SendCmdprim(TCmdId cmd, TFileCOMM& port, std::string_view param = {});
    // The check and the store of the answer in ResStr for that command; for cm_last, the command
    // the answer's first word names.
    bool CheckResult(TCmdId cmd);
    bool SetInfo(TCmdId cmd);
    bool SendFBCommand(int bottle, TFileCOMM& port);
    bool BottleHome(int bottle, TFileCOMM* port = nullptr);
    bool DeleteMemory(TFileCOMM& port);
    bool MemoryStatus(TFileCOMM& port);
    bool GetCastInfo(TFileCOMM& port, std::int32_t castNumber, std::string& castText);
    bool SendCD(TFileCOMM& port, std::int32_t castNumber, std::int32_t setNumber);
    bool GetQvlError(TFileCOMM& port);
    // Appends the cast's start and end positions to the open transcript.
    void CompleteXfrFile();
    // Appends the start of the data flow to the open transcript (the acquisition worker).
    void WriteXfrStart(TDateTime at);
    // Closes the transcript (the end of the cast's data source, or a failed start).
    void CloseXfrFile();
    bool XfrOpen() const { return theXfrRawStream != nullptr; }
    void ShowError();
    // The text ShowError shows, without its caption.
    std::string ErrorReport() const;

    // An answer received some other way (a transcript line): the next CheckResult/SetInfo read it.
    void SetAnswer(std::string_view answer) { ResStr = std::string(answer); }

    // ---- State ----------------------------------------------------------------------------------
    TCmdError GetError() const { return cmd_error; }
    const std::string& GetSnStr() const { return SnStr; }
    const std::string& GetVnStr() const { return VnStr; }
    std::string GetParaListStr() const;
    float GetBattery() const { return static_cast<float>(Battery.ToDouble()); }
    double GetRate() const { return Rate.ToDouble(); }
    const TQVLParaList& GetParaList() const { return ParaListSS; }
    std::int32_t GetParaNb() const { return ParaNb; }
    std::int32_t GetDFNb() const { return DFnb; }
    void SetDFnb(std::int32_t nb) { DFnb = nb; }
    void SetDelay(const double (&delays)[10]);
    const TDelay& Delays() const { return CommDelay; }
    std::int32_t MemorySetNb() const { return MemCast.MemSetNb; }
    std::int32_t AvailableMemorySet() const { return MemStatus[2]; }
    std::int32_t LastMemoryCast() const { return MemStatus[4]; }
    std::int32_t NextMemoryCast() const { return LastMemoryCast() + 1; }

    TDateTime TimeLastChar = 0; // last answer character received
    TDateTime TimeExit = 0;     // end of the current answer window
    std::string CmdStr;         // last command sent
    std::string FuncStr;        // step in progress, for error reports
    TCmdError cmd_error = cer_OK;
    std::int32_t Qvl_Error = 0; // nnn of the last "ER nnn"
    TDateTime CurrentTime = 0;  // when the probe clock was set
    bool connected = false;
    std::int32_t LastError = 0;
    std::int32_t DFnb = 5;
    std::string VnStr;
    TExtended VnNb{};
    std::string SnStr;
    TExtended Battery{};
    TExtended Rate = TExtended::FromDouble(10.0);
    TQVLParaList ParaListSS{};
    std::int32_t ParaNb = 0;
    std::uint8_t RosType = 0; // TRosetteType
    std::uint8_t RosPos = 0;
    std::int32_t RosCurPos = 0;
    std::int32_t RosCurStatus = 0;
    std::int32_t CalPa = 0;
    TCalibArray Cal{};
    TDateTime CalDate = 0;
    std::int32_t CalLen = 0;
    std::int32_t CalNb = 0;
    std::array<std::int32_t, 6> MemStatus{};
    TDelay CommDelay = DefaultCommDelay;
    std::int32_t RosSerialNum = 0;
    std::uint8_t RosArmPos = 0;
    float RosBatteryVolt = 0;
    double RosHomeTimeOut = 0; // s
    double RosFireTimeOut = 0; // s
    TMemoryCast MemCast;
    std::string ResStr; // last answer
    std::unique_ptr<TFileStream> theXfrRawStream;

private:
    TParamCollection& Target() const;
    void SetOnLine();
    bool OnLine() const;
    // Runs body; an exception is logged as logText + its message + the error text, sets
    // cer_other and makes the result false.
    bool Protected(std::string_view logText, const std::function<bool()>& body);

    bool GetAttention(TFileCOMM& port);
    bool SendCtrlT(TFileCOMM& port);
    bool GetResult(TCmdId cmd, TFileCOMM& port);
    bool ReadAnswer(TFileCOMM& port, double window);
    bool ReadAnswerOnce(TFileCOMM& port, double window);
    bool GetChar(TFileCOMM& port, char& c);
    bool GetProbeInfoDF(std::int32_t castNumber, TFileCOMM& port);
    bool AddProbeChannel(std::int32_t probeCode);
    bool AddCatalogueCopy(std::int32_t number);
    bool CreateXfrFile();
    void WriteXfrLine(std::string_view line);
    // Takes a check's verdict: cmd_error and Qvl_Error; true when the form was right.
    bool Verdict(const TAnswerCheck& check);
    bool WriteBytes(TFileCOMM& port, std::initializer_list<std::uint8_t> bytes);
    // Seconds since the clock stood at from.
    static double Elapsed(TDateTime from);
    double CommandGap() const;

    TParamCollection* collection_;
    std::string answer_; // the answer as received, for the transcript (ResStr may change)
};

} // namespace marevo
