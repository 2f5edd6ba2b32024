#pragma once
// TLiveFiringCast: bottle firing on the live cast - the collection's frame-head state, bottle
// list and snapshot, and the probe port of its data source.

#include "acquisition/BottleFiring.h"

namespace marevo {

class TBottlesCollection;
class TParamCollection;
class TRawStream;

class TLiveFiringCast final : public IFiringCast {
public:
    TLiveFiringCast(TParamCollection& col, TRawStream& source);

    int BtlNumber() const override;
    TBottleStatus BtlStatus() const override;
    void SetBtlState(int number, TBottleStatus status) override;
    std::int64_t ReceivedMark() const override;
    std::int64_t FrameMark() const override;
    bool SendAttention() override;
    bool SendFire(int bottle) override;
    TSnapshot Snapshot() const override;
    void ResetSnapshot() override;
    TBottles Bottles() const override;
    void SetLastBottle(std::int32_t bottle) override;
    void SetBottleValue(int bottle) override;
    std::string BottlePanel() const override;

private:
    bool Write(const std::string& bytes);

    TParamCollection& col_;
    TRawStream& source_;
};

// The bottle list as firing sees it.
IFiringCast::TBottles BottlesOf(const TBottlesCollection* list);

} // namespace marevo
