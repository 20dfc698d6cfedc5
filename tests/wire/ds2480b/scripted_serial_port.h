#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "wire/ds2480b/serial_port.h"

namespace velgrin::ds2480b::testing {

// A serial port that plays an adapter from a script and checks what the link does against it.
// One step a line:
//   open | close | break | baud N     the link must do exactly this next
//   baud N D [T]                      the link sets N baud with D data bits; the port takes T
//                                     (default D)
//   > 17 45 5B                        the link must write these bytes (across any writes)
//   < 16 44 5A                        the adapter answers; readable once everything above is done
//   busy | missing                    the next open fails: another program holds the port, or
//                                     the device is not there
//   gone                              the device disappears: the next call fails
// A reply that is not scripted never comes: the read returns short at once. Flushing drops
// what is readable. The first difference stops the port and is kept for the test to show.
class ScriptedSerialPort final : public SerialPort {
  public:
    explicit ScriptedSerialPort(std::string_view script, std::string name = "/dev/ttyTEST0");

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    WireResult<int> setFormat(uint32_t baud, int dataBits) override;
    WireResult<void> write(std::span<const uint8_t> bytes) override;
    WireResult<size_t> read(std::span<uint8_t> into, std::chrono::milliseconds timeout) override;
    WireResult<void> drain() override { return {}; }
    WireResult<void> flushInput() override;
    WireResult<void> sendBreak(std::chrono::milliseconds length) override;
    void idle(std::chrono::microseconds length) override { waited_ += length; }
    const std::string& name() const override { return name_; }

    // Every step was taken and nothing went differently.
    bool finished() const { return divergence_.empty() && next_ == steps_.size(); }
    // The first difference, empty while there is none.
    const std::string& divergence() const { return divergence_; }
    // What the link did, in the script's notation.
    const std::string& transcript() const { return transcript_; }
    // Time the link would have spent on a real line: breaks, idle pauses, and the whole timeout
    // of every read that came back short.
    std::chrono::microseconds waited() const { return waited_; }
    // Each write call's bytes, to see how the link spreads a frame over the line.
    const std::vector<std::vector<uint8_t>>& writes() const { return writes_; }

  private:
    enum class Kind { Open, Close, Break, Baud, Host, Device, Busy, Missing, Gone };
    struct Step {
        Kind kind;
        std::vector<uint8_t> bytes;
        uint32_t baud = 0;
        std::string text;
        int dataBits = 8;
        int takenBits = 8;
    };

    bool at(Kind kind) const { return next_ < steps_.size() && steps_[next_].kind == kind; }
    WireError diverge(const std::string& what);
    WireResult<void> take(Kind kind, const std::string& what);
    WireResult<void> usable();
    void advance();
    void note(const std::string& line);

    std::string name_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    size_t hostAt_ = 0;  // bytes of the current "> " step already matched
    bool open_ = false;
    std::deque<uint8_t> readable_;
    std::string divergence_;
    std::string transcript_;
    std::vector<std::vector<uint8_t>> writes_;
    std::chrono::microseconds waited_{0};
};

}  // namespace velgrin::ds2480b::testing
