#include "hlt/channel_panel.h"

#include "hlt/field_text.h"
#include "hlt/sensor_type.h"

namespace velgrin {

namespace {

constexpr const char* kDisabledChannelText = "ОТКЛЮЧЕН";

void ShowChannelInUse(ControlSurface& dialog, const HltChannelControlNames& names,
                      const HLTConfig& block, const HltChannelFields& fields, bool scalingInUse) {
    dialog.setEnabled(names.panel, true);
    dialog.setColor(names.panel, colors::kButtonFace);
    dialog.setText(names.currentValue, "");
    const std::array<HltField, 6> stored{fields.min,        fields.max,     fields.minVoltage,
                                         fields.maxVoltage, fields.upValue, fields.downValue};
    const auto edits = names.edits();
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const bool threshold = i >= 4;
        dialog.setText(edits[i], threshold || scalingInUse ? FieldText(block, stored[i]) : "");
    }
    for (std::size_t i = 0; i < edits.size(); ++i) {
        dialog.setEnabled(edits[i], i >= 4 || scalingInUse);
    }
}

}  // namespace

void ShowChannelDisabled(ControlSurface& dialog, const HltChannelControlNames& names) {
    dialog.setEnabled(names.panel, false);
    dialog.setColor(names.panel, colors::kButtonShadow);
    dialog.setText(names.currentValue, kDisabledChannelText);
    for (const char* edit : names.edits()) {
        dialog.setText(edit, "");
    }
    for (const char* edit : names.edits()) {
        dialog.setEnabled(edit, false);
    }
}

void SetUpChannelPanel(ControlSurface& dialog, const HLTConfig& block, int channel, int typeIndex) {
    if (typeIndex < 0 || typeIndex >= kSensorTypeCount) {
        return;
    }
    const auto& names = kHltChannelControls.at(channel);
    dialog.setVisible(names.hih4000Assistant, typeIndex == stHIH4000);
    if (typeIndex == stNone) {
        ShowChannelDisabled(dialog, names);
        return;
    }
    ShowChannelInUse(dialog, names, block, kHltChannelFields.at(channel),
                     ChannelScalingInUse(typeIndex));
}

}  // namespace velgrin
