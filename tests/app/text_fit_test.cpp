#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>

#include "common/number_text.h"
#include "common/plain_surface.h"
#include "hlt/channel_panel.h"
#include "hlt/field_text.h"
#include "hlt/hlt_controls.h"
#include "hlt/hlt_display.h"
#include "hlt/hlt_readings.h"
#include "hlt/sensor_type.h"
#include "window_rig.h"
#include "wire/bus_core.h"

namespace velgrin {
namespace {

// Labels whose value can have more digits than any place in the window holds: they show it
// elided with the whole text in the tooltip. Every other text must fit whole.
const std::set<QString> kElidingLabels = {"lblS0CurrentValue", "lblS1CurrentValue", "lblUvhoda",
                                          "lblCurrentADC1"};

int LineEditRoom(QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QRect contents =
        edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    // QLineEdit keeps two pixels free on either side of its text.
    return contents.width() - edit.textMargins().left() - edit.textMargins().right() - 4;
}

// Empty when an edit that cannot hold its text whole shows it from the first character, with
// the whole text in its tooltip; otherwise what is wrong.
std::string StartProblem(QLineEdit& edit) {
    const std::string where =
        edit.objectName().toStdString() + " \"" + edit.text().toStdString() + "\"";
    // Painting settles how far the edit is scrolled.
    (void)edit.grab();
    if (edit.cursorPosition() != 0 ||
        edit.inputMethodQuery(Qt::ImCursorRectangle).toRect().right() < 0) {
        return where + ": shown from character " + std::to_string(edit.cursorPosition());
    }
    if (edit.toolTip() != edit.text()) {
        return where + ": tooltip \"" + edit.toolTip().toStdString() + "\"";
    }
    return "";
}

// Empty when the widget shows `text` whole (or, for an eliding label, elided with the whole
// text in its tooltip); otherwise what is wrong.
std::string Problem(QWidget& widget, const QString& text) {
    const QFontMetrics metrics(widget.font());
    const std::string where = widget.objectName().toStdString() + " \"" + text.toStdString() + "\"";
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        if (label->wordWrap()) {
            const QRect room(0, 0, label->contentsRect().width(), INT_MAX);
            const int height = metrics.boundingRect(room, Qt::TextWordWrap, text).height();
            return height <= label->contentsRect().height() ? "" : where + ": too many lines";
        }
        const int shown = metrics.horizontalAdvance(label->text());
        if (shown > label->contentsRect().width()) {
            return where + ": " + std::to_string(shown) + " px in " +
                   std::to_string(label->contentsRect().width());
        }
        if (label->text() == text) {
            return "";
        }
        if (!kElidingLabels.count(label->objectName())) {
            return where + ": shown as \"" + label->text().toStdString() + "\"";
        }
        if (!label->text().endsWith(QChar(0x2026)) || label->toolTip() != text) {
            return where + ": cut without a mark or a tooltip";
        }
        return "";
    }
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        const int width = metrics.horizontalAdvance(text);
        return width <= LineEditRoom(*edit) ? ""
                                            : where + ": " + std::to_string(width) + " px in " +
                                                  std::to_string(LineEditRoom(*edit));
    }
    if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
        return button->sizeHint().width() <= button->width()
                   ? ""
                   : where + ": needs " + std::to_string(button->sizeHint().width()) + " px of " +
                         std::to_string(button->width());
    }
    return where + ": not a measured kind";
}

// Both windows as the program builds them, in the font the program loads.
class TextFit : public ::testing::Test {
  protected:
    // Gives the control each text through the window's own surface and collects what does not
    // fit.
    void Check(ControlSurface& surface, QWidget& form, const char* name,
               const std::vector<std::string>& texts) {
        auto* widget = form.findChild<QWidget*>(QString::fromUtf8(name));
        ASSERT_NE(widget, nullptr) << name;
        for (const std::string& text : texts) {
            surface.setText(name, text);
            if (std::string problem = Problem(*widget, QString::fromUtf8(text)); !problem.empty()) {
                problems.push_back(problem);
            }
        }
    }
    // Every caption of a window as it was created.
    void CheckCaptions(QWidget& form) {
        for (QWidget* widget : form.findChildren<QWidget*>()) {
            QString caption;
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                caption = label->text();
            } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
                caption = static_cast<QAbstractButton*>(widget)->text();
            } else {
                continue;
            }
            if (std::string problem = Problem(*widget, caption); !problem.empty()) {
                problems.push_back(problem);
            }
        }
    }
    // What the live panel's decoding writes into a label for every value of a page-0 register
    // pair, gathered on a plain surface (the window's own is measured afterwards).
    static std::vector<std::string> Shown(
        const char* label, const std::function<void(ds2438::PageRead&, ControlSurface&)>& show) {
        PlainSurface plain;
        std::vector<std::string> texts;
        for (int raw = 0; raw < 0x10000; ++raw) {
            ds2438::PageRead page0{};
            page0[0] = ds2438::kStatusAD;
            page0[1] = page0[3] = page0[5] = static_cast<uint8_t>(raw);
            page0[2] = page0[4] = page0[6] = static_cast<uint8_t>(raw >> 8);
            show(page0, plain);
            texts.push_back(plain.text(label));
        }
        return Longest(texts);
    }
    // The few longest of many texts (in characters); measuring all of them adds nothing.
    static std::vector<std::string> Longest(std::vector<std::string> texts) {
        std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
            return QString::fromUtf8(a).size() > QString::fromUtf8(b).size();
        });
        texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
        if (texts.size() > 40) {
            texts.resize(40);
        }
        return texts;
    }

    testing::WindowRig rig;
    std::vector<std::string> problems;
};

TEST_F(TextFit, BothWindowsUseTheTahomaTheyAreLaidOutFor) {
    EXPECT_EQ(QFontInfo(rig.window.font()).family(), "Tahoma");
    EXPECT_EQ(QFontInfo(rig.dialog.font()).family(), "Tahoma");
    auto* temperature = rig.Find<QLabel>("lblT1820");
    EXPECT_EQ(QFontInfo(temperature->font()).family(), "Tahoma");
    EXPECT_TRUE(QFontInfo(temperature->font()).bold());
}

TEST_F(TextFit, EveryCaptionOfBothWindowsFits) {
    CheckCaptions(rig.window);
    CheckCaptions(rig.dialog);
    EXPECT_EQ(problems, std::vector<std::string>{});
}

TEST_F(TextFit, TheMainWindowShowsEveryStatusTemperatureThresholdAndAdapterNumberWhole) {
    ControlSurface& ui = rig.window.controls();
    Check(ui, rig.window, "stat11",
          {status_text::kNotConnected, status_text::kAdapterFound, status_text::kCheckAdapter,
           status_text::kDriverError, status_text::kNoPortChosen});
    std::vector<std::string> temperatures{"--,--"};
    for (int sixteenths = -55 * 16; sixteenths <= 125 * 16; ++sixteenths) {
        temperatures.push_back(FormatNumber(sixteenths / 16.0));
    }
    Check(ui, rig.window, "lblT1820", Longest(temperatures));
    std::vector<std::string> thresholds;
    for (int degrees = -128; degrees <= 127; ++degrees) {
        thresholds.push_back(FormatNumber(degrees));
    }
    for (const char* box : {"edt1820up", "edt1820down"}) {
        Check(ui, rig.window, box, Longest(thresholds));
    }
    std::vector<std::string> adapterNumbers;
    for (char digit : std::string("0123456789ABCDEF")) {
        adapterNumbers.push_back(std::string(16, digit));
    }
    Check(ui, rig.window, "Stat1", adapterNumbers);
    EXPECT_EQ(problems, std::vector<std::string>{});
}

TEST_F(TextFit, TheSettingsDialogShowsEveryStoredValueWhole) {
    ControlSurface& ui = rig.dialog.controls();
    auto allValues = [](HltField field) {
        std::array<uint8_t, kHltBlockSize> bytes{};
        HLTConfig block(bytes);
        std::vector<std::string> texts;
        const bool wide = field.type != FieldType::I8 && field.type != FieldType::U8;
        for (int raw = 0; raw < (wide ? 0x10000 : 0x100); ++raw) {
            bytes[field.offset] = static_cast<uint8_t>(raw);
            if (wide) {
                bytes[field.offset + 1] = static_cast<uint8_t>(raw >> 8);
            }
            texts.push_back(FieldText(block, field));
        }
        return Longest(texts);
    };
    for (int channel = 0; channel < 2; ++channel) {
        const auto& names = kHltChannelControls[static_cast<size_t>(channel)];
        const auto& fields = kHltChannelFields[static_cast<size_t>(channel)];
        const std::array<std::pair<const char*, HltField>, 6> edits{
            {{names.min, fields.min},
             {names.max, fields.max},
             {names.minVoltage, fields.minVoltage},
             {names.maxVoltage, fields.maxVoltage},
             {names.upValue, fields.upValue},
             {names.downValue, fields.downValue}}};
        for (const auto& [edit, field] : edits) {
            Check(ui, rig.dialog, edit, allValues(field));
        }
    }
    Check(ui, rig.dialog, hlt_control::edtTdis, allValues(hlt_field::Tdis));
    Check(ui, rig.dialog, hlt_control::edtTupLimit, allValues(hlt_field::TupLimit));
    Check(ui, rig.dialog, hlt_control::edtTdownLimit, allValues(hlt_field::TdownLimit));
    EXPECT_EQ(problems, std::vector<std::string>{});
}

TEST_F(TextFit, TheLivePanelShowsEveryReadingWholeOrMarkedAsCut) {
    HltState state;
    ControlSurface& ui = rig.dialog.controls();
    Check(ui, rig.dialog, hlt_control::lblCurrentT,
          Shown(hlt_control::lblCurrentT,
                [&](auto& page, auto& surface) { ShowTemperature(page, state, surface); }));
    Check(ui, rig.dialog, hlt_control::lblCurrentVDD,
          Shown(hlt_control::lblCurrentVDD,
                [&](auto& page, auto& surface) { ShowVoltage(page, state, surface); }));
    Check(ui, rig.dialog, hlt_control::lblCurrentADC0,
          Shown(hlt_control::lblCurrentADC0, [&](auto& page, auto& surface) {
              page[0] = 0;
              ShowVoltage(page, state, surface);
          }));
    for (const char* label : {hlt_control::lblCurrentADC1, hlt_control::lblUvhoda}) {
        Check(ui, rig.dialog, label,
              Shown(label, [&](auto& page, auto& surface) { ShowCurrent(page, state, surface); }));
    }
    EXPECT_EQ(problems, std::vector<std::string>{});
    // The channel-1 input has more digits than its place: it is shown marked as cut.
    auto* input = rig.dialog.findChild<QLabel*>(hlt_control::lblUvhoda);
    EXPECT_TRUE(input->text().endsWith(QChar(0x2026))) << input->text().toStdString();
    EXPECT_EQ(input->toolTip().toStdString(), ui.text(hlt_control::lblUvhoda));
}

TEST_F(TextFit, TheInputWizardsVoltagesReadFromTheirFirstDigitAndWholeInTheTooltip) {
    rig.Tick();
    rig.dialog.Open(rig.ui().text("cmbhlt"));
    // Current input with the data sheet's 4 and 20 mA: fifteen digits each.
    rig.host.inputAnswers = {"0", "100", "10", "90", "0", "4,0", "20,0"};
    rig.dialog.findChild<QPushButton*>("btnWiz")->click();
    ControlSurface& ui = rig.dialog.controls();
    ASSERT_EQ(ui.text("edtS1minVoltage"), "0,0389380617119606");
    ASSERT_EQ(ui.text("edtS1MaxVoltage"), "0,194690308559803");
    for (const char* name : {"edtS1minVoltage", "edtS1MaxVoltage"}) {
        auto* edit = rig.dialog.findChild<QLineEdit*>(name);
        if (std::string problem = StartProblem(*edit); !problem.empty()) {
            problems.push_back(problem);
        }
    }
    EXPECT_EQ(problems, std::vector<std::string>{});
}

TEST_F(TextFit, ChannelValuesAndTheCorrectedTemperatureShowWholeOrMarkedAsCut) {
    HltState state;
    ControlSurface& ui = rig.dialog.controls();
    std::vector<std::string> temperatures;
    for (int raw = 0; raw < 0x10000; raw += 8) {
        temperatures.push_back(FormatNumber(
            DecodeTemperature(static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8))));
    }
    std::vector<std::string> signals;
    for (int raw = 0; raw < 0x10000; ++raw) {
        signals.push_back(
            FormatNumber(DecodeVoltage(static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8))));
    }
    std::vector<std::string> corrected, channelValues;
    auto show = [&] {
        ShowConfiguration(state, ui);
        corrected.push_back(ui.text(hlt_control::lblTCurrentValue));
        channelValues.push_back(ui.text("lblS0CurrentValue"));
        channelValues.push_back(ui.text("lblS1CurrentValue"));
    };
    for (const std::string& temperature : Longest(temperatures)) {
        state.Temperature = *ParseNumber(temperature);
        for (int tdis : {-128, -99, -5, 126}) {
            state.HLTS.set(hlt_field::Tdis, tdis);
            show();
        }
    }
    state.HLTS.set(hlt_field::SensorTypes, stOther | stHIH5031 << 4);
    for (auto [min, max] : {std::pair{-32768, 32767}, {1, -32768}, {0, 1000}}) {
        for (auto [low, high] : {std::pair{1, 65535}, {65535, 1}, {8260, 39743}}) {
            for (const auto& fields : kHltChannelFields) {
                state.HLTS.set(fields.min, min);
                state.HLTS.set(fields.max, max);
                state.HLTS.set(fields.minVoltage, low);
                state.HLTS.set(fields.maxVoltage, high);
            }
            for (const std::string& signal :
                 std::vector<std::string>(signals.begin(), signals.begin() + 12)) {
                state.ADC0_val = state.ADC1_val = *ParseNumber(signal);
                state.Vsens = 5;
                state.Temperature = -54.97;
                show();
            }
        }
    }
    Check(ui, rig.dialog, hlt_control::lblTCurrentValue, Longest(corrected));
    Check(ui, rig.dialog, "lblS0CurrentValue", Longest(channelValues));
    Check(ui, rig.dialog, "lblS1CurrentValue", Longest(channelValues));
    EXPECT_EQ(problems, std::vector<std::string>{});
}

}  // namespace
}  // namespace velgrin
