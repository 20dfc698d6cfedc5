#pragma once

#include <map>
#include <string>

#include "cli/doctor/doctor_report.h"

namespace velgrin::cli::doctor {

struct DoctorInputs {
    std::string root = "/";  // where /dev, /sys, /proc and /etc are found
    std::string fontFolder;  // where the window looks for Tahoma
    std::map<std::string, std::string> environment;
};

// Looks at every adapter kind, the kernel's masters and the window's font and locale.
DoctorReport Examine(const DoctorInputs& inputs);

// Adds the problem of a machine without any adapter, with the Raspberry Pi's overlay when that
// is what is missing. Call it after any port check has counted its adapter.
void NoteMissingAdapter(const DoctorInputs& inputs, DoctorReport& report);

// The process's locale variables.
std::map<std::string, std::string> LocaleEnvironment();

}  // namespace velgrin::cli::doctor
