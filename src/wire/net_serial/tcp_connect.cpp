#include "wire/net_serial/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace velgrin::net_serial {

namespace {

using Clock = std::chrono::steady_clock;

struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    addrinfo* found = nullptr;

    ~Lookup() {
        if (found != nullptr) {
            ::freeaddrinfo(found);
        }
    }
};

using Addresses = std::unique_ptr<addrinfo, void (*)(addrinfo*)>;

// getaddrinfo has no timeout of its own: it runs on a thread of its own, which is left to
// finish by itself when the answer comes too late.
WireResult<Addresses> Resolve(const NetAddress& address, std::chrono::milliseconds limit) {
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host = address.host, port = std::to_string(address.port)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        const std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->found = found;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, limit, [&] { return lookup->finished; })) {
        return WireError{WireErrorCode::NoSuchPort, "the host " + address.host +
                                                        " was not found: no answer from the name "
                                                        "server within " +
                                                        std::to_string(limit.count()) + " ms"};
    }
    if (lookup->status != 0 || lookup->found == nullptr) {
        return WireError{
            WireErrorCode::NoSuchPort,
            "the host " + address.host + " was not found (" + ::gai_strerror(lookup->status) + ")"};
    }
    Addresses addresses(lookup->found, ::freeaddrinfo);
    lookup->found = nullptr;
    return addresses;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One address: the connected socket, or the errno of the attempt (ETIMEDOUT when out of time).
int TryConnect(const addrinfo& candidate, Clock::time_point deadline, int& error) {
    const int fd =
        ::socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                 candidate.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::connect(fd, candidate.ai_addr, candidate.ai_addrlen) != 0 && errno != EINPROGRESS) {
        error = errno;
        ::close(fd);
        return -1;
    }
    pollfd pfd{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&pfd, 1, RemainingMs(deadline));
    } while (ready < 0 && errno == EINTR);
    int status = ETIMEDOUT;
    socklen_t length = sizeof status;
    if (ready > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &length) != 0) {
        status = errno;
    }
    if (status != 0) {
        error = status;
        ::close(fd);
        return -1;
    }
    const int on = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

}  // namespace

WireResult<int> ConnectTcp(const NetAddress& address, std::chrono::milliseconds limit) {
    auto addresses = Resolve(address, limit);
    if (!addresses) {
        return addresses.error();
    }
    const auto deadline = Clock::now() + limit;
    int error = ETIMEDOUT;
    for (const addrinfo* candidate = addresses->get(); candidate != nullptr;
         candidate = candidate->ai_next) {
        const int fd = TryConnect(*candidate, deadline, error);
        if (fd >= 0) {
            return fd;
        }
        if (error == ETIMEDOUT) {
            break;
        }
    }
    const std::string place = address.place();
    switch (error) {
        case ECONNREFUSED:
            return WireError{WireErrorCode::PortGone,
                             place +
                                 " refused the connection (is the port server running there, "
                                 "and is this its port?)"};
        case ETIMEDOUT:
            return WireError{WireErrorCode::PortGone,
                             place + " did not answer within " + std::to_string(limit.count()) +
                                 " ms (host down, or a firewall drops the connection)"};
        case ENETUNREACH:
        case EHOSTUNREACH:
            return WireError{WireErrorCode::PortGone,
                             place + " cannot be reached (" + std::strerror(error) + ")"};
        default:
            return WireError{WireErrorCode::Io,
                             "cannot connect to " + place + ": " + std::strerror(error)};
    }
}

}  // namespace velgrin::net_serial
