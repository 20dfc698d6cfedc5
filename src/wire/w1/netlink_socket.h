#pragma once

#include "wire/w1/netlink_transport.h"

namespace velgrin::w1 {

// The kernel connector socket, unicast only: no group is joined, so no privilege is needed.
class NetlinkSocket final : public NetlinkTransport {
  public:
    NetlinkSocket() = default;
    ~NetlinkSocket() override { close(); }
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    uint32_t portId() const override { return portId_; }
    WireResult<void> send(std::span<const uint8_t> packet) override;
    WireResult<std::vector<uint8_t>> receive(std::chrono::milliseconds within) override;

  private:
    int fd_ = -1;
    uint32_t portId_ = 0;
};

}  // namespace velgrin::w1
