#include "ui/HelpViewer.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

namespace marevo {

namespace fs = std::filesystem;

fs::path ManualFolder() {
    std::error_code ec;
    const auto holds = [&](const fs::path& dir) { return fs::exists(dir / "index.md", ec); };
    if (const char* dir = std::getenv("MAREVO_MANUAL_DIR"); dir && holds(dir))
        return dir;
    const fs::path installed =
        fs::path(QCoreApplication::applicationDirPath().toStdString()) / ".." / "share" /
        "marevo" / "manual";
    if (holds(installed))
        return installed;
#ifdef MAREVO_SOURCE_DIR
    if (const fs::path source = fs::path(MAREVO_SOURCE_DIR) / "docs" / "manual"; holds(source))
        return source;
#endif
    return {};
}

THelpViewer::THelpViewer(const fs::path& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(folder), browser_(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("Marevo manual"));
    resize(1060, 800);
    auto* buttons = new QHBoxLayout;
    auto* back = new QPushButton(QStringLiteral("Back"), this);
    auto* home = new QPushButton(QStringLiteral("Contents"), this);
    buttons->addWidget(back);
    buttons->addWidget(home);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({QString::fromStdString(folder_.string())});
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(home, &QPushButton::clicked, this, [this] { ShowChapter(); });
    ShowChapter();
}

void THelpViewer::ShowChapter(const QString& chapter) {
    if (folder_.empty()) {
        browser_->setPlainText(QStringLiteral("The manual is not installed with this program."));
        return;
    }
    const fs::path file = folder_ / (chapter.isEmpty() ? std::string("index.md")
                                                       : chapter.toStdString());
    browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())),
                        QTextDocument::MarkdownResource);
}

} // namespace marevo
