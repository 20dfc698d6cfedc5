#pragma once

#include <string>
#include <vector>

namespace velgrin::ds2480b {

// The serial ports of the system as libserialport finds them, in name order with numbers
// compared as numbers (/dev/ttyS2 before /dev/ttyS10). Manual mode's port N is entry N-1.
std::vector<std::string> SystemSerialPorts();

// The order used above.
bool PortNameLess(const std::string& a, const std::string& b);

}  // namespace velgrin::ds2480b
