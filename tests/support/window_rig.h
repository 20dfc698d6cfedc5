#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <QComboBox>
#include <QCoreApplication>
#include <QStringList>

#include "app/frm_main.h"
#include "bench_rig.h"
#include "qt_test_app.h"
#include "scripted_host.h"
#include "ui/central_exception_handler.h"
#include "ui/hlt_dialog/frm_set_up_hlt.h"
#include "wire/sim/bench_file.h"

// Readable failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace velgrin::testing {

// The program's two windows over the demo bench (or another), on the virtual clock with scripted
// dialogs. Ticks are delivered as the timer thread delivers them: as a tick event to the poll
// timer's hidden receiver.
struct WindowRig {
    using BenchMaker = std::function<std::shared_ptr<sim::SimBench>(const Clock&)>;

    explicit WindowRig(bool defaultPort = true, const BenchMaker& makeBench = sim::MakeDemoBench)
        : bench(makeBench(clock)),
          driver(BenchRegistry(bench),
                 defaultPort ? std::optional<PortSpec>(PortSpec{"bench", ""}) : std::nullopt) {
        SetExceptionReportHost(&host);
        window.setSettingsDialog(&dialog);
    }
    ~WindowRig() { SetExceptionReportHost(nullptr); }

    void Tick() {
        TksTimerTickEvent tick(++callbacks);
        QCoreApplication::sendEvent(window.tmrg().WindowHandle(), &tick);
    }

    ControlSurface& ui() { return window.controls(); }

    template <typename Widget>
    Widget* Find(const char* name) {
        return window.findChild<Widget*>(QString::fromUtf8(name));
    }

    QStringList Items(const char* list) {
        QStringList items;
        auto* combo = Find<QComboBox>(list);
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        return items;
    }

    QApplication& app = TestApp();
    VirtualClock clock;
    ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench;
    TmexDriver driver;
    TFrmMain window{driver, host};
    Thlt_set dialog{window.core(), window.hltCore(), window};
    uint32_t callbacks = 0;
};

}  // namespace velgrin::testing
