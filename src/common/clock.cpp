#include "common/clock.h"

#include <chrono>

namespace velgrin {

uint64_t SteadyClock::nowUs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace velgrin
