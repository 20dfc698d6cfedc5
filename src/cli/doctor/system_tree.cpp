#include "cli/doctor/system_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

#include "wire/ds2480b/system_serial_ports.h"

namespace velgrin::cli::doctor {

SystemTree::SystemTree(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') {
        root_.pop_back();
    }
    if (root_.empty()) {
        root_ = "/";
    }
}

std::string SystemTree::hostPath(const std::string& path) const {
    return isRealMachine() ? path : root_ + path;
}

bool SystemTree::exists(const std::string& path) const {
    struct stat info {};
    return ::lstat(hostPath(path).c_str(), &info) == 0;
}

std::optional<std::string> SystemTree::read(const std::string& path, size_t maxBytes) const {
    // Non-blocking: a FIFO or a device must not hold the doctor up.
    const int fd = ::open(hostPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string text;
    std::array<char, 4096> buffer{};
    while (true) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer.data(), static_cast<size_t>(got));
        if (text.size() > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return text;
}

std::optional<std::string> SystemTree::readLine(const std::string& path) const {
    auto text = read(path, 4096);
    if (!text) {
        return std::nullopt;
    }
    std::string line = text->substr(0, text->find('\n'));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0) {
        line.pop_back();
    }
    return line;
}

std::vector<std::string> SystemTree::list(const std::string& path, size_t maxEntries) const {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(hostPath(path).c_str()), ::closedir);
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (names.size() == maxEntries) {
            break;
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), ds2480b::PortNameLess);
    return names;
}

std::optional<std::string> SystemTree::linkName(const std::string& path) const {
    std::array<char, 4096> target{};
    const ssize_t length = ::readlink(hostPath(path).c_str(), target.data(), target.size() - 1);
    if (length <= 0) {
        return std::nullopt;
    }
    std::string text(target.data(), static_cast<size_t>(length));
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text.substr(text.rfind('/') + 1);
}

std::optional<NodeInfo> SystemTree::node(const std::string& path) const {
    struct stat info {};
    if (::stat(hostPath(path).c_str(), &info) != 0) {
        return std::nullopt;
    }
    return NodeInfo{info.st_uid, info.st_gid, info.st_mode, S_ISCHR(info.st_mode), info.st_rdev};
}

}  // namespace velgrin::cli::doctor
