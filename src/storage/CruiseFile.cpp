#include "storage/CruiseFile.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "foundation/SafeFiles.h"
#include "foundation/Stream.h"
#include "processing/Collections.h"
#include "records/Settings.h"
#include "records/Config.h"
#include "records/Environ.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <limits>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// Fixed parts of a cast block: the header, the head of the probe block (format, count, probe
// information) and the head of the bottles block.
constexpr std::int64_t HeaderSize = sizeof(TCastInfoRecord);
constexpr std::int64_t ProbeHeadSize = 4 + 4 + sizeof(TProbeInfo);
constexpr std::int64_t BottlesHeadSize = sizeof(TBottlesBlockHeader);
constexpr std::int64_t BottleSize = sizeof(TBottleInfoRecord);
constexpr std::int64_t MaxFileSize = std::numeric_limits<std::int32_t>::max();
static_assert(ProbeHeadSize == 648);

// A damage found while doing op ("" for the operations whose log prefix is followed by ": ").
[[noreturn]] void Damaged(const fs::path& file, std::string_view op, const std::string& detail) {
    Raise(fmt::format("{}: damaged cruise file {}: {}", op, file.filename().string(), detail));
}

// Reads a 32-bit number at a position of a file's bytes; a position past the end is damage.
struct TImageReader {
    const std::vector<std::uint8_t>& image;
    const fs::path& file;
    std::string_view op;

    std::int32_t operator()(std::int64_t pos) const {
        std::int32_t v = 0;
        if (pos < 0 || pos + 4 > static_cast<std::int64_t>(image.size()))
            Damaged(file, op, fmt::format("cut short at byte {}", pos));
        std::memcpy(&v, image.data() + pos, 4);
        return v;
    }
};

// Reads a 32-bit number at a position of an open file.
struct TStreamReader {
    TStream& stream;
    const fs::path& file;
    std::string_view op;

    std::int32_t operator()(std::int64_t pos) const {
        std::int32_t v = 0;
        stream.Seek(pos);
        if (stream.Read(&v, 4) != 4)
            Damaged(file, op, fmt::format("cut short at byte {}", pos));
        return v;
    }
};

// The table must describe blocks in the order they were appended, all inside the file.
// `head` holds at least the file's first CruiseTableSize bytes.
TCruiseTable ReadTable(const std::vector<std::uint8_t>& head, std::int64_t size,
                       const fs::path& file, std::string_view op) {
    if (size < CruiseTableSize || static_cast<std::int64_t>(head.size()) < CruiseTableSize)
        Damaged(file, op, fmt::format("cut short, {} bytes", size));
    const TImageReader i32At{head, file, op};
    TCruiseTable t;
    t.size = size;
    t.last = i32At(0);
    if (t.last < 0 || t.last > MaxCastNumber)
        Damaged(file, op, fmt::format("last cast number {} out of range", t.last));
    for (int k = 0; k < CastPointerCount; ++k)
        t.pointer[k] = i32At(4 + 4 * k);
    if (t.pointer[0] != CruiseTableSize)
        Damaged(file, op,
                fmt::format("cruise header at {} instead of {}", t.pointer[0], CruiseTableSize));
    for (int k = 1; k <= t.last; ++k)
        if (t.pointer[k] <= t.pointer[k - 1] || t.pointer[k] >= size)
            Damaged(file, op, fmt::format("offset {} of cast {} out of range", t.pointer[k], k));
    return t;
}

// The block of cast k must be exactly what its counts say, from its offset to its end. A probe
// block with more parameters than a reader accepts fails as the probe-block read would.
template <class I32At>
void CheckBlock(const I32At& i32At, const TCruiseTable& t, int k, const fs::path& file,
                std::string_view op) {
    const std::int64_t start = t.pointer[k], end = t.End(k);
    if (end - start < HeaderSize + ProbeHeadSize + BottlesHeadSize)
        Damaged(file, op, fmt::format("block of cast {} cut short", k));
    if (i32At(start + HeaderSize) != CollectionFormat)
        Damaged(file, op, fmt::format("no probe block in the block of cast {}", k));
    const std::int32_t parameters = i32At(start + HeaderSize + 4);
    if (parameters < 0 || parameters > MaxProbeBlockParameters)
        Raise(std::string(op) + ": CruiseFileToProbe failed");
    const std::int64_t bottles =
        start + HeaderSize + ProbeHeadSize + std::int64_t{parameters} * ParaAcquiRecordSize;
    if (bottles + BottlesHeadSize > end)
        Damaged(file, op, fmt::format("block of cast {} cut short", k));
    const std::int32_t count = i32At(bottles);
    if (count < 0 || bottles + BottlesHeadSize + std::int64_t{count} * BottleSize > end)
        Damaged(file, op, fmt::format("bottle count {} of cast {} out of range", count, k));
    if (bottles + BottlesHeadSize + std::int64_t{count} * BottleSize != end)
        Damaged(file, op,
                fmt::format("block of cast {} does not end where the next one starts", k));
}

// A whole file as read, every block checked: what may be rewritten.
TCruiseTable CheckImage(const std::vector<std::uint8_t>& image, const fs::path& file,
                        std::string_view op) {
    const TCruiseTable t = ReadTable(image, static_cast<std::int64_t>(image.size()), file, op);
    const TImageReader i32At{image, file, op};
    for (int k = 0; k <= t.last; ++k)
        CheckBlock(i32At, t, k, file, op);
    return t;
}

std::vector<std::uint8_t> ReadWholeFile(TStream& s) {
    const std::int64_t size = s.Size();
    if (size < 0 || size > MaxFileSize)
        Raise(fmt::format(": cannot read a cruise file of {} bytes", size));
    std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
    s.Seek(0);
    if (s.Read(image.data(), image.size()) != image.size())
        Raise(": read error");
    return image;
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& file) {
    std::unique_ptr<TFileStream> s;
    try {
        s = std::make_unique<TFileStream>(file, TFileMode::OpenRead);
    } catch (const EMarevoError& e) {
        Raise(std::string(": ") + e.what());
    }
    return ReadWholeFile(*s);
}

void PutI32(std::vector<std::uint8_t>& image, std::int64_t pos, std::int32_t v) {
    std::memcpy(image.data() + pos, &v, 4);
}

void WriteImage(const TCruiseFileWriter& writer, const fs::path& file,
                const std::vector<std::uint8_t>& image) {
    writer(file, [&](TStream& out) {
        TRecordWriter(out, ": write error - ")
            .PutBytes(image.data(), image.size(), file.filename().string());
    });
}

// First n characters of a UTF-8 text.
std::string LeftChars(const std::string& text, std::size_t n) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == n)
            return text.substr(0, i);
    return text;
}

// Closes the cruise file at the end of a scope that opened it.
struct TCloser {
    TCruisefile& file;
    bool active;
    ~TCloser() {
        if (active)
            file.CloseCruiseFile();
    }
};

} // namespace

namespace {

fs::path Resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::weakly_canonical(fs::absolute(p, ec), ec);
    return ec ? fs::path() : r;
}

bool Within(const fs::path& file, const fs::path& folder) {
    if (file.empty() || folder.empty())
        return false;
    const fs::path rel = file.lexically_relative(folder);
    return !rel.empty() && *rel.begin() != ".." && *rel.begin() != ".";
}

} // namespace

std::string ProtectedOutputError(const fs::path& output) {
    const fs::path out = Resolved(output);
    const std::string refused =
        output.string() + " is a cruise, cast, raw or settings file of the data root";
    if (out.empty())
        return output.string() + " cannot be resolved";
    const TEnviron& env = Environ();
    for (const fs::path& settings : {env.ConfigFolder(), env.DefaultEnvironFileName()})
        if (!settings.empty()) {
            const fs::path s = Resolved(settings);
            if (out == s || Within(out, s))
                return refused;
        }
    // A link planted inside the data root is not written through, wherever it leads.
    std::error_code ec;
    const fs::path lexical = fs::absolute(output, ec).lexically_normal();
    const fs::path lexicalRoot = fs::absolute(env.DataRootPath(), ec).lexically_normal();
    if (Within(lexical, lexicalRoot) && fs::is_symlink(fs::symlink_status(lexical, ec)))
        return output.string() + " is a link inside the data root";
    const fs::path root = Resolved(env.DataRootPath());
    if (!Within(out, root))
        return {};
    const fs::path rel = out.lexically_relative(root);
    auto part = rel.begin();
    const std::string cruise = part->string();
    if (!fs::exists(root / cruise / (cruise + ".cru"), ec) || ++part == rel.end())
        return {};
    const std::string second = part->string();
    const bool inCruiseFolder = std::next(part) == rel.end();
    if ((inCruiseFolder && second.starts_with(cruise + ".cru")) ||
        (!inCruiseFolder && (second == "bin" || second == "raw")))
        return refused;
    return {};
}

void CheckCruiseFolders(const fs::path& cruiseFolder) {
    std::error_code ec;
    for (const fs::path& f : {cruiseFolder, cruiseFolder / "bin", cruiseFolder / "raw",
                              cruiseFolder / "txt"})
        if (fs::is_symlink(fs::symlink_status(f, ec)))
            Raise(": " + f.string() + " is a link: a cruise's files are not written through it");
}

fs::path CruiseLockName(const fs::path& cruiseFile) {
    fs::path name = cruiseFile;
    name += ".lock";
    return name;
}

std::string CruiseInUseText(const fs::path& cruiseFile) {
    return "cruise " + cruiseFile.stem().string() + " is in use by another Marevo";
}

void LockCruise(const fs::path& cruiseFile, TFileLock& lock) {
    std::string reason;
    if (lock.Acquire(CruiseLockName(cruiseFile), CruiseLockWaitSeconds, reason))
        return;
    if (reason == "held by another process")
        Raise(CruiseInUseText(cruiseFile));
    Raise("cruise " + cruiseFile.stem().string() + " cannot be locked: " + reason);
}

namespace {

// The lock taken inside the file operations, whose failures read "<operation>: <reason>".
void LockForWrite(const fs::path& cruiseFile, TFileLock& lock) {
    try {
        LockCruise(cruiseFile, lock);
    } catch (const EMarevoError& e) {
        Raise(std::string(": ") + e.what());
    }
}

} // namespace

std::string NewCruiseNameError(std::string_view name) {
    if (name.find_first_of(ForbiddenCruiseChars) != std::string_view::npos) {
        std::string text = "You cannot use the following chars as part of a file name: ";
        for (char c : ForbiddenCruiseChars)
            text.append(1, c).append(" ");
        return text;
    }
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "newcruise")
        return "New Cruise Error: Please change the file name or exit by cancel";
    if (!IsSafeSettingsName(name))
        return fmt::format("New Cruise Error: a cruise name has 1 to {} printable characters",
                           MaxSettingsNameLength);
    return {};
}

// ---- TCastInfoC
// -----------------------------------------------------------------------------------

TCastInfoC::TCastInfoC() : ownProbe_(std::make_unique<TParamCollection>()), Probe(*ownProbe_) {}

TCastInfoC::TCastInfoC(TParamCollection& castCollection) : Probe(castCollection) {}

TCastInfoC& TCastInfoC::operator=(const TCastInfoC&) {
    Operator().Beep();
    return *this;
}

// ---- TCruisefile: file access -------------------------------------------------------------------

TCruisefile::TCruisefile() : writer_(WriteFileAtomically) {}

TCruisefile::TCruisefile(TParamCollection& castCollection)
    : CastInfoc(castCollection), writer_(WriteFileAtomically) {}

TCruisefile::~TCruisefile() = default;

fs::path TCruisefile::CurrentCruisePath() const {
    if (!override_.empty())
        return override_;
    const fs::path path = Config().DefaultCruisePath(Environ().DataRootPath());
    if (path.empty())
        Raise(fmt::format(": no current cruise (cruise name \"{}\")",
                          Config().GenCfg.CruiseName.Get()));
    return path;
}

void TCruisefile::Open(const fs::path& name, std::string_view op) {
    CloseCruiseFile();
    try {
        try {
            theStream = std::make_unique<TFileStream>(name, TFileMode::OpenRead);
        } catch (const EMarevoError& e) {
            Raise(std::string(op) + ": " + e.what());
        }
        std::vector<std::uint8_t> head(CruiseTableSize);
        head.resize(theStream->Read(head.data(), head.size()));
        const TCruiseTable t = ReadTable(head, theStream->Size(), name, op);
        CheckBlock(TStreamReader{*theStream, name, op}, t, 0, name, op);
        theStream->Seek(CruiseTableSize);
        if (!CastInfoc.Cruise.ReadCastInfo(*theStream))
            Raise(std::string(op) + ": ReadCastInfo failed");
        if (!CastInfoc.Probe0.CruiseFileToProbe(*theStream))
            Raise(std::string(op) + ": CruiseFileToProbe failed");
        table_ = t;
        LastIndex = t.last;
        CastPointer = t.pointer;
        fileName_ = name;
        IsOpen = true;
    } catch (...) {
        CloseCruiseFile();
        throw;
    }
}

bool TCruisefile::OpenCruiseFile(const fs::path& name) {
    return Guard({"Error in TCruisefile.OpenCruiseList ", "Open Cruise"},
                 [&] { Open(name, "TCruiseFile.OpenCruiseFile"); });
}

void TCruisefile::CloseCruiseFile() {
    theStream.reset();
    fileName_.clear();
    IsOpen = false;
}

void TCruisefile::ReadBlock(int n, std::string_view op) {
    if (!IsOpen || !theStream)
        Raise(std::string(op) + ": no cruise file open");
    // LastIndex may already count a cast being prepared: the file's own table decides.
    if (n > table_.last)
        Raise(fmt::format("{}: cast {} is not in the file", op, n));
    CheckBlock(TStreamReader{*theStream, fileName_, op}, table_, n, fileName_, op);
    theStream->Seek(table_.pointer[n]);
    if (!CastInfoc.Cast.ReadCastInfo(*theStream))
        Raise(std::string(op) + ": ReadCastInfo failed");
    if (!CastInfoc.Probe.CruiseFileToProbe(*theStream))
        Raise(std::string(op) + ": CruiseFileToProbe failed");
    if (!CastInfoc.Bottles.CruiseFileToBottles(*theStream))
        Raise(std::string(op) + ": CruiseFileToBottles failed");
}

bool TCruisefile::ReadCastNb1(int n) {
    const std::string box = fmt::format("Read Cast: {}", n);
    return GuardOr({"Error in TCruiseFile.ReadCastNb1 ", box}, false, [&] {
        if (n == LastCastRequest)
            n = LastIndex;
        if (n < 0 || n > LastIndex) {
            CastInfoc.Cast.SetDefCruise("");
            CastInfoc.Probe.Clear();
            return false;
        }
        ReadBlock(n, "TCruiseFile.ReadCastNb1");
        return true;
    });
}

bool TCruisefile::ReadCastNb(int n) {
    const std::string box = fmt::format("Read cast: {}", n);
    return Guard({"Error in TCruiseFile.ReadCastNb ", box}, [&] {
        if (n == LastCastRequest)
            n = LastIndex;
        if (n < 0 || n > LastIndex) {
            Operator().Message("TCruiseFile.ReadCastNb: CastNb out of range", "",
                               TMessageKind::Information);
            CastInfoc.Cast.SetDefCruise("");
            CastInfoc.Probe.Clear();
            return;
        }
        ReadBlock(n, "TCruiseFile.ReadCastNb");
        TCastInfo& cast = CastInfoc.Cast;
        if (cast.ID != n) {
            WriteLog(fmt::format("Error in TCruiseFile.ReadCastNb: Expected cast id: {} but was {} "
                                 "Error corrected!",
                                 n, cast.ID));
            cast.ID = n;
        }
        if (n != 0 && !CastInfoc.Probe.BuildProbeInfo())
            WriteLog("Error in TCruiseFile.ReadCastNb BuildProbeInfo failed");
    });
}

std::vector<std::uint8_t> TCruisefile::CastBlock(bool cruiseHeader) {
    TMemoryStream block;
    if (!CastInfoc.Cast.WriteCastInfo(block))
        Raise(": error calling CastInfoC.cast.WriteCastInfo");
    TParamCollection& probe = cruiseHeader ? CastInfoc.Probe0 : CastInfoc.Probe;
    if (!probe.ProbeToCruiseFile(block))
        Raise(": error calling ProbeToCruiseFile");
    if (!CastInfoc.Bottles.BottlesToCruiseFile(block))
        Raise(": error calling BottlesToCruiseFile");
    return block.Bytes();
}

void TCruisefile::ReadImage(std::vector<std::uint8_t>& image, std::string_view op) {
    if (!IsOpen || !theStream)
        Raise(std::string(op) + ": no cruise file open");
    image = ReadWholeFile(*theStream);
}

void TCruisefile::Replace(const std::vector<std::uint8_t>& image) {
    // What was read must still be the file: another writer's file is never overwritten with it.
    if (!theStream->IsFileAt(fileName_))
        Raise(": " + fileName_.filename().string() + " was replaced since it was opened");
    WriteImage(writer_, fileName_, image);
    // The stream still reads the replaced file: read the new one from now on.
    theStream = std::make_unique<TFileStream>(fileName_, TFileMode::OpenRead);
    table_ = ReadTable(image, static_cast<std::int64_t>(image.size()), fileName_, "");
    LastIndex = table_.last;
    CastPointer = table_.pointer;
}

bool TCruisefile::WriteCastNb() {
    return GuardOr({"Error in TCruiseFile.WriteCastNb"}, false, [&] {
        TFileLock lock;
        if (IsOpen)
            LockForWrite(fileName_, lock);
        std::vector<std::uint8_t> image;
        ReadImage(image, "");
        const TCruiseTable t = CheckImage(image, fileName_, "");
        const int id = CastInfoc.Cast.ID;
        if (id < 0 || id > t.last) {
            Operator().Message("TCruiseFile.WriteCastNb: CastNb out of range", "",
                               TMessageKind::Information);
            return false;
        }
        const std::vector<std::uint8_t> block = CastBlock(id == 0);
        const std::int64_t start = t.pointer[id], end = t.End(id);
        // Only the last block could grow in place; here any block may change its size and the
        // blocks after it move.
        const std::int64_t delta = static_cast<std::int64_t>(block.size()) - (end - start);
        if (static_cast<std::int64_t>(image.size()) + delta > MaxFileSize)
            Raise(": the cruise file would exceed 2 GiB");
        std::vector<std::uint8_t> next;
        next.reserve(image.size() + static_cast<std::size_t>(std::max<std::int64_t>(delta, 0)));
        next.insert(next.end(), image.begin(), image.begin() + start);
        next.insert(next.end(), block.begin(), block.end());
        next.insert(next.end(), image.begin() + end, image.end());
        for (int k = id + 1; k <= t.last; ++k)
            PutI32(next, 4 + 4 * k, static_cast<std::int32_t>(t.pointer[k] + delta));
        Replace(next);
        return true;
    });
}

bool TCruisefile::UpdateLast() {
    return GuardOr({"Error in TCruiseFile.UpdateLast", "Update Cast"}, false, [&] {
        TFileLock lock;
        LockForWrite(CurrentCruisePath(), lock);
        Open(CurrentCruisePath(), "");
        TCloser closer{*this, true};
        return WriteCastNb();
    });
}

bool TCruisefile::ReadCast(const fs::path& path, int n) {
    if (!OpenCruiseFile(path))
        return false;
    const bool ok = ReadCastNb1(n);
    CloseCruiseFile();
    return ok;
}

bool TCruisefile::AppendCast(bool OpenFile) {
    return Guard({"Error in TCruiseFile.AppendCast", "Append Cast"}, [&] {
        TFileLock lock;
        LockForWrite(OpenFile || !IsOpen ? CurrentCruisePath() : fileName_, lock);
        if (OpenFile)
            Open(CurrentCruisePath(), "");
        TCloser closer{*this, OpenFile};
        std::vector<std::uint8_t> image;
        ReadImage(image, "");
        const TCruiseTable t = CheckImage(image, fileName_, "");
        // Checked before anything is built or written: the file stays as it is.
        const int next = t.last + 1;
        if (next > MaxCastNumber)
            Raise(fmt::format(": cast {} is beyond the {} casts a cruise file holds", next,
                              MaxCastNumber));
        const std::vector<std::uint8_t> block = CastBlock(false);
        const std::int64_t offset = static_cast<std::int64_t>(image.size());
        if (offset + static_cast<std::int64_t>(block.size()) > MaxFileSize)
            Raise(": the cruise file would exceed 2 GiB");
        PutI32(image, 0, next);
        PutI32(image, 4 + 4 * next, static_cast<std::int32_t>(offset));
        image.insert(image.end(), block.begin(), block.end());
        Replace(image);
    });
}

bool TCruisefile::NewCastDefault() {
    return Guard({"Error in TCruiseFile.NewCastDefault", "New Cast"}, [&] {
        const TAcquiCfg& acqui = Config().AcquiCfg;
        TExtended step = acqui.VertStep;
        if (acqui.AcquiMode == AM_Time)
            step = TExtended::FromDouble(acqui.TimeStep * SecondsPerDay);
        else if (acqui.AcquiMode == AM_All)
            step = TExtended::FromDouble(acqui.AllStep);
        CastInfoc.Cast.SetDefCast(LastIndex, acqui.AcquiMode, step);
    });
}

bool TCruisefile::AddNextCast() {
    return Guard({"Error in TCruiseFile.AddNextCast", "Add Next cast"}, [&] {
        Open(CurrentCruisePath(), "");
        TCloser closer{*this, true};
        if (!ReadCastNb(LastCastRequest))
            Raise(": the last cast cannot be read");
        // A cast that could not be appended must not be acquired: its data files would take the
        // names of cast 0's.
        if (LastIndex >= MaxCastNumber)
            Raise(fmt::format(": the cruise already holds {} casts, the most it can hold",
                              MaxCastNumber));
        ++LastIndex;
        if (!NewCastDefault())
            Raise(": NewCastDefault failed");
        CastInfoc.Probe.Clear();
        CastInfoc.Bottles.Clear();
    });
}

bool TCruisefile::ReloadCurrentCast() {
    return Guard({"Error in TCruiseFile.ReloadCurrentCast"}, [&] {
        TMemoryStream block(CastBlock(false));
        if (!CastInfoc.Cast.ReadCastInfo(block))
            Raise(": ReadCastInfo failed");
        if (!CastInfoc.Probe.CruiseFileToProbe(block))
            Raise(": CruiseFileToProbe failed");
        if (!CastInfoc.Bottles.CruiseFileToBottles(block))
            Raise(": CruiseFileToBottles failed");
    });
}

bool TCruisefile::NewCruise(const fs::path& dataRoot, const TNewCruiseDialog& dialog) {
    return GuardOr({"Error in TCruiseFile.NewCruise"}, false, [&] {
        CloseCruiseFile();
        TCastInfo& cast = CastInfoc.Cast;
        if (!cast.SetDefCruise("NewCruise"))
            return false;
        CastInfoc.Probe0.Clear();
        CastInfoc.Probe0.FrameInfo = TFrameInfo{};
        CastInfoc.Bottles.Clear();
        if (!dialog(cast))
            return false;
        const std::string name = cast.InfoStr[2].Get();
        std::string refused = NewCruiseNameError(name);
        if (!refused.empty()) {
            Operator().Message(refused, "Warning", TMessageKind::Warning);
            return false;
        }
        const fs::path folder = CruiseFolder(dataRoot, name);
        std::error_code ec;
        for (const char* sub : {"bin", "raw", "txt"}) {
            fs::create_directories(folder / sub, ec);
            if (ec)
                Raise(": cannot create " + (folder / sub).string() + ": " + ec.message());
        }
        CheckCruiseFolders(folder);
        // Whether the cruise exists is asked under its lock: two programs creating the same
        // cruise at once do not both write it.
        const fs::path target = override_.empty() ? DefaultCruiseName(dataRoot, name) : override_;
        TFileLock lock;
        LockForWrite(target, lock);
        if (fs::exists(fs::symlink_status(target, ec))) {
            Operator().Message("New Cruise Error: this header name already exists", "Warning",
                               TMessageKind::Warning);
            return false;
        }

        std::vector<std::uint8_t> image(CruiseTableSize, 0);
        PutI32(image, 4, static_cast<std::int32_t>(CruiseTableSize));
        const std::vector<std::uint8_t> block = CastBlock(true);
        image.insert(image.end(), block.begin(), block.end());
        WriteImage(writer_, target, image);
        CurrentIndex = 0;
        LastIndex = 0;
        CastPointer.fill(0);
        CastPointer[0] = static_cast<std::int32_t>(CruiseTableSize);
        CastInfoc.Cruise = cast;
        return true;
    });
}

std::int32_t TCruisefile::GetLastIndex() {
    fs::path path;
    if (!Guard({"Error in TCruiseFile.GetLastIndex"}, [&] { path = CurrentCruisePath(); }))
        return -1;
    if (!OpenCruiseFile(path))
        return -1;
    const std::int32_t last = LastIndex;
    CloseCruiseFile();
    return last;
}

fs::path TCruisefile::RawPath() const {
    return GuardOr({"Error in TCruiseFile.RawPath"}, fs::path(), [&] {
        const fs::path dir = Config().RawDir(Environ().DataRootPath());
        if (dir.empty())
            return fs::path();
        return dir /
               (Config().GenCfg.CruiseName.Get() + CastNumberText(CastInfoc.Cast.ID) + ".raw");
    });
}

fs::path TCruisefile::BinPath() const {
    return GuardOr({"Error in TCruiseFile.BinPath"}, fs::path(), [&] {
        const fs::path dir = Config().BinDir(Environ().DataRootPath());
        if (dir.empty())
            return fs::path();
        return BinFileName(dir, Config().GenCfg.CruiseName.Get(), CastInfoc.Cast.ID);
    });
}

// ---- Lists --------------------------------------------------------------------------------------

bool TCruisefile::BuildCruiseList(std::vector<std::string>& list) {
    return Guard({"Error in TCruisefile.BuildCruiseList", "Build Cruise List"}, [&] {
        list.clear();
        const fs::path root = Environ().DataRootPath();
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_directory(ec) && IsSafeSettingsName(name) &&
                fs::exists(DefaultCruiseName(root, name), ec))
                list.push_back(name);
        }
        std::sort(list.begin(), list.end());
    });
}

bool TCruisefile::BuildCastList(std::vector<TCastListItem>& list) {
    const bool ok = Guard({"Error in TCruisefile.BuildCastList", "Build Cast List"}, [&] {
        list.clear();
        const int last = LastIndex;
        for (int k = 0; k <= last; ++k) {
            if (!ReadCastNb1(k))
                Raise(fmt::format("TCruiseFile.BuildCastList: readCastNb1 failed: {}", k));
            const TCastInfo& cast = CastInfoc.Cast;
            const std::string name = cast.InfoStr[1].Get();
            list.push_back({k == 0 ? "Cruise : " + name : CastNumberText(k) + " : " + name,
                            cast.InvalidCast == 0, true});
        }
    });
    if (!ok)
        CloseCruiseFile();
    return ok;
}

bool TCruisefile::BuildCastList1(std::vector<TCastListItem>& list, TCastListDialog dialog) {
    const bool ok = Guard({"Error in TCruisefile.BuildCastList1", "Build Cast List"}, [&] {
        const fs::path path = Config().CruisePathName(Environ().DataRootPath());
        std::error_code ec;
        if (path.empty() || !fs::exists(path, ec))
            return;
        Open(path, "");
        TCloser closer{*this, true};
        list.clear();
        const int last = LastIndex;
        for (int k = 1; k <= last; ++k) {
            if (!ReadCastNb1(k))
                Raise("TCruiseFile.BuildCastList1: readCastNb1 failed");
            const TCastInfo& cast = CastInfoc.Cast;
            const bool valid = cast.InvalidCast == 0;
            list.push_back({LeftChars(CastNumberText(k) + " : " + cast.InfoStr[1].Get(), 20), valid,
                            dialog != TCastListDialog::OpenData || valid});
        }
    });
    if (!ok)
        CloseCruiseFile();
    return ok;
}

// ---- Recovery copies
// ------------------------------------------------------------------------------

namespace {

// Puts the bytes of `from` in place of `to`, whole or not at all.
void CopyOver(const fs::path& from, const fs::path& to) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(from);
    WriteImage(WriteFileAtomically, to, bytes);
}

} // namespace

fs::path RecoveryCopyName(const fs::path& file) {
    return fs::path(file).replace_extension(".bak");
}

std::string CruiseRecoveryQuestion(const fs::path& copy) {
    return "A saved copy of cruise file: " + copy.string() + " exists. Would you like to use it? ";
}

bool KeepRecoveryCopy(const fs::path& file, std::string_view question) {
    return Guard({"Error in RecoveryCopy.Keep"}, [&] {
        const fs::path copy = RecoveryCopyName(file);
        std::error_code ec;
        if (fs::exists(copy, ec)) {
            if (Operator().Confirm(question, "Warning"))
                CopyOver(copy, file);
        } else if (fs::exists(file, ec)) {
            CopyOver(file, copy);
        }
    });
}

bool DeleteRecoveryCopy(const fs::path& file) {
    return Guard({"Error in RecoveryCopy.Delete"}, [&] {
        std::error_code ec;
        fs::remove(RecoveryCopyName(file), ec);
        if (ec)
            Raise(": " + ec.message());
    });
}

bool OfferCruiseRecoveryCopy(const fs::path& cruiseFile) {
    return Guard({"Error in RecoveryCopy.Offer"}, [&] {
        const fs::path copy = RecoveryCopyName(cruiseFile);
        std::error_code ec;
        if (!fs::exists(copy, ec))
            return;
        if (Operator().Confirm(CruiseRecoveryQuestion(copy), "Warning")) {
            TFileLock lock;
            LockForWrite(cruiseFile, lock);
            const std::vector<std::uint8_t> bytes = ReadWholeFile(copy);
            // A damaged copy must not replace the file; it stays for whoever can mend it.
            CheckImage(bytes, copy, "");
            WriteImage(WriteFileAtomically, cruiseFile, bytes);
        }
        fs::remove(copy, ec);
    });
}

} // namespace marevo
