#pragma once

#include <string>

#include "common/control_surface.h"
#include "common/host.h"
#include "numberlog/auto_store.h"
#include "numberlog/date_time_source.h"
#include "wire/bus_core.h"
#include "wire/device_lists.h"

namespace velgrin {

namespace numberlog_text {
inline constexpr const char* kCommentCaption = "Введите коментарий:";
inline constexpr const char* kCommentPrompt = "Сохранение на диске";
inline constexpr const char* kCommentPreset = "Датчик";
inline constexpr const char* kFileExtension = "txt";
inline constexpr const char* kDs18S20Type = "DS18S20 Temperature Sensor -50..+125C";
inline constexpr const char* kDs18B20Type = "DS18B20 Temperature Sensor +125C..-50C";
}  // namespace numberlog_text

// "Не удалось записать в файл:" with the file and the system's reason on lines of their own.
std::string FileFailureMessage(const std::string& path, const std::string& reason);

// The registration tab's number log: the manual save of a logger's number and the auto-store of
// the first thermometer and the first logger at each rebuild of the device lists. Reads the lists
// `cmb1820` and `cmbSN` and the boxes `ChkAutoStore` and `chkFileDs1820`, colours `shp1`, and
// takes the type text and the adapter number from the bus core.
//
// The window calls the handlers on user clicks only (QAbstractButton::clicked): a check state
// the program sets is followed by the matching call from here.
class NumberLog {
  public:
    NumberLog(BusCore& core, Host& host, ControlSurface& surface, DateTimeSource& dateTime);

    void btnSaveToFileClick();
    void ChkAutoStoreClick();
    void chkFileDs1820Click();

    // Sets the core's `TypeButtonString` from the selected thermometer; true for a known type.
    bool GetType1820();
    // Auto-store steps, run by the list rebuild after each entry it adds to `cmb1820` or `cmbSN`.
    void StoreRom1820();
    void StoreRomButton();
    // The rebuild's steps in their order, once the lists show their first entries.
    void StoreRebuildSteps(const DeviceLists& lists);

    // `tmpStoreFile`, `List`, `flgSaveSNAdapters`, `TypeButtonStringLast`.
    AutoStore& autoStore() { return autoStore_; }
    const AutoStore& autoStore() const { return autoStore_; }

  private:
    void StoreSelectedNumber(const std::string& entryText, const std::string& typeText,
                             HeaderStyle style);
    std::string LoggerType(const std::string& entryText) const;
    void ReportStoreFailure(const StoreFailure& failure, const std::string& number);

    BusCore& core_;
    Host& host_;
    ControlSurface& surface_;
    DateTimeSource& dateTime_;
    AutoStore autoStore_;
    // Every step of a rebuild reads the same first entry; a failure already shown for it is not
    // shown again until something has been written.
    std::string lastReportedFailure_;
};

}  // namespace velgrin
