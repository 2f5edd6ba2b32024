#pragma once
// The windows of a running cast seen through the cast's row lock: the steps that read the series
// or the cast header (plot, values, header fields) hold it while they run on the main thread, so
// the automatic text export never reads them half changed. The other steps pass straight on.

#include "acquisition/AcquiView.h"

#include <mutex>

namespace marevo {

class TLockedView final : public IAcquiView {
public:
    TLockedView(IAcquiView& inner, std::mutex& rowLock) : inner_(inner), lock_(rowLock) {}

    void UpdatePlot() override {
        std::lock_guard guard(lock_);
        inner_.UpdatePlot();
    }
    void UpdateCurValue(const TAcquiLive& live) override {
        std::lock_guard guard(lock_);
        inner_.UpdateCurValue(live);
    }
    void SetCastInfoFields() override {
        std::lock_guard guard(lock_);
        inner_.SetCastInfoFields();
    }
    bool CastInfoModified() override { return inner_.CastInfoModified(); }
    void UpdateCastInfo() override {
        std::lock_guard guard(lock_);
        inner_.UpdateCastInfo();
    }
    void AcquiStatusStr(const std::string& text) override { inner_.AcquiStatusStr(text); }
    void BlinkButton(const TBlinkState& state) override { inner_.BlinkButton(state); }
    void ShowLinks(const TLinkStates& links) override { inner_.ShowLinks(links); }
    void ShowBottlePanel(const std::string& text) override { inner_.ShowBottlePanel(text); }
    void ShowError(const std::string& report) override { inner_.ShowError(report); }

private:
    IAcquiView& inner_;
    std::mutex& lock_;
};

} // namespace marevo
