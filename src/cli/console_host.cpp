#include "cli/console_host.h"

#include <cstdio>

#include "cli/terminal_text.h"

namespace velgrin::cli {

uint32_t ConsoleHost::tickCount() {
    return static_cast<uint32_t>(time_.clock().nowMs());
}

void ConsoleHost::sleep(uint32_t ms) {
    time_.pass(static_cast<uint64_t>(ms) * 1000);
}

void ConsoleHost::showMessage(const std::string& text) {
    messages.push_back(text);
    if (onMessage) {
        onMessage(text);
    }
}

std::string ConsoleHost::inputBox(const std::string&, const std::string&,
                                  const std::string& preset) {
    return inputAnswer.value_or(preset);
}

std::optional<std::string> ConsoleHost::saveFileName(const std::string&) {
    return saveFileAnswer;
}

void ConsoleHost::reportException(std::exception_ptr error) {
    std::fprintf(stderr, "velgrin-cli: %s\n", TerminalText(ExceptionText(error), false).c_str());
}

}  // namespace velgrin::cli
