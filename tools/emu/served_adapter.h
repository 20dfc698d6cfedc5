#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "emu/emu_arguments.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::emu {

// One emulated adapter serving a bench, whatever carries it.
class ServedAdapter {
  public:
    virtual ~ServedAdapter() = default;

    // What a client opens: a terminal, a USB device node, an I2C bus with the chip's address.
    virtual std::string node() const = 0;
    // The same as velgrin's --port names it.
    virtual std::string port() const = 0;
    // What a command run against it needs in its environment beside VELGRIN_EMU_PORT.
    virtual std::vector<std::string> commandEnvironment() const { return {}; }

    // Pulled out, and put back powered up afresh (a USB adapter at a new address).
    virtual void unplug() = 0;
    virtual Result<void, std::string> replug() = 0;
    // Runs `look` on the bench between two requests of a client.
    virtual void withBench(const std::function<void(sim::SimBench&)>& look) = 0;
    // Serving ends; the bench stays readable.
    virtual void stop() {}
};

using ServedResult = Result<std::unique_ptr<ServedAdapter>, std::string>;

// A DS2480B or a passive adapter on a pseudo-terminal, served from a thread of its own.
ServedResult ServeSerial(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments);
// A DS2490 on a mocked USB bus.
ServedResult ServeUsb(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments);
// A DS2482 at 0x18 on a mocked I2C bus, the bench on IO0.
ServedResult ServeI2c(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments);

}  // namespace velgrin::emu
