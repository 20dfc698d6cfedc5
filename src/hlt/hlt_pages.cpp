#include <algorithm>
#include <array>

#include "hlt/crc_hlt.h"
#include "hlt/hlt_core.h"
#include "wire/device_table.h"

namespace velgrin {

namespace {

constexpr int kAccessRetries = 5;
constexpr uint32_t kRetryWaitMs = 300;
constexpr uint32_t kScratchpadByteWaitMs = 10;
constexpr uint32_t kCopyWaitMs = 700;

// Keeps the poll from starting between the steps of a page write; gives the timer back its
// earlier state on every way out.
class PollTimerHold {
  public:
    explicit PollTimerHold(PollControl& poll) : poll_(poll), wasEnabled_(poll.pollTimerEnabled()) {
        poll_.setPollTimerEnabled(false);
    }
    ~PollTimerHold() { poll_.setPollTimerEnabled(wasEnabled_); }
    PollTimerHold(const PollTimerHold&) = delete;
    PollTimerHold& operator=(const PollTimerHold&) = delete;

  private:
    PollControl& poll_;
    bool wasEnabled_;
};

}  // namespace

std::optional<RomCode> HltCore::MultisensorRom(int16_t index) const {
    if (index < 0 || index >= kDeviceTableSize) {
        return std::nullopt;
    }
    const auto& words = bus_.Asens[static_cast<std::size_t>(index)].ROM;
    if (words[0] != family_code::kDs2438) {
        return std::nullopt;
    }
    RomCode rom{};
    std::transform(words.begin(), words.begin() + rom.size(), rom.begin(),
                   [](int16_t word) { return static_cast<uint8_t>(word); });
    return rom;
}

bool HltCore::MakeCurrent(const RomCode& rom) {
    // The driver takes a leading zero word as "read the current ROM", which would leave another
    // device addressed.
    if (rom[0] == 0) {
        return false;
    }
    std::array<int16_t, 8> words{};
    std::copy(rom.begin(), rom.end(), words.begin());
    return bus_.driver().TMRom(bus_.SHandle, bus_.StateBuf, words) > 0;
}

bool HltCore::MakeEntryCurrent(int16_t index) {
    // An entry that holds no multisensor is not reachable: selecting it would address whatever
    // device happened to be current.
    const auto rom = MultisensorRom(index);
    return rom && MakeCurrent(*rom);
}

bool HltCore::Select() {
    return bus_.driver().TMStrongAccess(bus_.SHandle, bus_.StateBuf) > 0;
}

bool HltCore::SessionValid() {
    return bus_.driver().TMValidSession(bus_.SHandle) > 0;
}

void HltCore::Send(uint8_t byte) {
    (void)bus_.driver().TMTouchByte(bus_.SHandle, byte);
}

uint8_t HltCore::Receive() {
    return static_cast<uint8_t>(bus_.driver().TMTouchByte(bus_.SHandle, 0xFF));
}

void HltCore::ReceivePage(ds2438::PageRead& dest) {
    for (auto& byte : dest) {
        byte = Receive();
    }
}

bool HltCore::Read_HLT_Page(int16_t page, std::span<uint8_t, ds2438::kPageReadSize> dest) {
    if (!Select()) {
        return false;
    }
    Send(ds2438::kRecallMemory);
    Send(static_cast<uint8_t>(page));
    if (!Select()) {
        return false;
    }
    Send(ds2438::kReadScratchpad);
    Send(static_cast<uint8_t>(page));
    ds2438::PageRead read{};
    ReceivePage(read);
    std::copy(read.begin(), read.end(), dest.begin());
    return TmexDriver::TMCRC(read, 0, 0) == 0;
}

bool HltCore::ReadBlockPages(std::span<uint8_t, kHltBufSize> block) {
    bool intact = true;
    for (int16_t page = kHltFirstPage; page <= kHltLastPage; ++page) {
        const auto offset = static_cast<std::size_t>(page - kHltFirstPage) * kHltPageSize;
        // Each read's ninth (CRC) byte is overwritten by the next page.
        intact = Read_HLT_Page(page, std::span<uint8_t, ds2438::kPageReadSize>(
                                         block.data() + offset, ds2438::kPageReadSize)) &&
                 intact;
    }
    return intact;
}

HltWriteFault HltCore::CheckBlockBehindWrite() {
    if (!state_.blockIntact) {
        return HltWriteFault::BlockNotIntact;
    }
    // A rescan since the read may have given the entry to another multisensor.
    const auto entry = MultisensorRom(state_.curIndxHLT);
    if (!entry || *entry != state_.blockRom) {
        return HltWriteFault::DeviceMoved;
    }
    std::array<uint8_t, kHltBufSize> again{};
    if (!MakeCurrent(state_.blockRom) || !SessionValid() || !Select() || !ReadBlockPages(again) ||
        !std::equal(state_.readBlock.begin(), state_.readBlock.end(), again.begin())) {
        return HltWriteFault::BlockNotConfirmed;
    }
    return HltWriteFault::None;
}

bool HltCore::WritePageOnce(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                            const RomCode& device) {
    if (!MakeCurrent(device) || !Select()) {
        return false;
    }
    Send(ds2438::kWriteScratchpad);
    Send(static_cast<uint8_t>(page));
    for (uint8_t byte : SArr) {
        Send(byte);
        host().sleep(kScratchpadByteWaitMs);
    }
    if (!MakeCurrent(device) || !Select()) {
        return false;
    }
    Send(ds2438::kCopyScratchpad);
    Send(static_cast<uint8_t>(page));
    host().sleep(kCopyWaitMs);
    // What the EEPROM holds now, not what the scratchpad was meant to carry.
    ds2438::PageRead readBack{};
    return MakeCurrent(device) && Read_HLT_Page(page, readBack) &&
           std::equal(SArr.begin(), SArr.end(), readBack.begin());
}

bool HltCore::Write_HLT_Page(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                             const RomCode& device) {
    PollTimerHold hold(poll_);
    for (int retries = 0;; ++retries) {
        if (WritePageOnce(page, SArr, device)) {
            return true;
        }
        if (retries == kAccessRetries) {
            lastWriteFault_ = HltWriteFault::NotVerified;
            host().showMessage(kHltWriteFailedMessage);
            return false;
        }
        host().sleep(kRetryWaitMs);
        (void)poll_.ScanNetwork();
    }
}

std::optional<HltSealedWrite> HltCore::WriteCrcHLT() {
    lastWriteFault_ = CheckBlockBehindWrite();
    if (lastWriteFault_ != HltWriteFault::None) {
        host().showMessage(kHltWriteFailedMessage);
        return std::nullopt;
    }
    SealHltBlock(state_.HLTS);
    // A retry's rescan may re-read the configuration into HLT_Buf; the pages still go out as
    // sealed here, and only to the device they were read from.
    HltSealedWrite write{state_.blockRom, {}};
    std::copy_n(state_.HLT_Buf.begin(), kHltBlockSize, write.block.begin());
    // Whatever happens now, the device no longer holds the block as read: the next write needs
    // a fresh read.
    state_.blockIntact = false;
    HLTConfig sealed(write.block);
    if (!Write_HLT_Page(kHltFirstPage, sealed.page(kHltFirstPage), write.device) ||
        !Write_HLT_Page(kHltLastPage, sealed.page(kHltLastPage), write.device)) {
        return std::nullopt;
    }
    return write;
}

void HltCore::BlockHeld(const HltSealedWrite& write) {
    state_.readBlock = write.block;
    state_.blockRom = write.device;
    state_.blockIntact = true;
}

}  // namespace velgrin
