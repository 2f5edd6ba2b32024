#include "shell/DataFiles.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"
#include "records/Config.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace marevo {

namespace {
bool Digits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

std::optional<TCastName> LastFileCast(std::string_view lastFile) {
    if (lastFile.size() < 4)
        return std::nullopt;
    const std::string_view digits = lastFile.substr(lastFile.size() - 3);
    const std::string_view cruise = lastFile.substr(0, lastFile.size() - 3);
    if (!Digits(digits) || !IsSafeSettingsName(cruise))
        return std::nullopt;
    const int cast = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
    if (cast < 1)
        return std::nullopt;
    return TCastName{std::string(cruise), cast};
}

std::filesystem::path FindIgnoringCase(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(file, ec))
        return file;
    const auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string wanted = lower(file.filename().string());
    for (const auto& entry : fs::directory_iterator(file.parent_path(), ec))
        if (lower(entry.path().filename().string()) == wanted)
            return entry.path();
    return file;
}

bool IsEventLogName(std::string_view name) {
    // log_ddMMyy_HHmmss.txt
    return name.size() == 21 && name.substr(0, 4) == "log_" && Digits(name.substr(4, 6)) &&
           name[10] == '_' && Digits(name.substr(11, 6)) && name.substr(17) == ".txt";
}

int ClearLogFiles(const std::filesystem::path& folder, const std::filesystem::path& current) {
    namespace fs = std::filesystem;
    int deleted = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const fs::path& p = entry.path();
        if (!entry.is_regular_file(ec) || !IsEventLogName(p.filename().string()))
            continue;
        if (fs::equivalent(p, current, ec))
            continue;
        if (fs::remove(p, ec))
            ++deleted;
        else if (ec)
            WriteLog("Clear log files: cannot delete " + p.string() + ": " + ec.message());
    }
    return deleted;
}

} // namespace marevo
