#include "ConsoleOperator.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <fmt/core.h>

#include <algorithm>
#include <cstdio>

namespace marevo::cli {

// An error box comes right after the log line of its failure: show that line's reason with it.
void TConsoleOperator::Message(std::string_view text, std::string_view caption,
                               TMessageKind kind) {
    if (progressOpen_) {
        fmt::print(stderr, "\n");
        progressOpen_ = false;
        progressActivity_.clear();
    }
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
    if (quiet_ || total <= 0)
        return true;
    const int percent = static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100));
    // One line per activity, rewritten in place; an activity nested in another (the replay of
    // each file of an import) starts its own line.
    if (activity != progressActivity_) {
        if (progressOpen_)
            fmt::print(stderr, "\n");
        progressActivity_ = std::string(activity);
        progressPercent_ = -1;
    }
    if (percent == progressPercent_)
        return true;
    progressPercent_ = percent;
    fmt::print(stderr, "\r{} {:3d}%", activity, percent);
    progressOpen_ = percent < 100;
    if (!progressOpen_) {
        fmt::print(stderr, "\n");
        progressActivity_.clear();
    }
    std::fflush(stderr);
    return true;
}

} // namespace marevo::cli
