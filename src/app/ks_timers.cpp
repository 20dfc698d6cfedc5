#include "app/ks_timers.h"

#include <QCoreApplication>
#include <QEvent>

#include "app/timer_queue.h"
#include "ui/central_exception_handler.h"

namespace velgrin {

class TksTimer::TickReceiver final : public QObject {
  public:
    explicit TickReceiver(TksTimer& owner) : QObject(&owner), owner_(owner) {}

    bool event(QEvent* event) override {
        if (event->type() == TksTimerTickEvent::kType) {
            owner_.deliver(static_cast<TksTimerTickEvent*>(event)->callbackNumber);
            return true;
        }
        return QObject::event(event);
    }

  private:
    TksTimer& owner_;
};

TksTimer::TksTimer(QObject* owner) : QObject(owner), FWindowHandle(new TickReceiver(*this)) {
    callbackTarget_->timer = this;
}

TksTimer::~TksTimer() {
    setEnabled(false);
    // A callback under way, of this timer or of one switched off earlier, must not reach the
    // receiver that goes with this object.
    std::lock_guard lock(callbackTarget_->mutex);
    callbackTarget_->timer = nullptr;
}

void TksTimer::setEnabled(bool enabled) {
    if (enabled == FEnabled) {
        return;
    }
    if (enabled) {
        FThreadCount = 0;
        FCount = 0;
        FTimerHandle = TimerQueue::Default().create(FDueTime, FPeriod, [target = callbackTarget_] {
            std::lock_guard lock(target->mutex);
            if (TksTimer* timer = target->timer) {
                const uint32_t number = ++timer->FThreadCount;
                QCoreApplication::postEvent(timer->FWindowHandle, new TksTimerTickEvent(number));
            }
        });
        FEnabled = FTimerHandle != 0;
    } else {
        deleteTimer();
        FEnabled = false;
    }
}

void TksTimer::deleteTimer() {
    if (FTimerHandle != 0) {
        TimerQueue::Default().remove(FTimerHandle);
        FTimerHandle = 0;
    }
}

void TksTimer::setDueTime(uint32_t ms) {
    if (!FEnabled) {
        FDueTime = ms;
    }
}

void TksTimer::setPeriod(uint32_t ms) {
    if (!FEnabled) {
        FPeriod = ms;
    }
}

void TksTimer::deliver(uint32_t callbackNumber) {
    FCount = callbackNumber;
    RunGuarded(this, [this] { DoTimer(); });
}

void TksTimer::DoTimer() {
    if (FOnTimer) {
        FOnTimer(this);
    }
}

}  // namespace velgrin
