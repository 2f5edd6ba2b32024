#include "support/TestEnv.h"

#include "foundation/DateTime.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace marevo::test {

namespace fs = std::filesystem;

namespace {
fs::path MakeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "marevo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}
} // namespace

TDateTime SampleTime() { return EncodeDateTime(2026, 3, 9, 14, 25, 1); }

TTestEnv::TTestEnv()
    : dir(MakeTempDir()), clock(SampleTime()), scope_({&clock, &op, &mainThread, &log}) {
    log.Open(dir, clock.Now());
}

TTestEnv::~TTestEnv() {
    log.Close();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

std::string ReadFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> TTestEnv::LogLines() const {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(log.FileName());
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log ends without CR LF: " << text.substr(start);
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> TTestEnv::LogMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : LogLines()) {
        const std::size_t at = line.find("   ");
        messages.push_back(at == std::string::npos ? line : line.substr(at + 3));
    }
    return messages;
}

bool TTestEnv::Logged(const std::string& text) const {
    for (const std::string& m : LogMessages())
        if (m == text)
            return true;
    return false;
}

} // namespace marevo::test
