#pragma once

#include <map>
#include <string>

#include "common/control_surface.h"

namespace velgrin {

// The controls a core sequence fills, held as plain values: for the command-line tool, which
// prints them, and for tests. Controls never written read as empty, unchecked, unselected,
// enabled and visible.
class PlainSurface : public ControlSurface {
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

  protected:
    // Runs after a control's text really changed, as an edit's change handler would.
    virtual void textChanged(std::string_view name) { (void)name; }

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
    Control get(std::string_view name) const;

    std::map<std::string, Control, std::less<>> controls_;
};

}  // namespace velgrin
