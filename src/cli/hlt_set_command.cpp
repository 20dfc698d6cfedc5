#include "cli/english_text.h"
#include "cli/hlt_commands.h"
#include "cli/hlt_fields.h"
#include "cli/hlt_set_rules.h"
#include "cli/hlt_settings_input.h"
#include "hlt/settings_write.h"

namespace velgrin::cli {

CliResult<void> WriteHltInput(HltDevice& hlt, const HltSettingsInput& input, Output& output) {
    // The dialog opens on what the device holds; what the input does not name stays so.
    if (auto read = hlt.Read(); !read) {
        return read.error();
    }
    // The read's messages were the read's; this write reports its own.
    (void)hlt.takeMessages();
    HLTConfig& block = hlt.state().HLTS;
    const auto types = TypesAfterSet(input, block);
    if (auto inUse = CheckOptionsInUse(input, types); !inUse) {
        return inUse.error();
    }
    if (auto whole = CheckUntrustedBlockGivenWhole(input, block, types, hlt.rom()); !whole) {
        return whole.error();
    }
    if (auto stored = StoreUnusedFileFields(input, types, block); !stored) {
        return stored.error();
    }
    EnterHltSettings(input, hlt.dialog(), block);

    bool flgEditHLT = false;
    const char* refusedEdit = nullptr;
    const bool written = WriteHltSettings(hlt.dialog(), hlt.core(), flgEditHLT, &refusedEdit);
    auto messages = hlt.takeMessages();
    if (!written) {
        // The check that stopped the write showed its message last; any before it were warnings.
        std::string refusal =
            messages.empty() ? "the settings were refused" : EnglishText(messages.back());
        if (!messages.empty()) {
            messages.pop_back();
        }
        if (refusedEdit != nullptr && !input.edits.contains(refusedEdit)) {
            refusal = StoredValueRefusal(refusal, refusedEdit, block);
        }
        // Only its warnings count here: the refusal is the write's error.
        (void)WriteOutcome(messages, output, hlt.core().lastWriteFault());
        return UsageError(refusal + "; nothing written");
    }
    if (auto outcome = WriteOutcome(messages, output, hlt.core().lastWriteFault()); !outcome) {
        return outcome.error();
    }
    return VerifyBlock(hlt, BlockOf(hlt.state()));
}

CliResult<ExitStatus> RunHltSet(CommandContext& context) {
    const auto input = ReadHltSettings(context.options());
    if (!input) {
        return input.error();
    }
    if (input->empty()) {
        return UsageError("nothing to set: give --file CONFIG.json or options per field");
    }
    auto device = NamedHlt(context);
    if (!device) {
        return device.error();
    }
    HltDevice& hlt = **device;
    if (auto written = WriteHltInput(hlt, *input, context.output()); !written) {
        return written.error();
    }
    const nlohmann::json config = HltConfigJson(hlt.state().HLTS);
    context.output().result(
        {{"rom", hlt.rom()}, {"config", config}, {"verified", true}},
        "written to " + hlt.rom() + " and read back:\n" + HltConfigText(config));
    return ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
