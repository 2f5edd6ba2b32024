#include "ui/QtSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace marevo {

void RunOnGuiThread(const std::function<void()>& step) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        step();
        return;
    }
    QMetaObject::invokeMethod(app, [&step] { step(); }, Qt::BlockingQueuedConnection);
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
