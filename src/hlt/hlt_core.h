#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/control_surface.h"
#include "common/host.h"
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

// Why the last write or seal of the configuration did not complete.
enum class HltWriteFault {
    None,
    BlockNotIntact,     // the block behind it was not read intact
    DeviceMoved,        // the dialog's table entry no longer holds the device the block came from
    BlockNotConfirmed,  // reading the block again did not give the same bytes
    NotVerified,        // a page could not be written and read back as meant, retries and all
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

    // Writes one page of `device` through its scratchpad, copies it to EEPROM and reads it back
    // (recall, read with CRC). `device` is selected by its ROM before every access, also after
    // a retry's rescan has made another device current, so the page reaches that device or
    // none. A failed access or a read-back that is not intact or not what was meant is a failed
    // attempt; after five retries "Не удалось записать параметры" is shown and the result is
    // false. The poll timer is held off meanwhile and restored on return.
    bool Write_HLT_Page(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                        const RomCode& device);

    // Seals the block in HLT_Buf (mark and CRC) and writes its pages 3 and 6 to the device the
    // block was read from. Only a block read intact from the device that the dialog's entry
    // curIndxHLT still holds, and found again unchanged by a second read, is sealed. Returns
    // what was written, for the caller's pages 4 and 5; no value, after the failure message
    // (shown once), when anything failed (lastWriteFault says what).
    std::optional<HltSealedWrite> WriteCrcHLT();

    // After every page of `write` was written and read back as meant: the device holds that
    // block, so a following write may start from it.
    void BlockHeld(const HltSealedWrite& write);

    HltWriteFault lastWriteFault() const { return lastWriteFault_; }

    HltState& state() { return state_; }
    Host& host() { return bus_.host(); }

  private:
    // The ROM code of entry `index` when it holds a multisensor.
    std::optional<RomCode> MultisensorRom(int16_t index) const;
    bool MakeCurrent(const RomCode& rom);
    bool MakeEntryCurrent(int16_t index);
    bool Select();
    void Send(uint8_t byte);
    uint8_t Receive();
    void ReceivePage(ds2438::PageRead& dest);
    bool SessionValid();

    bool WaitForConversions(ds2438::PageRead& page0);
    void ToggleVoltageInput(uint8_t status, ds2438::PageRead& scratch);
    bool ReadConfiguration(ControlSurface& dialog);
    // Pages 3 to 6 of the current device into `block`; true when every page was intact.
    bool ReadBlockPages(std::span<uint8_t, kHltBufSize> block);
    // Why the block in HLT_Buf may not be sealed now; None when it may.
    HltWriteFault CheckBlockBehindWrite();
    bool WritePageOnce(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                       const RomCode& device);

    BusCore& bus_;
    PollControl& poll_;
    HltState& state_;
    HltWriteFault lastWriteFault_ = HltWriteFault::None;
};

}  // namespace velgrin
