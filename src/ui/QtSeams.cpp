#include "ui/QtSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace marevo {

namespace {

// The steps workers hand to the GUI thread. Each waits in the queue until the event loop (a
// queued call posted with it) or a join (ServeGuiSteps) runs it, whichever comes first.
struct THandOffs {
    struct TItem {
        const std::function<void()>* step;
        bool done = false;
    };
    std::mutex lock;
    std::condition_variable handed;
    std::condition_variable finished;
    std::deque<TItem*> queue;

    // On the GUI thread: runs what is queued.
    void Drain(std::unique_lock<std::mutex>& held) {
        while (!queue.empty()) {
            TItem* item = queue.front();
            queue.pop_front();
            held.unlock();
            try {
                (*item->step)();
            } catch (...) {
                // A step guards itself; one that does not must still release its worker.
            }
            held.lock();
            item->done = true;
            finished.notify_all();
        }
    }
};

// Never destroyed: a queued call may still reach it while the program ends.
THandOffs& HandOffs() {
    static auto* handOffs = new THandOffs;
    return *handOffs;
}

bool OnGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

} // namespace

void RunOnGuiThread(const std::function<void()>& step) {
    if (!step)
        return;
    if (OnGuiThread()) {
        step();
        return;
    }
    THandOffs& h = HandOffs();
    THandOffs::TItem item{&step};
    std::unique_lock lock(h.lock);
    h.queue.push_back(&item);
    h.handed.notify_all();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            THandOffs& g = HandOffs();
            std::unique_lock held(g.lock);
            g.Drain(held);
        },
        Qt::QueuedConnection);
    h.finished.wait(lock, [&] { return item.done; });
}

void PostToGuiThread(std::function<void()> step) {
    if (step)
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(step),
                                  Qt::QueuedConnection);
}

void ServeGuiSteps(std::uint32_t ms) {
    // Off the GUI thread (a long-work worker waiting for another worker) the event loop serves
    // the steps: only the time passes here.
    if (!OnGuiThread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    THandOffs& h = HandOffs();
    std::unique_lock lock(h.lock);
    h.handed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !h.queue.empty(); });
    h.Drain(lock);
}

TQtOperator::TQtOperator(QWidget* parent, std::function<void(const std::string&)> status,
                         std::function<void(int)> progress)
    : parent_(parent), status_(std::move(status)), progress_(std::move(progress)) {}

void TQtOperator::Message(std::string_view text, std::string_view caption, TMessageKind kind) {
    const QString t = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    const QString c = QString::fromUtf8(caption.data(), static_cast<int>(caption.size()));
    RunOnGuiThread([&] {
        QMessageBox box(kind == TMessageKind::Error     ? QMessageBox::Critical
                        : kind == TMessageKind::Warning ? QMessageBox::Warning
                                                        : QMessageBox::Information,
                        c.isEmpty() ? QApplication::applicationName() : c, t, QMessageBox::Ok,
                        parent_);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
    });
}

bool TQtOperator::Confirm(std::string_view text, std::string_view caption) {
    const QString t = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
    const QString c = QString::fromUtf8(caption.data(), static_cast<int>(caption.size()));
    bool ok = false;
    RunOnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, c, t, QMessageBox::Ok | QMessageBox::Cancel,
                        parent_);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.setDefaultButton(QMessageBox::Cancel);
        ok = box.exec() == QMessageBox::Ok;
    });
    return ok;
}

void TQtOperator::ShowStatus(std::string_view text) {
    const std::string s(text);
    RunOnGuiThread([&] {
        if (status_)
            status_(s);
    });
}

void TQtOperator::Beep(int, int) {
    RunOnGuiThread([] { QApplication::beep(); });
}

bool TQtOperator::Progress(std::string_view, std::int64_t done, std::int64_t total) {
    const int pos = total > 0 ? static_cast<int>(std::clamp<std::int64_t>(done * 100 / total, 0, 100))
                              : 0;
    RunOnGuiThread([&] {
        if (progress_)
            progress_(pos);
    });
    return true; // the window offers no cancel of long work
}

} // namespace marevo
