#include "cli/terminal_text.h"

#include <cstdint>

namespace velgrin::cli {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string ByteEscape(uint8_t byte) {
    return std::string("\\x") + kHexDigits[byte >> 4] + kHexDigits[byte & 0x0F];
}

// Length of the UTF-8 sequence at `at`, or 0 when it is not one.
size_t SequenceLength(const std::string& text, size_t at) {
    const auto lead = static_cast<uint8_t>(text[at]);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<uint8_t>(text[at + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string TerminalText(const std::string& text, bool keepLineBreaks) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<uint8_t>(text[at]);
        if (byte < 0x80) {
            const bool control = byte < 0x20 || byte == 0x7F;
            shown += control && !(keepLineBreaks && byte == '\n') ? ByteEscape(byte)
                                                                  : std::string(1, text[at]);
            ++at;
            continue;
        }
        const size_t length = SequenceLength(text, at);
        if (length == 0) {
            shown += ByteEscape(byte);
            ++at;
            continue;
        }
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
        const auto second = static_cast<uint8_t>(text[at + 1]);
        if (byte == 0xC2 && second <= 0x9F) {
            shown += std::string("\\u00") + kHexDigits[second >> 4] + kHexDigits[second & 0x0F];
        } else {
            shown.append(text, at, length);
        }
        at += length;
    }
    return shown;
}

}  // namespace velgrin::cli
