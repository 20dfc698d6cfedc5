#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "common/control_surface.h"
#include "hlt/hlt_config.h"

namespace velgrin::cli {

// What `hlt set` is asked to change: a type per channel, the texts for the dialog's edits (by
// edit name), and whether the device shows its temperature. What is not named keeps what the
// device holds, as in the dialog.
struct HltSettingsInput {
    std::array<std::optional<int>, 2> types;
    std::map<std::string, std::string> edits;
    std::optional<bool> showTemperature;
    // The fields given as options ("sensor0", "S0Max", "Tdis"); the rest came from `file`.
    std::set<std::string> options;
    std::string file;

    bool empty() const { return !types[0] && !types[1] && edits.empty() && !showTemperature; }
};

// The per-field options: --sensor0, --sensor1, --S0min ... --TdownLimit, --Tdis.
std::vector<OptionSpec> HltSettingOptions();

// Reads the configuration file of --file, then the per-field options, which win over it. A file
// that cannot be read, is no JSON object, names an unknown field or gives a field a value of the
// wrong kind is a usage error that names the file and the field. Whether a value lies in its
// range is left to the dialog's checks.
CliResult<HltSettingsInput> ReadHltSettings(const ParsedOptions& options);

// The fields of a configuration file's text (`path` names it in messages), added to `input`.
CliResult<void> ReadHltSettingsText(const std::string& path, const std::string& text,
                                    HltSettingsInput& input);

// Enters the input into the dialog as a user would: a type selection runs the set-up of the
// channel's panel (as the group's click handler does), then the edits get their texts and the
// box "Показывать на приборе" its state.
void EnterHltSettings(const HltSettingsInput& input, ControlSurface& dialog,
                      const HLTConfig& block);

}  // namespace velgrin::cli
