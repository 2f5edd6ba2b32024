#include "foundation/Runtime.h"

#include "foundation/EventLog.h"

namespace marevo {

namespace {
// The defaults of a program that installed nothing: real time, nobody to ask, no log file.
TRuntime& Current() {
    static TSystemClock clock;
    static TSilentOperator op;
    static TInlineMainThread mainThread;
    static TEventLog log;
    static TRuntime current{&clock, &op, &mainThread, &log};
    return current;
}
} // namespace

IClock& Clock() { return *Current().clock; }
IOperator& Operator() { return *Current().op; }
IMainThread& MainThread() { return *Current().mainThread; }
TEventLog& EventLog() { return *Current().log; }

TRuntimeScope::TRuntimeScope(const TRuntime& services) : saved_(Current()) {
    TRuntime& now = Current();
    if (services.clock) now.clock = services.clock;
    if (services.op) now.op = services.op;
    if (services.mainThread) now.mainThread = services.mainThread;
    if (services.log) now.log = services.log;
}

TRuntimeScope::~TRuntimeScope() { Current() = saved_; }

void StatusMessage(std::string_view text) {
    Operator().ShowStatus(text);
    WriteLog(text);
}

void ClearStatusMessage() { Operator().ClearStatus(); }

void WaitSeconds(double s) {
    IClock& clock = Clock();
    const std::uint64_t start = clock.TickMs();
    const double limitMs = s * 1000.0;
    while (static_cast<double>(clock.TickMs() - start) <= limitMs)
        clock.SleepMs(1);
}

} // namespace marevo
