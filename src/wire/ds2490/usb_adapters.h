#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libusb_context;

namespace velgrin::ds2490 {

// Where a DS2490 sits on the system's USB.
struct UsbAddress {
    uint8_t bus = 0;
    uint8_t device = 0;

    auto operator<=>(const UsbAddress&) const = default;
    // "/dev/bus/usb/001/004"
    std::string node() const;
    // "bus 1 device 4 (/dev/bus/usb/001/004)"
    std::string text() const;
};

// The DS2490s a libusb context sees, in bus and address order: manual mode's USB port N is
// entry N-1.
std::vector<UsbAddress> Ds2490sOn(libusb_context* context);

// The DS2490s attached now. A system without USB support has none; the reason is then in
// `why`.
std::vector<UsbAddress> AttachedDs2490s(std::string* why = nullptr);

}  // namespace velgrin::ds2490
