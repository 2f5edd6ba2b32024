#include "acquisition/BottleFiring.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TTestEnv;

// A probe whose frame heads the test sets; each Frame() is a new frame in the stream.
class TFakeFiringCast final : public IFiringCast {
public:
    int BtlNumber() const override { return number; }
    TBottleStatus BtlStatus() const override { return status; }
    void SetBtlState(int n, TBottleStatus s) override {
        number = n;
        status = s;
    }
    std::int64_t ReceivedMark() const override { return received; }
    std::int64_t FrameMark() const override { return frameStart; }
    bool SendAttention() override {
        sent.push_back("^T");
        return true;
    }
    bool SendFire(int bottle) override {
        sent.push_back("FB " + std::to_string(bottle));
        return true;
    }
    TSnapshot Snapshot() const override { return snap; }
    void ResetSnapshot() override { snap = {}; }
    TBottles Bottles() const override { return list; }
    void SetLastBottle(std::int32_t b) override { list.lastBottle = b; }
    void SetBottleValue(int b) override {
        recorded.push_back({b, status});
        list.recorded.set(std::size_t(b));
        if (status != btl_Ready)
            list.notReady.set(std::size_t(b));
        list.count = static_cast<int>(list.recorded.count());
    }
    std::string BottlePanel() const override { return "panel"; }

    // A frame arrives with this head.
    void Frame(int n, TBottleStatus s) {
        frameStart = received;
        received += 40;
        number = n;
        status = s;
    }

    int number = 0;
    TBottleStatus status = btl_Ready;
    std::int64_t received = 0, frameStart = -1;
    std::vector<std::string> sent;
    TSnapshot snap;
    TBottles list;
    struct TRecorded {
        int bottle;
        TBottleStatus status;
        bool operator==(const TRecorded&) const = default;
    };
    std::vector<TRecorded> recorded;
};

class TFiringView final : public IAcquiView {
public:
    void PressFireButton() override { events.push_back("press"); }
    void SetFireButton(bool enable) override { events.push_back(enable ? "release" : "off"); }
    void ShowOperatorDialog(const std::string& label, int) override { dialogs.push_back(label); }
    void CloseOperatorDialog() override { events.push_back("close"); }
    std::vector<std::string> events;
    std::vector<std::string> dialogs;
};

struct TBeeps final : public IAlarmSound {
    void Play() override { ++count; }
    int count = 0;
};

TRosetteInfo Rosette(int type, int positions) {
    TRosetteInfo r{};
    r.RosetteType = static_cast<TRosetteType>(type);
    r.MaxBottlePos = positions;
    for (int k = 0; k < positions; ++k)
        r.BottleList[k] = 1;
    r.InstalledNb = positions;
    r.FirstInstalled = positions > 0 ? 1 : 0;
    r.LastInstalled = positions;
    r.WaitOnSampling = TExtended::FromDouble(0);
    r.StartPressure = TExtended::FromDouble(0);
    return r;
}

// A firing on the fake clock, a pass every 10 ms.
struct TRig {
    explicit TRig(TRosetteInfo r, int first = 1) {
        setup.rosette = r;
        setup.fireTimeOut = 5;
        setup.attentionDelay = 0.2;
        setup.firstBottle = first;
    }
    TBottleFiring& Make() {
        firing = std::make_unique<TBottleFiring>(
            cast, view, setup, [](const std::function<void()>& step) { step(); }, &beeps);
        firing->Begin();
        return *firing;
    }
    // Passes for ms of fake time; a frame with the given head every 40 ms.
    void Run(std::uint64_t ms, int number, TBottleStatus status) {
        for (std::uint64_t t = 0; t < ms; t += 10) {
            if (t % 40 == 0)
                cast.Frame(number, status);
            firing->Pass();
            env.clock.AdvanceMs(10);
        }
    }
    // Passes without frames.
    void Idle(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 10) {
            firing->Pass();
            env.clock.AdvanceMs(10);
        }
    }

    TTestEnv env;
    TFakeFiringCast cast;
    TFiringView view;
    TBeeps beeps;
    TFiringSetup setup;
    std::unique_ptr<TBottleFiring> firing;
};

TEST(BottleFiring, ManualFiringSendsAttentionThenCommandAndRecordsTheClosedBottle) {
    TRig rig(Rosette(ro_1014, 12), 5);
    TBottleFiring& f = rig.Make();
    EXPECT_EQ(rig.cast.list.lastBottle, 4);
    f.PostRequest(false, 0);
    EXPECT_TRUE(f.Firing());
    rig.Idle(100);
    // The command waits for the attention delay; the passes go on meanwhile.
    EXPECT_EQ(rig.cast.sent, std::vector<std::string>{"^T"});
    rig.Idle(150);
    EXPECT_EQ(rig.cast.sent, (std::vector<std::string>{"^T", "FB 5"}));
    rig.Run(1000, 5, btl_CmdOK);
    EXPECT_TRUE(f.bWaitFireCompleted);
    rig.Run(100, 5, btl_Closed);
    EXPECT_FALSE(f.Firing());
    EXPECT_EQ(rig.cast.recorded, (std::vector<TFakeFiringCast::TRecorded>{{5, btl_Closed}}));
    EXPECT_EQ(rig.cast.list.lastBottle, 5);
    EXPECT_EQ(rig.view.events, (std::vector<std::string>{"press", "release"}));
}

// Each outcome is recorded once, with its status, and releases the controls.
TEST(BottleFiring, OutcomesAreRecordedOnceWithTheirStatus) {
    struct TCase {
        const char* name;
        TBottleStatus head;      // what the frame heads say after the command
        std::uint64_t runMs;     // how long they say it
        TBottleStatus recorded;
    } cases[] = {
        {"no answer", btl_Ready, 6000, btl_NoResponse},
        {"command error", btl_cmdError, 500, btl_cmdError},
        {"rosette error", btl_RosError, 500, btl_Ready}, // accepted first, below
        {"completion time-out", btl_CmdOK, 8000, btl_RosError},
    };
    for (const TCase& c : cases) {
        TRig rig(Rosette(ro_1014, 12));
        TBottleFiring& f = rig.Make();
        f.PostRequest(false, 3);
        rig.Idle(300);
        if (std::string(c.name) == "rosette error") {
            rig.Run(200, 3, btl_CmdOK);
            rig.Run(c.runMs, 3, btl_RosError);
        } else {
            rig.Run(c.runMs, 3, c.head);
        }
        const TBottleStatus expected =
            std::string(c.name) == "rosette error" ? btl_RosError : c.recorded;
        ASSERT_EQ(rig.cast.recorded.size(), 1u) << c.name;
        EXPECT_EQ(rig.cast.recorded[0].bottle, 3) << c.name;
        EXPECT_EQ(rig.cast.recorded[0].status, expected) << c.name;
        EXPECT_FALSE(f.Firing()) << c.name;
        EXPECT_EQ(rig.view.events.back(), "release") << c.name;
    }
}

TEST(BottleFiring, AcceptanceAtExactlyFourSecondsStillWaits) {
    TRig rig(Rosette(ro_1014, 12));
    TBottleFiring& f = rig.Make();
    f.PostRequest(false, 2);
    rig.Idle(200);
    f.Pass(); // the command goes now: the acceptance wait starts here
    ASSERT_EQ(rig.cast.sent.size(), 2u);
    rig.env.clock.AdvanceMs(AcceptTimeOutMs);
    f.Pass();
    EXPECT_TRUE(f.bWaitFireAccepted);
    rig.env.clock.AdvanceMs(1);
    f.Pass();
    EXPECT_FALSE(f.bWaitFireAccepted);
    ASSERT_EQ(rig.cast.recorded.size(), 1u);
    EXPECT_EQ(rig.cast.recorded[0].status, btl_NoResponse);
}

// A "Firing" status left over from a firing that timed out is not the answer to the next command.
TEST(BottleFiring, AStaleAcceptanceDoesNotCount) {
    TRig rig(Rosette(ro_1014, 12));
    TBottleFiring& f = rig.Make();
    rig.cast.Frame(1, btl_CmdOK); // before the command
    f.PostRequest(false, 2);
    rig.Idle(4500); // no frame after the command
    ASSERT_EQ(rig.cast.recorded.size(), 1u);
    EXPECT_EQ(rig.cast.recorded[0].status, btl_NoResponse);
}

TEST(BottleFiring, ThePositionFiredByStyle) {
    struct TCase {
        const char* name;
        int type;
        bool again;
        int requested;
        std::int32_t fired;
        std::int32_t lastAfter;
    } cases[] = {
        {"positional asks 0: next after first bottle 5", ro_1014, false, 0, 5, 5},
        {"positional fires what it is asked", ro_SBE, false, 9, 9, 9},
        {"sequential item for 7 fires the next one", ro_1015, false, 7, 5, 5},
        {"fire again keeps LastBottle", ro_1015, true, 2, 2, 4},
    };
    for (const TCase& c : cases) {
        TRig rig(Rosette(c.type, 12), 5);
        TBottleFiring& f = rig.Make();
        f.PostRequest(c.again, c.requested);
        rig.Idle(300);
        EXPECT_EQ(f.CurrentBottleNumber, c.fired) << c.name;
        EXPECT_EQ(rig.cast.sent.back(), "FB " + std::to_string(c.fired)) << c.name;
        EXPECT_EQ(rig.cast.list.lastBottle, c.lastAfter) << c.name;
    }
}

TEST(BottleFiring, NoFreePositionSendsNothing) {
    TRig rig(Rosette(ro_1015, 2));
    rig.cast.list.recorded.set(1);
    rig.cast.list.recorded.set(2);
    rig.cast.list.count = 2;
    TBottleFiring& f = rig.Make();
    EXPECT_EQ(NextFreeBottle(rig.setup.rosette, 0, rig.cast.list.recorded), 0);
    f.PostRequest(false, 0);
    rig.Idle(300);
    EXPECT_TRUE(rig.cast.sent.empty());
    EXPECT_FALSE(f.Firing());
    EXPECT_EQ(rig.view.events.back(), "off");
}

TEST(BottleFiring, ControlsGoOffWhenTheCastHoldsEveryInstalledBottle) {
    TRig rig(Rosette(ro_1014, 2));
    TBottleFiring& f = rig.Make();
    for (int bottle : {1, 2}) {
        f.PostRequest(false, bottle);
        rig.Idle(300);
        rig.Run(200, bottle, btl_CmdOK);
        rig.Run(100, bottle, btl_Closed);
    }
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{"press", "release", "press", "off"}));
}

TEST(BottleFiring, AManualRequestWhileFiringBeeps) {
    IFiringCast::TBottles list;
    list.lastBottle = 3;
    const TRosetteInfo r = Rosette(ro_1014, 12);
    EXPECT_EQ(ManualFireRequest(true, true, false, 0, r, list).action, TManualAction::Beep);
    EXPECT_EQ(ManualFireRequest(false, false, false, 0, r, list).action, TManualAction::Release);
    const TManualRequest ask = ManualFireRequest(true, false, false, 0, r, list);
    EXPECT_EQ(ask.action, TManualAction::Ask);
    EXPECT_EQ(ask.question, "Are you sure you want to fire bottle 4?");
    EXPECT_EQ(ManualFireRequest(true, false, true, 2, r, list).question,
              "Are you sure you want to fire again bottle 2?");
}

// Automatic rosette: levels 30 and 20 dbar, start pressure 40.
struct TAutoRig : TRig {
    explicit TAutoRig(int auth, double wait) : TRig(Rosette(ro_1014, 4)) {
        TRosetteInfo& r = setup.rosette;
        r.SamplingType = 1;
        r.OperatorAuth = auth;
        r.WaitOnSampling = TExtended::FromDouble(wait);
        r.StartPressure = TExtended::FromDouble(40);
        r.BottleCheckList[0] = r.BottleCheckList[1] = 1;
        r.BottlePressList[0] = TExtended::FromDouble(30);
        r.BottlePressList[1] = TExtended::FromDouble(20);
    }
    void At(float pres, TDirection dir, long double deepest, bool valid = true) {
        cast.snap.pres = valid ? TFlaggedValue{pres, 0} : InvalidFV;
        cast.snap.direction = dir;
        cast.snap.maxDownPres = deepest;
    }
};

TEST(BottleFiring, AutomaticItemsOnlyOnTheWayUpFromBelowTheStartPressure) {
    struct TCase {
        const char* name;
        float pres;
        TDirection dir;
        long double deepest;
        bool valid;
        int items;
    } cases[] = {
        {"down-cast", 25, DirectionDown, 60, true, 0},
        {"never below start", 25, DirectionUp, 35, true, 0},
        {"up at 25: level 30 reached", 25, DirectionUp, 60, true, 1},
        {"up at 15: both", 15, DirectionUp, 60, true, 2},
        {"invalid pressure", 0, DirectionUp, 60, false, 0},
    };
    for (const TCase& c : cases) {
        TAutoRig rig(1, 10);
        TBottleFiring& f = rig.Make();
        rig.At(c.pres, c.dir, c.deepest, c.valid);
        f.ManageAutomaticBottleFiring();
        f.ManageAutomaticBottleFiring(); // the same levels make no second item
        EXPECT_EQ(f.Pending().Count(), c.items) << c.name;
        EXPECT_EQ(rig.beeps.count, c.items) << c.name;
    }
}

TEST(BottleFiring, WaitingTimeThenEachItemFiresOnceInTurn) {
    TAutoRig rig(1, 10);
    TBottleFiring& f = rig.Make();
    rig.At(15, DirectionUp, 60);
    f.ManageAutomaticBottleFiring();
    EXPECT_EQ(rig.view.dialogs, std::vector<std::string>{"Next bottles will be fired in 10 seconds!"});
    rig.Idle(9900);
    EXPECT_TRUE(rig.cast.sent.empty());
    rig.Idle(400);
    EXPECT_EQ(rig.cast.sent, (std::vector<std::string>{"^T", "FB 1"}));
    rig.Run(200, 1, btl_CmdOK);
    rig.Run(100, 1, btl_Closed);
    rig.Idle(300);
    rig.Run(200, 2, btl_CmdOK);
    rig.Run(100, 2, btl_Closed);
    rig.Run(2000, 2, btl_Closed);
    EXPECT_EQ(rig.cast.recorded, (std::vector<TFakeFiringCast::TRecorded>{{1, btl_Closed},
                                                                          {2, btl_Closed}}));
}

// Authorisation "Yes" with two levels reached in one pass: the dialog asks for the oldest, then
// for the next; both fire.
TEST(BottleFiring, TwoItemsAwaitingFireBothFire) {
    TAutoRig rig(0, 0);
    TBottleFiring& f = rig.Make();
    rig.At(15, DirectionUp, 60);
    f.ManageAutomaticBottleFiring();
    EXPECT_EQ(rig.view.dialogs, std::vector<std::string>{"Click Fire to close bottle 1!"});
    rig.Idle(1000);
    EXPECT_TRUE(rig.cast.sent.empty());
    f.PostConfirm(1);
    rig.Idle(300);
    EXPECT_EQ(rig.view.dialogs.back(), "Click Fire to close bottle 2!");
    rig.Run(200, 1, btl_CmdOK);
    rig.Run(100, 1, btl_Closed);
    f.PostConfirm(2);
    rig.Idle(300);
    rig.Run(200, 2, btl_CmdOK);
    rig.Run(100, 2, btl_Closed);
    EXPECT_EQ(rig.cast.recorded, (std::vector<TFakeFiringCast::TRecorded>{{1, btl_Closed},
                                                                          {2, btl_Closed}}));
    EXPECT_EQ(f.Pending().Count(), 0);
}

// A manual request made while an automatic firing runs waits for its end and keeps its own
// position; the automatic items keep theirs.
TEST(BottleFiring, AManualRequestDuringAnAutomaticFiringFiresNextWithItsPosition) {
    TAutoRig rig(1, 0);
    TBottleFiring& f = rig.Make();
    rig.At(15, DirectionUp, 60);
    rig.Idle(300); // items 1 and 2; 1 fires
    ASSERT_EQ(rig.cast.sent, (std::vector<std::string>{"^T", "FB 1"}));
    f.PostRequest(false, 4);
    rig.Run(200, 1, btl_CmdOK);
    rig.Run(100, 1, btl_Closed);
    rig.Idle(300);
    rig.Run(200, 4, btl_CmdOK);
    rig.Run(100, 4, btl_Closed);
    rig.Idle(300);
    rig.Run(200, 2, btl_CmdOK);
    rig.Run(100, 2, btl_Closed);
    EXPECT_EQ(rig.cast.recorded,
              (std::vector<TFakeFiringCast::TRecorded>{{1, btl_Closed}, {4, btl_Closed},
                                                       {2, btl_Closed}}));
}

TEST(BottleFiring, APositionRecordedOtherThanReadyGetsNoItem) {
    TAutoRig rig(1, 0);
    rig.cast.list.recorded.set(1);
    rig.cast.list.notReady.set(1);
    TBottleFiring& f = rig.Make();
    rig.At(15, DirectionUp, 60);
    f.ManageAutomaticBottleFiring();
    ASSERT_EQ(f.Pending().Count(), 1);
    EXPECT_EQ(f.Pending().Items(0).BottleNb, 2);
    EXPECT_TRUE(rig.view.dialogs.empty()); // no waiting time: no dialog
}

} // namespace
} // namespace marevo
