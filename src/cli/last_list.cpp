#include "cli/last_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace velgrin::cli {

namespace {

std::optional<std::string> AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::string(value);
}

// Makes the folder and any missing parents, private to the user as the cache's base wants it.
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

std::string Failure(const std::string& path, const char* what) {
    return "could not keep the listed ROMs for completion in " + path + ": " + what;
}

}  // namespace

std::optional<std::string> LastListPath() {
    if (auto cache = AbsoluteVariable("XDG_CACHE_HOME")) {
        return *cache + "/velgrin/last-list";
    }
    if (auto home = AbsoluteVariable("HOME")) {
        return *home + "/.cache/velgrin/last-list";
    }
    return std::nullopt;
}

Result<void, std::string> KeepLastList(const std::vector<std::string>& roms) {
    const auto path = LastListPath();
    if (!path) {
        return std::string("could not keep the listed ROMs for completion: no HOME");
    }
    std::string text;
    for (const std::string& rom : roms) {
        text += rom + "\n";
    }
    if (!MakeFolders(path->substr(0, path->rfind('/')))) {
        return Failure(*path, std::strerror(errno));
    }
    std::string temporary = *path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return Failure(*path, std::strerror(errno));
    }
    const ssize_t count = write(fd, text.data(), text.size());
    int error = count < 0 ? errno : ENOSPC;
    bool done = count == static_cast<ssize_t>(text.size());
    if (close(fd) != 0 && done) {
        error = errno;
        done = false;
    }
    if (done && std::rename(temporary.c_str(), path->c_str()) != 0) {
        error = errno;
        done = false;
    }
    if (!done) {
        std::remove(temporary.c_str());
        return Failure(*path, std::strerror(error));
    }
    std::ifstream file(*path, std::ios::binary);
    std::ostringstream readBack;
    readBack << file.rdbuf();
    if (readBack.str() != text) {
        return Failure(*path, "it does not read back as written");
    }
    return {};
}

}  // namespace velgrin::cli
