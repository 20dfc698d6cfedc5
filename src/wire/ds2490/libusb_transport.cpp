#include "wire/ds2490/libusb_transport.h"

#include <libusb.h>

#include <algorithm>

#include "wire/link_trace.h"

namespace velgrin::ds2490 {

namespace {

std::string Ordinal(int n) {
    return std::to_string(n) + (n == 1 ? "st" : n == 2 ? "nd" : n == 3 ? "rd" : "th");
}

}  // namespace

std::string NoAdapterText(int portNumber, size_t attached, const std::string& why) {
    if (attached == 0) {
        std::string text =
            "no DS2490 USB 1-Wire adapter (04fa:2490) is attached: plug one in (a DS9490R "
            "or DS9490B)";
        if (!why.empty()) {
            text += "; " + why;
        }
        return text;
    }
    return "there is no " + Ordinal(portNumber) +
           " DS2490 USB 1-Wire adapter: " + std::to_string(attached) +
           (attached == 1 ? " is" : " are") + " attached";
}

std::string NoPermissionText(const UsbAddress& address) {
    return "no permission to use the DS2490 USB 1-Wire adapter at " + address.text() +
           ": the udev rule " + std::string(kUdevRuleFile) +
           " (in /usr/lib/udev/rules.d, or /usr/local/lib/udev/rules.d for a build installed "
           "there) grants it to the user at the desk and to the group plugdev. Install it with "
           "the program, then run 'sudo udevadm control --reload-rules' and 'sudo udevadm "
           "trigger', and plug the adapter in again";
}

std::string BusyText(const UsbAddress& address) {
    return "the DS2490 USB 1-Wire adapter at " + address.text() +
           " is in use by another program (another 1-Wire tool or a second Velgrin): close it "
           "and try again";
}

LibusbTransport::LibusbTransport(int portNumber, std::chrono::milliseconds timeout)
    : portNumber_(portNumber), timeoutMs_(static_cast<unsigned>(timeout.count())) {}

LibusbTransport::~LibusbTransport() {
    close();
}

std::string LibusbTransport::name() const {
    if (address_) {
        return "the DS2490 USB 1-Wire adapter at " + address_->text();
    }
    return "the " + Ordinal(portNumber_) + " DS2490 USB 1-Wire adapter";
}

WireResult<void> LibusbTransport::open() {
    if (handle_ != nullptr) {
        return {};
    }
    address_.reset();
    if (const int r = libusb_init(&context_); r != LIBUSB_SUCCESS) {
        context_ = nullptr;
        return WireError{
            WireErrorCode::PortGone,
            NoAdapterText(portNumber_, 0,
                          std::string("USB is not available here: ") + libusb_strerror(r))};
    }
    const auto attached = Ds2490sOn(context_);
    if (portNumber_ < 1 || static_cast<size_t>(portNumber_) > attached.size()) {
        close();
        return WireError{WireErrorCode::PortGone, NoAdapterText(portNumber_, attached.size(), "")};
    }
    address_ = attached[static_cast<size_t>(portNumber_ - 1)];

    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &devices);
    int opened = LIBUSB_ERROR_NO_DEVICE;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(devices[i]) == address_->bus &&
            libusb_get_device_address(devices[i]) == address_->device) {
            opened = libusb_open(devices[i], &handle_);
            break;
        }
    }
    if (count >= 0) {
        libusb_free_device_list(devices, 1);
    }
    if (opened != LIBUSB_SUCCESS) {
        handle_ = nullptr;
        WireError error = opened == LIBUSB_ERROR_ACCESS
                              ? WireError{WireErrorCode::NoPermission, NoPermissionText(*address_)}
                          : opened == LIBUSB_ERROR_NO_DEVICE
                              ? WireError{WireErrorCode::PortGone, name() + " was unplugged"}
                              : WireError{WireErrorCode::Io,
                                          "cannot open " + name() + ": " + libusb_strerror(opened)};
        close();
        return error;
    }
    if (auto claimed = claim(); !claimed) {
        close();
        return claimed;
    }
    return {};
}

WireResult<void> LibusbTransport::claim() {
    // The kernel's ds2490 module takes the adapter when it is plugged in; libusb lends it to
    // us at the claim and hands it back at the release.
    (void)libusb_set_auto_detach_kernel_driver(handle_, 1);
    const int claimed = libusb_claim_interface(handle_, kInterface);
    switch (claimed) {
        case LIBUSB_SUCCESS:
            break;
        case LIBUSB_ERROR_BUSY:
            return WireError{WireErrorCode::PortBusy, BusyText(*address_)};
        case LIBUSB_ERROR_NO_DEVICE:
            return WireError{WireErrorCode::PortGone, name() + " was unplugged"};
        case LIBUSB_ERROR_ACCESS:
            return WireError{WireErrorCode::NoPermission, NoPermissionText(*address_)};
        default:
            return WireError{WireErrorCode::Io,
                             "cannot take " + name() + " from the kernel's ds2490 driver (" +
                                 libusb_strerror(claimed) +
                                 "): unload it with 'sudo modprobe -r ds2490' and try again"};
    }
    if (const int r = libusb_set_interface_alt_setting(handle_, kInterface, kAlternateSetting);
        r != LIBUSB_SUCCESS) {
        return transferError(r, "choosing its alternate setting");
    }
    return {};
}

void LibusbTransport::close() {
    if (handle_ != nullptr) {
        // Closing the handle releases it all the same; nothing is left to do on a failure.
        (void)libusb_release_interface(handle_, kInterface);
        libusb_close(handle_);
        handle_ = nullptr;
    }
    if (context_ != nullptr) {
        libusb_exit(context_);
        context_ = nullptr;
    }
}

WireError LibusbTransport::transferError(int code, const std::string& what) {
    switch (code) {
        case LIBUSB_ERROR_NO_DEVICE:
            return WireError{WireErrorCode::PortGone, name() + " was unplugged"};
        case LIBUSB_ERROR_TIMEOUT:
            return WireError{WireErrorCode::Timeout, name() + " did not answer " + what};
        case LIBUSB_ERROR_PIPE:
            return WireError{WireErrorCode::Protocol, name() + " refused " + what};
        default:
            return WireError{WireErrorCode::Io,
                             name() + ": " + what + " failed: " + libusb_strerror(code)};
    }
}

WireResult<void> LibusbTransport::control(Request request, uint16_t value, uint16_t index) {
    if (handle_ == nullptr) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.controlTransfers;
    const uint8_t setup[] = {kVendorOut,
                             static_cast<uint8_t>(request),
                             static_cast<uint8_t>(value & 0xFF),
                             static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(index & 0xFF),
                             static_cast<uint8_t>(index >> 8),
                             0,
                             0};
    TraceAdapterBytes(AdapterDirection::Sent, setup);
    const int r = libusb_control_transfer(handle_, kVendorOut, static_cast<uint8_t>(request), value,
                                          index, nullptr, 0, timeoutMs_);
    if (r < 0) {
        return transferError(r, "a command");
    }
    return {};
}

WireResult<void> LibusbTransport::bulkWrite(std::span<const uint8_t> bytes) {
    if (handle_ == nullptr) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.bulkTransfers;
    TraceAdapterBytes(AdapterDirection::Sent, bytes);
    int sent = 0;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    const int r =
        libusb_bulk_transfer(handle_, kDataOutEndpoint, const_cast<uint8_t*>(bytes.data()),
                             static_cast<int>(bytes.size()), &sent, timeoutMs_);
    if (r < 0) {
        return transferError(r, "data for the bus");
    }
    if (static_cast<size_t>(sent) != bytes.size()) {
        return WireError{WireErrorCode::Protocol, name() + " took " + std::to_string(sent) +
                                                      " of " + std::to_string(bytes.size()) +
                                                      " bytes for the bus"};
    }
    return {};
}

WireResult<size_t> LibusbTransport::bulkRead(std::span<uint8_t> bytes) {
    if (handle_ == nullptr) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.bulkTransfers;
    int received = 0;
    const int r = libusb_bulk_transfer(handle_, kDataInEndpoint, bytes.data(),
                                       static_cast<int>(bytes.size()), &received, timeoutMs_);
    // Bytes that came before a timeout are the chip's all the same.
    if (r < 0 && !(r == LIBUSB_ERROR_TIMEOUT && received > 0)) {
        return transferError(r, "reading bytes from the bus");
    }
    const auto count = std::min(static_cast<size_t>(received), bytes.size());
    TraceAdapterBytes(AdapterDirection::Received, bytes.first(count));
    return count;
}

WireResult<size_t> LibusbTransport::readStatus(std::span<uint8_t, status::kPacketSize> packet) {
    if (handle_ == nullptr) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.statusReads;
    int received = 0;
    const int r = libusb_interrupt_transfer(handle_, kStatusEndpoint, packet.data(),
                                            static_cast<int>(packet.size()), &received, timeoutMs_);
    if (r < 0) {
        return transferError(r, "a status read");
    }
    TraceAdapterBytes(AdapterDirection::Received, packet.first(static_cast<size_t>(received)));
    return static_cast<size_t>(received);
}

WireResult<void> LibusbTransport::clearHalt(uint8_t endpoint) {
    if (handle_ == nullptr) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    if (const int r = libusb_clear_halt(handle_, endpoint); r < 0) {
        return transferError(r, "clearing an endpoint");
    }
    return {};
}

}  // namespace velgrin::ds2490
