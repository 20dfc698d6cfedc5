#include "cli/hex_bytes.h"
#include "cli/hlt_block_file.h"
#include "cli/hlt_commands.h"
#include "hlt/crc_hlt.h"

namespace velgrin::cli {

CliResult<ExitStatus> RunHltDump(CommandContext& context) {
    auto device = NamedHlt(context);
    if (!device) {
        return device.error();
    }
    HltDevice& hlt = **device;
    const auto block = hlt.ReadBlock();
    if (!block) {
        return block.error();
    }
    HltBlock bytes = *block;
    const bool crcOk = HltBlockCrcMatches(HLTConfig(bytes));
    context.output().result(
        {{"rom", hlt.rom()},
         {"bytes", HexText(bytes)},
         {"crc_ok", crcOk},
         {"never_configured", BlockState(HLTConfig(bytes)) == HltBlockState::NeverConfigured}},
        BlockDumpText(hlt.rom(), bytes));
    return ExitStatus::kSuccess;
}

CliResult<ExitStatus> RunHltRestore(CommandContext& context) {
    const auto path = context.options().value("--file");
    if (!path) {
        return UsageError("--file is needed: the block as `hlt dump` wrote it");
    }
    auto backup = ReadBlockFile(*path);
    if (!backup) {
        return backup.error();
    }
    auto device = NamedHlt(context);
    if (!device) {
        return device.error();
    }
    HltDevice& hlt = **device;
    // Another device's calibration would make this one measure wrongly.
    if (!backup->rom.empty() && backup->rom != hlt.rom() &&
        !context.options().has("--other-device")) {
        return UsageError(*path + " is the backup of " + backup->rom + ", not of " + hlt.rom() +
                          "; give --other-device to write it into " + hlt.rom() + " all the same");
    }
    HltBlock block = backup->block;
    const bool crcOk = HltBlockCrcMatches(HLTConfig(block));
    if (!crcOk) {
        context.output().warning("the block's CRC does not match: the device will not trust it");
    }
    // The read's messages were the read's; this command reports its write's.
    (void)hlt.takeMessages();
    if (auto written = hlt.WritePages(block); !written) {
        return written.error();
    }
    if (auto outcome =
            WriteOutcome(hlt.takeMessages(), context.output(), hlt.core().lastWriteFault());
        !outcome) {
        return outcome.error();
    }
    if (auto verified = VerifyBlock(hlt, block); !verified) {
        return verified.error();
    }
    context.output().result(
        {{"rom", hlt.rom()}, {"bytes", HexText(block)}, {"crc_ok", crcOk}, {"verified", true}},
        "restored the block of " + hlt.rom() + " and read it back\n");
    return ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
