#include <algorithm>
#include <array>
#include <cstdio>

#include "wire/sim/bench_reader.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_ds2438.h"
#include "wire/sim/sim_faults.h"
#include "wire/sim/sim_models.h"

namespace velgrin::sim::bench_reader {

namespace {

constexpr std::array<std::string_view, 12> kValueKeys = {
    "temperature", "resolution",   "th",        "tl",       "parasite",   "vdd",
    "vad",         "currentInput", "hltConfig", "hltBytes", "configByte", "faults"};

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

bool Applies(std::string_view key, const SimDevice& device) {
    const bool thermometer = dynamic_cast<const Ds18x20Device*>(&device) != nullptr;
    const bool monitor = dynamic_cast<const Ds2438Device*>(&device) != nullptr;
    if (key == "faults") {
        return true;
    }
    if (key == "temperature") {
        return thermometer || monitor;
    }
    if (key == "resolution") {
        return dynamic_cast<const Ds18b20Device*>(&device) != nullptr;
    }
    if (key == "th" || key == "tl" || key == "parasite") {
        return thermometer;
    }
    if (key == "configByte") {
        return dynamic_cast<const Ds1922Device*>(&device) != nullptr;
    }
    return monitor;  // vdd, vad, currentInput, hltConfig, hltBytes
}

Ds18x20Device& Thermometer(SimDevice& d) {
    return static_cast<Ds18x20Device&>(d);
}

Ds2438Device& Monitor(SimDevice& d) {
    return static_cast<Ds2438Device&>(d);
}

DeviceChange ReadDeviceFaults(const Json& node, const std::string& place, const SimDevice& device) {
    RequireObject(node, place, {"busyForever", "corruptByte", "flipBit", "leaveAfterSlots"});
    std::vector<DeviceChange> changes;
    for (const auto& [key, value] : node.items()) {
        const auto at = Place(place, key);
        if (key == "busyForever") {
            const bool on = RequireBool(value, at);
            const bool converts = dynamic_cast<const Ds18x20Device*>(&device) != nullptr ||
                                  dynamic_cast<const Ds2438Device*>(&device) != nullptr;
            if (!converts) {
                throw BenchRefusal(at, "a " + device.model() + " makes no conversions");
            }
            changes.push_back([on](SimBench&, SimDevice& d) { SetConversionStuck(d, on); });
        } else if (key == "corruptByte") {
            if (value.is_boolean() && !value.get<bool>()) {
                changes.push_back([](SimBench&, SimDevice& d) { ClearBitFaults(d); });
                continue;
            }
            RequireObject(value, at, {"index", "mask"});
            if (!value.contains("index") || !value.contains("mask")) {
                throw BenchRefusal(at, "expected {\"index\": .., \"mask\": ..} or false");
            }
            const auto index =
                static_cast<int>(RequireInteger(value["index"], Place(at, "index"), 0, 1'000'000));
            const auto mask = RequireByte(value["mask"], Place(at, "mask"));
            changes.push_back(
                [index, mask](SimBench&, SimDevice& d) { CorruptReplyByte(d, index, mask); });
        } else if (key == "flipBit") {
            if (value.is_boolean() && !value.get<bool>()) {
                changes.push_back([](SimBench&, SimDevice& d) { ClearBitFaults(d); });
                continue;
            }
            const auto bit = static_cast<int>(RequireInteger(value, at, 0, 7));
            changes.push_back([bit](SimBench&, SimDevice& d) { FlipNextReplyBit(d, bit); });
        } else {  // leaveAfterSlots
            const auto slots = static_cast<uint64_t>(RequireInteger(value, at, 0, INT64_MAX));
            changes.push_back([slots](SimBench& bench, SimDevice& d) {
                bench.bus().leaveAfterSlots(d.rom(), slots);
            });
        }
    }
    return [changes](SimBench& bench, SimDevice& d) {
        for (const auto& change : changes) {
            change(bench, d);
        }
    };
}

DeviceChange ReadValue(std::string_view key, const Json& value, const std::string& at,
                       const SimDevice& device, uint64_t originUs) {
    if (key == "temperature") {
        const auto celsius = RequireValue(value, at, originUs, {-55, 125, "C"});
        return [celsius](SimBench&, SimDevice& d) {
            if (auto* monitor = dynamic_cast<Ds2438Device*>(&d)) {
                monitor->setTemperature(celsius);
            } else {
                Thermometer(d).setTemperature(celsius);
            }
        };
    }
    if (key == "resolution") {
        const auto bits = static_cast<int>(RequireInteger(value, at, 9, 12));
        return
            [bits](SimBench&, SimDevice& d) { static_cast<Ds18b20Device&>(d).setResolution(bits); };
    }
    if (key == "th" || key == "tl") {
        const auto degrees = static_cast<int8_t>(RequireInteger(value, at, -128, 127));
        const bool upper = key == "th";
        return [degrees, upper](SimBench&, SimDevice& d) {
            auto& t = Thermometer(d);
            const auto kept = t.eeprom();
            t.setAlarmThresholds(upper ? degrees : static_cast<int8_t>(kept[0]),
                                 upper ? static_cast<int8_t>(kept[1]) : degrees);
        };
    }
    if (key == "parasite") {
        const bool on = RequireBool(value, at);
        return [on](SimBench&, SimDevice& d) { Thermometer(d).setParasite(on); };
    }
    if (key == "vdd" || key == "vad" || key == "currentInput") {
        // The voltage register holds 0 to 10.23 V; the current register -0.25 to 0.25 V.
        const auto volts = RequireValue(
            value, at, originUs,
            key == "currentInput" ? MeasuredRange{-0.25, 0.25, "V"} : MeasuredRange{0, 10.23, "V"});
        const std::string input(key);
        return [volts, input](SimBench&, SimDevice& d) {
            auto& m = Monitor(d);
            if (input == "vdd") {
                m.setVdd(volts);
            } else if (input == "vad") {
                m.setVad(volts);
            } else {
                m.setCurrentInput(volts);
            }
        };
    }
    if (key == "hltConfig" || key == "hltBytes") {
        Ds2438Device::ConfigBlock block{};
        if (key == "hltConfig") {
            block = ReadHltFields(value, at);
        } else {
            const auto bytes = RequireBytes(value, at, block.size());
            std::copy(bytes.begin(), bytes.end(), block.begin());
        }
        return [block](SimBench&, SimDevice& d) { Monitor(d).setConfigBlock(block); };
    }
    if (key == "configByte") {
        const auto config = RequireByte(value, at);
        return [config](SimBench&, SimDevice& d) {
            static_cast<Ds1922Device&>(d).setConfigByte(config);
        };
    }
    return ReadDeviceFaults(value, at, device);
}

}  // namespace

DeviceChange ReadDeviceChanges(const Json& node, const std::string& place, const SimDevice& device,
                               uint64_t originUs,
                               std::initializer_list<std::string_view> callerKeys) {
    if (node.contains("hltConfig") && node.contains("hltBytes")) {
        throw BenchRefusal(Place(place, "hltBytes"),
                           "give the HLT block either as \"hltConfig\" or as \"hltBytes\"");
    }
    std::vector<DeviceChange> changes;
    for (const auto& [key, value] : node.items()) {
        if (std::find(callerKeys.begin(), callerKeys.end(), key) != callerKeys.end()) {
            continue;
        }
        const auto at = Place(place, key);
        if (std::find(kValueKeys.begin(), kValueKeys.end(), key) == kValueKeys.end()) {
            std::string known;
            for (auto k : callerKeys) {
                known += (known.empty() ? "" : ", ") + std::string(k);
            }
            for (auto k : kValueKeys) {
                known += ", " + std::string(k);
            }
            throw BenchRefusal(at, "unknown key " + Quoted(key) + " (known here: " + known + ")");
        }
        if (!Applies(key, device)) {
            throw BenchRefusal(at, Quoted(key) + " does not apply to a " + device.model());
        }
        changes.push_back(ReadValue(key, value, at, device, originUs));
    }
    return [changes](SimBench& bench, SimDevice& d) {
        for (const auto& change : changes) {
            change(bench, d);
        }
    };
}

DeclaredDevice ReadDevice(const Json& node, const std::string& place, uint64_t originUs) {
    if (!node.is_object()) {
        throw BenchRefusal(place, "expected an object");
    }
    if (!node.contains("rom")) {
        throw BenchRefusal(place, "missing \"rom\"");
    }
    const auto rom = RequireRomText(node["rom"], Place(place, "rom"));
    const bool faulty =
        node.contains("faulty") && RequireBool(node["faulty"], Place(place, "faulty"));
    if (!RomCrcValid(rom) && !faulty) {
        char found[3];
        char expected[3];
        std::snprintf(found, sizeof found, "%02X", rom[7]);
        std::snprintf(expected, sizeof expected, "%02X", WithRomCrc(rom)[7]);
        throw BenchRefusal(Place(place, "rom"),
                           "the CRC byte of " + RomText(rom) + " is " + found +
                               ", its code needs " + expected +
                               "; a device meant to be broken needs \"faulty\": true");
    }

    std::string model(ModelOfFamily(rom[0]));
    if (node.contains("model")) {
        const auto at = Place(place, "model");
        model = RequireString(node["model"], at);
        const auto* info = FindModel(model);
        if (info == nullptr) {
            std::string known;
            for (const auto& m : Models()) {
                known += (known.empty() ? "" : ", ") + std::string(m.name);
            }
            throw BenchRefusal(at, "unknown model " + Quoted(model) + " (known: " + known + ")");
        }
        if (info->family && *info->family != rom[0]) {
            char text[80];
            std::snprintf(text, sizeof text, "a %s has family code %02X, the ROM code has %02X",
                          model.c_str(), *info->family, rom[0]);
            throw BenchRefusal(Place(place, "rom"), text);
        }
    }

    DeclaredDevice declared;
    declared.device = MakeDevice(model, rom);
    if (node.contains("attached")) {
        declared.attached = RequireBool(node["attached"], Place(place, "attached"));
    }
    declared.setup = ReadDeviceChanges(node, place, *declared.device, originUs,
                                       {"rom", "model", "faulty", "attached"});
    return declared;
}

std::function<void(SimBench&)> ReadBenchFaults(const Json& node, const std::string& place) {
    RequireObject(node, place, {"shorted", "unplugged", "sessionRefused"});
    std::vector<std::function<void(SimBench&)>> changes;
    for (const auto& [key, value] : node.items()) {
        const bool on = RequireBool(value, Place(place, key));
        if (key == "shorted") {
            changes.push_back([on](SimBench& b) { b.bus().setShorted(on); });
        } else if (key == "unplugged") {
            changes.push_back([on](SimBench& b) { b.unplugged = on; });
        } else {
            changes.push_back([on](SimBench& b) { b.sessionRefused = on; });
        }
    }
    return [changes](SimBench& bench) {
        for (const auto& change : changes) {
            change(bench);
        }
    };
}

}  // namespace velgrin::sim::bench_reader
