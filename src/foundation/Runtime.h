#pragma once
// The process-wide services every unit may use: the clock, operator and main-thread seams and the
// event log. A program installs its own at start-up; a test installs fresh ones for its lifetime
// with TRuntimeScope, so no test sees another's state.

#include "platform/Clock.h"
#include "platform/MainThread.h"
#include "platform/Operator.h"

namespace marevo {

class TEventLog;

struct TRuntime {
    IClock* clock;
    IOperator* op;
    IMainThread* mainThread;
    TEventLog* log;
};

IClock& Clock();
IOperator& Operator();
IMainThread& MainThread();
TEventLog& EventLog();

// Installs the given services (null members keep the current ones) and restores the previous
// ones when it goes. Scopes nest; install them before any worker starts.
class TRuntimeScope {
public:
    explicit TRuntimeScope(const TRuntime& services);
    ~TRuntimeScope();
    TRuntimeScope(const TRuntimeScope&) = delete;
    TRuntimeScope& operator=(const TRuntimeScope&) = delete;

private:
    TRuntime saved_;
};

} // namespace marevo
