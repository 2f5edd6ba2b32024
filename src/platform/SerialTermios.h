#pragma once
// How line settings become a termios record; used by the POSIX serial device and its tests.

#include "platform/SerialDevice.h"

#include <string>
#include <termios.h>

namespace marevo {

// Turns t (as read from the device) into raw mode with the given settings. False, with the
// reason in error, for a rate termios has no code for or a frame it cannot send.
bool MakeSerialTermios(const TSerialSettings& settings, termios& t, std::string& error);

} // namespace marevo
