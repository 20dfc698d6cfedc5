#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace velgrin::net_serial::testing {

// Debian's ser2net sharing the serial device `device` on 127.0.0.1, with RFC 2217 or raw, for as
// long as the object lives: a free port, its configuration in a temporary folder, ended at the
// end. Throws, with what ser2net said, when it does not come up.
class Ser2netServer {
  public:
    Ser2netServer(const std::string& device, bool rfc2217);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    uint16_t port() const { return port_; }
    // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
    std::string address() const;

  private:
    bool start(const std::string& device);
    void stop();

    bool rfc2217_;
    std::string directory_;
    pid_t pid_ = 0;
    uint16_t port_ = 0;
};

// A port on 127.0.0.1 that nobody listens on at the moment.
uint16_t FreeLoopbackPort();

}  // namespace velgrin::net_serial::testing
