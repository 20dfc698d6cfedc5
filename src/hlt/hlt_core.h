#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/control_surface.h"
#include "common/host.h"
#include "common/retry_rule.h"
#include "hlt/ds2438.h"
#include "hlt/hlt_config.h"
#include "hlt/hlt_state.h"
#include "wire/bus_core.h"
#include "wire/poll_control.h"
#include "wire/rom_code.h"

namespace velgrin {

// Longest wait for a conversion of the measurement cycle; past it the cycle ends and the next
// poll tries again.
inline constexpr uint32_t kHltConversionTimeoutMs = 500;

inline constexpr const char* kHltWriteFailedMessage = "Не удалось записать параметры";
// A page write failed and the old pages could not all be put back.
inline constexpr const char* kHltBlockMixedMessage =
    "Устройство перестало отвечать: параметры могли записаться не полностью, проверьте CRC!";

// Why the last write or seal of the configuration did not complete.
enum class HltWriteFault {
    None,
    BlockNotIntact,     // the block behind it was not read intact
    DeviceMoved,        // the dialog's table entry no longer holds the device the block came from
    BlockNotConfirmed,  // reading the block again did not give the same bytes
    NotVerified,        // a page could not be written and read back as meant, retries and all
};

// What a device holds after a write of several pages of its block.
enum class HltBlockOutcome {
    Written,       // every page as meant, each read back
    OldBlockBack,  // a page failed; the pages written before it were put back as they were
    Mixed,         // a page failed and putting the old pages back failed too: the device left,
                   // maybe holding a mix
};

// One page of a block write, and the pause before it.
struct HltPageStep {
    int16_t page;
    uint32_t pauseMs;
};

// A sealed configuration block on its way to one device.
struct HltSealedWrite {
    RomCode device;
    HltBlock block;
};

// The multisensor's bus sequences over the poll's session: the measurement cycle, the page
// reads of the configuration block and the page writes. The main window owns it beside the
// HltState it fills.
class HltCore {
  public:
    HltCore(BusCore& bus, PollControl& poll, HltState& state)
        : bus_(bus), poll_(poll), state_(state) {}

    // Measures the device of table entry `Indx` (temperature, both voltages, the current
    // register), then reads the configuration of entry curIndxHLT and shows it all in `dialog`.
    // False when the configuration read was skipped (a device not answering, an invalid session,
    // a conversion that did not end): HLT_Buf then holds what it held before.
    bool getValueHLT(int16_t Indx, ControlSurface& dialog);

    // Recall and read of one page: its 8 bytes and the chip's CRC into `dest`. True only for an
    // intact page; false when the device does not answer (dest untouched) or when the CRC is
    // wrong (dest filled anyway).
    bool Read_HLT_Page(int16_t page, std::span<uint8_t, ds2438::kPageReadSize> dest);

    // Writes one page of `device` through its scratchpad, reads the scratchpad to find it as
    // sent, copies it to EEPROM and reads it back (recall, read with CRC). `device` is selected
    // by its ROM before every access, also after a retry's rescan has made another device
    // current, so the page reaches that device or none. A failed step, or a read that is not
    // intact or not what was meant, fails the attempt, and the retry rule runs it again from the
    // start after a pause and a rescan; when it allows no more, "Не удалось записать параметры"
    // is shown and the result is false. The poll timer is held off meanwhile and restored on
    // return.
    bool Write_HLT_Page(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                        const RomCode& device);

    // Writes the pages of `after` in the order of `steps`. When one cannot be written, every
    // page written so far (and the failed one) gets its bytes from `before` back, so the device
    // holds the old block or the new one; Mixed when that failed too.
    HltBlockOutcome WriteBlockPages(const RomCode& device, const HltBlock& before,
                                    const HltBlock& after, std::span<const HltPageStep> steps);

    // Seals the block in HLT_Buf (mark and CRC) for the device it was read from. Only a block
    // read intact from the device that the dialog's entry curIndxHLT still holds, and found
    // again unchanged by a second read, is sealed; otherwise the failure message is shown and
    // lastWriteFault says why.
    std::optional<HltSealedWrite> SealForWrite();
    // Writes the pages of a sealed block over the block as read; no value when a page failed
    // (lastBlockOutcome says what the device holds then).
    std::optional<HltSealedWrite> WriteSealed(const HltSealedWrite& write,
                                              std::span<const HltPageStep> steps);

    // Seals the block in HLT_Buf and writes its pages 3 and 6 (SealForWrite, WriteSealed).
    // Returns what was written; no value, after the failure message, when anything failed.
    std::optional<HltSealedWrite> WriteCrcHLT();

    // After every page of `write` was written and read back as meant: the device holds that
    // block, so a following write may start from it.
    void BlockHeld(const HltSealedWrite& write);

    HltWriteFault lastWriteFault() const { return lastWriteFault_; }
    HltBlockOutcome lastBlockOutcome() const { return lastBlockOutcome_; }

    HltState& state() { return state_; }
    Host& host() { return bus_.host(); }

  private:
    // The ROM code of entry `index` when it holds a multisensor.
    std::optional<RomCode> MultisensorRom(int16_t index) const;
    bool MakeCurrent(const RomCode& rom);
    bool MakeEntryCurrent(int16_t index);
    bool Select();
    // False when the adapter failed the byte.
    bool Send(uint8_t byte);
    // A function command with its data in one block, so that nothing comes between them; the
    // bytes read replace those sent. False when the adapter failed it.
    bool Exchange(std::span<uint8_t> block);
    bool SendPageCommand(uint8_t command, uint8_t page);
    // Nine bytes read: a page and its CRC.
    bool ReceivePage(ds2438::PageRead& dest);
    // Read Scratchpad of `page` and its nine bytes, as one block.
    bool ReadScratchpadPage(uint8_t page, ds2438::PageRead& dest);
    bool SessionValid();

    bool WaitForConversions(ds2438::PageRead& page0);
    void ToggleVoltageInput(uint8_t status, ds2438::PageRead& scratch);
    bool ReadConfiguration(ControlSurface& dialog);
    // One page of `device`, read again while it fails its CRC, as the retry rule allows.
    bool ReadPageIntact(int16_t page, std::span<uint8_t, ds2438::kPageReadSize> dest,
                        const RomCode& device);
    // Pages 3 to 6 of `device` into `block`; true when every page was intact.
    bool ReadBlockPages(std::span<uint8_t, kHltBufSize> block, const RomCode& device);
    // Why the block in HLT_Buf may not be sealed now; None when it may.
    HltWriteFault CheckBlockBehindWrite();
    // Write_HLT_Page without its message.
    bool WritePage(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                   const RomCode& device);
    Attempt WritePageOnce(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                          const RomCode& device);
    HltBlockOutcome PutBack(const RomCode& device, const HLTConfig& oldPages,
                            const HLTConfig& newPages, const std::vector<int16_t>& touched);

    BusCore& bus_;
    PollControl& poll_;
    HltState& state_;
    HltWriteFault lastWriteFault_ = HltWriteFault::None;
    HltBlockOutcome lastBlockOutcome_ = HltBlockOutcome::Written;
    // The last WritePage sent a copy command in one of its attempts.
    bool copySent_ = false;
};

}  // namespace velgrin
