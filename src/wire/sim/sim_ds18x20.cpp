#include "wire/sim/sim_ds18x20.h"

#include <algorithm>

#include "common/crc.h"

namespace velgrin::sim {

Ds18x20Device::Ds18x20Device(RomCode rom, size_t userBytes)
    : SimDevice(rom), userBytes_(userBytes) {}

Ds18x20Device::Scratchpad Ds18x20Device::scratchpad() const {
    Scratchpad bytes{};
    std::copy(pad_.begin(), pad_.end(), bytes.begin());
    bytes[8] = Crc8(pad_);
    return bytes;
}

void Ds18x20Device::setAlarmThresholds(int8_t th, int8_t tl) {
    eeprom_[0] = pad_[2] = static_cast<uint8_t>(th);
    eeprom_[1] = pad_[3] = static_cast<uint8_t>(tl);
}

void Ds18x20Device::powerCycle() {
    loadPowerOnRegister();
    for (size_t i = 0; i < userBytes_; ++i) {
        pad_[2 + i] = eeprom_[i];
    }
    work_ = Work::None;
    alarm_ = false;
    writeIndex_ = -1;
}

bool Ds18x20Device::alarmFlag(uint64_t) const {
    return alarm_;
}

void Ds18x20Device::onSelected(uint64_t nowUs) {
    settle(nowUs);
    writeIndex_ = -1;
}

void Ds18x20Device::onReset(uint64_t nowUs) {
    settle(nowUs);
    writeIndex_ = -1;
}

void Ds18x20Device::onFunctionByte(uint8_t byte, uint64_t nowUs) {
    using namespace ds18x20_command;
    if (writeIndex_ >= 0) {
        // Each complete byte is kept; a reset before the last one leaves the rest as it was.
        const auto index = static_cast<size_t>(writeIndex_);
        pad_[2 + index] = keepUserByte(index, byte);
        if (++writeIndex_ == static_cast<int>(userBytes_)) {
            writeIndex_ = -1;
            goIdle();
        }
        return;
    }
    switch (byte) {
        case kConvertT:
            start(Work::Converting, nowUs);
            break;
        case kCopyScratchpad:
            start(Work::Copying, nowUs);
            break;
        case kWriteScratchpad:
            writeIndex_ = 0;
            break;
        case kReadScratchpad: {
            const auto bytes = scratchpad();
            send(bytes);
            break;
        }
        case kRecallE2:
            for (size_t i = 0; i < userBytes_; ++i) {
                pad_[2 + i] = eeprom_[i];
            }
            setReadSlotSource([](uint64_t) { return true; });
            break;
        case kReadPowerSupply:
            setReadSlotSource([this](uint64_t) { return !parasite_; });
            break;
        default:
            goIdle();
            break;
    }
}

void Ds18x20Device::start(Work work, uint64_t nowUs) {
    work_ = work;
    workStartUs_ = nowUs;
    workUs_ = work == Work::Converting ? conversionUs() : kDs18x20CopyUs;
    slotsAtStart_ = slotCount();
    pulledUp_ = false;
    if (parasite_) {
        goIdle();  // nothing to say on the line; it only needs the pull-up
    } else {
        setReadSlotSource([this](uint64_t now) { return !busy(now); });
    }
}

bool Ds18x20Device::busy(uint64_t nowUs) const {
    if (work_ == Work::None) {
        return false;
    }
    return (work_ == Work::Converting && stuck_) || nowUs < workStartUs_ + workUs_;
}

void Ds18x20Device::onStrongPullup(bool on, uint64_t nowUs) {
    if (!parasite_ || work_ == Work::None) {
        return;
    }
    if (on) {
        // Too late once the master has used the line after the command: the part has browned out.
        pulledUp_ = slotCount() == slotsAtStart_;
        return;
    }
    const bool powered = pulledUp_;
    if (powered && !busy(nowUs)) {
        finish(workStartUs_ + workUs_);
    } else {
        work_ = Work::None;
    }
}

void Ds18x20Device::settle(uint64_t nowUs) {
    if (work_ == Work::None) {
        return;
    }
    if (parasite_) {
        // The pull-up went off (or never came) before the work was done: it produced nothing.
        if (!pulledUp_ || slotCount() != slotsAtStart_) {
            work_ = Work::None;
        }
        return;
    }
    if (!busy(nowUs)) {
        finish(workStartUs_ + workUs_);
    }
}

void Ds18x20Device::finish(uint64_t doneUs) {
    if (work_ == Work::Converting) {
        storeReading(temperature_.at(doneUs));
        const int degrees = alarmDegrees();
        alarm_ = degrees >= static_cast<int8_t>(pad_[2]) || degrees <= static_cast<int8_t>(pad_[3]);
    } else if (work_ == Work::Copying) {
        for (size_t i = 0; i < userBytes_; ++i) {
            eeprom_[i] = pad_[2 + i];
        }
    }
    work_ = Work::None;
}

}  // namespace velgrin::sim
