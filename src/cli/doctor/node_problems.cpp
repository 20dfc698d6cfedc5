#include "cli/doctor/node_problems.h"

namespace velgrin::cli::doctor {

namespace {

std::string ModeText(mode_t mode) {
    std::string text = "0";
    for (int shift : {6, 3, 0}) {
        text += static_cast<char>('0' + ((mode >> shift) & 7));
    }
    return text;
}

std::string GroupName(const NodeInfo& node, const UserAccess& user) {
    const auto entry = user.group(node.gid);
    return entry ? entry->name : std::to_string(node.gid);
}

}  // namespace

std::string NodeText(const NodeInfo& node, const UserAccess& user) {
    return "group " + GroupName(node, user) + ", mode " + ModeText(node.mode);
}

Problem MissingNode(const std::string& path, const std::string& subsystem) {
    return {
        "the kernel has the port but " + path + " is missing",
        "sudo udevadm trigger --subsystem-match=" + subsystem + ", or plug the adapter in again"};
}

Problem NoAccess(const std::string& path, const NodeInfo& node, const UserAccess& user,
                 const std::string& usualGroup) {
    const std::string what = "this user may not open " + path + " (" + NodeText(node, user) + ")";
    if (auto fix = user.groupFix(node)) {
        return {what, *fix};
    }
    std::string fix = "sudo chgrp " + usualGroup + " " + path + " && sudo chmod 0660 " + path;
    if (const std::string join = user.joinFix(usualGroup); !join.empty()) {
        fix += "; then " + join;
    }
    return {what, fix};
}

}  // namespace velgrin::cli::doctor
