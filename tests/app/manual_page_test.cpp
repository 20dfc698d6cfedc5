// velgrin(1) against the program's --help: the same options and the same port kinds.
#include "manual_page.h"

#include <gtest/gtest.h>

#include "common/clock.h"
#include "program_run.h"
#include "wire/port_registry.h"

namespace velgrin {
namespace {

using namespace velgrin::testing;

TEST(WindowManualPageTest, NamesExactlyTheOptionsAndPortKindsOfTheHelp) {
    const std::string page = ReadText(VELGRIN_MANUAL);
    ASSERT_FALSE(page.empty()) << "no page at " << VELGRIN_MANUAL;
    const ProgramRun help = RunProgram(VELGRIN_PATH, {"--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(PageOptions(page, "velgrin"), LongOptionsIn(help.out));

    VirtualClock unused;
    std::set<std::string> kinds;
    const PortRegistry registry = BuiltInPorts(unused);
    for (const PortBackend& backend : registry.backends()) {
        kinds.insert(backend.kind);
        EXPECT_NE(help.out.find("  " + backend.kind + ": "), std::string::npos) << backend.kind;
    }
    EXPECT_EQ(PagePortKinds(page), kinds);
}

}  // namespace
}  // namespace velgrin
