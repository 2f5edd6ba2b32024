#pragma once
// The main-thread seam. A worker that needs the GUI hands a step to the main thread and waits for
// it to complete. The GUI runs the step on its event loop (blocking queued call); headless
// programs and tests run it inline on the calling thread.

#include <functional>

namespace marevo {

class IMainThread {
public:
    virtual ~IMainThread() = default;
    // Runs step on the main thread and returns once it has completed.
    virtual void Run(const std::function<void()>& step) = 0;
};

class TInlineMainThread final : public IMainThread {
public:
    void Run(const std::function<void()>& step) override;
};

} // namespace marevo
