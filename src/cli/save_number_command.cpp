#include "cli/commands.h"
#include "cli/device_kind.h"
#include "cli/english_text.h"
#include "cli/rom_arguments.h"
#include "common/plain_surface.h"
#include "common/text_file.h"
#include "numberlog/log_text.h"
#include "numberlog/number_log.h"

namespace velgrin::cli {

namespace {

// The system's clock, remembering the moment it gave last, so that the tool can print the line
// the save wrote.
class RememberingDateTime final : public DateTimeSource {
  public:
    LocalDateTime now() override {
        last = system_.now();
        return last;
    }
    LocalDateTime last;

  private:
    SystemDateTime system_;
};

}  // namespace

CliResult<ExitStatus> RunSaveNumber(CommandContext& context) {
    if (auto words = ExpectWords(context, 1, 1, "the ROM text of the device"); !words) {
        return words.error();
    }
    const auto file = context.options().value("--file");
    if (!file || file->empty()) {
        return UsageError("--file is needed: the text file the line is appended to");
    }
    if (auto usable = CheckOutputPath(*file); !usable) {
        return UsageError("--file: " + *file + " " + usable.error().message);
    }
    const std::string comment =
        context.options().value("--comment").value_or(numberlog_text::kCommentPreset);
    if (comment != OneLineComment(comment)) {
        return UsageError(
            "--comment must be one line of text, without line breaks or other "
            "control characters");
    }
    const auto roms = RomArguments(context.words());
    if (!roms) {
        return roms.error();
    }
    auto session = ScannedSession(context);
    if (!session) {
        return session.error();
    }
    BusCore& core = (*session)->core();
    const std::string& rom = roms->front();
    const auto index = FindOnBus(core, rom);
    if (!index) {
        return index.error();
    }
    const CurrentSens& sens = core.Asens[static_cast<size_t>(*index)];
    if (sens.Family != device_group::kLogger) {
        return UsageError(rom + " is not on the registration list of loggers and DS1822 (it is: " +
                          DeviceKind(FamilyCode(sens)) + ")");
    }

    PlainSurface lists;
    lists.setText("cmbSN", ListEntryText(*index, sens.ROMS));
    ConsoleHost& host = (*session)->host();
    host.inputAnswer = comment;
    host.saveFileAnswer = *file;
    RememberingDateTime dateTime;
    NumberLog(core, host, lists, dateTime).btnSaveToFileClick();
    if (!host.messages.empty()) {
        return DeviceError(EnglishText(host.messages.back()));
    }

    std::string line = ManualSaveLine(dateTime.last, comment, rom);
    line.resize(line.size() - kLogLineEnd.size());
    context.output().result({{"file", *file}, {"rom", rom}, {"comment", comment}, {"line", line}},
                            "appended to " + *file + ": " + line + "\n");
    return ExitStatus::kSuccess;
}

}  // namespace velgrin::cli
