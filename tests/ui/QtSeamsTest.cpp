// The GUI's main-thread seam: a worker's hand-offs run on the GUI thread, through the event loop
// or through a join that serves them, so a join never waits on a worker waiting on it.

#include "ui/QtSeams.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace marevo {
namespace {

// A worker handing steps over until it is asked to stop, as the acquisition worker does.
struct THandingWorker {
    explicit THandingWorker(IMainThread& main) : main_(main) {
        thread = std::thread([this] {
            while (!stop) {
                main_.Run([this] {
                    if (QThread::currentThread() == QCoreApplication::instance()->thread())
                        ++onGui;
                    ++steps;
                });
            }
            finished = true;
        });
    }
    IMainThread& main_;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::atomic<int> steps{0};
    std::atomic<int> onGui{0};
    std::thread thread;
};

TEST(QtMainThread, AJoinServingHandOffsEndsAWorkerWaitingOnOne) {
    TQtMainThread main;
    THandingWorker worker(main);
    // The worker is waiting on a step the event loop has not run (no loop runs here).
    while (worker.steps == 0)
        main.Serve(20);
    worker.stop = true;
    while (!worker.finished)
        main.Serve(20);
    worker.thread.join();
    EXPECT_EQ(worker.onGui.load(), worker.steps.load());
    // Steps served by the join leave nothing behind for the event loop to trip on.
    QCoreApplication::processEvents();
}

TEST(QtMainThread, TheEventLoopRunsHandOffsToo) {
    TQtMainThread main;
    THandingWorker worker(main);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (worker.steps >= 3)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    worker.stop = true;
    while (!worker.finished)
        main.Serve(20);
    worker.thread.join();
    EXPECT_GE(worker.steps.load(), 3);
    EXPECT_EQ(worker.onGui.load(), worker.steps.load());
}

} // namespace
} // namespace marevo
