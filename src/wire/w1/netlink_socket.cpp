#include "wire/w1/netlink_socket.h"

#include <errno.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace velgrin::w1 {

namespace {

// A kernel reply never exceeds a page; the margin catches a larger one as cut short.
constexpr size_t kReceiveBuffer = 65536;

std::string Reason(int error) {
    return std::strerror(error);
}

int64_t MonotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace

WireResult<void> NetlinkSocket::open() {
    if (isOpen()) {
        return {};
    }
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_CONNECTOR);
    if (fd < 0) {
        const int error = errno;
        return WireError{WireErrorCode::NoSuchPort,
                         "the kernel refuses a connector socket (" + Reason(error) + ")"};
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return WireError{WireErrorCode::Io, "cannot bind the connector socket: " + Reason(error)};
    }
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd);
        return WireError{WireErrorCode::Io,
                         "cannot read the connector socket's address: " + Reason(error)};
    }
    fd_ = fd;
    portId_ = address.nl_pid;
    return {};
}

void NetlinkSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

WireResult<void> NetlinkSocket::send(std::span<const uint8_t> packet) {
    if (!isOpen()) {
        return WireError{WireErrorCode::Io, "the connector socket is not open"};
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;  // port 0, no group: the kernel itself
    for (;;) {
        const ssize_t sent = ::sendto(fd_, packet.data(), packet.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
        if (sent == static_cast<ssize_t>(packet.size())) {
            return {};
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        const int error = sent < 0 ? errno : EIO;
        return WireError{error == ECONNREFUSED ? WireErrorCode::NoSuchPort : WireErrorCode::Io,
                         "cannot send to the kernel's w1 subsystem: " + Reason(error)};
    }
}

WireResult<std::vector<uint8_t>> NetlinkSocket::receive(std::chrono::milliseconds within) {
    if (!isOpen()) {
        return WireError{WireErrorCode::Io, "the connector socket is not open"};
    }
    const int64_t deadline = MonotonicMs() + within.count();
    for (;;) {
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0) {
            return WireError{WireErrorCode::Timeout, "the kernel's w1 subsystem did not answer"};
        }
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            const int error = errno;
            return WireError{WireErrorCode::Io, "cannot wait for the kernel: " + Reason(error)};
        }
        if (ready == 0) {
            continue;
        }
        std::vector<uint8_t> buffer(kReceiveBuffer);
        sockaddr_nl from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            return WireError{WireErrorCode::Io, "cannot read from the kernel: " + Reason(error)};
        }
        if (from.nl_pid != 0) {
            continue;  // only the kernel speaks on this socket
        }
        if (static_cast<size_t>(got) > buffer.size()) {
            return WireError{WireErrorCode::Protocol,
                             "a kernel reply of " + std::to_string(got) + " bytes was cut short"};
        }
        buffer.resize(static_cast<size_t>(got));
        return buffer;
    }
}

}  // namespace velgrin::w1
