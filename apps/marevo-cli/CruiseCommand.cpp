#include "CruiseCommand.h"

#include "CliApp.h"

#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "app/AppContext.h"
#include "processing/ParamCollection.h"
#include "shell/Startup.h"
#include "records/Config.h"
#include "storage/CruiseFile.h"
#include "records/Environ.h"

#include <fmt/core.h>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

std::string PlaceText(const TCastInfo& h, int i) {
    const long double lat = h.latitude[i].ToLongDouble(), lon = h.longitude[i].ToLongDouble();
    const std::string when = IsKnownValue(h.CastTime[i])
                                 ? FormatDateTime("dd/MM/yyyy HH:mm:ss", h.CastTime[i])
                                 : fmt::format("{:<19}", "unknown");
    const std::string where = IsKnownValue(lat) && IsKnownValue(lon)
                                  ? fmt::format("{:9.5f} {:10.5f}", static_cast<double>(lat),
                                                static_cast<double>(lon))
                                  : fmt::format("{:<20}", "unknown");
    return when + "  " + where;
}

int New(TCruisefile& file, const fs::path& root, const TCruiseOptions& o) {
    const bool created = file.NewCruise(root, [&](TCastInfo& header) {
        header.InfoStr[1].Set(o.name);
        header.InfoStr[2].Set(o.name);
        if (!o.vessel.empty())
            header.InfoStr[3].Set(o.vessel);
        header.InfoStr[4].Set(o.person);
        return true;
    });
    if (!created)
        return 1;
    fmt::print("created {}\n", DefaultCruiseName(root, o.name).string());
    return 0;
}

int List(TCruisefile& file, const fs::path& root) {
    std::vector<std::string> cruises;
    if (!file.BuildCruiseList(cruises))
        return 1;
    for (const std::string& name : cruises) {
        if (!file.OpenCruiseFile(DefaultCruiseName(root, name))) {
            fmt::print("{:<40}  unreadable\n", name);
            continue;
        }
        fmt::print("{:<40}  {} casts\n", name, file.LastIndex);
        file.CloseCruiseFile();
    }
    return 0;
}

int Show(TCruisefile& file, const fs::path& path) {
    if (!file.OpenCruiseFile(path))
        return 1;
    const TCastInfo& cruise = file.CastInfoc.Cruise;
    fmt::print("{:<10} {}\n", "cruise", cruise.InfoStr[1].Get());
    fmt::print("{:<10} {}\n", "number", cruise.InfoStr[0].Get());
    fmt::print("{:<10} {}\n", "vessel", cruise.InfoStr[3].Get());
    fmt::print("{:<10} {}\n", "operator", cruise.InfoStr[4].Get());
    fmt::print("{:<10} {}\n", "start", PlaceText(cruise, 0));
    fmt::print("{:<10} {}\n", "end", PlaceText(cruise, 2));
    fmt::print("{:<10} {}\n", "comment", cruise.comment.Get());
    const fs::path copy = RecoveryCopyName(path);
    if (fs::exists(copy))
        fmt::print("{:<10} {} (left by a cast that did not end normally)\n", "copy", copy.string());
    fmt::print("{:<10} {}\n", "casts", file.LastIndex);
    int failed = 0;
    const TCastInfoC& h = file.CastInfoc;
    for (int k = 1; k <= file.LastIndex; ++k) {
        if (!file.ReadCastNb1(k)) {
            fmt::print("{}  unreadable: {}\n", CastNumberText(k), EventLog().LastMessage());
            ++failed;
            continue;
        }
        const TCastInfo& c = h.Cast;
        fmt::print("{}  {:<24} {}  {:8.1f} dbar  {:3} frames  {} bottles  {} parameters{}\n",
                   CastNumberText(k), c.InfoStr[1].Get(), PlaceText(c, 0),
                   static_cast<double>(c.BottomValue[0].value), c.DataSetNb, h.Bottles.Count(),
                   h.Probe.Count(), c.InvalidCast ? "  invalid" : "");
    }
    file.CloseCruiseFile();
    return failed == 0 ? 0 : 1;
}

} // namespace

void AddCruiseCommands(CLI::App& cruise, TCruiseOptions& o) {
    cruise.require_subcommand(1);
    o.create = cruise.add_subcommand("new", "Create a cruise: its folder, bin/, raw/, txt/ and "
                                            "its cruise file");
    o.create->add_option("NAME", o.name, "Cruise name (at most 40 characters)")->required();
    o.create->add_option("--vessel", o.vessel, "Vessel name (default: Ship Name)");
    o.create->add_option("--operator", o.person, "Operator");

    o.list = cruise.add_subcommand("list", "List the cruises of the data root");

    o.show = cruise.add_subcommand("show", "Show a cruise header and one line per cast");
    o.show->add_option("NAME", o.name, "Cruise name")->required();

    o.exportHeaders = cruise.add_subcommand(
        "export-headers", "Write the cast-header table of a cruise (header text settings)");
    o.exportHeaders->add_option("NAME", o.name, "Cruise name")->required();
    o.exportHeaders->add_option("FILE", o.output, "Output file (default: txt/NAME.txt)");

    o.exportBottles = cruise.add_subcommand(
        "export-bottles", "Write the bottle table of a cast (bottle text settings)");
    o.exportBottles->add_option("NAME", o.name, "Cruise name")->required();
    o.exportBottles->add_option("CAST", o.cast, "Cast number")
        ->required()
        ->check(CLI::Range(1, MaxCastNumber));
    o.exportBottles->add_option("FILE", o.output,
                                "Output file (default: txt/NAME + cast number + _btl.txt)");
}

int RunCruise(const TCruiseOptions& o, const fs::path& dataRoot) {
    if (!*o.list && !CruiseNameOk(o.name))
        return 2;

    TCliApp app(dataRoot);
    TParamCollection& cast = app.cast;
    TEnviron& environ = app.environ;
    if (!app.Start())
        return 1;

    const fs::path root = environ.DataRootPath();
    TCruisefile file(cast);
    if (*o.create)
        return New(file, root, o);
    if (*o.list)
        return List(file, root);

    const fs::path path = DefaultCruiseName(root, o.name);
    if (!fs::exists(path)) {
        fmt::print(stderr, "marevo-cli: no cruise {} under {}\n", o.name, root.string());
        return 1;
    }
    if (*o.show)
        return Show(file, path);

    const fs::path txt = CruiseFolder(root, o.name) / "txt";
    if (*o.exportHeaders) {
        const fs::path out = o.output.empty() ? txt / (o.name + ".txt") : fs::path(o.output);
        if (!file.TxtCICSave(path, out)) {
            fmt::print(stderr, "marevo-cli: {} not written: {}\n", out.string(),
                       EventLog().LastMessage());
            return 1;
        }
        fmt::print("wrote {}\n", out.string());
        return 0;
    }
    if (*o.exportBottles) {
        const fs::path out = o.output.empty() ? txt / (o.name + CastNumberText(o.cast) + "_btl.txt")
                                              : fs::path(o.output);
        if (!file.TxtBottleSave(path, o.cast, out)) {
            fmt::print(stderr, "marevo-cli: {} not written: {}\n", out.string(),
                       EventLog().LastMessage());
            return 1;
        }
        fmt::print("wrote {}\n", out.string());
        return 0;
    }
    return 2;
}

} // namespace marevo::cli
