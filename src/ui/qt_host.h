#pragma once

#include <QPointer>
#include <QWidget>

#include "common/clock.h"
#include "common/host.h"
#include "common/version.h"

namespace velgrin {

// Caption of every message box and the application's title.
inline constexpr const char* kApplicationTitle = "Velgrin sensor " VELGRIN_SHORT_VERSION;

// The desktop program's host services: the steady clock, real sleeps, the Qt event loop and Qt's
// standard dialogs. Each dialog is modal to the window that asked and centred over it.
class QtHost final : public Host {
  public:
    uint32_t tickCount() override;
    void sleep(uint32_t ms) override;
    void yieldBusyWait() override;
    void processMessages() override;

    void showMessage(const std::string& text) override;
    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& preset) override;
    std::optional<std::string> saveFileName(const std::string& defaultExtension) override;
    void beep() override;
    void setBusyCursor(bool busy) override;
    void openUrl(const std::string& url) override;
    // Through the program's central exception handler.
    void reportException(std::exception_ptr error) override;

  private:
    // The active window; between two boxes of one question series the window system may not
    // yet have handed activation back, so then the window that asked last.
    QWidget* askingWindow();

    SteadyClock clock_;
    QPointer<QWidget> asker_;
    bool busyCursor_ = false;
};

}  // namespace velgrin
