#pragma once

#include <memory>
#include <string>

#include "common/clock.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "scripted_host.h"
#include "wire/bus_core.h"
#include "wire/ds2480b/ds2480b_link.h"
#include "wire/sim/sim_bench.h"
#include "wire/tmex.h"

namespace velgrin::ds2480b::testing {

// Thermometers (one parasite-powered), a multisensor, two loggers, a plain ROM part and the
// adapter's serial-number chip.
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

// Link options for a pseudo-terminal on a loaded machine: a reply that is merely late must not
// count as missing.
Ds2480bOptions PatientLink();

// One bench description served twice on one virtual clock: in-process through the simulated
// link, and by the DS2480B emulator on a pseudo-terminal through the serial backend. What the
// program does on the one must come out the same on the other.
struct EmulatedBench {
    explicit EmulatedBench(EmulatorOptions emulatorOptions = {},
                           Ds2480bOptions linkOptions = PatientLink(),
                           const std::string& benchJson = kBenchJson);
    ~EmulatedBench();

    // The serial link, once the driver has opened it.
    Ds2480bLink* link();
    // Another program's driver for the same serial port.
    std::unique_ptr<TmexDriver> SecondDriver() const;

    std::string directory;
    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> local;
    std::shared_ptr<sim::SimBench> served;
    std::unique_ptr<Ds2480bEmulator> emulator;
    std::unique_ptr<TmexDriver> serialDriver;
    std::unique_ptr<TmexDriver> localDriver;
    std::unique_ptr<BusCore> serial;
    std::unique_ptr<BusCore> inProcess;

  private:
    Ds2480bOptions linkOptions_;
};

// The device table and the status texts a poll's search leaves, one line each, for comparing.
std::string ScanResult(const BusCore& core);

}  // namespace velgrin::ds2480b::testing
