#include "ui/AlarmSound.h"

#include "foundation/EventLog.h"
#include "platform/AlarmTone.h"

#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QUrl>

namespace marevo {

TQtAlarmSound::TQtAlarmSound() = default;
TQtAlarmSound::~TQtAlarmSound() = default;

void TQtAlarmSound::Fail(const std::string& why) {
    if (failed_)
        return;
    failed_ = true;
    effect_.reset();
    WriteLog("Alarm sound disabled: " + why);
}

void TQtAlarmSound::Play() {
    if (failed_)
        return;
    if (!effect_) {
        if (QMediaDevices::audioOutputs().isEmpty())
            return Fail("no audio output");
        // The sound player reads a file: the tone is written once into a folder of its own.
        dir_ = std::make_unique<QTemporaryDir>();
        if (!dir_->isValid())
            return Fail("no temporary folder for the tone");
        const QString path = dir_->filePath(QStringLiteral("alarm.wav"));
        QFile file(path);
        const std::string wav = AlarmToneWav();
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(wav.data(), qint64(wav.size())) != qint64(wav.size()))
            return Fail("the tone cannot be written to " + path.toStdString());
        file.close();
        effect_ = std::make_unique<QSoundEffect>();
        effect_->setSource(QUrl::fromLocalFile(path));
        effect_->setVolume(1.0);
    }
    switch (effect_->status()) {
    case QSoundEffect::Error: return Fail("the tone cannot be played");
    case QSoundEffect::Ready:
        // Each call starts the tone once; a tone still playing is not cut short.
        if (!effect_->isPlaying())
            effect_->play();
        return;
    default: return; // still loading: the next alarm period plays it
    }
}

} // namespace marevo
