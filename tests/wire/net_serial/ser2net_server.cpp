#include "ser2net_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <vector>

#include "spawned_process.h"

namespace velgrin::net_serial::testing {

namespace {

using velgrin::testing::Spawn;
using velgrin::testing::SpawnActions;

constexpr const char* kSer2net = "/usr/sbin/ser2net";
// Startup of another program, not a protocol delay: generous for a loaded machine.
constexpr int kStartupPolls = 500;
constexpr auto kStartupPoll = std::chrono::milliseconds(10);
constexpr int kPortAttempts = 3;

// Whether something listens on 127.0.0.1:`port`, from the kernel's table: a connection to find
// out would open the device behind ser2net.
bool Listening(uint16_t port) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        // "sl local_address rem_address st ...": state 0A is LISTEN.
        if (line.find(std::string(wanted) + " 00000000:0000 0A") != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string Read(const std::string& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    if (port == 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    return port;
}

Ser2netServer::Ser2netServer(const std::string& device, bool rfc2217) : rfc2217_(rfc2217) {
    char pattern[] = "/tmp/velgrin-ser2net-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    directory_ = pattern;
    // Another test may take the free port before ser2net does: then try another.
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        if (start(device)) {
            return;
        }
    }
    const std::string said = Read(directory_ + "/ser2net.log");
    std::filesystem::remove_all(directory_);
    throw std::runtime_error("ser2net did not start listening on 127.0.0.1: " + said);
}

Ser2netServer::~Ser2netServer() {
    stop();
    std::filesystem::remove_all(directory_);
}

std::string Ser2netServer::address() const {
    return (rfc2217_ ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port_);
}

bool Ser2netServer::start(const std::string& device) {
    port_ = FreeLoopbackPort();
    const std::string config = directory_ + "/ser2net.yaml";
    std::ofstream(config) << "connection: &adapter\n"
                          << "  accepter: " << (rfc2217_ ? "telnet(rfc2217),tcp," : "tcp,")
                          << "127.0.0.1," << port_ << "\n"
                          << "  connector: serialdev," << device << ",9600n81,local\n"
                          << "  options:\n"
                          << "    chardelay: false\n";
    std::vector<std::string> words{kSer2net, "-n",   "-d", "-u",
                                   "-c",     config, "-P", directory_ + "/ser2net.pid"};
    SpawnActions actions;
    actions.open(STDOUT_FILENO, directory_ + "/ser2net.log", O_WRONLY | O_CREAT | O_APPEND, 0600)
        .dup(STDOUT_FILENO, STDERR_FILENO);
    pid_ = Spawn(std::move(words), actions);
    if (pid_ < 0) {
        pid_ = 0;
        throw std::runtime_error(std::string("cannot start ") + kSer2net +
                                 " (is Debian's ser2net installed? scripts/bootstrap installs it)");
    }
    for (int i = 0; i < kStartupPolls; ++i) {
        if (Listening(port_)) {
            return true;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = 0;
            return false;
        }
        std::this_thread::sleep_for(kStartupPoll);
    }
    stop();
    return false;
}

void Ser2netServer::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
}

}  // namespace velgrin::net_serial::testing
