#pragma once
// The operator seam on a terminal: messages go to standard error, status lines and progress to
// standard output, and questions are answered by the policy given on the command line.

#include "platform/Operator.h"

#include <string>

namespace marevo::cli {

class TConsoleOperator final : public IOperator {
public:
    explicit TConsoleOperator(bool answerYes, bool quiet) : yes_(answerYes), quiet_(quiet) {}

    void Message(std::string_view text, std::string_view caption, TMessageKind kind) override;
    bool Confirm(std::string_view text, std::string_view caption) override;
    void ShowStatus(std::string_view text) override;
    void ClearStatus() override {}
    void Beep(int, int) override {}
    bool Progress(std::string_view activity, std::int64_t done, std::int64_t total) override;

private:
    bool yes_;
    bool quiet_;
    // The progress line being rewritten, if any.
    std::string progressActivity_;
    int progressPercent_ = -1;
    bool progressOpen_ = false;
};

} // namespace marevo::cli
