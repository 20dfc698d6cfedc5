#include "cli/station/station_plan.h"

#include "cli/english_text.h"
#include "cli/option_values.h"
#include "common/strict_json.h"
#include "common/text_file.h"
#include "numberlog/auto_store.h"
#include "thermo/resolution_byte.h"

namespace velgrin::cli {

namespace {

CliResult<std::optional<Thresholds>> OptionalThresholds(const ParsedOptions& options) {
    const auto th = options.value("--th");
    const auto tl = options.value("--tl");
    if (!th && !tl) {
        return std::optional<Thresholds>();
    }
    auto thresholds = ThresholdOptions(options);
    if (!thresholds) {
        return thresholds.error();
    }
    return std::optional<Thresholds>(*thresholds);
}

// Only the four values the configuration register can hold, written as they are.
CliResult<std::optional<int>> ResolutionOption(const ParsedOptions& options, bool thresholds) {
    const auto text = options.value("--resolution");
    if (!text) {
        return std::optional<int>();
    }
    if (!thresholds) {
        return UsageError("--resolution goes with --th and --tl: give them too");
    }
    for (int bits = kMinResolutionBits; bits <= kMaxResolutionBits; ++bits) {
        if (*text == std::to_string(bits)) {
            return std::optional<int>(bits);
        }
    }
    return UsageError("--resolution is 9, 10, 11 or 12 bits, not '" + *text + "'");
}

CliResult<std::optional<HltTemplate>> HltOption(const ParsedOptions& options) {
    const auto file = options.value("--hlt");
    if (!file) {
        return std::optional<HltTemplate>();
    }
    const auto text = ReadTextFile(*file, kMaxUserFileBytes);
    if (!text) {
        return UsageError("the configuration file " + *file + " " + text.error().message);
    }
    HltTemplate wanted;
    wanted.input.file = *file;
    if (auto read = ReadHltSettingsText(*file, *text, wanted.input); !read) {
        return read.error();
    }
    if (wanted.input.empty()) {
        return UsageError(*file + ": the configuration names no field to write");
    }
    // Read once more for the fields as given, which a configured device is compared with;
    // the reading above has checked them.
    wanted.fields = *ParseStrictJson(*text);
    return std::optional<HltTemplate>(std::move(wanted));
}

CliResult<void> CheckWritable(const std::string& option, const std::string& path) {
    if (path.empty()) {
        return UsageError(option + " needs a file");
    }
    if (auto usable = CheckOutputPath(path); !usable) {
        return UsageError(option + ": " + path + " " + usable.error().message);
    }
    return {};
}

}  // namespace

CliResult<StationPlan> ReadStationPlan(const ParsedOptions& options) {
    StationPlan plan;
    auto thresholds = OptionalThresholds(options);
    if (!thresholds) {
        return thresholds.error();
    }
    plan.thresholds = *thresholds;
    auto resolution = ResolutionOption(options, plan.thresholds.has_value());
    if (!resolution) {
        return resolution.error();
    }
    plan.resolution = *resolution;
    auto hlt = HltOption(options);
    if (!hlt) {
        return hlt.error();
    }
    plan.hlt = std::move(*hlt);
    if (!plan.thresholds && !plan.hlt) {
        return UsageError(
            "nothing to set up: give --th and --tl for thermometers, or --hlt FILE for "
            "multisensors");
    }
    plan.recordFile = options.value("--record");
    if (plan.recordFile) {
        if (auto usable = CheckWritable("--record", *plan.recordFile); !usable) {
            return usable.error();
        }
    }
    if (const auto format = options.value("--record-format")) {
        if (*format == "csv") {
            plan.recordFormat = RecordFormat::kCsv;
        } else if (*format != "jsonl") {
            return UsageError("--record-format is jsonl or csv, not '" + *format + "'");
        }
        if (!plan.recordFile) {
            return UsageError("--record-format chooses the form of --record FILE; give it too");
        }
    }
    plan.numberLogFile = options.value("--number-log");
    if (plan.numberLogFile) {
        for (const std::string& path :
             {*plan.numberLogFile, AutoStore::CompanionFileName(*plan.numberLogFile)}) {
            if (auto usable = CheckWritable("--number-log", path); !usable) {
                return usable.error();
            }
        }
    }
    auto count = CountOption(options, "devices");
    if (!count) {
        return count.error();
    }
    plan.count = *count;
    return plan;
}

}  // namespace velgrin::cli
