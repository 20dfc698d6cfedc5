#include "cli/list_rebuild.h"

#include "wire/device_lists.h"

namespace velgrin::cli {

void RebuildLists(const BusCore& core, ControlSurface& lists, NumberLog& numberLog) {
    const DeviceLists rebuilt = RebuildDeviceLists(core);
    ShowSelectedEntries(rebuilt, lists);
    numberLog.StoreRebuildSteps(rebuilt);
}

}  // namespace velgrin::cli
