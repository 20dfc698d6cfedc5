#include "cli/bench_timeline.h"
#include "cli/bus_roster.h"
#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/devices_beyond_table.h"
#include "cli/english_text.h"
#include "cli/list_rebuild.h"
#include "cli/option_values.h"
#include "cli/stop_signals.h"
#include "cli/thermometer_reading.h"
#include "cli/thermometer_targets.h"
#include "common/number_text.h"
#include "common/plain_surface.h"
#include "common/text_file.h"
#include "numberlog/number_log.h"

namespace velgrin::cli {

namespace {

// The auto-store's file and its companion must be files the watch can append to; an empty name
// would leave the auto-store off without a word.
CliResult<void> CheckAutoStoreFile(const std::optional<std::string>& file) {
    if (!file) {
        return {};
    }
    if (file->empty()) {
        return UsageError("--auto-store needs a file: the text file numbers are appended to");
    }
    for (const std::string& path : {*file, AutoStore::CompanionFileName(*file)}) {
        if (auto usable = CheckOutputPath(path); !usable) {
            return UsageError("--auto-store: " + path + " " + usable.error().message);
        }
    }
    return {};
}

std::string Padded(const std::string& word, size_t width) {
    return word + std::string(word.size() < width ? width - word.size() : 0, ' ');
}

// Reports what happened in one watch, line by line, stamped with the time since it began.
class WatchReport {
  public:
    WatchReport(Output& output, const Clock& clock) : output_(output), clock_(clock) {
        startMs_ = clock.nowMs();
    }

    void status(const std::string& status) {
        emit({{"event", "status"}, {"status", status}}, status);
    }
    void device(const char* event, const BusRoster::Device& device) {
        emit({{"event", event},
              {"rom", device.rom},
              {"family", FamilyText(device.family)},
              {"kind", DeviceKind(device.family)}},
             Padded(event, 7) + "  " + device.rom + "  " + DeviceKind(device.family));
    }
    void temperature(const std::string& rom, const ThermometerReading& reading) {
        nlohmann::json document{{"event", "temperature"}, {"rom", rom}};
        std::string text = Padded("temp", 7) + "  " + rom + "  ";
        if (reading.state == ThermometerReading::State::Measured) {
            document["temperature"] = reading.temperature;
            document["th"] = static_cast<int>(reading.th);
            document["tl"] = static_cast<int>(reading.tl);
            text += FormatDotNumber(reading.temperature) + " C";
        } else {
            document["error"] = ReadingProblem(reading);
            text += ReadingProblem(reading);
        }
        emit(document, text);
    }
    void stored(const std::string& number, const std::string& file) {
        emit({{"event", "stored"}, {"rom", number}, {"file", file}},
             Padded("stored", 7) + "  " + number + "  in " + file);
    }

  private:
    void emit(nlohmann::json document, const std::string& text) {
        const uint64_t elapsedMs = clock_.nowMs() - startMs_;
        document["time_ms"] = elapsedMs;
        std::string stamp = FormatFixedDot(static_cast<double>(elapsedMs) / 1000, 1);
        stamp.insert(0, stamp.size() < 7 ? 7 - stamp.size() : 0, ' ');
        output_.event(document, stamp + " s  " + text);
    }

    Output& output_;
    const Clock& clock_;
    uint64_t startMs_ = 0;
};

}  // namespace

CliResult<ExitStatus> RunWatch(CommandContext& context) {
    if (auto words = ExpectWords(context, 0, 0, ""); !words) {
        return words.error();
    }
    const auto count = CountOption(context.options(), "polls");
    if (!count) {
        return count.error();
    }
    const bool measure = context.options().has("--temp");
    if (context.options().has("--one-by-one") && !measure) {
        return UsageError("--one-by-one chooses how --temp measures; give --temp as well");
    }
    const Sequence sequence =
        context.options().has("--one-by-one") ? Sequence::OneByOne : Sequence::Together;
    const auto autoStoreFile = context.options().value("--auto-store");
    if (auto checked = CheckAutoStoreFile(autoStoreFile); !checked) {
        return checked.error();
    }
    auto opened = context.session();
    if (!opened) {
        return opened.error();
    }
    BenchSession& session = **opened;
    BusCore& core = session.core();

    PlainSurface lists;
    SystemDateTime dateTime;
    NumberLog numberLog(core, session.host(), lists, dateTime);
    if (autoStoreFile) {
        lists.setChecked("ChkAutoStore", true);
        session.host().saveFileAnswer = *autoStoreFile;
        numberLog.ChkAutoStoreClick();
    }
    bool fileFailed = false;
    session.host().onMessage = [&](const std::string& message) {
        fileFailed = true;
        context.output().warning(EnglishText(message));
    };

    WatchReport report(context.output(), session.time().clock());
    BusRoster roster;
    std::string lastStatus;
    bool lastPollFailed = false;
    bool busError = false;
    bool measureFailed = false;
    // What the table left out in the last poll; empty while it holds the whole bus.
    std::string lastBeyond;
    // One search of the poll; false when it ended in a bus error, which is reported.
    const auto search = [&](bool& redraw, std::vector<BusRoster::Device>& listed) {
        const ScanOutcome outcome = core.ScanSessionAndSearch();
        redraw = redraw || core.flgRedravAll || outcome.noPortChosen;
        lastPollFailed = outcome.result < 1;
        if (outcome.searchFailed) {
            busError = true;
            report.status("bus error: " + session.driverError());
            lastStatus.clear();
            return false;
        }
        listed = BusRoster::Listed(core, lastPollFailed);
        return true;
    };
    for (int poll = 1; *count == 0 || poll <= *count; ++poll) {
        if (poll > 1) {
            if (*count == 0) {
                SkipQuietTime(session);
            }
            WaitUnlessStopped(session.time(), kPollPeriodMs);
            if (StopRequested()) {
                break;
            }
        }
        // Each poll is a command of its own for the repeats' allowance.
        core.retries.limitRepeatsTo(kCommandRepeatMs);
        // Each poll starts afresh, as the window's does: an adapter swapped between polls is the
        // adapter now; within a poll a swap still ends the command's use of it.
        core.driver().forgetAdapter();
        bool redraw = false;
        std::vector<BusRoster::Device> first;
        const bool searched = search(redraw, first);
        // Without a session nothing was searched: the window then keeps what it shows.
        if (core.SHandle != 0) {
            const std::string status = EnglishText(core.stat11);
            if (searched && status != lastStatus) {
                report.status(status);
                lastStatus = status;
            }
            if (searched) {
                const std::string beyond = DevicesBeyondTable(core);
                if (!beyond.empty() && beyond != lastBeyond) {
                    report.status("not all devices are watched: " + beyond);
                }
                lastBeyond = beyond;
            }
            std::vector<BusRoster::Device> second;
            if (searched && roster.differs(first) && search(redraw, second)) {
                const BusRoster::Changes changes = roster.update(first, second);
                for (const auto& device : changes.left) {
                    report.device("left", device);
                }
                for (const auto& device : changes.arrived) {
                    report.device("arrived", device);
                }
            }
            // A stop asked for during the search skips the conversion, most of a second.
            if (searched && measure && !StopRequested()) {
                // The thermometers this poll's search found, measured together (or as the
                // window does, one after the other).
                const auto targets = ThermometerTargets(core, {});
                const auto readings = MeasureThermometers(core, *targets, sequence);
                measureFailed = false;
                for (size_t i = 0; i < readings.size(); ++i) {
                    report.temperature(core.Asens[static_cast<size_t>((*targets)[i])].ROMS,
                                       readings[i]);
                    measureFailed =
                        measureFailed || readings[i].state != ThermometerReading::State::Measured;
                }
            }
            if (redraw) {
                const size_t storedBefore = numberLog.autoStore().List.size();
                RebuildLists(core, lists, numberLog);
                const auto& stored = numberLog.autoStore().List;
                for (size_t i = storedBefore; i < stored.size(); ++i) {
                    report.stored(stored[i], *autoStoreFile);
                }
            }
        }
        if (StopRequested() || (*count == 0 && BenchAtRest(session))) {
            break;
        }
    }
    return lastPollFailed || fileFailed || busError || measureFailed || !lastBeyond.empty()
               ? ExitStatus::kFailure
               : ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
