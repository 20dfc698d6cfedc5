#include "cli/hlt_settings_input.h"

#include <cctype>
#include <nlohmann/json.hpp>

#include "cli/hlt_fields.h"
#include "cli/number_argument.h"
#include "common/number_text.h"
#include "common/strict_json.h"
#include "common/text_file.h"
#include "hlt/channel_panel.h"
#include "hlt/hlt_controls.h"

namespace velgrin::cli {

namespace {

constexpr const char* kHidden = "hidden";
constexpr const char* kTypeNames = "HIH5031, HIH4000, Temperature, Pressure, CO2, Other, None";

std::string EditOf(const std::string& name) {
    return "edt" + name;
}

std::string KnownKeys() {
    std::string known = "sensor0, sensor1";
    for (const auto& named : kNamedHltFields) {
        known += std::string(", ") + named.name;
    }
    return known + ", Tdis";
}

CliResult<void> ReadFileEntry(const std::string& path, const std::string& key,
                              const nlohmann::json& value, HltSettingsInput& input) {
    const std::string place = path + ": \"" + key + "\": ";
    if (key == "sensor0" || key == "sensor1") {
        const auto code = SensorTypeCode(value);
        if (!code) {
            return UsageError(place + "expected a sensor type (" + std::string(kTypeNames) +
                              ") or its code 0..6");
        }
        input.types[key == "sensor0" ? 0 : 1] = *code;
    } else if (key == "Tdis") {
        if (value.is_string() && value.get<std::string>() == kHidden) {
            input.showTemperature = false;
        } else if (value.is_number()) {
            input.showTemperature = true;
            input.edits[hlt_control::edtTdis] = FormatNumber(value.get<double>());
        } else {
            return UsageError(place + "expected an offset in degrees or \"hidden\"");
        }
    } else if (FindNamedField(key) != nullptr) {
        if (!value.is_number()) {
            return UsageError(place + "expected a number");
        }
        input.edits[EditOf(key)] = FormatNumber(value.get<double>());
    } else {
        return UsageError(place + "unknown field (known: " + KnownKeys() + ")");
    }
    return {};
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

CliResult<void> ReadOptions(const ParsedOptions& options, HltSettingsInput& input) {
    for (int channel = 0; channel < 2; ++channel) {
        const std::string option = "--sensor" + std::to_string(channel);
        if (const auto text = options.value(option)) {
            const auto code = SensorTypeCode(AllDigits(*text) && text->size() <= 2
                                                 ? nlohmann::json(std::stoi(*text))
                                                 : nlohmann::json(*text));
            if (!code) {
                return UsageError(option + " '" + *text + "': expected a sensor type (" +
                                  kTypeNames + ") or its code 0..6");
            }
            input.types[static_cast<size_t>(channel)] = *code;
            input.options.insert(option.substr(2));
        }
    }
    for (const auto& named : kNamedHltFields) {
        if (const auto text = options.value(std::string("--") + named.name)) {
            if (!IsPlainDecimal(*text)) {
                return UsageError(NotPlainDecimal(std::string("--") + named.name, *text));
            }
            input.edits[EditOf(named.name)] = ProgramNumberText(*text);
            input.options.insert(named.name);
        }
    }
    if (const auto text = options.value("--Tdis")) {
        input.options.insert("Tdis");
        input.showTemperature = *text != kHidden;
        if (*text != kHidden && !IsPlainDecimal(*text)) {
            return UsageError(NotPlainDecimal("--Tdis", *text) + ", or " + kHidden);
        }
        if (*text != kHidden) {
            input.edits[hlt_control::edtTdis] = ProgramNumberText(*text);
        }
    }
    return {};
}

}  // namespace

CliResult<void> ReadHltSettingsText(const std::string& path, const std::string& text,
                                    HltSettingsInput& input) {
    const auto document = ParseStrictJson(text);
    if (!document) {
        return UsageError(document.error().describe(path + ": not JSON"));
    }
    if (!document->is_object()) {
        return UsageError(path + ": expected a JSON object of fields");
    }
    for (const auto& [key, value] : document->items()) {
        if (auto read = ReadFileEntry(path, key, value, input); !read) {
            return read.error();
        }
    }
    return {};
}

std::vector<OptionSpec> HltSettingOptions() {
    std::vector<OptionSpec> options{
        {"--file", true}, {"--sensor0", true}, {"--sensor1", true}, {"--Tdis", true}};
    for (const auto& named : kNamedHltFields) {
        options.push_back({std::string("--") + named.name, true});
    }
    return options;
}

CliResult<HltSettingsInput> ReadHltSettings(const ParsedOptions& options) {
    HltSettingsInput input;
    if (const auto file = options.value("--file")) {
        input.file = *file;
        const auto text = ReadTextFile(*file, kMaxUserFileBytes);
        if (!text) {
            return UsageError("the configuration file " + *file + " " + text.error().message);
        }
        if (auto read = ReadHltSettingsText(*file, *text, input); !read) {
            return read.error();
        }
    }
    if (auto read = ReadOptions(options, input); !read) {
        return read.error();
    }
    return input;
}

void EnterHltSettings(const HltSettingsInput& input, ControlSurface& dialog,
                      const HLTConfig& block) {
    for (int channel = 0; channel < 2; ++channel) {
        if (const auto type = input.types[static_cast<size_t>(channel)]) {
            dialog.setItemIndex(kHltChannelControls[static_cast<size_t>(channel)].group, *type);
            SetUpChannelPanel(dialog, block, channel, *type);
        }
    }
    for (const auto& [edit, text] : input.edits) {
        dialog.setText(edit, text);
    }
    if (input.showTemperature) {
        dialog.setChecked(hlt_control::chkUseT, *input.showTemperature);
    }
}

}  // namespace velgrin::cli
