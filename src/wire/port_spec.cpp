#include "wire/port_spec.h"

namespace velgrin {

WireResult<PortSpec> ParsePortSpec(std::string_view text) {
    if (text.empty()) {
        return WireError{WireErrorCode::BadPortSpec, "the port is empty; try --port sim"};
    }
    PortSpec spec;
    const auto colon = text.find(':');
    spec.kind = std::string(text.substr(0, colon));
    if (colon != std::string_view::npos) {
        spec.argument = std::string(text.substr(colon + 1));
        if (spec.argument.empty()) {
            return WireError{WireErrorCode::BadPortSpec,
                             "port '" + std::string(text) + "': nothing follows the colon"};
        }
    }
    if (spec.kind.empty()) {
        return WireError{WireErrorCode::BadPortSpec,
                         "port '" + std::string(text) + "': the kind before the colon is missing"};
    }
    return spec;
}

}  // namespace velgrin
