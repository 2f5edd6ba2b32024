#include "storage/CruiseFile.h"

#include "foundation/Guard.h"
#include "foundation/Stream.h"
#include "support/AppEnv.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::TAppEnv;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t HeaderSize = 864;
constexpr std::int64_t ProbeHead = 648;
constexpr std::int64_t BottlesHead = 213;

Bytes FileBytes(const fs::path& file) {
    const std::string s = test::ReadFileBytes(file);
    return Bytes(s.begin(), s.end());
}

void WriteBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::int32_t I32(const Bytes& b, std::int64_t at) {
    std::int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

void PutI32(Bytes& b, std::int64_t at, std::int32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

// The temporaries of atomic writes in a folder.
std::vector<fs::path> Temporaries(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".~mvtmp-") != std::string::npos)
            found.push_back(e.path());
    return found;
}

// Writes the whole file without forcing it to the disk: the many appends of a test stay fast.
void UnsyncedWriter(const fs::path& file, const std::function<void(TStream&)>& write) {
    const fs::path temporary = fs::path(file) += ".new";
    {
        TFileStream out(temporary, TFileMode::Create);
        write(out);
    }
    fs::rename(temporary, file);
}

// Passes at most `budget` bytes on, then fails as a full disk does, or with `kill` ends the
// process on the spot as a crash would.
class TFailingStream final : public TStream {
public:
    TFailingStream(TStream& inner, std::size_t budget, bool kill = false)
        : inner_(inner), budget_(budget), kill_(kill) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        return inner_.Read(buffer, count);
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        const std::size_t n = std::min(count, budget_);
        budget_ -= n;
        const std::size_t written = n > 0 ? inner_.Write(buffer, n) : 0;
        if (kill_ && n < count)
            _exit(0);
        return written;
    }
    std::int64_t Position() const override { return inner_.Position(); }
    void Seek(std::int64_t position) override { inner_.Seek(position); }
    std::int64_t Size() const override { return inner_.Size(); }

private:
    TStream& inner_;
    std::size_t budget_;
    bool kill_;
};

class TRecordingPrinter final : public ITextPrinter {
public:
    void BeginDoc(std::uint32_t color, int fontSize) override {
        lines.push_back(fmt::format("begin {:06X} {}", color, fontSize));
    }
    void PrintLine(std::string_view line) override {
        if (failFrom > 0 && ++printed >= failFrom)
            Raise(": the printer stopped");
        lines.emplace_back(line);
    }
    void EndDoc() override {
        if (failFrom > 0 && printed >= failFrom)
            Raise(": the printer stopped");
        lines.push_back("end");
    }
    std::vector<std::string> lines;
    int failFrom = 0; // the line (from 1) from which every line and the end fail; 0 never
    int printed = 0;
};

TParameter* AddPara(TProbeCollection& c, int number) {
    TParameter* p = c.Add(std::make_unique<TParameter>());
    p->SetDefPara(number);
    p->SetPosInProbe(c.Count());
    return p;
}

// A cruise "CR" under the test's data root, current in the configuration.
struct TCruiseEnv : TAppEnv {
    TCruiseEnv() {
        probe.DefaultParamCol();
        environ.DataRoot.Set((dir / "data").string() + "/");
        fs::create_directories(dir / "data");
        config.GenCfg.CruiseName.Set("CR");
        file.SetFileWriter(UnsyncedWriter);
    }

    fs::path Root() const { return dir / "data"; }
    fs::path CruisePath() const { return Root() / "CR" / "CR.cru"; }

    bool Create(const std::string& name = "CR") {
        return file.NewCruise(Root(), [&](TCastInfo& c) {
            c.InfoStr[1].Set(name);
            c.InfoStr[2].Set(name);
            return true;
        });
    }

    // Cast k: inputs 100, 101 (and 110, 120 for odd k), k % 3 bottles whose pressure is k + b.
    bool Append(int k) {
        if (!file.AddNextCast())
            return false;
        TCastInfoC& h = file.CastInfoc;
        for (int n : k % 2 ? std::vector<int>{100, 101, 110, 120} : std::vector<int>{100, 101})
            AddPara(h.Probe, n);
        for (int b = 0; b < k % 3; ++b) {
            TBottleInfo& bottle = h.Bottles.Add();
            bottle.BottleNb = b + 1;
            bottle.BtlStatus = btl_Closed;
            bottle.RawValue[0] = {3600.0f * k + 61.25f + b, 0}; // time counter, s
            bottle.RawValue[1] = {static_cast<float>(k + b), 0};
        }
        return file.AppendCast(true);
    }

    TCruisefile file;
};

TEST(CruiseFile, NewCruiseIsTheTableAndTheCruiseHeaderBlockWithItsFolders) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    const Bytes b = FileBytes(env.CruisePath());
    ASSERT_EQ(b.size(), std::size_t(4004 + HeaderSize + ProbeHead + BottlesHead));
    EXPECT_EQ(I32(b, 0), 0);
    EXPECT_EQ(I32(b, 4), 4004);
    for (int k = 1; k < 1000; ++k)
        ASSERT_EQ(I32(b, 4 + 4 * k), 0) << k;
    for (const char* sub : {"bin", "raw", "txt"})
        EXPECT_TRUE(fs::is_directory(env.Root() / "CR" / sub)) << sub;
    ASSERT_TRUE(env.file.OpenCruiseFile(env.CruisePath()));
    EXPECT_EQ(env.file.CastInfoc.Cruise.InfoStr[2].Get(), "CR");
    ASSERT_TRUE(env.file.ReadCastNb1(LastCastRequest)); // no cast yet: the cruise header block
    EXPECT_EQ(env.file.CastInfoc.Cast.InfoStr[1].Get(), "CR");
    env.file.CloseCruiseFile();
    EXPECT_EQ(env.file.GetLastIndex(), 0);
}

TEST(CruiseFile, NewCruiseNamesThatCouldLeaveTheDataRootOrClashAreRefused) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create("Taken"));
    const std::string chars = "You cannot use the following chars as part of a file name: "
                              "/ \\ : * ? \" < > | + - . ";
    const struct {
        std::string name, message;
    } cases[] = {
        {"newCRUISE", "New Cruise Error: Please change the file name or exit by cancel"},
        {"Taken", "New Cruise Error: this header name already exists"},
        {"../up", chars},
        {"a\\b", chars},
        {"a.b", chars},
        {"x-y", chars},
        {"", "New Cruise Error: a cruise name has 1 to 40 printable characters"},
        {"Tab\tName", "New Cruise Error: a cruise name has 1 to 40 printable characters"},
    };
    for (const auto& c : cases) {
        env.op.Clear();
        EXPECT_FALSE(env.Create(c.name)) << c.name;
        EXPECT_EQ(env.op.Events(),
                  std::vector<std::string>{"Message Warning [Warning]: " + c.message})
            << c.name;
    }
    // The longest name the header holds is 40 characters: a longer one is cut, not refused.
    EXPECT_TRUE(env.Create(std::string(50, 'L')));
    std::vector<std::string> cruises;
    ASSERT_TRUE(env.file.BuildCruiseList(cruises));
    EXPECT_EQ(cruises, (std::vector<std::string>{std::string(40, 'L'), "Taken"}));
}

TEST(CruiseFile, CastsPastNinetyNineAreReadBackByNumberInAnyOrder) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 104; ++k)
        ASSERT_TRUE(env.Append(k)) << k;
    EXPECT_EQ(env.file.GetLastIndex(), 104);

    TCruisefile reader;
    ASSERT_TRUE(reader.OpenCruiseFile(env.CruisePath()));
    TCastInfoC& h = reader.CastInfoc;
    for (int k : {100, 3, 104, 57, 1, 99}) {
        ASSERT_TRUE(reader.ReadCastNb1(k)) << k;
        EXPECT_EQ(h.Cast.ID, k);
        EXPECT_EQ(h.Cast.InfoStr[1].Get(), "Cast " + std::to_string(k));
        EXPECT_EQ(h.Probe.Count(), k % 2 ? 4 : 2);
        ASSERT_EQ(h.Bottles.Count(), k % 3);
        if (k % 3) {
            EXPECT_EQ(h.Bottles.Items(k % 3 - 1).RawValue[1].value, float(k + k % 3 - 1));
        }
    }
    ASSERT_TRUE(reader.ReadCastNb1(LastCastRequest));
    EXPECT_EQ(h.Cast.ID, 104);
    EXPECT_TRUE(reader.ReadCastNb1(0));
    EXPECT_EQ(h.Cast.InfoStr[1].Get(), "CR");

    // Out of range: silently false, or told and true, with an empty default header.
    EXPECT_FALSE(reader.ReadCastNb1(105));
    EXPECT_TRUE(env.op.Events().empty());
    EXPECT_TRUE(reader.ReadCastNb(-1));
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Information []: TCruiseFile.ReadCastNb: CastNb out "
                                       "of range"});
    EXPECT_EQ(h.Cast.InfoStr[1].Get(), "");
    EXPECT_EQ(h.Probe.Count(), 0);

    // The data files of a cast carry its three-digit number.
    env.file.CastInfoc.Cast.ID = 7;
    EXPECT_EQ(env.file.RawPath(), env.Root() / "CR" / "raw" / "CR007.raw");
    env.file.CastInfoc.Cast.ID = 103;
    EXPECT_EQ(env.file.BinPath(), env.Root() / "CR" / "bin" / "CR103.bin");
}

TEST(CruiseFile, RewritingAMiddleCastLeavesEveryOtherCastsBytesAlone) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 5; ++k)
        ASSERT_TRUE(env.Append(k));
    const Bytes before = FileBytes(env.CruisePath());
    const std::int64_t p3 = I32(before, 4 + 12), p4 = I32(before, 4 + 16);

    TCruisefile& f = env.file;
    ASSERT_TRUE(f.OpenCruiseFile(env.CruisePath()));
    ASSERT_TRUE(f.ReadCastNb(3));
    f.CastInfoc.Cast.comment.Set("re-checked on deck");
    ASSERT_TRUE(f.WriteCastNb());
    f.CloseCruiseFile();

    const Bytes after = FileBytes(env.CruisePath());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + p3, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + p4, before.end(), after.begin() + p4));
    EXPECT_FALSE(std::equal(before.begin() + p3, before.begin() + p4, after.begin() + p3));
    ASSERT_TRUE(f.ReadCast(env.CruisePath(), 3));
    EXPECT_EQ(f.CastInfoc.Cast.comment.Get(), "re-checked on deck");

    // A block that grows moves the blocks after it, whose bytes stay as they were.
    ASSERT_TRUE(f.OpenCruiseFile(env.CruisePath()));
    ASSERT_TRUE(f.ReadCastNb(2));
    f.CastInfoc.Bottles.Add().BottleNb = 9;
    ASSERT_TRUE(f.WriteCastNb());
    f.CloseCruiseFile();
    const Bytes grown = FileBytes(env.CruisePath());
    const std::int64_t moved = I32(grown, 4 + 12);
    EXPECT_EQ(moved, p3 + 274);
    EXPECT_TRUE(std::equal(after.begin() + p3, after.end(), grown.begin() + moved));
    for (int k = 1; k <= 5; ++k) {
        ASSERT_TRUE(f.ReadCast(env.CruisePath(), k)) << k;
        EXPECT_EQ(f.CastInfoc.Bottles.Count(), k % 3 + (k == 2 ? 1 : 0)) << k;
    }
}

// A file of `count` casts made of copies of the block of cast 1, renumbered.
void WriteCopies(const fs::path& file, const Bytes& oneCast, int count) {
    const std::int64_t start = I32(oneCast, 8);
    const Bytes block(oneCast.begin() + start, oneCast.end());
    Bytes b(oneCast.begin(), oneCast.begin() + start);
    for (int k = 1; k <= count; ++k) {
        PutI32(b, 4 + 4 * k, static_cast<std::int32_t>(b.size()));
        b.insert(b.end(), block.begin(), block.end());
        PutI32(b, static_cast<std::int64_t>(b.size() - block.size()), k);
    }
    PutI32(b, 0, count);
    WriteBytes(file, b);
}

TEST(CruiseFile, TheNineHundredNinetyNinthCastIsTheLast) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    ASSERT_TRUE(env.Append(2));
    WriteCopies(env.CruisePath(), FileBytes(env.CruisePath()), 998);

    ASSERT_TRUE(env.Append(999));
    ASSERT_TRUE(env.file.ReadCast(env.CruisePath(), 999));
    EXPECT_EQ(env.file.CastInfoc.Cast.ID, 999);
    EXPECT_EQ(env.file.CastInfoc.Probe.Count(), 4);
    ASSERT_TRUE(env.file.ReadCast(env.CruisePath(), 998));
    EXPECT_EQ(env.file.CastInfoc.Cast.ID, 998);

    // The 1000th is refused when it is prepared, and when it is appended anyway.
    const Bytes full = FileBytes(env.CruisePath());
    env.op.Clear();
    EXPECT_FALSE(env.file.AddNextCast());
    EXPECT_FALSE(env.file.AppendCast(true));
    EXPECT_EQ(env.op.Events(), (std::vector<std::string>{"Message Error [Error]: Add Next cast",
                                                         "Message Error [Error]: Append Cast"}));
    EXPECT_TRUE(env.Logged("Error in TCruiseFile.AppendCast: cast 1000 is beyond the 999 casts "
                           "a cruise file holds"));
    EXPECT_EQ(FileBytes(env.CruisePath()), full);
}

TEST(CruiseFile, DamagedFilesAreRefusedWithoutACrashAndNeverWritten) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 3; ++k)
        ASSERT_TRUE(env.Append(k));
    const Bytes good = FileBytes(env.CruisePath());
    const std::int32_t p1 = I32(good, 8), p2 = I32(good, 12);

    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        bool opens; // the table itself is sound: the damage shows when the cast is read
        std::string log;
        int cast = 2;
    } cases[] = {
        {"cut inside the table", [](Bytes& b) { b.erase(b.begin() + 3000, b.end()); }, false,
         "Error in TCruisefile.OpenCruiseList TCruiseFile.OpenCruiseFile: damaged cruise file "
         "CR.cru: cut short, 3000 bytes"},
        {"cut inside the last block", [](Bytes& b) { b.erase(b.end() - 10, b.end()); }, true,
         "Error in TCruiseFile.ReadCastNb1 TCruiseFile.ReadCastNb1: damaged cruise file CR.cru: "
         "block of cast 3 cut short",
         3},
        {"last cast out of range", [](Bytes& b) { PutI32(b, 0, 1000); }, false,
         "Error in TCruisefile.OpenCruiseList TCruiseFile.OpenCruiseFile: damaged cruise file "
         "CR.cru: last cast number 1000 out of range"},
        {"offset beyond the end", [](Bytes& b) { PutI32(b, 12, std::int32_t(b.size() + 8)); },
         false,
         "Error in TCruisefile.OpenCruiseList TCruiseFile.OpenCruiseFile: damaged cruise file "
         "CR.cru: offset " +
             std::to_string(good.size() + 8) + " of cast 2 out of range"},
        {"offset into the block of cast 1", [&](Bytes& b) { PutI32(b, 12, p1 + 100); }, true,
         "Error in TCruiseFile.ReadCastNb1 TCruiseFile.ReadCastNb1: damaged cruise file CR.cru: "
         "no probe block in the block of cast 2"},
        {"33 parameters", [&](Bytes& b) { PutI32(b, p2 + HeaderSize + 4, 33); }, true,
         "Error in TCruiseFile.ReadCastNb1 TCruiseFile.ReadCastNb1: CruiseFileToProbe failed"},
        {"bottle count beyond the block",
         [&](Bytes& b) { PutI32(b, p2 + HeaderSize + ProbeHead + 2 * 728, 1 << 30); }, true,
         "Error in TCruiseFile.ReadCastNb1 TCruiseFile.ReadCastNb1: damaged cruise file CR.cru: "
         "bottle count 1073741824 of cast 2 out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bad = good;
        c.damage(bad);
        WriteBytes(env.CruisePath(), bad);
        TCruisefile f;
        f.SetFileWriter(UnsyncedWriter);
        env.op.Clear();
        const bool opened = f.OpenCruiseFile(env.CruisePath());
        ASSERT_EQ(opened, c.opens);
        if (opened) {
            EXPECT_FALSE(f.ReadCastNb1(c.cast));
            EXPECT_TRUE(f.ReadCastNb1(0)); // the sound blocks stay readable
            f.CastInfoc.Cast.ID = 1;
            EXPECT_FALSE(f.WriteCastNb());
            EXPECT_FALSE(f.AppendCast(false));
            f.CloseCruiseFile();
        }
        EXPECT_TRUE(env.Logged(c.log)) << env.LogMessages().back();
        EXPECT_FALSE(env.file.UpdateLast());
        EXPECT_FALSE(env.Append(4));
        EXPECT_EQ(FileBytes(env.CruisePath()), bad);
    }
}

// Rewrites cast 2 through `writer`.
bool RewriteCast2(TCruiseEnv& env, TCruiseFileWriter writer) {
    TCruisefile f;
    f.SetFileWriter(std::move(writer));
    if (!f.OpenCruiseFile(env.CruisePath()) || !f.ReadCastNb(2))
        return false;
    f.CastInfoc.Cast.comment.Set("rewritten");
    f.CastInfoc.Bottles.Add().BottleNb = 7; // the whole rest of the file moves
    return f.WriteCastNb();
}

TEST(CruiseFile, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 3; ++k)
        ASSERT_TRUE(env.Append(k));
    const Bytes good = FileBytes(env.CruisePath());
    for (std::size_t budget :
         {std::size_t(0), std::size_t(100), std::size_t(4004 + 2000), good.size() - 1}) {
        SCOPED_TRACE(budget);
        const bool ok = RewriteCast2(env, [budget](const fs::path& file, const auto& write) {
            WriteFileAtomically(file, [&](TStream& out) {
                TFailingStream failing(out, budget);
                write(failing);
            });
        });
        EXPECT_FALSE(ok);
        EXPECT_EQ(FileBytes(env.CruisePath()), good);
        EXPECT_TRUE(Temporaries(env.CruisePath().parent_path()).empty());
    }
    EXPECT_TRUE(RewriteCast2(env, WriteFileAtomically));
    ASSERT_TRUE(env.file.ReadCast(env.CruisePath(), 3));
    EXPECT_EQ(env.file.CastInfoc.Cast.ID, 3);
}

TEST(CruiseFile, AWriterKilledHalfWayLeavesAReadableFile) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 3; ++k)
        ASSERT_TRUE(env.Append(k));
    const Bytes good = FileBytes(env.CruisePath());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RewriteCast2(env, [](const fs::path& file, const auto& write) {
            WriteFileAtomically(file, [&](TStream& out) {
                TFailingStream killing(out, 5000, true);
                write(killing);
            });
        });
        _exit(1); // not reached: the writer dies half-way
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The half-written new file is what the killed writer left; the cruise file is whole.
    const std::vector<fs::path> left = Temporaries(env.CruisePath().parent_path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(fs::file_size(left[0]), 5000u);
    EXPECT_EQ(FileBytes(env.CruisePath()), good);
    for (int k = 0; k <= 3; ++k)
        EXPECT_TRUE(env.file.ReadCast(env.CruisePath(), k)) << k;
    // The leftover of the killed writer is no obstacle to the next rewrite.
    EXPECT_TRUE(RewriteCast2(env, WriteFileAtomically));
    ASSERT_TRUE(env.file.ReadCast(env.CruisePath(), 2));
    EXPECT_EQ(env.file.CastInfoc.Cast.comment.Get(), "rewritten");
}

TEST(CruiseFile, CastListsShowNamesAndInvalidCasts) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 2; ++k)
        ASSERT_TRUE(env.Append(k));
    TCruisefile& f = env.file;
    ASSERT_TRUE(f.OpenCruiseFile(env.CruisePath()));
    ASSERT_TRUE(f.ReadCastNb(2));
    f.CastInfoc.Cast.InfoStr[1].Set("Station 12 deep repeat");
    f.CastInfoc.Cast.InvalidCast = 1;
    ASSERT_TRUE(f.WriteCastNb());
    std::vector<TCastListItem> list;
    ASSERT_TRUE(f.BuildCastList(list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].text, "Cruise : CR");
    EXPECT_EQ(list[2].text, "002 : Station 12 deep repeat");
    EXPECT_FALSE(list[2].checked);
    f.CloseCruiseFile();

    ASSERT_TRUE(f.BuildCastList1(list, TCastListDialog::OpenData));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].text, "001 : Cast 1");
    EXPECT_EQ(list[1].text, "002 : Station 12 dee");
    EXPECT_TRUE(list[0].enabled);
    EXPECT_FALSE(list[1].checked || list[1].enabled);
    EXPECT_FALSE(f.IsOpen);

    // A stored number that differs from the table's is corrected on reading, with a log line.
    Bytes b = FileBytes(env.CruisePath());
    PutI32(b, I32(b, 4 + 4 * 2), 42);
    WriteBytes(env.CruisePath(), b);
    ASSERT_TRUE(f.OpenCruiseFile(env.CruisePath()));
    ASSERT_TRUE(f.ReadCastNb(2));
    EXPECT_EQ(f.CastInfoc.Cast.ID, 2);
    EXPECT_TRUE(env.Logged(
        "Error in TCruiseFile.ReadCastNb: Expected cast id: 2 but was 42 Error corrected!"));
}

TEST(CruiseFile, CastHeaderAndBottleTablesAsTextAndPrinted) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    for (int k = 1; k <= 2; ++k)
        ASSERT_TRUE(env.Append(k));
    const auto list = [](std::initializer_list<int> numbers) {
        TParaList l{};
        for (int n : numbers)
            l.List[l.count++] = n;
        return l;
    };
    TTextFileCfg& h = env.config.HeaderTextCfg;
    h.HeadList = list({900});
    h.ParaList = list({1004, 1002});
    h.Separator = sep_comma;
    h.AddPrompt = 0;
    const fs::path headers = env.dir / "headers.txt";
    ASSERT_TRUE(env.file.TxtCICSave(env.CruisePath(), headers));
    EXPECT_EQ(test::ReadFileBytes(headers), "CR\r\n1,Cast 1\r\n2,Cast 2\r\n");

    TTextFileCfg& b = env.config.BottleTextCfg;
    b.HeadList = list({1002});
    b.ParaList = list({500, 501, 101});
    b.Separator = sep_tab;
    const fs::path bottles = env.dir / "bottles.txt";
    ASSERT_TRUE(env.file.TxtBottleSave(env.CruisePath(), 2, bottles));
    EXPECT_EQ(test::ReadFileBytes(bottles), "Cast 2\r\n1\tClosed\t2.0000\r\n2\tClosed\t3.0000\r\n");

    // The time column: the data export's time unit chooses the form, the bottle table's unit
    // (minutes here) divides; the clock forms show the counter's seconds as they are.
    b.ParaList = list({500, 400});
    b.TimeUnit = Time_Minute;
    const struct {
        TTimeUnit unit;
        const char* first;
    } times[] = {{Time_Second, "121.021"},
                 {Time_Minute, "121.0208"},
                 {Time_hmsd, "002:01:01.250"},
                 {Time_hhhmmss, "002:01:01"},
                 {Time_DateTime, "09/03/2026 16:26:02"}};
    for (const auto& t : times) {
        env.config.DataTextCfg.TimeUnit = t.unit;
        ASSERT_TRUE(env.file.TxtBottleSave(env.CruisePath(), 2, bottles));
        const std::string text = test::ReadFileBytes(bottles);
        EXPECT_EQ(text.substr(8, text.find('\r', 8) - 8), std::string("1\t") + t.first) << t.unit;
    }

    b.ParaList = list({500, 501, 101});
    b.AddPrompt = 1;
    TRecordingPrinter printer;
    ASSERT_TRUE(env.file.TxtBottlePrint(env.CruisePath(), printer));
    const std::string prompt = env.probe.FindPara(1002)->HeaderPrompt();
    EXPECT_EQ(printer.lines,
              (std::vector<std::string>{"begin FF0000 10", prompt + " : Cast 2",
                                        "1\tClosed\t2.00\t", "2\tClosed\t3.00\t", "end"}));

    // The rows of a printed header block: print name and header text; unknown numbers left out.
    const std::vector<THeaderRow> rows = PrintHeaderRows(env.file.CastInfoc, list({1002, 77777}));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Name, env.probe.FindPara(1002)->ParaText.ParaStr[4].Get());
    EXPECT_EQ(rows[0].Value, "Cast 2");

    // A printer that stops at a line (the head line, a bottle, the last bottle): the document
    // ends there, one box, the print fails.
    for (const int failFrom : {1, 2, 3}) {
        env.op.Clear();
        TRecordingPrinter dead;
        dead.failFrom = failFrom;
        EXPECT_FALSE(env.file.TxtBottlePrint(env.CruisePath(), dead)) << failFrom;
        EXPECT_EQ(dead.printed, failFrom) << "no line tried after the failure";
        int boxes = 0;
        for (const std::string& e : env.op.Events())
            boxes += e.starts_with("Message ") ? 1 : 0;
        EXPECT_EQ(boxes, 1) << failFrom;
    }

    // A cruise that cannot be opened: a beep, no file.
    env.op.Clear();
    EXPECT_FALSE(env.file.TxtCICSave(env.Root() / "none.cru", env.dir / "none.txt"));
    EXPECT_FALSE(fs::exists(env.dir / "none.txt"));
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{"Message Error [Error]: Open Cruise", "Beep 0 0"}));
}

TEST(CruiseFile, RecoveryCopyIsKeptOfferedAndOnlyASoundOneIsUsed) {
    TCruiseEnv env;
    ASSERT_TRUE(env.Create());
    const fs::path cru = env.CruisePath(), bak = env.Root() / "CR" / "CR.bak";
    const Bytes before = FileBytes(cru);
    ASSERT_TRUE(KeepRecoveryCopy(cru, CruiseRecoveryQuestion(bak)));
    EXPECT_EQ(FileBytes(bak), before);

    ASSERT_TRUE(env.Append(1));
    const Bytes after = FileBytes(cru);
    // A copy left by an earlier cast: Cancel keeps both as they are.
    env.op.ScriptAnswers({false});
    ASSERT_TRUE(KeepRecoveryCopy(cru, CruiseRecoveryQuestion(bak)));
    EXPECT_EQ(FileBytes(bak), before);
    EXPECT_EQ(FileBytes(cru), after);

    // When the cruise is opened, OK puts the copy back; the copy goes either way.
    env.op.ScriptAnswers({true});
    ASSERT_TRUE(OfferCruiseRecoveryCopy(cru));
    EXPECT_EQ(FileBytes(cru), before);
    EXPECT_FALSE(fs::exists(bak));
    EXPECT_EQ(env.op.Events().back(),
              "Confirm [Warning]: A saved copy of cruise file: " + bak.string() +
                  " exists. Would you like to use it?  -> OK");

    // A damaged copy is not used and stays.
    WriteBytes(bak, Bytes(before.begin(), before.begin() + 5000));
    env.op.ScriptAnswers({true});
    EXPECT_FALSE(OfferCruiseRecoveryCopy(cru));
    EXPECT_TRUE(
        env.Logged("Error in RecoveryCopy.Offer: damaged cruise file CR.bak: block of cast 0 cut "
                   "short"));
    EXPECT_EQ(FileBytes(cru), before);
    EXPECT_TRUE(fs::exists(bak));
    ASSERT_TRUE(DeleteRecoveryCopy(cru));
    EXPECT_FALSE(fs::exists(bak));
}

} // namespace
} // namespace marevo
