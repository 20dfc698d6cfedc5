// Texts a user types: numbers in the window's and the tool's forms, thresholds, ROM texts and
// list entries. A number read back and shown again must read the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/number_argument.h"
#include "common/number_text.h"
#include "thermo/threshold_input.h"
#include "wire/rom_code.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto value = velgrin::ParseNumber(text)) {
        const auto again = velgrin::ParseNumber(velgrin::FormatNumber(*value));
        if (!again || std::fabs(*again - *value) > std::fabs(*value) * 1e-14) {
            std::abort();
        }
    }
    if (const auto value = velgrin::ParseDotNumber(text)) {
        (void)velgrin::FormatFixedDot(*value, 1);
        (void)velgrin::FormatDotNumber(*value);
    }
    const auto half = text.size() / 2;
    (void)velgrin::ParseThresholds(text.substr(0, half), text.substr(half));
    (void)velgrin::ParseRomText(text);
    if (velgrin::cli::IsPlainDecimal(text)) {
        (void)velgrin::ParseNumber(velgrin::cli::ProgramNumberText(std::string(text)));
    }
    return 0;
}
