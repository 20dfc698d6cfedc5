#include "wire/network.h"

#include <algorithm>
#include <string>

namespace velgrin {

namespace {

bool RomBit(const RomCode& rom, int index0) {
    return (rom[index0 / 8] >> (index0 % 8)) & 1;
}

void SetRomBit(RomCode& rom, int index0, bool value) {
    const auto mask = static_cast<uint8_t>(1u << (index0 % 8));
    if (value) {
        rom[index0 / 8] |= mask;
    } else {
        rom[index0 / 8] &= static_cast<uint8_t>(~mask);
    }
}

// The direction the master takes at a bit where devices disagree (1-based bit number k).
bool DirectionAtConflict(const SearchState& state, int k) {
    if (k < state.lastDiscrepancy) {
        return RomBit(state.rom, k - 1);
    }
    return k == state.lastDiscrepancy;
}

WireError ImpossibleAnswers() {
    return WireError{WireErrorCode::Protocol,
                     "the bus search met answers no set of devices can give, " +
                         std::to_string(kTransactionAttempts) +
                         " times in a row (a noisy line, or a device leaving mid-search)"};
}

bool PossibleCode(const RomCode& rom) {
    return RomCrcValid(rom) && rom[0] != 0;
}

}  // namespace

bool Network::listsWholeBus() const {
    return link_.capabilities().wholeBusSearch;
}

bool Network::steersPasses() const {
    return link_.capabilities().bitAccess || link_.hasSearchAccelerator();
}

WireResult<std::vector<RomCode>> Network::listWholeBus() {
    for (int made = 0; RetryRule::Allows(made, 0); ++made) {
        auto listed = link_.listBus(false);
        if (!listed) {
            return listed.error();
        }
        std::vector<RomCode> sorted = *listed;
        std::sort(sorted.begin(), sorted.end());
        const bool possible = std::all_of(sorted.begin(), sorted.end(), PossibleCode) &&
                              std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
        if (possible) {
            return listed;
        }
    }
    return ImpossibleAnswers();
}

WireResult<bool> Network::nextListed(SearchState& state) {
    if (!state.listed) {
        auto listed = listWholeBus();
        if (!listed) {
            state = SearchState{};
            return listed.error();
        }
        state.listed = true;
        state.unreported = std::move(*listed);
    }
    if (state.unreported.empty()) {
        state = SearchState{};
        return false;
    }
    state.rom = state.unreported.front();
    state.unreported.erase(state.unreported.begin());
    state.reported.push_back(state.rom);
    state.lastDevice = state.unreported.empty();
    return true;
}

WireResult<Network::PassEnd> Network::searchPass(const SearchState& state, RomCode& found,
                                                 int& lastZero, int& lastFamilyZero) {
    lastZero = 0;
    lastFamilyZero = state.lastFamilyDiscrepancy;
    const bool accelerated = link_.hasSearchAccelerator();
    if (!accelerated || !link_.searchPassResets()) {
        auto presence = link_.reset();
        if (!presence) {
            return presence.error();
        }
        if (*presence != ResetOutcome::Presence) {
            return PassEnd::NoPresence;
        }
    }

    if (accelerated) {
        RomCode directions{};
        for (int k = 1; k <= 64; ++k) {
            SetRomBit(
                directions, k - 1,
                k < state.lastDiscrepancy ? RomBit(state.rom, k - 1) : k == state.lastDiscrepancy);
        }
        auto pass = link_.searchPass(directions, false);
        if (!pass) {
            return pass.error();
        }
        if (pass->presence != ResetOutcome::Presence) {
            return PassEnd::NoPresence;
        }
        found = pass->path;
        for (int k = 1; k <= 64; ++k) {
            if (RomBit(pass->discrepancies, k - 1) && !RomBit(found, k - 1)) {
                lastZero = k;
                if (k <= 8) {
                    lastFamilyZero = k;
                }
            }
        }
        // A pass that lost the devices ends in 1s; the CRC check of the caller rejects it.
        return PassEnd::Complete;
    }

    auto command = link_.touchByte(rom_command::kSearchRom);
    if (!command) {
        return command.error();
    }
    for (int k = 1; k <= 64; ++k) {
        auto idBit = link_.touchBit(true);
        if (!idBit) {
            return idBit.error();
        }
        auto complement = link_.touchBit(true);
        if (!complement) {
            return complement.error();
        }
        bool direction;
        if (*idBit && *complement) {
            return PassEnd::BrokenOff;
        }
        if (*idBit != *complement) {
            direction = *idBit;
        } else {
            direction = DirectionAtConflict(state, k);
            if (!direction) {
                lastZero = k;
                if (k <= 8) {
                    lastFamilyZero = k;
                }
            }
        }
        auto written = link_.touchBit(direction);
        if (!written) {
            return written.error();
        }
        SetRomBit(found, k - 1, direction);
    }
    return PassEnd::Complete;
}

WireResult<bool> Network::first(SearchState& state) {
    state = SearchState{};
    return next(state);
}

WireResult<bool> Network::next(SearchState& state) {
    if (state.lastDevice) {
        state = SearchState{};
        return false;
    }
    if (listsWholeBus()) {
        return nextListed(state);
    }
    // A pass costs bus time only, so the count alone bounds it.
    for (int made = 0; RetryRule::Allows(made, 0); ++made) {
        RomCode found{};
        int lastZero = 0;
        int lastFamilyZero = 0;
        auto pass = searchPass(state, found, lastZero, lastFamilyZero);
        if (!pass) {
            state = SearchState{};
            return pass.error();
        }
        if (*pass == PassEnd::NoPresence && state.reported.empty()) {
            state = SearchState{};
            return false;
        }
        // Silence after devices answered, or a path no device has, is a misread (or a device
        // leaving): the same pass again, rather than an enumeration that ends early.
        const bool possible =
            *pass == PassEnd::Complete && PossibleCode(found) &&
            std::find(state.reported.begin(), state.reported.end(), found) == state.reported.end();
        if (!possible) {
            continue;
        }
        state.rom = found;
        state.lastDiscrepancy = lastZero;
        state.lastFamilyDiscrepancy = lastFamilyZero;
        state.lastDevice = lastZero == 0;
        state.reported.push_back(found);
        return true;
    }
    state = SearchState{};
    return ImpossibleAnswers();
}

WireResult<bool> Network::access(const RomCode& rom) {
    std::array<uint8_t, 9> bytes{rom_command::kMatchRom};
    std::copy(rom.begin(), rom.end(), bytes.begin() + 1);
    auto presence = link_.resetAndTouchBlock(bytes);
    if (!presence) {
        return presence.error();
    }
    return *presence == ResetOutcome::Presence;
}

WireResult<bool> Network::verify(const RomCode& rom) {
    if (!steersPasses()) {
        auto listed = link_.listBus(false);
        if (!listed) {
            return listed.error();
        }
        if (std::find(listed->begin(), listed->end(), rom) == listed->end()) {
            return false;
        }
        return access(rom);
    }
    SearchState steered;
    steered.rom = rom;
    steered.lastDiscrepancy = 65;  // at every conflict follow `rom`
    RomCode found{};
    int lastZero = 0;
    int lastFamilyZero = 0;
    auto pass = searchPass(steered, found, lastZero, lastFamilyZero);
    if (!pass) {
        return pass.error();
    }
    return *pass == PassEnd::Complete && found == rom;
}

}  // namespace velgrin
