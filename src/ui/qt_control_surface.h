#pragma once

#include <QPointer>
#include <QWidget>

#include "common/control_surface.h"

namespace velgrin {

// The controls of a Qt window, found by objectName under a root widget. A tab page (a widget
// inside a QTabWidget) is shown and hidden through its tab; a disabled page can still be selected
// but its controls take no input. A name that no
// control carries is a programming error and throws std::logic_error.
class QtControlSurface : public ControlSurface {
  public:
    explicit QtControlSurface(QWidget& root);

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

    QWidget* widget(std::string_view name) const;

  private:
    QPointer<QWidget> root_;
};

}  // namespace velgrin
