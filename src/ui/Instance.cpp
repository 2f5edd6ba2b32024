#include "ui/Instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

#include <unistd.h>

namespace marevo {

TInstanceLock::TInstanceLock(const std::filesystem::path& dataRoot) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray root = QByteArray::fromStdString(dataRoot.lexically_normal().string());
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(root, QCryptographicHash::Sha1).toHex().left(16));
    file_ = (folder + QStringLiteral("/marevo-%1-%2.lock").arg(getuid()).arg(digest)).toStdString();
    lock_ = std::make_unique<QLockFile>(QString::fromStdString(file_.string()));
    lock_->setStaleLockTime(0); // only a dead holder's lock is stale
}

bool TInstanceLock::TryLock() { return lock_->tryLock(0); }

} // namespace marevo
