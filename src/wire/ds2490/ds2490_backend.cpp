#include "wire/ds2490/ds2490_backend.h"

#include <charconv>

#include "wire/ds2490/libusb_transport.h"
#include "wire/ds2490/usb_adapters.h"

namespace velgrin::ds2490 {

namespace {

constexpr int kMostAdapters = 127;  // devices one USB bus can address

// The adapter's number in a spec: none is the first.
WireResult<int> PortNumber(const PortSpec& spec) {
    if (spec.argument.empty()) {
        return 1;
    }
    int number = 0;
    const char* end = spec.argument.data() + spec.argument.size();
    const auto [at, ec] = std::from_chars(spec.argument.data(), end, number);
    if (ec != std::errc{} || at != end || number < 1 || number > kMostAdapters) {
        return WireError{
            WireErrorCode::BadPortSpec,
            "port '" + spec.text() + "': after usb: comes the adapter's number, 1 for the first"};
    }
    return number;
}

PortSpec SpecOf(int portNumber) {
    return PortSpec{"usb", portNumber == 1 ? "" : std::to_string(portNumber)};
}

}  // namespace

PortBackend Ds2490Backend(Ds2490Options options) {
    PortBackend backend;
    backend.kind = "usb";
    backend.description = "DS2490 USB adapter (DS9490R type): usb, or usb:N for the N-th";
    backend.portType = kUsbPortType;
    backend.check = [](const PortSpec& spec) -> WireResult<void> {
        auto number = PortNumber(spec);
        if (!number) {
            return number.error();
        }
        return {};
    };
    backend.makeLink = [options](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        auto number = PortNumber(spec);
        if (!number) {
            return number.error();
        }
        return std::unique_ptr<Link>(
            std::make_unique<Ds2490Link>(std::make_unique<LibusbTransport>(*number), options));
    };
    // An adapter missing now may be plugged in later: the port exists, its setup fails.
    backend.numberedPort = [](int portNumber) -> std::optional<PortSpec> {
        if (portNumber < 1 || portNumber > kMostAdapters) {
            return std::nullopt;
        }
        return SpecOf(portNumber);
    };
    backend.soleAttached = []() -> std::optional<PortSpec> {
        if (AttachedDs2490s().size() != 1) {
            return std::nullopt;
        }
        return SpecOf(1);
    };
    return backend;
}

}  // namespace velgrin::ds2490
