#include "common/plain_surface.h"

namespace velgrin {

PlainSurface::Control& PlainSurface::at(std::string_view name) {
    const auto found = controls_.find(name);
    if (found != controls_.end()) {
        return found->second;
    }
    return controls_.emplace(std::string(name), Control{}).first->second;
}

PlainSurface::Control PlainSurface::get(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? Control{} : found->second;
}

void PlainSurface::setText(std::string_view name, const std::string& text) {
    auto& control = at(name);
    if (control.text == text) {
        return;
    }
    control.text = text;
    textChanged(name);
}

std::string PlainSurface::text(std::string_view name) const {
    return get(name).text;
}

void PlainSurface::setChecked(std::string_view name, bool checked) {
    at(name).checked = checked;
}

bool PlainSurface::checked(std::string_view name) const {
    return get(name).checked;
}

void PlainSurface::setItemIndex(std::string_view name, int index) {
    at(name).itemIndex = index;
}

int PlainSurface::itemIndex(std::string_view name) const {
    return get(name).itemIndex;
}

void PlainSurface::setEnabled(std::string_view name, bool enabled) {
    at(name).enabled = enabled;
}

bool PlainSurface::enabled(std::string_view name) const {
    return get(name).enabled;
}

void PlainSurface::setVisible(std::string_view name, bool visible) {
    at(name).visible = visible;
}

bool PlainSurface::visible(std::string_view name) const {
    return get(name).visible;
}

void PlainSurface::setColor(std::string_view name, Rgb color) {
    at(name).color = color;
}

Rgb PlainSurface::color(std::string_view name) const {
    return get(name).color;
}

}  // namespace velgrin
