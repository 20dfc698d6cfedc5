#pragma once

#include <vector>

#include "wire/bus_core.h"

namespace velgrin::cli {

struct ThermometerReading {
    enum class State {
        Measured,
        PowerOnValue,  // it holds the power-on value and no conversion of it completed
        NotConverted,  // it answers, but no conversion of it could be seen complete
        NoAnswer,      // no intact scratchpad came back (no answer, or a bad CRC)
        NoPullup,      // it needs the strong pull-up, which the adapter does not have
        NotMeasured,   // a stop was requested before its turn
    };
    State state = State::NoAnswer;
    double temperature = 0;  // degrees C, as the thermometer tab shows it (Measured only)
    double th = 0;           // the alarm registers, whole degrees (Measured only)
    double tl = 0;
    int resolution = 0;            // bits, from a DS18B20's configuration register (Measured only)
    const char* pullupLimit = "";  // why the adapter has no strong pull-up (NoPullup only)
};

// Why a reading has no temperature, as the tool prints it ("power-on value, no conversion").
std::string ReadingProblem(const ThermometerReading& reading);

enum class Sequence {
    Together,  // every thermometer converts within one conversion time
    OneByOne,  // the window's: each converts and is read before the next
};

// Measures the thermometers at these table indexes, with the window's arithmetic. A reading
// holding the power-on value is settled by a conversion seen complete. A thermometer whose
// scratchpad does not come back intact gets no values: the window would show what the previous
// read of any thermometer left in its buffer, which a console must not pass off as this
// device's.
std::vector<ThermometerReading> MeasureThermometers(BusCore& core, const std::vector<int>& indexes,
                                                    Sequence sequence);

}  // namespace velgrin::cli
