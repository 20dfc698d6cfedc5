#pragma once

#include "common/control_surface.h"
#include "hlt/ds2438.h"
#include "hlt/hlt_state.h"

namespace velgrin {

// Page 0 readings: each is stored among the live readings and shown in its label of the live
// panel.
void ShowTemperature(const ds2438::PageRead& page0, HltState& state, ControlSurface& dialog);
// The voltage belongs to VDD or VAD by the AD bit of byte 0.
void ShowVoltage(const ds2438::PageRead& page0, HltState& state, ControlSurface& dialog);
void ShowCurrent(const ds2438::PageRead& page0, HltState& state, ControlSurface& dialog);

// The configuration block and the channel values in the dialog: the CRC colour of pnl2, the type
// groups (a change to a type runs the group's click handler, as the window's surface does), the
// channel panels, their edits and present values, the temperature settings and the corrected
// temperature, in this order.
void ShowConfiguration(const HltState& state, ControlSurface& dialog);

}  // namespace velgrin
