#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include <QEvent>
#include <QObject>

namespace velgrin {

// A tick on its way to the GUI thread: the first application-defined event type plus one,
// carrying the number of the timer callback that posted it.
class TksTimerTickEvent final : public QEvent {
  public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 1);
    explicit TksTimerTickEvent(uint32_t callbackNumber)
        : QEvent(kType), callbackNumber(callbackNumber) {}
    const uint32_t callbackNumber;
};

// A periodic timer that counts time on the timer-queue thread and delivers every period as one
// posted event to a hidden receiver on the thread that made it (the GUI thread), so its ticks
// run there in order. Enabling starts a fresh timer, first tick DueTime ms later; disabling does
// not wait for a callback under way, whose tick may still arrive. An exception escaping a tick
// goes to the central exception handler and the program goes on.
class TksTimer : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(uint DueTime READ DueTime WRITE setDueTime)
    Q_PROPERTY(uint Period READ Period WRITE setPeriod)

  public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    explicit TksTimer(QObject* owner = nullptr);
    ~TksTimer() override;

    bool Enabled() const { return FEnabled; }
    void setEnabled(bool enabled);
    uint32_t DueTime() const { return FDueTime; }
    // Taken only while disabled.
    void setDueTime(uint32_t ms);
    uint32_t Period() const { return FPeriod; }
    // Taken only while disabled.
    void setPeriod(uint32_t ms);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void setOnTimer(TNotifyEvent handler) { FOnTimer = std::move(handler); }
    // Callback number of the last delivered tick.
    uint32_t Count() const { return FCount; }
    // The hidden receiver of the tick events.
    QObject* WindowHandle() const { return FWindowHandle; }

  protected:
    virtual void DoTimer();

  private:
    class TickReceiver;
    // What a timer callback reaches the component through; emptied when the component goes, so
    // a callback still under way then does nothing.
    struct CallbackTarget {
        std::mutex mutex;
        TksTimer* timer = nullptr;
    };
    void deliver(uint32_t callbackNumber);
    void deleteTimer();

    uint32_t FDueTime = 1000;
    uint32_t FPeriod = 1000;
    uint32_t FTimerHandle = 0;
    QObject* FWindowHandle;  // a child: goes with the component
    std::atomic<uint32_t> FThreadCount = 0;
    uint32_t FCount = 0;
    TNotifyEvent FOnTimer;
    bool FEnabled = false;
    std::shared_ptr<CallbackTarget> callbackTarget_ = std::make_shared<CallbackTarget>();
};

}  // namespace velgrin
