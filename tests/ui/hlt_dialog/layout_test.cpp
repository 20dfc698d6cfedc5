#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "dialog_rig.h"

namespace velgrin {
namespace {

class DialogLayout : public ::testing::Test, public testing::DialogRig {
  protected:
    template <typename T = QWidget>
    T* find(const char* name) {
        auto* w = dialog.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::string text(const char* name) { return dialog.controls().text(name); }
};

TEST_F(DialogLayout, IsAHiddenWindowOfFixedClientSizeWithItsCaption) {
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.isWindow());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Настройка датчиков");
    EXPECT_EQ(dialog.size(), QSize(500, 525));
}

TEST_F(DialogLayout, TenTopLevelControlsSitWhereTheyBelong) {
    const std::map<std::string, QRect> expected{
        {"rg1", {175, 0, 170, 185}},        {"rg0", {0, 0, 169, 185}},
        {"pnlS0", {8, 191, 484, 98}},       {"pnl1", {8, 295, 484, 122}},
        {"btnWrite", {397, 493, 95, 25}},   {"btnCancel", {397, 462, 95, 25}},
        {"btnReload", {351, 135, 141, 25}}, {"pnl2", {351, 8, 141, 121}},
        {"pnl3", {8, 423, 377, 98}},        {"btnChange", {397, 431, 95, 25}},
    };
    for (const auto& [name, rect] : expected) {
        QWidget* w = find(name.c_str());
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), &dialog) << name;
        EXPECT_EQ(w->geometry(), rect) << name;
    }
}

TEST_F(DialogLayout, ButtonsAndGroupsCarryTheirCaptions) {
    EXPECT_EQ(text("btnWrite"), "Записать");
    EXPECT_EQ(text("btnCancel"), "Отменить");
    EXPECT_EQ(text("btnReload"), "Записать CRC");
    EXPECT_EQ(text("btnChange"), "Изменить");
    EXPECT_EQ(text("btnWiz"), "Помощник");
    EXPECT_EQ(find<QGroupBox>("rg0")->title().toStdString(), "Sensor 0");
    EXPECT_EQ(find<QGroupBox>("rg1")->title().toStdString(), "Sensor 1");
    EXPECT_EQ(text("chkUseT"), "Показывать на приборе");
    EXPECT_EQ(text("lbl1"), "Датчик 0");
    EXPECT_EQ(text("lbl2"), "Датчик 1");
    EXPECT_EQ(text("lbl3"), "Встроенный датчик T");
    EXPECT_EQ(text("txtK"), "K=20,54545 .. 20,407309)");
}

TEST_F(DialogLayout, BothTypeGroupsListTheSevenTypesWithNoneSelected) {
    const char* types[] = {"Датчик влажности HIH5031",
                           "Датчик влажности HIH4000",
                           "Датчик температуры",
                           "Датчик давления",
                           "Датчик CO2",
                           "Датчик другой",
                           "Без датчика"};
    for (const char* group : {"rg0", "rg1"}) {
        const auto items =
            find(group)->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_EQ(items.size(), 7) << group;
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(items[i]->text().toStdString(), types[i]) << group << i;
        }
        EXPECT_EQ(dialog.controls().itemIndex(group), -1);
    }
}

TEST_F(DialogLayout, EachEditHasItsStaticTextToItsLeftInItsPanel) {
    struct Edit {
        const char *name, *panel, *caption;
    };
    const Edit edits[] = {
        {"edtS0min", "pnlS0", "min зн-ие"},          {"edtS0Max", "pnlS0", "max зн-ие"},
        {"edtS0minVoltage", "pnlS0", "min зн-ие V"}, {"edtS0MaxVoltage", "pnlS0", "max зн-ие V"},
        {"edtS0UpValue", "pnlS0", "Верхний порог"},  {"edtS0DownValue", "pnlS0", "Нижний порог"},
        {"edtS1min", "pnl1", "min зн-ие"},           {"edtS1Max", "pnl1", "max зн-ие"},
        {"edtS1minVoltage", "pnl1", "min зн-ие V"},  {"edtS1MaxVoltage", "pnl1", "max зн-ие V"},
        {"edtS1UpValue", "pnl1", "Верхний порог"},   {"edtS1DownValue", "pnl1", "Нижний порог"},
        {"edtTdis", "pnl3", "T смещение"},           {"edtTupLimit", "pnl3", "T Верхний порог"},
        {"edtTdownLimit", "pnl3", "T Нижний порог"},
    };
    for (const Edit& e : edits) {
        auto* edit = find<QLineEdit>(e.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->parentWidget()->objectName().toStdString(), e.panel) << e.name;
        // Until the first fill an edit shows a placeholder that is plainly not a reading.
        EXPECT_EQ(edit->text().toStdString(), e.name);

        const auto labels = edit->parentWidget()->findChildren<QLabel*>();
        const auto beside = std::find_if(labels.begin(), labels.end(), [&](QLabel* label) {
            return label->text().toStdString() == e.caption &&
                   label->geometry().right() < edit->geometry().left() &&
                   label->geometry().top() < edit->geometry().bottom() &&
                   label->geometry().bottom() > edit->geometry().top();
        });
        EXPECT_NE(beside, labels.end()) << e.name;
    }
}

TEST_F(DialogLayout, LiveAndCurrentValueLabelsStartWithTheirPlaceholders) {
    EXPECT_EQ(text("lblCurrentT"), "T = XXX,XX");
    EXPECT_EQ(text("lblCurrentVDD"), "VDD = XX,XX");
    EXPECT_EQ(text("lblCurrentADC0"), "ADC0 = XX,XX");
    EXPECT_EQ(text("lblCurrentADC1"), "lADC1 = XX,XX");
    EXPECT_EQ(text("lblUvhoda"), "Uвхода = XX,XX");
    for (const char* name : {"lblCurrentT", "lblCurrentVDD", "lblCurrentADC0", "lblCurrentADC1",
                             "lblUvhoda", "shpindik"}) {
        EXPECT_EQ(find(name)->parentWidget()->objectName().toStdString(), "pnl2") << name;
    }
    EXPECT_EQ(find<QLabel>("lblCurrentT")->font().pixelSize(), 13);
    for (const char* name : {"lblS0CurrentValue", "lblS1CurrentValue", "lblTCurrentValue"}) {
        EXPECT_EQ(text(name), "XXXXXXX");
        EXPECT_EQ(find<QLabel>(name)->font().pixelSize(), 16) << name;
    }
    EXPECT_EQ(find("shpindik")->size(), QSize(12, 11));
}

TEST_F(DialogLayout, PanelContentStaysInsideItsPanelWithoutOverlaps) {
    for (const char* panelName : {"pnlS0", "pnl1", "pnl2", "pnl3"}) {
        QWidget* panel = find(panelName);
        const auto children = panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            EXPECT_TRUE(panel->rect().contains(child->geometry()))
                << child->objectName().toStdString();
            EXPECT_FALSE(child->objectName().isEmpty()) << panelName;
            for (QWidget* other : children) {
                if (other != child) {
                    EXPECT_FALSE(child->geometry().intersects(other->geometry()))
                        << child->objectName().toStdString() << " / "
                        << other->objectName().toStdString();
                }
            }
        }
    }
}

TEST_F(DialogLayout, AssistantButtonsAreSmallAndHiddenAtFirst) {
    for (const char* name : {"btnS0_H_select", "btnS1_H_select"}) {
        auto* button = find<QPushButton>(name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), "...");
        EXPECT_EQ(button->size(), QSize(25, 15));
        EXPECT_FALSE(dialog.controls().visible(name));
    }
}

}  // namespace
}  // namespace velgrin
