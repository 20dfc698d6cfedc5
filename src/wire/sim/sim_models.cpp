#include "wire/sim/sim_models.h"

#include "wire/sim/sim_ds1822.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds18s20.h"
#include "wire/sim/sim_ds1921.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::sim {

namespace {

constexpr std::string_view kPlainRom = "rom";

// Family 0x41 parts differ only in their configuration byte.
std::optional<uint8_t> Ds1922Config(std::string_view model) {
    if (model == "DS1922" || model == "DS1922L") {
        return ds1922_config::kDs1922L;
    }
    if (model == "DS1922T") {
        return ds1922_config::kDs1922T;
    }
    if (model == "DS1922E") {
        return ds1922_config::kDs1922E;
    }
    if (model == "DS1923") {
        return ds1922_config::kDs1923;
    }
    if (model == "DS2422") {
        return ds1922_config::kDs2422;
    }
    return std::nullopt;
}

}  // namespace

const std::vector<ModelInfo>& Models() {
    static const std::vector<ModelInfo> models = {
        {"DS18B20", 0x28}, {"DS1822", 0x22},  {"DS18S20", 0x10},         {"DS1820", 0x10},
        {"DS2438", 0x26},  {"DS1921", 0x21},  {"DS1922", 0x41},          {"DS1922L", 0x41},
        {"DS1922T", 0x41}, {"DS1922E", 0x41}, {"DS1923", 0x41},          {"DS2422", 0x41},
        {"DS1925", 0x53},  {"DS1420", 0x81},  {kPlainRom, std::nullopt},
    };
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
    if (model == "DS18B20") {
        return std::make_unique<Ds18b20Device>(rom);
    }
    if (model == "DS1822") {
        return std::make_unique<Ds1822Device>(rom);
    }
    if (model == "DS18S20" || model == "DS1820") {
        return std::make_unique<Ds18s20Device>(rom);
    }
    if (model == "DS2438") {
        return std::make_unique<Ds2438Device>(rom);
    }
    if (model == "DS1921") {
        return std::make_unique<Ds1921Device>(rom);
    }
    if (auto config = Ds1922Config(model)) {
        return std::make_unique<Ds1922Device>(rom, *config);
    }
    if (model == "DS1925" || model == "DS1420") {
        // Their function commands are not simulated: the program only lists them.
        return std::make_unique<PlainRomDevice>(rom, std::string(model));
    }
    return std::make_unique<PlainRomDevice>(rom);
}

}  // namespace velgrin::sim
