#pragma once
// Configuration › Configuration: the configuration's settings on one page per group (acquisition
// and extraction, validation and filters, sensors and units, corrections, alarms, text export,
// folders) and the rosette's page.

#include "ui/SettingsForm.h"

namespace marevo {

class TConfig;

// The fields of the configuration window, bound to config.
std::vector<TFormField> ConfigFields(TConfig& config);
TSettingsForm* NewConfigForm(TConfig& config, QWidget* parent);

} // namespace marevo
