#include "emu/preload_library.h"

#include <dlfcn.h>
#include <errno.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace velgrin::emu {

std::string PreloadLibrary() {
    const char* chosen = std::getenv("VELGRIN_EMU_PRELOAD");
    return chosen != nullptr && *chosen != '\0' ? chosen : "libumockdev-preload.so.0";
}

Result<void, std::string> CheckPreloadLoads(const std::string& library) {
    const pid_t child = fork();
    if (child < 0) {
        return std::string("cannot start a process to look for ") + library;
    }
    if (child == 0) {
        _exit(dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL) != nullptr ? 0 : 1);
    }
    int status = 0;
    pid_t waited = -1;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return {};
    }
    return "the USB and I2C kinds need umockdev's preload library " + library +
           ", which the dynamic loader cannot load: install the package umockdev";
}

std::vector<std::string> PreloadSettings(const std::string& library, const std::string& rootDir) {
    std::string preload = library;
    if (const char* others = std::getenv("LD_PRELOAD"); others != nullptr && *others != '\0') {
        preload += std::string(":") + others;
    }
    return {"LD_PRELOAD=" + preload, "UMOCKDEV_DIR=" + rootDir};
}

}  // namespace velgrin::emu
