#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/control_surface.h"
#include "numberlog/date_time_source.h"
#include "numberlog/number_log.h"
#include "scripted_host.h"
#include "wire/bus_core.h"

namespace velgrin::testing {

// Numbers of the bench in list form: CRC first, family code last.
inline constexpr const char* kDs18B20First = "6C0000045A8B1A28";
inline constexpr const char* kDs18B20Second = "FD0000056C317728";
inline constexpr const char* kDs18S20 = "9C0008020B923E10";
inline constexpr const char* kDs1921H = "124F20002B104521";
inline constexpr const char* kDs1922L = "8500000056341241";
inline constexpr const char* kDs1925 = "A0000000C8A56453";
inline constexpr const char* kDs1822 = "770000003A8C1022";
inline constexpr const char* kAdapterChip = "550000002D5F9381";
inline constexpr const char* kDs1921HType = "DS1921H-F5 +15..+46(C)";

// A clock on the wall that stands still until the test moves it.
class PinnedDateTime : public DateTimeSource {
  public:
    LocalDateTime now() override { return moment; }
    LocalDateTime moment{2024, 3, 5, 14, 7, 9};
};

// The lines of a log file; a last line without its CR LF shows as "<no line end>".
std::vector<std::string> CrLfLines(const std::string& content);
std::string ReadWholeFile(const std::filesystem::path& path);

// The program side the number-log tests drive; each test program links one maker: the core's
// list rebuild shown on plain controls (tests/numberlog) or the main window (tests/app).
class NumberLogFrontEnd {
  public:
    virtual ~NumberLogFrontEnd() = default;
    virtual BusCore& core() = 0;
    virtual ControlSurface& surface() = 0;
    virtual NumberLog& log() = 0;
    // The list rebuild after a search that left the device table as it is now.
    virtual void RebuildLists() = 0;
};

std::unique_ptr<NumberLogFrontEnd> MakeNumberLogFrontEnd(ScriptedHost& host,
                                                         DateTimeSource& dateTime);

// A number log behind a front end, a bus core that no scan fills (the tests set what the scan
// would) and a fresh folder for the files.
class NumberLogTest : public ::testing::Test {
  protected:
    NumberLogTest();
    ~NumberLogTest() override;

    // A search that found these devices, in table order, and the front end's list rebuild.
    void Rebuild(const std::vector<std::string>& romTexts);

    // Ticks "Автоматически сохранять" and picks `file` in the dialog.
    void SwitchAutoStoreOn(const std::filesystem::path& file);
    void SwitchAutoStoreOff();

    std::vector<std::string> MainLines() const;
    std::vector<std::string> CompanionLines() const;
    std::filesystem::path Companion(const std::filesystem::path& file) const;

    VirtualClock clock;
    ScriptedHost host{clock};
    PinnedDateTime dateTime;
    std::unique_ptr<NumberLogFrontEnd> frontEnd = MakeNumberLogFrontEnd(host, dateTime);
    BusCore& core = frontEnd->core();
    ControlSurface& surface = frontEnd->surface();
    NumberLog& log = frontEnd->log();

    std::filesystem::path folder;
    std::filesystem::path logFile;
};

}  // namespace velgrin::testing
