#include "ui/central_exception_handler.h"

#include <cstdio>

namespace velgrin {

namespace {
Host* g_reportHost = nullptr;
}

void SetExceptionReportHost(Host* host) {
    g_reportHost = host;
}

void HandleException(QObject*, std::exception_ptr error) {
    const std::string message = ExceptionText(error);
    if (g_reportHost != nullptr) {
        g_reportHost->showMessage(message);
    } else {
        std::fprintf(stderr, "velgrin: %s\n", message.c_str());
    }
}

}  // namespace velgrin
