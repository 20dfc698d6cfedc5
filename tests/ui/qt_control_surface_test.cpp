#include "ui/qt_control_surface.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "qt_test_app.h"
#include "ui/shape_widget.h"

namespace velgrin {
namespace {

template <typename Widget, typename... Args>
Widget* Named(QWidget* parent, const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

class QtControlSurfaceTest : public ::testing::Test {
  protected:
    QApplication& app = testing::TestApp();
    QWidget root;
    QtControlSurface surface{root};
};

TEST_F(QtControlSurfaceTest, TextsOfEditsLabelsListsAndButtons) {
    auto* edit = Named<QLineEdit>(&root, "edt");
    Named<QLabel>(&root, "lbl");
    Named<QPushButton>(&root, "btn");
    auto* typed = Named<QComboBox>(&root, "cmbTyped");
    typed->setEditable(true);
    auto* fixed = Named<QComboBox>(&root, "cmbFixed");
    fixed->addItems({"DS9097E", "USB"});
    int changes = 0;
    QObject::connect(edit, &QLineEdit::textChanged, [&] { ++changes; });

    surface.setText("edt", "21,5");
    surface.setText("edt", "21,5");
    surface.setText("lbl", "T = 19,06");
    surface.setText("btn", "Записать");
    surface.setText("cmbTyped", "ab");
    surface.setText("cmbFixed", "USB");

    EXPECT_EQ(surface.text("edt"), "21,5");
    // Like typing: once per real change.
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(surface.text("lbl"), "T = 19,06");
    EXPECT_EQ(surface.text("btn"), "Записать");
    EXPECT_EQ(surface.text("cmbTyped"), "ab");
    EXPECT_EQ(surface.itemIndex("cmbFixed"), 1);
}

TEST_F(QtControlSurfaceTest, RadioGroupSelectsByIndexAndMinusOneClearsIt) {
    auto* group = Named<QGroupBox>(&root, "rg0");
    for (const char* item : {"HIH5031", "HIH4000", "Без датчика"}) {
        new QRadioButton(QString::fromUtf8(item), group);
    }
    EXPECT_EQ(surface.itemIndex("rg0"), -1);
    surface.setItemIndex("rg0", 2);
    EXPECT_EQ(surface.itemIndex("rg0"), 2);
    surface.setItemIndex("rg0", 1);
    EXPECT_EQ(surface.itemIndex("rg0"), 1);
    surface.setItemIndex("rg0", -1);
    EXPECT_EQ(surface.itemIndex("rg0"), -1);
    // Still exclusive afterwards.
    surface.setItemIndex("rg0", 0);
    surface.setItemIndex("rg0", 2);
    EXPECT_FALSE(group->findChildren<QRadioButton*>()[0]->isChecked());
    EXPECT_EQ(surface.itemIndex("rg0"), 2);
}

TEST_F(QtControlSurfaceTest, CheckBoxesAndOwnEnabledAndVisibleStates) {
    auto* panel = Named<QWidget>(&root, "pnl");
    Named<QCheckBox>(panel, "chk");
    surface.setChecked("chk", true);
    EXPECT_TRUE(surface.checked("chk"));

    surface.setEnabled("pnl", false);
    // A control inside a disabled panel keeps its own setting.
    EXPECT_TRUE(surface.enabled("chk"));
    EXPECT_FALSE(surface.enabled("pnl"));
    surface.setVisible("chk", false);
    EXPECT_FALSE(surface.visible("chk"));
    EXPECT_TRUE(surface.visible("pnl"));
}

TEST_F(QtControlSurfaceTest, TabPagesHideByTheirTabAndStaySelectableWhenDisabled) {
    auto* tabs = Named<QTabWidget>(&root, "pgc");
    for (const char* name : {"page0", "page1", "page2"}) {
        auto* page = new QWidget;
        page->setObjectName(name);
        tabs->addTab(page, name);
    }
    surface.setEnabled("page0", false);
    surface.setVisible("page2", false);

    EXPECT_FALSE(surface.enabled("page0"));
    EXPECT_FALSE(tabs->widget(0)->isEnabled());
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_FALSE(surface.visible("page2"));
    EXPECT_FALSE(tabs->isTabVisible(2));
    EXPECT_TRUE(surface.visible("page1"));
}

TEST_F(QtControlSurfaceTest, ColoursOfShapesAndPanelsReadBackAsSet) {
    auto* shape = Named<ShapeWidget>(&root, "shp", ShapeWidget::Kind::Circle);
    Named<QWidget>(&root, "pnl");

    surface.setColor("shp", colors::kLime);
    EXPECT_EQ(surface.color("shp"), colors::kLime);
    EXPECT_EQ(shape->fillColor(), QColor(0, 255, 0));
    surface.setColor("pnl", colors::kRed);
    EXPECT_EQ(surface.color("pnl"), colors::kRed);
    // The button face is painted in the palette's button colour but reads back as itself.
    surface.setColor("pnl", colors::kButtonFace);
    EXPECT_EQ(surface.color("pnl"), colors::kButtonFace);
}

TEST_F(QtControlSurfaceTest, UnknownNamesAreRefused) {
    EXPECT_THROW(surface.setText("nothing", "x"), std::logic_error);
    EXPECT_THROW((void)surface.enabled("nothing"), std::logic_error);
}

}  // namespace
}  // namespace velgrin
