#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wire/ds2480b/serial_port.h"
#include "wire/net_serial/net_address.h"
#include "wire/net_serial/telnet_reader.h"

namespace velgrin::net_serial {

struct NetSerialTimes {
    // For the name lookup, and again for the connection.
    std::chrono::milliseconds connect{3000};
    // For the server's answer to a telnet option or a COM-PORT-OPTION command.
    std::chrono::milliseconds answer{2000};
};

// A serial port that a port server (ser2net) shares over TCP. With RFC 2217 the rate, the
// character size, the purge of what waits in the server and the break travel as telnet
// commands, each confirmed by the server before it counts as done. A raw port carries the
// line's bytes alone: its rate is the server's, 9600 baud with 8 data bits, and a break is the
// fresh connection, on which the server opens the device again.
class NetSerialPort final : public ds2480b::SerialPort {
  public:
    // The rate a raw port's server is expected to run the line at: the adapters' power-up rate.
    static constexpr uint32_t kRawBaud = 9600;

    explicit NetSerialPort(NetAddress address, NetSerialTimes times = {});
    ~NetSerialPort() override { close(); }

    NetSerialPort(const NetSerialPort&) = delete;
    NetSerialPort& operator=(const NetSerialPort&) = delete;

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    WireResult<int> setFormat(uint32_t baud, int dataBits) override;
    WireResult<void> write(std::span<const uint8_t> bytes) override;
    WireResult<size_t> read(std::span<uint8_t> into, std::chrono::milliseconds timeout) override;
    WireResult<void> drain() override;
    WireResult<void> flushInput() override;
    WireResult<void> sendBreak(std::chrono::milliseconds length) override;
    void idle(std::chrono::microseconds length) override;

    const std::string& name() const override { return name_; }

  private:
    using Deadline = std::chrono::steady_clock::time_point;

    WireResult<void> negotiate();
    // Sends bytes as they are (telnet commands, or data already escaped).
    WireResult<void> send(const std::vector<uint8_t>& bytes);
    // Waits for what the server sends next, until `deadline`; false when nothing came.
    WireResult<bool> receive(Deadline deadline);
    // Sends a COM-PORT-OPTION command and waits for the server's answer to it.
    WireResult<std::vector<uint8_t>> command(uint8_t code, std::vector<uint8_t> value);
    // The same in two halves, so that several commands share one round trip.
    WireResult<void> ask(uint8_t code, const std::vector<uint8_t>& value);
    WireResult<std::vector<uint8_t>> answer(uint8_t code, Deadline deadline);
    WireResult<void> answerOption(const TelnetEvent& event);
    WireError lost(const std::string& why);
    // The printable bytes of what came before anything went to the adapter.
    void keepGreeting(std::span<const uint8_t> bytes);
    WireError notOpen() const;

    NetAddress address_;
    NetSerialTimes times_;
    std::string name_;
    int fd_ = -1;
    TelnetReader reader_;
    std::vector<uint8_t> data_;
    size_t dataRead_ = 0;
    std::vector<TelnetEvent> events_;
    // The first bytes after connecting, for a server that says why it hangs up.
    std::string greeting_;
    bool sentSinceConnect_ = false;
    std::optional<bool> comPortAgreed_;
    bool sawOption_ = false;
};

}  // namespace velgrin::net_serial
