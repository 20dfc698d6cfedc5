#pragma once

#include <string>
#include <string_view>

#include "wire/wire_error.h"

namespace velgrin {

// What `--port SPEC` names: a kind and what follows its colon ("sim", "sim:bench.json",
// "ds2480b:/dev/ttyUSB0"). The window and the command-line tool share this form.
struct PortSpec {
    std::string kind;
    std::string argument;

    std::string text() const { return argument.empty() ? kind : kind + ":" + argument; }
    bool operator==(const PortSpec&) const = default;
};

// Splits the text; says what is wrong with a malformed one. Whether the kind exists is the
// registry's question.
WireResult<PortSpec> ParsePortSpec(std::string_view text);

}  // namespace velgrin
