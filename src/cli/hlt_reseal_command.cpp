#include "cli/hex_bytes.h"
#include "cli/hlt_commands.h"
#include "hlt/crc_hlt.h"

namespace velgrin::cli {

CliResult<ExitStatus> RunHltReseal(CommandContext& context) {
    auto device = NamedHlt(context);
    if (!device) {
        return device.error();
    }
    HltDevice& hlt = **device;
    // "Записать CRC" seals whatever HLT_Buf holds; when the read got no answer that would be
    // nothing of this device, so the tool stops there.
    if (auto read = hlt.Read(); !read) {
        return read.error();
    }
    const bool crcWasOk = HltBlockCrcMatches(hlt.state().HLTS);
    // The read's messages were the read's; the write's outcome is in its messages and fault.
    (void)hlt.takeMessages();
    (void)hlt.core().WriteCrcHLT();
    if (auto outcome =
            WriteOutcome(hlt.takeMessages(), context.output(), hlt.core().lastWriteFault());
        !outcome) {
        return outcome.error();
    }
    const HltBlock sealed = BlockOf(hlt.state());
    if (auto verified = VerifyBlock(hlt, sealed); !verified) {
        return verified.error();
    }
    context.output().result(
        {{"rom", hlt.rom()}, {"crc_was_ok", crcWasOk}, {"bytes", HexText(sealed)}},
        "resealed " + hlt.rom() + " (its CRC " + (crcWasOk ? "matched" : "did not match") +
            " before); the block now reads back with a matching CRC\n");
    return ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
