// The DS2482 backend through the real i2c-dev calls against the chip models on umockdev's
// mocked I2C bus, held to the suite: a DS2482-100 at the default address and a DS2482-800
// at another address with the bench on channel 5.

#include "conformance_suite.h"
#include "ds2482_model/mock_i2c_bus.h"
#include "lock_directory.h"
#include "wire/ds2482/ds2482_backend.h"

namespace velgrin::conformance {
namespace {

using ds2482::Variant;

class Ds2482Adapter final : public AdapterUnderTest {
  public:
    Ds2482Adapter(const Clock& clock, const std::string& benchJson, Variant variant,
                  uint8_t address, std::string port, int channel)
        : clock_(clock), address_(address), port_(std::move(port)) {
        i2c_.plug(address, variant, LoadTestBench(benchJson, clock), channel);
        driver_ = MakeDriver();
    }

    TmexDriver& driver() override { return *driver_; }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        i2c_.withBench(address_, look);
    }
    void unplug() override { i2c_.setAnswering(address_, false); }
    void replug() override { i2c_.setAnswering(address_, true); }
    std::unique_ptr<TmexDriver> secondDriver() override { return MakeDriver(); }

  private:
    std::unique_ptr<TmexDriver> MakeDriver() {
        PortRegistry registry;
        ds2482::Ds2482BackendOptions options;
        options.lockDirectory = locks_.path();
        registry.add(ds2482::Ds2482Backend(clock_, options));
        return std::make_unique<TmexDriver>(std::move(registry),
                                            PortSpec{"ds2482", i2c_.device() + port_});
    }

    const Clock& clock_;
    uint8_t address_;
    std::string port_;
    ds2482::LockDirectory locks_;
    ds2482::MockI2cBus i2c_;
    std::unique_ptr<TmexDriver> driver_;
};

INSTANTIATE_TEST_SUITE_P(
    Ds2482, Conformance,
    ::testing::Values(
        AdapterKind{"Ds2482_100",
                    [](const Clock& clock, const std::string& json) {
                        return std::unique_ptr<AdapterUnderTest>(std::make_unique<Ds2482Adapter>(
                            clock, json, Variant::Ds2482_100, 0x18, "", 0));
                    }},
        AdapterKind{"Ds2482_800",
                    [](const Clock& clock, const std::string& json) {
                        return std::unique_ptr<AdapterUnderTest>(std::make_unique<Ds2482Adapter>(
                            clock, json, Variant::Ds2482_800, 0x1B, "@0x1B:5", 5));
                    }}),
    KindName);

}  // namespace
}  // namespace velgrin::conformance
