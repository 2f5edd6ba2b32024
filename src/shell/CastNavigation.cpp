#include "shell/CastNavigation.h"

namespace marevo {

namespace {

// Walks from first by step while inside [1, last]; each valid cast sets the buttons for where it
// stands and is opened; the first that opens ends the walk. Going back, a valid cast always has
// one after it (the one shown), so only going forward does the last cast close "Next".
TNavigationResult Walk(int first, int step, int last, const TCastValidity& readValid,
                       const TCastOpener& open) {
    TNavigationResult r;
    for (int k = first; k >= 1 && k <= last; k += step) {
        const std::optional<bool> valid = readValid(k);
        if (!valid)
            break;
        if (!*valid)
            continue;
        r.precEnabled = k >= 2;
        r.nextEnabled = step < 0 || k < last;
        if (open(k)) {
            r.opened = k;
            r.cleared = false;
            return r;
        }
        r.cleared = true;
    }
    // Nothing opened that way: the button of this direction has nothing left to go to.
    if (step < 0)
        r.precEnabled = false;
    else
        r.nextEnabled = false;
    return r;
}

} // namespace

TNavigationResult NavigatePrevious(int n, const TCastValidity& readValid, const TCastOpener& open) {
    if (n - 1 <= 0)
        return {.beep = true, .precEnabled = false};
    return Walk(n - 1, -1, n - 1, readValid, open);
}

TNavigationResult NavigateNext(int n, int lastCast, const TCastValidity& readValid,
                               const TCastOpener& open) {
    if (n + 1 > lastCast)
        return {.beep = true, .nextEnabled = false};
    return Walk(n + 1, +1, lastCast, readValid, open);
}

} // namespace marevo
