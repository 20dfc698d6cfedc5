#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/bench_session.h"
#include "cli/hlt_settings_input.h"
#include "cli/output.h"
#include "thermo/threshold_input.h"

namespace velgrin::cli {

// What the station is to write into a multisensor: the input as `hlt set --file` reads it, and
// the file's fields, which a configured device is compared with.
struct HltTemplate {
    HltSettingsInput input;
    nlohmann::json fields;
};

// How setting up one device went, in the record's terms.
struct SetupOutcome {
    std::string result;  // kResultOk, kResultAlreadySet or kResultFailed
    std::string asked;
    std::string readBack;
    std::string reason;
};

// The thresholds as the thermometer's registers hold them, and the resolution when one is
// given: "TH 30, TL -10" or "TH 30, TL -10, 12 bit".
std::string ThresholdsText(const Thresholds& thresholds, std::optional<int> resolution);

// A thermometer holding the thresholds (and the resolution, when one is asked) is left alone;
// otherwise they are written through the thermometer tab's write and recalled from its EEPROM.
// A DS18S20 asked for a resolution is refused: it has none to set.
SetupOutcome SetUpThermometer(BenchSession& session, const std::string& rom,
                              const Thresholds& thresholds, std::optional<int> resolution);

// A multisensor whose sealed block shows every value of the template is left alone; otherwise
// the template is written as `hlt set` writes it and read back.
SetupOutcome SetUpHlt(BenchSession& session, const std::string& rom, const HltTemplate& wanted,
                      Output& output);

}  // namespace velgrin::cli
