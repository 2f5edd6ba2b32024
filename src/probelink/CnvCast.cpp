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
                cast.names.emplace_back(name);
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
