#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>

#include "app/application_icon.h"
#include "app/command_line.h"
#include "app/frm_main.h"
#include "app/screenshots.h"
#include "common/version.h"
#include "ui/central_exception_handler.h"
#include "ui/hlt_dialog/frm_set_up_hlt.h"
#include "ui/qt_host.h"
#include "ui/standard_dialog_texts.h"
#include "ui/window_fonts.h"
#include "wire/link_trace.h"
#include "wire/port_registry.h"
#include "wire/tmex.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kScreenshotPollMs = 5000;

int RefuseUsage(const std::string& message) {
    std::fprintf(stderr, "velgrin: %s\nTry 'velgrin --help'.\n", message.c_str());
    return kUsageError;
}

std::vector<std::string> PortKinds(const velgrin::PortRegistry& registry) {
    std::vector<std::string> kinds;
    for (const auto& backend : registry.backends()) {
        kinds.push_back(backend.kind + ": " + backend.description);
    }
    return kinds;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velgrin;

    const auto parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        return RefuseUsage(error->message);
    }
    const CommandLine& line = std::get<CommandLine>(parsed);

    SteadyClock clock;
    PortRegistry registry = BuiltInPorts(clock);
    if (line.help) {
        std::fputs(UsageText(PortKinds(registry)).c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("velgrin %s\n", VELGRIN_VERSION);
        return 0;
    }
    std::optional<PortSpec> port;
    if (line.port) {
        auto spec = registry.resolve(*line.port);
        if (!spec) {
            std::fprintf(stderr, "velgrin: %s\n", spec.error().message.c_str());
            return kUsageError;
        }
        port = *spec;
    }

    std::unique_ptr<LinkTrace> trace;
    if (line.trace) {
        auto opened = LinkTrace::Open(*line.trace, clock);
        if (!opened) {
            return RefuseUsage(opened.error());
        }
        trace = std::move(*opened);
    }
    const TraceInstallation installed(trace.get());

    std::vector<char*> qtArgv{argv[0]};
    std::vector<std::string> toolkitArguments = line.toolkitArguments;
    for (std::string& arg : toolkitArguments) {
        qtArgv.push_back(arg.data());
    }
    int qtArgc = static_cast<int>(qtArgv.size());
    qtArgv.push_back(nullptr);
    QApplication app(qtArgc, qtArgv.data());
    if (QApplication::arguments().size() > 1) {
        return RefuseUsage("unknown option " + QApplication::arguments().at(1).toStdString());
    }
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("velgrin"));
    QApplication::setWindowIcon(ApplicationIcon());
    if (const QString note = LoadWindowFonts(); !note.isEmpty()) {
        std::fprintf(stderr, "velgrin: %s\n", qPrintable(note));
    }
    if (const QString note = LoadStandardDialogTexts(); !note.isEmpty()) {
        std::fprintf(stderr, "velgrin: %s\n", qPrintable(note));
    }

    QtHost host;
    SetExceptionReportHost(&host);
    TmexDriver driver(std::move(registry), port);
    TFrmMain frmMain(driver, host);
    Thlt_set hltSet(frmMain.core(), frmMain.hltCore(), frmMain);
    // Closing the main window ends the program, also with the settings dialog open.
    hltSet.setAttribute(Qt::WA_QuitOnClose, false);
    frmMain.setSettingsDialog(&hltSet);
    frmMain.show();
    if (line.screenshotDir) {
        ScheduleScreenshots(frmMain, hltSet, QString::fromStdString(*line.screenshotDir),
                            kScreenshotPollMs);
    }
    int status = QApplication::exec();
    SetExceptionReportHost(nullptr);
    if (trace && !trace->failure().empty()) {
        std::fprintf(stderr, "velgrin: %s\n", trace->failure().c_str());
        status = status == 0 ? 1 : status;
    }
    return status;
}
