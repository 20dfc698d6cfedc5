#include "app/frm_main.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/frm_main_texts.h"
#include "thermo/list_lookup.h"
#include "ui/central_exception_handler.h"
#include "ui/focus_return.h"
#include "wire/device_lists.h"

namespace velgrin {

namespace {

constexpr int kPollPeriodMs = 1000;
constexpr int kTimerCheckMs = 200;

constexpr const char* kPageNames[] = {device_page::kDs1820, device_page::kHlt, device_page::kReg,
                                      device_page::kDs192x, "Настр",           "TabInfo"};
constexpr const char* kAdapterItems[] = {"DS9097E",  "Parallel", "--------",
                                         "--------", "DS90907U", "USB"};
constexpr int kPortItems = 12;
// What the lists show when the driver has no default port: "1" and "USB".
constexpr int kFallbackPortItem = 0;
constexpr int kFallbackAdapterItem = 5;

// Marks a tick as running for its whole extent, also when it ends by an exception.
class RunningFlag {
  public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

  private:
    bool& flag_;
};

// Fills an emptied list and selects its first entry.
void ShowList(QComboBox& list, const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
        list.addItem(QString::fromStdString(entry));
    }
    if (!entries.empty()) {
        list.setCurrentIndex(0);
    }
}

}  // namespace

TFrmMain::TFrmMain(TmexDriver& driver, Host& host, QWidget* parent)
    : TFrmMain(driver, host, nullptr, parent) {}

TFrmMain::TFrmMain(TmexDriver& driver, Host& host, DateTimeSource& dateTime, QWidget* parent)
    : TFrmMain(driver, host, &dateTime, parent) {}

TFrmMain::TFrmMain(TmexDriver& driver, Host& host, DateTimeSource* dateTime, QWidget* parent)
    : QWidget(parent),
      core_(driver, host),
      ui_(BuildFrmMainControls(*this)),
      surface_(*this),
      progress_(*ui_.Progress_wr_1820),
      thermometerTab_(core_, *this, surface_, progress_),
      numberLog_(core_, host, surface_, dateTime != nullptr ? *dateTime : systemDateTime_),
      hltCore_(core_, *this, hltState_) {
    setWindowTitle(QString::fromUtf8(kFrmMainDesignCaption));
    TimerCheckTmr_ = new QTimer(this);
    TimerCheckTmr_->setObjectName(QStringLiteral("TimerCheckTmr"));
    TimerCheckTmr_->setInterval(kTimerCheckMs);
    FormCreate();
    ConnectHandlers();
    TimerCheckTmr_->start();
    qApp->installEventFilter(this);
}

void TFrmMain::FormCreate() {
    thermometerTab_.ThresholdEditPending = false;

    tmrg_ = new TksTimer(this);
    tmrg_->setObjectName(QStringLiteral("tmrg"));
    tmrg_->setOnTimer([this](QObject* sender) { tmrgTimer(sender); });
    tmrg_->setPeriod(kPollPeriodMs);
    tmrg_->setDueTime(kPollPeriodMs);
    tmrg_->setEnabled(true);

    ui_.pgc1->setCurrentIndex(frm_main_page::kDs1820);

    numberLog_.autoStore().List.clear();
    core_.SNADAPTERS.clear();
    numberLog_.autoStore().flgSaveSNAdapters = true;

    for (const char* page : kPageNames) {
        surface_.setEnabled(page, false);
    }
    surface_.setEnabled(kPageNames[frm_main_page::kInfo], true);
    surface_.setVisible(kPageNames[frm_main_page::kDs192x], false);

    setWindowTitle(windowTitle() + QString::fromUtf8(kCaptionVersion));
    setWindowTitle(windowTitle() + QString::fromUtf8(kCaptionEdition));

    core_.TypeButtonString.clear();
    numberLog_.autoStore().TypeButtonStringLast.clear();
    surface_.setVisible(kPageNames[frm_main_page::kReg], false);

    ui_.cbbPort->clear();
    ui_.cbAdapter->clear();
    for (const char* item : kAdapterItems) {
        ui_.cbAdapter->addItem(QString::fromUtf8(item));
    }
    for (int port = 1; port <= kPortItems; ++port) {
        ui_.cbbPort->addItem(QString::number(port));
    }
    ui_.cbbPort->setCurrentIndex(-1);
    ui_.cbAdapter->setCurrentIndex(-1);

    core_.portConfigDefault = true;
    surface_.setEnabled(kPageNames[frm_main_page::kSettings], true);
    ui_.MemoInfo->appendPlainText(QString());
    surface_.setEnabled(kPageNames[frm_main_page::kDs1820], true);
    surface_.setVisible(kPageNames[frm_main_page::kReg], true);
    surface_.setVisible(kPageNames[frm_main_page::kHlt], true);
}

void TFrmMain::ConnectHandlers() {
    connect(TimerCheckTmr_, &QTimer::timeout, this, [this] { TimerCheckTmrTimer(); });

    connect(ui_.edt1820up, &QLineEdit::textChanged, this,
            [this] { RunGuarded(this, [this] { thermometerTab_.edt1820upChange(); }); });
    connect(ui_.edt1820down, &QLineEdit::textChanged, this,
            [this] { RunGuarded(this, [this] { thermometerTab_.edt1820downChange(); }); });
    connect(ui_.cmb1820, &QComboBox::activated, this, [this] { cmb1820Change(); });
    connect(ui_.cmb1820->lineEdit(), &QLineEdit::textEdited, this, [this] { cmb1820Change(); });
    connect(ui_.btn1820wr, &QPushButton::clicked, this, [this] { btn1820wrClick(); });

    connect(ui_.chkFileDs1820, &QCheckBox::clicked, this,
            [this] { Guarded(&NumberLog::chkFileDs1820Click); });
    connect(ui_.btnSaveToFile, &QPushButton::clicked, this,
            [this] { Guarded(&NumberLog::btnSaveToFileClick); });
    connect(ui_.ChkAutoStore, &QCheckBox::clicked, this,
            [this] { Guarded(&NumberLog::ChkAutoStoreClick); });

    connect(ui_.btnSetHum, &QPushButton::clicked, this, [this] { btnSetHumClick(); });

    connect(ui_.cbbPort, &QComboBox::activated, this, [this](int index) { cbbPortChange(index); });
    connect(ui_.cbAdapter, &QComboBox::activated, this,
            [this](int index) { cbAdapterChange(index); });
}

void TFrmMain::cmb1820Change() {
    RunGuarded(this, [this] { thermometerTab_.cmb1820Change(); });
}

void TFrmMain::btn1820wrClick() {
    const FocusReturn focus(ui_.btn1820wr, {ui_.edt1820up});
    RunGuarded(this, [this] {
        std::vector<std::string> items;
        for (int i = 0; i < ui_.cmb1820->count(); ++i) {
            items.push_back(ui_.cmb1820->itemText(i).toStdString());
        }
        thermometerTab_.btn1820wrClick(std::move(items));
    });
}

void TFrmMain::Guarded(void (NumberLog::*handler)()) {
    RunGuarded(this, [&] { (numberLog_.*handler)(); });
}

void TFrmMain::btnSetHumClick() {
    RunGuarded(this, [this] {
        if (settingsDialog_ != nullptr) {
            settingsDialog_->Open(surface_.text("cmbhlt"));
        }
    });
}

void TFrmMain::cbbPortChange(int index) {
    core_.cbbPortChange(index);
}

void TFrmMain::cbAdapterChange(int index) {
    core_.cbAdapterChange(index);
}

// A click on a link: the left button released over the label it was pressed on.
void TFrmMain::LinkReleased(QObject* label, const QMouseEvent& release) {
    const char* url = label == ui_.txt1     ? links::kMakerSite
                      : label == ui_.lbl6   ? links::kProductSite
                      : label == ui_.lblkip ? links::kOtherSite
                                            : nullptr;
    if (url == nullptr || release.button() != Qt::LeftButton ||
        !static_cast<QWidget*>(label)->rect().contains(release.position().toPoint())) {
        return;
    }
    core_.host().openUrl(url);
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        LinkReleased(watched, *static_cast<QMouseEvent*>(event));
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    // A key press goes to the focused control first and then up its parents; act on its first
    // delivery only.
    QWidget* first = QApplication::focusWidget();
    if (first == nullptr || first->window() != this) {
        first = this;
    }
    if (watched != first) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    FormKeyDown(key->key(), key->modifiers());
    // F1 is the window's alone. Its help box takes the focus, so once the box is closed the
    // press would travel on to the window and count as its first delivery again.
    return key->key() == Qt::Key_F1;
}

void TFrmMain::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
    if (key != Qt::Key_F1) {
        return;
    }
    RunGuarded(this, [&] {
        if (shift.testFlag(Qt::ControlModifier)) {
            ScanNetwork();
        } else {
            core_.host().showMessage(HelpMessageText());
        }
    });
}

void TFrmMain::tmrgTimer(QObject*) {
    if (settingsDialog_ != nullptr && settingsDialog_->flgEditHLT) {
        return;
    }
    // A tick delivered while one runs (its timer was switched off with a callback under way)
    // would search the bus inside the running search.
    if (tickRunning_) {
        ++droppedTicks_;
        return;
    }
    RunningFlag running(tickRunning_);
    tmrg_->setEnabled(false);
    if (SettingsDialogVisible()) {
        PaintSettingsDialogIndicator(colors::kRed);
    }
    // A poll starts afresh: an adapter swapped since the last one is taken as the adapter now.
    // A page write's own rescan does not come here, so it stays on the adapter it began on.
    core_.driver().forgetAdapter();
    const int16_t r = ScanNetwork();
    surface_.setColor("shpindik", r > 0 ? colors::kLime : colors::kRed);
    if (SettingsDialogVisible()) {
        PaintSettingsDialogIndicator(colors::kLime);
    }
    tmrg_->setEnabled(true);
}

void TFrmMain::TimerCheckTmrTimer() {
    surface_.setColor("shpTimer", tmrg_->Enabled() ? colors::kGreen : colors::kRed);
}

int16_t TFrmMain::ScanNetwork() {
    const ScanOutcome outcome = core_.ScanSessionAndSearch();
    if (outcome.portListsToDefaults) {
        ui_.cbbPort->setCurrentIndex(kFallbackPortItem);
        ui_.cbAdapter->setCurrentIndex(kFallbackAdapterItem);
    }
    ShowScanTexts();
    // The status texts are fixed; why the adapter could not be used is the status's tooltip.
    ui_.stat11->setToolTip(outcome.result < 1 ? QString::fromStdString(AdapterFailureTooltip(
                                                    core_.driver().lastError()))
                                              : QString());
    if (outcome.noPortChosen) {
        RefreshView(true);
    }
    RefreshView(core_.flgRedravAll);
    core_.host().processMessages();
    if (!thermometerTab_.ThresholdEditPending) {
        tmrg_->setEnabled(true);
    }
    return outcome.result;
}

void TFrmMain::ShowScanTexts() {
    surface_.setText("stat11", core_.stat11);
    if (surface_.text("Stat1") != core_.Stat1) {
        surface_.setText("Stat1", core_.Stat1);
    }
}

void TFrmMain::RefreshView(bool redrawAll) {
    if (core_.FoundDev == 0 || redrawAll) {
        ClearDeviceViews();
        if (core_.FoundDev == 0) {
            return;
        }
    }
    if (redrawAll) {
        RebuildDeviceLists();
        return;
    }
    RefreshValues();
}

void TFrmMain::ClearDeviceViews() {
    ui_.cmb1820->clear();
    ui_.cmb1820->clearEditText();
    surface_.setText(thermo_control::kUpper, "");
    surface_.setText(thermo_control::kLower, "");
    surface_.setText(thermo_control::kTemperature, kNoTemperatureText);
    ui_.cmbhlt->clear();
    ui_.cmbhlt->clearEditText();
    ui_.cmbSN->clear();
    ui_.cmbSN->clearEditText();
    ui_.cmbDs192x->clear();
    ui_.cmbDs192x->clearEditText();
    for (QLineEdit* edit :
         {ui_.edtDs192xTup, ui_.edtDs192xTdown, ui_.edtDs192xHdown, ui_.edtDs192xHup}) {
        edit->clear();
    }
    surface_.setColor("shp1", colors::kButtonFace);
}

void TFrmMain::RebuildDeviceLists() {
    const DeviceLists lists = velgrin::RebuildDeviceLists(core_);
    for (const PageSwitch& page : lists.pages) {
        surface_.setEnabled(page.page, page.enabled);
    }
    ShowList(*ui_.cmb1820, lists.cmb1820);
    ShowList(*ui_.cmbhlt, lists.cmbhlt);
    ShowList(*ui_.cmbSN, lists.cmbSN);
    ShowList(*ui_.cmbDs192x, lists.cmbSN);
    numberLog_.StoreRebuildSteps(lists);
}

void TFrmMain::RefreshValues() {
    thermometerTab_.RefreshSelectedThermometer();
    RefreshSelectedMultisensor();
}

void TFrmMain::RefreshSelectedMultisensor() {
    const std::string entry = surface_.text("cmbhlt");
    if (entry.empty()) {
        return;
    }
    // Only a check: a typed text that names no table index stops the refresh here.
    (void)ListEntryIndex(entry);
    const int index = FindIndxHLT(core_, entry);
    if (index >= 0 && settingsDialog_ != nullptr) {
        hltCore_.getValueHLT(static_cast<int16_t>(index), settingsDialog_->controls());
    }
}

bool TFrmMain::SettingsDialogVisible() const {
    return settingsDialog_ != nullptr && settingsDialog_->isVisible();
}

void TFrmMain::PaintSettingsDialogIndicator(Rgb color) {
    settingsDialog_->controls().setColor("shpindik", color);
}

}  // namespace velgrin
