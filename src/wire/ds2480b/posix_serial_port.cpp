#include "wire/ds2480b/posix_serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "wire/link_trace.h"

namespace velgrin::ds2480b {

namespace {

using Clock = std::chrono::steady_clock;

// How long a write may wait for room in the output queue before the port counts as stuck.
constexpr std::chrono::milliseconds kWriteStall{2000};

std::optional<speed_t> SpeedOf(uint32_t baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return std::nullopt;
    }
}

std::optional<tcflag_t> SizeOf(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        case 8:
            return CS8;
        default:
            return std::nullopt;
    }
}

bool DeviceVanished(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE;
}

// The other processes that hold the device at `path` open.
std::vector<PortOpener> OpenersOf(const std::string& path) {
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return {};
    }
    return OtherOpeners(device.st_rdev);
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

WireResult<void> PosixSerialPort::notOpen() const {
    return WireError{WireErrorCode::Io, "serial port " + path_ + " is not open"};
}

WireError PosixSerialPort::failure(const char* what, int error) {
    if (DeviceVanished(error)) {
        close();
        return WireError{WireErrorCode::PortGone, "serial port " + path_ + " is gone (" + what +
                                                      ": " + std::strerror(error) + ")"};
    }
    return WireError{WireErrorCode::Io,
                     std::string(what) + " on " + path_ + " failed: " + std::strerror(error)};
}

WireError PosixSerialPort::busy(const std::vector<PortOpener>& openers) const {
    std::string message = "serial port " + path_ + " is in use by another program";
    if (!openers.empty()) {
        message += ": " + OpenersText(openers);
    }
    return WireError{WireErrorCode::PortBusy, message};
}

WireResult<void> PosixSerialPort::open() {
    if (fd_ >= 0) {
        return {};
    }
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        switch (error) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                return WireError{WireErrorCode::PortGone,
                                 "serial port " + path_ + " is not there (adapter unplugged?)"};
            case EBUSY:
                return busy(OpenersOf(path_));
            case EACCES:
            case EPERM:
                return WireError{WireErrorCode::Io,
                                 "no permission to open serial port " + path_ +
                                     " (add the user to the dialout group and log in again)"};
            default:
                return WireError{WireErrorCode::Io,
                                 "cannot open serial port " + path_ + ": " + std::strerror(error)};
        }
    }
    // Whether someone else made the device exclusive already (only a privileged open gets
    // this far then): a refusal must not take that away from them.
    int wasExclusive = 0;
    bool madeExclusive = false;
    auto refuse = [&](WireError error) {
        if (madeExclusive && wasExclusive == 0) {
            // Best effort on the way out of a refusal: nothing else is left to try.
            (void)::ioctl(fd, TIOCNXCL);
        }
        ::close(fd);
        return error;
    };
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0 || ::ioctl(fd, TIOCGEXCL, &wasExclusive) != 0 ||
        ::ioctl(fd, TIOCEXCL) != 0) {
        return refuse(WireError{WireErrorCode::BadPortSpec, path_ + " is not a serial port"});
    }
    madeExclusive = true;
    // From here on nobody without privileges opens the device; those who had it open before
    // are still there, and a program that takes no lock (owserver) is seen only in /proc.
    const auto openers = OpenersOf(path_);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !openers.empty()) {
        return refuse(busy(openers));
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int error = errno;
        return refuse(WireError{
            WireErrorCode::Io, "cannot set up serial port " + path_ + ": " + std::strerror(error)});
    }
    // Adapters take their power from DTR and RTS. A pseudo-terminal has no modem lines and
    // refuses this, which is harmless.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
    // Each round trip waits for the driver to hand on what arrived: ask it to do so at once.
    // Drivers without the flag (a pseudo-terminal, some USB bridges) refuse; nothing else changes.
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)::ioctl(fd, TIOCSSERIAL, &serial);
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    return {};
}

void PosixSerialPort::close() {
    if (fd_ < 0) {
        return;
    }
    // Nothing stale may reach the adapter later, and a close must not wait for a dead line.
    ::tcflush(fd_, TCIOFLUSH);
    // A pseudo-terminal outlives its client's close and would keep refusing this program's own
    // reopen.
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

WireResult<int> PosixSerialPort::setFormat(uint32_t baud, int dataBits) {
    if (fd_ < 0) {
        return notOpen().error();
    }
    const auto speed = SpeedOf(baud);
    const auto size = SizeOf(dataBits);
    if (!speed || !size) {
        return WireError{WireErrorCode::Unsupported, "serial port " + path_ + ": no rate " +
                                                         std::to_string(baud) + " with " +
                                                         std::to_string(dataBits) + " data bits"};
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) {
        return failure("tcgetattr", errno);
    }
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
    tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | *size;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        return failure("tcsetattr", errno);
    }
    // A driver may take less than asked without saying so: what counts is what it holds now.
    termios taken{};
    if (::tcgetattr(fd_, &taken) != 0) {
        return failure("tcgetattr", errno);
    }
    if (::cfgetospeed(&taken) != *speed) {
        return WireError{WireErrorCode::Unsupported,
                         "serial port " + path_ + " did not take the rate " + std::to_string(baud)};
    }
    return DataBitsOf(taken.c_cflag);
}

WireResult<void> PosixSerialPort::write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) {
        return notOpen();
    }
    TraceAdapterBytes(AdapterDirection::Sent, bytes);
    const auto deadline = Clock::now() + kWriteStall;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return failure("write", errno);
        }
        pollfd pfd{fd_, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
        if (ready < 0 && errno != EINTR) {
            return failure("poll", errno);
        }
        if (ready == 0) {
            return WireError{WireErrorCode::Timeout, "serial port " + path_ + " takes no data"};
        }
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            return failure("write", EIO);
        }
    }
    return {};
}

WireResult<size_t> PosixSerialPort::read(std::span<uint8_t> into,
                                         std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return notOpen().error();
    }
    const auto deadline = Clock::now() + timeout;
    size_t got = 0;
    while (got < into.size()) {
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failure("poll", errno);
        }
        if (ready == 0) {
            break;
        }
        const ssize_t n = ::read(fd_, into.data() + got, into.size() - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return failure("read", errno);
        }
        // A hang-up reads as end of file with the line flagged.
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            return failure("read", EIO);
        }
    }
    TraceAdapterBytes(AdapterDirection::Received, into.first(got));
    return got;
}

WireResult<void> PosixSerialPort::drain() {
    if (fd_ < 0) {
        return notOpen();
    }
    while (::tcdrain(fd_) != 0) {
        if (errno != EINTR) {
            return failure("tcdrain", errno);
        }
    }
    return {};
}

WireResult<void> PosixSerialPort::flushInput() {
    if (fd_ < 0) {
        return notOpen();
    }
    if (::tcflush(fd_, TCIFLUSH) != 0) {
        return failure("tcflush", errno);
    }
    return {};
}

WireResult<void> PosixSerialPort::sendBreak(std::chrono::milliseconds length) {
    if (fd_ < 0) {
        return notOpen();
    }
    if (::ioctl(fd_, TIOCSBRK) != 0) {
        return failure("break", errno);
    }
    std::this_thread::sleep_for(length);
    if (::ioctl(fd_, TIOCCBRK) != 0) {
        return failure("break", errno);
    }
    return {};
}

void PosixSerialPort::idle(std::chrono::microseconds length) {
    std::this_thread::sleep_for(length);
}

int DataBitsOf(tcflag_t flags) {
    switch (flags & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

}  // namespace velgrin::ds2480b
