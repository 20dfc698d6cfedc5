#include "hlt/settings_write.h"

#include <array>
#include <optional>

#include "hlt/field_text.h"
#include "hlt/hlt_controls.h"
#include "hlt/sensor_type.h"

namespace velgrin {

namespace {

constexpr uint32_t kPagePauseMs = 100;

constexpr double kValueLimit = 3276.7;
constexpr double kChannel0VoltageLimit = 6.5535;
constexpr double kChannel1VoltageLimit = 0.249;
constexpr double kOffsetLimit = 1.26;
constexpr double kTemperatureLow = -50;
constexpr double kTemperatureHigh = 150;

// One edit of the field table: where its value goes, what it admits, what it says otherwise.
struct FieldCheck {
    const char* edit;
    HltField field;
    double low, high;
    const char* message;
};

struct ChannelChecks {
    std::array<FieldCheck, 4> scaling;
    std::array<FieldCheck, 2> thresholds;
    const char* thresholdOrderWarning;
};

const std::array<ChannelChecks, 2> kChannelChecks{{
    {{{
         {"edtS0min", hlt_field::S0min, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 0 min!\r\nДолжно быть -3000..3000"},
         {"edtS0Max", hlt_field::S0Max, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 0 max!\r\nДолжно быть -3000..3000"},
         {"edtS0minVoltage", hlt_field::S0minVoltage, 0, kChannel0VoltageLimit,
          "Неверное значение параметра Датчик 0 мин.зн-ие V\r\nДолжно быть 0..6,5V"},
         {"edtS0MaxVoltage", hlt_field::S0MaxVoltage, 0, kChannel0VoltageLimit,
          "Неверное значение параметра Датчик 0 макс.зн-ие V\r\nДолжно быть 0..6,5V"},
     }},
     {{
         {"edtS0UpValue", hlt_field::S0UpValue, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 0 Верхний предел!\r\nДолжно быть -3000..3000"},
         {"edtS0DownValue", hlt_field::S0DownValue, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 0 Нижний предел!\r\nДолжно быть -3000..3000"},
     }},
     "Верхний порог датчика 0 меньше нижнего порога!\r\nсигнализация будет работать "
     "неправильно!"},
    {{{
         {"edtS1min", hlt_field::S1min, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 1 min!\r\nДолжно быть -3000..3000"},
         {"edtS1Max", hlt_field::S1Max, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 1 max!\r\nДолжно быть -3000..3000"},
         {"edtS1minVoltage", hlt_field::S1minVoltage, 0, kChannel1VoltageLimit,
          "Неверное значение параметра Датчик 1 мин.зн-ие V\r\nДолжно быть 0..0,249V"},
         {"edtS1MaxVoltage", hlt_field::S1MaxVoltage, 0, kChannel1VoltageLimit,
          "Неверное значение параметра Датчик 1 макс.зн-ие V\r\nДолжно быть 0..0,249V"},
     }},
     {{
         {"edtS1UpValue", hlt_field::S1UpValue, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 1 Верхний предел!\r\nДолжно быть -3000..3000"},
         {"edtS1DownValue", hlt_field::S1DownValue, -kValueLimit, kValueLimit,
          "Неверное значение параметра Датчик 1 Нижний предел!\r\nДолжно быть -3000..3000"},
     }},
     "Верхний порог датчика 1 меньше нижнего порога!\r\nсигнализация будет работать "
     "неправильно!"},
}};

constexpr FieldCheck kOffsetCheck{
    hlt_control::edtTdis, hlt_field::Tdis, -kOffsetLimit, kOffsetLimit,
    "Неверное значение параметра Смещение температуры!\r\nДолжно быть -1,26..1,26"};
constexpr FieldCheck kDownLimitCheck{
    hlt_control::edtTdownLimit, hlt_field::TdownLimit, kTemperatureLow, kTemperatureHigh,
    "Неверное значение параметра Температура Нижний предел!\r\nДолжно быть -50..150"};
constexpr FieldCheck kUpLimitCheck{
    hlt_control::edtTupLimit, hlt_field::TupLimit, kTemperatureLow, kTemperatureHigh,
    "Неверное значение параметра Температура Верхний предел!\r\nДолжно быть -50..150"};

constexpr const char* kTypesUndefined = "Неопределены типы датчиков!";

class SettingsChecker {
  public:
    SettingsChecker(ControlSurface& dialog, Host& host, HLTConfig& block)
        : dialog_(dialog), host_(host), block_(block) {}

    // Stores the edit's value, or shows why not and puts the stored value back.
    bool Check(const FieldCheck& check) {
        const auto value = ReadValueInRange(dialog_.text(check.edit), check.low, check.high);
        const auto stored = value ? EncodeField(check.field, *value) : std::nullopt;
        if (!stored) {
            refusedEdit_ = check.edit;
            host_.showMessage(check.message);
            dialog_.setText(check.edit, FieldText(block_, check.field));
            return false;
        }
        block_.set(check.field, *stored);
        return true;
    }

    template <std::size_t N>
    bool CheckAll(const std::array<FieldCheck, N>& checks) {
        for (const auto& check : checks) {
            if (!Check(check)) {
                return false;
            }
        }
        return true;
    }

    bool CheckChannel(const ChannelChecks& checks, int type) {
        if (ChannelScalingInUse(type) && !CheckAll(checks.scaling)) {
            return false;
        }
        if (!ChannelThresholdsInUse(type)) {
            return true;
        }
        if (!CheckAll(checks.thresholds)) {
            return false;
        }
        if (block_.get(checks.thresholds[0].field) < block_.get(checks.thresholds[1].field)) {
            host_.showMessage(checks.thresholdOrderWarning);
        }
        return true;
    }

    const char* refusedEdit() const { return refusedEdit_; }

  private:
    ControlSurface& dialog_;
    Host& host_;
    HLTConfig& block_;
    const char* refusedEdit_ = nullptr;
};

// Pages 3 and 6 carry the seal; 4 and 5 follow it. A page that fails puts the block as read back,
// so the device never holds a mix that its CRC would not match.
constexpr std::array<HltPageStep, 4> kSettingsPages{
    {{3, 0}, {6, 0}, {4, kPagePauseMs}, {5, kPagePauseMs}}};

void WriteBlock(HltCore& hlt) {
    const auto sealed = hlt.SealForWrite();
    if (!sealed) {
        return;
    }
    if (const auto written = hlt.WriteSealed(*sealed, kSettingsPages)) {
        hlt.BlockHeld(*written);
    }
}

}  // namespace

bool WriteHltSettings(ControlSurface& dialog, HltCore& hlt, bool& flgEditHLT,
                      const char** refusedEdit) {
    flgEditHLT = true;
    auto& block = hlt.state().HLTS;
    SettingsChecker checker(dialog, hlt.host(), block);
    const auto refused = [&] {
        if (refusedEdit != nullptr) {
            *refusedEdit = checker.refusedEdit();
        }
        return false;
    };

    const std::array<int, 2> types{dialog.itemIndex(kHltChannelControls[0].group),
                                   dialog.itemIndex(kHltChannelControls[1].group)};
    for (int channel = 0; channel < 2; ++channel) {
        if (!checker.CheckChannel(kChannelChecks[channel], types[channel])) {
            return refused();
        }
    }
    if (types[0] < 0 || types[1] < 0) {
        hlt.host().showMessage(kTypesUndefined);
        return refused();
    }
    if (dialog.checked(hlt_control::chkUseT)) {
        if (!checker.Check(kOffsetCheck)) {
            return refused();
        }
    } else {
        block.set(hlt_field::Tdis, kTdisNotShown);
    }
    if (!checker.Check(kDownLimitCheck) || !checker.Check(kUpLimitCheck)) {
        return refused();
    }
    block.set(hlt_field::SensorTypes, types[0] * 16 + types[1]);

    WriteBlock(hlt);
    return true;
}

}  // namespace velgrin
