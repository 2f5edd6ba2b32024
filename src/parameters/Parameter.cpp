#include "parameters/Parameter.h"

#include "foundation/Guard.h"

#include <algorithm>
#include <cstring>

namespace marevo {

namespace {

template <class T>
void Zero(T& record) {
    std::memset(&record, 0, sizeof(T));
}

// Copies the text of a string field: the length and its characters, nothing past them.
template <std::size_t N>
void CopyStr(TStr<N>& to, const TStr<N>& from) {
    const std::string_view text = from.Raw();
    to.len = static_cast<std::uint8_t>(text.size());
    std::memcpy(to.chars, text.data(), text.size());
}

// Reports a stream operation: ErrorStatus is ParaFailed until the body completes.
template <class Body>
bool StreamOperation(TParaStatus& status, const TGuardSite& site, Body&& body) {
    status = ParaFailed;
    if (!Guard(site, std::forward<Body>(body)))
        return false;
    status = ParaOk;
    return true;
}

} // namespace

// ---- TParamRaw --------------------------------------------------------------------------------

TParamRaw::TParamRaw() {
    Zero(ParaGeneral);
    Zero(ParaScale);
    Zero(ParaSmooth);
    Zero(ParaText);
    Zero(paraRaw);
    Zero(ParaCalib);
    Zero(ParaFunction);
    Zero(ParaFormat);
    Zero(ParaFrame);
}

TParamRaw::~TParamRaw() = default;

std::string TParamRaw::GetParaStr() const {
    return ParaGeneral.OrigName.Get() + " / " + std::to_string(ParaGeneral.ParaNb);
}

TParaLink TParamRaw::Link() const {
    TParaLink link;
    std::copy(std::begin(ParaFunction.ParaLink), std::end(ParaFunction.ParaLink), link.begin());
    return link;
}

void TParamRaw::SetParaFrame(std::int32_t index, std::int32_t ParaPtr) {
    const TParaType type = paraRaw.ParaType;
    ParaFrame.IsFrame = (type == Pt_Util || type == Pt_Raw) ? 1 : 0;
    // GPS and external values travel appended to the frame as 4-byte floats.
    if (type == Pt_Nmea || type == Pt_Ext)
        paraRaw.ConvType = ParaConvSingle;

    ParaFrame.SizeByte = 0;
    switch (type) {
    case Pt_Util:
    case Pt_Raw:
    case Pt_Nmea:
    case Pt_Tims:
    case Pt_Ext:
    case pt_Speed:
    case pt_WinchSpeed:
        switch (paraRaw.ConvType) {
        case ParaConvByte: ParaFrame.SizeByte = 1; break;
        case ParaConvWord: ParaFrame.SizeByte = 2; break;
        case ParaConvSingle: ParaFrame.SizeByte = 4; break;
        case ParaConvByte3: ParaFrame.SizeByte = 3; break;
        case ParaConvHDF4:
        case ParaConvHDF5:
        case ParaConvHDF6: ParaFrame.SizeByte = 6; break;
        case ParaConvHDF7: ParaFrame.SizeByte = 8; break;
        default: break; // none, and the two formats that never reach a frame
        }
        break;
    default: break;
    }
    ParaFrame.PosInList = index;
    ParaFrame.PosInFrame = index;
    ParaFrame.PtrInframe = ParaPtr;
}

void TParamRaw::Assign(const TParamRaw& Source) {
    PosInProbe = Source.PosInProbe;
    ParaGeneral = Source.ParaGeneral;
    ParaScale = Source.ParaScale;
    ParaSmooth = Source.ParaSmooth;
    paraRaw = Source.paraRaw;
    ParaFunction = Source.ParaFunction;
}

void TParamRaw::AssignAcqui(const TParamRaw& Source) {
    PosInProbe = Source.PosInProbe;
    ParaCalib = Source.ParaCalib;
    paraRaw = Source.paraRaw;
}

void TParamRaw::AssignDisplay(const TParamRaw& Source) {
    ParaScale = Source.ParaScale;
    ParaSmooth = Source.ParaSmooth;
    ParaFormat = Source.ParaFormat;
}

bool TParamRaw::IsStoredType(TParaType type) {
    return type == Pt_Raw || type == Pt_Nmea || type == Pt_Tims || type == Pt_Ext ||
           type == pt_Speed || type == pt_WinchSpeed;
}

// ---- Stream records ---------------------------------------------------------------------------
// Every record is read with its length checked: a file cut short fails the read instead of
// leaving the rest of the parameter silently as it was. Each stored form lists its fields once,
// in the order of the file, for both the writer and the reader, so the two cannot drift apart.

namespace {

// The whole parameter (Param.col).
template <class P, class Field> void ParaFields(P& p, Field&& field) {
    field(p.ParaGeneral, "ParaGeneral");
    field(p.ParaText, "ParaText");
    field(p.ParaScale, "ParaScale");
    field(p.ParaSmooth, "ParaSmooth");
    field(p.paraRaw, "paraRaw");
    field(p.ParaCalib, "ParaCalib");
    field(p.ParaFunction, "ParaFunction");
}

// The display setup (configuration): number and texts, then the sizes of the display blocks,
// then the blocks themselves.
template <class P, class Field> void ParaDisplayHead(P& p, Field&& field) {
    field(p.ParaGeneral.ParaNb, "ParaNb");
    field(p.ParaText, "ParaText");
}
template <class P, class Block> void ParaDisplayBlocks(P& p, Block&& block) {
    block(p.ParaScale, "ParaScale", "ScaleSize");
    block(p.ParaSmooth, "ParaSmooth", "SmoothSize");
    block(p.ParaFormat, "ParaFormat", "FormatSize");
}

// The acquisition setup (the probe block of a cast).
template <class P, class Field> void ParaRawFields(P& p, Field&& field) {
    field(p.ParaGeneral.ParaNb, "ParaNb");
    field(p.paraRaw, "paraRaw");
    field(p.ParaCalib, "ParaCalib");
}

} // namespace

bool TParamRaw::WritePara(TStream& stream) const {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.WritePara"}, [&] {
        TRecordWriter w(stream, "ParamRaw.WritePara: write error - ");
        ParaFields(*this, [&](const auto& value, std::string_view name) { w.Put(value, name); });
    });
}

bool TParamRaw::ReadPara(TStream& stream) {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.ReadPara"}, [&] {
        TRecordReader r(stream, "ParamRaw.ReadPara: read error - ");
        ParaFields(*this, [&](auto& value, std::string_view name) { r.Get(value, name); });
    });
}

bool TParamRaw::WriteParaDisplay(TStream& stream) const {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.WriteParaDisplay"}, [&] {
        TRecordWriter w(stream, "ParamRaw.WriteParaDisplay: write error - ");
        ParaDisplayHead(*this,
                        [&](const auto& value, std::string_view name) { w.Put(value, name); });
        ParaDisplayBlocks(*this, [&](const auto& block, std::string_view, std::string_view size) {
            w.Put<std::int32_t>(sizeof block, size);
        });
        ParaDisplayBlocks(*this, [&](const auto& block, std::string_view name, std::string_view) {
            w.Put(block, name);
        });
    });
}

bool TParamRaw::ReadParaDisplay(TStream& stream) {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.ReadParaDisplay"}, [&] {
        TRecordReader r(stream, "ParamRaw.ReadParaDisplay: read error - ");
        ParaDisplayHead(*this, [&](auto& value, std::string_view name) { r.Get(value, name); });
        // All sizes are read before any is judged, so a file cut short among them is a read
        // error of the size it lacks.
        bool sizesMatch = true;
        ParaDisplayBlocks(*this, [&](const auto& block, std::string_view, std::string_view size) {
            sizesMatch = r.Get<std::int32_t>(size) == static_cast<std::int32_t>(sizeof block) &&
                         sizesMatch;
        });
        if (!sizesMatch)
            Raise("Paramraw.ReadParaRaw: Format error - Corrupted or old file");
        ParaDisplayBlocks(*this, [&](auto& block, std::string_view name, std::string_view) {
            r.Get(block, name);
        });
    });
}

bool TParamRaw::WriteParaRaw(TStream& stream) const {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.WriteParaRaw"}, [&] {
        TRecordWriter w(stream, "ParamRaw.WriteParaRaw: write error - ");
        ParaRawFields(*this,
                      [&](const auto& value, std::string_view name) { w.Put(value, name); });
    });
}

bool TParamRaw::ReadParaRaw(TStream& stream) {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.ReadParaRaw"}, [&] {
        TRecordReader r(stream, "ParamRaw.ReadParaRaw: read error - ");
        ParaRawFields(*this, [&](auto& value, std::string_view name) { r.Get(value, name); });
    });
}

bool TParamRaw::WriteSortedBuffer(TStream& stream) const {
    return StreamOperation(
        ErrorStatus, {"Error in ParamRaw.WriteSortedBuffer", "Writing sorted buffer"}, [&] {
            if (!IsStoredType(paraRaw.ParaType))
                Raise("TParamSorted.WriteSortedBuffer: not a correct parameter type");
            if (!SortedBuffer)
                Raise("TParamSorted.WriteSortedBuffer: SortedBuffer=nil");
            if (!SortedBuffer->WriteArray(stream))
                Raise("TParamSorted.WriteSortedBuffer: write error");
        });
}

bool TParamRaw::ReadSortedBuffer(TStream& stream) {
    return StreamOperation(ErrorStatus, {"Error in ParamRaw.ReadSortedBuffer"}, [&] {
        if (!IsStoredType(paraRaw.ParaType))
            Raise("TParamSorted.ReadSortedBuffer: not a correct parameter type");
        if (!SortedBuffer)
            SortedBuffer = std::make_unique<TLinearArray>();
        if (!SortedBuffer->ReadArray(stream))
            Raise("TParamSorted.ReadSortedBuffer: read error");
    });
}

// ---- TParameter -------------------------------------------------------------------------------

TParameter::TParameter() { Zero(ParaInterpol); }

TParameter::~TParameter() = default;

void TParameter::CreateBuffers(int ringSize) {
    InCyBuf = std::make_unique<TCyclicArray>(ringSize);
    RawInCyBuf = std::make_unique<TCyclicArray>(ringSize);
    PostLinBuf = std::make_unique<TLinearArray>();
    SortedBuffer = std::make_unique<TLinearArray>();
    SmoothBuffer = std::make_unique<TLinearArray>();
}

std::unique_ptr<TParameter> TParameter::MakeCopy() const {
    return GuardOr({"Error in TParameter.MakeCopy"}, std::unique_ptr<TParameter>(), [&] {
        auto copy = std::make_unique<TParameter>();
        TParameter& c = *copy;
        c.PosInProbe = PosInProbe;

        c.ParaInterpol.InterpolType = ParaInterpol.InterpolType;
        c.ParaInterpol.firstValue = ParaInterpol.firstValue;
        c.ParaInterpol.lastValue = ParaInterpol.lastValue;
        c.ParaInterpol.interval = ParaInterpol.interval;

        const TParaGeneral& g = ParaGeneral;
        TParaGeneral& cg = c.ParaGeneral;
        cg.ParaNb = g.ParaNb;
        for (int i = 0; i < CalibCoefCount; ++i)
            CopyStr(cg.CalibStr[i], g.CalibStr[i]);
        cg.AbsoMin = g.AbsoMin;
        cg.AbsoMax = g.AbsoMax;
        CopyStr(cg.IDStr, g.IDStr);
        CopyStr(cg.OrigName, g.OrigName);
        CopyStr(cg.OrigUnit, g.OrigUnit);
        cg.MainPara = g.MainPara;
        cg.Hidden = g.Hidden;
        cg.MinExt = g.MinExt;

        for (int i = 0; i < 6; ++i) {
            CopyStr(c.ParaText.ParaStr[i], ParaText.ParaStr[i]);
            c.ParaText.Decimal[i] = ParaText.Decimal[i];
        }

        std::memcpy(c.paraRaw.PrbCross, paraRaw.PrbCross, sizeof(paraRaw.PrbCross));
        c.paraRaw.ParaType = paraRaw.ParaType;
        c.paraRaw.ConvType = paraRaw.ConvType;
        c.paraRaw.CalibType = paraRaw.CalibType;

        const TParaScale& s = ParaScale;
        TParaScale& cs = c.ParaScale;
        cs.ScaleType = s.ScaleType;
        cs.CurMin = s.CurMin;
        cs.CurMax = s.CurMax;
        cs.TrackMin = s.TrackMin;
        cs.TrackStep = s.TrackStep;
        cs.LineType = s.LineType;
        cs.Color = s.Color;
        cs.ManualDlg = s.ManualDlg;
        cs.bReserve = s.bReserve;
        cs.AutoScale = s.AutoScale;
        cs.AutoMin = s.AutoMin;
        cs.AutoMax = s.AutoMax;
        cs.eReserve = s.eReserve;
        cs.AutoScroll = s.AutoScroll;
        cs.ScrollExt = s.ScrollExt;
        cs.EnableXAutoScale = s.EnableXAutoScale;

        const TParaCalib& k = ParaCalib;
        TParaCalib& ck = c.ParaCalib;
        std::memcpy(ck.calib, k.calib, sizeof(k.calib));
        ck.DateStandard = k.DateStandard;
        ck.DateSensor = k.DateSensor;
        CopyStr(ck.SensorType, k.SensorType);
        CopyStr(ck.SensorSN, k.SensorSN);
        ck.status = k.status;

        const TParaFunction& f = ParaFunction;
        TParaFunction& cf = c.ParaFunction;
        std::memcpy(cf.ParaLink, f.ParaLink, sizeof(f.ParaLink));
        cf.LinkNb = f.LinkNb;
        cf.CalibLink = f.CalibLink;
        cf.FunctionType = f.FunctionType;
        cf.FuncIndex = f.FuncIndex;

        const TParaSmooth& m = ParaSmooth;
        TParaSmooth& cm = c.ParaSmooth;
        cm.SmoothType = m.SmoothType;
        std::memcpy(cm.SmoothFloat, m.SmoothFloat, sizeof(m.SmoothFloat));
        std::memcpy(cm.SmoothInt, m.SmoothInt, sizeof(m.SmoothInt));
        cm.BlankPara = m.BlankPara;
        cm.BlankMin = m.BlankMin;
        cm.BlankMax = m.BlankMax;
        cm.ValidType = m.ValidType;
        cm.ValidMin = m.ValidMin;
        cm.ValidMax = m.ValidMax;
        return copy;
    });
}

} // namespace marevo
