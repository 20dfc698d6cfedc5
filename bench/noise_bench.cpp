// velgrin-cli commands over the DS2480B emulator with garbled reply bytes (its noise), on the
// demo bench, at noise 0.005 and 0.01 with fixed seeds: per command the share of runs that
// succeeded, the violations (a command that reported success although the bus or the device
// does not show what it reported: a write not on the device as asked, a list or a reading that
// is wrong) and the mixed blocks (a multisensor left with neither its old block nor the new
// one). Every verdict comes from a clean look at the served devices' memory after the run.
// Arguments: --runs N (default 20 per command and rate), --max-seconds S (default 1500: no run
// starts later), --commands a,b,... (default: list,temp,alarms,set,reseal,restore), --rates
// x,y (default 0.005,0.01), --show-failures (print why each failed run failed).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/hlt_block_file.h"
#include "cli/run_cli.h"
#include "common/number_text.h"
#include "ds2480b_emu/ds2480b_emulator.h"
#include "hlt/crc_hlt.h"
#include "hlt/field_text.h"
#include "thermo/scratchpad.h"
#include "thermo/threshold_byte.h"
#include "wire/device_table.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/demo_bench_text.h"
#include "wire/sim/sim_ds18x20.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::bench {
namespace {

const std::string kMultisensor = "09000001C4E98126";

struct Verdict {
    bool success = false;
    bool violation = false;
    bool mixed = false;
    std::string note;
};

// One emulator on a fresh demo bench, on the real clock, garbling replies from the start.
struct NoisyBench {
    NoisyBench(double rate, uint32_t seed) {
        auto loaded = sim::LoadBenchJson(sim::kDemoBenchJson, "demo bench", clock);
        if (!loaded) {
            return;
        }
        bench = *loaded;
        ds2480b::EmulatorOptions options;
        options.noiseRate = rate;
        options.seed = seed;
        emulator = std::make_unique<ds2480b::Ds2480bEmulator>(bench, options);
        started = bool(emulator->start());
    }

    std::string port() const { return "ds2480b:" + emulator->clientPath(); }

    void look(const std::function<void(sim::SimBench&)>& what) { emulator->withBench(what); }

    HltBlock block() {
        HltBlock held{};
        look([&](sim::SimBench& b) {
            const auto rom = ParseRomText(kMultisensor);
            if (const auto* d = dynamic_cast<const sim::Ds2438Device*>(b.bus().find(*rom))) {
                held = d->configBlock();
            }
        });
        return held;
    }

    void setBlock(const HltBlock& block) {
        look([&](sim::SimBench& b) {
            const auto rom = ParseRomText(kMultisensor);
            if (auto* d = dynamic_cast<sim::Ds2438Device*>(b.bus().find(*rom))) {
                d->setConfigBlock(block);
            }
        });
    }

    // Each thermometer's ROM text and its EEPROM user bytes.
    std::map<std::string, std::vector<uint8_t>> thermometerEeproms() {
        std::map<std::string, std::vector<uint8_t>> held;
        look([&](sim::SimBench& b) {
            for (const auto& device : b.bus().devices()) {
                if (const auto* d = dynamic_cast<const sim::Ds18x20Device*>(device.get())) {
                    held[RomText(d->rom())] = {d->eeprom().begin(), d->eeprom().end()};
                }
            }
        });
        return held;
    }

    // What each thermometer's last conversion reads as.
    std::map<std::string, double> convertedTemperatures() {
        std::map<std::string, double> held;
        look([&](sim::SimBench& b) {
            for (const auto& device : b.bus().devices()) {
                if (const auto* d = dynamic_cast<const sim::Ds18x20Device*>(device.get())) {
                    CurrentSens sens{};
                    sens.Family = GroupOfFamily(d->rom()[0]);
                    Scratchpad bytes{};
                    const auto pad = d->scratchpad();
                    std::copy(pad.begin(), pad.end(), bytes.begin());
                    ApplyScratchpad(sens, bytes);
                    held[RomText(d->rom())] = sens.CorrectTemp;
                }
            }
        });
        return held;
    }

    std::vector<std::string> roms() {
        std::vector<std::string> texts;
        look([&](sim::SimBench& b) {
            for (const auto& device : b.bus().devices()) {
                texts.push_back(RomText(device->rom()));
            }
        });
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    SteadyClock clock;
    std::shared_ptr<sim::SimBench> bench;
    std::unique_ptr<ds2480b::Ds2480bEmulator> emulator;
    bool started = false;
};

struct Ran {
    int status = -1;
    nlohmann::json document;
};

// With --show-failures, why each failed run failed, as the tool said it.
bool gShowFailures = false;

Ran RunTool(NoisyBench& bench, std::vector<std::string> words) {
    std::vector<std::string> arguments{"--port", bench.port(), "--json"};
    arguments.insert(arguments.end(), words.begin(), words.end());
    std::ostringstream out;
    std::ostringstream err;
    Ran ran;
    ran.status = cli::RunCli(arguments, out, err);
    ran.document = nlohmann::json::parse(out.str(), nullptr, false);
    if (gShowFailures && ran.status != 0) {
        std::fprintf(stderr, "  %s: exit %d: %s", words.front().c_str(), ran.status,
                     (err.str() + out.str()).substr(0, 400).c_str());
    }
    return ran;
}

// The block the device should hold after `set` or `reseal` from `before`.
HltBlock Sealed(HltBlock block, const std::function<void(HLTConfig&)>& change) {
    HLTConfig config(block);
    change(config);
    SealHltBlock(config);
    return block;
}

Verdict JudgeBlock(int status, const HltBlock& before, const HltBlock& meant,
                   const HltBlock& after) {
    Verdict verdict;
    verdict.success = status == 0;
    verdict.violation = verdict.success && after != meant;
    verdict.mixed = after != before && after != meant;
    return verdict;
}

Verdict RunList(NoisyBench& bench, int) {
    const Ran ran = RunTool(bench, {"list"});
    Verdict verdict;
    verdict.success = ran.status == 0;
    if (verdict.success) {
        std::vector<std::string> listed;
        if (ran.document.is_object() && ran.document.contains("devices")) {
            for (const auto& device : ran.document.at("devices")) {
                listed.push_back(device.at("rom").get<std::string>());
            }
        }
        std::sort(listed.begin(), listed.end());
        verdict.violation = listed != bench.roms();
    }
    return verdict;
}

Verdict RunTemp(NoisyBench& bench, int) {
    const Ran ran = RunTool(bench, {"temp"});
    Verdict verdict;
    verdict.success = ran.status == 0;
    if (verdict.success) {
        const auto converted = bench.convertedTemperatures();
        const auto eeproms = bench.thermometerEeproms();
        size_t seen = 0;
        if (ran.document.is_object() && ran.document.contains("thermometers")) {
            for (const auto& reading : ran.document.at("thermometers")) {
                const std::string rom = reading.at("rom");
                ++seen;
                const auto eeprom = eeproms.find(rom);
                verdict.violation =
                    verdict.violation || converted.count(rom) == 0 ||
                    reading.at("temperature").get<double>() != converted.at(rom) ||
                    eeprom == eeproms.end() ||
                    reading.at("th").get<int>() != static_cast<int8_t>(eeprom->second[0]) ||
                    reading.at("tl").get<int>() != static_cast<int8_t>(eeprom->second[1]);
            }
        }
        verdict.violation = verdict.violation || seen != converted.size();
    }
    return verdict;
}

Verdict RunAlarms(NoisyBench& bench, int run) {
    const int th = 40 + run % 20;
    const int tl = -(run % 7) - 1;
    const auto before = bench.thermometerEeproms();
    const Ran ran =
        RunTool(bench, {"alarms", "--all", "--th", std::to_string(th), "--tl", std::to_string(tl)});
    const auto after = bench.thermometerEeproms();
    Verdict verdict;
    verdict.success = ran.status == 0;
    for (const auto& [rom, bytes] : after) {
        std::vector<uint8_t> meant = before.at(rom);
        meant[0] = EncodeThresholdByte(th);
        meant[1] = EncodeThresholdByte(tl);
        verdict.violation = verdict.violation || (verdict.success && bytes != meant);
        verdict.mixed = verdict.mixed || (bytes != meant && bytes != before.at(rom));
    }
    return verdict;
}

Verdict RunSet(NoisyBench& bench, int run) {
    const HltBlock before = bench.block();
    const double value = 50 + run % 40;
    const HltBlock meant = Sealed(
        before, [&](HLTConfig& c) { c.set(hlt_field::S0UpValue, static_cast<int>(value * 10)); });
    const Ran ran =
        RunTool(bench, {"hlt", "set", kMultisensor, "--S0UpValue", FormatDotNumber(value)});
    return JudgeBlock(ran.status, before, meant, bench.block());
}

Verdict RunReseal(NoisyBench& bench, int run) {
    // A block whose CRC does not match, as a write stopped part-way leaves it.
    HltBlock damaged = bench.block();
    damaged[31] = static_cast<uint8_t>(damaged[31] ^ (0x11 + run % 7));
    bench.setBlock(damaged);
    const HltBlock meant = Sealed(damaged, [](HLTConfig&) {});
    const Ran ran = RunTool(bench, {"hlt", "reseal", kMultisensor});
    return JudgeBlock(ran.status, damaged, meant, bench.block());
}

Verdict RunRestore(NoisyBench& bench, int run) {
    const HltBlock before = bench.block();
    const HltBlock meant = Sealed(before, [&](HLTConfig& c) {
        c.set(hlt_field::S1UpValue, 100 + 10 * (run % 30));
        c.set(hlt_field::TupLimit, 300 + run % 50);
        c.set(hlt_field::S0min, -(run % 90));
    });
    char pattern[] = "/tmp/velgrin-noise-restore-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) {
        return {false, false, false, "mkstemp failed"};
    }
    ::close(fd);
    {
        std::ofstream file(pattern);
        file << cli::BlockDumpText(kMultisensor, meant);
    }
    const Ran ran = RunTool(bench, {"hlt", "restore", kMultisensor, "--file", pattern});
    ::unlink(pattern);
    return JudgeBlock(ran.status, before, meant, bench.block());
}

struct CommandUnderTest {
    std::string name;
    Verdict (*run)(NoisyBench&, int);
};

const std::vector<CommandUnderTest> kCommands{
    {"list", RunList}, {"temp", RunTemp},     {"alarms", RunAlarms},
    {"set", RunSet},   {"reseal", RunReseal}, {"restore", RunRestore},
};

struct Tally {
    int runs = 0;
    int successes = 0;
    int violations = 0;
    int mixed = 0;
    double wallS = 0;
    double maxWallS = 0;
};

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream words(text);
    for (std::string word; std::getline(words, word, ',');) {
        parts.push_back(word);
    }
    return parts;
}

int Usage() {
    std::cerr << "usage: velgrin-noise-bench [--runs N] [--max-seconds S] [--commands "
                 "list,temp,alarms,set,reseal,restore] [--rates 0.005,0.01] "
                 "[--show-failures]\n";
    return 2;
}

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1) {
        return std::nullopt;
    }
    return value;
}

}  // namespace
}  // namespace velgrin::bench

int main(int argc, char** argv) {
    using namespace velgrin;
    using namespace velgrin::bench;
    int runs = 20;
    int maxSeconds = 1500;
    std::vector<std::string> commands;
    std::vector<double> rates{0.005, 0.01};
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--show-failures") {
            gShowFailures = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string value = argv[++i];
        if (word == "--runs" || word == "--max-seconds") {
            const auto number = WholeNumber(value);
            if (!number) {
                return Usage();
            }
            (word == "--runs" ? runs : maxSeconds) = *number;
        } else if (word == "--commands") {
            commands = SplitCommas(value);
        } else if (word == "--rates") {
            rates.clear();
            for (const std::string& rate : SplitCommas(value)) {
                const auto parsed = ParseDotNumber(rate);
                if (!parsed || *parsed < 0 || *parsed > 1) {
                    return Usage();
                }
                rates.push_back(*parsed);
            }
        } else {
            return Usage();
        }
    }
    std::vector<CommandUnderTest> chosen;
    for (const auto& command : kCommands) {
        if (commands.empty() ||
            std::find(commands.begin(), commands.end(), command.name) != commands.end()) {
            chosen.push_back(command);
        }
    }
    if (chosen.empty()) {
        return Usage();
    }
    // The list command keeps its ROMs for completion; not in the user's cache.
    char cache[] = "/tmp/velgrin-noise-cache-XXXXXX";
    if (::mkdtemp(cache) == nullptr) {
        return 1;
    }
    ::setenv("XDG_CACHE_HOME", cache, 1);

    const auto start = std::chrono::steady_clock::now();
    const auto elapsedS = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::printf("command  noise   runs  success  rate    violations  mixed  mean s  max s\n");
    bool clean = true;
    bool cut = false;
    for (size_t r = 0; r < rates.size(); ++r) {
        for (size_t c = 0; c < chosen.size(); ++c) {
            Tally tally;
            for (int run = 0; run < runs && !(cut = elapsedS() > maxSeconds); ++run) {
                const auto seed = static_cast<uint32_t>(10000 * (r + 1) + 100 * c + run + 1);
                NoisyBench bench(rates[r], seed);
                if (!bench.started) {
                    std::fprintf(stderr, "the emulator did not start\n");
                    return 1;
                }
                const auto begun = std::chrono::steady_clock::now();
                const Verdict verdict = chosen[c].run(bench, run);
                const double took =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
                ++tally.runs;
                tally.successes += verdict.success ? 1 : 0;
                tally.violations += verdict.violation ? 1 : 0;
                tally.mixed += verdict.mixed ? 1 : 0;
                tally.wallS += took;
                tally.maxWallS = std::max(tally.maxWallS, took);
                if (verdict.violation || verdict.mixed) {
                    std::fprintf(stderr, "%s at noise %s, seed %u: %s%s\n", chosen[c].name.c_str(),
                                 FormatDotNumber(rates[r]).c_str(), seed,
                                 verdict.violation ? "violation " : "",
                                 verdict.mixed ? "mixed" : "");
                }
            }
            const double share = tally.runs == 0 ? 0 : 100.0 * tally.successes / tally.runs;
            std::printf("%-8s %-7s %4d  %7d  %5s %%  %10d  %5d  %6s  %5s\n", chosen[c].name.c_str(),
                        FormatDotNumber(rates[r]).c_str(), tally.runs, tally.successes,
                        FormatFixedDot(share, 1).c_str(), tally.violations, tally.mixed,
                        FormatFixedDot(tally.runs == 0 ? 0 : tally.wallS / tally.runs, 2).c_str(),
                        FormatFixedDot(tally.maxWallS, 2).c_str());
            std::fflush(stdout);
            clean = clean && tally.violations == 0 && tally.mixed == 0;
        }
    }
    std::filesystem::remove_all(cache);
    if (cut) {
        std::printf("stopped early: --max-seconds %d reached\n", maxSeconds);
    }
    std::printf("total %s s\n", FormatFixedDot(elapsedS(), 1).c_str());
    return clean ? 0 : 1;
}
