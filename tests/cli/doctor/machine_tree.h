#pragma once

#include <sys/types.h>

#include <string>

namespace velgrin::cli::doctor::testing {

// A machine's /dev, /sys, /proc and /etc in a temporary folder, removed with the object. Device
// nodes are plain files with the mode asked for; they belong to the test's own user and group,
// which /etc/group names as the test wishes.
class MachineTree {
  public:
    MachineTree();
    // Over a folder someone else owns and removes (umockdev's testbed).
    explicit MachineTree(std::string root) : root_(std::move(root)), owned_(false) {}
    ~MachineTree();
    MachineTree(const MachineTree&) = delete;
    MachineTree& operator=(const MachineTree&) = delete;

    const std::string& root() const { return root_; }
    void file(const std::string& path, const std::string& text) const;
    void node(const std::string& path, mode_t mode) const;
    void link(const std::string& path, const std::string& target) const;
    void folder(const std::string& path) const;
    void remove(const std::string& path) const;

    // The user the doctor sees: never the owner of the nodes; in the nodes' group when
    // `inNodeGroup`. /etc/group names the nodes' group `groupName`, listing the user as a
    // member when `listed`.
    void user(const std::string& groupName, bool inNodeGroup, bool listed) const;

  private:
    std::string root_;
    bool owned_ = true;
};

}  // namespace velgrin::cli::doctor::testing
