#include "platform/MainThread.h"

namespace marevo {

void TInlineMainThread::Run(const std::function<void()>& step) {
    if (step)
        step();
}

} // namespace marevo
