// The serial backends through Debian's ser2net on loopback, in front of the emulator's
// pseudo-terminal, held to the suite.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "conformance_suite.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "ser2net_server.h"
#include "wire/port_registry.h"

namespace velgrin::conformance {
namespace {

using net_serial::testing::Ser2netServer;

class NetworkSerialAdapter final : public AdapterUnderTest {
  public:
    NetworkSerialAdapter(const Clock& clock, const std::string& benchJson,
                         ds2480b::EmulatedAdapter kind)
        : clock_(clock), kind_(kind == ds2480b::EmulatedAdapter::Passive ? "ds9097" : "ds2480b") {
        char pattern[] = "/tmp/velgrin-net-conformance-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        directory_ = pattern;
        ds2480b::EmulatorOptions options;
        options.adapter = kind;
        options.linkPath = directory_ + "/tty";
        emulator_ =
            std::make_unique<ds2480b::Ds2480bEmulator>(LoadTestBench(benchJson, clock), options);
        if (auto started = emulator_->start(); !started) {
            throw std::runtime_error(started.error().message);
        }
        server_ = std::make_unique<Ser2netServer>(*options.linkPath, true);
        driver_ = MakeDriver();
    }
    ~NetworkSerialAdapter() override {
        driver_.reset();
        server_.reset();
        emulator_.reset();
        std::filesystem::remove_all(directory_);
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
        // Patient: ser2net and the emulator share a loaded machine with the other tests.
        PortSettings settings;
        settings.replyMargin = std::chrono::milliseconds(3000);
        return std::make_unique<TmexDriver>(BuiltInPorts(clock_, settings),
                                            PortSpec{kind_, server_->address()});
    }

    const Clock& clock_;
    std::string kind_;
    std::string directory_;
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator_;
    std::unique_ptr<Ser2netServer> server_;
    std::unique_ptr<TmexDriver> driver_;
};

AdapterKind Over(std::string name, ds2480b::EmulatedAdapter kind) {
    return {std::move(name), [kind](const Clock& clock, const std::string& json) {
                return std::unique_ptr<AdapterUnderTest>(
                    std::make_unique<NetworkSerialAdapter>(clock, json, kind));
            }};
}

INSTANTIATE_TEST_SUITE_P(
    NetSerial, Conformance,
    ::testing::Values(Over("Ds2480bRfc2217", ds2480b::EmulatedAdapter::Ds2480b),
                      Over("PassiveRfc2217", ds2480b::EmulatedAdapter::Passive)),
    KindName);

}  // namespace
}  // namespace velgrin::conformance
