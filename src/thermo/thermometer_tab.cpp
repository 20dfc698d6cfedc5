#include "thermo/thermometer_tab.h"

#include "common/number_text.h"
#include "thermo/list_lookup.h"

namespace velgrin {

ThermometerTab::ThermometerTab(BusCore& core, PollControl& poll, ControlSurface& controls,
                               ProgressBar& progress)
    : core_(core), poll_(poll), controls_(controls), progress_(progress), thermometers_(core) {}

void ThermometerTab::RefreshSelectedThermometer() {
    const std::string entry = controls_.text(thermo_control::kList);
    if (entry.empty()) {
        return;
    }
    const int index = ListEntryIndex(entry);
    const int measured = thermometers_.Measure1820(index);
    if (MetAdapterLimit()) {
        // No conversion can run on this adapter: what the record holds is no measurement.
        controls_.setText(thermo_control::kTemperature, kNoTemperatureText);
        return;
    }
    if (measured == kNotConverted) {
        // The scratchpad still holds an earlier conversion: the tab keeps what it shows.
        return;
    }
    // A device that could not be made current, or a read that failed, shows what its record
    // holds.
    const CurrentSens& sens = core_.Asens[static_cast<size_t>(index)];
    controls_.setText(thermo_control::kTemperature, FormatNumber(sens.CorrectTemp));
    controls_.setText(thermo_control::kUpper, FormatNumber(sens.UpLimitT));
    controls_.setText(thermo_control::kLower, FormatNumber(sens.DownLimitT));
}

void ThermometerTab::ThresholdBoxChanged() {
    ThresholdEditPending = true;
    poll_.setPollTimerEnabled(false);
    controls_.setEnabled(thermo_control::kWrite, true);
}

void ThermometerTab::cmb1820Change() {
    controls_.setText(thermo_control::kUpper, "");
    controls_.setText(thermo_control::kLower, "");
    controls_.setText(thermo_control::kTemperature, kNoTemperatureText);
    ThresholdEditPending = false;
    poll_.setPollTimerEnabled(true);
}

void ThermometerTab::btn1820wrClick(std::vector<std::string> cmb1820Items) {
    ThresholdEditPending = false;
    const auto thresholds = ParseThresholds(controls_.text(thermo_control::kUpper),
                                            controls_.text(thermo_control::kLower));
    if (!thresholds) {
        core_.host().showMessage(thresholds.error());
        poll_.setPollTimerEnabled(true);
        return;
    }
    const bool written = controls_.checked(thermo_control::kWriteAll)
                             ? WriteAll(*thresholds, cmb1820Items)
                             : WriteSelected(*thresholds);
    if (!written) {
        RestoreAfterFailedLookup();
        return;
    }
    controls_.setEnabled(thermo_control::kWrite, false);
    controls_.setText(thermo_control::kUpper, "");
    controls_.setText(thermo_control::kLower, "");
    poll_.setPollTimerEnabled(true);
}

bool ThermometerTab::WriteSelected(const Thresholds& thresholds) {
    const int index = FindIndx1820(core_, controls_.text(thermo_control::kList));
    if (index < 0) {
        return false;
    }
    if (thermometers_.wrscr1820(thresholds.upper, thresholds.lower, index) !=
            ThresholdWrite::Verified &&
        !MetAdapterLimit()) {
        core_.host().showMessage(kThresholdWriteFailedMessage);
    }
    return true;
}

// A list entry whose device is gone ends the write there: the entries after it stay unwritten.
bool ThermometerTab::WriteAll(const Thresholds& thresholds,
                              const std::vector<std::string>& entries) {
    const auto count = static_cast<int>(entries.size());
    progress_.setRange(0, count);
    progress_.setPosition(0);
    controls_.setVisible(thermo_control::kProgress, true);
    SetWriteControlsEnabled(false);
    bool allVerified = true;
    bool limited = false;
    for (int i = 0; i < count; ++i) {
        progress_.setPosition(i);
        const int index = FindIndx1820(core_, entries[static_cast<size_t>(i)]);
        if (index < 0) {
            return false;
        }
        allVerified = thermometers_.wrscr1820(thresholds.upper, thresholds.lower, index) ==
                          ThresholdWrite::Verified &&
                      allVerified;
        limited = MetAdapterLimit() || limited;
        core_.host().sleep(kWriteAllPauseMs);
    }
    if (!allVerified && !limited) {
        core_.host().showMessage(kThresholdWriteFailedMessage);
    }
    progress_.setPosition(0);
    controls_.setVisible(thermo_control::kProgress, false);
    SetWriteControlsEnabled(true);
    return true;
}

void ThermometerTab::SetWriteControlsEnabled(bool enabled) {
    for (const char* name :
         {thermo_control::kList, thermo_control::kWriteAll, thermo_control::kWrite,
          thermo_control::kUpper, thermo_control::kLower}) {
        controls_.setEnabled(name, enabled);
    }
}

bool ThermometerTab::MetAdapterLimit() {
    if (!thermometers_.adapterLimit()) {
        adapterLimitShown_ = false;
        return false;
    }
    if (!adapterLimitShown_) {
        adapterLimitShown_ = true;
        core_.host().showMessage(kNoStrongPullupMessage);
    }
    return true;
}

// The boxes keep what the user typed; the window is usable again and polling resumes.
void ThermometerTab::RestoreAfterFailedLookup() {
    progress_.setPosition(0);
    controls_.setVisible(thermo_control::kProgress, false);
    SetWriteControlsEnabled(true);
    poll_.setPollTimerEnabled(true);
}

}  // namespace velgrin
