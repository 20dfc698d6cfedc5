#include "wire/ds2482/i2c_dev_transport.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "wire/link_trace.h"

namespace velgrin::ds2482 {

namespace {

std::string ChipName(const I2cPort& port) {
    return "the DS2482 at " + port.addressText() + " on " + port.device;
}

std::string I2cdetect(const I2cPort& port) {
    return "'i2cdetect -y " + (port.busNumber().empty() ? std::string("N") : port.busNumber()) +
           "'";
}

// Read-only is enough for flock, and lets another user open a file the first one made. An
// existing file is opened without O_CREAT: where fs.protected_regular is on (systemd's default),
// O_CREAT on another user's file in the sticky /run/lock is refused although a plain open is not.
int OpenLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

std::string NoBusText(const I2cPort& port) {
    return "there is no I2C bus " + port.device +
           ": enable I2C on the board (on a Raspberry Pi 'dtparam=i2c_arm=on' in "
           "/boot/firmware/config.txt, or 'sudo raspi-config' → Interface Options → I2C), load "
           "the i2c-dev module ('sudo modprobe i2c-dev') and reboot; 'i2cdetect -l' lists the "
           "buses there are";
}

std::string NoPermissionText(const I2cPort& port) {
    return "no permission to use the I2C bus " + port.device +
           ": add the user to the group i2c ('sudo usermod -aG i2c $USER') and log in again";
}

std::string KernelDriverText(const I2cPort& port) {
    return "a kernel driver holds address " + port.addressText() + " on " + port.device +
           " (usually the ds2482 module): release the chip with 'echo " + port.sysfsName() +
           " | sudo tee /sys/bus/i2c/drivers/ds2482/unbind', or keep the module from loading, "
           "and try again";
}

std::string BusyText(const I2cPort& port) {
    return ChipName(port) +
           " is in use by another program (a second Velgrin or velgrin-cli): close it and try "
           "again";
}

std::string NoChipText(const I2cPort& port) {
    return "no DS2482 answers at " + port.addressText() + " on " + port.device +
           ": check its power and wiring (SDA, SCL, GND) and the address its AD pins set; " +
           I2cdetect(port) + " lists the addresses that answer";
}

I2cDevTransport::I2cDevTransport(I2cPort port, std::string lockDirectory)
    : port_(std::move(port)), lockDirectory_(std::move(lockDirectory)) {}

I2cDevTransport::~I2cDevTransport() {
    close();
}

std::string I2cDevTransport::name() const {
    return ChipName(port_);
}

WireResult<void> I2cDevTransport::open() {
    if (fd_ >= 0) {
        return {};
    }
    const int fd = ::open(port_.device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENODEV || error == ENXIO) {
            return WireError{WireErrorCode::PortGone, NoBusText(port_)};
        }
        if (error == EACCES || error == EPERM) {
            return WireError{WireErrorCode::NoPermission, NoPermissionText(port_)};
        }
        return WireError{WireErrorCode::Io,
                         "cannot open " + port_.device + ": " + std::strerror(error)};
    }
    fd_ = fd;
    if (auto locked = lock(); !locked) {
        close();
        return locked;
    }
    unsigned long functions = 0;
    combined_ = ::ioctl(fd_, I2C_FUNCS, &functions) == 0 && (functions & I2C_FUNC_I2C) != 0;
    if (::ioctl(fd_, I2C_SLAVE, static_cast<unsigned long>(port_.address)) != 0) {
        const int error = errno;
        close();
        if (error == EBUSY) {
            return WireError{WireErrorCode::PortBusy, KernelDriverText(port_)};
        }
        if (error == ENOTTY) {
            return WireError{WireErrorCode::NoSuchPort, port_.device + " is not an I2C bus"};
        }
        return WireError{WireErrorCode::Io,
                         "cannot address " + ChipName(port_) + ": " + std::strerror(error)};
    }
    // The chip answers a read at any time: does anything answer at the address?
    std::array<uint8_t, 1> probe{};
    if (auto answered = read(probe); !answered) {
        close();
        if (answered.error().code == WireErrorCode::Io ||
            answered.error().code == WireErrorCode::Timeout) {
            return WireError{WireErrorCode::PortGone, NoChipText(port_)};
        }
        return answered;
    }
    return {};
}

WireResult<void> I2cDevTransport::lock() {
    // Keyed by the node's device number, so that every name of one bus meets the same lock.
    struct stat node {};
    if (::fstat(fd_, &node) != 0) {
        return WireError{WireErrorCode::Io,
                         "cannot examine " + port_.device + ": " + std::strerror(errno)};
    }
    const std::string path =
        lockDirectory_ + "/velgrin-ds2482-" + std::to_string(major(node.st_rdev)) + "-" +
        std::to_string(minor(node.st_rdev)) + "-" + port_.addressText() + ".lock";
    lockFd_ = OpenLockFile(path);
    if (lockFd_ < 0) {
        return WireError{WireErrorCode::Io, "cannot make the lock file " + path + " for " +
                                                ChipName(port_) + ": " + std::strerror(errno)};
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            return WireError{WireErrorCode::PortBusy, BusyText(port_)};
        }
        return WireError{WireErrorCode::Io,
                         "cannot lock " + path + ": " + std::string(std::strerror(error))};
    }
    return {};
}

void I2cDevTransport::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // ends the flock
        lockFd_ = -1;
    }
}

WireError I2cDevTransport::transferError(int error, const std::string& what) const {
    switch (error) {
        case ENODEV:
        case ESHUTDOWN:
            return WireError{WireErrorCode::PortGone, "the I2C bus " + port_.device + " is gone"};
        case ENXIO:
        case EREMOTEIO:
        case EIO:
            return WireError{WireErrorCode::Io, ChipName(port_) + " did not acknowledge " + what};
        case ETIMEDOUT:
        case EAGAIN:
            return WireError{WireErrorCode::Timeout,
                             "the I2C bus " + port_.device + " timed out during " + what};
        default:
            return WireError{WireErrorCode::Io,
                             what + " on " + port_.device + " failed: " + std::strerror(error)};
    }
}

WireResult<void> I2cDevTransport::write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.transactions;
    stats_.bytes += bytes.size();
    TraceAdapterBytes(AdapterDirection::Sent, bytes);
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
        return transferError(errno, "a command");
    }
    if (static_cast<size_t>(written) != bytes.size()) {
        return WireError{WireErrorCode::Io, name() + " took " + std::to_string(written) + " of " +
                                                std::to_string(bytes.size()) + " bytes"};
    }
    return {};
}

WireResult<void> I2cDevTransport::read(std::span<uint8_t> bytes) {
    if (fd_ < 0) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.transactions;
    stats_.bytes += bytes.size();
    const ssize_t got = ::read(fd_, bytes.data(), bytes.size());
    if (got < 0) {
        return transferError(errno, "a read");
    }
    TraceAdapterBytes(AdapterDirection::Received, bytes.first(static_cast<size_t>(got)));
    if (static_cast<size_t>(got) != bytes.size()) {
        return WireError{WireErrorCode::Io, name() + " gave " + std::to_string(got) + " of " +
                                                std::to_string(bytes.size()) + " bytes"};
    }
    return {};
}

WireResult<void> I2cDevTransport::writeRead(std::span<const uint8_t> out, std::span<uint8_t> in) {
    if (!combined_) {
        if (auto written = write(out); !written) {
            return written;
        }
        return read(in);
    }
    if (fd_ < 0) {
        return WireError{WireErrorCode::Io, name() + " is not open"};
    }
    ++stats_.transactions;
    stats_.bytes += out.size() + in.size();
    TraceAdapterBytes(AdapterDirection::Sent, out);
    // The kernel takes the buffers as non-const for both directions; a write only reads it.
    i2c_msg messages[2] = {
        {port_.address, 0, static_cast<__u16>(out.size()), const_cast<uint8_t*>(out.data())},
        {port_.address, I2C_M_RD, static_cast<__u16>(in.size()), in.data()},
    };
    i2c_rdwr_ioctl_data transfer{messages, 2};
    const int done = ::ioctl(fd_, I2C_RDWR, &transfer);
    if (done < 0) {
        return transferError(errno, "a register read");
    }
    if (done != 2) {
        return WireError{WireErrorCode::Io, name() + " ended a register read after " +
                                                std::to_string(done) + " of 2 messages"};
    }
    TraceAdapterBytes(AdapterDirection::Received, in);
    return {};
}

}  // namespace velgrin::ds2482
