#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wire/wire_error.h"

namespace velgrin::ds2480b {

// The emulator's side of a pseudo-terminal. Clients open the other side as a serial port. No
// break crosses a pseudo-terminal, so the endpoint watches the other side being opened and
// closed instead; it also reads the rate a client has set there.
class PtyEndpoint {
  public:
    // `linkPath` names a symbolic link kept pointing at the current terminal, so that clients
    // find the port again after an unplug and a replug.
    static WireResult<std::unique_ptr<PtyEndpoint>> Create(std::optional<std::string> linkPath);
    ~PtyEndpoint();

    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // The path clients open: the link when there is one, else the terminal.
    std::string clientPath() const { return link_ ? *link_ : terminal_; }
    const std::string& terminalPath() const { return terminal_; }
    bool plugged() const { return master_ >= 0; }
    int masterFd() const { return master_; }
    int watchFd() const { return inotify_; }
    bool clientPresent() const { return clients_ > 0; }

    enum class Change { FirstOpened, LastClosed };
    // Drains the open and close notifications; the moments a client line came up (the
    // emulator's break) and went down, in order.
    std::vector<Change> takeChanges();

    // The rate set on the client's side (9600 when it is not one of the usual rates).
    uint32_t clientBaud() const;
    // The data bits per character set on the client's side (8 when it cannot be read).
    int clientDataBits() const;
    // What clients wrote, without waiting; 0 when nothing is there.
    size_t read(std::span<uint8_t> into);
    // Gives bytes to the clients; dropped when nobody is there to read them.
    void write(std::span<const uint8_t> bytes);
    // Forgets what clients wrote and nobody has read yet.
    void discardInput();

    // The adapter is pulled: clients see a hang-up and the terminal disappears.
    void unplug();
    // A new terminal, behind the same link.
    WireResult<void> replug();

  private:
    PtyEndpoint(int inotify, std::optional<std::string> link);
    WireResult<void> openTerminal();

    int inotify_ = -1;
    int watch_ = -1;
    int master_ = -1;
    int clients_ = 0;
    std::string terminal_;
    std::optional<std::string> link_;
};

}  // namespace velgrin::ds2480b
