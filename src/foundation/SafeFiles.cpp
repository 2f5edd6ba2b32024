#include "foundation/SafeFiles.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace marevo {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view TemporaryMark = ".~mvtmp-";

std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}

std::map<std::string, std::weak_ptr<TFileLock::TEntry>>& Registry() {
    static std::map<std::string, std::weak_ptr<TFileLock::TEntry>> held;
    return held;
}

std::string Key(const fs::path& file) {
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    return (ec ? file : absolute).lexically_normal().string();
}

int OpenNoFollow(const fs::path& file, int flags, mode_t mode = 0644) {
    int fd;
    do
        fd = ::open(file.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

std::string Errno() { return std::strerror(errno); }

} // namespace

struct TFileLock::TEntry {
    int fd = -1;
    std::string key;
    ~TEntry() {
        std::lock_guard guard(RegistryLock());
        // Another holder registered since this one expired keeps its place.
        if (auto it = Registry().find(key); it != Registry().end() && it->second.expired())
            Registry().erase(it);
        if (fd >= 0) {
            ::flock(fd, LOCK_UN);
            ::close(fd);
        }
    }
};

TFileLock::~TFileLock() { Release(); }
TFileLock::TFileLock(TFileLock&&) noexcept = default;
TFileLock& TFileLock::operator=(TFileLock&& other) noexcept {
    if (this != &other) {
        Release();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

void TFileLock::Release() { entry_.reset(); }

bool TFileLock::Acquire(const fs::path& lockFile, double waitSeconds, std::string& reason) {
    Release();
    const std::string key = Key(lockFile);
    {
        std::lock_guard guard(RegistryLock());
        if (auto it = Registry().find(key); it != Registry().end())
            if ((entry_ = it->second.lock()))
                return true;
    }
    const int fd = OpenNoFollow(lockFile, O_RDWR | O_CREAT);
    if (fd < 0) {
        reason = "cannot open the lock file " + lockFile.string() + ": " + Errno();
        return false;
    }
    const std::uint64_t start = Clock().TickMs();
    const auto budget = static_cast<std::uint64_t>(waitSeconds > 0 ? waitSeconds * 1000 : 0);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            reason = "cannot lock " + lockFile.string() + ": " + Errno();
            ::close(fd);
            return false;
        }
        if (Clock().TickMs() - start >= budget) {
            reason = "held by another process";
            ::close(fd);
            return false;
        }
        Clock().SleepMs(20);
    }
    auto entry = std::make_shared<TEntry>();
    entry->fd = fd;
    entry->key = key;
    std::lock_guard guard(RegistryLock());
    Registry()[key] = entry;
    entry_ = std::move(entry);
    return true;
}

// ---- Temporary files ---------------------------------------------------------------------------

fs::path UniqueTemporaryName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    fs::path name = target;
    name += std::string(TemporaryMark) + std::to_string(::getpid()) + "-" +
            std::to_string(++counter);
    return name;
}

bool IsAbandonedTemporary(const fs::path& name) {
    const std::string file = name.filename().string();
    const auto at = file.rfind(TemporaryMark);
    if (at == std::string::npos)
        return false;
    const std::string rest = file.substr(at + TemporaryMark.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0)
        return false;
    long pid = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9')
            return false;
        pid = pid * 10 + (c - '0');
        if (pid > 1 << 30)
            return false;
    }
    if (pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int RemoveAbandonedTemporaries(const fs::path& folder) {
    int removed = 0;
    std::error_code ec;
    std::vector<fs::path> found;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (IsAbandonedTemporary(e.path()))
            found.push_back(e.path());
    for (const fs::path& p : found) {
        // A folder of that name is nobody's temporary file; it stays.
        if (fs::is_directory(fs::symlink_status(p, ec)))
            continue;
        if (fs::remove(p, ec)) {
            WriteLog("Removed " + p.string() + ", left by a write that did not end");
            ++removed;
        }
    }
    return removed;
}

void SyncFolder(const fs::path& folder) {
    const int fd = ::open((folder.empty() ? fs::path(".") : folder).c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void CopyToNewFile(const fs::path& from, const fs::path& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        Raise("cannot open " + from.string() + ": " + Errno());
    const fs::path temporary = UniqueTemporaryName(to);
    const int out = OpenNoFollow(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (out < 0) {
        const std::string why = Errno();
        ::close(in);
        Raise("cannot create " + temporary.string() + ": " + why);
    }
    std::string failure;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failure = "cannot read " + from.string() + ": " + Errno();
            break;
        }
        if (n == 0)
            break;
        std::size_t done = 0;
        while (failure.empty() && done < static_cast<std::size_t>(n)) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n) - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                failure = "cannot write " + temporary.string() + ": " +
                          (w < 0 ? Errno() : std::string("nothing written"));
            else
                done += static_cast<std::size_t>(w);
        }
        if (!failure.empty())
            break;
        StopPoint("copy.written");
    }
    if (failure.empty() && ::fsync(out) != 0)
        failure = "cannot write " + temporary.string() + " to disk: " + Errno();
    ::close(in);
    if (::close(out) != 0 && failure.empty())
        failure = "cannot write " + temporary.string() + ": " + Errno();
    // The name is taken only when it is free: whatever holds it (a file, a planted link) stays.
    if (failure.empty() &&
        ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        failure = (errno == EEXIST ? to.string() + " exists already"
                                   : "cannot name " + to.string() + ": " + Errno());
    if (!failure.empty()) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        Raise(failure);
    }
    SyncFolder(to.parent_path());
}

bool SameFileBytes(const fs::path& a, const fs::path& b) {
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = fa ? std::fopen(b.c_str(), "rb") : nullptr;
    bool same = fa && fb;
    std::vector<char> ba(1 << 16), bb(1 << 16);
    while (same) {
        const std::size_t na = std::fread(ba.data(), 1, ba.size(), fa);
        const std::size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
        same = na == nb && std::memcmp(ba.data(), bb.data(), na) == 0 && !std::ferror(fa) &&
               !std::ferror(fb);
        if (na == 0 || na < ba.size())
            break;
    }
    if (fa)
        std::fclose(fa);
    if (fb)
        std::fclose(fb);
    return same;
}

// ---- Stop points -------------------------------------------------------------------------------

void StopPoint(std::string_view step) {
    static const std::string wanted = [] {
        const char* v = std::getenv("MAREVO_STOP_AT");
        return std::string(v ? v : "");
    }();
    if (wanted.empty())
        return;
    static std::mutex m;
    static std::map<std::string, int, std::less<>> passes;
    std::lock_guard guard(m);
    const int pass = ++passes[std::string(step)];
    const auto hash = wanted.find('#');
    const std::string_view name = std::string_view(wanted).substr(0, hash);
    const int which = hash == std::string::npos ? 1 : std::atoi(wanted.c_str() + hash + 1);
    if (name == step && pass == which)
        ::_exit(StopPointExitCode);
}

} // namespace marevo
