#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "number_log_fixture.h"

namespace velgrin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class AutoStoreTest : public NumberLogTest {
  protected:
    AutoStoreTest() { SwitchAutoStoreOn(logFile); }
};

TEST_F(AutoStoreTest, FirstThermometerGetsAdapterBlankBlankTypeAndNumber) {
    Rebuild({kDs18B20First});

    EXPECT_THAT(MainLines(),
                ElementsAre("Adapters SN 550000002D5F9381", " ", " ",
                            "DS18B20 Temperature Sensor +125C..-50C 05.03.2024 14:07:09",
                            "6C0000045A8B1A28"));
    EXPECT_THAT(CompanionLines(),
                ElementsAre("Adapters SN 550000002D5F9381", " ", " ",
                            "DS18B20 Temperature Sensor +125C..-50C 05.03.2024 14:07:09",
                            "281A8B5A0400006C"));
    EXPECT_EQ(surface.color("shp1"), colors::kGreen);
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(AutoStoreTest, FirstLoggerHasNoBlankLineAfterTheAdapterLine) {
    core.TypeButtonString = kDs1921HType;

    Rebuild({kAdapterChip, kDs1921H});

    EXPECT_THAT(MainLines(),
                ElementsAre("Adapters SN 550000002D5F9381", " ",
                            "DS1921H-F5 +15..+46(C) 05.03.2024 14:07:09", "124F20002B104521"));
    EXPECT_THAT(CompanionLines(),
                ElementsAre("Adapters SN 550000002D5F9381", " ",
                            "DS1921H-F5 +15..+46(C) 05.03.2024 14:07:09", "2145102B00204F12"));
    EXPECT_EQ(surface.color("shp1"), colors::kGreen);
}

TEST_F(AutoStoreTest, LoggerListedAfterAThermometerKeepsItsOwnType) {
    // The search named the logger; the thermometer step of the rebuild runs before the logger's.
    core.subtypeNames[2] = kDs1921HType;

    Rebuild({kAdapterChip, kDs18B20First, kDs1921H});

    const auto lines = MainLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "DS1921H-F5 +15..+46(C) 05.03.2024 14:07:09");
    EXPECT_EQ(lines.back(), "124F20002B104521");
}

TEST_F(AutoStoreTest, SecondThermometerOnTheBusFindsTheFirstStoredAndBeeps) {
    Rebuild({kDs18B20First, kDs18B20Second});

    EXPECT_EQ(MainLines().back(), "6C0000045A8B1A28");
    EXPECT_EQ(MainLines().size(), 5u);
    EXPECT_EQ(host.beeps, 1);
}

TEST_F(AutoStoreTest, ThermometerAttachedAgainBeepsAndWritesNothing) {
    Rebuild({kDs18B20First});
    const std::string before = ReadWholeFile(logFile);
    const std::string companionBefore = ReadWholeFile(Companion(logFile));

    Rebuild({});
    Rebuild({kDs18B20First});

    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(ReadWholeFile(logFile), before);
    EXPECT_EQ(ReadWholeFile(Companion(logFile)), companionBefore);
}

TEST_F(AutoStoreTest, OtherTypeArrivingLaterGetsBlankTypeLineAndNumberWithoutAdapterLine) {
    Rebuild({kDs18B20First});
    Rebuild({});
    dateTime.moment = {2024, 3, 5, 15, 30, 0};
    Rebuild({kDs18S20});

    EXPECT_THAT(MainLines(),
                ElementsAre("Adapters SN 550000002D5F9381", " ", " ",
                            "DS18B20 Temperature Sensor +125C..-50C 05.03.2024 14:07:09",
                            "6C0000045A8B1A28", " ",
                            "DS18S20 Temperature Sensor -50..+125C 05.03.2024 15:30:00",
                            "9C0008020B923E10"));
    EXPECT_EQ(CompanionLines().back(), "103E920B0208009C");
}

TEST_F(AutoStoreTest, NoAdapterChipLeavesTheAdapterLineEndingInItsBlank) {
    core.SNADAPTERS.clear();

    Rebuild({kDs18B20First});

    ASSERT_FALSE(MainLines().empty());
    EXPECT_EQ(MainLines()[0], "Adapters SN ");
    EXPECT_EQ(CompanionLines()[0], "Adapters SN ");
}

TEST_F(AutoStoreTest, Ds1822TurnsTheIndicatorRedAndIsNotStored) {
    core.TypeButtonString = kDs1921HType;

    Rebuild({kDs1822});

    EXPECT_EQ(surface.color("shp1"), colors::kRed);
    EXPECT_FALSE(std::filesystem::exists(logFile));
    EXPECT_THAT(log.autoStore().List, IsEmpty());
    EXPECT_EQ(host.beeps, 0);
}

TEST_F(AutoStoreTest, Ds1922AndDs1925AreStoredUnderTheTypeTextTheScanLeft) {
    core.TypeButtonString = "DS1922L - Термохрон";
    Rebuild({kDs1922L});
    Rebuild({});
    Rebuild({kDs1925});

    EXPECT_THAT(MainLines(), ElementsAre("Adapters SN 550000002D5F9381", " ",
                                         "DS1922L - Термохрон 05.03.2024 14:07:09",
                                         "8500000056341241", "A0000000C8A56453"));
    EXPECT_EQ(surface.color("shp1"), colors::kGreen);
}

TEST_F(AutoStoreTest, SwitchingOffAndOnWithNewFileKeepsNumbersAndLastType) {
    Rebuild({kDs18B20First});
    const std::string firstFile = ReadWholeFile(logFile);
    const auto secondFile = folder / "second.txt";
    logFile = secondFile;

    SwitchAutoStoreOff();
    SwitchAutoStoreOn(secondFile);
    Rebuild({kDs18B20Second});
    Rebuild({});
    Rebuild({kDs18S20});
    Rebuild({});
    Rebuild({kDs18B20First});

    EXPECT_THAT(MainLines(),
                ElementsAre("FD0000056C317728", "Adapters SN 550000002D5F9381", " ", " ",
                            "DS18S20 Temperature Sensor -50..+125C 05.03.2024 14:07:09",
                            "9C0008020B923E10"));
    EXPECT_EQ(CompanionLines().front(), "2877316C050000FD");
    EXPECT_EQ(ReadWholeFile(folder / "log.txt"), firstFile);
    EXPECT_EQ(host.beeps, 1);
}

}  // namespace
}  // namespace velgrin::testing
