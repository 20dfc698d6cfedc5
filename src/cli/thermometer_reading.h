#pragma once

#include <optional>

#include "thermo/thermometers.h"

namespace velgrin::cli {

struct ThermometerReading {
    double temperature = 0;  // degrees C, as the thermometer tab shows it
    double th = 0;           // the alarm registers, whole degrees
    double tl = 0;
};

// Measures the thermometer at a table index with the window's sequence and arithmetic. None
// when no intact scratchpad came back (no answer, or a bad CRC): the window would then show what
// the previous read of any thermometer left in the buffer, which a console must not pass off as
// this device's values.
std::optional<ThermometerReading> MeasureThermometer(BusCore& core, Thermometers& thermometers,
                                                     int index);

}  // namespace velgrin::cli
