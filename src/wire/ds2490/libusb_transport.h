#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "wire/ds2490/usb_adapters.h"
#include "wire/ds2490/usb_transport.h"

struct libusb_context;
struct libusb_device_handle;

namespace velgrin::ds2490 {

// The rule file installed with the program, named in the permission message.
inline constexpr const char* kUdevRuleFile = "60-velgrin-ds2490.rules";

// The N-th DS2490 of the system (1-based, bus and address order) through libusb-1.0. Which
// device that is gets decided at every open, so an adapter that was unplugged and plugged back
// in (at a new address) is found again.
class LibusbTransport final : public UsbTransport {
  public:
    explicit LibusbTransport(int portNumber,
                             std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    ~LibusbTransport() override;
    LibusbTransport(const LibusbTransport&) = delete;
    LibusbTransport& operator=(const LibusbTransport&) = delete;

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }
    std::string name() const override;

    WireResult<void> control(Request request, uint16_t value, uint16_t index) override;
    WireResult<void> bulkWrite(std::span<const uint8_t> bytes) override;
    WireResult<size_t> bulkRead(std::span<uint8_t> bytes) override;
    WireResult<size_t> readStatus(std::span<uint8_t, status::kPacketSize> packet) override;
    WireResult<void> clearHalt(uint8_t endpoint) override;

  private:
    WireResult<void> claim();
    WireError transferError(int code, const std::string& what);

    int portNumber_;
    unsigned timeoutMs_;
    std::optional<UsbAddress> address_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
};

// What a technician reads when the adapter cannot be opened.
std::string NoAdapterText(int portNumber, size_t attached, const std::string& why);
std::string NoPermissionText(const UsbAddress& address);
std::string BusyText(const UsbAddress& address);

}  // namespace velgrin::ds2490
