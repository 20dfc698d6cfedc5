#include "ui/central_exception_handler.h"

#include <cstdio>
#include <stdexcept>

namespace velgrin {

namespace {
Host* g_reportHost = nullptr;
}

void SetExceptionReportHost(Host* host) {
    g_reportHost = host;
}

std::string ExceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void HandleException(QObject*, std::exception_ptr error) {
    const std::string message = ExceptionMessage(error);
    if (g_reportHost != nullptr) {
        g_reportHost->showMessage(message);
    } else {
        std::fprintf(stderr, "velgrin: %s\n", message.c_str());
    }
}

}  // namespace velgrin
