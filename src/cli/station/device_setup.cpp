#include "cli/station/device_setup.h"

#include <cmath>

#include "cli/hlt_commands.h"
#include "cli/hlt_fields.h"
#include "cli/rom_arguments.h"
#include "cli/station/station_record.h"
#include "cli/thermometer_reading.h"
#include "hlt/crc_hlt.h"
#include "thermo/resolution_byte.h"
#include "thermo/thermometers.h"
#include "thermo/threshold_byte.h"
#include "wire/device_families.h"

namespace velgrin::cli {

namespace {

int RegisterDegrees(double value) {
    return static_cast<int8_t>(EncodeThresholdByte(value));
}

std::string RegistersText(double th, double tl, std::optional<int> resolution) {
    return "TH " + std::to_string(static_cast<int>(th)) + ", TL " +
           std::to_string(static_cast<int>(tl)) +
           (resolution ? ", " + std::to_string(*resolution) + " bit" : "");
}

// What a thermometer's registers hold now, its resolution too when `withResolution`; empty
// when it gave no intact reading.
std::string HeldThresholds(BusCore& core, int index, bool withResolution) {
    const ThermometerReading reading = MeasureThermometers(core, {index}, Sequence::Together)[0];
    return reading.state == ThermometerReading::State::Measured
               ? RegistersText(reading.th, reading.tl,
                               withResolution ? std::optional(reading.resolution) : std::nullopt)
               : std::string();
}

// After a failed write: whether a fresh search still finds the device, and where.
std::optional<int> StillOnBus(BusCore& core, const std::string& rom) {
    (void)core.ScanSessionAndSearch();
    const auto index = FindOnBus(core, rom);
    return index ? std::optional<int>(*index) : std::nullopt;
}

constexpr const char* kLeft = "the device left the bus during the write";

std::string ThresholdFailure(ThresholdWrite result, const Thermometers& thermometers) {
    if (thermometers.adapterLimit()) {
        return "the adapter cannot power the copy to EEPROM: " +
               thermometers.adapterLimit()->message;
    }
    return result == ThresholdWrite::NotReached
               ? "the thermometer did not answer, or its scratchpad did not hold the values: "
                 "nothing was copied to its EEPROM"
               : "the EEPROM did not read back as written";
}

bool SameValue(const std::string& name, const nlohmann::json& held, const nlohmann::json& wanted) {
    if (name == "sensor0" || name == "sensor1") {
        return SensorTypeCode(held) == SensorTypeCode(wanted);
    }
    if (held.is_number() && wanted.is_number()) {
        const double a = held.get<double>();
        const double b = wanted.get<double>();
        return std::fabs(a - b) <= 1e-6 * std::fmax(1.0, std::fabs(b));
    }
    return held == wanted;
}

// The template's fields as the device's block holds them.
nlohmann::json HeldFields(const HLTConfig& block, const nlohmann::json& fields) {
    const nlohmann::json config = HltConfigJson(block);
    nlohmann::json held = nlohmann::json::object();
    for (const auto& [name, value] : fields.items()) {
        if (config.contains(name)) {
            held[name] = config[name];
        }
    }
    return held;
}

bool HoldsTemplate(const HLTConfig& block, const nlohmann::json& fields) {
    if (BlockState(block) != HltBlockState::Sealed) {
        return false;
    }
    const nlohmann::json held = HeldFields(block, fields);
    for (const auto& [name, value] : fields.items()) {
        if (!held.contains(name) || !SameValue(name, held[name], value)) {
            return false;
        }
    }
    return true;
}

std::string Compact(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string ThresholdsText(const Thresholds& thresholds, std::optional<int> resolution) {
    return RegistersText(RegisterDegrees(thresholds.upper), RegisterDegrees(thresholds.lower),
                         resolution);
}

SetupOutcome SetUpThermometer(BenchSession& session, const std::string& rom,
                              const Thresholds& thresholds, std::optional<int> resolution) {
    BusCore& core = session.core();
    SetupOutcome outcome{kResultFailed, ThresholdsText(thresholds, resolution), "", ""};
    const auto index = FindOnBus(core, rom);
    if (!index) {
        outcome.reason = "the device was no longer on the bus";
        return outcome;
    }
    // Writing its thresholds alone would leave it short of what was asked.
    if (resolution && core.Asens[static_cast<size_t>(*index)].Family != device_group::kDs18B20) {
        outcome.reason = "a DS18S20 has a fixed resolution: nothing was written";
        return outcome;
    }
    const std::string held = HeldThresholds(core, *index, resolution.has_value());
    if (held == outcome.asked) {
        outcome.result = kResultAlreadySet;
        outcome.readBack = held;
        return outcome;
    }
    Thermometers thermometers(core);
    // The write ends with a recall from EEPROM compared with what was meant.
    const ThresholdWrite result = thermometers.wrscr1820(
        thresholds.upper, thresholds.lower, *index,
        resolution ? std::optional(ConfigurationForResolution(*resolution)) : std::nullopt);
    if (result == ThresholdWrite::Verified) {
        outcome.result = kResultOk;
        outcome.readBack = outcome.asked;
        return outcome;
    }
    const auto present = StillOnBus(core, rom);
    outcome.reason = present ? ThresholdFailure(result, thermometers) : kLeft;
    if (present) {
        outcome.readBack = HeldThresholds(core, *present, resolution.has_value());
    }
    return outcome;
}

SetupOutcome SetUpHlt(BenchSession& session, const std::string& rom, const HltTemplate& wanted,
                      Output& output) {
    SetupOutcome outcome{kResultFailed, Compact(wanted.fields), "", ""};
    auto device = HltDevice::Find(session, rom);
    if (!device) {
        outcome.reason = device.error().message;
        return outcome;
    }
    HltDevice& hlt = **device;
    if (hlt.Read() && HoldsTemplate(hlt.state().HLTS, wanted.fields)) {
        outcome.result = kResultAlreadySet;
        outcome.readBack = Compact(HeldFields(hlt.state().HLTS, wanted.fields));
        return outcome;
    }
    const auto written = WriteHltInput(hlt, wanted.input, output);
    if (written) {
        outcome.result = kResultOk;
        outcome.readBack = Compact(HeldFields(hlt.state().HLTS, wanted.fields));
        return outcome;
    }
    outcome.reason = StillOnBus(session.core(), rom) ? written.error().message : kLeft;
    return outcome;
}

}  // namespace velgrin::cli
