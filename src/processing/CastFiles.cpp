// The binary cast file and the replay of a raw frame file.

#include "processing/CastFiles.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/Settings.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <system_error>

namespace marevo {

namespace fs = std::filesystem;

namespace {

std::atomic<bool> showDataErrorButton{false};

// A raw file shorter than this holds no frame worth replaying.
constexpr std::int64_t MinRawFileSize = 10;
// The import's progress display is refreshed at most this often [ms].
constexpr std::uint64_t ProgressPeriodMs = 100;
constexpr std::string_view ImportActivity = "Import Raw File";

// The extension of binary cast files in the environment; "BIN" on a bare tool.
std::string BinaryExtension(const TParamCollection& col) {
    try {
        const std::string ext = col.Env().Ext[FileTypeBinary].Get();
        return ext.empty() ? "BIN" : ext;
    } catch (...) {
        return "BIN";
    }
}

// The current cast's binary file: the cruise's bin folder, cruise name, three-digit cast number,
// ".bin" (as the cruise file names it).
fs::path CurrentBinPath(const TParamCollection& col) {
    if (!col.Loaded.CastHeader)
        Raise("no current cast");
    const TConfig& cfg = col.Cfg();
    // Without a data folder the cruise's folders would be taken from the working folder.
    const fs::path root = col.Env().DataRootPath();
    if (root.empty())
        Raise("no data folder");
    const fs::path dir = cfg.BinDir(root);
    if (dir.empty())
        Raise("no current cruise");
    return BinFileName(dir, cfg.GenCfg.CruiseName.Get(), col.Loaded.CastHeader->ID);
}

// Ends the import's progress display on every way out.
struct TProgressEnd {
    ~TProgressEnd() { Operator().Progress(ImportActivity, 0, 0); }
};

} // namespace

void SetShowDataErrorButton(bool down) {
    showDataErrorButton.store(down, std::memory_order_relaxed);
}

bool ShowDataErrorButton() {
    return showDataErrorButton.load(std::memory_order_relaxed);
}

// ---- Binary cast file ---------------------------------------------------------------------------

TParaStatus TParamCollection::SaveAsBin(bool ask) {
    TParamCollection& cast = *this;
    if (cast.Loaded.TypeLoaded == FileTypeNone) {
        Operator().Message("No Data Loaded!", "", TMessageKind::Information);
        return ParaFailed;
    }
    return GuardOr({"Error in TParamCollection.SaveAsBin", "Binary file write"}, ParaFailed, [&] {
        fs::path name = cast.Loaded.FileLoaded.filename();
        name.replace_extension("." + BinaryExtension(cast));
        const std::string question = "Save Current Data as: " + name.string();
        if (ask && !Operator().Confirm(question, "Save As Binary File"))
            return ParaOk;
        // BinSave reports its own failure.
        cast.BinSave(CurrentBinPath(cast));
        return ParaOk;
    });
}

TParaStatus TParamCollection::BinSave(const fs::path& StreamName) {
    return GuardOr({"Error in TParamCollection.BinSave", "Binary file write"}, ParaFailed, [&] {
        fs::path name = StreamName;
        name.replace_extension(".bin");
        std::int32_t n = 0;
        for (const auto& p : *this)
            if (TParamRaw::IsStoredType(p->ParaType()))
                ++n;
        std::fill(std::begin(Bin.SortInfo.reserve), std::end(Bin.SortInfo.reserve), 0);
        const std::array<std::uint8_t, CastFileReserveSize> reserve{};
        // The whole file is replaced at once: a failed rewrite (full disk) keeps the cast's
        // previous binary file instead of leaving a damaged one.
        WriteFileAtomically(name, [&](TStream& out) {
            TRecordWriter w(out, "TParamCollection.BinSave: write error - ");
            w.Put(n, "count");
            w.Put(Bin.SortInfo, "SortInfo");
            w.PutBytes(reserve.data(), reserve.size(), "reserve");
            for (int i = 0; i < Count(); ++i) {
                const TParameter& p = *Items(i);
                if (!TParamRaw::IsStoredType(p.ParaType()))
                    continue;
                w.Put(static_cast<std::int32_t>(i), "index");
                w.Put(p.GetParaNb(), "ParaNb");
                if (!p.WriteSortedBuffer(out))
                    Raise("TParamCollection.BinSave: write error - " + p.GetParaStr());
            }
        });
        return ParaOk;
    });
}

bool TParamCollection::BinRead(const fs::path& StreamName) {
    ResetBuffers();
    Loaded.TypeLoaded = FileTypeNone;
    return Guard({"Error in TParamCollection.BinRead", "Binary file read"}, [&] {
        TFileStream in(StreamName, TFileMode::OpenRead);
        TRecordReader r(in, "TAcquiCollection.ReadBin: read error - ");
        const auto n = r.Get<std::int32_t>("count");
        // The binning record replaces the collection's only once it was read whole.
        const auto sortInfo = r.Get<TSortInfo>("SortInfo");
        std::array<std::uint8_t, CastFileReserveSize> reserve{};
        r.GetBytes(reserve.data(), reserve.size(), "reserve");
        // A record holds at least its two numbers and an array head of 16 bytes: a count the
        // rest of the file cannot hold is refused before anything is read into the series.
        if (n < 0 || n > Count() || n > (in.Size() - CastFileHeadSize) / 24)
            Raise("TAcquiCollection.ReadBin: bad value - count");
        Bin.SortInfo = sortInfo;
        for (std::int32_t k = 0; k < n; ++k) {
            const auto index = r.Get<std::int32_t>("index");
            const auto number = r.Get<std::int32_t>("ParaNb");
            if (index > Count())
                Raise("TAcquiCollection.ReadBin: index>count");
            if (index < 0 || index == Count())
                Raise(fmt::format("TAcquiCollection.ReadBin: no parameter at index {}", index));
            TParameter& p = *Items(index);
            if (p.GetParaNb() != number)
                Raise("TAcquiCollection.ReadBin: index<>count");
            if (!p.ReadSortedBuffer(in))
                Raise("TAcquiCollection.ReadBin: read error - " + p.GetParaStr());
        }
        Loaded.TypeLoaded = FileTypeBinary;
        Loaded.FileLoaded = StreamName;
    });
}

// ---- Raw file replay ----------------------------------------------------------------------------

bool TParamCollection::ReadRawFile(const fs::path& StreamName, IFrameSource& source) {
    // Refused before anything is reset: the running source may be filling this collection.
    if (frameSource_) {
        ReportFailure({"ParamCollection error ReadRawFile", "Raw file read"},
                      "another data source is running");
        return false;
    }
    // The source feeds this collection only while the replay runs.
    struct TSourceRelease {
        IFrameSource*& attached;
        ~TSourceRelease() { attached = nullptr; }
    } release{frameSource_};
    frameSource_ = &source;
    TProgressEnd progressEnd;

    return Guard({"ParamCollection error ReadRawFile", "Raw file read"}, [&] {
        ResetBuffers();
        Loaded.TypeLoaded = FileTypeNone;
        StatusMessage("Start Import RawFile " + StreamName.string());
        SetSortInfo();

        std::error_code ec;
        const auto size = fs::file_size(StreamName, ec);
        if (ec)
            Raise(fmt::format("{}: {}", StreamName.string(), ec.message()));
        source.OpenFile(StreamName);
        if (static_cast<std::int64_t>(size) < MinRawFileSize)
            Raise("Raw File is empty, import aborted");

        Operator().Progress(ImportActivity, 0, 100);
        if (Loaded.Bottles)
            Loaded.Bottles->Clear();
        BtlAlarm.C_LastBtlNumber = -1;
        BtlAlarm.c_BottleTims = 0;
        BtlAlarm.C_BtlStatus = btl_Ready;

        // The data source does not tell its file position: the frames taken in, each at least
        // one frame long, measure the progress.
        const double frameBytes = std::max(1, source.FrameSize());
        ReservePostSeries(static_cast<std::int64_t>(double(size) / frameBytes));
        std::uint64_t lastProgress = Clock().TickMs();
        while (!source.EndOfStream()) {
            DoAcqui(source);
            const std::uint64_t now = Clock().TickMs();
            if (now - lastProgress > ProgressPeriodMs) {
                lastProgress = now;
                const double done =
                    std::min(1.0, Acqui.RawIndex * frameBytes / static_cast<double>(size));
                if (!Operator().Progress(ImportActivity, std::lround(done * 100), 100))
                    Raise("import cancelled by the operator");
            }
        }
        Operator().Progress(ImportActivity, 100, 100);
        DoAcquiEnd();
        if (Loaded.CastHeader)
            Loaded.CastHeader->DataSetNb = Acqui.RawIndex;

        StatusMessage("Import Raw File completed");
        WriteLog(fmt::format(
            "End import Raw File Num.Frame[{}] Invalid Frame[{}]Validate errors[{}]",
            Acqui.RawIndex, Loaded.CastHeader ? Loaded.CastHeader->FrameError : Acqui.FrameError,
            Acqui.ValidateError));
        WriteLog(
            fmt::format("CRC Error[{}] TIME Error[{}]", source.CRCError(), source.TIMEError()));
        Loaded.TypeLoaded = FileTypeRaw;
        Loaded.FileLoaded = StreamName;
    });
}

} // namespace marevo
