#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velgrin::net_serial {

// What the server said besides data: an option verb (WILL, WONT, DO, DONT) with its option, or
// a COM-PORT-OPTION answer with its command and value.
struct TelnetEvent {
    enum class Kind { Option, ComPort };
    Kind kind = Kind::Option;
    uint8_t code = 0;  // the verb, or the COM-PORT command
    uint8_t option = 0;
    std::vector<uint8_t> value;
    // How many data bytes the output held when the word ended: what came before it.
    size_t dataBefore = 0;

    bool operator==(const TelnetEvent&) const = default;
};

// Splits what a telnet server sends into the serial line's bytes and the server's own words,
// across any cut between two reads. A subnegotiation longer than any answer the adapters wait
// for is dropped whole, and so is one for another option: neither can grow without bound.
class TelnetReader {
  public:
    static constexpr size_t kMaxSubnegotiation = 16;

    // Appends the data bytes to `data` and the server's words to `events`.
    void feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& data,
              std::vector<TelnetEvent>& events);

  private:
    enum class State { Data, Command, Verb, SubOption, Sub, SubIac };

    void endSubnegotiation(size_t dataBefore, std::vector<TelnetEvent>& events);

    State state_ = State::Data;
    uint8_t verb_ = 0;
    uint8_t subOption_ = 0;
    bool subOverlong_ = false;
    std::vector<uint8_t> sub_;
};

}  // namespace velgrin::net_serial
