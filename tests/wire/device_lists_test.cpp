#include "wire/device_lists.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/plain_surface.h"
#include "scripted_host.h"
#include "wire/rom_code.h"

namespace velgrin {

void PrintTo(const PageSwitch& page, std::ostream* os) {
    *os << page.page << (page.enabled ? " on" : " off");
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kAdapterChip = "550000002D5F9381";
constexpr const char* kDs18B20 = "6C0000045A8B1A28";
constexpr const char* kMultisensor = "E1000001C4E98126";
constexpr const char* kDs1921 = "124F20002B104521";
constexpr const char* kDs18S20 = "9C0008020B923E10";
constexpr const char* kDs1822 = "770000003A8C1022";
constexpr const char* kUnknown = "43000013B5F27C01";

// A bus core whose device table is filled as a search that found these devices fills it.
class Rebuild : public ::testing::Test {
  protected:
    DeviceLists After(const std::vector<std::string>& romTexts) {
        core.FoundDev = 0;
        for (const std::string& text : romTexts) {
            const auto rom = ParseRomText(text);
            EXPECT_TRUE(rom) << text;
            CurrentSens& sens = core.Asens[static_cast<size_t>(core.FoundDev++)];
            sens.ROMS = text;
            sens.Family = rom ? GroupOfFamily((*rom)[0]) : device_group::kUnlisted;
        }
        return RebuildDeviceLists(core);
    }

    VirtualClock clock;
    testing::ScriptedHost host{clock};
    TmexDriver driver{PortRegistry{}, std::nullopt};
    BusCore core{driver, host};
};

TEST_F(Rebuild, EachKindGoesToItsListInTableOrderAndEveryAddedEntryTakesALogStep) {
    const DeviceLists lists =
        After({kAdapterChip, kDs18B20, kMultisensor, kDs1921, kDs18S20, kDs1822, kUnknown});

    EXPECT_THAT(lists.cmb1820, ElementsAre("01 6C0000045A8B1A28", "04 9C0008020B923E10"));
    EXPECT_THAT(lists.cmbhlt, ElementsAre("02 E1000001C4E98126"));
    EXPECT_THAT(lists.cmbSN, ElementsAre("03 124F20002B104521", "05 770000003A8C1022"));
    EXPECT_THAT(lists.logSteps, ElementsAre(LogStep::kStoreRom1820, LogStep::kStoreRomButton,
                                            LogStep::kStoreRom1820, LogStep::kStoreRomButton));
    EXPECT_THAT(lists.pages, ElementsAre(PageSwitch{"HLT", true}, PageSwitch{"Reg", true},
                                         PageSwitch{"ds1820", true}, PageSwitch{"ds192x", true}));
}

TEST_F(Rebuild, PagesWithoutDevicesAreSwitchedOffOrLeftAsTheyAre) {
    const DeviceLists empty = After({});
    EXPECT_THAT(empty.cmb1820, IsEmpty());
    EXPECT_THAT(empty.cmbhlt, IsEmpty());
    EXPECT_THAT(empty.cmbSN, IsEmpty());
    EXPECT_THAT(empty.logSteps, IsEmpty());
    EXPECT_THAT(empty.pages, ElementsAre(PageSwitch{"HLT", false}, PageSwitch{"Reg", false}));

    const DeviceLists thermometers = After({kDs18B20, kDs18S20, kAdapterChip});
    EXPECT_THAT(thermometers.pages, ElementsAre(PageSwitch{"HLT", false}, PageSwitch{"Reg", false},
                                                PageSwitch{"ds1820", true}));
    EXPECT_THAT(thermometers.logSteps, ElementsAre(LogStep::kStoreRom1820, LogStep::kStoreRom1820));
}

TEST_F(Rebuild, OneTextControlsShowTheFirstEntryOfEachList) {
    PlainSurface surface;
    ShowSelectedEntries(After({kDs1921, kDs18S20, kDs18B20, kMultisensor, kDs1822}), surface);
    EXPECT_EQ(surface.text("cmb1820"), "01 9C0008020B923E10");
    EXPECT_EQ(surface.text("cmbhlt"), "03 E1000001C4E98126");
    EXPECT_EQ(surface.text("cmbSN"), "00 124F20002B104521");
    EXPECT_EQ(surface.text("cmbDs192x"), "00 124F20002B104521");
    EXPECT_TRUE(surface.enabled("HLT"));
    EXPECT_TRUE(surface.enabled("Reg"));

    ShowSelectedEntries(After({kDs18B20}), surface);
    EXPECT_EQ(surface.text("cmb1820"), "00 6C0000045A8B1A28");
    EXPECT_EQ(surface.text("cmbhlt"), "");
    EXPECT_EQ(surface.text("cmbSN"), "");
    EXPECT_EQ(surface.text("cmbDs192x"), "");
    EXPECT_FALSE(surface.enabled("HLT"));
    EXPECT_FALSE(surface.enabled("Reg"));
}

}  // namespace
}  // namespace velgrin
