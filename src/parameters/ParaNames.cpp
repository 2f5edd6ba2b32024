#include "parameters/ParaNames.h"

#include <array>
#include <cstddef>

namespace marevo {

namespace {

// In ordinal order.
constexpr std::array<std::string_view, 14> ParaTypeNames = {
    "Pt_None", "Pt_Util",   "Pt_Acqui",  "Pt_Raw",    "Pt_Calc", "Pt_CWC",   "Pt_Nmea",
    "Pt_Tims", "Pt_Bottle", "Pt_Cruise", "Pt_header", "Pt_Ext",  "pt_Speed", "pt_WinchSpeed",
};
static_assert(ParaTypeNames.size() == pt_WinchSpeed + 1);

constexpr std::array<std::string_view, 11> ParaConvNames = {
    "ParaConvNone", "ParaConvByte", "ParaConvWord",  "ParaConvSingle",
    "ParaConvSB3",  "ParaConvSBAD", "ParaConvByte3", "ParaConvHDF4",
    "ParaConvHDF5", "ParaConvHDF6", "ParaConvHDF7",
};
static_assert(ParaConvNames.size() == ParaConvHDF7 + 1);

constexpr std::array<std::string_view, 13> ParaCalibTypeNames = {
    "ParaCalibDummy", "ParaCalibNone", "ParaCalibLinear", "ParacalibPoly3",   "ParacalibPoly5",
    "ParacalibPoly8", "ParaCalibLog",  "ParaCalibETime",  "ParaCalibQVLTime", "ParaCalibPres0",
    "ParaCalibFresh", "ParaCalibPar",  "ParaCalibWetLab",
};
static_assert(ParaCalibTypeNames.size() == ParaCalibWetLab + 1);

template <std::size_t N>
std::string_view NameOf(const std::array<std::string_view, N>& names, unsigned ordinal) {
    return ordinal < N ? names[ordinal] : std::string_view("?");
}

} // namespace

std::string_view ParaTypeName(TParaType type) {
    return NameOf(ParaTypeNames, type);
}

std::string_view ParaConvName(TParaConv conv) {
    return NameOf(ParaConvNames, conv);
}

std::string_view ParaCalibTypeName(TParaCalibType calib) {
    return NameOf(ParaCalibTypeNames, calib);
}

} // namespace marevo
