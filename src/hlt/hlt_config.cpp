#include "hlt/hlt_config.h"

#include <stdexcept>

namespace velgrin {

bool FitsField(HltField field, int64_t value) {
    switch (field.type) {
        case FieldType::U8:
            return value >= 0 && value <= UINT8_MAX;
        case FieldType::I8:
            return value >= INT8_MIN && value <= INT8_MAX;
        case FieldType::I16:
            return value >= INT16_MIN && value <= INT16_MAX;
        case FieldType::U16:
            return value >= 0 && value <= UINT16_MAX;
    }
    return false;
}

int FieldScale(HltField field) {
    switch (field.type) {
        case FieldType::I16:
            return 10;
        case FieldType::U16:
            return 10000;
        case FieldType::I8:
            return 100;
        case FieldType::U8:
            return 1;
    }
    return 1;
}

int32_t HLTConfig::get(HltField field) const {
    const uint8_t low = bytes_[field.offset];
    switch (field.type) {
        case FieldType::U8:
            return low;
        case FieldType::I8:
            return static_cast<int8_t>(low);
        case FieldType::I16:
        case FieldType::U16: {
            const auto word = static_cast<uint16_t>(low | (bytes_[field.offset + 1] << 8));
            return field.type == FieldType::I16 ? static_cast<int16_t>(word) : word;
        }
    }
    return 0;
}

void HLTConfig::set(HltField field, int32_t value) {
    if (!FitsField(field, value)) {
        throw std::out_of_range("value does not fit its configuration field");
    }
    const auto bits = static_cast<uint32_t>(value);
    bytes_[field.offset] = static_cast<uint8_t>(bits & 0xFF);
    if (field.type == FieldType::I16 || field.type == FieldType::U16) {
        bytes_[field.offset + 1] = static_cast<uint8_t>((bits >> 8) & 0xFF);
    }
}

std::span<uint8_t, kHltPageSize> HLTConfig::page(int16_t page) const {
    if (page < kHltFirstPage || page > kHltLastPage) {
        throw std::out_of_range("the configuration block lies in pages 3 to 6");
    }
    return bytes_.subspan((page - kHltFirstPage) * kHltPageSize).first<kHltPageSize>();
}

}  // namespace velgrin
