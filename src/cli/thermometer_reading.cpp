#include "cli/thermometer_reading.h"

namespace velgrin::cli {

namespace {

// No byte the bus delivers reads as -1.
constexpr Scratchpad kNothingRead = {-1, -1, -1, -1, -1, -1, -1, -1, -1};

}  // namespace

std::optional<ThermometerReading> MeasureThermometer(BusCore& core, Thermometers& thermometers,
                                                     int index) {
    thermometers.iarray = kNothingRead;
    if (thermometers.Measure1820(index) != kMeasured || thermometers.iarray == kNothingRead) {
        return std::nullopt;
    }
    const CurrentSens& sens = core.Asens[static_cast<size_t>(index)];
    return ThermometerReading{sens.CorrectTemp, sens.UpLimitT, sens.DownLimitT};
}

}  // namespace velgrin::cli
