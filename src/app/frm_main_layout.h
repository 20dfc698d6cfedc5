#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "ui/shape_widget.h"

namespace velgrin {

// Page indices of the main window's tab control.
namespace frm_main_page {
inline constexpr int kDs1820 = 0;
inline constexpr int kHlt = 1;
inline constexpr int kReg = 2;
inline constexpr int kDs192x = 3;
inline constexpr int kSettings = 4;
inline constexpr int kInfo = 5;
}  // namespace frm_main_page

// Every control of the main window, made with its design-time texts, sizes and places. The
// window's behaviour (start-up states, handlers) is TFrmMain's.
struct FrmMainControls {
    ShapeWidget* shpindik;
    QLabel* stat11;
    QLineEdit* Stat1;
    ShapeWidget* shpTimer;
    QTabWidget* pgc1;
    QLabel* txt1;
    QLabel* lbl6;
    QLabel* lblkip;

    // Page 0, "ds1820".
    QWidget* ds1820;
    QComboBox* cmb1820;
    QLineEdit* edt1820up;
    QLineEdit* edt1820down;
    QLabel* lblT1820;
    QProgressBar* Progress_wr_1820;
    QCheckBox* chkFileDs1820;
    QCheckBox* Chk1820wr_all;
    QPushButton* btn1820wr;

    // Page 1, "DS2438".
    QWidget* HLT;
    QComboBox* cmbhlt;
    QPushButton* btnSetHum;

    // Page 2, "Reg".
    QWidget* Reg;
    QComboBox* cmbSN;
    ShapeWidget* shp1;
    QPushButton* btnSaveToFile;
    QCheckBox* ChkAutoStore;

    // Page 3, "ds192x".
    QWidget* ds192x;
    QComboBox* cmbDs192x;
    QLineEdit* edtDs192xHup;
    QLineEdit* edtDs192xHdown;
    QLineEdit* edtDs192xTup;
    QLineEdit* edtDs192xTdown;

    // Page 4, "Настр".
    QWidget* settings;
    QComboBox* cbbPort;
    QComboBox* cbAdapter;

    // Page 5, "Инфо".
    QWidget* TabInfo;
    QPlainTextEdit* MemoInfo;
};

// Client area of the main window.
inline constexpr int kFrmMainWidth = 327;
inline constexpr int kFrmMainHeight = 367;

FrmMainControls BuildFrmMainControls(QWidget& form);

}  // namespace velgrin
