// The simulated link, the reference of the suite, held to it as well.

#include "bench_rig.h"
#include "conformance_suite.h"

namespace velgrin::conformance {
namespace {

class SimAdapter final : public AdapterUnderTest {
  public:
    SimAdapter(const Clock& clock, const std::string& benchJson)
        : bench_(LoadTestBench(benchJson, clock)),
          driver_(velgrin::testing::BenchRegistry(bench_), PortSpec{"bench", ""}) {}

    TmexDriver& driver() override { return driver_; }
    void withBench(const std::function<void(sim::SimBench&)>& look) override { look(*bench_); }
    void unplug() override { bench_->unplugged = true; }
    void replug() override { bench_->unplugged = false; }
    std::unique_ptr<TmexDriver> secondDriver() override {
        return std::make_unique<TmexDriver>(velgrin::testing::BenchRegistry(bench_),
                                            PortSpec{"bench", ""});
    }

  private:
    std::shared_ptr<sim::SimBench> bench_;
    TmexDriver driver_;
};

INSTANTIATE_TEST_SUITE_P(Sim, Conformance,
                         ::testing::Values(AdapterKind{
                             "SimulatedLink",
                             [](const Clock& clock, const std::string& json) {
                                 return std::unique_ptr<AdapterUnderTest>(
                                     std::make_unique<SimAdapter>(clock, json));
                             }}),
                         KindName);

}  // namespace
}  // namespace velgrin::conformance
