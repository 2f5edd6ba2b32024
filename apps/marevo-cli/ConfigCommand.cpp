#include "ConfigCommand.h"

#include "CliApp.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "records/ConfigFields.h"
#include "shell/Settings.h"

#include <fmt/core.h>

#include <algorithm>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

bool ConfigNameOk(const std::string& name) {
    if (IsSafeSettingsName(name))
        return true;
    fmt::print(stderr,
               "marevo-cli: \"{}\" cannot be a configuration name (1 to {} characters, no "
               "folder separator, no dot)\n",
               name, MaxSettingsNameLength);
    return false;
}

// Connects the instruments named on the command line (the others keep their ports), writes
// Ports.map and the environment, then prints every instrument's port and device.
int RunPorts(const TConfigOptions& o, TCliApp& app) {
    TEnviron& environ = app.environ;
    const std::string map = ReadPortsMap(environ);
    TPortChoices choices;
    bool changed = false;
    for (int i = 0; i < InstrumentCount; ++i) {
        const auto instrument = static_cast<TInstrument>(i);
        choices[i] = PortChoiceOf(InstrumentPort(environ, instrument), map);
        if (o.devices[i].empty())
            continue;
        choices[i].device = o.devices[i] == "none" ? "" : o.devices[i];
        changed = true;
    }
    if (changed) {
        if (const std::string problem = PortChoicesProblem(choices); !problem.empty()) {
            fmt::print(stderr, "marevo-cli: {}\n", problem);
            return 1;
        }
        const std::string newMap = ApplyPortChoices(choices, environ, map);
        if (!o.devices[3].empty())
            environ.RemoteDepth.Enabled = choices[3].device.empty() ? 0 : 1;
        try {
            if (newMap != map)
                WritePortsMap(environ, newMap);
        } catch (const EMarevoError& e) {
            fmt::print(stderr, "marevo-cli: {}\n", e.what());
            return 1;
        }
        if (!environ.EnvToFile(app.cast.Loaded.FileLoaded))
            return Fail("cannot write " + environ.EnvironFileName().string());
    }
    for (int i = 0; i < InstrumentCount; ++i) {
        const auto instrument = static_cast<TInstrument>(i);
        const TCommPort& port = InstrumentPort(environ, instrument);
        fmt::print("{:<16} {:<20} {}{}\n", InstrumentName(instrument),
                   port.PortNumber > 0 ? port.CommCfgStr.Get() : std::string("NONE"),
                   choices[i].device.empty() ? "-" : choices[i].device,
                   instrument == TInstrument::Repeater && environ.RemoteDepth.Enabled ? " (on)"
                                                                                      : "");
    }
    return 0;
}

} // namespace

void AddConfigCommands(CLI::App& config, TConfigOptions& o) {
    config.require_subcommand(1);
    o.list = config.add_subcommand("list", "List the configurations, the current one marked *");
    o.show = config.add_subcommand("show", "Print every setting of a configuration");
    o.show->add_option("NAME", o.name, "Configuration (default: the current one)");
    o.show->add_flag("--describe", o.describe, "Also say what each setting holds");
    o.set = config.add_subcommand(
        "set", "Change settings of a configuration: all are checked first, then all stored");
    o.set->add_option("NAME", o.name, "Configuration")->required();
    o.set->add_option("ASSIGNMENT", o.assignments, "FIELD=VALUE, e.g. AcquiCfg.VertStep=1")
        ->required();
    o.create = config.add_subcommand("new", "Create a configuration, at its defaults or a copy");
    o.create->add_option("NAME", o.name, "Configuration")->required();
    o.create->add_option("--from", o.from, "Configuration copied");
    o.use = config.add_subcommand("use", "Make a configuration the current one");
    o.use->add_option("NAME", o.name, "Configuration")->required();
    o.ports = config.add_subcommand(
        "ports", "Connect the instruments to serial devices (\"none\": not connected) and print "
                 "where each one is");
    o.ports->add_option("--probe", o.devices[0], "Device of the probe");
    o.ports->add_option("--gps", o.devices[1], "Device of the GPS receiver");
    o.ports->add_option("--ext", o.devices[2], "Device of the external sensor");
    o.ports->add_option("--rdr", o.devices[3],
                        "Device of the depth repeater (connecting it also switches it on)");
}

int RunConfig(const TConfigOptions& o, const fs::path& dataRoot) {
    if (!*o.list && !*o.ports && !(*o.show && o.name.empty()) && !ConfigNameOk(o.name))
        return 2;
    if (!o.from.empty() && !ConfigNameOk(o.from))
        return 2;
    TCliApp app(dataRoot);
    if (!app.Start())
        return 1;
    TEnviron& environ = app.environ;
    const fs::path folder = environ.ConfigFolder();
    const auto fileOf = [&](const std::string& name) { return DefaultConfigName(folder, name); };
    const std::string current = environ.ConfigName.Get();

    if (*o.ports)
        return RunPorts(o, app);
    if (*o.list) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".cfg")
                names.push_back(entry.path().stem().string());
        std::sort(names.begin(), names.end());
        for (const std::string& n : names)
            fmt::print("{} {}\n", n == current ? '*' : ' ', n);
        return 0;
    }

    // Every other verb works on a copy read from its file; the configuration in use is left as
    // the start-up read it.
    TConfig config;
    const auto load = [&](const std::string& name) {
        const fs::path file = fileOf(name);
        if (!fs::exists(file)) {
            fmt::print(stderr, "marevo-cli: no configuration {} ({})\n", name, file.string());
            return false;
        }
        if (!config.ReadFromFile(file, app.Collections())) {
            Fail("cannot read " + file.string());
            return false;
        }
        return true;
    };

    if (*o.show) {
        const std::string name = o.name.empty() ? current : o.name;
        if (!load(name))
            return 1;
        for (const TConfigField& f : ConfigFields()) {
            if (o.describe)
                fmt::print("{} = {}    # {}\n", f.name, f.get(config), f.kind);
            else
                fmt::print("{} = {}\n", f.name, f.get(config));
        }
        return 0;
    }
    if (*o.set) {
        if (!load(o.name))
            return 1;
        std::vector<std::string> refused;
        if (!SetConfigFields(config, o.assignments, refused)) {
            for (const std::string& r : refused)
                fmt::print(stderr, "marevo-cli: {}\n", r);
            fmt::print(stderr, "marevo-cli: nothing changed in {}\n", o.name);
            return 1;
        }
        if (!config.SaveToFile(fileOf(o.name), app.Collections()))
            return Fail("cannot write " + fileOf(o.name).string());
        fmt::print("{}: {} setting(s) stored\n", o.name, o.assignments.size());
        return 0;
    }
    if (*o.create) {
        const fs::path file = fileOf(o.name);
        if (fs::exists(file)) {
            fmt::print(stderr, "marevo-cli: configuration {} exists ({})\n", o.name, file.string());
            return 1;
        }
        if (!o.from.empty() && !load(o.from))
            return 1;
        if (o.from.empty())
            config.SetDefault();
        if (!config.SaveToFile(file, app.Collections()))
            return Fail("cannot write " + file.string());
        fmt::print("created {}\n", file.string());
        return 0;
    }
    if (*o.use) {
        if (!load(o.name))
            return 1;
        environ.ConfigName.Set(o.name);
        if (!environ.EnvToFile(app.cast.Loaded.FileLoaded))
            return Fail("cannot write " + environ.EnvironFileName().string());
        fmt::print("configuration {} in use\n", o.name);
        return 0;
    }
    return 2;
}

} // namespace marevo::cli
