#include "shell/Startup.h"

#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace marevo {
namespace {

using test::ReadFileBytes;
using test::TAppEnv;
namespace fs = std::filesystem;

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Every settings file under root with its bytes (the event logs left out).
std::map<fs::path, std::string> SettingsFiles(const fs::path& root) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().parent_path().filename() != "Txt")
            files[entry.path()] = ReadFileBytes(entry.path());
    return files;
}

// The start-up as the command-line "init" runs it.
TStartSettingsResult Start(TAppEnv&) {
    return StartSettings({.writeMissingEnviron = true});
}

TEST(StartSettings, FirstStartCreatesEverythingAndASecondChangesNoByte) {
    TAppEnv env;
    const fs::path root = env.dir / "data";
    const TStartSettingsResult first = Start(env);
    ASSERT_TRUE(first.completed) << ::testing::PrintToString(env.LogMessages());
    EXPECT_FALSE(first.environRead);
    EXPECT_TRUE(first.environWritten);
    EXPECT_TRUE(first.paramColCreated);
    EXPECT_TRUE(first.configCreated);
    EXPECT_EQ(first.environFile, root / "Cfg" / "Environ.env");
    EXPECT_EQ(first.paramColFile, root / "Cfg" / "Param.col");
    EXPECT_EQ(first.configFile, root / "Cfg" / "qvtst.cfg");
    for (const char* folder : {"Txt", "Cfg"})
        EXPECT_TRUE(fs::is_directory(root / folder));
    EXPECT_EQ(env.log.FileName().parent_path(), root / "Txt");
    EXPECT_EQ(env.environ.LastType, FileTypeNone);
    EXPECT_EQ(env.config.GenCfg.FileType, FileTypeNone);
    EXPECT_EQ(env.probe.Count(), 211);
    const auto files = SettingsFiles(root);
    EXPECT_EQ(files.size(), 3u);
    EXPECT_TRUE(env.op.Events().empty());

    TAppEnv again;
    // The same default data root as the first run.
    TEnviron environ(root);
    TAppScope scope({.environ = &environ});
    const TStartSettingsResult second = StartSettings({.writeMissingEnviron = true});
    ASSERT_TRUE(second.completed);
    EXPECT_TRUE(second.environRead);
    EXPECT_FALSE(second.environWritten);
    EXPECT_FALSE(second.paramColCreated);
    EXPECT_FALSE(second.configCreated);
    EXPECT_EQ(SettingsFiles(root), files);
}

struct TInvalid {
    const char* name;
    const char* file; // below the configuration folder
    TSettingsFile kind;
    const char* firstLine;
};

TEST(StartSettings, InvalidFileStopsWithTheMessageAndOverwritesNothing) {
    const TInvalid cases[] = {
        {"environment", "Environ.env", TSettingsFile::Environment, "Invalid environment file!"},
        {"parameter collection", "Param.col", TSettingsFile::ParamCollection,
         "Invalid parameter collection file!"},
        {"configuration", "qvtst.cfg", TSettingsFile::Configuration, "Invalid configuration file!"},
    };
    for (const TInvalid& c : cases) {
        SCOPED_TRACE(c.name);
        TAppEnv env;
        const fs::path root = env.dir / "data";
        ASSERT_TRUE(Start(env).completed);
        std::string bytes = ReadFileBytes(root / "Cfg" / c.file);
        bytes[4] = '4'; // version "1.24"
        WriteBytes(root / "Cfg" / c.file, bytes);
        const auto before = SettingsFiles(root);
        env.op.Clear();

        const TStartSettingsResult r = Start(env);
        EXPECT_FALSE(r.completed);
        EXPECT_EQ(r.invalidFile, c.kind);
        const fs::path cfg = root / "Cfg";
        const std::string message =
            std::string(c.firstLine) + "\n\rDelete file " + (cfg / "Environ.env").string() +
            "!\n\rDelete file " + (cfg / "Param.col").string() + "!\n\rDelete all *.cfg files in " +
            cfg.string() + "!\n\rThe application will be closed";
        EXPECT_EQ(r.invalidMessage, message);
        ASSERT_FALSE(env.op.Events().empty());
        EXPECT_EQ(env.op.Events().back(), "Message Warning [Warning]: " + message);
        EXPECT_EQ(SettingsFiles(root), before);
    }
}

TEST(StartSettings, MissingConfigurationIsCreatedBesideAnExistingEnvironment) {
    TAppEnv env;
    const fs::path root = env.dir / "data";
    ASSERT_TRUE(Start(env).completed);
    fs::remove(root / "Cfg" / "qvtst.cfg");
    const std::string environ = ReadFileBytes(root / "Cfg" / "Environ.env");
    const TStartSettingsResult r = Start(env);
    ASSERT_TRUE(r.completed);
    EXPECT_TRUE(r.configCreated);
    EXPECT_TRUE(fs::exists(root / "Cfg" / "qvtst.cfg"));
    EXPECT_EQ(ReadFileBytes(root / "Cfg" / "Environ.env"), environ);
}

TEST(StartSettings, RecoveryCopiesAnsweredOkAndCancel) {
    for (bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        TAppEnv env;
        const fs::path cfg = env.dir / "data" / "Cfg";
        ASSERT_TRUE(Start(env).completed);
        const std::string environ = ReadFileBytes(cfg / "Environ.env");
        const std::string config = ReadFileBytes(cfg / "qvtst.cfg");

        // Copies as a cast leaves them: a batch list in the environment, another cruise in the
        // configuration.
        env.environ.BatchFileList = {"X001"};
        ASSERT_TRUE(env.environ.EnvToFile(CastParamCol().Loaded.FileLoaded));
        fs::rename(cfg / "Environ.env", cfg / "Environ.bak");
        WriteBytes(cfg / "Environ.env", environ);
        env.config.GenCfg.CruiseName.Set("other");
        ASSERT_TRUE(env.config.SaveToFile(cfg / "qvtst.bak", InstalledCollections()));
        const std::string environBak = ReadFileBytes(cfg / "Environ.bak");
        const std::string configBak = ReadFileBytes(cfg / "qvtst.bak");
        env.op.Clear();
        env.op.ScriptAnswers({ok, ok});

        const TStartSettingsResult r = Start(env);
        ASSERT_TRUE(r.completed);
        EXPECT_TRUE(r.environBackupFound);
        EXPECT_TRUE(r.configBackupFound);
        EXPECT_EQ(r.environBackupUsed, ok);
        EXPECT_EQ(r.configBackupUsed, ok);
        const std::string answer = ok ? " -> OK" : " -> Cancel";
        EXPECT_EQ(env.op.Events(),
                  (std::vector<std::string>{
                      "Confirm [Warning]: A saved copy of Environment file exists. Would you like "
                      "to use it? " +
                          answer,
                      "Confirm [Warning]: A saved copy of Configuration file: " +
                          (cfg / "qvtst.bak").string() + " exists. Would you like to use it? " +
                          answer}));
        EXPECT_FALSE(fs::exists(cfg / "Environ.bak"));
        EXPECT_FALSE(fs::exists(cfg / "qvtst.bak"));
        EXPECT_EQ(ReadFileBytes(cfg / "Environ.env"), ok ? environBak : environ);
        EXPECT_EQ(ReadFileBytes(cfg / "qvtst.cfg"), ok ? configBak : config);
        EXPECT_EQ(env.environ.BatchFileList,
                  ok ? std::vector<std::string>{"X001"} : std::vector<std::string>{});
        EXPECT_EQ(env.config.GenCfg.CruiseName.Get(), ok ? "other" : "qvtst");
    }
}

} // namespace
} // namespace marevo
