#include "wire/ds2480b/system_serial_ports.h"

#include <libserialport.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace velgrin::ds2480b {

bool PortNameLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digitA && digitB) {
            size_t endA = i;
            size_t endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) {
                ++endA;
            }
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) {
                ++endB;
            }
            // Compare the digit runs as numbers without converting them.
            size_t startA = i;
            size_t startB = j;
            while (startA + 1 < endA && a[startA] == '0') {
                ++startA;
            }
            while (startB + 1 < endB && b[startB] == '0') {
                ++startB;
            }
            const auto runA = std::string_view(a).substr(startA, endA - startA);
            const auto runB = std::string_view(b).substr(startB, endB - startB);
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            if (runA != runB) {
                return runA < runB;
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> SystemSerialPorts() {
    std::vector<std::string> names;
    sp_port** ports = nullptr;
    if (sp_list_ports(&ports) != SP_OK) {
        return names;
    }
    for (sp_port** p = ports; *p != nullptr; ++p) {
        names.emplace_back(sp_get_port_name(*p));
    }
    sp_free_port_list(ports);
    std::sort(names.begin(), names.end(), PortNameLess);
    return names;
}

}  // namespace velgrin::ds2480b
