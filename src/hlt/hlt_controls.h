#pragma once

#include <array>

namespace velgrin {

// Object names of the settings dialog's controls that the multisensor core reads and fills.
namespace hlt_control {
inline constexpr const char* pnl2 = "pnl2";
inline constexpr const char* lblCurrentT = "lblCurrentT";
inline constexpr const char* lblCurrentVDD = "lblCurrentVDD";
inline constexpr const char* lblCurrentADC0 = "lblCurrentADC0";
inline constexpr const char* lblCurrentADC1 = "lblCurrentADC1";
inline constexpr const char* lblUvhoda = "lblUvhoda";
inline constexpr const char* edtTdis = "edtTdis";
inline constexpr const char* edtTupLimit = "edtTupLimit";
inline constexpr const char* edtTdownLimit = "edtTdownLimit";
inline constexpr const char* chkUseT = "chkUseT";
inline constexpr const char* lblTCurrentValue = "lblTCurrentValue";
}  // namespace hlt_control

// One channel's controls: its type group, its panel and what the panel holds.
struct HltChannelControlNames {
    const char* group;
    const char* panel;
    const char* currentValue;
    const char* min;
    const char* max;
    const char* minVoltage;
    const char* maxVoltage;
    const char* upValue;
    const char* downValue;
    const char* hih4000Assistant;

    // The six edits in their fill order.
    std::array<const char*, 6> edits() const {
        return {min, max, minVoltage, maxVoltage, upValue, downValue};
    }
};

inline constexpr std::array<HltChannelControlNames, 2> kHltChannelControls{{
    {"rg0", "pnlS0", "lblS0CurrentValue", "edtS0min", "edtS0Max", "edtS0minVoltage",
     "edtS0MaxVoltage", "edtS0UpValue", "edtS0DownValue", "btnS0_H_select"},
    {"rg1", "pnl1", "lblS1CurrentValue", "edtS1min", "edtS1Max", "edtS1minVoltage",
     "edtS1MaxVoltage", "edtS1UpValue", "edtS1DownValue", "btnS1_H_select"},
}};

}  // namespace velgrin
