#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/control_surface.h"

namespace velgrin::testing {

// Controls as plain values, for tests of core sequences without a window. Every write is logged
// as "name=value" in order; a change handler can be hooked per control.
class RecordingSurface : public ControlSurface {
  public:
    void setText(std::string_view name, const std::string& text) override;
    std::string text(std::string_view name) const override;
    void setChecked(std::string_view name, bool checked) override;
    bool checked(std::string_view name) const override;
    void setItemIndex(std::string_view name, int index) override;
    int itemIndex(std::string_view name) const override;
    void setEnabled(std::string_view name, bool enabled) override;
    bool enabled(std::string_view name) const override;
    void setVisible(std::string_view name, bool visible) override;
    bool visible(std::string_view name) const override;
    void setColor(std::string_view name, Rgb color) override;
    Rgb color(std::string_view name) const override;

    // Runs after a text change of that control (only when the text really changed).
    std::map<std::string, std::function<void()>, std::less<>> onTextChanged;
    std::vector<std::string> log;

  private:
    struct Control {
        std::string text;
        bool checked = false;
        int itemIndex = -1;
        bool enabled = true;
        bool visible = true;
        Rgb color = colors::kButtonFace;
    };
    Control& at(std::string_view name);
    const Control* find(std::string_view name) const;

    std::map<std::string, Control, std::less<>> controls_;
};

}  // namespace velgrin::testing
