#pragma once

#include "common/control_surface.h"
#include "common/host.h"
#include "hlt/hlt_config.h"

namespace velgrin {

// Ratio of the channel-1 input voltage to what the device measures after its input stage, as the
// input wizard uses it.
inline constexpr double kChannel1InputRatio = 20.54545;

// The HIH-4000 assistant of a channel ("..." on its panel: btnS0_H_selectClick,
// btnS1_H_selectClick): asks the sensor's zero offset (volts) and slope (mV per %), stores the
// 0 to 100 % scaling into the channel's block fields and shows it in the channel's four scaling
// edits. Refuses a channel of another type, and an offset and slope whose 100 % voltage the
// block cannot hold; it then stores nothing.
void RunHih4000Assistant(ControlSurface& dialog, Host& host, HLTConfig& block, int channel);

// The channel-1 input wizard ("Помощник": btnWizClick): asks the sensor's value range, its
// thresholds and its output kind (4-20 mA loop or voltage), fills channel 1's six edits with the
// voltages the device will measure and names the jumpers to fit. Writes no block field; the edits
// are checked when the user writes.
void RunInputWizard(ControlSurface& dialog, Host& host);

}  // namespace velgrin
