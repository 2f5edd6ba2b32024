#pragma once
// Fresh process-wide services for one test: a fake clock standing at 9 March 2026 14:25:01, a
// recording operator, the inline main thread and an event log open in a temporary folder that is
// removed afterwards.

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <filesystem>
#include <string>
#include <vector>

namespace marevo::test {

class TTestEnv {
public:
    TTestEnv();
    ~TTestEnv();

    // The log file's lines without their CR LF.
    std::vector<std::string> LogLines() const;
    // The messages of the log lines, without their time stamps.
    std::vector<std::string> LogMessages() const;
    // Whether a log message equals text.
    bool Logged(const std::string& text) const;

    std::filesystem::path dir;
    TFakeClock clock;
    TRecordingOperator op;
    TInlineMainThread mainThread;
    TEventLog log;

private:
    TRuntimeScope scope_;
};

// 9 March 2026, 14:25:01.000 local time.
TDateTime SampleTime();

// Whole contents of a file as bytes.
std::string ReadFileBytes(const std::filesystem::path& file);

} // namespace marevo::test
