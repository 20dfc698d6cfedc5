#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

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
    // What the reset before the pass found, where the pass makes its own (searchPassResets).
    ResetOutcome presence = ResetOutcome::Presence;
};

// What an adapter can do. The network layer uses what there is; a sequence that needs what is
// missing fails with WireErrorCode::Unsupported and a message naming it.
struct LinkCapabilities {
    bool bitAccess = true;        // single time slots, hence the bit-by-bit search
    bool strongPullup = true;     // 5 V after a byte or a bit, for parasite conversions and copies
    bool alarmSearch = true;      // the conditional search (0xEC)
    bool wholeBusSearch = false;  // the adapter lists the whole bus's ROMs in one call
    // Why a strong pull-up cannot be had here, as a user is told (without strongPullup only).
    const char* pullupLimit = "this adapter has no strong pull-up";
};

// One 1-Wire adapter. Every adapter kind implements it; the network layer above is shared.
// Opening is separate from construction so that a port can be named before it is reachable.
//
// The base keeps the rules every adapter shares: what it can do, the strong pull-up's state
// (armed for after the next byte or bit, on, ended by the next operation, a reset or
// setNormalLevel), and the recovery after a failed operation. A recovery that disturbs the bus
// cuts the sequence the devices were in: from then on only a reset goes on the bus, every other
// operation fails as Interrupted until one has succeeded. An adapter supplies its own bytes
// through the protected hooks.
class Link {
  public:
    virtual ~Link() = default;

    // A session starts at the normal level.
    WireResult<void> open();
    void close();
    virtual bool isOpen() const = 0;
    // False while the adapter grants no session (another session holds it for now).
    virtual bool grantsSession() { return true; }
    virtual LinkCapabilities capabilities() const { return {}; }

    WireResult<ResetOutcome> reset();
    WireResult<bool> touchBit(bool bit);
    WireResult<uint8_t> touchByte(uint8_t byte);
    // The bytes read replace the bytes sent.
    WireResult<void> touchBlock(std::span<uint8_t> bytes);
    // A reset and, when a device answered it, `bytes` as a block after it, in one command on an
    // adapter that folds a reset into a block (resetFoldsIntoBlock); there the bytes go out
    // whatever the reset found.
    WireResult<ResetOutcome> resetAndTouchBlock(std::span<uint8_t> bytes);
    virtual bool resetFoldsIntoBlock() const { return false; }

    // Strong pull-up (5 V) for parasite-powered conversions and EEPROM copies.
    WireResult<void> armStrongPullup(PullupTrigger trigger);
    WireResult<void> setNormalLevel();
    // Before arming: the caller means to hold the next pull-up for `hold` and then set the normal
    // level. An adapter with a pull-up timer of its own times it, so that ending it costs less;
    // gives how long the caller is to wait before setNormalLevel (at least `hold`). Default:
    // the caller ends it, after `hold`.
    virtual std::chrono::milliseconds planPullup(std::chrono::milliseconds hold) { return hold; }

    // Adapters with a search accelerator run a whole Search ROM pass (after a reset made by the
    // caller, including the 0xF0 or 0xEC command byte).
    virtual bool hasSearchAccelerator() const { return false; }
    // An accelerator whose pass makes the reset before it in the same command: the caller makes
    // none and reads the presence from the pass.
    virtual bool searchPassResets() const { return false; }
    WireResult<SearchPass> searchPass(const RomCode& directions, bool alarmOnly);
    // Adapters that search by themselves list every ROM code on the bus (or those in alarm), each
    // search starting with a reset of its own.
    WireResult<std::vector<RomCode>> listBus(bool alarmOnly);

    // Times the link closed and opened its port again by itself to recover the adapter: the
    // path may lead to another adapter since.
    uint64_t selfReopenings() const { return selfReopenings_; }

  protected:
    // What the base does once the adapter has recovered from a failed operation.
    enum class AfterRecovery {
        Report,   // the failure, as Interrupted unless the operation was a reset
        RunAgain  // a reset or a search pass runs once more (from a reset); others as Report
    };

    virtual WireResult<void> openAdapter() = 0;
    virtual void closeAdapter() = 0;
    // Whether operations may go to the adapter now. Default: the link is open.
    virtual WireResult<void> ready();
    // Before a bus operation, after ready(): bring the adapter into a known state.
    virtual WireResult<void> prepare() { return {}; }

    virtual WireResult<ResetOutcome> resetBus() = 0;
    // One time slot; `pullupAfter`: the strong pull-up starts once it is over. Links without
    // bit access keep this refusal.
    virtual WireResult<bool> sendBit(bool bit, bool pullupAfter);
    // Default: eight slots, least significant bit first, the pull-up after the last.
    virtual WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter);
    // Default: one sendByte per byte.
    virtual WireResult<void> sendBlock(std::span<uint8_t> bytes);
    // A reset with the block after it in one command. Default: refused.
    virtual WireResult<ResetOutcome> sendResetAndBlock(std::span<uint8_t> bytes);
    // Ends a strong pull-up that is on.
    virtual WireResult<void> endPullup();
    // True when the adapter ends a running pull-up by itself with the next bus command, so
    // nothing needs to be sent before it.
    virtual bool pullupEndsWithNextCommand() const { return false; }
    virtual WireResult<SearchPass> acceleratedPass(const RomCode& directions, bool alarmOnly);
    virtual WireResult<std::vector<RomCode>> listWholeBus(bool alarmOnly);

    // After a failed operation: the adapter's recovery steps. An error is what the caller sees
    // instead (the adapter is gone, or the failure is none that recovery mends). Default: the
    // failure is reported as it is.
    virtual WireResult<AfterRecovery> recover(const WireError& failure) { return failure; }
    // An operation run again after a recovery failed as well: the adapter's state is unknown.
    virtual void forgetAdapterState() {}
    // What cut a sequence, for the Interrupted message ("a reset of ...").
    virtual std::string sequenceCutter() const { return "a recovery of the adapter"; }

    // The adapter's recovery put slots on the live bus.
    void cutSequence() { sequenceCut_ = true; }
    bool sequenceCut() const { return sequenceCut_; }
    // The adapter was reset: a running pull-up ended with it; one armed is still wanted.
    void pullupEndedByAdapter();
    void countSelfReopening() { ++selfReopenings_; }

  private:
    enum class Pullup { Off, ArmedAfterByte, ArmedAfterBit, On };
    // Whether an operation starts a bus sequence of its own, continues one, or continues one
    // but can be run again from a reset after a recovery.
    enum class Step { Starts, Continues, Restartable };

    template <typename T>
    WireResult<T> guarded(Step step, const std::function<WireResult<T>()>& op);
    WireResult<void> endRunningPullup();
    bool pullupArmed() const {
        return pullup_ == Pullup::ArmedAfterByte || pullup_ == Pullup::ArmedAfterBit;
    }
    // A strong pull-up armed for "after the next byte" follows the first byte of a block, so that
    // byte goes alone and the rest (which ends the pull-up) after it. Gives the rest; empty when
    // the block was that one byte and the pull-up holds.
    WireResult<std::span<uint8_t>> touchFirstByteAlone(std::span<uint8_t> bytes);
    WireError interrupted(const std::string& cause) const;

    Pullup pullup_ = Pullup::Off;
    bool sequenceCut_ = false;
    uint64_t selfReopenings_ = 0;
};

}  // namespace velgrin
