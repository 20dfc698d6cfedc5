#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/english_text.h"
#include "cli/number_argument.h"
#include "cli/rom_arguments.h"
#include "cli/text_table.h"
#include "cli/thermometer_reading.h"
#include "cli/thermometer_targets.h"
#include "thermo/thermometer_tab.h"
#include "thermo/threshold_byte.h"
#include "thermo/threshold_input.h"

namespace velgrin::cli {

namespace {

// The degrees a threshold register holds after the value was written.
int RegisterDegrees(double value) {
    return static_cast<int8_t>(EncodeThresholdByte(value));
}

const std::vector<size_t> kColumns{5, 16, 4, 4};

CliResult<Thresholds> ThresholdOptions(const ParsedOptions& options) {
    const auto th = options.value("--th");
    const auto tl = options.value("--tl");
    if (!th || !tl) {
        return UsageError("both --th and --tl are needed");
    }
    for (const auto& [option, text] : {std::pair{"--th", *th}, {"--tl", *tl}}) {
        if (!IsPlainDecimal(text)) {
            return UsageError(NotPlainDecimal(option, text));
        }
    }
    auto thresholds = ParseThresholds(ProgramNumberText(*th), ProgramNumberText(*tl));
    if (!thresholds) {
        return UsageError(EnglishText(thresholds.error()));
    }
    return *thresholds;
}

}  // namespace

CliResult<ExitStatus> RunAlarms(CommandContext& context) {
    const auto thresholds = ThresholdOptions(context.options());
    if (!thresholds) {
        return thresholds.error();
    }
    const bool all = context.options().has("--all");
    if (all == !context.words().empty()) {
        return UsageError("name the thermometers by their ROM texts, or give --all");
    }
    const auto scanned = ScanThermometerTargets(context);
    if (!scanned) {
        return scanned.error();
    }
    BenchSession* const session = scanned->session;
    BusCore& core = session->core();
    const std::vector<int>& targets = scanned->targets;
    if (targets.empty()) {
        return DeviceError("no thermometers on the bus: nothing written");
    }

    Thermometers thermometers(core);
    std::vector<std::string> written;
    for (const int index : targets) {
        thermometers.wrscr1820(thresholds->upper, thresholds->lower, index);
        written.push_back(core.Asens[static_cast<size_t>(index)].ROMS);
        if (all) {
            session->host().sleep(kWriteAllPauseMs);
        }
    }

    // Read back as the window's next poll does: a fresh search, then a measurement of each.
    const int th = RegisterDegrees(thresholds->upper);
    const int tl = RegisterDegrees(thresholds->lower);
    const auto rescanned = session->Scan();
    if (!rescanned) {
        context.output().warning("read-back: " + rescanned.error().message);
    }
    ExitStatus status = ExitStatus::kSuccess;
    nlohmann::json devices = nlohmann::json::array();
    std::string text = "written: TH " + std::to_string(th) + ", TL " + std::to_string(tl) + "\n" +
                       TableRow({"index", "ROM", "TH", "TL", "holds"}, kColumns);
    for (const std::string& rom : written) {
        nlohmann::json entry{{"rom", rom}};
        std::optional<ThermometerReading> reading;
        int index = -1;
        if (rescanned) {
            if (const auto found = FindOnBus(core, rom)) {
                index = *found;
                entry["index"] = index;
                reading = MeasureThermometer(core, thermometers, index);
            }
        }
        const bool holds = reading && reading->th == th && reading->tl == tl;
        entry["holds"] = holds;
        if (reading) {
            entry["th"] = static_cast<int>(reading->th);
            entry["tl"] = static_cast<int>(reading->tl);
            text += TableRow({IndexText(index), rom, EnglishNumber(reading->th),
                              EnglishNumber(reading->tl), holds ? "yes" : "NO"},
                             kColumns);
        } else {
            entry["error"] = "no intact scratchpad came back to the read-back";
            text +=
                TableRow({index < 0 ? "--" : IndexText(index), rom, "", "", "no answer"}, kColumns);
        }
        if (!holds) {
            status = ExitStatus::kFailure;
        }
        devices.push_back(entry);
    }
    const nlohmann::json document{
        {"requested", {{"th", thresholds->upper}, {"tl", thresholds->lower}}},
        {"written", {{"th", th}, {"tl", tl}}},
        {"devices", devices}};
    context.output().result(document, text);
    return status;
}

}  // namespace velgrin::cli
