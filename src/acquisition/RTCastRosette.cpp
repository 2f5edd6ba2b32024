// The rosette's part of the cast start: the first bottle, the homing, and the firing that the
// worker runs in each pass.
#include "acquisition/FiringCast.h"
#include "acquisition/RTCast.h"

#include "foundation/Runtime.h"
#include "probelink/QvlUtil.h"
#include "processing/ParamCollection.h"
#include "records/Environ.h"
#include "records/Settings.h"

namespace marevo {

bool TRTCast::SetRosetteHome() {
    firstBottle_ = 0;
    TConfig& config = Config();
    config.SetBottlesPara();
    if (config.Rosette.RosetteType == ro_none)
        return true;
    std::optional<std::int32_t> first;
    OnMainThread([&] { first = host_.FirstBottleDialog(config.Rosette); });
    if (!first) {
        // "No Rosette connected": the cast runs without rosette, first bottle 0.
        config.Rosette.RosetteType = ro_none;
        return true;
    }
    StatusMessage("Set rosette to Home");
    if (!protocol_->BottleHome(*first)) {
        StatusMessage("Abort - CTD to set rosette to Home position");
        return false;
    }
    firstBottle_ = *first;
    cast_.BtlAlarm.C_BtlStatus = btl_home;
    const std::string panel =
        BottlePanelText(cast_.BtlAlarm.C_BtlNumber, cast_.BtlAlarm.C_BtlStatus);
    OnMainThread([&] { host_.View().ShowBottlePanel(panel); });
    StatusMessage("Rosette at home position");
    return true;
}

void TRTCast::StartFiring() {
    if (Config().Rosette.RosetteType == ro_none || !source_)
        return;
    TFiringSetup setup;
    setup.rosette = Config().Rosette;
    setup.fireTimeOut = protocol_->RosFireTimeOut;
    setup.attentionDelay = protocol_->Delays()[2];
    setup.firstBottle = firstBottle_;
    firingCast_ = std::make_unique<TLiveFiringCast>(cast_, *source_);
    TAcquiThread* worker = worker_.get();
    firing_ = std::make_unique<TBottleFiring>(
        *firingCast_, host_.View(), setup,
        [worker](const std::function<void()>& step) {
            if (!worker->Terminated())
                MainThread().Run(step);
        },
        Sound);
    firing_->Begin();
    TBottleFiring* firing = firing_.get();
    worker_->FiringHook = [firing] { firing->Pass(); };
}

} // namespace marevo
