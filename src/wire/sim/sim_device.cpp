#include "wire/sim/sim_device.h"

#include "wire/network.h"

namespace velgrin::sim {

namespace {

bool Bit(const RomCode& rom, int index) {
    return (rom[index / 8] >> (index % 8)) & 1;
}

}  // namespace

bool SimDevice::busReset(uint64_t nowUs) {
    lastNowUs_ = nowUs;
    onReset(nowUs);
    state_ = State::RomCommand;
    inByte_ = 0;
    inBits_ = 0;
    out_.clear();
    outBit_ = 0;
    readSlotSource_ = nullptr;
    romBit_ = 0;
    searchPhase_ = 0;
    return true;
}

bool SimDevice::currentOutBit() const {
    switch (state_) {
        case State::ReadRom:
            return Bit(rom_, romBit_);
        case State::Search:
            if (searchPhase_ == 0) {
                return Bit(rom_, romBit_);
            }
            if (searchPhase_ == 1) {
                return !Bit(rom_, romBit_);
            }
            return true;
        case State::Function:
            if (!out_.empty()) {
                return (out_.front() >> outBit_) & 1;
            }
            if (readSlotSource_) {
                return readSlotSource_(lastNowUs_);
            }
            return true;
        default:
            return true;
    }
}

bool SimDevice::busDrive(bool masterBit, uint64_t nowUs) {
    lastNowUs_ = nowUs;
    bool level = true;
    const bool sending = state_ == State::ReadRom ||
                         (state_ == State::Search && searchPhase_ < 2) ||
                         (state_ == State::Function && (!out_.empty() || readSlotSource_));
    if (sending && masterBit) {
        level = currentOutBit();
        if (corruptBit && corruptBit()) {
            level = !level;
        }
    }
    lastDriven_ = level;
    return level;
}

void SimDevice::busSettle(bool line, uint64_t nowUs) {
    lastNowUs_ = nowUs;
    ++slotCount_;
    switch (state_) {
        case State::Idle:
            return;
        case State::ReadRom:
            if (++romBit_ == 64) {
                select(nowUs);
            }
            return;
        case State::Search:
            if (searchPhase_ < 2) {
                ++searchPhase_;
                return;
            }
            searchPhase_ = 0;
            if (line != Bit(rom_, romBit_)) {
                state_ = State::Idle;
                return;
            }
            if (++romBit_ == 64) {
                select(nowUs);
            }
            return;
        case State::MatchRom:
            if (line != Bit(rom_, romBit_)) {
                state_ = State::Idle;
                return;
            }
            if (++romBit_ == 64) {
                select(nowUs);
            }
            return;
        case State::RomCommand:
        case State::Function:
            if (state_ == State::Function && !out_.empty()) {
                if (++outBit_ == 8) {
                    outBit_ = 0;
                    ++sentBytes_;
                    out_.pop_front();
                    if (out_.empty()) {
                        onSendDrained(nowUs);
                    }
                }
                return;
            }
            if (state_ == State::Function && readSlotSource_) {
                return;
            }
            receiveBit(line, nowUs);
            return;
    }
}

void SimDevice::receiveBit(bool bit, uint64_t nowUs) {
    if (bit) {
        inByte_ |= static_cast<uint8_t>(1u << inBits_);
    }
    if (++inBits_ < 8) {
        return;
    }
    const uint8_t byte = inByte_;
    inByte_ = 0;
    inBits_ = 0;
    if (state_ == State::RomCommand) {
        romCommand(byte, nowUs);
    } else {
        onFunctionByte(byte, nowUs);
    }
}

void SimDevice::romCommand(uint8_t command, uint64_t nowUs) {
    romBit_ = 0;
    searchPhase_ = 0;
    switch (command) {
        case rom_command::kReadRom:
            state_ = State::ReadRom;
            break;
        case rom_command::kMatchRom:
            state_ = State::MatchRom;
            break;
        case rom_command::kSkipRom:
            resumeFlag_ = false;
            select(nowUs);
            break;
        case rom_command::kSearchRom:
            state_ = State::Search;
            break;
        case rom_command::kAlarmSearch:
            state_ = alarmFlag(nowUs) ? State::Search : State::Idle;
            break;
        case 0xA5:  // Resume
            if (resumeFlag_) {
                select(nowUs);
            } else {
                state_ = State::Idle;
            }
            break;
        default:
            state_ = State::Idle;
            break;
    }
    if (state_ == State::Idle || state_ == State::Search || state_ == State::MatchRom ||
        state_ == State::ReadRom) {
        resumeFlag_ = false;
    }
}

void SimDevice::select(uint64_t nowUs) {
    state_ = State::Function;
    resumeFlag_ = true;
    out_.clear();
    outBit_ = 0;
    sentBytes_ = 0;
    readSlotSource_ = nullptr;
    onSelected(nowUs);
}

void SimDevice::send(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
        out_.push_back(b);
    }
}

void SimDevice::send(uint8_t byte) {
    out_.push_back(byte);
}

}  // namespace velgrin::sim
