// Poll cycles with writes mixed in over a simulated bench, under seeded random faults: garbled
// reply bits, devices leaving mid-search, mid-read and mid-write, a shorted bus, an unplugged
// adapter, a conversion that never ends. An oracle keeps what each device should hold and checks
// after every step that no device holds thresholds or a configuration nobody asked for, that no
// write landed on another device, that every reported success is real, and that the number log
// has every stored number exactly once.
//
//   velgrin-fault-soak [CYCLES [SEED]]     (defaults: 10000 cycles, seed 1)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cli/list_rebuild.h"
#include "common/plain_surface.h"
#include "hlt/crc_hlt.h"
#include "hlt/field_text.h"
#include "hlt/hlt_controls.h"
#include "hlt/hlt_core.h"
#include "hlt/settings_write.h"
#include "numberlog/number_log.h"
#include "thermo/thermometers.h"
#include "thermo/threshold_byte.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds18s20.h"
#include "wire/sim/sim_ds2438.h"
#include "wire/sim/sim_faults.h"

namespace {

using namespace velgrin;
using Eeprom = std::vector<uint8_t>;

// The quiet host, with a log file to offer the auto-store and a count of failure messages.
class SoakHost final : public Host {
  public:
    SoakHost(VirtualClock& clock, std::string logPath) : clock_(clock), log_(std::move(logPath)) {}
    uint32_t tickCount() override {
        clock_.advanceMs(1);
        return static_cast<uint32_t>(clock_.nowMs());
    }
    void sleep(uint32_t ms) override { clock_.advanceMs(ms); }
    void yieldBusyWait() override {}
    // Where the window would let a queued Ctrl+F1 run in the middle of a bus sequence.
    void processMessages() override {
        if (onProcessMessages) {
            onProcessMessages();
        }
    }
    void showMessage(const std::string&) override { ++messages; }
    std::string inputBox(const std::string&, const std::string&, const std::string& p) override {
        return p;
    }
    std::optional<std::string> saveFileName(const std::string&) override { return log_; }
    void beep() override {}
    void setBusyCursor(bool) override {}
    void openUrl(const std::string&) override {}

    int messages = 0;
    std::function<void()> onProcessMessages;

  private:
    VirtualClock& clock_;
    std::string log_;
};

class SoakPoll final : public PollControl {
  public:
    explicit SoakPoll(BusCore& core) : core_(core) {}
    bool pollTimerEnabled() const override { return enabled_; }
    void setPollTimerEnabled(bool on) override { enabled_ = on; }
    int16_t ScanNetwork() override { return core_.ScanSessionAndSearch().result; }

  private:
    BusCore& core_;
    bool enabled_ = true;
};

class FixedDateTime final : public DateTimeSource {
  public:
    LocalDateTime now() override { return {2026, 12, 9, 1, 2, 3}; }
};

struct Counts {
    long cycles = 0;
    std::map<std::string, long> faults;
    long writesAttempted = 0;
    long writesVerified = 0;
    long writesRefused = 0;
    long violations = 0;
};

class Soak {
  public:
    Soak(uint32_t seed, std::string logPath)
        : random_(seed), host_(clock_, logPath), logPath_(std::move(logPath)) {
        for (uint64_t serial : {0x21, 0x22}) {
            thermometers_.push_back(&static_cast<sim::Ds18x20Device&>(bench_->bus().attach(
                std::make_unique<sim::Ds18b20Device>(bench::SerialRom(0x28, serial)))));
        }
        thermometers_.push_back(&static_cast<sim::Ds18x20Device&>(bench_->bus().attach(
            std::make_unique<sim::Ds18s20Device>(bench::SerialRom(0x10, 0x23)))));
        for (uint64_t serial : {0x11, 0x12}) {
            auto& hlt = static_cast<sim::Ds2438Device&>(bench_->bus().attach(
                std::make_unique<sim::Ds2438Device>(bench::SerialRom(0x26, serial))));
            HltBlock block{};
            HLTConfig config(block);
            config.set(hlt_field::SensorTypes, 0x12);
            config.set(hlt_field::S0minVoltage, 8000);
            config.set(hlt_field::S0MaxVoltage, 40000);
            config.set(hlt_field::S0Max, 1000);
            config.set(hlt_field::S1Max, 1200);
            config.set(hlt_field::S1MaxVoltage, 2000);
            config.set(hlt_field::Tdis, 10);
            config.set(hlt_field::TupLimit, 600);
            config.set(hlt_field::TdownLimit, -200);
            SealHltBlock(config);
            hlt.setConfigBlock(block);
            multisensors_.push_back(&hlt);
        }
        for (auto* t : thermometers_) {
            heldEeprom_[t->rom()] = Eeprom(t->eeprom().begin(), t->eeprom().end());
        }
        for (auto* h : multisensors_) {
            heldBlock_[h->rom()] = h->configBlock();
        }
        lists_.setChecked("ChkAutoStore", true);
        numberLog_.ChkAutoStoreClick();
        host_.onProcessMessages = [this] {
            if (!rescanning_ && Chance(0.02)) {
                rescanning_ = true;
                ++counts.faults["rescan mid-sequence"];
                (void)core_.ScanSessionAndSearch();
                rescanning_ = false;
            }
        };
    }

    void Cycle() {
        ++counts.cycles;
        InjectFault();
        Poll();
        if (Chance(0.3)) {
            Write();
        }
        ClearFaults();
        CheckNothingElseChanged("a poll cycle");
    }

    // Every number the auto-store took is in the log exactly once, and no number twice.
    void CheckNumberLog() {
        std::ifstream file(logPath_);
        std::stringstream text;
        text << file.rdbuf();
        const std::string log = text.str();
        for (const std::string& number : numberLog_.autoStore().List) {
            const size_t first = log.find(number);
            if (first == std::string::npos || log.find(number, first + 1) != std::string::npos) {
                Violation("number " + number + " is not in the log exactly once");
            }
        }
        storedNumbers_ = numberLog_.autoStore().List.size();
    }

    Counts counts;
    size_t storedNumbers_ = 0;

  private:
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    std::vector<sim::SimDevice*> Devices() {
        std::vector<sim::SimDevice*> all(thermometers_.begin(), thermometers_.end());
        all.insert(all.end(), multisensors_.begin(), multisensors_.end());
        return all;
    }

    void InjectFault() {
        const double roll = std::uniform_real_distribution<double>(0, 1)(random_);
        const auto devices = Devices();
        sim::SimDevice* device =
            devices[static_cast<size_t>(Pick(static_cast<int>(devices.size())))];
        if (roll < 0.25) {
            // One bit in about 400 the device sends comes out inverted, this cycle.
            device->corruptBit = [this] { return Pick(400) == 0; };
            ++counts.faults["garbled bits"];
        } else if (roll < 0.35) {
            // Somewhere in the search, a read or a write of this cycle.
            (void)bench_->bus().leaveAfterSlots(device->rom(), static_cast<uint64_t>(Pick(20000)));
            ++counts.faults["device leaving"];
        } else if (roll < 0.38) {
            bench_->bus().setShorted(true);
            ++counts.faults["short"];
        } else if (roll < 0.41) {
            bench_->unplugged = true;
            ++counts.faults["unplug"];
        } else if (roll < 0.47) {
            (void)sim::SetConversionStuck(*device, true);
            ++counts.faults["stuck conversion"];
        }
    }

    void ClearFaults() {
        bench_->bus().setShorted(false);
        bench_->unplugged = false;
        for (sim::SimDevice* device : Devices()) {
            (void)bench_->unpark(device->rom());
            sim::ClearBitFaults(*device);
            (void)sim::SetConversionStuck(*device, false);
        }
    }

    void Poll() {
        (void)core_.ScanSessionAndSearch();
        if (core_.flgRedravAll) {
            cli::RebuildLists(core_, lists_, numberLog_);
        }
        const auto* t = thermometers_[static_cast<size_t>(Pick(3))];
        if (const int index = IndexOf(t->rom()); index >= 0) {
            (void)thermo_.Measure1820(index);
        }
        if (const int index = IndexOf(multisensors_[static_cast<size_t>(Pick(2))]->rom());
            index >= 0) {
            hltState_.curIndxHLT = static_cast<int16_t>(index);
            (void)hlt_.getValueHLT(static_cast<int16_t>(index), dialog_);
        }
    }

    int IndexOf(const RomCode& rom) const {
        for (int i = 0; i < core_.FoundDev; ++i) {
            if (core_.Asens[static_cast<size_t>(i)].ROMS == RomText(rom)) {
                return i;
            }
        }
        return -1;
    }

    void Write() {
        if (Chance(0.5)) {
            WriteThresholds();
        } else {
            WriteHlt(Chance(0.3));
        }
    }

    void WriteThresholds() {
        auto* target = thermometers_[static_cast<size_t>(Pick(3))];
        const int index = IndexOf(target->rom());
        if (index < 0) {
            return;
        }
        const int th = Pick(181) - 55;
        const int tl = Pick(181) - 55;
        ++counts.writesAttempted;
        const ThresholdWrite result = thermo_.wrscr1820(th, tl, index);
        ClearFaults();
        Eeprom meant = heldEeprom_[target->rom()];
        meant[0] = EncodeThresholdByte(th);
        meant[1] = EncodeThresholdByte(tl);
        const Eeprom actual(target->eeprom().begin(), target->eeprom().end());
        if (result == ThresholdWrite::Verified) {
            ++counts.writesVerified;
            if (actual != meant) {
                Violation("thresholds reported written are not what " + RomText(target->rom()) +
                          " holds");
            }
        } else {
            ++counts.writesRefused;
            if (actual != meant && actual != heldEeprom_[target->rom()]) {
                Violation(RomText(target->rom()) + " holds thresholds nobody asked for");
            }
        }
        heldEeprom_[target->rom()] = actual;
        // A copy cut short may still land, when the device comes back: either is what was asked.
        pendingEeprom_.erase(target->rom());
        if (result != ThresholdWrite::Verified && actual != meant) {
            pendingEeprom_[target->rom()] = meant;
        }
        CheckNothingElseChanged("a threshold write");
    }

    // A settings write of one threshold through the dialog's own path, or a reseal.
    void WriteHlt(bool reseal) {
        const int index = IndexOf(multisensors_[static_cast<size_t>(Pick(2))]->rom());
        if (index < 0) {
            return;
        }
        ++counts.writesAttempted;
        const int messagesBefore = host_.messages;
        hltState_.curIndxHLT = static_cast<int16_t>(index);
        (void)hlt_.getValueHLT(static_cast<int16_t>(index), dialog_);
        // A rescan during the read may have given the entry to the other multisensor: the
        // dialog then shows that one, and a write may go only there.
        sim::Ds2438Device* target = multisensors_[0];
        for (auto* h : multisensors_) {
            if (h->rom() == hltState_.blockRom) {
                target = h;
            }
        }
        HltBlock meant = heldBlock_[target->rom()];
        HLTConfig meantConfig(meant);
        bool reported = true;
        if (reseal) {
            reported = hlt_.WriteCrcHLT().has_value();
        } else {
            // Not below the lower threshold (0), so that no order warning is shown.
            meantConfig.set(hlt_field::S0UpValue, Pick(1001));
            dialog_.setText("edtS0UpValue", FieldText(meantConfig, hlt_field::S0UpValue));
            bool flgEditHLT = false;
            (void)WriteHltSettings(dialog_, hlt_, flgEditHLT);
        }
        SealHltBlock(meantConfig);
        reported = reported && host_.messages == messagesBefore;
        ClearFaults();
        const HltBlock actual = target->configBlock();
        if (reported) {
            ++counts.writesVerified;
            if (actual != meant) {
                Violation("a configuration reported written is not what " + RomText(target->rom()) +
                          " holds");
            }
        } else {
            ++counts.writesRefused;
            HltBlock copy = actual;
            if (actual != meant && actual != heldBlock_[target->rom()] &&
                HltBlockCrcMatches(HLTConfig(copy))) {
                Violation(RomText(target->rom()) +
                          " holds a sealed configuration nobody asked for");
            }
        }
        heldBlock_[target->rom()] = actual;
        pendingBlock_.erase(target->rom());
        if (!reported && actual != meant) {
            pendingBlock_[target->rom()] = meant;
        }
        CheckNothingElseChanged("a configuration write");
    }

    // A change is allowed only where a write that was reported as failed may still complete
    // (the simulated chip finishes a copy when it is next touched): to the values asked for, or,
    // for a configuration, to a block whose CRC no longer holds, which the device does not use.
    void CheckNothingElseChanged(const std::string& step) {
        for (auto* t : thermometers_) {
            const Eeprom now(t->eeprom().begin(), t->eeprom().end());
            if (now == heldEeprom_[t->rom()]) {
                continue;
            }
            const auto pending = pendingEeprom_.find(t->rom());
            if (pending == pendingEeprom_.end() || pending->second != now) {
                Violation(step + " changed the thresholds of " + RomText(t->rom()));
            }
            heldEeprom_[t->rom()] = now;
        }
        for (auto* h : multisensors_) {
            HltBlock now = h->configBlock();
            if (now == heldBlock_[h->rom()]) {
                continue;
            }
            const auto pending = pendingBlock_.find(h->rom());
            if (pending == pendingBlock_.end() ||
                (pending->second != now && HltBlockCrcMatches(HLTConfig(now)))) {
                Violation(step + " changed the configuration of " + RomText(h->rom()));
            }
            heldBlock_[h->rom()] = now;
        }
    }

    void Violation(const std::string& what) {
        ++counts.violations;
        if (counts.violations <= 20) {
            std::fprintf(stderr, "cycle %ld: %s\n", counts.cycles, what.c_str());
        }
    }

    std::mt19937 random_;
    bool rescanning_ = false;
    VirtualClock clock_;
    SoakHost host_;
    std::string logPath_;
    std::shared_ptr<sim::SimBench> bench_ = std::make_shared<sim::SimBench>(clock_);
    TmexDriver driver_{bench::ScanRig::Registry(bench_), PortSpec{"bench", ""}};
    BusCore core_{driver_, host_};
    SoakPoll poll_{core_};
    Thermometers thermo_{core_};
    HltState hltState_;
    HltCore hlt_{core_, poll_, hltState_};
    PlainSurface dialog_;
    PlainSurface lists_;
    FixedDateTime dateTime_;
    NumberLog numberLog_{core_, host_, lists_, dateTime_};
    std::vector<sim::Ds18x20Device*> thermometers_;
    std::vector<sim::Ds2438Device*> multisensors_;
    std::map<RomCode, Eeprom> heldEeprom_;
    std::map<RomCode, HltBlock> heldBlock_;
    std::map<RomCode, Eeprom> pendingEeprom_;
    std::map<RomCode, HltBlock> pendingBlock_;
};

}  // namespace

int main(int argc, char** argv) {
    const long cycles = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
    const auto seed = static_cast<uint32_t>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1);
    char logPath[] = "/tmp/velgrin-fault-soak-XXXXXX";
    const int fd = mkstemp(logPath);
    if (fd < 0 || cycles < 1) {
        std::fprintf(stderr, "usage: velgrin-fault-soak [CYCLES [SEED]]\n");
        return 2;
    }
    close(fd);
    std::remove(logPath);

    Soak soak(seed, logPath);
    for (long i = 0; i < cycles; ++i) {
        soak.Cycle();
    }
    soak.CheckNumberLog();
    std::remove(logPath);
    std::remove((std::string(logPath) + "_e_.txt").c_str());

    const Counts& c = soak.counts;
    long injected = 0;
    std::string kinds;
    for (const auto& [kind, count] : c.faults) {
        injected += count;
        kinds += (kinds.empty() ? "" : ", ") + kind + " " + std::to_string(count);
    }
    std::printf("cycles: %ld (seed %u)\n", c.cycles, seed);
    std::printf("faults injected: %ld (%s)\n", injected, kinds.c_str());
    std::printf("writes attempted: %ld, verified: %ld, refused or failed (reported): %ld\n",
                c.writesAttempted, c.writesVerified, c.writesRefused);
    std::printf("numbers auto-stored: %zu\n", soak.storedNumbers_);
    std::printf("violations: %ld\n", c.violations);
    return c.violations == 0 ? 0 : 1;
}
