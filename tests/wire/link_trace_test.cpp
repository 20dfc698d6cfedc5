// The adapter trace: what a reader finds in it, and its bound over a long run.

#include "wire/link_trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_rig.h"
#include "common/number_text.h"
#include "wire/sim/bench_file.h"

namespace velgrin {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

struct TraceFolder {
    TraceFolder() {
        std::string pattern = (fs::temp_directory_path() / "velgrin-trace-XXXXXX").string();
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    ~TraceFolder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string path(const std::string& name) const { return root + "/" + name; }
    std::string root;
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The seconds column of a record line.
double Seconds(const std::string& line) {
    return ParseDotNumber(line.substr(0, line.find(' '))).value_or(-1);
}

// The demo bench polled as the window polls it.
struct TracedBench : ::testing::Test {
    VirtualClock clock;
    testing::ScriptedHost host{clock};
    TmexDriver driver{testing::BenchRegistry(sim::MakeDemoBench(clock)), PortSpec{"bench", ""}};
    BusCore core{driver, host};
    TraceFolder folder;
};

TEST_F(TracedBench, AScanShowsTheResetTheSearchAndTheReplies) {
    auto trace = LinkTrace::Open(folder.path("bus.trace"), clock);
    ASSERT_TRUE(trace) << trace.error();
    {
        const TraceInstallation installed(trace->get());
        clock.advanceMs(1500);
        (void)core.ScanSessionAndSearch();
    }
    const std::string text = Contents(folder.path("bus.trace"));
    EXPECT_THAT(text, ContainsRegex("\n1\\.5[0-9]+ +reset +bus +presence\n"));
    EXPECT_THAT(text, ContainsRegex("\n[0-9.]+ +byte +bus +F0 -> F0\n"));
    EXPECT_THAT(text, ContainsRegex("\n[0-9.]+ +bit +bus +01 -> [01]\n"));
    EXPECT_EQ(Lines(text).front(), "# seconds operation direction bytes");
    EXPECT_TRUE((*trace)->failure().empty());
}

// A bench without devices: every poll is short, so ten minutes of them cost little real time.
TEST(LinkTraceBound, TenMinutesOfPollsKeepTheNewestPartWithinTheBound) {
    testing::BenchRig rig;
    VirtualClock& clock = rig.clock;
    BusCore& core = rig.core;
    TraceFolder folder;
    constexpr size_t kBound = 16 * 1024;
    const std::string path = folder.path("bus.trace");
    auto trace = LinkTrace::Open(path, clock, kBound);
    ASSERT_TRUE(trace) << trace.error();
    const TraceInstallation installed(trace->get());
    for (int poll = 0; poll < 600; ++poll) {
        (void)core.ScanSessionAndSearch();
        clock.advanceMs(1000);
        ASSERT_LE(fs::file_size(path), kBound);
    }
    ASSERT_TRUE((*trace)->failure().empty()) << (*trace)->failure();
    ASSERT_LE(fs::file_size(path + ".1"), kBound);

    // FILE.1 then FILE read as one record, in time order, ending with the last poll.
    const auto older = Lines(Contents(path + ".1"));
    const auto newer = Lines(Contents(path));
    ASSERT_GT(older.size(), 1u);
    ASSERT_GT(newer.size(), 1u);
    EXPECT_EQ(older.front(), newer.front());
    std::vector<std::string> records(older.begin() + 1, older.end());
    records.insert(records.end(), newer.begin() + 1, newer.end());
    for (size_t i = 1; i < records.size(); ++i) {
        ASSERT_LE(Seconds(records[i - 1]), Seconds(records[i])) << records[i];
    }
    EXPECT_GE(Seconds(records.back()), 599.0);
}

TEST(LinkTraceFile, AFolderOrAMissingFolderIsRefusedAtOnce) {
    TraceFolder folder;
    VirtualClock clock;
    auto intoFolder = LinkTrace::Open(folder.root, clock);
    ASSERT_FALSE(intoFolder);
    EXPECT_THAT(intoFolder.error(), HasSubstr("is a folder"));
    auto nowhere = LinkTrace::Open(folder.path("gone/bus.trace"), clock);
    ASSERT_FALSE(nowhere);
    EXPECT_THAT(nowhere.error(), HasSubstr("--trace: " + folder.path("gone/bus.trace")));
}

}  // namespace
}  // namespace velgrin
