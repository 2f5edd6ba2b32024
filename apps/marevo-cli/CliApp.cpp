#include "CliApp.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"

#include <fmt/core.h>

namespace marevo::cli {

bool TCliApp::Start(const TStartSettingsOptions& options) {
    if (TApplication::Start(options).completed)
        return true;
    fmt::print(stderr, "marevo-cli: the settings under {} cannot be used ({}); see `init`\n",
               dataRoot.string(), EventLog().LastMessage());
    return false;
}

bool OpenCast(TCliApp& app, TCruisefile& file, const std::string& cruise, int castNb) {
    const auto fail = [](const std::string& what) {
        fmt::print(stderr, "marevo-cli: {}: {}\n", what, EventLog().LastMessage());
        return false;
    };
    const std::filesystem::path root = app.environ.DataRootPath();
    const std::filesystem::path path = DefaultCruiseName(root, cruise);
    if (!std::filesystem::exists(path)) {
        fmt::print(stderr, "marevo-cli: no cruise {} under {}\n", cruise, root.string());
        return false;
    }
    if (!file.OpenCruiseFile(path))
        return fail("cannot open " + path.string());
    if (castNb > file.LastIndex) {
        fmt::print(stderr, "marevo-cli: cruise {} has {} casts\n", cruise, file.LastIndex);
        return false;
    }
    if (!file.ReadCastNb(castNb))
        return fail("cannot read cast " + std::to_string(castNb));
    // The cast's files are named after the current cruise.
    app.config.GenCfg.CruiseName.Set(cruise);
    TCastInfoC& holder = file.CastInfoc;
    TParamCollection& cast = app.cast;
    cast.Loaded.CastHeader = &holder.Cast;
    cast.Loaded.CruiseHeader = &holder.Cruise;
    cast.Loaded.Bottles = &holder.Bottles;
    if (!cast.InitRoundBuffer() || !cast.InitLinearBuffer())
        return fail("cannot prepare the cast's parameters");
    return true;
}

int Fail(std::string_view what) {
    fmt::print(stderr, "marevo-cli: {}: {}\n", what, EventLog().LastMessage());
    return 1;
}

bool UseCruise(TCliApp& app, const std::string& cruise) {
    const std::filesystem::path path = DefaultCruiseName(app.environ.DataRootPath(), cruise);
    if (!std::filesystem::exists(path)) {
        fmt::print(stderr, "marevo-cli: no cruise {} under {}\n", cruise,
                   app.environ.DataRootPath().string());
        return false;
    }
    app.config.GenCfg.CruiseName.Set(cruise);
    return true;
}

std::unique_ptr<TFileCOMM> OpenDevice(const std::string& device, const TCommPort& port,
                                      const char* label) {
    if (device.empty())
        return nullptr;
    auto comm = std::make_unique<TFileCOMM>();
    std::string text = port.CommCfgStr.Get();
    if (!text.starts_with("COM"))
        text = "COM1:9600,n,8,1,n";
    comm->Open(label, text, [&](int) { return std::filesystem::path(device); });
    return comm;
}

bool CruiseNameOk(const std::string& name) {
    if (IsSafeSettingsName(name))
        return true;
    fmt::print(stderr,
               "marevo-cli: \"{}\" cannot be a cruise name (1 to {} characters, no folder "
               "separator, no dot)\n",
               name, MaxSettingsNameLength);
    return false;
}

} // namespace marevo::cli
