#include "app/screenshots.h"

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include "app/frm_main.h"

namespace velgrin {

namespace {

// File names of the tabs by page index, ASCII for any file system.
constexpr const char* kTabFileNames[] = {"ds1820", "ds2438", "reg", "ds192x", "settings", "info"};

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
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "velgrin: cannot write %s\n", qPrintable(file));
            written = false;
        }
    }
    tabs->setCurrentIndex(selected);
    return written;
}

// Waits for a moment between two ticks, once the timer square has turned green again: the
// window as the user mostly sees it. The grabs process no events, so no tick runs inside them.
void ShootBetweenTicks(TFrmMain& window, const QString& folder, int waitedMs) {
    constexpr int kRetryMs = 20;
    constexpr int kPatienceMs = 10000;
    const bool betweenTicks =
        window.pollTimerEnabled() && window.controls().color("shpTimer") == colors::kGreen;
    if (!betweenTicks && waitedMs < kPatienceMs) {
        QTimer::singleShot(kRetryMs, &window, [&window, folder, waitedMs] {
            ShootBetweenTicks(window, folder, waitedMs + kRetryMs);
        });
        return;
    }
    QApplication::exit(WriteScreenshots(window, folder) ? 0 : 1);
}

}  // namespace

void ScheduleScreenshots(TFrmMain& window, const QString& folder, int pollMs) {
    QTimer::singleShot(pollMs, &window,
                       [&window, folder] { ShootBetweenTicks(window, folder, 0); });
}

}  // namespace velgrin
