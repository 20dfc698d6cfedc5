#include "app/frm_main_layout.h"

#include "app/frm_main_texts.h"

namespace velgrin {

namespace {

template <typename Widget, typename... Args>
Widget* Make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* Label(QWidget* parent, const char* name, const char* text, QRect geometry) {
    return Make<QLabel>(parent, name, geometry, QString::fromUtf8(text));
}

// Device lists accept typed text, but typing never adds an item.
QComboBox* DeviceList(QWidget* parent, const char* name, QRect geometry) {
    auto* list = Make<QComboBox>(parent, name, geometry);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    return list;
}

QLabel* Link(QWidget* parent, const char* name, const char* text, QRect geometry) {
    QLabel* link = Label(parent, name, text, geometry);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setUnderline(true);
    link->setFont(font);
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

QWidget* Page(QTabWidget* tabs, const char* name, const char* caption) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromUtf8(name));
    tabs->addTab(page, QString::fromUtf8(caption));
    return page;
}

void BuildDs1820Page(FrmMainControls& c) {
    QWidget* p = c.ds1820 = Page(c.pgc1, "ds1820", "ds1820");
    Label(p, "lbl1", "ROM SN", {8, 8, 60, 16});
    c.cmb1820 = DeviceList(p, "cmb1820", {8, 26, 170, 22});
    // Wide enough for "114,9375" in the bold 19-pixel font.
    Label(p, "lbl10", "T=", {186, 28, 20, 18});
    c.lblT1820 = Label(p, "lblT1820", "--,--", {206, 22, 98, 28});
    QFont big = c.lblT1820->font();
    big.setPixelSize(19);
    big.setBold(true);
    c.lblT1820->setFont(big);
    QPalette red = c.lblT1820->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    c.lblT1820->setPalette(red);
    Label(p, "lbl2", "Верхний порог температуры", {8, 62, 180, 16});
    c.edt1820up = Make<QLineEdit>(p, "edt1820up", {192, 59, 64, 22});
    Label(p, "lbl3", "Нижний порог температуры", {8, 92, 180, 16});
    c.edt1820down = Make<QLineEdit>(p, "edt1820down", {192, 89, 64, 22});
    c.Progress_wr_1820 = Make<QProgressBar>(p, "Progress_wr_1820", {8, 122, 290, 14});
    c.Progress_wr_1820->setTextVisible(false);
    c.Progress_wr_1820->setVisible(false);
    c.chkFileDs1820 = Make<QCheckBox>(p, "chkFileDs1820", {8, 146, 290, 20},
                                      QString::fromUtf8("Сохранять датчики в файл"));
    c.Chk1820wr_all = Make<QCheckBox>(p, "Chk1820wr_all", {8, 170, 290, 20},
                                      QString::fromUtf8("Установить для всех датчиков"));
    c.btn1820wr =
        Make<QPushButton>(p, "btn1820wr", {192, 204, 100, 26}, QString::fromUtf8("Записать"));
    c.btn1820wr->setEnabled(false);
}

void BuildHltPage(FrmMainControls& c) {
    QWidget* p = c.HLT = Page(c.pgc1, "HLT", "DS2438");
    Label(p, "lbl4", "ROM SN", {8, 8, 60, 16});
    c.cmbhlt = DeviceList(p, "cmbhlt", {8, 26, 170, 22});
    Label(p, "txt2", "Данный датчик является универсальным.", {8, 60, 290, 16})->setWordWrap(true);
    Label(p, "txt3", "Для него доступны только расширенные настройки", {8, 78, 290, 32})
        ->setWordWrap(true);
    c.btnSetHum = Make<QPushButton>(p, "btnSetHum", {8, 116, 170, 26},
                                    QString::fromUtf8("Расширенные настройки"));
}

void BuildRegPage(FrmMainControls& c) {
    QWidget* p = c.Reg = Page(c.pgc1, "Reg", "Reg");
    Label(p, "lbl5", "ROM SN", {8, 8, 60, 16});
    c.cmbSN = DeviceList(p, "cmbSN", {8, 26, 170, 22});
    c.shp1 = Make<ShapeWidget>(p, "shp1", {8, 58, 290, 10}, ShapeWidget::Kind::Rectangle);
    c.shp1->setFillColor(c.shp1->palette().color(QPalette::Button));
    c.btnSaveToFile = Make<QPushButton>(p, "btnSaveToFile", {8, 78, 190, 26},
                                        QString::fromUtf8("Сохранить номер на диске"));
    c.ChkAutoStore = Make<QCheckBox>(p, "ChkAutoStore", {8, 114, 290, 20},
                                     QString::fromUtf8("Автоматически сохранять"));
}

void BuildDs192xPage(FrmMainControls& c) {
    QWidget* p = c.ds192x = Page(c.pgc1, "ds192x", "ds192x");
    c.cmbDs192x = DeviceList(p, "cmbDs192x", {8, 8, 170, 22});
    Label(p, "lbl9", "Верхн.", {120, 40, 60, 16});
    Label(p, "lbl8", "Нижн.", {190, 40, 60, 16});
    Make<QCheckBox>(p, "chkDs192xH", {8, 58, 110, 20}, QString::fromUtf8("Влажность"));
    c.edtDs192xHup = Make<QLineEdit>(p, "edtDs192xHup", {120, 56, 60, 22});
    c.edtDs192xHdown = Make<QLineEdit>(p, "edtDs192xHdown", {190, 56, 60, 22});
    Make<QCheckBox>(p, "chkDs192xT", {8, 86, 110, 20}, QString::fromUtf8("Температура"));
    c.edtDs192xTup = Make<QLineEdit>(p, "edtDs192xTup", {120, 84, 60, 22});
    c.edtDs192xTdown = Make<QLineEdit>(p, "edtDs192xTdown", {190, 84, 60, 22});
    Make<QPushButton>(p, "btnWr192x", {190, 120, 100, 26}, QString::fromUtf8("Записать"));
}

void BuildSettingsPage(FrmMainControls& c) {
    QWidget* p = c.settings = Page(c.pgc1, "Настр", "Настр");
    Label(p, "txt4", "Порт", {8, 14, 60, 16});
    c.cbbPort = Make<QComboBox>(p, "cbbPort", {80, 10, 120, 22});
    Label(p, "txt5", "Адаптер", {8, 46, 60, 16});
    c.cbAdapter = Make<QComboBox>(p, "cbAdapter", {80, 42, 120, 22});
}

void BuildInfoPage(FrmMainControls& c) {
    QWidget* p = c.TabInfo = Page(c.pgc1, "TabInfo", "Инфо");
    c.MemoInfo = Make<QPlainTextEdit>(p, "MemoInfo", {4, 4, 297, 252});
    c.MemoInfo->setReadOnly(true);
    c.MemoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.MemoInfo->setPlainText(QString::fromStdString(UserAgreementText()));
}

}  // namespace

FrmMainControls BuildFrmMainControls(QWidget& form) {
    form.setFont(QFont(QStringLiteral("Tahoma"), 8));
    form.setFixedSize(kFrmMainWidth, kFrmMainHeight);

    FrmMainControls c{};
    QWidget* f = &form;
    c.shpindik = Make<ShapeWidget>(f, "shpindik", {6, 5, 12, 17}, ShapeWidget::Kind::Circle);
    // The status line takes the top row: its longest text, " Проверьте подключение адаптера
    // 1Wire!!!", needs 221 pixels of Tahoma 8 pt. The adapter's number sits at the bottom right.
    c.stat11 = Label(f, "stat11", "Не подключен", {24, 6, 280, 16});
    c.Stat1 = Make<QLineEdit>(f, "Stat1", {180, 319, 140, 20});
    c.Stat1->setReadOnly(true);
    // Readable and copyable with the mouse, but never where the focus moves on its own (a
    // disabled button hands it along the tab chain).
    c.Stat1->setFocusPolicy(Qt::ClickFocus);
    c.Stat1->setFont(QFont(QStringLiteral("Arial"), 8));
    c.shpTimer = Make<ShapeWidget>(f, "shpTimer", {kFrmMainWidth - 14, 4, 10, 10},
                                   ShapeWidget::Kind::Rectangle);
    c.pgc1 = Make<QTabWidget>(f, "pgc1", {7, 27, 313, 289});
    BuildDs1820Page(c);
    BuildHltPage(c);
    BuildRegPage(c);
    BuildDs192xPage(c);
    BuildSettingsPage(c);
    BuildInfoPage(c);

    c.txt1 = Label(f, "txt1", "ООО \"Corvane\" ", {8, 322, 100, 16});
    c.txt1->setCursor(Qt::PointingHandCursor);
    c.lbl6 = Link(f, "lbl6", links::kProductSiteText, {8, 342, 200, 18});
    c.lblkip = Link(f, "lblkip", links::kOtherSiteText, {210, 342, 110, 18});
    return c;
}

}  // namespace velgrin
