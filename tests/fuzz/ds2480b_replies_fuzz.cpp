// An adapter on a bad line or an impostor on the serial port: whatever bytes come back, the
// DS2480B link and the search above it refuse or resynchronise, and never read out of bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "wire/ds2480b/ds2480b_link.h"
#include "wire/ds2480b/serial_port.h"
#include "wire/network.h"

namespace {

using namespace velgrin;

// Takes every write; each read hands out the next bytes of the fuzzer's input, then nothing.
class ReplyStreamPort final : public ds2480b::SerialPort {
  public:
    ReplyStreamPort(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    WireResult<void> open() override {
        open_ = true;
        return {};
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    WireResult<int> setFormat(uint32_t, int dataBits) override { return dataBits; }
    WireResult<void> write(std::span<const uint8_t>) override { return {}; }
    WireResult<size_t> read(std::span<uint8_t> into, std::chrono::milliseconds) override {
        const size_t count = std::min(into.size(), size_ - used_);
        std::copy_n(data_ + used_, count, into.begin());
        used_ += count;
        return count;
    }
    WireResult<void> drain() override { return {}; }
    WireResult<void> flushInput() override { return {}; }
    WireResult<void> sendBreak(std::chrono::milliseconds) override { return {}; }
    void idle(std::chrono::microseconds) override {}
    const std::string& name() const override { return name_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
    bool open_ = false;
    std::string name_ = "/dev/ttyFUZZ";
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ds2480b::Ds2480bOptions options;
    options.replyMargin = std::chrono::milliseconds(0);
    options.syncAttempts = 1;
    ds2480b::Ds2480bLink link(std::make_unique<ReplyStreamPort>(data, size), options);
    if (!link.open()) {
        return 0;
    }
    (void)link.reset();
    (void)link.touchByte(0xCC);
    uint8_t block[9] = {0xBE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    (void)link.touchBlock(block);
    (void)link.armStrongPullup(PullupTrigger::AfterNextByte);
    (void)link.touchByte(0x44);
    (void)link.setNormalLevel();
    Network network(link);
    SearchState state;
    auto found = network.first(state);
    for (int devices = 0; found && *found && devices < 100; ++devices) {
        found = network.next(state);
    }
    return 0;
}
