#include "ds2480b_emu/pty_endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "wire/ds2480b/posix_serial_port.h"

namespace velgrin::ds2480b {

namespace {

// How long a reply may wait for room in a client's input queue before it is dropped.
constexpr int kWriteStallMs = 100;

uint32_t BaudOfSpeed(speed_t speed) {
    switch (speed) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        default:
            return 9600;
    }
}

WireError SystemError(const std::string& what) {
    return WireError{WireErrorCode::Io, what + ": " + std::strerror(errno)};
}

}  // namespace

PtyEndpoint::PtyEndpoint(int inotify, std::optional<std::string> link)
    : inotify_(inotify), link_(std::move(link)) {}

WireResult<std::unique_ptr<PtyEndpoint>> PtyEndpoint::Create(std::optional<std::string> linkPath) {
    const int inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify < 0) {
        return SystemError("inotify_init1");
    }
    std::unique_ptr<PtyEndpoint> endpoint(new PtyEndpoint(inotify, std::move(linkPath)));
    if (auto opened = endpoint->openTerminal(); !opened) {
        return opened.error();
    }
    return endpoint;
}

PtyEndpoint::~PtyEndpoint() {
    unplug();
    ::close(inotify_);
}

WireResult<void> PtyEndpoint::openTerminal() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        return SystemError("posix_openpt");
    }
    std::array<char, 128> name{};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name.data(), name.size()) != 0) {
        const auto error = SystemError("pseudo-terminal set-up");
        ::close(master);
        return error;
    }
    // Raw before any client opens it: no echo, no line editing, no byte translated. Settings
    // made on this side apply to the client's side.
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(master, TCSANOW, &tio);

    const int watch =
        ::inotify_add_watch(inotify_, name.data(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
    if (watch < 0) {
        const auto error = SystemError(std::string("inotify_add_watch ") + name.data());
        ::close(master);
        return error;
    }
    if (link_) {
        // Replace the link in one step, so that a client never finds it missing half-way.
        const std::string temporary = *link_ + ".new";
        ::unlink(temporary.c_str());
        if (::symlink(name.data(), temporary.c_str()) != 0 ||
            ::rename(temporary.c_str(), link_->c_str()) != 0) {
            const auto error = SystemError("link " + *link_);
            ::inotify_rm_watch(inotify_, watch);
            ::close(master);
            return error;
        }
    }
    master_ = master;
    watch_ = watch;
    clients_ = 0;
    terminal_ = name.data();
    return {};
}

std::vector<PtyEndpoint::Change> PtyEndpoint::takeChanges() {
    std::vector<Change> changes;
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(inotify_, buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Lost count: whoever is there now starts afresh.
                pollfd pfd{master_, POLLIN, 0};
                const bool hungUp =
                    master_ < 0 || (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLHUP) != 0);
                clients_ = hungUp ? 0 : 1;
                changes.push_back(hungUp ? Change::LastClosed : Change::FirstOpened);
                continue;
            }
            if (event->wd != watch_ || master_ < 0) {
                continue;
            }
            if (event->mask & IN_OPEN) {
                if (clients_++ == 0) {
                    changes.push_back(Change::FirstOpened);
                }
            } else if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                if (clients_ > 0 && --clients_ == 0) {
                    changes.push_back(Change::LastClosed);
                }
            }
        }
    }
    return changes;
}

uint32_t PtyEndpoint::clientBaud() const {
    termios tio{};
    if (master_ < 0 || ::tcgetattr(master_, &tio) != 0) {
        return 9600;
    }
    return BaudOfSpeed(::cfgetospeed(&tio));
}

int PtyEndpoint::clientDataBits() const {
    termios tio{};
    if (master_ < 0 || ::tcgetattr(master_, &tio) != 0) {
        return 8;
    }
    return DataBitsOf(tio.c_cflag);
}

size_t PtyEndpoint::read(std::span<uint8_t> into) {
    if (master_ < 0) {
        return 0;
    }
    const ssize_t n = ::read(master_, into.data(), into.size());
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void PtyEndpoint::write(std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return;  // no client on the line
        }
        pollfd pfd{master_, POLLOUT, 0};
        if (::poll(&pfd, 1, kWriteStallMs) <= 0) {
            return;
        }
    }
}

void PtyEndpoint::discardInput() {
    if (master_ >= 0) {
        ::tcflush(master_, TCIFLUSH);
    }
}

void PtyEndpoint::unplug() {
    if (master_ < 0) {
        return;
    }
    if (link_) {
        ::unlink(link_->c_str());
    }
    ::inotify_rm_watch(inotify_, watch_);
    ::close(master_);
    master_ = -1;
    watch_ = -1;
    clients_ = 0;
}

WireResult<void> PtyEndpoint::replug() {
    if (master_ >= 0) {
        return {};
    }
    return openTerminal();
}

}  // namespace velgrin::ds2480b
