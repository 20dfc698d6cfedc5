#include "wire/sim/sim_ds1922.h"

#include <algorithm>

#include "common/crc.h"

namespace velgrin::sim {

namespace {

constexpr uint16_t kPageSize = 32;
constexpr uint16_t kReservedStart = 0x0240;

}  // namespace

Ds1922Device::Ds1922Device(RomCode rom, uint8_t configByte)
    : SimDevice(rom), memory_(ds1922_address::kEnd, 0x00) {
    std::fill(memory_.begin() + kReservedStart, memory_.begin() + ds1922_address::kLogStart, 0xFF);
    setConfigByte(configByte);
}

std::string Ds1922Device::model() const {
    const Ds1922Subtype* part = FindDs1922Subtype(configByte());
    return part == nullptr ? "DS1922" : std::string(part->part);
}

void Ds1922Device::setMemory(uint16_t address, std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        memory_.at(address + i) = bytes[i];
    }
}

void Ds1922Device::setPasswords(const std::array<uint8_t, 8>& readPassword,
                                const std::array<uint8_t, 8>& fullPassword, bool enabled) {
    setMemory(ds1922_address::kReadPassword, readPassword);
    setMemory(ds1922_address::kFullPassword, fullPassword);
    memory_[ds1922_address::kPasswordControl] = enabled ? kDs1922PasswordsEnabled : 0x00;
}

void Ds1922Device::onSelected(uint64_t) {
    step_ = Step::Command;
}

void Ds1922Device::onFunctionByte(uint8_t byte, uint64_t) {
    switch (step_) {
        case Step::Command:
            if (byte != ds1922_command::kReadMemoryWithCrc) {
                goIdle();
                return;
            }
            header_[0] = byte;
            headerBytes_ = 1;
            step_ = Step::Address;
            return;
        case Step::Address:
            header_[headerBytes_++] = byte;
            if (headerBytes_ == header_.size()) {
                passwordBytes_ = 0;
                step_ = Step::Password;
            }
            return;
        case Step::Password: {
            password_[passwordBytes_++] = byte;
            if (passwordBytes_ < password_.size()) {
                return;
            }
            const auto address = static_cast<uint16_t>(header_[1] | (header_[2] << 8));
            if (address >= ds1922_address::kEnd || !passwordAccepted()) {
                goIdle();
                return;
            }
            step_ = Step::Streaming;
            sendPage(address, header_);
            return;
        }
        case Step::Streaming:
            return;
    }
}

void Ds1922Device::onSendDrained(uint64_t) {
    if (step_ != Step::Streaming) {
        return;
    }
    if (nextPage_ >= ds1922_address::kEnd) {
        goIdle();  // past the end the line stays high
        return;
    }
    sendPage(nextPage_, {});
}

bool Ds1922Device::passwordAccepted() const {
    if (memory_[ds1922_address::kPasswordControl] != kDs1922PasswordsEnabled) {
        return true;
    }
    auto matches = [&](uint16_t at) {
        return std::equal(password_.begin(), password_.end(), memory_.begin() + at);
    };
    return matches(ds1922_address::kReadPassword) || matches(ds1922_address::kFullPassword);
}

uint8_t Ds1922Device::visible(uint16_t address) const {
    if (address >= ds1922_address::kReadPassword &&
        address < ds1922_address::kFullPassword + password_.size()) {
        return 0x00;
    }
    return memory_[address];
}

void Ds1922Device::sendPage(uint16_t from, std::span<const uint8_t> prefix) {
    const auto end = static_cast<uint16_t>((from / kPageSize + 1) * kPageSize);
    std::vector<uint8_t> covered(prefix.begin(), prefix.end());
    for (uint16_t a = from; a < end; ++a) {
        covered.push_back(visible(a));
    }
    const uint16_t crc = static_cast<uint16_t>(~Crc16(covered));
    send(std::span<const uint8_t>(covered).subspan(prefix.size()));
    send(static_cast<uint8_t>(crc & 0xFF));
    send(static_cast<uint8_t>(crc >> 8));
    nextPage_ = end;
}

}  // namespace velgrin::sim
