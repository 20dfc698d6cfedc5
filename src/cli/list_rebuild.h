#pragma once

#include "common/control_surface.h"
#include "numberlog/number_log.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

// The window's list rebuild for the number log: the lists show their first entries and the
// auto-store steps run in the rebuild's order. Called, as in the window, only when the poll asks
// for a rebuild (the number of devices changed, or the poll failed).
void RebuildLists(const BusCore& core, ControlSurface& lists, NumberLog& numberLog);

}  // namespace velgrin::cli
