#include "hlt/dialog/frm_set_up_hlt.h"

#include <QShowEvent>

namespace velgrin {

Thlt_set::Thlt_set(PollControl& poll, Host& host, QWidget* parent)
    : QWidget(parent, Qt::Window), poll_(poll), host_(host), surface_(*this) {
    setObjectName("hlt_set");
    setWindowTitle("Настройка датчиков");
    setFixedSize(500, 525);
    move(0, 0);
    ui_ = CreateHltSetControls(*this);

    connect(ui_.btnChange, &QPushButton::clicked, this, &Thlt_set::btnChangeClick);
    connect(ui_.btnCancel, &QPushButton::clicked, this, &Thlt_set::btnCancelClick);
    FormCreate();
}

void Thlt_set::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A spontaneous show is the window system restoring the window, not the dialog opening.
    if (!event->spontaneous()) {
        FormShow();
    }
}

void Thlt_set::setTopLevelEnabled(bool enabled) {
    for (const char* name : kTopLevelControls) {
        surface_.setEnabled(name, enabled);
    }
}

void Thlt_set::FormCreate() {
    flgEditHLT = false;
    setTopLevelEnabled(false);
    surface_.setEnabled("btnChange", true);
}

void Thlt_set::FormShow() {
    surface_.setText("lblCurrentADC1", "ADC1 = XX,XX");
    surface_.setText("lblCurrentADC0", "ADC0 = XX,XX");
    surface_.setText("lblCurrentT", "T = XX,XX");
    surface_.setText("lblCurrentVDD", "VDD = XX,XX");
}

void Thlt_set::btnChangeClick() {
    flgEditHLT = true;
    setTopLevelEnabled(true);
    surface_.setEnabled("btnChange", false);
}

void Thlt_set::btnCancelClick() {
    flgEditHLT = false;
    setTopLevelEnabled(false);
    surface_.setEnabled("btnChange", true);
    hide();
}

}  // namespace velgrin
