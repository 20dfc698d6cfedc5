#include "ds2480b_emu/short_slices.h"

#include <linux/sched/types.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace velgrin::ds2480b {

namespace {

// The shortest slice the kernel grants.
constexpr uint64_t kSliceNs = 100'000;

}  // namespace

void RequestShortSlices() {
    sched_attr attr{};
    // Everything else (policy, nice value) stays as it is.
    if (::syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) != 0) {
        return;
    }
    attr.sched_runtime = kSliceNs;
    attr.sched_flags = 0;
    (void)::syscall(SYS_sched_setattr, 0, &attr, 0);
}

}  // namespace velgrin::ds2480b
