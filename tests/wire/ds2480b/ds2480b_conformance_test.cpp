// The DS2480B backend over a pseudo-terminal against the emulator, held to the suite.

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

#include "conformance_suite.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "emulated_bench.h"
#include "wire/ds2480b/ds2480b_backend.h"

namespace velgrin::conformance {
namespace {

class Ds2480bAdapter final : public AdapterUnderTest {
  public:
    Ds2480bAdapter(const Clock& clock, const std::string& benchJson) {
        char pattern[] = "/tmp/velgrin-conformance-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        directory_ = pattern;
        ds2480b::EmulatorOptions options;
        options.linkPath = directory_ + "/ttyDS2480B";
        emulator_ =
            std::make_unique<ds2480b::Ds2480bEmulator>(LoadTestBench(benchJson, clock), options);
        if (auto started = emulator_->start(); !started) {
            throw std::runtime_error(started.error().message);
        }
        driver_ = MakeDriver();
    }
    ~Ds2480bAdapter() override {
        driver_.reset();
        emulator_.reset();
        ::unlink((directory_ + "/ttyDS2480B").c_str());
        ::rmdir(directory_.c_str());
    }

    TmexDriver& driver() override { return *driver_; }
    void withBench(const std::function<void(sim::SimBench&)>& look) override {
        emulator_->withBench(look);
    }
    void unplug() override { emulator_->unplug(); }
    void replug() override {
        if (auto plugged = emulator_->replug(); !plugged) {
            throw std::runtime_error(plugged.error().message);
        }
    }
    std::unique_ptr<TmexDriver> secondDriver() override { return MakeDriver(); }

  private:
    std::unique_ptr<TmexDriver> MakeDriver() const {
        PortRegistry registry;
        registry.add(ds2480b::Ds2480bBackend(ds2480b::testing::PatientLink()));
        return std::make_unique<TmexDriver>(std::move(registry),
                                            PortSpec{"ds2480b", emulator_->clientPath()});
    }

    std::string directory_;
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator_;
    std::unique_ptr<TmexDriver> driver_;
};

INSTANTIATE_TEST_SUITE_P(Ds2480b, Conformance,
                         ::testing::Values(AdapterKind{
                             "Ds2480bEmulator",
                             [](const Clock& clock, const std::string& json) {
                                 return std::unique_ptr<AdapterUnderTest>(
                                     std::make_unique<Ds2480bAdapter>(clock, json));
                             }}),
                         KindName);

}  // namespace
}  // namespace velgrin::conformance
