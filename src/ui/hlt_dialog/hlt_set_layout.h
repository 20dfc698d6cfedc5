#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QWidget>

#include "ui/hlt_dialog/clickable_edit.h"

namespace velgrin {

// The controls of one channel panel (Sensor 0 on pnlS0, Sensor 1 on pnl1) that have handlers.
struct ChannelControls {
    ClickableEdit* min = nullptr;
    ClickableEdit* max = nullptr;
    ClickableEdit* minVoltage = nullptr;
    ClickableEdit* maxVoltage = nullptr;
    ClickableEdit* upValue = nullptr;
    ClickableEdit* downValue = nullptr;
    QPushButton* hih4000Assistant = nullptr;
};

// The widgets of the settings dialog that its handlers connect to.
struct HltSetControls {
    QGroupBox* rg0 = nullptr;
    QGroupBox* rg1 = nullptr;
    ChannelControls sensor0;
    ChannelControls sensor1;
    QPushButton* btnWiz = nullptr;
    QPushButton* btnWrite = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnReload = nullptr;
    QPushButton* btnChange = nullptr;
    ClickableEdit* edtTdis = nullptr;
    ClickableEdit* edtTupLimit = nullptr;
    ClickableEdit* edtTdownLimit = nullptr;
    QCheckBox* chkUseT = nullptr;
};

// The ten controls placed directly on the dialog, in creation order; the modes switch exactly
// these.
inline constexpr const char* kTopLevelControls[] = {
    "rg1",       "rg0",       "pnlS0", "pnl1", "btnWrite",
    "btnCancel", "btnReload", "pnl2",  "pnl3", "btnChange",
};

// Creates every control of the settings dialog on `form` at its fixed place, named and captioned.
HltSetControls CreateHltSetControls(QWidget& form);

}  // namespace velgrin
