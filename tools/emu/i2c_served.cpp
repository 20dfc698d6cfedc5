#include <stdexcept>

#include "ds2482_model/mock_i2c_bus.h"
#include "emu/preload_library.h"
#include "emu/served_adapter.h"

namespace velgrin::emu {

namespace {

constexpr uint8_t kAddress = 0x18;  // AD0 and AD1 (and the -800's AD2) grounded

class I2cServed final : public ServedAdapter {
  public:
    I2cServed(std::shared_ptr<sim::SimBench> bench, ds2482::Variant variant, bool timing) {
        i2c_.plug(kAddress, variant, std::move(bench));
        if (timing) {
            // Standard mode, the usual clock of a board's bus.
            i2c_.setTiming(ds2482::I2cTiming{100'000, true});
        }
    }

    std::string node() const override { return i2c_.device() + " at 0x18"; }
    std::string port() const override { return "ds2482:" + i2c_.device(); }
    std::vector<std::string> commandEnvironment() const override {
        return PreloadSettings(PreloadLibrary(), i2c_.rootDir());
    }
    void unplug() override { i2c_.setAnswering(kAddress, false); }
    Result<void, std::string> replug() override {
        i2c_.setAnswering(kAddress, true);
        return {};
    }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        i2c_.withBench(kAddress, look);
    }

  private:
    ds2482::MockI2cBus i2c_;
};

}  // namespace

ServedResult ServeI2c(std::shared_ptr<sim::SimBench> bench, const EmuArguments& arguments) {
    const auto variant = arguments.adapter == AdapterKind::Ds2482_800 ? ds2482::Variant::Ds2482_800
                                                                      : ds2482::Variant::Ds2482_100;
    try {
        return std::unique_ptr<ServedAdapter>(
            std::make_unique<I2cServed>(std::move(bench), variant, arguments.serial.timing));
    } catch (const std::runtime_error& error) {
        return std::string(error.what());
    }
}

}  // namespace velgrin::emu
