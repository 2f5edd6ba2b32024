// The TEOS-10 columns of a binned table.

#include "processing/DerivedColumns.h"

#include "parameters/ParaNumbers.h"
#include "parameters/Parameter.h"
#include "parameters/Teos10.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Config.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace marevo {

namespace {

struct TDerivedDefinition {
    std::int32_t number;
    std::string_view id;   // IDStr and file/print name
    std::string_view name; // OrigName, list and screen names
    std::string_view unit;
    int decimals; // screen and file/print
    // The plot axis a run starts from: a range that holds the open ocean's values.
    double axisMin, axisMax;
    std::int32_t colour; // 0x00BBGGRR
};

constexpr TDerivedDefinition Definitions[] = {
    {AbsoluteSalinityPara, "SA", "Absolute Salinity", "g/kg", 4, 33, 38, 0x00008000},
    {ConservativeTempPara, "CT", "Conservative Temperature", "°C", 4, -2, 30, 0x000000C0},
    {Sigma0Teos10Para, "SIG0", "Sigma0 TEOS-10", "kg/m^3", 4, 20, 29, 0x00800080},
    {InSituDensityTeos10Para, "RHO", "In situ density TEOS-10", "kg/m^3", 4, 1020, 1060,
     0x00808000},
    {BuoyancyFreqPara, "N2", "Buoyancy frequency squared", "1/s^2", 8, -0.0001, 0.001,
     0x00004080},
};

const TDerivedDefinition* DefinitionOf(std::int32_t number) {
    for (const TDerivedDefinition& d : Definitions)
        if (d.number == number)
            return &d;
    return nullptr;
}

TFlaggedValue Flagged(double v) {
    return std::isfinite(v) ? TFlaggedValue{static_cast<float>(v), 0} : InvalidFV;
}

// SA and CT of one row; NaN where an input is flagged or missing.
struct TRowState {
    double p = NAN, SA = NAN, CT = NAN;
};

TRowState RowState(const TDerivedInputs& in, int r) {
    const TFlaggedValue p = SeriesRow(in.pressure, r), t = SeriesRow(in.temperature, r),
                        s = SeriesRow(in.salinity, r);
    TRowState row;
    if (p.flag != 0 || t.flag != 0 || s.flag != 0)
        return row;
    row.p = p.value;
    row.SA = teos10::SA_from_SP(s.value, row.p, in.longitude, in.latitude);
    row.CT = teos10::CT_from_t(row.SA, teos10::T90FromT68(t.value), row.p);
    return row;
}

} // namespace

std::vector<TFlaggedValue> DerivedSeries(std::int32_t number, const TDerivedInputs& in) {
    if (!IsDerivedColumn(number) || in.maxIndex < 0)
        return {};
    std::vector<TFlaggedValue> out;
    out.reserve(static_cast<std::size_t>(in.maxIndex) + 1);
    TRowState previous;
    for (int r = 0; r <= in.maxIndex; ++r) {
        const TRowState row = RowState(in, r);
        double v = NAN;
        switch (number) {
        case AbsoluteSalinityPara: v = row.SA; break;
        case ConservativeTempPara: v = row.CT; break;
        case Sigma0Teos10Para: v = teos10::Sigma0(row.SA, row.CT); break;
        case InSituDensityTeos10Para: v = teos10::Rho(row.SA, row.CT, row.p); break;
        case BuoyancyFreqPara: {
            // The first row of each direction has no row above it in its direction.
            const bool firstOfDirection = r == 0 || r == in.maxDownIndex + 1;
            if (!firstOfDirection)
                v = teos10::Nsquared(previous.SA, previous.CT, previous.p, row.SA, row.CT, row.p,
                                     in.latitude);
            break;
        }
        default: break;
        }
        out.push_back(Flagged(v));
        previous = row;
    }
    return out;
}

std::unique_ptr<TParameter> MakeDerivedParameter(std::int32_t number) {
    const TDerivedDefinition* d = DefinitionOf(number);
    if (!d)
        return nullptr;
    auto p = std::make_unique<TParameter>();
    p->SetDefPara(number);
    p->ParaGeneral.IDStr.Set(d->id);
    p->ParaGeneral.OrigName.Set(d->name);
    p->ParaGeneral.OrigUnit.Set(d->unit);
    p->ParaGeneral.MainPara = false;
    // No formula and no frame field: nothing recomputes or decodes it.
    p->paraRaw.ParaType = Pt_None;
    p->ParaSmooth.SmoothType = Smo_None;
    const std::string_view texts[6] = {d->unit, d->name, d->name, d->id, d->name, d->name};
    for (int use = 0; use < 6; ++use) {
        p->ParaText.ParaStr[use].Set(texts[use]);
        p->ParaText.Decimal[use] = 0;
    }
    p->ParaText.Decimal[txt_Screen] = d->decimals;
    p->ParaText.Decimal[txt_File] = d->decimals;
    p->SortedBuffer = std::make_unique<TLinearArray>();
    return p;
}

TDerivedInputs DerivedInputsOf(const TParamCollection& col) {
    TDerivedInputs in;
    in.maxDownIndex = col.Bin.SortInfo.MaxDownIndex;
    in.maxIndex = col.Bin.SortInfo.MaxIndex;
    if (const TCastInfo* header = col.Loaded.CastHeader) {
        in.latitude = static_cast<double>(header->latitude[0].ToLongDouble());
        in.longitude = static_cast<double>(header->longitude[0].ToLongDouble());
    }
    // The computed inputs (temperature and salinity) as the table's other columns are.
    const long double latitude =
        col.Loaded.CastHeader ? col.Loaded.CastHeader->latitude[0].ToLongDouble() : 0;
    const TValueContext ctx = ValueContextOf(col, col.Gen(), col.Cfg().DataValidation, latitude);
    const auto series = [&](std::int32_t number) -> const TLinearArray* {
        TParameter* p = col.FindPara(number);
        if (!p || !p->SortedBuffer)
            return nullptr;
        p->CalcUpdated(ctx);
        return p->SortedBuffer.get();
    };
    in.pressure = series(PressurePara);
    in.temperature = series(TemperaturePara);
    in.salinity = series(SalinityPara);
    return in;
}

std::unique_ptr<TParameter> ComputeDerivedColumn(const TParamCollection& col, std::int32_t number) {
    std::unique_ptr<TParameter> p = MakeDerivedParameter(number);
    if (!p)
        return nullptr;
    for (const TFlaggedValue& v : DerivedSeries(number, DerivedInputsOf(col)))
        p->SortedBuffer->AddFV(v);
    return p;
}

const std::vector<std::int32_t>& DerivedColumnNumbers() {
    static const std::vector<std::int32_t> numbers = [] {
        std::vector<std::int32_t> n;
        for (const TDerivedDefinition& d : Definitions)
            n.push_back(d.number);
        return n;
    }();
    return numbers;
}

TParameter* DerivedColumnDefinition(std::int32_t number) {
    static const std::vector<std::unique_ptr<TParameter>> definitions = [] {
        std::vector<std::unique_ptr<TParameter>> all;
        for (const TDerivedDefinition& d : Definitions) {
            std::unique_ptr<TParameter> p = MakeDerivedParameter(d.number);
            p->SortedBuffer.reset();
            TParaScale& s = p->ParaScale;
            s.ScaleType = st_Linear;
            s.CurMin = s.AutoMin = TExtended::FromDouble(d.axisMin);
            s.CurMax = s.AutoMax = TExtended::FromDouble(d.axisMax);
            s.Color = d.colour;
            p->ParaGeneral.AbsoMin = TExtended::FromDouble(-1e10);
            p->ParaGeneral.AbsoMax = TExtended::FromDouble(1e10);
            all.push_back(std::move(p));
        }
        return all;
    }();
    for (const auto& p : definitions)
        if (p->GetParaNb() == number)
            return p.get();
    return nullptr;
}

bool DerivedColumnAvailable(const TProbeCollection& col, std::int32_t number) {
    return IsDerivedColumn(number) && col.ExistParaNb(PressurePara) &&
           col.ExistParaNb(TemperaturePara) && col.ExistParaNb(SalinityPara);
}

TDerivedColumnCache::TDerivedColumnCache() = default;
TDerivedColumnCache::~TDerivedColumnCache() = default;
TDerivedColumnCache::TDerivedColumnCache(const TDerivedColumnCache&) {}
TDerivedColumnCache& TDerivedColumnCache::operator=(const TDerivedColumnCache& other) {
    if (this != &other)
        columns_.clear();
    return *this;
}
TDerivedColumnCache::TDerivedColumnCache(TDerivedColumnCache&&) noexcept = default;
TDerivedColumnCache& TDerivedColumnCache::operator=(TDerivedColumnCache&&) noexcept = default;

void TDerivedColumnCache::Clear() {
    columns_.clear();
}

TDerivedColumnCache::TKey TDerivedColumnCache::KeyOf(const TParamCollection& col) {
    TKey key;
    key.header = col.Loaded.CastHeader;
    key.file = col.Loaded.FileLoaded.string();
    key.type = static_cast<int>(col.Loaded.TypeLoaded);
    key.maxIndex = col.Bin.SortInfo.MaxIndex;
    key.maxDownIndex = col.Bin.SortInfo.MaxDownIndex;
    if (const TCastInfo* header = col.Loaded.CastHeader) {
        key.latitude = static_cast<double>(header->latitude[0].ToLongDouble());
        key.longitude = static_cast<double>(header->longitude[0].ToLongDouble());
    }
    return key;
}

const TParameter* TDerivedColumnCache::Get(const TParamCollection& col, std::int32_t number) {
    if (!DerivedColumnAvailable(col, number))
        return nullptr;
    const TKey key = KeyOf(col);
    auto it = std::find_if(columns_.begin(), columns_.end(),
                           [number](const TEntry& e) { return e.number == number; });
    if (it == columns_.end())
        it = columns_.insert(columns_.end(), TEntry{number, {}, nullptr});
    if (!it->column || !(it->key == key)) {
        it->column = ComputeDerivedColumn(col, number);
        it->key = key;
    }
    return it->column.get();
}

} // namespace marevo
