#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace velgrin {

// Everything outside the windows that waits or that a user sees: time, sleeps, the message loop,
// modal boxes, the save dialog, the beep, the cursor and the browser. The desktop program has the
// real implementation; tests script it on a virtual clock.
class Host {
  public:
    virtual ~Host() = default;

    // Milliseconds of the system tick counter (wraps like a 32-bit counter).
    virtual uint32_t tickCount() = 0;
    virtual void sleep(uint32_t ms) = 0;
    // One pass of a busy wait is over: the real host gives the processor away briefly.
    virtual void yieldBusyWait() = 0;
    // Lets the GUI handle what is pending (input, painting, queued ticks).
    virtual void processMessages() = 0;

    // Modal message with the application title and one OK button.
    virtual void showMessage(const std::string& text) = 0;
    // Modal input box; cancelling returns the preset.
    virtual std::string inputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& preset) = 0;
    // Save-file dialog; no value when the user cancels.
    virtual std::optional<std::string> saveFileName(const std::string& defaultExtension) = 0;
    virtual void beep() = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual void openUrl(const std::string& url) = 0;

    // An exception ended a step that the program carries on after (a poll cycle). By default
    // its text is shown like any other message; a front end with a place of its own for such
    // reports sends it there.
    virtual void reportException(std::exception_ptr error);
};

// What a report of the exception says: its what(), or that it was of an unknown kind.
std::string ExceptionText(std::exception_ptr error);

// Busy wait on the tick counter until `ms` have passed since `startTick`, calling `onPass` on every
// pass. Counting the elapsed time rather than comparing with a deadline survives the wrap.
template <typename OnPass>
void BusyWaitFrom(Host& host, uint32_t startTick, uint32_t ms, OnPass&& onPass) {
    while (static_cast<uint32_t>(host.tickCount() - startTick) < ms) {
        onPass();
        host.yieldBusyWait();
    }
}

}  // namespace velgrin
