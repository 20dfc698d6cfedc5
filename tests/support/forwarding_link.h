#pragma once

#include "wire/link.h"

namespace velgrin::testing {

// A link that hands every operation to another one, as sent: a base for test links that change
// a few of them. The inner link keeps its own rules (open, pull-up, recovery).
class ForwardingLink : public Link {
  public:
    bool isOpen() const override { return inner() != nullptr && inner()->isOpen(); }
    bool grantsSession() override { return inner()->grantsSession(); }
    LinkCapabilities capabilities() const override { return inner()->capabilities(); }

  protected:
    virtual Link* inner() const = 0;

    WireResult<void> openAdapter() override { return inner()->open(); }
    void closeAdapter() override {
        if (inner() != nullptr) {
            inner()->close();
        }
    }
    WireResult<void> ready() override { return {}; }
    WireResult<ResetOutcome> resetBus() override { return inner()->reset(); }
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override {
        if (auto armed = armInner(pullupAfter, PullupTrigger::AfterNextBit); !armed) {
            return armed.error();
        }
        return inner()->touchBit(bit);
    }
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override {
        if (auto armed = armInner(pullupAfter, PullupTrigger::AfterNextByte); !armed) {
            return armed.error();
        }
        return inner()->touchByte(byte);
    }
    WireResult<void> endPullup() override { return inner()->setNormalLevel(); }
    bool pullupEndsWithNextCommand() const override { return true; }

  private:
    WireResult<void> armInner(bool pullup, PullupTrigger trigger) {
        if (!pullup) {
            return {};
        }
        return inner()->armStrongPullup(trigger);
    }
};

}  // namespace velgrin::testing
