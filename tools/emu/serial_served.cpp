#include "ds2480b_emu/ds2480b_emulator.h"
#include "emu/served_adapter.h"

namespace velgrin::emu {

namespace {

class SerialServed final : public ServedAdapter {
  public:
    SerialServed(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments)
        : emulator_(std::move(bench), options(arguments)),
          linkPath_(arguments.serial.linkPath),
          portKind_(arguments.adapter == AdapterKind::Passive ? "ds9097:" : "ds2480b:") {}

    Result<void, std::string> start() {
        if (auto started = emulator_.start(); !started) {
            return started.error().message;
        }
        return {};
    }
    std::string node() const override { return emulator_.clientPath(); }
    // The link stays the same across replug, so a client keeps its port.
    std::string port() const override { return portKind_ + linkPath_.value_or(node()); }
    void unplug() override { emulator_.unplug(); }
    Result<void, std::string> replug() override {
        if (auto plugged = emulator_.replug(); !plugged) {
            return plugged.error().message;
        }
        return {};
    }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        emulator_.withBench(look);
    }
    void stop() override { emulator_.stop(); }

  private:
    static ds2480b::EmulatorOptions options(const EmuArguments& arguments) {
        ds2480b::EmulatorOptions options = arguments.serial;
        options.adapter = arguments.adapter == AdapterKind::Passive
                              ? ds2480b::EmulatedAdapter::Passive
                              : ds2480b::EmulatedAdapter::Ds2480b;
        return options;
    }

    ds2480b::Ds2480bEmulator emulator_;
    std::optional<std::string> linkPath_;
    std::string portKind_;
};

}  // namespace

ServedResult ServeSerial(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments) {
    auto served = std::make_unique<SerialServed>(std::move(bench), arguments);
    if (auto started = served->start(); !started) {
        return started.error();
    }
    return std::unique_ptr<ServedAdapter>(std::move(served));
}

}  // namespace velgrin::emu
