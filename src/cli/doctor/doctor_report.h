#pragma once

#include <string>
#include <vector>

namespace velgrin::cli::doctor {

// Something that keeps the bench from working, and the exact step that mends it.
struct Problem {
    std::string what;
    std::string fix;
};

// One thing the doctor looked at: a port, an adapter, a bus, a setting.
struct Finding {
    std::string subject;  // "/dev/ttyUSB0", "bus 1 device 4", "locale"
    std::string found;    // what is there, in a few words
    std::vector<Problem> problems;
};

// The findings of one adapter kind (or of the desktop).
struct Section {
    std::string key;    // the JSON name: "serial", "usb", "i2c", "w1", "desktop", "port"
    std::string title;  // "serial ports"
    std::string none;   // what is said when nothing was found
    std::vector<Finding> findings;
};

struct DoctorReport {
    std::vector<Section> sections;
    // Adapters seen: USB-serial converters, DS2490s, DS2482s and the kernel's w1 masters.
    int adapters = 0;

    bool needsFixing() const;
};

}  // namespace velgrin::cli::doctor
