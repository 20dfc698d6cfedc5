#include "cli/output.h"

#include "cli/terminal_text.h"

namespace velgrin::cli {

namespace {

std::string Dump(const nlohmann::json& document, int indent) {
    return document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void Output::result(const nlohmann::json& document, const std::string& text) {
    if (json_) {
        out_ << Dump(document, 2) << '\n';
    } else {
        out_ << TerminalText(text, true);
    }
    out_.flush();
}

void Output::event(const nlohmann::json& document, const std::string& line) {
    out_ << (json_ ? Dump(document, -1) : TerminalText(line, false)) << '\n';
    out_.flush();
}

void Output::warning(const std::string& message) {
    err_ << "velgrin-cli: " << TerminalText(message, false) << '\n';
    err_.flush();
}

void Output::error(const std::string& message, int exitStatus) {
    warning(message);
    if (json_) {
        out_ << Dump({{"error", message}, {"exit_status", exitStatus}}, 2) << '\n';
        out_.flush();
    }
}

}  // namespace velgrin::cli
