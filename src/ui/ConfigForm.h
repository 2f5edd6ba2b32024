#pragma once
// Configuration › Configuration: the configuration's settings on one page per group (acquisition
// and extraction, validation and filters, sensors and units, corrections, alarms, text export,
// folders) and the rosette's page.

#include "parameters/ParaRecords.h"
#include "ui/SettingsForm.h"

namespace marevo {

class TConfig;

// The fields of the configuration window, bound to config.
std::vector<TFormField> ConfigFields(TConfig& config);
// listEditor edits a parameter list (the values-window parameter dialog); the export lists are
// edited on copies that OK stores.
using TListEditor = std::function<bool(const QString& title, TParaList& list)>;
TSettingsForm* NewConfigForm(TConfig& config, const TListEditor& listEditor, QWidget* parent);

} // namespace marevo
