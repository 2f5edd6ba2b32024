#include "BatchCommand.h"

#include "CliApp.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/SafeFiles.h"
#include "shell/Batch.h"
#include "shell/MainShell.h"
#include "storage/CastImport.h"
#include "storage/CruiseFile.h"

#include <fmt/core.h>

#include <cstring>
#include <list>
#include <set>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& s : items)
        text += (text.empty() ? "" : ", ") + (s.empty() ? std::string("(empty)") : s);
    return text;
}

int Show(TBatchTool& batch, const fs::path& file) {
    if (!batch.LoadCmd(file))
        return 2;
    fmt::print("{}: {} commands\n", file.string(), batch.Count());
    for (int p = 0; p < batch.Count(); ++p) {
        const int code = batch.Code(p);
        fmt::print("{:3d}  {:<20}{}\n", p + 1, BatchCommandNames[static_cast<std::size_t>(code)],
                   BatchCommandAvailable(code) ? "" : "  (not available)");
    }
    return 0;
}

int Make(TBatchTool& batch, const TBatchOptions& o) {
    std::memset(&batch.list, 0, sizeof batch.list);
    for (const std::string& name : o.names) {
        const int code = TBatchTool::IndexOfCmd(name);
        if (code < 0) {
            std::string known;
            for (std::string_view n : BatchCommandNames)
                known += fmt::format("\n  \"{}\"", n);
            fmt::print(stderr, "marevo-cli: no batch command \"{}\"; the commands are:{}\n", name,
                       known);
            return 2;
        }
        if (!batch.Add(code)) {
            fmt::print(stderr, "marevo-cli: a batch holds at most {} commands\n",
                       MaxBatchCommands);
            return 2;
        }
    }
    if (!batch.SaveCmd(o.file)) {
        fmt::print(stderr, "marevo-cli: cannot write {}: {}\n", o.file, EventLog().LastMessage());
        return 1;
    }
    fmt::print("wrote {} ({} commands)\n", o.file, batch.Count());
    return 0;
}

int Run(TCliApp& app, TMainShell& shell, TBatchTool& batch, const TBatchOptions& o) {
    if (!app.Start())
        return 1;
    shell.AttachCast();
    batch.FromEnviron();
    if (!o.commands.empty() && !batch.LoadCmd(o.commands))
        return 2;
    if (!o.casts.empty())
        batch.FileList = o.casts;
    // No other program may write the cruises of the run while it lasts.
    std::set<std::string> cruises;
    for (int i = 0; i < static_cast<int>(batch.FileList.size()); ++i)
        if (const auto e = batch.Entry(i))
            cruises.insert(e->cruise);
    std::list<TFileLock> locks;
    for (const std::string& cruise : cruises) {
        const fs::path path = DefaultCruiseName(shell.DataRoot(), cruise);
        try {
            LockCruise(path, locks.emplace_back());
        } catch (const EMarevoError& e) {
            fmt::print(stderr, "marevo-cli: {}\n", e.what());
            return 1;
        }
        CleanUpInterruptedImport(path);
    }
    const TBatchRunResult result = batch.Execute();
    if (result.Ok())
        return 0;
    if (!result.started)
        fmt::print(stderr, "marevo-cli: the batch stopped before its first cast: {}\n",
                   EventLog().LastMessage());
    else if (result.cancelled)
        fmt::print(stderr, "marevo-cli: the batch was cancelled\n");
    fmt::print(stderr, "marevo-cli: {}; failed: {}\n", result.Summary(), Joined(result.failed));
    return 1;
}

} // namespace

void AddBatchCommands(CLI::App& app, TBatchOptions& o) {
    o.batch = app.add_subcommand("batch", "Run a command list over casts; show and make "
                                          "batch (.bal) files");
    o.batch->require_subcommand(1);
    o.run = o.batch->add_subcommand(
        "run", "Run the batch (default: the environment's command and cast lists)");
    o.run->add_option("--commands", o.commands, "Batch file (.bal) to run instead")
        ->check(CLI::ExistingFile);
    o.run->add_option("CAST", o.casts, "Casts to process, cruise name + three digits (CR001)");
    o.show = o.batch->add_subcommand("show", "List the commands of a batch file");
    o.show->add_option("FILE", o.file, "Batch file (.bal)")->required();
    o.make = o.batch->add_subcommand("make", "Write a batch file of the named commands");
    o.make->add_option("FILE", o.file, "Batch file (.bal) to write")->required();
    o.make->add_option("NAME", o.names, "Command names in order, e.g. \"BEGIN LOOP\"")
        ->required();
}

int RunBatchCommand(const TBatchOptions& o, const fs::path& dataRoot) {
    TCliApp app(dataRoot);
    IShellView view; // no windows
    TMainShell shell(app, view);
    TBatchTool batch(shell);
    if (*o.show)
        return Show(batch, o.file);
    if (*o.make)
        return Make(batch, o);
    return Run(app, shell, batch, o);
}

} // namespace marevo::cli
