#include "acquisition/CastFilesAside.h"

#include "foundation/EventLog.h"
#include "foundation/Guard.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace marevo {

namespace fs = std::filesystem;

namespace {
// The last three characters of the raw file's name replaced, as the data source and the
// transcript name their companions.
fs::path Companion(const fs::path& raw, const char* ext) {
    std::string name = raw.string();
    name.resize(name.size() >= 3 ? name.size() - 3 : 0);
    return name + ext;
}
} // namespace

std::vector<fs::path> CastDataFiles(const fs::path& raw) {
    return {raw, Companion(raw, "ext"), Companion(raw, "xfr")};
}

fs::path RenameAside(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec)))
        return {};
    for (int n = 1; n < 10'000; ++n) {
        fs::path aside = file;
        aside += "." + std::to_string(n);
        // Never over a name that exists, even one made meanwhile.
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST)
                continue;
            Raise("cannot rename " + file.string() + " aside: " + std::strerror(errno));
        }
        WriteLog("Cast file " + file.string() + " existed already: renamed to " + aside.string());
        return aside;
    }
    Raise("no free name to rename " + file.string() + " aside");
}

std::vector<fs::path> MoveCastFilesAside(const fs::path& raw) {
    std::vector<fs::path> moved;
    for (const fs::path& file : CastDataFiles(raw))
        if (fs::path aside = RenameAside(file); !aside.empty())
            moved.push_back(file);
    return moved;
}

std::vector<fs::path> KeepPartialCastFiles(const fs::path& raw) {
    std::vector<fs::path> kept;
    for (const fs::path& file : CastDataFiles(raw)) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(file, ec)))
            continue;
        fs::path partial = file;
        partial += ".partial";
        RenameAside(partial);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, partial.c_str(), RENAME_NOREPLACE) != 0)
            Raise("cannot rename " + file.string() + ": " + std::strerror(errno));
        WriteLog("Cast file " + file.string() + " not completed: kept as " + partial.string());
        kept.push_back(partial);
    }
    return kept;
}

} // namespace marevo
