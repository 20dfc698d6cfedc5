#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/devices_beyond_table.h"
#include "cli/english_text.h"
#include "cli/option_values.h"
#include "cli/rom_arguments.h"
#include "cli/stop_signals.h"
#include "cli/text_table.h"
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
        const std::string beyond = DevicesBeyondTable(core);
        return DeviceError(beyond.empty() ? "no thermometers on the bus: nothing written"
                                          : "no thermometers in the device table (" + beyond +
                                                "): nothing written");
    }

    Thermometers thermometers(core);
    const int th = RegisterDegrees(thresholds->upper);
    const int tl = RegisterDegrees(thresholds->lower);
    ExitStatus status = ExitStatus::kSuccess;
    int verifiedCount = 0;
    nlohmann::json devices = nlohmann::json::array();
    std::string text = "thresholds to write: TH " + std::to_string(th) + ", TL " +
                       std::to_string(tl) + "\n" +
                       TableRow({"index", "ROM", "TH", "TL", "result"}, kColumns);
    for (const int index : targets) {
        const std::string rom = core.Asens[static_cast<size_t>(index)].ROMS;
        // A stop comes between two thermometers, never between a write and its read-back.
        if (StopRequested()) {
            status = ExitStatus::kFailure;
            devices.push_back({{"rom", rom},
                               {"index", index},
                               {"verified", false},
                               {"holds", false},
                               {"error", kStoppedBySignal}});
            text += TableRow(
                {IndexText(index), rom, "", "", std::string("NOT WRITTEN: ") + kStoppedBySignal},
                kColumns);
            continue;
        }
        // Each write ends with a recall from EEPROM compared with what was meant.
        const ThresholdWrite result =
            thermometers.wrscr1820(thresholds->upper, thresholds->lower, index);
        const bool verified = result == ThresholdWrite::Verified;
        nlohmann::json entry{
            {"rom", rom}, {"index", index}, {"verified", verified}, {"holds", verified}};
        if (verified) {
            ++verifiedCount;
            entry["th"] = th;
            entry["tl"] = tl;
            text += TableRow({IndexText(index), rom, std::to_string(th), std::to_string(tl),
                              "written and verified"},
                             kColumns);
        } else {
            status = ExitStatus::kFailure;
            const std::string error =
                thermometers.adapterLimit()
                    ? std::string(core.driver().link()->capabilities().pullupLimit) +
                          ", which the copy to EEPROM needs: nothing was copied"
                : result == ThresholdWrite::NotReached
                    ? "the thermometer did not answer, or its scratchpad did not hold the values: "
                      "nothing was copied to its EEPROM"
                    : "the EEPROM did not read back as written (no intact recall, or other values)";
            entry["error"] = error;
            text += TableRow({IndexText(index), rom, "", "", "FAILED: " + error}, kColumns);
        }
        devices.push_back(entry);
        if (all) {
            WaitUnlessStopped(session->time(), kWriteAllPauseMs);
        }
    }
    // "All" that the table could not hold is not all: the rest of the bus was not written.
    const std::string beyond = all ? DevicesBeyondTable(core) : std::string();
    if (beyond.empty()) {
        text += "written and verified on " + std::to_string(verifiedCount) + " of " +
                std::to_string(targets.size()) + " thermometers\n";
    } else {
        status = ExitStatus::kFailure;
        text += "written and verified on " + std::to_string(verifiedCount) + " of the first " +
                std::to_string(targets.size()) + " thermometers; NOT ALL: " + beyond +
                ", and what lies beyond was not written\n";
    }
    nlohmann::json document{{"requested", {{"th", thresholds->upper}, {"tl", thresholds->lower}}},
                            {"thresholds", {{"th", th}, {"tl", tl}}},
                            {"devices", devices}};
    if (all) {
        document["complete"] = beyond.empty();
        document["devices_on_bus"] = core.devicesOnBus;
    }
    context.output().result(document, text);
    return status;
}

}  // namespace velgrin::cli
