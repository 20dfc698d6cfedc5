#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "hlt/hlt_config.h"

namespace velgrin::cli {

// What a named field is for: a channel's scaling or thresholds, or the temperature's limits.
enum class FieldRole { Scaling, Threshold, TemperatureLimit };

// A field of the configuration block under the name configuration files, bench files and the
// dialog use; its edit in the dialog is "edt" + the name.
struct NamedHltField {
    const char* name;
    HltField field;
    FieldRole role;
    int channel;  // of a scaling or threshold field
};

// The scaled fields a configuration names, in the dialog's order; the offset Tdis and the
// sensor types are read and written on their own.
extern const std::array<NamedHltField, 14> kNamedHltFields;

// The named field of that name, if any.
const NamedHltField* FindNamedField(std::string_view name);

// Whether the field means anything with these channel types; the temperature limits always do.
bool FieldInUse(const NamedHltField& named, const std::array<int, 2>& types);

// "HIH5031" ... "None" for the codes 0 to 6; none for the undefined codes.
std::optional<std::string> SensorTypeName(int code);
// The code of a type name, or of a code 0 to 6 written as a number.
std::optional<int> SensorTypeCode(const nlohmann::json& value);
// The type in words, for people ("HIH-4000 humidity sensor").
std::string SensorTypeDescription(int code);

// The block's settings as a configuration file holds them: sensor0 and sensor1 by name (an
// undefined code as its number), each scaled field in its unit, Tdis as an offset in degrees
// or "hidden".
nlohmann::json HltConfigJson(const HLTConfig& block);

// The same for people: one "name: value" line each, channel by channel.
std::string HltConfigText(const nlohmann::json& config);

}  // namespace velgrin::cli
