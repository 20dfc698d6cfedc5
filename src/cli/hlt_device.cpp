#include "cli/hlt_device.h"

#include <algorithm>
#include <array>

#include "cli/device_kind.h"
#include "cli/rom_arguments.h"
#include "hlt/hlt_controls.h"
#include "thermo/list_lookup.h"

namespace velgrin::cli {

CliResult<std::unique_ptr<HltDevice>> HltDevice::Find(BenchSession& session,
                                                      const std::string& rom) {
    BusCore& core = session.core();
    const auto index = FindOnBus(core, rom);
    if (!index) {
        return index.error();
    }
    const CurrentSens& sens = core.Asens[static_cast<size_t>(*index)];
    if (sens.Family != device_group::kHlt) {
        return UsageError(
            rom + " is not an HLT multisensor (it is: " + DeviceKind(FamilyCode(sens)) + ")");
    }
    return std::unique_ptr<HltDevice>(new HltDevice(session, rom, *index));
}

HltDevice::HltDevice(BenchSession& session, std::string rom, int index)
    : session_(session),
      rom_(std::move(rom)),
      index_(index),
      poll_(session.core()),
      core_(session.core(), poll_, state_),
      messagesTaken_(session.host().messages.size()) {
    state_.curIndxHLT = static_cast<int16_t>(index);
}

CliResult<void> HltDevice::Read() {
    // Measuring and reading again is harmless; a garbled reply spoils one round.
    CliResult<void> last;
    // The last round's outcome is the answer.
    (void)session_.core().retries.run(session_.host(), [&] {
        last = ReadOnce();
        return DoneOr(last.ok());
    });
    return last;
}

CliResult<void> HltDevice::ReadOnce() {
    dialog_.setText(hlt_control::lblCurrentT, "");
    dialog_.setText(hlt_control::edtTupLimit, "");
    core_.getValueHLT(static_cast<int16_t>(index_), dialog_);
    if (dialog_.text(hlt_control::lblCurrentT).empty()) {
        return DeviceError("the multisensor " + rom_ + " did not answer its measurement");
    }
    if (dialog_.text(hlt_control::edtTupLimit).empty()) {
        return DeviceError("the multisensor " + rom_ + " did not answer the configuration read");
    }
    if (!state_.blockIntact || RomText(state_.blockRom) != rom_) {
        return DeviceError("the configuration block of " + rom_ +
                           " could not be read intact (a page failed its CRC check)");
    }
    return {};
}

CliResult<HltBlock> HltDevice::ReadBlock() {
    HltBlock block{};
    for (int16_t page = kHltFirstPage; page <= kHltLastPage; ++page) {
        ds2438::PageRead read{};
        const Attempt end = session_.core().retries.run(session_.host(), [&] {
            return DoneOr(Hex2Rom(session_.core(), rom_) && core_.Read_HLT_Page(page, read));
        });
        if (end != Attempt::Done) {
            return DeviceError("page " + std::to_string(page) + " of " + rom_ +
                               " could not be read intact (no answer or a bad CRC)");
        }
        std::copy_n(read.begin(), kHltPageSize,
                    block.begin() + static_cast<long>((page - kHltFirstPage) * kHltPageSize));
    }
    return block;
}

CliResult<void> HltDevice::WritePages(const HltBlock& block) {
    // What the device holds now is what a failed write puts back.
    const auto before = ReadBlock();
    if (!before) {
        return DeviceError(before.error().message + "; nothing written");
    }
    constexpr std::array<HltPageStep, 4> kPages{{{3, 0}, {4, 0}, {5, 0}, {6, 0}}};
    // How the write went is in the messages and lastWriteFault(), which the command reports.
    (void)core_.WriteBlockPages(*ParseRomText(rom_), *before, block, kPages);
    return {};
}

std::vector<std::string> HltDevice::takeMessages() {
    const auto& all = session_.host().messages;
    std::vector<std::string> fresh(all.begin() + static_cast<long>(messagesTaken_), all.end());
    messagesTaken_ = all.size();
    return fresh;
}

HltBlock BlockOf(const HltState& state) {
    HltBlock block{};
    std::copy_n(state.HLT_Buf.begin(), kHltBlockSize, block.begin());
    return block;
}

}  // namespace velgrin::cli
