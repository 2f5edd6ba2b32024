#pragma once
// The failure convention, implemented once. An operation runs its body inside a guard; a failure
// (any exception) is caught there, one event-log line "prefix + message" is written, an error box
// is shown when the operation was started by the operator, and the operation returns its failure
// value. Nothing escapes to the caller.
//
//   bool TFoo::Save()  { return Guard({"Error in TFoo.Save", "Save foo"}, [&] { ... }); }
//   float TFoo::Value() { return GuardOr({"Error in TFoo.Value"}, 0.0f, [&] { return ...; }); }

#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace marevo {

// A failure detected by the system itself; its message is what follows the log prefix.
class EMarevoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Raise(std::string message);

// Where a failure is reported: the log prefix, and the text of the error box ("" = no box).
struct TGuardSite {
    std::string_view prefix;
    std::string_view box = {};
};

// Logs prefix + message; shows the box (caption "Error") when the site names one. Never throws.
void ReportFailure(const TGuardSite& site, std::string_view message) noexcept;

// Message of the exception being handled (call inside a catch block).
std::string CurrentFailureMessage() noexcept;

// Runs body; true when it completed, false after a reported failure.
template <class Body>
bool Guard(const TGuardSite& site, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        ReportFailure(site, CurrentFailureMessage());
        return false;
    }
}

// Runs body and returns its result, or fallback after a reported failure.
template <class R, class Body>
R GuardOr(const TGuardSite& site, R fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportFailure(site, CurrentFailureMessage());
        return fallback;
    }
}

} // namespace marevo
