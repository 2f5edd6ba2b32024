#pragma once
// A program started beside this one (an outside terminal on the probe's port), tracked by its
// process id: whether it still runs is whether that process is alive. The program runs in a
// process group of its own, so ending it also ends what its shell started.

#include <string>
#include <sys/types.h>

namespace marevo {

class TChildProcess {
public:
    TChildProcess() = default;
    // A program still running is left to run; only its exit status is no longer collected.
    ~TChildProcess() = default;
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Runs command through /bin/sh -c. False (errorText says why) when it could not be started.
    bool Start(const std::string& command);
    // Whether the program still runs; collects its exit status once it has ended.
    bool Alive();
    // Asks the program (its whole process group) to end and collects it, killing it when it has
    // not ended within graceMs.
    void Terminate(int graceMs = 1000);
    pid_t Id() const { return pid_; }
    const std::string& ErrorText() const { return errorText_; }

private:
    pid_t pid_ = -1;
    std::string errorText_;
};

} // namespace marevo
