#pragma once

#include <string>

#include "wire/ds2482/i2c_port.h"
#include "wire/ds2482/i2c_transport.h"

namespace velgrin::ds2482 {

// Where the lock files that keep a chip to one program live.
inline constexpr const char* kLockDirectory = "/run/lock";

// A chip on a Linux I2C bus through i2c-dev (/dev/i2c-N). Single transfers are plain
// write()/read() after I2C_SLAVE, whose busy check refuses an address a kernel driver holds;
// a write joined to a read goes through I2C_RDWR when the bus adapter can do it. A lock file
// per bus (its node's device number) and address, held with flock, refuses a second program
// of ours.
class I2cDevTransport final : public I2cTransport {
  public:
    explicit I2cDevTransport(I2cPort port, std::string lockDirectory = kLockDirectory);
    ~I2cDevTransport() override;
    I2cDevTransport(const I2cDevTransport&) = delete;
    I2cDevTransport& operator=(const I2cDevTransport&) = delete;

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    std::string name() const override;

    WireResult<void> write(std::span<const uint8_t> bytes) override;
    WireResult<void> read(std::span<uint8_t> bytes) override;
    WireResult<void> writeRead(std::span<const uint8_t> out, std::span<uint8_t> in) override;

  private:
    WireResult<void> lock();
    WireError transferError(int error, const std::string& what) const;

    I2cPort port_;
    std::string lockDirectory_;
    int fd_ = -1;
    int lockFd_ = -1;
    bool combined_ = false;
};

// What a technician reads when the chip cannot be used.
std::string NoBusText(const I2cPort& port);
std::string NoPermissionText(const I2cPort& port);
std::string KernelDriverText(const I2cPort& port);
std::string BusyText(const I2cPort& port);
std::string NoChipText(const I2cPort& port);

}  // namespace velgrin::ds2482
