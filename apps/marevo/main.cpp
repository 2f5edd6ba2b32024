// marevo: the desktop program. One per user and data root; a splash for two seconds while the
// settings start, then the main window with the windows the environment marks shown and the last
// cast reopened.

#include "Steps.h"

#include "foundation/EventLog.h"
#include "foundation/FileNames.h"
#include "foundation/Runtime.h"
#include "records/Environ.h"
#include "shell/Application.h"
#include "ui/Instance.h"
#include "ui/MainForm.h"
#include "ui/PlotForm.h"
#include "ui/QtSeams.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSplashScreen>
#include <QTimer>
#include <QWidget>

#include <clocale>
#include <cstdio>

namespace {

using namespace marevo;

QPixmap SplashPicture() {
    QPixmap picture(460, 240);
    QPainter p(&picture);
    QLinearGradient sea(0, 0, 0, 240);
    sea.setColorAt(0, QColor(18, 62, 112));
    sea.setColorAt(1, QColor(6, 24, 48));
    p.fillRect(picture.rect(), sea);
    p.setPen(QColor(120, 190, 235));
    for (int k = 0; k < 6; ++k) // a profile descending through the layers
        p.drawLine(300 + k * 14, 40 + k * 30, 314 + k * 14, 70 + k * 30);
    p.setPen(Qt::white);
    QFont title(QStringLiteral("DejaVu Sans"), 30, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(30, 60, 300, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(TMainShell::Caption()));
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    p.drawText(QRect(32, 120, 300, 60), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("CTD profiling: acquisition, processing and storage of casts"));
    return picture;
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marevo"));
    // Numbers are written and read with "." whatever the user's language; the user's locale
    // itself is left as it is.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Marevo CTD profiling"));
    parser.addHelpOption();
    const QCommandLineOption rootOption(QStringLiteral("data-root"),
                                        QStringLiteral("Data folder (settings, cruises, logs)."),
                                        QStringLiteral("folder"),
                                        QString::fromStdString(DefaultDataRoot().string()));
    const QCommandLineOption openOption(QStringLiteral("open"),
                                        QStringLiteral("Open a cast after the start, e.g. Demo:1."),
                                        QStringLiteral("cruise:cast"));
    const QCommandLineOption shotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the screen once the windows are shown, then close."),
        QStringLiteral("png"));
    const QCommandLineOption triggerOption(
        QStringLiteral("trigger"),
        QStringLiteral("Run a command of the menus once started, e.g. Environment (for pictures)."),
        QStringLiteral("action"));
    const QCommandLineOption stepsOption(
        QStringLiteral("steps"),
        QStringLiteral("Run timed steps once started: lines \"SECONDS trigger ACTION\", \"SECONDS "
                       "click TEXT\", \"SECONDS shot PNG\", \"SECONDS quit\" (for pictures)."),
        QStringLiteral("file"));
    parser.addOption(rootOption);
    parser.addOption(stepsOption);
    parser.addOption(openOption);
    parser.addOption(shotOption);
    parser.addOption(triggerOption);
    parser.process(qapp);

    std::string note, error;
    const auto root = ResolveDataRoot(parser.value(rootOption).toStdString(), note, error);
    if (!root) {
        std::fprintf(stderr, "marevo: %s\n", error.c_str());
        return 2;
    }

    std::vector<TTimedStep> steps;
    if (parser.isSet(stepsOption)) {
        QFile file(parser.value(stepsOption));
        QString problem = QStringLiteral("cannot read the file");
        if (file.open(QIODevice::ReadOnly))
            steps = ParseTimedSteps(QString::fromUtf8(file.readAll()), problem);
        if (steps.empty()) {
            std::fprintf(stderr, "marevo: %s: %s\n", qPrintable(file.fileName()),
                         qPrintable(problem));
            return 2;
        }
    }

    TInstanceLock instance(*root);
    if (!instance.TryLock()) {
        QMessageBox::warning(nullptr, QStringLiteral("Error"),
                             QStringLiteral("Marevo application is already running!"));
        return 1;
    }

    QSplashScreen splash(SplashPicture());
    splash.show();
    QElapsedTimer shown;
    shown.start();
    qapp.processEvents();

    TApplication app(*root);
    TMainForm* form = nullptr;
    TQtOperator op(
        nullptr, [&](const std::string& text) { if (form) form->ShowStatusText(text); },
        [&](int pos) { if (form) form->ShowProgress(pos); });
    TQtMainThread mainThread;
    TRuntimeScope runtime({nullptr, &op, &mainThread, nullptr});

    TMainForm window(app);
    form = &window;
    op.SetParent(&window);
    if (!window.StartUp()) {
        splash.close();
        return 1;
    }

    // The splash stays at least two seconds; the event loop runs meanwhile.
    const int wait = std::max<qint64>(0, 2000 - shown.elapsed());
    QTimer::singleShot(wait, &window, [&] {
        splash.finish(&window);
        window.show();
        window.FirstShow();
        const QString open = parser.value(openOption);
        if (const int colon = open.lastIndexOf(':'); colon > 0) {
            window.WaitLongWork();
            window.OpenCast(open.left(colon).toStdString(), open.mid(colon + 1).toInt());
        }
        if (QAction* action = parser.isSet(triggerOption)
                                  ? window.Action(parser.value(triggerOption))
                                  : nullptr)
            QTimer::singleShot(300, action, [action] { action->trigger(); });
        ScheduleTimedSteps(steps, window);
        if (parser.isSet(shotOption))
            QTimer::singleShot(1500, &window, [&] {
                window.WaitLongWork();
                SaveScreenPicture(parser.value(shotOption));
                QWidget* dialog = QApplication::activeModalWidget();
                if (dialog != nullptr)
                    dialog->close();
                window.close();
            });
    });
    return qapp.exec();
}
