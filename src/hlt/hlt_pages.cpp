#include <algorithm>
#include <array>
#include <vector>

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

bool HltCore::Send(uint8_t byte) {
    return bus_.driver().TMTouchByte(bus_.SHandle, byte) >= 0;
}

bool HltCore::Exchange(std::span<uint8_t> block) {
    return bus_.driver().TMBlockIO(bus_.SHandle, block) == static_cast<int16_t>(block.size());
}

bool HltCore::SendPageCommand(uint8_t command, uint8_t page) {
    std::array<uint8_t, 2> block{command, page};
    return Exchange(block);
}

bool HltCore::ReceivePage(ds2438::PageRead& dest) {
    ds2438::PageRead block{};
    block.fill(0xFF);
    if (!Exchange(block)) {
        return false;
    }
    dest = block;
    return true;
}

bool HltCore::ReadScratchpadPage(uint8_t page, ds2438::PageRead& dest) {
    std::array<uint8_t, 2 + ds2438::kPageReadSize> block{};
    block.fill(0xFF);
    block[0] = ds2438::kReadScratchpad;
    block[1] = page;
    if (!Exchange(block)) {
        return false;
    }
    std::copy(block.begin() + 2, block.end(), dest.begin());
    return true;
}

bool HltCore::Read_HLT_Page(int16_t page, std::span<uint8_t, ds2438::kPageReadSize> dest) {
    const auto number = static_cast<uint8_t>(page);
    ds2438::PageRead read{};
    if (!Select() || !SendPageCommand(ds2438::kRecallMemory, number) || !Select() ||
        !ReadScratchpadPage(number, read)) {
        return false;
    }
    std::copy(read.begin(), read.end(), dest.begin());
    return TmexDriver::TMCRC(read, 0, 0) == 0;
}

bool HltCore::ReadPageIntact(int16_t page, std::span<uint8_t, ds2438::kPageReadSize> dest,
                             const RomCode& device) {
    return bus_.retries.run(host(), [&] {
        return DoneOr(MakeCurrent(device) && Read_HLT_Page(page, dest));
    }) == Attempt::Done;
}

bool HltCore::ReadBlockPages(std::span<uint8_t, kHltBufSize> block, const RomCode& device) {
    bool intact = true;
    for (int16_t page = kHltFirstPage; page <= kHltLastPage; ++page) {
        const auto offset = static_cast<std::size_t>(page - kHltFirstPage) * kHltPageSize;
        // Each read's ninth (CRC) byte is overwritten by the next page.
        intact = ReadPageIntact(page,
                                std::span<uint8_t, ds2438::kPageReadSize>(block.data() + offset,
                                                                          ds2438::kPageReadSize),
                                device) &&
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
    // Each page read selects the device itself, and is repeated when a reply is garbled.
    if (!MakeCurrent(state_.blockRom) || !SessionValid() ||
        !ReadBlockPages(again, state_.blockRom) ||
        !std::equal(state_.readBlock.begin(), state_.readBlock.end(), again.begin())) {
        return HltWriteFault::BlockNotConfirmed;
    }
    return HltWriteFault::None;
}

Attempt HltCore::WritePageOnce(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                               const RomCode& device) {
    const auto number = static_cast<uint8_t>(page);
    std::array<uint8_t, 2 + kHltPageSize> write{ds2438::kWriteScratchpad, number};
    std::copy(SArr.begin(), SArr.end(), write.begin() + 2);
    if (!MakeCurrent(device) || !Select() || !Exchange(write)) {
        return Attempt::Repeatable;
    }
    // The data bytes' waits follow the block, which nothing may split.
    for (std::size_t byte = 0; byte < kHltPageSize; ++byte) {
        host().sleep(kScratchpadByteWaitMs);
    }
    // Only a scratchpad that holds the page as sent is copied: a byte garbled on its way, or a
    // sequence the adapter broke off, never reaches the EEPROM.
    ds2438::PageRead scratchpad{};
    if (!Select() || !ReadScratchpadPage(number, scratchpad) ||
        TmexDriver::TMCRC(scratchpad, 0, 0) != 0 ||
        !std::equal(SArr.begin(), SArr.end(), scratchpad.begin()) || !Select()) {
        return Attempt::Repeatable;
    }
    // From the copy command on, whether the EEPROM changed is known only by reading it: a copy
    // whose echo failed may still have run.
    copySent_ = true;
    (void)SendPageCommand(ds2438::kCopyScratchpad, number);
    host().sleep(kCopyWaitMs);
    ds2438::PageRead readBack{};
    return DoneOr(ReadPageIntact(page, readBack, device) &&
                  std::equal(SArr.begin(), SArr.end(), readBack.begin()));
}

bool HltCore::WritePage(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                        const RomCode& device) {
    PollTimerHold hold(poll_);
    copySent_ = false;
    return bus_.retries.run(
               host(), [&] { return WritePageOnce(page, SArr, device); },
               [&] {
                   host().sleep(kRetryWaitMs);
                   // A rescan that fails leaves the next attempt to fail at its selection.
                   (void)poll_.ScanNetwork();
               }) == Attempt::Done;
}

bool HltCore::Write_HLT_Page(int16_t page, std::span<const uint8_t, kHltPageSize> SArr,
                             const RomCode& device) {
    if (WritePage(page, SArr, device)) {
        return true;
    }
    lastWriteFault_ = HltWriteFault::NotVerified;
    host().showMessage(kHltWriteFailedMessage);
    return false;
}

HltBlockOutcome HltCore::WriteBlockPages(const RomCode& device, const HltBlock& before,
                                         const HltBlock& after,
                                         std::span<const HltPageStep> steps) {
    HltBlock oldBytes = before;
    HltBlock newBytes = after;
    const HLTConfig oldPages(oldBytes);
    const HLTConfig newPages(newBytes);
    std::vector<int16_t> touched;
    for (const HltPageStep& step : steps) {
        if (step.pauseMs > 0) {
            host().sleep(step.pauseMs);
        }
        if (!Write_HLT_Page(step.page, newPages.page(step.page), device)) {
            // A page that never got as far as a copy command still holds its old bytes.
            if (copySent_) {
                touched.push_back(step.page);
            }
            return PutBack(device, oldPages, newPages, touched);
        }
        touched.push_back(step.page);
    }
    return lastBlockOutcome_ = HltBlockOutcome::Written;
}

// A failed page whose copy command went out may have been copied all the same, so it is put back
// too; a page the write did not change needs nothing. A page that cannot be put back either means
// the device has left: the rest would only fail the same way.
HltBlockOutcome HltCore::PutBack(const RomCode& device, const HLTConfig& oldPages,
                                 const HLTConfig& newPages, const std::vector<int16_t>& touched) {
    bool back = true;
    for (auto page = touched.rbegin(); back && page != touched.rend(); ++page) {
        const auto oldPage = oldPages.page(*page);
        const auto newPage = newPages.page(*page);
        if (!std::equal(oldPage.begin(), oldPage.end(), newPage.begin())) {
            back = WritePage(*page, oldPage, device);
        }
    }
    if (!back) {
        host().showMessage(kHltBlockMixedMessage);
        return lastBlockOutcome_ = HltBlockOutcome::Mixed;
    }
    return lastBlockOutcome_ = HltBlockOutcome::OldBlockBack;
}

std::optional<HltSealedWrite> HltCore::SealForWrite() {
    lastWriteFault_ = CheckBlockBehindWrite();
    lastBlockOutcome_ = HltBlockOutcome::OldBlockBack;
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
    return write;
}

std::optional<HltSealedWrite> HltCore::WriteSealed(const HltSealedWrite& write,
                                                   std::span<const HltPageStep> steps) {
    if (WriteBlockPages(write.device, state_.readBlock, write.block, steps) !=
        HltBlockOutcome::Written) {
        return std::nullopt;
    }
    return write;
}

std::optional<HltSealedWrite> HltCore::WriteCrcHLT() {
    const auto write = SealForWrite();
    if (!write) {
        return std::nullopt;
    }
    constexpr std::array<HltPageStep, 2> kSealPages{{{kHltFirstPage, 0}, {kHltLastPage, 0}}};
    return WriteSealed(*write, kSealPages);
}

void HltCore::BlockHeld(const HltSealedWrite& write) {
    state_.readBlock = write.block;
    state_.blockRom = write.device;
    state_.blockIntact = true;
}

}  // namespace velgrin
