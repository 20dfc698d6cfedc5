#include "numberlog/number_log.h"

#include <cctype>

#include "numberlog/log_text.h"
#include "numberlog/whole_append.h"

namespace velgrin {

namespace {

constexpr const char* kThermometerList = "cmb1820";
constexpr const char* kLoggerList = "cmbSN";
constexpr const char* kAutoStoreBox = "ChkAutoStore";
constexpr const char* kThermometerFileBox = "chkFileDs1820";
constexpr const char* kIndicator = "shp1";

bool StorableLogger(const std::string& family) {
    return family == "21" || family == "41" || family == "53";
}

}  // namespace

std::string FileFailureMessage(const std::string& path, const std::string& reason) {
    return "Не удалось записать в файл:\r\n" + path + "\r\n" + reason;
}

NumberLog::NumberLog(BusCore& core, Host& host, ControlSurface& surface, DateTimeSource& dateTime)
    : core_(core), host_(host), surface_(surface), dateTime_(dateTime) {}

void NumberLog::btnSaveToFileClick() {
    const std::string entry = surface_.text(kLoggerList);
    if (entry.empty()) {
        return;
    }
    const std::string comment =
        host_.inputBox(numberlog_text::kCommentCaption, numberlog_text::kCommentPrompt,
                       numberlog_text::kCommentPreset);
    const auto path = host_.saveFileName(numberlog_text::kFileExtension);
    if (!path) {
        return;
    }
    const std::string line = ManualSaveLine(dateTime_.now(), comment, EntryNumber(entry));
    if (auto written = AppendWholeText(*path, line); !written) {
        host_.showMessage(FileFailureMessage(*path, written.error().message));
    }
}

void NumberLog::ChkAutoStoreClick() {
    if (!surface_.checked(kAutoStoreBox)) {
        autoStore_.tmpStoreFile.clear();
        return;
    }
    if (!autoStore_.tmpStoreFile.empty()) {
        return;
    }
    autoStore_.flgSaveSNAdapters = true;
    if (const auto path = host_.saveFileName(numberlog_text::kFileExtension)) {
        autoStore_.tmpStoreFile = *path;
    }
}

void NumberLog::chkFileDs1820Click() {
    const bool wanted = surface_.checked(kThermometerFileBox);
    if (surface_.checked(kAutoStoreBox) == wanted) {
        return;
    }
    surface_.setChecked(kAutoStoreBox, wanted);
    ChkAutoStoreClick();
}

bool NumberLog::GetType1820() {
    const std::string family = EntryFamilyText(surface_.text(kThermometerList));
    if (family == "10") {
        core_.TypeButtonString = numberlog_text::kDs18S20Type;
        return true;
    }
    if (family == "28") {
        core_.TypeButtonString = numberlog_text::kDs18B20Type;
        return true;
    }
    core_.TypeButtonString.clear();
    return false;
}

void NumberLog::StoreRom1820() {
    if (!GetType1820()) {
        surface_.setColor(kIndicator, colors::kRed);
        return;
    }
    surface_.setColor(kIndicator, colors::kGreen);
    StoreSelectedNumber(surface_.text(kThermometerList), core_.TypeButtonString,
                        HeaderStyle::kThermometer);
}

void NumberLog::StoreRomButton() {
    const std::string entry = surface_.text(kLoggerList);
    if (!StorableLogger(EntryFamilyText(entry))) {
        surface_.setColor(kIndicator, colors::kRed);
        return;
    }
    surface_.setColor(kIndicator, colors::kGreen);
    StoreSelectedNumber(entry, LoggerType(entry), HeaderStyle::kLogger);
}

void NumberLog::StoreRebuildSteps(const DeviceLists& lists) {
    for (const LogStep step : lists.logSteps) {
        switch (step) {
            case LogStep::kStoreRom1820:
                StoreRom1820();
                break;
            case LogStep::kStoreRomButton:
                StoreRomButton();
                break;
        }
    }
}

// A logger is logged under the name its own probe gave it in the search, so that a thermometer
// listed before it cannot lend it its type; without such a name, under the last type the scan set.
std::string NumberLog::LoggerType(const std::string& entryText) const {
    if (entryText.size() >= 2 && std::isdigit(static_cast<unsigned char>(entryText[0])) &&
        std::isdigit(static_cast<unsigned char>(entryText[1]))) {
        const int index = (entryText[0] - '0') * 10 + (entryText[1] - '0');
        const auto slot = static_cast<size_t>(index);
        if (index < core_.FoundDev && core_.Asens[slot].ROMS == EntryNumber(entryText) &&
            !core_.subtypeNames[slot].empty()) {
            return core_.subtypeNames[slot];
        }
    }
    return core_.TypeButtonString;
}

void NumberLog::StoreSelectedNumber(const std::string& entryText, const std::string& typeText,
                                    HeaderStyle style) {
    if (autoStore_.tmpStoreFile.empty() || !surface_.checked(kAutoStoreBox)) {
        return;
    }
    const std::string number = EntryNumber(entryText);
    const StoreOutcome outcome =
        autoStore_.Store(number, typeText, core_.SNADAPTERS, style, dateTime_);
    switch (outcome.status) {
        case StoreOutcome::Status::kAlreadyStored:
            host_.beep();
            return;
        case StoreOutcome::Status::kStored:
            lastReportedFailure_.clear();
            break;
        case StoreOutcome::Status::kNotStored:
            break;
    }
    if (outcome.failure) {
        ReportStoreFailure(*outcome.failure, number);
    }
}

void NumberLog::ReportStoreFailure(const StoreFailure& failure, const std::string& number) {
    const std::string message = FileFailureMessage(failure.path, failure.error.message);
    const std::string key = number + "\n" + message;
    if (key == lastReportedFailure_) {
        return;
    }
    lastReportedFailure_ = key;
    host_.showMessage(message);
}

}  // namespace velgrin
