#include "wire/net_serial/telnet_reader.h"

#include "wire/net_serial/telnet_codes.h"

namespace velgrin::net_serial {

using namespace telnet;

void TelnetReader::endSubnegotiation(size_t dataBefore, std::vector<TelnetEvent>& events) {
    if (subOption_ == kComPort && !subOverlong_ && !sub_.empty()) {
        events.push_back({TelnetEvent::Kind::ComPort, sub_.front(), kComPort,
                          std::vector<uint8_t>(sub_.begin() + 1, sub_.end()), dataBefore});
    }
    sub_.clear();
    subOverlong_ = false;
}

void TelnetReader::feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& data,
                        std::vector<TelnetEvent>& events) {
    for (const uint8_t b : bytes) {
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Command;
                } else {
                    data.push_back(b);
                }
                break;
            case State::Command:
                if (b == kIac) {
                    data.push_back(b);
                    state_ = State::Data;
                } else if (b >= kWill) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    state_ = State::SubOption;
                } else {
                    // NOP, GA, a stray SE and the like carry nothing the adapters need.
                    state_ = State::Data;
                }
                break;
            case State::Verb:
                events.push_back({TelnetEvent::Kind::Option, verb_, b, {}, data.size()});
                state_ = State::Data;
                break;
            case State::SubOption:
                subOption_ = b;
                state_ = State::Sub;
                break;
            case State::Sub:
                if (b == kIac) {
                    state_ = State::SubIac;
                } else if (sub_.size() < kMaxSubnegotiation) {
                    sub_.push_back(b);
                } else {
                    subOverlong_ = true;
                }
                break;
            case State::SubIac:
                if (b == kSe) {
                    endSubnegotiation(data.size(), events);
                    state_ = State::Data;
                } else if (b == kIac) {
                    if (sub_.size() < kMaxSubnegotiation) {
                        sub_.push_back(b);
                    } else {
                        subOverlong_ = true;
                    }
                    state_ = State::Sub;
                } else {
                    // A command inside a subnegotiation ends it unfinished (RFC 855 leaves
                    // this to the reader): drop what was gathered and read the command.
                    sub_.clear();
                    subOverlong_ = false;
                    state_ = State::Command;
                    const uint8_t again[] = {b};
                    feed(again, data, events);
                }
                break;
        }
    }
}

}  // namespace velgrin::net_serial
