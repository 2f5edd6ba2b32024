#include "storage/CastImport.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "foundation/Words.h"
#include "foundation/Runtime.h"
#include "foundation/SafeFiles.h"
#include "foundation/Stream.h"
#include "parameters/ParaCatalogue.h"
#include "probelink/ByteSource.h"
#include "probelink/InputBuffer.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "processing/Collections.h"
#include "records/Settings.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "storage/CruiseFile.h"
#include "records/Environ.h"

#include <fmt/core.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <tuple>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// The probe's replies kept by a transcript, with the texts of their two failures.
struct TReplyTag {
    std::string_view tag; // with its trailing blank
    TCmdId cmd;
    std::string_view checkFailure;
    std::string_view applyFailure;
};

constexpr std::array<TReplyTag, 7> ReplyTags{{
    {"[DF], ", cm_DF, "!. Invalid DF command result!", "!. Invalid DF set info!"},
    {"[SN], ", cm_SN, "!. Invalid SN command result!",
     "!. Invalid SN set info: serial number invalid!"},
    {"[VN], ", cm_VN, "!. Invalid VN command result!", "!. Invalid VN set info!"},
    {"[RB], ", cm_RB, "!. Invalid RB command result!", "!. Invalid RB set info!"},
    {"[TS], ", cm_TS, "!. Invalid TS command result!", "!. Invalid TS set info!"},
    {"[SS], ", cm_SS, "!. Invalid SS command result!", "!. Invalid SS set info!"},
    {"[RT], ", cm_RT, "!. Invalid RT command result!", "!. Invalid RT set info!"},
}};
constexpr std::string_view CaTag = "[CA], ";
constexpr std::string_view StartPositionTag = "[SGP], ";
constexpr std::string_view EndPositionTag = "[EGP], ";
constexpr std::string_view StartDateTag = "[SDT], ";

// A line is recognised by its tag without the blank, in any letter case.
bool HasTag(std::string_view line, std::string_view tag) {
    const std::string_view bare = tag.substr(0, tag.size() - 1);
    if (line.size() < bare.size())
        return false;
    for (std::size_t i = 0; i < bare.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(line[i])) !=
            std::toupper(static_cast<unsigned char>(bare[i])))
            return false;
    return true;
}

// The line without its tag and blank, when it starts with them exactly; otherwise as it is (its
// check then fails).
std::string WithoutTag(std::string_view line, std::string_view tag) {
    return std::string(line.starts_with(tag) ? line.substr(tag.size()) : line);
}

std::vector<std::string> Words(std::string text, bool commasAreBlanks) {
    if (commasAreBlanks)
        std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

template <class T>
bool ToNumber(const std::string& word, T& value) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end;
}

void Warn(const std::string& text) {
    WriteLog(text);
    Operator().Message(text, "Warning", TMessageKind::Warning);
}

// The cruise's lock, or a warning saying why it cannot be had.
bool LockOrWarn(const fs::path& cruiseFile, TFileLock& lock) {
    try {
        LockCruise(cruiseFile, lock);
        return true;
    } catch (const EMarevoError& e) {
        Warn(e.what());
        return false;
    }
}

// A copy of the workstation's parameter of that number, or the catalogue's when it has none.
std::unique_ptr<TParameter> ParameterCopy(std::int32_t number) {
    if (const TParameter* known = ProbeParamCol().FindPara(number))
        return known->MakeCopy();
    if (!FindCatalogueEntry(number))
        return nullptr;
    auto fresh = std::make_unique<TParameter>();
    fresh->SetDefPara(number);
    return fresh;
}

// The parameter a probe channel code stands for, as the identification chose it: the frame head
// 310 is the DF5 or DF6 head by the format of the transcript (the workstation holds both under
// that code), 311 the DF7 head; any other code the workstation's last parameter of that code, or
// the catalogue's.
std::unique_ptr<TParameter> ChannelCopy(std::int32_t code, int format) {
    std::int32_t number = -1;
    if (code == 310)
        number = format == 5 ? 5 : 6;
    else if (code == 311)
        number = 7;
    else if (const TParameter* known = ProbeParamCol().FindQvlPara(code))
        return known->MakeCopy();
    else
        for (const TCatalogueEntry& e : CatalogueEntries())
            if (e.ProbeCode == code) {
                number = e.Number;
                break;
            }
    return number < 0 ? nullptr : ParameterCopy(number);
}


bool HasExtension(const fs::path& file, std::string_view ext) {
    std::string e = file.extension().string();
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e == ext;
}

} // namespace

void SetCastExtract(TCastInfo& header, const TParamCollection& cast) {
    const TAcquiCfg& acqui = Config().AcquiCfg;
    header.ExtractMode = acqui.AcquiMode;
    header.ExtractNb = cast.Bin.SortInfo.MaxIndex;
    header.ExtractStep = acqui.VertStep;
    if (acqui.AcquiMode == AM_Time)
        header.ExtractStep = TExtended::FromDouble(acqui.TimeStep * SecondsPerDay);
    else if (acqui.AcquiMode == AM_All)
        header.ExtractStep = TExtended::FromDouble(acqui.AllStep);
}

std::string ReplaceEvery(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty())
        return std::string(text);
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(from, start)) != std::string_view::npos;
         start = at + from.size()) {
        out.append(text.substr(start, at - start));
        out.append(to);
    }
    out.append(text.substr(start));
    return out;
}

namespace {

// The companions are named from the file name only: a folder whose name holds ".raw" is kept.
std::optional<TTripletNames> Companions(const fs::path& file, std::string_view own) {
    const std::string name = file.filename().string();
    if (name.find(own) == std::string::npos)
        return std::nullopt;
    const fs::path folder = file.parent_path();
    const auto named = [&](std::string_view ext) {
        return folder / ReplaceEvery(name, own, ext);
    };
    return TTripletNames{named(".raw"), named(".xfr"), named(".ext")};
}

} // namespace

std::optional<TTripletNames> TripletOfRaw(const fs::path& raw) { return Companions(raw, ".raw"); }

std::optional<TTripletNames> TripletOfTranscript(const fs::path& xfr) {
    return Companions(xfr, ".xfr");
}

fs::path RebuildCopyName(const fs::path& cruiseFile, TDateTime at) {
    return fs::path(cruiseFile.string() + FormatDateTime("dd-MM-yyyy HH-mm-ss", at) + ".bak");
}

// ---- One cast from its transcript ----------------------------------------------------------------

bool TCastImport::ReadTranscript(const fs::path& transcript, std::string_view) {
    const std::string tname = transcript.string();
    std::ifstream in(transcript, std::ios::binary);
    if (!in) {
        Warn("Can not import " + tname + "!. The transcript cannot be opened!");
        return false;
    }
    TCastInfoC& holder = file_.CastInfoc;
    TParamCollection& cast = holder.Probe;
    // The answers go through the same checks and stores as a probe's, into the cast collection;
    // no transcript is open, so nothing is written back.
    TQvlUtil qvl(&cast);
    bool startDate = false, startPosition = false, endPosition = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto reply = std::find_if(ReplyTags.begin(), ReplyTags.end(),
                                        [&](const TReplyTag& t) { return HasTag(line, t.tag); });
        if (reply != ReplyTags.end()) {
            qvl.SetAnswer(WithoutTag(line, reply->tag));
            if (!qvl.CheckResult(reply->cmd)) {
                Warn("Can not import " + tname + std::string(reply->checkFailure));
                return false;
            }
            if (!qvl.SetInfo(reply->cmd)) {
                Warn("Can not import " + tname + std::string(reply->applyFailure));
                return false;
            }
        } else if (HasTag(line, CaTag)) {
            const std::string answer = WithoutTag(line, CaTag);
            const std::vector<std::string> words = Words(answer, false);
            const std::string channel = words.size() > 1 ? words[1] : std::string();
            const std::string failure =
                "Can not import " + tname + "!. Invalid CA command result for parameter: " +
                channel + "!";
            std::int32_t code = 0;
            if (!ToNumber(channel, code)) {
                Warn(failure);
                return false;
            }
            auto copy = ChannelCopy(code, qvl.GetDFNb());
            if (!copy) {
                Warn(failure);
                return false;
            }
            copy->paraRaw.PrbCross[0] = code;
            cast.Add(std::move(copy))->SetPosInProbe(cast.Count());
            if (code == 310 || code == 311)
                continue; // the frame head has no calibration
            qvl.SetAnswer(answer);
            if (!qvl.CheckResult(cm_CA) || !qvl.SetInfo(cm_CA)) {
                Warn(failure);
                return false;
            }
        } else if (HasTag(line, StartPositionTag) || HasTag(line, EndPositionTag)) {
            const bool start = HasTag(line, StartPositionTag);
            const std::vector<std::string> words =
                Words(WithoutTag(line, start ? StartPositionTag : EndPositionTag), true);
            double lat = 0, lon = 0;
            if (words.size() < 2 || !ToNumber(words[0], lat) || !ToNumber(words[1], lon) ||
                std::abs(lat) > 90 || std::abs(lon) > 360) {
                Warn("Can not import " + tname + "!. Invalid position: " + line + "!");
                return false;
            }
            const std::size_t k = start ? 0 : 2;
            holder.Cast.latitude[k] = TExtended::FromDouble(lat);
            holder.Cast.longitude[k] = TExtended::FromDouble(lon);
            (start ? startPosition : endPosition) = true;
        } else if (HasTag(line, StartDateTag)) {
            const std::vector<std::string> words = Words(WithoutTag(line, StartDateTag), true);
            std::array<int, 6> f{}; // day, month, year, hour, minute, second
            bool read = words.size() >= f.size();
            for (std::size_t i = 0; read && i < f.size(); ++i)
                read = ToNumber(words[i], f[i]);
            TDateTime at = 0;
            if (!read || !TryEncodeDateTime(f[2], f[1], f[0], f[3], f[4], f[5], 0, at)) {
                Warn("Can not import " + tname + "!. Invalid start date: " + line + "!");
                return false;
            }
            holder.Cast.CastTime[0] = at;
            startDate = true;
        }
    }
    if (in.bad()) {
        Warn("Can not import " + tname + "!. The transcript cannot be read!");
        return false;
    }
    // Without its data format and channels there is no frame to read the raw file by.
    if (cast.ProbeInfo.Protocol == 0 || cast.Count() == 0) {
        Warn("Can not import " + tname + "!. The transcript describes no probe (DF and CA lines)!");
        return false;
    }
    // What the transcript does not say is unknown, not the time of the import or the position of
    // the cast before.
    const TExtended unknown = TExtended::FromDouble(std::numeric_limits<double>::quiet_NaN());
    if (!startDate) {
        holder.Cast.CastTime.fill(std::numeric_limits<double>::quiet_NaN());
        WriteLog(tname + ": no start date ([SDT]); the cast's times are unknown");
    }
    if (!startPosition) {
        holder.Cast.latitude[0] = holder.Cast.latitude[1] = unknown;
        holder.Cast.longitude[0] = holder.Cast.longitude[1] = unknown;
        WriteLog(tname + ": no start position ([SGP]); the cast's position is unknown");
    }
    if (!endPosition) {
        holder.Cast.latitude[2] = holder.Cast.longitude[2] = unknown;
        WriteLog(tname + ": no end position ([EGP]); it is unknown");
    }
    return true;
}

bool TCastImport::CompleteCast(std::string_view name) {
    TCastInfoC& holder = file_.CastInfoc;
    TParamCollection& cast = holder.Probe;
    const auto fail = [&](std::string_view step) {
        Warn("Can not import " + std::string(name) + std::string(step));
        return false;
    };
    for (std::int32_t number : {100, 105, 810}) {
        auto copy = ParameterCopy(number);
        if (!copy)
            return fail("!. Problem to add parameters!");
        cast.Add(std::move(copy));
    }
    if (!cast.AddNMEAAndExternalParameter())
        return fail("!. Problem with NMEA parameters!");
    if (!cast.AddAcquiPara())
        return fail("!. Problem to add parameters!");
    if (!cast.BuildProbeInfo())
        return fail("!. Problem with BuildProbeInfo!");
    if (!Guard({"Error in SetCastExtract"}, [&] { SetCastExtract(holder.Cast, cast); }))
        return fail("!. Problem with SetCastExtract!");
    return true;
}

bool TCastImport::RawHoldsFrames(const fs::path& raw, std::string_view name) {
    const TParamCollection& cast = file_.CastInfoc.Probe;
    std::error_code ec;
    const auto size = fs::file_size(raw, ec);
    if (ec || size == 0) {
        Warn("Can not import " + std::string(name) + "!. The raw file is empty!");
        return false;
    }
    const int frameSize = cast.FrameInfo.RawSize;
    // The first bytes are enough to tell the format: most of them must be frames of the
    // transcript's format and layout.
    constexpr std::int64_t ScanBytes = 64 * 1024;
    int accepted = 0;
    std::int64_t scanned = 0;
    const bool read = Guard({"Error in ImportMicroMarevoFiles.CheckRawFile"}, [&] {
        TFileStream stream(raw, TFileMode::OpenRead);
        TStreamByteSource source(stream);
        TRawBuffer frame{};
        TRingContext context;
        context.Protocol = cast.ProbeInfo.Protocol;
        context.SaveBytes = false;
        if (frameSize <= 0)
            return; // no frame layout: nothing can be read as a frame
        TCyclicInputBuffer ring(frame, frameSize, context);
        int stalled = 0; // calls in a row that took no byte
        for (std::int64_t at = 0; at < stream.Size() && at < ScanBytes && stalled < 2;) {
            if (ring.ReadNewRawSet(source)) {
                ++accepted;
                ++context.RawIndex;
            }
            stalled = stream.Position() == at ? stalled + 1 : 0;
            at = stream.Position();
        }
        scanned = stream.Position();
    });
    if (read && frameSize > 0 && accepted > 0 &&
        2 * static_cast<std::int64_t>(accepted) * frameSize >= scanned)
        return true;
    Warn(fmt::format("Can not import {}!. The raw file holds no DF{} frames of {} bytes as its "
                     "transcript describes!",
                     name, cast.ProbeInfo.Protocol, frameSize));
    return false;
}

bool TCastImport::PrepareCast(const fs::path& transcript, std::string_view name,
                              const fs::path& raw) {
    TCastInfoC& holder = file_.CastInfoc;
    if (!file_.AddNextCast()) {
        Warn("Can not import " + std::string(name) + "!. Problem with AddNextCast!");
        return false;
    }
    holder.Probe.Clear();
    holder.Probe.DefaultProbeInfo();
    if (!ReadTranscript(transcript, name) || !CompleteCast(name))
        return false;
    return raw.empty() || RawHoldsFrames(raw, name);
}

bool TCastImport::BuildCastFromTranscript(const fs::path& transcript, std::string_view name,
                                          const fs::path& raw) {
    if (!PrepareCast(transcript, name, raw))
        return false;
    if (!file_.AppendCast(true)) {
        Warn("Can not import " + std::string(name) + "!. Problem with AppendCast!");
        return false;
    }
    return true;
}

// ---- Opening a stored cast's raw file ----------------------------------------------------------

bool TCastImport::ReplayLoaded(const fs::path& raw) {
    TCastInfoC& holder = file_.CastInfoc;
    TParamCollection& cast = holder.Probe;
    cast.Loaded.CastHeader = &holder.Cast;
    cast.Loaded.CruiseHeader = &holder.Cruise;
    cast.Loaded.Bottles = &holder.Bottles;
    SetCastExtract(holder.Cast, cast);
    Config().GenCfg.FileType = FileTypeRaw;
    if (!ReplayRawFile(cast, raw))
        return false;
    if (cast.Acqui.RawIndex == 0) {
        WriteLog("Error in OpenRawCast: no frame of " + raw.string() + " was taken in");
        return false;
    }
    return true;
}

bool TCastImport::OpenRawCast(const fs::path& raw, int castNb) {
    TParamCollection& cast = file_.CastInfoc.Probe;
    const bool loaded = Guard({"Error in MainForm.InitRTMC ", "Start Acquisition"}, [&] {
        const fs::path cruise = Config().DefaultCruisePath(Environ().DataRootPath());
        if (cruise.empty())
            Raise("no current cruise");
        if (!file_.ReadCast(cruise, castNb))
            Raise(fmt::format("cast {} cannot be read from {}", castNb, cruise.string()));
        cast.BuildProbeInfo();
        if (!cast.InitRoundBuffer() || !cast.InitLinearBuffer())
            Raise("the cast's buffers cannot be prepared");
    });
    return loaded && ReplayLoaded(raw);
}

bool TCastImport::ProcessPrepared(const fs::path& raw, std::string_view name,
                                  const fs::path& binFile) {
    TParamCollection& cast = file_.CastInfoc.Probe;
    const auto fail = [&](std::string_view step) {
        Warn("Can not import " + std::string(name) + std::string(step));
        return false;
    };
    // The cast is replayed as it will be read from the cruise file once appended.
    const bool loaded = Guard({"Error in MainForm.InitRTMC ", "Start Acquisition"}, [&] {
        if (!file_.ReloadCurrentCast())
            Raise("the prepared cast cannot be read back");
        cast.BuildProbeInfo();
        if (!cast.InitRoundBuffer() || !cast.InitLinearBuffer())
            Raise("the cast's buffers cannot be prepared");
    });
    if (!loaded || !ReplayLoaded(raw))
        return fail("!. Problem with opening the raw file!");
    if (cast.BinSave(binFile) != ParaOk)
        return fail("!. Problem with SaveAsBin!");
    return true;
}

bool TCastImport::ReprocessLoadedCast() {
    TCastInfoC& holder = file_.CastInfoc;
    TParamCollection& cast = holder.Probe;
    if (cast.Loaded.TypeLoaded == FileTypeNone) {
        Operator().Message("No Data Loaded!", "", TMessageKind::Information);
        return false;
    }
    if (cast.Acqui.ProbeOnLine)
        return false;
    const fs::path raw = file_.RawPath();
    if (raw.empty() || !fs::exists(raw)) {
        Operator().Message(raw.string() + ": doesn't exist!", "", TMessageKind::Information);
        return false;
    }
    if (!OpenRawCast(raw, holder.Cast.ID)) {
        StatusMessage("Fail to open last data file");
        cast.Loaded.FileLoaded.clear();
        Operator().Message("Cannot open file:" + raw.string(), "", TMessageKind::Information);
        return false;
    }
    // Saving it is then the operator's choice (File > Save).
    Config().GenCfg.FileType = FileTypeBinary;
    cast.Loaded.TypeLoaded = FileTypeBinary;
    cast.Loaded.FileLoaded = raw;
    return true;
}

// ---- Interrupted imports -----------------------------------------------------------------------

fs::path RebuildWorkName(const fs::path& cruiseFile) {
    fs::path name = cruiseFile;
    name += ".rebuild";
    return name;
}

fs::path ImportJournalName(const fs::path& cruiseFile) {
    fs::path name = cruiseFile;
    name += ".import";
    return name;
}

namespace {

constexpr std::string_view JournalCast = "cast ";
constexpr std::string_view JournalMade = "made ";
constexpr std::string_view JournalMoved = "moved ";

struct TImportJournal {
    int cast = 0;
    std::vector<fs::path> made;                         // files the import creates in the cruise
    std::vector<std::pair<fs::path, fs::path>> moved;   // logger file, its copy in the cruise
};

void WriteJournal(const fs::path& file, const TImportJournal& j) {
    std::string text = std::string(JournalCast) + std::to_string(j.cast) + "\n";
    for (const fs::path& f : j.made)
        text += std::string(JournalMade) + f.string() + "\n";
    for (const auto& [from, to] : j.moved)
        text += std::string(JournalMoved) + from.string() + "\t" + to.string() + "\n";
    WriteFileAtomically(file, [&](TStream& out) {
        if (out.Write(text.data(), text.size()) != text.size())
            Raise("cannot write " + file.string());
    });
}

std::optional<TImportJournal> ReadJournal(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    TImportJournal j;
    bool hasCast = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(JournalCast)) {
            hasCast = ToNumber(line.substr(JournalCast.size()), j.cast) && j.cast > 0;
        } else if (line.starts_with(JournalMade)) {
            j.made.emplace_back(line.substr(JournalMade.size()));
        } else if (line.starts_with(JournalMoved)) {
            const std::string rest = line.substr(JournalMoved.size());
            const auto tab = rest.find('\t');
            if (tab == std::string::npos)
                return std::nullopt;
            j.moved.emplace_back(rest.substr(0, tab), rest.substr(tab + 1));
        } else if (!line.empty()) {
            return std::nullopt;
        }
    }
    if (in.bad() || !hasCast)
        return std::nullopt;
    return j;
}

// The last cast number of a cruise file, from its first four bytes; -1 when it cannot be read.
std::int32_t StoredLastCast(const fs::path& cruiseFile) {
    std::ifstream in(cruiseFile, std::ios::binary);
    std::int32_t last = -1;
    if (!in.read(reinterpret_cast<char*>(&last), sizeof last))
        return -1;
    return last >= 0 && last <= MaxCastNumber ? last : -1;
}

} // namespace

std::optional<TCompletedImport> CleanUpInterruptedImport(const fs::path& cruiseFile) {
    const fs::path folder = cruiseFile.parent_path();
    for (const char* sub : {"", "raw", "bin", "txt"})
        RemoveAbandonedTemporaries(*sub ? folder / sub : folder);
    std::error_code ec;
    for (const fs::path& left : {RebuildWorkName(cruiseFile), CruiseLockName(RebuildWorkName(cruiseFile))})
        if (fs::remove(left, ec))
            WriteLog("Removed " + left.string() + ", left by a rebuild that did not end");
    const fs::path journal = ImportJournalName(cruiseFile);
    if (!fs::exists(fs::symlink_status(journal, ec)))
        return std::nullopt;
    const std::optional<TImportJournal> j = ReadJournal(journal);
    const std::int32_t last = StoredLastCast(cruiseFile);
    if (!j || last < 0) {
        // Nothing is removed on a guess: the files stay for whoever looks at them.
        WriteLog("An interrupted import left " + journal.string() +
                 ", which cannot be read against the cruise file: its files are kept");
        return std::nullopt;
    }
    std::optional<TCompletedImport> completed;
    if (j->cast > last) {
        // The cast was never appended: what the import made goes, the logger's files stay.
        for (const fs::path& f : j->made)
            if (fs::remove(f, ec))
                WriteLog("Removed " + f.string() + ", left by an import that did not end");
    } else {
        // The cast is in the cruise: the logger's files that its copies hold go, as the import
        // would have deleted them.
        for (const auto& [from, to] : j->moved)
            if (fs::exists(from, ec) && SameFileBytes(from, to) && fs::remove(from, ec))
                WriteLog("Deleted " + from.string() + ", imported as " + to.string() +
                         " by an import that did not end");
        if (!j->moved.empty())
            completed = TCompletedImport{j->cast, j->moved.front().first};
    }
    fs::remove(journal, ec);
    WriteLog("Cleaned up after an import into " + cruiseFile.string() + " that did not end");
    return completed;
}

bool InsideCruiseFolder(const fs::path& file, const fs::path& dataRoot, fs::path& folder) {
    std::error_code ec;
    const fs::path f = fs::weakly_canonical(fs::absolute(file, ec), ec);
    const fs::path root = fs::weakly_canonical(fs::absolute(dataRoot, ec), ec);
    if (f.empty() || root.empty())
        return false;
    const fs::path rel = f.lexically_relative(root);
    if (rel.empty() || *rel.begin() == ".." || *rel.begin() == ".")
        return false;
    const std::string name = rel.begin()->string();
    const fs::path candidate = root / name;
    if (std::distance(rel.begin(), rel.end()) < 2 || !IsSafeSettingsName(name) ||
        !fs::exists(candidate / (name + ".cru"), ec))
        return false;
    folder = candidate;
    return true;
}

// ---- Import of logger recordings ---------------------------------------------------------------

bool TCastImport::ImportMicroMarevoFiles(const std::vector<fs::path>& rawFiles) {
    appended_.clear();
    return GuardOr({"Exception in ImportMicroMarevoFiles", "Importing MicroMarevo/Vandrel Files"},
                   false, [&] {
        const fs::path root = Environ().DataRootPath();
        const std::string cruise = Config().GenCfg.CruiseName.Get();
        const fs::path cruisePath = Config().DefaultCruisePath(root);
        if (cruisePath.empty() || !fs::exists(cruisePath))
            Raise(": no cruise \"" + cruise + "\" under " + root.string());
        CheckCruiseFolders(cruisePath.parent_path());
        TFileLock lock;
        if (!LockOrWarn(cruisePath, lock))
            return false;
        const std::optional<TCompletedImport> completed = CleanUpInterruptedImport(cruisePath);
        StopPoint("import.locked");
        const fs::path journal = ImportJournalName(cruisePath);
        const auto total = static_cast<std::int64_t>(rawFiles.size());
        bool all = true;
        for (std::size_t k = 0; k < rawFiles.size(); ++k) {
            if (!Operator().Progress(ImportFilesActivity, static_cast<std::int64_t>(k), total)) {
                Warn("Import cancelled: " + std::to_string(rawFiles.size() - k) +
                     " file(s) not imported");
                return false;
            }
            const fs::path& raw = rawFiles[k];
            const std::string name = raw.string();
            // Asked again after a run that stopped once its cast was appended: it is in.
            if (completed && !fs::exists(raw) && raw == completed->source) {
                WriteLog(name + " was imported as cast " + std::to_string(completed->cast) +
                         " by a run that did not end");
                appended_.push_back(completed->cast);
                continue;
            }
            const std::optional<TTripletNames> t = TripletOfRaw(raw);
            if (!t) {
                Warn("Can not import " + name +
                     "!. The name holds no \".raw\": its transcript and external file cannot be "
                     "told apart from it!");
                all = false;
                continue;
            }
            bool present = true;
            for (const fs::path& f : {t->raw, t->xfr, t->ext})
                if (present && !fs::is_regular_file(f)) {
                    Warn("Can not import " + name + "!. Missing file: " + f.string() + "!");
                    present = false;
                }
            // The import deletes what it imported: a cruise's own files are never its input.
            fs::path inside;
            for (const fs::path& f : {t->raw, t->xfr, t->ext})
                if (present && InsideCruiseFolder(f, root, inside)) {
                    Warn("Can not import " + name + "!. " + f.string() +
                         " lies in the cruise folder " + inside.string() +
                         ": a cruise's own files are not imported!");
                    present = false;
                }
            if (!present) {
                all = false;
                continue;
            }
            if (!PrepareCast(t->xfr, name, t->raw)) {
                all = false;
                continue;
            }
            const int castNb = file_.CastInfoc.Cast.ID;
            const fs::path rawDir = Config().RawDir(root);
            const fs::path rawCopy = rawDir / (cruise + CastNumberText(castNb) + ".raw");
            const fs::path extCopy = rawDir / (cruise + CastNumberText(castNb) + ".ext");
            const fs::path xfrCopy = rawDir / (cruise + CastNumberText(castNb) + ".xfr");
            const fs::path binFile = BinFileName(Config().BinDir(root), cruise, castNb);
            TImportJournal j{castNb,
                             {rawCopy, extCopy, xfrCopy, binFile},
                             {{t->raw, rawCopy}, {t->ext, extCopy}, {t->xfr, xfrCopy}}};
            // The new cast's names must be free: whatever holds one (a file of another run, a
            // link) is neither overwritten nor followed.
            std::error_code ec;
            const auto taken = std::find_if(j.made.begin(), j.made.end(), [&](const fs::path& f) {
                return fs::exists(fs::symlink_status(f, ec));
            });
            if (taken != j.made.end()) {
                Warn("Can not import " + name + "!. " + taken->string() +
                     " exists already: the cast's files cannot take their names!");
                all = false;
                continue;
            }
            // What this recording makes is written down first, so that a run that does not end
            // is cleaned up by the next one.
            if (!Guard({"Error in ImportMicroMarevoFiles.Journal"},
                       [&] { WriteJournal(journal, j); })) {
                Warn("Can not import " + name + "!. Problem with the import journal!");
                all = false;
                continue;
            }
            StopPoint("import.journal");
            const auto undo = [&] {
                std::error_code ignored;
                for (const fs::path& f : j.made)
                    fs::remove(f, ignored);
                fs::remove(journal, ignored);
            };
            // The transcript goes along with the raw and ext files, as a real-time cast keeps
            // it: without it the cruise file could not be rebuilt from its raw folder.
            bool copied = true;
            for (const auto& [what, from, to] :
                 {std::tuple{"raw", t->raw, rawCopy}, std::tuple{"ext", t->ext, extCopy},
                  std::tuple{"xfr", t->xfr, xfrCopy}}) {
                try {
                    CopyToNewFile(from, to);
                } catch (const EMarevoError& e) {
                    Warn("Can not import " + name + "!. Problem with Copy " + what +
                         " file - " + e.what());
                    copied = false;
                    break;
                }
                StopPoint(std::string("import.copied-") + what);
            }
            if (!copied || !ProcessPrepared(rawCopy, name, binFile)) {
                undo();
                all = false;
                continue;
            }
            StopPoint("import.processed");
            // The single commit point: the cast enters the cruise file whole, with its files in
            // place, or not at all.
            if (!file_.AppendCast(true)) {
                undo();
                Warn("Can not import " + name + "!. Problem with AppendCast!");
                all = false;
                continue;
            }
            StopPoint("import.committed");
            // The recording is now the cruise's: the logger's files go.
            for (const fs::path& f : {t->ext, t->raw, t->xfr}) {
                fs::remove(f, ec);
                if (ec)
                    WriteLog("ImportMicroMarevoFiles: cannot delete " + f.string() + ": " +
                             ec.message());
                StopPoint("import.deleted");
            }
            fs::remove(journal, ec);
            StopPoint("import.done");
            appended_.push_back(castNb);
        }
        Operator().Progress(ImportFilesActivity, total, total);
        return all;
    });
}

// ---- An interrupted cast ------------------------------------------------------------------------

bool TCastImport::RecoverInterruptedCast(const TTripletNames& files) {
    appended_.clear();
    bool done = false;
    const std::string name = files.raw.string();
    Guard({"Error in RecoverInterruptedCast"}, [&] {
        const fs::path cruise = Config().DefaultCruisePath(Environ().DataRootPath());
        if (cruise.empty())
            Raise("no current cruise");
        TFileLock lock;
        LockCruise(cruise, lock);
        if (!PrepareCast(files.xfr, files.xfr.string(), files.raw))
            return;
        // Only the files of the very cast about to be appended are its own.
        if (file_.RawPath() != files.raw) {
            Warn("Can not import " + name + "!. It is not the cruise's next cast!");
            return;
        }
        const int castNb = file_.CastInfoc.Cast.ID;
        if (!ProcessPrepared(files.raw, name, file_.BinPath()))
            return;
        if (!file_.AppendCast(true)) {
            Warn("Can not import " + name + "!. Problem with AppendCast!");
            return;
        }
        appended_.push_back(castNb);
        done = true;
    });
    return done;
}

// ---- Rebuild -----------------------------------------------------------------------------------

TRebuildResult TCastImport::RebuildCruiseFile(const fs::path& cruiseFile) {
    appended_.clear();
    TRebuildResult result;
    bool hadFile = false;
    // The new file is built beside the previous one, which stays untouched until the new one
    // takes its name: a rebuild that stops half way leaves the cruise as it was.
    const fs::path building = RebuildWorkName(cruiseFile);
    TFileLock lock;
    const auto dropBuilding = [&] {
        file_.CloseCruiseFile();
        file_.SetCruisePathOverride({});
        std::error_code ec;
        fs::remove(building, ec);
        fs::remove(CruiseLockName(building), ec);
    };
    const bool ran = Guard({"Exception in RebuikdCruiseFile1Click", "Tools/RebuildCruiseFile"}, [&] {
        const fs::path rawDir = cruiseFile.parent_path() / "raw";
        std::vector<fs::path> transcripts;
        std::size_t raws = 0;
        std::error_code ec;
        for (const fs::directory_entry& e : fs::directory_iterator(rawDir, ec)) {
            if (!e.is_regular_file())
                continue;
            if (HasExtension(e.path(), ".xfr"))
                transcripts.push_back(e.path());
            else if (HasExtension(e.path(), ".raw"))
                ++raws;
        }
        if (transcripts.empty() || transcripts.size() < raws) {
            Operator().Message(RebuildRefusedText, "Information", TMessageKind::Information);
            result.outcome = TRebuildOutcome::Refused;
            return;
        }
        // By name: the casts then follow the numbers of their files.
        std::sort(transcripts.begin(), transcripts.end());

        std::string name = cruiseFile.filename().string();
        name = name.substr(0, name.find('.'));
        const fs::path root = Environ().DataRootPath();
        if (DefaultCruiseName(root, name) != cruiseFile)
            Raise(": " + cruiseFile.string() + " is not a cruise of the data folder " +
                  root.string());
        CheckCruiseFolders(cruiseFile.parent_path());
        if (!LockOrWarn(cruiseFile, lock)) {
            result.outcome = TRebuildOutcome::Failed;
            return;
        }
        CleanUpInterruptedImport(cruiseFile);

        hadFile = fs::exists(cruiseFile);
        TCastInfo cruiseHeader;
        bool keptHeader = false;
        if (hadFile) {
            // The previous file is removed only once its copy is whole on the disk.
            // A copy kept earlier in the same second is not overwritten: this one is numbered.
            const fs::path first = RebuildCopyName(cruiseFile, Clock().Now());
            fs::path copy = first;
            for (int n = 2; fs::exists(fs::symlink_status(copy, ec)) && n < 1000; ++n)
                copy = fs::path(first).replace_extension("").string() + "-" + std::to_string(n) +
                       ".bak";
            CopyToNewFile(cruiseFile, copy);
            result.copy = copy;
            // What the operator wrote into the cruise header is kept when it can still be read.
            // A damaged file is what a rebuild is for: its refusal is logged, not shown.
            TSilentOperator quiet;
            std::optional<TRuntimeScope> silent;
            silent.emplace(TRuntime{nullptr, &quiet, nullptr, nullptr});
            const bool readable = file_.OpenCruiseFile(cruiseFile);
            silent.reset();
            if (readable) {
                cruiseHeader = file_.CastInfoc.Cruise;
                keptHeader = true;
            }
            file_.CloseCruiseFile();
        }
        Config().GenCfg.CruiseName.Set(name);
        if (!keptHeader)
            cruiseHeader.SetDefCruise(name);
        cruiseHeader.ID = 0;
        cruiseHeader.InfoStr[2].Set(name);
        file_.CastInfoc.Bottles.Clear();
        dropBuilding();
        file_.SetCruisePathOverride(building);
        if (!file_.NewCruise(root, [&](TCastInfo& header) {
                header = cruiseHeader;
                return true;
            }))
            Raise(": the cruise file cannot be created again");

        const auto total = static_cast<std::int64_t>(transcripts.size());
        for (std::size_t k = 0; k < transcripts.size(); ++k) {
            if (!Operator().Progress(RebuildActivity, static_cast<std::int64_t>(k), total)) {
                result.failed += static_cast<int>(transcripts.size() - k);
                break;
            }
            const fs::path& xfr = transcripts[k];
            const std::optional<TTripletNames> t = TripletOfTranscript(xfr);
            if (!t) {
                Warn("Can not import " + xfr.string() + "!. The name holds no \".xfr\"!");
                ++result.failed;
                continue;
            }
            if (!PrepareCast(xfr, xfr.string(), t->raw)) {
                ++result.failed;
                continue;
            }
            const int castNb = file_.CastInfoc.Cast.ID;
            // The raw file is processed as the cast about to be appended, whatever number its
            // name carries: its header and parameters are those its transcript gave. The cast
            // is appended only once its binary file is written.
            if (!ProcessPrepared(t->raw, t->raw.string(), file_.BinPath())) {
                ++result.failed;
                continue;
            }
            if (!file_.AppendCast(true)) {
                Warn("Can not import " + xfr.string() + "!. Problem with AppendCast!");
                ++result.failed;
                continue;
            }
            appended_.push_back(castNb);
            StopPoint("rebuild.appended");
        }
        Operator().Progress(RebuildActivity, total, total);
        file_.CloseCruiseFile();
        file_.SetCruisePathOverride({});
        result.casts = static_cast<int>(appended_.size());
        if (result.failed != 0 && hadFile &&
            Operator().Confirm(RebuildRestoreQuestion, "Confirmation")) {
            // The previous file never left its place: its copy is not needed.
            dropBuilding();
            if (!result.copy.empty() && fs::remove(result.copy, ec))
                result.copy.clear();
            result.outcome = TRebuildOutcome::Restored;
            return;
        }
        // The one commit point: the rebuilt file takes the cruise file's name.
        fs::rename(building, cruiseFile);
        SyncFolder(cruiseFile.parent_path());
        fs::remove(CruiseLockName(building), ec);
        result.outcome = result.failed == 0 ? TRebuildOutcome::Rebuilt : TRebuildOutcome::Partial;
    });
    if (!ran) {
        dropBuilding();
        result.outcome = TRebuildOutcome::Failed;
    }
    return result;
}

} // namespace marevo
