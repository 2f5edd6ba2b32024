#include "acquisition/ProbeCommands.h"

#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "processing/ParamCollection.h"

namespace marevo {

bool StopDataFlow(TQvlUtil& protocol, TParamCollection& col, const TProbePortOpener& open) {
    bool stopped = false;
    Guard({"Error in MainForm.Stopcast1Click", "Stop Cast"}, [&] {
        col.Acqui.ProbeOnLine = true;
        StatusMessage("Stop Data Flow");
        std::unique_ptr<TFileCOMM> port = open ? open() : nullptr;
        if (port && port->IsOpen()) {
            stopped = protocol.Stop(*port);
            port->free();
            // Said only when the probe did stop: a failure must not read as success.
            StatusMessage(stopped ? "Data Flow stopped" : "Stop Data Flow failed");
        } else {
            if (port)
                port->free();
            Operator().Message("Opening CTD COM port", "Error", TMessageKind::Error);
        }
    });
    col.Acqui.ProbeOnLine = false;
    return stopped;
}

bool ClearMemory(TQvlUtil& protocol, TParamCollection& col, const TProbePortOpener& open) {
    bool erased = false;
    Guard({"Error in MainForm.ClearMemory1Click", "Delete CTD Memory"}, [&] {
        if (!Operator().Confirm("Do you really want to Delete the probe's memory?",
                                "Delete Memory"))
            return;
        StatusMessage("Clearing probe's memory");
        std::unique_ptr<TFileCOMM> port = open ? open() : nullptr;
        col.Acqui.ProbeOnLine = true;
        if (port && port->IsOpen()) {
            erased = protocol.DeleteMemory(*port);
            if (erased) {
                StatusMessage("Memory erased");
            } else {
                StatusMessage("Delete Memory Failed");
                Operator().Beep();
                Operator().Message("Delete Memory Failed !", "", TMessageKind::Error);
            }
            port->free();
        } else {
            if (port)
                port->free();
            Operator().Message("Openning COM port", "Error", TMessageKind::Error);
        }
    });
    col.Acqui.ProbeOnLine = false;
    return erased;
}

} // namespace marevo
