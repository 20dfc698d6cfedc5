#pragma once

#include <string_view>

#include <QWidget>

#include "hlt/hlt_core.h"
#include "ui/hlt_dialog/hlt_set_layout.h"
#include "ui/qt_control_surface.h"
#include "wire/bus_core.h"
#include "wire/poll_control.h"

namespace velgrin {

// The multisensor settings dialog: live readings, the two channels' types and scaling, the
// built-in temperature sensor's settings. Created hidden once at start-up and shown modeless;
// closing it only hides it.
class Thlt_set : public QWidget {
    Q_OBJECT

  public:
    // `bus` finds the list entry's device; `core` reads, seals and writes it; `poll` is the main
    // window's poll, which any touch of a setting holds off.
    Thlt_set(BusCore& bus, HltCore& core, PollControl& poll, QWidget* parent = nullptr);

    // Opens the dialog for the multisensor list entry `cmbhltText` (the main window's
    // "Расширенные настройки"): reads the device into the dialog, shows it and lets the poll run.
    void Open(std::string_view cmbhltText);

    // True while the dialog is in edit mode; every poll tick returns at once then.
    bool flgEditHLT = false;

    // The dialog's controls by name, for the decode that fills them and the tick that paints
    // shpindik.
    ControlSurface& controls() { return surface_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    void btnChangeClick();
    void btnCancelClick();
    void rg0Click();
    void rg1Click();
    void chkUseTClick();
    void btnReloadClick();
    void btnWriteClick();
    void btnS0_H_selectClick();
    void btnS1_H_selectClick();
    void btnWizClick();

    void edtS0minChange();
    void edtS0minClick();
    void edtS0MaxChange();
    void edtS0MaxClick();
    void edtS0minVoltageChange();
    void edtS0minVoltageClick();
    void edtS0MaxVoltageChange();
    void edtS0MaxVoltageClick();
    void edtS0UpValueChange();
    void edtS0UpValueClick();
    void edtS0DownValueChange();
    void edtS0DownValueClick();
    void edtS1minChange();
    void edtS1minClick();
    void edtS1MaxChange();
    void edtS1MaxClick();
    void edtS1minVoltageChange();
    void edtS1minVoltageClick();
    void edtS1MaxVoltageChange();
    void edtS1MaxVoltageClick();
    void edtS1UpValueChange();
    void edtS1UpValueClick();
    void edtS1DownValueChange();
    void edtS1DownValueClick();
    void edtTdisChange();
    void edtTdisClick();
    void edtTupLimitChange();
    void edtTupLimitClick();
    void edtTdownLimitChange();
    void edtTdownLimitClick();

    // Qt must never see an exception: a handler's failure goes to the central handler.
    std::function<void()> Guarded(void (Thlt_set::*handler)());
    void ConnectEditHandlers();
    // A type handler runs on every change of the selection to a type, by the user or by the
    // decode; never for no selection.
    void ConnectTypeGroup(QGroupBox* group, void (Thlt_set::*handler)());
    void SetUpChannel(int channel);
    // Enables or disables the ten controls placed directly on the dialog.
    void SetTopLevelEnabled(bool enabled);
    // View mode's controls: all ten disabled but "Изменить".
    void ShowViewModeControls();
    void StopPoll() { poll_.setPollTimerEnabled(false); }

    BusCore& bus_;
    HltCore& core_;
    PollControl& poll_;
    HltSetControls ui_;
    QtControlSurface surface_;
};

}  // namespace velgrin
