#pragma once
// The alarm tone of the main window: the generated tone (platform/AlarmTone.h) played by Qt
// Multimedia. Made on first use, on the GUI thread (the worker plays it inside a hand-off).
// Without a sound device, or when the tone cannot be loaded, the alarm stays silent: said once
// in the event log, the blinking button and the alarm panel still show it.

#include "platform/Sound.h"

#include <memory>

class QSoundEffect;
class QTemporaryDir;

namespace marevo {

class TQtAlarmSound final : public IAlarmSound {
public:
    TQtAlarmSound();
    ~TQtAlarmSound() override;
    void Play() override;
    // The tone was loaded and has not failed since.
    bool Usable() const { return !failed_; }

private:
    void Fail(const std::string& why);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QSoundEffect> effect_;
    bool failed_ = false;
};

} // namespace marevo
