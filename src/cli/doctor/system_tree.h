#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velgrin::cli::doctor {

// Owner and mode of a file or device node.
struct NodeInfo {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    bool charDevice = false;
    dev_t rdev = 0;
};

// The machine's /dev, /sys, /proc and /etc as seen under a root folder ("/" for this machine, a
// fixture tree in tests). Every path given is absolute within that root. Reads are bounded: an
// attribute or a configuration file larger than the limit counts as unreadable.
class SystemTree {
  public:
    explicit SystemTree(std::string root);

    const std::string& root() const { return root_; }
    bool isRealMachine() const { return root_ == "/"; }
    // The path as the process opens it.
    std::string hostPath(const std::string& path) const;

    bool exists(const std::string& path) const;
    // The whole file, at most `maxBytes`; none when missing, unreadable or larger.
    std::optional<std::string> read(const std::string& path, size_t maxBytes = 64 * 1024) const;
    // The first line, trailing blanks cut.
    std::optional<std::string> readLine(const std::string& path) const;
    // Entry names of a folder in name order (numbers compared as numbers), at most `maxEntries`.
    std::vector<std::string> list(const std::string& path, size_t maxEntries = 4096) const;
    // The last part of a symbolic link's target ("ftdi_sio" for .../drivers/ftdi_sio).
    std::optional<std::string> linkName(const std::string& path) const;
    std::optional<NodeInfo> node(const std::string& path) const;

  private:
    std::string root_;
};

}  // namespace velgrin::cli::doctor
