#include "cli/hlt_fields.h"

#include "cli/english_text.h"
#include "common/number_text.h"
#include "hlt/sensor_type.h"

namespace velgrin::cli {

const std::array<NamedHltField, 14> kNamedHltFields{{
    {"S0min", hlt_field::S0min, FieldRole::Scaling, 0},
    {"S0Max", hlt_field::S0Max, FieldRole::Scaling, 0},
    {"S0minVoltage", hlt_field::S0minVoltage, FieldRole::Scaling, 0},
    {"S0MaxVoltage", hlt_field::S0MaxVoltage, FieldRole::Scaling, 0},
    {"S0UpValue", hlt_field::S0UpValue, FieldRole::Threshold, 0},
    {"S0DownValue", hlt_field::S0DownValue, FieldRole::Threshold, 0},
    {"S1min", hlt_field::S1min, FieldRole::Scaling, 1},
    {"S1Max", hlt_field::S1Max, FieldRole::Scaling, 1},
    {"S1minVoltage", hlt_field::S1minVoltage, FieldRole::Scaling, 1},
    {"S1MaxVoltage", hlt_field::S1MaxVoltage, FieldRole::Scaling, 1},
    {"S1UpValue", hlt_field::S1UpValue, FieldRole::Threshold, 1},
    {"S1DownValue", hlt_field::S1DownValue, FieldRole::Threshold, 1},
    {"TupLimit", hlt_field::TupLimit, FieldRole::TemperatureLimit, 0},
    {"TdownLimit", hlt_field::TdownLimit, FieldRole::TemperatureLimit, 0},
}};

const NamedHltField* FindNamedField(std::string_view name) {
    for (const auto& named : kNamedHltFields) {
        if (name == named.name) {
            return &named;
        }
    }
    return nullptr;
}

bool FieldInUse(const NamedHltField& named, const std::array<int, 2>& types) {
    const int type = types[static_cast<size_t>(named.channel)];
    switch (named.role) {
        case FieldRole::Scaling:
            return ChannelScalingInUse(type);
        case FieldRole::Threshold:
            return ChannelThresholdsInUse(type);
        case FieldRole::TemperatureLimit:
            break;
    }
    return true;
}

namespace {

constexpr std::array<const char*, kSensorTypeCount> kTypeNames{
    "HIH5031", "HIH4000", "Temperature", "Pressure", "CO2", "Other", "None"};

constexpr std::array<const char*, kSensorTypeCount> kTypeDescriptions{"HIH-5031 humidity sensor",
                                                                      "HIH-4000 humidity sensor",
                                                                      "temperature sensor",
                                                                      "pressure sensor",
                                                                      "CO2 sensor",
                                                                      "other sensor",
                                                                      "no sensor"};

}  // namespace

std::optional<std::string> SensorTypeName(int code) {
    if (code < 0 || code >= kSensorTypeCount) {
        return std::nullopt;
    }
    return kTypeNames[static_cast<size_t>(code)];
}

std::optional<int> SensorTypeCode(const nlohmann::json& value) {
    if (value.is_number_integer()) {
        const auto code = value.get<int64_t>();
        return code >= 0 && code < kSensorTypeCount ? std::optional<int>(static_cast<int>(code))
                                                    : std::nullopt;
    }
    if (value.is_string()) {
        for (size_t code = 0; code < kTypeNames.size(); ++code) {
            if (value.get<std::string>() == kTypeNames[code]) {
                return static_cast<int>(code);
            }
        }
    }
    return std::nullopt;
}

std::string SensorTypeDescription(int code) {
    if (code < 0 || code >= kSensorTypeCount) {
        return "undefined type code " + std::to_string(code);
    }
    return kTypeDescriptions[static_cast<size_t>(code)];
}

nlohmann::json HltConfigJson(const HLTConfig& block) {
    nlohmann::json config = nlohmann::json::object();
    const auto types = static_cast<uint8_t>(block.get(hlt_field::SensorTypes));
    for (int channel = 0; channel < 2; ++channel) {
        const int code = SensorTypeNibble(types, channel);
        const auto name = SensorTypeName(code);
        config["sensor" + std::to_string(channel)] =
            name ? nlohmann::json(*name) : nlohmann::json(code);
    }
    for (const auto& named : kNamedHltFields) {
        config[named.name] = static_cast<double>(block.get(named.field)) / FieldScale(named.field);
    }
    const int tdis = block.get(hlt_field::Tdis);
    config["Tdis"] = tdis == kTdisNotShown
                         ? nlohmann::json("hidden")
                         : nlohmann::json(static_cast<double>(tdis) / FieldScale(hlt_field::Tdis));
    return config;
}

std::string HltConfigText(const nlohmann::json& config) {
    std::vector<std::string> order{"sensor0"};
    for (size_t i = 0; i < kNamedHltFields.size(); ++i) {
        if (i == 6) {
            order.push_back("sensor1");
        }
        if (i == 12) {
            order.push_back("Tdis");
        }
        order.push_back(kNamedHltFields[i].name);
    }
    std::string text;
    for (const std::string& name : order) {
        const nlohmann::json& value = config.at(name);
        text += "  " + name + ": " +
                (value.is_number_float() ? FormatDotNumber(value.get<double>())
                 : value.is_string()     ? value.get<std::string>()
                                         : value.dump()) +
                "\n";
    }
    return text;
}

}  // namespace velgrin::cli
