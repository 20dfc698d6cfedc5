#include "wire/sim/bench_file.h"

#include <stdexcept>

#include "common/strict_json.h"
#include "common/text_file.h"
#include "wire/device_families.h"
#include "wire/sim/bench_reader.h"
#include "wire/sim/demo_bench_text.h"
#include "wire/sim/sim_ds18x20.h"

namespace velgrin::sim {

namespace {

using namespace bench_reader;

// A hundred years of bench time: far enough for any session, and the bench clock's microseconds
// never overflow.
constexpr int64_t kLatestEventMs = 100LL * 365 * 24 * 3600 * 1000;

WireError Refusal(const std::string& text) {
    return WireError{WireErrorCode::BadPortSpec, text};
}

class BenchBuilder {
  public:
    BenchBuilder(const Clock& clock)
        : bench_(std::make_shared<SimBench>(clock)), originUs_(clock.nowUs()) {}

    std::shared_ptr<SimBench> build(const Json& root) {
        RequireObject(root, "", {"name", "adapter", "faults", "devices", "timeline"});
        if (root.contains("name")) {
            bench_->name = RequireString(root["name"], "/name");
        }
        if (root.contains("adapter")) {
            readAdapter(root["adapter"], "/adapter");
        }
        if (root.contains("devices")) {
            readDevices(root["devices"], "/devices");
        }
        if (root.contains("faults")) {
            ReadBenchFaults(root["faults"], "/faults")(*bench_);
        }
        if (root.contains("timeline")) {
            readTimeline(root["timeline"], "/timeline");
        }
        return bench_;
    }

  private:
    void readAdapter(const Json& node, const std::string& place) {
        RequireObject(node, place, {"serialChip"});
        if (!node.contains("serialChip") || node["serialChip"].is_null()) {
            return;
        }
        const auto at = Place(place, "serialChip");
        const auto rom = RequireRomText(node["serialChip"], at);
        if (rom[0] != family_code::kDs1420 || !RomCrcValid(rom)) {
            throw BenchRefusal(at, RomText(rom) +
                                       " is not a serial-number chip's ROM (family 81 last, a "
                                       "valid CRC first)");
        }
        claim(rom, at);
        bench_->bus().attach(std::make_unique<PlainRomDevice>(rom, "DS1420"));
    }

    void readDevices(const Json& node, const std::string& place) {
        if (!node.is_array()) {
            throw BenchRefusal(place, "expected an array of devices");
        }
        for (size_t i = 0; i < node.size(); ++i) {
            const auto at = Place(place, i);
            auto declared = ReadDevice(node[i], at, originUs_);
            const RomCode rom = declared.device->rom();
            claim(rom, Place(at, "rom"));
            auto& device = bench_->bus().attach(std::move(declared.device));
            declared.setup(*bench_, device);
            if (!declared.attached) {
                bench_->park(rom);
            }
        }
    }

    // Two devices with one ROM code would answer a search as one.
    void claim(const RomCode& rom, const std::string& place) {
        for (const auto& [used, where] : claimed_) {
            if (used == rom) {
                throw BenchRefusal(place, "ROM " + RomText(rom) + " is already used at " + where);
            }
        }
        claimed_.emplace_back(rom, place);
    }

    SimDevice& declaredDevice(const Json& node, const std::string& place) {
        const auto rom = RequireRomText(node, place);
        auto* device = bench_->find(rom);
        if (device == nullptr) {
            throw BenchRefusal(place, "no device with ROM " + RomText(rom) + " on this bench");
        }
        return *device;
    }

    void readTimeline(const Json& node, const std::string& place) {
        if (!node.is_array()) {
            throw BenchRefusal(place, "expected an array of events");
        }
        for (size_t i = 0; i < node.size(); ++i) {
            readEvent(node[i], Place(place, i));
        }
    }

    void readEvent(const Json& node, const std::string& place) {
        if (!node.is_object()) {
            throw BenchRefusal(place, "expected an object");
        }
        if (!node.contains("at")) {
            throw BenchRefusal(place, "missing \"at\" (milliseconds from the start)");
        }
        const auto atMs = static_cast<uint64_t>(
            RequireInteger(node["at"], Place(place, "at"), 0, kLatestEventMs));
        std::string kind;
        for (const char* k : {"attach", "detach", "set", "powerCycle", "faults"}) {
            // A "set" event may carry device faults of its own.
            const bool deviceFaults = std::string_view(k) == "faults" && kind == "set";
            if (node.contains(k) && !deviceFaults) {
                if (!kind.empty()) {
                    throw BenchRefusal(Place(place, k), "an event does one thing; this one has \"" +
                                                            kind + "\" already");
                }
                kind = k;
            }
        }
        if (kind.empty()) {
            throw BenchRefusal(place,
                               "missing what happens: attach, detach, set, powerCycle or faults");
        }
        const auto at = Place(place, kind);
        if (kind == "faults") {
            RequireObject(node, place, {"at", "faults"});
            auto apply = ReadBenchFaults(node["faults"], at);
            bench_->schedule(atMs, "faults", [apply](SimBench& b) { apply(b); });
            return;
        }
        auto& device = declaredDevice(node[kind], at);
        const RomCode rom = device.rom();
        const std::string described = kind + " " + RomText(rom);
        if (kind == "set") {
            auto change = ReadDeviceChanges(node, place, device, originUs_, {"at", "set"});
            bench_->schedule(atMs, described, [rom, change](SimBench& b) {
                if (auto* d = b.find(rom)) {
                    change(b, *d);
                }
            });
            return;
        }
        RequireObject(node, place, {"at", kind});
        if (kind == "attach") {
            bench_->schedule(atMs, described, [rom](SimBench& b) { b.unpark(rom); });
        } else if (kind == "detach") {
            bench_->schedule(atMs, described, [rom](SimBench& b) { b.park(rom); });
        } else {
            if (dynamic_cast<Ds18x20Device*>(&device) == nullptr) {
                throw BenchRefusal(
                    at, "only thermometers can be power-cycled, this is a " + device.model());
            }
            bench_->schedule(atMs, described, [rom](SimBench& b) {
                if (auto* t = dynamic_cast<Ds18x20Device*>(b.find(rom))) {
                    t->powerCycle();
                }
            });
        }
    }

    std::shared_ptr<SimBench> bench_;
    uint64_t originUs_;
    std::vector<std::pair<RomCode, std::string>> claimed_;
};

}  // namespace

WireResult<std::shared_ptr<SimBench>> LoadBenchJson(std::string_view json,
                                                    const std::string& origin, const Clock& clock) {
    const auto root = ParseStrictJson(json);
    if (!root) {
        return Refusal(root.error().describe(origin));
    }
    try {
        return BenchBuilder(clock).build(*root);
    } catch (const BenchRefusal& r) {
        return Refusal(origin + ": " + (r.place.empty() ? "top level" : r.place) + ": " + r.what());
    } catch (const Json::exception& e) {
        // A value of a kind the reader did not check: refused like any other, never fatal.
        return Refusal(origin + ": " + e.what());
    }
}

WireResult<std::shared_ptr<SimBench>> LoadBenchFile(const std::string& path, const Clock& clock) {
    const auto text = ReadTextFile(path, kMaxUserFileBytes);
    if (!text) {
        return Refusal("bench file " + path + ": " + text.error().message);
    }
    return LoadBenchJson(*text, path, clock);
}

std::shared_ptr<SimBench> MakeDemoBench(const Clock& clock) {
    auto bench = LoadBenchJson(kDemoBenchJson, "built-in demo bench", clock);
    if (!bench) {
        throw std::logic_error(bench.error().message);
    }
    return *bench;
}

}  // namespace velgrin::sim
