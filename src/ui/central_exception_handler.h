#pragma once

#include <exception>
#include <string>

#include <QObject>

#include "common/host.h"

namespace velgrin {

// The application's one place for exceptions that escape an event handler or a timer tick: it
// reports them in a message box and the program goes on. Qt must never see an exception, so
// every handler entry point runs its body through RunGuarded.

// Where the reports go; without a host they are written to standard error.
void SetExceptionReportHost(Host* host);
// Reports the exception; `sender` is the component whose handler raised it.
void HandleException(QObject* sender, std::exception_ptr error);

template <typename Body>
void RunGuarded(QObject* sender, Body&& body) {
    try {
        body();
    } catch (...) {
        HandleException(sender, std::current_exception());
    }
}

}  // namespace velgrin
