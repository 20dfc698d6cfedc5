#include "wire/w1/datagram_socket.h"

#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "wire/w1/netlink_socket.h"

namespace velgrin::w1 {

namespace {

constexpr size_t kReceiveBuffer = 65536;

}  // namespace

WireResult<void> DatagramSocket::open() {
    if (isOpen()) {
        return {};
    }
    sockaddr_un server{};
    server.sun_family = AF_UNIX;
    if (serverPath_.empty() || serverPath_.size() >= sizeof server.sun_path) {
        return WireError{WireErrorCode::BadPortSpec,
                         "the kernel stand-in's socket path is unusable"};
    }
    std::memcpy(server.sun_path, serverPath_.data(), serverPath_.size());
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return WireError{WireErrorCode::Io,
                         std::string("cannot make a socket: ") + std::strerror(errno)};
    }
    // An abstract address of the kernel's choosing, so that the stand-in can answer.
    const sockaddr_un unnamed{AF_UNIX, {}};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&unnamed), sizeof(sa_family_t)) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        const int error = errno;
        ::close(fd);
        return WireError{WireErrorCode::Io, "cannot reach the kernel stand-in at " + serverPath_ +
                                                ": " + std::strerror(error)};
    }
    fd_ = fd;
    return {};
}

void DatagramSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

WireResult<void> DatagramSocket::send(std::span<const uint8_t> packet) {
    if (!isOpen()) {
        return WireError{WireErrorCode::Io, "the socket is not open"};
    }
    ssize_t sent = -1;
    do {
        sent = ::send(fd_, packet.data(), packet.size(), 0);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(packet.size())) {
        return WireError{WireErrorCode::Io, std::string("cannot send to the kernel stand-in: ") +
                                                std::strerror(sent < 0 ? errno : EIO)};
    }
    return {};
}

WireResult<std::vector<uint8_t>> DatagramSocket::receive(std::chrono::milliseconds within) {
    if (!isOpen()) {
        return WireError{WireErrorCode::Io, "the socket is not open"};
    }
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return WireError{WireErrorCode::Timeout, "the kernel stand-in did not answer"};
        }
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready <= 0) {
            if (ready < 0 && errno != EINTR) {
                return WireError{
                    WireErrorCode::Io,
                    std::string("cannot wait for the kernel stand-in: ") + std::strerror(errno)};
            }
            continue;
        }
        std::vector<uint8_t> buffer(kReceiveBuffer);
        const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), MSG_TRUNC);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || static_cast<size_t>(got) > buffer.size()) {
            return WireError{WireErrorCode::Io, "cannot read from the kernel stand-in"};
        }
        buffer.resize(static_cast<size_t>(got));
        return buffer;
    }
}

std::unique_ptr<NetlinkTransport> KernelTransport() {
    if (const char* standIn = ::getenv("VELGRIN_W1_SOCKET"); standIn != nullptr && *standIn != 0) {
        return std::make_unique<DatagramSocket>(standIn);
    }
    return std::make_unique<NetlinkSocket>();
}

}  // namespace velgrin::w1
