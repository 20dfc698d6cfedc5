#include "one_shot_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "wire/net_serial/telnet_codes.h"
#include "wire/net_serial/telnet_reader.h"
#include "wire/net_serial/telnet_writer.h"

namespace velgrin::net_serial::testing {

namespace {

// How often the server looks whether it should end: not a protocol delay.
constexpr int kPollMs = 20;

void Send(int fd, const std::vector<uint8_t>& bytes) {
    (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

}  // namespace

OneShotServer::OneShotServer(Manner manner) : manner_(manner) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("the test server cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

OneShotServer::~OneShotServer() {
    ending_ = true;
    thread_.join();
    ::close(listener_);
}

void OneShotServer::serve() {
    while (!ending_) {
        pollfd pfd{listener_, POLLIN, 0};
        if (::poll(&pfd, 1, kPollMs) <= 0) {
            continue;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            talk(client);
            ::close(client);
        }
    }
}

void OneShotServer::talk(int client) {
    using namespace telnet;
    if (manner_ == Manner::PlainBytes) {
        const std::string text = "login: ";
        Send(client, std::vector<uint8_t>(text.begin(), text.end()));
    } else if (manner_ == Manner::ClosesOnData) {
        Send(client, TelnetOption(kDo, kComPort));
    }
    TelnetReader reader;
    while (!ending_) {
        pollfd pfd{client, POLLIN, 0};
        if (::poll(&pfd, 1, kPollMs) <= 0) {
            continue;
        }
        uint8_t chunk[512];
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) {
            return;
        }
        if (manner_ != Manner::ClosesOnData) {
            continue;
        }
        std::vector<uint8_t> data;
        std::vector<TelnetEvent> words;
        reader.feed(std::span(chunk, static_cast<size_t>(n)), data, words);
        for (const TelnetEvent& word : words) {
            if (word.kind == TelnetEvent::Kind::ComPort) {
                Send(client, ComPortCommand(word.code + kServerReply, word.value));
            }
        }
        if (!data.empty()) {
            return;
        }
    }
}

}  // namespace velgrin::net_serial::testing
