#pragma once

#include <string>

#include "cli/doctor/doctor_report.h"
#include "cli/doctor/system_tree.h"
#include "cli/doctor/user_access.h"

namespace velgrin::cli::doctor {

// "group dialout, mode 0660".
std::string NodeText(const NodeInfo& node, const UserAccess& user);

// The device node of a port that the kernel lists is not in /dev.
Problem MissingNode(const std::string& path, const std::string& subsystem);

// The user may not read and write the node. The fix joins the node's group when that group may
// use it; otherwise it hands the node to `usualGroup` and joins that.
Problem NoAccess(const std::string& path, const NodeInfo& node, const UserAccess& user,
                 const std::string& usualGroup);

}  // namespace velgrin::cli::doctor
