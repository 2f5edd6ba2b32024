#pragma once
// The process-wide services every unit may use: the clock, operator and main-thread seams and the
// event log, with the status line and the protocol wait built on them. A program installs its
// own at start-up; a test installs fresh ones for its lifetime with TRuntimeScope, so no test
// sees another's state.

#include "platform/Clock.h"
#include "platform/MainThread.h"
#include "platform/Operator.h"

#include <string_view>

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

// Shows text in the main window's status field (repainted at once), then logs it. The log line
// follows the log switch; the text is shown either way.
void StatusMessage(std::string_view text);
// Empties the status field; writes nothing to the log.
void ClearStatusMessage();

// Returns once the runtime clock has passed the moment of the call plus s seconds. It polls the
// clock without processing any messages, sleeping a millisecond between polls rather than
// spinning, so a protocol wait does not take a core from the acquisition worker.
void WaitSeconds(double s);

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
