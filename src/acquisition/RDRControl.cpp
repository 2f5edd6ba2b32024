#include "acquisition/RDRControl.h"

#include "foundation/Runtime.h"
#include "records/Environ.h"

namespace marevo {

TRemoteDepthSwitch::TRemoteDepthSwitch(const TRDRSources& sources, TDeviceMaker makeDevice,
                                       IClock& clock)
    : sources_(sources), makeDevice_(std::move(makeDevice)), clock_(clock) {}

bool TRemoteDepthSwitch::Apply(TEnviron& environ) {
    if (environ.RemoteDepth.Enabled == 0) {
        Stop();
        return false;
    }
    if (Active())
        return true;
    worker_.reset();
    auto device = makeDevice_();
    if (!TRemoteDepthThread::InitComPort(environ, *device)) {
        environ.RemoteDepth.Enabled = 0;
        return false;
    }
    worker_ = std::make_unique<TRemoteDepthThread>(
        std::move(device), [this] { return sources_.Read(); }, environ.RemoteDepth.RefreshInterval,
        clock_);
    worker_->Shown = Shown;
    worker_->Start();
    return true;
}

void TRemoteDepthSwitch::Stop() {
    if (worker_)
        worker_->MyDestroy();
    worker_.reset();
}

TRDRMessageEditor::TRDRMessageEditor(std::function<void(unsigned)> request)
    : request_(std::move(request)) {}

void TRDRMessageEditor::SetText(std::string text) {
    text_ = std::move(text);
    if (TextChanged)
        TextChanged(text_);
}

void TRDRMessageEditor::EditMsgChange(std::string_view text, std::uint64_t now) {
    SetText(std::string(text));
    deadline_ = now + RDRMessageTimerMs;
}

bool TRDRMessageEditor::RDRViewTimerTimer(std::uint64_t now) {
    if (!deadline_ || now < *deadline_)
        return false;
    deadline_.reset();
    if (Operator().Confirm(std::string(RDRSendQuestion) + "\n\r" + text_, "Warning")) {
        lastMsgSent_ = text_;
        if (request_)
            request_(rdr_Message);
    } else {
        SetText(lastMsgSent_);
    }
    return true;
}

void TRDRMessageEditor::SendMsgClick() {
    deadline_.reset();
    lastMsgSent_ = text_;
    if (request_)
        request_(rdr_Message);
}

void TRDRMessageEditor::InitRDRClick() {
    if (request_)
        request_(rdr_Init);
}

} // namespace marevo
