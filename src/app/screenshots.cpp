#include "app/screenshots.h"

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/frm_main.h"
#include "app/modal_answers.h"
#include "hlt/hlt_controls.h"
#include "ui/hlt_dialog/frm_set_up_hlt.h"

namespace velgrin {

namespace {

// File names of the tabs by page index, ASCII for any file system.
constexpr const char* kTabFileNames[] = {"ds1820", "ds2438", "reg", "ds192x", "settings", "info"};
constexpr const char* kSettingsFileName = "hlt-settings.png";
constexpr const char* kWizardFileName = "hlt-wizard.png";
constexpr const char* kInputBoxFileName = "input-box.png";
constexpr const char* kSaveDialogFileName = "save-dialog.png";
// What the dialog's temperature label shows from its opening until a poll fills it.
constexpr const char* kUnfilledTemperature = "T = XX,XX";
constexpr int kRetryMs = 20;
constexpr int kPatienceMs = 10000;
// Time for the window manager to hand the activation back to the main window.
constexpr int kActivationMs = 500;

bool Save(QWidget& widget, const QString& file) {
    if (widget.grab().save(file)) {
        return true;
    }
    std::fprintf(stderr, "velgrin: cannot write %s\n", qPrintable(file));
    return false;
}

bool WriteScreenshots(TFrmMain& window, const QString& folder) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "velgrin: cannot make the folder %s\n", qPrintable(folder));
        return false;
    }
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("pgc1"));
    const int selected = tabs->currentIndex();
    bool written = true;
    for (int page = 0; page < tabs->count(); ++page) {
        if (!tabs->isTabVisible(page)) {
            continue;
        }
        tabs->setCurrentIndex(page);
        const QString file =
            QDir(folder).filePath(QStringLiteral("main-%1.png").arg(kTabFileNames[page]));
        written = Save(window, file) && written;
    }
    tabs->setCurrentIndex(selected);
    return written;
}

// Runs `shoot` at a moment between two ticks, once the timer square has turned green again and
// `ready` holds: the windows as the user mostly sees them. The grabs process no events, so no
// tick runs inside them.
template <typename Ready, typename Shoot>
void BetweenTicks(TFrmMain& window, Ready ready, Shoot shoot, int waitedMs = 0) {
    const bool betweenTicks =
        window.pollTimerEnabled() && window.controls().color("shpTimer") == colors::kGreen;
    if (!(betweenTicks && ready()) && waitedMs < kPatienceMs) {
        QTimer::singleShot(kRetryMs, &window, [&window, ready, shoot, waitedMs] {
            BetweenTicks(window, ready, shoot, waitedMs + kRetryMs);
        });
        return;
    }
    shoot();
}

// On the main window's "Reg" tab, "Сохранить номер на диске" as far as the save dialog, which
// is cancelled: the comment's input box and the save dialog as a technician sees them.
void ShootNumberSave(TFrmMain& window, const QString& folder, bool written) {
    window.findChild<QTabWidget*>(QStringLiteral("pgc1"))->setCurrentIndex(frm_main_page::kReg);
    const QDir dir(folder);
    ModalAnswers answers({QStringLiteral("Датчик")}, dir.filePath(kInputBoxFileName),
                         dir.filePath(kSaveDialogFileName));
    window.findChild<QPushButton*>(QStringLiteral("btnSaveToFile"))->click();
    QApplication::exit(written && answers.allWell() ? 0 : 1);
}

// The input wizard on the open settings dialog, answered for a 4 to 20 mA sensor, and the
// channel's edits it fills; then the number save on the main window.
void ShootWizard(TFrmMain& window, Thlt_set& settings, const QString& folder, bool written) {
    {
        ModalAnswers answers({"0", "100", "10", "90", "0", "4,0", "20,0"});
        settings.findChild<QPushButton*>(QStringLiteral("btnWiz"))->click();
        written =
            answers.allWell() && Save(settings, QDir(folder).filePath(kWizardFileName)) && written;
    }
    settings.hide();
    window.activateWindow();
    QTimer::singleShot(kActivationMs, &window,
                       [&window, folder, written] { ShootNumberSave(window, folder, written); });
}

// The dialog as the user opens it from the multisensor tab, once a tick has filled its live
// readings; a dialog that never opens or fills gives no picture.
void ShootSettings(TFrmMain& window, Thlt_set& settings, const QString& folder, bool written) {
    window.findChild<QTabWidget*>(QStringLiteral("pgc1"))->setCurrentIndex(frm_main_page::kHlt);
    window.findChild<QPushButton*>(QStringLiteral("btnSetHum"))->click();
    const auto filled = [&settings] {
        return settings.isVisible() &&
               settings.controls().text(hlt_control::lblCurrentT) != kUnfilledTemperature;
    };
    BetweenTicks(window, filled, [&window, &settings, folder, written, filled] {
        if (!filled()) {
            std::fprintf(stderr, "velgrin: the settings dialog was not filled\n");
            QApplication::exit(1);
            return;
        }
        const bool saved = Save(settings, QDir(folder).filePath(kSettingsFileName));
        ShootWizard(window, settings, folder, written && saved);
    });
}

}  // namespace

void ScheduleScreenshots(TFrmMain& window, Thlt_set& settings, const QString& folder, int pollMs) {
    QTimer::singleShot(pollMs, &window, [&window, &settings, folder] {
        BetweenTicks(
            window, [] { return true; },
            [&window, &settings, folder] {
                ShootSettings(window, settings, folder, WriteScreenshots(window, folder));
            });
    });
}

}  // namespace velgrin
