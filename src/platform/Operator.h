#pragma once
// The operator seam: everything the system says to or asks of the person at the console.
// The GUI shows top-most message boxes, the status bar and progress bars on the GUI thread (it
// marshals calls made from workers); the command-line tool prints and answers by policy; tests
// record the calls and script the answers.

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

enum class TMessageKind { Information, Warning, Error };

class IOperator {
public:
    virtual ~IOperator() = default;
    // Top-most box with one OK button.
    virtual void Message(std::string_view text, std::string_view caption, TMessageKind kind) = 0;
    // Top-most box with OK and Cancel; true for OK.
    virtual bool Confirm(std::string_view text, std::string_view caption) = 0;
    // The status field of the main window (its last panel); shown and repainted at once.
    virtual void ShowStatus(std::string_view text) = 0;
    virtual void ClearStatus() = 0;
    // A beep; frequency 0 = the plain message beep.
    virtual void Beep(int frequencyHz = 0, int durationMs = 0) = 0;
    // Progress of long work; false when the operator asked to cancel it.
    virtual bool Progress(std::string_view activity, std::int64_t done, std::int64_t total) = 0;
};

// Headless default: shows nothing and answers every question with Cancel, the answer that never
// overwrites or deletes anything.
class TSilentOperator final : public IOperator {
public:
    void Message(std::string_view, std::string_view, TMessageKind) override {}
    bool Confirm(std::string_view, std::string_view) override { return false; }
    void ShowStatus(std::string_view) override {}
    void ClearStatus() override {}
    void Beep(int, int) override {}
    bool Progress(std::string_view, std::int64_t, std::int64_t) override { return true; }
};

// Test double: records every call as one readable line and answers questions from a script.
class TRecordingOperator final : public IOperator {
public:
    void Message(std::string_view text, std::string_view caption, TMessageKind kind) override;
    bool Confirm(std::string_view text, std::string_view caption) override;
    void ShowStatus(std::string_view text) override;
    void ClearStatus() override;
    void Beep(int frequencyHz, int durationMs) override;
    bool Progress(std::string_view activity, std::int64_t done, std::int64_t total) override;

    // Answers for the next Confirm calls, in order; when the script runs out, the default.
    void ScriptAnswers(std::initializer_list<bool> answers);
    void SetDefaultAnswer(bool answer);
    // Progress calls answer false (cancel) from the n-th call on (1-based); 0 = never.
    void CancelProgressAt(int n);

    std::vector<std::string> Events() const; // e.g. "Message Error: Create Data array"
    std::string Status() const;               // what the status field shows now
    void Clear();

private:
    void Record(std::string event);

    mutable std::mutex lock_;
    std::vector<std::string> events_;
    std::deque<bool> answers_;
    bool defaultAnswer_ = false;
    int cancelAt_ = 0;
    int progressCalls_ = 0;
    std::string status_;
};

} // namespace marevo
