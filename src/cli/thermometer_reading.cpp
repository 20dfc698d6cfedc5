#include "cli/thermometer_reading.h"

#include <algorithm>

#include "cli/stop_signals.h"
#include "thermo/resolution_byte.h"
#include "thermo/thermometer_set.h"
#include "thermo/thermometers.h"
#include "wire/device_families.h"

namespace velgrin::cli {

namespace {

// No byte the bus delivers reads as -1.
constexpr Scratchpad kNothingRead = {-1, -1, -1, -1, -1, -1, -1, -1, -1};

RomCode RomOf(const CurrentSens& sens) {
    RomCode rom{};
    std::transform(sens.ROM.begin(), sens.ROM.begin() + 8, rom.begin(),
                   [](int16_t word) { return static_cast<uint8_t>(word); });
    return rom;
}

// The search just before found these devices and nothing else.
bool BusHoldsOnly(const BusCore& core, const std::vector<int>& indexes) {
    if (core.tableOverflowed()) {
        return false;
    }
    std::vector<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return static_cast<int>(sorted.size()) == core.FoundDev;
}

ThermometerReading Reading(BusCore& core, int index, const ThermometerOutcome& outcome) {
    switch (outcome.state) {
        case ThermometerOutcome::State::Measured:
            break;
        case ThermometerOutcome::State::PowerOnValue:
            return {ThermometerReading::State::PowerOnValue};
        case ThermometerOutcome::State::NotConverted:
            return {ThermometerReading::State::NotConverted};
        case ThermometerOutcome::State::NoIntactReply:
            return {ThermometerReading::State::NoAnswer};
        case ThermometerOutcome::State::AdapterLimit:
            return {.state = ThermometerReading::State::NoPullup,
                    .pullupLimit = core.driver().link()->capabilities().pullupLimit};
    }
    Scratchpad bytes{};
    std::copy(outcome.scratchpad.begin(), outcome.scratchpad.end(), bytes.begin());
    CurrentSens& sens = core.Asens[static_cast<size_t>(index)];
    ApplyScratchpad(sens, bytes);
    const int resolution =
        sens.Family == device_group::kDs18B20
            ? ResolutionOfConfiguration(outcome.scratchpad[scratchpad_byte::kConfiguration])
            : 0;
    return {ThermometerReading::State::Measured, sens.CorrectTemp, sens.UpLimitT, sens.DownLimitT,
            resolution};
}

// The window's sequence: a 1000 ms wait covers any resolution, so the bytes count as a
// completed conversion unless they hold the power-on value.
ThermometerOutcome MeasureOneByOne(BusCore& core, Thermometers& thermometers, int index) {
    const RomCode rom = RomOf(core.Asens[static_cast<size_t>(index)]);
    ThermometerOutcome outcome{rom};
    thermometers.iarray = kNothingRead;
    const int measured = thermometers.Measure1820(index);
    if (thermometers.adapterLimit()) {
        outcome.state = ThermometerOutcome::State::AdapterLimit;
        return outcome;
    }
    if (measured != kMeasured || thermometers.iarray == kNothingRead) {
        return outcome;
    }
    std::transform(thermometers.iarray.begin(), thermometers.iarray.end(),
                   outcome.scratchpad.begin(),
                   [](int16_t byte) { return static_cast<uint8_t>(byte); });
    outcome.state = ThermometerOutcome::State::Measured;
    return outcome;
}

}  // namespace

std::string ReadingProblem(const ThermometerReading& reading) {
    switch (reading.state) {
        case ThermometerReading::State::Measured:
            break;
        case ThermometerReading::State::PowerOnValue:
            return "power-on value, no conversion";
        case ThermometerReading::State::NotConverted:
            return "no conversion seen complete";
        case ThermometerReading::State::NoAnswer:
            return "no intact scratchpad came back (no answer or a bad CRC)";
        case ThermometerReading::State::NoPullup:
            return std::string(reading.pullupLimit) + ", which the conversion needs";
        case ThermometerReading::State::NotMeasured:
            return "not measured: stopped by a signal";
    }
    return "";
}

std::vector<ThermometerReading> MeasureThermometers(BusCore& core, const std::vector<int>& indexes,
                                                    Sequence sequence) {
    std::vector<ThermometerReading> readings;
    Link* const link = core.driver().link();
    if (link == nullptr || core.driver().TMValidSession(core.SHandle) < 1) {
        readings.resize(indexes.size());
        return readings;
    }
    Network network(*link);
    ThermometerSet set(network, core.host(), core.retries);
    if (sequence == Sequence::OneByOne) {
        Thermometers thermometers(core);
        for (const int index : indexes) {
            // Each takes a second: a stop comes between two of them.
            if (StopRequested()) {
                readings.push_back({ThermometerReading::State::NotMeasured});
                continue;
            }
            const ThermometerOutcome first = MeasureOneByOne(core, thermometers, index);
            readings.push_back(Reading(core, index, set.settle(first)));
        }
        return readings;
    }
    std::vector<RomCode> roms;
    for (const int index : indexes) {
        roms.push_back(RomOf(core.Asens[static_cast<size_t>(index)]));
    }
    const auto outcomes = set.measure(roms, BusHoldsOnly(core, indexes));
    for (size_t i = 0; i < indexes.size(); ++i) {
        readings.push_back(Reading(core, indexes[i], outcomes[i]));
    }
    return readings;
}

}  // namespace velgrin::cli
