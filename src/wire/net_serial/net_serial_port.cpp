#include "wire/net_serial/net_serial_port.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "wire/link_trace.h"
#include "wire/net_serial/tcp_connect.h"
#include "wire/net_serial/telnet_codes.h"
#include "wire/net_serial/telnet_writer.h"

namespace velgrin::net_serial {

using namespace telnet;

namespace {

using Clock = std::chrono::steady_clock;

// More than an adapter ever answers unread: a server that sends this much is not one.
constexpr size_t kMaxUnread = 64 * 1024;
// The server's words nobody asked for are not kept beyond this.
constexpr size_t kMaxKeptAnswers = 16;
constexpr size_t kGreetingLength = 80;
constexpr size_t kReceiveChunk = 4096;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::vector<uint8_t> BigEndian(uint32_t value) {
    return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

const char* CommandName(uint8_t code) {
    switch (code) {
        case kSetBaudRate:
            return "the rate";
        case kSetDataSize:
            return "the character size";
        case kSetParity:
            return "the parity";
        case kSetStopSize:
            return "the stop bits";
        case kSetControl:
            return "the break";
        default:
            return "the purge";
    }
}

}  // namespace

NetSerialPort::NetSerialPort(NetAddress address, NetSerialTimes times)
    : address_(std::move(address)),
      times_(times),
      name_((address_.rfc2217 ? "rfc2217://" : "tcp://") + address_.place()) {}

WireError NetSerialPort::notOpen() const {
    return WireError{WireErrorCode::Io, "network serial port " + name_ + " is not open"};
}

void NetSerialPort::keepGreeting(std::span<const uint8_t> bytes) {
    for (size_t i = 0; !sentSinceConnect_ && i < bytes.size() && greeting_.size() < kGreetingLength;
         ++i) {
        const auto c = static_cast<char>(bytes[i]);
        if (c >= ' ' && c <= '~') {
            greeting_ += c;
        }
    }
}

WireError NetSerialPort::lost(const std::string& why) {
    // A server that refuses a client negotiates first and says why after: an answer to its
    // options can fail before that text is read, so whatever is still waiting is read now.
    uint8_t unread[kGreetingLength];
    for (int chunk = 0; fd_ >= 0 && chunk < 4; ++chunk) {
        const ssize_t n = ::recv(fd_, unread, sizeof unread, MSG_DONTWAIT);
        if (n <= 0) {
            break;
        }
        keepGreeting(std::span<const uint8_t>(unread, static_cast<size_t>(n)));
    }
    const std::string said = greeting_;
    close();
    if (said.find("in use") != std::string::npos) {
        return WireError{WireErrorCode::PortBusy, "the serial port behind " + address_.place() +
                                                      " is in use by another program (the "
                                                      "server said \"" +
                                                      said + "\")"};
    }
    std::string message = "the connection to " + address_.place() + " was lost (" + why + ")";
    if (!said.empty()) {
        message += "; the server said \"" + said + "\"";
    }
    return WireError{WireErrorCode::PortGone, message};
}

WireResult<void> NetSerialPort::open() {
    if (fd_ >= 0) {
        return {};
    }
    auto connected = ConnectTcp(address_, times_.connect);
    if (!connected) {
        return connected.error();
    }
    fd_ = *connected;
    sentSinceConnect_ = false;
    if (!address_.rfc2217) {
        return {};
    }
    if (auto agreed = negotiate(); !agreed) {
        close();
        return agreed;
    }
    // The adapters' power-up line: 9600 baud, 8 data bits, no parity, one stop bit.
    if (auto format = setFormat(9600, 8); !format) {
        close();
        return format.error();
    }
    const uint8_t none = kParityNone;
    const uint8_t one = kStopOne;
    for (auto [code, value] : {std::pair{kSetParity, none}, std::pair{kSetStopSize, one}}) {
        auto answered = command(code, {value});
        if (!answered) {
            close();
            return answered.error();
        }
    }
    if (auto flushed = flushInput(); !flushed) {
        close();
        return flushed;
    }
    return {};
}

WireResult<void> NetSerialPort::negotiate() {
    std::vector<uint8_t> offer;
    for (const auto& words :
         {TelnetOption(kWill, kComPort), TelnetOption(kDo, kBinary), TelnetOption(kWill, kBinary),
          TelnetOption(kDo, kSuppressGoAhead), TelnetOption(kWill, kSuppressGoAhead)}) {
        offer.insert(offer.end(), words.begin(), words.end());
    }
    if (auto sent = send(offer); !sent) {
        return sent;
    }
    comPortAgreed_.reset();
    sawOption_ = false;
    const auto deadline = Clock::now() + times_.answer;
    while (!comPortAgreed_) {
        auto got = receive(deadline);
        if (!got) {
            return got.error();
        }
        // Text before any telnet word: a login prompt, a raw port, something else.
        if (!*got || (!sawOption_ && data_.size() > dataRead_)) {
            break;
        }
    }
    if (comPortAgreed_.value_or(false)) {
        return {};
    }
    return WireError{WireErrorCode::Unsupported,
                     "the server at " + address_.place() +
                         " does not speak RFC 2217; use tcp:// for a fixed-speed adapter"};
}

WireResult<void> NetSerialPort::answerOption(const TelnetEvent& event) {
    sawOption_ = true;
    const bool ours = event.option == kBinary || event.option == kSuppressGoAhead;
    if (event.option == kComPort && (event.code == kDo || event.code == kDont)) {
        comPortAgreed_ = event.code == kDo;
        return {};
    }
    // Whatever else the server offers or asks for is declined; answers to our own requests
    // are not answered again, so no exchange of options can loop.
    if (event.code == kDo && !ours && event.option != kComPort) {
        return send(TelnetOption(kWont, event.option));
    }
    if (event.code == kWill && !ours && event.option != kComPort) {
        return send(TelnetOption(kDont, event.option));
    }
    return {};
}

void NetSerialPort::close() {
    if (fd_ < 0) {
        return;
    }
    ::close(fd_);
    fd_ = -1;
    reader_ = TelnetReader();
    data_.clear();
    dataRead_ = 0;
    events_.clear();
    greeting_.clear();
    comPortAgreed_.reset();
}

WireResult<void> NetSerialPort::send(const std::vector<uint8_t>& bytes) {
    if (fd_ < 0) {
        return notOpen();
    }
    const auto deadline = Clock::now() + times_.answer;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return lost(std::strerror(errno));
        }
        pollfd pfd{fd_, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
        if (ready == 0) {
            return WireError{WireErrorCode::Timeout, address_.place() + " takes no data"};
        }
    }
    return {};
}

WireResult<bool> NetSerialPort::receive(Deadline deadline) {
    if (fd_ < 0) {
        return notOpen();
    }
    pollfd pfd{fd_, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&pfd, 1, RemainingMs(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return false;
    }
    uint8_t chunk[kReceiveChunk];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    // The server may hold its next small answer until this one is acknowledged (Nagle's
    // rule on its side): acknowledge at once rather than after the 40 ms delayed ACK. The
    // kernel forgets the setting after a while, so it is made again on every read.
    const int on = 1;
    (void)::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    if (n == 0) {
        return lost("the server closed it");
    }
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return true;
        }
        return lost(std::strerror(errno));
    }
    const std::span received(chunk, static_cast<size_t>(n));
    const size_t before = data_.size();
    std::vector<TelnetEvent> words;
    if (address_.rfc2217) {
        reader_.feed(received, data_, words);
    } else {
        data_.insert(data_.end(), received.begin(), received.end());
    }
    // A server that refuses a client says why before the first byte goes to the adapter.
    keepGreeting(std::span<const uint8_t>(data_).subspan(before));
    if (data_.size() - dataRead_ > kMaxUnread) {
        close();
        return WireError{WireErrorCode::Protocol, "the server at " + address_.place() +
                                                      " sends more than any adapter answers"};
    }
    for (const TelnetEvent& word : words) {
        if (word.kind == TelnetEvent::Kind::Option) {
            if (auto answered = answerOption(word); !answered) {
                return answered.error();
            }
        } else {
            if (events_.size() == kMaxKeptAnswers) {
                events_.erase(events_.begin());
            }
            events_.push_back(word);
        }
    }
    return true;
}

WireResult<void> NetSerialPort::ask(uint8_t code, const std::vector<uint8_t>& value) {
    const uint8_t reply = code + kServerReply;
    std::erase_if(events_, [&](const TelnetEvent& word) { return word.code == reply; });
    return send(ComPortCommand(code, value));
}

WireResult<std::vector<uint8_t>> NetSerialPort::answer(uint8_t code, Deadline deadline) {
    const uint8_t reply = code + kServerReply;
    for (;;) {
        const auto found =
            std::find_if(events_.begin(), events_.end(),
                         [&](const TelnetEvent& word) { return word.code == reply; });
        if (found != events_.end()) {
            const TelnetEvent word = *found;
            events_.erase(found);
            if (code == kPurgeData) {
                // What the line gave before the purge is gone in the server: here too.
                dataRead_ = std::max(dataRead_, std::min(word.dataBefore, data_.size()));
            }
            return word.value;
        }
        auto got = receive(deadline);
        if (!got) {
            return got.error();
        }
        if (!*got) {
            return WireError{WireErrorCode::Timeout,
                             "the server at " + address_.place() + " did not confirm " +
                                 CommandName(code) + " within " +
                                 std::to_string(times_.answer.count()) + " ms"};
        }
    }
}

WireResult<std::vector<uint8_t>> NetSerialPort::command(uint8_t code, std::vector<uint8_t> value) {
    if (auto asked = ask(code, value); !asked) {
        return asked.error();
    }
    return answer(code, Clock::now() + times_.answer);
}

WireResult<int> NetSerialPort::setFormat(uint32_t baud, int dataBits) {
    if (fd_ < 0) {
        return notOpen();
    }
    if (dataBits < 5 || dataBits > 8) {
        return WireError{WireErrorCode::Unsupported,
                         name_ + ": no character of " + std::to_string(dataBits) + " data bits"};
    }
    if (!address_.rfc2217) {
        if (baud == kRawBaud && dataBits == 8) {
            return 8;
        }
        return WireError{WireErrorCode::Unsupported,
                         name_ +
                             " carries the line at the server's fixed rate (9600 baud, 8 data "
                             "bits): " +
                             std::to_string(baud) + " baud with " + std::to_string(dataBits) +
                             " data bits needs rfc2217://" + address_.place()};
    }
    // Both in one round trip: the passive adapter changes both before and after every reset.
    if (auto asked = ask(kSetBaudRate, BigEndian(baud)); !asked) {
        return asked.error();
    }
    if (auto asked = ask(kSetDataSize, {static_cast<uint8_t>(dataBits)}); !asked) {
        return asked.error();
    }
    const auto deadline = Clock::now() + times_.answer;
    auto rate = answer(kSetBaudRate, deadline);
    if (!rate) {
        return rate.error();
    }
    if (*rate != BigEndian(baud)) {
        return WireError{
            WireErrorCode::Unsupported,
            "the server at " + address_.place() + " did not take the rate " + std::to_string(baud)};
    }
    auto size = answer(kSetDataSize, deadline);
    if (!size) {
        return size.error();
    }
    if (size->size() != 1 || (*size)[0] < dataBits || (*size)[0] > 8) {
        return WireError{WireErrorCode::Unsupported, "the server at " + address_.place() +
                                                         " did not take " +
                                                         std::to_string(dataBits) + " data bits"};
    }
    return static_cast<int>((*size)[0]);
}

WireResult<void> NetSerialPort::write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) {
        return notOpen();
    }
    TraceAdapterBytes(AdapterDirection::Sent, bytes);
    sentSinceConnect_ = true;
    if (!address_.rfc2217) {
        return send(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    std::vector<uint8_t> escaped;
    escaped.reserve(bytes.size() + 8);
    AppendTelnetData(bytes, escaped);
    return send(escaped);
}

WireResult<size_t> NetSerialPort::read(std::span<uint8_t> into, std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return notOpen();
    }
    const auto deadline = Clock::now() + timeout;
    size_t got = 0;
    for (;;) {
        const size_t take = std::min(into.size() - got, data_.size() - dataRead_);
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(dataRead_), take,
                    into.begin() + static_cast<std::ptrdiff_t>(got));
        got += take;
        dataRead_ += take;
        if (dataRead_ == data_.size()) {
            data_.clear();
            dataRead_ = 0;
            for (TelnetEvent& word : events_) {
                word.dataBefore = 0;
            }
        }
        if (got == into.size()) {
            break;
        }
        auto more = receive(deadline);
        if (!more) {
            return more.error();
        }
        if (!*more) {
            break;
        }
    }
    TraceAdapterBytes(AdapterDirection::Received, into.first(got));
    return got;
}

WireResult<void> NetSerialPort::drain() {
    // Everything written is with the server, which writes it to the line before it acts on a
    // command that follows it in the stream.
    return fd_ < 0 ? WireResult<void>(notOpen()) : WireResult<void>();
}

WireResult<void> NetSerialPort::flushInput() {
    if (fd_ < 0) {
        return notOpen();
    }
    dataRead_ = data_.size();
    if (!address_.rfc2217) {
        // Whatever has arrived by now goes; what is still on its way cannot be told apart.
        for (;;) {
            auto more = receive(Clock::now());
            if (!more) {
                return more.error();
            }
            if (!*more) {
                break;
            }
            dataRead_ = data_.size();
        }
        return {};
    }
    auto purged = command(kPurgeData, {kPurgeReceived});
    if (!purged) {
        return purged.error();
    }
    return {};
}

WireResult<void> NetSerialPort::sendBreak(std::chrono::milliseconds length) {
    if (fd_ < 0) {
        return notOpen();
    }
    if (!address_.rfc2217) {
        if (!sentSinceConnect_) {
            return {};
        }
        close();
        return open();
    }
    if (auto on = command(kSetControl, {kBreakOn}); !on) {
        return on.error();
    }
    std::this_thread::sleep_for(length);
    if (auto off = command(kSetControl, {kBreakOff}); !off) {
        return off.error();
    }
    return {};
}

void NetSerialPort::idle(std::chrono::microseconds length) {
    std::this_thread::sleep_for(length);
}

}  // namespace velgrin::net_serial
