#include "acquisition/DataExtraction.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "processing/ParamCollection.h"

#include <algorithm>
#include <cmath>

namespace marevo {

namespace fs = std::filesystem;

TExtractionSetup TExtractionSetup::From(const TExtractionTextFoldersCfg& cfg) {
    TExtractionSetup s;
    s.mode = cfg.AutomaticTextDataExportMode;
    // The time-out is a date-time span [days]; whole milliseconds, at least one.
    const double ms = cfg.AutomaticTextDataExportTimeout * 86'400'000.0;
    if (std::isfinite(ms) && ms >= 1.0)
        s.periodMs = static_cast<std::uint32_t>(std::llround(std::min(ms, 86'400'000.0)));
    s.append = cfg.AutomaticTextDataExportAppend != 0;
    return s;
}

fs::path AutomaticExportFileName(const TConfig& config, const fs::path& dataRoot,
                                 const fs::path& castRaw) {
    const TExtractionTextFoldersCfg& cfg = config.ExtractionFoldersCfg;
    if (cfg.AutomaticTextDataExportMode == TEMDisabled)
        return {};
    if (cfg.AutomaticTextDataExportCastFileName)
        return fs::path(cfg.AutomaticTextDataExportFileName.Get());
    const fs::path folder = config.TxtDir(dataRoot);
    if (folder.empty() || castRaw.empty())
        return {};
    return folder / castRaw.filename().replace_extension(".txt");
}

TDataExtractionThread::TDataExtractionThread(TParamCollection& cast, TCastRowLock& rowLock)
    : cast_(cast), rowLock_(rowLock) {}

TDataExtractionThread::~TDataExtractionThread() {
    ExitThread();
}

void TDataExtractionThread::Initialize(const TExtractionSetup& setup) {
    setup_ = setup;
}

void TDataExtractionThread::Prepare(const fs::path& fileName) {
    fileName_ = fileName;
    startidx_ = 0;
    eventTerminate_ = false;
    eventStartDataExtraction_ = true;
}

void TDataExtractionThread::Start(const fs::path& fileName) {
    if (thread_.joinable())
        ExitThread();
    Prepare(fileName);
    event_.Signal();
    thread_ = std::thread([this] { Execute(); });
}

void TDataExtractionThread::RequestTerminate() {
    eventTerminate_ = true;
    event_.Signal();
}

void TDataExtractionThread::ExitThread() {
    if (!thread_.joinable())
        return;
    RequestTerminate();
    thread_.join();
}

bool TDataExtractionThread::Wake(bool signalled) {
    if (eventTerminate_) {
        eventTerminate_ = false;
        Export(true);
        return false;
    }
    if (signalled) {
        eventStartDataExtraction_ = false;
        return true;
    }
    if (setup_.mode == TEMOnTimeout)
        Export(false);
    return true;
}

void TDataExtractionThread::Execute() {
    bool more = true;
    while (more)
        more = Wake(event_.Wait(Clock(), setup_.periodMs));
}

void TDataExtractionThread::Export(bool final) {
    Guard({"DataExtractionThread.Execute"}, [&] {
        if (fileName_.empty())
            return;
        if (fileName_.has_parent_path())
            fs::create_directories(fileName_.parent_path());
        // The worker appends no row meanwhile, and waits for no longer than this export.
        std::lock_guard guard(rowLock_);
        if (!final && !cast_.Acqui.RealTimeOn)
            return;
        const bool append = final ? setup_.mode == TEMOnEndAcquisition && setup_.append : true;
        std::int32_t start = final ? 0 : startidx_;
        // TxtSave reports its own failures.
        if (cast_.TxtSave(fileName_, append, !final, start)) {
            if (!final)
                startidx_ = start;
            ++exports_;
        }
    });
}

} // namespace marevo
