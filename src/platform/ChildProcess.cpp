#include "platform/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace marevo {

bool TChildProcess::Start(const std::string& command) {
    errorText_.clear();
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, "/bin/sh", nullptr, &attr, const_cast<char* const*>(argv),
                               ::environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        errorText_ = std::strerror(rc);
        pid_ = -1;
        return false;
    }
    pid_ = pid;
    return true;
}

bool TChildProcess::Alive() {
    if (pid_ <= 0)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    // Ended (and now collected), or not ours any more.
    pid_ = -1;
    return false;
}

void TChildProcess::Terminate(int graceMs) {
    if (!Alive())
        return;
    ::kill(-pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (Alive() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (Alive()) {
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

} // namespace marevo
