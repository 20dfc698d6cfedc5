#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/english_text.h"
#include "cli/rom_arguments.h"
#include "cli/text_table.h"
#include "cli/thermometer_reading.h"
#include "cli/thermometer_targets.h"
#include "common/number_text.h"

namespace velgrin::cli {

namespace {

const std::vector<size_t> kColumns{5, 16, 11, 4};

}  // namespace

CliResult<ExitStatus> RunTemp(CommandContext& context) {
    const auto scanned = ScanThermometerTargets(context);
    if (!scanned) {
        return scanned.error();
    }
    BenchSession* const session = scanned->session;
    BusCore& core = session->core();
    const std::vector<int>& targets = scanned->targets;

    Thermometers thermometers(core);
    ExitStatus status = ExitStatus::kSuccess;
    nlohmann::json readings = nlohmann::json::array();
    std::string text = TableRow({"index", "ROM", "temperature", "TH", "TL"}, kColumns);
    for (const int index : targets) {
        const std::string rom = core.Asens[static_cast<size_t>(index)].ROMS;
        nlohmann::json entry{{"index", index}, {"rom", rom}};
        const auto reading = MeasureThermometer(core, thermometers, index);
        if (!reading) {
            status = ExitStatus::kFailure;
            entry["error"] = "no intact scratchpad came back (no answer or a bad CRC)";
            text += TableRow({IndexText(index), rom, "no answer"}, kColumns);
        } else {
            entry["temperature"] = reading->temperature;
            entry["th"] = static_cast<int>(reading->th);
            entry["tl"] = static_cast<int>(reading->tl);
            text += TableRow({IndexText(index), rom, FormatDotNumber(reading->temperature) + " C",
                              FormatDotNumber(reading->th), FormatDotNumber(reading->tl)},
                             kColumns);
        }
        readings.push_back(entry);
    }
    if (targets.empty()) {
        text = "no thermometers on the bus\n";
    }
    context.output().result({{"thermometers", readings}}, text);
    return status;
}

}  // namespace velgrin::cli
