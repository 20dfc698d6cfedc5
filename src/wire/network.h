#pragma once

#include <cstdint>
#include <vector>

#include "common/retry_rule.h"
#include "wire/link.h"
#include "wire/rom_code.h"

namespace velgrin {

namespace rom_command {
inline constexpr uint8_t kReadRom = 0x33;
inline constexpr uint8_t kMatchRom = 0x55;
inline constexpr uint8_t kSkipRom = 0xCC;
inline constexpr uint8_t kSearchRom = 0xF0;
inline constexpr uint8_t kAlarmSearch = 0xEC;
}  // namespace rom_command

// Bookkeeping of an enumeration of the bus (1-based bit numbers, as in the maker's search note).
struct SearchState {
    RomCode rom{};
    int lastDiscrepancy = 0;
    int lastFamilyDiscrepancy = 0;
    bool lastDevice = false;
    // Every code this enumeration has reported, so that a misread path met twice is caught.
    std::vector<RomCode> reported;
    // On an adapter that lists the whole bus in one call: the codes listed and not yet reported.
    bool listed = false;
    std::vector<RomCode> unreported;
};

// The protocol above any adapter: bus enumeration, selecting a device, checking that a given
// device is present. An adapter that searches by itself lists the whole bus at once; others are
// searched pass by pass, through a search accelerator where they have one. Checking one device
// takes a single pass steered along its code wherever passes can be steered.
class Network {
  public:
    explicit Network(Link& link) : link_(link) {}

    // Starts a new enumeration. True and state.rom set when a device was found; false when the
    // bus is empty. A pass (or a listing) that meets an impossible answer (nobody answering a bit
    // after the presence pulse, a code failing its CRC, a code already reported) is run again as
    // the retry rule allows (a garbled bit spoils one pass; a device leaving mid-search the few
    // passes until the bus has settled); then the enumeration ends with a Protocol error, never
    // with a shorter list.
    WireResult<bool> first(SearchState& state);
    // Continues it; false when every device has been reported.
    WireResult<bool> next(SearchState& state);

    // Reset and Match ROM. True when anything answered the reset.
    WireResult<bool> access(const RomCode& rom);
    // A Search ROM pass steered along `rom`: true only when that very device is on the bus. It
    // is then selected and waits for a function command.
    WireResult<bool> verify(const RomCode& rom);

    Link& link() { return link_; }

  private:
    enum class PassEnd { NoPresence, BrokenOff, Complete };

    bool listsWholeBus() const;
    // Whether a single Search ROM pass can follow a given code.
    bool steersPasses() const;
    // The whole bus's codes, each possible and listed once.
    WireResult<std::vector<RomCode>> listWholeBus();
    WireResult<bool> nextListed(SearchState& state);

    // One Search ROM pass along the directions given by the state; fills `found` and the next
    // last discrepancy.
    WireResult<PassEnd> searchPass(const SearchState& state, RomCode& found, int& lastZero,
                                   int& lastFamilyZero);

    Link& link_;
};

}  // namespace velgrin
