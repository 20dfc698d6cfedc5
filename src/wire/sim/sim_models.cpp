#include "wire/sim/sim_models.h"

#include "wire/device_families.h"
#include "wire/logger_subtypes.h"
#include "wire/sim/sim_ds1822.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds18s20.h"
#include "wire/sim/sim_ds1921.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::sim {

namespace {

constexpr std::string_view kPlainRom = "rom";

template <typename Device>
std::unique_ptr<SimDevice> Make(const RomCode& rom, std::string_view) {
    return std::make_unique<Device>(rom);
}

// A bench's "DS1922" is a DS1922L; the other names are the parts' own.
std::unique_ptr<SimDevice> MakeDs1922(const RomCode& rom, std::string_view model) {
    for (const Ds1922Subtype& part : Ds1922Subtypes()) {
        if (part.part == model) {
            return std::make_unique<Ds1922Device>(rom, part.configByte);
        }
    }
    return std::make_unique<Ds1922Device>(rom, ds1922_config::kDs1922L);
}

// The families whose function commands the bench simulates; the others answer the ROM layer
// only, which is all the program asks of them.
struct FamilyModel {
    uint8_t family;
    std::unique_ptr<SimDevice> (*make)(const RomCode&, std::string_view model);
};

constexpr FamilyModel kFamilyModels[] = {
    {family_code::kDs18B20, Make<Ds18b20Device>}, {family_code::kDs1822, Make<Ds1822Device>},
    {family_code::kDs18S20, Make<Ds18s20Device>}, {family_code::kDs2438, Make<Ds2438Device>},
    {family_code::kDs1921, Make<Ds1921Device>},   {family_code::kDs1922, MakeDs1922},
};

std::vector<ModelInfo> AllModels() {
    std::vector<ModelInfo> models;
    for (const FamilyDescriptor& family : DeviceFamilies()) {
        for (std::string_view name : family.simModels) {
            if (!name.empty()) {
                models.push_back({name, family.code});
            }
        }
        if (family.searchStep == SearchStep::kIdentifyDs1922) {
            for (const Ds1922Subtype& part : Ds1922Subtypes()) {
                models.push_back({part.part, family.code});
            }
        }
    }
    models.push_back({kPlainRom, std::nullopt});
    return models;
}

}  // namespace

const std::vector<ModelInfo>& Models() {
    static const std::vector<ModelInfo> models = AllModels();
    return models;
}

const ModelInfo* FindModel(std::string_view name) {
    for (const auto& m : Models()) {
        if (m.name == name) {
            return &m;
        }
    }
    return nullptr;
}

std::string_view ModelOfFamily(uint8_t family) {
    for (const auto& m : Models()) {
        if (m.family == family) {
            return m.name;
        }
    }
    return kPlainRom;
}

std::unique_ptr<SimDevice> MakeDevice(std::string_view model, const RomCode& rom) {
    const ModelInfo* info = FindModel(model);
    if (info == nullptr || !info->family) {
        return std::make_unique<PlainRomDevice>(rom);
    }
    for (const FamilyModel& family : kFamilyModels) {
        if (family.family == *info->family) {
            return family.make(rom, model);
        }
    }
    return std::make_unique<PlainRomDevice>(rom, std::string(model));
}

}  // namespace velgrin::sim
