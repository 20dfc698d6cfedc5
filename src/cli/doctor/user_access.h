#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "cli/doctor/system_tree.h"

namespace velgrin::cli::doctor {

// Who runs the doctor: the session's user and groups as the process has them.
struct Identity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // supplementary groups of this session
};

struct GroupEntry {
    std::string name;
    gid_t gid = 0;
    std::vector<std::string> members;
};

// The user and the group table of a tree: /proc/self/status, /etc/passwd and /etc/group.
class UserAccess {
  public:
    explicit UserAccess(const SystemTree& tree);

    const Identity& identity() const { return identity_; }
    const std::string& userName() const { return userName_; }
    std::optional<GroupEntry> group(gid_t gid) const;
    std::optional<GroupEntry> group(const std::string& name) const;
    // Whether this session has the group (primary or supplementary).
    bool sessionHas(gid_t gid) const;
    // Whether /etc/group lists the user in the group: a member who is not in this session yet
    // joined after logging in.
    bool listedIn(const GroupEntry& group) const;

    // Whether the user may read and write the node, by its owner, group and mode (and on this
    // machine also as the kernel decides, which counts access lists a udev rule adds).
    bool mayUse(const std::string& path, const NodeInfo& node) const;
    // The fix when the node's group grants what the user lacks: join it and log in again, or
    // only log in again; none when the group is no way in.
    std::optional<std::string> groupFix(const NodeInfo& node) const;
    // The same for a group named by the caller (dialout, i2c).
    std::string joinFix(const std::string& groupName) const;

  private:
    const SystemTree& tree_;
    Identity identity_;
    std::string userName_;
    std::vector<GroupEntry> groups_;
};

}  // namespace velgrin::cli::doctor
