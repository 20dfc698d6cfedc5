#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wire/sim/sim_device.h"

namespace velgrin::sim {

// A device model a bench can hold, under the name bench files use.
struct ModelInfo {
    std::string_view name;
    std::optional<uint8_t> family;  // none: any family (a plain ROM)
};

// Every model, in the order the documentation lists them.
const std::vector<ModelInfo>& Models();
const ModelInfo* FindModel(std::string_view name);
// The model a device of that family is when a bench names none: "rom" for unlisted families.
std::string_view ModelOfFamily(uint8_t family);

// A fresh device of the model (a name from Models()).
std::unique_ptr<SimDevice> MakeDevice(std::string_view model, const RomCode& rom);

}  // namespace velgrin::sim
