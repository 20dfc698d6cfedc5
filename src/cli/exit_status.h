#pragma once

#include <string>

#include "common/result.h"

namespace velgrin::cli {

// What the tool's exit status tells a script.
enum class ExitStatus : int {
    kSuccess = 0,
    kFailure = 1,  // the bus, the adapter or a device failed
    kUsage = 2,    // the command line or an input file is wrong
};

using CliError = Error<ExitStatus>;

template <typename T>
using CliResult = Result<T, CliError>;

inline CliError UsageError(std::string message) {
    return CliError{ExitStatus::kUsage, std::move(message)};
}

inline CliError DeviceError(std::string message) {
    return CliError{ExitStatus::kFailure, std::move(message)};
}

}  // namespace velgrin::cli
