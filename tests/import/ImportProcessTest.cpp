// The command-line tool run as separate processes: imports at once into one cruise, imports
// stopped at named moments and run again, and commands refused before they change anything.

#include "storage/CastImport.h"

#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "foundation/SafeFiles.h"
#include "foundation/Words.h"
#include "storage/CruiseFile.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

// One run of the tool in the background: its arguments, its standard output and error into a
// file, and optionally a stop point and another working folder.
pid_t Start(const std::vector<std::string>& args, const fs::path& log,
            const std::string& stopAt = "", const fs::path& cwd = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (!std::string_view(*e).starts_with("MAREVO_STOP_AT="))
            env.emplace_back(*e);
    if (!stopAt.empty())
        env.push_back("MAREVO_STOP_AT=" + stopAt);
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
        _exit(127);
    std::vector<char*> argv{const_cast<char*>(MAREVO_CLI)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    ::execve(MAREVO_CLI, argv.data(), envp.data());
    _exit(127);
}

int Wait(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct TCliTest : ::testing::Test {
    TCliTest() {
        env.probe.DefaultParamCol(); // what the casts read here are checked against
        fs::create_directories(In());
        EXPECT_EQ(Run({"init"}), 0) << Log();
        EXPECT_EQ(Run({"cruise", "new", "CR"}), 0) << Log();
        // Two recordings that differ: their copies in the cruise tell them apart.
        EXPECT_EQ(Run({"simulate", (Template() / "A.raw").string(), "--seconds", "4"}), 0) << Log();
        EXPECT_EQ(
            Run({"simulate", (Template() / "B.raw").string(), "--seconds", "5", "--format", "7"}),
            0)
            << Log();
    }

    fs::path Root() const { return env.dir / "root"; }
    fs::path In() const { return env.dir / "in"; }
    fs::path Template() const { return env.dir / "template"; }
    fs::path CruisePath() const { return Root() / "CR" / "CR.cru"; }
    fs::path RawDir() const { return Root() / "CR" / "raw"; }
    fs::path LogFile(int k = 0) const { return env.dir / ("run" + std::to_string(k) + ".log"); }
    std::string Log(int k = 0) const { return ReadFileBytes(LogFile(k)); }

    std::vector<std::string> WithRoot(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--data-root", Root().string(), "-q"});
        return args;
    }
    int Run(const std::vector<std::string>& args, const std::string& stopAt = "") {
        return Wait(Start(WithRoot(args), LogFile(), stopAt));
    }

    // The recording `name` ("A" or "B") placed under In() as base; its raw file.
    fs::path Place(const std::string& name, const std::string& base) const {
        for (const char* ext : {".raw", ".xfr", ".ext"})
            fs::copy_file(Template() / (name + ext), In() / (base + ext),
                          fs::copy_options::overwrite_existing);
        return In() / (base + ".raw");
    }
    bool Placed(const std::string& base, bool present) const {
        for (const char* ext : {".raw", ".xfr", ".ext"})
            if (fs::exists(In() / (base + ext)) != present)
                return false;
        return true;
    }

    int LastCast() const {
        TCruisefile reader;
        if (!reader.OpenCruiseFile(CruisePath()))
            return -1;
        return reader.LastIndex;
    }

    // Every cast of the cruise reads whole, with its raw copy and binary file; no note of an
    // import and no temporary is left. The raw copies, in cast order.
    std::vector<std::string> CheckCruise() const {
        std::vector<std::string> raws;
        const int last = LastCast();
        EXPECT_GE(last, 0);
        for (int k = 1; k <= last; ++k) {
            TCruisefile reader;
            EXPECT_TRUE(reader.ReadCast(CruisePath(), k)) << k;
            const std::string base = "CR" + CastNumberText(k);
            for (const char* ext : {".raw", ".xfr", ".ext"})
                EXPECT_TRUE(fs::is_regular_file(RawDir() / (base + ext))) << base << ext;
            EXPECT_TRUE(fs::is_regular_file(Root() / "CR" / "bin" / (base + ".bin"))) << base;
            raws.push_back(ReadFileBytes(RawDir() / (base + ".raw")));
        }
        // Nothing of a cast beyond the last one.
        const std::string next = "CR" + CastNumberText(last + 1);
        EXPECT_FALSE(fs::exists(RawDir() / (next + ".raw")));
        EXPECT_FALSE(fs::exists(Root() / "CR" / "bin" / (next + ".bin")));
        EXPECT_FALSE(fs::exists(ImportJournalName(CruisePath())));
        for (const auto& e : fs::recursive_directory_iterator(Root() / "CR"))
            EXPECT_EQ(e.path().string().find(".~mvtmp-"), std::string::npos) << e.path();
        return raws;
    }

    test::TAppEnv env;
};

TEST_F(TCliTest, TwoImportsAtOnceStoreBothOrRefuseOneAndLoseNothing) {
    const std::string a = ReadFileBytes(Template() / "A.raw");
    const std::string b = ReadFileBytes(Template() / "B.raw");
    int both = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const int before = LastCast();
        const std::string baseA = "A" + std::to_string(round), baseB = "B" + std::to_string(round);
        const fs::path rawA = Place("A", baseA), rawB = Place("B", baseB);
        const pid_t pa = Start(WithRoot({"import", rawA.string(), "--cruise", "CR"}), LogFile(1));
        const pid_t pb = Start(WithRoot({"import", rawB.string(), "--cruise", "CR"}), LogFile(2));
        const int ea = Wait(pa), eb = Wait(pb);
        // Each recording is stored (its files gone from the logger) or refused (all there).
        EXPECT_TRUE(ea == 0 ? Placed(baseA, false) : Placed(baseA, true)) << Log(1);
        EXPECT_TRUE(eb == 0 ? Placed(baseB, false) : Placed(baseB, true)) << Log(2);
        if (ea != 0) {
            EXPECT_NE(Log(1).find("in use by another Marevo"), std::string::npos) << Log(1);
        }
        if (eb != 0) {
            EXPECT_NE(Log(2).find("in use by another Marevo"), std::string::npos) << Log(2);
        }
        const std::vector<std::string> raws = CheckCruise();
        ASSERT_EQ(LastCast(), before + (ea == 0) + (eb == 0));
        // The new casts are exactly the stored recordings.
        std::multiset<std::string> stored(raws.begin() + before, raws.end()), expected;
        if (ea == 0)
            expected.insert(a);
        if (eb == 0)
            expected.insert(b);
        EXPECT_TRUE(stored == expected);
        both += ea == 0 && eb == 0;
        for (const std::string& base : {baseA, baseB})
            for (const char* ext : {".raw", ".xfr", ".ext"})
                fs::remove(In() / (base + ext));
    }
    RecordProperty("rounds_with_both_stored", both);
}

TEST_F(TCliTest, AnImportStoppedAtAnyMomentIsCompletedOnceByTheNextRun) {
    const std::string a = ReadFileBytes(Template() / "A.raw");
    const fs::path clean = env.dir / "clean";
    fs::copy(Root(), clean, fs::copy_options::recursive);
    // The moments of one import, in order: the journal, the three copies, the binary file and
    // the cruise file are each written atomically (created, written, renamed); the cast is in
    // once the cruise file is renamed into place.
    const struct {
        const char* step;
        bool committed;
    } moments[] = {
        {"import.locked", false},     {"write.created#1", false},   {"write.written#1", false},
        {"write.renamed#1", false},   {"import.journal", false},    {"copy.written#1", false},
        {"import.copied-raw", false}, {"import.copied-ext", false}, {"import.copied-xfr", false},
        {"write.created#2", false},   {"write.written#2", false},   {"write.renamed#2", false},
        {"import.processed", false},  {"write.created#3", false},   {"write.written#3", false},
        {"write.renamed#3", true},    {"import.committed", true},   {"import.deleted#1", true},
        {"import.deleted#2", true},   {"import.deleted#3", true},
    };
    for (const auto& [moment, committed] : moments) {
        SCOPED_TRACE(moment);
        fs::remove_all(Root());
        fs::copy(clean, Root(), fs::copy_options::recursive);
        const fs::path raw = Place("A", "LOG");
        ASSERT_EQ(Run({"import", raw.string(), "--cruise", "CR"}, moment), StopPointExitCode)
            << Log();
        // As before, or complete: never a cast without its files.
        ASSERT_EQ(LastCast(), committed ? 1 : 0);
        if (committed) {
            TCruisefile reader;
            EXPECT_TRUE(reader.ReadCast(CruisePath(), 1));
            EXPECT_EQ(ReadFileBytes(RawDir() / "CR001.raw"), a);
            EXPECT_TRUE(fs::exists(Root() / "CR" / "bin" / "CR001.bin"));
        } else {
            EXPECT_TRUE(Placed("LOG", true));
        }
        // The same command again: the recording is stored exactly once.
        EXPECT_EQ(Run({"import", raw.string(), "--cruise", "CR"}), 0) << Log();
        EXPECT_EQ(LastCast(), 1);
        const std::vector<std::string> raws = CheckCruise();
        EXPECT_TRUE(raws.size() == 1 && raws[0] == a);
        EXPECT_TRUE(Placed("LOG", false));
    }
}

TEST_F(TCliTest, ARebuildStoppedHalfWayLeavesThePreviousFileAndIsDoneByTheNextRun) {
    const fs::path r1 = Place("A", "R1"), r2 = Place("B", "R2");
    ASSERT_EQ(Run({"import", r1.string(), r2.string(), "--cruise", "CR"}), 0) << Log();
    const std::string before = ReadFileBytes(CruisePath());
    ASSERT_EQ(Run({"--yes", "rebuild", "CR"}, "rebuild.appended#1"), StopPointExitCode) << Log();
    EXPECT_EQ(ReadFileBytes(CruisePath()), before);
    ASSERT_EQ(Run({"--yes", "rebuild", "CR"}), 0) << Log();
    EXPECT_EQ(LastCast(), 2);
    EXPECT_EQ(CheckCruise().size(), 2u);
    EXPECT_FALSE(fs::exists(RebuildWorkName(CruisePath())));
}

// A snapshot of every file under a folder: links by their target, files by their bytes. The
// event logs and the runs' outputs, which every run writes, are left out.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.starts_with("log_") || name.starts_with("run") || name.ends_with(".lock"))
            continue;
        if (e.is_symlink())
            files[e.path().string()] = "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file())
            files[e.path().string()] = ReadFileBytes(e.path());
        else
            files[e.path().string()] = "folder";
    }
    return files;
}

TEST_F(TCliTest, HostilePathsAreRefusedAndChangeNoFile) {
    ASSERT_EQ(Run({"import", Place("A", "FIRST").string(), "--cruise", "CR"}), 0) << Log();
    const fs::path victim = env.dir / "victim";
    std::ofstream(victim) << "untouched";
    const std::string root = Root().string();
    struct TCase {
        const char* what;
        std::function<void()> prepare;
        std::vector<std::string> args; // without the data root unless given
        const char* refusal;
        bool withRoot = true;
    } cases[] = {
        {"export onto the cruise file",
         [] {},
         {"export", "CR", "1", root + "/CR/CR.cru"},
         "is a cruise, cast, raw or settings file of the data root"},
        {"header table onto a raw file",
         [] {},
         {"cruise", "export-headers", "CR", root + "/CR/raw/CR001.raw"},
         "is a cruise, cast, raw or settings file of the data root"},
        {"bottle table onto the settings",
         [] {},
         {"cruise", "export-bottles", "CR", "1", root + "/Cfg/Environ.env"},
         "is a cruise, cast, raw or settings file of the data root"},
        {"export onto a link planted in the cruise",
         [&] { fs::create_symlink(victim, Root() / "CR" / "txt" / "CR001.txt"); },
         {"export", "CR", "1"},
         "is a link inside the data root"},
        {"import into a raw folder that is a link",
         [&] {
             Place("B", "LINKED");
             fs::rename(RawDir(), Root() / "CR" / "raw.real");
             fs::create_symlink(Root() / "CR" / "raw.real", RawDir());
         },
         {"import", In().string() + "/LINKED.raw", "--cruise", "CR"},
         "is a link: a cruise's files are not written through it"},
        {"import from the cruise's raw folder",
         [&] {
             fs::remove(RawDir());
             fs::rename(Root() / "CR" / "raw.real", RawDir());
         },
         {"import", root + "/CR/raw/CR001.raw", "--cruise", "CR"},
         "lies in the cruise folder"},
        {"import onto a planted link",
         [&] {
             Place("B", "NEXT");
             fs::create_symlink(victim, RawDir() / "CR002.raw");
         },
         {"import", In().string() + "/NEXT.raw", "--cruise", "CR"},
         "exists already"},
        {"reprocess of a raw file without a frame",
         [&] { std::ofstream(RawDir() / "CR001.raw", std::ios::trunc) << std::string(500, '\0'); },
         {"reprocess", "CR", "1"},
         "holds no usable frame; cast 1 is kept as it was"},
        {"empty data root", [] {}, {"--data-root", "", "init"}, "the data root is empty", false},
        {"data root that is a file",
         [] {},
         {"--data-root", root + "/CR/CR.cru", "init"},
         "is not a folder",
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        const auto before = Snapshot(env.dir);
        const int exit = Wait(Start(c.withRoot ? WithRoot(c.args) : c.args, LogFile()));
        EXPECT_NE(exit, 0);
        EXPECT_NE(Log().find(c.refusal), std::string::npos) << Log();
        EXPECT_TRUE(Snapshot(env.dir) == before);
        EXPECT_EQ(ReadFileBytes(victim), "untouched");
    }
}

TEST_F(TCliTest, ARelativeDataRootIsTakenUnderTheWorkingFolderAndSaidOnce) {
    const fs::path work = env.dir / "work";
    fs::create_directories(work);
    ASSERT_EQ(Wait(Start({"--data-root", "rel", "init"}, LogFile(), "", work)), 0) << Log();
    const std::string log = Log();
    const std::string note = "the data root rel is taken as " + (work / "rel").string();
    EXPECT_NE(log.find(note), std::string::npos) << log;
    EXPECT_EQ(log.find(note), log.rfind(note));
    EXPECT_TRUE(fs::exists(work / "rel" / "Cfg" / "Environ.env"));
    // The stored folders are absolute: a run from elsewhere finds the same settings.
    ASSERT_EQ(Wait(Start({"--data-root", (work / "rel").string(), "cruise", "list"}, LogFile())), 0)
        << Log();
}

} // namespace
TEST_F(TCliTest, ChosenSettingsGiveTheBinningAndColumnsOfTheReprocessedExport) {
    ASSERT_EQ(Run({"import", Place("A", "FIRST").string(), "--cruise", "CR"}), 0) << Log();
    const fs::path cfg = Root() / "Cfg" / "qvtst.cfg";
    const std::string cfgBefore = ReadFileBytes(cfg);

    // A refused value leaves the file as it was.
    EXPECT_EQ(Run({"config", "set", "qvtst", "AcquiCfg.VertStep=0.5", "AcquiCfg.VertMean=3"}), 1);
    EXPECT_NE(Log().find("AcquiCfg.VertMean: must be a whole number from 0 to 1"),
              std::string::npos)
        << Log();
    EXPECT_EQ(ReadFileBytes(cfg), cfgBefore);

    ASSERT_EQ(Run({"config", "set", "qvtst", "AcquiCfg.AcquiMode=0", "AcquiCfg.VertStep=0.5",
                   "AcquiCfg.VertFirst=0", "AcquiCfg.VertMean=1", "DataTextCfg.HeadList=",
                   "DataTextCfg.ParaList=101,401,404", "DataTextCfg.Direction=3"}),
              0)
        << Log();
    ASSERT_EQ(Run({"reprocess", "CR", "1"}), 0) << Log();
    const fs::path out = env.dir / "out.txt";
    ASSERT_EQ(Run({"export", "CR", "1", out.string()}), 0) << Log();
    // Three columns, pressures on the half-dbar grid (a bin without samples is marked "**").
    std::istringstream rows(ReadFileBytes(out));
    std::string line;
    int n = 0, valid = 0;
    while (std::getline(rows, line)) {
        valid += line.find("**") == std::string::npos;
        for (std::size_t k; (k = line.find("**")) != std::string::npos;)
            line.erase(k, 2);
        std::istringstream values(line);
        double p = 0, t = 0, s = 0, extra = 0;
        ASSERT_TRUE(values >> p >> t >> s) << line;
        EXPECT_FALSE(values >> extra) << line;
        EXPECT_NEAR(p * 2, std::round(p * 2), 1e-6) << line;
        ++n;
    }
    EXPECT_GE(valid, 1);
    EXPECT_GT(n, 2) << "half-dbar rows from the surface down to the recording";

    // --columns chooses the columns of one export and leaves the configuration alone.
    const std::string cfgChosen = ReadFileBytes(cfg);
    ASSERT_EQ(Run({"export", "CR", "1", out.string(), "--columns", "101,404"}), 0) << Log();
    std::istringstream first(ReadFileBytes(out));
    ASSERT_TRUE(std::getline(first, line));
    for (std::size_t k; (k = line.find("**")) != std::string::npos;)
        line.erase(k, 2);
    std::istringstream two(line);
    double p = 0, s = 0, extra = 0;
    EXPECT_TRUE(two >> p >> s);
    EXPECT_FALSE(two >> extra) << line;
    EXPECT_EQ(ReadFileBytes(cfg), cfgChosen);
    EXPECT_EQ(Run({"export", "CR", "1", out.string(), "--columns", "101,4242"}), 2);
}

TEST_F(TCliTest, ACopiedDataRootRunLeavesTheOriginalByteIdentical) {
    ASSERT_EQ(Run({"import", Place("A", "FIRST").string(), "--cruise", "CR"}), 0) << Log();
    const fs::path copy = env.dir / "copy";
    fs::copy(Root(), copy, fs::copy_options::recursive);
    const auto original = Snapshot(Root());
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-root", copy.string(), "-q"});
        return Wait(Start(args, LogFile()));
    };
    EXPECT_EQ(run({"import", Place("B", "SECOND").string(), "--cruise", "CR"}), 0) << Log();
    EXPECT_EQ(run({"reprocess", "CR", "1"}), 0) << Log();
    EXPECT_EQ(run({"config", "set", "qvtst", "AcquiCfg.VertStep=2"}), 0) << Log();
    EXPECT_EQ(run({"export", "CR", "2"}), 0) << Log();
    EXPECT_TRUE(Snapshot(Root()) == original) << "the original data root changed";
    EXPECT_TRUE(fs::exists(copy / "CR" / "txt" / "CR002.txt"));
}

// The batch's "Read Raw", "Save As Bin", "Save As Text" under Marevo5Cfg1 write what reprocess
// and export write cast by cast; a cast whose raw file is missing fails alone and is named.
TEST_F(TCliTest, BatchRunWritesWhatReprocessAndExportWriteCastByCast) {
    for (const char* base : {"X1", "X2", "X3"})
        ASSERT_EQ(Run({"import", Place("A", base).string(), "--cruise", "CR"}), 0) << Log();
    ASSERT_EQ(Run({"config", "new", "Marevo5Cfg1"}), 0) << Log();
    ASSERT_EQ(Run({"config", "set", "Marevo5Cfg1", "AcquiCfg.VertStep=0.5"}), 0) << Log();
    const fs::path bal = env.dir / "cfg1.bal";
    ASSERT_EQ(Run({"batch", "make", bal.string(), "Load Cfg1", "BEGIN LOOP", "Read Raw",
                   "Save As Bin", "Save As Text", "END LOOP"}),
              0)
        << Log();
    ASSERT_EQ(Run({"batch", "show", bal.string()}), 0) << Log();
    EXPECT_NE(Log().find("  6  END LOOP"), std::string::npos) << Log();
    EXPECT_EQ(Run({"batch", "make", bal.string(), "Read Everything"}), 2);

    const fs::path fresh = env.dir / "fresh";
    fs::copy(Root(), fresh, fs::copy_options::recursive);
    // Each variant: a copy of the fresh root, cast 2's raw file removed or not.
    const auto variant = [&](const std::string& name, bool withoutRaw2) {
        const fs::path root = env.dir / name;
        fs::copy(fresh, root, fs::copy_options::recursive);
        if (withoutRaw2)
            fs::remove(root / "CR" / "raw" / "CR002.raw");
        return root;
    };
    const auto run = [&](const fs::path& root, std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-root", root.string(), "-q"});
        return Wait(Start(args, LogFile()));
    };
    // The cruise folder's files by their path inside it.
    const auto cruise = [](const fs::path& root) {
        std::map<std::string, std::string> files;
        for (const auto& [path, bytes] : Snapshot(root / "CR"))
            files[fs::relative(path, root / "CR").string()] = bytes;
        return files;
    };
    for (const bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "CR002.raw missing" : "all raw files");
        const fs::path one = variant(missing ? "one-missing" : "one", missing);
        ASSERT_EQ(run(one, {"config", "use", "Marevo5Cfg1"}), 0) << Log();
        for (const char* k : {"1", "2", "3"}) {
            if (missing && std::string(k) == "2")
                continue;
            ASSERT_EQ(run(one, {"reprocess", "CR", k}), 0) << Log();
            ASSERT_EQ(run(one, {"export", "CR", k}), 0) << Log();
        }
        const fs::path batch = variant(missing ? "batch-missing" : "batch", missing);
        const int exit = run(batch, {"batch", "run", "--commands", bal.string(), "CR001", "CR002",
                                     "CR003"});
        EXPECT_EQ(exit, missing ? 1 : 0) << Log();
        if (missing) {
            EXPECT_NE(Log().find("Batch: 3 casts, 1 failed; failed: CR002"), std::string::npos)
                << Log();
        }
        EXPECT_TRUE(cruise(batch) == cruise(one));
    }
    EXPECT_TRUE(cruise(env.dir / "batch") != cruise(fresh)) << "Marevo5Cfg1 changes the casts";
}

TEST_F(TCliTest, ConnectedInstrumentsAreFoundThroughThePortMapAndAConflictChangesNothing) {
    ASSERT_EQ(Run({"config", "ports", "--probe", "/dev/ttyUSB3", "--rdr", "/dev/ttyUSB1"}), 0)
        << Log();
    const fs::path environ = Root() / "Cfg" / "Environ.env";
    const std::string envBytes = ReadFileBytes(environ);
    const std::string map = ReadFileBytes(Root() / "Cfg" / "Ports.map");
    ASSERT_FALSE(envBytes.empty());

    // A device already taken by the probe is refused: neither file changes.
    EXPECT_EQ(Run({"config", "ports", "--gps", "/dev/ttyUSB3"}), 1);
    EXPECT_NE(Log().find("already used by the probe"), std::string::npos) << Log();
    EXPECT_TRUE(ReadFileBytes(environ) == envBytes);
    EXPECT_EQ(ReadFileBytes(Root() / "Cfg" / "Ports.map"), map);

    // A later run reads the ports back from the files; "none" disconnects the repeater.
    ASSERT_EQ(Run({"config", "ports", "--rdr", "none"}), 0) << Log();
    const std::string shown = Log();
    EXPECT_NE(shown.find("/dev/ttyUSB3"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("/dev/ttyUSB1"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("(on)"), std::string::npos) << shown;
}

} // namespace marevo
