#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/devices_beyond_table.h"
#include "cli/english_text.h"
#include "cli/last_list.h"
#include "cli/text_table.h"

namespace velgrin::cli {

namespace {

const std::vector<size_t> kColumns{5, 16, 6, 5, 35};

}  // namespace

CliResult<ExitStatus> RunList(CommandContext& context) {
    if (auto words = ExpectWords(context, 0, 0, ""); !words) {
        return words.error();
    }
    auto session = ScannedSession(context);
    if (!session) {
        return session.error();
    }
    BusCore& core = (*session)->core();

    nlohmann::json devices = nlohmann::json::array();
    std::vector<std::string> roms;
    std::string table = TableRow({"index", "ROM", "family", "group", "kind", "subtype"}, kColumns);
    for (int i = 0; i < core.FoundDev; ++i) {
        const CurrentSens& sens = core.Asens[static_cast<size_t>(i)];
        const std::string& probed = core.subtypeNames[static_cast<size_t>(i)];
        const std::string subtype = probed.empty() ? "" : EnglishText(probed);
        const uint8_t family = FamilyCode(sens);
        roms.push_back(sens.ROMS);
        devices.push_back(
            {{"index", i},
             {"rom", sens.ROMS},
             {"family", FamilyText(family)},
             {"group", sens.Family},
             {"kind", DeviceKind(family)},
             {"subtype", probed.empty() ? nlohmann::json() : nlohmann::json(subtype)}});
        table += TableRow({IndexText(i), sens.ROMS, FamilyText(family), std::to_string(sens.Family),
                           DeviceKind(family), subtype},
                          kColumns);
    }

    const std::string& serial = core.SNADAPTERS;
    const std::string beyond = DevicesBeyondTable(core);
    const nlohmann::json document{
        {"adapter_serial", serial.empty() ? nlohmann::json() : nlohmann::json(serial)},
        {"devices", devices},
        {"devices_on_bus", core.devicesOnBus},
        {"complete", beyond.empty()}};
    std::string text =
        "adapter serial number: " + (serial.empty() ? std::string("none found") : serial) + "\n";
    text += core.FoundDev == 0 ? "no devices on the bus\n" : table;
    context.output().result(document, text);
    // The list itself succeeded; a cache that cannot be written only costs the completion.
    if (auto kept = KeepLastList(roms); !kept) {
        context.output().warning(kept.error());
    }
    if (!beyond.empty()) {
        context.output().warning("not all devices are listed: " + beyond);
        return ExitStatus::kFailure;
    }
    return ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
