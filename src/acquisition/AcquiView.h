#pragma once
// The windows as the acquisition worker sees them. Every step runs on the main thread (the worker
// hands it over through the main-thread seam and waits), so a step may read the cast collection
// while it runs: the worker is held until it returns. Windows keep only the copies they take
// there. All steps default to nothing, so a headless caller implements only what it shows.

#include "acquisition/AcquiTypes.h"

#include <string>

namespace marevo {

class IAcquiView {
public:
    virtual ~IAcquiView() = default;
    // Redraws the profile plot from a fresh copy of the series.
    virtual void UpdatePlot() {}
    // The value window, unless its cursor is on; live is the value period's copy.
    virtual void UpdateCurValue(const TAcquiLive& /*live*/) {}
    // The acquisition fields of the cast header window.
    virtual void SetCastInfoFields() {}
    // Whether the cast header window was edited since it was last written back.
    virtual bool CastInfoModified() { return false; }
    // Writes the cast header window back into the cast header.
    virtual void UpdateCastInfo() {}
    // The real-time status message.
    virtual void AcquiStatusStr(const std::string& /*text*/) {}
    virtual void BlinkButton(const TBlinkState& /*state*/) {}
    // The link indicators, on a change.
    virtual void ShowLinks(const TLinkStates& /*links*/) {}
    // The status bar's bottle panel.
    virtual void ShowBottlePanel(const std::string& /*text*/) {}
    // The protocol object's error report, when it holds an error.
    virtual void ShowError(const std::string& /*report*/) {}

    // ---- Bottle firing ----------------------------------------------------------------------
    // A firing starts: the fire button down, the "Fire Bottle" menu item disabled.
    virtual void PressFireButton() {}
    // A firing ended (SetFireButton): the button released; button and menu item enabled while
    // the cast can take more bottles.
    virtual void SetFireButton(bool /*enable*/) {}
    // The operator dialog ("Firing Bottle") with its label, for the pending item of position
    // bottle (0: the items that fire on their own after the waiting time); and its closing.
    virtual void ShowOperatorDialog(const std::string& /*label*/, int /*bottle*/) {}
    virtual void CloseOperatorDialog() {}
    // A firing was recorded in the cast's bottle list with that status (the bottles window).
    virtual void BottleFired(int /*bottle*/, int /*status*/) {}
};

} // namespace marevo
