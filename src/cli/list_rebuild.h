#pragma once

#include "common/control_surface.h"
#include "numberlog/number_log.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

// What the window's list rebuild does for the number log: the thermometer and logger lists are
// emptied and filled again from the device table, their first entry selected, and the auto-store
// step of the list runs after every entry added. Called, as in the window, only when the poll
// asks for a rebuild (the number of devices changed, or the poll failed).
void RebuildLists(const BusCore& core, ControlSurface& lists, NumberLog& numberLog);

}  // namespace velgrin::cli
