#include "cli/list_rebuild.h"

namespace velgrin::cli {

namespace {

constexpr const char* kThermometerList = "cmb1820";
constexpr const char* kLoggerList = "cmbSN";

// A list keeps its first entry selected however many are appended after it.
void AppendAndSelectFirst(ControlSurface& lists, const char* list, const std::string& entry) {
    if (lists.text(list).empty()) {
        lists.setText(list, entry);
    }
}

}  // namespace

void RebuildLists(const BusCore& core, ControlSurface& lists, NumberLog& numberLog) {
    lists.setText(kThermometerList, "");
    lists.setText(kLoggerList, "");
    for (int i = 0; i < core.FoundDev; ++i) {
        const CurrentSens& sens = core.Asens[static_cast<size_t>(i)];
        const std::string entry = ListEntryText(i, sens.ROMS);
        switch (sens.Family) {
            case device_group::kDs18S20:
            case device_group::kDs18B20:
                AppendAndSelectFirst(lists, kThermometerList, entry);
                numberLog.StoreRom1820();
                break;
            case device_group::kLogger:
                AppendAndSelectFirst(lists, kLoggerList, entry);
                numberLog.StoreRomButton();
                break;
            default:
                break;
        }
    }
}

}  // namespace velgrin::cli
