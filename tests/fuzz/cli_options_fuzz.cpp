// Command lines of velgrin-cli, words separated by NUL bytes, against every command's options.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.emplace_back();
        } else {
            words.back().push_back(static_cast<char>(data[i]));
        }
    }
    for (const velgrin::cli::Command& command : velgrin::cli::Commands()) {
        (void)velgrin::cli::ParseOptions(words, command.options);
    }
    return 0;
}
