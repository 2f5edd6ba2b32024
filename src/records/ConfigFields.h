#pragma once
// Every setting of the configuration by the name the code uses ("AcquiCfg.VertStep",
// "GenCfg.AlarmLimit[2]", "DataTextCfg.ParaList"), read and written as text: what the
// command-line tool lists, shows and sets. A value is checked before it is stored, with the
// message the configuration window gives where it has one; a refused value changes nothing.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace marevo {

class TConfig;

struct TConfigField {
    std::string name;
    // What the field holds: "0..2", "integer", "number", "days (or seconds with s)", "text of
    // at most 40 characters", "parameter list", with the unit or meaning where the record has one.
    std::string kind;
    std::function<std::string(const TConfig&)> get;
    // Stores text into the field; false with the reason when text is not a value of the field.
    std::function<bool(TConfig&, std::string_view text, std::string& why)> set;
};

// In the order of the configuration file.
const std::vector<TConfigField>& ConfigFields();
// The field of that name (letter case ignored); null when there is none.
const TConfigField* FindConfigField(std::string_view name);

// Applies "FIELD=VALUE" assignments to config all together: every one is checked on a copy first,
// so either all are stored or none; false with the reasons of the refused ones.
bool SetConfigFields(TConfig& config, const std::vector<std::string>& assignments,
                     std::vector<std::string>& refused);

} // namespace marevo
