#include "acquisition/FiringCast.h"

#include "acquisition/AcquiCast.h"
#include "foundation/EventLog.h"
#include "probelink/FileComm.h"
#include "probelink/QvlAnswers.h"
#include "probelink/RawStream.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"

#include <fmt/core.h>

namespace marevo {

IFiringCast::TBottles BottlesOf(const TBottlesCollection* list) {
    IFiringCast::TBottles b;
    if (!list)
        return b;
    b.lastBottle = list->LastBottle;
    b.count = list->Count();
    for (int i = 0; i < list->Count(); ++i) {
        const TBottleInfo& bottle = list->Items(i);
        if (bottle.BottleNb < 1 || bottle.BottleNb > MaxBottles)
            continue;
        b.recorded.set(std::size_t(bottle.BottleNb));
        if (bottle.BtlStatus != btl_Ready)
            b.notReady.set(std::size_t(bottle.BottleNb));
    }
    return b;
}

TLiveFiringCast::TLiveFiringCast(TParamCollection& col, TRawStream& source)
    : col_(col), source_(source) {}

int TLiveFiringCast::BtlNumber() const { return col_.BtlAlarm.C_BtlNumber; }
TBottleStatus TLiveFiringCast::BtlStatus() const { return col_.BtlAlarm.C_BtlStatus; }

void TLiveFiringCast::SetBtlState(int number, TBottleStatus status) {
    col_.BtlAlarm.C_BtlNumber = static_cast<std::uint8_t>(number);
    col_.BtlAlarm.C_BtlStatus = status;
}

std::int64_t TLiveFiringCast::ReceivedMark() const { return source_.ReceivedNb(); }
std::int64_t TLiveFiringCast::FrameMark() const { return source_.LastFrameStart(); }

bool TLiveFiringCast::Write(const std::string& bytes) {
    TFileCOMM* port = source_.CommStream();
    return port && port->Write(bytes.data(), bytes.size()) == bytes.size();
}

bool TLiveFiringCast::SendAttention() {
    return Write(std::string{char(CtrlT), char(DelByte)});
}

bool TLiveFiringCast::SendFire(int bottle) {
    WriteLog(fmt::format("Send FB cmd Bottle No={}", bottle));
    return Write(fmt::format("{} {:02d}", CmdText(cm_FB), bottle) + char(LineEnd));
}

IFiringCast::TSnapshot TLiveFiringCast::Snapshot() const {
    const TParamCollection::TAcquiSnapshot s = col_.Snapshot();
    return {s.Pres, s.Direction, s.MaxDownPres};
}

void TLiveFiringCast::ResetSnapshot() { col_.ResetSnapshot(); }

IFiringCast::TBottles TLiveFiringCast::Bottles() const { return BottlesOf(col_.Loaded.Bottles); }

void TLiveFiringCast::SetLastBottle(std::int32_t bottle) {
    if (col_.Loaded.Bottles)
        col_.Loaded.Bottles->LastBottle = bottle;
}

void TLiveFiringCast::SetBottleValue(int bottle) { col_.SetBottleValue(bottle); }

std::string TLiveFiringCast::BottlePanel() const {
    return BottlePanelText(col_.BtlAlarm.C_BtlNumber, col_.BtlAlarm.C_BtlStatus);
}

} // namespace marevo
