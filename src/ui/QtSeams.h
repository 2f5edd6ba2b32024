#pragma once
// The operator and main-thread seams of the GUI. Every call made from a worker is carried to the
// GUI thread and waits there for its answer (a blocking queued call), so a worker never touches a
// widget; called on the GUI thread they run at once.

#include "platform/MainThread.h"
#include "platform/Operator.h"

#include <QObject>

#include <functional>
#include <string>

class QWidget;

namespace marevo {

// Runs step on the GUI thread and returns once it has run. A step handed over from a worker
// waits in a queue that the event loop serves, and that ServeGuiSteps serves as well while the
// GUI thread waits for a worker.
void RunOnGuiThread(const std::function<void()>& step);
// Runs step on the GUI thread's event loop later; returns at once, whatever thread calls it.
void PostToGuiThread(std::function<void()> step);
// On the GUI thread: runs the steps handed over by now, waiting up to ms milliseconds for one.
// On another thread it only waits: the event loop runs them there.
void ServeGuiSteps(std::uint32_t ms);

class TQtMainThread final : public IMainThread {
public:
    void Run(const std::function<void()>& step) override { RunOnGuiThread(step); }
    // Posted to the event loop; the caller goes on at once.
    void Post(std::function<void()> step) override { PostToGuiThread(std::move(step)); }
    // A join on the GUI thread runs the steps the worker waits on, so it cannot deadlock.
    void Serve(std::uint32_t ms) override { ServeGuiSteps(ms); }
};

// Message boxes (top-most, parented to the main window), the status text and the progress of
// long work, shown by the window through the two functions it hands over.
class TQtOperator final : public IOperator {
public:
    // status(text): the last status panel shows text. progress(pos): the panel as a bar of pos
    // percent, -1 back to text. Both run on the GUI thread.
    TQtOperator(QWidget* parent, std::function<void(const std::string&)> status,
                std::function<void(int)> progress);

    void Message(std::string_view text, std::string_view caption, TMessageKind kind) override;
    bool Confirm(std::string_view text, std::string_view caption) override;
    void ShowStatus(std::string_view text) override;
    void ClearStatus() override { ShowStatus({}); }
    void Beep(int frequencyHz, int durationMs) override;
    bool Progress(std::string_view activity, std::int64_t done, std::int64_t total) override;

    // The window the boxes belong to.
    void SetParent(QWidget* parent) { parent_ = parent; }
private:
    QWidget* parent_;
    std::function<void(const std::string&)> status_;
    std::function<void(int)> progress_;
};

} // namespace marevo
