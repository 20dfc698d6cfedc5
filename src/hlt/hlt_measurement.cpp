#include <algorithm>

#include "hlt/hlt_core.h"
#include "hlt/hlt_display.h"

namespace velgrin {

namespace {

constexpr uint32_t kRecallWaitMs = 10;
constexpr uint32_t kConfigCopyWaitMs = 100;

}  // namespace

bool HltCore::WaitForConversions(ds2438::PageRead& page0) {
    // A device that left the bus, or a conversion that never ends, would otherwise hold the
    // poll here for good.
    const uint32_t start = host().tickCount();
    const RomCode device = bus_.StateBuf.currentRom;
    bool converting = true;
    while (converting) {
        if (static_cast<uint32_t>(host().tickCount() - start) >= kHltConversionTimeoutMs) {
            return false;
        }
        if (Select()) {
            (void)SendPageCommand(ds2438::kRecallMemory, 0x00);
            host().sleep(kRecallWaitMs);
            // The page is read also when the selection failed; its CRC tells.
            if (Select()) {
                (void)ReadScratchpadPage(0x00, page0);
            } else {
                (void)ReceivePage(page0);
            }
            if (TmexDriver::TMCRC(page0, 0, 0) == 0 && (page0[0] & ds2438::kStatusBusy) == 0) {
                converting = false;
            }
        }
        host().processMessages();
        // A rescan run from the message pump leaves the session on the last device it found.
        if (!MakeCurrent(device)) {
            return false;
        }
    }
    return true;
}

void HltCore::ToggleVoltageInput(uint8_t status, ds2438::PageRead& scratch) {
    const uint8_t config =
        (status & ds2438::kStatusAD) ? ds2438::kConfigMeasureVad : ds2438::kConfigMeasureVdd;
    std::array<uint8_t, 3> write{ds2438::kWriteScratchpad, 0x00, config};
    const bool sent = Select() && Exchange(write);
    const bool readBack =
        Select() && ReadScratchpadPage(0x00, scratch) && TmexDriver::TMCRC(scratch, 0, 0) == 0;
    // The other bits of byte 0 are the chip's busy flags; a configuration garbled on its way is
    // never copied.
    if (sent && readBack && (scratch[0] & ds2438::kConfigBits) == config && Select()) {
        (void)SendPageCommand(ds2438::kCopyScratchpad, 0x00);
    }
    host().sleep(kConfigCopyWaitMs);
}

bool HltCore::getValueHLT(int16_t Indx, ControlSurface& dialog) {
    if (!MakeEntryCurrent(Indx) || !SessionValid() || !Select()) {
        return false;
    }
    // A second selection, the one the conversion follows; a device lost since fails the
    // conversion wait, which is checked.
    (void)Select();
    Send(ds2438::kConvertT);
    if (Select()) {
        Send(ds2438::kConvertV);
    }
    ds2438::PageRead page0{};
    if (!WaitForConversions(page0)) {
        return false;
    }
    // Leaves the device selected only; what is shown is the page already read.
    (void)Select();
    ShowTemperature(page0, state_, dialog);
    ShowVoltage(page0, state_, dialog);
    ShowCurrent(page0, state_, dialog);

    // Each cycle measures the other voltage input next, so both VDD and VAD stay fresh.
    ToggleVoltageInput(page0[0], page0);
    if (Select()) {
        Send(ds2438::kConvertV);
    }
    if (!WaitForConversions(page0)) {
        return false;
    }
    ShowVoltage(page0, state_, dialog);

    return ReadConfiguration(dialog);
}

bool HltCore::ReadConfiguration(ControlSurface& dialog) {
    const bool reachable = MakeEntryCurrent(state_.curIndxHLT) && SessionValid() && Select();
    if (reachable) {
        // The selection just above decided; the pages read below prove themselves by their CRCs.
        (void)Select();
        // A page with a bad CRC still delivers its bytes for the view, where the block CRC shows
        // the damage; such a block is never sealed or written back.
        state_.blockIntact = ReadBlockPages(state_.HLT_Buf, *MultisensorRom(state_.curIndxHLT));
        state_.blockRom = *MultisensorRom(state_.curIndxHLT);
        std::copy_n(state_.HLT_Buf.begin(), kHltBlockSize, state_.readBlock.begin());
        ShowConfiguration(state_, dialog);
    }
    host().processMessages();
    return reachable;
}

}  // namespace velgrin
