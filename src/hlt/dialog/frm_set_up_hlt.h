#pragma once

#include <QWidget>

#include "app/qt_control_surface.h"
#include "common/host.h"
#include "hlt/dialog/hlt_set_layout.h"
#include "wire/poll_control.h"

namespace velgrin {

// The multisensor settings dialog: live readings, the two channels' types and scaling, the
// built-in temperature sensor's settings. Created hidden once at start-up and shown modeless.
class Thlt_set : public QWidget {
    Q_OBJECT

  public:
    Thlt_set(PollControl& poll, Host& host, QWidget* parent = nullptr);

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

    // Enables or disables the ten controls placed directly on the dialog.
    void setTopLevelEnabled(bool enabled);

    PollControl& poll_;
    Host& host_;
    HltSetControls ui_;
    QtControlSurface surface_;
};

}  // namespace velgrin
