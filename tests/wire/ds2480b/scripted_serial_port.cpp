#include "scripted_serial_port.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace velgrin::ds2480b::testing {

namespace {

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    char digits[4];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += (text.empty() ? "" : " ") + std::string(digits);
    }
    return text;
}

std::vector<uint8_t> Bytes(std::istringstream& words) {
    std::vector<uint8_t> bytes;
    std::string word;
    while (words >> word) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

}  // namespace

ScriptedSerialPort::ScriptedSerialPort(std::string_view script, std::string name)
    : name_(std::move(name)) {
    std::istringstream lines{std::string(script)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) {
            continue;
        }
        Step step{Kind::Open, {}, 0, line.substr(line.find_first_not_of(' '))};
        if (first == ">") {
            step.kind = Kind::Host;
            step.bytes = Bytes(words);
        } else if (first == "<") {
            step.kind = Kind::Device;
            step.bytes = Bytes(words);
        } else if (first == "baud") {
            step.kind = Kind::Baud;
            words >> step.baud;
            if (words >> step.dataBits) {
                step.takenBits = step.dataBits;
                words >> step.takenBits;
            }
        } else if (first == "open") {
            step.kind = Kind::Open;
        } else if (first == "close") {
            step.kind = Kind::Close;
        } else if (first == "break") {
            step.kind = Kind::Break;
        } else if (first == "busy") {
            step.kind = Kind::Busy;
        } else if (first == "missing") {
            step.kind = Kind::Missing;
        } else if (first == "gone") {
            step.kind = Kind::Gone;
        } else {
            throw std::invalid_argument("script step '" + line + "'");
        }
        steps_.push_back(std::move(step));
    }
}

void ScriptedSerialPort::note(const std::string& line) {
    transcript_ += line + "\n";
}

WireError ScriptedSerialPort::diverge(const std::string& what) {
    if (divergence_.empty()) {
        const std::string expected =
            next_ < steps_.size() ? "'" + steps_[next_].text + "'" : "the end of the script";
        divergence_ = "step " + std::to_string(next_ + 1) + ": expected " + expected +
                      ", the link did '" + what + "'";
    }
    open_ = false;
    return WireError{WireErrorCode::Io, "scripted port: " + divergence_};
}

void ScriptedSerialPort::advance() {
    ++next_;
    hostAt_ = 0;
    // Replies come once everything before them has happened.
    while (at(Kind::Device)) {
        readable_.insert(readable_.end(), steps_[next_].bytes.begin(), steps_[next_].bytes.end());
        ++next_;
    }
}

WireResult<void> ScriptedSerialPort::take(Kind kind, const std::string& what) {
    note(what);
    if (!divergence_.empty() || !at(kind)) {
        return diverge(what);
    }
    advance();
    return {};
}

WireResult<void> ScriptedSerialPort::usable() {
    if (!divergence_.empty()) {
        return WireError{WireErrorCode::Io, "scripted port: " + divergence_};
    }
    if (at(Kind::Gone)) {
        note("gone");
        advance();
        open_ = false;
        readable_.clear();
        return WireError{WireErrorCode::PortGone, "serial port " + name_ + " is gone"};
    }
    if (!open_) {
        return WireError{WireErrorCode::Io, "serial port " + name_ + " is not open"};
    }
    return {};
}

WireResult<void> ScriptedSerialPort::open() {
    note("open");
    if (divergence_.empty() && at(Kind::Busy)) {
        advance();
        return WireError{WireErrorCode::PortBusy,
                         "serial port " + name_ + " is in use by another program"};
    }
    if (divergence_.empty() && at(Kind::Missing)) {
        advance();
        return WireError{WireErrorCode::PortGone, "serial port " + name_ + " is not there"};
    }
    if (!divergence_.empty() || !at(Kind::Open)) {
        return diverge("open");
    }
    advance();
    open_ = true;
    return {};
}

void ScriptedSerialPort::close() {
    if (!open_) {
        return;
    }
    readable_.clear();
    (void)take(Kind::Close, "close");
    open_ = false;
}

WireResult<int> ScriptedSerialPort::setFormat(uint32_t baud, int dataBits) {
    if (auto ok = usable(); !ok) {
        return ok.error();
    }
    const std::string what =
        "baud " + std::to_string(baud) + (dataBits == 8 ? "" : " " + std::to_string(dataBits));
    note(what);
    if (!at(Kind::Baud) || steps_[next_].baud != baud || steps_[next_].dataBits != dataBits) {
        return diverge(what);
    }
    const int taken = steps_[next_].takenBits;
    advance();
    return taken;
}

WireResult<void> ScriptedSerialPort::sendBreak(std::chrono::milliseconds length) {
    if (auto ok = usable(); !ok) {
        return ok;
    }
    waited_ += length;
    return take(Kind::Break, "break");
}

WireResult<void> ScriptedSerialPort::flushInput() {
    if (auto ok = usable(); !ok) {
        return ok;
    }
    readable_.clear();
    return {};
}

WireResult<void> ScriptedSerialPort::write(std::span<const uint8_t> bytes) {
    if (auto ok = usable(); !ok) {
        return ok;
    }
    writes_.emplace_back(bytes.begin(), bytes.end());
    const std::string what = "> " + Hex(bytes);
    note(what);
    for (uint8_t b : bytes) {
        if (!at(Kind::Host) || steps_[next_].bytes[hostAt_] != b) {
            return diverge(what);
        }
        if (++hostAt_ == steps_[next_].bytes.size()) {
            advance();
        }
    }
    return {};
}

WireResult<size_t> ScriptedSerialPort::read(std::span<uint8_t> into,
                                            std::chrono::milliseconds timeout) {
    if (readable_.empty()) {
        if (auto ok = usable(); !ok) {
            return ok.error();
        }
    }
    size_t n = 0;
    while (n < into.size() && !readable_.empty()) {
        into[n++] = readable_.front();
        readable_.pop_front();
    }
    if (n > 0) {
        note("< " + Hex(into.first(n)));
    }
    if (n < into.size()) {
        waited_ += timeout;
    }
    return n;
}

}  // namespace velgrin::ds2480b::testing
