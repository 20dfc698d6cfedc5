#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "wire/link.h"
#include "wire/port_spec.h"
#include "wire/port_types.h"

namespace velgrin {

// One adapter kind that this build can drive: how a port spec of that kind is checked and
// opened, and which driver port type it answers to.
struct PortBackend {
    std::string kind;         // the word before the colon in a port spec
    std::string description;  // for --help
    int16_t portType = 0;     // the driver's port type of this kind
    // Checks a spec of this kind without touching hardware (file exists, parses, ...).
    std::function<WireResult<void>(const PortSpec&)> check;
    // Makes the link object; opening it is the driver's business.
    std::function<WireResult<std::unique_ptr<Link>>(const PortSpec&)> makeLink;
    // Port number N of this type in manual mode (1-based), when the kind has numbered ports.
    std::function<std::optional<PortSpec>(int portNumber)> numberedPort;
    // Without --port: the port to use when exactly one adapter of this kind is attached.
    std::function<std::optional<PortSpec>()> soleAttached;
};

class PortRegistry {
  public:
    void add(PortBackend backend);
    const PortBackend* find(const std::string& kind) const;
    const PortBackend* findByType(int16_t portType) const;
    const std::vector<PortBackend>& backends() const { return backends_; }

    // Parses and checks a `--port` text; the message names the problem and where it is.
    WireResult<PortSpec> resolve(std::string_view text) const;

  private:
    std::vector<PortBackend> backends_;
};

// What a user may tune in the adapters a registry opens; unset means the backend's own default.
struct PortSettings {
    // How long a serial adapter's reply may lag behind its transfer time: USB-serial converters
    // and busy machines add latency that the baud rate does not show.
    std::optional<std::chrono::milliseconds> replyMargin;
};

// The registry with every backend of this build; simulated benches run on `clock`.
PortRegistry BuiltInPorts(const Clock& clock, const PortSettings& settings = {});

}  // namespace velgrin
