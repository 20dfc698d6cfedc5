#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "wire/rom_code.h"
#include "wire/sim/sim_bench.h"
#include "wire/sim/sim_value.h"

// Reading a bench description: every helper takes the JSON node and its place (a JSON pointer
// such as "/devices/2/rom") and throws BenchRefusal naming that place when the node is wrong.
namespace velgrin::sim::bench_reader {

using Json = nlohmann::json;

struct BenchRefusal : std::runtime_error {
    BenchRefusal(std::string place, const std::string& problem)
        : std::runtime_error(problem), place(std::move(place)) {}
    std::string place;
};

std::string Place(const std::string& parent, std::string_view key);
std::string Place(const std::string& parent, size_t index);

// An object whose keys are all among `known`.
const Json& RequireObject(const Json& node, const std::string& place,
                          std::initializer_list<std::string_view> known);
double RequireNumber(const Json& node, const std::string& place);
int64_t RequireInteger(const Json& node, const std::string& place, int64_t min, int64_t max);
bool RequireBool(const Json& node, const std::string& place);
std::string RequireString(const Json& node, const std::string& place);
// A byte as a number 0..255 or a text "0x40".
uint8_t RequireByte(const Json& node, const std::string& place);
// `count` bytes as an array of bytes or one text of hex digits (blanks allowed).
std::vector<uint8_t> RequireBytes(const Json& node, const std::string& place, size_t count);
// A ROM text as the program's lists show it: 16 hex digits, CRC byte first. The CRC is not
// judged here.
RomCode RequireRomText(const Json& node, const std::string& place);
// What a device can measure at one input; a value outside is refused, not clamped silently.
struct MeasuredRange {
    double low;
    double high;
    const char* unit;
};

// A number, or {"base": .., "amplitude": .., "periodS": ..} for a slow swing that stays inside
// the range.
SimValue RequireValue(const Json& node, const std::string& place, uint64_t originUs,
                      MeasuredRange range);

// A change to a device, checked against its model when read and applied later (at load time
// or by a timeline event).
using DeviceChange = std::function<void(SimBench&, SimDevice&)>;

// What the bench file says about one device, ready to be put on a bench.
struct DeclaredDevice {
    std::unique_ptr<SimDevice> device;
    bool attached = true;
    DeviceChange setup;  // its values and faults, applied once it is on the bench
};

// A device entry of "devices"; `originUs` is where drifting values start.
DeclaredDevice ReadDevice(const Json& node, const std::string& place, uint64_t originUs);

// The values and faults of an entry (device entry or "set" event) that apply to `device`'s
// model; keys that the caller reads itself are skipped.
DeviceChange ReadDeviceChanges(const Json& node, const std::string& place, const SimDevice& device,
                               uint64_t originUs,
                               std::initializer_list<std::string_view> callerKeys);

// Bench-level faults: {"shorted": .., "unplugged": .., "sessionRefused": ..}.
std::function<void(SimBench&)> ReadBenchFaults(const Json& node, const std::string& place);

// The HLT configuration block by its named fields.
std::array<uint8_t, 32> ReadHltFields(const Json& node, const std::string& place);

}  // namespace velgrin::sim::bench_reader
