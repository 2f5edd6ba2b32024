#include "UploadCommand.h"

#include "CliApp.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "records/Environ.h"
#include "shell/MainShell.h"
#include "shell/Upload.h"

#include <fmt/core.h>

#include <atomic>
#include <charconv>
#include <csignal>
#include <poll.h>
#include <set>
#include <unistd.h>

namespace marevo::cli {

namespace fs = std::filesystem;

namespace {

std::atomic<int> abortSignal{0};

extern "C" void OnAbortSignal(int signal) {
    abortSignal = signal;
}

// A "skip" line on standard input; the lines read so far are kept between calls.
bool SkipTyped(std::string& pending) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (::poll(&in, 1, 0) > 0 && (in.revents & POLLIN)) {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0)
            pending.append(buffer, std::size_t(n));
    }
    for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
        const std::string line = pending.substr(0, eol);
        pending.erase(0, eol + 1);
        if (line.find("skip") != std::string::npos)
            return true;
    }
    return false;
}

// "2,4" as cast numbers; nothing for "all"; false for anything else.
bool ParseCasts(const std::string& text, std::optional<std::set<int>>& casts) {
    if (text == "all") {
        casts.reset();
        return true;
    }
    std::set<int> numbers;
    for (std::size_t at = 0; at <= text.size();) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        int n = 0;
        const char* b = text.data() + at;
        const char* e = text.data() + comma;
        const auto [end, ec] = std::from_chars(b, e, n);
        if (b == e || ec != std::errc() || end != e || n <= 0)
            return false;
        numbers.insert(n);
        at = comma + 1;
    }
    casts = numbers;
    return true;
}

// The dialog on the console: the progress line, one line per cast, the end.
class TConsoleUploadHost final : public TShellUploadHost {
public:
    TConsoleUploadHost(TMainShell& shell, std::vector<std::string> items, bool quiet)
        : TShellUploadHost(shell), items_(std::move(items)), quiet_(quiet) {}
    void ShowResult(const std::string& text) override {
        if (quiet_)
            return;
        std::string line = text;
        if (const std::size_t eol = line.find("\r\n"); eol != std::string::npos)
            line.replace(eol, 2, ", ");
        fmt::print("{}\n", line);
        std::fflush(stdout);
    }
    void CastResult(int index, TUploadResult result, const fs::path& raw) override {
        const std::string cast = ItemCastText(items_[static_cast<std::size_t>(index)]);
        switch (result) {
        case TUploadResult::Completed:
            fmt::print("cast {}: stored as {} ({} bytes)\n", cast, raw.stem().string(),
                       fs::exists(raw) ? fs::file_size(raw) : 0);
            break;
        case TUploadResult::Skipped:
            fmt::print("cast {}: skipped\n", cast);
            skipped.push_back(cast);
            break;
        case TUploadResult::Failed:
            fmt::print("cast {}: failed\n", cast);
            failed.push_back(cast);
            break;
        }
        std::fflush(stdout);
    }
    void ResetDialog() override { ended = true; }

    bool ended = false;
    std::vector<std::string> skipped, failed;

private:
    std::vector<std::string> items_;
    bool quiet_;
};

} // namespace

void AddUploadCommand(CLI::App& app, TUploadOptions& o) {
    o.upload = app.add_subcommand(
        "upload", "Upload casts recorded in the probe's memory into a cruise; Ctrl-C aborts, "
                  "\"skip\" on standard input skips the cast in transfer");
    o.upload->add_option("--cruise", o.cruise, "Cruise that takes the casts")->required();
    o.upload->add_option("--probe-port", o.probePort, "Serial device of the probe")->required();
    o.upload->add_flag("--list", o.list, "Print the probe's cast list only");
    o.upload->add_option("--casts", o.casts, "Cast numbers to upload (2,4) or all")
        ->capture_default_str();
}

int RunUpload(const TUploadOptions& o, const fs::path& dataRoot, bool quiet) {
    if (!CruiseNameOk(o.cruise))
        return 2;
    std::optional<std::set<int>> chosen;
    if (!ParseCasts(o.casts, chosen)) {
        fmt::print(stderr, "marevo-cli: --casts takes cast numbers (2,4) or all, not {}\n",
                   o.casts);
        return 2;
    }
    TCliApp app(dataRoot);
    if (!app.Start() || !UseCruise(app, o.cruise))
        return 1;
    const fs::path cruisePath = DefaultCruiseName(app.environ.DataRootPath(), o.cruise);
    const TEnviron& env = app.environ;
    const auto open = [&] { return OpenDevice(o.probePort, env.ProbeCommPort, "CTD"); };

    // The menu command: wake the probe, then list its casts.
    TQvlUtil qvl(&app.cast);
    qvl.SetDelay(env.CommDelay);
    qvl.OpenProbePort = open;
    if (!qvl.WakeUp())
        return Fail("the probe on " + o.probePort + " cannot be woken up");
    const TUploadList list = UpdateListBox(qvl, open);
    app.cast.Acqui.ProbeOnLine = false;
    if (!list.filled)
        return Fail("no cast list");
    if (o.list) {
        for (const std::string& item : list.items)
            fmt::print("{}\n", item);
        return 0;
    }
    std::vector<bool> selected(list.items.size(), false);
    std::set<int> found;
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        const std::optional<std::int32_t> n = ItemCastNumber(list.items[i]);
        if (n && (!chosen || chosen->contains(*n))) {
            selected[i] = true;
            found.insert(*n);
        }
    }
    if (chosen)
        for (int n : *chosen)
            if (!found.contains(n)) {
                fmt::print(stderr, "marevo-cli: the probe holds no cast {}\n", n);
                return 2;
            }

    // The worker's steps are run here, between the checks of the operator's requests.
    TQueuedMainThread mainThread;
    TRuntimeScope runtime({nullptr, nullptr, &mainThread, nullptr});
    IShellView view; // no windows
    TMainShell shell(app, view);
    shell.AttachCast();
    TConsoleUploadHost host(shell, list.items, quiet);
    TUploadMemoryThread upload(shell.CruiseFile(), host);
    upload.OpenProbePort = open;
    upload.OpenSource = [&](const fs::path& raw, TParamCollection& col, bool& isOpen) {
        TRawStream::TPorts ports;
        ports.probe = open();
        return TRawStream::CreateOnPorts(std::move(ports), isOpen, raw, &col);
    };
    std::signal(SIGINT, OnAbortSignal);
    std::signal(SIGTERM, OnAbortSignal);
    upload.SetList(list.items, selected);
    upload.Run();
    upload.Start();
    std::string typed;
    bool aborted = false;
    while (!host.ended) {
        mainThread.Serve(50);
        if (abortSignal && !aborted) {
            aborted = true;
            upload.Abort();
        } else if (SkipTyped(typed)) {
            upload.Skip();
        }
    }
    upload.ExitThread();
    upload.WaitFor(mainThread);
    if (aborted) {
        fmt::print(stderr, "marevo-cli: upload aborted\n");
        return 1;
    }
    if (!host.failed.empty())
        return Fail("cast " + host.failed.front() + " failed");
    const int stored = upload.CastsAppended();
    fmt::print("{} cast{} stored in {}\n", stored, stored == 1 ? "" : "s", cruisePath.string());
    return host.skipped.empty() ? 0 : 1;
}

} // namespace marevo::cli
