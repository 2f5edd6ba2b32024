#include "acquisition/AcquiCast.h"

#include "foundation/BottleStatus.h"
#include "probelink/QvlUtil.h"
#include "probelink/RawStream.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"

namespace marevo {

namespace {

// Holds the row lock, when there is one, for its lifetime.
class TRowGuard {
public:
    explicit TRowGuard(TCastRowLock* lock) : lock_(lock) {
        if (lock_)
            lock_->lock();
    }
    ~TRowGuard() {
        if (lock_)
            lock_->unlock();
    }
    TRowGuard(const TRowGuard&) = delete;
    TRowGuard& operator=(const TRowGuard&) = delete;

private:
    TCastRowLock* lock_;
};

} // namespace

std::string BottlePanelText(int bottle, int status) {
    if (status == btl_Ready)
        return "Ready";
    return std::to_string(bottle) + ":" + std::string(BottleStatusName(status));
}

TLiveCast::TLiveCast(TParamCollection& col, TRawStream& source, TQvlUtil* protocol)
    : col_(col), source_(source), protocol_(protocol) {}

void TLiveCast::SendStartData() {
    if (protocol_ && source_.CommStream())
        protocol_->SendProbeCommand(cm_OL, *source_.CommStream());
}

void TLiveCast::MarkStart(TDateTime at) {
    TRowGuard guard(rowLock_);
    if (col_.Loaded.CastHeader)
        col_.Loaded.CastHeader->CastTime[0] = at;
    if (protocol_)
        protocol_->WriteXfrStart(at);
}

bool TLiveCast::DoAcqui() {
    TRowGuard guard(rowLock_);
    return col_.DoAcqui(source_);
}

void TLiveCast::EvaluateAlarms(bool (&on)[AlarmCount]) {
    col_.SetAlarm();
    for (int i = 0; i < AlarmCount; ++i)
        on[i] = col_.BtlAlarm.AlarmOn[i];
}

TRealTimeStatus TLiveCast::RTStatus() const {
    return col_.Acqui.S_RTStatus;
}
TFlaggedValue TLiveCast::Pressure() const {
    return col_.Acqui.c_pres;
}
std::int32_t TLiveCast::Frames() const {
    return col_.Acqui.RawIndex;
}
std::int64_t TLiveCast::UnsavedBytes() const {
    return source_.UnsavedBytes();
}
std::int64_t TLiveCast::SavableBytes() const {
    return source_.SavableBytes();
}
void TLiveCast::SaveToRaw() {
    source_.SaveToRawFiles();
}

TSourceLinks TLiveCast::Links() const {
    return {source_.CTDLinkOff(), source_.NMEALinkOff(), source_.PARLinkOff(), source_.NoData()};
}

bool TLiveCast::UsesNmea() const {
    return col_.FrameInfo.UseNmea;
}
bool TLiveCast::UsesExternal() const {
    return col_.FrameInfo.UseExternal;
}
bool TLiveCast::EndOfStream() const {
    return source_.EndOfStream();
}
bool TLiveCast::StopRequested() const {
    return source_.StopRequested();
}

std::string TLiveCast::BottlePanel() const {
    return BottlePanelText(col_.BtlAlarm.C_BtlNumber, col_.BtlAlarm.C_BtlStatus);
}

void TLiveCast::DoAcquiEnd() {
    TRowGuard guard(rowLock_);
    col_.DoAcquiEnd();
    col_.Acqui.RealTimeOn = false;
}

TAcquiCounts TLiveCast::Counts() const {
    TAcquiCounts c;
    c.frames = col_.Acqui.RawIndex;
    c.invalid = col_.Loaded.CastHeader ? col_.Loaded.CastHeader->FrameError : col_.Acqui.FrameError;
    c.validation = col_.Acqui.ValidateError;
    c.crc = source_.CRCError();
    c.time = source_.TIMEError();
    return c;
}

} // namespace marevo
