#pragma once

#include <QString>

namespace velgrin {

class TFrmMain;
class Thlt_set;

// After `pollMs` of polling, writes a PNG of the main window with each visible tab selected
// into `folder` (main-ds1820.png, ...), then opens `settings` for the selected multisensor as
// "Расширенные настройки" does, writes hlt-settings.png once a poll has filled it, runs the
// input wizard for a 4 to 20 mA sensor and writes hlt-wizard.png of the edits it filled, then
// saves a logger's number as far as the save dialog, writing input-box.png of the comment's box
// and save-dialog.png of the (cancelled) save dialog, and quits the program.
void ScheduleScreenshots(TFrmMain& window, Thlt_set& settings, const QString& folder, int pollMs);

}  // namespace velgrin
