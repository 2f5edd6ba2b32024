#pragma once
// Bottle firing on the acquisition worker: the operator's and the automatic requests, the fire
// command and the two waits that watch the bottle number and status of the frame heads, and the
// record of each firing in the cast's bottle list.
//
// Shared state: the main thread posts a request (one atomic slot, taken once by the worker) and
// the operator's confirmation of a pending item; it reads Firing(). Everything else - the flags,
// the pending list, the position chosen - is the worker's. The cast's bottle list is changed only
// inside a hand-off to the main thread (the worker waits meanwhile), so the windows may read it
// at any time on the main thread.
//
// The fire command is written on the live stream without reading or flushing it: ^T, then after
// the attention delay "FB" + two digits, while the passes go on; the probe's answer bytes travel
// with the frames into the .raw file. Acceptance is read only from frames that began after the
// command was sent, so a status left over from an earlier firing never counts.

#include "acquisition/AcquiView.h"
#include "acquisition/RosetteRules.h"
#include "foundation/BottleStatus.h"
#include "foundation/FlaggedValue.h"
#include "platform/Sound.h"
#include "records/CollectionTypes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace marevo {

// What firing needs of the live cast.
class IFiringCast {
public:
    virtual ~IFiringCast() = default;
    // The bottle number and status of the last frame head (C_BtlNumber, C_BtlStatus), and their
    // setting when a firing gives up.
    virtual int BtlNumber() const = 0;
    virtual TBottleStatus BtlStatus() const = 0;
    virtual void SetBtlState(int number, TBottleStatus status) = 0;
    // Stream positions: just after every byte received so far, and the first byte of the frame
    // the pipeline took last (-1 before the first).
    virtual std::int64_t ReceivedMark() const = 0;
    virtual std::int64_t FrameMark() const = 0;
    // The probe's attention (^T) and the fire command, written as they are; false when the port
    // took less than the whole.
    virtual bool SendAttention() = 0;
    virtual bool SendFire(int bottle) = 0;
    // The published snapshot: current pressure, direction, deepest pressure; and its reset.
    struct TSnapshot {
        TFlaggedValue pres = InvalidFV;
        TDirection direction = DirectionDown;
        long double maxDownPres = 0;
    };
    virtual TSnapshot Snapshot() const = 0;
    virtual void ResetSnapshot() = 0;
    // The cast's bottle list (main thread, or the worker before it starts): last bottle fired,
    // positions recorded, of them those whose status is not "Ready", count.
    struct TBottles {
        std::int32_t lastBottle = 0;
        TBottleSet recorded;
        TBottleSet notReady;
        int count = 0;
    };
    virtual TBottles Bottles() const = 0;
    // Main thread only: LastBottle of the list, and SetBottleValue with the current status.
    virtual void SetLastBottle(std::int32_t bottle) = 0;
    virtual void SetBottleValue(int bottle) = 0;
    // The bottle status panel's text.
    virtual std::string BottlePanel() const = 0;
};

// What the worker takes from the settings when the cast starts.
struct TFiringSetup {
    TRosetteInfo rosette{};
    double fireTimeOut = 0;      // RosFireTimeOut [s]: completion
    double attentionDelay = 0.2; // [s] between ^T and the command (the probe's CommDelay[2])
    std::int32_t firstBottle = 0;
};

// Acceptance time-out [ms]: given up when more than this has passed.
constexpr std::uint64_t AcceptTimeOutMs = 4000;

// One pending automatic firing.
struct TBottleToFireInfo {
    std::int32_t BottleNb = 0;
    bool isTimeToFireValid = false; // false while the operator's confirmation is awaited
    std::uint64_t timeToFire = 0;   // tick [ms] from which it may fire
};

class TBottlesToFireCollection {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TBottleToFireInfo& Items(int i) { return items_.at(std::size_t(i)); }
    TBottleToFireInfo& Add() { return items_.emplace_back(); }
    void Delete(int i) { items_.erase(items_.begin() + i); }
    bool Holds(std::int32_t bottle) const;
    // The oldest item awaiting the operator's confirmation; null when none.
    TBottleToFireInfo* FirstUnconfirmed();

private:
    std::vector<TBottleToFireInfo> items_;
};

// The manual request (SetFireBottleControls) as the main thread decides it.
enum class TManualAction { Beep, Release, Ask };
struct TManualRequest {
    TManualAction action = TManualAction::Release;
    int bottle = 0; // the position the question names (0: none free)
    std::string question;
};
TManualRequest ManualFireRequest(bool workerExists, bool firing, bool again, int requested,
                                 const TRosetteInfo& rosette, const IFiringCast::TBottles& list);

class TBottleFiring {
public:
    // hand: runs a step on the main thread and waits (nothing once the cast ends).
    TBottleFiring(IFiringCast& cast, IAcquiView& view, TFiringSetup setup,
                  std::function<void(const std::function<void()>&)> hand,
                  IAlarmSound* sound = nullptr);

    // The worker's start: empty pending list, idle, the snapshot reset, the list's LastBottle at
    // the first bottle - 1. Called before the worker runs.
    void Begin();
    // The firing steps of one pass, in order.
    void Pass();

    // ---- Main thread ---------------------------------------------------------------------------
    // A firing is requested or in progress (a manual request then only beeps).
    bool Firing() const { return firingShared_ || requestPosted_; }
    // The operator's OK: fire bottle (again). Taken by the worker's next pass.
    void PostRequest(bool again, int bottle);
    // The operator dialog's "Fire" for the item it shows.
    void PostConfirm(int bottle);

    // ---- Worker steps --------------------------------------------------------------------------
    void ManageAutomaticBottleFiring();
    void FireBottle(bool again, int bottle);
    void WaitForBottleAccepted();
    void WaitForBottleCompleted();

    // State, for the tests.
    bool bSendBottleFire = false;
    bool bWaitFireAccepted = false;
    bool bWaitFireCompleted = false;
    bool FiringBottle = false;
    std::int32_t CurrentBottleNumber = 0;
    TBottlesToFireCollection& Pending() { return pending_; }
    const TFiringSetup& Setup() const { return setup_; }

private:
    void TakePosted();
    void SendCommandWhenDue();
    void Log(const std::string& text);
    void SetFiring(bool on);
    // The bottle recorded with the current status, the controls released, the windows refreshed.
    void Record();
    void RefreshPanel();
    void ShowNextConfirmation(bool closeOtherwise);
    std::uint64_t Now() const;

    IFiringCast& cast_;
    IAcquiView& view_;
    TFiringSetup setup_;
    std::function<void(const std::function<void()>&)> hand_;
    IAlarmSound* sound_;
    TBottlesToFireCollection pending_;
    // The worker's copy of the bottle list, kept in step with the list it records into.
    IFiringCast::TBottles list_;
    std::uint64_t tWaitBottle = 0;
    bool commandDue_ = false;       // ^T sent, the command goes at commandAt_
    std::uint64_t commandAt_ = 0;
    std::int64_t sentMark_ = 0;     // stream position when the command went out
    // The firing to start: fire again, position (taken from the request slot or a due item).
    bool fireAgain_ = false;
    std::int32_t fireBottle_ = 0;

    // Shared with the main thread.
    std::atomic<bool> firingShared_{false};
    std::atomic<bool> requestPosted_{false};
    std::atomic<std::int64_t> request_{0}; // again << 32 | bottle
    std::atomic<std::int32_t> confirm_{0};  // bottle confirmed, 0: none
};

} // namespace marevo
