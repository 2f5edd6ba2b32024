#include "ConsoleOperator.h"

#include <fmt/core.h>

#include <cstdio>

namespace marevo::cli {

void TConsoleOperator::Message(std::string_view text, std::string_view caption, TMessageKind) {
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
