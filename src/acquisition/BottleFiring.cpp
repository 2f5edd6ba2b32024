#include "acquisition/BottleFiring.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <cmath>

namespace marevo {

namespace {

std::uint64_t Ms(double seconds) {
    return std::isfinite(seconds) && seconds > 0
               ? static_cast<std::uint64_t>(std::llround(seconds * 1000.0))
               : 0;
}

} // namespace

bool TBottlesToFireCollection::Holds(std::int32_t bottle) const {
    for (const TBottleToFireInfo& item : items_)
        if (item.BottleNb == bottle)
            return true;
    return false;
}

TBottleToFireInfo* TBottlesToFireCollection::FirstUnconfirmed() {
    for (TBottleToFireInfo& item : items_)
        if (!item.isTimeToFireValid)
            return &item;
    return nullptr;
}

TManualRequest ManualFireRequest(bool workerExists, bool firing, bool again, int requested,
                                 const TRosetteInfo& rosette, const IFiringCast::TBottles& list) {
    TManualRequest r;
    if (workerExists && firing) {
        r.action = TManualAction::Beep;
        return r;
    }
    if (!workerExists)
        return r;
    r.action = TManualAction::Ask;
    r.bottle = again || requested > 0 ? requested
                                      : NextFreeBottle(rosette, list.lastBottle, list.recorded);
    r.question = FireQuestion(again, r.bottle);
    return r;
}

TBottleFiring::TBottleFiring(IFiringCast& cast, IAcquiView& view, TFiringSetup setup,
                             std::function<void(const std::function<void()>&)> hand,
                             IAlarmSound* sound)
    : cast_(cast), view_(view), setup_(std::move(setup)), hand_(std::move(hand)), sound_(sound) {}

std::uint64_t TBottleFiring::Now() const { return Clock().TickMs(); }

void TBottleFiring::Log(const std::string& text) {
    WriteBottleLog(text, cast_.BtlStatus(), cast_.BtlNumber());
}

void TBottleFiring::SetFiring(bool on) {
    FiringBottle = on;
    firingShared_ = on;
}

void TBottleFiring::Begin() {
    pending_ = {};
    bSendBottleFire = bWaitFireAccepted = bWaitFireCompleted = false;
    commandDue_ = false;
    SetFiring(false);
    requestPosted_ = false;
    confirm_ = 0;
    CurrentBottleNumber = setup_.firstBottle - 1;
    cast_.SetLastBottle(setup_.firstBottle - 1);
    list_ = cast_.Bottles();
    cast_.ResetSnapshot();
    tWaitBottle = Now();
}

void TBottleFiring::PostRequest(bool again, int bottle) {
    request_ = (again ? std::int64_t{1} << 32 : 0) | std::uint32_t(bottle);
    requestPosted_ = true;
}

void TBottleFiring::PostConfirm(int bottle) { confirm_ = bottle > 0 ? bottle : -1; }

void TBottleFiring::Pass() {
    TakePosted();
    ManageAutomaticBottleFiring();
    if (bSendBottleFire)
        FireBottle(fireAgain_, fireBottle_);
    SendCommandWhenDue();
    if (bWaitFireAccepted)
        WaitForBottleAccepted();
    if (bWaitFireCompleted)
        WaitForBottleCompleted();
}

// The operator's confirmation and request, each read once.
void TBottleFiring::TakePosted() {
    if (const std::int32_t confirmed = confirm_.exchange(0)) {
        // The waiting-time dialog's "Fire": the oldest item goes now.
        if (confirmed < 0 && pending_.Count() > 0)
            pending_.Items(0).timeToFire = Now();
        for (int i = 0; i < pending_.Count(); ++i) {
            TBottleToFireInfo& item = pending_.Items(i);
            if (item.BottleNb == confirmed && !item.isTimeToFireValid) {
                item.isTimeToFireValid = true;
                item.timeToFire = Now();
                break;
            }
        }
        // The next one awaiting confirmation, oldest first.
        ShowNextConfirmation(false);
    }
    // A manual request made while an automatic firing started waits for its end.
    if (requestPosted_ && !FiringBottle) {
        const std::int64_t r = request_;
        fireAgain_ = ((r >> 32) & 1) != 0;
        fireBottle_ = static_cast<std::int32_t>(r & 0xFFFFFFFF);
        SetFiring(true);
        requestPosted_ = false;
        bSendBottleFire = true;
        bWaitFireAccepted = bWaitFireCompleted = false;
    }
}

void TBottleFiring::ShowNextConfirmation(bool closeOtherwise) {
    if (TBottleToFireInfo* next = pending_.FirstUnconfirmed()) {
        const std::string label = ConfirmLabel(next->BottleNb);
        const int bottle = next->BottleNb;
        hand_([&] { view_.ShowOperatorDialog(label, bottle); });
    } else if (closeOtherwise) {
        hand_([&] { view_.CloseOperatorDialog(); });
    }
}

void TBottleFiring::ManageAutomaticBottleFiring() {
    const TRosetteInfo& ros = setup_.rosette;
    if (FiringBottle || ros.SamplingType == 0)
        return;
    const std::uint64_t now = Now();
    // Due items, first in list order.
    for (int i = 0; i < pending_.Count(); ++i) {
        const TBottleToFireInfo item = pending_.Items(i);
        if (!item.isTimeToFireValid || now < item.timeToFire)
            continue;
        // The item's position goes straight to the firing, past the operator's request slot.
        fireAgain_ = false;
        fireBottle_ = item.BottleNb;
        SetFiring(true);
        bSendBottleFire = true;
        bWaitFireAccepted = bWaitFireCompleted = false;
        hand_([&] { view_.PressFireButton(); });
        pending_.Delete(i);
        ShowNextConfirmation(true);
        return;
    }
    // New items, on the way up once the cast has been deeper than the start pressure. A pressure
    // the pipeline flags invalid reaches no level.
    const IFiringCast::TSnapshot snap = cast_.Snapshot();
    if (!(snap.maxDownPres > ros.StartPressure.ToLongDouble()) ||
        snap.direction != DirectionUp || !snap.pres.Valid())
        return;
    const double wait = ros.WaitOnSampling.ToDouble();
    bool appended = false;
    for (int k = 1; k <= MaxBottles; ++k) {
        if (!ros.BottleList[k - 1] || !ros.BottleCheckList[k - 1] ||
            !(ros.BottlePressList[k - 1].ToLongDouble() >= snap.pres.value))
            continue;
        if (list_.notReady.test(std::size_t(k)) || pending_.Holds(k))
            continue;
        TBottleToFireInfo& item = pending_.Add();
        item.BottleNb = k;
        item.timeToFire = now + Ms(wait);
        item.isTimeToFireValid = ros.OperatorAuth == 1;
        appended = true;
        if (sound_)
            hand_([&] { sound_->Play(); });
    }
    if (!appended)
        return;
    if (ros.OperatorAuth != 1) {
        ShowNextConfirmation(false);
    } else if (wait > 0) {
        const std::string label = WaitLabel(wait);
        hand_([&] { view_.ShowOperatorDialog(label, 0); });
    }
}

void TBottleFiring::FireBottle(bool again, int bottle) {
    Log("Start Fire Bottle");
    hand_([&] { view_.PressFireButton(); });
    if (again) {
        CurrentBottleNumber = bottle;
    } else {
        CurrentBottleNumber = PositionalRosette(setup_.rosette.RosetteType) && bottle != 0
                                  ? bottle
                                  : NextFreeBottle(setup_.rosette, list_.lastBottle,
                                                   list_.recorded);
        if (CurrentBottleNumber != 0) {
            list_.lastBottle = CurrentBottleNumber;
            const std::int32_t last = CurrentBottleNumber;
            hand_([&] { cast_.SetLastBottle(last); });
        }
    }
    bSendBottleFire = false;
    if (CurrentBottleNumber < 1 || CurrentBottleNumber > MaxBottles) {
        // No free position: nothing is sent to the rosette.
        Log("No bottle to fire - Abort firing");
        SetFiring(false);
        bWaitFireAccepted = bWaitFireCompleted = false;
        const bool enable = list_.count < setup_.rosette.InstalledNb;
        hand_([&] { view_.SetFireButton(enable); });
        return;
    }
    // ^T now, the command after the attention delay, in a later pass.
    cast_.SendAttention();
    commandDue_ = true;
    commandAt_ = Now() + Ms(setup_.attentionDelay);
    SetFiring(true);
    bWaitFireAccepted = true;
    bWaitFireCompleted = false;
    tWaitBottle = Now();
    RefreshPanel();
    Log("END Fire Bottle");
}

void TBottleFiring::SendCommandWhenDue() {
    if (!commandDue_ || Now() < commandAt_)
        return;
    commandDue_ = false;
    // A command the port did not take shows as a missing acceptance.
    if (!cast_.SendFire(CurrentBottleNumber))
        WriteLog("Fire Bottle Cmd Error =" + std::to_string(CurrentBottleNumber));
    sentMark_ = cast_.ReceivedMark();
    tWaitBottle = Now();
}

void TBottleFiring::WaitForBottleAccepted() {
    if (commandDue_)
        return;
    // Only a frame that began after the command can answer it.
    const bool fresh = cast_.FrameMark() >= sentMark_;
    const TBottleStatus status = cast_.BtlStatus();
    if (fresh && status == btl_CmdOK) {
        Log("WaitForBottleAccepted - After if btl_CmdOK");
        bSendBottleFire = bWaitFireAccepted = false;
        bWaitFireCompleted = true;
        tWaitBottle = Now();
        RefreshPanel();
        return;
    }
    const bool timedOut = Now() - tWaitBottle > AcceptTimeOutMs;
    const bool refused =
        fresh && status == btl_cmdError && cast_.BtlNumber() == CurrentBottleNumber;
    if (!timedOut && !refused)
        return;
    Log("Rosette Error - Abort firing");
    bSendBottleFire = bWaitFireAccepted = bWaitFireCompleted = false;
    tWaitBottle = Now();
    cast_.SetBtlState(CurrentBottleNumber, timedOut && !refused ? btl_NoResponse : btl_cmdError);
    Record();
}

void TBottleFiring::WaitForBottleCompleted() {
    const bool timedOut = Now() - tWaitBottle > Ms(setup_.fireTimeOut);
    const TBottleStatus status = cast_.BtlStatus();
    if (status <= btl_CmdOK && !timedOut)
        return;
    bSendBottleFire = bWaitFireAccepted = bWaitFireCompleted = false;
    if (status == btl_RosError) {
        Log("WaitForBottleCompleted - Rosette Error - Abort firing");
        tWaitBottle = Now();
    } else if (status <= btl_CmdOK) {
        Log("WaitForBottleCompleted - TimeOut");
        cast_.SetBtlState(cast_.BtlNumber(), btl_RosError);
    } else {
        Log("WaitForBottleCompleted - C_BtlStatus = btl_Closed");
    }
    Record();
}

void TBottleFiring::Record() {
    const int bottle = CurrentBottleNumber;
    const TBottleStatus status = cast_.BtlStatus();
    list_.recorded.set(std::size_t(bottle));
    if (status != btl_Ready)
        list_.notReady.set(std::size_t(bottle));
    else
        list_.notReady.reset(std::size_t(bottle));
    list_.count = static_cast<int>(list_.recorded.count());
    const bool enable = list_.count < setup_.rosette.InstalledNb;
    SetFiring(false);
    const std::string panel = cast_.BottlePanel();
    hand_([&] {
        cast_.SetBottleValue(bottle);
        view_.SetFireButton(enable);
        view_.BottleFired(bottle, status);
        view_.ShowBottlePanel(panel);
    });
}

void TBottleFiring::RefreshPanel() {
    const std::string panel = cast_.BottlePanel();
    hand_([&] { view_.ShowBottlePanel(panel); });
}

} // namespace marevo
