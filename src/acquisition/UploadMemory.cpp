#include "acquisition/UploadMemory.h"

#include "acquisition/CastFilesAside.h"
#include "acquisition/RTCast.h"
#include "acquisition/AcquiView.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/Words.h"
#include "probelink/FileComm.h"
#include "probelink/RawStream.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Environ.h"
#include "records/Settings.h"
#include "storage/CruiseFile.h"

#include <fmt/core.h>

#include <charconv>
#include <cmath>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// The worker's sleep while no upload runs; a request ends it at once [ms].
constexpr std::uint32_t IdleSleepMs = 1000;

void Trim(std::string& s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.back()))
        s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && blank(s[i]))
        ++i;
    s.erase(0, i);
}

// The cast host TRTCast asks for: the upload has no live windows to refresh.
class TNoCastWindows final : public ICastHost, public IAcquiView {
public:
    IAcquiView& View() override { return *this; }
};

TNoCastWindows& NoCastWindows() {
    static TNoCastWindows windows;
    return windows;
}

} // namespace

// ---- The cast list ----------------------------------------------------------------------------

TUploadList UpdateListBox(TQvlUtil& qvl, const TProbePortOpener& open) {
    TUploadList list;
    std::unique_ptr<TFileCOMM> port;
    const bool guarded = Guard({"Error in TUploadDialog.UpdateListBox"}, [&] {
        port = open ? open() : nullptr;
        if (!port || !port->IsOpen()) {
            WriteLog("UdateListBox-Error openning COM port!");
            Operator().Message("Error openning COM port!", "Warning", TMessageKind::Warning);
            return;
        }
        if (!qvl.MemoryStatus(*port)) {
            StatusMessage("Get Memory status Failed");
            Operator().Beep();
            Operator().Message("Get Memory status Failed !", "Warning", TMessageKind::Warning);
            return;
        }
        const std::int32_t last = qvl.LastMemoryCast();
        if (last <= 0) {
            StatusMessage("No cast in memory");
            Operator().Beep();
            Operator().Message("No cast in memory !", "Warning", TMessageKind::Warning);
            return;
        }
        StatusMessage("Get Memory status OK");
        for (std::int32_t c = 1; c <= last; ++c) {
            StatusMessage(fmt::format("Get Cast header No.: [{}/{}]", c, last));
            std::string text;
            if (qvl.GetCastInfo(*port, c, text))
                list.items.push_back(text);
            else
                StatusMessage(fmt::format("ERROR in Cast header No.: [{}]", c));
        }
        StatusMessage("Cast list loaded");
        list.CastNb = list.items.empty() ? 0 : 1;
        list.filled = true;
    });
    if (port)
        port->free();
    if (!guarded)
        list = {};
    return list;
}

TUploadSelection CountSelection(const std::vector<bool>& selected) {
    TUploadSelection s;
    for (bool on : selected)
        s.CastCount += on ? 1 : 0;
    s.uploadEnabled = s.CastCount > 0;
    return s;
}

std::string ItemCastText(const std::string& item) {
    std::string text = item.substr(0, item.find(' '));
    Trim(text);
    return text;
}

std::optional<std::int32_t> ItemCastNumber(const std::string& item) {
    const std::string text = ItemCastText(item);
    std::int32_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

void KeepUploadedScanRate(TCastInfo& cast, const TMemoryCast& memory) {
    long double rate = memory.MemInterval;
    if (memory.MemAcquiMode == rm_timed && memory.MemInterval > 0.01L)
        rate = 1.0L / memory.MemInterval;
    cast.ScanRate = TExtended::FromLongDouble(rate);
    cast.RawMode = static_cast<TRawMode>(memory.MemAcquiMode);
}

void FillUploadedCastHeader(TCastInfo& cast, const TMemoryCast& memory) {
    KeepUploadedScanRate(cast, memory);
    for (TDateTime& t : cast.CastTime)
        t = memory.MemDateTime;
    cast.InfoStr[1].Set(memory.MemCastName.substr(0, 40));
    cast.DataSetNb = memory.MemSetNb;
    cast.FrameError = 0;
}

std::string UploadProgressText(std::int32_t castsBegun, std::int32_t castCount,
                               std::int32_t castNumber, std::int32_t frameIndex,
                               std::int32_t castSize) {
    return fmt::format("Upload cast: {} of {}\r\nCast #{}, Dataset #{} of #{}", castsBegun,
                       castCount, castNumber, frameIndex, castSize);
}

// ---- The worker -------------------------------------------------------------------------------

TUploadMemoryThread::TUploadMemoryThread(TCruisefile& cruise, IUploadHost& host)
    : cruise_(cruise), host_(host), cast_(cruise.CastInfoc.Probe),
      rt_(std::make_unique<TRTCast>(cruise, NoCastWindows())),
      linkCol_(std::make_unique<TParamCollection>()),
      link_(std::make_unique<TQvlUtil>(linkCol_.get())) {
    OpenSource = [](const fs::path& raw, TParamCollection& cast, bool& isCommOpen) {
        return TRawStream::CreateEx(true, isCommOpen, raw, &cast);
    };
}

TUploadMemoryThread::~TUploadMemoryThread() {
    ExitThread();
    if (thread_.joinable())
        WaitFor(MainThread());
}

void TUploadMemoryThread::SetList(std::vector<std::string> items, std::vector<bool> selected) {
    selected.resize(items.size(), false);
    std::lock_guard guard(listLock_);
    nextItems_ = std::move(items);
    nextSelected_ = std::move(selected);
}

void TUploadMemoryThread::Start() {
    start_ = true;
    wake_.Signal();
}

void TUploadMemoryThread::Abort() {
    abort_ = true;
    wake_.Signal();
}

void TUploadMemoryThread::Skip() {
    skip_ = true;
    wake_.Signal();
}

void TUploadMemoryThread::ExitThread() {
    exit_ = true;
    wake_.Signal();
}

void TUploadMemoryThread::Hand(const std::function<void()>& step) {
    MainThread().Run(step);
}

bool TUploadMemoryThread::TransferWait(std::uint32_t ms) {
    if (AnyRequest())
        return false;
    wake_.Wait(Clock(), ms);
    return !AnyRequest();
}

void TUploadMemoryThread::Pass() {
    const bool done = Guard({"Error in UploadMemoryThread.Execute"}, [&] {
        if (start_.exchange(false) && !doUploadFlag_)
            BeginUpload();
        if (abort_.exchange(false) && doUploadFlag_) {
            doUploadFlag_ = false;
            EndUpload();
        }
        if (skip_.exchange(false) && doUploadFlag_ &&
            castIndex_ < static_cast<std::int32_t>(items_.size())) {
            StopAndFree(true);
            const int index = castIndex_;
            const bool chosen = selected_[static_cast<std::size_t>(index)];
            Hand([&] {
                host_.UnselectItem(index);
                if (chosen)
                    host_.CastResult(index, TUploadResult::Skipped, raw_);
            });
            selected_[static_cast<std::size_t>(index)] = false;
            firstTime_ = true;
            ++castIndex_;
        }
        if (doUploadFlag_ && !AnyRequest() && !start_) {
            doUploadFlag_ = ManageUpload();
            if (!doUploadFlag_)
                EndUpload();
        }
    });
    if (!done && doUploadFlag_) {
        // Whatever broke, the upload ends as every upload does.
        doUploadFlag_ = false;
        EndUpload();
    }
}

void TUploadMemoryThread::Execute() {
    while (!exit_) {
        Pass();
        if (!doUploadFlag_ && !exit_ && !start_ && !abort_ && !skip_)
            wake_.Wait(Clock(), IdleSleepMs);
    }
    exit_ = false;
    if (doUploadFlag_ || source_) {
        doUploadFlag_ = false;
        EndUpload();
    }
}

void TUploadMemoryThread::Run() {
    if (thread_.joinable())
        return;
    finished_ = false;
    thread_ = std::thread([this] {
        Execute();
        finished_ = true;
    });
}

void TUploadMemoryThread::WaitFor(IMainThread& mainThread) {
    while (thread_.joinable() && !finished_)
        mainThread.Serve(5);
    if (thread_.joinable())
        thread_.join();
}

void TUploadMemoryThread::BeginUpload() {
    {
        std::lock_guard guard(listLock_);
        items_ = nextItems_;
        selected_ = nextSelected_;
    }
    castIndex_ = castsBegun_ = frameIndex_ = castSize_ = 0;
    castCount_ = CountSelection(selected_).CastCount;
    firstTime_ = true;
    Hand([&] {
        savedAcquiCfg_ = cast_.Cfg().AcquiCfg;
        host_.SetUploadEnv();
    });
    doUploadFlag_ = true;
}

void TUploadMemoryThread::EndUpload() {
    StopAndFree(true);
    Hand([&] {
        host_.SetNormalEnv();
        if (savedAcquiCfg_)
            cast_.Cfg().AcquiCfg = *savedAcquiCfg_;
        savedAcquiCfg_.reset();
        cast_.Acqui.ProbeOnLine = false;
        cast_.Acqui.RealTimeOn = false;
        host_.ResetDialog();
    });
    firstTime_ = true;
}

void TUploadMemoryThread::StopAndFree(bool partial) {
    if (!source_)
        return;
    if (TFileCOMM* port = source_->CommStream())
        link_->Stop(*port);
    Hand([&] {
        source_.reset();
        rt_->Protocol().CloseXfrFile();
        if (partial)
            Guard({"Error in UploadMemoryThread.KeepPartialFiles"},
                  [&] { KeepPartialCastFiles(raw_); });
    });
}

bool TUploadMemoryThread::ManageUpload() {
    const auto count = static_cast<std::int32_t>(items_.size());
    if (castIndex_ >= count)
        return false;
    const auto index = static_cast<std::size_t>(castIndex_);
    if (!selected_[index]) {
        ++castIndex_;
        return castIndex_ < count;
    }
    const std::string text = ItemCastText(items_[index]);
    const std::optional<std::int32_t> number = ItemCastNumber(items_[index]);
    int r = 2;
    if (!number)
        Hand([&] {
            Operator().Message("Uploading cast #" + text + " from memory probe. Cast number error!",
                               "Error", TMessageKind::Warning);
        });
    else
        r = GetCurrentMemoryCast(*number);
    switch (r) {
    case 0: {
        const int done = castIndex_;
        selected_[index] = false;
        StopAndFree(false);
        Hand([&] {
            host_.UnselectItem(done);
            SaveBin();
            host_.CastResult(done, TUploadResult::Completed, raw_);
        });
        firstTime_ = true;
        ++castIndex_;
        return castIndex_ < count;
    }
    case 1: return true;
    default: {
        const int failed = castIndex_;
        if (number)
            StopAndFree(true);
        Hand([&] {
            host_.CastResult(failed, TUploadResult::Failed, raw_);
            if (number)
                Operator().Message("Error uploading cast #" + text + " from memory probe!",
                                   "Error", TMessageKind::Error);
        });
        return false;
    }
    }
}

int TUploadMemoryThread::GetCurrentMemoryCast(std::int32_t castNumber) {
    int result = 1;
    const bool guarded = Guard({"Cast Upload failed "}, [&] {
        castNumber_ = castNumber;
        bool ok = true;
        const bool first = firstTime_;
        if (first) {
            ++castsBegun_;
            // The probe's identification talks to it for seconds: here on the worker, between
            // the two steps that change the collection's flags and open the cast's files.
            bool begun = false;
            Hand([&] { PrepareCast(); });
            const bool identified = rt_->InitRTMCA(castNumber);
            Hand([&] { begun = BeginCast(identified); });
            if (!begun) {
                result = 2;
                return;
            }
        }
        if (source_)
            source_->UploadWait = [this](std::uint32_t ms) { return TransferWait(ms); };
        ok = source_ &&
             source_->UploadProbeMemory(*link_, castNumber, first, frameIndex_, castSize_);
        if (!ok && source_ && source_->UploadInterrupted())
            return; // a request of the operator: the next pass handles it
        if (!ok) {
            Hand([&] { FailCast(); });
            result = 2;
            return;
        }
        if (first) {
            firstTime_ = false;
            Hand([&] { host_.EnableSkipAbort(); });
        }
        // The first set shows the bar at once; then every 10 sets and the last.
        if (first || frameIndex_ % 10 == 0 || frameIndex_ == castSize_)
            UpdateDialog();
        if (frameIndex_ == castSize_) {
            bool completed = false;
            Hand([&] { completed = CompleteCast(); });
            result = completed ? 0 : 2;
        }
    });
    if (!guarded) {
        StopAndFree(true);
        Hand([&] { FailCast(); });
        result = 2;
    }
    return result;
}

void TUploadMemoryThread::PrepareCast() {
    cast_.Acqui.ProbeOnLine = cast_.Acqui.RealTimeOn = false;
    if (OpenProbePort)
        rt_->Protocol().OpenProbePort = OpenProbePort;
    rt_->Protocol().SetDelay(cast_.Env().CommDelay);
    link_->SetDelay(cast_.Env().CommDelay);
}

bool TUploadMemoryThread::BeginCast(bool identified) {
    if (!identified) {
        rt_->Protocol().CloseXfrFile();
        cast_.Loaded.TypeLoaded = FileTypeNone;
        StatusMessage("Probe initialization failed");
        return false;
    }
    raw_ = rt_->RawFile();
    cast_.SetSortInfo();
    cast_.Loaded.TypeLoaded = FileTypeRaw;
    cast_.Loaded.FileLoaded = raw_;
    bool isOpen = false;
    source_ = OpenSource ? OpenSource(raw_, cast_, isOpen) : nullptr;
    if (!source_ || !isOpen || !source_->CommStream()) {
        WriteLog("Cast Upload failed the probe port of " + raw_.filename().string() +
                 " cannot be opened");
        source_.reset();
        rt_->Protocol().CloseXfrFile();
        FailCast();
        return false;
    }
    StatusMessage("CTD initialization");
    TAcquiCfg& acqui = cast_.Cfg().AcquiCfg;
    acqui.AcquiMode = AM_All;
    acqui.AllStep = 1;
    acqui.AllStart = 1;
    // The data format of the transfer, and the memory status the cast's description needs.
    if (!link_->MemoryStatus(*source_->CommStream())) {
        FailCast();
        return false;
    }
    cast_.Acqui.ProbeOnLine = true;
    cast_.Acqui.RealTimeOn = false;
    frameIndex_ = castSize_ = 0;
    return true;
}

bool TUploadMemoryThread::CompleteCast() {
    TCastInfo& header = cruise_.CastInfoc.Cast;
    FillUploadedCastHeader(header, link_->MemCast);
    const bool appended = cruise_.AppendCast(true);
    cast_.Acqui.ProbeOnLine = cast_.Acqui.RealTimeOn = false;
    if (!appended) {
        WriteLog("Cast Upload failed the cast " + raw_.filename().string() +
                 " cannot be appended to the cruise file");
        FailCast();
        return false;
    }
    ++appended_;
    StatusMessage("Cast Upload completed");
    return true;
}

void TUploadMemoryThread::FailCast() {
    cast_.Loaded.TypeLoaded = FileTypeNone;
    StatusMessage("CTD data uploading failed");
    cast_.Acqui.ProbeOnLine = cast_.Acqui.RealTimeOn = false;
}

void TUploadMemoryThread::UpdateDialog() {
    const int percent =
        castSize_ > 0 ? static_cast<int>(std::lround(100.0 * frameIndex_ / castSize_)) : 0;
    const std::string text =
        UploadProgressText(castsBegun_, castCount_, castNumber_, frameIndex_, castSize_);
    Hand([&] {
        host_.ShowProgress(percent);
        host_.ShowResult(text);
    });
}

void TUploadMemoryThread::SaveBin() {
    Guard({"Error in UploadMemoryThread.SaveBin"}, [&] {
        cast_.Cfg().AcquiCfg.AcquiMode = AM_All;
        if (!host_.SaveBin(raw_, link_->MemCast))
            Raise("the binary file of " + raw_.filename().string() + " was not written");
    });
}

} // namespace marevo
