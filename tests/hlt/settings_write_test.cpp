#include "hlt/settings_write.h"

#include <gtest/gtest.h>

#include "hlt/crc_hlt.h"
#include "hlt_rig.h"
#include "reference_crc.h"

namespace velgrin {
namespace {

using testing::HltRig;
using testing::Transactions;

const char* const kS0MinMessage =
    "Неверное значение параметра Датчик 0 min!\r\nДолжно быть -3000..3000";
const char* const kS0UpMessage =
    "Неверное значение параметра Датчик 0 Верхний предел!\r\nДолжно быть -3000..3000";
const char* const kS0MinVoltageMessage =
    "Неверное значение параметра Датчик 0 мин.зн-ие V\r\nДолжно быть 0..6,5V";
const char* const kS1MaxVoltageMessage =
    "Неверное значение параметра Датчик 1 макс.зн-ие V\r\nДолжно быть 0..0,249V";
const char* const kOffsetMessage =
    "Неверное значение параметра Смещение температуры!\r\nДолжно быть -1,26..1,26";
const char* const kUpLimitMessage =
    "Неверное значение параметра Температура Верхний предел!\r\nДолжно быть -50..150";
const char* const kTypesMessage = "Неопределены типы датчиков!";

// The dialog in edit mode over a multisensor whose pages hold a known block.
class SettingsWrite : public ::testing::Test, public HltRig {
  protected:
    SettingsWrite() : device(Attach(testing::HltRom(1))) {
        state.curIndxHLT = Scan(device.rom());
        HLTConfig stored(storedBlock);
        stored.set(hlt_field::SensorTypes, 0x12);
        stored.set(hlt_field::S0min, -125);
        stored.set(hlt_field::S0minVoltage, 1234);
        stored.set(hlt_field::S1MaxVoltage, 2000);
        stored.set(hlt_field::S0UpValue, 300);
        stored.set(hlt_field::Tdis, 10);
        stored.set(hlt_field::TupLimit, 1000);
        SealHltBlock(stored);
        device.setConfigBlock(storedBlock);
        hlt.getValueHLT(state.curIndxHLT, dialog);
        flgEditHLT = false;
        host.sleeps.clear();
        host.messages.clear();
    }

    // The types selected, then every edit valid for two linear channels.
    void FillValid(int type0 = 1, int type1 = 2) {
        dialog.setItemIndex("rg0", type0);
        dialog.setItemIndex("rg1", type1);
        for (auto [edit, text] :
             std::initializer_list<std::pair<const char*, const char*>>{{"edtS0min", "0"},
                                                                        {"edtS0Max", "100"},
                                                                        {"edtS0minVoltage", "0,8"},
                                                                        {"edtS0MaxVoltage", "4"},
                                                                        {"edtS0UpValue", "80"},
                                                                        {"edtS0DownValue", "20"},
                                                                        {"edtS1min", "-40"},
                                                                        {"edtS1Max", "120"},
                                                                        {"edtS1minVoltage", "0,02"},
                                                                        {"edtS1MaxVoltage", "0,2"},
                                                                        {"edtS1UpValue", "100"},
                                                                        {"edtS1DownValue", "-10"},
                                                                        {"edtTdis", "0,5"},
                                                                        {"edtTupLimit", "60"},
                                                                        {"edtTdownLimit", "-20"}}) {
            dialog.setText(edit, text);
        }
        dialog.setChecked("chkUseT", true);
    }

    bool Write() { return WriteHltSettings(dialog, hlt, flgEditHLT); }

    int32_t Written(HltField field) {
        auto block = device.configBlock();
        return HLTConfig(block).get(field);
    }
    int32_t Held(HltField field) const { return state.HLTS.get(field); }

    // Rejected: its message, the stored value back in the edit, nothing on the device.
    void ExpectRejected(const char* message, const char* edit, const std::string& restored) {
        EXPECT_EQ(host.messages, std::vector<std::string>{message});
        EXPECT_EQ(dialog.text(edit), restored);
        EXPECT_EQ(device.configBlock(), storedBlock);
        EXPECT_TRUE(host.sleeps.empty());
        EXPECT_TRUE(flgEditHLT);
    }

    sim::Ds2438Device& device;
    HltBlock storedBlock{};
    bool flgEditHLT = false;
};

TEST_F(SettingsWrite, ValidSettingsReachEepromPagesWithMatchingCrc) {
    FillValid();
    ASSERT_TRUE(Write());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Written(hlt_field::SensorTypes), 0x12);
    EXPECT_EQ(Written(hlt_field::S0minVoltage), 8000);
    EXPECT_EQ(Written(hlt_field::S0MaxVoltage), 40000);
    EXPECT_EQ(Written(hlt_field::S1min), -400);
    EXPECT_EQ(Written(hlt_field::S1MaxVoltage), 2000);
    EXPECT_EQ(Written(hlt_field::S1DownValue), -100);
    EXPECT_EQ(Written(hlt_field::Tdis), 50);
    EXPECT_EQ(Written(hlt_field::TupLimit), 600);
    EXPECT_EQ(Written(hlt_field::TdownLimit), -200);
    EXPECT_EQ(Written(hlt_field::ConfigMark), 105);
    // Sealed: the CRC8 over the 31 bytes and their CRC byte is 0.
    EXPECT_EQ(testing::ReferenceCrc8(device.configBlock()), 0);

    // The next poll finds the block intact.
    hlt.getValueHLT(state.curIndxHLT, dialog);
    EXPECT_EQ(dialog.color("pnl2"), colors::kButtonFace);
    EXPECT_EQ(dialog.text("edtS1minVoltage"), "0,02");
}

TEST_F(SettingsWrite, PagesGoInSealOrderWithPausesBetween) {
    FillValid();
    Record();
    ASSERT_TRUE(Write());
    std::vector<std::string> pages;
    for (const auto& line : Transactions(bus().events())) {
        if (line.rfind("S 48 ", 0) == 0) {
            pages.push_back(line.substr(5));
        }
    }
    EXPECT_EQ(pages, (std::vector<std::string>{"03", "06", "04", "05"}));
    std::vector<uint32_t> waits;
    for (int page = 0; page < 4; ++page) {
        if (page >= 2) {
            waits.push_back(100);
        }
        waits.insert(waits.end(), 8, 10);
        waits.push_back(700);
    }
    EXPECT_EQ(host.sleeps, waits);
}

TEST_F(SettingsWrite, ValueLimitsAreTheSixteenBitFieldsNotTheMessage) {
    FillValid();
    dialog.setText("edtS0min", "3276,7");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::S0min), 32767);

    dialog.setText("edtS0min", "-3000,5");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::S0min), -30005);
}

TEST_F(SettingsWrite, ValueBeyondTheFieldIsRejectedAndTheStoredValueShown) {
    FillValid();
    dialog.setText("edtS0min", "3276,8");
    EXPECT_FALSE(Write());
    ExpectRejected(kS0MinMessage, "edtS0min", "-12,5");
}

TEST_F(SettingsWrite, ChannelZeroVoltageRange) {
    FillValid();
    dialog.setText("edtS0minVoltage", "6,5535");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::S0minVoltage), 65535);

    for (const char* text : {"6,5536", "-0,0001"}) {
        SCOPED_TRACE(text);
        device.setConfigBlock(storedBlock);
        host.messages.clear();
        host.sleeps.clear();
        dialog.setText("edtS0minVoltage", text);
        EXPECT_FALSE(Write());
        ExpectRejected(kS0MinVoltageMessage, "edtS0minVoltage", "6,5535");
    }
}

TEST_F(SettingsWrite, ChannelOneVoltageRange) {
    FillValid();
    dialog.setText("edtS1MaxVoltage", "0,249");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::S1MaxVoltage), 2490);

    device.setConfigBlock(storedBlock);
    host.sleeps.clear();
    dialog.setText("edtS1MaxVoltage", "0,25");
    EXPECT_FALSE(Write());
    ExpectRejected(kS1MaxVoltageMessage, "edtS1MaxVoltage", "0,249");
}

TEST_F(SettingsWrite, HalvesRoundToEven) {
    FillValid();
    dialog.setText("edtS1UpValue", "2,25");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::S1UpValue), 22);
    hlt.getValueHLT(state.curIndxHLT, dialog);
    EXPECT_EQ(dialog.text("edtS1UpValue"), "2,2");
}

TEST_F(SettingsWrite, AnOffsetOnAHalfHundredthGoesToTheEvenSide) {
    FillValid();
    for (auto [text, stored] : {std::pair{"0,125", 12}, {"0,375", 38}, {"-0,625", -62}}) {
        dialog.setText("edtTdis", text);
        ASSERT_TRUE(Write()) << text;
        EXPECT_EQ(Written(hlt_field::Tdis), stored) << text;
    }
}

TEST_F(SettingsWrite, TemperatureOffsetRange) {
    FillValid();
    for (auto [text, stored] : {std::pair{"1,26", 126}, std::pair{"-1,26", -126}}) {
        dialog.setText("edtTdis", text);
        ASSERT_TRUE(Write());
        EXPECT_EQ(Written(hlt_field::Tdis), stored);
    }
    device.setConfigBlock(storedBlock);
    host.sleeps.clear();
    dialog.setText("edtTdis", "1,27");
    EXPECT_FALSE(Write());
    ExpectRejected(kOffsetMessage, "edtTdis", "-1,26");
}

TEST_F(SettingsWrite, OffsetIgnoredWhenTheTemperatureIsNotShown) {
    FillValid();
    dialog.setChecked("chkUseT", false);
    dialog.setText("edtTdis", "");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::Tdis), 127);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SettingsWrite, TemperatureLimits) {
    FillValid();
    dialog.setText("edtTdownLimit", "-50");
    dialog.setText("edtTupLimit", "150");
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::TdownLimit), -500);
    EXPECT_EQ(Written(hlt_field::TupLimit), 1500);

    device.setConfigBlock(storedBlock);
    host.sleeps.clear();
    dialog.setText("edtTupLimit", "150,1");
    EXPECT_FALSE(Write());
    ExpectRejected(kUpLimitMessage, "edtTupLimit", "150");
}

TEST_F(SettingsWrite, EmptyThresholdStopsAfterTheScalingWasStored) {
    FillValid();
    dialog.setText("edtS0UpValue", "");
    EXPECT_FALSE(Write());
    ExpectRejected(kS0UpMessage, "edtS0UpValue", "30");
    EXPECT_EQ(Held(hlt_field::S0min), 0);
    EXPECT_EQ(Held(hlt_field::S0Max), 1000);
    EXPECT_EQ(Held(hlt_field::S0minVoltage), 8000);
    EXPECT_EQ(Held(hlt_field::S0MaxVoltage), 40000);
    EXPECT_EQ(Held(hlt_field::S1min), 0);  // channel 1 not reached
}

TEST_F(SettingsWrite, Hih5031ChannelChecksOnlyItsThresholds) {
    FillValid();
    dialog.setItemIndex("rg0", 0);
    for (const char* edit : {"edtS0min", "edtS0Max", "edtS0minVoltage", "edtS0MaxVoltage"}) {
        EXPECT_EQ(dialog.text(edit), "") << edit;
    }
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::SensorTypes), 0x02);
    // Scaling kept as stored; thresholds from the edits.
    EXPECT_EQ(Written(hlt_field::S0min), -125);
    EXPECT_EQ(Written(hlt_field::S0minVoltage), 1234);
    EXPECT_EQ(Written(hlt_field::S0UpValue), 300);

    dialog.setText("edtS0UpValue", "abc");
    EXPECT_FALSE(Write());
    EXPECT_EQ(host.messages.back(), kS0UpMessage);
}

TEST_F(SettingsWrite, BothChannelsWithoutSensorCheckOnlyTemperatureSettings) {
    FillValid();
    dialog.setItemIndex("rg0", 6);
    dialog.setItemIndex("rg1", 6);
    ASSERT_EQ(dialog.text("edtS1min"), "");
    ASSERT_TRUE(Write());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Written(hlt_field::SensorTypes), 0x66);
    EXPECT_EQ(Written(hlt_field::S0min), -125);
    EXPECT_EQ(Written(hlt_field::S1MaxVoltage), 2000);
}

TEST_F(SettingsWrite, TypesTwoAndFive) {
    FillValid(2, 5);
    ASSERT_TRUE(Write());
    EXPECT_EQ(Written(hlt_field::SensorTypes), 0x25);
    EXPECT_EQ(Written(hlt_field::S1Max), 1200);
}

TEST_F(SettingsWrite, ThresholdOrderIsOnlyAWarning) {
    FillValid();
    dialog.setText("edtS1UpValue", "-20");
    dialog.setText("edtS1DownValue", "10");
    ASSERT_TRUE(Write());
    EXPECT_EQ(host.messages, std::vector<std::string>{
                                 "Верхний порог датчика 1 меньше нижнего порога!\r\nсигнализация "
                                 "будет работать неправильно!"});
    EXPECT_EQ(Written(hlt_field::S1UpValue), -200);
    EXPECT_EQ(Written(hlt_field::S1DownValue), 100);
}

TEST_F(SettingsWrite, ChannelWithoutTypeIsCheckedAsLinearThenRefused) {
    FillValid();
    dialog.setItemIndex("rg1", -1);
    dialog.setText("edtS1MaxVoltage", "0,3");
    EXPECT_FALSE(Write());
    ExpectRejected(kS1MaxVoltageMessage, "edtS1MaxVoltage", "0,2");

    host.messages.clear();
    dialog.setText("edtS1MaxVoltage", "0,1");
    EXPECT_FALSE(Write());
    EXPECT_EQ(host.messages, std::vector<std::string>{kTypesMessage});
    EXPECT_EQ(Held(hlt_field::S1MaxVoltage), 1000);
    EXPECT_EQ(device.configBlock(), storedBlock);
}

TEST_F(SettingsWrite, UnreachableDeviceIsReportedOnceAndTheWriteStillEnds) {
    FillValid();
    ASSERT_TRUE(bench->park(device.rom()));
    EXPECT_TRUE(Write());
    // The block cannot be read again before the seal, so no page is tried.
    EXPECT_EQ(host.messages, std::vector<std::string>{"Не удалось записать параметры"});
    EXPECT_EQ(hlt.lastWriteFault(), HltWriteFault::BlockNotConfirmed);
    EXPECT_EQ(poll.scans, 0);
}

TEST_F(SettingsWrite, DeviceLeavingAfterTheSealStopsAtTheFirstPageThatFails) {
    FillValid();
    // Gone once page 3 has been copied and read back: page 6 runs out of retries.
    int copies = 0;
    const RomCode rom = device.rom();
    host.onSleep = [&](uint32_t ms) {
        if (ms == 10 && copies == 1) {
            bench->park(rom);
        }
        copies += ms == 700 ? 1 : 0;
    };
    EXPECT_TRUE(Write());
    // Page 3 cannot be put back either: the user is told the device holds a mix.
    EXPECT_EQ(host.messages,
              (std::vector<std::string>{"Не удалось записать параметры", kHltBlockMixedMessage}));
    EXPECT_EQ(hlt.lastWriteFault(), HltWriteFault::NotVerified);
    EXPECT_EQ(hlt.lastBlockOutcome(), HltBlockOutcome::Mixed);
    EXPECT_EQ(poll.scans, 2 * (kTransactionAttempts - 1));
    // Page 3 holds the new bytes, the other pages the old: a block whose CRC no longer holds,
    // which the device does not trust, rather than a sealed mix.
    auto block = device.configBlock();
    EXPECT_FALSE(HltBlockCrcMatches(HLTConfig(block)));
    EXPECT_EQ(HLTConfig(block).get(hlt_field::Crc), HLTConfig(storedBlock).get(hlt_field::Crc));
}

}  // namespace
}  // namespace velgrin
