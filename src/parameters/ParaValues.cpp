// The value operations of a parameter: current value, value in a stored frame, the computed
// series, the first filter, smoothing, validation limits and the automatic plot range.

#include "parameters/Parameter.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace marevo {

namespace {

// Nesting of CurValue/CalcValue/CalcUpdated through the links. A chain of inputs is never longer
// than a collection, so a deeper one can only be a cycle in the links.
constexpr int MaxLinkDepth = 64;
thread_local int linkDepth = 0;

class TLinkDepth {
public:
    TLinkDepth() {
        if (++linkDepth > MaxLinkDepth) {
            --linkDepth;
            Raise("the inputs are linked in a cycle");
        }
    }
    ~TLinkDepth() { --linkDepth; }
    TLinkDepth(const TLinkDepth&) = delete;
    TLinkDepth& operator=(const TLinkDepth&) = delete;
};

bool IsComputed(const TParamRaw& p) {
    return p.ParaType() == Pt_Calc || p.ParaType() == Pt_CWC;
}

int LinkCount(const TParamRaw& p) {
    return std::clamp(p.ParaFunction.LinkNb, 0, MaxLinks);
}

// Element index of a series, invalid when the series or the element does not exist.
TFlaggedValue ElementOf(const TLinearArray* series, int index) {
    if (!series || index < 0 || index > series->LastIndice)
        return InvalidFV;
    return series->Data()[index];
}

// The coefficients the formula uses: those of CalibPtr when CalibLink names a parameter. Empty
// optional: none. A named but unresolved parameter sets `missing`.
std::optional<TFormulaCoefs> CoefsOf(const TParamRaw& p, bool& missing) {
    missing = false;
    if (p.ParaFunction.CalibLink <= 0)
        return std::nullopt;
    if (!p.CalibPtr) {
        missing = true;
        return std::nullopt;
    }
    return TFormulaCoefs::From(p.CalibPtr->ParaCalib.calib);
}

void ReportValueFailure(std::string_view prefix, const TParamRaw& p) {
    ReportFailure({prefix}, CurrentFailureMessage() + p.GetParaStr());
}

} // namespace

std::uint8_t TParameter::ValidateLimits(double value) const {
    if (ParaSmooth.ValidType != Validate)
        return 0;
    return value > ParaSmooth.ValidMax || value < ParaSmooth.ValidMin ? 1 : 0;
}

namespace {

// Applies the validation switch and stores a passing value with its screen text.
TFlaggedValue Finish(const TParameter& p, TFlaggedValue candidate, const TValueContext& ctx,
                     TFlaggedValue& current, std::string& text) {
    std::uint8_t flag = candidate.flag;
    if (flag == 0 && ctx.ValidateLimits)
        flag = p.ValidateLimits(candidate.value);
    if (flag != 0)
        return InvalidFV;
    const TFlaggedValue result{candidate.value, 0};
    current = result;
    if (ctx.UpdateText)
        text = fmt::format("{:>10.{}f}", candidate.value, std::clamp(p.ParaText.Decimal[2], 0, 20));
    return result;
}

} // namespace

TFlaggedValue TParameter::CurValue(const TValueContext& ctx) {
    try {
        if (ctx.UpdateText)
            CurrentStr = "invalid";
        TLinkDepth depth;
        TFlaggedValue candidate = InvalidFV;
        switch (ParaType()) {
        case Pt_Acqui: candidate = Current; break;
        case Pt_Raw: candidate = ElementOf(PostLinBuf.get(), ctx.PostLBIndexO); break;
        case Pt_Calc:
        case Pt_CWC: {
            bool missing = false;
            const std::optional<TFormulaCoefs> coefs = CoefsOf(*this, missing);
            if (missing)
                break;
            TAFV16 inputs;
            inputs.fill(InvalidFV);
            for (int i = 0; i < LinkCount(*this); ++i) {
                TParameter* input = LinkPtr[i];
                if (!input)
                    continue;
                inputs[i] = IsComputed(*input)
                                ? input->CurValue(ctx)
                                : ElementOf(input->PostLinBuf.get(), ctx.PostLBIndexO);
            }
            candidate = MainFunc1(inputs, coefs ? &*coefs : nullptr, ctx.Formula);
            break;
        }
        case Pt_Nmea:
            if (ctx.UseNmea)
                candidate = Calibrated;
            break;
        case Pt_Tims:
            if (ctx.TimeBase)
                candidate = ctx.TimeBase->Current;
            break;
        case Pt_Ext:
            if (ctx.UseExtPara)
                candidate = Calibrated;
            break;
        case pt_Speed: candidate = {static_cast<float>(ctx.SpeedLow), 0}; break;
        case pt_WinchSpeed: candidate = {static_cast<float>(ctx.WinchSpeed), 0}; break;
        default: break;
        }
        return Finish(*this, candidate, ctx, Current, CurrentStr);
    } catch (...) {
        ReportValueFailure("Error in Parameter.CurValue", *this);
        return InvalidFV;
    }
}

TFlaggedValue TParameter::CalcValue(const TRawFVArray& ParaAr, const TValueContext& ctx) {
    try {
        TLinkDepth depth;
        TFlaggedValue candidate = InvalidFV;
        if (!IsComputed(*this)) {
            const int pos = ParaFrame.PosInList;
            if (pos >= 0 && pos < RawFVCount)
                candidate = ParaAr[pos];
        } else {
            bool missing = false;
            const std::optional<TFormulaCoefs> coefs = CoefsOf(*this, missing);
            TAFV16 inputs;
            inputs.fill(InvalidFV);
            for (int i = 0; i < LinkCount(*this) && !missing; ++i) {
                if (!LinkPtr[i])
                    missing = true;
                else
                    inputs[i] = LinkPtr[i]->CalcValue(ParaAr, ctx);
            }
            if (!missing)
                candidate = MainFunc1(inputs, coefs ? &*coefs : nullptr, ctx.Formula);
        }
        return Finish(*this, candidate, ctx, Current0, CurrentStr0);
    } catch (...) {
        ReportValueFailure("Error in Parameter.CalcValue", *this);
        return InvalidFV;
    }
}

bool TParameter::CalculateAll(const TValueContext& ctx) {
    try {
        const int links = LinkCount(*this);
        if (links == 0)
            return false;
        TPFVA series{};
        for (int i = 0; i < links; ++i) {
            if (!LinkPtr[i] || !LinkPtr[i]->SortedBuffer)
                return false;
            series[i] = LinkPtr[i]->SortedBuffer.get();
        }
        bool missing = false;
        const std::optional<TFormulaCoefs> coefs = CoefsOf(*this, missing);
        if (missing || !SortedBuffer)
            return false;
        const int first = SortedBuffer->Count();
        const int last = std::min(ctx.MaxIndex, MaxFVIndex);
        if (last < first)
            return false;
        for (int k = first; k <= last; ++k) {
            TFlaggedValue v = MainFunc(k, series, coefs ? &*coefs : nullptr, ctx.Formula);
            if (v.Valid() && ctx.ValidateLimits)
                v.flag = ValidateLimits(v.value);
            SortedBuffer->AddFV(v);
        }
        return true;
    } catch (...) {
        ReportValueFailure("Error in Parameter.CalculateAll", *this);
        return false;
    }
}

bool TParameter::CalcUpdated(const TValueContext& ctx) {
    try {
        if (ParaType() <= Pt_Raw)
            return true;
        if (SortedBuffer && SortedBuffer->LastIndice == ctx.MaxIndex)
            return true;
        TLinkDepth depth;
        for (int i = 0; i < LinkCount(*this); ++i)
            if (LinkPtr[i] && !LinkPtr[i]->CalcUpdated(ctx))
                return false;
        return CalculateAll(ctx);
    } catch (...) {
        ReportValueFailure("Error in Parameter.CalcUpdated", *this);
        return false;
    }
}

void TParameter::ParaFirstFilter(const TValueContext& ctx) {
    if (!InCyBuf || !RawInCyBuf)
        return;
    const int j = ctx.RingIndex;
    const int slots = RawInCyBuf->MaxIndice; // ring slots 0..MaxIndice-1
    if (j < 0 || j >= slots || j >= InCyBuf->MaxIndice)
        return;
    switch (ctx.FirstFilterType) {
    case Smo_Mean: {
        // A mean over more slots than the ring holds would read slots twice; none is no mean.
        const int n = ctx.FirstFilterSamples;
        if (n < 1 || n > slots || ctx.RawIndex < n)
            return;
        double sum = 0;
        for (int k = 0; k < n; ++k)
            sum += RawInCyBuf->AtFV(j - k).value;
        InCyBuf->AtModifyFV(j, {static_cast<float>(sum / n), 0});
        break;
    }
    case Smo_LP1stOrder: {
        const int f = ctx.FirstFilterCutoffFactor;
        if (f < 0 || ctx.RawIndex <= 1)
            return;
        const double alpha = 1.0 / (f + 1.0);
        const TFlaggedValue x = RawInCyBuf->AtFV(j);
        const TFlaggedValue previous = InCyBuf->AtFV(j - 1);
        if (x.Valid() && previous.Valid())
            InCyBuf->AtModifyFV(
                j, {static_cast<float>(alpha * x.value + (1 - alpha) * previous.value), 0});
        break;
    }
    default: break;
    }
}

bool TParameter::Smooth(const TValueContext& ctx) {
    if (ctx.MaxIndex <= 0)
        return false;
    if (ParaSmooth.SmoothType > Smo_LP1stOrder) {
        ParaSmooth.SmoothType = Smo_None;
        Operator().Message(
            "Filter type invalid on parameter! \r\nThe filter has been setted to None!",
            "Warning", TMessageKind::Warning);
        return false;
    }
    if (!SortedBuffer || !SmoothBuffer)
        return false;
    const TLinearArray& in = *SortedBuffer;
    TLinearArray& out = *SmoothBuffer;
    const TFlaggedValue* x = in.Data();
    switch (ParaSmooth.SmoothType) {
    case Smo_Mean: {
        int n = ParaSmooth.FilterLength(Smo_Mean);
        if (n >= in.LastIndice)
            return false;
        n = std::max(n, 1); // a stored length below one would average nothing
        for (int k = out.LastIndice + 1; k <= in.LastIndice; ++k) {
            double sum = 0;
            int valid = 0;
            for (int i = std::max(0, k - n + 1); i <= k; ++i)
                if (x[i].Valid()) {
                    sum += x[i].value;
                    ++valid;
                }
            out.AddFV(valid > 0 ? TFlaggedValue{static_cast<float>(sum / valid), 0} : InvalidFV);
        }
        return true;
    }
    case Smo_LP1stOrder: {
        if (in.LastIndice < 1)
            return false;
        // A negative factor would make alpha infinite or above one: treated as no smoothing.
        const int f = std::max(ParaSmooth.FilterLength(Smo_LP1stOrder), 0);
        const double alpha = 1.0 / (f + 1.0);
        for (int k = out.LastIndice + 1; k <= in.LastIndice; ++k) {
            if (k == 0) {
                out.AddFV(x[0]);
                continue;
            }
            if (!x[k].Valid()) {
                out.AddFV(InvalidFV);
                continue;
            }
            const TFlaggedValue previous = out.Data()[k - 1];
            out.AddFV(previous.Valid()
                          ? TFlaggedValue{static_cast<float>(previous.value +
                                                             alpha * (x[k].value - previous.value)),
                                          0}
                          : TFlaggedValue{x[k].value, 0});
        }
        return true;
    }
    default: return false;
    }
}

bool TParameter::SetAuto(const TParameter& yPara, bool AutoY, int ScaleNb,
                         const TValueContext& ctx) {
    try {
        CalculateAll(ctx);
        if (!SortedBuffer || !yPara.SortedBuffer ||
            SortedBuffer->MaxIndice != yPara.SortedBuffer->MaxIndice)
            return false;
        ParaScale.AutoScale = 1;

        // The window may be given downward (min above max), as on a depth axis.
        long double w0 = -1'000'000, w1 = 1'000'000;
        if (&yPara != this) {
            const TParaScale& ys = yPara.ParaScale;
            w0 = (AutoY ? ys.AutoMin : ys.CurMin).ToLongDouble();
            w1 = (AutoY ? ys.AutoMax : ys.CurMax).ToLongDouble();
        }
        const long double windowLo = std::min(w0, w1), windowHi = std::max(w0, w1);

        const long double dir =
            ParaScale.CurMin.ToLongDouble() <= ParaScale.CurMax.ToLongDouble() ? 1 : -1;
        long double lo = 1e10, hi = -1e10;
        const int last = std::min(SortedBuffer->LastIndice, yPara.SortedBuffer->LastIndice);
        const TFlaggedValue* values = SortedBuffer->Data();
        const TFlaggedValue* axis = yPara.SortedBuffer->Data();
        for (int i = 0; i <= last; ++i) {
            if (!axis[i].Valid() || !values[i].Valid() || std::isnan(values[i].value))
                continue;
            if (axis[i].value < windowLo || axis[i].value > windowHi)
                continue;
            lo = std::min<long double>(lo, values[i].value);
            hi = std::max<long double>(hi, values[i].value);
        }
        // No value in the window: the range of the values seen before stays.
        if (lo > hi)
            return false;

        const long double absoMin = ParaGeneral.AbsoMin.ToLongDouble();
        const long double absoMax = ParaGeneral.AbsoMax.ToLongDouble();
        const long double m = 0.03L * ScaleNb + 0.05L;
        long double autoMin, autoMax;
        bool result;
        if (lo >= absoMin && lo <= absoMax && hi >= absoMin && hi <= absoMax) {
            const long double d = hi - lo;
            lo -= m * d;
            hi += m * d;
            autoMin = dir > 0 ? lo : hi;
            autoMax = dir > 0 ? hi : lo;
            const long double minExt = ParaGeneral.MinExt.ToLongDouble();
            if (std::fabs(autoMax - autoMin) < minExt) {
                const long double c = (autoMax + autoMin) / 2;
                autoMin = c - dir * 1.1L * minExt / 2;
                autoMax = c + dir * 1.1L * minExt / 2;
            }
            result = true;
        } else {
            lo = std::max(lo, absoMin);
            hi = std::min(hi, absoMax);
            const long double d = hi - lo;
            if (dir > 0) {
                const long double wide = 0.3L * ScaleNb + 0.05L;
                autoMin = lo - wide * d;
                autoMax = hi + wide * d;
            } else {
                autoMin = hi + m * d;
                autoMax = lo - m * d;
            }
            result = false;
        }
        ParaScale.AutoMin = TExtended::FromLongDouble(autoMin);
        ParaScale.AutoMax = TExtended::FromLongDouble(autoMax);
        return result;
    } catch (...) {
        ReportValueFailure("Error in Parameter.SetAuto", *this);
        return false;
    }
}

std::string TParameter::HeaderPrompt() const {
    return ParaText.ParaStr[txt_File].Get();
}

} // namespace marevo
