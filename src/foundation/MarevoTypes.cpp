#include "foundation/MarevoTypes.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace marevo {

namespace fs = std::filesystem;

void StatusMessage(std::string_view text) {
    Operator().ShowStatus(text);
    WriteLog(text);
}

void ClearStatusMessage() { Operator().ClearStatus(); }

// ---- Standard names ---------------------------------------------------------------------------

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

// ---- Text operations --------------------------------------------------------------------------

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string_view FilePart(std::string_view f) {
    for (std::size_t i = f.size(); i > 0; --i)
        if (IsSeparator(f[i - 1]))
            return f.substr(i);
    return f;
}

// Leading and trailing blanks and control characters.
std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
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

int WordNumber(std::string_view s) {
    return GuardOr({"Error in MarevoTypes/WordNumber"}, 0, [&] {
        int count = 0;
        for (;;) {
            s = Trim(s);
            if (s.empty())
                return count;
            ++count;
            const std::size_t blank = s.find(' ');
            if (blank == std::string_view::npos)
                return count;
            s.remove_prefix(blank);
        }
    });
}

std::string ExtractWord(std::string_view s, int n) {
    return GuardOr({"Error in MarevoTypes/ExtractWord"}, std::string(), [&] {
        int i = 0;
        for (;;) {
            s = Trim(s);
            if (s.empty())
                return std::string();
            const std::size_t blank = s.find(' ');
            const std::string_view word = s.substr(0, blank);
            if (++i == n)
                return std::string(Trim(word));
            if (blank == std::string_view::npos)
                return std::string();
            s.remove_prefix(blank);
        }
    });
}

bool IsAnswerChar(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        c = static_cast<unsigned char>(c - 'a' + 'A');
    return c == 9 || c == 10 || c == 13 || (c >= 32 && c <= 93) || c == 95;
}

// ---- Numbers and time -------------------------------------------------------------------------

void WaitSeconds(double s) {
    IClock& clock = Clock();
    const std::uint64_t start = clock.TickMs();
    const double limitMs = s * 1000.0;
    while (static_cast<double>(clock.TickMs() - start) <= limitMs)
        clock.SleepMs(1);
}

long double Power10(long double x) { return std::exp(x * std::log(10.0L)); }

} // namespace marevo
