#include <optional>

#include "app/frm_main.h"
#include "number_log_fixture.h"
#include "qt_test_app.h"
#include "wire/tmex.h"

namespace velgrin::testing {

namespace {

// The main window: its own controls, number log and view refresh with a rebuild.
class WindowFrontEnd : public NumberLogFrontEnd {
  public:
    WindowFrontEnd(ScriptedHost& host, DateTimeSource& dateTime)
        : window_(driver_, host, dateTime) {}

    BusCore& core() override { return window_.core(); }
    ControlSurface& surface() override { return window_.controls(); }
    NumberLog& log() override { return window_.numberLog(); }
    void RebuildLists() override { window_.RefreshView(true); }

  private:
    QApplication& app_ = TestApp();
    TmexDriver driver_{PortRegistry{}, std::nullopt};
    TFrmMain window_;
};

}  // namespace

std::unique_ptr<NumberLogFrontEnd> MakeNumberLogFrontEnd(ScriptedHost& host,
                                                         DateTimeSource& dateTime) {
    return std::make_unique<WindowFrontEnd>(host, dateTime);
}

}  // namespace velgrin::testing
