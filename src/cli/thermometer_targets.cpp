#include "cli/thermometer_targets.h"

#include "cli/device_kind.h"
#include "cli/rom_arguments.h"

namespace velgrin::cli {

CliResult<std::vector<int>> ThermometerTargets(BusCore& core,
                                               const std::vector<std::string>& roms) {
    std::vector<int> indexes;
    if (roms.empty()) {
        for (int i = 0; i < core.FoundDev; ++i) {
            if (IsListedThermometer(core.Asens[static_cast<size_t>(i)])) {
                indexes.push_back(i);
            }
        }
        return indexes;
    }
    for (const std::string& rom : roms) {
        const auto index = FindOnBus(core, rom);
        if (!index) {
            return index.error();
        }
        const CurrentSens& sens = core.Asens[static_cast<size_t>(*index)];
        if (!IsListedThermometer(sens)) {
            return UsageError(rom + " is not a DS18S20 or DS18B20 thermometer (it is: " +
                              DeviceKind(FamilyCode(sens)) + ")");
        }
        indexes.push_back(*index);
    }
    return indexes;
}

CliResult<ScannedThermometers> ScanThermometerTargets(CommandContext& context) {
    const auto roms = RomArguments(context.words());
    if (!roms) {
        return roms.error();
    }
    auto session = ScannedSession(context);
    if (!session) {
        return session.error();
    }
    auto targets = ThermometerTargets((*session)->core(), *roms);
    if (!targets) {
        return targets.error();
    }
    return ScannedThermometers{*session, std::move(*targets)};
}

}  // namespace velgrin::cli
