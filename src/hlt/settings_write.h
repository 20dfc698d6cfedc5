#pragma once

#include "common/control_surface.h"
#include "hlt/hlt_core.h"

namespace velgrin {

// The work of "Записать" (btnWriteClick) up to the writes: sets flgEditHLT, checks every edit
// that the two sensor types and chkUseT call for in a fixed order, stores each accepted value
// into the block at once, warns when a channel's upper threshold lies below its lower one, forms
// SensorTypes, then seals the block and writes pages 3 and 6, 4, 5 to the device the block was
// read from, each read back as it goes.
// The first invalid edit shows its message, gets the stored value back and stops everything:
// false, nothing written, flgEditHLT still set. True once the write has run: a block that was
// not read intact, a device that is no longer the dialog's, or a page that could not be written
// as meant has shown "Не удалось записать параметры" and ended it, the pages written before it
// put back as they were (a second message when that failed too); the dialog then leaves edit
// mode and restarts the poll. When a check stopped it and `refusedEdit` is given, it gets the
// name of the edit refused (null when the sensor types were undefined).
bool WriteHltSettings(ControlSurface& dialog, HltCore& hlt, bool& flgEditHLT,
                      const char** refusedEdit = nullptr);

}  // namespace velgrin
