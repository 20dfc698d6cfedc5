#include "hlt/hlt_display.h"

#include <cmath>
#include <optional>
#include <string>

#include "common/number_text.h"
#include "hlt/channel_panel.h"
#include "hlt/crc_hlt.h"
#include "hlt/field_text.h"
#include "hlt/hlt_controls.h"
#include "hlt/hlt_readings.h"
#include "hlt/sensor_type.h"

namespace velgrin {

namespace {

constexpr const char* kValueFailed = "Параметры?";
constexpr const char* kTemperatureFailed = "???.??";

void ShowChannelPanel(ControlSurface& dialog, const HltChannelControlNames& names, int index) {
    if (index == stNone) {
        ShowChannelDisabled(dialog, names);
        return;
    }
    dialog.setEnabled(names.panel, true);
    dialog.setColor(names.panel, colors::kButtonFace);
    for (const char* edit : {names.min, names.max, names.minVoltage, names.maxVoltage}) {
        dialog.setEnabled(edit, true);
    }
}

void ShowChannelValues(ControlSurface& dialog, const HltState& state, int channel, int index) {
    if (index == stNone) {
        return;
    }
    const auto& names = kHltChannelControls[channel];
    const auto& fields = kHltChannelFields[channel];
    const auto& block = state.HLTS;
    const double signal = channel == 0 ? state.ADC0_val : state.ADC1_val;

    std::optional<double> value;
    std::string unit;
    if (index == stHIH5031) {
        for (const char* edit : {names.min, names.max, names.minVoltage, names.maxVoltage}) {
            dialog.setText(edit, "");
        }
        dialog.setText(names.upValue, FieldText(block, fields.upValue));
        dialog.setText(names.downValue, FieldText(block, fields.downValue));
        value = HumidityValue(signal, state.Vsens, state.Temperature);
        unit = " %";
    } else {
        dialog.setText(names.min, FieldText(block, fields.min));
        dialog.setText(names.max, FieldText(block, fields.max));
        dialog.setText(names.minVoltage, FieldText(block, fields.minVoltage));
        dialog.setText(names.maxVoltage, FieldText(block, fields.maxVoltage));
        dialog.setText(names.upValue, FieldText(block, fields.upValue));
        dialog.setText(names.downValue, FieldText(block, fields.downValue));
        value = LinearValue(block.get(fields.min), block.get(fields.max),
                            block.get(fields.minVoltage), block.get(fields.maxVoltage), signal);
    }
    dialog.setText(names.currentValue, value ? FormatNumber(*value) + unit : kValueFailed);
}

void ShowTemperatureSettings(ControlSurface& dialog, const HltState& state) {
    const int tdis = state.HLTS.get(hlt_field::Tdis);
    if (tdis == kTdisNotShown) {
        dialog.setText(hlt_control::edtTdis, "0");
        dialog.setChecked(hlt_control::chkUseT, false);
    } else {
        dialog.setText(hlt_control::edtTdis, FieldText(state.HLTS, hlt_field::Tdis));
        dialog.setChecked(hlt_control::chkUseT, true);
    }
    dialog.setText(hlt_control::edtTupLimit, FieldText(state.HLTS, hlt_field::TupLimit));
    dialog.setText(hlt_control::edtTdownLimit, FieldText(state.HLTS, hlt_field::TdownLimit));

    const double corrected =
        tdis == kTdisNotShown ? state.Temperature : tdis / 100.0 + state.Temperature;
    dialog.setText(hlt_control::lblTCurrentValue,
                   std::isfinite(corrected) ? FormatNumber(corrected) + "C" : kTemperatureFailed);
}

}  // namespace

void ShowTemperature(const ds2438::PageRead& page0, HltState& state, ControlSurface& dialog) {
    state.Temperature = DecodeTemperature(page0[1], page0[2]);
    dialog.setText(hlt_control::lblCurrentT, "T = " + FormatNumber(state.Temperature) + "C");
}

void ShowVoltage(const ds2438::PageRead& page0, HltState& state, ControlSurface& dialog) {
    const double volts = DecodeVoltage(page0[3], page0[4]);
    if (page0[0] & ds2438::kStatusAD) {
        state.Vsens = volts;
        dialog.setText(hlt_control::lblCurrentVDD, "VDD = " + FormatNumber(volts) + "V");
    } else {
        state.ADC0_val = volts;
        dialog.setText(hlt_control::lblCurrentADC0, "ADC0 = " + FormatNumber(volts) + "V");
    }
}

void ShowCurrent(const ds2438::PageRead& page0, HltState& state, ControlSurface& dialog) {
    state.ADC1_val = DecodeCurrentVoltage(page0[5], page0[6]);
    dialog.setText(hlt_control::lblCurrentADC1, "ADC1 = " + FormatNumber(state.ADC1_val) + "V");
    dialog.setText(hlt_control::lblUvhoda,
                   "Uвхода2 = " + FormatNumber(state.ADC1_val * kChannel1ShownInputRatio) + "V");
}

void ShowConfiguration(const HltState& state, ControlSurface& dialog) {
    // A blank block's zeros pass the CRC; red says it was never configured.
    dialog.setColor(hlt_control::pnl2, BlockState(state.HLTS) == HltBlockState::Sealed
                                           ? colors::kButtonFace
                                           : colors::kRed);

    const auto sensorTypes = static_cast<uint8_t>(state.HLTS.get(hlt_field::SensorTypes));
    for (int channel = 0; channel < 2; ++channel) {
        dialog.setItemIndex(kHltChannelControls[channel].group,
                            SensorTypeIndex(SensorTypeNibble(sensorTypes, channel)));
    }
    // Judged by what the groups hold now, as the click handlers left them.
    int index[2];
    for (int channel = 0; channel < 2; ++channel) {
        index[channel] = dialog.itemIndex(kHltChannelControls[channel].group);
        ShowChannelPanel(dialog, kHltChannelControls[channel], index[channel]);
    }
    for (int channel = 0; channel < 2; ++channel) {
        ShowChannelValues(dialog, state, channel, index[channel]);
    }
    ShowTemperatureSettings(dialog, state);
}

}  // namespace velgrin
