#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/host.h"

namespace velgrin::testing {

// Host for tests: time is a virtual clock that moves 1 ms on every tick-count read (so busy
// waits end) and by the full amount on a sleep; dialogs record what they show and answer from
// queues.
class ScriptedHost : public Host {
  public:
    explicit ScriptedHost(VirtualClock& clock) : clock_(clock) {}

    uint32_t tickCount() override;
    void sleep(uint32_t ms) override;
    void yieldBusyWait() override {}
    void processMessages() override;

    void showMessage(const std::string& text) override { messages.push_back(text); }
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& preset) override;
    std::optional<std::string> saveFileName(const std::string& defaultExtension) override;
    void beep() override { ++beeps; }
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void openUrl(const std::string& url) override { openedUrls.push_back(url); }

    // Answers for input boxes; an empty optional means "cancel". With no answer queued the
    // box is cancelled.
    std::deque<std::optional<std::string>> inputAnswers;
    // Answers for save dialogs, likewise.
    std::deque<std::optional<std::string>> saveAnswers;

    struct Prompt {
        std::string caption, prompt, preset;
    };
    std::vector<std::string> messages;
    std::vector<Prompt> prompts;
    std::vector<std::string> saveExtensions;
    std::vector<std::string> openedUrls;
    std::vector<uint32_t> sleeps;
    int beeps = 0;
    int messagePumps = 0;
    bool busyCursor = false;
    // Called by processMessages, so a test can act "between" steps of a bus sequence.
    std::function<void()> onProcessMessages;
    // Called at the end of every sleep, likewise.
    std::function<void(uint32_t ms)> onSleep;

    VirtualClock& clock() { return clock_; }

  private:
    VirtualClock& clock_;
};

}  // namespace velgrin::testing
