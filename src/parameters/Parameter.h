#pragma once
// One channel of a cast: a sensor value decoded from the probe's frames, a quantity computed from
// other parameters, a GPS or external value, a time base, or a text field of a header. The
// parameter holds its definition records and, once its collection prepares acquisition or
// processing, its value buffers; its links to other parameters are resolved by the collection.

#include "foundation/DataArray.h"
#include "foundation/Stream.h"
#include "parameters/Decoding.h"
#include "parameters/DerivedFormulas.h"
#include "parameters/ParaRecords.h"
#include "parameters/ValueContext.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace marevo {

class TParamRaw {
public:
    // Every record zero, every buffer null: the catalogue defaults come from SetDefPara.
    TParamRaw();
    virtual ~TParamRaw();
    TParamRaw(const TParamRaw&) = delete;
    TParamRaw& operator=(const TParamRaw&) = delete;

    TParaGeneral ParaGeneral;
    TParaScale ParaScale;
    TParaSmooth ParaSmooth;
    TParaText ParaText;
    TParaRaw paraRaw;
    TParaCalib ParaCalib;
    TParaFunction ParaFunction;
    TParaFormat ParaFormat;
    TParaFrame ParaFrame;
    std::int32_t PosInProbe = 0; // position of the channel in the probe's channel list

    // Buffers, owned; null until the collection creates them.
    std::unique_ptr<TCyclicArray> InCyBuf;     // calibrated values of the last frames
    std::unique_ptr<TCyclicArray> RawInCyBuf;  // decoded raw values of the last frames
    std::unique_ptr<TLinearArray> PostLinBuf;  // every accepted value of the cast
    std::unique_ptr<TLinearArray> SortedBuffer; // the cast's values after binning

    TFlaggedValue Decoded;    // last decoded raw value
    TFlaggedValue Calibrated; // last calibrated value
    TFlaggedValue Current;    // current value
    TFlaggedValue Current0;   // current value of the previous computation pass
    std::string CurrentStr;   // Current formatted for display
    std::string CurrentStr0;

    // Resolved by the collection: LinkPtr[i] is the parameter numbered ParaLink[i].
    TLinkPointer LinkPtr{};
    TParameter* CalibPtr = nullptr;

    // Result of the last stream operation; written by the const writers too, as it reports on
    // the operation rather than defining the parameter.
    mutable TParaStatus ErrorStatus = ParaOk;

    std::int32_t GetParaNb() const { return ParaGeneral.ParaNb; }
    std::int32_t getQVLParaNb() const { return paraRaw.PrbCross[0]; }
    TParaType ParaType() const { return paraRaw.ParaType; }
    // Name and number for log messages: "Pressure / 101".
    std::string GetParaStr() const;
    void SetPosInProbe(std::int32_t aPos) { PosInProbe = aPos; }
    TParaLink Link() const;

    // Rebuilds ParaFrame for position index in the frame list, at byte offset ParaPtr.
    void SetParaFrame(std::int32_t index, std::int32_t ParaPtr);

    // Identity, limits, scale, smoothing, frame decoding and links (not texts, calibration,
    // format).
    virtual void Assign(const TParamRaw& Source);
    // What a probe's own channel description brings: position, calibration, frame decoding.
    void AssignAcqui(const TParamRaw& Source);
    // What a configuration brings: scale, smoothing, format.
    void AssignDisplay(const TParamRaw& Source);

    // Stream records at the stream's current position; true on success. A failure is logged
    // and leaves ErrorStatus at ParaFailed; fields read before it keep their new values.
    bool WritePara(TStream& stream) const;        // definition record, 2752 bytes
    bool ReadPara(TStream& stream);
    bool WriteParaDisplay(TStream& stream) const; // display record, 1541 bytes
    bool ReadParaDisplay(TStream& stream);
    bool WriteParaRaw(TStream& stream) const;     // acquisition record, 728 bytes
    bool ReadParaRaw(TStream& stream);
    // SortedBuffer in the array format; only the stored types have one.
    virtual bool WriteSortedBuffer(TStream& stream) const;
    virtual bool ReadSortedBuffer(TStream& stream);

    // The parameter types whose binned series is stored; the others are recomputed.
    static bool IsStoredType(TParaType type);

    // ---- Decoding and calibration (ParaDecoding.cpp) ------------------------------------------
    // Decoded := the field at ParaFrame.PtrInframe of frame (the newest complete frame) as
    // paraRaw.ConvType says; a header conversion (DF4..DF7, at the frame start) updates instead
    // the collection's header state, bottle number and status and time base through ctx. A
    // field that does not lie inside the frame is a failure: Decoded (0.0, flag 1), logged.
    // False only when a frame header could not be decoded; the caller must then stop the
    // acquisition, as its time base and bottle state are no longer known.
    bool ParaDecode(std::span<const std::uint8_t> frame, const TDecodeContext& ctx);
    // Calibrated := Decoded turned into an engineering value as paraRaw.CalibType says, with the
    // coefficients ParaCalib.calib.
    void ParaCalibrate(const TDecodeContext& ctx);
};

// Per input of a computed parameter, the series it reads (a SortedBuffer); null: missing.
using TPFVA = std::array<const TLinearArray*, MaxLinks>;

class TParameter : public TParamRaw {
public:
    TParameter();
    ~TParameter() override;

    TParaInterpol ParaInterpol;
    std::unique_ptr<TLinearArray> SmoothBuffer; // smoothed copy of SortedBuffer, owned

    // Replaces the definition by the catalogue entry ParaIndex (see ParaCatalogue.cpp).
    void SetDefPara(std::int32_t ParaIndex);

    // A new, independent parameter carrying a copy of the definition (named fields only: no
    // reserved areas, format, frame position, values, links or buffers). Null on failure.
    std::unique_ptr<TParameter> MakeCopy() const;

    // Creates the acquisition rings (ringSize slots) and the empty series.
    void CreateBuffers(int ringSize = 2000);

    // ---- Derived value (ParaDerived.cpp) ------------------------------------------------------
    // The formulas are chosen by the parameter number (DerivedFormulas.h). pCal: the coefficients
    // of the parameter named by CalibLink, null when it names none. A failure is logged as
    // "Error in Parameter.MainFunc1" / "Error in Parameter.MainFunc" + message + GetParaStr.

    // This parameter's value from one set of inputs, in the order of its links.
    TFlaggedValue MainFunc1(const TAFV16& ParaAr, const TFormulaCoefs* pCal,
                            const TFormulaSettings& settings) const;
    // The same for element index (0..MaxFVIndex) of whole input series; an input series that is
    // missing or shorter than index + 1 gives an invalid input.
    TFlaggedValue MainFunc(int index, const TPFVA& PParaAr, const TFormulaCoefs* pCal,
                           const TFormulaSettings& settings) const;

    // ---- Values (ParaValues.cpp) --------------------------------------------------------------
    // A value that passes is stored, with its screen text (Decimal[2] decimals, 10 characters
    // right-aligned), in Current/CurrentStr (CurValue) or Current0/CurrentStr0 (CalcValue); a
    // flagged value leaves them unchanged. With ctx.ValidateLimits on, a value outside the
    // validation limits is flagged. Inputs linked in a cycle give an invalid value. Failures
    // are logged as "Error in Parameter.<operation>" + message + GetParaStr.

    // The newest value: read from the buffers, or computed from the inputs' newest values.
    // CurrentStr reads "invalid" when there is none.
    TFlaggedValue CurValue(const TValueContext& ctx);
    // The value in one stored frame, ParaAr indexed by PosInList.
    TFlaggedValue CalcValue(const TRawFVArray& ParaAr, const TValueContext& ctx);
    // Computed parameters: appends to SortedBuffer the samples from its Count up to ctx.MaxIndex,
    // from the inputs' SortedBuffers. False when an input or a series is missing or there is
    // nothing to append.
    bool CalculateAll(const TValueContext& ctx);
    // Brings the inputs, depth first, then this parameter up to ctx.MaxIndex.
    bool CalcUpdated(const TValueContext& ctx);
    // 1 when validation is on for this parameter and value lies outside ValidMin..ValidMax.
    std::uint8_t ValidateLimits(double value) const;
    // First filter of the newest frame (slot ctx.RingIndex): InCyBuf from RawInCyBuf.
    void ParaFirstFilter(const TValueContext& ctx);
    // Extends SmoothBuffer from SortedBuffer by the parameter's smoothing; false when nothing
    // was smoothed. An unknown smoothing type is reset to none with a warning to the operator.
    bool Smooth(const TValueContext& ctx);
    // Automatic plot range (ParaScale.AutoMin/AutoMax) of this parameter's values whose axis
    // values (yPara) lie in the axis window; ScaleNb widens the margin. False when the values
    // exceed the absolute limits (the range is then clamped to them) or there are none.
    bool SetAuto(const TParameter& yPara, bool AutoY, int ScaleNb, const TValueContext& ctx);
    // The file/print name.
    std::string HeaderPrompt() const;
};

} // namespace marevo
