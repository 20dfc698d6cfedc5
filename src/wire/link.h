#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "wire/rom_code.h"
#include "wire/wire_error.h"

namespace velgrin {

enum class ResetOutcome { NoPresence, Presence, Short };

// When an armed strong pull-up starts.
enum class PullupTrigger { AfterNextByte, AfterNextBit };

// One pass of an adapter's hardware search: the master's preferred direction for each ROM bit in,
// the path taken and the bits where devices disagreed (or nobody answered) out.
struct SearchPass {
    RomCode path{};
    RomCode discrepancies{};
};

// What an adapter can do. The network layer uses what there is; a sequence that needs what is
// missing fails with WireErrorCode::Unsupported and a message naming it.
struct LinkCapabilities {
    bool bitAccess = true;        // single time slots, hence the bit-by-bit search
    bool strongPullup = true;     // 5 V after a byte or a bit, for parasite conversions and copies
    bool alarmSearch = true;      // the conditional search (0xEC)
    bool wholeBusSearch = false;  // the adapter lists the whole bus's ROMs in one call
};

// One 1-Wire adapter. Every adapter kind implements it; the network layer above is shared.
// Opening is separate from construction so that a port can be named before it is reachable.
class Link {
  public:
    virtual ~Link() = default;

    virtual WireResult<void> open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // False while the adapter grants no session (another session holds it for now).
    virtual bool grantsSession() { return true; }
    virtual LinkCapabilities capabilities() const { return {}; }

    virtual WireResult<ResetOutcome> reset() = 0;
    virtual WireResult<bool> touchBit(bool bit) = 0;
    // Default: eight bit slots, least significant bit first.
    virtual WireResult<uint8_t> touchByte(uint8_t byte);
    // Default: one touchByte per byte; the bytes read replace the bytes sent.
    virtual WireResult<void> touchBlock(std::span<uint8_t> bytes);

    // Strong pull-up (5 V) for parasite-powered conversions and EEPROM copies.
    virtual WireResult<void> armStrongPullup(PullupTrigger trigger) = 0;
    virtual WireResult<void> setNormalLevel() = 0;

    // Adapters with a search accelerator run a whole Search ROM pass (after a reset made by the
    // caller, including the 0xF0 or 0xEC command byte).
    virtual bool hasSearchAccelerator() const { return false; }
    virtual WireResult<SearchPass> searchPass(const RomCode& directions, bool alarmOnly);

    // Times the link closed and opened its port again by itself to recover the adapter: the
    // path may lead to another adapter since.
    uint64_t selfReopenings() const { return selfReopenings_; }

  protected:
    void countSelfReopening() { ++selfReopenings_; }

    // A strong pull-up armed for "after the next byte" follows the first byte of a block, so an
    // adapter sends that byte alone and the rest (which ends the pull-up) after it. Gives the
    // rest; empty when the block was that one byte and the pull-up holds.
    WireResult<std::span<uint8_t>> touchFirstByteAlone(std::span<uint8_t> bytes);

  private:
    uint64_t selfReopenings_ = 0;
};

}  // namespace velgrin
