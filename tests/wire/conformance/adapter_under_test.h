#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "common/clock.h"
#include "wire/sim/sim_bench.h"
#include "wire/tmex.h"

namespace velgrin::conformance {

// Thermometers (one parasite-powered), a multisensor, two loggers, a plain ROM part and the
// adapter's serial-number chip: the bench every adapter backend is held to.
inline constexpr const char* kBenchJson = R"({
  "adapter": { "serialChip": "EC00000024A1C381" },
  "devices": [
    { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5, "th": 30, "tl": 10 },
    { "model": "DS18B20", "rom": "BD00000000010228", "parasite": true, "resolution": 10,
      "temperature": -5.25 },
    { "model": "DS18S20", "rom": "4F00000000020110", "temperature": 19.5 },
    { "model": "DS2438", "rom": "4900000000040126", "temperature": 24.0, "vdd": 4.95,
      "vad": 2.1, "currentInput": 0.05,
      "hltConfig": { "sensor0": "HIH5031", "S0UpValue": 70, "S0DownValue": 30,
                     "sensor1": "None", "TupLimit": 35, "TdownLimit": 10 } },
    { "model": "DS1921", "rom": "E02540009F123421" },
    { "model": "DS1922T", "rom": "1F00000000050141" },
    { "rom": "43000013B5F27C01" }
  ]
})";

// One adapter backend serving a simulated bench, as the suite drives it. The bench runs on the
// clock the adapter is made with.
class AdapterUnderTest {
  public:
    virtual ~AdapterUnderTest() = default;

    // The driver the program would use, with the adapter as its default port.
    virtual TmexDriver& driver() = 0;
    // Runs `look` on the bench behind the adapter, between two of its operations.
    virtual void withBench(const std::function<void(sim::SimBench&)>& look) = 0;
    // The adapter is pulled out, and put back.
    virtual void unplug() = 0;
    virtual void replug() = 0;
    // Another program's driver for the same adapter.
    virtual std::unique_ptr<TmexDriver> secondDriver() = 0;
    // Whether the adapter tells a shorted bus from a presence pulse.
    virtual bool seesShorts() const { return true; }
};

// How the suite makes one adapter kind: a name for the test list and a factory.
struct AdapterKind {
    std::string name;
    std::function<std::unique_ptr<AdapterUnderTest>(const Clock& clock,
                                                    const std::string& benchJson)>
        make;
};

inline void PrintTo(const AdapterKind& kind, std::ostream* out) {
    *out << kind.name;
}

// Loads a bench description or throws: a test bench that does not load is the test's fault.
std::shared_ptr<sim::SimBench> LoadTestBench(const std::string& json, const Clock& clock);

}  // namespace velgrin::conformance
