#include "ParamsCommand.h"

#include "parameters/ParaCatalogue.h"
#include "parameters/ParaNames.h"
#include "parameters/Parameter.h"
#include "processing/ParamCollection.h"

#include <fmt/core.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace marevo::cli {

namespace {

constexpr std::size_t ColumnCount = 9;
using TRow = std::array<std::string, ColumnCount>;

// Width on a terminal: the texts are UTF-8 with one column per character ("°").
std::size_t DisplayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Input numbers in the formula's order, then the parameter whose coefficients the formula uses.
std::string LinksText(const TParaFunction& function) {
    std::string text;
    for (int i = 0; i < std::clamp(function.LinkNb, 0, MaxLinks); ++i)
        text += (i > 0 ? "," : "") + std::to_string(function.ParaLink[i]);
    if (function.CalibLink != 0)
        text += fmt::format(" (coefficients of {})", function.CalibLink);
    return text;
}

TRow RowOf(const TParameter& p) {
    const std::int32_t probe = p.paraRaw.PrbCross[0];
    return {std::to_string(p.GetParaNb()),
            p.ParaGeneral.IDStr.Get(),
            p.ParaGeneral.OrigName.Get(),
            p.ParaGeneral.OrigUnit.Get(),
            std::string(ParaTypeName(p.paraRaw.ParaType)),
            std::string(ParaConvName(p.paraRaw.ConvType)),
            std::string(ParaCalibTypeName(p.paraRaw.CalibType)),
            probe == NoProbeCode ? "-" : std::to_string(probe),
            LinksText(p.ParaFunction)};
}

} // namespace

// The default collection is built as the program builds it, so the number outside the catalogue
// shows as the "New" parameter it becomes.
int RunParams(const std::filesystem::path& file, const std::filesystem::path& writeDefault) {
    TParamCollection collection;
    if (!writeDefault.empty()) {
        collection.DefaultParamCol();
        if (!collection.SaveToStreamName(writeDefault))
            return 1;
        fmt::print(stderr, "wrote {} parameters to {}\n", collection.Count(),
                   writeDefault.string());
    }
    if (!file.empty()) {
        if (!collection.ReadFromStreamName(file)) {
            fmt::print(stderr, "marevo-cli: cannot read {} as a parameter collection (version {})\n",
                       file.string(), ParamColVersion);
            return 1;
        }
    } else if (writeDefault.empty()) {
        collection.DefaultParamCol();
    }

    std::vector<TRow> rows = {
        {"No", "ID", "Name", "Unit", "Type", "Conversion", "Calibration", "Probe", "Links"}};
    for (const auto& parameter : collection)
        rows.push_back(RowOf(*parameter));

    std::array<std::size_t, ColumnCount> widths{};
    for (const TRow& row : rows)
        for (std::size_t c = 0; c < ColumnCount; ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));

    for (const TRow& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < ColumnCount; ++c) {
            if (c > 0)
                line += "  ";
            line += row[c];
            line.append(widths[c] - DisplayWidth(row[c]), ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        fmt::print("{}\n", line);
    }
    return 0;
}

} // namespace marevo::cli
