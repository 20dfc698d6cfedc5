#include "cli/english_text.h"
#include "cli/hex_bytes.h"
#include "cli/hlt_commands.h"
#include "cli/rom_arguments.h"

namespace velgrin::cli {

CliResult<std::unique_ptr<HltDevice>> NamedHlt(CommandContext& context) {
    if (auto words = ExpectWords(context, 1, 1, "the ROM text of the multisensor"); !words) {
        return words.error();
    }
    const auto roms = RomArguments(context.words());
    if (!roms) {
        return roms.error();
    }
    auto session = ScannedSession(context);
    if (!session) {
        return session.error();
    }
    return HltDevice::Find(**session, roms->front());
}

namespace {

std::string FaultText(HltWriteFault fault) {
    switch (fault) {
        case HltWriteFault::BlockNotIntact:
            return "the configuration block was not read intact; nothing written";
        case HltWriteFault::DeviceMoved:
            return "the multisensor is no longer the device the block was read from; nothing "
                   "written";
        case HltWriteFault::BlockNotConfirmed:
            return "a second read of the configuration block did not give the same bytes; "
                   "nothing written";
        case HltWriteFault::NotVerified:
            return "the multisensor did not answer the page write, or the page did not read back "
                   "as written, retries and all; any page written before it was put back, so it "
                   "holds its old block";
        case HltWriteFault::None:
            break;
    }
    return EnglishText(kHltWriteFailedMessage);
}

}  // namespace

CliResult<void> WriteOutcome(const std::vector<std::string>& messages, Output& output,
                             HltWriteFault fault) {
    bool failed = false;
    bool mixed = false;
    for (const std::string& message : messages) {
        if (message == kHltWriteFailedMessage) {
            failed = true;
        } else if (message == kHltBlockMixedMessage) {
            mixed = true;
        } else {
            output.warning(EnglishText(message));
        }
    }
    if (mixed) {
        return DeviceError(EnglishText(kHltBlockMixedMessage));
    }
    if (failed) {
        return DeviceError(FaultText(fault));
    }
    return {};
}

CliResult<void> VerifyBlock(HltDevice& device, const HltBlock& written) {
    const auto read = device.ReadBlock();
    if (!read) {
        return DeviceError("read-back: " + read.error().message);
    }
    for (size_t i = 0; i < written.size(); ++i) {
        if ((*read)[i] != written[i]) {
            return DeviceError("read-back: block byte " + std::to_string(i) + " (page " +
                               std::to_string(kHltFirstPage + i / kHltPageSize) + ") holds " +
                               HexText(std::span((*read).data() + i, 1)) + ", not " +
                               HexText(std::span(written.data() + i, 1)));
        }
    }
    return {};
}

}  // namespace velgrin::cli
