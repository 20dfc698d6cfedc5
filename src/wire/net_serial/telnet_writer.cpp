#include "wire/net_serial/telnet_writer.h"

#include "wire/net_serial/telnet_codes.h"

namespace velgrin::net_serial {

using namespace telnet;

void AppendTelnetData(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
    for (const uint8_t b : bytes) {
        out.push_back(b);
        if (b == kIac) {
            out.push_back(kIac);
        }
    }
}

std::vector<uint8_t> TelnetOption(uint8_t verb, uint8_t option) {
    return {kIac, verb, option};
}

std::vector<uint8_t> ComPortCommand(uint8_t command, std::span<const uint8_t> value) {
    std::vector<uint8_t> out{kIac, kSb, kComPort, command};
    AppendTelnetData(value, out);
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

}  // namespace velgrin::net_serial
