#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velgrin {

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

namespace colors {
inline constexpr Rgb kLime{0, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 128, 0};
// The system's button face; the window maps it to its palette's button colour.
inline constexpr Rgb kButtonFace{240, 240, 240};
// The system's button shadow (a disabled channel panel); a window may map it to its palette.
inline constexpr Rgb kButtonShadow{160, 160, 160};
}  // namespace colors

// The controls of a window as the core sees them: found by object name. Writing a text runs the
// control's change handler exactly as typing would (an edit reports every change), so a core
// sequence that fills controls in a given order behaves like the window it stands for. The
// window implements it over its widgets; tests and the command-line tool over plain values.
class ControlSurface {
  public:
    virtual ~ControlSurface() = default;

    // Edits, labels, static texts, lists (their edit text), check boxes and buttons (caption).
    virtual void setText(std::string_view name, const std::string& text) = 0;
    virtual std::string text(std::string_view name) const = 0;
    // Check boxes.
    virtual void setChecked(std::string_view name, bool checked) = 0;
    virtual bool checked(std::string_view name) const = 0;
    // Radio groups and lists: the selected item, -1 for none.
    virtual void setItemIndex(std::string_view name, int index) = 0;
    virtual int itemIndex(std::string_view name) const = 0;
    virtual void setEnabled(std::string_view name, bool enabled) = 0;
    virtual bool enabled(std::string_view name) const = 0;
    virtual void setVisible(std::string_view name, bool visible) = 0;
    virtual bool visible(std::string_view name) const = 0;
    // Shapes and panels: the fill or background colour.
    virtual void setColor(std::string_view name, Rgb color) = 0;
    virtual Rgb color(std::string_view name) const = 0;
};

}  // namespace velgrin
