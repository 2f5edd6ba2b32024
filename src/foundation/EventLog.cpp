#include "foundation/EventLog.h"

#include "foundation/DateTime.h"
#include "foundation/Runtime.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace marevo {

std::string LogFileName(TDateTime opened) {
    return "log_" + FormatDateTime("ddMMyy", opened) + "_" + FormatDateTime("HHmmss", opened) +
           ".txt";
}

std::string LogLine(TDateTime at, std::string_view text) {
    const TDateParts t = DecodeDateTime(at);
    const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.msec == 0;
    std::string line = FormatDateTime(midnight ? "dd/MM/yyyy" : "dd/MM/yyyy HH:mm:ss", at);
    line.append("   ").append(text);
    return line;
}

std::string BottleLogText(std::string_view text, TBottleStatus status, int bottleNumber) {
    std::string line(text);
    line.append(" Status = ")
        .append(BottleStatusName(status))
        .append("(")
        .append(std::to_string(static_cast<int>(status)))
        .append(") sBottleNb = ")
        .append(std::to_string(bottleNumber));
    return line;
}

TEventLog::~TEventLog() { Close(); }

bool TEventLog::Open(const std::filesystem::path& folder, TDateTime opened) {
    std::lock_guard guard(lock_);
    if (fd_ >= 0)
        ::close(fd_);
    fileName_ = folder / LogFileName(opened);
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

void TEventLog::Close() {
    std::lock_guard guard(lock_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TEventLog::IsOpen() const {
    std::lock_guard guard(lock_);
    return fd_ >= 0;
}

std::filesystem::path TEventLog::FileName() const {
    std::lock_guard guard(lock_);
    return fileName_;
}

std::string TEventLog::LastMessage() const {
    std::lock_guard guard(lock_);
    return lastMessage_;
}

void TEventLog::Write(TDateTime at, std::string_view text) {
    if (!Enabled())
        return;
    std::string line = LogLine(at, text);
    line.append("\r\n");
    std::lock_guard guard(lock_);
    lastMessage_.assign(text);
    if (fd_ < 0) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    // One write per line: with O_APPEND the line lands whole at the end of the file. A short
    // write (disk full) is completed when possible, never retried from the start.
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool OpenLog(const std::filesystem::path& folder) { return EventLog().Open(folder, Clock().Now()); }

void WriteLog(std::string_view text) {
    TEventLog& log = EventLog();
    if (log.Enabled())
        log.Write(Clock().Now(), text);
}

void WriteBottleLog(std::string_view text, TBottleStatus status, int bottleNumber) {
    TEventLog& log = EventLog();
    if (log.Enabled())
        log.Write(Clock().Now(), BottleLogText(text, status, bottleNumber));
}

void CloseLog() { EventLog().Close(); }

bool LogEnabled() { return EventLog().Enabled(); }

void SetLogEnabled(bool enabled) { EventLog().SetEnabled(enabled); }

} // namespace marevo
