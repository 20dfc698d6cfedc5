#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace velgrin::net_serial::testing {

// A TCP server on 127.0.0.1 that is no port server: it takes each connection and does one thing
// with it, until the object goes.
class OneShotServer {
  public:
    enum class Manner {
        Silent,        // says nothing at all
        PlainBytes,    // answers with text, no telnet
        ClosesOnData,  // agrees to RFC 2217 and confirms its commands, then hangs up on data
    };

    explicit OneShotServer(Manner manner);
    ~OneShotServer();
    OneShotServer(const OneShotServer&) = delete;
    OneShotServer& operator=(const OneShotServer&) = delete;

    uint16_t port() const { return port_; }

  private:
    void serve();
    void talk(int client);

    Manner manner_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> ending_{false};
    std::thread thread_;
};

}  // namespace velgrin::net_serial::testing
