// The passive serial backend over a pseudo-terminal against the emulator's passive adapter, held
// to the suite.

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

#include "conformance_suite.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "passive_rig.h"
#include "wire/ds9097/ds9097_backend.h"

namespace velgrin::conformance {
namespace {

class PassiveAdapter final : public AdapterUnderTest {
  public:
    PassiveAdapter(const Clock& clock, const std::string& benchJson)
        : line_(LoadTestBench(benchJson, clock)) {
        driver_ = MakeDriver();
    }

    TmexDriver& driver() override { return *driver_; }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        line_.emulator->withBench(look);
    }
    void unplug() override { line_.emulator->unplug(); }
    void replug() override {
        if (auto plugged = line_.emulator->replug(); !plugged) {
            throw std::runtime_error(plugged.error().message);
        }
    }
    std::unique_ptr<TmexDriver> secondDriver() override { return MakeDriver(); }

  private:
    std::unique_ptr<TmexDriver> MakeDriver() const {
        return std::make_unique<TmexDriver>(ds9097::testing::PassiveRegistry(),
                                            PortSpec{"ds9097", line_.emulator->clientPath()});
    }

    ds9097::testing::PassiveLineRig line_;
    std::unique_ptr<TmexDriver> driver_;
};

INSTANTIATE_TEST_SUITE_P(Passive, Conformance,
                         ::testing::Values(AdapterKind{
                             "PassiveEmulator",
                             [](const Clock& clock, const std::string& json) {
                                 return std::unique_ptr<AdapterUnderTest>(
                                     std::make_unique<PassiveAdapter>(clock, json));
                             }}),
                         KindName);

}  // namespace
}  // namespace velgrin::conformance
