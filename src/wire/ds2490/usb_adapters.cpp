#include "wire/ds2490/usb_adapters.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "wire/ds2490/ds2490_codes.h"

namespace velgrin::ds2490 {

std::string UsbAddress::node() const {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "/dev/bus/usb/%03u/%03u", unsigned{bus},
                  unsigned{device});
    return text.data();
}

std::string UsbAddress::text() const {
    return "bus " + std::to_string(bus) + " device " + std::to_string(device) + " (" + node() + ")";
}

std::vector<UsbAddress> Ds2490sOn(libusb_context* context) {
    std::vector<UsbAddress> found;
    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context, &devices);
    if (count < 0) {
        return found;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(devices[i], &descriptor) == LIBUSB_SUCCESS &&
            descriptor.idVendor == kVendorId && descriptor.idProduct == kProductId) {
            found.push_back(
                {libusb_get_bus_number(devices[i]), libusb_get_device_address(devices[i])});
        }
    }
    libusb_free_device_list(devices, 1);
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<UsbAddress> AttachedDs2490s(std::string* why) {
    libusb_context* context = nullptr;
    if (const int r = libusb_init(&context); r != LIBUSB_SUCCESS) {
        if (why != nullptr) {
            *why = std::string("USB is not available here: ") + libusb_strerror(r);
        }
        return {};
    }
    auto found = Ds2490sOn(context);
    libusb_exit(context);
    return found;
}

}  // namespace velgrin::ds2490
