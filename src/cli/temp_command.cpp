#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/devices_beyond_table.h"
#include "cli/english_text.h"
#include "cli/rom_arguments.h"
#include "cli/text_table.h"
#include "cli/thermometer_reading.h"
#include "cli/thermometer_targets.h"
#include "common/number_text.h"

namespace velgrin::cli {

namespace {

const std::vector<size_t> kColumns{5, 16, 11, 4};

// The table keeps its short word for a silent device.
std::string FailureCell(const ThermometerReading& reading) {
    return reading.state == ThermometerReading::State::NoAnswer ? "no answer"
                                                                : ReadingProblem(reading);
}

}  // namespace

CliResult<ExitStatus> RunTemp(CommandContext& context) {
    const auto scanned = ScanThermometerTargets(context);
    if (!scanned) {
        return scanned.error();
    }
    BusCore& core = scanned->session->core();
    const std::vector<int>& targets = scanned->targets;
    const Sequence sequence =
        context.options().has("--one-by-one") ? Sequence::OneByOne : Sequence::Together;
    const std::vector<ThermometerReading> measured = MeasureThermometers(core, targets, sequence);

    ExitStatus status = ExitStatus::kSuccess;
    nlohmann::json readings = nlohmann::json::array();
    std::string text = TableRow({"index", "ROM", "temperature", "TH", "TL"}, kColumns);
    for (size_t i = 0; i < targets.size(); ++i) {
        const int index = targets[i];
        const ThermometerReading& reading = measured[i];
        const std::string rom = core.Asens[static_cast<size_t>(index)].ROMS;
        nlohmann::json entry{{"index", index}, {"rom", rom}};
        if (reading.state != ThermometerReading::State::Measured) {
            status = ExitStatus::kFailure;
            entry["error"] = ReadingProblem(reading);
            text += TableRow({IndexText(index), rom, FailureCell(reading)}, kColumns);
        } else {
            entry["temperature"] = reading.temperature;
            entry["th"] = static_cast<int>(reading.th);
            entry["tl"] = static_cast<int>(reading.tl);
            text += TableRow({IndexText(index), rom, FormatDotNumber(reading.temperature) + " C",
                              FormatDotNumber(reading.th), FormatDotNumber(reading.tl)},
                             kColumns);
        }
        readings.push_back(entry);
    }
    if (targets.empty()) {
        text = "no thermometers on the bus\n";
    }
    // Without names every thermometer was asked for; those beyond the table were not measured.
    const std::string beyond = context.words().empty() ? DevicesBeyondTable(core) : "";
    nlohmann::json document{{"thermometers", readings}};
    if (context.words().empty()) {
        document["complete"] = beyond.empty();
    }
    context.output().result(document, text);
    if (!beyond.empty()) {
        context.output().warning("not all thermometers were measured: " + beyond);
        status = ExitStatus::kFailure;
    }
    return status;
}

}  // namespace velgrin::cli
