#pragma once

#include <string>
#include <vector>

#include "common/control_surface.h"
#include "thermo/progress_bar.h"
#include "thermo/thermometers.h"
#include "thermo/threshold_input.h"
#include "wire/bus_core.h"
#include "wire/poll_control.h"

namespace velgrin {

// Object names of the thermometer tab's controls.
namespace thermo_control {
inline constexpr const char* kList = "cmb1820";
inline constexpr const char* kUpper = "edt1820up";
inline constexpr const char* kLower = "edt1820down";
inline constexpr const char* kWrite = "btn1820wr";
inline constexpr const char* kWriteAll = "Chk1820wr_all";
inline constexpr const char* kProgress = "Progress_wr_1820";
inline constexpr const char* kTemperature = "lblT1820";
}  // namespace thermo_control

// Caption of the temperature label while it shows no value.
inline constexpr const char* kNoTemperatureText = "--,--";

// Shown once after a write in which a thermometer's EEPROM did not end up holding the thresholds
// (the program's one message for a write that failed).
inline constexpr const char* kThresholdWriteFailedMessage = "Не удалось записать параметры";

// Shown once when the adapter cannot drive the thermometer sequences: they need the strong
// pull-up for a conversion and for a copy to EEPROM.
inline constexpr const char* kNoStrongPullupMessage =
    "Адаптер не подаёт на шину сильную подтяжку (strong pull-up): термометры с паразитным "
    "питанием через него не измеряются и пороги в них не записываются";

// Pause between two thermometers of an all-thermometers write.
inline constexpr uint32_t kWriteAllPauseMs = 300;

// The "ds1820" tab: the selected thermometer's values at every poll, and the threshold boxes
// with their write. The window forwards its events here and owns nothing of this state.
class ThermometerTab {
  public:
    ThermometerTab(BusCore& core, PollControl& poll, ControlSurface& controls,
                   ProgressBar& progress);

    // The thermometer step of the view refresh: measures the entry selected in the list and
    // shows its temperature and thresholds. Nothing when the list text is empty; throws
    // ListIndexError when its first two characters are no table index.
    void RefreshSelectedThermometer();

    // Every change of a box's text, typed or set by the program.
    void edt1820upChange() { ThresholdBoxChanged(); }
    void edt1820downChange() { ThresholdBoxChanged(); }
    // The user picked or typed a list entry (not a change made by the program).
    void cmb1820Change();
    // `cmb1820Items`: the list's entries at the click. The write works from this copy, so a
    // rescan that rebuilds the list meanwhile cannot pull entries from under it.
    void btn1820wrClick(std::vector<std::string> cmb1820Items);

    Thermometers& thermometers() { return thermometers_; }

    // A threshold box changed since the last write or list change: the end of a poll cycle
    // leaves the poll timer off while this is set.
    bool ThresholdEditPending = false;

  private:
    void ThresholdBoxChanged();
    bool WriteSelected(const Thresholds& thresholds);
    bool WriteAll(const Thresholds& thresholds, const std::vector<std::string>& entries);
    void SetWriteControlsEnabled(bool enabled);
    void RestoreAfterFailedLookup();
    // True when the last sequence met the adapter's limit; the message is shown once until a
    // sequence runs on an adapter that can.
    bool MetAdapterLimit();

    BusCore& core_;
    PollControl& poll_;
    ControlSurface& controls_;
    ProgressBar& progress_;
    Thermometers thermometers_;
    bool adapterLimitShown_ = false;
};

}  // namespace velgrin
