#include "app/ks_timers.h"

#include <QCoreApplication>
#include <QEvent>

#include "app/central_exception_handler.h"
#include "app/timer_queue.h"

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

TksTimer::TksTimer(QObject* owner) : QObject(owner), FWindowHandle(new TickReceiver(*this)) {}

TksTimer::~TksTimer() {
    // Unlike switching off, going away must wait for a callback under way: it posts to the
    // receiver, which dies with this object (as its child, after this body).
    deleteTimer(true);
    FEnabled = false;
}

void TksTimer::setEnabled(bool enabled) {
    if (enabled == FEnabled) {
        return;
    }
    if (enabled) {
        FThreadCount = 0;
        FCount = 0;
        QObject* receiver = FWindowHandle;
        FTimerHandle = TimerQueue::Default().create(FDueTime, FPeriod, [this, receiver] {
            const uint32_t number = FThreadCount.fetch_add(1, std::memory_order_relaxed) + 1;
            QCoreApplication::postEvent(receiver, new TksTimerTickEvent(number));
        });
        FEnabled = FTimerHandle != 0;
    } else {
        deleteTimer(false);
        FEnabled = false;
    }
}

void TksTimer::deleteTimer(bool waitForRunning) {
    if (FTimerHandle != 0) {
        TimerQueue::Default().remove(FTimerHandle, waitForRunning);
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
