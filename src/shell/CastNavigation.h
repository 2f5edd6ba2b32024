#pragma once
// The previous / next cast buttons of the main window: from the cast shown, the nearest valid cast
// of the cruise whose binary file opens, skipping casts marked invalid and casts whose file fails
// to open. The cruise file and the display are reached through the two functions given, so the
// walk is the same for the window and its tests.

#include <functional>
#include <optional>

namespace marevo {

struct TNavigationResult {
    int opened = 0;       // the cast now shown; 0 when none opened
    bool cleared = false; // a cast failed to open: nothing is shown as loaded any more
    bool beep = false;    // there was no cast that way: the button is refused
    // The buttons afterwards; nullopt leaves a button as it was.
    std::optional<bool> precEnabled{};
    std::optional<bool> nextEnabled{};
};

// readValid(k): whether cast k is valid; nullopt when it cannot be read (the walk stops there).
// open(k): opens and shows cast k's binary file; false when it fails.
using TCastValidity = std::function<std::optional<bool>(int cast)>;
using TCastOpener = std::function<bool(int cast)>;

// From the cast shown, n, towards cast 1.
TNavigationResult NavigatePrevious(int n, const TCastValidity& readValid, const TCastOpener& open);
// From the cast shown, n, towards the cruise's last cast.
TNavigationResult NavigateNext(int n, int lastCast, const TCastValidity& readValid,
                               const TCastOpener& open);

} // namespace marevo
