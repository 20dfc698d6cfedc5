#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace velgrin::ds2480b {

struct PortOpener {
    pid_t pid = 0;
    std::string command;  // the process's name as /proc gives it; empty when it cannot be read
};

// The other processes that hold the character device `device` open, as far as `procRoot` (the
// proc file system) shows them: a process of another user keeps its descriptors to itself.
// Programs that take no lock (owserver, a terminal program) are found this way.
std::vector<PortOpener> OtherOpeners(dev_t device, const std::string& procRoot = "/proc");

// "owserver (PID 812), minicom (PID 907)".
std::string OpenersText(const std::vector<PortOpener>& openers);

}  // namespace velgrin::ds2480b
