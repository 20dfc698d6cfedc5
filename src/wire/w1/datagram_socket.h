#pragma once

#include <memory>
#include <string>

#include "wire/w1/netlink_transport.h"

namespace velgrin::w1 {

// w1 packets over a Unix datagram socket to a stand-in for the kernel (the kernel model's
// program), so that whole programs can be run against it. Chosen by the environment variable
// VELGRIN_W1_SOCKET, which only tests set.
class DatagramSocket final : public NetlinkTransport {
  public:
    explicit DatagramSocket(std::string serverPath) : serverPath_(std::move(serverPath)) {}
    ~DatagramSocket() override { close(); }
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    uint32_t portId() const override { return 0; }
    WireResult<void> send(std::span<const uint8_t> packet) override;
    WireResult<std::vector<uint8_t>> receive(std::chrono::milliseconds within) override;

  private:
    std::string serverPath_;
    int fd_ = -1;
};

// The transport the w1 backend uses: the kernel's connector socket, or the stand-in that
// VELGRIN_W1_SOCKET names.
std::unique_ptr<NetlinkTransport> KernelTransport();

}  // namespace velgrin::w1
