#include "shell/Startup.h"

#include "app/AppContext.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "processing/ParamCollection.h"
#include "records/Config.h"
#include "records/Environ.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace marevo {

namespace fs = std::filesystem;

namespace {

// When the recovery copy `backup` exists, asks whether to use it; OK puts it in place of `file`
// (whole or not at all). The copy is then deleted in either case; a failed copy raises and keeps
// it, since it may be the only good one.
void OfferRecoveryCopy(const fs::path& backup, const fs::path& file, const std::string& question,
                       bool& found, bool& used) {
    std::error_code ec;
    found = fs::exists(backup, ec);
    if (!found)
        return;
    if (Operator().Confirm(question, "Warning")) {
        std::ifstream in(backup, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof())
            Raise("cannot read " + backup.string());
        WriteFileAtomically(file, [&](TStream& out) {
            TRecordWriter(out, "recovery copy: write error - ")
                .PutBytes(bytes.data(), bytes.size(), file.filename().string());
        });
        used = true;
    }
    fs::remove(backup, ec);
}

} // namespace

std::string InvalidFileMessage(TSettingsFile file, const fs::path& environFile,
                               const fs::path& paramColFile) {
    const char* first = file == TSettingsFile::Environment ? "Invalid environment file!"
                        : file == TSettingsFile::ParamCollection
                            ? "Invalid parameter collection file!"
                            : "Invalid configuration file!";
    // The files by their real names and folders, so the operator deletes the right ones.
    return std::string(first) + "\n\rDelete file " + environFile.string() + "!\n\rDelete file " +
           paramColFile.string() + "!\n\rDelete all *.cfg files in " +
           paramColFile.parent_path().string() + "!\n\rThe application will be closed";
}

TStartSettingsResult StartSettings(const TStartSettingsOptions& options) {
    TStartSettingsResult result;
    const auto invalid = [&](TSettingsFile file) {
        result.invalidFile = file;
        result.invalidMessage = InvalidFileMessage(file, result.environFile, result.paramColFile);
        Operator().Message(result.invalidMessage, "Warning", TMessageKind::Warning);
    };
    Guard({"Error in TMainForm.FormCreate ", "Creating the application window"}, [&] {
        TEnviron& env = Environ();
        if (!env.SetDefault()) {
            result.defaultsFailed = true;
            return;
        }

        // Looked for under the default data root: the folders are known only after reading it.
        result.environFile = env.DefaultEnvironFileName();
        result.paramColFile = env.ParamColFileName();
        result.configFile = env.ConfigFileName();
        OfferRecoveryCopy(fs::path(result.environFile).replace_extension(".bak"),
                          result.environFile,
                          "A saved copy of Environment file exists. Would you like to use it? ",
                          result.environBackupFound, result.environBackupUsed);
        if (fs::exists(result.environFile)) {
            if (!env.FileToEnv())
                return invalid(TSettingsFile::Environment);
            result.environRead = true;
        }

        TParamCollection& probe = ProbeParamCol();
        probe.DefaultParamCol();
        result.paramColFile = env.ParamColFileName();
        if (!fs::exists(result.paramColFile)) {
            if (!probe.SaveToStreamName(result.paramColFile))
                return invalid(TSettingsFile::ParamCollection);
            result.paramColCreated = true;
        }
        if (!probe.ReadFromStreamName(result.paramColFile))
            return invalid(TSettingsFile::ParamCollection);

        TConfig& cfg = Config();
        cfg.SetDefault();
        result.configFile = env.ConfigFileName();
        if (result.configFile.empty())
            Raise("the configuration name cannot be a file name: " + env.ConfigName.Get());
        const fs::path cfgBackup = fs::path(result.configFile).replace_extension(".bak");
        OfferRecoveryCopy(cfgBackup, result.configFile,
                          "A saved copy of Configuration file: " + cfgBackup.string() +
                              " exists. Would you like to use it? ",
                          result.configBackupFound, result.configBackupUsed);
        if (fs::exists(result.configFile)) {
            if (!cfg.ReadFromFile(result.configFile, InstalledCollections()))
                return invalid(TSettingsFile::Configuration);
        } else {
            cfg.SetDefault();
            if (!cfg.SaveToFile(result.configFile, InstalledCollections()) ||
                !cfg.ReadFromFile(result.configFile, InstalledCollections()))
                return invalid(TSettingsFile::Configuration);
            result.configCreated = true;
            cfg.GenCfg.FileType = FileTypeNone;
            env.LastType = FileTypeNone;
        }

        probe.UpdateTimeUnit();
        probe.UpdateDup();

        if (options.writeMissingEnviron && !result.environRead) {
            if (!env.EnvToFile(CastParamCol().Loaded.FileLoaded))
                return;
            result.environWritten = true;
        }
        result.completed = true;
    });
    return result;
}

} // namespace marevo
