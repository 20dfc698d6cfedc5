#pragma once

#include <QString>

namespace velgrin {

class TFrmMain;

// After `pollMs` of polling, writes a PNG of the main window with each visible tab selected
// into `folder` (main-ds1820.png, ...) and quits the program.
void ScheduleScreenshots(TFrmMain& window, const QString& folder, int pollMs);

}  // namespace velgrin
