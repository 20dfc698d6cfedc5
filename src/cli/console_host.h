#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/time_base.h"
#include "common/host.h"

namespace velgrin::cli {

// The host services of a tool without a display: waits go through the time base, a message box
// becomes a message for the console, and the input and file dialogs are answered with what the
// command line gave.
class ConsoleHost final : public Host {
  public:
    explicit ConsoleHost(TimeBase& time) : time_(time) {}

    uint32_t tickCount() override;
    void sleep(uint32_t ms) override;
    // A busy wait gives the processor away for a millisecond; on a simulated bench that is a
    // millisecond of bench time.
    void yieldBusyWait() override { time_.pass(1000); }
    void processMessages() override {}

    void showMessage(const std::string& text) override;
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& preset) override;
    std::optional<std::string> saveFileName(const std::string& defaultExtension) override;
    // A console has no bell worth ringing over a number already in the log.
    void beep() override {}
    void setBusyCursor(bool) override {}
    void openUrl(const std::string&) override {}
    // On standard error, as the tool's warnings are: the step that threw is over, the command
    // goes on.
    void reportException(std::exception_ptr error) override;

    // Receives every message the core shows, as the core words it.
    std::function<void(const std::string&)> onMessage;
    // What an input box answers; without one it answers its preset, as a cancelled box does.
    std::optional<std::string> inputAnswer;
    // What a save-file dialog answers; without one it is cancelled.
    std::optional<std::string> saveFileAnswer;

    std::vector<std::string> messages;

  private:
    TimeBase& time_;
};

}  // namespace velgrin::cli
