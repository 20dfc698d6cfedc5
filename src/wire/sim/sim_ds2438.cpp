#include "wire/sim/sim_ds2438.h"

#include <algorithm>

#include "common/crc.h"
#include "common/rounding.h"

namespace velgrin::sim {

namespace {

void PutLittleEndian(Ds2438Device::Page& page, size_t at, int16_t value) {
    page[at] = static_cast<uint8_t>(value & 0xFF);
    page[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// 13-bit reading, 0.03125 °C per count, in the upper bits of a 16-bit register.
int16_t TemperatureRegister(double celsius) {
    const auto counts = std::clamp<int64_t>(RoundHalfEven(celsius * 32), -55 * 32, 125 * 32);
    return static_cast<int16_t>(counts * 8);
}

// 10 bits, 10 mV per count.
int16_t VoltageRegister(double volts) {
    return static_cast<int16_t>(std::clamp<int64_t>(RoundHalfEven(volts * 100), 0, 1023));
}

// Sign and 10 bits, 0.2441 mV (1/4096 V) per count.
int16_t CurrentRegister(double volts) {
    return static_cast<int16_t>(std::clamp<int64_t>(RoundHalfEven(volts * 4096), -1024, 1023));
}

}  // namespace

Ds2438Device::Ds2438Device(RomCode rom) : SimDevice(rom) {
    using namespace ds2438_status;
    memory_[0][0] = kIad | kCa | kEe | kAd;
    memory_[1][7] = 0xFF;  // reserved
    for (size_t p = kFirstConfigPage; p < kPages; ++p) {
        memory_[p].fill(0xFF);  // erased EEPROM
    }
    scratch_ = memory_;
}

Ds2438Device::Page Ds2438Device::page(int index) const {
    return memory_.at(static_cast<size_t>(index));
}

void Ds2438Device::setPage(int index, const Page& bytes) {
    auto& page = memory_.at(static_cast<size_t>(index));
    page = bytes;
    if (index == 0) {
        page[0] &= ds2438_status::kConfigBits;
    }
}

Ds2438Device::ConfigBlock Ds2438Device::configBlock() const {
    ConfigBlock block{};
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = memory_[kFirstConfigPage + i / 8][i % 8];
    }
    return block;
}

void Ds2438Device::setConfigBlock(const ConfigBlock& block) {
    for (size_t i = 0; i < block.size(); ++i) {
        memory_[kFirstConfigPage + i / 8][i % 8] = block[i];
    }
}

bool Ds2438Device::temperatureBusy(uint64_t nowUs) const {
    return temperaturePending_ && (stuck_ || nowUs < temperatureDoneUs_);
}

bool Ds2438Device::voltageBusy(uint64_t nowUs) const {
    return voltagePending_ && (stuck_ || nowUs < voltageDoneUs_);
}

uint8_t Ds2438Device::statusByte(uint64_t nowUs) const {
    using namespace ds2438_status;
    uint8_t status = memory_[0][0] & kConfigBits;
    if (temperatureBusy(nowUs)) {
        status |= kTb;
    }
    if (eepromBusy(nowUs)) {
        status |= kNvb;
    }
    if (voltageBusy(nowUs)) {
        status |= kAdb;
    }
    return status;
}

void Ds2438Device::settle(uint64_t nowUs) {
    if (temperaturePending_ && !temperatureBusy(nowUs)) {
        temperaturePending_ = false;
        PutLittleEndian(memory_[0], 1, TemperatureRegister(temperature_.at(temperatureDoneUs_)));
    }
    if (voltagePending_ && !voltageBusy(nowUs)) {
        voltagePending_ = false;
        const auto& input = voltageOfVdd_ ? vdd_ : vad_;
        PutLittleEndian(memory_[0], 3, VoltageRegister(input.at(voltageDoneUs_)));
    }
}

void Ds2438Device::onSelected(uint64_t nowUs) {
    settle(nowUs);
    step_ = Step::Command;
}

void Ds2438Device::onReset(uint64_t nowUs) {
    settle(nowUs);
    step_ = Step::Command;
}

void Ds2438Device::onFunctionByte(uint8_t byte, uint64_t nowUs) {
    using namespace ds2438_command;
    switch (step_) {
        case Step::PageNumber:
            pageCommand(byte, nowUs);
            return;
        case Step::Writing:
            // Each complete byte lands in the scratchpad; a ninth has nowhere to go.
            scratch_[page_][writeIndex_] = byte;
            if (++writeIndex_ == scratch_[page_].size()) {
                goIdle();
            }
            return;
        case Step::Command:
            break;
    }
    settle(nowUs);
    switch (byte) {
        case kConvertT:
            temperaturePending_ = true;
            temperatureDoneUs_ = nowUs + kDs2438ConversionUs;
            setReadSlotSource([this](uint64_t now) { return !temperatureBusy(now); });
            break;
        case kConvertV:
            voltagePending_ = true;
            voltageOfVdd_ = (memory_[0][0] & ds2438_status::kAd) != 0;
            voltageDoneUs_ = nowUs + kDs2438ConversionUs;
            setReadSlotSource([this](uint64_t now) { return !voltageBusy(now); });
            break;
        case kRecallMemory:
        case kReadScratchpad:
        case kWriteScratchpad:
        case kCopyScratchpad:
            command_ = byte;
            step_ = Step::PageNumber;
            break;
        default:
            goIdle();
            break;
    }
}

void Ds2438Device::pageCommand(uint8_t page, uint64_t nowUs) {
    using namespace ds2438_command;
    if (page >= kPages) {
        goIdle();
        return;
    }
    page_ = page;
    switch (command_) {
        case kRecallMemory:
            recall(page_, nowUs);
            goIdle();
            break;
        case kReadScratchpad: {
            const auto& bytes = scratch_[page_];
            send(bytes);
            send(Crc8(bytes));
            break;
        }
        case kWriteScratchpad:
            step_ = Step::Writing;
            writeIndex_ = 0;
            break;
        case kCopyScratchpad:
            copy(page_, nowUs);
            setReadSlotSource([this](uint64_t now) { return !eepromBusy(now); });
            break;
        default:
            goIdle();
            break;
    }
}

void Ds2438Device::recall(size_t page, uint64_t nowUs) {
    settle(nowUs);
    if (page == 0) {
        if (memory_[0][0] & ds2438_status::kIad) {
            PutLittleEndian(memory_[0], 5, CurrentRegister(current_.at(nowUs)));
        }
        scratch_[0] = memory_[0];
        scratch_[0][0] = statusByte(nowUs);
        return;
    }
    scratch_[page] = memory_[page];
}

void Ds2438Device::copy(size_t page, uint64_t nowUs) {
    const auto& from = scratch_[page];
    auto& to = memory_[page];
    switch (page) {
        case 0:
            // The registers are the chip's own; only the configuration bits and the threshold
            // are taken.
            to[0] = from[0] & ds2438_status::kConfigBits;
            to[7] = from[7];
            break;
        case 1:
            std::copy(from.begin(), from.begin() + 7, to.begin());
            break;
        default:
            to = from;
            break;
    }
    if (page != 2) {
        eepromDoneUs_ = nowUs + kDs2438EepromWriteUs;
    }
}

}  // namespace velgrin::sim
