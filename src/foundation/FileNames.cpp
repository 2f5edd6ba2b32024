#include "foundation/FileNames.h"

#include "foundation/Guard.h"

#include <cctype>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace marevo {

namespace fs = std::filesystem;

fs::path DefaultDataRoot() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = getpwuid(getuid());
        home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
    }
    return fs::path(home) / "MarevoData";
}

fs::path ParamColName(const fs::path& cfgFolder) { return cfgFolder / "Param.col"; }

fs::path EnvironName(const fs::path& cfgFolder) { return cfgFolder / "Environ.env"; }

fs::path DefaultConfigName(const fs::path& cfgFolder, std::string_view configName) {
    return GuardOr({"Error in MarevoTypes/DefaultConfigName"}, fs::path(),
                   [&] { return cfgFolder / (std::string(configName) + ".cfg"); });
}

fs::path CruiseFolder(const fs::path& dataRoot, std::string_view cruise) {
    return dataRoot / std::string(cruise);
}

fs::path DefaultCruiseName(const fs::path& dataRoot, std::string_view cruise) {
    return GuardOr({"Error in MarevoTypes/DefaultCruiseName"}, fs::path(), [&] {
        return CruiseFolder(dataRoot, cruise) / (std::string(cruise) + ".cru");
    });
}

std::string CastNumberText(int castNumber) {
    return RightChars("000" + std::to_string(castNumber), 3);
}

fs::path BinFileName(const fs::path& binDir, std::string_view cruise, int castNumber) {
    return binDir / (std::string(cruise) + CastNumberText(castNumber) + ".bin");
}

fs::path BinFileOf(const fs::path& dataRoot, std::string_view f) {
    return CruiseFolder(dataRoot, ExtractCruise(f)) / "bin" / (BaseFileName(f) + ".bin");
}

// ---- Names in text ----------------------------------------------------------------------------

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string_view FilePart(std::string_view f) {
    for (std::size_t i = f.size(); i > 0; --i)
        if (IsSeparator(f[i - 1]))
            return f.substr(i);
    return f;
}

std::string DropRight(std::string_view s, std::size_t n) {
    return s.size() >= n ? std::string(s.substr(0, s.size() - n)) : std::string();
}

} // namespace

std::string RightChars(std::string_view s, int n) {
    if (n <= 0)
        return {};
    const auto count = static_cast<std::size_t>(n);
    return std::string(s.size() <= count ? s : s.substr(s.size() - count));
}

std::string BaseFileName(std::string_view f) {
    const std::string_view name = FilePart(f);
    const std::size_t dot = name.find('.');
    return std::string(dot == std::string_view::npos ? f : name.substr(0, dot));
}

std::string ExtractCruise(std::string_view f) {
    return GuardOr({"Error in MarevoTypes/ExtractCruise"}, std::string(), [&] {
        // Only the file part decides, so a dot in a folder name changes nothing.
        const std::string_view name = FilePart(f);
        if (name.find('.') == std::string_view::npos)
            return DropRight(name, 3); // cruise name + three-digit cast number
        std::string tail = RightChars(name, 3);
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return DropRight(name, tail == "cru" ? 4 : 7); // "CR.cru" or "CR007.bin"
    });
}

int ExtractCastNumber(std::string_view f) {
    return GuardOr({"Error in MarevoTypes/ExtractCastNumber"}, 0, [&] {
        const std::string digits = RightChars(BaseFileName(f), 3);
        if (digits.empty())
            return 0;
        int value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return 0;
            value = value * 10 + (c - '0');
        }
        return value;
    });
}

} // namespace marevo
