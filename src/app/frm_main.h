#pragma once

#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "app/frm_main_layout.h"
#include "app/ks_timers.h"
#include "app/qt_progress_bar.h"
#include "common/host.h"
#include "hlt/hlt_core.h"
#include "hlt/hlt_state.h"
#include "numberlog/date_time_source.h"
#include "numberlog/number_log.h"
#include "thermo/thermometer_tab.h"
#include "ui/hlt_dialog/frm_set_up_hlt.h"
#include "ui/qt_control_surface.h"
#include "wire/bus_core.h"
#include "wire/poll_control.h"
#include "wire/tmex.h"

namespace velgrin {

// The main window: the status line, the six tabs with the device lists, and the one-second poll
// that drives every refresh. The bus state lives in its BusCore; the window shows it.
class TFrmMain : public QWidget, public PollControl {
    Q_OBJECT

  public:
    TFrmMain(TmexDriver& driver, Host& host, QWidget* parent = nullptr);
    // `dateTime` stamps the number log's lines in place of the system's wall clock.
    TFrmMain(TmexDriver& driver, Host& host, DateTimeSource& dateTime, QWidget* parent = nullptr);

    // The multisensor settings dialog, made after the window; the tick paints its indicator
    // and stays idle while it is in edit mode.
    void setSettingsDialog(Thlt_set* dialog) { settingsDialog_ = dialog; }

    bool pollTimerEnabled() const override { return tmrg_->Enabled(); }
    void setPollTimerEnabled(bool enabled) override { tmrg_->setEnabled(enabled); }
    int16_t ScanNetwork() override;

    void tmrgTimer(QObject* sender);
    void TimerCheckTmrTimer();
    void RefreshView(bool redrawAll);
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);

    BusCore& core() { return core_; }
    TksTimer& tmrg() { return *tmrg_; }
    ControlSurface& controls() { return surface_; }
    ThermometerTab& thermometerTab() { return thermometerTab_; }
    NumberLog& numberLog() { return numberLog_; }
    HltCore& hltCore() { return hltCore_; }
    // Ticks that arrived while another was still running and were dropped.
    int droppedTicks() const { return droppedTicks_; }

  protected:
    // Key preview: F1 is seen before the focused control, which still gets it.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The system's wall clock when `dateTime` is null.
    TFrmMain(TmexDriver& driver, Host& host, DateTimeSource* dateTime, QWidget* parent);

    void FormCreate();
    void ConnectHandlers();
    void ShowScanTexts();
    void ClearDeviceViews();
    void RebuildDeviceLists();
    void RefreshValues();
    void RefreshSelectedMultisensor();
    void cmb1820Change();
    void btn1820wrClick();
    void Guarded(void (NumberLog::*handler)());
    void btnSetHumClick();
    void cbbPortChange(int index);
    void cbAdapterChange(int index);
    void LinkReleased(QObject* label, const QMouseEvent& release);

    bool SettingsDialogVisible() const;
    void PaintSettingsDialogIndicator(Rgb color);

    BusCore core_;
    FrmMainControls ui_;
    QtControlSurface surface_;
    QtProgressBar progress_;
    ThermometerTab thermometerTab_;
    SystemDateTime systemDateTime_;
    NumberLog numberLog_;
    HltState hltState_;
    HltCore hltCore_;
    TksTimer* tmrg_ = nullptr;
    QTimer* TimerCheckTmr_ = nullptr;
    QPointer<Thlt_set> settingsDialog_;
    bool tickRunning_ = false;
    int droppedTicks_ = 0;
};

}  // namespace velgrin
