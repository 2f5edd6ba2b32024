#pragma once
// Series of flagged values: TLinearArray grows (a whole cast of one parameter, binned results,
// smoothing buffers), TCyclicArray is a ring (the last frames of one parameter during
// acquisition). Ordinary access errors never throw: they are logged and the caller carries on,
// so one bad index cannot stop an acquisition. Only AddFVAt with an impossible index raises
// EArrayIndexError, before anything changes.

#include "foundation/FlaggedValue.h"
#include "foundation/Stream.h"

#include <atomic>
#include <stdexcept>
#include <vector>

namespace marevo {

// Growth step of linear arrays and their initial capacity - 1. Every construction sets it to 32;
// ReadArray takes the value stored in the file (always 32 in files this system writes).
extern std::atomic<int> FAIncrement;

class EArrayIndexError : public std::runtime_error {
public:
    EArrayIndexError() : std::runtime_error("IndexError") {}
};

class TFlaggedArray {
public:
    TFlaggedArray();
    virtual ~TFlaggedArray() = default;
    TFlaggedArray(const TFlaggedArray&) = default;
    TFlaggedArray& operator=(const TFlaggedArray&) = default;
    TFlaggedArray(TFlaggedArray&&) = default;
    TFlaggedArray& operator=(TFlaggedArray&&) = default;

    // Highest storage index: storage holds MaxIndice+1 elements.
    int MaxIndice = -1;
    // Last element written; -1 when empty.
    int LastIndice = -1;
    // Cursor of the sequential reader; -1 = before the first element.
    int ReadIndice = -1;

    int Count() const { return LastIndice + 1; }
    void ResetReadIndice() { ReadIndice = 0; }

    // Empties the array and returns the storage to FAIncrement+1 zeroed elements.
    virtual void Reset();
    // Binary form: FAIncrement, MaxIndice, LastIndice, ReadIndice (int32 each), then the whole
    // storage, 8 bytes an element (280 bytes for a new array).
    virtual bool WriteArray(TStream& stream) const;
    virtual bool ReadArray(TStream& stream);

    // Element access with ring folding: (MaxIndice + indice) mod MaxIndice, so indices down to
    // -MaxIndice land inside the ring.
    TFlaggedValue AtFV(int indice) const;
    float AtValue(int indice) const;
    // indice must lie in 0..MaxIndice.
    std::uint8_t AtFlag(int indice) const;
    // Overwrite element Indice (0..MaxIndice); LastIndice unchanged.
    void AtModifyFV(int Indice, const TFlaggedValue& fv);
    void AtModify(int Indice, float v, std::uint8_t f);

    TFlaggedValue LastFV() const;
    float LastValue() const;
    std::uint8_t LastFlag() const;

    // The storage, MaxIndice+1 elements, for loops that read whole series.
    const TFlaggedValue* Data() const { return PVA.data(); }

protected:
    // Element i of the storage; raises "Range check error" outside it.
    TFlaggedValue& Slot(long long i);
    const TFlaggedValue& Slot(long long i) const;
    // (MaxIndice + k) mod MaxIndice with the sign of the dividend.
    long long Fold(long long k) const;
    // Resizes the storage to n zeroed elements.
    void Allocate(long long n);

    std::vector<TFlaggedValue> PVA;
};

class TLinearArray : public TFlaggedArray {
public:
    TLinearArray() = default;
    // Takes ItemNo (> 0) elements from buf; MaxIndice := ItemNo, LastIndice and ReadIndice 0.
    static TLinearArray LoadCount(const TFlaggedValue* buf, int ItemNo);

    void Clear();
    // Room for count elements without moving the series again while it grows to them: a long
    // series grown by doubling is copied many times and, while it moves, held twice. Changes no
    // element and no index; a count the series may never hold is ignored.
    void Reserve(long long count);

    void AddFV(const TFlaggedValue& fv);
    void Add(float v, std::uint8_t f);
    // Makes index the last element: pads with InvalidFV when index is beyond the series, shortens
    // the series when it is inside. Raises EArrayIndexError for a negative index.
    void AddFVAt(const TFlaggedValue& fv, int index);
    // Overwrite element index (0..MaxIndice); LastIndice unchanged.
    void SetFVAt(const TFlaggedValue& fv, int index);

    // No folding: indice must lie in 0..MaxIndice (the capacity, not Count).
    TFlaggedValue AtFV(int indice) const;
    float AtValue(int indice) const;
    std::uint8_t AtFlag(int indice) const;

    TFlaggedValue NextFV();
    float NextValue();
    std::uint8_t NextFlag();

private:
    // Grows the storage by FAIncrement until it holds index; false when it cannot.
    bool IncMemTo(long long index);
};

// Row r of a series; InvalidFV beyond its end or without a series, so that a series shorter than
// its table gives flagged rows rather than the zeros of unused storage.
inline TFlaggedValue SeriesRow(const TLinearArray* series, int r) {
    if (!series || r < 0 || r > series->LastIndice)
        return InvalidFV;
    return series->Data()[r];
}

class TCyclicArray : public TFlaggedArray {
public:
    // A ring of ItemNo slots (0..ItemNo-1) plus one storage element at ItemNo that ring
    // additions never reach. The acquisition rings hold 2000.
    explicit TCyclicArray(int ItemNo);

    // Forgets the position only: capacity and contents are kept.
    void Reset() override;

    void AddFV(const TFlaggedValue& fv);
    void Add(float v, std::uint8_t f);
    // Makes index (0..MaxIndice) the last slot written; raises EArrayIndexError outside it.
    void AddFVAt(const TFlaggedValue& fv, int index);
    void AddValueAt(float v, int index);

    // The element delta places before the last one (delta 0 = the last one).
    TFlaggedValue PrecFV(int delta) const;
    // The element delta places before slot index.
    TFlaggedValue PrecFVI(int delta, int index) const;
    float PrecValue(int delta) const;
    float PrecVI(int delta, int index) const;
    std::uint8_t PrecFlag(int delta) const;
};

} // namespace marevo
