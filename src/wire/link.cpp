#include "wire/link.h"

namespace velgrin {

WireResult<uint8_t> Link::touchByte(uint8_t byte) {
    uint8_t read = 0;
    for (int bit = 0; bit < 8; ++bit) {
        auto r = touchBit(((byte >> bit) & 1) != 0);
        if (!r) {
            return r.error();
        }
        if (*r) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    return read;
}

WireResult<void> Link::touchBlock(std::span<uint8_t> bytes) {
    for (uint8_t& b : bytes) {
        auto r = touchByte(b);
        if (!r) {
            return r.error();
        }
        b = *r;
    }
    return {};
}

WireResult<std::span<uint8_t>> Link::touchFirstByteAlone(std::span<uint8_t> bytes) {
    auto first = touchByte(bytes[0]);
    if (!first) {
        return first.error();
    }
    bytes[0] = *first;
    return bytes.subspan(1);
}

WireResult<SearchPass> Link::searchPass(const RomCode&, bool) {
    return WireError{WireErrorCode::Unsupported, "this adapter has no search accelerator"};
}

}  // namespace velgrin
