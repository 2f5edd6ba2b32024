#pragma once
// The main-thread seam. A worker that needs the GUI hands a step to the main thread and waits for
// it to complete. The GUI runs the step on its event loop (blocking queued call); headless
// programs and tests run it inline on the calling thread, or queue it for the main thread to
// serve (TQueuedMainThread).
//
// The main thread must never block on a worker that may be waiting for a hand-off: while it waits
// (a join), it calls Serve, which runs the steps handed over meanwhile.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace marevo {

class IMainThread {
public:
    virtual ~IMainThread() = default;
    // Runs step on the main thread and returns once it has completed.
    virtual void Run(const std::function<void()>& step) = 0;
    // Hands step to the main thread without waiting for it (a display refresh a worker must not
    // be held up by). By default it runs as Run runs it.
    virtual void Post(std::function<void()> step) { Run(step); }
    // Called on the main thread while it waits for a worker: runs the steps handed over by then,
    // waiting up to about ms milliseconds for one. Implementations whose steps never wait for the
    // main thread need not do anything but let the time pass.
    virtual void Serve(std::uint32_t ms);
};

class TInlineMainThread final : public IMainThread {
public:
    void Run(const std::function<void()>& step) override;
};

// Steps handed over from other threads wait in a queue until the main thread (the one that made
// this object) serves them; a step handed over on the main thread runs at once.
class TQueuedMainThread final : public IMainThread {
public:
    TQueuedMainThread();
    void Run(const std::function<void()>& step) override;
    // Queued like Run's steps; the caller goes on at once.
    void Post(std::function<void()> step) override;
    void Serve(std::uint32_t ms) override;
    // Steps served so far.
    std::uint64_t Served() const;

private:
    struct TItem {
        const std::function<void()>* step;
        bool done = false;
    };
    const std::thread::id mainId_;
    mutable std::mutex lock_;
    std::condition_variable handed_;
    std::condition_variable finished_;
    std::deque<TItem*> queue_;
    std::deque<std::function<void()>> posted_;
    std::uint64_t served_ = 0;
};

} // namespace marevo
