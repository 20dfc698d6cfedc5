#include "hlt/assistants.h"

#include <gtest/gtest.h>

#include "common/number_text.h"
#include "hlt/hlt_state.h"
#include "recording_surface.h"
#include "scripted_host.h"

namespace velgrin {
namespace {

using testing::RecordingSurface;
using testing::ScriptedHost;

class Hih4000Assistant : public ::testing::Test {
  protected:
    Hih4000Assistant() {
        dialog.setItemIndex("rg0", 1);
        dialog.setItemIndex("rg1", 1);
        state.HLTS.set(hlt_field::S0min, 55);
        state.HLTS.set(hlt_field::S0MaxVoltage, 1111);
        dialog.setText("edtS0min", "5,5");
        dialog.setText("edtS0UpValue", "70");
        dialog.log.clear();
    }

    void Run(std::initializer_list<const char*> answers, int channel = 0) {
        for (const char* answer : answers) {
            host.inputAnswers.push_back(std::string(answer));
        }
        RunHih4000Assistant(dialog, host, state.HLTS, channel);
    }

    // Nothing stored, no edit touched.
    void ExpectNothingChanged() {
        EXPECT_EQ(state.HLTS.get(hlt_field::S0min), 55);
        EXPECT_EQ(state.HLTS.get(hlt_field::S0MaxVoltage), 1111);
        EXPECT_TRUE(dialog.log.empty());
    }

    VirtualClock clock;
    ScriptedHost host{clock};
    RecordingSurface dialog;
    HltState state;
};

TEST_F(Hih4000Assistant, OffsetAndSlopeGiveTheHumidityScaling) {
    Run({"0,826", "31,483"});
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(state.HLTS.get(hlt_field::S0min), 0);
    EXPECT_EQ(state.HLTS.get(hlt_field::S0Max), 1000);
    EXPECT_EQ(state.HLTS.get(hlt_field::S0minVoltage), 8260);
    EXPECT_EQ(state.HLTS.get(hlt_field::S0MaxVoltage), 39743);
    const std::vector<std::string> filled{"edtS0min=0", "edtS0Max=100", "edtS0minVoltage=0,826",
                                          "edtS0MaxVoltage=3,9743"};
    EXPECT_EQ(dialog.log, filled);
    EXPECT_EQ(dialog.text("edtS0UpValue"), "70");
    ASSERT_EQ(host.prompts.size(), 2u);
    EXPECT_EQ(host.prompts[0].caption, "Датчика влажности Zero ofset");
    EXPECT_EQ(host.prompts[0].prompt, "Zero ofset V");
    EXPECT_EQ(host.prompts[0].preset, "0,");
    EXPECT_EQ(host.prompts[1].caption, "Датчик влажности Slope");
    EXPECT_EQ(host.prompts[1].prompt, "Slope mv");
}

TEST_F(Hih4000Assistant, OffsetLimitsAreInclusive) {
    Run({"0", "1"});
    EXPECT_EQ(state.HLTS.get(hlt_field::S0minVoltage), 0);
    EXPECT_EQ(state.HLTS.get(hlt_field::S0MaxVoltage), 1000);
    Run({"2", "1"}, 1);
    EXPECT_EQ(state.HLTS.get(hlt_field::S1minVoltage), 20000);
    EXPECT_EQ(state.HLTS.get(hlt_field::S1MaxVoltage), 21000);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Hih4000Assistant, OffsetAboveTwoIsRefused) {
    Run({"2,0001"});
    EXPECT_EQ(host.messages, std::vector<std::string>{"Неверное значение параметра!\r\n0..2"});
    EXPECT_EQ(host.prompts.size(), 1u);
    ExpectNothingChanged();
}

TEST_F(Hih4000Assistant, DefaultSlopeIsRefused) {
    Run({"0,8"});  // the slope box is cancelled: its preset "0,"
    EXPECT_EQ(host.messages, std::vector<std::string>{"Неверное значение параметра!\r\n1..300"});
    ExpectNothingChanged();
}

TEST_F(Hih4000Assistant, FullScaleBeyondTheVoltageFieldIsRefusedNotCut) {
    Run({"1,5", "50,1"});  // 100 % at 6.51 V: fits
    EXPECT_EQ(state.HLTS.get(hlt_field::S0MaxVoltage), 65100);
    dialog.log.clear();
    state.HLTS.set(hlt_field::S0min, 55);
    state.HLTS.set(hlt_field::S0MaxVoltage, 1111);

    Run({"2", "300"});  // 100 % at 32 V
    EXPECT_EQ(host.messages, std::vector<std::string>{
                                 "Неверное значение параметра!\r\nZero ofset + Slope/10 больше "
                                 "6,5535V"});
    ExpectNothingChanged();
}

TEST_F(Hih4000Assistant, OnlyForAHih4000Channel) {
    dialog.setItemIndex("rg1", 2);
    dialog.log.clear();
    Run({}, 1);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"Настройка только для датчиков влажности HIH-4000"});
    EXPECT_TRUE(host.prompts.empty());
}

class InputWizard : public ::testing::Test {
  protected:
    InputWizard() {
        for (const char* edit : {"edtS1min", "edtS1Max", "edtS1minVoltage", "edtS1MaxVoltage",
                                 "edtS1UpValue", "edtS1DownValue"}) {
            dialog.setText(edit, "7");
        }
        dialog.log.clear();
    }

    void Answer(std::initializer_list<std::optional<std::string>> answers) {
        for (const auto& answer : answers) {
            host.inputAnswers.push_back(answer);
        }
    }

    double Shown(const char* edit) { return ParseNumber(dialog.text(edit)).value_or(-1); }

    VirtualClock clock;
    ScriptedHost host{clock};
    RecordingSurface dialog;
};

TEST_F(InputWizard, CurrentLoopWithDefaultCurrents) {
    Answer({"0", "100", "10", "90", "0", std::nullopt, std::nullopt});
    RunInputWizard(dialog, host);
    const std::vector<std::string> order{"edtS1min",        "edtS1Max",     "edtS1minVoltage",
                                         "edtS1MaxVoltage", "edtS1UpValue", "edtS1DownValue"};
    ASSERT_EQ(dialog.log.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(dialog.log[i].substr(0, order[i].size() + 1), order[i] + "=");
    }
    EXPECT_EQ(dialog.text("edtS1min"), "0");
    EXPECT_EQ(dialog.text("edtS1Max"), "100");
    EXPECT_NEAR(Shown("edtS1minVoltage"), 0.0389381, 1e-7);
    EXPECT_NEAR(Shown("edtS1MaxVoltage"), 0.194690, 1e-6);
    EXPECT_EQ(dialog.text("edtS1UpValue"), "90");
    EXPECT_EQ(dialog.text("edtS1DownValue"), "10");
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"Перемычки на плате J4 J6 должны быть установлены!"});
    ASSERT_EQ(host.prompts.size(), 7u);
    EXPECT_EQ(host.prompts[5].prompt, "МИНимальный ток датчика мА");
    EXPECT_EQ(host.prompts[5].preset, "4,0");
    EXPECT_EQ(host.prompts[6].preset, "20,0");
    for (const auto& prompt : host.prompts) {
        EXPECT_EQ(prompt.caption, "Канал 1");
    }
}

TEST_F(InputWizard, VoltageInputWithDefaultVoltages) {
    Answer({"0", "100", "10", "90", "1", std::nullopt, std::nullopt});
    RunInputWizard(dialog, host);
    EXPECT_EQ(dialog.text("edtS1minVoltage"), "0");
    EXPECT_NEAR(Shown("edtS1MaxVoltage"), 0.194690, 1e-6);
    EXPECT_EQ(host.messages,
              std::vector<std::string>{"Перемычка на плате J4 должна быть установлена!"});
    EXPECT_EQ(host.prompts[5].prompt, "МИНимальное напряжение датчика В");
    EXPECT_EQ(host.prompts[6].preset, "4,0");
}

TEST_F(InputWizard, InputKindIsAskedUntilExactlyZeroOrOne) {
    Answer({"0", "1", "0", "1", "2", "", " 1", std::nullopt, "1"});
    RunInputWizard(dialog, host);
    std::vector<std::string> kindPresets;
    for (const auto& prompt : host.prompts) {
        if (prompt.prompt == "0 - ТОКОВЫЙ вход\r\n1 - Вход по НАПРЯЖЕНИЮ") {
            kindPresets.push_back(prompt.preset);
        }
    }
    EXPECT_EQ(kindPresets, std::vector<std::string>(5, " "));
    EXPECT_EQ(host.messages.back(), "Перемычка на плате J4 должна быть установлена!");
}

TEST_F(InputWizard, NonNumberStopsWithNothingChanged) {
    Answer({"abc"});
    RunInputWizard(dialog, host);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Неверное значение!"});
    EXPECT_EQ(host.prompts.size(), 1u);
    EXPECT_TRUE(dialog.log.empty());

    host.messages.clear();
    Answer({"0", "1", "2", "3", "0", "4,0", "twenty"});
    RunInputWizard(dialog, host);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Неверное значение!"});
    EXPECT_TRUE(dialog.log.empty());
}

}  // namespace
}  // namespace velgrin
