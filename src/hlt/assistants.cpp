#include "hlt/assistants.h"

#include <optional>
#include <string>

#include "common/number_text.h"
#include "hlt/field_text.h"
#include "hlt/hlt_controls.h"
#include "hlt/sensor_type.h"

namespace velgrin {

namespace {

constexpr const char* kNumberPreset = "0,";

constexpr const char* kOnlyHih4000 = "Настройка только для датчиков влажности HIH-4000";
constexpr const char* kBadParameter = "Неверное значение параметра!";
constexpr const char* kBadOffset = "Неверное значение параметра!\r\n0..2";
constexpr const char* kBadSlope = "Неверное значение параметра!\r\n1..300";
constexpr const char* kFullScaleTooHigh =
    "Неверное значение параметра!\r\nZero ofset + Slope/10 больше 6,5535V";

constexpr const char* kWizardCaption = "Канал 1";
constexpr const char* kBadValue = "Неверное значение!";
constexpr const char* kInputKindPrompt = "0 - ТОКОВЫЙ вход\r\n1 - Вход по НАПРЯЖЕНИЮ";
constexpr const char* kCurrentJumpers = "Перемычки на плате J4 J6 должны быть установлены!";
constexpr const char* kVoltageJumper = "Перемычка на плате J4 должна быть установлена!";

// A 4-20 mA loop ends in 200 ohms.
constexpr double kLoopResistorOhms = 200;

// Asks for a number; shows `invalid` and gives none when the answer is not one.
std::optional<double> AskNumber(Host& host, const char* caption, const char* prompt,
                                const char* preset, const char* invalid) {
    const auto value = ParseNumber(host.inputBox(caption, prompt, preset));
    if (!value) {
        host.showMessage(invalid);
    }
    return value;
}

std::optional<double> AskInRange(Host& host, const char* caption, const char* prompt, double low,
                                 double high, const char* outOfRange) {
    const auto value = AskNumber(host, caption, prompt, kNumberPreset, kBadParameter);
    if (value && !(*value >= low && *value <= high)) {
        host.showMessage(outOfRange);
        return std::nullopt;
    }
    return value;
}

struct SensorOutputRange {
    double low, high;
};

std::optional<SensorOutputRange> AskOutputRange(Host& host, const char* lowPrompt,
                                                const char* lowPreset, const char* highPrompt,
                                                const char* highPreset) {
    const auto low = AskNumber(host, kWizardCaption, lowPrompt, lowPreset, kBadValue);
    if (!low) {
        return std::nullopt;
    }
    const auto high = AskNumber(host, kWizardCaption, highPrompt, highPreset, kBadValue);
    if (!high) {
        return std::nullopt;
    }
    return SensorOutputRange{*low, *high};
}

}  // namespace

void RunHih4000Assistant(ControlSurface& dialog, Host& host, HLTConfig& block, int channel) {
    const auto& names = kHltChannelControls.at(channel);
    const auto& fields = kHltChannelFields.at(channel);
    if (dialog.itemIndex(names.group) != stHIH4000) {
        host.showMessage(kOnlyHih4000);
        return;
    }
    const auto zero =
        AskInRange(host, "Датчика влажности Zero ofset", "Zero ofset V", 0, 2, kBadOffset);
    if (!zero) {
        return;
    }
    const auto slope = AskInRange(host, "Датчик влажности Slope", "Slope mv", 1, 300, kBadSlope);
    if (!slope) {
        return;
    }
    const auto minVoltage = EncodeField(fields.minVoltage, *zero);
    // 100 % lies at Z + S/10 volts; the field ends at 6.5535 V and is never cut to fit.
    const auto maxVoltage = EncodeField(fields.maxVoltage, *slope / 10 + *zero);
    if (!minVoltage || !maxVoltage) {
        host.showMessage(kFullScaleTooHigh);
        return;
    }
    block.set(fields.min, 0);
    block.set(fields.max, 1000);
    block.set(fields.minVoltage, *minVoltage);
    block.set(fields.maxVoltage, *maxVoltage);

    dialog.setText(names.min, FieldText(block, fields.min));
    dialog.setText(names.max, FieldText(block, fields.max));
    dialog.setText(names.minVoltage, FieldText(block, fields.minVoltage));
    dialog.setText(names.maxVoltage, FieldText(block, fields.maxVoltage));
}

void RunInputWizard(ControlSurface& dialog, Host& host) {
    auto ask = [&](const char* prompt) {
        return AskNumber(host, kWizardCaption, prompt, kNumberPreset, kBadValue);
    };
    const auto minValue = ask("МИНимальное значение датчика");
    if (!minValue) {
        return;
    }
    const auto maxValue = ask("МАКСимальное значение датчика");
    if (!maxValue) {
        return;
    }
    const auto lowerThreshold = ask("НИЖНИЙ порог датчика");
    if (!lowerThreshold) {
        return;
    }
    const auto upperThreshold = ask("ВЕРХНИЙ порог датчика");
    if (!upperThreshold) {
        return;
    }

    std::string kind;
    do {
        kind = host.inputBox(kWizardCaption, kInputKindPrompt, " ");
    } while (kind != "0" && kind != "1");
    const bool currentLoop = kind == "0";

    const auto range = currentLoop
                           ? AskOutputRange(host, "МИНимальный ток датчика мА", "4,0",
                                            "МАКСимальный ток датчика мА", "20,0")
                           : AskOutputRange(host, "МИНимальное напряжение датчика В", kNumberPreset,
                                            "МАКСимальное напряжение датчика В", "4,0");
    if (!range) {
        return;
    }
    // What the device measures on channel 1 for the sensor's lowest and highest output.
    auto measured = [&](double output) {
        const double volts = currentLoop ? output * kLoopResistorOhms / 1000 : output;
        return volts / kChannel1InputRatio;
    };
    const auto& names = kHltChannelControls[1];
    dialog.setText(names.min, FormatNumber(*minValue));
    dialog.setText(names.max, FormatNumber(*maxValue));
    dialog.setText(names.minVoltage, FormatNumber(measured(range->low)));
    dialog.setText(names.maxVoltage, FormatNumber(measured(range->high)));
    dialog.setText(names.upValue, FormatNumber(*upperThreshold));
    dialog.setText(names.downValue, FormatNumber(*lowerThreshold));
    host.showMessage(currentLoop ? kCurrentJumpers : kVoltageJumper);
}

}  // namespace velgrin
