// Decoding of a parameter's frame field and its calibration into an engineering value.

#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"

#include <fmt/format.h>

#include <cmath>
#include <cstring>
#include <optional>

namespace marevo {

namespace {


// Bytes a conversion reads from the frame (the headers from the frame start).
int FieldSize(TParaConv conv) {
    switch (conv) {
    case ParaConvByte: return 1;
    case ParaConvWord: return 2;
    case ParaConvByte3: return 3;
    case ParaConvSingle: return 4;
    case ParaConvHDF4:
    case ParaConvHDF5:
    case ParaConvHDF6: return 6;
    case ParaConvHDF7: return 8;
    default: return 0;
    }
}

void CheckField(std::span<const std::uint8_t> frame, long long offset, int size) {
    if (offset < 0 || offset + size > static_cast<long long>(frame.size()))
        Raise(fmt::format("field of {} bytes at offset {} outside the frame of {} bytes", size,
                          offset, frame.size()));
}

std::uint64_t LittleEndian(const std::uint8_t* b, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | b[i];
    return v;
}

// Frame header of the data formats DF4 to DF7, at the start of the frame. Byte 0 carries the
// frame counter and the time-unit bit, then come the probe's time counter (in units of 1 ms, or
// 10 ms with the unit bit) and the rosette's bottle number and status; the table of each format
// is in the comments below.
void DecodeHead(TParaConv conv, std::span<const std::uint8_t> frame, const TDecodeContext& ctx) {
    CheckField(frame, 0, FieldSize(conv));
    if (!ctx.Header || !ctx.BtlNumber || !ctx.BtlStatus)
        Raise("no header-decoding state");
    THeaderDecodeState& h = *ctx.Header;
    const std::uint8_t* b = frame.data();

    std::uint16_t sequence;
    bool unitBit;
    std::uint64_t counter;
    switch (conv) {
    case ParaConvHDF4:
        // b0: bits 0-6 counter, bits 0-3 also the unit; b1..4 time; b5: bits 0-4 bottle number,
        // bits 5-7 status. The status counts only once two frames agree on the whole byte.
        sequence = b[0] & 0x7F;
        unitBit = (b[0] & 0x0F) != 0;
        counter = LittleEndian(b + 1, 4);
        *ctx.BtlNumber = b[5] & 0x1F;
        if (b[5] == h.PrevBottleByte)
            *ctx.BtlStatus = static_cast<TBottleStatus>(b[5] >> 5);
        h.PrevBottleByte = b[5];
        break;
    case ParaConvHDF5:
    case ParaConvHDF6:
        // b0: bit 7 unit, bits 0-6 counter; b1..4 time; b5: bits 0-4 bottle number, 5-7 status.
        sequence = b[0] & 0x7F;
        unitBit = (b[0] & 0x80) != 0;
        counter = LittleEndian(b + 1, 4);
        *ctx.BtlNumber = b[5] & 0x1F;
        *ctx.BtlStatus = static_cast<TBottleStatus>(b[5] >> 5);
        h.PrevBottleByte = b[5];
        break;
    default:
        // DF7. b0: bit 7 unit, bits 4-6 status, bits 0-2 counter high bits; b1 counter low
        // byte; b2..6 time, 40 bits; b7 bottle number.
        sequence = static_cast<std::uint16_t>((b[0] & 0x07) << 8 | b[1]);
        unitBit = (b[0] & 0x80) != 0;
        counter = LittleEndian(b + 2, 5);
        *ctx.BtlNumber = b[7];
        *ctx.BtlStatus = static_cast<TBottleStatus>((b[0] & 0x78) >> 4);
        break;
    }

    const long double unit = unitBit ? 0.01L : 0.001L; // s per time count
    const float t = static_cast<float>(counter * unit);
    // Until the cast starts the origin follows the probe clock; then it stays fixed.
    if (h.TimeOrigin < 0 || !ctx.CastStarted)
        h.TimeOrigin = h.AbsoluteTime = h.RelativeTime = t;
    h.AbsoluteTime = t;
    h.RelativeTime = unitBit ? t : t - h.TimeOrigin;
    if (ctx.TimeBase)
        *ctx.TimeBase = {h.RelativeTime, 0};
    h.PrevFrameCounter = h.FrameCounter;
    h.FrameCounter = sequence;
}

// c0 + c1 x + ... + c(n-1) x^(n-1) in extended precision, accepted when it is a number of
// magnitude below 1e35 and then rounded to single; nothing otherwise.
std::optional<float> CalibPolynomial(const TExtended (&c)[CalibCoefCount], int n, long double x) {
    long double sum = c[0].ToLongDouble();
    long double power = 1;
    for (int i = 1; i < n; ++i) {
        power *= x;
        sum += power * c[i].ToLongDouble();
    }
    if (std::isnan(sum) || !(std::fabs(sum) < 1e35L))
        return std::nullopt;
    return static_cast<float>(sum);
}

} // namespace

bool TParamRaw::ParaDecode(std::span<const std::uint8_t> frame, const TDecodeContext& ctx) {
    Decoded = ZeroFV;
    const TParaConv conv = paraRaw.ConvType;
    bool headerOk = true;
    if (conv >= ParaConvHDF4 && conv <= ParaConvHDF7) {
        try {
            DecodeHead(conv, frame, ctx);
        } catch (...) {
            WriteLog("Error in ParamRaw.ParaDecode(DecodeHead)" + CurrentFailureMessage() +
                     std::to_string(ctx.RawIndex));
            Decoded = InvalidFV;
            headerOk = false;
        }
    } else {
        const bool ok =
            Guard({"Error in ParaRaw.ParaDecode: result set to 0.0 and value is flagged"}, [&] {
                const int size = FieldSize(conv);
                if (size == 0)
                    return; // none, and the two conversions that are declared but not decoded
                const long long p = ParaFrame.PtrInframe;
                CheckField(frame, p, size);
                const std::uint8_t* b = frame.data() + p;
                switch (conv) {
                case ParaConvByte: Decoded.value = b[0]; break;
                case ParaConvWord: Decoded.value = static_cast<float>(LittleEndian(b, 2)); break;
                case ParaConvSingle: std::memcpy(&Decoded.value, b, 4); break;
                default: { // ParaConvByte3: 24-bit two's complement in tenths
                    auto v = static_cast<std::int32_t>(LittleEndian(b, 3));
                    if (v & 0x800000)
                        v -= 0x1000000;
                    Decoded.value = static_cast<float>(v / 10.0L);
                    break;
                }
                }
            });
        if (!ok)
            Decoded = InvalidFV;
    }

    if (GetParaNb() == ProbeSpeedPara)
        Calibrated.value = static_cast<float>(ctx.SpeedLow);
    else if (GetParaNb() == WinchSpeedPara)
        Calibrated.value = static_cast<float>(ctx.WinchSpeed);
    return headerOk;
}

void TParamRaw::ParaCalibrate(const TDecodeContext& ctx) {
    Calibrated = {0.0f, Decoded.flag};
    const long double x = Decoded.value;
    if (Decoded.Valid() && std::isnan(x)) {
        // A raw reading that is no number cannot become a valid value of 0.
        Calibrated.flag = 1;
    } else if (Decoded.Valid()) {
        const bool ok = Guard({"Error in ParaRaw.ParaCalibrate, calibrated was flagged"}, [&] {
            const auto& c = ParaCalib.calib;
            auto coef = [&](int i) { return c[i].ToLongDouble(); };
            std::optional<long double> v;
            switch (paraRaw.CalibType) {
            case ParaCalibNone: v = x; break;
            case ParaCalibLinear: v = coef(0) + coef(1) * x; break;
            case ParacalibPoly3: v = CalibPolynomial(c, 3, x); break;
            case ParacalibPoly5: v = CalibPolynomial(c, 5, x); break;
            case ParacalibPoly8: v = CalibPolynomial(c, 8, x); break;
            case ParaCalibLog:
                if (!(x > 0))
                    Raise(fmt::format("Invalid floating point operation: ln({})", Decoded.value));
                v = std::log(x);
                break;
            case ParaCalibETime:
            case ParaCalibQVLTime: v = Current.value; break; // set by the header decoding
            case ParaCalibPres0:
                // Pressure less its offset c7 (dbar).
                if (auto p5 = CalibPolynomial(c, 5, x))
                    v = *p5 - coef(7);
                break;
            case ParaCalibFresh:
                // Fresh-water conductivity: the sensor's polynomial gives uS/cm, the value mS/cm.
                if (auto p5 = CalibPolynomial(c, 5, x))
                    v = *p5 / 1000.0L;
                break;
            case ParaCalibWetLab: v = coef(1) * (x - coef(0)); break;
            default: v = 0.0L; break; // dummy, PAR: no calibration of their own
            }
            const float rounded = v ? static_cast<float>(*v) : 0.0f;
            if (!v || !std::isfinite(rounded))
                Calibrated = InvalidFV;
            else
                Calibrated.value = rounded;
        });
        if (!ok)
            Calibrated = InvalidFV;
    }

    switch (GetParaNb()) {
    case WinchMeterPara: Calibrated = Decoded; break;
    case ProbeSpeedPara: Calibrated.value = static_cast<float>(ctx.SpeedLow); break;
    case WinchSpeedPara: Calibrated.value = static_cast<float>(ctx.WinchSpeed); break;
    default: break;
    }
}

} // namespace marevo
