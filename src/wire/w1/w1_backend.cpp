#include "wire/w1/w1_backend.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "wire/w1/datagram_socket.h"

namespace velgrin::w1 {

namespace {

// The N of w1_bus_masterN; none for "w1" alone.
WireResult<std::optional<uint32_t>> MasterOf(const PortSpec& spec) {
    if (spec.argument.empty()) {
        return std::optional<uint32_t>{};
    }
    uint32_t id = 0;
    const char* begin = spec.argument.data();
    const char* end = begin + spec.argument.size();
    const auto parsed = std::from_chars(begin, end, id);
    if (spec.argument.size() > 9 || parsed.ec != std::errc{} || parsed.ptr != end) {
        return WireError{
            WireErrorCode::BadPortSpec,
            "\"" + spec.argument + "\" is no master number: w1:N names w1_bus_masterN (w1:1)"};
    }
    return std::optional<uint32_t>{id};
}

}  // namespace

PortBackend W1Backend(W1Options options,
                      std::function<std::unique_ptr<NetlinkTransport>()> makeTransport) {
    if (!makeTransport) {
        makeTransport = KernelTransport;
        // A stand-in kernel is a bus of its own: its masters' locks live beside its socket, so
        // they never meet the machine's masters' or another stand-in's.
        if (const char* standIn = ::getenv("VELGRIN_W1_SOCKET"); standIn != nullptr && *standIn) {
            const auto folder = std::filesystem::path(standIn).parent_path();
            options.lockDirectory = folder.empty() ? "." : folder.string();
        }
    }
    PortBackend backend;
    backend.kind = "w1";
    backend.description =
        "a 1-Wire master of the Linux kernel (w1-gpio on a Raspberry Pi, ds2490, ds2482): "
        "w1 for the only one, w1:N for w1_bus_masterN";
    backend.portType = kKernelW1PortType;
    backend.check = [](const PortSpec& spec) -> WireResult<void> {
        auto master = MasterOf(spec);
        if (!master) {
            return master.error();
        }
        return {};
    };
    backend.makeLink = [options,
                        makeTransport](const PortSpec& spec) -> WireResult<std::unique_ptr<Link>> {
        auto master = MasterOf(spec);
        if (!master) {
            return master.error();
        }
        return std::unique_ptr<Link>(std::make_unique<W1Link>(makeTransport(), *master, options));
    };
    return backend;
}

}  // namespace velgrin::w1
