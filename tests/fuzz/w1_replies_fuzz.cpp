// A kernel, or an impostor on the connector, answering anything: the w1 link refuses what does
// not add up and never reads out of bounds. The master list is answered properly so that the
// fuzzer's packets reach the bus operations; each of them is a 16-bit length and that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "wire/network.h"
#include "wire/w1/w1_codes.h"
#include "wire/w1/w1_link.h"

namespace {

using namespace velgrin;

class ReplyStream final : public w1::NetlinkTransport {
  public:
    ReplyStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    WireResult<void> open() override {
        open_ = true;
        return {};
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    uint32_t portId() const override { return 1; }
    WireResult<void> send(std::span<const uint8_t> packet) override {
        lastSeq_ = 0;
        if (packet.size() >= w1::kNetlinkHeaderSize + 12) {
            std::memcpy(&lastSeq_, packet.data() + w1::kNetlinkHeaderSize + 8, sizeof lastSeq_);
        }
        return {};
    }
    WireResult<std::vector<uint8_t>> receive(std::chrono::milliseconds) override {
        if (!listed_) {
            listed_ = true;
            return MasterList();
        }
        if (used_ + 2 > size_) {
            return WireError{WireErrorCode::Timeout, "no more replies"};
        }
        size_t length = data_[used_] | static_cast<size_t>(data_[used_ + 1]) << 8;
        used_ += 2;
        length = std::min(length, size_ - used_);
        std::vector<uint8_t> packet(data_ + used_, data_ + used_ + length);
        used_ += length;
        return packet;
    }

  private:
    template <typename T>
    static void Put(std::vector<uint8_t>& out, T value) {
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        out.insert(out.end(), bytes, bytes + sizeof(T));
    }
    std::vector<uint8_t> MasterList() const {
        std::vector<uint8_t> packet;
        Put<uint32_t>(packet, 16 + 20 + 12 + 4);
        Put<uint16_t>(packet, w1::kNetlinkDone);
        Put<uint16_t>(packet, 0);
        Put<uint32_t>(packet, 0);
        Put<uint32_t>(packet, 0);
        Put<uint32_t>(packet, w1::kConnectorIdx);
        Put<uint32_t>(packet, w1::kConnectorVal);
        Put<uint32_t>(packet, lastSeq_);
        Put<uint32_t>(packet, lastSeq_ + 1);
        Put<uint16_t>(packet, 12 + 4);
        Put<uint16_t>(packet, 0);
        packet.push_back(w1::message_type::kListMasters);
        packet.push_back(0);
        Put<uint16_t>(packet, 4);
        Put<uint32_t>(packet, 0);
        Put<uint32_t>(packet, 0);
        Put<uint32_t>(packet, 1);
        return packet;
    }

    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
    uint32_t lastSeq_ = 0;
    bool open_ = false;
    bool listed_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)w1::DecodeReply(std::span<const uint8_t>(data, size));
    w1::W1Options options;
    options.lockDirectory = "/tmp";
    w1::W1Link link(std::make_unique<ReplyStream>(data, size), 1, options);
    if (!link.open()) {
        return 0;
    }
    (void)link.reset();
    std::vector<uint8_t> block{0x55, 0x28, 1, 2, 3, 4, 5, 6, 0x9A, 0xBE, 0xFF, 0xFF};
    (void)link.touchBlock(block);
    Network network(link);
    SearchState state;
    for (auto more = network.first(state); more && *more; more = network.next(state)) {
    }
    return 0;
}
