#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace velgrin::cli {

// Where a command's results go: JSON for scripts (--json) or text for people, on standard
// output; warnings and errors on standard error.
class Output {
  public:
    Output(std::ostream& out, std::ostream& err, bool json) : out_(out), err_(err), json_(json) {}

    bool json() const { return json_; }

    // The command's result document, or its text.
    void result(const nlohmann::json& document, const std::string& text);
    // One event of a running command: a JSON object on a line of its own, or a line of text.
    void event(const nlohmann::json& document, const std::string& line);
    // "velgrin-cli: message" on standard error.
    void warning(const std::string& message);
    // A failure: on standard error, and with --json also {"error": ...} on standard output, so
    // that a script always has a document to read.
    void error(const std::string& message, int exitStatus);

  private:
    std::ostream& out_;
    std::ostream& err_;
    bool json_;
};

}  // namespace velgrin::cli
