#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/plain_surface.h"

namespace velgrin::testing {

// Controls as plain values, for tests of core sequences without a window. Every write is logged
// as "name=value" in order; a change handler can be hooked per control.
class RecordingSurface : public PlainSurface {
  public:
    void setText(std::string_view name, const std::string& text) override;
    void setChecked(std::string_view name, bool checked) override;
    void setItemIndex(std::string_view name, int index) override;
    void setEnabled(std::string_view name, bool enabled) override;
    void setVisible(std::string_view name, bool visible) override;
    void setColor(std::string_view name, Rgb color) override;

    // Runs after a text change of that control (only when the text really changed).
    std::map<std::string, std::function<void()>, std::less<>> onTextChanged;
    std::vector<std::string> log;

  protected:
    void textChanged(std::string_view name) override;
};

}  // namespace velgrin::testing
