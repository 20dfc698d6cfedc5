#include "wire/ds2480b/frame.h"

#include "wire/ds2480b/ds2480b_codes.h"

namespace velgrin::ds2480b {

void Frame::append(uint8_t byte, bool answered) {
    bytes_.push_back(byte);
    answered_.push_back(answered);
    if (answered) {
        ++replies_;
    }
}

void Frame::command(uint8_t code, bool answered) {
    if (mode_ == Mode::Data) {
        append(kSwitchToCommandMode, false);
        mode_ = Mode::Command;
    }
    append(code, answered);
}

void Frame::data(uint8_t byte) {
    if (mode_ == Mode::Command) {
        append(kSwitchToDataMode, false);
        mode_ = Mode::Data;
    }
    // In data mode 0xE3 announces a command; sent twice it stands for itself.
    if (byte == kSwitchToCommandMode) {
        append(byte, false);
    }
    append(byte, true);
}

}  // namespace velgrin::ds2480b
