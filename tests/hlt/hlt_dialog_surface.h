#pragma once

#include "hlt/channel_panel.h"
#include "hlt/hlt_state.h"
#include "recording_surface.h"

namespace velgrin::testing {

// The settings dialog's controls as the window behaves: a program change of a type group to a
// type runs that group's click handler, which sets the channel panel up; a click handler also
// stops the poll, which `groupClicks` counts.
class HltDialogSurface : public RecordingSurface {
  public:
    explicit HltDialogSurface(const HltState& state) : state_(state) {}

    void setItemIndex(std::string_view name, int index) override {
        const bool changed = itemIndex(name) != index;
        RecordingSurface::setItemIndex(name, index);
        if (!changed || index < 0) {
            return;
        }
        ++groupClicks;
        SetUpChannelPanel(*this, state_.HLTS, name == "rg0" ? 0 : 1, index);
    }

    int groupClicks = 0;

  private:
    const HltState& state_;
};

}  // namespace velgrin::testing
