// The "ds2480b" port kind as --port and manual mode see it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/ds2480b/posix_serial_port.h"
#include "wire/ds2480b/system_serial_ports.h"

namespace velgrin::ds2480b {
namespace {

PortRegistry Registry() {
    PortRegistry registry;
    registry.add(Ds2480bBackend());
    return registry;
}

TEST(Ds2480bPortSpec, DeviceMustBeNamedAndBeASerialDevice) {
    const auto registry = Registry();
    auto unnamed = registry.resolve("ds2480b");
    ASSERT_FALSE(unnamed);
    EXPECT_EQ(unnamed.error().code, WireErrorCode::BadPortSpec);
    EXPECT_EQ(unnamed.error().message,
              "port 'ds2480b': name the serial device, e.g. ds2480b:/dev/ttyUSB0");

    auto missing = registry.resolve("ds2480b:/dev/ttyUSB97");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, WireErrorCode::NoSuchPort);
    EXPECT_EQ(missing.error().message,
              "port 'ds2480b:/dev/ttyUSB97': /dev/ttyUSB97 does not exist (is the adapter "
              "plugged in?)");

    // A folder, a memory device, the controlling terminal: never an adapter's port.
    for (const std::string device : {"/tmp", "/dev/null", "/dev/zero", "/dev/tty"}) {
        auto refused = registry.resolve("ds2480b:" + device);
        ASSERT_FALSE(refused) << device;
        EXPECT_EQ(refused.error().code, WireErrorCode::BadPortSpec);
        EXPECT_EQ(refused.error().message,
                  "port 'ds2480b:" + device + "': " + device + " is not a serial port");
    }
    // Any other character device that is no terminal is refused when it is opened.
    PosixSerialPort port("/dev/null");
    auto opened = port.open();
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().code, WireErrorCode::BadPortSpec);
    EXPECT_EQ(opened.error().message, "/dev/null is not a serial port");
}

TEST(Ds2480bPortSpec, AnswersToPortTypeFive) {
    const auto registry = Registry();
    const PortBackend* backend = registry.findByType(5);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->kind, "ds2480b");
    EXPECT_FALSE(backend->numberedPort(0));
}

TEST(Ds2480bPortNumbers, SystemPortsCountInNameOrderWithNumbersAsNumbers) {
    std::vector<std::string> names{"/dev/ttyUSB0", "/dev/ttyS10",  "/dev/ttyS2",
                                   "/dev/ttyACM1", "/dev/ttyS02x", "/dev/ttyS1"};
    std::sort(names.begin(), names.end(), PortNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"/dev/ttyACM1", "/dev/ttyS1", "/dev/ttyS2",
                                               "/dev/ttyS02x", "/dev/ttyS10", "/dev/ttyUSB0"}));

    const PortBackend backend = Ds2480bBackend({}, [] {
        return std::vector<std::string>{"/dev/ttyACM1", "/dev/ttyS1", "/dev/ttyUSB0"};
    });
    EXPECT_FALSE(backend.numberedPort(0));
    EXPECT_EQ(backend.numberedPort(1), (PortSpec{"ds2480b", "/dev/ttyACM1"}));
    EXPECT_EQ(backend.numberedPort(3), (PortSpec{"ds2480b", "/dev/ttyUSB0"}));
    EXPECT_FALSE(backend.numberedPort(4));
}

TEST(Ds2480bPortNumbers, AnUnpluggedAdaptersNumberStillNamesItsPort) {
    std::vector<std::string> listed{"/dev/ttyS0", "/dev/ttyUSB0"};
    const PortBackend backend = Ds2480bBackend({}, [&listed] { return listed; });
    EXPECT_EQ(backend.numberedPort(2), (PortSpec{"ds2480b", "/dev/ttyUSB0"}));
    listed = {"/dev/ttyS0"};
    EXPECT_EQ(backend.numberedPort(2), (PortSpec{"ds2480b", "/dev/ttyUSB0"}));
    // A number that never named a port names none.
    EXPECT_FALSE(backend.numberedPort(3));
    listed = {"/dev/ttyS0", "/dev/ttyUSB1"};
    EXPECT_EQ(backend.numberedPort(2), (PortSpec{"ds2480b", "/dev/ttyUSB1"}));
}

}  // namespace
}  // namespace velgrin::ds2480b
