#include "recording_surface.h"

namespace velgrin::testing {

RecordingSurface::Control& RecordingSurface::at(std::string_view name) {
    auto it = controls_.find(name);
    if (it == controls_.end()) {
        it = controls_.emplace(std::string(name), Control{}).first;
    }
    return it->second;
}

const RecordingSurface::Control* RecordingSurface::find(std::string_view name) const {
    auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : &it->second;
}

void RecordingSurface::setText(std::string_view name, const std::string& text) {
    auto& c = at(name);
    log.push_back(std::string(name) + "=" + text);
    if (c.text == text) {
        return;
    }
    c.text = text;
    if (auto it = onTextChanged.find(name); it != onTextChanged.end()) {
        it->second();
    }
}

std::string RecordingSurface::text(std::string_view name) const {
    const auto* c = find(name);
    return c ? c->text : std::string();
}

void RecordingSurface::setChecked(std::string_view name, bool checked) {
    log.push_back(std::string(name) + (checked ? ".checked" : ".unchecked"));
    at(name).checked = checked;
}

bool RecordingSurface::checked(std::string_view name) const {
    const auto* c = find(name);
    return c && c->checked;
}

void RecordingSurface::setItemIndex(std::string_view name, int index) {
    log.push_back(std::string(name) + ".index=" + std::to_string(index));
    at(name).itemIndex = index;
}

int RecordingSurface::itemIndex(std::string_view name) const {
    const auto* c = find(name);
    return c ? c->itemIndex : -1;
}

void RecordingSurface::setEnabled(std::string_view name, bool enabled) {
    log.push_back(std::string(name) + (enabled ? ".enabled" : ".disabled"));
    at(name).enabled = enabled;
}

bool RecordingSurface::enabled(std::string_view name) const {
    const auto* c = find(name);
    return !c || c->enabled;
}

void RecordingSurface::setVisible(std::string_view name, bool visible) {
    log.push_back(std::string(name) + (visible ? ".shown" : ".hidden"));
    at(name).visible = visible;
}

bool RecordingSurface::visible(std::string_view name) const {
    const auto* c = find(name);
    return !c || c->visible;
}

void RecordingSurface::setColor(std::string_view name, Rgb color) {
    log.push_back(std::string(name) + ".color");
    at(name).color = color;
}

Rgb RecordingSurface::color(std::string_view name) const {
    const auto* c = find(name);
    return c ? c->color : colors::kButtonFace;
}

}  // namespace velgrin::testing
