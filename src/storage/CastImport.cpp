#include "storage/CastImport.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "parameters/ParaCatalogue.h"
#include "probelink/ByteSource.h"
#include "probelink/InputBuffer.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "processing/Collections.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/Settings.h"
#include "storage/CruiseFile.h"

#include <fmt/core.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

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

template <class T> bool ToNumber(const std::string& word, T& value) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end;
}

void Warn(const std::string& text) {
    WriteLog(text);
    Operator().Message(text, "Warning", TMessageKind::Warning);
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

// The cast's extraction settings, from the configuration's acquisition settings.
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

std::vector<char> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        Raise("cannot open " + file.string());
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        Raise("cannot read " + file.string());
    return bytes;
}

bool HasExtension(const fs::path& file, std::string_view ext) {
    std::string e = file.extension().string();
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e == ext;
}

} // namespace

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
    const auto named = [&](std::string_view ext) { return folder / ReplaceEvery(name, own, ext); };
    return TTripletNames{named(".raw"), named(".xfr"), named(".ext")};
}

} // namespace

std::optional<TTripletNames> TripletOfRaw(const fs::path& raw) {
    return Companions(raw, ".raw");
}

std::optional<TTripletNames> TripletOfTranscript(const fs::path& xfr) {
    return Companions(xfr, ".xfr");
}

fs::path RebuildCopyName(const fs::path& cruiseFile, TDateTime at) {
    return fs::path(cruiseFile.string() + FormatDateTime("dd-MM-yyyy HH-mm-ss", at) + ".bak");
}

// ---- One cast from its transcript
// ----------------------------------------------------------------

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
            const std::string failure = "Can not import " + tname +
                                        "!. Invalid CA command result for parameter: " + channel +
                                        "!";
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

bool TCastImport::BuildCastFromTranscript(const fs::path& transcript, std::string_view name,
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
    if (!raw.empty() && !RawHoldsFrames(raw, name))
        return false;

    std::vector<char> image;
    bool existed = false;
    if (!KeepImage(image, existed) || !file_.AppendCast(true)) {
        Warn("Can not import " + std::string(name) + "!. Problem with AppendCast!");
        return false;
    }
    if (!file_.UpdateLast()) {
        RestoreImage(image, existed);
        Warn("Can not import " + std::string(name) + "!. Problem with UpdateLast!");
        return false;
    }
    return true;
}

// ---- The cruise file before a recording --------------------------------------------------------

bool TCastImport::KeepImage(std::vector<char>& image, bool& existed) {
    return Guard({"Error in ImportMicroMarevoFiles.KeepCruiseFile"}, [&] {
        const fs::path path = Config().DefaultCruisePath(Environ().DataRootPath());
        existed = !path.empty() && fs::exists(path);
        image = existed ? ReadBytes(path) : std::vector<char>();
    });
}

void TCastImport::RestoreImage(const std::vector<char>& image, bool existed) {
    Guard({"Error in ImportMicroMarevoFiles.RestoreCruiseFile"}, [&] {
        const fs::path path = Config().DefaultCruisePath(Environ().DataRootPath());
        if (!existed) {
            fs::remove(path);
            return;
        }
        WriteFileAtomically(path, [&](TStream& out) {
            if (out.Write(image.data(), image.size()) != image.size())
                Raise("cannot write " + path.string());
        });
        WriteLog("The cruise file " + path.string() + " is back as it was before the import");
    });
}

// ---- Opening a stored cast's raw file ----------------------------------------------------------

bool TCastImport::OpenRawCast(const fs::path& raw, int castNb) {
    TCastInfoC& holder = file_.CastInfoc;
    TParamCollection& cast = holder.Probe;
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
    if (!loaded)
        return false;
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

bool TCastImport::ProcessAppended(const fs::path& raw, std::string_view name) {
    TParamCollection& cast = file_.CastInfoc.Probe;
    const auto fail = [&](std::string_view step) {
        Warn("Can not import " + std::string(name) + std::string(step));
        return false;
    };
    if (!OpenRawCast(raw, file_.CastInfoc.Cast.ID))
        return fail("!. Problem with opening the raw file!");
    if (cast.BinSave(file_.BinPath()) != ParaOk)
        return fail("!. Problem with SaveAsBin!");
    if (!file_.UpdateLast())
        return fail("!. Problem with UpdateLast!");
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

// ---- Import of logger recordings ---------------------------------------------------------------

bool TCastImport::ImportMicroMarevoFiles(const std::vector<fs::path>& rawFiles) {
    appended_.clear();
    return GuardOr(
        {"Exception in ImportMicroMarevoFiles", "Importing MicroMarevo/Vandrel Files"}, false, [&] {
            const fs::path root = Environ().DataRootPath();
            const std::string cruise = Config().GenCfg.CruiseName.Get();
            if (Config().DefaultCruisePath(root).empty() ||
                !fs::exists(Config().DefaultCruisePath(root)))
                Raise(": no cruise \"" + cruise + "\" under " + root.string());
            const auto total = static_cast<std::int64_t>(rawFiles.size());
            bool all = true;
            for (std::size_t k = 0; k < rawFiles.size(); ++k) {
                if (!Operator().Progress(ImportFilesActivity, static_cast<std::int64_t>(k),
                                         total)) {
                    Warn("Import cancelled: " + std::to_string(rawFiles.size() - k) +
                         " file(s) not imported");
                    return false;
                }
                const fs::path& raw = rawFiles[k];
                const std::string name = raw.string();
                const std::optional<TTripletNames> t = TripletOfRaw(raw);
                if (!t) {
                    Warn(
                        "Can not import " + name +
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
                if (!present) {
                    all = false;
                    continue;
                }

                std::vector<char> image;
                bool existed = false;
                if (!KeepImage(image, existed) || !BuildCastFromTranscript(t->xfr, name, t->raw)) {
                    all = false;
                    continue;
                }
                const int castNb = file_.CastInfoc.Cast.ID;
                const fs::path rawDir = Config().RawDir(root);
                const fs::path rawCopy = rawDir / (cruise + CastNumberText(castNb) + ".raw");
                const fs::path extCopy = rawDir / (cruise + CastNumberText(castNb) + ".ext");
                const fs::path xfrCopy = rawDir / (cruise + CastNumberText(castNb) + ".xfr");
                const fs::path binFile = BinFileName(Config().BinDir(root), cruise, castNb);
                const auto undo = [&] {
                    RestoreImage(image, existed);
                    std::error_code ignored;
                    fs::remove(rawCopy, ignored);
                    fs::remove(extCopy, ignored);
                    fs::remove(xfrCopy, ignored);
                    fs::remove(binFile, ignored);
                };
                std::error_code ec;
                fs::copy_file(t->raw, rawCopy, fs::copy_options::overwrite_existing, ec);
                if (ec) {
                    undo();
                    Warn("Can not import " + name +
                         "!. Problem with Copy raw file - Error: " + std::to_string(ec.value()));
                    all = false;
                    continue;
                }
                fs::copy_file(t->ext, extCopy, fs::copy_options::overwrite_existing, ec);
                if (ec) {
                    undo();
                    Warn("Can not import " + name +
                         "!. Problem with Copy ext file - Error: " + std::to_string(ec.value()));
                    all = false;
                    continue;
                }
                // The transcript goes along with them, as a real-time cast keeps it: without it the
                // cruise file could not be rebuilt from its raw folder.
                fs::copy_file(t->xfr, xfrCopy, fs::copy_options::overwrite_existing, ec);
                if (ec) {
                    undo();
                    Warn("Can not import " + name +
                         "!. Problem with Copy xfr file - Error: " + std::to_string(ec.value()));
                    all = false;
                    continue;
                }
                if (!ProcessAppended(rawCopy, name)) {
                    undo();
                    all = false;
                    continue;
                }
                // The recording is now the cruise's: the logger's files go.
                for (const fs::path& f : {t->ext, t->raw, t->xfr}) {
                    fs::remove(f, ec);
                    if (ec)
                        WriteLog("ImportMicroMarevoFiles: cannot delete " + f.string() + ": " +
                                 ec.message());
                }
                appended_.push_back(castNb);
            }
            Operator().Progress(ImportFilesActivity, total, total);
            return all;
        });
}

// ---- Rebuild -----------------------------------------------------------------------------------

TRebuildResult TCastImport::RebuildCruiseFile(const fs::path& cruiseFile) {
    appended_.clear();
    TRebuildResult result;
    bool hadFile = false;
    bool touched = false; // the cruise file was removed to be created again
    const auto restore = [&] {
        std::error_code ec;
        if (hadFile && !result.copy.empty())
            fs::rename(result.copy, cruiseFile, ec);
        else
            fs::remove(cruiseFile, ec);
        if (ec)
            WriteLog("RebuildCruiseFile: the previous cruise file cannot be put back: " +
                     ec.message());
        else if (hadFile)
            result.copy.clear();
    };
    const bool ran =
        Guard({"Exception in RebuikdCruiseFile1Click", "Tools/RebuildCruiseFile"}, [&] {
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

            hadFile = fs::exists(cruiseFile);
            TCastInfo cruiseHeader;
            bool keptHeader = false;
            if (hadFile) {
                result.copy = RebuildCopyName(cruiseFile, Clock().Now());
                fs::copy_file(cruiseFile, result.copy, fs::copy_options::overwrite_existing);
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
            touched = true;
            fs::remove(cruiseFile);
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
                std::vector<char> image;
                bool existed = false;
                if (!KeepImage(image, existed) ||
                    !BuildCastFromTranscript(xfr, xfr.string(), t->raw)) {
                    ++result.failed;
                    continue;
                }
                const int castNb = file_.CastInfoc.Cast.ID;
                // The raw file is processed as the cast just appended, whatever number its name
                // carries: its header and parameters are those its transcript gave.
                if (!ProcessAppended(t->raw, t->raw.string())) {
                    RestoreImage(image, existed);
                    ++result.failed;
                    continue;
                }
                appended_.push_back(castNb);
            }
            Operator().Progress(RebuildActivity, total, total);
            file_.CloseCruiseFile();
            result.casts = static_cast<int>(appended_.size());
            if (result.failed == 0) {
                result.outcome = TRebuildOutcome::Rebuilt;
            } else if (hadFile && Operator().Confirm(RebuildRestoreQuestion, "Confirmation")) {
                restore();
                result.outcome = TRebuildOutcome::Restored;
            } else {
                result.outcome = TRebuildOutcome::Partial;
            }
        });
    if (!ran) {
        file_.CloseCruiseFile();
        if (touched)
            restore();
        result.outcome = TRebuildOutcome::Failed;
    }
    return result;
}

} // namespace marevo
