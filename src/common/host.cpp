#include "common/host.h"

#include <stdexcept>

namespace velgrin {

void Host::reportException(std::exception_ptr error) {
    showMessage(ExceptionText(error));
}

std::string ExceptionText(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

}  // namespace velgrin
