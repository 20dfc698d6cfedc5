// Transcript lines: "C<request> <wValue> <wIndex>" a vendor request, "W <hex>" bytes to the bus
// (EP2), "R <hex>" bytes from the bus (EP3), "S" a status read with "<hex>" its result bytes,
// and the interface requests "claim", "detach", "alt <n>", "release", "attach".

#include "ds2490_model/mock_usb_bus.h"

#include <errno.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "model_support/transcript_line.h"

namespace velgrin::ds2490 {

namespace {

constexpr uint8_t kControlUrb = USBDEVFS_URB_TYPE_CONTROL;
constexpr uint8_t kBulkUrb = USBDEVFS_URB_TYPE_BULK;
constexpr uint8_t kInterruptUrb = USBDEVFS_URB_TYPE_INTERRUPT;
constexpr size_t kSetupSize = 8;

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    std::array<char, 4> two{};
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two.data(), two.size(), "%02X", bytes[i]);
        text += two.data();
    }
    return text;
}

std::string Hex16(uint16_t value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%04X", value);
    return text.data();
}

// Device descriptor, then the configuration with one interface in four alternate settings,
// each with the status, data-out and data-in endpoints.
std::string Descriptors() {
    std::vector<uint8_t> d{0x12, 0x01, 0x10, 0x01, 0xFF, 0x00, 0x00, 0x08, 0xFA,
                           0x04, 0x90, 0x24, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    const uint16_t total = 9 + 4 * (9 + 3 * 7);
    const std::vector<uint8_t> config{
        0x09, 0x02, static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8), 0x01, 0x01, 0x00,
        0x80, 0x32};
    d.insert(d.end(), config.begin(), config.end());
    for (uint8_t alt = 0; alt < 4; ++alt) {
        const uint8_t interval = alt < 2 ? 10 : 1;
        const uint8_t packet = (alt % 2) == 0 ? 16 : 64;
        const std::vector<uint8_t> interface {
            0x09, 0x04, 0x00, alt, 0x03, 0xFF, 0x00, 0x00, 0x00, 0x07, 0x05, 0x81, 0x03, 0x20, 0x00,
                interval, 0x07, 0x05, 0x02, 0x02, packet, 0x00, 0x00, 0x07, 0x05, 0x83, 0x02,
                packet, 0x00, 0x00
        };
        d.insert(d.end(), interface.begin(), interface.end());
    }
    return Hex(d.data(), d.size());
}

struct DataDeleter {
    void operator()(UMockdevIoctlData* data) const { umockdev_ioctl_data_unref(data); }
};
using Data = std::unique_ptr<UMockdevIoctlData, DataDeleter>;

}  // namespace

struct MockUsbBus::Testbed {
    UMockdevTestbed* bed = nullptr;
    MockTiming timing;
};

struct MockUsbBus::Adapter {
    std::shared_ptr<sim::SimBench> bench;
    std::unique_ptr<Ds2490Chip> chip;
    std::vector<UMockdevIoctlBase*> handlers;  // one per address it has had
    UsbAddress address;
    std::string syspath;
    std::string devnode;
    bool gone = false;
    bool kernelDriver = false;
    bool claimedElsewhere = false;
    bool claimed = false;
    std::vector<UMockdevIoctlData*> finished;
    std::vector<std::string> transcript;
    MockTiming timing;
    mutable std::mutex mutex;
};

namespace {

// Runs an URB on the chip: fills its buffer, actual length and status.
void RunUrb(MockUsbBus::Adapter& a, usbdevfs_urb& urb, uint8_t* buffer, const MockTiming& timing) {
    urb.actual_length = 0;
    urb.status = 0;
    const uint64_t busBefore = a.chip->busTimeUs();
    std::chrono::microseconds wait = timing.transfer;
    if (urb.type == kControlUrb) {
        if (urb.buffer_length < static_cast<int>(kSetupSize)) {
            urb.status = -EINVAL;
            return;
        }
        const uint8_t requestType = buffer[0];
        const uint8_t request = buffer[1];
        const auto value = static_cast<uint16_t>(buffer[2] | (buffer[3] << 8));
        const auto index = static_cast<uint16_t>(buffer[4] | (buffer[5] << 8));
        AppendLine(a.transcript,
                   "C" + std::to_string(request) + " " + Hex16(value) + " " + Hex16(index));
        if (requestType != kVendorOut || !a.chip->control(request, value, index)) {
            urb.status = -EPIPE;
        }
    } else if (urb.type == kBulkUrb && urb.endpoint == kDataOutEndpoint) {
        const auto length = static_cast<size_t>(urb.buffer_length);
        AppendLine(a.transcript, "W " + Hex(buffer, length));
        if (!a.chip->bulkOut({buffer, length})) {
            urb.status = -EPIPE;
        } else {
            urb.actual_length = urb.buffer_length;
        }
    } else if (urb.type == kBulkUrb && urb.endpoint == kDataInEndpoint) {
        const auto bytes = a.chip->bulkIn(static_cast<size_t>(urb.buffer_length));
        std::copy(bytes.begin(), bytes.end(), buffer);
        urb.actual_length = static_cast<int>(bytes.size());
        AppendLine(a.transcript, "R " + Hex(bytes.data(), bytes.size()));
    } else if (urb.type == kInterruptUrb && urb.endpoint == kStatusEndpoint) {
        const auto packet = a.chip->statusPacket();
        const size_t length = std::min(packet.size(), static_cast<size_t>(urb.buffer_length));
        std::copy(packet.begin(), packet.begin() + static_cast<long>(length), buffer);
        urb.actual_length = static_cast<int>(length);
        std::string line = "S";
        if (packet.size() > status::kResultsAt) {
            line +=
                " " + Hex(packet.data() + status::kResultsAt, packet.size() - status::kResultsAt);
        }
        // Repeated idle reads say nothing new; one line stands for a run of them.
        if (a.transcript.empty() || a.transcript.back() != line || line != "S") {
            AppendLine(a.transcript, line);
        }
        wait = timing.statusRead;
    } else {
        urb.status = -EPIPE;
    }
    if (timing.busTime) {
        wait += std::chrono::microseconds(a.chip->busTimeUs() - busBefore);
    }
    if (wait.count() > 0) {
        std::this_thread::sleep_for(wait);
    }
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    auto& a = *static_cast<MockUsbBus::Adapter*>(userData);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(a.mutex);
    auto done = [&](int result, int error) {
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    };
    if (a.gone) {
        return done(-1, ENODEV);
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Data d(umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr));
            *reinterpret_cast<guint32*>(d->data) =
                USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            return done(0, 0);
        }
        case USBDEVFS_GETDRIVER: {
            if (!a.kernelDriver) {
                return done(-1, ENODATA);
            }
            Data d(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr));
            auto* driver = reinterpret_cast<usbdevfs_getdriver*>(d->data);
            std::snprintf(driver->driver, sizeof driver->driver, "%s", "DS9490R");
            return done(0, 0);
        }
        case USBDEVFS_DISCONNECT_CLAIM:
            if (a.claimedElsewhere || a.claimed) {
                return done(-1, EBUSY);
            }
            if (a.kernelDriver) {
                a.kernelDriver = false;
                AppendLine(a.transcript, "detach");
            }
            a.claimed = true;
            AppendLine(a.transcript, "claim");
            return done(0, 0);
        case USBDEVFS_CLAIMINTERFACE:
            if (a.claimedElsewhere || a.claimed || a.kernelDriver) {
                return done(-1, EBUSY);
            }
            a.claimed = true;
            AppendLine(a.transcript, "claim");
            return done(0, 0);
        case USBDEVFS_RELEASEINTERFACE:
            a.claimed = false;
            AppendLine(a.transcript, "release");
            return done(0, 0);
        case USBDEVFS_IOCTL: {
            Data d(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr));
            const auto* command = reinterpret_cast<usbdevfs_ioctl*>(d->data);
            if (command->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
                if (a.claimed) {
                    return done(-1, EBUSY);
                }
                a.kernelDriver = true;
                AppendLine(a.transcript, "attach");
                return done(0, 0);
            }
            if (command->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                a.kernelDriver = false;
                AppendLine(a.transcript, "detach");
                return done(0, 0);
            }
            return done(-1, ENOTTY);
        }
        case USBDEVFS_SETINTERFACE: {
            Data d(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr));
            const auto* setting = reinterpret_cast<usbdevfs_setinterface*>(d->data);
            if (setting->altsetting > 3) {
                return done(-1, EINVAL);
            }
            AppendLine(a.transcript, "alt " + std::to_string(setting->altsetting));
            return done(0, 0);
        }
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESET:
        case USBDEVFS_RESETEP:
        case USBDEVFS_SETCONFIGURATION:
            return done(0, 0);
        case USBDEVFS_SUBMITURB: {
            UMockdevIoctlData* urbData =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
            auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
            Data buffer(umockdev_ioctl_data_resolve(urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                                    static_cast<gsize>(urb->buffer_length),
                                                    nullptr));
            RunUrb(a, *urb, reinterpret_cast<uint8_t*>(buffer->data), a.timing);
            a.finished.push_back(urbData);
            return done(0, 0);
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (a.finished.empty()) {
                return done(-1, EAGAIN);
            }
            Data urbData(a.finished.front());
            a.finished.erase(a.finished.begin());
            Data pointer(umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr));
            umockdev_ioctl_data_set_ptr(pointer.get(), 0, urbData.get());
            return done(0, 0);
        }
        case USBDEVFS_DISCARDURB:
            return done(-1, EINVAL);
        default:
            return FALSE;
    }
}

}  // namespace

MockUsbBus::MockUsbBus() : testbed_(std::make_unique<Testbed>()) {
    testbed_->bed = umockdev_testbed_new();
}

MockUsbBus::~MockUsbBus() {
    for (auto& adapter : adapters_) {
        std::lock_guard lock(adapter->mutex);
        for (auto* urb : adapter->finished) {
            umockdev_ioctl_data_unref(urb);
        }
        adapter->finished.clear();
    }
    for (auto& adapter : adapters_) {
        for (auto* handler : adapter->handlers) {
            g_object_unref(handler);
        }
    }
    g_object_unref(testbed_->bed);
}

void MockUsbBus::attach(Adapter& a) {
    a.address = UsbAddress{1, nextDevice_++};
    a.devnode = a.address.node();
    const std::string bus = "001";
    std::array<char, 8> device{};
    std::snprintf(device.data(), device.size(), "%03u", unsigned{a.address.device});
    a.syspath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(a.address.device);

    // The handler goes first: libusb may open the node as soon as the device appears.
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    g_signal_connect_after(handler, "handle-ioctl", G_CALLBACK(HandleIoctl), &a);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_->bed, a.devnode.c_str(), handler, &error)) {
        const std::string message = error != nullptr ? error->message : "attach failed";
        g_clear_error(&error);
        g_object_unref(handler);
        throw std::runtime_error("umockdev: " + message);
    }
    a.handlers.push_back(handler);

    const std::string record = "P: " + a.syspath.substr(4) +
                               "\n"
                               "N: bus/usb/" +
                               bus + "/" + device.data() +
                               "\n"
                               "E: SUBSYSTEM=usb\n"
                               "E: DEVTYPE=usb_device\n"
                               "E: DRIVER=usb\n"
                               "E: PRODUCT=4fa/2490/0\n"
                               "E: BUSNUM=" +
                               bus +
                               "\n"
                               "E: DEVNUM=" +
                               device.data() +
                               "\n"
                               "E: DEVNAME=" +
                               a.devnode +
                               "\n"
                               "A: busnum=1\\n\n"
                               "A: devnum=" +
                               std::to_string(a.address.device) +
                               "\\n\n"
                               "A: bConfigurationValue=1\\n\n"
                               "A: speed=12\\n\n"
                               "A: idVendor=04fa\\n\n"
                               "A: idProduct=2490\\n\n"
                               "H: descriptors=" +
                               Descriptors() + "\n";
    if (!umockdev_testbed_add_from_string(testbed_->bed, record.c_str(), &error)) {
        const std::string message = error != nullptr ? error->message : "add failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + message);
    }
}

size_t MockUsbBus::plug(std::shared_ptr<sim::SimBench> bench) {
    auto adapter = std::make_unique<Adapter>();
    adapter->bench = std::move(bench);
    adapter->chip = std::make_unique<Ds2490Chip>(*adapter->bench);
    adapter->timing = testbed_->timing;
    attach(*adapter);
    adapters_.push_back(std::move(adapter));
    return adapters_.size() - 1;
}

void MockUsbBus::unplug(size_t index) {
    Adapter& a = *adapters_.at(index);
    {
        std::lock_guard lock(a.mutex);
        a.gone = true;
        a.claimed = false;
        a.chip->powerUp();
    }
    umockdev_testbed_uevent(testbed_->bed, a.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_->bed, a.syspath.c_str());
}

void MockUsbBus::replug(size_t index) {
    Adapter& a = *adapters_.at(index);
    {
        std::lock_guard lock(a.mutex);
        a.chip->powerUp();
        a.gone = false;
        a.claimed = false;
    }
    attach(a);
}

UsbAddress MockUsbBus::address(size_t index) const {
    return adapters_.at(index)->address;
}

void MockUsbBus::setKernelDriverBound(size_t index, bool bound) {
    Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    a.kernelDriver = bound;
}

bool MockUsbBus::kernelDriverBound(size_t index) const {
    const Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    return a.kernelDriver;
}

void MockUsbBus::setClaimedElsewhere(size_t index, bool claimed) {
    Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    a.claimedElsewhere = claimed;
}

bool MockUsbBus::claimed(size_t index) const {
    const Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    return a.claimed;
}

void MockUsbBus::withBench(size_t index, const std::function<void(sim::SimBench&)>& look) {
    Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    look(*a.bench);
}

void MockUsbBus::withChip(size_t index, const std::function<void(Ds2490Chip&)>& look) {
    Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    look(*a.chip);
}

std::vector<std::string> MockUsbBus::transcript(size_t index) const {
    const Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    return a.transcript;
}

void MockUsbBus::clearTranscript(size_t index) {
    Adapter& a = *adapters_.at(index);
    std::lock_guard lock(a.mutex);
    a.transcript.clear();
}

void MockUsbBus::setTiming(MockTiming timing) {
    testbed_->timing = timing;
    for (auto& adapter : adapters_) {
        std::lock_guard lock(adapter->mutex);
        adapter->timing = timing;
    }
}

std::string MockUsbBus::rootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(testbed_->bed);
    std::string text = root;
    g_free(root);
    return text;
}

std::string MockUsbBus::nodeFile(size_t index) const {
    return rootDir() + adapters_.at(index)->devnode;
}

}  // namespace velgrin::ds2490
