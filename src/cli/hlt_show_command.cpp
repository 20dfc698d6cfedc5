#include "cli/device_kind.h"
#include "cli/english_text.h"
#include "cli/hex_bytes.h"
#include "cli/hlt_commands.h"
#include "cli/hlt_fields.h"
#include "common/number_text.h"
#include "hlt/crc_hlt.h"
#include "hlt/hlt_controls.h"
#include "hlt/sensor_type.h"

namespace velgrin::cli {

namespace {

constexpr std::string_view kChannelNoSensor = "ОТКЛЮЧЕН";
constexpr std::string_view kChannelNoValue = "Параметры?";
constexpr std::string_view kInputPrefix = "Uвхода2 = ";

// A number shown in a label: the text between a known start and a known end.
std::optional<double> LabelNumber(const std::string& text, std::string_view start,
                                  std::string_view end) {
    if (text.size() < start.size() + end.size() || text.compare(0, start.size(), start) != 0 ||
        text.compare(text.size() - end.size(), end.size(), end) != 0) {
        return std::nullopt;
    }
    return ParseNumber(
        std::string_view(text).substr(start.size(), text.size() - start.size() - end.size()));
}

// A channel's present value as the dialog's label shows it.
nlohmann::json ChannelValue(const std::string& label, int type) {
    if (label == kChannelNoSensor) {
        return {{"value", nullptr}, {"note", "no sensor"}};
    }
    if (label == kChannelNoValue) {
        return {{"value", nullptr}, {"note", "cannot be computed from these settings"}};
    }
    const bool humidity = type == stHIH5031;
    const auto value = LabelNumber(label, "", humidity ? " %" : "");
    nlohmann::json shown{{"value", value ? nlohmann::json(*value) : nlohmann::json()}};
    if (humidity) {
        shown["unit"] = "%";
    }
    return shown;
}

std::string ChannelValueText(const nlohmann::json& value) {
    if (value.contains("note")) {
        return value.at("note");
    }
    std::string text = FormatDotNumber(value.at("value").get<double>());
    return value.contains("unit") ? text + " %" : text;
}

std::string Field(const nlohmann::json& config, const std::string& name) {
    return FormatDotNumber(config.at(name).get<double>());
}

std::string ChannelText(const nlohmann::json& config, int channel, int type,
                        const nlohmann::json& value) {
    const std::string s = "S" + std::to_string(channel);
    std::string text = "  sensor " + std::to_string(channel) + ": " + SensorTypeDescription(type) +
                       ", present value " + ChannelValueText(value) + "\n";
    text += "    min " + Field(config, s + "min") + ", max " + Field(config, s + "Max") +
            ", min voltage " + Field(config, s + "minVoltage") + " V, max voltage " +
            Field(config, s + "MaxVoltage") + " V, upper threshold " +
            Field(config, s + "UpValue") + ", lower threshold " + Field(config, s + "DownValue") +
            "\n";
    return text;
}

}  // namespace

CliResult<ExitStatus> RunHltShow(CommandContext& context) {
    auto device = NamedHlt(context);
    if (!device) {
        return device.error();
    }
    HltDevice& hlt = **device;
    if (auto read = hlt.Read(); !read) {
        return read.error();
    }
    const HltState& state = hlt.state();
    const PlainSurface& dialog = hlt.dialog();
    const HltBlock block = BlockOf(state);
    const bool crcOk = HltBlockCrcMatches(state.HLTS);
    const HltBlockState blockState = BlockState(state.HLTS);
    const nlohmann::json config = HltConfigJson(state.HLTS);
    const auto channel1Input = LabelNumber(dialog.text(hlt_control::lblUvhoda), kInputPrefix, "V");
    const auto corrected = LabelNumber(dialog.text(hlt_control::lblTCurrentValue), "", "C");

    const auto types = static_cast<uint8_t>(state.HLTS.get(hlt_field::SensorTypes));
    nlohmann::json values = nlohmann::json::object();
    std::string channelsText;
    for (int channel = 0; channel < 2; ++channel) {
        const int type = SensorTypeNibble(types, channel);
        const auto& names = kHltChannelControls[static_cast<size_t>(channel)];
        const nlohmann::json value = ChannelValue(dialog.text(names.currentValue), type);
        values["sensor" + std::to_string(channel)] = value;
        channelsText += ChannelText(config, channel, type, value);
    }
    values["temperature"] = corrected ? nlohmann::json(*corrected) : nlohmann::json();

    const nlohmann::json document{
        {"rom", hlt.rom()},
        {"index", hlt.index()},
        {"readings",
         {{"temperature", state.Temperature},
          {"vdd", state.Vsens},
          {"vad", state.ADC0_val},
          {"current_input", state.ADC1_val},
          {"channel1_input", channel1Input ? nlohmann::json(*channel1Input) : nlohmann::json()}}},
        {"crc_ok", crcOk},
        {"never_configured", blockState == HltBlockState::NeverConfigured},
        {"config", config},
        {"values", values},
        {"bytes", HexText(block)}};

    const bool hidden = config.at("Tdis") == "hidden";
    std::string text = "HLT multisensor " + hlt.rom() + " (index " + IndexText(hlt.index()) +
                       ")\nlive readings: temperature " + FormatDotNumber(state.Temperature) +
                       " C, VDD " + FormatDotNumber(state.Vsens) + " V, VAD " +
                       FormatDotNumber(state.ADC0_val) + " V, current input " +
                       FormatDotNumber(state.ADC1_val) + " V (channel 1 input " +
                       (channel1Input ? FormatDotNumber(*channel1Input) : "?") + " V)\n";
    text += "configuration block: " +
            (blockState == HltBlockState::Sealed ? std::string("CRC matches")
             : blockState == HltBlockState::CrcMismatch
                 ? std::string("CRC DOES NOT MATCH: the device does not trust it")
                 : "NEVER CONFIGURED (mark byte 0): give every field with `hlt set`") +
            "\n";
    text += channelsText;
    text += "  temperature: " +
            (hidden ? std::string("not shown on the device")
                    : "offset " + Field(config, "Tdis") + " C, shown on the device") +
            ", limits " + Field(config, "TdownLimit") + " .. " + Field(config, "TupLimit") +
            ", corrected " + (corrected ? FormatDotNumber(*corrected) + " C" : "?") + "\n";
    text += "  bytes: " + HexText(block) + "\n";
    context.output().result(document, text);
    return ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
