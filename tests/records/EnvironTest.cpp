#include "records/Environ.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>

namespace marevo {
namespace {

using test::ReadFileBytes;
using test::TAppEnv;
namespace fs = std::filesystem;

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

template <class T> T Peek(const std::string& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

template <class T> void Poke(std::string& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

std::string Text(const std::string& bytes, std::size_t offset) {
    return bytes.substr(offset + 1, static_cast<unsigned char>(bytes[offset]));
}

TEST(EnvironFile, DefaultsMakeTheFoldersAndTheLog) {
    TAppEnv env;
    const fs::path root = env.dir / "data";
    ASSERT_TRUE(env.environ.SetDefault());
    for (const char* folder : {"", "Txt", "Cfg"})
        EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
    EXPECT_FALSE(fs::exists(root / "Documents"));
    EXPECT_EQ(env.log.FileName().parent_path(), root / "Txt");
    EXPECT_TRUE(env.log.IsOpen());
    EXPECT_TRUE(LogEnabled());
    EXPECT_EQ(env.environ.DataRoot.Get(), root.string() + "/");
    EXPECT_EQ(env.environ.ConfigFileName(), root / "Cfg" / "qvtst.cfg");
    EXPECT_EQ(env.environ.LastFile.Get(), root.string() + "/qvtst/qvtst001.bin");
    EXPECT_EQ(env.environ.ProbeCommPort.CommCfgStr.Get(), "NONE");
    EXPECT_EQ(env.environ.BatchCmdList.count, 2);
}

TEST(EnvironFile, DefaultWritesReadsBackAndRewritesIdentically) {
    TAppEnv env;
    ASSERT_TRUE(env.environ.SetDefault());
    env.environ.Preferences.logStatusCheck = 0;
    ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
    const fs::path file = env.environ.EnvironFileName();
    const std::string bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 3824u);
    EXPECT_EQ(Text(bytes, 0), "1.25");
    EXPECT_EQ(Text(bytes, 41), "qvtst");
    EXPECT_EQ(Text(bytes, 122 + 7 * 81), (env.dir / "data/Cfg/").string());
    EXPECT_EQ(Text(bytes, 851 + 7 * 4), "CFG");
    EXPECT_EQ(Peek<std::int32_t>(bytes, 1147), 5); // header window left
    EXPECT_EQ(Peek<double>(bytes, 1279 + 5 * 8), 30.0);
    EXPECT_EQ(Peek<std::int32_t>(bytes, 1399 + 4), 10);
    // The print layout, at its own offsets inside the file.
    const std::size_t print = 1419;
    EXPECT_EQ(Text(bytes, print + 252), "Page header");
    EXPECT_EQ(Text(bytes, print + 1020), "Page Footer");
    EXPECT_EQ(Peek<std::int32_t>(bytes, print + 1276), 4);
    EXPECT_EQ(Peek<std::int32_t>(bytes, print + 1580 + 4), 1002);
    EXPECT_EQ(Text(bytes, print + 1896), "Arial");
    EXPECT_EQ(Peek<float>(bytes, print + 1996), 0.5f);
    EXPECT_EQ(Peek<float>(bytes, print + 28 + 0 * 32 + 28), 0.94f);
    EXPECT_EQ(Peek<std::int32_t>(bytes, print + 28 + 6 * 32 + 12), 1);
    EXPECT_EQ(Peek<std::int32_t>(bytes, 3423), 0); // logStatusCheck
    EXPECT_EQ(bytes[3692], 16);
    EXPECT_EQ(Peek<std::int32_t>(bytes, 3692 + 52), 2);
    EXPECT_EQ(Peek<std::int32_t>(bytes, 3748), 0);
    EXPECT_EQ(Text(bytes, 3812), "$GP");

    TEnviron back(env.dir / "data");
    ASSERT_TRUE(back.SetDefault());
    back.Preferences.logStatusCheck = 1;
    ASSERT_TRUE(back.FileToEnv());
    EXPECT_FALSE(LogEnabled());
    EXPECT_EQ(back.Preferences.logStatusCheck, 0);
    fs::remove(file);
    ASSERT_TRUE(back.EnvToFile(CastParamCol().Loaded.FileLoaded));
    EXPECT_EQ(ReadFileBytes(file), bytes);
}

TEST(EnvironFile, BatchFileListIsStoredAsUtf16Lines) {
    TAppEnv env;
    ASSERT_TRUE(env.environ.SetDefault());
    env.environ.BatchFileList = {"qvtst001"};
    ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
    const std::string bytes = ReadFileBytes(env.environ.EnvironFileName());
    ASSERT_EQ(bytes.size(), 3844u);
    EXPECT_EQ(Peek<std::int32_t>(bytes, 3748), 10);
    EXPECT_EQ(bytes.substr(3752, 4), std::string("q\0v\0", 4));
    EXPECT_EQ(bytes.substr(3752 + 16, 4), std::string("\r\0\n\0", 4));

    env.environ.BatchFileList = {"Kr\xC3\xA4"
                                 "ft001",
                                 "C002"};
    ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
    TEnviron back(env.dir / "data");
    ASSERT_TRUE(back.SetDefault());
    ASSERT_TRUE(back.FileToEnv());
    EXPECT_EQ(back.BatchFileList, env.environ.BatchFileList);
}

TEST(EnvironFile, LongDataFolderIsKeptWholeButTheDataRootIsCut) {
    TAppEnv env;
    ASSERT_TRUE(env.environ.SetDefault());
    const std::string longPath = "/" + std::string(99, 'd') + "/";
    env.environ.DataFolder.UseDefaultDataFolder = 0; // chosen elsewhere
    env.environ.DataFolder.DataFolderPath.Set(longPath);
    ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
    TEnviron back(env.dir / "data");
    ASSERT_TRUE(back.SetDefault());
    ASSERT_TRUE(back.FileToEnv());
    EXPECT_EQ(back.DataFolder.DataFolderPath.Get(), longPath);
    EXPECT_EQ(back.DataRoot.Get(), longPath.substr(0, 80));
}

TEST(EnvironFile, ACopiedDataRootUsesItsOwnFoldersNotTheOriginals) {
    TAppEnv env;
    const fs::path original = env.dir / "data";
    ASSERT_TRUE(env.environ.SetDefault());
    ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
    const fs::path copy = env.dir / "copy";
    fs::copy(original, copy, fs::copy_options::recursive);
    const std::string stored = ReadFileBytes(copy / "Cfg" / "Environ.env");

    TEnviron moved(copy);
    ASSERT_TRUE(moved.SetDefault());
    ASSERT_TRUE(moved.FileToEnv());
    for (const fs::path& folder : {moved.DataRootPath(), moved.TextFolder(),
                                   moved.ConfigFolder(),
                                   fs::path(moved.DataFolder.DataFolderPath.Get())})
        EXPECT_TRUE(!folder.lexically_relative(copy).empty() &&
                    folder.lexically_relative(copy).begin()->string() != "..")
            << folder;
    EXPECT_EQ(moved.EnvironFileName(), copy / "Cfg" / "Environ.env");
    ASSERT_TRUE(moved.EnvToFile(CastParamCol().Loaded.FileLoaded));
    // The original's file is as it was; the copy's names the copy.
    EXPECT_EQ(ReadFileBytes(original / "Cfg" / "Environ.env"), stored);
    EXPECT_NE(ReadFileBytes(copy / "Cfg" / "Environ.env"), stored);
}

TEST(DataRoot, EmptyRelativeAndFileRootsAreResolvedOrRefused) {
    TAppEnv env;
    std::ofstream(env.dir / "plain") << "x";
    const fs::path cwd = fs::current_path();
    struct TCase {
        std::string given;
        std::string root;  // "" = refused
        bool noted;        // told it was made absolute
        const char* error; // part of the refusal
    } cases[] = {
        {"", "", false, "the data root is empty"},
        {"rel/data", (cwd / "rel/data").string(), true, ""},
        {"./x/../data/", (cwd / "data").string(), true, ""},
        {(env.dir / "new" / "data").string(), (env.dir / "new" / "data").string(), false, ""},
        {(env.dir / "plain").string(), "", false, "is not a folder"},
        {(env.dir / "plain" / "data").string(), "", false, "is not a folder"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.given);
        std::string note, error;
        const auto root = ResolveDataRoot(c.given, note, error);
        ASSERT_EQ(root.has_value(), !c.root.empty()) << error;
        if (root) {
            EXPECT_EQ(*root, fs::path(c.root));
            EXPECT_EQ(note.empty(), !c.noted);
            EXPECT_FALSE(fs::exists(*root)); // resolving creates nothing
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

struct TDamage {
    const char* name;
    std::function<void(std::string&)> damage;
    const char* reason; // nullptr: refused without a message
};

TEST(EnvironFile, DamagedFilesAreRefusedAndLeftAsTheyAre) {
    const TDamage cases[] = {
        {"another version", [](std::string& b) { b[4] = '4'; }, nullptr},
        {"empty", [](std::string& b) { b.clear(); }, nullptr},
        {"garbage", [](std::string& b) { b.assign(b.size(), '\x7F'); }, nullptr},
        {"cut short", [](std::string& b) { b.resize(3000); }, "read error - PrintLayout"},
        {"cut in the tail", [](std::string& b) { b.resize(3820); },
         "bad value - batch file list length"},
        {"bytes appended", [](std::string& b) { b += "xx"; }, "bad value - batch file list length"},
        {"negative list length", [](std::string& b) { Poke<std::int32_t>(b, 3748, -1); },
         "bad value - batch file list length"},
        {"huge list length", [](std::string& b) { Poke<std::int32_t>(b, 3748, 0x7FFFFFFF); },
         "bad value - batch file list length"},
        {"configuration name leaving the folder",
         [](std::string& b) { std::memcpy(b.data() + 41, "\x05../xy", 6); },
         "bad value - ConfigName"},
        {"data folder of another system",
         [](std::string& b) {
             std::memcpy(b.data() + 3436,
                         "\x0E"
                         "c:\\MarevoData\\",
                         15);
         },
         "bad value - DataFolderPath"},
        {"batch list of 60 commands", [](std::string& b) { Poke<std::int32_t>(b, 3692 + 52, 60); },
         "bad value - BatchCmdList.count"},
    };
    for (const TDamage& c : cases) {
        SCOPED_TRACE(c.name);
        TAppEnv env;
        ASSERT_TRUE(env.environ.SetDefault());
        ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
        const fs::path file = env.environ.EnvironFileName();
        std::string bytes = ReadFileBytes(file);
        c.damage(bytes);
        WriteBytes(file, bytes);

        EXPECT_FALSE(env.environ.FileToEnv());
        EXPECT_EQ(ReadFileBytes(file), bytes);
        if (!c.reason) {
            EXPECT_TRUE(env.op.Events().empty());
            continue;
        }
        EXPECT_TRUE(
            env.Logged(std::string("Error in TEnviron.FileToEnvTEnviron.FileToEnv: ") + c.reason))
            << ::testing::PrintToString(env.LogMessages());
        ASSERT_FALSE(env.op.Events().empty());
        EXPECT_EQ(env.op.Events().back(), "Message Error [Error]: Reading environment from file");
    }
}

TEST(EnvironFile, FolderThatCannotBeMadeStopsTheDefaults) {
    TAppEnv env;
    WriteBytes(env.dir / "plain", "a file, not a folder");
    TEnviron blocked(env.dir / "plain" / "data");
    EXPECT_FALSE(blocked.SetDefault());
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{"Message Error [Error]: Cannot create " +
                                        (env.dir / "plain/data/").string() + " folder."}));
}

TEST(CommPort, SettingTextFromTheIndices) {
    const struct {
        TCommPort port;
        const char* text;
    } cases[] = {
        {{{}, 3, 5, 0, 0, 0, 0}, "COM3:9600,n,8,1,n"},
        {{{}, 12, 12, 4, 4, 1, 1}, "COM12:921600,s,4,2,e"},
        {{{}, 1, 0, 1, 2, 0, 2}, "COM1:300,e,7,1,n"}, // Xon/Xoff: no hardware handshake
        {{{}, 123, 12, 0, 0, 0, 1}, "COM123:921600,n,8,1,"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommCfgText(c.port), c.text);
    for (const TCommPort& bad : {TCommPort{{}, 1, 13, 0, 0, 0, 0}, TCommPort{{}, 1, 0, 0, 0, 2, 0},
                                 TCommPort{{}, 1, 0, -1, 0, 0, 0}})
        EXPECT_FALSE(GuardOr({"test"}, false, [&] { return !CommCfgText(bad).empty(); }));
}

TEST(CommPort, DeviceFromThePortsMap) {
    const std::string map = "# probe on the USB adapter\r\n"
                            "COM1=/dev/ttyUSB0\r\n"
                            "  com3 = /dev/pts/4  \n"
                            "COM7=\n"
                            "COM12=/dev/serial/by-id/usb-FTDI-if00-port0\n"
                            "COM1=/dev/ttyUSB9\n";
    const struct {
        const char* port;
        const char* device;
    } cases[] = {
        {"COM1:9600,n,8,1,n", "/dev/ttyUSB0"},
        {"COM3", "/dev/pts/4"},
        {"COM12:921600,s,4,2,e", "/dev/serial/by-id/usb-FTDI-if00-port0"},
        {"COM2:9600,n,8,1,n", "/dev/ttyS1"},
        {"COM7", "/dev/ttyS6"}, // an entry without a device counts as none
        {"COM0:9600,n,8,1,n", ""},
        {"NONE", ""},
        {"", ""},
        {"COMX:9600", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolvePortDevice(c.port, map), c.device) << c.port;
    EXPECT_EQ(ResolvePortDevice("COM4", ""), "/dev/ttyS3");
}

TEST(Environ, PortChecksAndItemLists) {
    TAppEnv env;
    TEnviron& e = env.environ;
    const struct {
        int probe, gps, ext;
        bool gpsOk, extOk;
    } cases[] = {
        {1, 2, 3, true, true},   {1, 0, 3, false, true}, {1, 1, 3, false, true},
        {1, 2, 2, false, false}, {1, 2, 1, true, false}, {0, 0, 0, false, false},
    };
    for (const auto& c : cases) {
        e.ProbeCommPort.PortNumber = c.probe;
        e.NMEACommPort.PortNumber = c.gps;
        e.ExtCommPort.PortNumber = c.ext;
        EXPECT_EQ(e.IsNMEACommOk(), c.gpsOk) << c.probe << c.gps << c.ext;
        EXPECT_EQ(e.IsExtCommOk(), c.extOk) << c.probe << c.gps << c.ext;
    }
    e.ExtCommPort.PortNumber = 3;
    EXPECT_FALSE(e.IsPARActive());
    e.ExtParaArray[0] = 1;
    EXPECT_TRUE(e.IsPARActive());

    e.ExtParaArray[2] = 1; // EXT2 stands for no parameter
    e.SetExtParaList();
    EXPECT_EQ(e.ExtParaList.count, 2);
    EXPECT_EQ(e.ExtParaList.List[0], 807);
    EXPECT_EQ(e.ExtParaList.List[1], 0);
    e.NMEAParaArray[2] = 1;
    e.NMEAParaArray[0] = 1;
    e.SetMNEATab();
    EXPECT_EQ(e.NMEAParaList.count, 2);
    EXPECT_EQ(e.NMEAParaList.List[0], 800);
    EXPECT_EQ(e.NMEAParaList.List[1], 808);
}

} // namespace
} // namespace marevo
