#include "recording_surface.h"

namespace velgrin::testing {

void RecordingSurface::setText(std::string_view name, const std::string& text) {
    log.push_back(std::string(name) + "=" + text);
    PlainSurface::setText(name, text);
}

void RecordingSurface::textChanged(std::string_view name) {
    if (auto it = onTextChanged.find(name); it != onTextChanged.end()) {
        it->second();
    }
}

void RecordingSurface::setChecked(std::string_view name, bool checked) {
    log.push_back(std::string(name) + (checked ? ".checked" : ".unchecked"));
    PlainSurface::setChecked(name, checked);
}

void RecordingSurface::setItemIndex(std::string_view name, int index) {
    log.push_back(std::string(name) + ".index=" + std::to_string(index));
    PlainSurface::setItemIndex(name, index);
}

void RecordingSurface::setEnabled(std::string_view name, bool enabled) {
    log.push_back(std::string(name) + (enabled ? ".enabled" : ".disabled"));
    PlainSurface::setEnabled(name, enabled);
}

void RecordingSurface::setVisible(std::string_view name, bool visible) {
    log.push_back(std::string(name) + (visible ? ".shown" : ".hidden"));
    PlainSurface::setVisible(name, visible);
}

void RecordingSurface::setColor(std::string_view name, Rgb color) {
    log.push_back(std::string(name) + ".color");
    PlainSurface::setColor(name, color);
}

}  // namespace velgrin::testing
