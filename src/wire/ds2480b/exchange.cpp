#include "wire/ds2480b/exchange.h"

#include <algorithm>

namespace velgrin::ds2480b {

namespace {

// Longest bus work of one answered byte: a reset, or a search byte's twelve slots, with room.
constexpr std::chrono::microseconds kLongestByteOnBus{2000};

}  // namespace

std::chrono::microseconds CharacterTime(uint32_t baud) {
    return std::chrono::microseconds((10'000'000 + baud - 1) / baud);
}

bool NeedsPacing(uint32_t baud) {
    return baud > 9600;
}

WireResult<std::vector<uint8_t>> Exchange(SerialPort& port, const Frame& frame, uint32_t baud,
                                          std::chrono::milliseconds margin, LinkStats& stats) {
    const auto bytes = frame.bytes();
    std::vector<size_t> answeredAt;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (frame.answered(i)) {
            answeredAt.push_back(i);
        }
    }
    std::vector<uint8_t> replies(answeredAt.size());
    const bool paced = NeedsPacing(baud);
    const auto perReply = 2 * CharacterTime(baud) + kLongestByteOnBus;

    size_t sent = 0;
    size_t received = 0;
    bool wroteSinceRead = false;
    while (sent < bytes.size() || received < replies.size()) {
        size_t limit = bytes.size();
        if (paced && received < replies.size()) {
            // The adapter works on the first unanswered byte and may hold one more.
            limit = std::min(limit, answeredAt[received] + 2);
        }
        if (sent < limit) {
            auto written = port.write(bytes.subspan(sent, limit - sent));
            if (!written) {
                return written.error();
            }
            stats.bytesSent += limit - sent;
            sent = limit;
            wroteSinceRead = true;
            continue;
        }
        const auto due = static_cast<size_t>(
            std::upper_bound(answeredAt.begin(), answeredAt.end(), sent - 1) - answeredAt.begin());
        const size_t wanted = paced ? 1 : due - received;
        const auto timeout =
            margin + std::chrono::ceil<std::chrono::milliseconds>(perReply * wanted);
        if (wroteSinceRead) {
            ++stats.roundTrips;
            wroteSinceRead = false;
        }
        auto got = port.read(std::span(replies).subspan(received, wanted), timeout);
        if (!got) {
            return got.error();
        }
        stats.bytesReceived += *got;
        received += *got;
        if (*got < wanted) {
            return WireError{WireErrorCode::Timeout,
                             "the DS2480B adapter on " + port.name() + " did not answer (" +
                                 std::to_string(received) + " of " +
                                 std::to_string(replies.size()) + " replies)"};
        }
    }
    return replies;
}

}  // namespace velgrin::ds2480b
