#include "platform/MainThread.h"

#include <chrono>

namespace marevo {

void IMainThread::Serve(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TInlineMainThread::Run(const std::function<void()>& step) {
    if (step)
        step();
}

TQueuedMainThread::TQueuedMainThread() : mainId_(std::this_thread::get_id()) {}

void TQueuedMainThread::Run(const std::function<void()>& step) {
    if (!step)
        return;
    if (std::this_thread::get_id() == mainId_) {
        step();
        return;
    }
    TItem item{&step};
    std::unique_lock lock(lock_);
    queue_.push_back(&item);
    handed_.notify_all();
    finished_.wait(lock, [&] { return item.done; });
}

void TQueuedMainThread::Post(std::function<void()> step) {
    if (!step)
        return;
    if (std::this_thread::get_id() == mainId_) {
        step();
        return;
    }
    std::lock_guard guard(lock_);
    posted_.push_back(std::move(step));
    handed_.notify_all();
}

void TQueuedMainThread::Serve(std::uint32_t ms) {
    std::unique_lock lock(lock_);
    handed_.wait_for(lock, std::chrono::milliseconds(ms),
                     [this] { return !queue_.empty() || !posted_.empty(); });
    while (!posted_.empty()) {
        std::function<void()> step = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        try {
            step();
        } catch (...) {
            // A step guards itself.
        }
        lock.lock();
        ++served_;
    }
    while (!queue_.empty()) {
        TItem* item = queue_.front();
        queue_.pop_front();
        lock.unlock();
        try {
            (*item->step)();
        } catch (...) {
            // A step guards itself; one that does not must still release its worker.
        }
        lock.lock();
        item->done = true;
        ++served_;
        finished_.notify_all();
    }
}

std::uint64_t TQueuedMainThread::Served() const {
    std::lock_guard guard(lock_);
    return served_;
}

} // namespace marevo
