#include "cli/bench_timeline.h"
#include "cli/bus_roster.h"
#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/english_text.h"
#include "cli/rom_arguments.h"
#include "cli/station/device_setup.h"
#include "cli/station/station_plan.h"
#include "cli/station/station_progress.h"
#include "cli/station/station_record.h"
#include "cli/stop_signals.h"
#include "numberlog/auto_store.h"
#include "numberlog/number_log.h"

namespace velgrin::cli {

namespace {

bool IsThermometerFamily(uint8_t family) {
    return family == 0x10 || family == 0x28;
}

// Sets up the devices that arrive, reports each on a line, and keeps the record and the
// number log.
class Station {
  public:
    Station(CommandContext& context, const StationPlan& plan, BenchSession& session)
        : context_(context),
          plan_(plan),
          session_(session),
          progress_(!context.output().json() && StationProgress::TerminalAttached()) {
        if (plan.numberLogFile) {
            numbers_.tmpStoreFile = *plan.numberLogFile;
        }
    }

    // True when the device is one the plan has a template for.
    bool wanted(const BusRoster::Device& device) const {
        if (IsThermometerFamily(device.family)) {
            return plan_.thresholds.has_value();
        }
        // Found by its number: a write before it may have searched the bus again.
        const auto index = FindOnBus(session_.core(), device.rom);
        return plan_.hlt && index &&
               session_.core().Asens[static_cast<size_t>(*index)].Family == device_group::kHlt;
    }

    void setUp(const BusRoster::Device& device) {
        progress_.show(counts_, device.rom);
        const SetupOutcome outcome =
            IsThermometerFamily(device.family)
                ? SetUpThermometer(session_, device.rom, *plan_.thresholds, plan_.resolution)
                : SetUpHlt(session_, device.rom, *plan_.hlt, context_.output());
        progress_.clear();
        count(outcome);
        const RecordEntry entry{
            RecordTimeNow(), context_.portText(), device.rom,     DeviceKind(device.family),
            outcome.asked,   outcome.readBack,    outcome.result, outcome.reason};
        report(entry);
        keepRecord(entry);
        if (outcome.result != kResultFailed && IsThermometerFamily(device.family)) {
            logNumber(device);
        }
        progress_.show(counts_, "");
    }

    void waiting() { progress_.show(counts_, ""); }
    void warn(const std::string& message) {
        progress_.clear();
        context_.output().warning(message);
        progress_.show(counts_, "");
    }

    const StationCounts& counts() const { return counts_; }
    // The record or the number log could not be written: the station must not go on.
    bool fileFailed() const { return fileFailed_; }

    void summary(bool stopped) {
        progress_.clear();
        const std::string text =
            CountsText(counts_) + (stopped ? std::string("; ") + kStoppedBySignal : "") + "\n";
        context_.output().event({{"event", "summary"},
                                 {"done", counts_.done},
                                 {"already_set", counts_.alreadySet},
                                 {"failed", counts_.failed},
                                 {"stopped", stopped}},
                                text.substr(0, text.size() - 1));
    }

  private:
    void count(const SetupOutcome& outcome) {
        if (outcome.result == kResultOk) {
            ++counts_.done;
        } else if (outcome.result == kResultAlreadySet) {
            ++counts_.alreadySet;
        } else {
            ++counts_.failed;
        }
    }

    void report(const RecordEntry& entry) {
        std::string line = entry.rom + "  " + entry.kind + "  " + entry.asked + "  ";
        line += entry.result == kResultFailed ? "FAILED: " + entry.reason : entry.result;
        context_.output().event({{"event", "device"},
                                 {"rom", entry.rom},
                                 {"kind", entry.kind},
                                 {"asked", entry.asked},
                                 {"read_back", entry.readBack},
                                 {"result", entry.result},
                                 {"reason", entry.reason}},
                                line);
    }

    void keepRecord(const RecordEntry& entry) {
        if (!plan_.recordFile) {
            return;
        }
        if (auto appended = AppendRecord(*plan_.recordFile, plan_.recordFormat, entry); !appended) {
            fileFailed_ = true;
            context_.output().warning("the record " + *plan_.recordFile +
                                      " could not be written: " + appended.error().message +
                                      "; the station stops");
        }
    }

    // As the window's auto-store writes a thermometer's number: under the adapter's number and
    // the thermometer's type, each number once per run.
    void logNumber(const BusRoster::Device& device) {
        if (!plan_.numberLogFile) {
            return;
        }
        const char* type =
            device.family == 0x10 ? numberlog_text::kDs18S20Type : numberlog_text::kDs18B20Type;
        const StoreOutcome stored = numbers_.Store(device.rom, type, session_.core().SNADAPTERS,
                                                   HeaderStyle::kThermometer, dateTime_);
        if (stored.failure) {
            fileFailed_ = stored.status == StoreOutcome::Status::kNotStored || fileFailed_;
            context_.output().warning("the number log " + stored.failure->path +
                                      " could not be written: " + stored.failure->error.message);
        }
    }

    CommandContext& context_;
    const StationPlan& plan_;
    BenchSession& session_;
    StationProgress progress_;
    StationCounts counts_;
    AutoStore numbers_;
    SystemDateTime dateTime_;
    bool fileFailed_ = false;
};

}  // namespace

CliResult<ExitStatus> RunStation(CommandContext& context) {
    if (auto words = ExpectWords(context, 0, 0, ""); !words) {
        return words.error();
    }
    const auto plan = ReadStationPlan(context.options());
    if (!plan) {
        return plan.error();
    }
    auto opened = context.session();
    if (!opened) {
        return opened.error();
    }
    BenchSession& session = **opened;
    BusCore& core = session.core();
    Station station(context, *plan, session);
    BusRoster roster;
    bool busError = false;
    std::string lastProblem;
    // A poll that failed tells nothing of the devices: the roster keeps them.
    const auto search = [&](std::vector<BusRoster::Device>& listed) {
        const ScanOutcome outcome = core.ScanSessionAndSearch();
        std::string problem;
        if (outcome.searchFailed) {
            problem = "bus error: " + session.driverError();
        } else if (outcome.result < 1) {
            problem = EnglishText(core.stat11);
        }
        if (!problem.empty() && problem != lastProblem) {
            station.warn(problem);
        }
        lastProblem = problem;
        busError = busError || !problem.empty();
        listed = BusRoster::Listed(core, false);
        return problem.empty();
    };
    const auto finished = [&] {
        return StopRequested() || station.fileFailed() ||
               (plan->count > 0 && station.counts().total() >= plan->count);
    };
    station.waiting();
    for (bool first = true; !finished(); first = false) {
        if (!first) {
            if (plan->count == 0) {
                if (BenchAtRest(session)) {
                    break;
                }
                SkipQuietTime(session);
            }
            WaitUnlessStopped(session.time(), kPollPeriodMs);
            if (StopRequested()) {
                break;
            }
        }
        // Each poll is a command of its own for the repeats' allowance, and starts afresh.
        core.retries.limitRepeatsTo(kCommandRepeatMs);
        core.driver().forgetAdapter();
        std::vector<BusRoster::Device> listed;
        std::vector<BusRoster::Device> again;
        if (!search(listed) || !roster.differs(listed) || !search(again)) {
            continue;
        }
        for (const BusRoster::Device& device : roster.update(listed, again).arrived) {
            // A stop comes between two devices, never during a write.
            if (finished()) {
                break;
            }
            if (station.wanted(device)) {
                station.setUp(device);
            }
        }
    }
    station.summary(StopRequested());
    if (station.fileFailed()) {
        return DeviceError("the station stopped: a file it keeps could not be written");
    }
    return station.counts().failed > 0 || busError ? ExitStatus::kFailure : ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
