#include "wire/port_registry.h"

namespace velgrin {

void PortRegistry::add(PortBackend backend) {
    backends_.push_back(std::move(backend));
}

const PortBackend* PortRegistry::find(const std::string& kind) const {
    for (const auto& b : backends_) {
        if (b.kind == kind) {
            return &b;
        }
    }
    return nullptr;
}

const PortBackend* PortRegistry::findByType(int16_t portType) const {
    for (const auto& b : backends_) {
        if (b.portType == portType) {
            return &b;
        }
    }
    return nullptr;
}

WireResult<PortSpec> PortRegistry::resolve(std::string_view text) const {
    auto spec = ParsePortSpec(text);
    if (!spec) {
        return spec.error();
    }
    const auto* backend = find(spec->kind);
    if (backend == nullptr) {
        std::string known;
        for (const auto& b : backends_) {
            known += (known.empty() ? "" : ", ") + b.kind;
        }
        return WireError{WireErrorCode::BadPortSpec, "port '" + std::string(text) +
                                                         "': unknown kind '" + spec->kind +
                                                         "' (known: " + known + ")"};
    }
    if (backend->check) {
        auto checked = backend->check(*spec);
        if (!checked) {
            return checked.error();
        }
    }
    return spec;
}

}  // namespace velgrin
