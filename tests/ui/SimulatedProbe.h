#pragma once
// What the window tests that run casts against the simulated probe share: the simulator as a
// child process on its own pseudo-terminals, the probe's line opened on its device, and serving
// the event loop (and the workers' hand-offs) until a condition holds.

#include "probelink/FileComm.h"
#include "ui/QtSeams.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace marevo::test {

// marevo-probesim with these arguments (after "--quiet"); device is its probe's line, empty when
// it did not start.
class TSimulatorProcess {
public:
    explicit TSimulatorProcess(std::vector<std::string> args) {
        args.insert(args.begin(), {MAREVO_PROBESIM, "--quiet"});
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::execv(MAREVO_PROBESIM, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        lines_ = ::fdopen(out[0], "r");
        char line[256];
        while (lines_ && std::fgets(line, sizeof line, lines_)) {
            const std::string text(line);
            if (text.starts_with("probe ")) {
                device = text.substr(6, text.find_last_not_of("\r\n") - 5);
                break;
            }
        }
        // The pipe stays open: the simulator may go on writing.
    }
    ~TSimulatorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (lines_)
            std::fclose(lines_);
    }
    TSimulatorProcess(const TSimulatorProcess&) = delete;
    TSimulatorProcess& operator=(const TSimulatorProcess&) = delete;

    std::string device;

private:
    pid_t pid_ = -1;
    FILE* lines_ = nullptr;
};

inline std::unique_ptr<TFileCOMM> OpenDevice(const std::string& device) {
    auto comm = std::make_unique<TFileCOMM>();
    comm->Open("CTD", "COM1:9600,n,8,1,n", [&](int) { return std::filesystem::path(device); });
    return comm;
}

// Serves the event loop until done holds; a guard of rounds × 10 ms keeps a broken run finite.
inline bool RunUntil(const std::function<bool()>& done, int rounds = 3000) {
    for (int i = 0; i < rounds && !done(); ++i) {
        ServeGuiSteps(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

} // namespace marevo::test
