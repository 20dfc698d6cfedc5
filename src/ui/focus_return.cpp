#include "ui/focus_return.h"

namespace velgrin {

namespace {

bool TakesFocus(const QWidget& widget) {
    return widget.isEnabled() && widget.isVisible() && widget.focusPolicy() != Qt::NoFocus;
}

}  // namespace

FocusReturn::FocusReturn(QWidget* started, std::initializer_list<QWidget*> fallbacks) {
    candidates_.emplace_back(started);
    for (QWidget* fallback : fallbacks) {
        candidates_.emplace_back(fallback);
    }
}

FocusReturn::~FocusReturn() {
    for (const QPointer<QWidget>& candidate : candidates_) {
        if (candidate != nullptr && TakesFocus(*candidate)) {
            candidate->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

}  // namespace velgrin
