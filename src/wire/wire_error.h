#pragma once

#include "common/result.h"

namespace velgrin {

enum class WireErrorCode {
    BadPortSpec,   // the port description cannot be used
    NoSuchPort,    // the port names no adapter that this build can drive
    PortBusy,      // another program holds the port
    NoPermission,  // the user may not open the port
    PortGone,      // the adapter or its port disappeared
    Io,            // reading or writing the port failed
    Timeout,       // the adapter did not answer in time
    Protocol,      // the adapter answered something that makes no sense
    Unsupported,   // the adapter cannot do this
    Interrupted,   // the bus sequence was cut by a re-synchronisation; restart it from a reset
};

using WireError = Error<WireErrorCode>;

template <typename T>
using WireResult = Result<T, WireError>;

}  // namespace velgrin
