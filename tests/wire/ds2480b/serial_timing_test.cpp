// The emulator's timing model: characters on the line and the chip's one-byte input buffer.

#include "ds2480b_emu/serial_timing.h"

#include <gtest/gtest.h>

namespace velgrin::ds2480b {
namespace {

// 1-Wire time of a data byte (eight slots of 65 us).
constexpr uint64_t kByteOnBusUs = 520;

TEST(SerialTiming, BytesSentTogetherOverrunABusyChipAtTheFasterRate) {
    SerialTiming timing;
    // Three bytes written at once at 115200 baud arrive 87 us apart.
    const uint64_t first = timing.arrive(0, 115200);
    const uint64_t second = timing.arrive(0, 115200);
    const uint64_t third = timing.arrive(0, 115200);
    EXPECT_EQ(first, 87u);
    EXPECT_EQ(third, 261u);
    ASSERT_TRUE(timing.accept(first));
    const uint64_t firstDone = timing.execute(first, kByteOnBusUs);
    EXPECT_EQ(firstDone, 87u + kByteOnBusUs);
    // The second waits in the buffer for the first...
    ASSERT_TRUE(timing.accept(second));
    EXPECT_EQ(timing.execute(second, kByteOnBusUs), firstDone + kByteOnBusUs);
    // ...so the third finds it full.
    EXPECT_FALSE(timing.accept(third));
}

TEST(SerialTiming, At9600TheLineIsSlowerThanTheBus) {
    SerialTiming timing;
    for (int i = 0; i < 20; ++i) {
        const uint64_t arrival = timing.arrive(0, 9600);
        ASSERT_TRUE(timing.accept(arrival)) << "byte " << i;
        // A search byte: twelve slots.
        timing.execute(arrival, 12 * 65);
    }
}

TEST(SerialTiming, RepliesLeaveBackToBack) {
    SerialTiming timing;
    EXPECT_EQ(timing.transmit(1000, 9600), 2042u);
    EXPECT_EQ(timing.transmit(1500, 9600), 3084u);
    EXPECT_EQ(timing.transmit(9000, 115200), 9087u);
}

}  // namespace
}  // namespace velgrin::ds2480b
