#include "cli/saved_bench.h"

#include "cli/hex_bytes.h"
#include "common/text_file.h"
#include "thermo/resolution_byte.h"
#include "wire/device_families.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::cli {

namespace {

nlohmann::json DeviceState(const sim::SimDevice& device, uint64_t nowUs) {
    nlohmann::json entry{{"model", device.model()}, {"rom", RomText(device.rom())}};
    if (!RomCrcValid(device.rom())) {
        entry["faulty"] = true;
    }
    if (const auto* thermometer = dynamic_cast<const sim::Ds18x20Device*>(&device)) {
        const auto eeprom = thermometer->eeprom();
        entry["temperature"] = thermometer->temperature().at(nowUs);
        entry["th"] = static_cast<int8_t>(eeprom[0]);
        entry["tl"] = static_cast<int8_t>(eeprom[1]);
        entry["parasite"] = thermometer->parasite();
        if (dynamic_cast<const sim::Ds18b20Device*>(&device) != nullptr) {
            // From the EEPROM like TH and TL: what the device comes up with.
            entry["resolution"] = ResolutionOfConfiguration(eeprom[2]);
        }
    } else if (const auto* monitor = dynamic_cast<const sim::Ds2438Device*>(&device)) {
        entry["temperature"] = monitor->temperature().at(nowUs);
        entry["vdd"] = monitor->vdd().at(nowUs);
        entry["vad"] = monitor->vad().at(nowUs);
        entry["currentInput"] = monitor->currentInput().at(nowUs);
        entry["hltBytes"] = HexText(monitor->configBlock());
    } else if (const auto* logger = dynamic_cast<const sim::Ds1922Device*>(&device)) {
        entry["configByte"] = logger->configByte();
    }
    return entry;
}

}  // namespace

nlohmann::json BenchState(sim::SimBench& bench) {
    const auto& bus = bench.bus();
    const uint64_t nowUs = bench.clock().nowUs();
    nlohmann::json adapter = nlohmann::json::object();
    nlohmann::json devices = nlohmann::json::array();
    for (const auto& device : bus.devices()) {
        if (device->rom()[0] == family_code::kDs1420 && device->model() == "DS1420") {
            adapter["serialChip"] = RomText(device->rom());
        } else {
            devices.push_back(DeviceState(*device, nowUs));
        }
    }
    // A device off the bus keeps its memory, which is what a test of a device pulled mid-write
    // looks at.
    for (const auto& [rom, device] : bench.parkedDevices()) {
        nlohmann::json entry = DeviceState(*device, nowUs);
        entry["attached"] = false;
        devices.push_back(std::move(entry));
    }
    nlohmann::json state{{"adapter", adapter}, {"devices", devices}};
    if (!bench.name.empty()) {
        state["name"] = bench.name;
    }
    return state;
}

CliResult<void> SaveBench(sim::SimBench& bench, const std::string& path) {
    const auto written = WriteTextFile(path, BenchState(bench).dump(2) + '\n');
    if (!written) {
        return DeviceError("could not write the bench file " + path + ": " +
                           written.error().message);
    }
    return {};
}

}  // namespace velgrin::cli
