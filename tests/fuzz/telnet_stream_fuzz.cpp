// A port server that misbehaves, or something else on its port: whatever bytes it sends, the
// telnet reader keeps every word within its bounds, and cutting the stream anywhere gives what
// the whole stream gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "wire/net_serial/telnet_reader.h"

using velgrin::net_serial::TelnetEvent;
using velgrin::net_serial::TelnetReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte says where the reads cut the rest.
    const size_t step = 1 + data[0] % 7;
    const std::span stream(data + 1, size - 1);

    TelnetReader whole;
    std::vector<uint8_t> wholeData;
    std::vector<TelnetEvent> wholeWords;
    whole.feed(stream, wholeData, wholeWords);

    TelnetReader cut;
    std::vector<uint8_t> cutData;
    std::vector<TelnetEvent> cutWords;
    for (size_t at = 0; at < stream.size(); at += step) {
        cut.feed(stream.subspan(at, std::min(step, stream.size() - at)), cutData, cutWords);
    }

    if (wholeData.size() > stream.size() || wholeData != cutData || wholeWords != cutWords) {
        std::abort();
    }
    for (const TelnetEvent& word : wholeWords) {
        if (word.value.size() >= TelnetReader::kMaxSubnegotiation ||
            word.dataBefore > wholeData.size()) {
            std::abort();
        }
    }
    return 0;
}
