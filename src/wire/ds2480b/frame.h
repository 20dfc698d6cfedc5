#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velgrin::ds2480b {

// Whether the adapter takes the next byte as a command or as data for the bus.
enum class Mode { Command, Data };

// Bytes for the adapter in the order they go out, with the mode switches and the doubling of
// 0xE3 that data mode needs. Each byte is marked when the adapter answers it with one byte.
class Frame {
  public:
    explicit Frame(Mode start) : mode_(start) {}

    // A command; `answered` when the adapter replies to it.
    void command(uint8_t code, bool answered);
    // A byte for the bus: eight time slots (or four search bits), one reply.
    void data(uint8_t byte);

    // The mode the adapter is in once the frame has gone out.
    Mode mode() const { return mode_; }
    std::span<const uint8_t> bytes() const { return bytes_; }
    bool answered(size_t index) const { return answered_[index]; }
    size_t replies() const { return replies_; }

  private:
    void append(uint8_t byte, bool answered);

    Mode mode_;
    std::vector<uint8_t> bytes_;
    std::vector<bool> answered_;
    size_t replies_ = 0;
};

}  // namespace velgrin::ds2480b
