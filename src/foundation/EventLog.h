#pragma once
// The event log: one plain text file per run that records, one time-stamped line each, the
// failures the operations catch, the status messages shown to the operator and the bottle
// firing steps. There are no levels. Lines end with CR LF and are written in UTF-8.

#include "foundation/BottleStatus.h"
#include "platform/Clock.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

namespace marevo {

// "log_" + ddMMyy + "_" + HHmmss + ".txt" for a log opened at the given local time.
std::string LogFileName(TDateTime opened);

// "dd/MM/yyyy HH:mm:ss" + three blanks + text (no line end); at exactly 00:00:00.000 the blank
// and the time are left out. The pattern is fixed: regional settings never change it.
std::string LogLine(TDateTime at, std::string_view text);

// text + " Status = " + name + "(" + status + ")" + " sBottleNb = " + number.
std::string BottleLogText(std::string_view text, TBottleStatus status, int bottleNumber);

class TEventLog {
public:
    TEventLog() = default;
    ~TEventLog();
    TEventLog(const TEventLog&) = delete;
    TEventLog& operator=(const TEventLog&) = delete;

    // Creates (or empties) the log file for the moment `opened` in `folder` and keeps it open.
    // False when it cannot be created; the run then goes on without a log file.
    bool Open(const std::filesystem::path& folder, TDateTime opened);
    void Close();
    bool IsOpen() const;
    std::filesystem::path FileName() const;

    // Lines are written only while enabled (the environment's logStatusCheck preference).
    void SetEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_relaxed); }
    bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }

    // Appends one whole line, serialised against every other writer. A line that cannot be
    // written is dropped and counted; the lines already written stay intact.
    void Write(TDateTime at, std::string_view text);
    std::uint64_t DroppedLines() const { return dropped_.load(std::memory_order_relaxed); }
    // The message of the last line written or dropped, so a terminal front end can tell the
    // reason behind an error box without a log file.
    std::string LastMessage() const;

private:
    mutable std::mutex lock_;
    int fd_ = -1;
    std::filesystem::path fileName_;
    std::string lastMessage_;
    std::atomic<bool> enabled_{true};
    std::atomic<std::uint64_t> dropped_{0};
};

// The operations on the process-wide log (Runtime's EventLog), stamped by the runtime clock.
bool OpenLog(const std::filesystem::path& folder);
void WriteLog(std::string_view text);
// Bottle firing steps: the text with the rosette state and bottle number last decoded from the
// probe's frames.
void WriteBottleLog(std::string_view text, TBottleStatus status, int bottleNumber);
void CloseLog();
bool LogEnabled();
void SetLogEnabled(bool enabled);

} // namespace marevo
