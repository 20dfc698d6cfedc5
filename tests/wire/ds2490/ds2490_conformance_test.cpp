// The DS2490 backend through the real libusb against the chip model on umockdev's mocked USB,
// held to the suite.

#include "conformance_suite.h"
#include "ds2490_model/mock_usb_bus.h"
#include "wire/ds2490/ds2490_backend.h"

namespace velgrin::conformance {
namespace {

class Ds2490Adapter final : public AdapterUnderTest {
  public:
    Ds2490Adapter(const Clock& clock, const std::string& benchJson)
        : adapter_(usb_.plug(LoadTestBench(benchJson, clock))), driver_(MakeDriver()) {}

    TmexDriver& driver() override { return *driver_; }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        usb_.withBench(adapter_, look);
    }
    void unplug() override { usb_.unplug(adapter_); }
    void replug() override { usb_.replug(adapter_); }
    std::unique_ptr<TmexDriver> secondDriver() override { return MakeDriver(); }

  private:
    static std::unique_ptr<TmexDriver> MakeDriver() {
        PortRegistry registry;
        registry.add(ds2490::Ds2490Backend());
        return std::make_unique<TmexDriver>(std::move(registry), PortSpec{"usb", ""});
    }

    ds2490::MockUsbBus usb_;
    size_t adapter_;
    std::unique_ptr<TmexDriver> driver_;
};

INSTANTIATE_TEST_SUITE_P(Ds2490, Conformance,
                         ::testing::Values(AdapterKind{
                             "Ds2490Model",
                             [](const Clock& clock, const std::string& json) {
                                 return std::unique_ptr<AdapterUnderTest>(
                                     std::make_unique<Ds2490Adapter>(clock, json));
                             }}),
                         KindName);

}  // namespace
}  // namespace velgrin::conformance
