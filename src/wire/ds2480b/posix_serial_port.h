#pragma once

#include <termios.h>

#include <string>
#include <vector>

#include "wire/ds2480b/posix_serial_port_openers.h"
#include "wire/ds2480b/serial_port.h"

namespace velgrin::ds2480b {

// The data bits of a terminal's character size flags.
int DataBitsOf(tcflag_t flags);

// A serial device of the system (/dev/ttyUSB0, /dev/ttyS0, a pseudo-terminal) driven through
// termios. Exclusive use is claimed twice: TIOCEXCL keeps ordinary programs from opening the
// device at all, and an flock also stops those with the privilege to ignore TIOCEXCL. A device
// that another process already holds open is refused, naming that process where /proc tells.
class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(std::string path) : path_(std::move(path)) {}
    ~PosixSerialPort() override { close(); }

    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

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

    const std::string& name() const override { return path_; }

  private:
    // "In use by another program", naming the programs /proc shows holding the device.
    WireError busy(const std::vector<PortOpener>& openers) const;
    // The error for a failed call on the open port; a vanished device closes it.
    WireError failure(const char* what, int error);
    WireResult<void> notOpen() const;

    std::string path_;
    int fd_ = -1;
};

}  // namespace velgrin::ds2480b
