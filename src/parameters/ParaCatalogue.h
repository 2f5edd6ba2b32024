#pragma once
// The fixed catalogue of known parameter numbers: for each number the complete default definition
// of its parameter. TParameter::SetDefPara fills a parameter from it, and the default collection
// is built from DefaultParaSequence.

#include "parameters/ParaRecords.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace marevo {

// Texts are UTF-8 here; they become Windows-1252 when written into a record.
struct TCatalogueEntry {
    std::int32_t Number = 0;
    std::string_view IDStr;
    std::string_view Name; // OrigName
    std::string_view Unit; // OrigUnit, "" when the quantity has none
    std::int32_t ProbeCode = NoProbeCode;
    TParaType ParaType = Pt_None;
    TParaConv ConvType = ParaConvNone;
    TParaCalibType CalibType = ParaCalibNone;
    bool MainPara = true;
    bool Hidden = false;
    // Texts and decimals by use, indexed like TParaText (TParaTextUse).
    std::array<std::string_view, 6> ParaStr{};
    std::array<std::int32_t, 6> Decimal{};
    double AbsoMin = 0;
    double AbsoMax = 0;
    double MinExt = 0; // smallest span of an automatic plot scale
    double CurMin = 0; // plot axis; CurMin > CurMax on a downward axis (depth)
    double CurMax = 0;
    double TrackStep = 0;
    std::int32_t Color = 0; // 0x00BBGGRR
    std::array<std::string_view, CalibCoefCount> CalibStr{};
    std::array<std::int32_t, MaxLinks> ParaLink{}; // inputs, in the formula's order
    std::int32_t LinkNb = 0;
    std::int32_t CalibLink = 0; // parameter whose coefficients the formula uses; 0 = none
};

// The entry of a number, null when the number is not in the catalogue.
const TCatalogueEntry* FindCatalogueEntry(int number);

// Number of catalogue entries (210).
int CatalogueSize();

// Every entry, by ascending number.
std::span<const TCatalogueEntry> CatalogueEntries();

// The numbers of the default collection in their order: every catalogue number once, plus 426,
// which is no catalogue number and so becomes a "New" parameter with the base defaults.
const std::vector<int>& DefaultParaSequence();

// Smoothing of the stored values that a parameter of this number starts with, whether or not the
// number is in the catalogue: none for the time base, pressure and the GPS position.
TSmoothType DefaultSmoothType(int number);

} // namespace marevo
