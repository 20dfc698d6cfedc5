#include "cli/doctor/port_probe.h"

#include <algorithm>
#include <vector>

#include "cli/bench_session.h"

namespace velgrin::cli::doctor {

namespace {

constexpr int kRounds = 3;

struct Tally {
    int presence = 0;
    int noPresence = 0;
    int shorts = 0;
    int failedResets = 0;
    int failedSearches = 0;
    int disagreeing = 0;
    std::string firstFailure;
    std::vector<std::string> devices;
};

std::vector<std::string> Listed(BusCore& core) {
    std::vector<std::string> roms;
    for (int i = 0; i < core.FoundDev; ++i) {
        roms.push_back(core.Asens[static_cast<size_t>(i)].ROMS);
    }
    return roms;
}

void CountReset(Link* link, Tally& tally) {
    if (link == nullptr) {
        ++tally.failedResets;
        return;
    }
    const auto outcome = link->reset();
    if (!outcome) {
        ++tally.failedResets;
        if (tally.firstFailure.empty()) {
            tally.firstFailure = outcome.error().message;
        }
    } else if (*outcome == ResetOutcome::Presence) {
        ++tally.presence;
    } else if (*outcome == ResetOutcome::Short) {
        ++tally.shorts;
    } else {
        ++tally.noPresence;
    }
}

std::string Count(int n) {
    return std::to_string(n) + " of " + std::to_string(kRounds);
}

Finding BusFinding(const Tally& tally) {
    Finding bus{"bus", "presence pulse at " + Count(tally.presence) + " resets", {}};
    if (tally.shorts > 0) {
        bus.problems.push_back(
            {"the bus is shorted (" + Count(tally.shorts) + " resets)",
             "find where DATA touches GND: unplug the sensors one by one until a reset sees "
             "them again"});
    }
    if (tally.noPresence == kRounds) {
        bus.problems.push_back(
            {"no device answers a reset",
             "check the cable and the sensors' wiring (DATA, GND, and VDD where they are "
             "powered externally)"});
    }
    if (tally.failedResets > 0) {
        bus.problems.push_back(
            {"the adapter failed " + Count(tally.failedResets) + " resets: " + tally.firstFailure,
             "check the adapter's cable and plug; on a USB-serial converter "
             "widen the reply margin with --reply-margin 1000"});
    }
    return bus;
}

Finding SearchFinding(const Tally& tally) {
    std::string found = std::to_string(tally.devices.size()) + " devices";
    for (const std::string& rom : tally.devices) {
        found += (&rom == &tally.devices.front() ? ": " : ", ") + rom;
    }
    Finding search{"devices", found, {}};
    const int garbled = tally.failedSearches + tally.disagreeing;
    if (garbled > 0) {
        search.problems.push_back(
            {Count(garbled) + " searches were garbled or listed other devices than the first",
             "shorten the bus or mend its joints; a long line needs a 1-Wire driver with a "
             "stronger pull-up (a DS9490R or DS2480B-based adapter)"});
    }
    return search;
}

}  // namespace

CliResult<Section> ProbePort(const std::string& portText, const PortSettings& settings,
                             bool& reached) {
    auto session = BenchSession::Open(portText, settings);
    if (!session) {
        return session.error();
    }
    Section section{"port", "port " + portText, "", {}};
    Tally tally;
    bool listed = false;
    for (int round = 0; round < kRounds; ++round) {
        auto scanned = (*session)->Scan();
        if (!scanned) {
            if (scanned.error().code == ExitStatus::kUsage) {
                return scanned.error();
            }
            ++tally.failedSearches;
            if (tally.firstFailure.empty()) {
                tally.firstFailure = scanned.error().message;
            }
        } else {
            auto devices = Listed((*session)->core());
            if (!listed) {
                tally.devices = std::move(devices);
                listed = true;
            } else if (devices != tally.devices) {
                ++tally.disagreeing;
            }
        }
        CountReset((*session)->core().driver().link(), tally);
    }
    reached = listed || tally.presence + tally.noPresence + tally.shorts > 0;
    if (!reached) {
        section.findings.push_back({"adapter",
                                    "does not answer",
                                    {{tally.firstFailure,
                                      "mend what the message names, then run 'velgrin-cli doctor "
                                      "--port " +
                                          portText + "' again"}}});
        return section;
    }
    section.findings.push_back({"adapter", "answers", {}});
    section.findings.push_back(BusFinding(tally));
    section.findings.push_back(SearchFinding(tally));
    return section;
}

}  // namespace velgrin::cli::doctor
