#include "probelink/RawStream.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "parameters/ParaNumbers.h"
#include "probelink/ByteSource.h"
#include "probelink/ParSensor.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/Settings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>

namespace marevo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view NmeaTimeoutText =
    "TimeOut GPS Communication or GPGGA Sentence not found";
constexpr std::string_view ParTimeoutText = "TimeOut PAR Communication";
constexpr int MaxExtIndex = 20; // last float of an auxiliary record
// The PAR request cycle: "*2D!" once 0.2 s after "*Q0!", a new "*Q0!" once 0.4 s have passed.
constexpr std::uint64_t ParSecondCommandMs = 200;
constexpr std::uint64_t ParCycleMs = 400;

// The .ext companion: the last three characters of the name replaced by "ext".
fs::path ExtFileName(const fs::path& rawName) {
    std::string name = rawName.string();
    name.resize(name.size() >= 3 ? name.size() - 3 : 0);
    return name + "ext";
}

bool Elapsed(std::uint64_t since, std::uint64_t ms) {
    return Clock().TickMs() - since >= ms;
}

void SendParCommand(TFileCOMM& port, std::string_view command) {
    std::string line(command);
    line += "\r\n";
    port.Write(line.data(), line.size());
}

} // namespace

TRawStream::TRawStream(TParamCollection& frames) : frames_(frames) {
    context_.Protocol = frames_.ProbeInfo.Protocol;
    inputBuffer_ =
        std::make_unique<TCyclicInputBuffer>(rawBuffer_, frames_.FrameInfo.RawSize, context_);
    RestartTimers();
}

TRawStream::~TRawStream() {
    // Ports first, so that nothing is received into rings whose files are going away.
    probePort_.reset();
    extPort_.reset();
    nmeaPort_.reset();
    extFile_.reset();
    rawFile_.reset();
}

std::unique_ptr<TRawStream> TRawStream::Create(TParamCollection* frames) {
    std::unique_ptr<TRawStream> source(new TRawStream(frames ? *frames : ProbeParamCol()));
    return source;
}

std::unique_ptr<TRawStream> TRawStream::CreateEx(bool onLine, bool& isCommOpen,
                                                 const fs::path& fileName,
                                                 TParamCollection* frames) {
    isCommOpen = false;
    std::unique_ptr<TRawStream> source(new TRawStream(frames ? *frames : ProbeParamCol()));
    source->Begin(onLine, fileName);
    const bool done = Guard({"Error in rawStream.OpenFile"}, [&] {
        if (!onLine) {
            source->PrepareExtOnly();
            return;
        }
        TEnviron& env = source->frames_.Env();
        const TFrameInfo& info = source->frames_.FrameInfo;
        const auto open = [&env](const TCommPort& port, std::string_view label) {
            auto comm = std::make_unique<TFileCOMM>();
            const fs::path device = env.PortDeviceName(port);
            comm->Open(label, port.CommCfgStr.Get(), [&device](int) { return device; });
            return comm;
        };
        TPorts ports;
        ports.probe = open(env.ProbeCommPort, "CTD");
        if (ports.probe->IsOpen()) {
            if (info.UseNmea)
                ports.nmea = open(env.NMEACommPort, "GPS");
            if (info.UseExternal)
                ports.ext = open(env.ExtCommPort, "External sensor");
        }
        source->OpenLive(std::move(ports), isCommOpen);
    });
    if (!done)
        source->ReleaseAfterFailure();
    return source;
}

std::unique_ptr<TRawStream> TRawStream::CreateOnPorts(TPorts ports, bool& isCommOpen,
                                                      const fs::path& fileName,
                                                      TParamCollection* frames) {
    isCommOpen = false;
    std::unique_ptr<TRawStream> source(new TRawStream(frames ? *frames : ProbeParamCol()));
    source->Begin(true, fileName);
    if (!Guard({"Error in rawStream.OpenFile"},
               [&] { source->OpenLive(std::move(ports), isCommOpen); }))
        source->ReleaseAfterFailure();
    return source;
}

void TRawStream::Begin(bool onLine, const fs::path& fileName) {
    startTimeout_ = Clock().Now();
    double savePeriod = 10.0; // [s], the environment's default raw-data save period
    try {
        savePeriod = frames_.Env().RefreshRate[2];
    } catch (const EMarevoError&) {
        // A bare tool without settings keeps the default period.
    }
    delayTimeOut_ = savePeriod / SecondsPerDay;
    noData_ = true;
    context_.NoStream = false;
    context_.RawIdxRestart = 0;
    extCommOk_ = nmeaCommOk_ = false;
    isOnLine_ = onLine;
    streamName_ = fileName;
    RestartTimers();
    endOfStream_ = false;
}

void TRawStream::OpenLive(TPorts ports, bool& isCommOpen) {
    probePort_ = std::move(ports.probe);
    isCommOpen = probePort_ && probePort_->IsOpen();
    if (!isCommOpen)
        return; // no port, no recording files
    rawFile_ = std::make_unique<TFileStream>(streamName_, TFileMode::Create);
    const TFrameInfo& info = frames_.FrameInfo;
    const TEnviron& env = frames_.Env();
    CreateExtRing(env.NMEAParaList.count + env.ExtParaList.count);
    if (info.UseNmea) {
        nmeaPort_ = std::move(ports.nmea);
        nmeaCommOk_ = nmeaPort_ && nmeaPort_->IsOpen();
        isCommOpen = nmeaCommOk_;
    }
    if (info.UseExternal) {
        extPort_ = std::move(ports.ext);
        extCommOk_ = extPort_ && extPort_->IsOpen();
        isCommOpen = extCommOk_;
    }
    extFile_ = std::make_unique<TFileStream>(ExtFileName(streamName_), TFileMode::Create);
}

void TRawStream::PrepareExtOnly() {
    const TFrameInfo& info = frames_.FrameInfo;
    if (!info.UseExtPara)
        return;
    CreateExtRing(info.ExtCount - info.RawCount);
    extFile_ = std::make_unique<TFileStream>(ExtFileName(streamName_), TFileMode::Create);
}

void TRawStream::CreateExtRing(int values) {
    extInputBuffer_ =
        std::make_unique<TCyclicInputBuffer>(extRawBuffer_, 4 * (values + 1), extContext_);
    RestartTimers();
    nmea_.Clear();
}

void TRawStream::ReleaseAfterFailure() {
    extFile_.reset();
    rawFile_.reset();
    nmeaPort_.reset();
}

void TRawStream::RestartTimers() {
    const std::uint64_t now = Clock().TickMs();
    nmeaTimer_ = parTimer_ = ctdTimer_ = parCycleStart_ = now;
}

bool TRawStream::OpenFile(const fs::path& fileName) {
    bool extOpened = false;
    const bool done = Guard({"Error in rawStream.OpenFile"}, [&] {
        streamName_ = fileName;
        rawFile_ = std::make_unique<TFileStream>(fileName, TFileMode::OpenRead);
        endOfStream_ = false;
        const TFrameInfo& info = frames_.FrameInfo;
        if (!info.UseExtPara)
            return;
        CreateExtRing(info.ExtCount - info.RawCount);
        extFile_ = std::make_unique<TFileStream>(ExtFileName(fileName), TFileMode::OpenRead);
        extOpened = true;
    });
    if (!done) {
        extFile_.reset();
        rawFile_.reset();
        endOfStream_ = true;
    }
    return extOpened;
}

void TRawStream::RefreshContext() {
    context_.Protocol = frames_.ProbeInfo.Protocol;
    context_.RealTimeOn = frames_.Acqui.RealTimeOn;
    context_.SaveBytes = isOnLine_;
    context_.RawIndex = frames_.Acqui.RawIndex;
    try {
        const TDataValidation& validation = frames_.Cfg().DataValidation;
        context_.minTimeInterval = validation.minTimeInterval;
        context_.maxTimeInterval = validation.maxTimeInterval;
        context_.datasetCount = validation.datasetCount;
    } catch (const EMarevoError&) {
        // A bare tool without a configuration checks with the ring's defaults.
    }
    context_.UseExtPara = frames_.FrameInfo.UseExtPara && extInputBuffer_ != nullptr;
    context_.AppendedValues = frames_.FrameInfo.ExtCount - frames_.FrameInfo.RawCount;
    context_.ExtRing = extInputBuffer_.get();
}

bool TRawStream::EnoughByte() {
    return GuardOr({"Error in TRawStream.EnoughByte"}, false, [&] {
        const int frameSize = inputBuffer_->FrameSize();
        if (!isOnLine_) {
            const bool enough =
                rawFile_ && rawFile_->Size() - rawFile_->Position() >= std::int64_t(frameSize);
            if (!enough)
                endOfStream_ = true;
            return enough;
        }
        KeepProbeDevice();
        const bool enough = probePort_ && probePort_->IsOpen() && probePort_->size() >= frameSize;
        if (enough) {
            startTimeout_ = Clock().Now();
            noData_ = false;
            ctdTimer_ = Clock().TickMs();
            ctdLinkOff_ = false;
            return true;
        }
        if (Clock().Now() - startTimeout_ > delayTimeOut_)
            noData_ = true;
        if (Elapsed(ctdTimer_, LinkTimeoutMs)) {
            ctdTimer_ = Clock().TickMs();
            ctdLinkOff_ = true;
        }
        return false;
    });
}

void TRawStream::KeepProbeDevice() {
    if (!probePort_ || probePort_->DevicePath().empty() || !probePort_->HungUp())
        return;
    const std::string device = probePort_->DevicePath().string();
    if (!probeLost_) {
        probeLost_ = true;
        probeReopenTimer_ = Clock().TickMs();
        WriteLog("Probe link lost: " + device + " is gone, opening it again every " +
                 std::to_string(ProbeReopenMs / 1000) + " s");
        return;
    }
    if (!Elapsed(probeReopenTimer_, ProbeReopenMs))
        return;
    probeReopenTimer_ = Clock().TickMs();
    if (probePort_->Reopen()) {
        probeLost_ = false;
        WriteLog("Probe link back: " + device + " opened again, the cast goes on");
    }
}

bool TRawStream::GetNewFrame() {
    return GuardOr({"Error in TRawStream.GetNewFrame"}, false, [&] {
        bool ok = false;
        if (EnoughByte()) {
            RefreshContext();
            if (isOnLine_) {
                TPortByteSource probe(*probePort_);
                ok = inputBuffer_->ReadNewRawSet(probe);
                if (ok) {
                    ReadCommExt();
                    ReadCommWinch();
                    ReadCommNMEA();
                }
            } else {
                TStreamByteSource file(*rawFile_);
                ok = inputBuffer_->ReadNewRawSet(file);
                if (ok)
                    ReadExternalFile();
            }
        } else if (noData_) {
            // Whatever waits on the auxiliary ports is stale by the time the probe resumes.
            const TFrameInfo& info = frames_.FrameInfo;
            if (info.UseExternal && extPort_ && extPort_->IsOpen())
                extPort_->flush();
            if (info.UseNmea && nmeaPort_ && nmeaPort_->IsOpen()) {
                nmeaPort_->flush();
                nmea_.Clear();
            }
        }
        return ok;
    });
}

bool TRawStream::SaveToRawFiles(bool lastSave) {
    bool saved = false;
    if (rawFile_)
        saved = inputBuffer_->SaveToRawFile(*rawFile_, lastSave);
    const TFrameInfo& info = frames_.FrameInfo;
    bool extSaved = false;
    if ((info.UseNmea || info.UseExtPara) && extInputBuffer_ && extFile_ && isOnLine_)
        extSaved = extInputBuffer_->SaveToRawFile(*extFile_);
    Guard({"Error in rawStream.SaveToRawFiles"}, [&] {
        if (saved)
            rawFile_->DataSync();
        if (extSaved)
            extFile_->DataSync();
    });
    return saved;
}

// ---- Auxiliary inputs ---------------------------------------------------------------------------

bool TRawStream::ReadCommNMEA() {
    const TFrameInfo& info = frames_.FrameInfo;
    if (!extInputBuffer_ || (!info.UseExtPara && !nmeaCommOk_))
        return true;
    if (info.UseNmea) {
        if (ReadNmeaSentence()) {
            nmeaTimer_ = Clock().TickMs();
            nmeaLinkOff_ = false;
        } else if (Elapsed(nmeaTimer_, LinkTimeoutMs)) {
            StatusMessage(NmeaTimeoutText);
            nmeaTimer_ = Clock().TickMs();
            nmeaLinkOff_ = true;
        }
    }
    extInputBuffer_->StoreRecord();
    return true;
}

bool TRawStream::ReadNmeaSentence() {
    if (!nmeaCommOk_)
        return false;
    try {
        std::array<std::uint8_t, 256> chunk;
        for (int waiting = nmeaPort_->size(); waiting > 0;) {
            const std::size_t n =
                nmeaPort_->Read(chunk.data(), std::min<std::size_t>(chunk.size(), waiting));
            if (n == 0)
                break;
            nmea_.Feed(std::span(chunk.data(), n));
            waiting -= static_cast<int>(n);
        }
    } catch (...) {
        StatusMessage("GetNMEA: Exception!" + CurrentFailureMessage());
    }
    const TNmeaFix fix = nmea_.ReadSentence(frames_.Env().NMEAPrefix.Get());
    if (fix.result == TNmeaResult::Fix) {
        extInputBuffer_->SetExtValue(0, 0.0f);
        extInputBuffer_->SetExtValue(1, static_cast<float>(fix.latitude));
        extInputBuffer_->SetExtValue(2, static_cast<float>(fix.longitude));
        extInputBuffer_->SetExtValue(3, 1.0f);
        return true;
    }
    const std::string_view message = NmeaResultMessage(fix.result);
    if (!message.empty())
        StatusMessage(message);
    return false;
}

bool TRawStream::ReadCommExt() {
    const TFrameInfo& info = frames_.FrameInfo;
    if (!info.UseExternal || !extInputBuffer_)
        return true;
    const std::uint64_t now = Clock().TickMs();
    const bool canSend = extCommOk_ && extPort_;
    if (now > parCycleStart_ + ParCycleMs) {
        if (canSend)
            SendParCommand(*extPort_, ParQueryCommand);
        parCycleStart_ = now;
        par2dSent_ = false;
        return true;
    }
    if (now > parCycleStart_ + ParSecondCommandMs) {
        if (par2dSent_)
            return true;
        if (canSend)
            SendParCommand(*extPort_, ParSecondCommand);
        par2dSent_ = true;
    }
    if (!info.UseExtPara || !canSend)
        return true;
    const TEnviron& env = frames_.Env();
    int index = -1;
    for (int i = 0; i < env.ExtParaList.count && i < MaxParaListCount; ++i) {
        if (env.ExtParaList.List[i] == ParReferencePara) {
            index = i + (info.UseNmea ? 4 : 1);
            break;
        }
    }
    std::optional<double> volts;
    if (index >= 0 && index <= MaxExtIndex) {
        TPortByteSource port(*extPort_);
        volts = ReadParReply(port);
    }
    if (volts) {
        const double value = ParValue(*volts, env.ExtParOffsetV.ToDouble(),
                                      env.ExtParScale.ToDouble(), env.ExtParMultiplier.ToDouble());
        extInputBuffer_->SetExtValue(index, static_cast<float>(value));
        SendParCommand(*extPort_, ParQueryCommand);
        par2dSent_ = false;
        parCycleStart_ = Clock().TickMs();
        parTimer_ = parCycleStart_;
        parLinkOff_ = false;
    } else if (Elapsed(parTimer_, LinkTimeoutMs)) {
        StatusMessage(ParTimeoutText);
        parTimer_ = Clock().TickMs();
        parLinkOff_ = true;
    }
    return true;
}

// The winch counter (809) shares the external port, but the bytes it sends are not defined for
// this system yet: its record value stays as it is until the counter's line format is known.
bool TRawStream::ReadCommWinch() {
    return true;
}

bool TRawStream::ReadExternalFile() {
    if (!frames_.FrameInfo.UseExtPara || !extInputBuffer_ || !extFile_)
        return true;
    const int size = extInputBuffer_->FrameSize();
    std::array<std::uint8_t, RawBufferSize> record{};
    // A truncated .ext file keeps the last whole record rather than a half-read one.
    if (extFile_->Read(record.data(), static_cast<std::size_t>(size)) !=
        static_cast<std::size_t>(size))
        return false;
    for (int i = 0; i < size / 4 && i <= MaxExtIndex; ++i) {
        float v;
        std::memcpy(&v, record.data() + 4 * i, sizeof v);
        extInputBuffer_->SetExtValue(i, v);
    }
    return true;
}

bool ReplayRawFile(TParamCollection& cast, const std::filesystem::path& fileName) {
    const std::unique_ptr<TRawStream> source = TRawStream::Create(&cast);
    return cast.ReadRawFile(fileName, *source);
}

} // namespace marevo
