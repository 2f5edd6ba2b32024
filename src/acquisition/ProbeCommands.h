#pragma once
// The probe commands of the main window outside a cast: stop the probe's data flow and clear
// its memory. Each opens the probe port through the opener given, and marks the collection on
// line while it talks to the probe.

#include <functional>
#include <memory>

namespace marevo {

class TFileCOMM;
class TParamCollection;
class TQvlUtil;

using TProbePortOpener = std::function<std::unique_ptr<TFileCOMM>()>;

// "Stop Data Flow"; true when the probe acknowledged the stop.
bool StopDataFlow(TQvlUtil& protocol, TParamCollection& col, const TProbePortOpener& open);
// "Clear Memory", after the operator's confirmation; true when the memory was erased.
bool ClearMemory(TQvlUtil& protocol, TParamCollection& col, const TProbePortOpener& open);

} // namespace marevo
