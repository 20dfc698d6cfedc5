#include <optional>

#include "number_log_fixture.h"
#include "recording_surface.h"
#include "wire/device_lists.h"
#include "wire/tmex.h"

namespace velgrin::testing {

namespace {

// The list rebuild as velgrin-cli shows it: each list its first entry on plain controls.
class PlainFrontEnd : public NumberLogFrontEnd {
  public:
    PlainFrontEnd(ScriptedHost& host, DateTimeSource& dateTime)
        : core_(driver_, host), log_(core_, host, surface_, dateTime) {}

    BusCore& core() override { return core_; }
    ControlSurface& surface() override { return surface_; }
    NumberLog& log() override { return log_; }

    void RebuildLists() override {
        // The views are cleared before every rebuild.
        surface_.setColor("shp1", colors::kButtonFace);
        const DeviceLists lists = RebuildDeviceLists(core_);
        ShowSelectedEntries(lists, surface_);
        log_.StoreRebuildSteps(lists);
    }

  private:
    TmexDriver driver_{PortRegistry{}, std::nullopt};
    BusCore core_;
    RecordingSurface surface_;
    NumberLog log_;
};

}  // namespace

std::unique_ptr<NumberLogFrontEnd> MakeNumberLogFrontEnd(ScriptedHost& host,
                                                         DateTimeSource& dateTime) {
    return std::make_unique<PlainFrontEnd>(host, dateTime);
}

}  // namespace velgrin::testing
