#pragma once
// Tools › Cast Editor without its window: the cruises of the data root, the casts of the chosen
// one with their check marks, the header shown for editing, written back whenever another cast
// or cruise is chosen and on closing. The editor works on a cruise-file object of its own, kept
// open while a cruise is shown; the configuration's current cruise is put back on closing.

#include "storage/CruiseFile.h"

#include <memory>
#include <string>
#include <vector>

namespace marevo {

class TApplication;

class TCruiseEditor {
public:
    // Lists the cruises and opens the current one (else the first), showing its cruise header.
    explicit TCruiseEditor(TApplication& app);
    ~TCruiseEditor(); // Close()
    TCruiseEditor(const TCruiseEditor&) = delete;
    TCruiseEditor& operator=(const TCruiseEditor&) = delete;

    const std::vector<std::string>& Cruises() const { return cruises_; }
    const std::string& Cruise() const { return cruise_; }
    const std::vector<TCastListItem>& Casts() const { return casts_; }
    int ShownCast() const { return shown_; }
    // The header shown (the cruise header for cast 0); edits go into it and are written back.
    TCastInfo& Header() { return file_->CastInfoc.Cast; }
    const TCastInfo& CruiseHeader() const { return file_->CastInfoc.Cruise; }
    bool HasCruise() const { return file_->IsOpen; }

    // Writes the shown header back, then opens cruise name. False when it cannot be opened.
    bool SelectCruise(const std::string& name);
    // Writes the shown header back, then reads cast k (0: the cruise header).
    bool SelectCast(int k);
    // Marks cast k valid or invalid (its check mark). Cast 0 cannot be unchecked: false.
    bool SetChecked(int k, bool checked);
    // Writes the shown header back and closes; the configuration's cruise is put back. Once.
    void Close();

private:
    bool WriteBack();
    bool Rebuild();

    TApplication& app_;
    std::unique_ptr<TCruisefile> file_;
    std::string savedCruise_;
    std::vector<std::string> cruises_;
    std::string cruise_;
    std::vector<TCastListItem> casts_;
    int shown_ = -1;
    bool closed_ = false;
};

} // namespace marevo
