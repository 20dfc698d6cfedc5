#pragma once

#include <array>
#include <string>

#include "cli/exit_status.h"
#include "cli/hlt_settings_input.h"
#include "hlt/hlt_config.h"

namespace velgrin::cli {

// What `hlt set` decides from its input and the block the device holds, before the dialog's
// checks run: nothing given may be dropped unseen, and nothing the user did not give may be
// sealed unseen.

// The channels' types the write will have: those given, else the device's (-1 for an undefined
// code).
std::array<int, 2> TypesAfterSet(const HltSettingsInput& input, const HLTConfig& block);

// An option that the channel's type does not use would not land: a usage error naming both.
CliResult<void> CheckOptionsInUse(const HltSettingsInput& input, const std::array<int, 2>& types);

// A block the device does not trust (its CRC does not match, or it was never configured) is
// replaced only whole: both types, every field they use, Tdis and the temperature limits.
// Otherwise a usage error that says which fields are missing and which commands mend it.
CliResult<void> CheckUntrustedBlockGivenWhole(const HltSettingsInput& input, const HLTConfig& block,
                                              const std::array<int, 2>& types,
                                              const std::string& rom);

// A file's fields that the types do not use go into the block as given, so that a copy of another
// device's configuration reproduces its block byte for byte; a value its field cannot hold is a
// usage error naming the file and the field.
CliResult<void> StoreUnusedFileFields(const HltSettingsInput& input,
                                      const std::array<int, 2>& types, HLTConfig& block);

// The refusal of a value the user did not give: the device's stored one, named as such, with the
// option that mends it. `english` is the dialog's message in the tool's words.
std::string StoredValueRefusal(const std::string& english, const std::string& edit,
                               const HLTConfig& block);

}  // namespace velgrin::cli
