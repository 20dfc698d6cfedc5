#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "bench_folder.h"
#include "bench_roms.h"
#include "cli_process.h"
#include "common/number_text.h"

namespace velgrin::cli::testing {
namespace {

using nlohmann::json;

std::vector<json> Events(const std::string& out) {
    std::vector<json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        events.push_back(json::parse(line));
    }
    return events;
}

// "event rom @time" of every arrival, departure and store, in order.
std::vector<std::string> DeviceEvents(const std::vector<json>& events) {
    std::vector<std::string> seen;
    for (const json& e : events) {
        if (e.at("event") != "status") {
            seen.push_back(e.at("event").get<std::string>() + " " + e.at("rom").get<std::string>() +
                           " @" + std::to_string(e.at("time_ms").get<int>()));
        }
    }
    return seen;
}

// The log text with each date and time replaced by "DATE TIME".
std::string WithoutDates(const std::string& text) {
    static const std::regex kMoment(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)");
    return std::regex_replace(text, kMoment, "DATE TIME");
}

std::string Reversed(const std::string& rom) {
    std::string reversed;
    for (size_t pair = 8; pair >= 1; --pair) {
        reversed += rom.substr(2 * pair - 2, 2);
    }
    return reversed;
}

class WatchTest : public ::testing::Test {
  protected:
    BenchFolder folder;
    const std::string chip = RomFor(0x81, 0x24A1C3);
    const std::string first = RomFor(0x28, 0x071D3E5A);
    const std::string second = RomFor(0x28, 0x071D42B7);
    // Family 10 comes before 28 in the search, so it heads the thermometer list.
    const std::string ds18s20 = RomFor(0x10, 0x0802B31C);
    const std::string ds1921 = RomFor(0x21, 0x06409F1234AB);
    // Family 22 comes before 21 in the search.
    const std::string ds1822 = RomFor(0x22, 0x00C0FFEE);

    CliRun watch(const json& bench, std::vector<std::string> arguments) {
        std::vector<std::string> words{"--port", folder.bench("bench.json", bench), "--json",
                                       "watch"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        return RunTool(words);
    }

    json thermometerBench() const {
        return {{"adapter", {{"serialChip", chip}}},
                {"devices",
                 {{{"model", "DS18B20"}, {"rom", first}},
                  {{"model", "DS18B20"}, {"rom", second}, {"attached", false}},
                  {{"model", "DS18S20"}, {"rom", ds18s20}, {"attached", false}}}},
                {"timeline",
                 {{{"at", 1500}, {"detach", first}},
                  {{"at", 1500}, {"attach", second}},
                  {{"at", 3500}, {"attach", ds18s20}},
                  {{"at", 5500}, {"detach", ds18s20}},
                  {{"at", 7500}, {"attach", first}}}}};
    }
};

TEST_F(WatchTest, PrintsArrivalsAndDeparturesAtTheSecondTheyAreSeenUntilTheBenchIsAtRest) {
    const CliRun run = watch(thermometerBench(), {});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto events = Events(run.out);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], json({{"event", "status"}, {"status", "adapter found"}, {"time_ms", 0}}));
    EXPECT_EQ(DeviceEvents(events),
              (std::vector<std::string>{
                  "arrived " + first + " @0", "arrived " + chip + " @0", "left " + first + " @2000",
                  "arrived " + second + " @2000", "arrived " + ds18s20 + " @4000",
                  "left " + ds18s20 + " @6000", "arrived " + first + " @8000"}));
}

TEST_F(WatchTest, AFarEventIsReachedAtOnceWithoutPollingThroughTheTimeBefore) {
    constexpr uint64_t kFar = 1'000'000'000'000;  // about 31 years of bench time
    const json bench{{"devices", {{{"model", "DS18B20"}, {"rom", first}}}},
                     {"timeline", {{{"at", kFar}, {"detach", first}}}}};
    const CliRun run = watch(bench, {});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::pair<std::string, uint64_t>> seen;
    for (const json& e : Events(run.out)) {
        if (e.at("event") != "status") {
            seen.emplace_back(e.at("event").get<std::string>(), e.at("time_ms").get<uint64_t>());
        }
    }
    ASSERT_EQ(seen.size(), 2u) << run.out;
    EXPECT_EQ(seen[0], (std::pair<std::string, uint64_t>{"arrived", 0}));
    EXPECT_EQ(seen[1].first, "left");
    EXPECT_GE(seen[1].second, kFar);
    EXPECT_LT(seen[1].second, kFar + 2000);
}

TEST_F(WatchTest, CountEndsTheWatchAfterThatManyPolls) {
    const CliRun run = watch(thermometerBench(), {"--count", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(DeviceEvents(Events(run.out)),
              (std::vector<std::string>{"arrived " + first + " @0", "arrived " + chip + " @0"}));
}

TEST_F(WatchTest, TempMeasuresTheThermometersEachPollFoundAtEveryPoll) {
    const json bench{
        {"adapter", {{"serialChip", chip}}},
        {"devices",
         {{{"model", "DS18B20"}, {"rom", first}, {"temperature", 21.5}},
          {{"model", "DS18S20"}, {"rom", ds18s20}, {"temperature", -3.5}, {"attached", false}}}},
        {"timeline", {{{"at", 1500}, {"attach", ds18s20}}}}};
    for (const char* sequence : {"", "--one-by-one"}) {
        SCOPED_TRACE(sequence);
        std::vector<std::string> arguments{"--temp", "--count", "2"};
        if (*sequence != 0) {
            arguments.push_back(sequence);
        }
        const CliRun run = watch(bench, arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::string> readings;
        for (const json& e : Events(run.out)) {
            if (e.at("event") == "temperature") {
                readings.push_back(e.at("rom").get<std::string>() + " " +
                                   FormatDotNumber(e.at("temperature").get<double>()));
            }
        }
        EXPECT_EQ(readings,
                  (std::vector<std::string>{first + " 21.5", ds18s20 + " -3.5", first + " 21.5"}));
    }
    std::vector<std::string> words{
        "--port", folder.bench("bench.json", bench), "watch", "--temp", "--count", "1"};
    const CliRun text = RunTool(words);
    EXPECT_NE(text.out.find("s  temp     " + first + "  21.5 C\n"), std::string::npos) << text.out;
}

TEST_F(WatchTest, TempReportsAPowerOnValueAndFailsTheWatch) {
    const json bench{{"devices",
                      {{{"model", "DS18B20"}, {"rom", first}, {"faults", {{"busyForever", true}}}},
                       {{"model", "DS18B20"}, {"rom", second}, {"temperature", 30}}}}};
    const CliRun run = watch(bench, {"--temp", "--count", "1"});
    EXPECT_EQ(run.status, 1);
    bool reported = false;
    for (const json& e : Events(run.out)) {
        if (e.at("event") == "temperature" && e.at("rom") == first) {
            EXPECT_EQ(e.at("error"), "power-on value, no conversion");
            EXPECT_FALSE(e.contains("temperature"));
            reported = true;
        }
    }
    EXPECT_TRUE(reported) << run.out;
}

TEST_F(WatchTest, OneByOneWithoutTempIsAUsageError) {
    const CliRun run = watch(thermometerBench(), {"--one-by-one"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--one-by-one chooses how --temp measures"), std::string::npos)
        << run.err;
}

TEST_F(WatchTest, AutoStoreWritesTheWindowsLogAtEveryRebuildOfTheLists) {
    const std::string log = folder.path("log.txt");
    const CliRun run = watch(thermometerBench(), {"--auto-store", log});
    ASSERT_EQ(run.status, 0) << run.err;
    // The swap at 1500 keeps the count, so no rebuild stores the second thermometer then; it is
    // stored once the DS18S20 that headed the list has left. The first one's return is no news.
    const auto stored = DeviceEvents(Events(run.out));
    EXPECT_EQ(std::count_if(stored.begin(), stored.end(),
                            [](const std::string& e) { return e.rfind("stored", 0) == 0; }),
              3);
    for (const std::string& expected : {"stored " + first + " @0", "stored " + ds18s20 + " @4000",
                                        "stored " + second + " @6000"}) {
        EXPECT_NE(std::find(stored.begin(), stored.end(), expected), stored.end()) << expected;
    }

    const auto fileText = [&](const std::string& a, const std::string& b, const std::string& c) {
        return "Adapters SN " + chip + "\r\n \r\n \r\nDS18B20 Temperature Sensor +125C..-50C " +
               "DATE TIME\r\n" + a +
               "\r\n \r\nDS18S20 Temperature Sensor -50..+125C DATE TIME\r\n" + b +
               "\r\n \r\nDS18B20 Temperature Sensor +125C..-50C DATE TIME\r\n" + c + "\r\n";
    };
    EXPECT_EQ(WithoutDates(folder.read("log.txt")), fileText(first, ds18s20, second));
    EXPECT_EQ(WithoutDates(folder.read("log.txt_e_.txt")),
              fileText(Reversed(first), Reversed(ds18s20), Reversed(second)));
}

TEST_F(WatchTest, AutoStoreOfLoggersFollowsTheFirstEntryOfTheRegistrationList) {
    const json bench{
        {"adapter", {{"serialChip", chip}}},
        {"devices",
         {{{"model", "DS1921"}, {"rom", ds1921}}, {{"model", "DS1822"}, {"rom", ds1822}}}},
        {"timeline", {{{"at", 1500}, {"detach", ds1822}}}}};
    const CliRun run = watch(bench, {"--auto-store", folder.path("log.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    // While the DS1822 heads the list nothing is stored; then the DS1921 is, under its subtype.
    EXPECT_EQ(
        WithoutDates(folder.read("log.txt")),
        "Adapters SN " + chip + "\r\n \r\nDS1921L-F50 -40..+85(C) DATE TIME\r\n" + ds1921 + "\r\n");
}

TEST_F(WatchTest, AnAdapterThatGoesAwayEmptiesTheBusUntilItIsBack) {
    json bench = thermometerBench();
    bench["timeline"] = {{{"at", 500}, {"faults", {{"unplugged", true}}}},
                         {{"at", 2500}, {"faults", {{"unplugged", false}}}}};
    CliRun run = watch(bench, {"--count", "4"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> statuses;
    for (const json& e : Events(run.out)) {
        if (e.at("event") == "status") {
            statuses.push_back(e.at("status").get<std::string>() + " @" +
                               std::to_string(e.at("time_ms").get<int>()));
        }
    }
    EXPECT_EQ(statuses,
              (std::vector<std::string>{
                  "adapter found @0", "the adapter does not answer: check the 1-Wire adapter @1000",
                  "adapter found @3000"}));
    EXPECT_EQ(
        DeviceEvents(Events(run.out)),
        (std::vector<std::string>{"arrived " + first + " @0", "arrived " + chip + " @0",
                                  "left " + first + " @1000", "left " + chip + " @1000",
                                  "arrived " + first + " @3000", "arrived " + chip + " @3000"}));

    // Ending while the adapter is away is a failure.
    run = watch(bench, {"--count", "2"});
    EXPECT_EQ(run.status, 1);
}

TEST_F(WatchTest, ALogFileThatCannotBeWrittenIsReportedAndFailsTheWatch) {
    const std::string log = folder.path("no/such/folder/log.txt");
    const CliRun run = watch(thermometerBench(), {"--count", "1", "--auto-store", log});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("velgrin-cli: could not write to the file: " + log), std::string::npos)
        << run.err;
}

TEST_F(WatchTest, ACountThatIsNoWholePositiveNumberIsAUsageError) {
    for (const std::string count : {"0", "-1", "two", "1.5", ""}) {
        const CliRun run = watch(thermometerBench(), {"--count", count});
        EXPECT_EQ(run.status, 2) << count;
        EXPECT_NE(run.err.find("--count needs a whole number of polls"), std::string::npos);
    }
}

TEST_F(WatchTest, ABusErrorIsReportedChangesNothingAndFailsTheWatch) {
    json bench = thermometerBench();
    std::string broken = second;
    broken[0] = broken[0] == '0' ? '1' : '0';
    // A device whose code fails its CRC joins the bus at 1500 and never leaves.
    bench["devices"].push_back({{"rom", broken}, {"faulty", true}, {"attached", false}});
    bench["timeline"] = {{{"at", 1500}, {"attach", broken}}};
    const CliRun run = watch(bench, {"--count", "3"});
    EXPECT_EQ(run.status, 1);
    std::vector<std::string> statuses;
    for (const json& e : Events(run.out)) {
        if (e.at("event") == "status") {
            statuses.push_back(e.at("status").get<std::string>().substr(0, 10));
        }
    }
    // Polls at 0 and 1000 list the bus, the one at 2000 meets the broken code.
    EXPECT_EQ(statuses, (std::vector<std::string>{"adapter fo", "bus error:"}));
    // No departure of the devices the failed searches could not list.
    EXPECT_EQ(DeviceEvents(Events(run.out)),
              (std::vector<std::string>{"arrived " + first + " @0", "arrived " + chip + " @0"}));
}

}  // namespace
}  // namespace velgrin::cli::testing
