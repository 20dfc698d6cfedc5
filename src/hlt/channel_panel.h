#pragma once

#include "common/control_surface.h"
#include "hlt/hlt_config.h"
#include "hlt/hlt_controls.h"

namespace velgrin {

// What selecting type `typeIndex` in a channel's group does to the channel's panel (the type
// handlers rg0Click and rg1Click, after they have stopped the poll): the HIH-4000 assistant
// button shows only for that type; HIH-5031 keeps just the thresholds, "Без датчика" greys the
// panel, and every linear type (HIH-4000 and types 2 to 5) shows all six stored fields, so that
// a following write validates usable values. No selection (-1) changes nothing.
void SetUpChannelPanel(ControlSurface& dialog, const HLTConfig& block, int channel, int typeIndex);

// The panel of a channel without a sensor: disabled, greyed, "ОТКЛЮЧЕН", six empty disabled edits.
void ShowChannelDisabled(ControlSurface& dialog, const HltChannelControlNames& names);

}  // namespace velgrin
