#include "shell/CruiseEditor.h"

#include "foundation/FileNames.h"
#include "shell/Application.h"

#include <algorithm>

namespace marevo {

TCruiseEditor::TCruiseEditor(TApplication& app)
    : app_(app), file_(std::make_unique<TCruisefile>()),
      savedCruise_(app.config.GenCfg.CruiseName.Get()) {
    file_->BuildCruiseList(cruises_);
    if (cruises_.empty())
        return;
    const auto current = std::find(cruises_.begin(), cruises_.end(), savedCruise_);
    SelectCruise(current != cruises_.end() ? *current : cruises_.front());
}

TCruiseEditor::~TCruiseEditor() { Close(); }

bool TCruiseEditor::WriteBack() { return shown_ < 0 || !file_->IsOpen || file_->WriteCastNb(); }

bool TCruiseEditor::Rebuild() { return file_->BuildCastList(casts_); }

bool TCruiseEditor::SelectCruise(const std::string& name) {
    if (std::find(cruises_.begin(), cruises_.end(), name) == cruises_.end() || !WriteBack())
        return false;
    file_->CloseCruiseFile();
    shown_ = -1;
    casts_.clear();
    cruise_.clear();
    app_.config.GenCfg.CruiseName.Set(name);
    const auto path = DefaultCruiseName(app_.environ.DataRootPath(), name);
    if (!file_->OpenCruiseFile(path) || !Rebuild())
        return false;
    cruise_ = name;
    return SelectCast(0);
}

bool TCruiseEditor::SelectCast(int k) {
    if (!file_->IsOpen || k < 0 || k >= static_cast<int>(casts_.size()) || !WriteBack())
        return false;
    if (!file_->ReadCastNb(k))
        return false;
    shown_ = k;
    return true;
}

bool TCruiseEditor::SetChecked(int k, bool checked) {
    if (k == 0 && !checked)
        return false;
    if (k <= 0 || !SelectCast(k))
        return k == 0;
    Header().InvalidCast = checked ? 0 : 1;
    if (!file_->WriteCastNb())
        return false;
    casts_[static_cast<std::size_t>(k)].checked = checked;
    return true;
}

void TCruiseEditor::Close() {
    if (closed_)
        return;
    closed_ = true;
    WriteBack();
    file_->CloseCruiseFile();
    app_.config.GenCfg.CruiseName.Set(savedCruise_);
}

} // namespace marevo
