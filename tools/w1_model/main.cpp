// velgrin-w1-model: the kernel's w1 netlink side with a simulated bench as master 1, served on a
// Unix datagram socket, so that velgrin and velgrin-cli can be run against it with
// VELGRIN_W1_SOCKET set to that socket. Serves until SIGINT or SIGTERM.

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "common/clock.h"
#include "w1_model/w1_kernel.h"
#include "wire/sim/bench_file.h"

namespace {

constexpr const char* kUsage =
    "usage: velgrin-w1-model --socket PATH [--bench FILE]\n"
    "  --socket PATH  serve on this Unix datagram socket (for VELGRIN_W1_SOCKET)\n"
    "  --bench FILE   the bus of w1_bus_master1 (default: the built-in demo bench)\n";

volatile std::sig_atomic_t stopping = 0;

void Stop(int) {
    stopping = 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velgrin;
    std::string socketPath;
    std::string benchFile;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if ((word == "--socket" || word == "--bench") && i + 1 < argc) {
            (word == "--socket" ? socketPath : benchFile) = argv[++i];
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        std::cerr << kUsage;
        return 2;
    }
    SteadyClock clock;
    auto bench = benchFile.empty() ? sim::MakeDemoBench(clock) : nullptr;
    if (!bench) {
        auto loaded = sim::LoadBenchFile(benchFile, clock);
        if (!loaded) {
            std::cerr << "velgrin-w1-model: " << loaded.error().message << "\n";
            return 1;
        }
        bench = *loaded;
    }
    w1::W1Kernel kernel;
    kernel.addMaster(1, bench);

    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ::unlink(socketPath.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::cerr << "velgrin-w1-model: cannot serve on " << socketPath << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    std::signal(SIGINT, Stop);
    std::signal(SIGTERM, Stop);
    std::cout << socketPath << std::endl;

    // Each client's address gets a port of its own, as the kernel gives each socket one.
    std::map<std::string, uint32_t> ports;
    std::vector<uint8_t> buffer(65536);
    while (stopping == 0) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 200) <= 0) {
            continue;
        }
        sockaddr_un from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(fd, buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            continue;
        }
        const std::string key(reinterpret_cast<const char*>(&from), fromLength);
        const auto [entry, added] = ports.emplace(key, static_cast<uint32_t>(ports.size() + 1));
        kernel.handle(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)),
                      entry->second);
        auto& replies = kernel.queue(entry->second);
        for (const auto& reply : replies) {
            (void)::sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                           fromLength);
        }
        replies.clear();
    }
    ::close(fd);
    ::unlink(socketPath.c_str());
    return 0;
}
