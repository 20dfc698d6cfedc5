#pragma once

#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/station/device_setup.h"
#include "cli/station/station_record.h"

namespace velgrin::cli {

// What a station run is to do, read from its command line before the bus is touched.
struct StationPlan {
    std::optional<Thresholds> thresholds;  // for DS18S20 / DS18B20 thermometers
    std::optional<int> resolution;         // bits, for DS18B20 thermometers; with thresholds only
    std::optional<HltTemplate> hlt;        // for HLT multisensors
    std::optional<std::string> recordFile;
    RecordFormat recordFormat = RecordFormat::kJsonLines;
    std::optional<std::string> numberLogFile;
    int count = 0;  // devices to set up before the station ends; 0 for no end
};

// A plan without a template, or with an option that cannot be used, is a usage error.
CliResult<StationPlan> ReadStationPlan(const ParsedOptions& options);

}  // namespace velgrin::cli
