#include "processing/Binner.h"

#include "foundation/Guard.h"
#include "parameters/ParaNumbers.h"
#include "processing/Collections.h"
#include "processing/FormulaSettings.h"
#include "records/CastInfo.h"
#include "records/Config.h"
#include "records/GenConfig.h"
#include "records/Settings.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace marevo {

namespace {

// A span of days in seconds, to the microsecond.
long double Seconds(long double days) {
    return std::round(days * 86400.0L * 1e6L) / 1e6L;
}

constexpr TParamCollection::TBinEnds NoEnds{};

} // namespace

TBinner::TBinner(TParamCollection& col, TBinAxis axis, TBinMethod method)
    : col_(col), axis_(axis), method_(method) {
    const TAcquiCfg& cfg = col.Cfg().AcquiCfg;
    const TFrameInfo& frame = col.FrameInfo;
    count_ = std::clamp(std::min(frame.ExtCount, col.Count()), 0, MaxBinnedInputs);
    const auto input = [&](std::int32_t pos) { return pos >= 0 && pos < count_ ? pos : -1; };
    presItem_ = input(frame.PresPos);
    if (axis_ == TBinAxis::Time) {
        axisItem_ = input(frame.TimsPos);
        if (axisItem_ < 0)
            Raise("no time counter among the input parameters");
    } else {
        axisItem_ = presItem_;
        if (axisItem_ < 0)
            Raise("no pressure among the input parameters");
    }
    for (int i = 0; i < count_; ++i)
        if (!col.Items(i)->SortedBuffer)
            Raise("no binned series for " + col.Items(i)->GetParaStr());

    const TSortInfo& s = col.Bin.SortInfo;
    if (axis_ == TBinAxis::Time) {
        step_ = s.STimeDelta;
        first_ = s.STimeOffset;
        half_ = method_ == TBinMethod::Average ? cfg.TimeMeanItv / 2 : step_ / 2;
        usable_ = std::isfinite(step_) && Seconds(step_) > 0;
    } else {
        step_ = s.SPresDelta.ToLongDouble();
        first_ = s.SPresOffset.ToLongDouble();
        half_ = method_ == TBinMethod::Average ? cfg.VertMeanItv.ToLongDouble() / 2 : step_ / 2;
        firstAvailable_ = cfg.VertAlghMethod.ToLongDouble() == 1;
        usable_ = std::isfinite(step_) && step_ > 0;
    }
    // An averaging window of no width would take no sample at all: the bins then touch.
    if (!(std::isfinite(half_) && U(half_) > 0))
        half_ = step_ / 2;
    if (axis_ == TBinAxis::Depth) {
        const long double latitude =
            col.Loaded.CastHeader ? col.Loaded.CastHeader->latitude[0].ToLongDouble() : 0;
        depthSettings_ = FormulaSettingsOf(col.Gen(), latitude);
    }
    if (usable_) {
        col_.Bin.I_Low = col_.Bin.I_Center - half_;
        col_.Bin.I_High = col_.Bin.I_Center + half_;
    }
}

std::optional<long double> TBinner::Depth(long double pressure) const {
    const TFlaggedValue p{static_cast<float>(pressure), 0};
    const TFlaggedValue d = ComputeDerived(403, &p, nullptr, depthSettings_);
    if (!d.Valid())
        return std::nullopt;
    return d.value;
}

long double TBinner::U(long double position) const {
    return axis_ == TBinAxis::Time ? Seconds(position) : position;
}

std::optional<long double> TBinner::Coordinate(int k, bool record) {
    if (axis_ == TBinAxis::Time) {
        const TFlaggedValue t = BinElement(col_.Items(axisItem_)->PostLinBuf.get(), k);
        if (!t.Valid() || !std::isfinite(t.value))
            return std::nullopt;
        if (record)
            col_.Bin.c_SortTime = t.value / 86400.0;
        return t.value;
    }
    const TFlaggedValue p = BinElement(col_.Items(presItem_)->PostLinBuf.get(), k);
    if (!p.Valid() || !std::isfinite(p.value))
        return std::nullopt;
    if (record)
        col_.Bin.c_SortPres = p.value;
    if (axis_ == TBinAxis::Pressure)
        return p.value;
    return Depth(p.value);
}

bool TBinner::InWindow(long double v) const {
    return U(col_.Bin.I_Low) <= v && v < U(col_.Bin.I_High);
}

void TBinner::MoveCentre(long double delta) {
    col_.Bin.I_Center += delta;
    col_.Bin.I_Low = col_.Bin.I_Center - half_;
    col_.Bin.I_High = col_.Bin.I_Center + half_;
}

void TBinner::Add(int k, long double v) {
    if (method_ == TBinMethod::Average) {
        for (int i = 0; i < count_; ++i) {
            const TFlaggedValue fv = BinElement(col_.Items(i)->PostLinBuf.get(), k);
            if (!fv.Valid())
                continue;
            ++col_.Bin.I_MeanNb[i];
            col_.Bin.I_MeanSum[i].value += fv.value;
            col_.Bin.I_MeanSumX[i] += fv.value;
        }
        return;
    }
    const bool lower = v < U(col_.Bin.I_Center);
    const auto take = [&](TParamCollection::TBinEnds& e, long double x) {
        if (lower) {
            if (!col_.Bin.I_FirstLoFlag) {
                e.FirstLo = x;
                ++e.FirstLoNb;
            }
            e.LastLo = x;
            ++e.LastLoNb;
        } else {
            if (!col_.Bin.I_FirstHiFlag) {
                e.FirstHi = x;
                ++e.FirstHiNb;
            }
            e.LastHi = x;
            ++e.LastHiNb;
        }
    };
    for (int i = 0; i < count_; ++i) {
        const TFlaggedValue fv = BinElement(col_.Items(i)->PostLinBuf.get(), k);
        if (fv.Valid())
            take(col_.Bin.I_Ends[i], fv.value);
    }
    take(col_.Bin.I_Ends[TParamCollection::BinAxisEntry], v);
    if (lower)
        col_.Bin.I_FirstLoFlag = col_.Bin.I_LastLoFlag = true;
    else
        col_.Bin.I_FirstHiFlag = col_.Bin.I_LastHiFlag = true;
}

bool TBinner::BinHasSamples() const {
    if (method_ == TBinMethod::Average)
        return col_.Bin.I_MeanNb[axisItem_] >= 1;
    const TParamCollection::TBinEnds& e = col_.Bin.I_Ends[TParamCollection::BinAxisEntry];
    return e.FirstLoNb + e.LastLoNb + e.FirstHiNb + e.LastHiNb > 0;
}

TFlaggedValue TBinner::EmptyValue(int i) const {
    const std::int32_t last = col_.Bin.SortInfo.MaxIndex;
    if (last < 1)
        return InvalidFV;
    return {BinElement(col_.Items(i)->SortedBuffer.get(), last).value, 1};
}

void TBinner::WriteBin(bool upwards) {
    TFlaggedValue values[33];
    const long double c = U(col_.Bin.I_Center);
    if (method_ == TBinMethod::Average) {
        for (int i = 0; i < count_; ++i)
            values[i] = col_.Bin.I_MeanNb[i] >= 1
                            ? TFlaggedValue{static_cast<float>(col_.Bin.I_MeanSumX[i] /
                                                               col_.Bin.I_MeanNb[i]),
                                            0}
                            : EmptyValue(i);
    } else {
        // The pair of samples on either side of the centre: going down, the last one below and
        // the first one above it; going up, the first one below and the last one above. A side
        // without a sample takes the other side's.
        const auto pair = [&](const TParamCollection::TBinEnds& e, long double& lo,
                              long double& hi) {
            std::int32_t loNb = 0, hiNb = 0;
            if (upwards) {
                lo = e.FirstLo, loNb = e.FirstLoNb, hi = e.LastHi, hiNb = e.LastHiNb;
            } else {
                lo = e.LastLo, loNb = e.LastLoNb, hi = e.FirstHi, hiNb = e.FirstHiNb;
            }
            if (loNb == 0 && hiNb == 0)
                return false;
            if (hiNb == 0)
                hi = lo;
            if (loNb == 0)
                lo = hi;
            return true;
        };
        long double x1 = 0, x2 = 0;
        const bool positioned = pair(col_.Bin.I_Ends[TParamCollection::BinAxisEntry], x1, x2);
        for (int i = 0; i < count_; ++i) {
            long double y1 = 0, y2 = 0;
            values[i] = positioned && pair(col_.Bin.I_Ends[i], y1, y2)
                            ? TParamCollection::Interpolate(c, x1, x2, y1, y2)
                            : EmptyValue(i);
        }
    }
    const TFlaggedValue pressure = presItem_ >= 0 ? values[presItem_] : InvalidFV;
    // The row's coordinate is the bin centre, flagged when the bin had no valid coordinate.
    values[axisItem_].value = static_cast<float>(c);

    TSortInfo& s = col_.Bin.SortInfo;
    const std::int32_t row = s.MaxIndex + 1;
    WriteRow(values);
    if (pressure.Valid() && pressure.value >= s.MaxDownPres.ToLongDouble()) {
        s.MaxDownPres = TExtended::FromLongDouble(pressure.value);
        s.MaxDownIndex = row;
    }
}

void TBinner::WriteRow(const TFlaggedValue* values) {
    TSortInfo& s = col_.Bin.SortInfo;
    const std::int32_t row = s.MaxIndex + 1;
    if (row > MaxFVIndex)
        Raise("the binned table is full at row " + std::to_string(row));
    bool flagged = false;
    for (int i = 0; i < count_; ++i) {
        col_.Items(i)->SortedBuffer->AddFVAt(values[i], row);
        flagged = flagged || !values[i].Valid();
    }
    if (flagged)
        ++col_.Bin.SortingExtractionError;
    s.MaxIndex = row;
}

void TBinner::ClearBin() {
    std::fill(std::begin(col_.Bin.I_MeanSum), std::end(col_.Bin.I_MeanSum), ZeroFV);
    std::fill(std::begin(col_.Bin.I_MeanNb), std::end(col_.Bin.I_MeanNb), 0);
    std::fill(std::begin(col_.Bin.I_MeanSumX), std::end(col_.Bin.I_MeanSumX), 0.0L);
    std::fill(std::begin(col_.Bin.I_Ends), std::end(col_.Bin.I_Ends), NoEnds);
    col_.Bin.I_FirstLoFlag = col_.Bin.I_LastLoFlag = col_.Bin.I_FirstHiFlag =
        col_.Bin.I_LastHiFlag = false;
}

void TBinner::FillGap(int end) {
    const std::int32_t base = col_.Bin.SortInfo.MaxIndex;
    TFlaggedValue values[33];
    for (int i = 0; i < count_; ++i)
        values[i] = EmptyValue(i);
    const long double step = U(step_);
    const TLinearArray* axisRows = col_.Items(axisItem_)->SortedBuffer.get();
    for (int row = base + 1; row < end; ++row) {
        values[axisItem_] = {static_cast<float>(BinElement(axisRows, row - 1).value + step), 1};
        WriteRow(values);
    }
}

void TBinner::Forward(long double v, int k) {
    TSortInfo& s = col_.Bin.SortInfo;
    // Whole bins the sample jumped over; a jump beyond any table is a bad sample, not a gap.
    const long double bins = (v - U(col_.Bin.I_High)) / U(step_);
    if (bins + s.MaxIndex + 2 > MaxFVIndex)
        Raise("sample " + std::to_string(static_cast<double>(v)) +
              " lies too far beyond the bin in progress");

    if (!BinHasSamples() && s.MaxIndex < 0 && firstAvailable_ && axis_ != TBinAxis::Time) {
        // "Use first available pressure": the table starts at the bin before the first sample's.
        do
            MoveCentre(step_);
        while (v >= U(col_.Bin.I_High));
        MoveCentre(-step_);
    } else {
        WriteBin(false);
    }
    ClearBin();

    int steps = 0;
    do {
        MoveCentre(step_);
        ++steps;
    } while (v >= U(col_.Bin.I_High));
    FillGap(s.MaxIndex + steps);
    if (InWindow(v))
        Add(k, v);
    col_.Bin.I_LastSortedIndex = k;
}

void TBinner::Backward(long double v, int k) {
    WriteBin(true);
    ClearBin();
    // Samples passed while the direction was still being decided were left out; the bins the
    // sample jumped over take them now.
    const int from = std::max(col_.Bin.I_LastSortedIndex, 0);
    for (;;) {
        MoveCentre(-step_);
        if (v >= U(col_.Bin.I_Low))
            break;
        for (int j = from; j < k; ++j)
            if (const auto cj = Coordinate(j, false); cj && InWindow(*cj))
                Add(j, *cj);
        WriteBin(true);
        ClearBin();
    }
    if (v < U(col_.Bin.I_High))
        Add(k, v);
    col_.Bin.I_LastSortedIndex = k;
}

void TBinner::Sample() {
    const int k = col_.Acqui.PostLBIndexO;
    if (!usable_ || k < 0)
        return;
    const std::optional<long double> coordinate = Coordinate(k, true);
    if (!coordinate)
        return;
    const long double v = *coordinate;
    const long double c = col_.Bin.I_Center;
    if (InWindow(v)) {
        Add(k, v);
        col_.Bin.I_LastSortedIndex = k;
    } else if (axis_ == TBinAxis::Time || col_.Acqui.S_direction == DirectionDown) {
        if (v >= U(c + step_ - half_))
            Forward(v, k);
    } else if (v < U(c - step_ + half_) && v >= U(first_)) {
        // Nothing shallower than the first bin is binned on the way up.
        Backward(v, k);
    }
}

void TBinner::End() {
    if (!usable_)
        return;
    if (BinHasSamples())
        WriteBin(col_.Acqui.S_direction == DirectionUp);

    TSortInfo& s = col_.Bin.SortInfo;
    const bool deepestValue = col_.Cfg().AcquiCfg.VertLastValueMethod.ToLongDouble() == 1;
    if (axis_ != TBinAxis::Time && deepestValue && s.MaxDownIndex >= 0 &&
        s.MaxIndex >= s.MaxDownIndex) {
        const long double deepest = s.MaxDownPres.ToLongDouble();
        const std::optional<long double> value =
            axis_ == TBinAxis::Pressure ? std::optional<long double>(deepest) : Depth(deepest);
        TLinearArray& rows = *col_.Items(axisItem_)->SortedBuffer;
        if (value) {
            const TFlaggedValue old = BinElement(&rows, s.MaxDownIndex);
            rows.SetFVAt({static_cast<float>(*value), old.flag}, s.MaxDownIndex);
        }
    }
    ClearBin();
}

} // namespace marevo
