#include "probelink/CnvCast.h"

#include "foundation/Guard.h"

#include <bzlib.h>

#include <charconv>
#include <cstdio>
#include <memory>

namespace marevo {

namespace {

// The whole file, decompressed when it ends in ".bz2".
std::string ReadText(const std::filesystem::path& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file.c_str(), "rb"), std::fclose);
    if (!f)
        Raise("cannot open " + file.string());
    std::string text;
    char chunk[1 << 16];
    if (file.extension() != ".bz2") {
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0)
            text.append(chunk, n);
        return text;
    }
    int error = BZ_OK;
    BZFILE* bz = BZ2_bzReadOpen(&error, f.get(), 0, 0, nullptr, 0);
    if (error != BZ_OK)
        Raise(file.string() + " is not a bzip2 file");
    while (error == BZ_OK) {
        const int n = BZ2_bzRead(&error, bz, chunk, sizeof chunk);
        if (n > 0)
            text.append(chunk, static_cast<std::size_t>(n));
    }
    BZ2_bzReadClose(nullptr, bz);
    if (error != BZ_STREAM_END)
        Raise(file.string() + " is a damaged bzip2 file");
    return text;
}

} // namespace

int TCnvCast::Column(const std::string& shortName) const {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == shortName)
            return static_cast<int>(i);
    return -1;
}

TCnvConversion CnvToProbe(const TCnvCast& cast, int column, TCnvQuantity quantity) {
    if (column < 0 || static_cast<std::size_t>(column) >= cast.longNames.size())
        Raise("no such column in the cnv table");
    const std::string& text = cast.longNames[static_cast<std::size_t>(column)];
    const std::size_t open = text.find('[');
    const std::size_t close = text.find(']', open);
    const std::string unit = open == std::string::npos || close == std::string::npos
                                 ? std::string()
                                 : text.substr(open + 1, close - open - 1);
    const auto refuse = [&](std::string_view what) -> TCnvConversion {
        Raise("column " + cast.names[static_cast<std::size_t>(column)] + ": " + std::string(what) +
              " unit \"" + unit + "\" cannot be read as the probe's");
    };
    switch (quantity) {
    case TCnvQuantity::Pressure:
        if (unit == "db" || unit == "dbar")
            return {1.0};
        return refuse("pressure");
    case TCnvQuantity::Temperature:
        // The probe measures on the 1968 scale, on which every formula works: T68 = 1.00024 T90.
        if (unit == "ITS-90, deg C" || unit == "ITS-90")
            return {1.00024};
        if (unit == "IPTS-68, deg C" || unit == "IPTS-68")
            return {1.0};
        return refuse("temperature");
    case TCnvQuantity::Conductivity:
        if (unit == "S/m")
            return {10.0};
        if (unit == "mS/cm")
            return {1.0};
        if (unit == "uS/cm" || unit == "\u00b5S/cm")
            return {0.001};
        return refuse("conductivity");
    }
    return refuse("");
}

TCnvCast ReadCnvCast(const std::filesystem::path& file) {
    const std::string text = ReadText(file);
    TCnvCast cast;
    bool inData = false;
    std::size_t lineNb = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        ++lineNb;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!inData) {
            if (line.starts_with("*END*")) {
                if (cast.names.empty())
                    Raise(file.string() + ": no column names before *END*");
                inData = true;
            } else if (line.starts_with("# name ")) {
                // "# name 3 = t090C: Temperature [ITS-90, deg C]"
                const std::size_t eq = line.find('=');
                const std::size_t colon = line.find(':', eq);
                if (eq == std::string_view::npos || colon == std::string_view::npos)
                    Raise(file.string() + " line " + std::to_string(lineNb) + ": bad column name");
                std::string_view name = line.substr(eq + 1, colon - eq - 1);
                while (!name.empty() && name.front() == ' ')
                    name.remove_prefix(1);
                std::string_view longName = line.substr(colon + 1);
                while (!longName.empty() && longName.front() == ' ')
                    longName.remove_prefix(1);
                cast.names.emplace_back(name);
                cast.longNames.emplace_back(longName);
            }
            continue;
        }
        std::size_t columns = 0;
        const char* p = line.data();
        const char* const stop = line.data() + line.size();
        while (true) {
            while (p < stop && (*p == ' ' || *p == '\t'))
                ++p;
            if (p == stop)
                break;
            double v = 0;
            const auto [next, ec] = std::from_chars(p, stop, v);
            if (ec != std::errc())
                Raise(file.string() + " line " + std::to_string(lineNb) + ": bad number");
            cast.values.push_back(v);
            ++columns;
            p = next;
        }
        if (columns == 0)
            continue;
        if (columns != cast.names.size())
            Raise(file.string() + " line " + std::to_string(lineNb) + ": " +
                  std::to_string(columns) + " columns instead of " +
                  std::to_string(cast.names.size()));
    }
    if (!inData)
        Raise(file.string() + ": no *END* line");
    return cast;
}

} // namespace marevo
