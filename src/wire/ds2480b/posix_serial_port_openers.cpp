#include "wire/ds2480b/posix_serial_port_openers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>

namespace velgrin::ds2480b {

namespace {

// A process name in /proc is at most 15 bytes; more is not read.
constexpr size_t kCommandBytes = 64;
// Enough for any real system; a /proc that lists more is not read further.
constexpr int kMaxProcesses = 1 << 16;
constexpr int kMaxDescriptorsPerProcess = 1 << 16;

using Directory = std::unique_ptr<DIR, int (*)(DIR*)>;

Directory OpenDirectory(const std::string& path) {
    return Directory(::opendir(path.c_str()), ::closedir);
}

bool IsNumber(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name))) {
            return false;
        }
    }
    return true;
}

std::string CommandOf(const std::string& processPath) {
    const int fd = ::open((processPath + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    char buffer[kCommandBytes];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    std::string command;
    for (ssize_t i = 0; i < got; ++i) {
        const auto c = static_cast<unsigned char>(buffer[i]);
        if (c == '\n') {
            break;
        }
        // The name is the program's to choose: nothing in it may reach a terminal raw.
        command += std::isprint(c) ? static_cast<char>(c) : '?';
    }
    return command;
}

bool HoldsDevice(const std::string& processPath, dev_t device) {
    const std::string descriptors = processPath + "/fd";
    const Directory folder = OpenDirectory(descriptors);
    if (!folder) {
        return false;
    }
    int seen = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
        if (++seen > kMaxDescriptorsPerProcess) {
            break;
        }
        if (!IsNumber(entry->d_name)) {
            continue;
        }
        // stat follows the descriptor's link to the device node without opening anything.
        struct stat target {};
        if (::stat((descriptors + "/" + entry->d_name).c_str(), &target) == 0 &&
            S_ISCHR(target.st_mode) && target.st_rdev == device) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<PortOpener> OtherOpeners(dev_t device, const std::string& procRoot) {
    std::vector<PortOpener> openers;
    const Directory processes = OpenDirectory(procRoot);
    if (!processes) {
        return openers;
    }
    const std::string self = std::to_string(::getpid());
    int seen = 0;
    while (const dirent* entry = ::readdir(processes.get())) {
        if (++seen > kMaxProcesses) {
            break;
        }
        if (!IsNumber(entry->d_name) || self == entry->d_name) {
            continue;
        }
        const std::string processPath = procRoot + "/" + entry->d_name;
        const char* const name = entry->d_name;
        pid_t pid = 0;
        const auto [end, error] = std::from_chars(name, name + std::strlen(name), pid);
        if (error == std::errc() && *end == '\0' && HoldsDevice(processPath, device)) {
            openers.push_back({pid, CommandOf(processPath)});
        }
    }
    return openers;
}

std::string OpenersText(const std::vector<PortOpener>& openers) {
    std::string text;
    for (const PortOpener& opener : openers) {
        text += text.empty() ? "" : ", ";
        text += (opener.command.empty() ? "a process" : opener.command) + " (PID " +
                std::to_string(opener.pid) + ")";
    }
    return text;
}

}  // namespace velgrin::ds2480b
