#pragma once
// The lock of a running cast's series: the acquisition worker holds it while it appends a frame's
// rows, the automatic text export while it exports, the main thread while a window step reads the
// series and while the cast is closed.
//
// The export may wait for the main thread while it holds the lock (a status message, a box): so
// the main thread never simply blocks on it. LockServing keeps running the steps handed to the
// main thread while it waits, and the worker and the export let a waiting main thread in first.

#include <atomic>
#include <mutex>

namespace marevo {

class TCastRowLock {
public:
    // The worker and the export (BasicLockable, for std::lock_guard).
    void lock();
    void unlock() { lock_.unlock(); }
    // On the main thread: serves the main-thread seam until the lock is taken.
    void LockServing();

private:
    std::mutex lock_;
    std::atomic<int> mainWaiting_{0};
};

// LockServing for a scope.
class TServingGuard {
public:
    explicit TServingGuard(TCastRowLock& lock) : lock_(lock) { lock_.LockServing(); }
    ~TServingGuard() { lock_.unlock(); }
    TServingGuard(const TServingGuard&) = delete;
    TServingGuard& operator=(const TServingGuard&) = delete;

private:
    TCastRowLock& lock_;
};

} // namespace marevo
