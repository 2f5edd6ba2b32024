// Locks between processes, exclusive temporaries, copies that never replace a name, and writes
// that never follow a planted link.

#include "foundation/Guard.h"
#include "foundation/SafeFiles.h"
#include "foundation/Stream.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The names a write must not take or write through: a file, a link to a file, a dangling link,
// a folder.
struct TOccupied {
    const char* what;
    void (*make)(const fs::path& name, const fs::path& victim);
};
const TOccupied Occupied[] = {
    {"file", [](const fs::path& n, const fs::path&) { WriteText(n, "kept"); }},
    {"link to a file", [](const fs::path& n, const fs::path& v) { fs::create_symlink(v, n); }},
    {"dangling link",
     [](const fs::path& n, const fs::path& v) { fs::create_symlink(v.string() + ".none", n); }},
    {"folder", [](const fs::path& n, const fs::path&) { fs::create_directory(n); }},
};

TEST(SafeFiles, ExclusiveCreationAndCopiesRefuseEveryTakenName) {
    test::TTestEnv env;
    const fs::path victim = env.dir / "victim";
    const fs::path source = env.dir / "source";
    WriteText(source, "recording");
    int k = 0;
    for (const TOccupied& o : Occupied) {
        SCOPED_TRACE(o.what);
        WriteText(victim, "untouched");
        const fs::path name = env.dir / ("taken" + std::to_string(++k));
        o.make(name, victim);
        EXPECT_THROW(TFileStream(name, TFileMode::CreateNew), EMarevoError);
        EXPECT_THROW(CopyToNewFile(source, name), EMarevoError);
        EXPECT_EQ(ReadFileBytes(victim), "untouched");
        EXPECT_FALSE(fs::exists(env.dir / (name.filename().string() + ".none")));
    }
    CopyToNewFile(source, env.dir / "copy");
    EXPECT_EQ(ReadFileBytes(env.dir / "copy"), "recording");
    for (const auto& e : fs::directory_iterator(env.dir))
        EXPECT_EQ(e.path().string().find(".~mvtmp-"), std::string::npos) << e.path();
}

TEST(SafeFiles, AnAtomicWriteReplacesAPlantedLinkInsteadOfFollowingIt) {
    test::TTestEnv env;
    const fs::path victim = env.dir / "victim";
    const fs::path target = env.dir / "Leg1.cru";
    WriteText(victim, "untouched");
    fs::create_symlink(victim, target);
    // The temporary name of older versions, planted too: it is not used any more.
    fs::create_symlink(victim, env.dir / "Leg1.cru.new");
    WriteFileAtomically(target, [](TStream& s) { s.Write("cruise", 6); });
    EXPECT_EQ(ReadFileBytes(victim), "untouched");
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(ReadFileBytes(target), "cruise");
}

TEST(SafeFiles, TemporariesOfProcessesThatEndedAreFoundAndRemoved) {
    test::TTestEnv env;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(getppid());
    struct TCase {
        std::string name;
        bool abandoned;
    } cases[] = {
        {"Leg1.cru.~mvtmp-" + dead + "-3", true},
        {"Leg1003.raw.~mvtmp-" + dead + "-1", true},
        {"Leg1.cru.~mvtmp-" + alive + "-3", false},
        {fs::path(UniqueTemporaryName("Leg1.cru")).string(), false}, // this process
        {"Leg1.cru.new", false},
        {"Leg1.cru.~mvtmp-x1-2", false},
        {"Leg1.cru.~mvtmp--2", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(env.dir / c.name, "x");
        EXPECT_EQ(IsAbandonedTemporary(env.dir / c.name), c.abandoned);
    }
    EXPECT_EQ(RemoveAbandonedTemporaries(env.dir), 2);
    for (const TCase& c : cases)
        EXPECT_EQ(fs::exists(env.dir / c.name), !c.abandoned) << c.name;
}

TEST(SafeFiles, ALockHeldByAnotherProcessIsRefusedAfterTheWaitAndTakenOnceReleased) {
    test::TTestEnv env;
    const fs::path lockFile = env.dir / "Leg1.cru.lock";
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TFileLock lock;
        std::string reason;
        const char held = lock.Acquire(lockFile, 0, reason) ? 'y' : 'n';
        (void)!write(toParent[1], &held, 1);
        char go;
        (void)!read(toChild[0], &go, 1);
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(toParent[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');
    TFileLock lock;
    std::string reason;
    const std::uint64_t before = env.clock.TickMs();
    EXPECT_FALSE(lock.Acquire(lockFile, 2.0, reason));
    EXPECT_EQ(reason, "held by another process");
    EXPECT_GE(env.clock.TickMs() - before, 2000u); // it waited on the clock seam
    ASSERT_EQ(write(toChild[1], "g", 1), 1);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    EXPECT_TRUE(lock.Acquire(lockFile, 0, reason)) << reason;
    // Re-entrant within the process; the inner lock releases nothing.
    {
        TFileLock inner;
        EXPECT_TRUE(inner.Acquire(lockFile, 0, reason));
    }
    EXPECT_TRUE(lock.Held());
    // A lock file planted as a link is not opened.
    lock.Release();
    fs::create_symlink(env.dir / "victim", env.dir / "other.lock");
    EXPECT_FALSE(lock.Acquire(env.dir / "other.lock", 0, reason));
    EXPECT_FALSE(fs::exists(env.dir / "victim"));
}

} // namespace
} // namespace marevo
