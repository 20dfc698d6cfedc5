#include <array>
#include <utility>

#include "common/number_text.h"
#include "common/rounding.h"
#include "wire/sim/bench_reader.h"
#include "wire/sim/sim_hlt_block.h"

namespace velgrin::sim::bench_reader {

namespace {

// The type codes of the HLT's sensor channels, by the names bench files use.
constexpr std::array<std::pair<std::string_view, uint8_t>, 7> kSensorTypes = {{
    {"HIH5031", 0},
    {"HIH4000", 1},
    {"Temperature", 2},
    {"Pressure", 3},
    {"CO2", 4},
    {"Other", 5},
    {"None", 6},
}};

uint8_t ReadSensorType(const Json& node, const std::string& place) {
    if (node.is_number()) {
        return static_cast<uint8_t>(RequireInteger(node, place, 0, 15));
    }
    const auto name = RequireString(node, place);
    std::string known;
    for (const auto& [typeName, code] : kSensorTypes) {
        if (typeName == name) {
            return code;
        }
        known += (known.empty() ? "" : ", ") + std::string(typeName);
    }
    throw BenchRefusal(
        place, "unknown sensor type \"" + name + "\" (known: " + known + ", or a code 0..15)");
}

// A value stored as a scaled integer must fit it.
double ReadScaled(const Json& node, const std::string& place, double scale, int64_t min,
                  int64_t max) {
    const double value = RequireNumber(node, place);
    // Judged before rounding: far beyond the field, value * scale has no integer.
    const bool beyond = value * scale < min - 1.0 || value * scale > max + 1.0;
    if (beyond || RoundHalfEven(value * scale) < min || RoundHalfEven(value * scale) > max) {
        throw BenchRefusal(place, FormatDotNumber(value) + " is out of range " +
                                      FormatDotNumber(min / scale) + ".." +
                                      FormatDotNumber(max / scale));
    }
    return value;
}

double ReadTenths(const Json& node, const std::string& place) {
    return ReadScaled(node, place, 10, INT16_MIN, INT16_MAX);
}

double ReadVolts(const Json& node, const std::string& place) {
    return ReadScaled(node, place, 10000, 0, UINT16_MAX);
}

}  // namespace

std::array<uint8_t, 32> ReadHltFields(const Json& node, const std::string& place) {
    RequireObject(node, place,
                  {"sensor0", "sensor1", "S0min", "S0Max", "S0minVoltage", "S0MaxVoltage",
                   "S0UpValue", "S0DownValue", "S1min", "S1Max", "S1minVoltage", "S1MaxVoltage",
                   "S1UpValue", "S1DownValue", "Tdis", "TupLimit", "TdownLimit"});
    HltBlockFields f;
    const std::pair<const char*, double*> tenths[] = {
        {"S0min", &f.s0Min},         {"S0Max", &f.s0Max},
        {"S1min", &f.s1Min},         {"S1Max", &f.s1Max},
        {"S0UpValue", &f.s0UpValue}, {"S0DownValue", &f.s0DownValue},
        {"S1UpValue", &f.s1UpValue}, {"S1DownValue", &f.s1DownValue},
        {"TupLimit", &f.tUpLimit},   {"TdownLimit", &f.tDownLimit},
    };
    const std::pair<const char*, double*> volts[] = {
        {"S0minVoltage", &f.s0MinVoltage},
        {"S0MaxVoltage", &f.s0MaxVoltage},
        {"S1minVoltage", &f.s1MinVoltage},
        {"S1MaxVoltage", &f.s1MaxVoltage},
    };
    for (const auto& [key, field] : tenths) {
        if (node.contains(key)) {
            *field = ReadTenths(node[key], Place(place, key));
        }
    }
    for (const auto& [key, field] : volts) {
        if (node.contains(key)) {
            *field = ReadVolts(node[key], Place(place, key));
        }
    }
    if (node.contains("sensor0")) {
        f.sensor0Type = ReadSensorType(node["sensor0"], Place(place, "sensor0"));
    }
    if (node.contains("sensor1")) {
        f.sensor1Type = ReadSensorType(node["sensor1"], Place(place, "sensor1"));
    }
    if (node.contains("Tdis")) {
        const auto at = Place(place, "Tdis");
        const auto& tdis = node["Tdis"];
        if (tdis.is_string() && tdis.get<std::string>() == "hidden") {
            f.showTemperature = false;
        } else if (tdis.is_number()) {
            f.temperatureOffset = ReadScaled(tdis, at, 100, -126, 126);
        } else {
            throw BenchRefusal(at, "expected an offset -1.26..1.26 or \"hidden\"");
        }
    }
    return EncodeHltBlock(f);
}

}  // namespace velgrin::sim::bench_reader
