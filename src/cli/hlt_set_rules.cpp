#include "cli/hlt_set_rules.h"

#include "cli/hlt_fields.h"
#include "common/number_text.h"
#include "hlt/crc_hlt.h"
#include "hlt/field_text.h"
#include "hlt/sensor_type.h"

namespace velgrin::cli {

namespace {

constexpr std::string_view kEditPrefix = "edt";

std::string TypeName(int type) {
    const auto name = SensorTypeName(type);
    return name ? *name : "undefined (" + std::to_string(type) + ")";
}

bool Given(const HltSettingsInput& input, const NamedHltField& named) {
    return input.edits.contains(std::string(kEditPrefix) + named.name);
}

}  // namespace

std::array<int, 2> TypesAfterSet(const HltSettingsInput& input, const HLTConfig& block) {
    const auto stored = static_cast<uint8_t>(block.get(hlt_field::SensorTypes));
    std::array<int, 2> types{};
    for (size_t channel = 0; channel < types.size(); ++channel) {
        types[channel] = input.types[channel].value_or(
            SensorTypeIndex(SensorTypeNibble(stored, static_cast<int>(channel))));
    }
    return types;
}

CliResult<void> CheckOptionsInUse(const HltSettingsInput& input, const std::array<int, 2>& types) {
    for (const auto& named : kNamedHltFields) {
        if (input.options.contains(named.name) && !FieldInUse(named, types)) {
            const auto channel = static_cast<size_t>(named.channel);
            return UsageError(std::string("--") + named.name + " has no meaning for sensor " +
                              std::to_string(channel) + " of type " + TypeName(types[channel]) +
                              (input.types[channel] ? "" : " (as the device holds it)") +
                              "; nothing written");
        }
    }
    return {};
}

CliResult<void> CheckUntrustedBlockGivenWhole(const HltSettingsInput& input, const HLTConfig& block,
                                              const std::array<int, 2>& types,
                                              const std::string& rom) {
    const HltBlockState state = BlockState(block);
    if (state == HltBlockState::Sealed) {
        return {};
    }
    std::string missing;
    const auto add = [&missing](const std::string& name) {
        missing += (missing.empty() ? "" : ", ") + name;
    };
    for (size_t channel = 0; channel < input.types.size(); ++channel) {
        if (!input.types[channel]) {
            add("sensor" + std::to_string(channel));
        }
    }
    for (const auto& named : kNamedHltFields) {
        if (FieldInUse(named, types) && !Given(input, named)) {
            add(named.name);
        }
    }
    if (!input.showTemperature) {
        add("Tdis");
    }
    if (missing.empty()) {
        return {};
    }
    const bool blank = state == HltBlockState::NeverConfigured;
    return UsageError(
        "the configuration block of " + rom +
        (blank ? " was never configured (its mark byte is 0)"
               : "'s CRC does not match (damaged, or written part-way): the device does not "
                 "trust it") +
        ", and a partial set would seal the rest of it as it is; nothing written. Give every "
        "field (missing: " +
        missing + "), or restore a backup with `hlt restore " + rom + " --file BACKUP`" +
        (blank ? "" : ", or seal the block as it is with `hlt reseal " + rom + "`"));
}

CliResult<void> StoreUnusedFileFields(const HltSettingsInput& input,
                                      const std::array<int, 2>& types, HLTConfig& block) {
    for (const auto& named : kNamedHltFields) {
        if (!Given(input, named) || input.options.contains(named.name) ||
            FieldInUse(named, types)) {
            continue;
        }
        const std::string& text = input.edits.at(std::string(kEditPrefix) + named.name);
        const auto value = ParseNumber(text);
        const auto stored = value ? EncodeField(named.field, *value) : std::nullopt;
        if (!stored) {
            return UsageError(input.file + ": \"" + named.name + "\": " +
                              FormatDotNumber(value.value_or(0)) + " does not fit the field");
        }
        block.set(named.field, *stored);
    }
    return {};
}

std::string StoredValueRefusal(const std::string& english, const std::string& edit,
                               const HLTConfig& block) {
    const std::string name = edit.substr(kEditPrefix.size());
    const NamedHltField* named = FindNamedField(name);
    const HltField field = named != nullptr ? named->field : hlt_field::Tdis;
    return english + ": the device holds " +
           FormatDotNumber(static_cast<double>(block.get(field)) / FieldScale(field)) +
           " there and this write would keep it; give --" + name + " to mend it";
}

}  // namespace velgrin::cli
