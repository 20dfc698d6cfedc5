#include "ui/qt_control_surface.h"

#include <stdexcept>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVariant>

#include "ui/label_fit.h"

namespace velgrin {

namespace {

// The colour last set through the surface, kept so that reading it back gives exactly what was
// written even where the window paints a palette colour instead (the button face).
constexpr const char* kSetColorProperty = "velgrinColor";
constexpr const char* kFillColorProperty = "fillColor";

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text);
}
std::string FromQt(const QString& text) {
    return text.toStdString();
}

struct TabPlace {
    QTabWidget* tabs = nullptr;
    int index = -1;
};

// Where a widget sits as a page of a tab control, if it is one.
TabPlace TabOf(QWidget* widget) {
    auto* stack = qobject_cast<QStackedWidget*>(widget->parentWidget());
    if (stack == nullptr) {
        return {};
    }
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    if (tabs == nullptr) {
        return {};
    }
    return {tabs, tabs->indexOf(widget)};
}

QList<QRadioButton*> RadioItems(QWidget* group) {
    return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

QColor PaintColor(Rgb color) {
    if (color == colors::kButtonFace) {
        return QApplication::palette().color(QPalette::Button);
    }
    return QColor(color.red, color.green, color.blue);
}

}  // namespace

QtControlSurface::QtControlSurface(QWidget& root) : root_(&root) {}

QWidget* QtControlSurface::widget(std::string_view name) const {
    const QString objectName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (root_ != nullptr) {
        if (root_->objectName() == objectName) {
            return root_;
        }
        if (auto* found = root_->findChild<QWidget*>(objectName)) {
            return found;
        }
    }
    throw std::logic_error("no control named " + std::string(name));
}

void QtControlSurface::setText(std::string_view name, const std::string& text) {
    QWidget* w = widget(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(ToQt(text));
        // setText leaves the cursor at the end, which scrolls a long number to its last digits:
        // a technician would read them as another number.
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        ShowFitted(*label, ToQt(text));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) {
            combo->setEditText(ToQt(text));
        } else {
            combo->setCurrentIndex(combo->findText(ToQt(text)));
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(ToQt(text));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        plain->setPlainText(ToQt(text));
    } else if (auto* rich = qobject_cast<QTextEdit*>(w)) {
        rich->setPlainText(ToQt(text));
    } else {
        throw std::logic_error("control " + std::string(name) + " has no text");
    }
}

std::string QtControlSurface::text(std::string_view name) const {
    QWidget* w = widget(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return FromQt(edit->text());
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return FromQt(GivenText(*label));
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        return FromQt(combo->currentText());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return FromQt(button->text());
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        return FromQt(plain->toPlainText());
    }
    if (auto* rich = qobject_cast<QTextEdit*>(w)) {
        return FromQt(rich->toPlainText());
    }
    throw std::logic_error("control " + std::string(name) + " has no text");
}

void QtControlSurface::setChecked(std::string_view name, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(widget(name));
    if (button == nullptr) {
        throw std::logic_error("control " + std::string(name) + " cannot be checked");
    }
    button->setChecked(checked);
}

bool QtControlSurface::checked(std::string_view name) const {
    auto* button = qobject_cast<QAbstractButton*>(widget(name));
    if (button == nullptr) {
        throw std::logic_error("control " + std::string(name) + " cannot be checked");
    }
    return button->isChecked();
}

void QtControlSurface::setItemIndex(std::string_view name, int index) {
    QWidget* w = widget(name);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setCurrentIndex(index);
        return;
    }
    const QList<QRadioButton*> items = RadioItems(w);
    if (index >= 0 && index < items.size()) {
        items[index]->setChecked(true);
        return;
    }
    // An exclusive group never lets its last checked button go; lift that for a moment.
    for (QRadioButton* item : items) {
        const bool exclusive = item->autoExclusive();
        item->setAutoExclusive(false);
        item->setChecked(false);
        item->setAutoExclusive(exclusive);
    }
}

int QtControlSurface::itemIndex(std::string_view name) const {
    QWidget* w = widget(name);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        return combo->currentIndex();
    }
    const QList<QRadioButton*> items = RadioItems(w);
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i]->isChecked()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void QtControlSurface::setEnabled(std::string_view name, bool enabled) {
    QWidget* w = widget(name);
    w->setEnabled(enabled);
    // A disabled page stays selectable (its controls take no input); its tab text greys out.
    if (const TabPlace tab = TabOf(w); tab.tabs != nullptr) {
        tab.tabs->tabBar()->setTabTextColor(
            tab.index,
            enabled ? QColor() : w->palette().color(QPalette::Disabled, QPalette::WindowText));
    }
}

bool QtControlSurface::enabled(std::string_view name) const {
    QWidget* w = widget(name);
    // The control's own setting, whatever its parents say.
    return w->isWindow() ? w->isEnabled() : w->isEnabledTo(w->parentWidget());
}

void QtControlSurface::setVisible(std::string_view name, bool visible) {
    QWidget* w = widget(name);
    if (const TabPlace tab = TabOf(w); tab.tabs != nullptr) {
        tab.tabs->setTabVisible(tab.index, visible);
    } else {
        w->setVisible(visible);
    }
}

bool QtControlSurface::visible(std::string_view name) const {
    QWidget* w = widget(name);
    if (const TabPlace tab = TabOf(w); tab.tabs != nullptr) {
        return tab.tabs->isTabVisible(tab.index);
    }
    return w->isWindow() ? w->isVisible() : w->isVisibleTo(w->parentWidget());
}

void QtControlSurface::setColor(std::string_view name, Rgb color) {
    QWidget* w = widget(name);
    w->setProperty(kSetColorProperty, QColor(color.red, color.green, color.blue));
    if (w->metaObject()->indexOfProperty(kFillColorProperty) >= 0) {
        w->setProperty(kFillColorProperty, PaintColor(color));
        return;
    }
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, PaintColor(color));
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

Rgb QtControlSurface::color(std::string_view name) const {
    QWidget* w = widget(name);
    const QColor painted = w->metaObject()->indexOfProperty(kFillColorProperty) >= 0
                               ? w->property(kFillColorProperty).value<QColor>()
                               : w->palette().color(QPalette::Window);
    const QColor set = w->property(kSetColorProperty).value<QColor>();
    const Rgb setRgb{static_cast<uint8_t>(set.red()), static_cast<uint8_t>(set.green()),
                     static_cast<uint8_t>(set.blue())};
    // Trust the remembered colour only while the control still paints it.
    if (set.isValid() && PaintColor(setRgb) == painted) {
        return setRgb;
    }
    return Rgb{static_cast<uint8_t>(painted.red()), static_cast<uint8_t>(painted.green()),
               static_cast<uint8_t>(painted.blue())};
}

}  // namespace velgrin
