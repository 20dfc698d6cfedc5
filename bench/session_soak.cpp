// Runs many poll cycles over one simulated bench and reports whether anything grows: open file
// descriptors and resident memory before and after.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench_support.h"

namespace {

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count - 3;  // ".", ".." and the directory's own descriptor
}

long StatusKb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const long cycles = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    velgrin::bench::ScanRig rig(3);
    rig.core.ScanSessionAndSearch();
    const int fdsBefore = OpenDescriptors();
    const long rssBefore = StatusKb("VmRSS");
    for (long i = 0; i < cycles; ++i) {
        if (rig.core.ScanSessionAndSearch().result != 1 || rig.core.FoundDev != 3) {
            std::fprintf(stderr, "cycle %ld failed\n", i);
            return 1;
        }
    }
    const int fdsAfter = OpenDescriptors();
    const long rssAfter = StatusKb("VmRSS");
    std::printf("cycles: %ld, last session handle: %d\n", cycles, rig.core.SHandle);
    std::printf("open descriptors: %d before, %d after\n", fdsBefore, fdsAfter);
    std::printf("resident memory: %ld kB before, %ld kB after (peak %ld kB)\n", rssBefore, rssAfter,
                StatusKb("VmHWM"));
    return fdsAfter == fdsBefore ? 0 : 1;
}
