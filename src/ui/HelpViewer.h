#pragma once
// The user manual in a window: the Markdown chapters of the manual folder, read with their
// pictures, with links between them, back and home.

#include <QWidget>

#include <filesystem>

class QTextBrowser;

namespace marevo {

// Where the manual is: $MAREVO_MANUAL_DIR, else share/marevo/manual beside the program's
// folder, else the source tree's docs/manual. Empty when none holds index.md.
std::filesystem::path ManualFolder();

class THelpViewer : public QWidget {
public:
    explicit THelpViewer(const std::filesystem::path& folder, QWidget* parent = nullptr);
    // Shows chapter (a file name of the folder, e.g. "import.md"); the contents when empty.
    void ShowChapter(const QString& chapter = {});
    QTextBrowser* Browser() const { return browser_; }

private:
    std::filesystem::path folder_;
    QTextBrowser* browser_;
};

} // namespace marevo
