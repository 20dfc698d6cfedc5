#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ds2490_model/ds2490_chip.h"
#include "wire/ds2490/usb_adapters.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::ds2490 {

// How long the mocked adapters take, for the benchmark: a latency per USB transfer and the
// 1-Wire time of each command. Tests leave it at zero.
struct MockTiming {
    std::chrono::microseconds transfer{0};  // control and bulk transfers
    std::chrono::microseconds statusRead{0};
    bool busTime = false;  // a command's transfer also takes its 1-Wire time
};

// DS2490 adapters on a USB bus that exists only for this process: umockdev's testbed holds
// their sysfs entries and device nodes, and the chip models answer the usbdevfs requests that
// libusb sends, so the real libusb and the real driver run unchanged. Needs umockdev's preload
// active from the start of the process (linked in, or umockdev-wrapper).
class MockUsbBus {
  public:
    MockUsbBus();
    ~MockUsbBus();
    MockUsbBus(const MockUsbBus&) = delete;
    MockUsbBus& operator=(const MockUsbBus&) = delete;

    // Plugs an adapter serving `bench` in, at the next free address; its index.
    size_t plug(std::shared_ptr<sim::SimBench> bench);
    // Pulls it out: its node and sysfs entry vanish, open handles get ENODEV.
    void unplug(size_t adapter);
    // Puts it back at a new address, powered up afresh.
    void replug(size_t adapter);
    UsbAddress address(size_t adapter) const;

    // The kernel's ds2490 module has the interface until a program detaches it.
    void setKernelDriverBound(size_t adapter, bool bound);
    bool kernelDriverBound(size_t adapter) const;
    // Another program has claimed the interface.
    void setClaimedElsewhere(size_t adapter, bool claimed);
    // Whether our program holds the interface now.
    bool claimed(size_t adapter) const;

    // Runs `look` on the adapter's bench between two of its requests.
    void withBench(size_t adapter, const std::function<void(sim::SimBench&)>& look);
    void withChip(size_t adapter, const std::function<void(Ds2490Chip&)>& look);

    // What the driver asked of the adapter, one line per request (see mock_usb_bus.cpp).
    std::vector<std::string> transcript(size_t adapter) const;
    void clearTranscript(size_t adapter);

    void setTiming(MockTiming timing);
    // The testbed's root (sysfs and /dev live under it).
    std::string rootDir() const;
    // Where the adapter's device node really lives.
    std::string nodeFile(size_t adapter) const;

    struct Adapter;

  private:
    void attach(Adapter& adapter);

    struct Testbed;
    std::unique_ptr<Testbed> testbed_;
    std::vector<std::unique_ptr<Adapter>> adapters_;
    uint8_t nextDevice_ = 2;
};

}  // namespace velgrin::ds2490
