#pragma once
// The remote depth repeater's switch and the logic of its view, without windows: the switch
// starts and stops the worker as the environment says (start-up, the environment dialog's OK,
// closing); the message editor keeps the message text, its 10-second confirmation timer on the
// clock seam and the requests of the "Send MSG" and "Init RDR" buttons.

#include "acquisition/RemoteDepth.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace marevo {

class TEnviron;

class TRemoteDepthSwitch {
public:
    using TDeviceMaker = std::function<std::unique_ptr<ISerialDevice>()>;
    // sources outlives the switch; makeDevice gives a closed device for each start.
    TRemoteDepthSwitch(const TRDRSources& sources, TDeviceMaker makeDevice, IClock& clock);
    ~TRemoteDepthSwitch() { Stop(); }
    TRemoteDepthSwitch(const TRemoteDepthSwitch&) = delete;
    TRemoteDepthSwitch& operator=(const TRemoteDepthSwitch&) = delete;

    // Set before Apply: handed to each worker (TRDRLoop::Shown).
    std::function<void(const TRDRShown&)> Shown;

    // Enabled and no worker: opens the port and starts one (a port that fails shows its box and
    // switches the repeater off in environ). Disabled and a worker: stops it. True when a worker
    // runs afterwards.
    bool Apply(TEnviron& environ);
    // At closing: stops the worker, if any.
    void Stop();
    bool Active() const { return worker_ && worker_->Active(); }
    TRemoteDepthThread* Worker() { return worker_.get(); }

private:
    const TRDRSources& sources_;
    TDeviceMaker makeDevice_;
    IClock& clock_;
    std::unique_ptr<TRemoteDepthThread> worker_;
};

// Wait after the last edit of the message before the operator is asked to send it [ms].
constexpr std::uint64_t RDRMessageTimerMs = 10'000;
inline constexpr std::string_view RDRSendQuestion = "Do you want to send the inserted message?";

class TRDRMessageEditor {
public:
    // request: passes rdr_Message or rdr_Init on to the worker (nothing when none runs).
    explicit TRDRMessageEditor(std::function<void(unsigned)> request);

    // Called whenever the text the worker sends changes (to keep TRDRPanel's copy).
    std::function<void(std::string_view)> TextChanged;

    // The edit changed (EditMsgChange): keeps the text, restarts the timer.
    void EditMsgChange(std::string_view text, std::uint64_t now);
    // The timer (RDRViewTimerTimer), called with the time now: once it has run its 10 s, stops
    // and asks the operator; OK requests the message and keeps it as lastMsgSent, Cancel puts
    // lastMsgSent back into the edit. True when it fired.
    bool RDRViewTimerTimer(std::uint64_t now);
    // "Send MSG": stops the timer, keeps the text as lastMsgSent, requests the message.
    void SendMsgClick();
    // "Init RDR": requests a re-initialisation.
    void InitRDRClick();

    const std::string& Text() const { return text_; }
    const std::string& LastMsgSent() const { return lastMsgSent_; }
    bool TimerOn() const { return deadline_.has_value(); }

private:
    void SetText(std::string text);

    std::function<void(unsigned)> request_;
    std::string text_;
    std::string lastMsgSent_;
    std::optional<std::uint64_t> deadline_;
};

} // namespace marevo
