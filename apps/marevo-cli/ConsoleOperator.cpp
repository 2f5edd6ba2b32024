#include "ConsoleOperator.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <fmt/core.h>

#include <cstdio>

namespace marevo::cli {

// An error box comes right after the log line of its failure: show that line's reason with it.
void TConsoleOperator::Message(std::string_view text, std::string_view caption,
                               TMessageKind kind) {
    if (kind == TMessageKind::Error)
        fmt::print(stderr, "{}: {} ({})\n", caption, text, EventLog().LastMessage());
    else
        fmt::print(stderr, "{}: {}\n", caption, text);
}

bool TConsoleOperator::Confirm(std::string_view text, std::string_view caption) {
    fmt::print(stderr, "{}: {} -> {}\n", caption, text, yes_ ? "yes (--yes)" : "no");
    return yes_;
}

void TConsoleOperator::ShowStatus(std::string_view text) {
    if (!quiet_)
        fmt::print("{}\n", text);
}

bool TConsoleOperator::Progress(std::string_view activity, std::int64_t done, std::int64_t total) {
    if (!quiet_ && total > 0) {
        fmt::print(stderr, "\r{} {:3d}%", activity, static_cast<int>(done * 100 / total));
        if (done >= total)
            fmt::print(stderr, "\n");
        std::fflush(stderr);
    }
    return true;
}

} // namespace marevo::cli
