#include "ui/hlt_dialog/hlt_set_layout.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <QString>

#include "hlt/sensor_type.h"
#include "ui/edit_fit.h"
#include "ui/shape_widget.h"

namespace velgrin {

namespace {

// Rows of the edit columns inside a panel; a static text sits a little lower than its edit so
// that their baselines meet.
constexpr int kRowTop[] = {22, 46, 70};
constexpr int kEditHeight = 21;
constexpr int kStaticTextDrop = 3;
constexpr int kStaticTextHeight = 15;

QFont PixelFont(const QFont& base, int pixels) {
    QFont font = base;
    font.setPixelSize(pixels);
    return font;
}

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QFrame* AddPanel(QWidget* parent, const QString& name, QRect geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(geometry);
    panel->setAutoFillBackground(true);
    return panel;
}

QPushButton* AddButton(QWidget* parent, const QString& name, const QString& caption,
                       QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    // Enter in an edit must not press a button of its own accord.
    button->setAutoDefault(false);
    return button;
}

// An edit with its static text to the left. Until the first fill it shows its own name, which no
// reading can be mistaken for.
ClickableEdit* AddEdit(QWidget* parent, const QString& name, const QString& caption,
                       int captionLeft, int editLeft, int editWidth, int top) {
    AddLabel(
        parent, QString(name).replace(0, 3, "txt"), caption,
        QRect(captionLeft, top + kStaticTextDrop, editLeft - captionLeft - 2, kStaticTextHeight));
    auto* edit = new ClickableEdit(name, parent);
    edit->setObjectName(name);
    edit->setGeometry(editLeft, top, editWidth, kEditHeight);
    ShowLongTextInToolTip(*edit);
    return edit;
}

QGroupBox* AddSensorTypeGroup(QWidget* form, const QString& name, const QString& caption,
                              QRect geometry) {
    auto* group = new QGroupBox(caption, form);
    group->setObjectName(name);
    group->setGeometry(geometry);
    int top = 18;
    int index = 0;
    for (const char* itemCaption : kSensorTypeCaptions) {
        auto* item = new QRadioButton(QString::fromUtf8(itemCaption), group);
        item->setObjectName(QStringLiteral("%1_%2").arg(name).arg(index++));
        // The longest caption, "Датчик влажности HIH5031", needs all but the frame.
        item->setGeometry(2, top, geometry.width() - 3, 21);
        top += 23;
    }
    return group;
}

// The content both channel panels share; `channel` is 0 or 1.
ChannelControls AddChannelContent(QFrame* panel, int channel) {
    const QString s = QStringLiteral("S%1").arg(channel);
    ChannelControls controls;
    AddLabel(panel, channel == 0 ? "lbl1" : "lbl2", QStringLiteral("Датчик %1").arg(channel),
             QRect(8, 4, 120, 14));

    constexpr int kLeftCaption = 8, kLeftEdit = 96, kMiddleCaption = 180, kMiddleEdit = 260;
    constexpr int kEditWidth = 76;
    controls.min = AddEdit(panel, "edt" + s + "min", "min зн-ие", kLeftCaption, kLeftEdit,
                           kEditWidth, kRowTop[0]);
    controls.max = AddEdit(panel, "edt" + s + "Max", "max зн-ие", kLeftCaption, kLeftEdit,
                           kEditWidth, kRowTop[1]);
    controls.upValue = AddEdit(panel, "edt" + s + "UpValue", "Верхний порог", kLeftCaption,
                               kLeftEdit, kEditWidth, kRowTop[2]);
    controls.minVoltage = AddEdit(panel, "edt" + s + "minVoltage", "min зн-ие V", kMiddleCaption,
                                  kMiddleEdit, kEditWidth, kRowTop[0]);
    controls.maxVoltage = AddEdit(panel, "edt" + s + "MaxVoltage", "max зн-ие V", kMiddleCaption,
                                  kMiddleEdit, kEditWidth, kRowTop[1]);
    controls.downValue = AddEdit(panel, "edt" + s + "DownValue", "Нижний порог", kMiddleCaption,
                                 kMiddleEdit, kEditWidth, kRowTop[2]);

    constexpr int kRightColumn = 352;
    AddLabel(panel, "txt" + s + "CurrentValue", "Текущее зн-ие",
             QRect(kRightColumn, kRowTop[0] + kStaticTextDrop, 120, kStaticTextHeight));
    AddLabel(panel, "lbl" + s + "CurrentValue", "XXXXXXX",
             QRect(kRightColumn, kRowTop[1] - 2, 124, 22))
        ->setFont(PixelFont(panel->font(), 16));

    controls.hih4000Assistant = AddButton(panel, "btn" + s + "_H_select", "...",
                                          QRect(panel->width() - 33, panel->height() - 21, 25, 15));
    controls.hih4000Assistant->setVisible(false);
    return controls;
}

}  // namespace

HltSetControls CreateHltSetControls(QWidget& form) {
    // Where Tahoma is missing, fonts of about its width keep the captions inside their places.
    QFont font;
    font.setFamilies({"Tahoma", "Liberation Sans", "Arial", "DejaVu Sans Condensed"});
    font.setPointSize(8);
    form.setFont(font);

    HltSetControls c;
    c.rg1 = AddSensorTypeGroup(&form, "rg1", "Sensor 1", QRect(175, 0, 170, 185));
    c.rg0 = AddSensorTypeGroup(&form, "rg0", "Sensor 0", QRect(0, 0, 169, 185));
    c.sensor0 = AddChannelContent(AddPanel(&form, "pnlS0", QRect(8, 191, 484, 98)), 0);
    QFrame* pnl1 = AddPanel(&form, "pnl1", QRect(8, 295, 484, 122));
    c.sensor1 = AddChannelContent(pnl1, 1);
    AddLabel(pnl1, "txtK", "K=20,54545 .. 20,407309)", QRect(8, 98, 200, 15));
    c.btnWiz = AddButton(pnl1, "btnWiz", "Помощник", QRect(352, 92, 90, 25));

    c.btnWrite = AddButton(&form, "btnWrite", "Записать", QRect(397, 493, 95, 25));
    c.btnCancel = AddButton(&form, "btnCancel", "Отменить", QRect(397, 462, 95, 25));
    c.btnReload = AddButton(&form, "btnReload", "Записать CRC", QRect(351, 135, 141, 25));

    QFrame* pnl2 = AddPanel(&form, "pnl2", QRect(351, 8, 141, 121));
    const QFont liveFont = PixelFont(font, 13);
    int top = 4;
    for (const auto& [name, text] : {std::pair{"lblCurrentT", "T = XXX,XX"},
                                     {"lblCurrentVDD", "VDD = XX,XX"},
                                     {"lblCurrentADC0", "ADC0 = XX,XX"},
                                     {"lblCurrentADC1", "lADC1 = XX,XX"},
                                     {"lblUvhoda", "Uвхода = XX,XX"}}) {
        AddLabel(pnl2, name, text, QRect(6, top, 131, 17))->setFont(liveFont);
        top += 18;
    }
    auto* shpindik = new ShapeWidget(ShapeWidget::Kind::Circle, pnl2);
    shpindik->setObjectName("shpindik");
    shpindik->setGeometry(4, 104, 12, 11);

    QFrame* pnl3 = AddPanel(&form, "pnl3", QRect(8, 423, 377, 98));
    AddLabel(pnl3, "lbl3", "Встроенный датчик T", QRect(8, 4, 160, 14));
    constexpr int kCaption = 8, kEdit = 105, kEditWidth = 70;
    c.edtTdis = AddEdit(pnl3, "edtTdis", "T смещение", kCaption, kEdit, kEditWidth, kRowTop[0]);
    c.edtTupLimit =
        AddEdit(pnl3, "edtTupLimit", "T Верхний порог", kCaption, kEdit, kEditWidth, kRowTop[1]);
    c.edtTdownLimit =
        AddEdit(pnl3, "edtTdownLimit", "T Нижний порог", kCaption, kEdit, kEditWidth, kRowTop[2]);
    c.chkUseT = new QCheckBox("Показывать на приборе", pnl3);
    c.chkUseT->setObjectName("chkUseT");
    c.chkUseT->setGeometry(190, kRowTop[0] + 2, 180, 17);
    AddLabel(pnl3, "txtTCurrentValue", "Текущее зн-ие",
             QRect(190, kRowTop[1] + kStaticTextDrop, 120, kStaticTextHeight));
    AddLabel(pnl3, "lblTCurrentValue", "XXXXXXX", QRect(190, kRowTop[2] - 2, 180, 22))
        ->setFont(PixelFont(font, 16));

    c.btnChange = AddButton(&form, "btnChange", "Изменить", QRect(397, 431, 95, 25));
    return c;
}

}  // namespace velgrin
