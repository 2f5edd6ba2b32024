#include "platform/Operator.h"

namespace marevo {

namespace {
const char* KindName(TMessageKind kind) {
    switch (kind) {
    case TMessageKind::Information: return "Information";
    case TMessageKind::Warning: return "Warning";
    case TMessageKind::Error: return "Error";
    }
    return "?";
}
} // namespace

void TRecordingOperator::Record(std::string event) {
    std::lock_guard guard(lock_);
    events_.push_back(std::move(event));
}

void TRecordingOperator::Message(std::string_view text, std::string_view caption,
                                 TMessageKind kind) {
    Record(std::string("Message ") + KindName(kind) + " [" + std::string(caption) +
           "]: " + std::string(text));
}

bool TRecordingOperator::Confirm(std::string_view text, std::string_view caption) {
    bool answer;
    {
        std::lock_guard guard(lock_);
        answer = defaultAnswer_;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    Record("Confirm [" + std::string(caption) + "]: " + std::string(text) + " -> " +
           (answer ? "OK" : "Cancel"));
    return answer;
}

void TRecordingOperator::ShowStatus(std::string_view text) {
    {
        std::lock_guard guard(lock_);
        status_ = text;
    }
    Record("Status: " + std::string(text));
}

void TRecordingOperator::ClearStatus() {
    {
        std::lock_guard guard(lock_);
        status_.clear();
    }
    Record("Status cleared");
}

void TRecordingOperator::Beep(int frequencyHz, int durationMs) {
    Record("Beep " + std::to_string(frequencyHz) + " " + std::to_string(durationMs));
}

bool TRecordingOperator::Progress(std::string_view activity, std::int64_t done,
                                  std::int64_t total) {
    bool goOn;
    {
        std::lock_guard guard(lock_);
        ++progressCalls_;
        goOn = cancelAt_ == 0 || progressCalls_ < cancelAt_;
    }
    Record("Progress " + std::string(activity) + " " + std::to_string(done) + "/" +
           std::to_string(total));
    return goOn;
}

void TRecordingOperator::ScriptAnswers(std::initializer_list<bool> answers) {
    std::lock_guard guard(lock_);
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void TRecordingOperator::SetDefaultAnswer(bool answer) {
    std::lock_guard guard(lock_);
    defaultAnswer_ = answer;
}

void TRecordingOperator::CancelProgressAt(int n) {
    std::lock_guard guard(lock_);
    cancelAt_ = n;
    progressCalls_ = 0;
}

std::vector<std::string> TRecordingOperator::Events() const {
    std::lock_guard guard(lock_);
    return events_;
}

std::string TRecordingOperator::Status() const {
    std::lock_guard guard(lock_);
    return status_;
}

void TRecordingOperator::Clear() {
    std::lock_guard guard(lock_);
    events_.clear();
}

} // namespace marevo
