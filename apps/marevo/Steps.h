#pragma once
// Timed steps a run of the desktop program can be given (--steps FILE), for the manual's pictures
// of work that takes a while, such as a real-time cast. One step per line, from the time the main
// window shows:
//   SECONDS trigger ACTION    runs a command of the menus (its object name, e.g. StartCast)
//   SECONDS click TEXT        presses the button with that text, in the dialog on top if any
//   SECONDS shot PNG          saves the part of the screen the windows (or the dialog) cover
//   SECONDS quit              closes the main window
// Blank lines and lines starting with "#" are skipped.

#include <QString>

#include <vector>

namespace marevo {

class TMainForm;

struct TTimedStep {
    int ms = 0;
    QString verb;
    QString argument;
};

// The steps of a file's text; error says which line is wrong (nothing is returned then).
std::vector<TTimedStep> ParseTimedSteps(const QString& text, QString& error);

// Arms a timer for every step.
void ScheduleTimedSteps(const std::vector<TTimedStep>& steps, TMainForm& window);

// What --screenshot saves: the screen under the visible windows, or under the dialog on top.
void SaveScreenPicture(const QString& file);

} // namespace marevo
