#include "wire/device_lists.h"

namespace velgrin {

namespace {

std::string FirstEntry(const std::vector<std::string>& list) {
    return list.empty() ? std::string() : list.front();
}

}  // namespace

DeviceLists RebuildDeviceLists(const BusCore& core) {
    DeviceLists lists;
    for (int n = 0; n < core.FoundDev; ++n) {
        const CurrentSens& sens = core.Asens[static_cast<size_t>(n)];
        std::string entry = ListEntryText(n, sens.ROMS);
        switch (ListOfGroup(sens.Family)) {
            case DeviceList::kThermometers:
                lists.cmb1820.push_back(std::move(entry));
                lists.logSteps.push_back(LogStep::kStoreRom1820);
                break;
            case DeviceList::kRegistration:
                lists.cmbSN.push_back(std::move(entry));
                lists.logSteps.push_back(LogStep::kStoreRomButton);
                break;
            case DeviceList::kMultisensors:
                lists.cmbhlt.push_back(std::move(entry));
                break;
            case DeviceList::kNone:
                break;
        }
    }
    // The multisensor and registration pages follow their lists; the thermometer and logger
    // pages are only ever switched on here.
    lists.pages.push_back({device_page::kHlt, !lists.cmbhlt.empty()});
    lists.pages.push_back({device_page::kReg, !lists.cmbSN.empty()});
    if (!lists.cmb1820.empty()) {
        lists.pages.push_back({device_page::kDs1820, true});
    }
    if (!lists.cmbSN.empty()) {
        lists.pages.push_back({device_page::kDs192x, true});
    }
    return lists;
}

void ShowSelectedEntries(const DeviceLists& lists, ControlSurface& surface) {
    for (const PageSwitch& page : lists.pages) {
        surface.setEnabled(page.page, page.enabled);
    }
    surface.setText("cmb1820", FirstEntry(lists.cmb1820));
    surface.setText("cmbhlt", FirstEntry(lists.cmbhlt));
    surface.setText("cmbSN", FirstEntry(lists.cmbSN));
    surface.setText("cmbDs192x", FirstEntry(lists.cmbSN));
}

}  // namespace velgrin
