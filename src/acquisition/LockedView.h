#pragma once
// The windows of a running cast seen through the cast's row lock: the steps that read the series
// or the cast header (plot, values, header fields) hold it while they run on the main thread, so
// the automatic text export never reads them half changed (taken while serving the main-thread
// seam, see CastRowLock.h). The other steps pass straight on.

#include "acquisition/AcquiView.h"
#include "acquisition/CastRowLock.h"

namespace marevo {

class TLockedView final : public IAcquiView {
public:
    TLockedView(IAcquiView& inner, TCastRowLock& rowLock) : inner_(inner), lock_(rowLock) {}

    void UpdatePlot() override {
        TServingGuard guard(lock_);
        inner_.UpdatePlot();
    }
    void UpdateCurValue(const TAcquiLive& live) override {
        TServingGuard guard(lock_);
        inner_.UpdateCurValue(live);
    }
    void SetCastInfoFields() override {
        TServingGuard guard(lock_);
        inner_.SetCastInfoFields();
    }
    bool CastInfoModified() override { return inner_.CastInfoModified(); }
    void UpdateCastInfo() override {
        TServingGuard guard(lock_);
        inner_.UpdateCastInfo();
    }
    void AcquiStatusStr(const std::string& text) override { inner_.AcquiStatusStr(text); }
    void BlinkButton(const TBlinkState& state) override { inner_.BlinkButton(state); }
    void ShowLinks(const TLinkStates& links) override { inner_.ShowLinks(links); }
    void ShowBottlePanel(const std::string& text) override { inner_.ShowBottlePanel(text); }
    void ShowError(const std::string& report) override { inner_.ShowError(report); }

private:
    IAcquiView& inner_;
    TCastRowLock& lock_;
};

} // namespace marevo
