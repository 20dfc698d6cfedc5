// Port texts of the DS2482 kind: what they name, and what a malformed one is told.

#include "wire/ds2482/i2c_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/clock.h"
#include "wire/ds2482/ds2482_backend.h"

namespace velgrin::ds2482 {
namespace {

using ::testing::HasSubstr;

WireResult<I2cPort> Parse(const std::string& text) {
    VirtualClock clock;
    PortRegistry registry;
    registry.add(Ds2482Backend(clock));
    auto spec = registry.resolve(text);
    if (!spec) {
        return spec.error();
    }
    return ParseI2cPort(*spec);
}

TEST(I2cPortText, NamesBusAddressAndChannel) {
    auto plain = Parse("ds2482:/dev/i2c-1");
    ASSERT_TRUE(plain) << plain.error().message;
    EXPECT_EQ(plain->device, "/dev/i2c-1");
    EXPECT_EQ(plain->address, 0x18);
    EXPECT_EQ(plain->channel, std::nullopt);
    EXPECT_EQ(plain->sysfsName(), "1-0018");

    auto full = Parse("ds2482:/dev/i2c-11@0x1f:7");
    ASSERT_TRUE(full) << full.error().message;
    EXPECT_EQ(full->device, "/dev/i2c-11");
    EXPECT_EQ(full->address, 0x1F);
    EXPECT_EQ(full->addressText(), "0x1F");
    EXPECT_EQ(full->channel, 7);
    EXPECT_EQ(full->sysfsName(), "11-001f");

    auto channelOnly = Parse("ds2482:/dev/i2c-0:0");
    ASSERT_TRUE(channelOnly);
    EXPECT_EQ(channelOnly->address, 0x18);
    EXPECT_EQ(channelOnly->channel, 0);
}

TEST(I2cPortText, MalformedTextsSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"ds2482:/dev/i2c-1@0x20", "the address after @ is 0x18 to 0x1F"},
        {"ds2482:/dev/i2c-1@0x17", "the address after @ is 0x18 to 0x1F"},
        {"ds2482:/dev/i2c-1@1A", "the address after @ is 0x18 to 0x1F"},
        {"ds2482:/dev/i2c-1@0x1A2", "the address after @ is 0x18 to 0x1F"},
        {"ds2482:/dev/i2c-1:8", "the channel after the last colon is 0 to 7"},
        {"ds2482:/dev/i2c-1:12", "the channel after the last colon is 0 to 7"},
        {"ds2482:/dev/i2c-1@0x18:", "the channel after the last colon is 0 to 7"},
        {"ds2482:@0x18", "the I2C bus's device is missing"},
    };
    for (const auto& [text, why] : cases) {
        SCOPED_TRACE(text);
        auto parsed = Parse(text);
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.error().code, WireErrorCode::BadPortSpec);
        EXPECT_THAT(parsed.error().message, HasSubstr(std::string("port '") + text + "': " + why));
    }
}

}  // namespace
}  // namespace velgrin::ds2482
