#include "wire/device_families.h"

#include <algorithm>

namespace velgrin {

namespace {

constexpr std::array kFamilies{
    FamilyDescriptor{family_code::kDs18B20,
                     device_group::kDs18B20,
                     DeviceList::kThermometers,
                     "DS18B20 thermometer",
                     SearchStep::kNone,
                     {"DS18B20"}},
    FamilyDescriptor{family_code::kDs1822,
                     device_group::kLogger,
                     DeviceList::kRegistration,
                     "DS1822 thermometer",
                     SearchStep::kNone,
                     {"DS1822"}},
    FamilyDescriptor{family_code::kDs18S20,
                     device_group::kDs18S20,
                     DeviceList::kThermometers,
                     "DS18S20 thermometer",
                     SearchStep::kNone,
                     {"DS18S20", "DS1820"}},
    FamilyDescriptor{family_code::kDs2438,
                     device_group::kHlt,
                     DeviceList::kMultisensors,
                     "HLT multisensor (DS2438)",
                     SearchStep::kNone,
                     {"DS2438"}},
    FamilyDescriptor{family_code::kDs1921,
                     device_group::kLogger,
                     DeviceList::kRegistration,
                     "DS1921 logger",
                     SearchStep::kIdentifyDs1921,
                     {"DS1921"}},
    FamilyDescriptor{family_code::kDs1922,
                     device_group::kLogger,
                     DeviceList::kRegistration,
                     "DS1922/DS1923/DS2422 logger",
                     SearchStep::kIdentifyDs1922,
                     {"DS1922"}},
    FamilyDescriptor{family_code::kDs1925,
                     device_group::kLogger,
                     DeviceList::kRegistration,
                     "DS1925 logger",
                     SearchStep::kNone,
                     {"DS1925"}},
    FamilyDescriptor{family_code::kDs1420,
                     device_group::kUnlisted,
                     DeviceList::kNone,
                     "adapter serial-number chip (DS1420)",
                     SearchStep::kAdapterSerial,
                     {"DS1420"}},
};

constexpr bool OneEntryPerCode() {
    for (size_t i = 0; i < kFamilies.size(); ++i) {
        for (size_t j = i + 1; j < kFamilies.size(); ++j) {
            if (kFamilies[i].code == kFamilies[j].code) {
                return false;
            }
        }
    }
    return true;
}

constexpr bool OneListPerGroup() {
    for (const auto& a : kFamilies) {
        for (const auto& b : kFamilies) {
            if (a.group == b.group && a.list != b.list) {
                return false;
            }
        }
    }
    return true;
}

static_assert(OneEntryPerCode(), "a family code is described twice");
static_assert(OneListPerGroup(), "families of one group must share their list");

}  // namespace

std::span<const FamilyDescriptor> DeviceFamilies() {
    return kFamilies;
}

const FamilyDescriptor* FindFamily(uint8_t familyCode) {
    const auto* found = std::find_if(kFamilies.begin(), kFamilies.end(),
                                     [&](const auto& f) { return f.code == familyCode; });
    return found == kFamilies.end() ? nullptr : found;
}

DeviceList ListOfGroup(int32_t group) {
    const auto* found = std::find_if(kFamilies.begin(), kFamilies.end(),
                                     [&](const auto& f) { return f.group == group; });
    return found == kFamilies.end() ? DeviceList::kNone : found->list;
}

}  // namespace velgrin
