#pragma once
// The settings part of the application's start-up, without windows: the environment with its
// folders and event log, the probe collection from Param.col and the current configuration,
// each created from its defaults when missing and read back, with the recovery copies a cast
// that did not end normally left behind. It works on the installed application objects
// (Environ(), ProbeParamCol(), Config()).

#include <filesystem>
#include <string>

namespace marevo {

enum class TSettingsFile { None, Environment, ParamCollection, Configuration };

// The warning that ends a start-up on an invalid settings file: five lines separated by LF CR,
// the first naming the file, then the files to delete by their real names (the configurations:
// every .cfg file of the parameter collection's folder).
std::string InvalidFileMessage(TSettingsFile file, const std::filesystem::path& environFile,
                               const std::filesystem::path& paramColFile);

struct TStartSettingsOptions {
    // Write Environ.env when there was none (the program otherwise writes it when it closes).
    bool writeMissingEnviron = false;
};

struct TStartSettingsResult {
    // All settings are in place; otherwise the start-up must end without saving anything.
    bool completed = false;
    // The environment defaults failed (a folder could not be created; the operator was told).
    bool defaultsFailed = false;
    // The file found invalid, with the warning shown for it.
    TSettingsFile invalidFile = TSettingsFile::None;
    std::string invalidMessage;

    bool environBackupFound = false, environBackupUsed = false;
    bool environRead = false;    // Environ.env existed and was read
    bool environWritten = false; // it was missing and has been written
    bool paramColCreated = false;
    bool configBackupFound = false, configBackupUsed = false;
    bool configCreated = false;

    std::filesystem::path environFile, paramColFile, configFile;
};

// Never throws: a failure is logged "Error in TMainForm.FormCreate " + message with the box
// "Creating the application window", and the result is then not completed.
TStartSettingsResult StartSettings(const TStartSettingsOptions& options = {});

} // namespace marevo
