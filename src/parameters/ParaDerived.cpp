// The value of a computed parameter from its inputs, by the formula table of DerivedFormulas.

#include "parameters/Parameter.h"

#include "foundation/Guard.h"

#include <fmt/format.h>

namespace marevo {

namespace {

template <class Body>
TFlaggedValue Evaluate(const TParamRaw& para, std::string_view prefix, Body&& body) {
    TFlaggedValue result = InvalidFV;
    try {
        body(result);
    } catch (...) {
        ReportFailure({prefix}, CurrentFailureMessage() + para.GetParaStr());
    }
    return result;
}

} // namespace

TFlaggedValue TParameter::MainFunc1(const TAFV16& ParaAr, const TFormulaCoefs* pCal,
                                    const TFormulaSettings& settings) const {
    return Evaluate(*this, "Error in Parameter.MainFunc1", [&](TFlaggedValue& result) {
        result = ComputeDerived(GetParaNb(), ParaAr.data(), pCal, settings);
    });
}

TFlaggedValue TParameter::MainFunc(int index, const TPFVA& PParaAr, const TFormulaCoefs* pCal,
                                   const TFormulaSettings& settings) const {
    return Evaluate(*this, "Error in Parameter.MainFunc", [&](TFlaggedValue& result) {
        if (index < 0 || index > MaxFVIndex)
            Raise(fmt::format("index {} outside 0..{}", index, MaxFVIndex));
        const TFormulaEntry* entry = FindFormula(GetParaNb());
        if (!entry) {
            result = NoFormulaFV;
            return;
        }
        TFlaggedValue inputs[3];
        for (int i = 0; i < entry->InputCount; ++i) {
            const TLinearArray* series = PParaAr[i];
            inputs[i] = series && index <= series->LastIndice ? series->Data()[index] : InvalidFV;
        }
        static const TFormulaCoefs noCoefs{};
        result = EvaluateFormula(*entry, inputs, pCal ? *pCal : noCoefs, settings);
    });
}

} // namespace marevo
