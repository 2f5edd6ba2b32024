// Import and rebuild of logger recordings made with the simulated probe, in fake time.

#include "storage/CastImport.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"
#include "SimRecording.h"
#include "foundation/DateTime.h"
#include "foundation/SafeFiles.h"
#include "foundation/Stream.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "app/AppContext.h"
#include "records/Config.h"
#include "records/Environ.h"
#include "records/GenConfig.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <fstream>
#include <map>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// text with its first occurrence of from replaced by to; the test fails when there is none.
std::string Edited(const std::string& text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "no \"" << from << "\" in\n" << text;
    return at == std::string::npos ? text : text.substr(0, at) + to + text.substr(at + from.size());
}

// The line of a transcript that starts with tag, without its CR LF.
std::string TranscriptLine(const fs::path& xfr, const std::string& tag) {
    std::ifstream in(xfr, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(tag))
            return line.substr(0, line.size() - (line.ends_with('\r') ? 1 : 0));
    ADD_FAILURE() << "no " << tag << " line in " << xfr;
    return {};
}

TEST(CastImportNames, CompanionsAreNamedFromTheFileNameAndTheCopyFromTheDate) {
    struct TCase {
        const char* raw;
        const char* xfr; // "" = none
        const char* ext;
    } cases[] = {
        {"/d/uMvo/LOG01.raw", "/d/uMvo/LOG01.xfr", "/d/uMvo/LOG01.ext"},
        {"/d/uMvo/a.raw.raw", "/d/uMvo/a.xfr.xfr", "/d/uMvo/a.ext.ext"},  // every occurrence
        {"/d/cast.raw/LOG01.raw", "/d/cast.raw/LOG01.xfr", "/d/cast.raw/LOG01.ext"},
        {"/d/uMvo/LOG01.RAW", "", ""},
        {"/d/cast.raw/LOG01", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.raw);
        const auto t = TripletOfRaw(c.raw);
        ASSERT_EQ(t.has_value(), *c.xfr != 0);
        if (t) {
            EXPECT_EQ(t->xfr, fs::path(c.xfr));
            EXPECT_EQ(t->ext, fs::path(c.ext));
            EXPECT_EQ(TripletOfTranscript(t->xfr)->raw, fs::path(c.raw));
        }
    }
    EXPECT_EQ(RebuildCopyName("/d/C/C.cru", EncodeDateTime(2026, 12, 9, 4, 35, 46)),
              fs::path("/d/C/C.cru09-12-2026 04-35-46.bak"));
}

// A cruise "CR" under the test's data root, current in the configuration, and a logger folder.
struct TImportTest : ::testing::Test {
    TImportTest() {
        env.probe.DefaultParamCol();
        env.environ.DataRoot.Set(Root().string() + "/");
        fs::create_directories(Logger());
        env.config.GenCfg.CruiseName.Set("CR");
        EXPECT_TRUE(file.NewCruise(Root(), [](TCastInfo& c) {
            c.InfoStr[1].Set("CR");
            c.InfoStr[2].Set("CR");
            return true;
        }));
    }

    fs::path Root() const { return env.dir / "data"; }
    fs::path Logger() const { return env.dir / "uMvo"; }
    fs::path CruisePath() const { return Root() / "CR" / "CR.cru"; }
    fs::path RawDir() const { return Root() / "CR" / "raw"; }
    fs::path BinFile(int cast) const {
        return Root() / "CR" / "bin" / ("CR" + CastNumberText(cast) + ".bin");
    }

    // A recording of the simulated probe: a short synthetic cast to 30 dbar.
    fs::path Record(const std::string& base, int format = 6, double seconds = 70) {
        sim::TSimRecording options;
        options.format = format;
        options.seconds = seconds;
        options.bottomPressure = 30;
        sim::TSimRecordingResult result;
        const fs::path raw = Logger() / (base + ".raw");
        EXPECT_TRUE(sim::RecordSimulatedCast(raw, options, result)) << result.error;
        return raw;
    }

    bool Warned(const std::string& text) const {
        const auto events = env.op.Events();
        return std::any_of(events.begin(), events.end(), [&](const std::string& e) {
            return e.find("[Warning]: " + text) != std::string::npos;
        });
    }
    std::string Events() const {
        std::string all;
        for (const std::string& e : env.op.Events())
            all += e + "\n";
        return all;
    }

    // The stored header of cast n, as bytes; the bytes after the length of each text, which
    // hold whatever the text it replaced left there, are cleared.
    std::string StoredHeader(int n) {
        TCruisefile reader;
        EXPECT_TRUE(reader.ReadCast(CruisePath(), n));
        TCastInfo header = reader.CastInfoc.Cast;
        const auto clean = [](auto& text) {
            const std::string value = text.Get();
            text = {};
            text.Set(value);
        };
        for (auto& text : header.InfoStr)
            clean(text);
        clean(header.comment);
        TMemoryStream bytes;
        header.WriteCastInfo(bytes);
        std::string s(static_cast<std::size_t>(bytes.Size()), '\0');
        bytes.Seek(0);
        bytes.Read(s.data(), s.size());
        return s;
    }

    test::TAppEnv env;
    TCruisefile file{env.cast};
    TCastImport import{file};
};

// The frames of a recording replayed straight through the pipeline, into a collection that the
// identification of the same simulated probe builds (no transcript is read back).
void DirectReplay(TParamCollection& col, const fs::path& raw, int format) {
    sim::TSimProbeSettings settings;
    settings.format = format;
    settings.formats = {format};
    auto probe = std::make_shared<sim::TSimProbe>(settings, sim::MakeSyntheticProfile());
    TFileCOMM port(std::make_unique<sim::TSimProbeDevice>(probe));
    Environ().DF7Enabling = 1;
    TQvlUtil qvl(&col);
    ASSERT_TRUE(qvl.GetProbeInfoA(-1, &port));
    col.Acqui.ProbeOnLine = false;
    ASSERT_TRUE(col.AddNMEAAndExternalParameter());
    ASSERT_TRUE(col.AddAcquiPara());
    ASSERT_TRUE(col.BuildProbeInfo());
    ASSERT_TRUE(col.InitRoundBuffer());
    ASSERT_TRUE(col.InitLinearBuffer());
    ASSERT_TRUE(ReplayRawFile(col, raw));
}

// Parameter number -> its binned series (value, flag).
using TTable = std::map<int, std::vector<std::pair<float, int>>>;
TTable Binned(const TParamCollection& col) {
    TTable t;
    for (const auto& p : col)
        if (p->SortedBuffer && TParamRaw::IsStoredType(p->ParaType())) {
            auto& rows = t[p->GetParaNb()];
            for (int r = 0; r <= p->SortedBuffer->LastIndice; ++r)
                rows.emplace_back(p->SortedBuffer->Data()[r].value, p->SortedBuffer->Data()[r].flag);
        }
    return t;
}

TEST_F(TImportTest, ImportedRecordingBinsAsTheDirectReplayOfItsFrames) {
    for (int format : {5, 6, 7}) {
        SCOPED_TRACE(format);
        const std::string base = "LOG" + std::to_string(format);
        const fs::path raw = Record(base, format);
        const std::string rawBytes = ReadFileBytes(raw);
        ASSERT_TRUE(import.ImportMicroMarevoFiles({raw})) << Events();
        const int cast = import.Appended().at(0);
        const fs::path copy = RawDir() / ("CR" + CastNumberText(cast) + ".raw");
        EXPECT_TRUE(ReadFileBytes(copy) == rawBytes);
        for (const char* ext : {".raw", ".xfr", ".ext"})
            EXPECT_FALSE(fs::exists(Logger() / (base + ext))) << ext;

        // The stored cast, read back as the program opens a binary cast.
        TCruisefile reader(env.cast);
        ASSERT_TRUE(reader.OpenCruiseFile(CruisePath()));
        ASSERT_TRUE(reader.ReadCastNb(cast));
        reader.CloseCruiseFile();
        EXPECT_EQ(env.cast.ProbeInfo.Protocol, format);
        ASSERT_TRUE(env.cast.InitRoundBuffer());
        ASSERT_TRUE(env.cast.InitLinearBuffer());
        ASSERT_TRUE(env.cast.BinRead(BinFile(cast)));
        const TTable imported = Binned(env.cast);

        TParamCollection direct;
        DirectReplay(direct, copy, format);
        const TTable replayed = Binned(direct);
        ASSERT_GT(replayed.count(101), 0u);
        EXPECT_GT(replayed.at(101).size(), 20u); // a table worth comparing
        EXPECT_EQ(imported, replayed);
    }
}

TEST_F(TImportTest, BadRecordingsAreRefusedAndLeaveTheCruiseFileAsItWas) {
    struct TCase {
        const char* what;
        // Makes the recording's files under the base name; returns the raw file to import and
        // the warning expected (a part of it).
        std::function<std::pair<fs::path, std::string>(const std::string& base)> make;
    };
    const auto xfrOf = [](const fs::path& raw) { return TripletOfRaw(raw)->xfr; };
    const TCase cases[] = {
        {"missing transcript",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             fs::remove(xfrOf(raw));
             return std::pair{raw, "Can not import " + raw.string() + "!. Missing file: " +
                                       xfrOf(raw).string() + "!"};
         }},
        {"invalid serial number answer: reading stops at that line",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             std::string text = ReadFileBytes(xfrOf(raw));
             text = Edited(text, TranscriptLine(xfrOf(raw), "[SN], "), "[SN], SN 0712345");
             text = Edited(text, TranscriptLine(xfrOf(raw), "[VN], "), "[VN], ER 001");
             WriteText(xfrOf(raw), text);
             return std::pair{raw, "Can not import " + xfrOf(raw).string() +
                                       "!. Invalid SN command result!"};
         }},
        {"calibration answer missing a coefficient",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             const std::string line = TranscriptLine(xfrOf(raw), "[CA], CA 1 ");
             WriteText(xfrOf(raw), Edited(ReadFileBytes(xfrOf(raw)), line,
                                          line.substr(0, line.rfind(' '))));
             return std::pair{raw, "Can not import " + xfrOf(raw).string() +
                                       "!. Invalid CA command result for parameter: 1!"};
         }},
        {"start date that is no date",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             WriteText(xfrOf(raw), Edited(ReadFileBytes(xfrOf(raw)),
                                          TranscriptLine(xfrOf(raw), "[SDT], "),
                                          "[SDT], 31, 2, 2015, 23, 59, 58"));
             return std::pair{raw, "Can not import " + xfrOf(raw).string() +
                                       "!. Invalid start date: [SDT], 31, 2, 2015, 23, 59, 58!"};
         }},
        {"empty transcript",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             fs::resize_file(xfrOf(raw), 0);
             return std::pair{raw, "Can not import " + xfrOf(raw).string() +
                                       "!. The transcript describes no probe (DF and CA lines)!"};
         }},
        {"raw file of another data format",
         [&](const std::string& base) {
             const fs::path raw = Record(base, 6);
             const fs::path other = Record(base + "other", 5);
             fs::copy_file(other, raw, fs::copy_options::overwrite_existing);
             return std::pair{raw, "Can not import " + raw.string() +
                                       "!. The raw file holds no DF6 frames"};
         }},
        {"empty raw file",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             fs::resize_file(raw, 0);
             return std::pair{raw, "Can not import " + raw.string() + "!. The raw file is empty!"};
         }},
        {"name without \".raw\"",
         [&](const std::string& base) {
             const fs::path raw = Record(base);
             const fs::path upper = Logger() / (base + ".RAW");
             fs::rename(raw, upper);
             return std::pair{upper, "Can not import " + upper.string() + "!. The name holds no"};
         }},
    };
    ASSERT_TRUE(import.ImportMicroMarevoFiles({Record("GOOD")})) << Events();
    const std::string before = ReadFileBytes(CruisePath());
    int k = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string base = "BAD" + std::to_string(++k);
        const auto [raw, warning] = c.make(base);
        env.op.Clear();
        EXPECT_FALSE(import.ImportMicroMarevoFiles({raw}));
        EXPECT_TRUE(import.Appended().empty());
        EXPECT_TRUE(Warned(warning)) << Events();
        EXPECT_EQ(ReadFileBytes(CruisePath()), before);
        EXPECT_TRUE(fs::exists(raw)); // nothing of a refused recording is deleted
        EXPECT_FALSE(fs::exists(RawDir() / "CR002.raw"));
        EXPECT_FALSE(fs::exists(BinFile(2)));
    }
}

TEST_F(TImportTest, TakenCastFileNamesAreRefusedNeitherOverwrittenNorFollowed) {
    const fs::path victim = env.dir / "victim";
    struct TCase {
        const char* what;
        fs::path name; // of the new cast 1
        std::function<void(const fs::path&)> occupy;
    } cases[] = {
        {"folder at the raw copy", RawDir() / "CR001.raw",
         [](const fs::path& n) { fs::create_directories(n); }},
        {"link at the raw copy", RawDir() / "CR001.raw",
         [&](const fs::path& n) { fs::create_symlink(victim, n); }},
        {"link at the transcript copy", RawDir() / "CR001.xfr",
         [&](const fs::path& n) { fs::create_symlink(victim, n); }},
        {"link at the binary file", BinFile(1), [&](const fs::path& n) { fs::create_symlink(victim, n); }},
        {"file at the ext copy", RawDir() / "CR001.ext",
         [](const fs::path& n) { WriteText(n, "someone's"); }},
    };
    const fs::path raw = Record("TAKEN", 6, 20);
    const std::string before = ReadFileBytes(CruisePath());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(victim, "untouched");
        c.occupy(c.name);
        env.op.Clear();
        EXPECT_FALSE(import.ImportMicroMarevoFiles({raw}));
        EXPECT_TRUE(Warned("Can not import " + raw.string() + "!. " + c.name.string() +
                           " exists already"))
            << Events();
        EXPECT_EQ(ReadFileBytes(CruisePath()), before);
        EXPECT_EQ(ReadFileBytes(victim), "untouched");
        for (const char* ext : {".raw", ".xfr", ".ext"})
            EXPECT_TRUE(fs::exists(Logger() / (std::string("TAKEN") + ext))) << ext;
        // Only the occupant is there; nothing of the refused cast was made.
        EXPECT_TRUE(fs::exists(fs::symlink_status(c.name)));
        for (const fs::path& f : {RawDir() / "CR001.raw", RawDir() / "CR001.xfr",
                                  RawDir() / "CR001.ext", BinFile(1)})
            EXPECT_EQ(fs::exists(fs::symlink_status(f)), f == c.name) << f;
        fs::remove_all(c.name);
    }
    EXPECT_TRUE(import.ImportMicroMarevoFiles({raw})) << Events();
    EXPECT_EQ(import.Appended(), std::vector<int>{1});
}

TEST_F(TImportTest, ACruisesOwnFilesAreNeverImported) {
    ASSERT_TRUE(import.ImportMicroMarevoFiles({Record("FIRST", 6, 20)})) << Events();
    const std::string before = ReadFileBytes(CruisePath());
    const std::string raw1 = ReadFileBytes(RawDir() / "CR001.raw");
    // A link from outside into the raw folder leads to the same files.
    for (const char* ext : {".raw", ".xfr", ".ext"})
        fs::create_symlink(RawDir() / (std::string("CR001") + ext),
                           Logger() / (std::string("LINKED") + ext));
    for (const fs::path& source : {RawDir() / "CR001.raw", Logger() / "LINKED.raw"}) {
        SCOPED_TRACE(source);
        env.op.Clear();
        EXPECT_FALSE(import.ImportMicroMarevoFiles({source}));
        EXPECT_TRUE(Warned("Can not import " + source.string() + "!. ")) << Events();
        EXPECT_NE(Events().find("lies in the cruise folder " + (Root() / "CR").string()),
                  std::string::npos)
            << Events();
        EXPECT_EQ(ReadFileBytes(CruisePath()), before);
        EXPECT_EQ(ReadFileBytes(RawDir() / "CR001.raw"), raw1);
        for (const char* ext : {".xfr", ".ext"})
            EXPECT_TRUE(fs::exists(RawDir() / (std::string("CR001") + ext)));
        EXPECT_FALSE(fs::exists(RawDir() / "CR002.raw"));
    }
}

// Passes at most `budget` bytes on, then fails as a full disk does.
class TFullDisk final : public TStream {
public:
    TFullDisk(TStream& inner, std::size_t budget) : inner_(inner), budget_(budget) {}
    std::size_t Read(void* b, std::size_t n) override { return inner_.Read(b, n); }
    std::size_t Write(const void* b, std::size_t n) override {
        const std::size_t k = std::min(n, budget_);
        budget_ -= k;
        return k == 0 ? 0 : inner_.Write(b, k);
    }
    std::int64_t Position() const override { return inner_.Position(); }
    void Seek(std::int64_t p) override { inner_.Seek(p); }
    std::int64_t Size() const override { return inner_.Size(); }

private:
    TStream& inner_;
    std::size_t budget_;
};

TEST_F(TImportTest, AFullDiskAtAnyByteOfTheCommitLeavesNoPhantomCast) {
    ASSERT_TRUE(import.ImportMicroMarevoFiles({Record("FIRST", 6, 20)})) << Events();
    const std::string before = ReadFileBytes(CruisePath());
    const fs::path raw = Record("FULL", 6, 5);
    const std::string recording = ReadFileBytes(raw);
    std::size_t runs = 0;
    const std::size_t step = before.size() / 24 + 1;
    for (std::size_t budget = 0; budget < 2 * before.size(); budget += step) {
        SCOPED_TRACE(budget);
        bool wrote = false;
        file.SetFileWriter([&](const fs::path& name, const std::function<void(TStream&)>& write) {
            WriteFileAtomically(name, [&](TStream& out) {
                TFullDisk full(out, budget);
                write(full);
            });
            wrote = true;
        });
        const bool ok = import.ImportMicroMarevoFiles({raw});
        if (ok) {
            // The budget held the whole new file: the cast is in, once, with its files.
            ASSERT_TRUE(wrote);
            EXPECT_EQ(import.Appended(), std::vector<int>{2});
            EXPECT_EQ(ReadFileBytes(RawDir() / "CR002.raw"), recording);
            EXPECT_TRUE(fs::exists(BinFile(2)));
            EXPECT_FALSE(fs::exists(raw));
            break;
        }
        ++runs;
        EXPECT_EQ(ReadFileBytes(CruisePath()), before);
        EXPECT_TRUE(fs::exists(raw));
        EXPECT_EQ(ReadFileBytes(raw), recording);
        for (const fs::path& f : {RawDir() / "CR002.raw", RawDir() / "CR002.xfr",
                                  RawDir() / "CR002.ext", BinFile(2),
                                  ImportJournalName(CruisePath())})
            EXPECT_FALSE(fs::exists(fs::symlink_status(f))) << f;
        for (const auto& e : fs::recursive_directory_iterator(Root() / "CR"))
            EXPECT_EQ(e.path().string().find(".~mvtmp-"), std::string::npos) << e.path();
    }
    EXPECT_GE(runs, 24u);
    TCruisefile reader;
    ASSERT_TRUE(reader.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(reader.LastIndex, 2);
}

TEST_F(TImportTest, AnImportWaitsForTheCruiseLockThenGivesUp) {
    const fs::path raw = Record("LOCKED", 6, 20);
    const std::string before = ReadFileBytes(CruisePath());
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        TFileLock lock;
        std::string reason;
        const char held = lock.Acquire(CruiseLockName(CruisePath()), 0, reason) ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        char go;
        (void)!read(release[0], &go, 1);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');
    const std::uint64_t start = env.clock.TickMs();
    EXPECT_FALSE(import.ImportMicroMarevoFiles({raw}));
    EXPECT_GE(env.clock.TickMs() - start,
              static_cast<std::uint64_t>(CruiseLockWaitSeconds * 1000));
    EXPECT_NE(Events().find("cruise CR is in use by another Marevo"), std::string::npos)
        << Events();
    EXPECT_EQ(ReadFileBytes(CruisePath()), before);
    EXPECT_TRUE(fs::exists(raw));
    EXPECT_FALSE(fs::exists(RawDir() / "CR001.raw"));
    ASSERT_EQ(write(release[1], "g", 1), 1);
    ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
    EXPECT_TRUE(import.ImportMicroMarevoFiles({raw})) << Events();
}

TEST_F(TImportTest, TablesRefuseOutputsThatAreTheCruisesData) {
    ASSERT_TRUE(import.ImportMicroMarevoFiles({Record("TABLE", 6, 20)})) << Events();
    fs::create_directories(Root() / "CR" / "txt");
    fs::create_symlink(CruisePath(), Root() / "CR" / "txt" / "link.txt");
    const std::vector<fs::path> protectedFiles = {
        CruisePath(), RawDir() / "CR001.raw", RawDir() / "CR001.xfr", BinFile(1),
        Root() / "CR" / "txt" / "link.txt", ImportJournalName(CruisePath())};
    std::vector<std::string> before;
    for (const fs::path& f : protectedFiles)
        before.push_back(ReadFileBytes(f));
    TCruisefile tables;
    for (const fs::path& out : protectedFiles) {
        SCOPED_TRACE(out);
        EXPECT_FALSE(tables.TxtCICSave(CruisePath(), out));
        EXPECT_FALSE(tables.TxtBottleSave(CruisePath(), 1, out));
        const bool link = out.filename() == "link.txt";
        EXPECT_NE(Events().find(out.string() +
                                (link ? " is a link inside the data root"
                                      : " is a cruise, cast, raw or settings file of the data root")),
                  std::string::npos);
    }
    for (std::size_t k = 0; k < protectedFiles.size(); ++k)
        EXPECT_EQ(ReadFileBytes(protectedFiles[k]), before[k]) << protectedFiles[k];
    EXPECT_TRUE(tables.TxtCICSave(CruisePath(), Root() / "CR" / "txt" / "CR.txt"));
    // A table of a cruise whose cast cannot be read is not written at all.
    std::string damaged = ReadFileBytes(CruisePath());
    std::int32_t offset = 0;
    std::memcpy(&offset, damaged.data() + 8, 4); // cast 1's block
    damaged[static_cast<std::size_t>(offset) + 864] ^= 0x55; // its probe-block marker
    WriteText(CruisePath(), damaged);
    EXPECT_FALSE(tables.TxtCICSave(CruisePath(), Root() / "CR" / "txt" / "CR2.txt"));
    EXPECT_FALSE(fs::exists(Root() / "CR" / "txt" / "CR2.txt"));
}

TEST_F(TImportTest, StartDateOfTheTranscriptIsTheCastStart) {
    const fs::path raw = Record("SDT");
    const fs::path xfr = TripletOfRaw(raw)->xfr;
    WriteText(xfr, Edited(ReadFileBytes(xfr), TranscriptLine(xfr, "[SDT], "),
                          "[SDT], 31, 12, 2015, 23, 59, 58"));
    ASSERT_TRUE(import.ImportMicroMarevoFiles({raw})) << Events();
    TCruisefile reader;
    ASSERT_TRUE(reader.ReadCast(CruisePath(), 1));
    EXPECT_EQ(reader.CastInfoc.Cast.CastTime[0], EncodeDateTime(2015, 12, 31, 23, 59, 58));
}

TEST_F(TImportTest, MissingStartDateAndPositionsAreUnknownNotInvented) {
    const fs::path raw = Record("BARE", 6, 20);
    const fs::path xfr = TripletOfRaw(raw)->xfr;
    std::string text = ReadFileBytes(xfr);
    for (const char* tag : {"[SDT], ", "[SGP], ", "[EGP], "})
        text = Edited(text, TranscriptLine(xfr, tag), "");
    WriteText(xfr, text);
    ASSERT_TRUE(import.ImportMicroMarevoFiles({raw})) << Events();
    TCruisefile reader;
    ASSERT_TRUE(reader.ReadCast(CruisePath(), 1));
    const TCastInfo& h = reader.CastInfoc.Cast;
    for (int k : {0, 1, 2}) {
        SCOPED_TRACE(k);
        EXPECT_FALSE(IsKnownValue(h.CastTime[static_cast<std::size_t>(k)]));
        EXPECT_FALSE(IsKnownValue(h.latitude[static_cast<std::size_t>(k)].ToLongDouble()));
        EXPECT_FALSE(IsKnownValue(h.longitude[static_cast<std::size_t>(k)].ToLongDouble()));
    }
    // The cast is binned all the same, and its tables are written with those fields empty.
    EXPECT_GT(file.CastInfoc.Probe.Bin.SortInfo.MaxIndex, 10);
    const fs::path table = Root() / "CR" / "txt" / "CR.txt";
    fs::create_directories(table.parent_path());
    EXPECT_TRUE(reader.TxtCICSave(CruisePath(), table)) << Events();
    EXPECT_TRUE(reader.TxtBottleSave(CruisePath(), 1, Root() / "CR" / "txt" / "CR001_btl.txt"))
        << Events();
}

TEST_F(TImportTest, FrameHeadTakesTheHeadOfTheTranscriptsFormatWithoutACalibration) {
    for (int format : {5, 6, 7}) {
        SCOPED_TRACE(format);
        const fs::path raw = Record("HEAD" + std::to_string(format), format, 5);
        const fs::path xfr = TripletOfRaw(raw)->xfr;
        const int code = format == 7 ? 311 : 310;
        // The head's line holds no calibration: a check of it would refuse the transcript.
        EXPECT_EQ(TranscriptLine(xfr, "[CA], CA 31"), "[CA], CA " + std::to_string(code));
        ASSERT_TRUE(import.BuildCastFromTranscript(xfr, raw.string())) << Events();
        const TParamCollection& cast = file.CastInfoc.Probe;
        const TParameter* head = cast.FindQvlPara(code);
        ASSERT_NE(head, nullptr);
        EXPECT_EQ(head->GetParaNb(), format);
        EXPECT_EQ(cast.Items(0), head); // first in the frame, as the probe lists it
    }
}

TEST_F(TImportTest, TwoRecordingsAfterCastFourBecomeCastsFiveAndSix) {
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(file.AddNextCast());
        file.CastInfoc.Probe.Add(std::make_unique<TParameter>())->SetDefPara(101);
        ASSERT_TRUE(file.AppendCast(true));
    }
    const std::vector<fs::path> raws = {Record("A1"), Record("B2")};
    ASSERT_TRUE(import.ImportMicroMarevoFiles(raws)) << Events();
    EXPECT_EQ(import.Appended(), (std::vector<int>{5, 6}));
    std::vector<std::string> stored;
    for (const auto& e : fs::directory_iterator(RawDir()))
        stored.push_back(e.path().filename().string());
    std::sort(stored.begin(), stored.end());
    // The transcripts come along: the cruise can be rebuilt from its raw folder.
    EXPECT_EQ(stored, (std::vector<std::string>{"CR005.ext", "CR005.raw", "CR005.xfr",
                                                "CR006.ext", "CR006.raw", "CR006.xfr"}));
    EXPECT_TRUE(fs::is_empty(Logger()));
    TCruisefile reader;
    ASSERT_TRUE(reader.OpenCruiseFile(CruisePath()));
    EXPECT_EQ(reader.LastIndex, 6);
}

TEST_F(TImportTest, LoadedCastsRawFileIsProcessedAgain) {
    ASSERT_TRUE(import.ImportMicroMarevoFiles({Record("AGAIN")})) << Events();
    TParamCollection& cast = file.CastInfoc.Probe;
    const std::int32_t rows = cast.Bin.SortInfo.MaxIndex;
    ASSERT_GT(rows, 10);
    cast.ResetBuffers(); // the table is made again from the raw file
    cast.Loaded.TypeLoaded = FileTypeRaw;
    EXPECT_TRUE(import.ReprocessLoadedCast()) << Events();
    EXPECT_EQ(cast.Bin.SortInfo.MaxIndex, rows);
    EXPECT_EQ(cast.Loaded.TypeLoaded, FileTypeBinary);
    EXPECT_EQ(cast.Loaded.FileLoaded, RawDir() / "CR001.raw");

    fs::remove(RawDir() / "CR001.raw");
    env.op.Clear();
    EXPECT_FALSE(import.ReprocessLoadedCast());
    EXPECT_EQ(env.op.Events(), (std::vector<std::string>{"Message Information []: " +
                                                         (RawDir() / "CR001.raw").string() +
                                                         ": doesn't exist!"}));
    cast.Loaded.TypeLoaded = FileTypeNone;
    env.op.Clear();
    EXPECT_FALSE(import.ReprocessLoadedCast());
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{"Message Information []: No Data Loaded!"}));
}

// The scan rate measured from the frames is the stored cast's, whatever end-of-cast pass runs
// over the samples again.
TEST_F(TImportTest, StoredCastKeepsTheScanRateOfItsFrames) {
    struct TCase {
        const char* what;
        double rate; // frames per second of the recording
        bool offset, warmup, wave;
    } cases[] = {
        {"no end-of-cast pass", 16, false, false, false},
        {"pressure offset", 16, true, false, false},
        {"warm-up filter", 8, false, true, false},
        {"wave filter", 24, false, false, true},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        env.config.GenCfg.PressureOffsetFilterType = c.offset ? POF_Auto : POF_None;
        env.config.DataValidation.WarmupFilterEnable = c.warmup ? 1 : 0;
        env.config.DataValidation.WaveFilterEnable = c.wave ? 1 : 0;
        sim::TSimRecording options;
        options.seconds = 40;
        options.bottomPressure = 30;
        options.scanRate = c.rate;
        sim::TSimRecordingResult result;
        const fs::path raw = Logger() / ("RATE" + std::to_string(++n) + ".raw");
        ASSERT_TRUE(sim::RecordSimulatedCast(raw, options, result)) << result.error;
        ASSERT_TRUE(import.ImportMicroMarevoFiles({raw})) << Events();
        TCruisefile reader;
        ASSERT_TRUE(reader.ReadCast(CruisePath(), import.Appended().at(0)));
        EXPECT_NEAR(reader.CastInfoc.Cast.ScanRate.ToDouble(), c.rate, 0.02 * c.rate);
    }
}

// Three recordings of different formats, imported: casts 1..3 with their raw folder.
struct TRebuildTest : TImportTest {
    TRebuildTest() {
        EXPECT_TRUE(import.ImportMicroMarevoFiles({Record("R1", 6), Record("R2", 5, 50),
                                                   Record("R3", 7, 90)}))
            << Events();
        for (int k = 1; k <= 3; ++k) {
            headers.push_back(StoredHeader(k));
            bins.push_back(ReadFileBytes(BinFile(k)));
        }
        original = ReadFileBytes(CruisePath());
    }
    std::vector<std::string> headers, bins;
    std::string original;
};

TEST_F(TRebuildTest, CruiseFileDeletedOrCutShortIsRebuiltWithEveryCast) {
    for (bool deleted : {true, false}) {
        SCOPED_TRACE(deleted ? "deleted" : "cut short");
        if (deleted)
            fs::remove(CruisePath());
        else
            fs::resize_file(CruisePath(), original.size() / 2);
        for (int k = 1; k <= 3; ++k)
            fs::remove(BinFile(k));
        const TRebuildResult result = import.RebuildCruiseFile(CruisePath());
        EXPECT_EQ(result.outcome, TRebuildOutcome::Rebuilt) << Events();
        EXPECT_EQ(result.casts, 3);
        EXPECT_EQ(result.copy.empty(), deleted);
        for (int k = 1; k <= 3; ++k) {
            SCOPED_TRACE(k);
            EXPECT_TRUE(StoredHeader(k) == headers[static_cast<std::size_t>(k - 1)]);
            EXPECT_TRUE(ReadFileBytes(BinFile(k)) == bins[static_cast<std::size_t>(k - 1)]);
        }
    }
}

TEST_F(TRebuildTest, FewerTranscriptsThanRawFilesRefuseTheRebuild) {
    fs::remove(RawDir() / "CR002.xfr");
    const TRebuildResult result = import.RebuildCruiseFile(CruisePath());
    EXPECT_EQ(result.outcome, TRebuildOutcome::Refused);
    EXPECT_EQ(env.op.Events().back(), "Message Information [Information]: " +
                                          std::string(RebuildRefusedText));
    EXPECT_EQ(ReadFileBytes(CruisePath()), original);
}

TEST_F(TRebuildTest, AFailedTranscriptOffersThePreviousFileBack) {
    const fs::path xfr = RawDir() / "CR002.xfr";
    WriteText(xfr, Edited(ReadFileBytes(xfr), TranscriptLine(xfr, "[SN], "), "[SN], SN 12"));
    for (bool restore : {false, true}) {
        SCOPED_TRACE(restore);
        env.op.ScriptAnswers({restore});
        const TRebuildResult result = import.RebuildCruiseFile(CruisePath());
        EXPECT_EQ(result.failed, 1);
        EXPECT_EQ(result.outcome, restore ? TRebuildOutcome::Restored : TRebuildOutcome::Partial);
        TCruisefile reader;
        ASSERT_TRUE(reader.OpenCruiseFile(CruisePath()));
        EXPECT_EQ(reader.LastIndex, restore ? 3 : 2);
        if (restore) {
            EXPECT_EQ(ReadFileBytes(CruisePath()), original);
        }
        // Back to the original for the next round.
        WriteText(CruisePath(), original);
    }
}

} // namespace
} // namespace marevo
