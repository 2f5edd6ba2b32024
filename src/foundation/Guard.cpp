#include "foundation/Guard.h"

#include "foundation/EventLog.h"
#include "foundation/Runtime.h"

#include <exception>
#include <new>

namespace marevo {

void Raise(std::string message) { throw EMarevoError(std::move(message)); }

std::string CurrentFailureMessage() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown failure";
    }
}

void ReportFailure(const TGuardSite& site, std::string_view message) noexcept {
    try {
        std::string line;
        line.reserve(site.prefix.size() + message.size());
        line.append(site.prefix).append(message);
        WriteLog(line);
        if (!site.box.empty())
            Operator().Message(site.box, "Error", TMessageKind::Error);
    } catch (...) {
        // Reporting must never turn a handled failure into an escaping one.
    }
}

} // namespace marevo
