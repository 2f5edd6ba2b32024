#include "foundation/DataArray.h"

#include "foundation/Guard.h"

#include <cstring>

namespace marevo {

std::atomic<int> FAIncrement{32};

namespace {

constexpr const char* RangeError = "Range check error";

void CheckIndex(long long i, int maxIndice, const char* message) {
    if (i < 0 || i > maxIndice)
        Raise(message);
}

} // namespace

// ---- TFlaggedArray ----------------------------------------------------------------------------

TFlaggedArray::TFlaggedArray() {
    Guard({"Error in TFlaggedArray.Create", "Create Data array"}, [&] {
        FAIncrement.store(32, std::memory_order_relaxed);
        Allocate(33);
        MaxIndice = 32;
    });
}

TFlaggedValue& TFlaggedArray::Slot(long long i) {
    if (i < 0 || i >= static_cast<long long>(PVA.size()))
        Raise(RangeError);
    return PVA[static_cast<std::size_t>(i)];
}

const TFlaggedValue& TFlaggedArray::Slot(long long i) const {
    return const_cast<TFlaggedArray*>(this)->Slot(i);
}

long long TFlaggedArray::Fold(long long k) const {
    if (MaxIndice <= 0)
        Raise("Division by zero");
    return (MaxIndice + k) % MaxIndice;
}

void TFlaggedArray::Allocate(long long n) {
    if (n < 1 || n > MaxFVIndex + 1LL)
        Raise(RangeError);
    std::vector<TFlaggedValue> fresh(static_cast<std::size_t>(n));
    PVA.swap(fresh); // releases a long series' storage at once
}

void TFlaggedArray::Reset() {
    Guard({"Error in TFlaggedArray.Reset"}, [&] {
        LastIndice = -1;
        ReadIndice = -1;
        const int increment = FAIncrement.load(std::memory_order_relaxed);
        Allocate(increment + 1LL);
        MaxIndice = increment;
    });
}

bool TFlaggedArray::WriteArray(TStream& stream) const {
    return Guard({"Error in TFlaggedArray.WriteArray"}, [&] {
        TRecordWriter w(stream, "TFlaggedArray.WriteArray: write error - ");
        w.Put<std::int32_t>(FAIncrement.load(std::memory_order_relaxed), "FAIncrement");
        w.Put<std::int32_t>(MaxIndice, "MaxIndice");
        w.Put<std::int32_t>(LastIndice, "LastIndice");
        w.Put<std::int32_t>(ReadIndice, "ReadIndice");
        w.PutBytes(PVA.data(), PVA.size() * sizeof(TFlaggedValue), "PVA");
    });
}

bool TFlaggedArray::ReadArray(TStream& stream) {
    return Guard({"Error in TFlaggedArray.ReadArray"}, [&] {
        // Fields keep their new values as they are read. Counts that would make the array
        // inconsistent with its storage are refused, so a damaged file cannot lead a later
        // access outside the storage.
        TRecordReader r(stream, "TFlaggedArray.ReadArray: read error - ");
        const auto increment = r.Get<std::int32_t>("FAIncrement");
        if (increment < 1 || increment > MaxFVIndex)
            Raise("TFlaggedArray.ReadArray: bad value - FAIncrement");
        FAIncrement.store(increment, std::memory_order_relaxed);

        const auto maxIndice = r.Get<std::int32_t>("MaxIndice");
        if (maxIndice < 0 || maxIndice > MaxFVIndex)
            Raise("TFlaggedArray.ReadArray: bad value - MaxIndice");
        Allocate(maxIndice + 1LL);
        MaxIndice = maxIndice;
        LastIndice = -1;
        ReadIndice = -1;

        const auto lastIndice = r.Get<std::int32_t>("LastIndice");
        if (lastIndice < -1 || lastIndice > maxIndice)
            Raise("TFlaggedArray.ReadArray: bad value - LastIndice");
        LastIndice = lastIndice;
        ReadIndice = r.Get<std::int32_t>("ReadIndice");
        r.GetBytes(PVA.data(), PVA.size() * sizeof(TFlaggedValue), "PVA");
    });
}

// A failed read of a whole element gives InvalidFV, never a valid-looking zero.
TFlaggedValue TFlaggedArray::AtFV(int indice) const {
    return GuardOr({"Error in TFlaggedArray.AtFV"}, InvalidFV, [&] {
        const long long i = Fold(indice);
        if (i < 0)
            Raise("TLinearArray.AtFV: index error");
        return Slot(i);
    });
}

float TFlaggedArray::AtValue(int indice) const {
    return GuardOr({"Error in TFlaggedArray.AtValue"}, 0.0f, [&] {
        const long long i = Fold(indice);
        if (i < 0)
            Raise("TLinearArray.AtModifyFV: index error");
        return Slot(i).value;
    });
}

std::uint8_t TFlaggedArray::AtFlag(int indice) const {
    return GuardOr({"Error in TFlaggedArray.AtFlag"}, std::uint8_t{1}, [&] {
        CheckIndex(indice, MaxIndice, "TLinearArray.AtModifyFV: index error");
        return Slot(Fold(indice)).flag;
    });
}

void TFlaggedArray::AtModifyFV(int Indice, const TFlaggedValue& fv) {
    Guard({"Error in TFlaggedArray.AtModifyFV"}, [&] {
        CheckIndex(Indice, MaxIndice, "TFlaggedArray.AtModifyFV: index error");
        Slot(Indice) = fv;
    });
}

void TFlaggedArray::AtModify(int Indice, float v, std::uint8_t f) {
    Guard({"Error in TFlaggedArray.AtModify"}, [&] {
        CheckIndex(Indice, MaxIndice, "TFlaggedArray.AtModify: index error");
        Slot(Indice) = TFlaggedValue{v, f};
    });
}

TFlaggedValue TFlaggedArray::LastFV() const {
    return GuardOr({"Error in TFlaggedArray.LastFV"}, InvalidFV, [&] { return Slot(LastIndice); });
}

float TFlaggedArray::LastValue() const {
    return GuardOr({"Error in TFlaggedArray.LastValue"}, 0.0f,
                   [&] { return Slot(LastIndice).value; });
}

std::uint8_t TFlaggedArray::LastFlag() const {
    return GuardOr({"Error in TFlaggedArray.LastFlag"}, std::uint8_t{1},
                   [&] { return Slot(LastIndice).flag; });
}

// ---- TLinearArray -----------------------------------------------------------------------------

TLinearArray TLinearArray::LoadCount(const TFlaggedValue* buf, int ItemNo) {
    TLinearArray a;
    Guard({"Error in TLinearArray.LoadCount"}, [&] {
        if (ItemNo <= 0 || buf == nullptr)
            Raise("TFlaggedArray.LoadSize: ItemNo error");
        a.Allocate(ItemNo + 1LL);
        std::memcpy(a.PVA.data(), buf, static_cast<std::size_t>(ItemNo) * sizeof(TFlaggedValue));
        a.MaxIndice = ItemNo;
        a.LastIndice = 0;
        a.ReadIndice = 0;
    });
    return a;
}

void TLinearArray::Clear() {
    Guard({"Error in TLinearArray.Clear"}, [&] {
        LastIndice = -1;
        ReadIndice = -1;
        const int increment = FAIncrement.load(std::memory_order_relaxed);
        Allocate(increment + 1LL);
        MaxIndice = increment;
    });
}

void TLinearArray::Reserve(long long count) {
    if (count <= 0 || count > MaxFVIndex + 1LL)
        return;
    // The storage grows in steps of FAIncrement: room for the step that holds the last element.
    const long long room =
        std::min(count + FAIncrement.load(std::memory_order_relaxed) + 1, MaxFVIndex + 1LL);
    Guard({"Error in TLinearArray.Reserve"}, [&] { PVA.reserve(static_cast<std::size_t>(room)); });
}

bool TLinearArray::IncMemTo(long long index) {
    if (index <= MaxIndice)
        return true;
    return Guard({"Error in TLinearArray.IncMem"}, [&] {
        const long long step = FAIncrement.load(std::memory_order_relaxed);
        const long long steps = (index - MaxIndice + step - 1) / step;
        const long long newMax = MaxIndice + steps * step;
        if (newMax > MaxFVIndex)
            Raise(RangeError);
        // The vector grows its capacity geometrically, so appending stays cheap per sample.
        PVA.resize(static_cast<std::size_t>(newMax + 1));
        MaxIndice = static_cast<int>(newMax);
    });
}

// On any failure the series is left as it was: LastIndice never points past the storage.
void TLinearArray::AddFV(const TFlaggedValue& fv) {
    Guard({"Error in TLinearArray.AddFV"}, [&] {
        const long long next = LastIndice + 1LL;
        IncMemTo(next);
        Slot(next) = fv;
        LastIndice = static_cast<int>(next);
    });
}

void TLinearArray::Add(float v, std::uint8_t f) {
    Guard({"Error in TLinearArray.Add"}, [&] {
        const long long next = LastIndice + 1LL;
        IncMemTo(next);
        Slot(next) = TFlaggedValue{v, f};
        LastIndice = static_cast<int>(next);
    });
}

void TLinearArray::AddFVAt(const TFlaggedValue& fv, int index) {
    if (index < 0)
        throw EArrayIndexError();
    Guard({"Error in TLinearArray.AddValueAt"}, [&] {
        IncMemTo(index);
        TFlaggedValue& target = Slot(index);
        for (long long i = LastIndice + 1LL; i < index; ++i)
            PVA[static_cast<std::size_t>(i)] = InvalidFV;
        target = fv;
        LastIndice = index;
    });
}

void TLinearArray::SetFVAt(const TFlaggedValue& fv, int index) {
    Guard({"Error in TLinearArray.SetFVAt"}, [&] {
        CheckIndex(index, MaxIndice, "TLinearArray.SetFVAt: index error");
        Slot(index) = fv;
    });
}

TFlaggedValue TLinearArray::AtFV(int indice) const {
    return GuardOr({"Error in TFlaggedArray.AtFV"}, InvalidFV, [&] {
        CheckIndex(indice, MaxIndice, "TLinearArray.AtFV: index error");
        return Slot(indice);
    });
}

float TLinearArray::AtValue(int indice) const {
    return GuardOr({"Error setting value in linear array"}, 0.0f, [&] {
        CheckIndex(indice, MaxIndice, "TLinearArray.AtModifyFV: index error");
        return Slot(indice).value;
    });
}

std::uint8_t TLinearArray::AtFlag(int indice) const {
    return GuardOr({"Error in TFlaggedArray.AtFlag"}, std::uint8_t{1}, [&] {
        CheckIndex(indice, MaxIndice, "TLinearArray.AtModifyFV: index error");
        return Slot(indice).flag;
    });
}

TFlaggedValue TLinearArray::NextFV() {
    return GuardOr({"Error in TLinearArray.NextFV"}, InvalidFV, [&] {
        ++ReadIndice;
        CheckIndex(ReadIndice, MaxIndice, "TFlaggedArray.LoadSize: Indice error");
        return Slot(ReadIndice);
    });
}

float TLinearArray::NextValue() {
    return GuardOr({"Error in TLinearArray.Nextvalue"}, 0.0f, [&] {
        ++ReadIndice;
        CheckIndex(ReadIndice, MaxIndice, "TFlaggedArray.LoadSize: Indice error");
        return Slot(ReadIndice).value;
    });
}

std::uint8_t TLinearArray::NextFlag() {
    return GuardOr({"Error in TLinearArray.NextFlag"}, std::uint8_t{1}, [&] {
        ++ReadIndice;
        CheckIndex(ReadIndice, MaxIndice, "TFlaggedArray.LoadSize: Indice error");
        return Slot(ReadIndice).flag;
    });
}

// ---- TCyclicArray -----------------------------------------------------------------------------

TCyclicArray::TCyclicArray(int ItemNo) {
    Guard({"Error in TCyclicArray.Create"}, [&] {
        Allocate(ItemNo + 1LL);
        MaxIndice = ItemNo;
    });
}

void TCyclicArray::Reset() {
    LastIndice = -1;
    ReadIndice = -1;
}

void TCyclicArray::AddFV(const TFlaggedValue& fv) {
    Guard({"Error in TCyclicArray.AddFV"}, [&] {
        if (MaxIndice <= 0)
            Raise("Division by zero");
        const long long next = (LastIndice + 1LL) % MaxIndice;
        Slot(next) = fv;
        LastIndice = static_cast<int>(next);
    });
}

void TCyclicArray::Add(float v, std::uint8_t f) {
    Guard({"Error in TCyclicArray.Add"}, [&] {
        if (MaxIndice <= 0)
            Raise("Division by zero");
        const long long next = (LastIndice + 1LL) % MaxIndice;
        Slot(next) = TFlaggedValue{v, f};
        LastIndice = static_cast<int>(next);
    });
}

void TCyclicArray::AddFVAt(const TFlaggedValue& fv, int index) {
    if (index < 0 || index > MaxIndice)
        throw EArrayIndexError();
    Guard({"Error in TCyclicArray.AddValueAt"}, [&] {
        Slot(index) = fv;
        LastIndice = index;
    });
}

void TCyclicArray::AddValueAt(float v, int index) {
    AddFVAt(TFlaggedValue{v, 0}, index);
}

namespace {
// Slot delta places before `from` on a ring of maxIndice slots; a result outside the storage
// is a delta error.
long long RingBefore(long long from, int delta, int maxIndice, const char* message) {
    if (maxIndice <= 0)
        Raise("Division by zero");
    const long long i = (from + maxIndice - delta) % maxIndice;
    if (i < 0 || i > maxIndice)
        Raise(message);
    return i;
}
} // namespace

TFlaggedValue TCyclicArray::PrecFV(int delta) const {
    return GuardOr({"Error in TCyclicArray.PrecFV"}, InvalidFV, [&] {
        return Slot(RingBefore(LastIndice, delta, MaxIndice, "TCyclicArray.PrecFV: delta error"));
    });
}

TFlaggedValue TCyclicArray::PrecFVI(int delta, int index) const {
    return GuardOr({"Error in TCyclicArray.PrecFVI"}, InvalidFV, [&] {
        return Slot(RingBefore(index, delta, MaxIndice, "TCyclicArray.PrecFV: delta error"));
    });
}

float TCyclicArray::PrecValue(int delta) const {
    return GuardOr({"Error in TCyclicArray.PrecValue"}, 0.0f, [&] {
        return Slot(RingBefore(LastIndice, delta, MaxIndice, "TCyclicArray.PrecValue: delta error"))
            .value;
    });
}

float TCyclicArray::PrecVI(int delta, int index) const {
    return GuardOr({"Error in TCyclicArray.PrecVI"}, 0.0f, [&] {
        return Slot(RingBefore(index, delta, MaxIndice, "TCyclicArray.PrecValue: delta error"))
            .value;
    });
}

std::uint8_t TCyclicArray::PrecFlag(int delta) const {
    return GuardOr({"Error in TCyclicArray.PrecFlag"}, std::uint8_t{1}, [&] {
        return Slot(RingBefore(LastIndice, delta, MaxIndice, "TCyclicArray.PrecFV: delta error"))
            .flag;
    });
}

} // namespace marevo
