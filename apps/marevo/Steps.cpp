#include "Steps.h"

#include "ui/MainForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace marevo {

std::vector<TTimedStep> ParseTimedSteps(const QString& text, QString& error) {
    static const QRegularExpression line(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]+)?)\\s+(trigger|click|shot|quit)\\b\\s*(.*)$"));
    std::vector<TTimedStep> steps;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int k = 0; k < lines.size(); ++k) {
        const QString l = lines[k].trimmed();
        if (l.isEmpty() || l.startsWith(QLatin1Char('#')))
            continue;
        const auto m = line.match(l);
        const bool needsArgument = m.hasMatch() && m.captured(2) != QStringLiteral("quit");
        if (!m.hasMatch() || needsArgument == m.captured(3).trimmed().isEmpty()) {
            error = QStringLiteral("line %1: \"%2\"").arg(k + 1).arg(l);
            return {};
        }
        steps.push_back({static_cast<int>(m.captured(1).toDouble() * 1000), m.captured(2),
                         m.captured(3).trimmed()});
    }
    return steps;
}

void SaveScreenPicture(const QString& file) {
    QRect covered;
    QWidget* dialog = QApplication::activeModalWidget();
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (dialog == nullptr || w == dialog))
            covered |= w->frameGeometry();
    QScreen* screen = QGuiApplication::primaryScreen();
    covered &= screen->geometry();
    screen->grabWindow(0, covered.x(), covered.y(), covered.width(), covered.height()).save(file);
}

namespace {

// The visible button with that text (mnemonic marks ignored), in the dialog on top if there is
// one, else in any window.
QAbstractButton* ButtonWithText(const QString& text) {
    const auto matches = [&](const QAbstractButton* b) {
        return b->isVisible() && b->isEnabled() && b->text().remove(QLatin1Char('&')) == text;
    };
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
            if (matches(b))
                return b;
        return nullptr;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
            if (matches(b))
                return b;
    return nullptr;
}

} // namespace

void ScheduleTimedSteps(const std::vector<TTimedStep>& steps, TMainForm& window) {
    for (const TTimedStep& step : steps) {
        QTimer::singleShot(step.ms, &window, [&window, step] {
            if (step.verb == QStringLiteral("trigger")) {
                if (QAction* action = window.Action(step.argument))
                    action->trigger();
                else
                    std::fprintf(stderr, "marevo: no command %s\n", qPrintable(step.argument));
            } else if (step.verb == QStringLiteral("click")) {
                if (QAbstractButton* b = ButtonWithText(step.argument))
                    b->click();
                else
                    std::fprintf(stderr, "marevo: no button \"%s\"\n", qPrintable(step.argument));
            } else if (step.verb == QStringLiteral("shot")) {
                // Work under way ends first, unless it waits on the question shown now.
                if (!QApplication::activeModalWidget())
                    window.WaitLongWork();
                SaveScreenPicture(step.argument);
            } else {
                window.close();
            }
        });
    }
}

} // namespace marevo
