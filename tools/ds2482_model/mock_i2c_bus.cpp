#include "ds2482_model/mock_i2c_bus.h"

#include <errno.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <umockdev.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "model_support/transcript_line.h"

namespace velgrin::ds2482 {

namespace {

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    std::array<char, 4> two{};
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(two.data(), two.size(), "%02X", bytes[i]);
        text += two.data();
    }
    return text;
}

struct DataDeleter {
    void operator()(UMockdevIoctlData* data) const { umockdev_ioctl_data_unref(data); }
};
using Data = std::unique_ptr<UMockdevIoctlData, DataDeleter>;

// Bits on the wire: a START and the address byte with its acknowledge bit open a transfer (a
// repeated START and address each further part), every data byte takes 9, a STOP ends it.
constexpr uint64_t kAddressBits = 1 + 9;
constexpr uint64_t kByteBits = 9;
constexpr uint64_t kStopBits = 1;

}  // namespace

struct Chip {
    std::unique_ptr<Ds2482Chip> model;
    sim::SimBench* bench = nullptr;  // the plugged bench, whichever channel is selected now
    bool answering = true;
    bool kernelDriver = false;
    std::vector<std::string> transcript;
};

struct MockI2cBus::State {
    int busNumber = 1;
    UMockdevTestbed* bed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::string devnode;
    std::map<uint8_t, Chip> chips;
    std::map<UMockdevIoctlClient*, uint8_t> addressOf;  // per open node, from I2C_SLAVE
    I2cTiming timing;
    uint64_t timelineNs = 0;  // the I2C bus's own time while timed
    std::chrono::steady_clock::time_point realStart;
    mutable std::mutex mutex;

    Chip* chipFor(UMockdevIoctlClient* client) {
        const auto address = addressOf.find(client);
        if (address == addressOf.end()) {
            return nullptr;
        }
        const auto chip = chips.find(address->second);
        return chip == chips.end() ? nullptr : &chip->second;
    }
    Chip* chipAt(uint16_t address) {
        const auto chip = chips.find(static_cast<uint8_t>(address));
        return chip == chips.end() || address > 0x7F ? nullptr : &chip->second;
    }
    // The bus time of `bits`; in real time the mock keeps pace with it.
    void spend(uint64_t bits) {
        if (timing.clockHz == 0) {
            return;
        }
        timelineNs += bits * 1'000'000'000 / timing.clockHz;
        if (timing.realTime) {
            std::this_thread::sleep_until(realStart + std::chrono::nanoseconds(timelineNs));
        }
    }
    // One part of a transfer after its (repeated) START, with its bus time: a write, false when
    // not acknowledged; 1-Wire activity starts with the parameter byte, or after the command
    // code's acknowledge bit when there is none.
    bool write(Chip* chip, const uint8_t* bytes, size_t count, std::string& line) {
        line = "W " + Hex(bytes, count);
        spend(kAddressBits + std::min<uint64_t>(count, 1) * kByteBits);
        const bool acknowledged =
            chip != nullptr && chip->answering && chip->model->write({bytes, count});
        spend((count > 0 ? count - 1 : 0) * kByteBits);
        if (!acknowledged) {
            line += " nack";
        }
        return acknowledged;
    }
    // A read: the chip gives a register's value as each byte starts.
    bool read(Chip* chip, uint8_t* bytes, size_t count, std::string& line) {
        spend(kAddressBits);
        if (chip == nullptr || !chip->answering) {
            line += "R nack";
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            bytes[i] = chip->model->read();
            spend(kByteBits);
        }
        line += "R " + Hex(bytes, count);
        return true;
    }
};

namespace {

using State = MockI2cBus::State;

gboolean Complete(UMockdevIoctlClient* client, int result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
    return TRUE;
}

// An SMBus transaction, as an adapter with only plain I2C (I2C_FUNC_SMBUS_EMUL) carries it: one
// transfer of a write, or of a write and a read joined by a repeated START. Transactions that
// a DS2482 has no use for are refused as the kernel refuses what it cannot emulate.
gboolean Smbus(State& s, UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Data header(umockdev_ioctl_data_resolve(arg, 0, sizeof(i2c_smbus_ioctl_data), nullptr));
    const auto* call = reinterpret_cast<const i2c_smbus_ioctl_data*>(header->data);
    const bool reading = call->read_write == I2C_SMBUS_READ;
    size_t dataBytes = 0;  // of the union, beyond the command byte
    switch (call->size) {
        case I2C_SMBUS_QUICK:
        case I2C_SMBUS_BYTE:
            break;
        case I2C_SMBUS_BYTE_DATA:
            dataBytes = 1;
            break;
        case I2C_SMBUS_WORD_DATA:
            dataBytes = 2;
            break;
        default:
            return Complete(client, -1, EOPNOTSUPP);
    }
    // The kernel reads the data only where the transaction has some.
    Data data;
    if (reading ? call->size != I2C_SMBUS_QUICK : dataBytes > 0) {
        data.reset(umockdev_ioctl_data_resolve(header.get(),
                                               G_STRUCT_OFFSET(i2c_smbus_ioctl_data, data),
                                               sizeof(i2c_smbus_data), nullptr));
        if (!data) {
            return Complete(client, -1, EFAULT);
        }
    }
    auto* bytes = data ? reinterpret_cast<uint8_t*>(data->data) : nullptr;
    Chip* chip = s.chipFor(client);
    std::string line;
    bool acknowledged = true;
    if (call->size == I2C_SMBUS_QUICK) {
        acknowledged = reading ? s.read(chip, nullptr, 0, line) : s.write(chip, nullptr, 0, line);
    } else if (call->size == I2C_SMBUS_BYTE && reading) {
        acknowledged = s.read(chip, bytes, 1, line);
    } else {
        std::vector<uint8_t> sent{call->command};
        if (!reading) {
            sent.insert(sent.end(), bytes, bytes + dataBytes);
        }
        acknowledged = s.write(chip, sent.data(), sent.size(), line);
        if (acknowledged && reading) {
            std::string part;
            acknowledged = s.read(chip, bytes, dataBytes, part);
            line += " " + part;
        }
    }
    s.spend(kStopBits);
    if (chip != nullptr) {
        AppendLine(chip->transcript, line);
    }
    return Complete(client, acknowledged ? 0 : -1, acknowledged ? 0 : ENXIO);
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    auto& s = *static_cast<State*>(userData);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(s.mutex);
    switch (request) {
        case I2C_SLAVE:
        case I2C_SLAVE_FORCE: {
            unsigned long value = 0;
            std::memcpy(&value, arg->data,
                        std::min(sizeof value, static_cast<size_t>(arg->data_len)));
            if (value > 0x7F) {
                return Complete(client, -1, EINVAL);
            }
            Chip* chip = s.chipAt(static_cast<uint16_t>(value));
            if (request == I2C_SLAVE && chip != nullptr && chip->kernelDriver) {
                return Complete(client, -1, EBUSY);
            }
            s.addressOf[client] = static_cast<uint8_t>(value);
            return Complete(client, 0, 0);
        }
        case I2C_FUNCS: {
            Data functions(umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned long), nullptr));
            const unsigned long value = I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL;
            std::memcpy(functions->data, &value, sizeof value);
            return Complete(client, 0, 0);
        }
        case I2C_RDWR: {
            Data transfer(
                umockdev_ioctl_data_resolve(arg, 0, sizeof(i2c_rdwr_ioctl_data), nullptr));
            const auto* header = reinterpret_cast<const i2c_rdwr_ioctl_data*>(transfer->data);
            const __u32 count = header->nmsgs;
            if (count == 0 || count > I2C_RDWR_IOCTL_MAX_MSGS) {
                return Complete(client, -1, EINVAL);
            }
            Data messages(umockdev_ioctl_data_resolve(transfer.get(),
                                                      G_STRUCT_OFFSET(i2c_rdwr_ioctl_data, msgs),
                                                      count * sizeof(i2c_msg), nullptr));
            auto* msgs = reinterpret_cast<i2c_msg*>(messages->data);
            std::vector<Data> buffers;
            Chip* target = nullptr;
            std::string line;
            bool acknowledged = true;
            for (__u32 i = 0; i < count && acknowledged; ++i) {
                Data buffer(umockdev_ioctl_data_resolve(
                    messages.get(), i * sizeof(i2c_msg) + G_STRUCT_OFFSET(i2c_msg, buf),
                    msgs[i].len, nullptr));
                Chip* chip = s.chipAt(msgs[i].addr);
                target = chip;
                auto* data = reinterpret_cast<uint8_t*>(buffer->data);
                std::string part;
                acknowledged = (msgs[i].flags & I2C_M_RD) != 0
                                   ? s.read(chip, data, msgs[i].len, part)
                                   : s.write(chip, data, msgs[i].len, part);
                line += (line.empty() ? "" : " ") + part;
                buffers.push_back(std::move(buffer));
            }
            s.spend(kStopBits);
            if (target != nullptr) {
                AppendLine(target->transcript, line);
            }
            if (!acknowledged) {
                return Complete(client, -1, ENXIO);
            }
            return Complete(client, static_cast<int>(count), 0);
        }
        case I2C_SMBUS:
            return Smbus(s, client, arg);
        default:
            return Complete(client, -1, ENOTTY);
    }
}

// A plain read() or write() on the node: one transfer to the address I2C_SLAVE chose.
template <typename Transfer>
gboolean HandlePlainTransfer(UMockdevIoctlClient* client, gpointer userData, Transfer transfer) {
    auto& s = *static_cast<State*>(userData);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(s.mutex);
    Chip* chip = s.chipFor(client);
    std::string line;
    const auto count = static_cast<size_t>(arg->data_len);
    const bool acknowledged = transfer(s, chip, arg->data, count, line);
    s.spend(kStopBits);
    if (chip != nullptr) {
        AppendLine(chip->transcript, line);
    }
    return Complete(client, acknowledged ? static_cast<int>(count) : -1, acknowledged ? 0 : ENXIO);
}

gboolean HandleRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    return HandlePlainTransfer(client, userData,
                               [](State& s, Chip* chip, uint8_t* bytes, size_t count,
                                  std::string& line) { return s.read(chip, bytes, count, line); });
}

gboolean HandleWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    return HandlePlainTransfer(client, userData,
                               [](State& s, Chip* chip, uint8_t* bytes, size_t count,
                                  std::string& line) { return s.write(chip, bytes, count, line); });
}

void ClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    auto& s = *static_cast<State*>(userData);
    std::lock_guard lock(s.mutex);
    s.addressOf.erase(client);
}

}  // namespace

MockI2cBus::MockI2cBus(int busNumber) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.busNumber = busNumber;
    s.bed = umockdev_testbed_new();
    s.devnode = "/dev/i2c-" + std::to_string(busNumber);
    // The handler goes first: a program may open the node as soon as it appears.
    s.handler = umockdev_ioctl_base_new();
    g_signal_connect(s.handler, "handle-ioctl", G_CALLBACK(HandleIoctl), &s);
    g_signal_connect(s.handler, "handle-read", G_CALLBACK(HandleRead), &s);
    g_signal_connect(s.handler, "handle-write", G_CALLBACK(HandleWrite), &s);
    g_signal_connect(s.handler, "client-vanished", G_CALLBACK(ClientVanished), &s);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(s.bed, s.devnode.c_str(), s.handler, &error)) {
        const std::string message = error != nullptr ? error->message : "attach failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + message);
    }
    const std::string bus = "i2c-" + std::to_string(busNumber);
    const std::string record = "P: /devices/platform/soc/fe804000.i2c/" + bus + "/i2c-dev/" + bus +
                               "\nN: " + bus + "\nE: SUBSYSTEM=i2c-dev\nE: DEVNAME=" + s.devnode +
                               "\nA: dev=89:" + std::to_string(busNumber) +
                               "\\n\nA: name=bcm2835 (i2c@7e804000)\\n\n";
    if (!umockdev_testbed_add_from_string(s.bed, record.c_str(), &error)) {
        const std::string message = error != nullptr ? error->message : "add failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev: " + message);
    }
}

MockI2cBus::~MockI2cBus() {
    g_object_unref(state_->bed);
    g_object_unref(state_->handler);
}

std::string MockI2cBus::device() const {
    return state_->devnode;
}

void MockI2cBus::plug(uint8_t address, Variant variant, std::shared_ptr<sim::SimBench> bench,
                      int channel) {
    std::array<std::shared_ptr<sim::SimBench>, 8> channels{};
    sim::SimBench* plugged = bench.get();
    channels.at(static_cast<size_t>(channel)) = std::move(bench);
    std::lock_guard lock(state_->mutex);
    Chip& chip = state_->chips[address];
    chip.bench = plugged;
    chip.model = std::make_unique<Ds2482Chip>(variant, std::move(channels));
    if (state_->timing.clockHz > 0) {
        chip.model->setTimed([s = state_.get()] { return s->timelineNs / 1000; });
    }
}

void MockI2cBus::setAnswering(uint8_t address, bool answering) {
    std::lock_guard lock(state_->mutex);
    Chip& chip = state_->chips.at(address);
    if (answering && !chip.answering) {
        chip.model->powerUp();
    }
    chip.answering = answering;
}

void MockI2cBus::setKernelDriverBound(uint8_t address, bool bound) {
    std::lock_guard lock(state_->mutex);
    state_->chips.at(address).kernelDriver = bound;
}

void MockI2cBus::withChip(uint8_t address, const std::function<void(Ds2482Chip&)>& look) {
    std::lock_guard lock(state_->mutex);
    look(*state_->chips.at(address).model);
}

void MockI2cBus::withBench(uint8_t address, const std::function<void(sim::SimBench&)>& look) {
    std::lock_guard lock(state_->mutex);
    sim::SimBench* bench = state_->chips.at(address).bench;
    if (bench == nullptr) {
        throw std::logic_error("no bench plugged behind the chip");
    }
    look(*bench);
}

std::vector<std::string> MockI2cBus::transcript(uint8_t address) const {
    std::lock_guard lock(state_->mutex);
    return state_->chips.at(address).transcript;
}

void MockI2cBus::clearTranscript(uint8_t address) {
    std::lock_guard lock(state_->mutex);
    state_->chips.at(address).transcript.clear();
}

void MockI2cBus::setTiming(I2cTiming timing) {
    std::lock_guard lock(state_->mutex);
    state_->timing = timing;
    state_->timelineNs = 0;
    state_->realStart = std::chrono::steady_clock::now();
    for (auto& [address, chip] : state_->chips) {
        chip.model->setTimed(timing.clockHz > 0 ? std::function<uint64_t()>([s = state_.get()] {
            return s->timelineNs / 1000;
        })
                                                : nullptr);
    }
}

uint64_t MockI2cBus::timelineUs() const {
    std::lock_guard lock(state_->mutex);
    return state_->timelineNs / 1000;
}

std::string MockI2cBus::rootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(state_->bed);
    std::string text = root;
    g_free(root);
    return text;
}

std::string MockI2cBus::nodeFile() const {
    return rootDir() + state_->devnode;
}

}  // namespace velgrin::ds2482
