#include "cli/doctor/user_access.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>

namespace velgrin::cli::doctor {

namespace {

std::optional<unsigned> Number(const std::string& text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// "a:b:" gives "a", "b" and ""; an empty text nothing.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// The numbers after "Name:" in /proc/self/status, blank separated.
std::vector<unsigned> StatusNumbers(const std::string& status, const std::string& name) {
    std::vector<unsigned> numbers;
    for (const std::string& line : Split(status, '\n')) {
        if (line.rfind(name + ":", 0) != 0) {
            continue;
        }
        std::string words = line.substr(name.size() + 1);
        std::replace(words.begin(), words.end(), '\t', ' ');
        for (const std::string& word : Split(words, ' ')) {
            if (auto n = Number(word)) {
                numbers.push_back(*n);
            }
        }
    }
    return numbers;
}

}  // namespace

UserAccess::UserAccess(const SystemTree& tree) : tree_(tree) {
    const std::string status = tree.read("/proc/self/status").value_or("");
    const auto uids = StatusNumbers(status, "Uid");
    const auto gids = StatusNumbers(status, "Gid");
    identity_.uid = uids.empty() ? ::getuid() : uids.front();
    identity_.gid = gids.empty() ? ::getgid() : gids.front();
    for (unsigned g : StatusNumbers(status, "Groups")) {
        identity_.groups.push_back(g);
    }
    for (const std::string& line : Split(tree.read("/etc/passwd").value_or(""), '\n')) {
        const auto fields = Split(line, ':');
        if (fields.size() >= 3 && Number(fields[2]) == identity_.uid) {
            userName_ = fields[0];
            break;
        }
    }
    for (const std::string& line : Split(tree.read("/etc/group").value_or(""), '\n')) {
        const auto fields = Split(line, ':');
        if (fields.size() < 3) {
            continue;
        }
        const auto gid = Number(fields[2]);
        if (!gid) {
            continue;
        }
        GroupEntry entry{fields[0], *gid, {}};
        if (fields.size() >= 4 && !fields[3].empty()) {
            entry.members = Split(fields[3], ',');
        }
        groups_.push_back(std::move(entry));
    }
}

std::optional<GroupEntry> UserAccess::group(gid_t gid) const {
    for (const GroupEntry& entry : groups_) {
        if (entry.gid == gid) {
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<GroupEntry> UserAccess::group(const std::string& name) const {
    for (const GroupEntry& entry : groups_) {
        if (entry.name == name) {
            return entry;
        }
    }
    return std::nullopt;
}

bool UserAccess::sessionHas(gid_t gid) const {
    return identity_.gid == gid || std::find(identity_.groups.begin(), identity_.groups.end(),
                                             gid) != identity_.groups.end();
}

bool UserAccess::listedIn(const GroupEntry& group) const {
    return !userName_.empty() &&
           std::find(group.members.begin(), group.members.end(), userName_) != group.members.end();
}

bool UserAccess::mayUse(const std::string& path, const NodeInfo& node) const {
    if (identity_.uid == 0) {
        return true;
    }
    bool granted = false;
    if (node.uid == identity_.uid) {
        granted = (node.mode & 0600) == 0600;
    } else if (sessionHas(node.gid)) {
        granted = (node.mode & 0060) == 0060;
    } else {
        granted = (node.mode & 0006) == 0006;
    }
    if (!granted && tree_.isRealMachine()) {
        granted = ::access(path.c_str(), R_OK | W_OK) == 0;
    }
    return granted;
}

std::string UserAccess::joinFix(const std::string& groupName) const {
    const auto entry = group(groupName);
    if (entry && sessionHas(entry->gid)) {
        return "";
    }
    if (entry && listedIn(*entry)) {
        return "log out and in again: you joined the group " + groupName +
               " after this session began";
    }
    return "sudo usermod -aG " + groupName + " $USER, then log out and in again";
}

std::optional<std::string> UserAccess::groupFix(const NodeInfo& node) const {
    if ((node.mode & 0060) != 0060) {
        return std::nullopt;
    }
    const auto entry = group(node.gid);
    if (!entry || entry->name == "root") {
        return std::nullopt;
    }
    const std::string fix = joinFix(entry->name);
    if (fix.empty()) {
        return std::nullopt;
    }
    return fix;
}

}  // namespace velgrin::cli::doctor
