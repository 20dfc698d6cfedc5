// The kernel's w1 masters over netlink, through a model of the kernel with the bench as a
// master's bus, held to the suite.

#include "conformance_suite.h"
#include "w1_rig.h"

namespace velgrin::conformance {
namespace {

class KernelMaster final : public AdapterUnderTest {
  public:
    KernelMaster(const Clock& clock, const std::string& benchJson)
        : bench_(LoadTestBench(benchJson, clock)) {
        rig_.kernel->addMaster(1, bench_);
        driver_ = secondDriver();
    }

    TmexDriver& driver() override { return *driver_; }
    void withBench(const std::function<void(sim::SimBench&)>& look) override { look(*bench_); }
    void unplug() override { rig_.kernel->removeMaster(1); }
    void replug() override { rig_.kernel->addMaster(1, bench_); }
    std::unique_ptr<TmexDriver> secondDriver() override {
        return std::make_unique<TmexDriver>(rig_.registry(), PortSpec{"w1", "1"});
    }
    bool seesShorts() const override { return false; }

  private:
    std::shared_ptr<sim::SimBench> bench_;
    w1::testing::W1Rig rig_;
    std::unique_ptr<TmexDriver> driver_;
};

INSTANTIATE_TEST_SUITE_P(W1, Conformance,
                         ::testing::Values(AdapterKind{
                             "KernelModel",
                             [](const Clock& clock, const std::string& json) {
                                 return std::unique_ptr<AdapterUnderTest>(
                                     std::make_unique<KernelMaster>(clock, json));
                             }}),
                         KindName);

}  // namespace
}  // namespace velgrin::conformance
