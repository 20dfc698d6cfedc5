#include "ui/hlt_dialog/frm_set_up_hlt.h"

#include <string>

#include <QRadioButton>
#include <QShowEvent>

#include "hlt/assistants.h"
#include "hlt/channel_panel.h"
#include "hlt/hlt_controls.h"
#include "hlt/settings_write.h"
#include "thermo/list_lookup.h"
#include "ui/central_exception_handler.h"
#include "ui/focus_return.h"

namespace velgrin {

Thlt_set::Thlt_set(BusCore& bus, HltCore& core, PollControl& poll, QWidget* parent)
    : QWidget(parent, Qt::Window), bus_(bus), core_(core), poll_(poll), surface_(*this) {
    setObjectName("hlt_set");
    setWindowTitle("Настройка датчиков");
    setFixedSize(500, 525);
    move(0, 0);
    ui_ = CreateHltSetControls(*this);

    connect(ui_.btnChange, &QPushButton::clicked, this, Guarded(&Thlt_set::btnChangeClick));
    connect(ui_.btnCancel, &QPushButton::clicked, this, Guarded(&Thlt_set::btnCancelClick));
    connect(ui_.btnReload, &QPushButton::clicked, this, Guarded(&Thlt_set::btnReloadClick));
    connect(ui_.btnWrite, &QPushButton::clicked, this, Guarded(&Thlt_set::btnWriteClick));
    connect(ui_.sensor0.hih4000Assistant, &QPushButton::clicked, this,
            Guarded(&Thlt_set::btnS0_H_selectClick));
    connect(ui_.sensor1.hih4000Assistant, &QPushButton::clicked, this,
            Guarded(&Thlt_set::btnS1_H_selectClick));
    connect(ui_.btnWiz, &QPushButton::clicked, this, Guarded(&Thlt_set::btnWizClick));
    connect(ui_.chkUseT, &QCheckBox::toggled, this, Guarded(&Thlt_set::chkUseTClick));
    ConnectTypeGroup(ui_.rg0, &Thlt_set::rg0Click);
    ConnectTypeGroup(ui_.rg1, &Thlt_set::rg1Click);
    ConnectEditHandlers();
    FormCreate();
}

std::function<void()> Thlt_set::Guarded(void (Thlt_set::*handler)()) {
    return [this, handler] { RunGuarded(this, [this, handler] { (this->*handler)(); }); };
}

void Thlt_set::ConnectTypeGroup(QGroupBox* group, void (Thlt_set::*handler)()) {
    for (QRadioButton* item :
         group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        connect(item, &QRadioButton::toggled, this, [this, run = Guarded(handler)](bool checked) {
            if (checked) {
                run();
            }
        });
    }
}

void Thlt_set::Open(std::string_view cmbhltText) {
    try {
        core_.state().curIndxHLT = static_cast<int16_t>(ListEntryIndex(cmbhltText));
    } catch (const ListIndexError&) {
        core_.host().showMessage("Неверный номер датчика в списке: \"" +
                                 std::string(cmbhltText.substr(0, 2)) + "\"");
        return;
    }
    const int index = FindIndxHLT(bus_, cmbhltText);
    if (index < 0) {
        return;
    }
    core_.getValueHLT(static_cast<int16_t>(index), surface_);
    show();
    raise();
    activateWindow();
    if (!poll_.pollTimerEnabled()) {
        poll_.setPollTimerEnabled(true);
    }
}

void Thlt_set::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A spontaneous show is the window system restoring the window, not the dialog opening.
    if (!event->spontaneous()) {
        FormShow();
    }
}

void Thlt_set::SetTopLevelEnabled(bool enabled) {
    for (const char* name : kTopLevelControls) {
        surface_.setEnabled(name, enabled);
    }
}

void Thlt_set::ShowViewModeControls() {
    SetTopLevelEnabled(false);
    surface_.setEnabled("btnChange", true);
}

void Thlt_set::FormCreate() {
    flgEditHLT = false;
    ShowViewModeControls();
}

void Thlt_set::FormShow() {
    surface_.setText(hlt_control::lblCurrentADC1, "ADC1 = XX,XX");
    surface_.setText(hlt_control::lblCurrentADC0, "ADC0 = XX,XX");
    surface_.setText(hlt_control::lblCurrentT, "T = XX,XX");
    surface_.setText(hlt_control::lblCurrentVDD, "VDD = XX,XX");
}

void Thlt_set::btnChangeClick() {
    flgEditHLT = true;
    SetTopLevelEnabled(true);
    surface_.setEnabled("btnChange", false);
}

void Thlt_set::btnCancelClick() {
    flgEditHLT = false;
    ShowViewModeControls();
    hide();
}

void Thlt_set::btnWriteClick() {
    const FocusReturn focus(ui_.btnWrite, {ui_.btnChange});
    // An invalid edit keeps the dialog in edit mode, with the poll stopped, for a correction.
    if (!WriteHltSettings(surface_, core_, flgEditHLT)) {
        return;
    }
    ShowViewModeControls();
    flgEditHLT = false;
    poll_.setPollTimerEnabled(true);
}

void Thlt_set::btnS0_H_selectClick() {
    RunHih4000Assistant(surface_, core_.host(), core_.state().HLTS, 0);
}

void Thlt_set::btnS1_H_selectClick() {
    RunHih4000Assistant(surface_, core_.host(), core_.state().HLTS, 1);
}

void Thlt_set::btnWizClick() {
    RunInputWizard(surface_, core_.host());
}

void Thlt_set::rg0Click() {
    SetUpChannel(0);
}
void Thlt_set::rg1Click() {
    SetUpChannel(1);
}

void Thlt_set::SetUpChannel(int channel) {
    StopPoll();
    const int type = surface_.itemIndex(kHltChannelControls[static_cast<size_t>(channel)].group);
    SetUpChannelPanel(surface_, core_.state().HLTS, channel, type);
}

void Thlt_set::chkUseTClick() {
    if (!surface_.checked(hlt_control::chkUseT)) {
        core_.state().HLTS.set(hlt_field::Tdis, kTdisNotShown);
        surface_.setText(hlt_control::edtTdis, "0");
    }
}

void Thlt_set::btnReloadClick() {
    const FocusReturn focus(ui_.btnReload, {ui_.btnChange});
    StopPoll();
    surface_.setEnabled("btnReload", false);
    core_.host().setBusyCursor(true);
    const auto restore = [this] {
        surface_.setEnabled("btnReload", true);
        core_.host().setBusyCursor(false);
    };
    try {
        // Sealing a block that was not just read would vouch for bytes the device never held.
        if (core_.getValueHLT(core_.state().curIndxHLT, surface_)) {
            // Pages 4 and 5 went unchanged: the device now holds the sealed block whole, the
            // block a following "Записать" starts from.
            if (const auto sealed = core_.WriteCrcHLT()) {
                core_.BlockHeld(*sealed);
            }
        } else {
            core_.host().showMessage(kHltWriteFailedMessage);
        }
    } catch (...) {
        // The error goes on to the central handler; the poll stays stopped then.
        restore();
        throw;
    }
    restore();
    poll_.setPollTimerEnabled(true);
}

}  // namespace velgrin
